// bench_price: the firm window opened for the 20 addresses with the most
// goods, as a double click on a goods row opens it (local version): the
// statistics step, the subsection list, the price list, the caption and the
// card, then the window shown and painted once.
//
//   trevin_gencat --sqlite /tmp/trevin_1m.dat --goods 1000000
//   bench_price [--runs 5] /tmp/trevin_1m.dat
//
// Baseline, interleaved with the window on the same address: the address's
// goods read with the bare SQLite C API (every column the price list
// shows), which is the least any price window has to do.
#include "bench_common.h"

#include "data/codec.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/vtbl.h"
#include "windows/price/price.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

struct TKey {
    int cid, fid, adr, goods;
};

qint64 BareGoods(sqlite3 *db, const TKey &k)
{
    const QByteArray sql =
        QStringLiteral("select name,price,cur,price_rub,id,gid from good where cid=%1 and fid=%2 and "
                       "adr_id in (%3,0) order by gid, name")
            .arg(k.cid)
            .arg(k.fid)
            .arg(k.adr)
            .toLatin1();
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
    qint64 bytes = 0;
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < 6; ++c)
            bytes += sqlite3_column_bytes(st, c);
    sqlite3_finalize(st);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int runs = 5;
    QString path;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = args[++i].toInt();
        else
            path = args[i];
    }
    if (path.isEmpty() || runs <= 0) {
        std::fputs("usage: bench_price [--runs N] CATALOGUE.dat\n", stderr);
        return 2;
    }
    try {
        Protocol = QStringLiteral("sqlite");
        IsNetwork = false;
        TZConnection conn;
        bench::OpenSqlite(conn, path);
        TZReadOnlyQuery q(&conn);
        LoadGroupLists(q);
        q.SetSQL(QStringLiteral("select a.cid as cid, a.fid as fid, a.adr_id as adr_id, (select count(*) from good g "
                                "where g.cid=a.cid and g.fid=a.fid and g.adr_id in (a.adr_id,0)) as n from address a "
                                "order by n desc limit 20"));
        q.Open();
        std::vector<TKey> keys;
        for (; !q.Eof(); q.Next())
            keys.push_back(
                {q.FieldByName(QStringLiteral("cid")).AsInteger(), q.FieldByName(QStringLiteral("fid")).AsInteger(),
                 q.FieldByName(QStringLiteral("adr_id")).AsInteger(), q.FieldByName(QStringLiteral("n")).AsInteger()});
        q.Close();
        sqlite3 *db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);

        std::vector<qint64> windowNs, bareNs;
        qint64 bytes = 0;
        for (int run = 0; run < runs; ++run) {
            for (const TKey &k : keys) {
                QElapsedTimer t;
                t.start();
                {
                    TfrmPrice window(&conn, TCardLinkHandler());
                    window.Init(k.cid, k.fid, k.adr, 0);
                    window.show();
                    QCoreApplication::processEvents();
                    window.close();
                }
                windowNs.push_back(t.nsecsElapsed());
                t.restart();
                bytes += BareGoods(db, k);
                bareNs.push_back(t.nsecsElapsed());
            }
        }
        sqlite3_close(db);
        const auto minMs = [](const std::vector<qint64> &v) { return *std::min_element(v.begin(), v.end()) / 1e6; };
        const bench::TFigures win = bench::Figures(windowNs);
        const bench::TFigures bare = bench::Figures(bareNs);
        std::printf("catalogue %s; 20 addresses with %d to %d goods each, %d runs\n", qPrintable(path),
                    keys.back().goods, keys.front().goods, runs);
        std::printf("firm window open: min %.2f ms, median %.2f ms, worst %.2f ms\n", minMs(windowNs), win.median,
                    win.worst);
        std::printf("baseline, bare goods read: min %.2f ms, median %.2f ms, worst %.2f ms (%lld bytes)\n",
                    minMs(bareNs), bare.median, bare.worst, static_cast<long long>(bytes));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_price: %s\n", e.what());
        return 1;
    }
    return 0;
}
