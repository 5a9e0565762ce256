// postext in a full scan of good.name against SQLite's own instr on the same
// column, same connection, same run.
#include "bench_common.h"

#include "data/codec.h"
#include "data/connection.h"
#include "services/sqlite_func.h"

#include <QCoreApplication>

#include <sqlite3.h>

#include <cstdio>

namespace {

long long Count(sqlite3 *db, const QByteArray &sql)
{
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return -1;
    }
    long long n = -1;
    if (sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return n;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    TZConnection c;
    bench::OpenSqlite(c, bench::Catalogue(argc, argv));
    sqlite3 *db = c.SqliteHandle();
    std::printf("goods: %lld\n", Count(db, "select count(*) from good"));

    const char *needles[] = {"ХЛЕБ", "МОЛОКО", "А", "ЧЕГО-ТО-НЕТ"};
    double sumPos = 0, sumInstr = 0;
    for (const char *n : needles) {
        const QByteArray needle = ToCp1251(QString::fromUtf8(n));
        const QByteArray pos = "select count(*) from good where postext('" + needle + "', name)";
        const QByteArray ins = "select count(*) from good where instr(name, '" + needle + "') > 0";
        Count(db, pos); // warm the page cache
        long long hitsPos = 0, hitsInstr = 0;
        const double tp = bench::BestMs(5, [&] { hitsPos = Count(db, pos); });
        const double ti = bench::BestMs(5, [&] { hitsInstr = Count(db, ins); });
        sumPos += tp;
        sumInstr += ti;
        std::printf("%-12s postext %8.1f ms (%lld rows)   instr %8.1f ms (%lld rows)   ratio %.2f\n", n, tp, hitsPos,
                    ti, hitsInstr, tp / ti);
    }
    std::printf("total: postext %.1f ms, instr %.1f ms, ratio %.2f (target <= 1.2)\n", sumPos, sumInstr,
                sumPos / sumInstr);
    return 0;
}
