#pragma once
// Connections the tests open themselves: a SQLite file, a database on the
// test MariaDB talking cp1251, and statements run one after another; and
// QString values printed readably when an assertion fails.

#include "data/connection.h"
#include "testenv.h"

#include <QStringList>

#include <memory>
#include <ostream>

// Readable QString values in failure messages.
[[maybe_unused]] static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace testdb {

inline std::unique_ptr<TZConnection> OpenSqlite(const QString &path)
{
    auto c = std::make_unique<TZConnection>();
    c->Protocol = QStringLiteral("sqlite-3");
    c->Database = path;
    c->Connect();
    return c;
}

inline std::unique_ptr<TZConnection> OpenMysql(const QString &database)
{
    const testenv::MysqlServer server = testenv::Mysql();
    auto c = std::make_unique<TZConnection>();
    c->Protocol = QStringLiteral("mysql-4.1");
    c->HostName = server.host;
    c->Port = server.port;
    c->User = server.user;
    c->Password = server.password;
    c->Database = database;
    c->Connect();
    c->ExecuteDirect(QStringLiteral("set names cp1251"));
    return c;
}

// A database of the tests' own on the test server, created when missing.
inline std::unique_ptr<TZConnection> OpenMysqlScratch(const QString &database)
{
    OpenMysql(QStringLiteral("mysql"))
        ->ExecuteDirect(QStringLiteral("create database if not exists ") + database +
                        QStringLiteral(" character set cp1251"));
    return OpenMysql(database);
}

inline void Exec(TZConnection &c, const QStringList &statements)
{
    for (const QString &s : statements)
        c.ExecuteDirect(s);
}

} // namespace testdb
