// Start-up of the main window on a large catalogue: connection, lists,
// the whole classification tree with the goods root's totals.
//   bench_startup --sqlite FILE
//   bench_startup --mysql HOST PORT USER PASSWORD MASTER

#include "bench_search_common.h"

#include "windows/main/main.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QTreeWidget>

#include <cstdio>

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

    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        TfrmMain w(dir.path());
        const qint64 ms = timer.elapsed();
        int nodes = 0;
        for (QTreeWidgetItemIterator it(w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))); *it; ++it)
            ++nodes;
        std::printf("run %d: start-up %lld ms, %d tree nodes, status \"%s\"\n", run + 1, (long long)ms, nodes,
                    w.findChild<QLabel *>(QStringLiteral("StatusPanel0"))->text().toUtf8().constData());
    }
    std::printf("peak memory %ld KiB\n", bench::StatusKb("VmHWM"));
    return 0;
}
