#include "services/tools_grid.h"

#include "components/DBGrids.h"
#include "services/tools_searchwords.h"

#include <QStyle>

#include <cmath>

namespace {

// The grids this serves have at most this many columns.
constexpr int kMaxFitColumns = 21;
// The indicator column with its line, as the widths were laid out.
constexpr int kIndicatorExtent = 13;

constexpr QChar kStartMark(0);
constexpr QChar kEndMark(1);

// The right edge as a position one past the last pixel.
int RightOf(const QRect &rect)
{
    return rect.x() + rect.width();
}

int TextX(const QRect &rect, TCanvas &canvas, const QString &text, TAlignment alignment)
{
    switch (alignment) {
    case taLeftJustify: return rect.x() + 2;
    case taRightJustify: return RightOf(rect) - canvas.TextWidth(text) - 3;
    default: return rect.x() + rect.width() / 2 - canvas.TextWidth(text) / 2;
    }
}

} // namespace

void FitGridColumns(TCustomDBGrid &grid, const QSet<int> &stretching)
{
    TDataSource *source = grid.DataSource();
    if (!source || !source->DataSet() || !source->DataSet()->Active())
        return;
    TDBGridColumns &columns = grid.Columns();
    const int count = qMin(columns.Count(), kMaxFitColumns);

    int available = grid.width() - grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
    double baseTotal = 0;
    for (int i = 0; i < count; ++i) {
        if (stretching.contains(i)) {
            baseTotal += columns[i]->Width();
        } else {
            available -= columns[i]->Width();
            if (grid.Options() & dgColLines)
                available -= 1;
        }
    }
    if (grid.Options() & dgIndicator)
        available -= kIndicatorExtent;
    if (grid.frameShape() != QFrame::NoFrame)
        available -= 2 * grid.frameWidth();
    available -= 2;
    // A grid squeezed to nothing keeps its widths: columns cut to no width
    // would leave nothing to keep in proportion when it grows again.
    if (baseTotal <= 0 || available <= 0)
        return;

    const double ratio = available / baseTotal;
    for (int i = 0; i < count; ++i) {
        if (stretching.contains(i))
            columns[i]->SetWidth(qMax(1, int(std::trunc(columns[i]->Width() * ratio))));
    }
}

void DrawCellAligned(const QRect &rect, TCanvas &canvas, const QString &text, TAlignment alignment)
{
    const int x = TextX(rect, canvas, text, alignment);
    canvas.FillRect(rect);
    canvas.TextRect(rect, x, rect.y() + 2, text);
}

void DrawCellHighlighted(const QRect &rect, const QString &words, TCanvas &canvas, TAlignment alignment,
                         const QString &text, const QColor &markBrush)
{
    QStringList list;
    SplitSearchWords(words, list);
    int x = TextX(rect, canvas, text, alignment);

    // Each word marks its first occurrence in the text as marked so far.
    QString working = text;
    bool found = false;
    for (const QString &word : list) {
        if (word.isEmpty())
            continue;
        const qsizetype at = UpperAnsi(working).indexOf(UpperAnsi(word));
        if (at < 0)
            continue;
        working.insert(at + word.size(), kEndMark);
        working.insert(at, kStartMark);
        found = true;
    }
    if (!found) {
        DrawCellAligned(rect, canvas, text, alignment);
        return;
    }

    canvas.FillRect(rect);
    TFont &font = canvas.Font();
    const QColor remembered = font.Color();
    const int right = RightOf(rect);
    const int y = rect.y() + 2;
    // Characters of one colour are drawn together; the pen advances as it
    // would character by character, and nothing is drawn once the cell is
    // used up.
    qsizetype from = 0;
    bool inMark = false;
    const auto flush = [&](qsizetype to) {
        if (to <= from || right - x < 1)
            return;
        const QString run = working.mid(from, to - from);
        // A text wider than the cell starts left of it; it is never drawn
        // over the neighbouring cell.
        const int left = qMax(x, rect.x());
        const int width = canvas.TextWidth(run);
        if (inMark && markBrush.isValid()) {
            const QColor cell = canvas.BrushColor();
            canvas.SetBrushColor(markBrush);
            canvas.FillRect(QRect(left, rect.y() + 1, qMin(x + width, right) - left, rect.height() - 2));
            canvas.SetBrushColor(cell);
        }
        canvas.TextRect(QRect(left, rect.y(), right - left, rect.height()), x, y, run);
        x += width;
    };
    for (qsizetype i = 0; i < working.size(); ++i) {
        const QChar ch = working.at(i);
        if (ch != kStartMark && ch != kEndMark)
            continue;
        flush(i);
        from = i + 1;
        inMark = ch == kStartMark;
        font.SetColor(inMark ? ColorFromBgr(0x0000FF) : remembered);
    }
    flush(working.size());
    font.SetColor(remembered);
}
