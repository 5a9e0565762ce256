// Start-up of the main window on a large catalogue: connection, lists,
// the whole classification tree with the goods root's totals. Each round
// starts the window twice, interleaved: bare (no splash window, no wait
// cursor, as under wine) and as the program starts (splash window shown
// and painted first, animated wait cursor installed, splash closed).
//   bench_startup --sqlite FILE
//   bench_startup --mysql HOST PORT USER PASSWORD MASTER

#include "bench_search_common.h"

#include "services/tools_dbdate.h"
#include "windows/cursor.h"
#include "windows/main/main.h"
#include "windows/start.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

qint64 StartOnce(const QString &dir, bool asProgram, QString &status, int &nodes)
{
    DetectWine({QStringLiteral("bench_startup"), asProgram ? QStringLiteral("-") : QStringLiteral("wine")});
    QElapsedTimer timer;
    timer.start();
    if (asProgram) {
        frmStart = new TfrmStart();
        frmStart->show();
        frmStart->repaint();
        QCoreApplication::processEvents();
    }
    qint64 us = 0;
    {
        TfrmMain w(dir);
        if (frmStart)
            frmStart->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        us = timer.nsecsElapsed() / 1000;
        nodes = 0;
        for (QTreeWidgetItemIterator it(w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))); *it; ++it)
            ++nodes;
        status = w.findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text();
    }
    FreeAnimatedCursors();
    return us;
}

void Report(const char *name, std::vector<qint64> us)
{
    std::sort(us.begin(), us.end());
    std::printf("%-28s min %.2f ms, median %.2f ms over %zu runs\n", name, us.front() / 1000.0,
                us[us.size() / 2] / 1000.0, us.size());
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    searchbench::TTarget target;
    if (!searchbench::ParseTarget(argc, argv, target)) {
        std::fprintf(stderr, "usage: bench_startup --sqlite FILE | --mysql HOST PORT USER PASSWORD MASTER\n");
        return 2;
    }
    searchbench::QuietMessages();
    QTemporaryDir dir;
    searchbench::WriteIni(dir.path(), target);

    std::vector<qint64> bare, full;
    for (int run = 0; run < 11; ++run) {
        // Each variant goes first every other round.
        for (const bool asProgram : {run % 2 == 1, run % 2 == 0}) {
            QString status;
            int nodes = 0;
            const qint64 us = StartOnce(dir.path(), asProgram, status, nodes);
            (asProgram ? full : bare).push_back(us);
            std::printf("run %d %s: start-up %.2f ms, %d tree nodes, status \"%s\"\n", run + 1,
                        asProgram ? "with splash and cursor" : "bare", us / 1000.0, nodes, status.toUtf8().constData());
        }
    }
    Report("bare", bare);
    Report("with splash and wait cursor", full);

    // The two additions on their own.
    std::vector<qint64> splash, cursors;
    DetectWine({QStringLiteral("bench_startup")});
    for (int run = 0; run < 20; ++run) {
        QElapsedTimer timer;
        timer.start();
        frmStart = new TfrmStart();
        frmStart->show();
        frmStart->repaint();
        QCoreApplication::processEvents();
        frmStart->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        splash.push_back(timer.nsecsElapsed() / 1000);
        timer.start();
        InstallAnimatedCursors();
        cursors.push_back(timer.nsecsElapsed() / 1000);
        FreeAnimatedCursors();
    }
    std::sort(splash.begin(), splash.end());
    std::sort(cursors.begin(), cursors.end());
    std::printf("splash window alone: min %lld us, median %lld us; cursor installation alone: min %lld us, "
                "median %lld us\n",
                (long long)splash.front(), (long long)splash[10], (long long)cursors.front(), (long long)cursors[10]);
    std::printf("peak memory %ld KiB\n", bench::StatusKb("VmHWM"));
    return 0;
}
