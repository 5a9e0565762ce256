#pragma once
// Shared fixtures: the small generated catalogue and the test MariaDB server.

#include <QString>

namespace testenv {

// Path of a small generated SQLite catalogue, made once per test process.
QString SampleCatalogue();

// The test MariaDB server started by the test script; empty host when none.
struct MysqlServer {
    QString host;
    int port = 0;
    QString user;
    QString password;
    QString master;    // holds current_db
    QString catalogue; // the catalogue database current_db names
    QString stat;      // statistics database
};
MysqlServer Mysql();
// True when a server is configured; when TREVIN_REQUIRE_MYSQL is set and no
// server answers, this fails the calling test instead of skipping.
bool HaveMysql();

// A MariaDB server of the test process's own: mariadbd on a free loopback
// port with its data in a temporary folder, loaded with the sample
// catalogue. For tests that change server state (global modes, restarts),
// which the shared test server must not see. Started on first use, stopped
// when the process ends.
class TPrivateMysql
{
public:
    // The running server; null, with the reason, when it cannot be started.
    static TPrivateMysql *Instance(QString *why);
    MysqlServer Server() const;
    // Runs SQL as the server's administrator; false, with the client's
    // output, on failure.
    bool Exec(const QString &sql, QString *error = nullptr);
    bool Stop();
    bool Start(QString *why = nullptr);
    ~TPrivateMysql();

private:
    TPrivateMysql() = default;
    bool Load(QString *why);
    QString m_dir;
    int m_port = 0;
    int m_pid = -1;
};

} // namespace testenv

// Skips (or, in CI, fails) a test that needs the network deployment.
#define REQUIRE_MYSQL()                                                                                                \
    do {                                                                                                               \
        if (!testenv::HaveMysql()) {                                                                                   \
            if (!qEnvironmentVariableIsEmpty("TREVIN_REQUIRE_MYSQL"))                                                  \
                FAIL() << "TREVIN_REQUIRE_MYSQL is set but no test MariaDB is configured";                             \
            GTEST_SKIP() << "no test MariaDB (set TREVIN_MYSQL_PORT)";                                                 \
        }                                                                                                              \
    } while (0)

// Points server at the test process's own MariaDB; skips like REQUIRE_MYSQL
// (fails when TREVIN_REQUIRE_MYSQL is set and it cannot run).
#define REQUIRE_PRIVATE_MYSQL(server)                                                                                  \
    do {                                                                                                               \
        REQUIRE_MYSQL();                                                                                               \
        QString why_;                                                                                                  \
        server = testenv::TPrivateMysql::Instance(&why_);                                                              \
        if (!server) {                                                                                                 \
            if (!qEnvironmentVariableIsEmpty("TREVIN_REQUIRE_MYSQL"))                                                  \
                FAIL() << "no private MariaDB: " << why_.toStdString();                                                \
            GTEST_SKIP() << "no private MariaDB: " << why_.toStdString();                                              \
        }                                                                                                              \
    } while (0)
