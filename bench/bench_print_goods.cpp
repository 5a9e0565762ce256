// bench_print_goods: the goods report over all rows of a result, as the print
// command builds it (one row look-up per good, under the progress window),
// against the bare client API running the same row SQL for the same goods:
// sqlite3 with the statement prepared once and bound per row (also, for
// reference, prepared per row and in one read transaction), or the MariaDB
// C API sending the text with the values in per row (as the client library
// does for us). Runs interleaved; time and CPU time, min and median.
//   trevin_gencat --sqlite /tmp/trevin_1m.dat --goods 1000000
//   bench_print_goods --sqlite FILE [--rows 10000] [--runs 5]
//   bench_print_goods --mysql HOST PORT USER PASSWORD MASTER [--rows 10000] [--runs 5]

#include "bench_mysql.h"
#include "bench_search_common.h"

#include "components/DBGrid.h"
#include "components/Progress.h"
#include "data/codec.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/sqlite_func.h"
#include "windows/main_peer.h"

#include <sqlite3.h>

#include <QComboBox>
#include <QEventLoop>
#include <QTimer>
#include <QPushButton>
#include <QTreeWidget>

#include <array>
#include <cstdio>
#include <vector>

namespace {

// The row statement of the report, as the report runs it.
const char *const kRowSql =
    "select a.sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  "
    ",g.name as good_name,g.price as good_price,g.cur as good_cur , (SELECT allinfo FROM phone p WHERE p.cid=:cid "
    "and p.fid=:fid and p.adr_id in (:adr_id,0) ORDER by adr_id, prior limit 1) as phone from good g, address a, "
    "street_name s, street_type t, city y where y.cid=:cid and a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and "
    "s.strt_id=t.id and a.fid=:fid and (a.adr_id in (:adr_id,0)  or :adr_id=0 ) and g.cid=:cid and g.id=:id "
    "limit 1";

using TKey = std::array<long long, 4>; // cid, fid, adr_id, id

// Reads every column of the row, as the report reads its texts.
long long BareSqlite(const QString &file, const std::vector<TKey> &keys, bool prepareEachRow = false,
                     bool oneTransaction = false)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    RegisterSqliteFunctionsOn(db);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, kRowSql, -1, &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        return -1;
    }
    const int p[4] = {sqlite3_bind_parameter_index(st, ":cid"), sqlite3_bind_parameter_index(st, ":fid"),
                      sqlite3_bind_parameter_index(st, ":adr_id"), sqlite3_bind_parameter_index(st, ":id")};
    if (oneTransaction)
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    long long rows = 0;
    std::size_t bytes = 0;
    for (const TKey &k : keys) {
        if (prepareEachRow) {
            sqlite3_finalize(st);
            sqlite3_prepare_v2(db, kRowSql, -1, &st, nullptr);
        }
        for (int i = 0; i < 4; ++i)
            sqlite3_bind_int64(st, p[i], k[i]);
        if (sqlite3_step(st) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                sqlite3_column_text(st, i);
                bytes += std::size_t(sqlite3_column_bytes(st, i));
            }
            ++rows;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    if (oneTransaction)
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rows + (bytes == std::size_t(-1));
}

long long BareMysql(const searchbench::TTarget &t, const QString &database, const std::vector<TKey> &keys)
{
    MYSQL *m = searchbench::ConnectBareMysql(t, database);
    if (!m)
        return -1;
    long long rows = 0;
    std::size_t bytes = 0;
    for (const TKey &k : keys) {
        QByteArray sql(kRowSql);
        sql.replace(":adr_id", QByteArray::number(k[2]));
        sql.replace(":cid", QByteArray::number(k[0]));
        sql.replace(":fid", QByteArray::number(k[1]));
        sql.replace(":id", QByteArray::number(k[3]));
        const long long found = searchbench::QueryBareMysql(m, sql, bytes);
        if (found < 0) {
            mysql_close(m);
            return -1;
        }
        rows += found;
    }
    mysql_close(m);
    return rows + (bytes == std::size_t(-1));
}

int IntArg(int argc, char **argv, const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String(name))
            return QString::fromLocal8Bit(argv[i + 1]).toInt();
    return fallback;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    searchbench::TTarget target;
    if (!searchbench::ParseTarget(argc, argv, target)) {
        std::fprintf(stderr, "usage: bench_print_goods --sqlite FILE | --mysql HOST PORT USER PASSWORD MASTER "
                             "[--rows N] [--runs N]\n");
        return 2;
    }
    const int wanted = IntArg(argc, argv, "--rows", 10000);
    const int runs = IntArg(argc, argv, "--runs", 5);
    searchbench::QuietMessages();
    QTemporaryDir dir;
    searchbench::WriteIni(dir.path(), target);

    TfrmMain w(dir.path());
    // The first idle moments' work (banner, freshness check) done before timing.
    {
        QEventLoop idle;
        QTimer::singleShot(200, &idle, &QEventLoop::quit);
        idle.exec();
    }
    auto *tree = w.findChild<QTreeWidget *>(QStringLiteral("TreeView"));
    tree->setCurrentItem(tree->topLevelItem(0));
    w.findChild<QComboBox *>(QStringLiteral("cbFindGoodName"))->setEditText(QStringLiteral("а"));
    w.findChild<QPushButton *>(QStringLiteral("btnFindGood"))->click();
    auto *grid = w.findChild<TDBGrid *>(QStringLiteral("DBGrid1"));
    auto &goods = dynamic_cast<TZReadOnlyQuery &>(*grid->DataSource()->DataSet());
    // The result cut to the wanted size, as a result of that size would be.
    const QString sql = goods.SQL();
    goods.Close();
    goods.SetSQL(sql + QStringLiteral(" limit ") + QString::number(wanted));
    goods.Open();
    std::vector<TKey> keys;
    for (goods.First(); !goods.Eof(); goods.Next())
        keys.push_back({goods.FieldByName(QStringLiteral("cid")).AsLargeInt(),
                        goods.FieldByName(QStringLiteral("fid")).AsLargeInt(),
                        goods.FieldByName(QStringLiteral("adr_id")).AsLargeInt(),
                        goods.FieldByName(QStringLiteral("id")).AsLargeInt()});
    goods.First();

    const TfrmMainTestPeer peer(w);
    std::vector<bench::TRun> ours, bare, barePrepared, bareOneRead;
    long long htmlRows = 0, bareRows = 0;
    qsizetype htmlSize = 0;
    for (int run = 0; run < runs; ++run) {
        auto doOurs = [&] {
            ours.push_back(bench::Measure([&] {
                peer.SetPrintChoice(2);
                RunWithProgress(goods.RecordCount(), QStringLiteral("Подготовка данных..."),
                                [&](QObject *sender) { peer.BuildGoodsPrintHtml(sender); });
                StopProgress();
            }));
            htmlRows = peer.ReportHtml().count(QStringLiteral("<tr bgcolor=white><td valign=top>"));
            htmlSize = peer.ReportHtml().size();
        };
        auto doBare = [&] {
            bare.push_back(bench::Measure([&] {
                bareRows =
                    target.host.isEmpty() ? BareSqlite(target.sqliteFile, keys) : BareMysql(target, CurrentDb, keys);
            }));
        };
        // Local only: the bare loop preparing the statement for every row,
        // as our query does on each open.
        auto doBarePrepared = [&] {
            if (!target.host.isEmpty())
                return;
            barePrepared.push_back(bench::Measure([&] { BareSqlite(target.sqliteFile, keys, true); }));
            // And the bare loop in one read transaction, as the report walks.
            bareOneRead.push_back(bench::Measure([&] { BareSqlite(target.sqliteFile, keys, false, true); }));
        };
        if (run % 2) {
            doBare();
            doBarePrepared();
            doOurs();
        } else {
            doOurs();
            doBarePrepared();
            doBare();
        }
    }
    std::printf("%s: %zu goods in the result, report rows %lld (%lld chars), bare rows found %lld, %d runs each\n",
                target.host.isEmpty() ? "local" : "network", keys.size(), htmlRows, (long long)htmlSize, bareRows,
                runs);
    bench::PrintRuns("goods report, all rows", ours);
    bench::PrintRuns("bare client API, same row SQL", bare);
    bench::PrintRatios("report to bare", ours, bare);
    if (!barePrepared.empty()) {
        bench::PrintRuns("bare, statement prepared per row", barePrepared);
        bench::PrintRatios("report to bare prepared per row", ours, barePrepared);
        bench::PrintRuns("bare, in one read transaction", bareOneRead);
        bench::PrintRatios("report to bare in one transaction", ours, bareOneRead);
    }
    return 0;
}
