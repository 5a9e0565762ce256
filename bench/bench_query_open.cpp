// Opening a query of every good and reading its RecordCount, against stepping
// the same statement with the bare SQLite API (reading each column as its
// type), interleaved, with the peak memory of each run.
#include "bench_common.h"

#include "data/connection.h"
#include "data/datasource.h"
#include "data/query.h"
#include "services/sqlite_func.h"

#include <QCoreApplication>

#include <sqlite3.h>

#include <cstdio>

namespace {

const char kSql[] = "select * from good";

// Steps the statement; with read, takes every column's value as a client would.
long long Step(sqlite3 *db, bool read)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, kSql, -1, &st, nullptr);
    long long rows = 0, sink = 0;
    const int columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++rows;
        if (!read)
            continue;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_INTEGER: sink += sqlite3_column_int64(st, c); break;
            case SQLITE_FLOAT: sink += (long long)sqlite3_column_double(st, c); break;
            case SQLITE_NULL: break;
            default:
                sink += reinterpret_cast<const char *>(sqlite3_column_text(st, c))[0];
                sink += sqlite3_column_bytes(st, c);
                break;
            }
        }
    }
    sqlite3_finalize(st);
    return rows + (sink & 0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TZConnection c;
    bench::OpenSqlite(c, bench::Catalogue(argc, argv));
    c.SQLHourGlass = false; // no screen here
    sqlite3 *db = c.SqliteHandle();

    Step(db, true); // warm the page cache
    TZReadOnlyQuery q(&c);
    q.SetSQL(QString::fromLatin1(kSql));
    long long rows = 0;
    int count = 0;
    // Program and baseline interleaved, the order swapped every run.
    constexpr int kRuns = 7;
    std::vector<bench::TRun> bare, open;
    for (int run = 0; run < kRuns; ++run) {
        auto doBare = [&] { bare.push_back(bench::Measure([&] { rows = Step(db, true); })); };
        auto doOpen = [&] {
            q.Close();
            open.push_back(bench::Measure([&] {
                q.Open();
                count = q.RecordCount();
            }));
        };
        if (run % 2) {
            doOpen();
            doBare();
        } else {
            doBare();
            doOpen();
        }
    }
    const long rssOpen = bench::StatusKb("VmRSS");
    const qint64 storage = q.StorageBytes();

    // Walking every row as marking all does: a grid's buffer of 20, controls
    // disabled, no calculated fields.
    TDataSource source;
    source.SetDataSet(&q);
    struct Grid : TDataLink {
    } grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(20);
    int walked = 0;
    const double walk = bench::BestMs(1, [&] {
        q.DisableControls();
        for (q.First(); !q.Eof(); q.Next())
            ++walked;
        q.EnableControls();
    });
    grid.SetDataSource(nullptr);
    q.Close();
    const long rssClosed = bench::StatusKb("VmRSS");

    std::printf("rows: %lld (RecordCount %d), %d runs each\n", rows, count, kRuns);
    bench::PrintRuns("bare SQLite step + read", bare);
    bench::PrintRuns("query Open + RecordCount", open);
    bench::PrintRatios("Open to step + read (<= 1.2)", open, bare);
    std::printf("walk of %d rows through a 20-row buffer: %.1f ms\n", walked, walk);
    std::printf("row storage: %.1f MB; RSS open %.1f MB, after close %.1f MB\n", double(storage) / 1048576.0,
                rssOpen / 1024.0, rssClosed / 1024.0);
    return 0;
}
