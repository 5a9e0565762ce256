// trevin_gencat: writes the sample catalogue as an SQLite file and, on
// request, as an SQL script for MySQL/MariaDB.
#include "catgen/catgen.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <exception>

namespace {

void PrintUsage()
{
    std::fputs("usage: trevin_gencat --sqlite FILE [--mysql-script FILE] [--goods N]\n"
               "                     [--master DB] [--catalogue DB] [--stat DB] [--no-prd]\n",
               stderr);
}

void PrintStats(const char *what, const QString &path, const CatalogueStats &stats, qint64 ms)
{
    long long rows = 0;
    for (const auto &[table, n] : stats)
        rows += n;
    std::printf("%s %s: %lld rows (goods %lld, firms %lld, addresses %lld), %lld bytes, %.2f s\n", what,
                qPrintable(path), rows, stats.at("good"), stats.at("firm"), stats.at("address"),
                static_cast<long long>(QFileInfo(path).size()), ms / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString sqlitePath, scriptPath;
    QString master = QStringLiteral("trevin"), catalogue = QStringLiteral("trevin_cat"),
            stat = QStringLiteral("trevin_stat");
    CatalogueOptions options;

    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString &out) {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "trevin_gencat: %s needs a value\n", qPrintable(a));
                return false;
            }
            out = args[++i];
            return true;
        };
        QString text;
        bool ok = true;
        if (a == QLatin1String("--sqlite"))
            ok = value(sqlitePath);
        else if (a == QLatin1String("--mysql-script"))
            ok = value(scriptPath);
        else if (a == QLatin1String("--master"))
            ok = value(master);
        else if (a == QLatin1String("--catalogue"))
            ok = value(catalogue);
        else if (a == QLatin1String("--stat"))
            ok = value(stat);
        else if (a == QLatin1String("--no-prd"))
            options.firmPrd = false;
        else if (a == QLatin1String("--goods")) {
            ok = value(text);
            if (ok) {
                options.goods = text.toInt(&ok);
                if (!ok || options.goods < 0) {
                    std::fprintf(stderr, "trevin_gencat: --goods needs a number >= 0, not \"%s\"\n", qPrintable(text));
                    return 2;
                }
            }
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            PrintUsage();
            return 0;
        } else {
            std::fprintf(stderr, "trevin_gencat: unknown option %s\n", qPrintable(a));
            PrintUsage();
            return 2;
        }
        if (!ok)
            return 2;
    }
    if (sqlitePath.isEmpty()) {
        std::fputs("trevin_gencat: --sqlite FILE is required\n", stderr);
        PrintUsage();
        return 2;
    }

    try {
        CatalogueStats stats;
        QElapsedTimer timer;
        timer.start();
        WriteSqliteCatalogue(sqlitePath, options, &stats);
        PrintStats("SQLite catalogue", sqlitePath, stats, timer.elapsed());
        if (!scriptPath.isEmpty()) {
            timer.restart();
            WriteMysqlScript(scriptPath, options, master, catalogue, stat, &stats);
            PrintStats("MySQL script", scriptPath, stats, timer.elapsed());
            std::printf("databases: master %s, catalogue %s, statistics %s\n", qPrintable(master),
                        qPrintable(catalogue), qPrintable(stat));
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "trevin_gencat: %s\n", e.what());
        return 1;
    }
    return 0;
}
