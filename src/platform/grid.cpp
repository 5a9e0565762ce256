#include "platform/grid.h"

#include "platform/application.h"
#include "platform/grid_inplace.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

int VirtualKeyFromQt(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_F2: return VK_F2;
    default: break;
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
        return qtKey; // same codes as the letters and digits
    return 0;
}

TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers)
{
    TShiftState s = 0;
    if (modifiers & Qt::ShiftModifier)
        s |= ssShift;
    if (modifiers & Qt::AltModifier)
        s |= ssAlt;
    if (modifiers & Qt::ControlModifier)
        s |= ssCtrl;
    return s;
}

TBaseGrid::TBaseGrid(QWidget *parent)
    : QAbstractScrollArea(parent), m_font(new TFont(this)), m_color(clWindow()), m_fixedColor(clBtnFace())
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setFocusProxy(this);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    verticalScrollBar()->setRange(0, 0);
    horizontalScrollBar()->setRange(0, 0);
    // Scrolling moves the dataset, which may fail.
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, GuardedSlot(this, &TBaseGrid::OnVertAction));
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, GuardedSlot([this] {
                HandleVerticalScroll(scPosition, verticalScrollBar()->sliderPosition());
                ApplyVertScrollBar();
            }));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, GuardedSlot(this, &TBaseGrid::OnHorzValue));
    m_font->SetFont(font());
    connect(m_font, &TFont::Changed, this, GuardedSlot([this] {
                m_parentFont = false;
                HandleFontChange();
            }));
    m_canvas.Font().Assign(*m_font);
    m_colWidths.fill(m_defaultColWidth, 5);
    m_tabStops.fill(true, 5);
    m_rowHeights.fill(m_defaultRowHeight, 5);
    m_fixedCols = 1;
    m_fixedRows = 1;
    m_col = m_anchorCol = m_leftCol = 1;
    m_row = m_anchorRow = m_topRow = 1;
}

TBaseGrid::~TBaseGrid()
{
    m_destroying = true;
}

// --- options and counts --------------------------------------------------

void TBaseGrid::SetGridOptions(TGridOptions options)
{
    if (options == m_options)
        return;
    m_options = options;
    if (options & goRowSelect)
        m_editorMode = false;
    if (!(options & goEditing) || (options & goRowSelect))
        HideEditor();
    else if (options & goAlwaysShowEditor)
        ShowEditor();
    UpdateHorzScrollBar();
    InvalidateGrid();
}

void TBaseGrid::SetColCount(int count)
{
    count = qMax(count, 1);
    if (count == ColCount())
        return;
    m_colWidths.resize(count);
    const int old = m_tabStops.size();
    m_tabStops.resize(count);
    for (int c = old; c < count; ++c) {
        m_colWidths[c] = m_defaultColWidth;
        m_tabStops[c] = true;
    }
    if (m_fixedCols >= count)
        m_fixedCols = count - 1;
    ClampCurrent();
    UpdateHorzScrollBar();
    InvalidateGrid();
}

void TBaseGrid::SetRowCount(int count)
{
    count = qMax(count, 1);
    if (count == RowCount())
        return;
    const int old = m_rowHeights.size();
    m_rowHeights.resize(count);
    for (int r = old; r < count; ++r)
        m_rowHeights[r] = m_defaultRowHeight;
    if (m_fixedRows >= count)
        m_fixedRows = count - 1;
    ClampCurrent();
    InvalidateGrid();
}

void TBaseGrid::SetFixedCols(int count)
{
    count = qBound(0, count, ColCount() - 1);
    if (count == m_fixedCols)
        return;
    m_fixedCols = count;
    ClampCurrent();
    UpdateHorzScrollBar();
    InvalidateGrid();
}

void TBaseGrid::SetFixedRows(int count)
{
    count = qBound(0, count, RowCount() - 1);
    if (count == m_fixedRows)
        return;
    m_fixedRows = count;
    ClampCurrent();
    InvalidateGrid();
}

void TBaseGrid::ClampCurrent()
{
    const int oldLeft = m_leftCol, oldTop = m_topRow;
    m_col = qBound(m_fixedCols, m_col, ColCount() - 1);
    m_row = qBound(m_fixedRows, m_row, RowCount() - 1);
    m_anchorCol = qBound(m_fixedCols, m_anchorCol, ColCount() - 1);
    m_anchorRow = qBound(m_fixedRows, m_anchorRow, RowCount() - 1);
    m_topRow = qBound(m_fixedRows, m_topRow, RowCount() - 1);
    m_leftCol = qBound(m_fixedCols, m_leftCol, qMax(m_fixedCols, MaxLeftCol()));
    if (oldLeft != m_leftCol || oldTop != m_topRow)
        AfterTopLeftMove();
    PlaceEditor();
}

// --- sizes ---------------------------------------------------------------

int TBaseGrid::ColWidth(int col) const
{
    return col >= 0 && col < ColCount() ? m_colWidths[col] : m_defaultColWidth;
}

void TBaseGrid::SetColWidth(int col, int width)
{
    if (col < 0 || col >= ColCount() || m_colWidths[col] == width)
        return;
    m_colWidths[col] = width;
    UpdateHorzScrollBar();
    PlaceEditor();
    InvalidateGrid();
}

int TBaseGrid::RowHeight(int row) const
{
    return row >= 0 && row < RowCount() ? m_rowHeights[row] : m_defaultRowHeight;
}

void TBaseGrid::SetRowHeight(int row, int height)
{
    if (row < 0 || row >= RowCount() || m_rowHeights[row] == height)
        return;
    m_rowHeights[row] = height;
    PlaceEditor();
    InvalidateGrid();
}

void TBaseGrid::SetDefaultColWidth(int width)
{
    m_defaultColWidth = width;
    m_colWidths.fill(width);
    UpdateHorzScrollBar();
    PlaceEditor();
    InvalidateGrid();
}

void TBaseGrid::SetDefaultRowHeight(int height)
{
    m_defaultRowHeight = height;
    m_rowHeights.fill(height);
    PlaceEditor();
    InvalidateGrid();
}

void TBaseGrid::SetGridLineWidth(int width)
{
    if (width == m_gridLineWidth)
        return;
    m_gridLineWidth = qMax(0, width);
    UpdateHorzScrollBar();
    InvalidateGrid();
}

bool TBaseGrid::TabStop(int col) const
{
    return col >= 0 && col < ColCount() && m_tabStops[col];
}

void TBaseGrid::SetTabStop(int col, bool stop)
{
    if (col >= 0 && col < ColCount())
        m_tabStops[col] = stop;
}

// --- geometry ------------------------------------------------------------

int TBaseGrid::ColLineWidth(int col) const
{
    const unsigned opt = col < m_fixedCols ? goFixedVertLine : goVertLine;
    return (m_options & opt) ? m_gridLineWidth : 0;
}

int TBaseGrid::RowLineWidth(int row) const
{
    const unsigned opt = row < m_fixedRows ? goFixedHorzLine : goHorzLine;
    return (m_options & opt) ? m_gridLineWidth : 0;
}

int TBaseGrid::ColExtent(int col) const
{
    const int w = ColWidth(col);
    return w > 0 ? w + ColLineWidth(col) : 0;
}

int TBaseGrid::RowExtent(int row) const
{
    const int h = RowHeight(row);
    return h > 0 ? h + RowLineWidth(row) : 0;
}

int TBaseGrid::FixedWidth() const
{
    int w = 0;
    for (int c = 0; c < m_fixedCols; ++c)
        w += ColExtent(c);
    return w;
}

int TBaseGrid::FixedHeight() const
{
    int h = 0;
    for (int r = 0; r < m_fixedRows; ++r)
        h += RowExtent(r);
    return h;
}

int TBaseGrid::ColLeft(int col) const
{
    if (col < 0 || col >= ColCount())
        return -1;
    int x = 0;
    if (col < m_fixedCols) {
        for (int c = 0; c < col; ++c)
            x += ColExtent(c);
        return x;
    }
    if (col < m_leftCol)
        return -1;
    x = FixedWidth();
    for (int c = m_leftCol; c < col; ++c)
        x += ColExtent(c);
    return x;
}

int TBaseGrid::RowTop(int row) const
{
    if (row < 0 || row >= RowCount())
        return -1;
    int y = 0;
    if (row < m_fixedRows) {
        for (int r = 0; r < row; ++r)
            y += RowExtent(r);
        return y;
    }
    if (row < m_topRow)
        return -1;
    y = FixedHeight();
    for (int r = m_topRow; r < row; ++r)
        y += RowExtent(r);
    return y;
}

int TBaseGrid::MaxLeftCol() const
{
    // The leftmost column from which every remaining column fits.
    const int avail = viewport()->width() - FixedWidth();
    int used = 0;
    int c = ColCount() - 1;
    while (c >= m_fixedCols) {
        used += ColExtent(c);
        if (used > avail)
            return qMin(c + 1, ColCount() - 1);
        --c;
    }
    return m_fixedCols;
}

int TBaseGrid::VisibleRowCount() const
{
    const int avail = viewport()->height();
    int y = FixedHeight();
    int n = 0;
    for (int r = m_topRow; r < RowCount(); ++r) {
        y += RowExtent(r);
        if (y > avail)
            break;
        ++n;
    }
    return (n == 0 && m_topRow < RowCount()) ? 1 : n;
}

int TBaseGrid::VisibleColCount() const
{
    const int avail = viewport()->width();
    int x = FixedWidth();
    int n = 0;
    for (int c = m_leftCol; c < ColCount(); ++c) {
        x += ColExtent(c);
        if (x > avail)
            break;
        ++n;
    }
    return (n == 0 && m_leftCol < ColCount()) ? 1 : n;
}

QRect TBaseGrid::CellRect(int col, int row) const
{
    const int x = ColLeft(col), y = RowTop(row);
    if (x < 0 || y < 0 || x >= viewport()->width() || y >= viewport()->height())
        return QRect();
    const int w = ColWidth(col), h = RowHeight(row);
    if (w <= 0 || h <= 0)
        return QRect();
    return QRect(ScreenLeft(x, w), y, w, h);
}

QRect TBaseGrid::BoxRect(int left, int top, int right, int bottom) const
{
    QRect r;
    for (int row = top; row <= bottom; ++row)
        for (int col = left; col <= right; ++col)
            r = r.united(CellRect(col, row));
    return r;
}

QPoint TBaseGrid::MouseCoord(int x, int y) const
{
    auto find = [](int pos, int fixedCount, int first, int count, auto extent) {
        int edge = 0;
        for (int i = 0; i < fixedCount; ++i) {
            edge += extent(i);
            if (pos < edge)
                return i;
        }
        for (int i = first; i < count; ++i) {
            edge += extent(i);
            if (pos < edge)
                return i;
        }
        return -1;
    };
    int col = -1, row = -1;
    x = LogicalX(x);
    if (x >= 0 && x < viewport()->width())
        col = find(x, m_fixedCols, m_leftCol, ColCount(), [this](int c) { return ColExtent(c); });
    if (y >= 0 && y < viewport()->height())
        row = find(y, m_fixedRows, m_topRow, RowCount(), [this](int r) { return RowExtent(r); });
    return QPoint(col, row);
}

// --- current cell and scrolling -----------------------------------------

QRect TBaseGrid::Selection() const
{
    if (m_options & goRowSelect)
        return QRect(QPoint(m_fixedCols, m_row), QPoint(ColCount() - 1, m_row));
    return QRect(QPoint(qMin(m_col, m_anchorCol), qMin(m_row, m_anchorRow)),
                 QPoint(qMax(m_col, m_anchorCol), qMax(m_row, m_anchorRow)));
}

void TBaseGrid::SetCol(int col)
{
    MoveCurrent(col, m_row, true, true);
}

void TBaseGrid::SetRow(int row)
{
    MoveCurrent(m_col, row, true, true);
}

void TBaseGrid::MoveCurrent(int col, int row, bool moveAnchor, bool show)
{
    col = qBound(m_fixedCols, col, ColCount() - 1);
    row = qBound(m_fixedRows, row, RowCount() - 1);
    const QRect oldSel = Selection();
    const bool changed = col != m_col || row != m_row;
    m_col = col;
    m_row = row;
    // Without range selection the anchor always follows the current cell.
    if (moveAnchor || !(m_options & goRangeSelect)) {
        m_anchorCol = col;
        m_anchorRow = row;
    }
    if (show) {
        if (row < m_topRow)
            SetTopRow(row);
        else
            while (row >= m_topRow + VisibleRowCount() && m_topRow < row)
                SetTopRow(m_topRow + 1);
        if (col < m_leftCol)
            SetLeftCol(col);
        else
            while (col >= m_leftCol + VisibleColCount() && m_leftCol < col && m_leftCol < MaxLeftCol())
                SetLeftCol(m_leftCol + 1);
    }
    if (changed || oldSel != Selection()) {
        InvalidateCells(oldSel.left(), oldSel.top(), oldSel.right(), oldSel.bottom());
        const QRect sel = Selection();
        InvalidateCells(sel.left(), sel.top(), sel.right(), sel.bottom());
    }
    if (changed && m_editorMode)
        UpdateEditor();
}

void TBaseGrid::SetTopRow(int row)
{
    row = qBound(m_fixedRows, row, RowCount() - 1);
    if (row == m_topRow)
        return;
    m_topRow = row;
    PlaceEditor();
    InvalidateGrid();
    AfterTopLeftMove();
}

void TBaseGrid::SetLeftCol(int col)
{
    col = qBound(m_fixedCols, col, qMax(m_fixedCols, MaxLeftCol()));
    if (col == m_leftCol)
        return;
    m_leftCol = col;
    UpdateHorzScrollBar();
    PlaceEditor();
    InvalidateGrid();
    AfterTopLeftMove();
}

void TBaseGrid::UpdateHorzScrollBar()
{
    m_settingBar = true;
    QScrollBar *bar = horizontalScrollBar();
    bar->setRange(m_fixedCols, qMax(m_fixedCols, MaxLeftCol()));
    bar->setPageStep(qMax(1, VisibleColCount()));
    bar->setValue(m_leftCol);
    m_settingBar = false;
}

void TBaseGrid::OnHorzValue(int value)
{
    if (!m_settingBar)
        SetLeftCol(value);
}

void TBaseGrid::scrollContentsBy(int, int)
{
    // Both bars are driven explicitly: horizontal through LeftCol, vertical by
    // the derived grid.
}

void TBaseGrid::SetVertScrollInfo(const TScrollInfo &info)
{
    m_vertInfo = info;
    ++m_vertInfoSets;
    ApplyVertScrollBar();
}

void TBaseGrid::RepaintNow()
{
    // Widget updates wait in their window's queue as one request.
    if (isVisible())
        QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}

void TBaseGrid::ApplyVertScrollBar()
{
    // The values are inclusive positions with a page-sized thumb: the last
    // position the thumb's top can take is Max - Page + 1. A page of 0 is a
    // thumb of its own size (one position).
    m_settingBar = true;
    QScrollBar *bar = verticalScrollBar();
    const int page = qMax(1, m_vertInfo.Page);
    bar->setRange(m_vertInfo.Min, qMax(m_vertInfo.Min, m_vertInfo.Max - page + 1));
    bar->setPageStep(page);
    bar->setValue(m_vertInfo.Pos);
    bar->setSliderPosition(m_vertInfo.Pos);
    m_settingBar = false;
}

void TBaseGrid::OnVertAction(int action)
{
    if (m_settingBar)
        return;
    QScrollBar *bar = verticalScrollBar();
    const int track = bar->sliderPosition();
    // The bar shows what the grid sets, not where Qt would move it.
    bar->setSliderPosition(bar->value());
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: HandleVerticalScroll(scLineDown, 0); break;
    case QAbstractSlider::SliderSingleStepSub: HandleVerticalScroll(scLineUp, 0); break;
    case QAbstractSlider::SliderPageStepAdd: HandleVerticalScroll(scPageDown, 0); break;
    case QAbstractSlider::SliderPageStepSub: HandleVerticalScroll(scPageUp, 0); break;
    case QAbstractSlider::SliderToMinimum: HandleVerticalScroll(scTop, 0); break;
    case QAbstractSlider::SliderToMaximum: HandleVerticalScroll(scBottom, 0); break;
    case QAbstractSlider::SliderMove: HandleVerticalScroll(scTrack, track); break;
    default: break;
    }
    ApplyVertScrollBar();
}

void TBaseGrid::HandleVerticalScroll(TScrollCode, int) {}

void TBaseGrid::AutoScrollStep(TGridScrollDirections directions)
{
    if (directions & sdUp)
        SetTopRow(m_topRow - 1);
    else if (directions & sdDown)
        SetTopRow(m_topRow + 1);
    if (directions & sdLeft)
        SetLeftCol(m_leftCol - 1);
    else if (directions & sdRight)
        SetLeftCol(m_leftCol + 1);
}

void TBaseGrid::ScrollDataRows(int fromRow, int dy)
{
    const int top = RowTop(qMax(fromRow, m_topRow));
    if (top < 0)
        return;
    const QRect area(0, top, viewport()->width(), viewport()->height() - top);
    viewport()->scroll(0, dy, area);
    PlaceEditor();
}

// --- invalidation --------------------------------------------------------

void TBaseGrid::InvalidateCell(int col, int row)
{
    InvalidateCells(col, row, col, row);
}

void TBaseGrid::InvalidateRow(int row)
{
    InvalidateCells(0, row, ColCount() - 1, row);
}

void TBaseGrid::InvalidateCol(int col)
{
    InvalidateCells(col, 0, col, RowCount() - 1);
}

void TBaseGrid::InvalidateCells(int left, int top, int right, int bottom)
{
    // Whole visible strips, lines included.
    int x0 = viewport()->width(), x1 = -1, y0 = viewport()->height(), y1 = -1;
    for (int c = qMax(0, left); c <= qMin(right, ColCount() - 1); ++c) {
        const int x = ColLeft(c);
        if (x < 0 || x >= viewport()->width())
            continue;
        const int extent = ColExtent(c);
        const int left = Mirrored() ? ScreenLeft(x, extent) : x;
        x0 = qMin(x0, left);
        x1 = qMax(x1, left + extent);
    }
    for (int r = qMax(0, top); r <= qMin(bottom, RowCount() - 1); ++r) {
        const int y = RowTop(r);
        if (y < 0 || y >= viewport()->height())
            continue;
        y0 = qMin(y0, y);
        y1 = qMax(y1, y + RowExtent(r));
    }
    if (x1 > x0 && y1 > y0)
        viewport()->update(QRect(x0, y0, x1 - x0, y1 - y0));
}

void TBaseGrid::InvalidateGrid()
{
    viewport()->update();
}

// --- fonts and colours ---------------------------------------------------

void TBaseGrid::SetParentFont(bool follow)
{
    if (follow == m_parentFont)
        return;
    m_parentFont = follow;
    if (follow)
        HandleParentFontChange();
}

void TBaseGrid::HandleParentFontChange()
{
    if (!m_parentFont)
        return;
    QFont f = parentWidget() ? parentWidget()->font() : QApplication::font();
    if (f == m_font->Font())
        return;
    m_font->SetFont(f);
    m_parentFont = true; // the change came from the parent
}

void TBaseGrid::SetColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    InvalidateGrid();
}

void TBaseGrid::SetFixedColor(const QColor &color)
{
    if (color == m_fixedColor)
        return;
    m_fixedColor = color;
    InvalidateGrid();
}

bool TBaseGrid::IsActiveControl() const
{
    const QWidget *fw = window()->focusWidget();
    return fw && (fw == this || fw == viewport() || (m_editor && fw == m_editor));
}

void TBaseGrid::changeEvent(QEvent *e)
{
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange && m_parentFont)
        GuardedEvent([this] { HandleParentFontChange(); });
}

// --- window life ---------------------------------------------------------

void TBaseGrid::CreateHandle()
{
    if (!m_handleAllocated)
        AfterWindowCreate();
}

void TBaseGrid::AfterWindowCreate()
{
    m_handleAllocated = true;
}

void TBaseGrid::EndLoad()
{
    if (!m_loading)
        return;
    m_loading = false;
    AfterLoad();
}

void TBaseGrid::showEvent(QShowEvent *e)
{
    QAbstractScrollArea::showEvent(e);
    GuardedEvent([this] { CreateHandle(); });
}

void TBaseGrid::resizeEvent(QResizeEvent *e)
{
    QAbstractScrollArea::resizeEvent(e);
    GuardedEvent([this] {
        UpdateHorzScrollBar();
        PlaceEditor();
        AfterResize();
    });
}

bool TBaseGrid::viewportEvent(QEvent *e)
{
    if (e->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(e));
        return true;
    }
    return QAbstractScrollArea::viewportEvent(e);
}

bool TBaseGrid::focusNextPrevChild(bool next)
{
    // Tab belongs to the grid while it moves between columns.
    if (m_options & goTabs)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void TBaseGrid::focusOutEvent(QFocusEvent *e)
{
    QAbstractScrollArea::focusOutEvent(e);
    if (m_editor && m_editor->hasFocus())
        return;
    GuardedEvent([this] {
        HandleFocusLoss();
        InvalidateGrid();
    });
}

void TBaseGrid::MoveColumn(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= ColCount() || to >= ColCount())
        return;
    m_colWidths.move(from, to);
    m_tabStops.move(from, to);
    AfterColumnMove(from, to);
    InvalidateGrid();
}

void TBaseGrid::AfterColumnMove(int, int) {}
