#include "windows/main_catalogue.h"

#include "services/sqlite_func.h"

#include <QToolButton>

namespace {

class MainHistory : public TSampleWindow
{
protected:
    void SetUp() override
    {
        TSampleWindow::SetUp();
        UseLocalSample();
        w = Start();
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
        Select(*w, City(GoodRoot(*w), 343));
    }
    void TearDown() override
    {
        SetCheckWtClock({});
        TSampleWindow::TearDown();
    }
    void FindGood(const QString &text)
    {
        Get<QComboBox>(*w, "cbFindGoodName")->setEditText(text);
        Get<QPushButton>(*w, "btnFindGood")->click();
    }
    QStringList Captions(QMenu *menu)
    {
        QStringList out;
        for (QAction *a : menu->actions())
            out << a->text();
        return out;
    }
    static QString NavOf(const QString &word)
    {
        return QStringLiteral("Товары, Услуги / Екатеринбург (рез.поиска - название: \"") + word +
               QStringLiteral("\")");
    }
    QString Nav() { return Get<QLineEdit>(*w, "edNavigave")->text(); }

    std::unique_ptr<TfrmMain> w;
};

} // namespace

TEST_F(MainHistory, SearchesFillTheBackList)
{
    EXPECT_FALSE(Get<QToolButton>(*w, "btnBack")->isEnabled());
    EXPECT_FALSE(Get<QToolButton>(*w, "btnNext")->isEnabled());
    FindGood(QStringLiteral("а"));
    EXPECT_TRUE(Get<QMenu>(*w, "mnuBack")->actions().isEmpty()) << "the empty start view is never saved";
    EXPECT_FALSE(Get<QToolButton>(*w, "btnBack")->isEnabled());
    FindGood(QStringLiteral("о"));
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuBack")), QStringList{NavOf(QStringLiteral("а"))});
    EXPECT_TRUE(Get<QToolButton>(*w, "btnBack")->isEnabled());
    EXPECT_EQ(TfrmMainTestPeer::EntryRecord(Get<QMenu>(*w, "mnuBack")->actions()[0])->GoodName, QStringLiteral("а"));

    for (int i = 0; i < 28; ++i)
        FindGood(QStringLiteral("а%1").arg(i));
    // 30 searches: the 25 most recent earlier views, nearest first.
    const QStringList back = Captions(Get<QMenu>(*w, "mnuBack"));
    ASSERT_EQ(back.size(), 25);
    EXPECT_EQ(back.first(), NavOf(QStringLiteral("а26")));
    EXPECT_EQ(back.last(), NavOf(QStringLiteral("а2")));
}

TEST_F(MainHistory, BackAndForwardRestoreTheViews)
{
    FindGood(QStringLiteral("а"));
    const QString firstSql = GoodRows(*w).SQL();
    Get<QComboBox>(*w, "cbGoodRegion")->setCurrentIndex(2);
    Get<QCheckBox>(*w, "edFindGoodDiscount")->setChecked(true);
    FindGood(QStringLiteral("о"));
    const QString secondStatus = StatusText(*w);
    const int secondRows = GoodRows(*w).RecordCount();

    // An organisation view in between, from another city.
    Select(*w, City(EnprRoot(*w), 3452));
    Get<QComboBox>(*w, "cbFindEnprName")->setEditText(QStringLiteral("ООО"));
    Get<QPushButton>(*w, "btnFindEnpr")->click();
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuBack")).size(), 3) << "the tree's own organisation search counts too";

    Click(Get<QToolButton>(*w, "btnBack"));
    EXPECT_FALSE(Get<QWidget>(*w, "pnlEnpr")->isHidden());
    EXPECT_FALSE(Peer(*w).History().ByUser);
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), City(EnprRoot(*w), 3452));
    Click(Get<QToolButton>(*w, "btnBack"));
    // The goods view with its filters, re-run from its stored text.
    EXPECT_TRUE(Get<QWidget>(*w, "pnlEnpr")->isHidden());
    EXPECT_EQ(Nav(), NavOf(QStringLiteral("о")).chopped(1) + QStringLiteral(" предоставляющие скидки район:\"") +
                         Get<QComboBox>(*w, "cbGoodRegion")->itemText(2) + QStringLiteral("\")"));
    EXPECT_EQ(StatusText(*w), secondStatus);
    EXPECT_EQ(GoodRows(*w).RecordCount(), secondRows);
    EXPECT_EQ(GoodRows(*w).SQL(), Peer(*w).History().GoodSql + Peer(*w).History().GoodOrderBy);
    EXPECT_EQ(Get<QComboBox>(*w, "cbFindGoodName")->currentText(), QStringLiteral("о"));
    EXPECT_EQ(Get<QComboBox>(*w, "cbGoodRegion")->currentIndex(), 2);
    EXPECT_TRUE(Get<QCheckBox>(*w, "edFindGoodDiscount")->isChecked());
    EXPECT_EQ(Get<QTreeWidget>(*w, "TreeView")->currentItem(), City(GoodRoot(*w), 343));
    EXPECT_FALSE(Get<QWidget>(*w, "pnlFindGood")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "pnlFindEnpr")->isHidden());
    EXPECT_FALSE(Get<QWidget>(*w, "pnlGood")->isHidden());
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuBack")).size(), 1);
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuNext")).size(), 2);
    EXPECT_TRUE(Get<QToolButton>(*w, "btnNext")->isEnabled());
    EXPECT_EQ(Get<QComboBox>(*w, "cbFindGoodName")->count(), 2) << "restoring leaves the histories alone";

    Click(Get<QToolButton>(*w, "btnBack"));
    EXPECT_EQ(GoodRows(*w).SQL(), firstSql);
    EXPECT_FALSE(Get<QToolButton>(*w, "btnBack")->isEnabled());
    Click(Get<QToolButton>(*w, "btnNext"));
    EXPECT_EQ(Get<QComboBox>(*w, "cbFindGoodName")->currentText(), QStringLiteral("о"));

    // A new search empties the Forward list.
    FindGood(QStringLiteral("е"));
    EXPECT_TRUE(Get<QMenu>(*w, "mnuNext")->actions().isEmpty());
    EXPECT_FALSE(Get<QToolButton>(*w, "btnNext")->isEnabled());
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuBack")).size(), 2);
}

TEST_F(MainHistory, PickingAnEntryFurtherBack)
{
    for (const QString &word : {QStringLiteral("а"), QStringLiteral("б"), QStringLiteral("в"), QStringLiteral("г")})
        FindGood(word);
    // Back: в, б, а (nearest first); current г.
    ASSERT_EQ(Captions(Get<QMenu>(*w, "mnuBack")),
              (QStringList{NavOf(QStringLiteral("в")), NavOf(QStringLiteral("б")), NavOf(QStringLiteral("а"))}));
    Get<QMenu>(*w, "mnuBack")->actions()[2]->trigger();
    EXPECT_EQ(Nav(), NavOf(QStringLiteral("а")));
    EXPECT_TRUE(Get<QMenu>(*w, "mnuBack")->actions().isEmpty());
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuNext")),
              (QStringList{NavOf(QStringLiteral("б")), NavOf(QStringLiteral("в")), NavOf(QStringLiteral("г"))}));
    // Forward walks them in time order.
    for (const QString &word : {QStringLiteral("б"), QStringLiteral("в"), QStringLiteral("г")}) {
        Get<QToolButton>(*w, "btnNext")->click();
        EXPECT_EQ(Get<QComboBox>(*w, "cbFindGoodName")->currentText(), word);
        EXPECT_EQ(Nav(), NavOf(word));
    }
    EXPECT_FALSE(Get<QToolButton>(*w, "btnNext")->isEnabled());
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuBack")).size(), 3);

    // The mirror image: picking the last Forward entry.
    Get<QMenu>(*w, "mnuBack")->actions()[2]->trigger();
    Get<QMenu>(*w, "mnuNext")->actions()[2]->trigger();
    EXPECT_EQ(Nav(), NavOf(QStringLiteral("г")));
    EXPECT_EQ(Captions(Get<QMenu>(*w, "mnuBack")),
              (QStringList{NavOf(QStringLiteral("в")), NavOf(QStringLiteral("б")), NavOf(QStringLiteral("а"))}));
    EXPECT_TRUE(Get<QMenu>(*w, "mnuNext")->actions().isEmpty());
}

TEST_F(MainHistory, RestoredViewRunsAtTheNewMoment)
{
    // Working now is tested when the view runs again; the discount date
    // stays as written into the text.
    SetCheckWtClock([] { return QDateTime(QDate(2026, 12, 9), QTime(10, 30)); });
    SetTodayHook([] { return QDate(2005, 3, 15); });
    Get<QCheckBox>(*w, "edFindGoodWorkNow")->setChecked(true);
    Get<QCheckBox>(*w, "edFindGoodDiscount")->setChecked(true);
    FindGood(QStringLiteral("а"));
    const int atDay = GoodRows(*w).RecordCount();
    EXPECT_GT(atDay, 0);
    EXPECT_TRUE(GoodRows(*w).SQL().contains(QStringLiteral("'2005-03-15'")));
    FindGood(QStringLiteral("о"));

    SetCheckWtClock([] { return QDateTime(QDate(2026, 12, 13), QTime(3, 0)); });
    SetTodayHook([] { return QDate(2026, 12, 9); });
    Click(Get<QToolButton>(*w, "btnBack"));
    EXPECT_TRUE(GoodRows(*w).SQL().contains(QStringLiteral("'2005-03-15'")));
    EXPECT_LT(GoodRows(*w).RecordCount(), atDay) << "fewer firms work on Sunday at 3 a.m.";
}
