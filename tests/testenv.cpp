#include "testenv.h"

#include "catgen/catgen.h"

#include <QDir>
#include <QTemporaryDir>

namespace testenv {

QString SampleCatalogue()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("trevin.dat"));
        CatalogueOptions options;
        WriteSqliteCatalogue(path, options);
    }
    return path;
}

MysqlServer Mysql()
{
    MysqlServer s;
    s.port = qEnvironmentVariableIntValue("TREVIN_MYSQL_PORT");
    if (s.port <= 0)
        return s;
    s.host = qEnvironmentVariable("TREVIN_MYSQL_HOST", QStringLiteral("127.0.0.1"));
    s.user = qEnvironmentVariable("TREVIN_MYSQL_USER", QStringLiteral("mysql_user"));
    s.password = qEnvironmentVariable("TREVIN_MYSQL_PASSWORD", QStringLiteral("trevin"));
    s.master = qEnvironmentVariable("TREVIN_MYSQL_MASTER", QStringLiteral("trevin"));
    s.catalogue = qEnvironmentVariable("TREVIN_MYSQL_CATALOGUE", QStringLiteral("trevin_cat"));
    s.stat = qEnvironmentVariable("TREVIN_MYSQL_STAT", QStringLiteral("trevin_stat"));
    return s;
}

bool HaveMysql()
{
    return Mysql().port > 0;
}

} // namespace testenv
