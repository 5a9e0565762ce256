#pragma once
// TCustomDBGrid: the data-aware grid. It shows the records of one dataset as
// rows and its fields as columns, with an optional indicator column and title
// row, a current cell, an in-place editor and a set of marked rows. It holds
// no copy of the data: its rows are the data link's record buffer, sized to
// the fully visible rows.
//
// Implementation by concern: DBGrids_core.cpp (construction, options,
// brackets, field map, binding, link state, editing permission, focus),
// DBGrids_draw.cpp (cell painting, layout pass, WriteCellText),
// DBGrids_scroll.cpp (rows, buffer, scroll bar, following the dataset),
// DBGrids_input.cpp (keys, mouse, editor glue).

#include "components/DBGrids_bookmarks.h"
#include "components/DBGrids_columns.h"
#include "components/DBGrids_datalink.h"
#include "platform/grid.h"

#include <QJsonObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

#include <QMenu>
class TDBGridInplaceEdit;

enum TDBGridOption : unsigned {
    dgEditing = 1u << 0,
    dgAlwaysShowEditor = 1u << 1,
    dgTitles = 1u << 2,
    dgIndicator = 1u << 3,
    dgColumnResize = 1u << 4,
    dgColLines = 1u << 5,
    dgRowLines = 1u << 6,
    dgTabs = 1u << 7,
    dgRowSelect = 1u << 8,
    dgAlwaysShowSelection = 1u << 9,
    dgConfirmDelete = 1u << 10,
    dgCancelOnExit = 1u << 11,
    dgMultiSelect = 1u << 12,
};
using TDBGridOptions = unsigned;
// The stored default in every locale.
constexpr TDBGridOptions DefaultDBGridOptions = dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines |
                                                dgRowLines | dgTabs | dgConfirmDelete | dgCancelOnExit;

// Primary language of the user's locale as the old language identifiers
// number it (18 Korean); read once.
int PrimaryLanguageId();
constexpr int LANG_KOREAN = 18;

// The deferred-layout event: the first user event number + 100.
constexpr QEvent::Type DeferredLayoutEvent = QEvent::Type(QEvent::User + 100);
constexpr int IndicatorWidth = 11;

using TDrawDataCellEvent = std::function<void(QObject *sender, const QRect &rect, TField *field, TGridDrawState state)>;
using TDrawColumnCellEvent =
    std::function<void(QObject *sender, const QRect &rect, int dataCol, TColumn *column, TGridDrawState state)>;
using TDBGridClickEvent = std::function<void(TColumn *column)>;
using TMovedEvent = std::function<void(QObject *sender, int fromIndex, int toIndex)>;

// Shared off-screen bitmap of WriteCellText: one per process, counted by grid.
void AddDrawBitmapUser();
void ReleaseDrawBitmapUser();
int DrawBitmapUsers();
QSize DrawBitmapSize();

// Writes a cell's text: directly on a plain background, else through the
// shared bitmap with word breaking.
void WriteCellText(TCanvas &canvas, const QRect &rect, int dx, bool rightToLeft, TAlignment alignment,
                   const QString &text, int dy);

class TCustomDBGrid : public TBaseGrid
{
    Q_OBJECT
public:
    explicit TCustomDBGrid(QWidget *parent = nullptr);
    ~TCustomDBGrid() override;

    TDBGridOptions Options() const { return m_options; }
    void SetOptions(TDBGridOptions value);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool value);
    bool DefaultDrawing() const { return m_defaultDrawing; }
    void SetDefaultDrawing(bool value) { m_defaultDrawing = value; }
    TFont &TitleFont() { return *m_titleFont; }
    void SetTitleFont(const TFont &value);
    TDataSource *DataSource() const;
    void SetDataSource(TDataSource *value);
    TDBGridColumns &Columns();
    void SetColumns(const TDBGridColumns &value);
    TGridDataLink &DataLink();
    TBookmarkList &MarkedRows() { return *m_markedRows; }
    TImeMode ImeMode() const { return m_imeMode; }
    void SetImeMode(TImeMode value) { m_imeMode = value; }
    QString ImeName() const { return m_imeName; }
    void SetImeName(const QString &value) { m_imeName = value; }
    QMenu *PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu *menu) { m_popupMenu = menu; }
    TImageList &Indicators() { return *m_indicators; }
    // The window definition's part of the grid: "Columns", written only while
    // the columns are customized, read back as persistent columns.
    virtual void DeclareStoredProperties(QJsonObject &definition);
    void LoadStoredProperties(const QJsonObject &definition);

    TNotifyEvent OnColEnter;
    TNotifyEvent OnColExit;
    TDrawDataCellEvent OnDrawDataCell;
    TDrawColumnCellEvent OnDrawColumnCell;
    TNotifyEvent OnEditButtonClick;
    TMovedEvent OnColumnMoved;
    TDBGridClickEvent OnCellClick;
    TDBGridClickEvent OnTitleClick;

    int GridToDataColumn(int gridCol) const { return gridCol - m_indicatorOffset; }
    int DataToGridColumn(int dataCol) const { return dataCol + m_indicatorOffset; }
    int CurrentColumnIndex() const { return GridToDataColumn(Col()); }
    TColumn *CurrentColumn();
    TField *CurrentColumnField();
    void GoToField(TField *field);
    void ShiftCurrentColumn(int gridCol, int direction);

    void LockUpdates() { ++m_updateLock; }
    void UnlockUpdates()
    {
        if (m_updateLock > 0)
            --m_updateLock;
    }
    void OpenLayoutBracket();
    void CloseLayoutBracket();
    void DropLayoutBracket();
    bool TryOpenLayoutBracket();
    void PostLayoutRequest();
    bool GrabFocus();
    void RefreshFromData();
    TColumn *ColumnAtLevel(TColumn *column, int depth) const;
    bool FieldUsesRightToLeft(TField *field, TAlignment alignment) const;
    // The field of the grid's dataset that holds a lookup field's key.
    TField *LookupKeyField(const TField *lookup);
    // A field is going away: unbind it from every column and lay out again.
    void FieldRemoved(TField *field);

    int TitleOffset() const { return m_titleOffset; }
    int IndicatorOffset() const { return m_indicatorOffset; }
    int UpdateLock() const { return m_updateLock; }
    int LayoutLock() const { return m_layoutLock; }
    int SelectedRow() const { return m_selectedRow; }
    bool LayoutFromDataset() const { return m_layoutFromDataset; }
    bool UpdateFields() const { return m_updateFields; }
    void SetUpdateFields(bool value) { m_updateFields = value; }
    bool AcquireFocus() const { return m_acquireFocus; }
    void SetAcquireFocus(bool value) { m_acquireFocus = value; }
    const std::vector<TColumn *> &VisibleColumns() const { return m_visibleColumns; }
    QString EditText() const { return m_editText; }
    bool EscapeKeyFlag() const { return m_escapeKeyFlag; }
    QString ImeNameAtWindowCreate() const { return m_windowImeName; }
    TImeMode ImeModeAtWindowCreate() const { return m_windowImeMode; }

    bool EditorAcceptsKey(QChar key) override;
    bool EditorMayModify() override;
    // A grid of nested records floating in a form of its own; no position
    // given means below and right of the current cell.
    static constexpr int NoPopupPosition = -2147483648;
    void OpenPopupEditor(TColumn *column, int x = NoPopupPosition, int y = NoPopupPosition);
    const std::vector<QPointer<TCustomDBGrid>> &SubGrids() const { return m_subGrids; }
    bool IsSubGrid() const { return m_dragKindDock; }
    bool HitsExpandButton(int x, int y, TColumn *&column);
    void AutoScrollStep(TGridScrollDirections directions) override;
    // Runs when the link becomes active (true) or inactive (false).
    virtual void ReactToLinkState(bool value);
    virtual void AfterDataScroll(int distance);
    void AfterRecordChange(TField *field);
    void AfterEditingChange();
    void AdjustRowCount();
    void SyncActiveRow();
    void AdjustScrollBar();
    void RepaintTitles();
    void WriteEditorToField();

protected:
    void AfterLoad() override;
    void AfterWindowCreate() override;
    void DecideSizingMode(int x, int y, TGridState &state, int &index, int &sizingPos, int &sizingOfs) override;
    TInplaceEdit *MakeCellEditor() override;
    bool EditorMayShow() override;
    void PaintCell(int col, int row, const QRect &rect, TGridDrawState state) override;
    virtual void BuildFieldMap();
    virtual bool CellIsHighlighted(int dataCol, int dataRow, const QString &value, TGridDrawState state);
    virtual void RequestLayout();
    virtual void ApplyColumnAttributes();

    virtual void AfterCellClick(TColumn *column);
    virtual void AfterColumnEnter();
    virtual void BeforeColumnExit();
    void AfterColumnMove(int fromIndex, int toIndex) override;
    virtual void AfterEditButtonClick();
    virtual void AfterTitleClick(TColumn *column);
    virtual void PaintColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state);
    virtual void PaintDataCell(const QRect &rect, TField *field, TGridDrawState state);
    virtual TDBGridColumns *MakeColumnCollection();
    virtual TGridDataLink *MakeDataLink();
    // The grid class of pop-up sub-grids: a derived grid makes its own kind.
    virtual TCustomDBGrid *MakeSubGrid(QWidget *parent);

    void AfterColumnWidthsChange() override;
    void AfterTopLeftMove() override;
    void AfterResize() override;
    void HandleVerticalScroll(TScrollCode code, int pos) override;
    void HandleFontChange() override;
    void HandleParentFontChange() override;
    virtual void AfterTitleFontChange();
    void RebuildLayout();
    void HandleLayoutRequest();
    QRect ComputeTitleRect(TColumn *column, int row, TColumn *&headColumn);

    // Steps a marking grid may replace: emptying the marks (and ending a
    // Shift extension) on a move, and the marks a left click in a data row
    // leaves behind.
    virtual void DropMarks();
    virtual void MarkClickedRow(TShiftState shift);

    bool AcceptsKey(int key, TShiftState shift) override;
    void HandleKeyDown(int &key, TShiftState shift) override;
    void HandleKeyPress(QChar &key) override;
    void HandleMouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void HandleMouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void HandleFocusLoss() override;
    QString EditorTextOf(int col, int row) override;
    void KeepEditorText(int col, int row, const QString &text) override;
    int EditorTextLimit() override;
    TEditStyle EditorKind(int col, int row) override;

    bool event(QEvent *e) override;
    void changeEvent(QEvent *e) override;
    void contextMenuEvent(QContextMenuEvent *e) override;

    // Input state shared with the key and mouse handling of derived grids.
    bool m_selecting = false;
    QByteArray m_selectionAnchor;
    bool m_inColumnExit = false;

private:
    friend class TGridDataLink;
    friend class TDBGridInplaceEdit;
    friend class TColumn;
    friend class TDBGridColumns;
    void LoadIndicators();
    void DropStrayTransientColumns();
    void BindColumnsToFieldMap();
    void MeasureTitleRows();
    void PaintTitleCell(int col, int row, QRect rect, TGridDrawState &state, TColumn *column, int textOffset);
    void PaintIndicatorCell(const QRect &rect, int dataRow, int textOffset);
    void WatchMappedFields();
    void FreeSubGrids();
    void UnwatchFields();
    bool RowIsMarked();
    void MoveDataSet(int distance);

    std::unique_ptr<TImageList> m_indicators;
    TFont *m_titleFont;
    bool m_readOnly = false;
    QString m_windowImeName;
    TImeMode m_windowImeMode = imDontCare;
    bool m_escapeKeyFlag = false;
    bool m_layoutFromDataset = false;
    TDBGridOptions m_options = 0;
    int m_titleOffset = 1;
    int m_indicatorOffset = 1;
    int m_updateLock = 0;
    int m_layoutLock = 0;
    bool m_defaultDrawing = true;
    bool m_selfChangingTitleFont = false;
    int m_selectedRow = -1;
    std::unique_ptr<TGridDataLink> m_dataLink;
    QString m_editText;
    std::unique_ptr<TDBGridColumns> m_columns;
    std::vector<TColumn *> m_visibleColumns;
    std::unique_ptr<TBookmarkList> m_markedRows;
    bool m_updateFields = true;
    bool m_acquireFocus = true;
    TImeMode m_imeMode = imDontCare;
    QString m_imeName;
    QPointer<QMenu> m_popupMenu;
    TCoalescedEvent m_layoutEvent{DeferredLayoutEvent};
    // Fields the grid asked to be told of when they are destroyed.
    std::vector<TField *> m_watchedFields;
    std::vector<QPointer<TCustomDBGrid>> m_subGrids;
    bool m_dragKindDock = false;
    std::unique_ptr<TDataSource> m_ownSource;
};
