// Cell painting, the layout pass and the cell-text routine of the data grid.
#include "components/DBGrids_core.h"

#include <QPainter>
#include <QScopedValueRollback>

#include <algorithm>
#include <QStyle>
#include <QStyleOption>

// --- shared off-screen bitmap ----------------------------------------------

namespace {
int g_drawBitmapUsers = 0;

// The bitmap itself; null while no grid uses it.
QImage &DrawBitmap()
{
    static QImage bitmap;
    return bitmap;
}

// Left and right swap places on a mirrored surface.
TAlignment Mirrored(TAlignment alignment)
{
    if (alignment == taLeftJustify)
        return taRightJustify;
    if (alignment == taRightJustify)
        return taLeftJustify;
    return alignment;
}
} // namespace

void AddDrawBitmapUser()
{
    if (g_drawBitmapUsers == 0)
        DrawBitmap() = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
    ++g_drawBitmapUsers;
}

void ReleaseDrawBitmapUser()
{
    if (g_drawBitmapUsers > 0 && --g_drawBitmapUsers == 0) {
        DrawBitmap() = QImage();
    }
}

int DrawBitmapUsers()
{
    return g_drawBitmapUsers;
}

QSize DrawBitmapSize()
{
    return DrawBitmap().isNull() ? QSize() : DrawBitmap().size();
}

void WriteCellText(TCanvas &canvas, const QRect &rect, int dx, bool rightToLeft, TAlignment alignment,
                   const QString &text, int dy)
{
    const QColor brush = canvas.BrushColor();
    // A colour the device shows as it is needs no dithering: draw directly.
    QImage &bitmap = DrawBitmap();
    if (brush.alpha() == 255 || bitmap.isNull()) {
        if (canvas.RightToLeft() && !rightToLeft)
            alignment = Mirrored(alignment);
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
    if (bitmap.width() < rect.width() || bitmap.height() < rect.height())
        bitmap = QImage(qMax(bitmap.width(), rect.width()), qMax(bitmap.height(), rect.height()),
                        QImage::Format_ARGB32_Premultiplied);
    {
        QPainter bp(&bitmap);
        bp.fillRect(QRect(0, 0, rect.width(), rect.height()), brush);
        bp.setFont(canvas.Font().Font());
        bp.setPen(canvas.Font().Color());
        if (canvas.RightToLeft())
            alignment = Mirrored(alignment);
        int flags = Qt::TextWordWrap | Qt::TextExpandTabs | Qt::AlignTop;
        flags |= alignment == taRightJustify ? Qt::AlignRight
                 : alignment == taCenter     ? Qt::AlignHCenter
                                             : Qt::AlignLeft;
        if (rightToLeft)
            bp.setLayoutDirection(Qt::RightToLeft);
        bp.drawText(QRect(dx, dy, rect.width() - 1 - dx, rect.height() - 1 - dy), flags, text);
    }
    if (QPainter *p = canvas.Painter())
        p->drawImage(rect.topLeft(), bitmap, QRect(0, 0, rect.width(), rect.height()));
}

// --- painting ------------------------------------------------------------------

namespace {
// Points the link at another buffered record and puts the old one back on
// leaving, also when a drawing event fails.
class ActiveRecordScope
{
public:
    ActiveRecordScope(TGridDataLink &link, int record) : m_link(link), m_old(link.ActiveRecord())
    {
        if (record >= 0 && record < link.RecordCount())
            link.SetActiveRecord(record);
    }
    ~ActiveRecordScope() { m_link.SetActiveRecord(m_old); }
    ActiveRecordScope(const ActiveRecordScope &) = delete;
    ActiveRecordScope &operator=(const ActiveRecordScope &) = delete;

private:
    TGridDataLink &m_link;
    int m_old;
};

void DrawRaisedEdges(TCanvas &canvas, const QRect &rect)
{
    canvas.DrawEdge(rect, edRaisedInner, bfBottom | bfRight);
    canvas.DrawEdge(rect, edRaisedInner, bfTop | bfLeft);
}
} // namespace

bool TCustomDBGrid::RowIsMarked()
{
    TGridDataLink &link = DataLink();
    if (!(m_options & dgMultiSelect) || !link.Active())
        return false;
    // A row without a bookmark (nothing buffered) is never marked.
    const QByteArray bookmark = link.DataSet()->Bookmark();
    int index = 0;
    return !bookmark.isEmpty() && m_markedRows->FindMark(bookmark, index);
}

bool TCustomDBGrid::CellIsHighlighted(int, int, const QString &, TGridDrawState state)
{
    if (RowIsMarked())
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
        PaintIndicatorCell(rect, dataRow, textOffset);
    } else {
        if (dataCol >= Columns().Count())
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
            const ActiveRecordScope scope(link, dataRow);
            // Rows past the buffer (an empty result) read as empty, never out of range.
            const bool buffered = dataRow < link.RecordCount();
            TField *field = column->GetBoundField();
            const QString text = field && buffered ? field->DisplayText() : QString();
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
        }
        if (dataRow >= 0 && link.Active() && m_defaultDrawing && (state & gdSelected) &&
            ((m_options & dgAlwaysShowSelection) || hasFocus()) && !(m_options & dgRowSelect) && m_updateLock == 0 &&
            IsActiveControl())
            canvas.DrawFocusRect(cellRect);
    }
    if ((state & gdFixed) && bothLines)
        DrawRaisedEdges(canvas, rect.adjusted(-1, -1, 1, 1));
}

void TCustomDBGrid::PaintIndicatorCell(const QRect &rect, int dataRow, int textOffset)
{
    TCanvas &canvas = Canvas();
    canvas.SetBrushColor(FixedColor());
    canvas.FillRect(rect);
    TGridDataLink &link = DataLink();
    if (!link.Active())
        return;
    const int active = link.ActiveRecord();
    bool marked = false;
    if (dataRow >= 0 && dataRow < link.RecordCount()) {
        const ActiveRecordScope scope(link, dataRow);
        marked = RowIsMarked();
    }
    if (dataRow >= 0 && (dataRow == active || marked)) {
        int glyph = 0;
        switch (link.DataSet()->State()) {
        case dsBrowse: glyph = marked ? (dataRow == active ? 4 : 3) : 0; break;
        case dsEdit: glyph = 1; break;
        case dsInsert: glyph = 2; break;
        default: glyph = 0; break;
        }
        // Right-aligned, vertically centred (the rectangle's right and bottom
        // edges are exclusive in these sums).
        int x = rect.right() + 1 - m_indicators->Width() - textOffset;
        if (canvas.RightToLeft())
            ++x;
        const int y = (rect.top() + rect.bottom() + 1 - m_indicators->Height()) / 2;
        m_indicators->Draw(canvas, x, y, glyph);
    }
    if (dataRow >= 0 && dataRow == active)
        m_selectedRow = m_titleOffset + dataRow;
}

QRect TCustomDBGrid::ComputeTitleRect(TColumn *column, int row, TColumn *&headColumn)
{
    headColumn = ColumnAtLevel(column, row);
    if (!headColumn)
        return QRect();
    int gridCol = DataToGridColumn(headColumn->Index());
    int startRow = headColumn->NestingLevel();
    if (gridCol < LeftCol() && gridCol >= FixedCols()) {
        // The master column scrolled off to the left: its title starts at
        // the first visible column.
        gridCol = LeftCol();
        startRow = qMin(row, column->NestingLevel());
    }
    QRect r = CellRect(gridCol, startRow);
    // Over every following column under the same master, up to the last visible one.
    for (int i = GridToDataColumn(gridCol) + 1; i < Columns().Count(); ++i) {
        if (ColumnAtLevel(Columns()[i], row) != headColumn)
            break;
        const QRect next = CellRect(DataToGridColumn(i), startRow);
        if (next.isEmpty())
            continue;
        // An expanded master shows no cell of its own: the span starts at
        // its first shown sub-column. Right to left the left edge moves.
        if (r.isEmpty())
            r = next;
        else if (layoutDirection() == Qt::RightToLeft)
            r.setLeft(qMin(r.left(), next.left()));
        else
            r.setRight(qMax(r.right(), next.right()));
    }
    // A shallow column's title covers the title rows beneath it.
    if (column->NestingLevel() <= row && row < FixedRows() - 1) {
        const QRect last = CellRect(gridCol, FixedRows() - 1);
        if (!last.isEmpty())
            r.setBottom(last.bottom());
    }
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
    const bool bothLines = (m_options & dgRowLines) && (m_options & dgColLines);
    canvas.Font().Assign(master->Title().Font());
    canvas.SetBrushColor(master->Title().Color());
    if (r.isEmpty())
        r = bothLines ? rect.adjusted(-1, -1, 1, 1) : rect;
    if (bothLines)
        r.adjust(1, 1, -1, -1);
    QRect textRect = r;
    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    if (r.width() > arrow && master->IsUnfoldable()) {
        const bool rtl = canvas.RightToLeft();
        QRect button = r;
        QRect square = r;
        if (rtl) {
            // Right to left the arrow sits at the left end and its box takes
            // another arrow's width and 4 pixels from the caption.
            square.setRight(r.left() + arrow - 1);
            button.setRight(qMin(r.right(), square.right() + arrow + 4));
            textRect.setLeft(button.right() + 1);
        } else {
            square.setLeft(r.right() + 1 - arrow);
            button = square;
            textRect.setRight(button.left() - 1);
        }
        canvas.FillRect(button);
        if (QPainter *p = canvas.Painter()) {
            p->save();
            const QRect inner = square.adjusted(1, 1, -1, -1);
            p->setClipRect(inner, Qt::IntersectClip);
            QStyleOption opt;
            opt.initFrom(this);
            opt.rect = inner;
            // Right while collapsed, left while expanded; mirrored right to left.
            const bool pointsLeft = master->Expanded() != rtl;
            style()->drawPrimitive(pointsLeft ? QStyle::PE_IndicatorArrowLeft : QStyle::PE_IndicatorArrowRight, &opt, p,
                                   this);
            p->restore();
        }
    }
    WriteCellText(canvas, textRect, textOffset, layoutDirection() == Qt::RightToLeft, master->Title().Alignment(),
                  master->Title().Caption(), textOffset);
    if (bothLines)
        DrawRaisedEdges(canvas, r.adjusted(-1, -1, 1, 1));
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
    WatchMappedFields();
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
    const int oldPitch = DefaultRowHeight();
    const int oldTitles = FixedRowsExtent();
    MeasureTitleRows();
    // The buffer was sized with the old heights: size it again when they
    // changed, so that it never holds rows that are not fully visible.
    if (DefaultRowHeight() != oldPitch || FixedRowsExtent() != oldTitles)
        AdjustRowCount();
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
                TField *key = LookupKeyField(f);
                readOnlyField = !key || key->ReadOnly();
            }
        }
        const int gridCol = DataToGridColumn(i);
        SetTabStop(gridCol,
                   c->IsDisplayed() && !c->ReadOnly() && link.Active() && f && !f->Calculated() && !readOnlyField);
        SetColWidth(gridCol, c->Width());
    }
    if (m_options & dgIndicator)
        SetColWidth(0, IndicatorWidth);
}

void TCustomDBGrid::WatchMappedFields()
{
    TGridDataLink &link = DataLink();
    for (int i = 0; i < link.FieldCount(); ++i) {
        TField *f = link.MappedField(i);
        if (!f || std::find(m_watchedFields.begin(), m_watchedFields.end(), f) != m_watchedFields.end())
            continue;
        m_watchedFields.push_back(f);
        f->FreeNotification(this, [this](TField &gone) {
            std::erase(m_watchedFields, &gone);
            FieldRemoved(&gone);
        });
    }
}

void TCustomDBGrid::UnwatchFields()
{
    for (TField *f : m_watchedFields)
        f->RemoveFreeNotification(this);
    m_watchedFields.clear();
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
    {
        const QScopedValueRollback selfChanging(m_selfChangingTitleFont, true);
        m_titleFont->Assign(Font());
    }
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
