#pragma once
// Shared by the benchmarks: the million-goods catalogue and its connection,
// timing and memory.

#include "catgen/catgen.h"
#include "data/connection.h"
#include "services/sqlite_func.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <malloc.h>
#include <sys/resource.h>

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

// One measured run: wall and CPU time, and how far the resident memory rose
// above where it stood when the run began.
struct TRun {
    double ms = 0;
    double cpuMs = 0;
    double peakMb = 0;
};

inline double CpuMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// Runs once. Memory freed before is handed back to the system first and the
// peak (VmHWM) is reset to the current size, so the peak is this run's own.
inline TRun Measure(const std::function<void()> &run)
{
    malloc_trim(0);
    const long before = StatusKb("VmRSS");
    if (QFile f(QStringLiteral("/proc/self/clear_refs")); f.open(QIODevice::WriteOnly))
        f.write("5");
    const double cpu = CpuMs();
    QElapsedTimer t;
    t.start();
    run();
    TRun r;
    r.ms = double(t.nsecsElapsed()) / 1e6;
    r.cpuMs = CpuMs() - cpu;
    r.peakMb = double(StatusKb("VmHWM") - before) / 1024.0;
    return r;
}

struct TSpread {
    double min, median;
};

inline TSpread Spread(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v.front(), v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2};
}

// Min and median of time, CPU time and peak of a series of runs.
inline void PrintRuns(const char *name, const std::vector<TRun> &runs)
{
    std::vector<double> ms, cpu, peak;
    for (const TRun &r : runs) {
        ms.push_back(r.ms);
        cpu.push_back(r.cpuMs);
        peak.push_back(r.peakMb);
    }
    const TSpread a = Spread(ms), b = Spread(cpu), c = Spread(peak);
    std::printf("%-34s time min %8.1f median %8.1f ms | cpu min %8.1f median %8.1f ms | peak min %6.1f median "
                "%6.1f MB\n",
                name, a.min, a.median, b.min, b.median, c.min, c.median);
}

// Ratios of one series to its baseline, min to min and median to median.
inline void PrintRatios(const char *name, const std::vector<TRun> &ours, const std::vector<TRun> &base)
{
    auto ratio = [&](double TRun::*m) {
        std::vector<double> a, b;
        for (const TRun &r : ours)
            a.push_back(r.*m);
        for (const TRun &r : base)
            b.push_back(r.*m);
        const TSpread x = Spread(a), y = Spread(b);
        return TSpread{x.min / y.min, x.median / y.median};
    };
    const TSpread t = ratio(&TRun::ms), c = ratio(&TRun::cpuMs);
    std::printf("%-34s time x%.2f (min) x%.2f (median) | cpu x%.2f x%.2f", name, t.min, t.median, c.min, c.median);
    double basePeak = 0;
    for (const TRun &r : base)
        basePeak = std::max(basePeak, r.peakMb);
    if (basePeak >= 1) { // a baseline that holds nothing has no ratio
        const TSpread p = ratio(&TRun::peakMb);
        std::printf(" | peak x%.2f x%.2f", p.min, p.median);
    }
    std::printf("\n");
}

} // namespace bench
