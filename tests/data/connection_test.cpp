#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"
#include "testdb.h"

#include <gtest/gtest.h>
#include <soci/backend-loader.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <functional>
#include <limits>

namespace {

// Puts the backend folders back whatever the test does to them.
class BackendFolders
{
public:
    BackendFolders() : m_saved(soci::dynamic_backends::search_paths()) {}
    ~BackendFolders() { soci::dynamic_backends::search_paths() = m_saved; }

private:
    std::vector<std::string> m_saved;
};

} // namespace

TEST(BackendCheck, LocalNeedsNoLibraryAndNetworkFindsItsBackend)
{
    EXPECT_TRUE(TZConnection::ClientLibraryFile(QStringLiteral("sqlite")).isEmpty());
    EXPECT_TRUE(TZConnection::BackendAvailable(QStringLiteral("sqlite"), nullptr));

    const QString file = TZConnection::ClientLibraryFile(QStringLiteral("mysql"));
    EXPECT_TRUE(file.endsWith(QStringLiteral("libsoci_mysql.so.4.0"))) << file.toStdString();
    EXPECT_TRUE(file == QStringLiteral("libsoci_mysql.so.4.0") || QFileInfo::exists(file)) << file.toStdString();
    QString missing = QStringLiteral("untouched");
    EXPECT_TRUE(TZConnection::BackendAvailable(QStringLiteral("mysql"), &missing));
    EXPECT_EQ(missing, QStringLiteral("untouched"));
}

TEST(BackendCheck, LibraryOutsideTheBackendFoldersIsLeftToTheSystemSearch)
{
    BackendFolders keep;
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    soci::dynamic_backends::search_paths() = {empty.path().toStdString()};
    // Not a made-up path in the last folder: the bare name, which the
    // system's library search still finds.
    EXPECT_EQ(TZConnection::ClientLibraryFile(QStringLiteral("mysql")), QStringLiteral("libsoci_mysql.so.4.0"));
    EXPECT_TRUE(TZConnection::BackendAvailable(QStringLiteral("mysql"), nullptr));
}

TEST(BackendCheck, MissingLibraryIsNamed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString library = dir.filePath(QStringLiteral("libsoci_mysql-missing.so"));
    TZConnection::ClientLibraryOverride() = library;
    QString missing;
    const bool available = TZConnection::BackendAvailable(QStringLiteral("mysql"), &missing);
    TZConnection::ClientLibraryOverride().clear();
    EXPECT_FALSE(available);
    EXPECT_EQ(missing, library);
}

TEST(ServerTimeouts, StatementWithoutAnswerFailsWithinTheBoundAndTheConnectionRunsOn)
{
    REQUIRE_MYSQL();
    const TZConnection::TNetworkTimeouts saved = TZConnection::NetworkTimeouts();
    TZConnection::NetworkTimeouts().read = 1;
    auto c = testdb::OpenMysql(testenv::Mysql().catalogue);
    c->SessionSetup = {QStringLiteral("set names cp1251")};
    TZReadOnlyQuery q(c.get());
    // A server that stops answering in the middle of a statement.
    q.SetSQL(QStringLiteral("select sleep(6) as s"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(q.Open(), EDatabaseError);
    const qint64 elapsed = clock.elapsed();
    TZConnection::NetworkTimeouts() = saved;
    EXPECT_LT(elapsed, 5500); // the answer comes after 6 s
    q.SetSQL(QStringLiteral("select 'Ёж' as w"));
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("w")).AsString(), QStringLiteral("Ёж"));
}

namespace {

// A read bound for one test (a reconnect takes it too); the program's own is
// put back afterwards.
class TReadTimeout
{
public:
    explicit TReadTimeout(int seconds) : m_saved(TZConnection::NetworkTimeouts())
    {
        TZConnection::NetworkTimeouts().read = seconds;
    }
    ~TReadTimeout() { TZConnection::NetworkTimeouts() = m_saved; }

private:
    TZConnection::TNetworkTimeouts m_saved;
};

// The private server's database, opened with the read bound in force now.
std::unique_ptr<TZConnection> OpenPrivate(const testenv::MysqlServer &s, const QString &database)
{
    auto c = std::make_unique<TZConnection>();
    c->Protocol = QStringLiteral("mysql-4.1");
    c->HostName = s.host;
    c->Port = s.port;
    c->User = s.user;
    c->Password = s.password;
    c->Database = database;
    c->Connect();
    return c;
}

} // namespace

TEST(ServerTimeouts, StatementOnALockedTableWaitsOnceAndIsNeverRunTwice)
{
    testenv::TPrivateMysql *server = nullptr;
    REQUIRE_PRIVATE_MYSQL(server);
    const testenv::MysqlServer s = server->Server();
    auto holder = OpenPrivate(s, s.stat);
    holder->ExecuteDirect(QStringLiteral("create table if not exists locked_month (n integer)"));
    holder->ExecuteDirect(QStringLiteral("delete from locked_month"));

    // A statement the server works on for some 6 s without waiting on
    // anything, however fast this machine is: measured at its fastest of
    // three, since a busy moment during the measuring would make it short.
    qint64 fastest = std::numeric_limits<qint64>::max();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer calibration;
        calibration.start();
        holder->ExecuteDirect(QStringLiteral("do benchmark(500000, md5('x'))"));
        fastest = std::min(fastest, calibration.elapsed());
    }
    const qint64 rounds = qint64(6000) * 500000 / std::max<qint64>(1, fastest);

    TReadTimeout bound(2);

    const struct {
        const char *what;
        bool locked;
        std::function<void(TZConnection &)> run;
    } cases[] = {
        {"query", true,
         [](TZConnection &c) {
             TZReadOnlyQuery q(&c);
             q.SetSQL(QStringLiteral("select count(*) as n from locked_month"));
             q.Open();
         }},
        {"insert with parameters", true,
         [](TZConnection &c) {
             TZReadOnlyQuery q(&c);
             q.SetSQL(QStringLiteral("insert into locked_month (n) values (:n)"));
             q.ParamByName(QStringLiteral("n")).SetAsInteger(1);
             q.ExecSQL();
         }},
        {"statement", true,
         [](TZConnection &c) { c.ExecuteDirect(QStringLiteral("insert into locked_month (n) values (2)")); }},
        {"slow insert", false,
         [rounds](TZConnection &c) {
             TZReadOnlyQuery q(&c);
             q.SetSQL(QStringLiteral("insert into locked_month (n) select 3 from dual where benchmark(:rounds, "
                                     "md5('x'))=0"));
             q.ParamByName(QStringLiteral("rounds")).SetAsInteger(rounds);
             q.ExecSQL();
         }},
    };
    std::unique_ptr<TZConnection> c;
    for (const auto &k : cases) {
        c = OpenPrivate(s, s.stat);
        if (k.locked)
            holder->ExecuteDirect(QStringLiteral("lock tables locked_month write"));
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(k.run(*c), EDatabaseError) << k.what;
        const qint64 elapsed = clock.elapsed();
        if (k.locked)
            holder->ExecuteDirect(QStringLiteral("unlock tables"));
        // One wait of 2 s, not a second one after a reconnect.
        EXPECT_GE(elapsed, 1500) << k.what;
        EXPECT_LT(elapsed, 3900) << k.what;
    }

    // The server goes on with what it was left holding; once that is done,
    // each insert is there at most once, the slow one (which nothing stops)
    // exactly once.
    TZReadOnlyQuery q(holder.get());
    q.SetSQL(QStringLiteral("select count(*) as n from information_schema.processlist where info like "
                            "'%locked_month%' and id<>connection_id()"));
    for (int i = 0; i < 600; ++i) {
        q.Open();
        if (q.FieldByName(QStringLiteral("n")).AsInteger() == 0)
            break;
        q.Close();
        QThread::msleep(100);
    }
    q.Close();
    q.SetSQL(QStringLiteral("select n, count(*) as times from locked_month group by n"));
    q.Open();
    QStringList counted;
    for (; !q.Eof(); q.Next())
        counted << q.FieldByName(QStringLiteral("n")).AsString();
    EXPECT_TRUE(counted.contains(QStringLiteral("3"))) << counted.join(u' ').toStdString();
    for (q.First(); !q.Eof(); q.Next())
        EXPECT_EQ(q.FieldByName(QStringLiteral("times")).AsInteger(), 1)
            << "insert of " << q.FieldByName(QStringLiteral("n")).AsInteger();

    // The timed-out connection is opened anew for the next statement.
    TZReadOnlyQuery again(c.get());
    again.SetSQL(QStringLiteral("select count(*) as n from locked_month"));
    again.Open();
    EXPECT_EQ(again.FieldByName(QStringLiteral("n")).AsInteger(), q.RecordCount());
    holder->ExecuteDirect(QStringLiteral("drop table locked_month"));
}
