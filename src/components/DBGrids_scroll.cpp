// Rows and record buffer, the current row following the active record, the
// vertical scroll bar the grid drives itself, and repaints after data moves.
#include "components/DBGrids_core.h"
#include "platform/grid_inplace.h"

void TCustomDBGrid::AdjustRowCount()
{
    const int oldRows = RowCount();
    if (RowCount() <= m_titleOffset)
        SetRowCount(m_titleOffset + 1);
    SetFixedRows(m_titleOffset);
    TGridDataLink &link = DataLink();
    if (link.Active() && link.RecordCount() > 0 && HandleAllocated()) {
        // Measure how many data rows fit, then ask for that many records.
        SetRowCount(1000);
        link.SetBufferCount(VisibleRowCount());
        SetRowCount(link.RecordCount() + m_titleOffset);
        if (m_options & dgRowSelect)
            SetTopRow(FixedRows());
        SyncActiveRow();
    } else {
        SetRowCount(m_titleOffset + 1);
    }
    if (RowCount() != oldRows)
        InvalidateGrid();
}

void TCustomDBGrid::SyncActiveRow()
{
    TGridDataLink &link = DataLink();
    if (!link.Active() || !HandleAllocated() || IsLoading())
        return;
    const int newRow = link.ActiveRecord() + m_titleOffset;
    if (newRow != Row()) {
        if (!(m_options & dgAlwaysShowEditor))
            HideEditor();
        MoveCurrent(Col(), newRow, false, false);
        InvalidateEditor();
    }
    TField *f = CurrentColumnField();
    if (f && f->Text() != m_editText)
        InvalidateEditor();
}

void TCustomDBGrid::AfterDataScroll(int distance)
{
    if (!HandleAllocated())
        return;
    const QRect oldRect = BoxRect(0, Row(), ColCount() - 1, Row());
    TGridDataLink &link = DataLink();
    if (link.ActiveRecord() >= RowCount() - m_titleOffset)
        AdjustRowCount();
    AdjustScrollBar();
    SyncActiveRow();
    const QRect newRect = BoxRect(0, Row(), ColCount() - 1, Row());
    viewport()->update(oldRect);
    viewport()->update(newRect);
    if (distance != 0) {
        HideEditor();
        struct Reshow {
            TCustomDBGrid *g;
            ~Reshow()
            {
                if (g->m_options & dgAlwaysShowEditor)
                    g->ShowEditor();
            }
        } reshow{this};
        if (qAbs(distance) > VisibleRowCount()) {
            // A jump: one repaint of everything, whenever the loop gets to it.
            InvalidateGrid();
            return;
        }
        // A short move: shift the pixels and repaint only the rows that came
        // in and the two indicator cells.
        int pitch = DefaultRowHeight();
        if (m_options & dgRowLines)
            pitch += GridLineWidth();
        if (m_options & dgIndicator)
            InvalidateRow(m_selectedRow);
        ScrollDataRows(m_titleOffset, -pitch * distance);
        if (m_options & dgIndicator)
            InvalidateRow(Row());
    }
    if (m_updateLock == 0)
        RepaintNow();
}

void TCustomDBGrid::AdjustScrollBar()
{
    TGridDataLink &link = DataLink();
    if (!link.Active() || !HandleAllocated())
        return;
    TDataSet *ds = link.DataSet();
    TScrollInfo info = VertScrollInfo();
    const TScrollInfo old = info;
    if (ds->IsSequenced()) {
        info.Min = 1;
        info.Page = VisibleRowCount();
        info.Max = ds->RecordCount() + info.Page - 1;
        const TDataSetState state = ds->State();
        if (state == dsInactive || state == dsBrowse || state == dsEdit)
            info.Pos = ds->RecNo();
    } else {
        info.Min = 0;
        info.Max = 4;
        info.Page = 0;
        info.Pos = link.Bof() ? 0 : link.Eof() ? 4 : 2;
    }
    if (!(info == old))
        SetVertScrollInfo(info);
}

void TCustomDBGrid::MoveDataSet(int distance)
{
    if (distance != 0)
        DataLink().MoveBy(distance);
}

void TCustomDBGrid::HandleVerticalScroll(TScrollCode code, int pos)
{
    if (!GrabFocus())
        return;
    TGridDataLink &link = DataLink();
    if (!link.Active())
        return;
    TDataSet *ds = link.DataSet();
    switch (code) {
    case scLineUp: MoveDataSet(-1); break;
    case scLineDown: MoveDataSet(1); break;
    case scPageUp: MoveDataSet(-VisibleRowCount()); break;
    case scPageDown: MoveDataSet(VisibleRowCount()); break;
    case scPosition:
    case scTrack:
        if (ds->IsSequenced()) {
            if (pos <= 1)
                ds->First();
            else if (pos >= ds->RecordCount())
                ds->Last();
            else
                ds->SetRecNo(pos);
        } else {
            switch (pos) {
            case 0: ds->First(); break;
            case 1: MoveDataSet(-VisibleRowCount()); break;
            case 3: MoveDataSet(VisibleRowCount()); break;
            case 4: ds->Last(); break;
            default: break;
            }
        }
        break;
    case scTop: ds->First(); break;
    case scBottom: ds->Last(); break;
    default: break;
    }
}

void TCustomDBGrid::AfterRecordChange(TField *field)
{
    if (!HandleAllocated())
        return;
    if (field) {
        for (int i = 0; i < Columns().Count(); ++i)
            if (Columns()[i]->m_field == field)
                InvalidateCol(DataToGridColumn(i));
    } else
        InvalidateGrid();
    TField *current = CurrentColumnField();
    if (current && (!field || current == field) && current->Text() != m_editText &&
        (PrimaryLanguageId() != LANG_KOREAN || m_escapeKeyFlag)) {
        InvalidateEditor();
        if (InplaceEditor())
            InplaceEditor()->deselect();
    }
}

void TCustomDBGrid::AfterEditingChange()
{
    if (m_options & dgIndicator)
        InvalidateCell(0, m_selectedRow);
}

void TCustomDBGrid::RepaintTitles()
{
    if (HandleAllocated() && (m_options & dgTitles))
        viewport()->update(QRect(0, 0, viewport()->width(), FixedRowsExtent()));
}

void TCustomDBGrid::AfterTopLeftMove()
{
    RepaintTitles();
    TBaseGrid::AfterTopLeftMove();
}

void TCustomDBGrid::AfterResize()
{
    if (m_updateLock == 0) {
        AdjustRowCount();
        // The page of the bar is the number of visible rows.
        AdjustScrollBar();
    }
    RepaintTitles();
}

void TCustomDBGrid::changeEvent(QEvent *e)
{
    TBaseGrid::changeEvent(e);
    // Pop-up sub-grids float in forms of their own that read as this grid does.
    if (e->type() == QEvent::LayoutDirectionChange)
        for (const QPointer<TCustomDBGrid> &sub : m_subGrids)
            if (sub)
                sub->window()->setLayoutDirection(layoutDirection());
}
