// bench_card: the organisation card built and shown for each of the first
// rows of an organisation result, as the main window does while the user
// moves through the grid (compact layout, the search words of a typed view):
// the card's HTML into the main window's kind of card view, laid out at its
// width.
//
//   trevin_gencat --sqlite /tmp/trevin_1m.dat --goods 1000000
//   bench_card [--rows 1000] [--rounds 3] [--table] /tmp/trevin_1m.dat
//
// Baseline, interleaved card by card: the same statements with the same
// parameters on the bare SQLite API, the same HTML concatenated, laid out in
// a plain QTextBrowser of the same size and font. The two cards must be
// the same text and the same size.
#include "bench_card_plain.h"
#include "bench_common.h"

#include "data/connection.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/tools_format.h"
#include "windows/main/historyrec.h"
#include "services/tools_viewer.h"
#include "windows/price/firmcard.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTextBrowser>

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    int rows = 1000;
    int rounds = 3;
    bool compact = true;
    QString path;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows") && i + 1 < args.size())
            rows = args[++i].toInt();
        else if (args[i] == QLatin1String("--rounds") && i + 1 < args.size())
            rounds = args[++i].toInt();
        else if (args[i] == QLatin1String("--table"))
            compact = false;
        else
            path = args[i];
    }
    if (path.isEmpty() || rows <= 0 || rounds <= 0) {
        std::fputs("usage: bench_card [--rows N] [--rounds N] [--table] CATALOGUE.dat\n", stderr);
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

        plaincard::TWords words;
        words.byUser = view.ByUser;
        words.name = view.EnprName;
        words.attr = view.EnprAttr;
        words.phone = view.EnprPhone;
        words.people = view.EnprPeople;
        words.post = view.EnprPost;
        words.web = view.EnprWeb;

        // The main window's card view, at the width it has beside the grid.
        TCardViewer viewer;
        viewer.setOpenLinks(false);
        viewer.setUndoRedoEnabled(false);
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setPointSize(8);
        viewer.document()->setDefaultFont(font);
        viewer.resize(400, 420);
        viewer.show();
        QApplication::processEvents();

        // The baseline's view: a plain one of the same size and font.
        QTextBrowser plainView;
        plainView.setOpenLinks(false);
        plainView.setUndoRedoEnabled(false);
        plainView.document()->setDefaultFont(font);
        plainView.resize(viewer.size());
        plainView.show();
        QApplication::processEvents();

        TZReadOnlyQuery scratch(&conn);
        sqlite3 *db = conn.SqliteHandle();
        std::vector<double> cardMs, baseMs;
        qint64 bytes = 0;
        QString html;
        QSizeF cardSize;
        const auto card = [&](const TKey &k) {
            QElapsedTimer t;
            t.start();
            BuildFirmCardHtml(scratch, k.cid, k.fid, k.adr, compact, &view, TCardSections::All(), html);
            viewer.setHtml(html);
            cardSize = viewer.document()->documentLayout()->documentSize();
            cardMs.push_back(double(t.nsecsElapsed()) / 1e6);
        };
        QString plainHtml;
        QSizeF plainSize;
        const auto plain = [&](const TKey &k) {
            QElapsedTimer t;
            t.start();
            plainHtml = plaincard::Build(db, k.cid, k.fid, k.adr, compact, &words);
            plainView.setHtml(plainHtml);
            plainSize = plainView.document()->documentLayout()->documentSize();
            baseMs.push_back(double(t.nsecsElapsed()) / 1e6);
        };
        for (int round = 0; round < rounds; ++round) {
            for (std::size_t i = 0; i < keys.size(); ++i) {
                if ((i + std::size_t(round)) % 2) {
                    card(keys[i]);
                    plain(keys[i]);
                } else {
                    plain(keys[i]);
                    card(keys[i]);
                }
                if (html != plainHtml || cardSize != plainSize) {
                    std::fprintf(stderr,
                                 "bench_card: the cards of %d/%d/%d differ (%lld and %lld characters, %gx%g and "
                                 "%gx%g)\n%s\n%s\n",
                                 keys[i].cid, keys[i].fid, keys[i].adr, (long long)html.size(),
                                 (long long)plainHtml.size(), cardSize.width(), cardSize.height(), plainSize.width(),
                                 plainSize.height(), html.toUtf8().constData(), plainHtml.toUtf8().constData());
                    return 1;
                }
                bytes += html.size();
            }
        }

        const bench::TSpread c = bench::Spread(cardMs), b = bench::Spread(baseMs);
        std::printf("catalogue %s, organisation result opened in %lld ms\n", qPrintable(path),
                    static_cast<long long>(openMs));
        std::printf("%zu cards x %d rounds (%s layout, typed view, laid out %g px wide), %lld characters, "
                    "the same in both\n",
                    keys.size(), rounds, compact ? "compact" : "table", viewer.document()->textWidth(),
                    static_cast<long long>(bytes));
        std::printf("card into the card view:         min %.3f ms, median %.3f ms per card\n", c.min, c.median);
        std::printf("baseline, plain SQLite + HTML + QTextBrowser: min %.3f ms, median %.3f ms per card\n", b.min,
                    b.median);
        std::printf("ratio card / baseline: x%.2f (min) x%.2f (median)\n", c.min / b.min, c.median / b.median);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_card: %s\n", e.what());
        return 1;
    }
    return 0;
}
