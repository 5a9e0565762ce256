// Keys, mouse gestures (column sizing) and the in-place editor host of the
// base grid.
#include "platform/grid.h"

#include "platform/application.h"
#include "platform/grid_inplace.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {
constexpr int SizingZone = 2;
} // namespace

namespace {
TMouseButton ButtonFromQt(Qt::MouseButton b)
{
    if (b == Qt::RightButton)
        return mbRight;
    if (b == Qt::MiddleButton)
        return mbMiddle;
    return mbLeft;
}

TShiftState MouseShift(const QMouseEvent *e)
{
    TShiftState s = ShiftFromQt(e->modifiers());
    if (e->buttons() & Qt::LeftButton)
        s |= ssLeft;
    if (e->buttons() & Qt::RightButton)
        s |= ssRight;
    if (e->buttons() & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}
} // namespace

// --- keys ----------------------------------------------------------------

bool TBaseGrid::AcceptsKey(int, TShiftState)
{
    return true;
}

void TBaseGrid::HandleKeyDown(int &key, TShiftState shift)
{
    if (OnKeyDown)
        OnKeyDown(this, key, shift);
}

void TBaseGrid::HandleKeyPress(QChar &key)
{
    // A typed character opens the editor on the cell and goes to it.
    if (!(m_options & goEditing) || (m_options & goRowSelect) || key.isNull() || key.unicode() < 32)
        return;
    if (!m_editorMode)
        ShowEditor();
    if (m_editorMode && m_editor && m_editor->isVisible()) {
        m_editor->setFocus();
        QKeyEvent ev(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
        QApplication::sendEvent(m_editor, &ev);
    }
}

void TBaseGrid::keyPressEvent(QKeyEvent *e)
{
    GuardedEvent([this, e] {
        int key = VirtualKeyFromQt(e->key());
        const TShiftState shift = ShiftFromQt(e->modifiers());
        if (key != 0)
            HandleKeyDown(key, shift);
        else if (OnKeyDown) {
            int raw = e->key();
            OnKeyDown(this, raw, shift);
        }
        const QString text = e->text();
        if (!text.isEmpty() && !(shift & (ssCtrl | ssAlt))) {
            QChar ch = text.at(0);
            HandleKeyPress(ch);
        }
    });
    e->accept();
}

// --- mouse ---------------------------------------------------------------

void TBaseGrid::DecideSizingMode(int x, int y, TGridState &state, int &index, int &sizingPos, int &sizingOfs)
{
    state = gsNormal;
    index = -1;
    if (!(m_options & goColSizing) || y < 0 || y >= FixedHeight())
        return;
    x = LogicalX(x);
    auto test = [&](int col) {
        const int left = ColLeft(col);
        if (left < 0 || ColWidth(col) <= 0)
            return false;
        const int edge = left + ColExtent(col);
        if (qAbs(x - edge) <= SizingZone) {
            state = gsColSizing;
            index = col;
            sizingPos = x;
            sizingOfs = edge - x;
            return true;
        }
        return false;
    };
    for (int c = ColCount() - 1; c >= m_leftCol; --c)
        if (test(c))
            return;
    for (int c = m_fixedCols - 1; c >= 0; --c)
        if (test(c))
            return;
}

void TBaseGrid::HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (button == mbLeft && (shift & ssDouble)) {
        if (OnDblClick)
            OnDblClick(this);
        return;
    }
    int index = -1, pos = 0, ofs = 0;
    TGridState state = gsNormal;
    DecideSizingMode(x, y, state, index, pos, ofs);
    if (state == gsColSizing && button == mbLeft) {
        m_gridState = gsColSizing;
        m_sizingIndex = index;
        m_sizingOfs = ofs;
        return;
    }
    const QPoint cell = MouseCoord(x, y);
    if ((m_options & goColMoving) && button == mbLeft && cell.y() >= 0 && cell.y() < m_fixedRows &&
        cell.x() >= m_fixedCols) {
        int origin = cell.x();
        if (StartColumnMove(origin, x, y)) {
            m_gridState = gsColMoving;
            m_moveFrom = m_moveTo = origin;
        }
        return;
    }
    if (cell.x() < m_fixedCols || cell.y() < m_fixedRows)
        return;
    const bool wasCurrent = cell.x() == m_col && cell.y() == m_row;
    MoveCurrent(cell.x(), cell.y(), true, true);
    if (button == mbLeft && (wasCurrent || (m_options & goAlwaysShowEditor)))
        ShowEditor();
}

bool TBaseGrid::StartColumnMove(int &origin, int, int)
{
    return origin >= m_fixedCols && origin < ColCount();
}

bool TBaseGrid::CheckColumnMoveTarget(int, int &target)
{
    return target >= m_fixedCols && target < ColCount();
}

bool TBaseGrid::FinishColumnMove(int, int)
{
    return true;
}

bool TBaseGrid::PerformAction(QAction *)
{
    return false;
}

bool TBaseGrid::RefreshActionState(QAction *)
{
    return false;
}

void TBaseGrid::HandleMouseUp(TMouseButton, TShiftState, int, int)
{
    if (m_gridState == gsColMoving) {
        m_gridState = gsNormal;
        viewport()->unsetCursor();
        const int from = m_moveFrom, to = m_moveTo;
        m_moveFrom = m_moveTo = -1;
        if (from != to && FinishColumnMove(from, to))
            MoveColumn(from, to);
        return;
    }
    if (m_gridState == gsColSizing) {
        m_gridState = gsNormal;
        m_sizingIndex = -1;
        AfterColumnWidthsChange();
        return;
    }
    m_gridState = gsNormal;
}

void TBaseGrid::mousePressEvent(QMouseEvent *e)
{
    m_releaseEndsDoubleClick = false;
    const QPoint pt = e->position().toPoint();
    GuardedEvent([&] { HandleMouseDown(ButtonFromQt(e->button()), MouseShift(e), pt.x(), pt.y()); });
}

void TBaseGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    // Qt delivers press, release, double click, release, as the old
    // message queue did.
    m_releaseEndsDoubleClick = true;
    const QPoint pt = e->position().toPoint();
    GuardedEvent([&] { HandleMouseDown(ButtonFromQt(e->button()), MouseShift(e) | ssDouble, pt.x(), pt.y()); });
}

void TBaseGrid::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint pt = e->position().toPoint();
    if (m_gridState == gsColSizing) {
        const int left = ColLeft(m_sizingIndex);
        if (left >= 0) {
            // Never narrower than one pixel: a vanished column could not be grabbed again.
            const int width = qMax(1, LogicalX(pt.x()) + m_sizingOfs - left - ColLineWidth(m_sizingIndex));
            GuardedEvent([this, width] { SetColWidth(m_sizingIndex, width); });
        }
        return;
    }
    if (m_gridState == gsColMoving) {
        int target = MouseCoord(pt.x(), pt.y()).x();
        GuardedEvent([&] {
            if (target >= 0 && CheckColumnMoveTarget(m_moveFrom, target))
                m_moveTo = target;
        });
        viewport()->setCursor(Qt::DragMoveCursor);
        return;
    }
    int index = -1, pos = 0, ofs = 0;
    TGridState state = gsNormal;
    DecideSizingMode(pt.x(), pt.y(), state, index, pos, ofs);
    viewport()->setCursor(state == gsColSizing ? Qt::SplitHCursor : Qt::ArrowCursor);
}

void TBaseGrid::mouseReleaseEvent(QMouseEvent *e)
{
    const QPoint pt = e->position().toPoint();
    GuardedEvent([&] { HandleMouseUp(ButtonFromQt(e->button()), MouseShift(e), pt.x(), pt.y()); });
    m_releaseEndsDoubleClick = false;
}

void TBaseGrid::wheelEvent(QWheelEvent *e)
{
    // Qt's own wheel scrolling stays off: the wheel is the owner's to use.
    e->accept();
    if (!OnMouseWheel)
        return;
    GuardedEvent([this, e] {
        bool handled = false;
        OnMouseWheel(this, ShiftFromQt(e->modifiers()), e->angleDelta().y(), e->position().toPoint(), handled);
    });
}

// --- in-place editor -----------------------------------------------------

QString TBaseGrid::EditorMask(int, int)
{
    return {};
}

TInplaceEdit *TBaseGrid::MakeCellEditor()
{
    return new TInplaceEdit(this);
}

bool TBaseGrid::EditorMayShow()
{
    return (m_options & goEditing) && !(m_options & goRowSelect) && m_col >= m_fixedCols && m_row >= m_fixedRows &&
           ColWidth(m_col) > 0 && !m_destroying;
}

QString TBaseGrid::EditorTextOf(int, int)
{
    return QString();
}

void TBaseGrid::KeepEditorText(int, int, const QString &) {}

TEditStyle TBaseGrid::EditorKind(int, int)
{
    return esSimple;
}

bool TBaseGrid::EditorAcceptsKey(QChar)
{
    return true;
}

void TBaseGrid::SetEditorMode(bool on)
{
    if (on)
        ShowEditor();
    else
        HideEditor();
}

void TBaseGrid::ShowEditor()
{
    if (!EditorMayShow())
        return;
    m_editorMode = true;
    UpdateEditor();
}

void TBaseGrid::HideEditor()
{
    m_editorMode = false;
    if (!m_editor || !m_editor->isVisible())
        return;
    const bool hadFocus = m_editor->hasFocus();
    if (m_editorCol >= 0)
        KeepEditorText(m_editorCol, m_editorRow, m_editor->text());
    m_editor->hide();
    if (hadFocus)
        setFocus();
}

void TBaseGrid::InvalidateEditor()
{
    m_editorCol = -1;
    m_editorRow = -1;
    if (m_editorMode)
        UpdateEditor();
}

void TBaseGrid::UpdateEditor()
{
    if (!m_editorMode)
        return;
    if (!m_editor) {
        m_editor = MakeCellEditor();
        m_editor->setParent(viewport());
        m_editor->hide();
    }
    if (m_editorCol != m_col || m_editorRow != m_row) {
        m_editorCol = m_col;
        m_editorRow = m_row;
        m_editor->RefreshContents();
    }
    PlaceEditor();
}

void TBaseGrid::PlaceEditor()
{
    if (!m_editor || !m_editorMode)
        return;
    const QRect r = CellRect(m_col, m_row);
    if (r.isEmpty()) {
        m_editor->hide();
        return;
    }
    m_editor->setGeometry(r);
    if (!m_editor->isVisible()) {
        m_editor->show();
        if (hasFocus())
            m_editor->setFocus();
    }
}
