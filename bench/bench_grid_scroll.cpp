// Paging a data grid from the top to the bottom of a 1 000 000-row result
// with Page Down: time per key, memory along the way, and how often the
// calculated-fields handler runs. The baseline, in interleaved rounds, is a
// plain widget of the same size over the same rows (read beforehand with
// the bare SQLite API, as the query reads them before the grid pages) that
// paints, page after page, the same cells: the title row, the indicator
// column, the same columns' texts at the grid's widths and row height, the
// lines and the highlighted current row.
//   bench_grid_scroll [CATALOGUE] [--rounds 3] [--keys 5000 (0: to the end)]
#include "bench_common.h"

#include "components/DBGrids.h"
#include "data/connection.h"
#include "data/datasource.h"
#include "data/codec.h"
#include "data/query.h"
#include "services/sqlite_func.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QWidget>

#include <sqlite3.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kSql[] = "select * from good";

// The fields a result list declares: a few data fields and one calculated.
void DeclareFields(TZReadOnlyQuery &q, long long &calcCalls)
{
    for (auto [name, type] : {std::pair{"id", ftInteger}, std::pair{"name", ftString}, std::pair{"price", ftFloat}}) {
        auto f = CreateField(type, type == ftString ? 255 : 0);
        f->SetFieldName(QString::fromLatin1(name));
        q.AddField(std::move(f));
    }
    auto calc = CreateField(ftString, 300);
    calc->SetFieldName(QStringLiteral("sname"));
    calc->SetFieldKind(fkCalculated);
    q.AddField(std::move(calc));
    q.OnCalcFields = [&calcCalls](TDataSet &ds) {
        ++calcCalls;
        ds.FieldByName(QStringLiteral("sname")).SetAsString(ds.FieldByName(QStringLiteral("name")).AsString());
    };
}

struct TPlainRow {
    long long id;
    std::string name;
    double price;
};

std::vector<TPlainRow> ReadRows(sqlite3 *db)
{
    std::vector<TPlainRow> rows;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, kSql, -1, &st, nullptr);
    int id = -1, name = -1, price = -1;
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
        const std::string n = sqlite3_column_name(st, c);
        (n == "id" ? id : n == "name" ? name : n == "price" ? price : c) = c;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
        const char *text = reinterpret_cast<const char *>(sqlite3_column_text(st, name));
        rows.push_back({sqlite3_column_int64(st, id), std::string(text ? text : "", sqlite3_column_bytes(st, name)),
                        sqlite3_column_double(st, price)});
    }
    sqlite3_finalize(st);
    return rows;
}

// The texts of one row's cells, as the fields give them.
QStringList CellTexts(const TPlainRow &r)
{
    const QString name = FromCp1251(r.name.data(), qsizetype(r.name.size()));
    return {QString::number(r.id), name, QString::number(r.price, 'g', 15), name};
}

// A plain grid: paints the rows from top on, the first one current.
class TPlainGrid : public QWidget
{
public:
    TPlainGrid(const std::vector<TPlainRow> &rows, std::vector<int> widths, int indicator, int rowHeight)
        : m_rows(rows), m_widths(std::move(widths)), m_indicator(indicator), m_rowHeight(rowHeight)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    int top = 0;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QPalette &pal = palette();
        p.fillRect(rect(), pal.base());
        static const QString titles[] = {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("price"),
                                         QStringLiteral("sname")};
        const int h = m_rowHeight;
        // Title row and indicator column.
        p.fillRect(QRect(0, 0, width(), h), pal.button());
        p.setPen(pal.buttonText().color());
        int x = m_indicator + 1;
        for (int c = 0; c < int(m_widths.size()); ++c) {
            p.drawText(QRect(x + 2, 0, m_widths[std::size_t(c)] - 2, h), Qt::AlignLeft | Qt::AlignVCenter, titles[c]);
            x += m_widths[std::size_t(c)] + 1;
        }
        p.fillRect(QRect(0, h, m_indicator, height() - h), pal.button());
        for (int row = 0, y = h + 1; y < height() && top + row < int(m_rows.size()); ++row, y += h + 1) {
            const QStringList cells = CellTexts(m_rows[std::size_t(top + row)]);
            const bool current = row == 0;
            if (current) {
                const QPoint a(m_indicator / 2 - 2, y + h / 2 - 4);
                p.setBrush(pal.buttonText());
                p.drawPolygon(QPolygon({a, a + QPoint(4, 4), a + QPoint(0, 8)}));
            }
            x = m_indicator + 1;
            for (int c = 0; c < int(m_widths.size()); ++c) {
                const QRect cell(x, y, m_widths[std::size_t(c)], h);
                p.fillRect(cell, current ? pal.highlight() : pal.base());
                p.setPen(current ? pal.highlightedText().color() : pal.text().color());
                p.drawText(cell.adjusted(2, 0, -2, 0), Qt::AlignVCenter | (c == 2 ? Qt::AlignRight : Qt::AlignLeft),
                           cells[c]);
                x += m_widths[std::size_t(c)] + 1;
            }
            p.setPen(pal.mid().color());
            p.drawLine(0, y + h, width(), y + h);
        }
        p.setPen(pal.mid().color());
        x = m_indicator;
        for (int w : m_widths) {
            p.drawLine(x, 0, x, height());
            x += w + 1;
        }
    }

private:
    const std::vector<TPlainRow> &m_rows;
    std::vector<int> m_widths;
    int m_indicator, m_rowHeight;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TZConnection c;
    bench::OpenSqlite(c, bench::Catalogue(argc, argv));
    c.SQLHourGlass = false;

    long long calcCalls = 0;
    TZReadOnlyQuery q(&c);
    q.SetSQL(QString::fromLatin1(kSql));
    DeclareFields(q, calcCalls);
    TDataSource source;
    source.SetDataSet(&q);

    TCustomDBGrid grid;
    grid.SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs | dgRowSelect |
                    dgAlwaysShowSelection | dgConfirmDelete | dgCancelOnExit | dgMultiSelect);
    grid.SetReadOnly(true);
    grid.resize(700, 500);
    grid.show();
    QApplication::processEvents();

    QElapsedTimer t;
    t.start();
    q.Open();
    grid.SetDataSource(&source);
    QApplication::processEvents();
    const double openMs = double(t.nsecsElapsed()) / 1e6;
    const int rows = q.RecordCount();
    const int page = grid.DataLink().BufferCount();
    const long rssOpen = bench::StatusKb("VmRSS");
    std::printf("rows %d, visible rows %d, open + first screen %.0f ms, RSS %ld kB\n", rows, page, openMs, rssOpen);

    // A whole walk of a million rows takes about a minute; by default the
    // rounds page through the first 5000 screens only.
    int rounds = 3, maxKeys = 5000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArrayView(argv[i]) == "--rounds")
            rounds = std::max(1, QByteArray(argv[i + 1]).toInt());
        else if (QByteArrayView(argv[i]) == "--keys")
            maxKeys = QByteArray(argv[i + 1]).toInt() > 0 ? QByteArray(argv[i + 1]).toInt() : INT_MAX;
    }

    // The baseline's rows and the grid's geometry.
    const std::vector<TPlainRow> plainRows = ReadRows(c.SqliteHandle());
    std::vector<int> widths;
    for (int col = 1; col < grid.ColCount(); ++col)
        widths.push_back(grid.ColWidth(col));
    TPlainGrid plain(plainRows, widths, grid.ColWidth(0), grid.DefaultRowHeight());
    plain.resize(grid.size());
    plain.setFont(grid.font());

    // The texts agree with what the fields give, on the first row and on
    // every 1000th.
    for (int r = 0; r < rows; r += 1000) {
        q.MoveBy(r - q.RecNo() + 1);
        const QStringList want = {
            q.FieldByName(QStringLiteral("id")).DisplayText(), q.FieldByName(QStringLiteral("name")).DisplayText(),
            q.FieldByName(QStringLiteral("price")).DisplayText(), q.FieldByName(QStringLiteral("sname")).DisplayText()};
        if (int(plainRows.size()) != rows || CellTexts(plainRows[std::size_t(r)]) != want) {
            std::fprintf(
                stderr, "row %d: the grid shows \"%s\", the baseline \"%s\"\n", r, want.join(u'|').toUtf8().constData(),
                r < int(plainRows.size()) ? CellTexts(plainRows[std::size_t(r)]).join(u'|').toUtf8().constData()
                                          : "nothing");
            return 1;
        }
    }
    q.First();
    QApplication::processEvents();

    // Rounds: the grid paged with Page Down until the last record, and the
    // plain widget painting the same number of pages.
    int presses = 0;
    long rssMax = rssOpen;
    long long gridCalc = 0;
    std::vector<double> gridMs, plainMs;
    const auto walkGrid = [&] {
        q.First();
        QApplication::processEvents();
        const long long before = calcCalls;
        presses = 0;
        t.restart();
        while (!q.Eof() && presses < maxKeys) {
            QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
            QApplication::sendEvent(&grid, &down);
            QApplication::processEvents();
            if (++presses % 10000 == 0)
                rssMax = std::max(rssMax, bench::StatusKb("VmRSS"));
        }
        gridMs.push_back(double(t.nsecsElapsed()) / 1e6);
        gridCalc = calcCalls - before;
    };
    const auto walkPlain = [&] {
        plain.top = 0;
        plain.show();
        QApplication::processEvents();
        t.restart();
        for (int i = 0; i < presses; ++i) {
            plain.top = std::min(plain.top + page, rows - 1);
            plain.update();
            QApplication::processEvents();
        }
        plainMs.push_back(double(t.nsecsElapsed()) / 1e6);
        plain.hide();
    };
    walkGrid(); // tells the number of keys
    for (int round = 0; round < rounds; ++round) {
        if (round % 2) {
            walkGrid();
            walkPlain();
        } else {
            walkPlain();
            walkGrid();
        }
    }
    gridMs.erase(gridMs.begin()); // the first walk only counted
    const long rssEnd = bench::StatusKb("VmRSS");

    // The same walk with the grid hidden: its own work without painting.
    grid.hide();
    q.First();
    QApplication::processEvents();
    int hiddenPresses = 0;
    t.restart();
    while (!q.Eof() && hiddenPresses < maxKeys) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&grid, &down);
        ++hiddenPresses;
    }
    const double hiddenMs = double(t.nsecsElapsed()) / 1e6;

    const bench::TSpread g = bench::Spread(gridMs), b = bench::Spread(plainMs);
    std::printf(
        "%d Page Down keys of %d rows, %d rounds; calculated fields run %lld times a walk (%.3f per record paged)\n",
        presses, page, rounds, gridCalc, double(gridCalc) / (double(presses) * page));
    std::printf("grid:             min %.0f ms, median %.0f ms (%.1f us per key)\n", g.min, g.median,
                g.median * 1000 / presses);
    std::printf("baseline, plain painting widget: min %.0f ms, median %.0f ms (%.1f us per page)\n", b.min, b.median,
                b.median * 1000 / presses);
    std::printf("ratio grid / baseline: x%.2f (min) x%.2f (median)\n", g.min / b.min, g.median / b.median);
    std::printf("hidden grid (no painting): %d keys in %.0f ms = %.1f us per key\n", hiddenPresses, hiddenMs,
                hiddenMs * 1000 / hiddenPresses);
    std::printf("memory: RSS after open %ld kB, max while paging %ld kB, at the end %ld kB, peak (VmHWM) %ld kB\n",
                rssOpen, rssMax, rssEnd, bench::StatusKb("VmHWM"));
    return 0;
}
