#pragma once
// The base grid beneath the data grid: a grid of cells with fixed rows and
// columns that keeps no cell data of its own. It knows geometry (widths,
// heights, lines, top row, left column), the current cell, painting through a
// virtual cell painter, invalidation, column sizing with the mouse, an
// in-place editor host, pixel scrolling of the data rows, and a vertical
// scroll bar whose values and requests belong to the derived grid.
//
// Keys reach the derived grid as the classic virtual-key codes below, so that
// the grid logic reads like the key tables it implements.

#include "platform/grid_support.h"

#include <QAbstractScrollArea>
#include <QVector>

#include <functional>

class TInplaceEdit;
class QAction;

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goColSizing = 1u << 4,
    goColMoving = 1u << 5,
    goEditing = 1u << 6,
    goTabs = 1u << 7,
    goRowSelect = 1u << 8,
    goAlwaysShowEditor = 1u << 9,
    goRangeSelect = 1u << 10,
};
using TGridOptions = unsigned;

enum TGridDrawStateFlag : unsigned { gdSelected = 1u << 0, gdFocused = 1u << 1, gdFixed = 1u << 2 };
using TGridDrawState = unsigned;

enum TGridState { gsNormal, gsSelecting, gsRowSizing, gsColSizing, gsRowMoving, gsColMoving };

enum TShiftFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Virtual-key codes.
constexpr int VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33, VK_NEXT = 34,
              VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_INSERT = 45,
              VK_DELETE = 46, VK_F2 = 113;
// Qt key to virtual-key code; 0 for keys without one.
int VirtualKeyFromQt(int qtKey);
TShiftState ShiftFromQt(Qt::KeyboardModifiers modifiers);

// Requests of the vertical scroll bar.
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };

// The four values of a scroll bar as the grid sets them: Max is the last
// position plus Page - 1, as with page-sized thumbs.
struct TScrollInfo {
    int Min = 0;
    int Max = 0;
    int Page = 0;
    int Pos = 0;
    bool operator==(const TScrollInfo &) const = default;
};

enum TEditStyle { esSimple, esEllipsis, esPickList };

// Directions of an automatic scroll step while a gesture holds the mouse
// outside the cells.
enum TGridScrollDirection : unsigned { sdLeft = 1u << 0, sdRight = 1u << 1, sdUp = 1u << 2, sdDown = 1u << 3 };
using TGridScrollDirections = unsigned;

using TNotifyEvent = std::function<void(QObject *sender)>;
using TKeyEvent = std::function<void(QObject *sender, int &key, TShiftState shift)>;
using TMouseWheelEvent = std::function<void(QObject *sender, TShiftState shift, int delta, QPoint pos, bool &handled)>;

class TBaseGrid : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TBaseGrid(QWidget *parent = nullptr);
    ~TBaseGrid() override;

    TGridOptions GridOptions() const { return m_options; }
    void SetGridOptions(TGridOptions options);

    int ColCount() const { return m_colWidths.size(); }
    void SetColCount(int count);
    int RowCount() const { return m_rowHeights.size(); }
    void SetRowCount(int count);
    int FixedCols() const { return m_fixedCols; }
    void SetFixedCols(int count);
    int FixedRows() const { return m_fixedRows; }
    void SetFixedRows(int count);

    // A width of 0 or less hides the column together with its line.
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    int RowHeight(int row) const;
    void SetRowHeight(int row, int height);
    int DefaultColWidth() const { return m_defaultColWidth; }
    // Setting a default resets every width (heights alike).
    void SetDefaultColWidth(int width);
    int DefaultRowHeight() const { return m_defaultRowHeight; }
    void SetDefaultRowHeight(int height);
    int GridLineWidth() const { return m_gridLineWidth; }
    void SetGridLineWidth(int width);
    bool TabStop(int col) const;
    void SetTabStop(int col, bool stop);

    // Current cell. SetCol/SetRow move the anchor and scroll into view.
    int Col() const { return m_col; }
    int Row() const { return m_row; }
    void SetCol(int col);
    void SetRow(int row);
    void MoveCurrent(int col, int row, bool moveAnchor, bool show);
    // Selected cells: the box between anchor and current cell, or the whole
    // current row with goRowSelect.
    QRect Selection() const;

    int TopRow() const { return m_topRow; }
    void SetTopRow(int row);
    int LeftCol() const { return m_leftCol; }
    void SetLeftCol(int col);
    // Scrollable rows (columns) that fit entirely; at least 1 while there are any.
    int VisibleRowCount() const;
    int VisibleColCount() const;

    // Rectangles in viewport coordinates, empty for cells not on screen.
    QRect CellRect(int col, int row) const;
    QRect BoxRect(int left, int top, int right, int bottom) const;
    // Cell under a viewport point; each coordinate -1 when outside the cells.
    QPoint MouseCoord(int x, int y) const;
    TGridState GridState() const { return m_gridState; }
    // The column a move gesture holds and where it would land; -1 without one.
    int MoveOrigin() const { return m_gridState == gsColMoving ? m_moveFrom : -1; }
    int MoveTarget() const { return m_gridState == gsColMoving ? m_moveTo : -1; }

    TFont &Font() { return *m_font; }
    const TFont &Font() const { return *m_font; }
    bool ParentFont() const { return m_parentFont; }
    void SetParentFont(bool follow);
    QColor Color() const { return m_color; }
    void SetColor(const QColor &color);
    QColor FixedColor() const { return m_fixedColor; }
    void SetFixedColor(const QColor &color);
    // Valid for drawing only inside the paint loop; measuring works always.
    TCanvas &Canvas() { return m_canvas; }
    bool IsActiveControl() const;

    void InvalidateCell(int col, int row);
    void InvalidateRow(int row);
    void InvalidateCol(int col);
    void InvalidateCells(int left, int top, int right, int bottom);
    void InvalidateGrid();

    bool EditorMode() const { return m_editorMode; }
    void SetEditorMode(bool on);
    void ShowEditor();
    void HideEditor();
    // Makes the editor reload its cell the next time it is placed.
    void InvalidateEditor();
    void UpdateEditor();
    TInplaceEdit *InplaceEditor() const { return m_editor; }

    // Moves the pixels of the rows from `fromRow` down by dy; the uncovered
    // strip is repainted.
    void ScrollDataRows(int fromRow, int dy);
    TScrollInfo VertScrollInfo() const { return m_vertInfo; }
    void SetVertScrollInfo(const TScrollInfo &info);
    // Times the bar was set (it is set only when a value changed).
    int VertScrollInfoSets() const { return m_vertInfoSets; }
    // Paints whatever is waiting to be painted now, not at the next pass of
    // the event loop.
    void RepaintNow();
    // Height of the fixed rows with their lines.
    int FixedRowsExtent() const { return FixedHeight(); }

    // The window exists once shown or created on purpose.
    bool HandleAllocated() const { return m_handleAllocated; }
    void CreateHandle();
    bool IsLoading() const { return m_loading; }
    void BeginLoad() { m_loading = true; }
    void EndLoad();

    // When on, the base fills each cell with its colour before the cell painter runs.
    bool FillsCells() const { return m_fillsCells; }
    void SetFillsCells(bool on) { m_fillsCells = on; }

    TNotifyEvent OnDblClick;
    TKeyEvent OnKeyDown;
    TMouseWheelEvent OnMouseWheel;

    // Moves a column with its width and tab stop; AfterColumnMove follows.
    void MoveColumn(int from, int to);

    // A command offered to the focused control: true when this one ran it
    // (or brought its state up to date). The base takes none.
    virtual bool PerformAction(QAction *action);
    virtual bool RefreshActionState(QAction *action);

protected:
    virtual void PaintCell(int col, int row, const QRect &rect, TGridDrawState state);
    virtual void AfterColumnWidthsChange() {}
    virtual void AfterColumnMove(int from, int to);
    virtual void AfterTopLeftMove() {}
    virtual void AfterWindowCreate();
    virtual void AfterLoad() {}
    virtual void AfterResize() {}
    virtual void DecideSizingMode(int x, int y, TGridState &state, int &index, int &sizingPos, int &sizingOfs);
    // Moving a column by dragging its title (goColMoving): may the press at
    // (x, y) start a move of column `origin` (which it may change), may it
    // go to `target` (which it may change), and may the drop happen.
    virtual bool StartColumnMove(int &origin, int x, int y);
    virtual bool CheckColumnMoveTarget(int origin, int &target);
    virtual bool FinishColumnMove(int origin, int target);
    virtual TInplaceEdit *MakeCellEditor();
    virtual bool EditorMayShow();
    virtual QString EditorTextOf(int col, int row);
    virtual void KeepEditorText(int col, int row, const QString &text);
    virtual int EditorTextLimit() { return 0; }
    // The edit mask of the cell's value in the classic notation; empty for none.
    virtual QString EditorMask(int col, int row);
    virtual TEditStyle EditorKind(int col, int row);
    virtual bool EditorAcceptsKey(QChar key);
    virtual bool EditorMayModify() { return true; }
    virtual bool AcceptsKey(int key, TShiftState shift);
    virtual void HandleKeyDown(int &key, TShiftState shift);
    virtual void HandleKeyPress(QChar &key);
    virtual void HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void HandleMouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void HandleVerticalScroll(TScrollCode code, int pos);
    // One step of the scroll timer of a selecting or moving gesture.
    virtual void AutoScrollStep(TGridScrollDirections directions);
    // The release that ends a double click (its press was the double click).
    bool ReleaseEndsDoubleClick() const { return m_releaseEndsDoubleClick; }
    virtual void HandleFocusLoss() {}
    virtual void HandleFontChange() {}
    virtual void HandleParentFontChange();

    bool IsDestroying() const { return m_destroying; }
    void SetDestroying() { m_destroying = true; }

    bool viewportEvent(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void changeEvent(QEvent *e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

    friend class TInplaceEdit;
    friend class TInplaceEditList;

private:
    int ColLineWidth(int col) const;
    int RowLineWidth(int row) const;
    int ColExtent(int col) const;
    int RowExtent(int row) const;
    int FixedWidth() const;
    int FixedHeight() const;
    // Logical left edge of a column, as if laid out left to right.
    int ColLeft(int col) const;
    // Right to left the grid is its own mirror: logical and viewport x
    // coordinates of a pixel, and a logical span [x, x + width) on screen.
    bool Mirrored() const { return layoutDirection() == Qt::RightToLeft; }
    int LogicalX(int x) const { return Mirrored() ? viewport()->width() - 1 - x : x; }
    int ScreenLeft(int x, int width) const { return Mirrored() ? viewport()->width() - x - width : x; }
    int RowTop(int row) const;
    int MaxLeftCol() const;
    void UpdateHorzScrollBar();
    void ApplyVertScrollBar();
    void OnVertAction(int action);
    void OnHorzValue(int value);
    void PlaceEditor();
    void ClampCurrent();
    void PaintLines(QPainter &p, const QRect &cell, int col, int row);

    TGridOptions m_options = 0;
    QVector<int> m_colWidths;
    QVector<int> m_rowHeights;
    QVector<bool> m_tabStops;
    int m_fixedCols = 0;
    int m_fixedRows = 0;
    int m_defaultColWidth = 64;
    int m_defaultRowHeight = 24;
    int m_gridLineWidth = 1;
    int m_col = 0;
    int m_row = 0;
    int m_anchorCol = 0;
    int m_anchorRow = 0;
    int m_topRow = 0;
    int m_leftCol = 0;
    TGridState m_gridState = gsNormal;
    int m_sizingIndex = -1;
    int m_sizingOfs = 0;
    int m_moveFrom = -1;
    int m_moveTo = -1;
    TFont *m_font;
    bool m_parentFont = true;
    QColor m_color;
    QColor m_fixedColor;
    TCanvas m_canvas;
    TInplaceEdit *m_editor = nullptr;
    bool m_editorMode = false;
    int m_editorCol = -1;
    int m_editorRow = -1;
    TScrollInfo m_vertInfo;
    int m_vertInfoSets = 0;
    bool m_releaseEndsDoubleClick = false;
    bool m_settingBar = false;
    bool m_handleAllocated = false;
    bool m_loading = false;
    bool m_destroying = false;
    bool m_fillsCells = true;
};
