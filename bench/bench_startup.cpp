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
    qint64 ms = 0;
    {
        TfrmMain w(dir);
        if (frmStart)
            frmStart->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ms = timer.elapsed();
        nodes = 0;
        for (QTreeWidgetItemIterator it(w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))); *it; ++it)
            ++nodes;
        status = w.findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text();
    }
    FreeAnimatedCursors();
    return ms;
}

void Report(const char *name, std::vector<qint64> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-32s min %lld ms, median %lld ms over %zu runs\n", name, (long long)ms.front(),
                (long long)ms[ms.size() / 2], ms.size());
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
    for (int run = 0; run < 5; ++run) {
        for (const bool asProgram : {false, true}) {
            QString status;
            int nodes = 0;
            const qint64 ms = StartOnce(dir.path(), asProgram, status, nodes);
            (asProgram ? full : bare).push_back(ms);
            std::printf("run %d %s: start-up %lld ms, %d tree nodes, status \"%s\"\n", run + 1,
                        asProgram ? "with splash and cursor" : "bare", (long long)ms, nodes,
                        status.toUtf8().constData());
        }
    }
    Report("bare", bare);
    Report("with splash and wait cursor", full);
    std::printf("peak memory %ld KiB\n", bench::StatusKb("VmHWM"));
    return 0;
}
