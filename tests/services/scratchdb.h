#pragma once
// Scratch databases for the services tests: a temporary SQLite file and the
// database services_scratch on the test MariaDB, plus a guard that restores
// the deployment globals a test switches.

#include "platform/connection.h"
#include "platform/query.h"
#include "services/globals.h"
#include "testenv.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

// Readable QString values in failure messages.
[[maybe_unused]] static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace scratch {

// Sets the deployment for one test and puts the previous one back.
class TDeployment
{
public:
    explicit TDeployment(bool network)
        : m_protocol(Protocol), m_isNetwork(IsNetwork)
    {
        Protocol = network ? QStringLiteral("mysql") : QStringLiteral("sqlite");
        IsNetwork = network;
    }
    ~TDeployment()
    {
        Protocol = m_protocol;
        IsNetwork = m_isNetwork;
    }

private:
    QString m_protocol;
    bool m_isNetwork;
};

inline std::unique_ptr<TZConnection> OpenSqlite(const QString &path)
{
    auto c = std::make_unique<TZConnection>();
    c->Protocol = QStringLiteral("sqlite-3");
    c->Database = path;
    c->Connect();
    return c;
}

// A fresh SQLite file in a folder that lives as long as the test.
inline std::unique_ptr<TZConnection> OpenScratchSqlite(QTemporaryDir &dir)
{
    return OpenSqlite(dir.filePath(QStringLiteral("scratch.dat")));
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

// services_scratch on the test server (created when missing), in cp1251.
inline std::unique_ptr<TZConnection> OpenScratchMysql()
{
    {
        auto admin = OpenMysql(QStringLiteral("mysql"));
        admin->ExecuteDirect(QStringLiteral(
            "create database if not exists services_scratch character set cp1251"));
    }
    return OpenMysql(QStringLiteral("services_scratch"));
}

inline void Exec(TZConnection &c, const QStringList &statements)
{
    for (const QString &s : statements)
        c.ExecuteDirect(s);
}

} // namespace scratch
