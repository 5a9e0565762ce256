// bench_price: the firm window opened for the 20 addresses with the most
// goods, as a double click on a goods row opens it (local version): the
// statistics step, the subsection list, the price list, the caption and the
// card, then the window shown and painted once.
//
//   trevin_gencat --sqlite /tmp/trevin_1m.dat --goods 1000000
//   bench_price [--runs 5] /tmp/trevin_1m.dat
//
// Baseline, interleaved with the window on the same address: the same work
// done plainly. The window's statements with the bare SQLite API (the
// subsection list into a combo box, the whole price list stepped and
// counted, the rows the window formats on opening read and formatted, the
// name and address for the caption, the card in the table layout), then a
// plain window of the same size with the card in a QTextBrowser on the
// first of two tabs, shown and painted once. Caption, subsections, card,
// row count and the first formatted row must agree.
#include "bench_card_plain.h"
#include "bench_common.h"

#include "data/codec.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/vtbl.h"
#include "services/tools_format.h"
#include "windows/price/price.h"

#include <QComboBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>

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

// What the window shows and holds once open.
struct TOpened {
    QString caption, card, firstName, firstPrice;
    QStringList groups;
    int rows = 0;
    int formatted = 0;
    bool operator==(const TOpened &) const = default;
};

std::vector<QStringList> Texts(sqlite3 *db, const QString &sql, int limit = -1, int *count = nullptr)
{
    const QByteArray text = ToCp1251(sql);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st, nullptr);
    const int columns = sqlite3_column_count(st);
    std::vector<QStringList> rows;
    int n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        if (limit < 0 || n < limit) {
            QStringList row;
            for (int c = 0; c < columns; ++c)
                row.append(FromCp1251(reinterpret_cast<const char *>(sqlite3_column_text(st, c)),
                                      sqlite3_column_bytes(st, c)));
            rows.push_back(std::move(row));
        }
        ++n;
    }
    sqlite3_finalize(st);
    if (count)
        *count = n;
    return rows;
}

// The firm window's opening done plainly; visible is how many price rows
// it formats.
TOpened PlainWindow(sqlite3 *db, const TKey &k, int visible)
{
    TOpened o;
    const QString key = QStringLiteral("cid=%1 and fid=%2 and adr_id in (%3,0)").arg(k.cid).arg(k.fid).arg(k.adr);
    QWidget window;
    window.resize(640, 480);
    auto *layout = new QVBoxLayout(&window);
    auto *tabs = new QTabWidget(&window);
    auto *view = new QTextBrowser(tabs);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    view->document()->setDefaultFont(font);
    auto *priceTab = new QWidget(tabs);
    auto *groups = new QComboBox(priceTab);
    tabs->addTab(view, QStringLiteral("Информация о компании"));
    tabs->addTab(priceTab, QStringLiteral("Прайс-лист"));
    layout->addWidget(tabs);

    QString prices;
    int n = 1;
    groups->addItem(QStringLiteral("Все разделы"));
    for (const QStringList &r :
         Texts(db, QStringLiteral("select distinct a.gid as gid,b.name as wgroup_name ,c.name as wsupergroup_name from "
                                  "good a,wgroup b, wsupergroup c  where a.gid=b.gid and c.super_id=b.super_id and ") +
                       key + QStringLiteral(" order by c.name,b.name"))) {
        groups->addItem(r[2] + QStringLiteral(" - ") + r[1]);
        if (!prices.isEmpty())
            prices += QStringLiteral(" union all ");
        prices += QStringLiteral("select %1 as sort,  b.name || ' - ' || a.name as name ,0 as price, 0 as cur, 0 as "
                                 "price_rub , -1 as id, %2 as gid from wgroup a, wsupergroup b where a.gid=%2 and "
                                 "a.super_id=b.super_id union all select %3 as sort, name,price,cur,price_rub,id,gid "
                                 "from good where %4 and gid=%2")
                      .arg(n)
                      .arg(r[0])
                      .arg(n + 1)
                      .arg(key);
        n += 2;
    }
    for (int i = 0; i < groups->count(); ++i)
        o.groups.append(groups->itemText(i));
    if (!prices.isEmpty()) {
        const auto shown =
            Texts(db, QStringLiteral("select * from (") + prices + QStringLiteral(") aa order by sort, name "), visible,
                  &o.rows);
        for (const QStringList &r : shown) {
            const QString price = FormatPriceText(r[2], r[3]);
            const QString group = GetGroupName(r[6].toInt()), section = GetSuperGroupName(r[6].toInt());
            if (o.formatted++ == 0) {
                o.firstName = r[1];
                o.firstPrice = price;
            }
            Q_UNUSED(group);
            Q_UNUSED(section);
        }
    }
    const auto sfn = Texts(db, QStringLiteral("select sfn,allinfo from address where  cid=%1 and fid=%2 and adr_id in "
                                              "(%3,0)  limit 1")
                                   .arg(k.cid)
                                   .arg(k.fid)
                                   .arg(k.adr));
    o.caption = sfn.empty() ? QString() : sfn[0][0];
    const auto place = Texts(
        db, QStringLiteral("select r.name_big as name_big,s.name as street_name,t.name_small as street_type,house,"
                           "lit,office,ext,y.name as city_name from address a, street_name s, street_type t, city "
                           "y, city_region r where a.cid=%1 and a.fid=%2 and a.adr_id=%3 and a.cid=y.cid and "
                           "a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id "
                           "limit 1")
                .arg(k.cid)
                .arg(k.fid)
                .arg(k.adr));
    const QStringList p = place.empty() ? QStringList(8) : place[0];
    const QString address = FormatAddress(p[7], p[1], p[2], p[3], p[4], p[5], p[6], p[0], true);
    if (!address.isEmpty())
        o.caption += QStringLiteral(" - ") + address;
    window.setWindowTitle(o.caption);
    o.card = plaincard::Build(db, k.cid, k.fid, k.adr, false, nullptr);
    view->setHtml(o.card);
    window.show();
    QCoreApplication::processEvents();
    window.close();
    return o;
}

} // namespace

// Reads what the window holds.
class TfrmPriceTestPeer
{
public:
    static TZReadOnlyQuery &Query1(TfrmPrice &w) { return w.Query1; }
    static TOpened Opened(TfrmPrice &w, int formatted)
    {
        TOpened o;
        o.caption = w.windowTitle();
        o.card = w.CardHtml;
        for (int i = 0; i < w.cbGroup->count(); ++i)
            o.groups.append(w.cbGroup->itemText(i));
        o.rows = w.TotalRows;
        o.formatted = formatted;
        if (w.Query1.Active() && !w.Query1.IsEmpty()) {
            w.Query1.First();
            o.firstName = w.Query1.FieldByName(QStringLiteral("sname")).AsString();
            o.firstPrice = w.Query1.FieldByName(QStringLiteral("sprice")).AsString();
        }
        return o;
    }
};

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

        std::vector<double> windowMs, plainMs;
        int formattedMin = 1 << 30, formattedMax = 0;
        for (int run = 0; run < runs; ++run) {
            for (std::size_t i = 0; i < keys.size(); ++i) {
                const TKey &k = keys[i];
                TOpened ours, plain;
                int calcs = 0;
                const auto window = [&] {
                    QElapsedTimer t;
                    t.start();
                    {
                        TfrmPrice w(&conn, TCardLinkHandler(), QStringList());
                        TZReadOnlyQuery &prices = TfrmPriceTestPeer::Query1(w);
                        const auto calc = prices.OnCalcFields;
                        prices.OnCalcFields = [&calcs, calc](TDataSet &ds) {
                            ++calcs;
                            calc(ds);
                        };
                        w.Init(k.cid, k.fid, k.adr, 0);
                        w.show();
                        QCoreApplication::processEvents();
                        windowMs.push_back(double(t.nsecsElapsed()) / 1e6);
                        ours = TfrmPriceTestPeer::Opened(w, calcs);
                        w.close();
                    }
                };
                const auto bare = [&] {
                    QElapsedTimer t;
                    t.start();
                    plain = PlainWindow(db, k, calcs);
                    plainMs.push_back(double(t.nsecsElapsed()) / 1e6);
                };
                // The window goes first, as it tells how many rows it formats.
                window();
                bare();
                formattedMin = std::min(formattedMin, calcs);
                formattedMax = std::max(formattedMax, calcs);
                if (!(ours == plain)) {
                    std::fprintf(
                        stderr,
                        "bench_price: the window and the baseline differ on %d/%d/%d: caption \"%s\" / \"%s\", "
                        "%lld / %lld subsections, %d / %d rows, %d / %d formatted, first row \"%s\" %s / "
                        "\"%s\" %s, cards %s\n",
                        k.cid, k.fid, k.adr, ours.caption.toUtf8().constData(), plain.caption.toUtf8().constData(),
                        (long long)ours.groups.size(), (long long)plain.groups.size(), ours.rows, plain.rows,
                        ours.formatted, plain.formatted, ours.firstName.toUtf8().constData(),
                        ours.firstPrice.toUtf8().constData(), plain.firstName.toUtf8().constData(),
                        plain.firstPrice.toUtf8().constData(), ours.card == plain.card ? "equal" : "differ");
                    return 1;
                }
            }
        }
        sqlite3_close(db);
        const bench::TSpread win = bench::Spread(windowMs), bare = bench::Spread(plainMs);
        std::printf("catalogue %s; 20 addresses with %d to %d goods each, %d runs; the window formats %d to %d rows "
                    "on opening; caption, subsections, card, counts and first row agree\n",
                    qPrintable(path), keys.back().goods, keys.front().goods, runs, formattedMin, formattedMax);
        std::printf("firm window open:          min %.2f ms, median %.2f ms\n", win.min, win.median);
        std::printf("baseline, the same plainly: min %.2f ms, median %.2f ms\n", bare.min, bare.median);
        std::printf("ratio window / baseline: x%.2f (min) x%.2f (median)\n", win.min / bare.min,
                    win.median / bare.median);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_price: %s\n", e.what());
        return 1;
    }
    return 0;
}
