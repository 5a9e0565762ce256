// A goods search by one word over all cities: FindGoods up to the open
// query with its count, against the bare client API (sqlite3 or the MariaDB
// C API) running the same SQL text and reading every row.
//   bench_goods_search --sqlite FILE [--word WORD]
//   bench_goods_search --mysql HOST PORT USER PASSWORD MASTER [--word WORD]

#include "bench_search_common.h"

#include "platform/codec.h"
#include "services/globals.h"
#include "services/sqlite_func.h"
#include "components/DBGrid.h"
#include "windows/main/main.h"

#include <mysql.h>
#include <sqlite3.h>

#include <QComboBox>
#include <QElapsedTimer>
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
    MYSQL *m = mysql_init(nullptr);
    if (!mysql_real_connect(m, t.host.toUtf8().constData(), t.user.toUtf8().constData(),
                            t.password.toUtf8().constData(), database.toUtf8().constData(), unsigned(t.port),
                            nullptr, 0)) {
        std::fprintf(stderr, "mysql: %s\n", mysql_error(m));
        return -1;
    }
    mysql_query(m, "set names CP1251");
    if (mysql_real_query(m, sql.constData(), sql.size()) != 0) {
        std::fprintf(stderr, "mysql: %s\n", mysql_error(m));
        return -1;
    }
    MYSQL_RES *res = mysql_store_result(m);
    long long rows = 0;
    std::size_t bytes = 0;
    const unsigned n = mysql_num_fields(res);
    while (MYSQL_ROW row = mysql_fetch_row(res)) {
        const unsigned long *lengths = mysql_fetch_lengths(res);
        for (unsigned i = 0; i < n; ++i)
            bytes += row[i] ? lengths[i] : 0;
        ++rows;
    }
    mysql_free_result(res);
    mysql_close(m);
    return rows + (bytes == std::size_t(-1));
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
    w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))->setCurrentItem(w.findChild<QTreeWidget *>(QStringLiteral("TreeView"))->topLevelItem(0));
    w.findChild<QComboBox *>(QStringLiteral("cbFindGoodName"))->setEditText(word);
    auto *find = w.findChild<QPushButton *>(QStringLiteral("btnFindGood"));
    TZReadOnlyQuery &goods = GridRows(w, "DBGrid1");

    constexpr int kRuns = 5;
    std::vector<qint64> ours, bare;
    long long rows = 0;
    long long bareRows = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        find->click();
        rows = goods.RecordCount();
        ours.push_back(timer.nsecsElapsed());

        const QByteArray sql = ToCp1251(goods.SQL());
        timer.restart();
        bareRows = target.host.isEmpty() ? BareSqlite(target.sqliteFile, sql) : BareMysql(target, CurrentDb, sql);
        bare.push_back(timer.nsecsElapsed());
    }
    const double a = bench::Figures(ours).median;
    const double b = bench::Figures(bare).median;
    std::printf("%s, word \"%s\": %lld rows (bare %lld)\n", target.host.isEmpty() ? "local" : "network",
                word.toUtf8().constData(), rows, bareRows);
    std::printf("FindGoods to open query with count: median %.1f ms\n", a);
    std::printf("bare client API, same SQL, all rows read: median %.1f ms\n", b);
    std::printf("ratio %.2f\n", a / b);
    std::printf("peak memory %ld KiB (after start-up %ld KiB), stored rows %lld bytes\n", bench::StatusKb("VmHWM"),
                startKb, (long long)goods.StorageBytes());
    return 0;
}
