#pragma once
// Databases of the services and windows tests: a temporary SQLite file, the
// database services_scratch on the test MariaDB, the sample catalogue in
// either deployment, and a guard that restores the deployment globals a
// test switches.

#include "data/connection.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/sqlite_func.h"
#include "testdb.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace scratch {

// Sets the deployment for one test and puts the previous one back.
class TDeployment
{
public:
    explicit TDeployment(bool network) : m_protocol(Protocol), m_isNetwork(IsNetwork)
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

using testdb::Exec;
using testdb::OpenMysql;
using testdb::OpenSqlite;

// A fresh SQLite file in a folder that lives as long as the test.
inline std::unique_ptr<TZConnection> OpenScratchSqlite(QTemporaryDir &dir)
{
    return OpenSqlite(dir.filePath(QStringLiteral("scratch.dat")));
}

// services_scratch on the test server (created when missing), in cp1251.
inline std::unique_ptr<TZConnection> OpenScratchMysql()
{
    return testdb::OpenMysqlScratch(QStringLiteral("services_scratch"));
}

// The sample catalogue: the local file (or sqliteFile) with our SQL
// functions, or its copy on the test server.
inline std::unique_ptr<TZConnection> OpenCatalogue(bool network, const QString &sqliteFile = QString())
{
    if (network)
        return OpenMysql(testenv::Mysql().catalogue);
    RegisterSqliteFunctions();
    return OpenSqlite(sqliteFile.isEmpty() ? testenv::SampleCatalogue() : sqliteFile);
}

} // namespace scratch
