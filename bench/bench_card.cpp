// bench_card: the organisation card built for each of the first rows of an
// organisation result, as the main window does while the user moves through
// the grid (compact layout, the search words of a typed view).
//
//   trevin_gencat --sqlite /tmp/trevin_1m.dat --goods 1000000
//   bench_card [--rows 1000] [--table] /tmp/trevin_1m.dat
//
// Prints the median, mean and worst build time per card, and as the
// baseline the time of one keyed address look-up on the same rows.
#include "bench_common.h"

#include "data/connection.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/tools_format.h"
#include "windows/main/historyrec.h"
#include "windows/price/firmcard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <vector>

namespace {

struct TKey {
    int cid, fid, adr;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    int rows = 1000;
    bool compact = true;
    QString path;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size())
            rows = args[++i].toInt();
        else if (args[i] == QLatin1String("--table"))
            compact = false;
        else
            path = args[i];
    }
    if (path.isEmpty() || rows <= 0) {
        std::fputs("usage: bench_card [--rows N] [--table] CATALOGUE.dat\n", stderr);
        return 2;
    }

    try {
        Protocol = QStringLiteral("sqlite");
        IsNetwork = false;
        TZConnection conn;
        bench::OpenSqlite(conn, path);

        // The organisation result: every address of the main city by name.
        TZReadOnlyQuery result(&conn);
        result.SetSQL(QStringLiteral("select a.cid as cid, a.fid as fid, a.adr_id as adr_id from address a "
                                     "where a.cid=343 order by a.sfn"));
        QElapsedTimer openTimer;
        openTimer.start();
        result.Open();
        const qint64 openMs = openTimer.elapsed();
        std::vector<TKey> keys;
        for (; !result.Eof() && int(keys.size()) < rows; result.Next())
            keys.push_back({result.FieldByName(QStringLiteral("cid")).AsInteger(),
                            result.FieldByName(QStringLiteral("fid")).AsInteger(),
                            result.FieldByName(QStringLiteral("adr_id")).AsInteger()});
        if (keys.empty()) {
            std::fputs("bench_card: the catalogue has no addresses in city 343\n", stderr);
            return 1;
        }

        THistoryRec view;
        view.Kind = 1;
        view.ByUser = true;
        view.EnprName = QStringLiteral("ооо");
        view.EnprAttr = QStringLiteral("продажа");

        TZReadOnlyQuery scratch(&conn);
        std::vector<qint64> cardNs, baseNs;
        qint64 bytes = 0;
        QString html;
        for (const TKey &k : keys) {
            QElapsedTimer t;
            t.start();
            BuildFirmCardHtml(scratch, k.cid, k.fid, k.adr, compact, &view, TCardSections::All(), html);
            cardNs.push_back(t.nsecsElapsed());
            bytes += html.size();
        }
        for (const TKey &k : keys) {
            QElapsedTimer t;
            t.start();
            const QString address = LoadAddressText(scratch, k.cid, k.fid, k.adr, false);
            baseNs.push_back(t.nsecsElapsed());
            bytes += address.size();
        }

        const bench::TFigures card = bench::Figures(cardNs);
        const bench::TFigures base = bench::Figures(baseNs);
        std::printf("catalogue %s, organisation result opened in %lld ms\n", qPrintable(path),
                    static_cast<long long>(openMs));
        std::printf("%zu cards (%s layout, typed view): median %.3f ms, mean %.3f ms, worst %.3f ms\n", cardNs.size(),
                    compact ? "compact" : "table", card.median, card.mean, card.worst);
        std::printf("baseline, one address look-up per row: median %.3f ms, mean %.3f ms, worst %.3f ms\n", base.median,
                    base.mean, base.worst);
        std::printf("card / baseline (median): %.1f; %lld characters built\n", card.median / base.median,
                    static_cast<long long>(bytes));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_card: %s\n", e.what());
        return 1;
    }
    return 0;
}
