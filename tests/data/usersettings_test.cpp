#include "data/usersettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>

#include <random>
#include <thread>

#include <signal.h>

namespace {

const QString kKey = QStringLiteral("Software\\selbran\\trevin\\2.0");

// The user's settings in a folder of the test's own for as long as this
// lives.
struct THome {
    QTemporaryDir dir;
    QByteArray old = qgetenv("XDG_CONFIG_HOME");
    THome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path())); }
    ~THome() { qputenv("XDG_CONFIG_HOME", old); }
    QString Folder() const { return dir.filePath(QStringLiteral("selbran")); }
    QStringList Entries() const
    {
        return QDir(Folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }
};

} // namespace

// Files QSettings wrote read the same here, and the other way round.
TEST(UserSettings, TheFileIsQSettingsIniLayout)
{
    THome home;
    const struct {
        QString section;
        QString name;
        QString text;
    } cases[] = {
        {QStringLiteral("cbFindGoodName"), QStringLiteral("Strting0"), QStringLiteral("хлеб ржаной")},
        {QStringLiteral("cbFindGoodName"), QStringLiteral("Strting1"), QStringLiteral("альфа, старое")},
        {QStringLiteral("раздел с пробелом"), QStringLiteral("имя/дальше"), QStringLiteral("x;y=z")},
        {QStringLiteral("General"), QStringLiteral("a"), QStringLiteral(" blanks around ")},
        {QStringLiteral("s"), QStringLiteral("at"), QStringLiteral("@String(not a type)")},
        {QStringLiteral("s"), QStringLiteral("quotes"), QStringLiteral("\"quoted\" and \\ back")},
        {QStringLiteral("s"), QStringLiteral("controls"),
         QStringLiteral("tab\there\nnew line\x01"
                        "1")},
        {QStringLiteral("s"), QStringLiteral("nul"),
         QString::fromUtf16(u"a\0"
                            u"1b",
                            4)},
        {QStringLiteral("s"), QStringLiteral("wide"), QString::fromUtf16(u"\U0001F600 %U0041 %41")},
        {QStringLiteral("s"), QStringLiteral("empty"), QString()},
    };
    const QString path = TRegistryIniFile(kKey).FileName();
    for (bool qsettingsWrites : {true, false}) {
        SCOPED_TRACE(qsettingsWrites ? "written by QSettings" : "written here");
        QFile::remove(path);
        if (qsettingsWrites) {
            QSettings settings(path, QSettings::IniFormat);
            for (const auto &c : cases)
                settings.setValue(QStringLiteral("2.0/") + c.section + u'/' + c.name, c.text);
            settings.sync();
            ASSERT_EQ(settings.status(), QSettings::NoError);
        } else {
            TRegistryIniFile reg(kKey);
            for (const auto &c : cases)
                reg.WriteString(c.section, c.name, c.text);
            ASSERT_TRUE(reg.Flush());
        }
        const TRegistryIniFile reg(kKey);
        QSettings settings(path, QSettings::IniFormat);
        for (const auto &c : cases) {
            EXPECT_EQ(reg.ReadString(c.section, c.name, QStringLiteral("?")), c.text) << c.name.toStdString();
            EXPECT_EQ(settings.value(QStringLiteral("2.0/") + c.section + u'/' + c.name).toString(), c.text)
                << c.name.toStdString();
        }
    }
}

// Two runs at once: each flush puts only its own changes, set or erased,
// over what the other one saved meanwhile.
TEST(UserSettings, TwoRunsAtOnceEachKeepTheirOwnChanges)
{
    THome home;
    {
        TRegistryIniFile first(kKey);
        first.WriteString(QStringLiteral("state"), QStringLiteral("fullscreen"), QStringLiteral("0"));
        first.WriteString(QStringLiteral("old"), QStringLiteral("name"), QStringLiteral("x"));
    }
    TRegistryIniFile a(kKey);
    TRegistryIniFile b(kKey);
    b.WriteBool(QStringLiteral("state"), QStringLiteral("fullscreen"), true);
    b.EraseSection(QStringLiteral("old"));
    ASSERT_TRUE(b.Flush());
    a.WriteString(QStringLiteral("new"), QStringLiteral("name"), QStringLiteral("a"));
    ASSERT_TRUE(a.Flush());
    const TRegistryIniFile after(kKey);
    EXPECT_TRUE(after.ReadBool(QStringLiteral("state"), QStringLiteral("fullscreen"), false));
    EXPECT_FALSE(after.ValueExists(QStringLiteral("old"), QStringLiteral("name")));
    EXPECT_EQ(after.ReadString(QStringLiteral("new"), QStringLiteral("name"), QString()), QStringLiteral("a"));
    EXPECT_EQ(home.Entries(), QStringList{QStringLiteral("trevin.conf")});
}

// A writer killed at random moments, again and again: the file always holds
// the whole state of the last run that finished (or of the one killed after
// its flush), and the next start leaves nothing else in the folder.
TEST(UserSettings, AKilledWriteLeavesTheFileWhole)
{
    THome home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.dir.path());
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        writer.setProcessEnvironment(env);
        writer.start(QStringLiteral(TREVIN_SETTINGS_WRITER), {});
        ASSERT_TRUE(writer.waitForStarted(10000));
        // A first run ends, then the kill falls anywhere in a later one.
        ASSERT_TRUE(writer.waitForReadyRead(30000));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        ::kill(pid_t(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(10000));
        const QList<QByteArray> lines = writer.readAllStandardOutput().trimmed().split('\n');
        const int finished = lines.back().toInt();
        ASSERT_GT(finished, 0);

        const TRegistryIniFile reg(kKey);
        const int n = reg.ReadInteger(QStringLiteral("run"), QStringLiteral("n"), 0);
        EXPECT_TRUE(n == finished || n == finished + 1) << n << " after " << finished;
        for (int i = 0; i < 40; ++i)
            ASSERT_EQ(reg.ReadString(QStringLiteral("run"), QStringLiteral("v%1").arg(i), QString()),
                      QStringLiteral("%1:%2:").arg(n).arg(i) + QString(200, u'ж'));
        EXPECT_EQ(home.Entries(), QStringList{QStringLiteral("trevin.conf")});
    }
}
