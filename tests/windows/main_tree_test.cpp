#include "windows/main_catalogue.h"

#include <QAction>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>

namespace {

using MainTree = TSampleDeployment;

const QStringList kCityOrder = {QStringLiteral("Екатеринбург"),
                                QStringLiteral("Челябинск"),
                                QStringLiteral("Тюмень"),
                                QStringLiteral("Нижний Тагил"),
                                QStringLiteral("Каменск-Уральский"),
                                QStringLiteral("Первоуральск"),
                                QStringLiteral("Магнитогорск"),
                                QStringLiteral("Миасс"),
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
    EXPECT_EQ(tree->topLevelItem(0), GoodRoot(*w));
    EXPECT_EQ(GoodRoot(*w)->text(0), QStringLiteral("Товары, Услуги"));
    EXPECT_EQ(EnprRoot(*w)->text(0), QStringLiteral("Организации"));
    EXPECT_EQ(tree->currentItem(), GoodRoot(*w));
    EXPECT_TRUE(GoodRoot(*w)->isExpanded());
    EXPECT_TRUE(EnprRoot(*w)->isExpanded());
    EXPECT_FALSE(GoodRoot(*w)->child(0)->isExpanded()) << "one level only";

    EXPECT_EQ(Texts(GoodRoot(*w)), kCityOrder);
    EXPECT_EQ(Texts(EnprRoot(*w)), kCityOrder);
    EXPECT_EQ(EnprRoot(*w)->child(0)->childCount(), 0);

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
    const int sections =
        Scalar(QStringLiteral("select count(distinct super_id) from wgroup where gid in (select gid from good)"));
    const int subsections = Scalar(QStringLiteral("select count(distinct gid) from good"));
    EXPECT_EQ(StatusText(*w), QStringLiteral("Всего, 9 городов, %1 разделов, %2 подразделов, 5000 товаров/услуг")
                                  .arg(sections)
                                  .arg(subsections));
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbGoodRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbGoodMicroRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->currentIndex(), 0);
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(), QStringLiteral("Товары, Услуги"));
    EXPECT_EQ(Peer(*w).History().Kind, -1) << "showing a node is no search";
    EXPECT_EQ(Peer(*w).History().Node, GoodRoot(*w));
    EXPECT_EQ(Peer(*w).History().StatusText, StatusText(*w));

    // Image indexes: expanded and collapsed folders of each branch.
    EXPECT_EQ(Peer(*w).TreeViewGetImageIndex(GoodRoot(*w)), 2);
    EXPECT_EQ(Peer(*w).TreeViewGetImageIndex(GoodRoot(*w)->child(0)), 3);
    EXPECT_EQ(Peer(*w).TreeViewGetImageIndex(EnprRoot(*w)), 4);
    EXPECT_EQ(Peer(*w).TreeViewGetImageIndex(EnprRoot(*w)->child(0)), 5);
    EXPECT_EQ(Peer(*w).TreeView1GetImageIndex(), 3);
    EXPECT_EQ(Peer(*w).ImageList1().size(), 6);
    GoodRoot(*w)->setExpanded(false);
    EXPECT_EQ(GoodRoot(*w)->icon(0).cacheKey(), Peer(*w).ImageList1()[3].cacheKey());
}

TEST_P(MainTree, SectionsAndSubsectionsComeFromTheGoodsOfEachCity)
{
    auto w = Start();
    for (int i = 0; i < GoodRoot(*w)->childCount(); ++i) {
        QTreeWidgetItem *city = GoodRoot(*w)->child(i);
        const int cid = TfrmMainTestPeer::NodeNumber(city);
        EXPECT_EQ(Texts(city), Column(SectionsOfCitySql(cid))) << cid;
        for (int k = 0; k < city->childCount(); ++k) {
            QTreeWidgetItem *section = city->child(k);
            EXPECT_EQ(Texts(section),
                      Column(QStringLiteral("select name from wgroup where super_id=%1 and gid in (select gid "
                                            "from good where cid=%2) order by name")
                                 .arg(TfrmMainTestPeer::NodeNumber(section))
                                 .arg(cid)));
        }
    }
    // A city without goods is listed in both branches, empty.
    QTreeWidgetItem *serov = City(GoodRoot(*w), 34385);
    ASSERT_NE(serov, nullptr);
    EXPECT_EQ(serov->childCount(), 0);
    EXPECT_NE(City(EnprRoot(*w), 34385), nullptr);
}

TEST_P(MainTree, CountsOfEveryLevel)
{
    auto w = Start();
    QTreeWidgetItem *city = City(GoodRoot(*w), 351);
    Select(*w, city);
    EXPECT_EQ(StatusText(*w), QStringLiteral("Всего, %1 разделов, %2 подразделов, %3 товаров/услуг")
                                  .arg(Column(SectionsOfCitySql(351)).size())
                                  .arg(Scalar(QStringLiteral("select count(distinct gid) from good where cid=351")))
                                  .arg(Scalar(QStringLiteral("select count(*) from good where cid=351"))));
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(), QStringLiteral("Товары, Услуги / Челябинск"));
    EXPECT_EQ(Peer(*w).TreeView1GetImageIndex(), 3);

    QTreeWidgetItem *section = city->child(0);
    const int superId = TfrmMainTestPeer::NodeNumber(section);
    Select(*w, section);
    EXPECT_EQ(StatusText(*w), QStringLiteral("Всего, %1 подразделов, %2 товаров/услуг")
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
    const int gid = TfrmMainTestPeer::NodeNumber(sub);
    Select(*w, sub);
    EXPECT_EQ(StatusText(*w),
              QStringLiteral("Всего, %1 товаров/услуг")
                  .arg(Scalar(QStringLiteral("select count(*) from good where cid=351 and gid=%1").arg(gid))));
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(), QStringLiteral("Товары, Услуги / Челябинск / ") +
                                                            section->text(0) + QStringLiteral(" / ") + sub->text(0));
    EXPECT_TRUE(GoodRows(*w).Active()) << "a subsection runs the goods search";
    EXPECT_FALSE(Get<QWidget>(*w, "pnlGood")->isHidden());
    EXPECT_TRUE(Get<QTreeWidget>(*w, "TreeView1")->isHidden());
    EXPECT_EQ(Peer(*w).History().Kind, 0);
    EXPECT_FALSE(Peer(*w).History().ByUser);
    EXPECT_EQ(Peer(*w).History().StatusText, StatusText(*w));
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->count(),
              Scalar(QStringLiteral("select count(*) from city_region where cid=351")));

    Select(*w, EnprRoot(*w));
    EXPECT_EQ(
        StatusText(*w),
        QStringLiteral("Всего, 9 городов, %1 организаций").arg(Scalar(QStringLiteral("select count(*) from firm"))));
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbEnprRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(Items(Get<QComboBox>(*w, "cbEnprMicroRegion")), QStringList{QStringLiteral("---=0")});
    EXPECT_EQ(Peer(*w).TreeView1GetImageIndex(), 5);
    EXPECT_FALSE(Get<QWidget>(*w, "pnlFindEnpr")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "pnlFindGood")->isHidden());

    Select(*w, City(EnprRoot(*w), 3452));
    EXPECT_EQ(StatusText(*w), QStringLiteral("Всего, %1 организаций")
                                  .arg(Scalar(QStringLiteral("select count(*) from firm where cid=3452"))));
    EXPECT_TRUE(EnprRows(*w).Active()) << "an organisations city runs the organisation search";
    EXPECT_EQ(EnprRows(*w).RecordCount(), Scalar(QStringLiteral("select count(*) from address a, street_name s, "
                                                                "street_type t, city_region r where a.cid=3452 and "
                                                                "s.cid=a.cid and s.id=a.strn_id and t.id=s.strt_id "
                                                                "and r.cid=a.cid and r.id=a.cr_id")));
    EXPECT_FALSE(Get<QWidget>(*w, "pnlEnpr")->isHidden());
    EXPECT_EQ(Peer(*w).History().Kind, 1);
    EXPECT_EQ(Get<QComboBox>(*w, "cbEnprRegion")->count(),
              Scalar(QStringLiteral("select count(*) from city_region where cid=3452")));
    EXPECT_GT(Get<QComboBox>(*w, "cbEnprMicroRegion")->count(), 1);

    // Both totals of "Всего" alone for a combination without statements.
    EXPECT_EQ(Peer(*w).GetCountsText(1, 2, 0, 0, 0), QStringLiteral("Всего"));
    EXPECT_EQ(Peer(*w).GetCountsText(0, 4, 0, 0, 0), QStringLiteral("Всего"));
    // A city without goods sums to 0.
    EXPECT_EQ(Peer(*w).GetCountsText(0, 1, 34385, 0, 0),
              QStringLiteral("Всего, 0 разделов, 0 подразделов, 0 товаров/услуг"));
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

TEST_P(MainTree, DistrictListsOfACity)
{
    auto w = Start();
    Select(*w, City(GoodRoot(*w), 343));
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
    EXPECT_TRUE(micro.contains(
        QStringLiteral("Уралмаш=%1")
            .arg(Scalar(QStringLiteral("select id from city_micro_region where cid=343 and name='Уралмаш'")))));
}

INSTANTIATE_TEST_SUITE_P(Deployments, MainTree, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

namespace {
class MainTreeLocal : public TSampleWindow
{};
} // namespace

TEST_F(MainTreeLocal, MainCityFromTheCityFileComesFirst)
{
    UseLocalSample();
    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3452\n"));
    auto w = Start();
    QStringList expected = kCityOrder;
    expected.move(2, 0);
    EXPECT_EQ(Texts(GoodRoot(*w)), expected);
    EXPECT_EQ(Texts(EnprRoot(*w)), expected);

    // A main city outside the six comes before them.
    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3513\n"));
    auto other = Start();
    EXPECT_EQ(Texts(GoodRoot(*other)).value(0), QStringLiteral("Миасс"));
    EXPECT_EQ(Texts(GoodRoot(*other)).value(1), QStringLiteral("Екатеринбург"));
}

TEST_F(MainTreeLocal, CityWithoutDistrictsLeavesItsListEmpty)
{
    UseLocalSample();
    Exec(QStringLiteral("delete from city_region where cid=3513; delete from city_micro_region where cid=3513"));
    auto w = Start();
    Select(*w, City(GoodRoot(*w), 3513));
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->count(), 0);
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->currentIndex(), -1);
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodMicroRegion")->count(), 0);
    Select(*w, City(EnprRoot(*w), 3513));
    EXPECT_EQ(Get<QComboBox>(*w, "cbEnprRegion")->count(), 0);
    EXPECT_EQ(Get<QComboBox>(*w, "cbEnprMicroRegion")->currentIndex(), -1);
}

TEST_F(MainTreeLocal, DoubleClickOnTheSubListOpensTheNode)
{
    UseLocalSample();
    auto w = Start();
    QTreeWidgetItem *city = City(GoodRoot(*w), 343);
    Select(*w, city);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    auto *list = Get<QTreeWidget>(*w, "TreeView1");
    const auto doubleClick = [list](QTreeWidgetItem *item) {
        const QRect rect = list->visualItemRect(item);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    };
    doubleClick(list->topLevelItem(1));
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), city->child(1));
    EXPECT_EQ(Get<QLineEdit>(*w, "edNavigave")->text(),
              QStringLiteral("Товары, Услуги / Екатеринбург / ") + city->child(1)->text(0));

    // Down to a subsection: the search runs once.
    doubleClick(list->topLevelItem(0));
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), city->child(1)->child(0));
    EXPECT_EQ(Peer(*w).History().Kind, 0);
    EXPECT_EQ(Get<QMenu>(*w, "mnuBack")->actions().size(), 0) << "one search, nothing pushed";
}

TEST_F(MainTreeLocal, FileMenuSwitchesTheBranch)
{
    UseLocalSample();
    auto w = Start();
    Get<QAction>(*w, "N14")->trigger();
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), EnprRoot(*w));
    EXPECT_TRUE(EnprRoot(*w)->isExpanded());
    EXPECT_FALSE(GoodRoot(*w)->isExpanded());
    EXPECT_FALSE(Get<QWidget>(*w, "pnlFindEnpr")->isHidden());
    EXPECT_TRUE(StatusText(*w).endsWith(QStringLiteral(" организаций")));
    Get<QAction>(*w, "N16")->trigger();
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), GoodRoot(*w));
    EXPECT_TRUE(GoodRoot(*w)->isExpanded());
    EXPECT_FALSE(EnprRoot(*w)->isExpanded());
    EXPECT_TRUE(StatusText(*w).endsWith(QStringLiteral(" товаров/услуг")));
}
