// The paint loop of the base grid: every visible cell through the cell
// painter, then its lines; the rest of the window in the grid's colour.
#include "platform/application.h"
#include "platform/grid.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
const QColor FixedLineColor(0, 0, 0);
const QColor CellLineColor(192, 192, 192);
} // namespace

void TBaseGrid::PaintCell(int, int, const QRect &, TGridDrawState) {}

void TBaseGrid::PaintLines(QPainter &p, const QRect &cell, int col, int row)
{
    const bool fixed = col < m_fixedCols || row < m_fixedRows;
    const QColor color = fixed ? FixedLineColor : CellLineColor;
    const int vw = ColLineWidth(col), hw = RowLineWidth(row);
    // The vertical line lies after the cell in reading order.
    const int lineX = Mirrored() ? cell.left() - vw : cell.right() + 1;
    if (vw > 0)
        p.fillRect(QRect(lineX, cell.top(), vw, cell.height() + hw), color);
    if (hw > 0)
        p.fillRect(QRect(Mirrored() ? lineX : cell.left(), cell.bottom() + 1, cell.width() + vw, hw), color);
}

void TBaseGrid::paintEvent(QPaintEvent *e)
{
    QPainter p(viewport());
    const QRect clip = e->rect();
    const int width = viewport()->width(), height = viewport()->height();
    m_canvas.SetPainter(&p);
    m_canvas.SetRightToLeft(layoutDirection() == Qt::RightToLeft);
    const QRect sel = Selection();
    const bool active = IsActiveControl();
    int maxX = 0, maxY = 0;

    auto paintRow = [&](int row) {
        const int y = RowTop(row);
        const int h = RowHeight(row);
        if (y < 0 || y >= height || h <= 0)
            return;
        maxY = qMax(maxY, y + RowExtent(row));
        auto paintCol = [&](int col) {
            const int x = ColLeft(col);
            const int w = ColWidth(col);
            if (x < 0 || x >= width || w <= 0)
                return;
            maxX = qMax(maxX, x + ColExtent(col));
            const QRect cell(ScreenLeft(x, w), y, w, h);
            const QRect withLines(ScreenLeft(x, ColExtent(col)), y, ColExtent(col), RowExtent(row));
            if (!withLines.intersects(clip))
                return;
            TGridDrawState state = 0;
            const bool fixed = col < m_fixedCols || row < m_fixedRows;
            if (fixed)
                state |= gdFixed;
            else {
                if (sel.contains(col, row))
                    state |= gdSelected;
                if (col == m_col && row == m_row && active)
                    state |= gdFocused;
            }
            {
                const QSignalBlocker block(&m_canvas.Font());
                m_canvas.Font().Assign(*m_font);
            }
            m_canvas.SetBrushColor(fixed ? m_fixedColor : m_color);
            if (m_fillsCells)
                m_canvas.FillRect(cell);
            p.save();
            try {
                PaintCell(col, row, cell, state);
            } catch (...) {
                p.restore();
                throw;
            }
            p.restore();
            PaintLines(p, cell, col, row);
        };
        for (int c = 0; c < m_fixedCols; ++c)
            paintCol(c);
        for (int c = m_leftCol; c < ColCount() && ColLeft(c) >= 0 && ColLeft(c) < width; ++c)
            paintCol(c);
    };
    try {
        for (int r = 0; r < m_fixedRows; ++r)
            paintRow(r);
        for (int r = m_topRow; r < RowCount() && RowTop(r) >= 0 && RowTop(r) < height; ++r)
            paintRow(r);
    } catch (...) {
        // A drawing event failed: the rest of this pass is dropped and the
        // error shown by the application's handler, never thrown into Qt.
        m_canvas.SetPainter(nullptr);
        TApplication::HandleSlotException();
        return;
    }

    // Beyond the last cell: the grid's colour.
    if (maxX < width)
        p.fillRect(QRect(ScreenLeft(maxX, width - maxX), 0, width - maxX, height), m_color);
    if (maxY < height)
        p.fillRect(QRect(ScreenLeft(0, qMin(maxX, width)), maxY, qMin(maxX, width), height - maxY), m_color);
    m_canvas.SetPainter(nullptr);
}
