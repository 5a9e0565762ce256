// Opening a query of every good and reading its RecordCount, against the
// same statement stepped with the bare SQLite API and every cell kept in a
// plain cell array, read with the same calls per cell as the query makes
// (one column call, then the value's type and content), interleaved, with
// the peak memory of each run.
#include "bench_common.h"

#include "data/connection.h"
#include "data/datasource.h"
#include "data/query.h"
#include "services/sqlite_func.h"

#include <QCoreApplication>

#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

const char kSql[] = "select * from good";

// One kept cell: its kind and value, text as a slice of the text buffer.
struct TCell {
    int kind;
    std::uint32_t length;
    union {
        long long i;
        double d;
        std::size_t offset;
    };
};

struct TKept {
    int columns = 0;
    std::vector<TCell> cells;
    std::string text;
    long long Rows() const { return columns ? (long long)(cells.size() / std::size_t(columns)) : 0; }
};

// A checksum of every cell: integers, whole parts of reals, text lengths
// and nulls.
struct TSum {
    long long ints = 0, reals = 0, textBytes = 0, nulls = 0, rows = 0;
    bool operator==(const TSum &) const = default;
};

// The same reads with nothing kept: the floor under any client.
long long ReadOnly(sqlite3 *db)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, kSql, -1, &st, nullptr);
    const int columns = sqlite3_column_count(st);
    long long sink = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            sqlite3_value *v = sqlite3_column_value(st, c);
            switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER: sink += sqlite3_value_int64(v); break;
            case SQLITE_FLOAT: sink += (long long)sqlite3_value_double(v); break;
            case SQLITE_NULL: break;
            default: sink += sqlite3_value_text(v)[0] + sqlite3_value_bytes(v); break;
            }
        }
    }
    sqlite3_finalize(st);
    return sink;
}

void Fetch(sqlite3 *db, TKept &kept)
{
    kept.cells.clear();
    kept.text.clear();
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, kSql, -1, &st, nullptr);
    kept.columns = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int c = 0; c < kept.columns; ++c) {
            sqlite3_value *v = sqlite3_column_value(st, c);
            TCell cell{};
            cell.kind = sqlite3_value_type(v);
            switch (cell.kind) {
            case SQLITE_INTEGER: cell.i = sqlite3_value_int64(v); break;
            case SQLITE_FLOAT: cell.d = sqlite3_value_double(v); break;
            case SQLITE_NULL: break;
            default: {
                const char *text = reinterpret_cast<const char *>(sqlite3_value_text(v));
                cell.length = std::uint32_t(sqlite3_value_bytes(v));
                cell.offset = kept.text.size();
                kept.text.append(text, cell.length);
                break;
            }
            }
            kept.cells.push_back(cell);
        }
    }
    sqlite3_finalize(st);
}

TSum SumOf(const TKept &kept)
{
    TSum s;
    s.rows = kept.Rows();
    for (const TCell &c : kept.cells) {
        switch (c.kind) {
        case SQLITE_INTEGER: s.ints += c.i; break;
        case SQLITE_FLOAT: s.reals += (long long)c.d; break;
        case SQLITE_NULL: ++s.nulls; break;
        default: s.textBytes += c.length; break;
        }
    }
    return s;
}

// The same checksum read through the open query's fields.
TSum SumOf(TZReadOnlyQuery &q)
{
    TSum s;
    q.DisableControls();
    for (q.First(); !q.Eof(); q.Next()) {
        ++s.rows;
        for (int f = 0; f < q.FieldCount(); ++f) {
            TField &field = *q.Fields()[std::size_t(f)];
            if (field.IsNull()) {
                ++s.nulls;
                continue;
            }
            switch (field.DataType()) {
            case ftInteger:
            case ftLargeint: s.ints += field.AsLargeInt(); break;
            case ftFloat: s.reals += (long long)field.AsFloat(); break;
            default: s.textBytes += field.AsString().size(); break;
            }
        }
    }
    q.EnableControls();
    return s;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TZConnection c;
    bench::OpenSqlite(c, bench::Catalogue(argc, argv));
    c.SQLHourGlass = false; // no screen here
    sqlite3 *db = c.SqliteHandle();

    {
        TKept warm; // the page cache
        Fetch(db, warm);
    }
    TZReadOnlyQuery q(&c);
    q.SetSQL(QString::fromLatin1(kSql));
    int count = 0;
    TSum bareSum;
    // Program and baseline interleaved, the order swapped every run; each
    // frees what it kept before the other runs.
    constexpr int kRuns = 7;
    std::vector<bench::TRun> bare, open, floor;
    long long sink = 0;
    for (int run = 0; run < kRuns; ++run) {
        auto doBare = [&] {
            q.Close();
            auto kept = std::make_unique<TKept>();
            bare.push_back(bench::Measure([&] { Fetch(db, *kept); }));
            bareSum = SumOf(*kept);
        };
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
        q.Close();
        floor.push_back(bench::Measure([&] { sink += ReadOnly(db); }));
    }
    q.Open();
    const TSum querySum = SumOf(q);
    if (!(querySum == bareSum) || count != bareSum.rows) {
        std::fprintf(stderr,
                     "the query and the baseline disagree: rows %lld / %lld (RecordCount %d), integers %lld / %lld, "
                     "reals %lld / %lld, text bytes %lld / %lld, nulls %lld / %lld\n",
                     querySum.rows, bareSum.rows, count, querySum.ints, bareSum.ints, querySum.reals, bareSum.reals,
                     querySum.textBytes, bareSum.textBytes, querySum.nulls, bareSum.nulls);
        return 1;
    }
    std::printf("(floor checksum %lld)\n", sink & 0xff);
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

    std::printf("rows: %lld (RecordCount %d), %d runs each; both keep the same cells (checksums agree)\n", bareSum.rows,
                count, kRuns);
    bench::PrintRuns("bare SQLite step + cells kept", bare);
    bench::PrintRuns("query Open + RecordCount", open);
    bench::PrintRatios("Open / bare", open, bare);
    bench::PrintRuns("(floor: the same reads, nothing kept)", floor);
    bench::PrintRatios("Open / floor", open, floor);
    std::printf("walk of %d rows through a 20-row buffer: %.1f ms\n", walked, walk);
    std::printf("row storage: %.1f MB; RSS open %.1f MB, after close %.1f MB\n", double(storage) / 1048576.0,
                rssOpen / 1024.0, rssClosed / 1024.0);
    return 0;
}
