// The firm window as the user reaches it from the main window: Enter on a
// goods row or an organisation row, a look at both tabs, Esc to close.
#include "windows/main_catalogue.h"

#include "platform/dbctrls.h"
#include "windows/price/price.h"

#include <QApplication>
#include <QPointer>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

namespace {

// What the user saw of the firm window before closing it with Esc.
struct TSeenWindow {
    QString caption;
    int tab = -1;
    QString cardText;
    QStringList groups;
    QString priceStatus;
    bool priceTabVisible = false;
    QPointer<QWidget> window;
};

class MainPrice : public TSampleDeployment
{
protected:
    void SetUp() override
    {
        TSampleDeployment::SetUp();
        if (IsSkipped())
            return;
        Start();
    }
    void Start()
    {
        w = std::make_unique<TfrmMain>(AppDir());
        w->resize(1100, 750);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    void TearDown() override
    {
        w.reset();
        TSampleDeployment::TearDown();
    }
    // Presses Enter on the grid; the firm window, once up, is looked at and
    // closed with Esc. shot names the screenshots.
    TSeenWindow EnterOn(const char *grid, const QString &shot)
    {
        TSeenWindow seen;
        EnterOnGrid(*w, grid, [&](TfrmPrice &window) {
            TfrmPrice *price = &window;
            seen.window = price;
            seen.caption = price->windowTitle();
            auto *tabs = price->findChild<QTabWidget *>(QStringLiteral("PageControl1"));
            seen.tab = tabs->currentIndex();
            seen.cardText = price->findChild<QTextBrowser *>(QStringLiteral("HTMLViewer1"))->toPlainText();
            seen.priceTabVisible = tabs->isTabVisible(1);
            SaveShot(price, shot + QStringLiteral("_card"));
            auto *groups = price->findChild<QComboBox *>(QStringLiteral("cbGroup"));
            for (int i = 0; i < groups->count(); ++i)
                seen.groups << groups->itemText(i);
            // The user turns to the price list with Ctrl+Tab.
            QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
            QCoreApplication::processEvents();
            seen.priceStatus = price->findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text();
            SaveShot(price, shot + QStringLiteral("_price"));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : price, Qt::Key_Escape);
        });
        return seen;
    }
    QString Caption(TDataSet &rows)
    {
        TZReadOnlyQuery q(&Peer(*w).ZConnection1());
        const int cid = rows.FieldByName(QStringLiteral("cid")).AsInteger();
        const int fid = rows.FieldByName(QStringLiteral("fid")).AsInteger();
        const int adr = rows.FieldByName(QStringLiteral("adr_id")).AsInteger();
        q.SetSQL(
            QStringLiteral("select sfn from address where cid=%1 and fid=%2 and adr_id=%3").arg(cid).arg(fid).arg(adr));
        q.Open();
        const QString sfn = q.FieldByName(QStringLiteral("sfn")).AsString();
        return sfn + QStringLiteral(" - ") + LoadAddressText(q, cid, fid, adr, true);
    }

    std::unique_ptr<TfrmMain> w;
};

TEST_P(MainPrice, EnterOnAGoodsRowOpensTheFirmOnItsCard)
{
    Get<QComboBox>(*w, "cbFindGoodName")->setEditText(QStringLiteral("а"));
    Click(Get<QPushButton>(*w, "btnFindGood"));
    QCoreApplication::processEvents();
    TDataSet &rows = GoodRows(*w);
    ASSERT_TRUE(rows.Active() && !rows.IsEmpty());
    // The rows come in random order; the card of an address on a street of
    // no known type has neither name nor address, so a whole one is taken.
    const auto whole = [this, &rows] {
        const QString caption = Caption(rows);
        return !caption.endsWith(QStringLiteral(" - г.")) && !caption.endsWith(QStringLiteral(" - "));
    };
    while (!rows.Eof() && !whole())
        rows.Next();
    ASSERT_FALSE(rows.Eof()) << "no row with a whole address";
    const QString caption = Caption(rows);
    const QString firm = rows.FieldByName(QStringLiteral("sfn")).AsString();

    const TSeenWindow seen =
        EnterOn("DBGrid1", GetParam() ? QStringLiteral("price_network") : QStringLiteral("price_local"));
    EXPECT_EQ(seen.caption, caption);
    EXPECT_EQ(seen.tab, 0);
    EXPECT_TRUE(seen.cardText.contains(firm)) << seen.cardText.toStdString();
    ASSERT_FALSE(seen.groups.isEmpty());
    EXPECT_EQ(seen.groups[0], QStringLiteral("Все разделы"));
    EXPECT_GT(seen.groups.size(), 1);
    EXPECT_TRUE(seen.priceStatus.startsWith(QStringLiteral("Всего "))) << seen.priceStatus.toStdString();
    // Esc closed and freed it; the main window goes on.
    EXPECT_TRUE(seen.window.isNull());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

TEST_P(MainPrice, EnterOnAnOrganisationRowOpensItsFirmWindow)
{
    Select(*w, EnprRoot(*w));
    Get<QComboBox>(*w, "cbFindEnprName")->setEditText(QStringLiteral("а"));
    Click(Get<QPushButton>(*w, "btnFindEnpr"));
    QCoreApplication::processEvents();
    TDataSet &rows = EnprRows(*w);
    ASSERT_TRUE(rows.Active() && !rows.IsEmpty());
    const QString caption = Caption(rows);
    const TSeenWindow seen = EnterOn("DBGrid2", QStringLiteral("price_enpr"));
    EXPECT_EQ(seen.caption, caption);
    EXPECT_EQ(seen.tab, 0);
    EXPECT_TRUE(seen.window.isNull());
}

INSTANTIATE_TEST_SUITE_P(Deployments, MainPrice, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

// A statistics database that does not exist: the firm window is not shown,
// the error is, and the main window stays usable.
class MainPriceNoStat : public TSampleWindow
{};

TEST_F(MainPriceNoStat, AFailedStatisticsWriteShowsTheErrorAndNoWindow)
{
    REQUIRE_MYSQL();
    const testenv::MysqlServer s = testenv::Mysql();
    WriteIni(ServerIni(s.master, QStringLiteral("no_such_stat_database")) + QStringLiteral("[main]\nprotocol=mysql\n"));
    auto w = std::make_unique<TfrmMain>(AppDir());
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    Get<QComboBox>(*w, "cbFindGoodName")->setEditText(QStringLiteral("а"));
    Click(Get<QPushButton>(*w, "btnFindGood"));
    QCoreApplication::processEvents();
    ASSERT_TRUE(GoodRows(*w).Active() && !GoodRows(*w).IsEmpty());
    bool opened = false;
    QTimer look;
    look.setInterval(5);
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (auto *price = qobject_cast<TfrmPrice *>(QApplication::activeModalWidget())) {
            opened = true;
            price->reject();
        }
    });
    look.start();
    auto *grid = Get<TDBGrid>(*w, "DBGrid1");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Return);
    look.stop();
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("no_such_stat_database"))) << shown[0].toStdString();
    EXPECT_TRUE(w->findChildren<TfrmPrice *>().isEmpty());
    // The goods grid still answers.
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_GE(GoodRows(*w).RecNo(), 1);
}

} // namespace
