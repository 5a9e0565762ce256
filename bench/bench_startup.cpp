// Start-up of the program on a large catalogue, as a process: from starting
// the trevin binary (beside a trevin.ini naming the catalogue, a settings
// folder of its own) until its main window has been painted and flushed
// once, as Qt's own painting log tells on stderr; the process is then
// killed. Baseline, interleaved: bench_startup_plain, a plain Qt Widgets
// program that opens the same catalogue, runs the same start-up statements,
// fills a tree with them and shows a window of the same size, timed to the
// same log line. The tree's node count and the totals text of an in-process
// start must agree with the plain program's.
//   bench_startup --sqlite FILE [--rounds 11]

#include "bench_search_common.h"

#include "services/tools_dbdate.h"
#include "windows/cursor.h"
#include "windows/main/main.h"
#include "windows/start.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
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
    std::printf("%-30s min %.2f ms, median %.2f ms over %zu runs\n", name, us.front() / 1000.0,
                us[us.size() / 2] / 1000.0, us.size());
}

// Milliseconds from starting the program until it has flushed a painted
// window of the main window's size; -1 when it never does.
double StartProcess(const QString &program, const QStringList &args, const QString &configDir)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.widgets.painting=true"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setReadChannel(QProcess::StandardError);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    QByteArray err;
    double ms = -1;
    while (ms < 0 && p.waitForReadyRead(30000)) {
        err += p.readAllStandardError();
        if (err.contains("Flushing QRegion(0,0 800x550) of "))
            ms = double(t.nsecsElapsed()) / 1e6;
    }
    p.kill();
    p.waitForFinished();
    return ms;
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
    if (!target.host.isEmpty()) {
        std::fprintf(stderr, "bench_startup: the plain program reads SQLite catalogues only\n");
        return 2;
    }
    int rounds = 11;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArrayView(argv[i]) == "--rounds")
            rounds = std::max(1, QByteArray(argv[i + 1]).toInt());
    searchbench::QuietMessages();
    QTemporaryDir dir;
    searchbench::WriteIni(dir.path(), target);
    // The program reads its trevin.ini beside itself.
    const QString program = dir.path() + QStringLiteral("/trevin");
    QFile::copy(QStringLiteral(TREVIN_PROGRAM), program);
    const QString config = dir.path() + QStringLiteral("/config");
    QDir().mkpath(config);

    // What the program's start builds, in this process.
    QString status;
    int nodes = 0;
    StartOnce(dir.path(), false, status, nodes);
    QProcess plainCheck;
    plainCheck.start(QStringLiteral(PLAIN_PROGRAM), {target.sqliteFile});
    plainCheck.waitForReadyRead(30000);
    while (!plainCheck.canReadLine() || plainCheck.bytesAvailable() < 10)
        plainCheck.waitForReadyRead(1000);
    QByteArray lines = plainCheck.readLine();
    lines += plainCheck.readLine();
    const QString plainOut = QString::fromUtf8(lines).trimmed();
    plainCheck.kill();
    plainCheck.waitForFinished();
    const QString want = QStringLiteral("nodes %1\nstatus %2").arg(nodes).arg(status);
    if (plainOut != want) {
        std::fprintf(stderr, "bench_startup: the program builds \"%s\", the plain program \"%s\"\n",
                     want.toUtf8().constData(), plainOut.toUtf8().constData());
        return 1;
    }

    std::vector<qint64> ours, plain;
    for (int run = 0; run < rounds; ++run) {
        for (const bool isProgram : {run % 2 == 0, run % 2 == 1}) {
            const double ms = isProgram ? StartProcess(program, {}, config)
                                        : StartProcess(QStringLiteral(PLAIN_PROGRAM), {target.sqliteFile}, config);
            if (ms < 0) {
                std::fprintf(stderr, "bench_startup: %s never painted its window\n",
                             isProgram ? "the program" : "the plain program");
                return 1;
            }
            (isProgram ? ours : plain).push_back(qint64(ms * 1000));
        }
    }
    std::printf("%d tree nodes, status \"%s\" in both; %d rounds\n", nodes, status.toUtf8().constData(), rounds);
    Report("trevin to first paint", ours);
    Report("plain program to first paint", plain);
    std::sort(ours.begin(), ours.end());
    std::sort(plain.begin(), plain.end());
    std::printf("ratio program / plain: x%.2f (min) x%.2f (median)\n", double(ours.front()) / double(plain.front()),
                double(ours[ours.size() / 2]) / double(plain[plain.size() / 2]));
    return 0;
}
