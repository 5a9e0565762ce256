#pragma once
// The program folder of a main-window test: a temporary folder with
// trevin.ini and a catalogue, the message-box and error-handler seams, and
// the start of the window; also statements run on the test MariaDB.

#include "windows/main/main.h"

#include "components/SDialogs.h"
#include "platform/application.h"
#include "data/codec.h"
#include "testdb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace {

const QString kTitle = QStringLiteral("SELBRAN - Информационно-торговая система.");

// Empty tables the tree and its totals read; prefix names the database
// ("db." on the server, empty for SQLite).
inline QStringList TreeTablesSql(const QString &prefix)
{
    return {QStringLiteral("create table ") + prefix + QStringLiteral("city(cid integer, name varchar(20))"),
            QStringLiteral("create table ") + prefix +
                QStringLiteral("wsupergroup(super_id integer, name varchar(255))"),
            QStringLiteral("create table ") + prefix +
                QStringLiteral("wgroup(gid integer, super_id integer, name varchar(255))"),
            QStringLiteral("create table ") + prefix +
                QStringLiteral("good_gid_cnt(cid integer, gid integer, cnt integer)"),
            QStringLiteral("create table ") + prefix + QStringLiteral("good_cnt(cid integer, cnt integer)"),
            QStringLiteral("create table ") + prefix + QStringLiteral("firm_cnt(cid integer, cnt integer)"),
            QStringLiteral("create table ") + prefix +
                QStringLiteral("city_region(cid integer, id integer, name_small varchar(255), name_big varchar(255))"),
            QStringLiteral("create table ") + prefix +
                QStringLiteral("city_micro_region(cid integer, id integer, name varchar(255))")};
}

class TMainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QSettings(QStringLiteral("selbran"), QStringLiteral("trevin")).clear();
        TZConnection::ClientLibraryOverride().clear();
        TApplication::SetTitle(kTitle);
        TApplication::SetExceptionHandler([](const QString &text) { ShowMessageText(text); });
        SetMessageBoxHook([this](const TMessageBoxCall &call) {
            shown.append(call.text);
            return mrOk;
        });
        // The opening banner and the freshness warning only where a test
        // asks for them.
        TApplication::SetIdleEventsEnabled(false);
    }
    void TearDown() override
    {
        TApplication::SetIdleHandler({});
        TApplication::SetIdleEventsEnabled(true);
        SetMessageBoxHook({});
        TApplication::SetExceptionHandler({});
        TZConnection::ClientLibraryOverride().clear();
    }

    QString AppDir() const { return dir.path() + u'/'; }
    QString Path(const QString &name) const { return AppDir() + name; }

    void WriteFile(const QString &name, const QString &text)
    {
        QDir().mkpath(QFileInfo(Path(name)).path());
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(ToCp1251(text));
    }
    void WriteIni(const QString &text) { WriteFile(QStringLiteral("trevin.ini"), text); }

    // The [protocol_mysql] section that reaches the test MariaDB.
    static QString ServerIni(const QString &master, const QString &stat)
    {
        const testenv::MysqlServer s = testenv::Mysql();
        return QStringLiteral("[protocol_mysql]\nhostname=") + s.host + QStringLiteral("\nport=") +
               QString::number(s.port) + QStringLiteral("\nuser=") + s.user + QStringLiteral("\npassword=") +
               s.password + QStringLiteral("\nmaster_database=") + master + QStringLiteral("\nstat_database=") + stat +
               u'\n';
    }

    // Runs statements on a SQLite file with the C API, past our own layers.
    static void ExecSqliteFile(const QString &path, const QByteArray &sql)
    {
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        char *error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    // A catalogue file with the tables the start-up reads.
    void MakeCatalogue(const QString &name = QStringLiteral("trevin.dat"), bool withDate = true)
    {
        ExecSqliteFile(Path(name), (withDate ? QByteArray("create table db_date(db_date text);"
                                                          "insert into db_date values('2026-11-30 10:15:00');")
                                             : QByteArray()) +
                                       TreeTablesSql(QString()).join(u';').toUtf8());
    }

    // A start that ends the program fails the test with what it showed.
    std::unique_ptr<TfrmMain> Start()
    {
        try {
            return std::make_unique<TfrmMain>(AppDir());
        } catch (const EApplicationHalt &halt) {
            ADD_FAILURE() << "the start ended the program (" << halt.ExitCode()
                          << "): " << shown.join(u'|').toStdString();
            throw;
        }
    }

    // The exit code of a start that ends the program, -1 when it runs on.
    int HaltCode()
    {
        try {
            std::make_unique<TfrmMain>(AppDir());
        } catch (const EApplicationHalt &halt) {
            return halt.ExitCode();
        }
        return -1;
    }

    QTemporaryDir dir;
    QStringList shown;
};

} // namespace

inline void RunOnServer(const QStringList &statements)
{
    testdb::Exec(*testdb::OpenMysql(QStringLiteral("mysql")), statements);
}
