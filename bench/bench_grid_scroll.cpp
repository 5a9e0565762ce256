// Paging a data grid from the top to the bottom of a 1 000 000-row result
// with Page Down: time per key, memory along the way, and how often the
// calculated-fields handler runs. The baseline is the same walk done on the
// dataset alone (its buffer window the size of the grid's), without a grid.
#include "bench_common.h"

#include "components/DBGrids.h"
#include "data/connection.h"
#include "data/datasource.h"
#include "data/query.h"
#include "services/sqlite_func.h"

#include <QApplication>
#include <QKeyEvent>

#include <cstdio>

namespace {

const char kSql[] = "select * from good";

// The fields a result list declares: a few data fields and one calculated.
void DeclareFields(TZReadOnlyQuery &q, long long &calcCalls)
{
    for (auto [name, type] : {std::pair{"id", ftInteger}, std::pair{"name", ftString}, std::pair{"price", ftFloat}}) {
        auto f = CreateField(type, type == ftString ? 255 : 0);
        f->SetFieldName(QString::fromLatin1(name));
        q.AddField(std::move(f));
    }
    auto calc = CreateField(ftString, 300);
    calc->SetFieldName(QStringLiteral("sname"));
    calc->SetFieldKind(fkCalculated);
    q.AddField(std::move(calc));
    q.OnCalcFields = [&calcCalls](TDataSet &ds) {
        ++calcCalls;
        ds.FieldByName(QStringLiteral("sname")).SetAsString(ds.FieldByName(QStringLiteral("name")).AsString());
    };
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TZConnection c;
    bench::OpenSqlite(c, bench::Catalogue(argc, argv));
    c.SQLHourGlass = false;

    long long calcCalls = 0;
    TZReadOnlyQuery q(&c);
    q.SetSQL(QString::fromLatin1(kSql));
    DeclareFields(q, calcCalls);
    TDataSource source;
    source.SetDataSet(&q);

    TCustomDBGrid grid;
    grid.SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs | dgRowSelect |
                    dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit | dgMultiSelect);
    grid.SetReadOnly(true);
    grid.resize(700, 500);
    grid.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    q.Open();
    grid.SetDataSource(&source);
    QApplication::processEvents();
    const double openMs = double(t.nsecsElapsed()) / 1e6;
    const int rows = q.RecordCount();
    const int page = grid.DataLink().BufferCount();
    const long rssOpen = bench::StatusKb("VmRSS");
    const long long calcAfterOpen = calcCalls;
    std::printf("rows %d, visible rows %d, open + first screen %.0f ms, RSS %ld kB\n", rows, page, openMs, rssOpen);

    // The grid: Page Down until the last record.
    int presses = 0;
    long rssMax = rssOpen;
    t.restart();
    while (!q.Eof()) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&grid, &down);
        QApplication::processEvents();
        if (++presses % 5000 == 0) {
            const long rss = bench::StatusKb("VmRSS");
            rssMax = std::max(rssMax, rss);
            std::printf("  %6d keys, record %7d, RSS %ld kB\n", presses, q.RecNo(), rss);
        }
    }
    const double gridMs = double(t.nsecsElapsed()) / 1e6;
    const long long gridCalc = calcCalls - calcAfterOpen;
    const long rssEnd = bench::StatusKb("VmRSS");

    // The same walk with the grid hidden: its own work without painting.
    grid.hide();
    q.First();
    QApplication::processEvents();
    int hiddenPresses = 0;
    t.restart();
    while (!q.Eof()) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&grid, &down);
        ++hiddenPresses;
    }
    const double hiddenMs = double(t.nsecsElapsed()) / 1e6;

    // Baseline: the dataset alone, the same moves, the same window size.
    grid.SetDataSource(nullptr);
    TDataSource bare;
    bare.SetDataSet(&q);
    struct WindowLink : TDataLink {
    } link;
    link.SetDataSource(&bare);
    link.SetBufferCount(page);
    q.First();
    const long long calcBefore = calcCalls;
    t.restart();
    int moves = 0;
    while (!q.Eof()) {
        link.MoveBy(page);
        ++moves;
    }
    const double bareMs = double(t.nsecsElapsed()) / 1e6;
    const long long bareCalc = calcCalls - calcBefore;

    std::printf("grid:     %d Page Down keys in %.0f ms = %.1f us per key; calculated fields run %lld times "
                "(%.3f per record)\n",
                presses, gridMs, gridMs * 1000 / presses, gridCalc, double(gridCalc) / rows);
    std::printf("hidden:   %d Page Down keys in %.0f ms = %.1f us per key (no painting)\n", hiddenPresses, hiddenMs,
                hiddenMs * 1000 / hiddenPresses);
    std::printf("baseline: %d moves of %d records on the dataset alone in %.0f ms = %.1f us per move; "
                "calculated fields run %lld times\n",
                moves, page, bareMs, bareMs * 1000 / moves, bareCalc);
    std::printf("ratio grid / dataset alone: %.1f painted, %.1f hidden\n", gridMs / bareMs, hiddenMs / bareMs);
    std::printf("memory: RSS after open %ld kB, max while paging %ld kB, at the end %ld kB, peak (VmHWM) %ld kB\n",
                rssOpen, rssMax, rssEnd, bench::StatusKb("VmHWM"));
    return 0;
}
