// The least a start of the catalogue can do, as the baseline of
// bench_startup: a plain Qt Widgets program that opens the catalogue with
// the bare SQLite API, runs the start-up's statements (the classification
// lists, the data date, the cities, each city's sections and subsections,
// the goods root's totals), fills a tree with them and shows a window of
// the main window's size. It prints the tree's node count and the totals
// before the window is shown.
//   bench_startup_plain CATALOGUE.dat

#include "bench_sqlite_rows.h"
#include "data/codec.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <sqlite3.h>

#include <cstdio>
#include <vector>

namespace {

sqlite3 *g_db = nullptr;

std::vector<QStringList> Rows(const char *sql, int cid = 0, int superId = 0)
{
    return SqliteRows(g_db, QByteArray(sql), {{":cid", cid}, {":super_id", superId}});
}

int Column(const char *sql, const char *name)
{
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(g_db, sql, -1, &st, nullptr);
    for (int c = 0; c < sqlite3_column_count(st); ++c)
        if (QByteArrayView(sqlite3_column_name(st, c)) == name) {
            sqlite3_finalize(st);
            return c;
        }
    sqlite3_finalize(st);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2 || sqlite3_open_v2(argv[1], &g_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        std::fputs("usage: bench_startup_plain CATALOGUE.dat\n", stderr);
        return 2;
    }
    Rows("select * from wsupergroup  order by name");
    Rows("select * from wgroup  order by super_id,name");
    const auto date = Rows("select db_date from db_date limit 1");

    QMainWindow window;
    auto *tree = new QTreeWidget(&window);
    tree->setHeaderHidden(true);
    auto *goods = new QTreeWidgetItem(tree, {QStringLiteral("Товары и услуги")});
    auto *firms = new QTreeWidgetItem(tree, {QStringLiteral("Организации")});
    const char *cities =
        "select * from city order by case when cid=343 then 0 else case when cid=351 then 1 else case when cid=3452 "
        "then 2 else case when cid=3435 then 3 else case when cid=3439 then 4 else case when cid=34392 then 5 else  "
        "100 end end end end end end -case when cid=343 then 1000 else 0 end ,name";
    const char *sections = "select * from wsupergroup w where exists (select * from wgroup a where "
                           "a.super_id=w.super_id and exists (select * from good_gid_cnt b where b.cid=:cid and "
                           "a.gid=b.gid)) order by name";
    const char *groups = "select * from wgroup a where super_id=:super_id and exists (select * from good_gid_cnt b "
                         "where b.cid=:cid and a.gid=b.gid) order by name";
    const int cityCid = Column(cities, "cid"), cityName = Column(cities, "name");
    const int sectionId = Column(sections, "super_id"), sectionName = Column(sections, "name");
    const int groupName = Column(groups, "name");
    for (const QStringList &city : Rows(cities)) {
        auto *node = new QTreeWidgetItem(goods, {city[cityName]});
        for (const QStringList &section : Rows(sections, city[cityCid].toInt())) {
            auto *s = new QTreeWidgetItem(node, {section[sectionName]});
            for (const QStringList &group : Rows(groups, city[cityCid].toInt(), section[sectionId].toInt()))
                new QTreeWidgetItem(s, {group[groupName]});
        }
        new QTreeWidgetItem(firms, {city[cityName]});
    }
    QString status = QStringLiteral("Всего");
    const std::pair<const char *, const char *> totals[] = {
        {"select count(*) as cnt from city", " городов"},
        {"select count(*) as cnt from (select distinct a.super_id from wgroup a, good_gid_cnt b where a.gid=b.gid) aa",
         " разделов"},
        {"select count(*) as cnt from (select distinct a.gid from good_gid_cnt a) aa", " подразделов"},
        {"select sum(cnt) as cnt from good_cnt", " товаров/услуг"},
    };
    for (const auto &[sql, label] : totals)
        status += QStringLiteral(", ") + Rows(sql)[0][0] + QString::fromUtf8(label);
    int nodes = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it)
        ++nodes;
    std::printf("nodes %d\nstatus %s\n", nodes, status.toUtf8().constData());
    std::fflush(stdout);

    window.setCentralWidget(tree);
    window.statusBar()->addWidget(new QLabel(status, &window), 1);
    window.setWindowTitle(QStringLiteral("SELBRAN - Информационно-торговая система. ") +
                          (date.empty() ? QString() : date[0][0]));
    window.resize(800, 550);
    window.show();
    return app.exec();
}
