// bench_preview_long: a goods search for "а" over the whole catalogue, then
// "Предварительный просмотр" of all rows, as a user chooses it in the main
// window. Prints how long the preview took, how soon after the choice the
// progress window was painted, the longest gap between two ticks of the
// window's event loop from the choice until the preview is shown and closed
// again, and the peak memory. Each run is a process of its own, so that its peak is its own.
//   trevin_gencat --sqlite /tmp/trevin_200k.dat --goods 200000
//   bench_preview_long --sqlite /tmp/trevin_200k.dat [--runs 3] [--word а]

#include "bench_search_common.h"

#include "components/PreviewForm.h"
#include "components/Progress.h"
#include "components/DBGrid.h"
#include "components/givLabel.h"
#include "platform/metafileprinter.h"
#include "windows/main/main.h"
#include "windows/printset.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct TFigures {
    double rows = 0, totalMs = 0, firstProgressMs = 0, longestGapMs = 0, peakMb = 0, pages = 0;
};

// One preview in this process; prints its figures on one line.
int Child(const searchbench::TTarget &target, const QString &word)
{
    searchbench::QuietMessages();
    QTemporaryDir dir;
    searchbench::WriteIni(dir.path(), target);
    TfrmMain w(dir.path());
    w.show();
    {
        QEventLoop idle; // the first idle moments' work (banner, freshness)
        QTimer::singleShot(300, &idle, &QEventLoop::quit);
        idle.exec();
    }
    auto *tree = w.findChild<QTreeWidget *>(QStringLiteral("TreeView"));
    tree->setCurrentItem(tree->topLevelItem(0));
    w.findChild<QComboBox *>(QStringLiteral("cbFindGoodName"))->setEditText(word);
    w.findChild<QPushButton *>(QStringLiteral("btnFindGood"))->click();
    auto *grid = w.findChild<TDBGrid *>(QStringLiteral("DBGrid1"));
    const int rows = grid->DataSource()->DataSet()->RecordCount();

    QElapsedTimer clock;
    bool chosen = false, shown = false;
    qint64 last = 0, longest = 0, firstProgress = -1, total = 0;
    int pages = 0;
    QString where; // what the progress window said after the longest gap
    // Ticks of the event loop, whoever runs it; the gaps between them are
    // the time the window could not answer.
    QTimer tick;
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *set = qobject_cast<TfrmPrintSet *>(modal); set && set->isVisible() && !chosen) {
            chosen = true;
            set->rbAll->setChecked(true);
            clock.start();
            last = 0;
            set->BitBtn1->click();
            return;
        }
        if (!chosen || shown)
            return;
        const qint64 now = clock.elapsed();

        if (now - last > longest) {
            longest = now - last;
            where = frmProgress && frmProgress->isVisible() ? frmProgress->givHTMLabel1->Lines().join(u' ')
                                                            : QStringLiteral("no progress window");
        }
        last = now;
        if (firstProgress < 0 && frmProgress && frmProgress->isVisible())
            firstProgress = now;
        if (auto *preview = qobject_cast<TPreviewForm *>(modal); preview && preview->isVisible()) {
            shown = true;
            total = now;
            pages = preview->Pages().PageCount();
            preview->close();
        }
    });
    tick.start();
    w.findChild<QToolButton *>(QStringLiteral("btnPreview"))->click();
    tick.stop();
    // Closing frees the laid-out pages: the window waits for that as well.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (shown && clock.elapsed() - total > longest) {
        longest = clock.elapsed() - total;
        where = QStringLiteral("closing");
    }
    std::fprintf(stderr, "longest gap before: %s\n", where.toUtf8().constData());
    std::printf("%d %lld %lld %lld %.1f %d\n", rows, total, firstProgress, longest,
                double(bench::StatusKb("VmHWM")) / 1024.0, pages);
    return shown ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    searchbench::TTarget target;
    if (!searchbench::ParseTarget(argc, argv, target)) {
        std::fprintf(stderr, "usage: bench_preview_long --sqlite FILE | --mysql HOST PORT USER PASSWORD MASTER "
                             "[--runs N] [--word W]\n");
        return 2;
    }
    const QStringList args = app.arguments();
    int runs = 3;
    QString word = QStringLiteral("а");
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--word"))
            word = args[i + 1];
    }
    if (args.contains(QStringLiteral("--child")))
        return Child(target, word);

    std::vector<TFigures> all;
    for (int run = 0; run < runs; ++run) {
        QProcess child;
        QStringList childArgs = args.mid(1);
        childArgs << QStringLiteral("--child");
        child.start(app.applicationFilePath(), childArgs);
        child.waitForFinished(-1);
        const QStringList f = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed().split(u' ');
        if (child.exitCode() != 0 || f.size() != 6) {
            std::fprintf(stderr, "bench_preview_long: the run failed: %s\n", child.readAllStandardError().constData());
            return 1;
        }
        const QByteArray said = child.readAllStandardError();
        const qsizetype at = said.lastIndexOf("longest gap before: ");
        if (at >= 0)
            std::printf("%s", said.mid(at).constData());
        all.push_back(
            {f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble(), f[4].toDouble(), f[5].toDouble()});
        std::printf("run %d: %.0f rows, %.0f pages, preview %.0f ms, progress shown after %.0f ms, "
                    "longest gap %.0f ms, peak %.0f MB\n",
                    run + 1, all.back().rows, all.back().pages, all.back().totalMs, all.back().firstProgressMs,
                    all.back().longestGapMs, all.back().peakMb);
    }
    auto col = [&](double TFigures::*m) {
        std::vector<double> v;
        for (const TFigures &f : all)
            v.push_back(f.*m);
        const bench::TSpread spread = bench::Spread(v);
        return std::make_pair(spread.min, spread.median);
    };
    const auto [tmin, tmed] = col(&TFigures::totalMs);
    const auto [pmin, pmed] = col(&TFigures::firstProgressMs);
    const auto [gmin, gmed] = col(&TFigures::longestGapMs);
    const auto [mmin, mmed] = col(&TFigures::peakMb);
    std::printf("min / median of %d runs: preview %.0f / %.0f ms, progress shown %.0f / %.0f ms, "
                "longest gap %.0f / %.0f ms, peak %.0f / %.0f MB\n",
                runs, tmin, tmed, pmin, pmed, gmin, gmed, mmin, mmed);
    return 0;
}
