// A goods search by one word over all cities: FindGoods up to the open
// query with its count, and the query alone on the same SQL text, against the
// bare client API (sqlite3 or the MariaDB C API, which holds the whole result)
// running that text and reading every row; time, CPU time and peak memory.
//   bench_goods_search --sqlite FILE [--word WORD]
//   bench_goods_search --mysql HOST PORT USER PASSWORD MASTER [--word WORD]

#include "bench_mysql.h"
#include "bench_search_common.h"

#include "data/codec.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/sqlite_func.h"
#include "components/DBGrid.h"
#include "windows/main/main.h"

#include <sqlite3.h>

#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdio>
#include <vector>

namespace {

// The rows a result grid of the window shows.
TZReadOnlyQuery &GridRows(TfrmMain &w, const char *grid)
{
    return dynamic_cast<TZReadOnlyQuery &>(*w.findChild<TDBGrid *>(QString::fromLatin1(grid))->DataSource()->DataSet());
}

// Steps through every row reading every column, as the dataset stores them.
long long BareSqlite(const QString &file, const QByteArray &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    RegisterSqliteFunctionsOn(db);
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        return -1;
    }
    long long rows = 0;
    std::size_t bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            sqlite3_column_text(st, i);
            bytes += std::size_t(sqlite3_column_bytes(st, i));
        }
        ++rows;
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows + (bytes == std::size_t(-1));
}

long long BareMysql(const searchbench::TTarget &t, const QString &database, const QByteArray &sql)
{
    MYSQL *m = searchbench::ConnectBareMysql(t, database);
    if (!m)
        return -1;
    std::size_t bytes = 0;
    const long long rows = searchbench::QueryBareMysql(m, sql, bytes);
    mysql_close(m);
    return rows < 0 ? rows : rows + (bytes == std::size_t(-1));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    searchbench::TTarget target;
    if (!searchbench::ParseTarget(argc, argv, target)) {
        std::fprintf(stderr, "usage: bench_goods_search --sqlite FILE | --mysql HOST PORT USER PASSWORD MASTER "
                             "[--word WORD]\n");
        return 2;
    }
    QString word = QStringLiteral("масло");
    for (int i = 1; i + 1 < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--word"))
            word = QString::fromLocal8Bit(argv[i + 1]);
    searchbench::QuietMessages();
    QTemporaryDir dir;
    searchbench::WriteIni(dir.path(), target);

    TfrmMain w(dir.path());
    const long startKb = bench::StatusKb("VmHWM");
    w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))
        ->setCurrentItem(w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))->topLevelItem(0));
    auto *findButton = w.findChild<QPushButton *>(QStringLiteral("btnFindGood"));
    TZReadOnlyQuery &goods = GridRows(w, "DBGrid1");
    w.findChild<QComboBox *>(QStringLiteral("cbFindGoodName"))->setEditText(word);

    // FindGoods, the query alone on the same SQL text, and the bare client
    // API, interleaved; the order turns every run.
    constexpr int kRuns = 5;
    std::vector<bench::TRun> find, open, bare;
    long long rows = 0, queryRows = 0, bareRows = 0;
    TZReadOnlyQuery q(goods.Connection);
    QByteArray sql;
    for (int run = 0; run < kRuns; ++run) {
        auto doFind = [&] {
            goods.Close();
            find.push_back(bench::Measure([&] {
                findButton->click();
                rows = goods.RecordCount();
            }));
            sql = ToCp1251(goods.SQL());
            q.SetSQL(goods.SQL());
        };
        auto doOpen = [&] {
            q.Close();
            open.push_back(bench::Measure([&] {
                q.Open();
                queryRows = q.RecordCount();
            }));
            q.Close();
        };
        auto doBare = [&] {
            bare.push_back(bench::Measure([&] {
                bareRows =
                    target.host.isEmpty() ? BareSqlite(target.sqliteFile, sql) : BareMysql(target, CurrentDb, sql);
            }));
        };
        doFind();
        if (run % 2) {
            doBare();
            doOpen();
        } else {
            doOpen();
            doBare();
        }
    }
    std::printf("%s, word \"%s\": %lld rows (query %lld, bare %lld), %d runs each\n",
                target.host.isEmpty() ? "local" : "network", word.toUtf8().constData(), rows, queryRows, bareRows,
                kRuns);
    bench::PrintRuns("FindGoods to open query with count", find);
    bench::PrintRuns("query Open, same SQL", open);
    bench::PrintRuns("bare client API, all rows read", bare);
    bench::PrintRatios("FindGoods to bare", find, bare);
    bench::PrintRatios("query Open to bare", open, bare);
    std::printf("start-up peak %ld KiB, stored rows %lld bytes\n", startKb, (long long)goods.StorageBytes());
    return 0;
}
