// A program for printing_test: a user who stops a print layout that would
// run on for a minute and starts it again, ten times, then closes the
// program. It prints how many layouts ran at once at most, then "closing"
// as it quits; the test measures how long the end takes from there.

#include "platform/application.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"

#include <QSemaphore>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

// A stopped layout runs on after everything of main has gone.
std::atomic<int> g_running{0};
std::atomic<int> g_most{0};
QSemaphore g_never;

QTextDocument *SlowPage()
{
    const int now = ++g_running;
    int most = g_most;
    while (most < now && !g_most.compare_exchange_weak(most, now)) {
    }
    // Stands for a layout that cannot be interrupted, bounded all the same.
    g_never.tryAcquire(1, 60000);
    --g_running;
    auto *doc = new QTextDocument;
    doc->setPlainText(QStringLiteral("x"));
    return doc;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    for (int i = 0; i < 10; ++i) {
        TMetaFilePrinter pages;
        int steps = 0;
        // The cancel button is pressed a few page events after the start.
        const bool laidOut = pages.Record(SlowPage, *Printer(), [&](int, bool &stop) { stop = ++steps > 3; });
        if (laidOut)
            return 2;
    }
    std::printf("most %d\n", g_most.load());
    std::printf("closing\n");
    std::fflush(stdout);
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
