// Keys, mouse and the glue between the grid and its cell editor. Every
// vertical movement is a movement of the dataset; the grid follows it.
#include "components/DBGrids_core.h"
#include "platform/dbactions.h"

#include "components/DBGrids_inplace.h"
#include "components/SDialogs.h"

#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {
// Holds the grid's update lock for the life of the object.
class UpdateLockScope
{
public:
    explicit UpdateLockScope(TCustomDBGrid &grid) : m_grid(grid) { m_grid.LockUpdates(); }
    ~UpdateLockScope() { m_grid.UnlockUpdates(); }
    UpdateLockScope(const UpdateLockScope &) = delete;
    UpdateLockScope &operator=(const UpdateLockScope &) = delete;

private:
    TCustomDBGrid &m_grid;
};
} // namespace

// --- editor glue -------------------------------------------------------------

QString TCustomDBGrid::EditorTextOf(int col, int)
{
    QString text;
    const int dataCol = GridToDataColumn(col);
    if (DataLink().Active() && dataCol >= 0 && dataCol < Columns().Count())
        if (TField *f = Columns()[dataCol]->GetBoundField())
            text = f->Text();
    m_editText = text;
    return text;
}

void TCustomDBGrid::KeepEditorText(int, int, const QString &text)
{
    m_editText = text;
}

void TCustomDBGrid::WriteEditorToField()
{
    if (TField *f = CurrentColumnField())
        f->SetText(m_editText);
}

int TCustomDBGrid::EditorTextLimit()
{
    TField *f = CurrentColumnField();
    return f && f->DataType() == ftString ? f->Size() : 0;
}

QString TCustomDBGrid::EditorMask(int col, int)
{
    const int dataCol = GridToDataColumn(col);
    if (dataCol < 0 || dataCol >= Columns().Count())
        return {};
    TField *f = Columns()[dataCol]->GetBoundField();
    return f ? f->EditMask() : QString();
}

TEditStyle TCustomDBGrid::EditorKind(int, int)
{
    auto *editor = dynamic_cast<TDBGridInplaceEdit *>(InplaceEditor());
    if (editor)
        editor->SetUseDataList(false);
    TColumn *c = CurrentColumn();
    if (!c)
        return esSimple;
    if (c->ButtonStyle() == cbsEllipsis)
        return esEllipsis;
    if (c->ButtonStyle() == cbsNone)
        return esSimple;
    TField *f = c->GetBoundField();
    if (!f)
        return esSimple;
    TGridDataLink &link = DataLink();
    if (f->Lookup()) {
        TField *key = LookupKeyField(f);
        if (!key || !key->CanModify() || ((c->AssignedFlags() & avReadOnly) && c->ReadOnly()) || f->ReadOnly() ||
            !link.Active() || link.ReadOnly)
            return esSimple;
        if (editor)
            editor->SetUseDataList(true);
        return esPickList;
    }
    if (c->HasPickList() && !c->PickList().isEmpty() && !c->ReadOnly())
        return esPickList;
    if (f->DataType() == ftReference || f->DataType() == ftDataSet)
        return esEllipsis;
    return esSimple;
}

// --- columns -------------------------------------------------------------------

void TCustomDBGrid::ShiftCurrentColumn(int gridCol, int direction)
{
    DataLink().HandleDataFlush();
    gridCol = qBound(m_indicatorOffset, gridCol, ColCount() - 1);
    if (direction != 0) {
        while (gridCol >= m_indicatorOffset && gridCol < ColCount() && ColWidth(gridCol) <= 0)
            gridCol += direction;
        if (gridCol < m_indicatorOffset || gridCol >= ColCount())
            return;
    }
    if (gridCol == Col())
        return;
    if (!m_inColumnExit) {
        const int before = Col();
        m_inColumnExit = true;
        struct Clear {
            bool &f;
            ~Clear() { f = false; }
        } clear{m_inColumnExit};
        BeforeColumnExit();
        if (Col() != before)
            return;
    }
    if (!(m_options & dgAlwaysShowEditor))
        HideEditor();
    MoveCurrent(gridCol, Row(), true, true);
    AfterColumnEnter();
}

// --- keys ------------------------------------------------------------------------

void TCustomDBGrid::DropMarks()
{
    if (m_options & dgMultiSelect) {
        m_markedRows->ClearMarks();
        m_selecting = false;
    }
}

void TCustomDBGrid::MarkClickedRow(TShiftState shift)
{
    m_selecting = false;
    if (shift & ssCtrl)
        m_markedRows->SetCurrentRowMarked(!m_markedRows->IsCurrentRowMarked());
    else {
        m_markedRows->ClearMarks();
        m_markedRows->SetCurrentRowMarked(true);
    }
}

bool TCustomDBGrid::AcceptsKey(int, TShiftState)
{
    return true;
}

void TCustomDBGrid::HandleKeyDown(int &key, TShiftState shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
    TGridDataLink &link = DataLink();
    if (!link.Active() || !AcceptsKey(key, shift))
        return;
    TDataSet *ds = link.DataSet();
    if (layoutDirection() == Qt::RightToLeft) {
        if (key == VK_LEFT)
            key = VK_RIGHT;
        else if (key == VK_RIGHT)
            key = VK_LEFT;
    }
    auto dropMarks = [this] { DropMarks(); };
    auto extendMarks = [&](bool select, int direction) {
        const UpdateLockScope lock(*this);
        bool markAfter = false;
        if ((m_options & dgMultiSelect) && link.Active()) {
            if (select && (shift & ssShift)) {
                if (!m_selecting) {
                    m_selectionAnchor = m_markedRows->CurrentRowBookmark();
                    m_markedRows->SetCurrentRowMarked(true);
                    m_selecting = true;
                    markAfter = true;
                } else {
                    markAfter =
                        m_markedRows->CompareMarks(m_markedRows->CurrentRowBookmark(), m_selectionAnchor) != -direction;
                    if (!markAfter)
                        m_markedRows->SetCurrentRowMarked(false);
                }
            } else
                dropMarks();
        }
        link.MoveBy(direction);
        if (markAfter)
            m_markedRows->SetCurrentRowMarked(true);
    };
    auto canEditData = [&] { return ds->CanModify() && !m_readOnly && (m_options & dgEditing); };
    auto stepDown = [&](bool select) {
        if (ds->State() == dsInsert && !ds->Modified() && !link.Modified()) {
            if (link.Eof())
                return;
            ds->Cancel();
        } else
            extendMarks(select, 1);
        if (link.Eof() && canEditData())
            ds->Append();
    };
    auto stepUp = [&](bool select) {
        if (ds->State() == dsInsert && !ds->Modified() && link.Eof() && !link.Modified())
            ds->Cancel();
        else
            extendMarks(select, -1);
    };
    auto tabStep = [&](bool forwards) {
        const UpdateLockScope lock(*this);
        const int start = Col();
        int c = start;
        for (;;) {
            c += forwards ? 1 : -1;
            if (c >= ColCount()) {
                stepDown(false);
                c = m_indicatorOffset;
            } else if (c < m_indicatorOffset) {
                stepUp(false);
                c = ColCount() - 1;
            }
            if (c == start)
                return;
            if (TabStop(c)) {
                ShiftCurrentColumn(c, 0);
                return;
            }
        }
    };
    auto confirmDelete = [&] {
        const QString text = m_markedRows->MarkedCount() < 2 ? QStringLiteral("Delete record?")
                                                             : QStringLiteral("Delete all selected records?");
        if (!(m_options & dgConfirmDelete))
            return true;
        return MessageDialog(text, mtConfirmation, mbOK | mbCancel, 0) != mrCancel;
    };
    const int dataColumns = ColCount() - m_indicatorOffset;
    if (shift & ssCtrl) {
        switch (key) {
        case VK_PRIOR:
        case VK_UP:
            dropMarks();
            link.MoveBy(-link.ActiveRecord());
            break;
        case VK_NEXT:
        case VK_DOWN:
            dropMarks();
            link.MoveBy(link.BufferCount() - link.ActiveRecord() - 1);
            break;
        case VK_HOME:
            dropMarks();
            ds->First();
            break;
        case VK_END:
            dropMarks();
            ds->Last();
            break;
        case VK_LEFT: ShiftCurrentColumn(m_indicatorOffset, 1); break;
        case VK_RIGHT: ShiftCurrentColumn(ColCount() - 1, -1); break;
        case VK_DELETE:
            if (!m_readOnly && !ds->IsEmpty() && ds->CanModify() && confirmDelete()) {
                if (m_markedRows->MarkedCount() > 0)
                    m_markedRows->DeleteMarkedRecords();
                else
                    ds->Delete();
            }
            break;
        default: break;
        }
        return;
    }
    switch (key) {
    case VK_UP: stepUp(true); break;
    case VK_DOWN: stepDown(true); break;
    case VK_LEFT:
        if (m_options & dgRowSelect)
            stepUp(false);
        else
            ShiftCurrentColumn(Col() - 1, -1);
        break;
    case VK_RIGHT:
        if (m_options & dgRowSelect)
            stepDown(false);
        else
            ShiftCurrentColumn(Col() + 1, 1);
        break;
    case VK_HOME:
        if (dataColumns == 1 || (m_options & dgRowSelect)) {
            dropMarks();
            ds->First();
        } else
            ShiftCurrentColumn(m_indicatorOffset, 1);
        break;
    case VK_END:
        if (dataColumns == 1 || (m_options & dgRowSelect)) {
            dropMarks();
            ds->Last();
        } else
            ShiftCurrentColumn(ColCount() - 1, -1);
        break;
    case VK_PRIOR:
        dropMarks();
        link.MoveBy(-VisibleRowCount());
        break;
    case VK_NEXT:
        dropMarks();
        link.MoveBy(VisibleRowCount());
        break;
    case VK_INSERT:
        if (canEditData()) {
            dropMarks();
            ds->Insert();
        }
        break;
    case VK_TAB:
        if (!(shift & ssAlt))
            tabStep(!(shift & ssShift));
        break;
    case VK_ESCAPE:
        if (PrimaryLanguageId() == LANG_KOREAN)
            m_escapeKeyFlag = true;
        link.HandleReset();
        dropMarks();
        if (!(m_options & dgAlwaysShowEditor))
            HideEditor();
        break;
    case VK_F2: SetEditorMode(true); break;
    default: break;
    }
}

void TCustomDBGrid::HandleKeyPress(QChar &key)
{
    m_escapeKeyFlag = false;
    if (!(m_options & dgAlwaysShowEditor) && key.unicode() == 13)
        DataLink().HandleDataFlush();
    TBaseGrid::HandleKeyPress(key);
}

// --- mouse ---------------------------------------------------------------------------

bool TCustomDBGrid::HitsExpandButton(int x, int y, TColumn *&column)
{
    column = nullptr;
    const QPoint cell = MouseCoord(x, y);
    const int dataCol = GridToDataColumn(cell.x());
    if (cell.y() < 0 || cell.y() >= m_titleOffset || !DataLink().Active() || cell.x() < m_indicatorOffset ||
        dataCol >= Columns().Count())
        return false;
    TColumn *master = nullptr;
    const QRect r = ComputeTitleRect(Columns()[dataCol], cell.y(), master);
    if (!master || !master->IsUnfoldable() || r.isEmpty())
        return false;
    const int arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const QRect square =
        rtl ? QRect(r.left(), r.top(), arrow, arrow) : QRect(r.right() + 1 - arrow, r.top(), arrow, arrow);
    if (!square.contains(x, y))
        return false;
    column = master;
    return true;
}

void TCustomDBGrid::HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (!GrabFocus())
        return;
    if (button == mbLeft && (shift & ssDouble)) {
        if (OnDblClick)
            OnDblClick(this);
        return;
    }
    TGridDataLink &link = DataLink();
    TGridState sizing = gsNormal;
    int index = -1, pos = 0, ofs = 0;
    DecideSizingMode(x, y, sizing, index, pos, ofs);
    if (sizing != gsNormal) {
        link.HandleDataFlush();
        TBaseGrid::HandleMouseDown(button, shift, x, y);
        return;
    }
    const QPoint cell = MouseCoord(x, y);
    if (cell.x() < 0 && cell.y() < 0) {
        TBaseGrid::HandleMouseDown(button, shift, x, y);
        return;
    }
    if (m_dragKindDock && cell.x() < m_indicatorOffset && cell.y() < m_titleOffset && cell.x() >= 0 && cell.y() >= 0) {
        // A pop-up sub-grid is dragged by its corner.
        if (QWindow *w = window()->windowHandle())
            w->startSystemMove();
        return;
    }
    TColumn *expandColumn = nullptr;
    if (HitsExpandButton(x, y, expandColumn)) {
        expandColumn->SetExpanded(!expandColumn->Expanded());
        if (QWidget *grabber = QWidget::mouseGrabber())
            grabber->releaseMouse();
        return;
    }
    if (cell.y() >= 0 && cell.y() < m_titleOffset && (m_options & dgColumnResize)) {
        link.HandleDataFlush();
        // Away from a border the base starts a column move when allowed.
        TBaseGrid::HandleMouseDown(button, shift, x, y);
        return;
    }
    if (!link.Active())
        return;
    const UpdateLockScope lock(*this);
    link.HandleDataFlush();
    HideEditor();
    const int oldCol = Col(), oldRow = Row();
    if (cell.y() >= m_titleOffset && cell.y() != Row())
        link.MoveBy(cell.y() - Row());
    if (cell.x() >= m_indicatorOffset)
        ShiftCurrentColumn(cell.x(), 0);
    if (button == mbLeft && (m_options & dgMultiSelect) && link.Active())
        MarkClickedRow(shift);
    if (button == mbLeft && ((cell.x() == oldCol && cell.y() == oldRow) || (m_options & dgAlwaysShowEditor)))
        ShowEditor();
    else
        InvalidateEditor();
}

void TCustomDBGrid::HandleMouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    const TGridState state = GridState();
    TBaseGrid::HandleMouseUp(button, shift, x, y);
    if (state == gsRowSizing || state == gsColSizing)
        return;
    // The release after a double click belongs to the double click, which
    // fires OnDblClick only.
    if (ReleaseEndsDoubleClick())
        return;
    if (TInplaceEdit *editor = InplaceEditor())
        if (editor->isVisible() && editor->geometry().contains(x, y))
            return;
    const QPoint cell = MouseCoord(x, y);
    const int dataCol = GridToDataColumn(cell.x());
    if (button != mbLeft || cell.x() < m_indicatorOffset || cell.y() < 0 || dataCol >= Columns().Count())
        return;
    if (cell.y() < m_titleOffset)
        AfterTitleClick(Columns()[dataCol]);
    else
        AfterCellClick(CurrentColumn());
}

bool TCustomDBGrid::PerformAction(QAction *action)
{
    auto *a = qobject_cast<TDataSetAction *>(action);
    TDataSource *source = DataLink().DataSource();
    if (a && a->HandlesTarget(source)) {
        a->ExecuteTarget(source);
        return true;
    }
    return TBaseGrid::PerformAction(action);
}

bool TCustomDBGrid::RefreshActionState(QAction *action)
{
    auto *a = qobject_cast<TDataSetAction *>(action);
    TDataSource *source = DataLink().DataSource();
    if (a && a->HandlesTarget(source)) {
        a->UpdateTarget(source);
        return true;
    }
    return TBaseGrid::RefreshActionState(action);
}

bool TCustomDBGrid::StartColumnMove(int &origin, int x, int y)
{
    const int dataCol = GridToDataColumn(origin);
    if (dataCol < 0 || dataCol >= Columns().Count())
        return false;
    m_dragDepth = 0;
    TDataSet *ds = DataLink().DataSet();
    if (ds && ds->ObjectView) {
        // The title pressed belongs to the column at that depth.
        m_dragDepth = qMax(0, MouseCoord(x, y).y());
        TColumn *head = ColumnAtLevel(Columns()[dataCol], m_dragDepth);
        if (!head)
            return false;
        m_dragDepth = head->NestingLevel();
        origin = DataToGridColumn(head->Index());
    }
    return TBaseGrid::StartColumnMove(origin, x, y);
}

bool TCustomDBGrid::CheckColumnMoveTarget(int origin, int &target)
{
    TDataSet *ds = DataLink().DataSet();
    if (!ds || !ds->ObjectView)
        return TBaseGrid::CheckColumnMoveTarget(origin, target);
    // Only among the columns of the same parent.
    const int from = GridToDataColumn(origin), to = GridToDataColumn(target);
    if (from < 0 || to < 0 || from >= Columns().Count() || to >= Columns().Count())
        return false;
    TColumn *dragged = Columns()[from];
    TColumn *at = ColumnAtLevel(Columns()[to], m_dragDepth);
    if (!at || at->NestingLevel() != m_dragDepth || at->EnclosingColumn() != dragged->EnclosingColumn())
        return false;
    target = DataToGridColumn(at->Index());
    return true;
}

bool TCustomDBGrid::FinishColumnMove(int origin, int target)
{
    TDataSet *ds = DataLink().DataSet();
    if (!ds || !ds->ObjectView)
        return TBaseGrid::FinishColumnMove(origin, target);
    int checked = target;
    return CheckColumnMoveTarget(origin, checked) && checked == target;
}

void TCustomDBGrid::AutoScrollStep(TGridScrollDirections directions)
{
    TGridDataLink &link = DataLink();
    if (link.Active()) {
        if (directions & sdUp)
            link.MoveBy(-(link.ActiveRecord() + 1));
        else if (directions & sdDown)
            link.MoveBy(link.RecordCount() - link.ActiveRecord());
    }
    if (directions & (sdLeft | sdRight))
        TBaseGrid::AutoScrollStep(directions & (sdLeft | sdRight));
}

void TCustomDBGrid::HandleFocusLoss()
{
    TGridDataLink &link = DataLink();
    if (link.Active()) {
        TDataSet *ds = link.DataSet();
        try {
            if ((m_options & dgCancelOnExit) && ds->State() == dsInsert && !ds->Modified() && !link.Modified())
                ds->Cancel();
            else
                link.HandleDataFlush();
        } catch (...) {
            setFocus();
            throw;
        }
    }
    TBaseGrid::HandleFocusLoss();
}

// --- pop-up sub-grids of nested datasets ---------------------------------------------

TCustomDBGrid *TCustomDBGrid::MakeSubGrid(QWidget *parent)
{
    return new TCustomDBGrid(parent);
}

void TCustomDBGrid::OpenPopupEditor(TColumn *column, int x, int y)
{
    TField *field = column ? column->GetBoundField() : nullptr;
    TDataSet *nested = field && field->DataType() == ftDataSet ? field->NestedDataSet() : nullptr;
    if (!nested)
        return;
    for (const QPointer<TCustomDBGrid> &sub : m_subGrids)
        if (sub && sub->DataLink().DataSet() == nested && sub->isEnabled()) {
            sub->window()->show();
            sub->setFocus();
            return;
        }
    auto *form = new QWidget(this, Qt::Tool);
    try {
        form->setLayoutDirection(layoutDirection());
        auto *layout = new QVBoxLayout(form);
        layout->setContentsMargins(0, 0, 0, 0);
        TCustomDBGrid *sub = MakeSubGrid(form);
        layout->addWidget(sub);
        sub->m_dragKindDock = true;
        sub->m_ownSource = std::make_unique<TDataSource>();
        nested->CheckBrowseMode();
        sub->m_ownSource->SetDataSet(nested);
        sub->SetDataSource(sub->m_ownSource.get());
        if (Columns().QueryState() != sub->Columns().QueryState())
            sub->Columns().ChangeState(Columns().QueryState());
        if (sub->Columns().Count() > 0)
            sub->Columns()[0]->SetExpanded(true);
        QPoint at = viewport()->mapToGlobal(CellRect(Col(), Row()).bottomRight() + QPoint(1, 1));
        if (x != NoPopupPosition)
            at.setX(x);
        if (y != NoPopupPosition)
            at.setY(y);
        form->move(at);
        const QRect screen = this->screen() ? this->screen()->geometry() : QRect(0, 0, 1024, 768);
        const QRect last = sub->CellRect(sub->ColCount() - 1, 0);
        const int right = last.isEmpty() ? 0 : last.right() + 1;
        form->resize(right > 0 && right < screen.width() / 2 ? right : screen.width() / 4, screen.height() / 4);
        sub->SetColor(Color());
        sub->setCursor(cursor());
        sub->setEnabled(isEnabled());
        sub->SetFixedColor(FixedColor());
        sub->Font().Assign(Font());
        sub->SetImeMode(m_imeMode);
        sub->SetImeName(m_imeName);
        sub->SetOptions(m_options);
        QMenu *menu = m_popupMenu;
        for (QWidget *w = parentWidget(); !menu && w; w = w->parentWidget())
            if (auto *g = qobject_cast<TCustomDBGrid *>(w))
                menu = g->PopupMenu();
        sub->SetPopupMenu(menu);
        sub->TitleFont().Assign(TitleFont());
        m_subGrids.push_back(sub);
        form->show();
    } catch (...) {
        m_subGrids.erase(std::remove_if(m_subGrids.begin(), m_subGrids.end(),
                                        [form](const QPointer<TCustomDBGrid> &g) { return !g || g->window() == form; }),
                         m_subGrids.end());
        delete form;
        throw;
    }
}

void TCustomDBGrid::FreeSubGrids()
{
    const std::vector<QPointer<TCustomDBGrid>> subs(m_subGrids.begin(), m_subGrids.end());
    m_subGrids.clear();
    for (const auto &sub : subs)
        if (sub)
            delete sub->window();
}
