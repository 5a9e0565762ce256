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
    QString master;   // holds current_db
    QString catalogue; // the catalogue database current_db names
    QString stat;     // statistics database
};
MysqlServer Mysql();
// True when a server is configured; when TREVIN_REQUIRE_MYSQL is set and no
// server answers, this fails the calling test instead of skipping.
bool HaveMysql();

} // namespace testenv

// Skips (or, in CI, fails) a test that needs the network deployment.
#define REQUIRE_MYSQL()                                                                  \
    do {                                                                                 \
        if (!testenv::HaveMysql()) {                                                     \
            if (!qEnvironmentVariableIsEmpty("TREVIN_REQUIRE_MYSQL"))                    \
                FAIL() << "TREVIN_REQUIRE_MYSQL is set but no test MariaDB is configured"; \
            GTEST_SKIP() << "no test MariaDB (set TREVIN_MYSQL_PORT)";                   \
        }                                                                                \
    } while (0)
