#include "windows/main_catalogue.h"

#include <QAction>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>

namespace {

using MainTree = TSampleDeployment;

const QStringList kCityOrder = {QStringLiteral("Екатеринбург"), QStringLiteral("Челябинск"), QStringLiteral("Тюмень"),
                                QStringLiteral("Нижний Тагил"), QStringLiteral("Каменск-Уральский"),
                                QStringLiteral("Первоуральск"), QStringLiteral("Магнитогорск"), QStringLiteral("Миасс"),
                                QStringLiteral("Серов")};

// Sections of a city counted from the goods themselves, not from the counters.
QString SectionsOfCitySql(int cid)
{
    return QStringLiteral("select w.name from wsupergroup w where w.super_id in (select g.super_id from wgroup g "
                          "where g.gid in (select gid from good where cid=%1)) order by w.name")
        .arg(cid);
}

} // namespace

TEST_P(MainTree, StartsOnTheGoodsRootWithBothRootsExpanded)
{
    auto w = Start();
    ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    QTreeWidget *tree = Get<QTreeWidget>(*w, "TreeView");
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_EQ(tree->topLevelItem(0), w->GoodRootNode);
    EXPECT_EQ(w->GoodRootNode->text(0), QStringLiteral("Товары, Услуги"));
    EXPECT_EQ(w->EnprRootNode->text(0), QStringLiteral("Организации"));
    EXPECT_EQ(tree->currentItem(), w->GoodRootNode);
    EXPECT_TRUE(w->GoodRootNode->isExpanded());
    EXPECT_TRUE(w->EnprRootNode->isExpanded());
    EXPECT_FALSE(w->GoodRootNode->child(0)->isExpanded()) << "one level only";

    EXPECT_EQ(Texts(w->GoodRootNode), kCityOrder);
    EXPECT_EQ(Texts(w->EnprRootNode), kCityOrder);
    EXPECT_EQ(w->EnprRootNode->child(0)->childCount(), 0);

    // The goods root: cities in the sub-list, four totals, districts "---".
    QStringList subList;
    for (int i = 0; i < Get<QTreeWidget>(*w, "TreeView1")->topLevelItemCount(); ++i)
        subList << Get<QTreeWidget>(*w, "TreeView1")->topLevelItem(i)->text(0);
    EXPECT_EQ(subList, kCityOrder);
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView1")->currentItem(), Get<QTreeWidget>(*w, "TreeView1")->topLevelItem(0));
    EXPECT_FALSE(Get<QTreeWidget>(*w, "TreeView1")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "pnlGood")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "pnlEnpr")->isHidden());
    EXPECT_FALSE(Get<QWidget>(*w, "pnlFindGood")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "pnlFindEnpr")->isHidden());
    EXPECT_FALSE(Get<QAction>(*w, "mnuDollar")->isEnabled());
    const int sections = Scalar(QStringLiteral(
        "select count(distinct super_id) from wgroup where gid in (select gid from good)"));
    const int subsections = Scalar(QStringLiteral("select count(distinct gid) from good"));
    EXPECT_EQ(w->StatusText(), QStringLiteral("Всего, 9 городов, %1 разделов, %2 подразделов, 5000 товаров/услуг")
                                   .arg(sections)
                                   .arg(subsections));
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbGoodRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbGoodMicroRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->currentIndex(), 0);
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(), QStringLiteral("Товары, Услуги"));
    EXPECT_EQ(w->History.Kind, -1) << "showing a node is no search";
    EXPECT_EQ(w->History.Node, w->GoodRootNode);
    EXPECT_EQ(w->History.StatusText, w->StatusText());

    // Image indexes: expanded and collapsed folders of each branch.
    EXPECT_EQ(w->TreeViewGetImageIndex(w->GoodRootNode), 2);
    EXPECT_EQ(w->TreeViewGetImageIndex(w->GoodRootNode->child(0)), 3);
    EXPECT_EQ(w->TreeViewGetImageIndex(w->EnprRootNode), 4);
    EXPECT_EQ(w->TreeViewGetImageIndex(w->EnprRootNode->child(0)), 5);
    EXPECT_EQ(w->TreeView1GetImageIndex(), 3);
    EXPECT_EQ(w->ImageList1.size(), 6);
    w->GoodRootNode->setExpanded(false);
    EXPECT_EQ(w->GoodRootNode->icon(0).cacheKey(), w->ImageList1[3].cacheKey());
}

TEST_P(MainTree, SectionsAndSubsectionsComeFromTheGoodsOfEachCity)
{
    auto w = Start();
    for (int i = 0; i < w->GoodRootNode->childCount(); ++i) {
        QTreeWidgetItem *city = w->GoodRootNode->child(i);
        const int cid = TfrmMain::NodeNumber(city);
        EXPECT_EQ(Texts(city), Column(SectionsOfCitySql(cid))) << cid;
        for (int k = 0; k < city->childCount(); ++k) {
            QTreeWidgetItem *section = city->child(k);
            EXPECT_EQ(Texts(section),
                      Column(QStringLiteral("select name from wgroup where super_id=%1 and gid in (select gid "
                                            "from good where cid=%2) order by name")
                                 .arg(TfrmMain::NodeNumber(section))
                                 .arg(cid)));
        }
    }
    // A city without goods is listed in both branches, empty.
    QTreeWidgetItem *serov = City(w->GoodRootNode, 34385);
    ASSERT_NE(serov, nullptr);
    EXPECT_EQ(serov->childCount(), 0);
    EXPECT_NE(City(w->EnprRootNode, 34385), nullptr);
}

TEST_P(MainTree, CountsOfEveryLevel)
{
    auto w = Start();
    QTreeWidgetItem *city = City(w->GoodRootNode, 351);
    Select(*w, city);
    EXPECT_EQ(w->StatusText(),
              QStringLiteral("Всего, %1 разделов, %2 подразделов, %3 товаров/услуг")
                  .arg(Column(SectionsOfCitySql(351)).size())
                  .arg(Scalar(QStringLiteral("select count(distinct gid) from good where cid=351")))
                  .arg(Scalar(QStringLiteral("select count(*) from good where cid=351"))));
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(), QStringLiteral("Товары, Услуги / Челябинск"));
    EXPECT_EQ(w->TreeView1GetImageIndex(), 3);

    QTreeWidgetItem *section = city->child(0);
    const int superId = TfrmMain::NodeNumber(section);
    Select(*w, section);
    EXPECT_EQ(w->StatusText(), QStringLiteral("Всего, %1 подразделов, %2 товаров/услуг")
                                   .arg(section->childCount())
                                   .arg(Scalar(QStringLiteral("select count(*) from good a, wgroup g where "
                                                              "a.gid=g.gid and g.super_id=%1 and a.cid=351")
                                                   .arg(superId))));
    QStringList subList;
    for (int i = 0; i < Get<QTreeWidget>(*w, "TreeView1")->topLevelItemCount(); ++i)
        subList << Get<QTreeWidget>(*w, "TreeView1")->topLevelItem(i)->text(0);
    EXPECT_EQ(subList, Texts(section));
    // The section's city fills the goods district lists.
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->count(),
              Scalar(QStringLiteral("select count(*) from city_region where cid=351")));
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->itemText(0), QStringLiteral("---"));
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->itemData(0).toInt(), 0);

    QTreeWidgetItem *sub = section->child(0);
    const int gid = TfrmMain::NodeNumber(sub);
    Select(*w, sub);
    EXPECT_EQ(w->StatusText(),
              QStringLiteral("Всего, %1 товаров/услуг")
                  .arg(Scalar(QStringLiteral("select count(*) from good where cid=351 and gid=%1").arg(gid))));
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(),
              QStringLiteral("Товары, Услуги / Челябинск / ") + section->text(0) + QStringLiteral(" / ") + sub->text(0));
    EXPECT_TRUE(w->Query4.Active()) << "a subsection runs the goods search";
    EXPECT_FALSE(Get<QWidget>(*w, "pnlGood")->isHidden());
    EXPECT_TRUE(Get<QTreeWidget>(*w, "TreeView1")->isHidden());
    EXPECT_EQ(w->History.Kind, 0);
    EXPECT_FALSE(w->History.ByUser);
    EXPECT_EQ(w->History.StatusText, w->StatusText());
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->count(),
              Scalar(QStringLiteral("select count(*) from city_region where cid=351")));

    Select(*w, w->EnprRootNode);
    EXPECT_EQ(w->StatusText(), QStringLiteral("Всего, 9 городов, %1 организаций")
                                   .arg(Scalar(QStringLiteral("select count(*) from firm"))));
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbEnprRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbEnprMicroRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(w->TreeView1GetImageIndex(), 5);
    EXPECT_FALSE(Get<QWidget>(*w, "pnlFindEnpr")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "pnlFindGood")->isHidden());

    Select(*w, City(w->EnprRootNode, 3452));
    EXPECT_EQ(w->StatusText(), QStringLiteral("Всего, %1 организаций")
                                   .arg(Scalar(QStringLiteral("select count(*) from firm where cid=3452"))));
    EXPECT_TRUE(w->Query5.Active()) << "an organisations city runs the organisation search";
    EXPECT_EQ(w->Query5.RecordCount(), Scalar(QStringLiteral("select count(*) from address a, street_name s, "
                                                             "street_type t, city_region r where a.cid=3452 and "
                                                             "s.cid=a.cid and s.id=a.strn_id and t.id=s.strt_id "
                                                             "and r.cid=a.cid and r.id=a.cr_id")));
    EXPECT_FALSE(Get<QWidget>(*w, "pnlEnpr")->isHidden());
    EXPECT_EQ(w->History.Kind, 1);
    EXPECT_EQ(Get<QComboBox>(*w, "cbEnprRegion")->count(),
              Scalar(QStringLiteral("select count(*) from city_region where cid=3452")));
    EXPECT_GT(Get<QComboBox>(*w, "cbEnprMicroRegion")->count(), 1);

    // Both totals of "Всего" alone for a combination without statements.
    EXPECT_EQ(w->GetCountsText(1, 2, 0, 0, 0), QStringLiteral("Всего"));
    EXPECT_EQ(w->GetCountsText(0, 4, 0, 0, 0), QStringLiteral("Всего"));
    // A city without goods sums to 0.
    EXPECT_EQ(w->GetCountsText(0, 1, 34385, 0, 0), QStringLiteral("Всего, 0 разделов, 0 подразделов, 0 товаров/услуг"));
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

TEST_P(MainTree, DistrictListsOfACity)
{
    auto w = Start();
    Select(*w, City(w->GoodRootNode, 343));
    // The whole-city row "---" gets id 0 wherever its name puts it.
    const QStringList regions = Items(Get<QComboBox>(*w, "cbGoodRegion"));
    ASSERT_EQ(regions.size(), 8);
    EXPECT_TRUE(regions.contains(QStringLiteral("---=0")));
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->currentIndex(), 0);
    EXPECT_EQ(regions, [&] {
        QStringList expected;
        for (const QString &row : Column(QStringLiteral(
                 "select name_small || '=' || case when name_small='---' then 0 else id end from city_region "
                 "where cid=343 order by name_big")))
            expected << row;
        return expected;
    }());
    // "--" is shown as "---"; every name holding "--" gets id 0.
    const QStringList micro = Items(Get<QComboBox>(*w, "cbGoodMicroRegion"));
    EXPECT_TRUE(micro.contains(QStringLiteral("---=0")));
    EXPECT_TRUE(micro.contains(QStringLiteral("--прочие--=0")));
    EXPECT_FALSE(micro.contains(QStringLiteral("--=0")));
    EXPECT_TRUE(micro.contains(QStringLiteral("Уралмаш=%1").arg(Scalar(
        QStringLiteral("select id from city_micro_region where cid=343 and name='Уралмаш'")))));
}

INSTANTIATE_TEST_SUITE_P(Deployments, MainTree, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

namespace {
class MainTreeLocal : public TSampleWindow
{
};
} // namespace

TEST_F(MainTreeLocal, MainCityFromTheCityFileComesFirst)
{
    UseLocalSample();
    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3452\n"));
    auto w = Start();
    QStringList expected = kCityOrder;
    expected.move(2, 0);
    EXPECT_EQ(Texts(w->GoodRootNode), expected);
    EXPECT_EQ(Texts(w->EnprRootNode), expected);

    // A main city outside the six comes before them.
    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3513\n"));
    auto other = Start();
    EXPECT_EQ(Texts(other->GoodRootNode).value(0), QStringLiteral("Миасс"));
    EXPECT_EQ(Texts(other->GoodRootNode).value(1), QStringLiteral("Екатеринбург"));
}

TEST_F(MainTreeLocal, CityWithoutDistrictsLeavesItsListEmpty)
{
    UseLocalSample();
    Exec(QStringLiteral("delete from city_region where cid=3513; delete from city_micro_region where cid=3513"));
    auto w = Start();
    Select(*w, City(w->GoodRootNode, 3513));
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->count(), 0);
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->currentIndex(), -1);
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodMicroRegion")->count(), 0);
    Select(*w, City(w->EnprRootNode, 3513));
    EXPECT_EQ(Get<QComboBox>(*w, "cbEnprRegion")->count(), 0);
    EXPECT_EQ(Get<QComboBox>(*w, "cbEnprMicroRegion")->currentIndex(), -1);
}

TEST_F(MainTreeLocal, DoubleClickOnTheSubListOpensTheNode)
{
    UseLocalSample();
    auto w = Start();
    QTreeWidgetItem *city = City(w->GoodRootNode, 343);
    Select(*w, city);
    // Nothing selected in the sub-list: nothing happens.
    Get<QTreeWidget>(*w, "TreeView1")->setCurrentItem(nullptr);
    w->TreeView1DblClick();
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), city);

    Get<QTreeWidget>(*w, "TreeView1")->setCurrentItem(Get<QTreeWidget>(*w, "TreeView1")->topLevelItem(1));
    w->TreeView1DblClick();
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), city->child(1));
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(),
              QStringLiteral("Товары, Услуги / Екатеринбург / ") + city->child(1)->text(0));

    // Down to a subsection with a real double click: the search runs once.
    QTreeWidgetItem *item = Get<QTreeWidget>(*w, "TreeView1")->topLevelItem(0);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const QRect rect = Get<QTreeWidget>(*w, "TreeView1")->visualItemRect(item);
    QWidget *viewport = Get<QTreeWidget>(*w, "TreeView1")->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), city->child(1)->child(0));
    EXPECT_EQ(w->History.Kind, 0);
    EXPECT_EQ(w->mnuBack->actions().size(), 0) << "one search, nothing pushed";
}

TEST_F(MainTreeLocal, FileMenuSwitchesTheBranch)
{
    UseLocalSample();
    auto w = Start();
    Get<QAction>(*w, "N14")->trigger();
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), w->EnprRootNode);
    EXPECT_TRUE(w->EnprRootNode->isExpanded());
    EXPECT_FALSE(w->GoodRootNode->isExpanded());
    EXPECT_FALSE(Get<QWidget>(*w, "pnlFindEnpr")->isHidden());
    EXPECT_TRUE(w->StatusText().endsWith(QStringLiteral(" организаций")));
    Get<QAction>(*w, "N16")->trigger();
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), w->GoodRootNode);
    EXPECT_TRUE(w->GoodRootNode->isExpanded());
    EXPECT_FALSE(w->EnprRootNode->isExpanded());
    EXPECT_TRUE(w->StatusText().endsWith(QStringLiteral(" товаров/услуг")));
}
