#pragma once
// Shared by the benchmarks: a program folder whose trevin.ini points at a
// catalogue (a local SQLite file or a MySQL server), quiet messages and the
// command line.

#include "bench_common.h"

#include "components/SDialogs.h"
#include "platform/application.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

namespace searchbench {

struct TTarget {
    QString sqliteFile; // local version
    QString host;       // network version when not empty
    int port = 3306;
    QString user = QStringLiteral("mysql_user");
    QString password;
    QString master = QStringLiteral("trevin");
};

// --sqlite FILE | --mysql HOST PORT USER PASSWORD MASTER
inline bool ParseTarget(int argc, char **argv, TTarget &t)
{
    for (int i = 1; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a == QLatin1String("--sqlite") && i + 1 < argc) {
            t.sqliteFile = QString::fromLocal8Bit(argv[++i]);
        } else if (a == QLatin1String("--mysql") && i + 5 < argc) {
            t.host = QString::fromLocal8Bit(argv[++i]);
            t.port = QString::fromLocal8Bit(argv[++i]).toInt();
            t.user = QString::fromLocal8Bit(argv[++i]);
            t.password = QString::fromLocal8Bit(argv[++i]);
            t.master = QString::fromLocal8Bit(argv[++i]);
        }
    }
    return !t.sqliteFile.isEmpty() || !t.host.isEmpty();
}

inline void WriteIni(const QString &dir, const TTarget &t)
{
    QFile f(dir + QStringLiteral("/trevin.ini"));
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QString ini;
    if (t.host.isEmpty())
        ini = QStringLiteral("[main]\nprotocol=sqlite\n[protocol_sqlite]\ndatabase=") +
              QDir(t.sqliteFile).absolutePath() + u'\n';
    else
        ini = QStringLiteral("[main]\nprotocol=mysql\n[protocol_mysql]\nhostname=") + t.host +
              QStringLiteral("\nport=") + QString::number(t.port) + QStringLiteral("\nuser=") + t.user +
              QStringLiteral("\npassword=") + t.password + QStringLiteral("\nmaster_database=") + t.master + u'\n';
    f.write(ini.toUtf8());
}

// Message boxes are printed, never shown.
inline void QuietMessages()
{
    SetMessageBoxHook([](const TMessageBoxCall &call) {
        std::fprintf(stderr, "message: %s\n", call.text.toUtf8().constData());
        return mrOk;
    });
    TApplication::SetExceptionHandler(
        [](const QString &text) { std::fprintf(stderr, "error: %s\n", text.toUtf8().constData()); });
}

} // namespace searchbench
