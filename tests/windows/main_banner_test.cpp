#include "windows/main_catalogue.h"

#include "services/hex_utl.h"
#include "data/inifile.h"
#include "services/history_combo.h"
#include "windows/reclama.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// Every file the start reads is taken only when it is a regular file of a
// sane size: a FIFO, a device or a huge file in its place is done with at
// once and gives what a missing file gives (the default settings, the
// catalogue's banner, Qt's English).
TEST_F(MainBanner, UnreadableFilesCountAsMissing)
{
    const QString translations = Path(QStringLiteral("translations"));
    QFile qt(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_ru.qm"));
    const QByteArray qm = qt.open(QIODevice::ReadOnly) ? qt.readAll() : QByteArray();
    // start: what a huge file begins with, which the program would act on
    // were it read. read: the program's own reader of the file; what it
    // took from it, empty for nothing.
    const struct {
        QString file;
        QByteArray start;
        std::function<QString(const QString &)> read;
    } files[] = {
        {QStringLiteral("trevin.ini"), "[protocol_sqlite]\ndatabase=absent.dat\n",
         [](const QString &path) {
             return TIniFile(path).ReadString(QStringLiteral("protocol_sqlite"), QStringLiteral("database"), {});
         }},
        {QStringLiteral("city_sp/city.ini"), "[main]\nmain_city=3452\nbutton=1\n",
         [](const QString &path) {
             return TIniFile(path).ReadString(QStringLiteral("main"), QStringLiteral("button"), {});
         }},
        {QStringLiteral("city_sp/banner/m1.jpg"), kBlue,
         [](const QString &path) {
             QByteArray bytes;
             return ReadBannerFile(path, &bytes) ? QString::number(bytes.size()) + QStringLiteral(" bytes") : QString();
         }},
        {QStringLiteral("translations/qtbase_ru.qm"), qm,
         [translations](const QString &) {
             QTranslator *translator = TApplication::InstallToolkitTranslations(translations);
             const QString print = QCoreApplication::translate("QPrintDialog", "Print");
             QCoreApplication::removeTranslator(translator);
             delete translator;
             return print == QLatin1String("Print") ? QString() : print;
         }},
    };
    enum TKind { Missing, Fifo, Device, Huge };
    const std::pair<TKind, const char *> kinds[] = {
        {Missing, "missing"}, {Fifo, "FIFO"}, {Device, "/dev/zero"}, {Huge, "100 MB"}};
    // A banner with a button is pressed, so a wrongly read city file
    // cannot hold the test.
    Watch([this](TfrmReclama &banner) {
        if (banner.Button1->isVisible())
            QTimer::singleShot(200, &banner, [&banner] { QTest::mouseClick(banner.Button1, Qt::LeftButton); });
    });
    for (const auto &f : files) {
        for (const auto &[kind, kindName] : kinds) {
            SCOPED_TRACE(f.file.toStdString() + ": " + kindName);
            events.clear();
            shown.clear();
            mainShown = false;
            LocalCatalogue(Row("m1.jpg", kRed));
            const QString path = Path(f.file);
            QDir().mkpath(QFileInfo(path).path());
            QFile::remove(path);
            if (kind == Fifo) {
                ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            }
            if (kind == Device) {
                ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
            }
            if (kind == Huge) {
                QFile huge(path);
                ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
                huge.write(f.start);
                ASSERT_TRUE(huge.resize(100 * 1024 * 1024)); // sparse: nothing is written
            }
            // Should a reader wait on the FIFO, a writer turns up after five
            // seconds (and keeps turning up), so the read ends, too late.
            std::atomic<bool> stop = false;
            std::thread writer([&] {
                for (int i = 0; i < 500 && !stop; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                while (kind == Fifo && !stop) {
                    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
                    if (fd >= 0)
                        ::close(fd);
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            });
            QElapsedTimer clock;
            clock.start();
            const QString taken = f.read(path);
            const qint64 elapsed = clock.elapsed();
            EXPECT_LT(elapsed, 3000);
            EXPECT_EQ(taken.toStdString(), "");

            // What the user meets: the local version on trevin.dat, no city
            // first, the catalogue's banner closing by itself, the warning.
            QString met;
            try {
                auto w = std::make_unique<TfrmMain>(AppDir());
                ShowAndIdle(*w);
                met = events.join(u'|') + QStringLiteral(", main city ") + QString::number(Peer(*w).MainCity());
            } catch (const EApplicationHalt &) {
                met = QStringLiteral("ended: ") + shown.join(u'|');
            }
            stop = true;
            writer.join();
            QFile::remove(path); // the next row writes a plain trevin.ini
            EXPECT_EQ(met.toStdString(), "banner red|message, main city 0");
        }
    }
}
