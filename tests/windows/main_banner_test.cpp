#include "windows/main_catalogue.h"

#include "services/hex_utl.h"
#include "services/history_combo.h"
#include "windows/reclama.h"

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

namespace {

QByteArray Png(QRgb colour)
{
    QImage image(200, 150, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const QByteArray kRed = Png(qRgb(220, 20, 20));
const QByteArray kBlue = Png(qRgb(20, 20, 220));

QString ColourOf(TfrmReclama &banner)
{
    const QRgb c = banner.HTMLViewer1->grab().toImage().pixel(100, 75);
    if (qRed(c) > 180 && qBlue(c) < 80)
        return QStringLiteral("red");
    if (qBlue(c) > 180 && qRed(c) < 80)
        return QStringLiteral("blue");
    return QStringLiteral("none");
}

bool BannerOpen()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmReclama *>(w) && w->isVisible())
            return true;
    return false;
}

// The program's banners and messages in the order a user meets them.
class MainBanner : public TSampleWindow
{
protected:
    void SetUp() override
    {
        TSampleWindow::SetUp();
        TApplication::SetIdleEventsEnabled(true);
        SetBannerInterval(50);
        Watch();
    }
    void TearDown() override
    {
        SetBannerShownHook({});
        SetBannerInterval(0);
        TSampleWindow::TearDown();
    }

    // act: what the user does once a banner is up (nothing: it closes by
    // itself).
    void Watch(std::function<void(TfrmReclama &)> act = {})
    {
        SetBannerShownHook([this, act](TfrmReclama &banner) {
            QString text = QStringLiteral("banner ") + ColourOf(banner);
            if (banner.Button1->isVisible())
                text += u' ' + banner.Button1->text();
            if (!mainShown)
                text += QStringLiteral(" before the window");
            events << text;
            if (act)
                act(banner);
        });
        SetMessageBoxHook([this](const TMessageBoxCall &call) {
            shown << call.text;
            events << (BannerOpen() ? QStringLiteral("message over a banner") : QStringLiteral("message"));
            return mrOk;
        });
    }

    // Shows the window and runs the event loop as the program does (idle
    // moments come only when the loop may wait) until a message came.
    void ShowAndIdle(TfrmMain &w)
    {
        w.show();
        mainShown = true;
        RunLoop(5000, [this] { return !shown.isEmpty(); });
        RunLoop(100);
    }
    static void RunLoop(int ms, const std::function<bool()> &done = {})
    {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (done && done())
                loop.quit();
        });
        poll.start(20);
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void LocalCatalogue(const QByteArray &filesSql, const QString &cityIni = QString())
    {
        QDir(Path(QStringLiteral("city_sp"))).removeRecursively();
        QFile::remove(Path(QStringLiteral("trevin.dat")));
        WriteIni(QStringLiteral("[main]\nprotocol=sqlite\n"));
        MakeCatalogue();                                // data of 2026-11-30
        SetTodayHook([] { return QDate(2027, 1, 9); }); // 40 days later
        if (!filesSql.isEmpty())
            ExecSqliteFile(Path(QStringLiteral("trevin.dat")),
                           "create table files(prefix varchar(50), name varchar(255), body text);" + filesSql);
        if (!cityIni.isEmpty())
            WriteFile(QStringLiteral("city_sp/city.ini"), cityIni);
    }
    static QByteArray Row(const char *name, const QByteArray &picture)
    {
        return "insert into files values('banner','" + QByteArray(name) + "','" + HexEncode(picture).toLatin1() + "');";
    }
    void BannerFile(const char *name, const QByteArray &bytes)
    {
        const QString path = Path(QStringLiteral("city_sp/banner/") + QString::fromLatin1(name));
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    bool mainShown = false;
    QStringList events;
};

} // namespace

TEST_F(MainBanner, OpeningBannerFromFileOrRowThenTheWarning)
{
    const QByteArray jpeg = [] {
        QImage image(200, 150, QImage::Format_RGB32);
        image.fill(qRgb(220, 20, 20));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPG");
        return bytes;
    }();
    const struct {
        const char *what;
        bool withFile;
        QByteArray file;
        QByteArray rows;
        const char *events; // what the user meets, in order
    } cases[] = {
        {"file wins over the row", true, kBlue, Row("m1.jpg", kRed), "banner blue|message"},
        {"row", false, {}, Row("m1.jpg", kRed) + Row("m2.jpg", kBlue), "banner red|message"},
        {"JPEG row", false, {}, Row("m1.jpg", jpeg), "banner red|message"},
        {"no row", false, {}, Row("m2.jpg", kBlue), "message"},
        // The look-up asks for one row: a doubled row still gives its banner.
        {"two rows", false, {}, Row("m1.jpg", kRed) + Row("m1.jpg", kBlue), "banner red|message"},
        {"garbage file", true, QByteArray("not a picture\n").repeated(20), Row("m1.jpg", kRed), "banner none|message"},
        {"empty file", true, QByteArray(), Row("m1.jpg", kRed), "banner none|message"},
        {"truncated JPEG file", true, jpeg.left(60), {}, "banner none|message"},
        {"garbage row",
         false,
         {},
         "insert into files values('banner','m1.jpg','QQQ не картинка');",
         "banner none|message"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        events.clear();
        shown.clear();
        mainShown = false;
        LocalCatalogue(c.rows.isEmpty() ? QByteArray(" ") : c.rows);
        if (c.withFile)
            BannerFile("m1.jpg", c.file);
        auto w = Start();
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
        ShowAndIdle(*w);
        EXPECT_EQ(events.join(u'|'), QString::fromUtf8(c.events));
        ASSERT_EQ(shown.size(), 1);
        EXPECT_TRUE(shown[0].contains(QStringLiteral(" 40 дней назад."))) << shown[0].toStdString();
    }
}

TEST_F(MainBanner, ButtonSwitchWaitsForTheButtonOnOpeningAndClosing)
{
    for (const bool button : {true, false}) {
        SCOPED_TRACE(button ? "button = 1" : "button = 0");
        events.clear();
        shown.clear();
        mainShown = false;
        LocalCatalogue(Row("m1.jpg", kRed) + Row("m2.jpg", kBlue),
                       QStringLiteral("[main]\nbutton=") + (button ? u'1' : u'0') + u'\n');
        // With the button the banner outlives its timer until pressed.
        Watch([this](TfrmReclama &banner) {
            if (banner.Button1->isVisible())
                QTimer::singleShot(200, &banner, [this, &banner] {
                    events << QStringLiteral("pressed");
                    QTest::mouseClick(banner.Button1, Qt::LeftButton);
                });
        });
        auto w = Start();
        ShowAndIdle(*w);
        w->close();
        EXPECT_FALSE(w->isVisible());
        const QStringList expected =
            button
                ? QStringList{QStringLiteral("banner red Далее>"), QStringLiteral("pressed"), QStringLiteral("message"),
                              QStringLiteral("banner blue Выход"), QStringLiteral("pressed")}
                : QStringList{QStringLiteral("banner red"), QStringLiteral("message"), QStringLiteral("banner blue")};
        EXPECT_EQ(events, expected);
        EXPECT_FALSE(BannerOpen());
    }
}

TEST_F(MainBanner, FailedLookupsAreShownOnceAndTheProgramStaysClosable)
{
    LocalCatalogue(QByteArray()); // no files table
    auto w = Start();
    ShowAndIdle(*w);
    RunLoop(100);
    // The opening look-up fails: shown, and the warning is not given.
    ASSERT_EQ(shown.size(), 1) << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("files"))) << shown[0].toStdString();
    EXPECT_EQ(events, QStringList{QStringLiteral("message")});

    shown.clear();
    w->findChild<QComboBox *>(QStringLiteral("cbFindGoodName"))->setEditText(QStringLiteral("хлеб"));
    RememberComboText(w->findChild<QComboBox *>(QStringLiteral("cbFindGoodName")));
    w->findChild<QAction *>(QStringLiteral("N5"))->trigger(); // "Выход"
    EXPECT_FALSE(w->isVisible());
    ASSERT_EQ(shown.size(), 1) << shown.join(u'|').toStdString();
    EXPECT_TRUE(shown[0].contains(QStringLiteral("files")));
    EXPECT_EQ(QSettings(QStringLiteral("selbran"), QStringLiteral("trevin"))
                  .value(QStringLiteral("2.0/cbFindGoodName/Strting0"))
                  .toString(),
              QStringLiteral("хлеб"));
}

TEST_F(MainBanner, NetworkVersionHasNoBannersAndWarnsAtTheFirstIdleMoment)
{
    REQUIRE_MYSQL();
    UseNetworkSample();
    BannerFile("m1.jpg", kRed);
    BannerFile("m2.jpg", kBlue);
    SetTodayHook([] { return QDate(2027, 1, 10); }); // the sample's data are of 2026-12-01
    auto w = Start();
    ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    ShowAndIdle(*w);
    EXPECT_EQ(events, QStringList{QStringLiteral("message")});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral(" 40 дней назад.")));
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(events, QStringList{QStringLiteral("message")});
}
