// Cell painting, the layout pass and the cell-text routine of the data grid.
#include "components/DBGrids_core.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

// --- shared off-screen bitmap ----------------------------------------------

namespace {
int g_drawBitmapUsers = 0;
QImage *g_drawBitmap = nullptr;
} // namespace

void AddDrawBitmapUser()
{
    if (g_drawBitmapUsers == 0)
        g_drawBitmap = new QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
    ++g_drawBitmapUsers;
}

void ReleaseDrawBitmapUser()
{
    if (g_drawBitmapUsers > 0 && --g_drawBitmapUsers == 0) {
        delete g_drawBitmap;
        g_drawBitmap = nullptr;
    }
}

int DrawBitmapUsers() { return g_drawBitmapUsers; }

QSize DrawBitmapSize() { return g_drawBitmap ? g_drawBitmap->size() : QSize(); }

void WriteCellText(TCanvas &canvas, const QRect &rect, int dx, bool rightToLeft, TAlignment alignment,
                   const QString &text, int dy)
{
    const QColor brush = canvas.BrushColor();
    // A colour the device shows as it is needs no dithering: draw directly.
    if (brush.alpha() == 255 || !g_drawBitmap) {
        if (canvas.RightToLeft() && !rightToLeft) {
            if (alignment == taLeftJustify)
                alignment = taRightJustify;
            else if (alignment == taRightJustify)
                alignment = taLeftJustify;
        }
        const int width = canvas.TextWidth(text);
        int x = rect.left() + dx;
        if (alignment == taRightJustify)
            x = rect.right() + 1 - width - 3;
        else if (alignment == taCenter)
            x = rect.left() + (rect.width()) / 2 - width / 2;
        canvas.FillRect(rect);
        canvas.TextRect(rect, x, rect.top() + dy, text);
        return;
    }
    // Otherwise through the shared bitmap, which only ever grows.
    if (g_drawBitmap->width() < rect.width() || g_drawBitmap->height() < rect.height())
        *g_drawBitmap = QImage(qMax(g_drawBitmap->width(), rect.width()), qMax(g_drawBitmap->height(), rect.height()),
                               QImage::Format_ARGB32_Premultiplied);
    {
        QPainter bp(g_drawBitmap);
        bp.fillRect(QRect(0, 0, rect.width(), rect.height()), brush);
        bp.setFont(canvas.Font().Font());
        bp.setPen(canvas.Font().Color());
        if (canvas.RightToLeft()) {
            if (alignment == taLeftJustify)
                alignment = taRightJustify;
            else if (alignment == taRightJustify)
                alignment = taLeftJustify;
        }
        int flags = Qt::TextWordWrap | Qt::TextExpandTabs | Qt::AlignTop;
        flags |= alignment == taRightJustify ? Qt::AlignRight : alignment == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
        if (rightToLeft)
            bp.setLayoutDirection(Qt::RightToLeft);
        bp.drawText(QRect(dx, dy, rect.width() - 1 - dx, rect.height() - 1 - dy), flags, text);
    }
    if (QPainter *p = canvas.Painter())
        p->drawImage(rect.topLeft(), *g_drawBitmap, QRect(0, 0, rect.width(), rect.height()));
}

// --- painting ------------------------------------------------------------------

bool TCustomDBGrid::RowIsMarked()
{
    TGridDataLink &link = DataLink();
    if (!(m_options & dgMultiSelect) || !link.Active())
        return false;
    int index = 0;
    return m_markedRows->FindMark(link.DataSet()->Bookmark(), index);
}

bool TCustomDBGrid::CellIsHighlighted(int, int, const QString &, TGridDrawState state)
{
    if ((m_options & dgMultiSelect) && DataLink().Active() && RowIsMarked())
        return true;
    return (state & gdSelected) && ((m_options & dgAlwaysShowSelection) || hasFocus()) &&
           (m_updateLock == 0 || (m_options & dgRowSelect));
}

void TCustomDBGrid::PaintCell(int col, int row, const QRect &cellRect, TGridDrawState state)
{
    TCanvas &canvas = Canvas();
    QRect rect = cellRect;
    if (IsLoading()) {
        canvas.SetBrushColor(Color());
        canvas.FillRect(rect);
        return;
    }
    const int dataRow = row - m_titleOffset;
    const int dataCol = col - m_indicatorOffset;
    const bool bothLines = (m_options & dgRowLines) && (m_options & dgColLines);
    int textOffset = 2;
    if ((state & gdFixed) && bothLines) {
        rect.adjust(1, 1, -1, -1);
        textOffset = 1;
    }
    TGridDataLink &link = DataLink();
    if ((state & gdFixed) && dataCol < 0) {
        canvas.SetBrushColor(FixedColor());
        canvas.FillRect(rect);
        if (link.Active() && dataRow >= 0) {
            const int old = link.ActiveRecord();
            bool marked = false;
            if (dataRow < link.RecordCount()) {
                link.SetActiveRecord(dataRow);
                marked = RowIsMarked();
                link.SetActiveRecord(old);
            }
            if (dataRow == old || marked) {
                int glyph = 0;
                switch (link.DataSet()->State()) {
                case dsEdit: glyph = 1; break;
                case dsInsert: glyph = 2; break;
                case dsBrowse: glyph = marked ? (dataRow == old ? 4 : 3) : 0; break;
                default: glyph = 0; break;
                }
                int x = rect.right() + 1 - m_indicators->Width() - textOffset;
                if (canvas.RightToLeft())
                    ++x;
                m_indicators->Draw(canvas, x, (rect.top() + rect.bottom() + 1 - m_indicators->Height()) / 2, glyph);
            }
            if (dataRow == old)
                m_selectedRow = m_titleOffset + dataRow;
        }
    } else {
        if (dataCol < 0 || dataCol >= Columns().Count())
            return;
        TColumn *column = Columns()[dataCol];
        if (!column->IsDisplayed())
            return;
        if (!(state & gdFixed)) {
            canvas.Font().Assign(column->Font());
            canvas.SetBrushColor(column->Color());
        }
        if (dataRow < 0)
            PaintTitleCell(col, row, rect, state, column, textOffset);
        else if (!link.Active())
            canvas.FillRect(rect);
        else {
            const int old = link.ActiveRecord();
            struct Restore {
                TGridDataLink &l;
                int v;
                ~Restore() { l.SetActiveRecord(v); }
            } restore{link, old};
            if (dataRow < link.RecordCount())
                link.SetActiveRecord(dataRow);
            TField *field = column->GetBoundField();
            const QString text = field && dataRow < link.RecordCount() ? field->DisplayText() : QString();
            if (CellIsHighlighted(dataCol, dataRow, text, state)) {
                canvas.SetBrushColor(clHighlight());
                canvas.Font().SetColor(clHighlightText());
            }
            if (!isEnabled())
                canvas.Font().SetColor(clGrayText());
            if (m_defaultDrawing)
                WriteCellText(canvas, rect, 2, FieldUsesRightToLeft(field, column->Alignment()), column->Alignment(),
                              text, 2);
            if (Columns().QueryState() == csDefault)
                PaintDataCell(cellRect, field, state);
            PaintColumnCell(cellRect, dataCol, column, state);
            if (m_defaultDrawing && (state & gdSelected) && ((m_options & dgAlwaysShowSelection) || hasFocus()) &&
                !(m_options & dgRowSelect) && m_updateLock == 0 && IsActiveControl())
                canvas.DrawFocusRect(cellRect);
        }
    }
    if ((state & gdFixed) && bothLines) {
        const QRect edge = rect.adjusted(-1, -1, 1, 1);
        canvas.DrawEdge(edge, edRaisedInner, bfBottom | bfRight);
        canvas.DrawEdge(edge, edRaisedInner, bfTop | bfLeft);
    }
}

QRect TCustomDBGrid::ComputeTitleRect(TColumn *column, int row, TColumn *&headColumn)
{
    // Nested titles of object views span their children; flat columns own
    // their cell.
    headColumn = ColumnAtLevel(column, row);
    if (!headColumn)
        return QRect();
    const int gridCol = DataToGridColumn(column->Index());
    QRect r = CellRect(gridCol, row);
    if (column->NestingLevel() <= row && row < FixedRows() - 1)
        r.setBottom(CellRect(gridCol, FixedRows() - 1).bottom());
    return r;
}

void TCustomDBGrid::PaintTitleCell(int, int row, QRect rect, TGridDrawState &state, TColumn *column, int textOffset)
{
    TCanvas &canvas = Canvas();
    TColumn *master = nullptr;
    QRect r = ComputeTitleRect(column, row, master);
    if (!master) {
        canvas.FillRect(rect);
        return;
    }
    if (r.isEmpty())
        r = rect;
    const bool bothLines = (m_options & dgRowLines) && (m_options & dgColLines);
    canvas.Font().Assign(master->Title().Font());
    canvas.SetBrushColor(master->Title().Color());
    if (bothLines && r != rect)
        r.adjust(1, 1, -1, -1);
    QRect textRect = r;
    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (r.width() > arrow && master->IsUnfoldable()) {
        QRect button = r;
        button.setLeft(r.right() + 1 - arrow);
        textRect.setRight(button.left() - 1);
        canvas.FillRect(button);
        if (QPainter *p = canvas.Painter()) {
            QStyleOption opt;
            opt.rect = button.adjusted(2, 2, -2, -2);
            opt.palette = palette();
            style()->drawPrimitive(master->Expanded() ? QStyle::PE_IndicatorArrowLeft : QStyle::PE_IndicatorArrowRight,
                                   &opt, p, this);
        }
    }
    WriteCellText(canvas, textRect, textOffset, layoutDirection() == Qt::RightToLeft, master->Title().Alignment(),
                  master->Title().Caption(), textOffset);
    if (bothLines) {
        const QRect edge = r.adjusted(-1, -1, 1, 1);
        canvas.DrawEdge(edge, edRaisedInner, bfBottom | bfRight);
        canvas.DrawEdge(edge, edRaisedInner, bfTop | bfLeft);
    }
    state &= ~gdFixed;
}

// --- layout pass -------------------------------------------------------------------

void TCustomDBGrid::RebuildLayout()
{
    if (IsLoading() || IsDestroying())
        return;
    m_layoutEvent.Discard(this);
    DropStrayTransientColumns();
    m_indicatorOffset = (m_options & dgIndicator) ? 1 : 0;
    TGridDataLink &link = DataLink();
    link.ClearFieldMap();
    if (link.Active())
        BuildFieldMap();
    BindColumnsToFieldMap();
    m_visibleColumns.clear();
    for (int i = 0; i < Columns().Count(); ++i)
        if (Columns()[i]->IsDisplayed())
            m_visibleColumns.push_back(Columns()[i]);
    SetColCount(Columns().Count() + m_indicatorOffset);
    SetFixedCols(m_indicatorOffset);
    m_titleOffset = 0;
    if (m_options & dgTitles) {
        m_titleOffset = 1;
        TDataSet *ds = link.DataSet();
        if (ds && ds->ObjectView)
            for (TColumn *c : m_visibleColumns)
                m_titleOffset = qMax(m_titleOffset, c->NestingLevel() + 1);
    }
    AdjustRowCount();
    MeasureTitleRows();
    ApplyColumnAttributes();
    SyncActiveRow();
    InvalidateGrid();
}

void TCustomDBGrid::MeasureTitleRows()
{
    const QString sample = QStringLiteral("Wg");
    int rowHeight = Font().TextHeight(sample) + 3;
    if (m_options & dgRowLines)
        rowHeight += GridLineWidth();
    SetDefaultRowHeight(rowHeight);
    if (!(m_options & dgTitles))
        return;
    std::vector<int> heights(std::size_t(m_titleOffset + 1), 0);
    const int arrowHeight = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int i = 0; i < Columns().Count(); ++i) {
        TColumn *c = Columns()[i];
        const int depth = c->NestingLevel();
        if (depth > m_titleOffset)
            continue;
        int h = c->Title().Font().TextHeight(sample) + 4;
        if (c->IsUnfoldable())
            h = qMax(h, arrowHeight);
        heights[std::size_t(depth)] = qMax(heights[std::size_t(depth)], h);
    }
    if (heights[0] == 0)
        heights[0] = m_titleFont->TextHeight(sample) + 4;
    for (int r = 0; r < m_titleOffset && r < RowCount(); ++r)
        SetRowHeight(r, heights[std::size_t(r)] > 0 ? heights[std::size_t(r)] : heights[0]);
}

void TCustomDBGrid::ApplyColumnAttributes()
{
    TGridDataLink &link = DataLink();
    for (int i = 0; i < Columns().Count(); ++i) {
        TColumn *c = Columns()[i];
        TField *f = c->GetBoundField();
        bool readOnlyField = true;
        if (f) {
            readOnlyField = f->ReadOnly();
            if (f->Lookup()) {
                TField *key = link.DataSet() ? link.DataSet()->FindField(f->KeyFields) : nullptr;
                readOnlyField = !key || key->ReadOnly();
            }
        }
        const int gridCol = DataToGridColumn(i);
        SetTabStop(gridCol, c->IsDisplayed() && !c->ReadOnly() && link.Active() && f && !f->Calculated() &&
                                !readOnlyField);
        SetColWidth(gridCol, c->Width());
    }
    if (m_options & dgIndicator)
        SetColWidth(0, IndicatorWidth);
}

// --- fonts -----------------------------------------------------------------------------

void TCustomDBGrid::SetTitleFont(const TFont &value)
{
    m_titleFont->Assign(value);
    if (m_options & dgTitles)
        RequestLayout();
}

void TCustomDBGrid::AfterTitleFontChange()
{
    if (!m_selfChangingTitleFont && !IsLoading())
        SetParentFont(false);
    if (m_options & dgTitles)
        RequestLayout();
}

void TCustomDBGrid::HandleParentFontChange()
{
    TBaseGrid::HandleParentFontChange();
    if (!ParentFont())
        return;
    m_selfChangingTitleFont = true;
    try {
        m_titleFont->Assign(Font());
    } catch (...) {
        m_selfChangingTitleFont = false;
        throw;
    }
    m_selfChangingTitleFont = false;
    RequestLayout();
}

void TCustomDBGrid::HandleFontChange()
{
    TBaseGrid::HandleFontChange();
    OpenLayoutBracket();
    try {
        for (int i = 0; i < Columns().Count(); ++i)
            Columns()[i]->RefreshDefaultFont();
    } catch (...) {
        CloseLayoutBracket();
        throw;
    }
    CloseLayoutBracket();
}

void TCustomDBGrid::DecideSizingMode(int x, int y, TGridState &state, int &index, int &sizingPos, int &sizingOfs)
{
    TBaseGrid::DecideSizingMode(x, y, state, index, sizingPos, sizingOfs);
    TDataSet *ds = DataLink().DataSet();
    if (state == gsColSizing && ds && ds->ObjectView) {
        const QPoint cell = MouseCoord(x, y);
        const int dataCol = GridToDataColumn(index);
        if (dataCol >= 0 && dataCol < Columns().Count() && cell.y() < Columns()[dataCol]->NestingLevel())
            state = gsNormal;
    }
}
