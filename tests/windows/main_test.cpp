#include "windows/main_fixture.h"
#include "windows/main_peer.h"

#include "components/SDialogs.h"
#include "platform/application.h"
#include "data/codec.h"
#include "data/usersettings.h"
#include "services/globals.h"
#include "services/history_combo.h"
#include "fifo.h"
#include "tmpfs.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace {

class MainWindowStart : public TMainWindowFixture
{};

} // namespace

TEST_F(MainWindowStart, LocalVersionWithDefaults)
{
    MakeCatalogue();
    auto w = Start();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    EXPECT_EQ(Protocol, QStringLiteral("sqlite"));
    EXPECT_FALSE(IsNetwork);
    EXPECT_EQ(Peer(*w).AppDir(), AppDir());
    EXPECT_EQ(Peer(*w).ZConnection1().Database, Path(QStringLiteral("trevin.dat")));
    EXPECT_TRUE(w->windowTitle().startsWith(kTitle + QStringLiteral(" Информация от ")));
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("2026")));
    // The data date the Russian way, whatever the user's locale.
    EXPECT_EQ(w->windowTitle(), kTitle + QStringLiteral(" Информация от 30.11.2026 10:15:00 (локальная версия)"));
    EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral(" (локальная версия)")));
    EXPECT_EQ(w->minimumSize(), QSize(800, 550));
    EXPECT_EQ(w->size(), QSize(800, 550));
    EXPECT_EQ(Peer(*w).History().Kind, -1);
    EXPECT_EQ(Peer(*w).History().GoodSortCol, 0);
    EXPECT_EQ(Peer(*w).PhoneWnd(), -1);
    EXPECT_FALSE(Peer(*w).FirmHasPrd());
    EXPECT_TRUE(Peer(*w).TransferCities().isEmpty());
    EXPECT_TRUE(Peer(*w).ZConnection1().SQLHourGlass) << "start-up ran to its end";
    EXPECT_EQ(Peer(*w).ConnectCount(), 1);
    EXPECT_FALSE(w->isMaximized());
    // The window went through the charset fix-up.
    EXPECT_EQ(w->findChild<QComboBox *>(QStringLiteral("cbFindGoodName"))->property("charset").toInt(), 204);
}

TEST_F(MainWindowStart, ProtocolIsCaseSensitive)
{
    MakeCatalogue();
    WriteIni(QStringLiteral("[main]\nprotocol=MySQL\n"));
    auto w = Start();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(Protocol, QStringLiteral("MySQL"));
    EXPECT_FALSE(IsNetwork);
    EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral(" (локальная версия)")));
}

TEST_F(MainWindowStart, MissingDatabaseFileEndsTheProgram)
{
    const QString configured = Path(QStringLiteral("нет/каталог.dat"));
    WriteIni(QStringLiteral("[protocol_sqlite]\ndatabase=") + configured + u'\n');
    EXPECT_EQ(HaltCode(), 1);
    EXPECT_EQ(shown, QStringList{QStringLiteral("  Файл ") + configured + QStringLiteral(" не найден.  ")});

    shown.clear();
    WriteIni(QStringLiteral("[protocol_sqlite]\ndatabase=\n"));
    EXPECT_EQ(HaltCode(), 1);
    EXPECT_EQ(shown, QStringList{QStringLiteral("  Файл ") + Path(QStringLiteral("trevin.dat")) +
                                 QStringLiteral(" не найден.  ")});
}

TEST_F(MainWindowStart, MissingClientLibraryEndsTheProgram)
{
    MakeCatalogue();
    const QString library = Path(QStringLiteral("libsqlite3-missing.so"));
    TZConnection::ClientLibraryOverride() = library;
    EXPECT_EQ(HaltCode(), 1);
    EXPECT_EQ(shown, QStringList{QStringLiteral("  Файл ") + library + QStringLiteral(" не найден.  ")});
}

TEST_F(MainWindowStart, RelativeDatabaseIsFoundBesideTheProgram)
{
    MakeCatalogue(QStringLiteral("data.dat"));
    WriteIni(QStringLiteral("[protocol_sqlite]\ndatabase=data.dat\n"));
    auto w = Start();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(Peer(*w).ZConnection1().Database, Path(QStringLiteral("data.dat")));
}

TEST_F(MainWindowStart, SqlLogOnlyForLoggerOne)
{
    MakeCatalogue();
    WriteIni(QStringLiteral("[main]\nlogger=2\n"));
    Start();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("trevin.log"))));

    WriteIni(QStringLiteral("[main]\nlogger=1\nlogger_file=\n"));
    Start();
    QFile log(Path(QStringLiteral("trevin.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("select db_date from db_date"));

    WriteIni(QStringLiteral("[main]\nlogger=1\nlogger_file=") + Path(QStringLiteral("sql.txt")) + u'\n');
    Start();
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("sql.txt"))));
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(MainWindowStart, TransferCities)
{
    MakeCatalogue();
    const struct {
        QString ini;
        QStringList expected;
    } cases[] = {
        {QStringLiteral("[transfer_city]\ncount=0\ncity_1=343\n"), {}},
        {QStringLiteral("[transfer_city]\ncount=-1\ncity_1=343\n"), {}},
        {QStringLiteral("[transfer_city]\ncount=abc\ncity_1=343\n"), {}},
        {QStringLiteral("[transfer_city]\ncount=3\ncity_1=343\n"),
         {QStringLiteral("343"), QStringLiteral("0"), QStringLiteral("0")}},
        {QStringLiteral("[transfer_city]\ncount=2\ncity_2=351\ncity_1=3452\n"),
         {QStringLiteral("3452"), QStringLiteral("351")}},
    };
    for (const auto &c : cases) {
        WriteIni(c.ini);
        auto w = Start();
        EXPECT_EQ(Peer(*w).TransferCities(), c.expected) << c.ini.toStdString();
    }
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(MainWindowStart, CityFileOfTheLocalVersion)
{
    MakeCatalogue();
    auto plain = Start();
    EXPECT_FALSE(Peer(*plain).BannerButton());
    EXPECT_EQ(Peer(*plain).MainCity(), 0);

    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3452\nbutton=1\n"));
    auto withButton = Start();
    EXPECT_TRUE(Peer(*withButton).BannerButton());
    EXPECT_EQ(Peer(*withButton).MainCity(), 3452);

    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nbutton=2\n"));
    auto two = Start();
    EXPECT_FALSE(Peer(*two).BannerButton());
    EXPECT_EQ(Peer(*two).MainCity(), 0);
}

TEST_F(MainWindowStart, HistoriesOfAllEightBoxesSurviveARestart)
{
    MakeCatalogue();
    QStringList names;
    {
        auto w = Start();
        w->show();
        int n = 0;
        for (QComboBox *box : Peer(*w).HistoryBoxes()) {
            names << box->objectName();
            box->setEditText(QStringLiteral("старый %1").arg(n));
            RememberComboText(box);
            box->setEditText(QStringLiteral("новый %1").arg(n++));
            RememberComboText(box);
        }
        w->findChild<QAction *>(QStringLiteral("N5"))->trigger(); // "Выход"
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("cbFindEnprName"), QStringLiteral("cbFindEnprAttr"),
                                  QStringLiteral("cbFindEnprPost"), QStringLiteral("cbFindEnprPhone"),
                                  QStringLiteral("cbFindEnprWeb"), QStringLiteral("cbFindEnprPeople"),
                                  QStringLiteral("cbFindGoodName"), QStringLiteral("cbFindGoodEnprName")}));
    QSettings settings(QStringLiteral("selbran"), QStringLiteral("trevin"));
    EXPECT_EQ(settings.value(QStringLiteral("2.0/cbFindEnprWeb/Count")).toString(), QStringLiteral("2"));
    EXPECT_EQ(settings.value(QStringLiteral("2.0/state/fullscreen")).toString(), QStringLiteral("0"));

    auto again = Start();
    int n = 0;
    for (QComboBox *box : Peer(*again).HistoryBoxes()) {
        ASSERT_EQ(box->count(), 2) << box->objectName().toStdString();
        EXPECT_EQ(box->itemText(0), QStringLiteral("новый %1").arg(n));
        EXPECT_EQ(box->itemText(1), QStringLiteral("старый %1").arg(n++));
    }
}

// The user's settings file is read and written only as a regular file of
// bounded size: anything else in its place starts with no history, closes
// promptly and is left as it was.
TEST_F(MainWindowStart, OnlyARegularSettingsFileOfBoundedSizeIsReadOrWritten)
{
    MakeCatalogue();
    const QString path = TRegistryIniFile(QStringLiteral("Software\\selbran\\trevin\\2.0")).FileName();
    const QByteArray history = "[2.0]\ncbFindGoodName\\Count=1\ncbFindGoodName\\Strting0=хлеб\n";
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    enum TKind { Regular, Fifo, Device, Huge };
    const std::pair<TKind, const char *> kinds[] = {
        {Regular, "regular"}, {Fifo, "FIFO"}, {Device, "/dev/zero"}, {Huge, "100 MB"}};
    for (const auto &[kind, kindName] : kinds) {
        SCOPED_TRACE(kindName);
        QFile::remove(path);
        std::unique_ptr<TFifo> fifo;
        QFile file(path);
        if (kind == Fifo) {
            fifo = std::make_unique<TFifo>(path);
            ASSERT_TRUE(fifo->Made());
        } else if (kind == Device) {
            ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path));
        } else {
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(history);
            if (kind == Huge) {
                ASSERT_TRUE(file.resize(100 * 1024 * 1024)); // sparse: nothing is written
            }
            file.close();
        }
        const QFileInfo before(path);

        QElapsedTimer clock;
        clock.start();
        {
            auto w = Start();
            auto *box = w->findChild<QComboBox *>(QStringLiteral("cbFindGoodName"));
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->count(), kind == Regular ? 1 : 0);
            box->setEditText(QStringLiteral("молоко"));
            RememberComboText(box);
            w->findChild<QAction *>(QStringLiteral("N5"))->trigger(); // "Выход"
        }
        EXPECT_LT(clock.elapsed(), 3000);

        const QFileInfo after(path);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isFile(), before.isFile());
        if (kind == Huge) {
            EXPECT_EQ(after.size(), before.size());
        }
        // The next start shows what the last one kept.
        auto again = Start();
        const QStringList expected =
            kind == Regular ? QStringList{QStringLiteral("молоко"), QStringLiteral("хлеб")} : QStringList{};
        const auto *box = again->findChild<QComboBox *>(QStringLiteral("cbFindGoodName"));
        QStringList items;
        for (int i = 0; i < box->count(); ++i)
            items << box->itemText(i);
        EXPECT_EQ(items, expected);
        again.reset();
        QFile::remove(path);
    }
}

// A run killed while it saved leaves the file it was writing beside the
// settings; the next start removes it, and keeps those of runs still going.
TEST_F(MainWindowStart, SettingsCopiesOfEndedRunsAreRemoved)
{
    MakeCatalogue();
    QProcess ended;
    ended.start(QStringLiteral("true"));
    ASSERT_TRUE(ended.waitForStarted(10000));
    const qint64 gone = ended.processId();
    ASSERT_TRUE(ended.waitForFinished(10000));
    const QDir folder = QFileInfo(TRegistryIniFile(QStringLiteral("Software\\selbran\\trevin\\2.0")).FileName()).dir();
    ASSERT_TRUE(folder.mkpath(QStringLiteral(".")));
    const QString left = folder.filePath(QStringLiteral(".trevin-save-%1-a1B2c3").arg(gone));
    const QString running =
        folder.filePath(QStringLiteral(".trevin-save-%1-a1B2c3").arg(QCoreApplication::applicationPid()));
    for (const QString &path : {left, running}) {
        QFile copy(path);
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    }
    Start();
    EXPECT_FALSE(QFile::exists(left));
    EXPECT_TRUE(QFile::exists(running));
    QFile::remove(running);
}

namespace {

// The items of the window's goods-name box.
QStringList GoodNameHistory(TfrmMain &w)
{
    const auto *box = w.findChild<QComboBox *>(QStringLiteral("cbFindGoodName"));
    QStringList items;
    for (int i = 0; box && i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// A search for text in the window's goods-name box, then "Выход".
void SearchAndClose(TfrmMain &w, const QString &text)
{
    auto *box = w.findChild<QComboBox *>(QStringLiteral("cbFindGoodName"));
    box->setEditText(text);
    RememberComboText(box);
    w.findChild<QAction *>(QStringLiteral("N5"))->trigger();
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

// A full temporary folder or a full settings folder never cuts the user's
// settings file: it holds what it held, or the whole new content.
TEST_F(MainWindowStart, AFullDiskNeverCutsTheSettingsFile)
{
    MakeCatalogue();
    // Twenty texts in each of the eight boxes, some 10 KB.
    QByteArray page = "[2.0]\n";
    QStringList stored;
    for (const char *box : {"cbFindEnprAttr", "cbFindEnprName", "cbFindEnprPeople", "cbFindEnprPhone", "cbFindEnprPost",
                            "cbFindEnprWeb", "cbFindGoodEnprName", "cbFindGoodName"}) {
        page += QByteArray(box) + "\\Count=20\n";
        for (int i = 0; i < 20; ++i) {
            const QString text = QStringLiteral("запомненный текст поиска %1").arg(i);
            page += QByteArray(box) + "\\Strting" + QByteArray::number(i) + '=' + text.toUtf8() + '\n';
            if (QByteArray(box) == "cbFindGoodName")
                stored << text;
        }
    }
    page += "state\\fullscreen=0\n";
    ASSERT_GT(page.size(), 10 * 1024);

    const QByteArray oldTmp = qgetenv("TMPDIR");
    const QByteArray oldHome = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("TMPDIR", oldTmp);
        qputenv("XDG_CONFIG_HOME", oldHome);
    });
    const struct {
        const char *name;
        bool fullSettingsFolder; // else the temporary folder is full
        bool search;
    } cases[] = {{"full /tmp, nothing changed", false, false},
                 {"full /tmp, a search", false, true},
                 {"full settings folder, nothing changed", true, false},
                 {"full settings folder, a search", true, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TSmallTmpfs tmp("size=8k");
        TSmallTmpfs settings("size=16k"); // the file and one page more
        REQUIRE_TMPFS(tmp);
        REQUIRE_TMPFS(settings);
        qputenv("TMPDIR", QFile::encodeName(tmp.Path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(c.fullSettingsFolder ? settings.Path() : dir.path()));
        const QString path = TRegistryIniFile(QStringLiteral("Software\\selbran\\trevin\\2.0")).FileName();
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            ASSERT_EQ(file.write(page), page.size());
        }
        tmp.Fill();
        settings.Fill();

        auto w = Start();
        if (c.search)
            SearchAndClose(*w, QStringLiteral("новый текст"));
        else
            w->close();
        w.reset();
        const bool saved = c.search && !c.fullSettingsFolder;
        if (!saved) {
            EXPECT_EQ(ReadAll(path), page);
        }
        EXPECT_EQ(QDir(QFileInfo(path).path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("trevin.conf")});
        const QStringList expected = saved ? QStringList{QStringLiteral("новый текст")} + stored.mid(0, 19) : stored;
        EXPECT_EQ(GoodNameHistory(*Start()), expected);
    }
}

// Two programs at once each keep their own searches: A starts, B starts,
// B searches and closes, then A searches and closes.
TEST_F(MainWindowStart, TwoProgramsAtOnceEachKeepTheirSearches)
{
    MakeCatalogue();
    {
        QSettings settings(QStringLiteral("selbran"), QStringLiteral("trevin"));
        settings.setValue(QStringLiteral("2.0/cbFindGoodName/Count"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("2.0/cbFindGoodName/Strting0"), QStringLiteral("старое"));
    }
    auto a = Start();
    auto b = Start();
    SearchAndClose(*b, QStringLiteral("бета"));
    b.reset();
    SearchAndClose(*a, QStringLiteral("альфа"));
    a.reset();
    EXPECT_EQ(GoodNameHistory(*Start()),
              (QStringList{QStringLiteral("альфа"), QStringLiteral("бета"), QStringLiteral("старое")}));
}

TEST_F(MainWindowStart, FullscreenValueOtherThanZeroMaximises)
{
    MakeCatalogue();
    QSettings(QStringLiteral("selbran"), QStringLiteral("trevin"))
        .setValue(QStringLiteral("2.0/state/fullscreen"), QStringLiteral("5"));
    auto w = Start();
    EXPECT_TRUE(w->isMaximized());
    w->close();
    QSettings settings(QStringLiteral("selbran"), QStringLiteral("trevin"));
    EXPECT_EQ(settings.value(QStringLiteral("2.0/state/fullscreen")).toString(), QStringLiteral("1"));

    settings.setValue(QStringLiteral("2.0/state/fullscreen"), QStringLiteral("0"));
    settings.sync();
    EXPECT_FALSE(Start()->isMaximized());
}

TEST_F(MainWindowStart, AFailedStepIsShownAndEndsTheProgram)
{
    // A file that is no database, a catalogue without its date table, a
    // folder in place of the file: the error is shown once and the program
    // ends, never leaving a window without its later steps' work.
    {
        QSettings settings(QStringLiteral("selbran"), QStringLiteral("trevin"));
        settings.setValue(QStringLiteral("2.0/cbFindGoodName/Count"), QStringLiteral("1"));
        settings.setValue(QStringLiteral("2.0/cbFindGoodName/Strting0"), QStringLiteral("хлеб"));
    }
    const struct {
        const char *name;
        std::function<void()> make;
        QString inMessage;
    } cases[] = {
        {"not a database",
         [this] {
             WriteFile(QStringLiteral("trevin.dat"),
                       QStringLiteral("это не база данных, а просто текст. ").repeated(200));
         },
         QString()},
        {"no date table", [this] { MakeCatalogue(QStringLiteral("trevin.dat"), false); }, QStringLiteral("db_date")},
        {"a folder", [this] { QDir().mkpath(Path(QStringLiteral("trevin.dat"))); }, QString()},
    };
    for (const auto &c : cases) {
        QFile::remove(Path(QStringLiteral("trevin.dat")));
        QDir(Path(QStringLiteral("trevin.dat"))).removeRecursively();
        c.make();
        shown.clear();
        EXPECT_EQ(HaltCode(), 1) << c.name;
        ASSERT_EQ(shown.size(), 1) << c.name;
        EXPECT_FALSE(shown[0].isEmpty()) << c.name;
        EXPECT_FALSE(shown[0].contains(QStringLiteral("Файл"))) << c.name;
        EXPECT_TRUE(shown[0].contains(c.inMessage)) << c.name << ": " << shown[0].toStdString();
    }
    // The user's histories are left as they were.
    QSettings settings(QStringLiteral("selbran"), QStringLiteral("trevin"));
    EXPECT_EQ(settings.value(QStringLiteral("2.0/cbFindGoodName/Strting0")).toString(), QStringLiteral("хлеб"));
}

TEST_F(MainWindowStart, SecondInstanceStartsNormally)
{
    MakeCatalogue();
    auto first = Start();
    auto second = Start();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_TRUE(second->windowTitle().endsWith(QStringLiteral(" (локальная версия)")));
}

TEST_F(MainWindowStart, FailedServerConnectionNamesTheSettings)
{
    // Nothing listens on port 1; the text leaves the library's error out.
    WriteIni(QStringLiteral("[main]\nprotocol=mysql\n[protocol_mysql]\nhostname=127.0.0.1\nport=1\n"));
    EXPECT_EQ(HaltCode(), 1);
    EXPECT_EQ(shown, QStringList{QStringLiteral(
                         "  Ошибка соединения с HostName=127.0.0.1, Port=1, Database=trevin, User=mysql_user  ")});
    EXPECT_TRUE(IsNetwork);
}

TEST_F(MainWindowStart, GarbagePortFallsBackToTheDefault)
{
    WriteIni(QStringLiteral("[main]\nprotocol=mysql\n[protocol_mysql]\nhostname=127.0.0.1\nport=abc\n"
                            "master_database=foundation_none\nuser=foundation_nobody\npassword=wrong\n"));
    EXPECT_EQ(HaltCode(), 1);
    EXPECT_EQ(shown, QStringList{QStringLiteral("  Ошибка соединения с HostName=127.0.0.1, Port=3306, "
                                                "Database=foundation_none, User=foundation_nobody  ")});
}

// ---- network version against the test MariaDB ----

namespace {

// A master database whose current_db names `current`, and a catalogue.
void MakeServerCatalogue(const QString &master, const QString &current, bool catalogue, bool withPrd)
{
    QStringList sql{QStringLiteral("create database if not exists ") + master,
                    QStringLiteral("drop table if exists ") + master + QStringLiteral(".current_db"),
                    QStringLiteral("create table ") + master + QStringLiteral(".current_db(db varchar(64))"),
                    QStringLiteral("insert into ") + master + QStringLiteral(".current_db values('") + current +
                        QStringLiteral("')")};
    if (catalogue) {
        sql << QStringLiteral("create database if not exists ") + current
            << QStringLiteral("drop table if exists ") + current + QStringLiteral(".db_date")
            << QStringLiteral("create table ") + current + QStringLiteral(".db_date(db_date datetime)")
            << QStringLiteral("insert into ") + current + QStringLiteral(".db_date values('2026-11-30 10:15:00')")
            << QStringLiteral("drop table if exists ") + current + QStringLiteral(".firm")
            << QStringLiteral("create table ") + current +
                   (withPrd ? QStringLiteral(".firm(cid int, fid int, org int, Prd int)")
                            : QStringLiteral(".firm(cid int, fid int, org int)"));
        for (const QString &table :
             {QStringLiteral("city"), QStringLiteral("wsupergroup"), QStringLiteral("wgroup"),
              QStringLiteral("good_gid_cnt"), QStringLiteral("good_cnt"), QStringLiteral("firm_cnt"),
              QStringLiteral("city_region"), QStringLiteral("city_micro_region")})
            sql << QStringLiteral("drop table if exists ") + current + u'.' + table;
        sql << TreeTablesSql(current + u'.');
    }
    RunOnServer(sql);
}

} // namespace

class MainWindowNetwork : public MainWindowStart
{
protected:
    void WriteNetworkIni(const QString &master, const QString &extra = QString())
    {
        WriteIni(QStringLiteral("[main]\nprotocol=mysql\n") + ServerIni(master, QStringLiteral("foundation_stat")) +
                 extra);
    }
};

TEST_F(MainWindowNetwork, SwitchesToTheCurrentCatalogue)
{
    REQUIRE_MYSQL();
    MakeServerCatalogue(QStringLiteral("foundation_sw_master"), QStringLiteral("foundation_sw_cat"), true, true);
    WriteNetworkIni(QStringLiteral("foundation_sw_master"));
    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3452\nbutton=1\n"));
    auto w = Start();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    EXPECT_TRUE(IsNetwork);
    EXPECT_EQ(MasterDb, QStringLiteral("foundation_sw_master"));
    EXPECT_EQ(CurrentDb, QStringLiteral("foundation_sw_cat"));
    EXPECT_EQ(StatDatabase, QStringLiteral("foundation_stat"));
    EXPECT_EQ(Peer(*w).ZConnection1().Database, QStringLiteral("foundation_sw_cat"));
    EXPECT_EQ(Peer(*w).ConnectCount(), 2);
    EXPECT_TRUE(Peer(*w).FirmHasPrd());
    EXPECT_TRUE(w->windowTitle().endsWith(QStringLiteral(" (сетевая версия)")));
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("2026")));
    // The city file belongs to the local version only.
    EXPECT_FALSE(Peer(*w).BannerButton());
    EXPECT_EQ(Peer(*w).MainCity(), 0);
}

TEST_F(MainWindowNetwork, CurrentDbNamingTheMasterMeansNoReconnect)
{
    REQUIRE_MYSQL();
    MakeServerCatalogue(QStringLiteral("foundation_same"), QStringLiteral("foundation_same"), true, false);
    WriteNetworkIni(QStringLiteral("foundation_same"), QStringLiteral("[main]\nlogger=1\n"));
    auto w = Start();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
    EXPECT_EQ(Peer(*w).ConnectCount(), 1);
    EXPECT_EQ(CurrentDb, QStringLiteral("foundation_same"));
    EXPECT_FALSE(Peer(*w).FirmHasPrd());
    QFile log(Path(QStringLiteral("trevin.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("show columns from firm"));
}

TEST_F(MainWindowNetwork, FailedSecondConnectNamesTheCurrentDb)
{
    REQUIRE_MYSQL();
    MakeServerCatalogue(QStringLiteral("foundation_bad_master"), QStringLiteral("foundation_no_such_db"), false, false);
    WriteNetworkIni(QStringLiteral("foundation_bad_master"));
    EXPECT_EQ(HaltCode(), 1);
    const testenv::MysqlServer s = testenv::Mysql();
    EXPECT_EQ(shown,
              QStringList{QStringLiteral("  Ошибка соединения с HostName=") + s.host + QStringLiteral(", Port=") +
                          QString::number(s.port) + QStringLiteral(", Database=foundation_no_such_db, User=") + s.user +
                          QStringLiteral("  ")});
}
