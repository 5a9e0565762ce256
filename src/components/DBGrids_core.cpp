#include "components/DBGrids_core.h"

#include "components/DBGrids_inplace.h"
#include "platform/application.h"

#include <QContextMenuEvent>
#include <QLocale>
#include <QMenu>

int PrimaryLanguageId()
{
    static const int id = QLocale::system().language() == QLocale::Korean ? LANG_KOREAN : 9;
    return id;
}

// --- indicator glyphs ------------------------------------------------------

namespace {
// 6 x 11 pictures: '.' white (transparent), 'b' pure blue, 'k' black.
const char *const GlyphArrow[11] = {"......", "b.....", "bb....", "bbb...", "bbbb..", "bbbbb.",
                                    "bbbb..", "bbb...", "bb....", "b.....", "......"};
const char *const GlyphEdit[11] = {"......", "kk.kk.", "..k...", "..k...", "..k...", "..k...",
                                   "..k...", "..k...", "..k...", "kk.kk.", "......"};
const char *const GlyphInsert[11] = {"......", "......", "......", "k.k.k.", ".kkk..", "kkkkk.",
                                     ".kkk..", "k.k.k.", "......", "......", "......"};
const char *const GlyphMultiDot[11] = {"......", "......", "......", "......", ".bb...", "bbbb..",
                                       "bbbb..", ".bb...", "......", "......", "......"};
const char *const GlyphMultiArrow[11] = {"b.....", "bb....", "b.b...", "b..b..", "b.bbb.", "bbbbbb",
                                         "b.bbb.", "b..b..", "b.b...", "bb....", "b....."};

QImage GlyphImage(const char *const rows[11])
{
    QImage img(6, 11, QImage::Format_RGB32);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 6; ++x) {
            const char c = rows[y][x];
            img.setPixel(x, y, c == 'b' ? qRgb(0, 0, 255) : c == 'k' ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    return img;
}
} // namespace

void TCustomDBGrid::LoadIndicators()
{
    const QImage first = GlyphImage(GlyphArrow);
    m_indicators = std::make_unique<TImageList>(first.width(), first.height());
    m_indicators->AddMasked(first, Qt::white);
    for (const auto *glyph : {GlyphEdit, GlyphInsert, GlyphMultiDot, GlyphMultiArrow})
        m_indicators->AddMasked(GlyphImage(glyph), Qt::white);
}

// --- construction ----------------------------------------------------------

namespace {
// The base grid's options that carry out the data grid's ones.
TGridOptions BaseGridOptions(TDBGridOptions options)
{
    TGridOptions base = 0;
    if (options & dgEditing)
        base |= goEditing;
    if (options & dgAlwaysShowEditor)
        base |= goAlwaysShowEditor;
    if (options & dgColumnResize)
        base |= goColSizing;
    if (options & dgColLines)
        base |= goFixedVertLine | goVertLine;
    if (options & dgRowLines)
        base |= goFixedHorzLine | goHorzLine;
    if (options & dgTabs)
        base |= goTabs;
    if (options & dgRowSelect)
        base |= goRowSelect;
    return base;
}
} // namespace

TCustomDBGrid::TCustomDBGrid(QWidget *parent) : TBaseGrid(parent), m_titleFont(new TFont(this))
{
    SetFillsCells(false);
    LoadIndicators();
    m_options = DefaultDBGridOptions;
    if (PrimaryLanguageId() == LANG_KOREAN)
        m_options |= dgAlwaysShowEditor;
    AddDrawBitmapUser();
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SetGridOptions(BaseGridOptions(m_options));
    // Columns and the data link are made on first use, so that a derived
    // grid's factories take effect.
    SetRowCount(2);
    SetColCount(2);
    SetColor(clWindow());
    m_titleFont->Assign(Font());
    connect(m_titleFont, &TFont::Changed, this, GuardedSlot([this] { AfterTitleFontChange(); }));
    m_markedRows = std::make_unique<TBookmarkList>(this);
    HideEditor();
}

TCustomDBGrid::~TCustomDBGrid()
{
    SetDestroying();
    UnwatchFields();
    m_layoutEvent.Discard(this);
    m_columns.reset();
    m_visibleColumns.clear();
    m_dataLink.reset();
    m_indicators.reset();
    m_markedRows.reset();
    ReleaseDrawBitmapUser();
}

TDBGridColumns *TCustomDBGrid::MakeColumnCollection()
{
    return new TDBGridColumns(this);
}

TGridDataLink *TCustomDBGrid::MakeDataLink()
{
    return new TGridDataLink(this);
}

TDBGridColumns &TCustomDBGrid::Columns()
{
    if (!m_columns)
        m_columns.reset(MakeColumnCollection());
    return *m_columns;
}

void TCustomDBGrid::SetColumns(const TDBGridColumns &value)
{
    Columns().TakeSettingsFrom(value);
}

TGridDataLink &TCustomDBGrid::DataLink()
{
    if (!m_dataLink)
        m_dataLink.reset(MakeDataLink());
    return *m_dataLink;
}

void TCustomDBGrid::AfterWindowCreate()
{
    LockUpdates();
    TBaseGrid::AfterWindowCreate();
    UnlockUpdates();
    AdjustRowCount();
    SyncActiveRow();
    AdjustScrollBar();
    m_windowImeName = m_imeName;
    m_windowImeMode = m_imeMode;
}

void TCustomDBGrid::AfterLoad()
{
    if (Columns().Count() > 0)
        SetColCount(Columns().Count());
    RequestLayout();
}

void TCustomDBGrid::SetReadOnly(bool value)
{
    if (value == m_readOnly)
        return;
    m_readOnly = value;
    // Columns without a read-only value of their own follow the grid, and
    // tab stops follow the columns.
    RequestLayout();
}

// --- options -----------------------------------------------------------------

void TCustomDBGrid::SetOptions(TDBGridOptions value)
{
    if (value == m_options)
        return;
    if (value & dgRowSelect)
        value &= ~(dgEditing | dgAlwaysShowEditor);
    SetGridOptions(BaseGridOptions(value));
    if ((m_options & dgMultiSelect) && !(value & dgMultiSelect))
        m_markedRows->ClearMarks();
    constexpr TDBGridOptions relayout = dgEditing | dgAlwaysShowEditor | dgTitles | dgIndicator | dgColLines |
                                        dgRowLines | dgRowSelect | dgAlwaysShowSelection;
    const TDBGridOptions changed = m_options ^ value;
    m_options = value;
    if (changed & relayout)
        RequestLayout();
}

// --- brackets ----------------------------------------------------------------

void TCustomDBGrid::OpenLayoutBracket()
{
    LockUpdates();
    if (m_layoutLock == 0)
        Columns().BeginUpdate();
    ++m_layoutLock;
}

void TCustomDBGrid::CloseLayoutBracket()
{
    if (m_layoutLock <= 0)
        return;
    struct Release {
        TCustomDBGrid *g;
        ~Release()
        {
            --g->m_layoutLock;
            g->UnlockUpdates();
        }
    } release{this};
    if (m_layoutLock == 1) {
        try {
            RebuildLayout();
        } catch (...) {
            Columns().EndUpdate();
            throw;
        }
        // Its whole-collection change asks for a layout that the still held lock refuses.
        Columns().EndUpdate();
    }
}

void TCustomDBGrid::DropLayoutBracket()
{
    if (m_layoutLock <= 0)
        return;
    if (m_layoutLock == 1)
        Columns().EndUpdate();
    --m_layoutLock;
    UnlockUpdates();
}

bool TCustomDBGrid::TryOpenLayoutBracket()
{
    if (m_updateLock != 0 || m_layoutLock != 0)
        return false;
    OpenLayoutBracket();
    return true;
}

void TCustomDBGrid::RequestLayout()
{
    if (TryOpenLayoutBracket())
        CloseLayoutBracket();
}

void TCustomDBGrid::PostLayoutRequest()
{
    if (HandleAllocated())
        m_layoutEvent.Post(this);
    DropLayoutBracket();
}

bool TCustomDBGrid::event(QEvent *e)
{
    if (e->type() == DeferredLayoutEvent) {
        m_layoutEvent.Delivered();
        GuardedEvent([this] { HandleLayoutRequest(); });
        return true;
    }
    return TBaseGrid::event(e);
}

void TCustomDBGrid::HandleLayoutRequest()
{
    if (TryOpenLayoutBracket())
        CloseLayoutBracket();
    else if (HandleAllocated())
        m_layoutEvent.Post(this);
}

// --- field map and binding -------------------------------------------------------

void TCustomDBGrid::BuildFieldMap()
{
    TGridDataLink &link = DataLink();
    TDataSet *ds = link.DataSet();
    if (Columns().QueryState() == csCustomized) {
        link.SetSparseMap(true);
        for (int i = 0; i < Columns().Count(); ++i)
            link.MapField(Columns().ColumnAt(i)->FieldName());
        return;
    }
    link.SetSparseMap(false);
    for (TField *f : ds->FieldList())
        if (f->Visible())
            link.MapField(f->FullName());
}

void TCustomDBGrid::DropStrayTransientColumns()
{
    TDBGridColumns &cols = Columns();
    bool sawTransient = false;
    for (int i = 0; i < cols.Count(); ++i) {
        if (!cols[i]->IsPersistent())
            sawTransient = true;
        else if (sawTransient) {
            for (int j = cols.Count() - 1; j >= 0; --j)
                if (!cols[j]->IsPersistent())
                    cols.Delete(j);
            return;
        }
    }
}

void TCustomDBGrid::BindColumnsToFieldMap()
{
    TDBGridColumns &cols = Columns();
    TGridDataLink &link = DataLink();
    if (cols.QueryState() == csCustomized) {
        // Each column finds its field again by name when first asked.
        for (int i = 0; i < cols.Count(); ++i)
            cols[i]->BindField(nullptr);
        return;
    }
    auto isFieldMapped = [&link](TField *f) {
        for (int i = 0; i < link.FieldCount(); ++i)
            if (link.MappedField(i) == f)
                return true;
        return false;
    };
    if (link.Active() || !link.UsesDefaultFields()) {
        for (int i = cols.Count() - 1; i >= 0; --i) {
            TField *f = cols[i]->GetBoundField();
            if (!f || !isFieldMapped(f))
                cols.Delete(i);
        }
    } else
        cols.Clear();
    const int entries = link.FieldCount();
    // An empty map still leaves one (unbound) column when none is left.
    const int passes = (entries == 0 && cols.Count() == 0) ? 1 : entries;
    for (int i = 0; i < passes; ++i) {
        TField *f = link.MappedField(i);
        TColumn *col = nullptr;
        if (f) {
            for (int j = i; j < cols.Count() && !col; ++j)
                if (cols[j]->GetBoundField() == f)
                    col = cols[j];
            if (!col) {
                col = cols.AppendTransientColumn();
                col->BindField(f);
            }
        } else
            col = cols.AppendTransientColumn();
        cols.MoveItem(col->Index(), i);
    }
}

// --- columns and fields --------------------------------------------------------

TColumn *TCustomDBGrid::CurrentColumn()
{
    const int i = CurrentColumnIndex();
    return i >= 0 && i < Columns().Count() ? Columns()[i] : nullptr;
}

TField *TCustomDBGrid::CurrentColumnField()
{
    TColumn *c = CurrentColumn();
    return c ? c->GetBoundField() : nullptr;
}

void TCustomDBGrid::GoToField(TField *field)
{
    if (!field)
        return;
    for (int i = 0; i < Columns().Count(); ++i)
        if (Columns()[i]->GetBoundField() == field)
            ShiftCurrentColumn(DataToGridColumn(i), 0);
}

TColumn *TCustomDBGrid::ColumnAtLevel(TColumn *column, int depth) const
{
    while (column && column->NestingLevel() > depth)
        column = column->EnclosingColumn();
    return column;
}

bool TCustomDBGrid::FieldUsesRightToLeft(TField *field, TAlignment alignment) const
{
    Q_UNUSED(alignment);
    // Every field's alignment may be mirrored; only the control decides.
    return layoutDirection() == Qt::RightToLeft && field;
}

TField *TCustomDBGrid::LookupKeyField(const TField *lookup)
{
    TDataSet *ds = DataLink().DataSet();
    return ds ? ds->FindField(lookup->KeyFields) : nullptr;
}

void TCustomDBGrid::FieldRemoved(TField *field)
{
    bool affected = false;
    OpenLayoutBracket();
    for (int i = 0; i < Columns().Count(); ++i)
        if (Columns()[i]->m_field == field) {
            Columns()[i]->BindField(nullptr);
            affected = true;
        }
    TDataSet *ds = DataLink().DataSet();
    if (affected && ds && !ds->Destroying() && !ds->ControlsDisabled())
        CloseLayoutBracket();
    else
        PostLayoutRequest();
}

// --- data source and link state ---------------------------------------------------

TDataSource *TCustomDBGrid::DataSource() const
{
    return m_dataLink ? m_dataLink->DataSource() : nullptr;
}

void TCustomDBGrid::SetDataSource(TDataSource *value)
{
    if (value == DataSource())
        return;
    if (value)
        CheckBidirectional(value->DataSet());
    m_markedRows->ClearMarks();
    DataLink().SetDataSource(value);
}

void TCustomDBGrid::ReactToLinkState(bool value)
{
    if (!value)
        HideEditor();
    m_markedRows->SetLinkActive(value);
    auto after = [this, value] {
        FreeSubGrids();
        AdjustScrollBar();
        if (value && (m_options & dgAlwaysShowEditor))
            ShowEditor();
    };
    try {
        RequestLayout();
    } catch (...) {
        after();
        throw;
    }
    after();
}

void TCustomDBGrid::RefreshFromData()
{
    if (!HandleAllocated())
        return;
    AdjustRowCount();
    AdjustScrollBar();
    SyncActiveRow();
    InvalidateEditor();
    InvalidateGrid();
}

// --- columns moved and sized ----------------------------------------------------

void TCustomDBGrid::AfterColumnMove(int fromIndex, int toIndex)
{
    const int from = GridToDataColumn(fromIndex), to = GridToDataColumn(toIndex);
    if (from >= 0 && from < Columns().Count())
        Columns()[from]->MoveToIndex(to);
    if (OnColumnMoved)
        OnColumnMoved(this, from, to);
}

void TCustomDBGrid::AfterColumnWidthsChange()
{
    TBaseGrid::AfterColumnWidthsChange();
    if ((DataLink().Active() || Columns().QueryState() == csCustomized) && TryOpenLayoutBracket()) {
        struct Close {
            TCustomDBGrid *g;
            ~Close() noexcept(false) { g->CloseLayoutBracket(); }
        } close{this};
        for (int c = m_indicatorOffset; c < ColCount(); ++c) {
            const int i = c - m_indicatorOffset;
            if (i < Columns().Count())
                Columns()[i]->SetWidth(ColWidth(c));
        }
    }
}

// --- editing permission ---------------------------------------------------------

bool TCustomDBGrid::EditorAcceptsKey(QChar key)
{
    TField *f = DataLink().Active() ? CurrentColumnField() : nullptr;
    return f && f->IsValidChar(key);
}

bool TCustomDBGrid::EditorMayModify()
{
    TGridDataLink &link = DataLink();
    if (m_readOnly || !link.Active() || link.ReadOnly)
        return false;
    TColumn *col = CurrentColumn();
    if (!col || col->ReadOnly())
        return false;
    TField *f = col->GetBoundField();
    if (!f || !f->CanModify())
        return false;
    switch (f->DataType()) {
    // Binary-like values have no editable text of their own.
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftCursor:
    case ftADT:
    case ftArray:
    case ftReference:
    case ftDataSet:
        if (!f->OnSetText)
            return false;
        break;
    default: break;
    }
    link.Edit();
    if (link.DataSet()->State() == dsEdit || link.DataSet()->State() == dsInsert) {
        link.MarkModified();
        return true;
    }
    return false;
}

bool TCustomDBGrid::EditorMayShow()
{
    return m_layoutLock == 0 && TBaseGrid::EditorMayShow();
}

TInplaceEdit *TCustomDBGrid::MakeCellEditor()
{
    return new TDBGridInplaceEdit(this);
}

// --- focus and popup ---------------------------------------------------------------

bool TCustomDBGrid::GrabFocus()
{
    if (!m_acquireFocus || !isEnabled() || !isVisible() || focusPolicy() == Qt::NoFocus)
        return true;
    setFocus(Qt::MouseFocusReason);
    // The window's focus widget: right also while another window is active.
    const QWidget *fw = window()->focusWidget();
    return fw == this || fw == viewport() || (InplaceEditor() && fw == static_cast<QWidget *>(InplaceEditor()));
}

void TCustomDBGrid::contextMenuEvent(QContextMenuEvent *e)
{
    // Mouse menus arrive through the viewport, in its coordinates.
    const QPoint pt = e->reason() == QContextMenuEvent::Mouse ? e->pos() : QPoint(-1, -1);
    const QPoint cell = MouseCoord(pt.x(), pt.y());
    const int dataCol = GridToDataColumn(cell.x());
    if (cell.x() >= m_indicatorOffset && cell.y() >= 0 && dataCol < Columns().Count()) {
        // A Shift extension under way goes on after the menu.
        if (QMenu *menu = Columns()[dataCol]->PopupMenu()) {
            menu->popup(e->globalPos());
            e->accept();
            return;
        }
    }
    if (m_popupMenu) {
        m_popupMenu->popup(e->globalPos());
        e->accept();
        return;
    }
    e->ignore();
}

// --- events ------------------------------------------------------------------------

void TCustomDBGrid::AfterCellClick(TColumn *column)
{
    if (OnCellClick)
        OnCellClick(column);
}

void TCustomDBGrid::AfterColumnEnter()
{
    // Text is typed into the cell editor; the grid itself takes keys only.
    if (TColumn *column = CurrentColumn(); column && InplaceEditor())
        ApplyImeMode(InplaceEditor(), column->ImeMode());
    if (OnColEnter)
        OnColEnter(this);
}

void TCustomDBGrid::BeforeColumnExit()
{
    if (OnColExit)
        OnColExit(this);
}

void TCustomDBGrid::AfterEditButtonClick()
{
    if (OnEditButtonClick)
        OnEditButtonClick(this);
    else
        OpenPopupEditor(CurrentColumn());
}

void TCustomDBGrid::AfterTitleClick(TColumn *column)
{
    if (OnTitleClick)
        OnTitleClick(column);
}

void TCustomDBGrid::PaintColumnCell(const QRect &rect, int dataCol, TColumn *column, TGridDrawState state)
{
    if (OnDrawColumnCell)
        OnDrawColumnCell(this, rect, dataCol, column, state);
}

void TCustomDBGrid::PaintDataCell(const QRect &rect, TField *field, TGridDrawState state)
{
    if (OnDrawDataCell)
        OnDrawDataCell(this, rect, field, state);
}
