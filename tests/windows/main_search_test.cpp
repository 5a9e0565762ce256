#include "windows/main_catalogue.h"

#include "services/sqlite_func.h"
#include "services/tools_searchwords.h"

#include <QKeyEvent>
#include <QTest>

namespace {

const QString kNothingFound = QStringLiteral("   По Вашему запросу ничего не найдено.   ");

class MainSearch : public TSampleDeployment
{
protected:
    void SetUp() override
    {
        TSampleDeployment::SetUp();
        if (IsSkipped())
            return;
        w = Start();
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    }
    QComboBox *Box(const char *name) { return Get<QComboBox>(*w, name); }
    QCheckBox *Check(const char *name) { return Get<QCheckBox>(*w, name); }
    QString Nav() { return Get<QLineEdit>(*w, "edNavigave")->text(); }
    void Enter(QComboBox *box)
    {
        w->show();
        box->setFocus();
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    }

    std::unique_ptr<TfrmMain> w;
};

} // namespace

TEST_P(MainSearch, GoodsByTheUserWithEveryFilter)
{
    QTreeWidgetItem *city = City(GoodRoot(*w), 343);
    Select(*w, city);
    Box("cbFindGoodName")->setEditText(QStringLiteral("  а  "));
    Box("cbFindGoodEnprName")->setEditText(QStringLiteral("о"));
    Box("cbGoodRegion")->setCurrentIndex(2);
    const QString district = Box("cbGoodRegion")->currentText();
    const int districtId = Box("cbGoodRegion")->currentData().toInt();
    Check("edFindGoodDiscount")->setChecked(true);
    Enter(Box("cbFindGoodName"));

    EXPECT_EQ(Nav(), QStringLiteral("Товары, Услуги / Екатеринбург (рез.поиска - название: \"а\" организация: \"о\" "
                                    "предоставляющие скидки район:\"") +
                         district + QStringLiteral("\")"));
    ASSERT_TRUE(GoodRows(*w).Active());
    const int found = GoodRows(*w).RecordCount();
    EXPECT_GT(found, 0);
    EXPECT_EQ(StatusText(*w), Peer(*w).GetCountsText(0, 1, 343, 0, 0) + QStringLiteral(", найдено ") +
                                  QString::number(found) + QStringLiteral(" товаров/услуг"));
    EXPECT_EQ(Peer(*w).History().Kind, 0);
    EXPECT_TRUE(Peer(*w).History().ByUser);
    EXPECT_EQ(Peer(*w).History().GoodName, QStringLiteral("а"));
    EXPECT_EQ(Peer(*w).History().GoodCid, 343);
    EXPECT_EQ(Peer(*w).History().TreeLevel, 1);
    EXPECT_EQ(Peer(*w).History().GoodRegion, 2);
    EXPECT_TRUE(Peer(*w).History().GoodDiscount);
    EXPECT_EQ(Peer(*w).History().GoodSortCol, -1);
    EXPECT_EQ(Peer(*w).History().NavText, Nav());
    EXPECT_EQ(Peer(*w).History().StatusText, StatusText(*w));
    EXPECT_EQ(GoodRows(*w).SQL(), Peer(*w).History().GoodSql + Peer(*w).History().GoodOrderBy);
    EXPECT_TRUE(Peer(*w).History().GoodSql.contains(QStringLiteral(" and s.cr_id=") + QString::number(districtId)));
    EXPECT_TRUE(Peer(*w).History().GoodSql.endsWith(QStringLiteral(" and a.cid=343")));
    EXPECT_EQ(Peer(*w).GoodSortOrders().value(0), QStringLiteral(" a.name "));
    EXPECT_EQ(Peer(*w).GoodSortOrders().value(1), QStringLiteral(" a.price_rub "));
    EXPECT_EQ(Peer(*w).GoodSortOrders().value(2), QStringLiteral(" sfn "));
    // The boxes' histories got the trimmed texts.
    EXPECT_EQ(Box("cbFindGoodName")->itemText(0), QStringLiteral("а"));
    EXPECT_EQ(Box("cbFindGoodEnprName")->itemText(0), QStringLiteral("о"));
    EXPECT_FALSE(Get<QWidget>(*w, "pnlGood")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "TreeView1")->isHidden());
    EXPECT_TRUE(shown.isEmpty());
    // Every row has the discount, lies in the district and holds both words.
    while (!GoodRows(*w).Eof()) {
        EXPECT_EQ(GoodRows(*w).FieldByName(QStringLiteral("discount")).AsString(), QStringLiteral("1"));
        EXPECT_TRUE(UpperAnsi(GoodRows(*w).FieldByName(QStringLiteral("name")).AsString()).contains(u'А'));
        GoodRows(*w).Next();
    }
}

TEST_P(MainSearch, GoodsStartConditions)
{
    Select(*w, City(GoodRoot(*w), 3439));
    // Both boxes empty: nothing happens.
    Get<QPushButton>(*w, "btnFindGood")->click();
    EXPECT_FALSE(GoodRows(*w).Active());
    EXPECT_EQ(Peer(*w).History().Kind, -1);

    // Blanks count as text: the search runs without a word condition.
    Box("cbFindGoodName")->setEditText(QStringLiteral("   "));
    Get<QPushButton>(*w, "btnFindGood")->click();
    ASSERT_TRUE(GoodRows(*w).Active());
    EXPECT_EQ(GoodRows(*w).RecordCount(),
              Scalar(QStringLiteral(
                  "select count(*) from good g, address a where g.cid=3439 and a.cid=g.cid and a.fid=g.fid and "
                  "(g.adr_id=0 or g.adr_id=a.adr_id)")));
    EXPECT_EQ(Nav(), QStringLiteral("Товары, Услуги / Каменск-Уральский (рез.поиска - )"));
    EXPECT_FALSE(Peer(*w).History().GoodSql.contains(QStringLiteral("postext")));
    EXPECT_FALSE(Peer(*w).History().GoodSql.contains(QStringLiteral(" like ")));

    // Nothing found: the message comes after the panel is shown.
    bool panelShownFirst = false;
    SetMessageBoxHook([&](const TMessageBoxCall &call) {
        shown.append(call.text);
        panelShownFirst = !Get<QWidget>(*w, "pnlGood")->isHidden() && GoodRows(*w).Active();
        return mrOk;
    });
    Box("cbFindGoodName")->setEditText(QStringLiteral("ъъъщщщ"));
    Enter(Box("cbFindGoodEnprName"));
    EXPECT_EQ(shown, QStringList{kNothingFound});
    EXPECT_TRUE(panelShownFirst);
    EXPECT_EQ(GoodRows(*w).RecordCount(), 0);
    EXPECT_FALSE(Get<QWidget>(*w, "pnlGood")->isHidden());

    // The first district (the whole city) filters nothing.
    Box("cbFindGoodName")->setEditText(QStringLiteral("а"));
    Box("cbGoodRegion")->setCurrentIndex(0);
    Box("cbGoodMicroRegion")->setCurrentIndex(0);
    Get<QPushButton>(*w, "btnFindGood")->click();
    EXPECT_FALSE(Peer(*w).History().GoodSql.contains(QStringLiteral("cr_id")));
    EXPECT_FALSE(Peer(*w).History().GoodSql.contains(QStringLiteral("address_micro_region")));
    Box("cbGoodMicroRegion")->setCurrentIndex(1);
    Get<QPushButton>(*w, "btnFindGood")->click();
    EXPECT_TRUE(Peer(*w).History().GoodSql.contains(QStringLiteral("d.cmr_id=") +
                                                    QString::number(Box("cbGoodMicroRegion")->itemData(1).toInt())));
}

TEST_P(MainSearch, TreeDrivenGoodsRunIgnoresTheBoxes)
{
    QTreeWidgetItem *section = City(GoodRoot(*w), 351)->child(0);
    QTreeWidgetItem *sub = section->child(0);
    Box("cbFindGoodName")->setEditText(QStringLiteral("ъъъщщщ"));
    Check("edFindGoodWorkNow")->setChecked(true);
    Select(*w, sub);
    const int gid = TfrmMainTestPeer::NodeNumber(sub);
    EXPECT_EQ(GoodRows(*w).RecordCount(),
              Scalar(QStringLiteral("select count(*) from good g, address a where g.cid=351 and g.gid=%1 and "
                                    "a.cid=g.cid and a.fid=g.fid and (g.adr_id=0 or g.adr_id=a.adr_id)")
                         .arg(gid)));
    EXPECT_FALSE(Peer(*w).History().ByUser);
    EXPECT_EQ(Peer(*w).History().GoodName, QStringLiteral("ъъъщщщ")) << "the boxes are kept";
    EXPECT_TRUE(Peer(*w).History().GoodWorkNow);
    EXPECT_EQ(Nav(), QStringLiteral("Товары, Услуги / Челябинск / ") + section->text(0) + QStringLiteral(" / ") +
                         sub->text(0));
    EXPECT_EQ(StatusText(*w), Peer(*w).GetCountsText(0, 3, 351, TfrmMainTestPeer::NodeNumber(section), gid));
    EXPECT_EQ(Box("cbFindGoodName")->count(), 0) << "no history entry";
    EXPECT_EQ(Peer(*w).History().GoodOrderBy,
              GetParam() ? QStringLiteral(" order by  org,rand() ") : QStringLiteral(" order by  random() "));
}

TEST_P(MainSearch, ClearButtonsEmptyThePanels)
{
    Select(*w, City(GoodRoot(*w), 343));
    w->show();
    Box("cbFindGoodName")->setEditText(QStringLiteral("хлеб"));
    Box("cbFindGoodEnprName")->setEditText(QStringLiteral("ООО"));
    Box("cbGoodRegion")->setCurrentIndex(2);
    Box("cbGoodMicroRegion")->setCurrentIndex(2);
    Check("edFindGoodWorkNow")->setChecked(true);
    Check("edFindGoodDiscount")->setChecked(true);
    Get<QPushButton>(*w, "Button1")->click();
    EXPECT_EQ(Box("cbFindGoodName")->currentText(), QString());
    EXPECT_EQ(Box("cbFindGoodEnprName")->currentText(), QString());
    EXPECT_EQ(Box("cbGoodRegion")->currentIndex(), 0);
    EXPECT_EQ(Box("cbGoodMicroRegion")->currentIndex(), 0);
    EXPECT_FALSE(Check("edFindGoodWorkNow")->isChecked());
    EXPECT_FALSE(Check("edFindGoodDiscount")->isChecked());
    EXPECT_FALSE(GoodRows(*w).Active()) << "no search";

    Select(*w, City(EnprRoot(*w), 343));
    const char *boxes[] = {"cbFindEnprName", "cbFindEnprAttr",  "cbFindEnprPost",
                           "cbFindEnprWeb",  "cbFindEnprPhone", "cbFindEnprPeople"};
    for (const char *b : boxes)
        Box(b)->setEditText(QStringLiteral("x"));
    Box("cbEnprRegion")->setCurrentIndex(1);
    Check("edFindEnprWorkNow")->setChecked(true);
    Get<QPushButton>(*w, "btnClearEnpr")->click();
    for (const char *b : boxes)
        EXPECT_EQ(Box(b)->currentText(), QString()) << b;
    EXPECT_EQ(Box("cbEnprRegion")->currentIndex(), 0);
    EXPECT_FALSE(Check("edFindEnprWorkNow")->isChecked());
}

TEST_P(MainSearch, OrganisationPanelCaptionsAreCyrillic)
{
    const struct {
        const char *label;
        QString text;
    } captions[] = {
        {"lblFindEnprName", QStringLiteral("Организация:")},
        {"lblFindEnprAttr", QStringLiteral("Вид деятельности:")},
        {"lblFindEnprPost", QStringLiteral("Адрес:")},
        {"lblFindEnprWeb", QStringLiteral("\u0421айт, e-mail, ICQ:")},
        {"lblFindEnprPhone", QStringLiteral("Телефон:")},
        {"lblFindEnprPeople", QStringLiteral("Сотрудники:")},
    };
    for (const auto &c : captions) {
        const QString shown = Get<QLabel>(*w, c.label)->text();
        EXPECT_EQ(shown, c.text) << c.label;
        // A Latin look-alike first letter reads the same but is not the word.
        EXPECT_GE(shown.at(0).unicode(), 0x400) << c.label;
    }
}

TEST_P(MainSearch, OrganisationsByTheUser)
{
    QTreeWidgetItem *city = City(EnprRoot(*w), 343);
    Select(*w, city);
    const int treeRows = EnprRows(*w).RecordCount();
    Box("cbFindEnprName")->setEditText(QStringLiteral(" ООО "));
    Box("cbFindEnprAttr")->setEditText(QStringLiteral("Продажа"));
    Box("cbFindEnprWeb")->setEditText(QStringLiteral("ru"));
    Enter(Box("cbFindEnprWeb"));
    EXPECT_EQ(Nav(), QStringLiteral("Организации / Екатеринбург (рез.поиска - организация: \"ООО\" вид деят: "
                                    "\"Продажа\" web: \"ru\")"));
    const int found = EnprRows(*w).RecordCount();
    EXPECT_GT(found, 0);
    EXPECT_LT(found, treeRows);
    EXPECT_EQ(StatusText(*w), Peer(*w).GetCountsText(1, 1, 343, 0, 0) + QStringLiteral(", найдено ") +
                                  QString::number(found) + QStringLiteral(" организаций"));
    EXPECT_EQ(Peer(*w).History().Kind, 1);
    EXPECT_TRUE(Peer(*w).History().ByUser);
    EXPECT_EQ(Peer(*w).History().EnprName, QStringLiteral("ООО"));
    EXPECT_EQ(Peer(*w).History().EnprCid, 343);
    EXPECT_EQ(Peer(*w).History().EnprSortCol, -1);
    EXPECT_TRUE(Peer(*w).History().EnprSql.startsWith(QStringLiteral("select  distinct ")));
    EXPECT_EQ(EnprRows(*w).SQL(), Peer(*w).History().EnprSql + Peer(*w).History().EnprOrderBy);
    EXPECT_EQ(Peer(*w).EnprSortOrders().value(1), QStringLiteral(" a.order_post "));
    EXPECT_EQ(Box("cbFindEnprName")->itemText(0), QStringLiteral("ООО"));
    EXPECT_EQ(Box("cbFindEnprPost")->count(), 0) << "an empty box adds no history";
    EXPECT_FALSE(Get<QWidget>(*w, "pnlEnpr")->isHidden());
    EXPECT_FALSE(Get<QAction>(*w, "mnuDollar")->isEnabled());
    // Rows are distinct addresses.
    QSet<QString> keys;
    while (!EnprRows(*w).Eof()) {
        keys.insert(EnprRows(*w).FieldByName(QStringLiteral("fid")).AsString() + u'/' +
                    EnprRows(*w).FieldByName(QStringLiteral("adr_id")).AsString());
        EnprRows(*w).Next();
    }
    EXPECT_EQ(keys.size(), found);
}

TEST_P(MainSearch, OrganisationStartConditionsAndTheRoot)
{
    Select(*w, EnprRoot(*w));
    // Only blanks, check boxes and districts: no search.
    Box("cbFindEnprPhone")->setEditText(QStringLiteral("   "));
    Check("edFindEnprDiscount")->setChecked(true);
    Get<QPushButton>(*w, "btnFindEnpr")->click();
    EXPECT_FALSE(EnprRows(*w).Active());

    // A tree-driven run at the root: every address of every city.
    Peer(*w).FindEnterprises(false);
    EXPECT_EQ(
        EnprRows(*w).RecordCount(),
        Scalar(QStringLiteral(
            "select count(*) from address a, street_name s, street_type t, city y, city_region r where a.cid=y.cid and "
            "a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id")));
    EXPECT_EQ(Peer(*w).History().EnprCid, 0);
    EXPECT_FALSE(Peer(*w).History().ByUser);
    EXPECT_FALSE(Peer(*w).History().EnprSql.contains(QStringLiteral("distinct")));
    EXPECT_FALSE(Peer(*w).History().EnprSql.contains(QStringLiteral("discount")));

    // The injection text finds nothing, with the message.
    Box("cbFindEnprName")->setEditText(QStringLiteral("' or 1=1 --"));
    Get<QPushButton>(*w, "btnFindEnpr")->click();
    EXPECT_EQ(EnprRows(*w).RecordCount(), 0);
    EXPECT_EQ(shown, QStringList{kNothingFound});
}

TEST_P(MainSearch, OccasionalPrdOrderOnTheNetwork)
{
    int calls = 0;
    int next = 0;
    Peer(*w).SetRandomSource([&](int n) {
        EXPECT_EQ(n, 10);
        ++calls;
        return next;
    });
    Select(*w, City(GoodRoot(*w), 343)->child(0)->child(0)); // tree-driven: no draw
    EXPECT_EQ(calls, 0);
    Box("cbFindGoodName")->setEditText(QStringLiteral("а"));
    const QString expected[] = {QStringLiteral(" org,prd,rand() "), QStringLiteral(" org,prd,rand() "),
                                QStringLiteral(" org,rand() "), QStringLiteral(" org,rand() ")};
    for (int i = 0; i < 4; ++i) {
        next = i == 0 ? 0 : (i == 1 ? 1 : (i == 2 ? 2 : 9));
        Get<QPushButton>(*w, "btnFindGood")->click();
        EXPECT_EQ(Peer(*w).History().GoodOrderBy,
                  GetParam() ? QStringLiteral(" order by ") + expected[i] : QStringLiteral(" order by  random() "));
        EXPECT_TRUE(GoodRows(*w).Active());
    }
    EXPECT_EQ(calls, GetParam() ? 4 : 0) << "drawn only where the prd order exists";
    Select(*w, City(EnprRoot(*w), 343));
    Box("cbFindEnprName")->setEditText(QStringLiteral("а"));
    next = 1;
    Get<QPushButton>(*w, "btnFindEnpr")->click();
    EXPECT_EQ(Peer(*w).History().EnprOrderBy,
              GetParam() ? QStringLiteral(" order by  org,prd,rand() ") : QStringLiteral(" order by  random() "));
    EXPECT_TRUE(EnprRows(*w).Active());
}

INSTANTIATE_TEST_SUITE_P(Deployments, MainSearch, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

namespace {
class MainSearchLog : public TSampleWindow
{};
} // namespace

TEST_F(MainSearchLog, SqlLogShowsTheSearchesAsExecuted)
{
    UseLocalSample(QStringLiteral("logger=1\n"));
    auto w = Start();
    Select(*w, City(GoodRoot(*w), 343));
    Get<QComboBox>(*w, "cbFindGoodName")->setEditText(QStringLiteral("Шуруп' --"));
    Click(Get<QPushButton>(*w, "btnFindGood"));
    Select(*w, City(EnprRoot(*w), 351));
    QFile log(Path(QStringLiteral("trevin.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray text = log.readAll();
    EXPECT_TRUE(text.contains(ToCp1251(Peer(*w).History().EnprSql + Peer(*w).History().EnprOrderBy)));
    EXPECT_TRUE(text.contains(ToCp1251(QStringLiteral("postext(CAST(x'"))));
    EXPECT_TRUE(text.contains(ToCp1251(QStringLiteral(" and a.cid=343 order by  random() "))));
}

TEST_F(MainSearchLog, CatalogueLockedAtStartEndsTheStartAndTheNextStartWorks)
{
    UseLocalSample();
    // A writer holds the catalogue for as long as the program starts.
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(Path(QStringLiteral("trevin.dat")).toUtf8().constData(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(HaltCode(), 1);
    sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("locked"))) << shown[0].toStdString();

    // Once the lock is gone, the next start searches as usual.
    shown.clear();
    auto w = Start();
    Select(*w, City(GoodRoot(*w), 343));
    Get<QComboBox>(*w, "cbFindGoodName")->setEditText(QStringLiteral("а"));
    Click(Get<QPushButton>(*w, "btnFindGood"));
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    EXPECT_GT(GoodRows(*w).RecordCount(), 0);
    EXPECT_FALSE(GoodRows(*w).FieldByName(QStringLiteral("sprice")).AsString().isEmpty());
}
