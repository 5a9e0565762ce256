#pragma once
// Shared by the benchmarks: the million-goods catalogue and its connection,
// timing and memory.

#include "catgen/catgen.h"
#include "platform/connection.h"
#include "services/sqlite_func.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

// The catalogue named on the command line, or one of 1 000 000 goods made
// beside the temporary folder once.
inline QString Catalogue(int argc, char **argv)
{
    if (argc > 1)
        return QString::fromLocal8Bit(argv[1]);
    const QString path = QStringLiteral("/tmp/trevin_bench_1m.dat");
    if (!QFileInfo::exists(path)) {
        std::printf("generating %s ...\n", qPrintable(path));
        CatalogueOptions options;
        options.goods = 1000000;
        WriteSqliteCatalogue(path, options);
    }
    return path;
}

// The catalogue file opened with our SQL functions.
inline void OpenSqlite(TZConnection &c, const QString &path)
{
    RegisterSqliteFunctions();
    c.Protocol = QStringLiteral("sqlite-3");
    c.Database = path;
    c.Connect();
}

// Best of n runs, in milliseconds.
inline double BestMs(int n, const std::function<void()> &run)
{
    double best = 1e300;
    for (int i = 0; i < n; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

struct TFigures {
    double median, mean, worst;
};

// Median, mean and worst of timings in nanoseconds, in milliseconds.
inline TFigures Figures(std::vector<qint64> ns)
{
    std::sort(ns.begin(), ns.end());
    double sum = 0;
    for (qint64 v : ns)
        sum += double(v);
    return {double(ns[ns.size() / 2]) / 1e6, sum / double(ns.size()) / 1e6, double(ns.back()) / 1e6};
}

// A /proc/self/status value in kB (VmRSS, VmHWM).
inline long StatusKb(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray k = QByteArray(key) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(k))
            return line.mid(k.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace bench
