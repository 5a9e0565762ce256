#include "components/DBGrids_columns.h"

#include "components/DBGrids_core.h"
#include "platform/application.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <QMenu>

#include <functional>

void RaiseAssignError(const TPersistent *source, const TPersistent &target)
{
    const QString from = source ? source->ClassName() : QStringLiteral("nil");
    throw Exception(QStringLiteral("Cannot assign a %1 to a %2").arg(from, target.ClassName()));
}

namespace {
// The layout bracket of a column's grid for the life of the object.
class LayoutBracket
{
public:
    explicit LayoutBracket(TCustomDBGrid *grid) : m_grid(grid)
    {
        if (m_grid)
            m_grid->OpenLayoutBracket();
    }
    ~LayoutBracket() noexcept(false)
    {
        if (m_grid)
            m_grid->CloseLayoutBracket();
    }

private:
    TCustomDBGrid *m_grid;
};

// Copies a default font into an own one without announcing it.
void CopySilently(TFont &own, const TFont &source)
{
    const QSignalBlocker block(&own);
    own.Assign(source);
}
} // namespace

void ApplyImeMode(QWidget *widget, TImeMode mode)
{
    if (!widget)
        return;
    widget->setAttribute(Qt::WA_InputMethodEnabled, mode != imDisable);
    Qt::InputMethodHints hints = widget->inputMethodHints() & ~Qt::ImhPreferLatin;
    if (mode == imSAlpha || mode == imAlpha)
        hints |= Qt::ImhPreferLatin;
    widget->setInputMethodHints(hints);
    if (widget->hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImEnabled | Qt::ImHints);
}

// --- TColumnTitle ----------------------------------------------------------

TColumnTitle::TColumnTitle(TColumn *column) : m_column(column)
{
    CopySilently(m_font, DefaultFont());
    QObject::connect(&m_font, &TFont::Changed, GuardedSlot([this] { FontChanged(); }));
}

TColumnTitle::~TColumnTitle() = default;

TAlignment TColumnTitle::Alignment() const
{
    return (m_column->AssignedFlags() & avTitleAlignment) ? m_alignment : taLeftJustify;
}

void TColumnTitle::SetAlignment(TAlignment value)
{
    m_column->StoreAssigned(avTitleAlignment, m_alignment, value);
}

QString TColumnTitle::DefaultCaption() const
{
    if (TField *field = m_column->GetBoundField())
        return field->DisplayName();
    return m_column->FieldName();
}

QString TColumnTitle::Caption() const
{
    return (m_column->AssignedFlags() & avTitleCaption) ? m_caption : DefaultCaption();
}

void TColumnTitle::SetCaption(const QString &value)
{
    if (!m_column->IsPersistent()) {
        // A transient column keeps nothing: the field's label takes the text.
        TCustomDBGrid *grid = m_column->Grid();
        TField *field = m_column->GetBoundField();
        if (grid && grid->DataLink().Active() && field)
            field->SetDisplayLabel(value);
        return;
    }
    m_column->StoreAssigned(avTitleCaption, m_caption, value);
}

QColor TColumnTitle::DefaultColor() const
{
    if (TCustomDBGrid *grid = m_column->Grid())
        return grid->FixedColor();
    return clBtnFace();
}

QColor TColumnTitle::Color() const
{
    return (m_column->AssignedFlags() & avTitleColor) ? m_color : DefaultColor();
}

void TColumnTitle::SetColor(const QColor &value)
{
    m_column->StoreAssigned(avTitleColor, m_color, value);
}

TFont &TColumnTitle::DefaultFont() const
{
    if (TCustomDBGrid *grid = m_column->Grid())
        return grid->TitleFont();
    return m_column->Font();
}

void TColumnTitle::RefreshDefaultFont()
{
    if (m_column->m_assigned & avTitleFont)
        return;
    const TFont &def = DefaultFont();
    if (!m_font.SameHandle(def) || m_font.Color() != def.Color())
        CopySilently(m_font, def);
}

TFont &TColumnTitle::Font()
{
    RefreshDefaultFont();
    return m_font;
}

void TColumnTitle::SetFont(const TFont &value)
{
    m_font.Assign(value);
}

void TColumnTitle::FontChanged()
{
    m_column->m_assigned |= avTitleFont;
    m_column->Changed(true);
}

void TColumnTitle::TakeSettingsFrom(const TPersistent *source)
{
    const auto *src = dynamic_cast<const TColumnTitle *>(source);
    if (!src)
        RaiseAssignError(source, *this);
    const TColumnValues flags = src->m_column->AssignedFlags();
    if (flags & avTitleAlignment)
        SetAlignment(src->m_alignment);
    if (flags & avTitleColor)
        SetColor(src->m_color);
    if (flags & avTitleCaption)
        SetCaption(src->m_caption);
    if (flags & avTitleFont)
        SetFont(src->m_font);
}

void TColumnTitle::ResetToDefaults()
{
    const bool fontAssigned = m_column->m_assigned & avTitleFont;
    m_column->m_assigned &= ~(avTitleColor | avTitleCaption | avTitleAlignment | avTitleFont);
    m_caption.clear();
    RefreshDefaultFont();
    m_column->Changed(fontAssigned);
}

// --- TColumn ----------------------------------------------------------------

TColumn::TColumn(TDBGridColumns *collection)
    : m_collection(collection), m_persistent(!collection || !collection->m_makingTransient)
{
    TCustomDBGrid *grid = collection ? collection->Grid() : nullptr;
    LayoutBracket bracket(grid);
    CopySilently(m_font, DefaultFont());
    QObject::connect(&m_font, &TFont::Changed, GuardedSlot([this] { FontChanged(); }));
    m_title = MakeTitle();
}

TColumn::~TColumn() = default;

std::unique_ptr<TColumnTitle> TColumn::MakeTitle()
{
    return std::make_unique<TColumnTitle>(this);
}

int TColumn::Index() const
{
    return m_collection ? m_collection->IndexOf(this) : -1;
}

TCustomDBGrid *TColumn::Grid() const
{
    return m_collection ? m_collection->Grid() : nullptr;
}

void TColumn::Changed(bool allItems)
{
    if (m_collection)
        m_collection->ItemChanged(allItems ? nullptr : this);
}

TField *TColumn::LiveField() const
{
    if (!m_field)
        return nullptr;
    // Fields die with their dataset's automatic field set; a pointer that no
    // longer belongs to the grid's dataset is dropped rather than followed.
    TCustomDBGrid *grid = Grid();
    TDataSet *ds = grid ? grid->DataLink().DataSet() : nullptr;
    if (!ds)
        return nullptr;
    for (TField *f : ds->FieldList())
        if (f == m_field)
            return m_field;
    return nullptr;
}

TField *TColumn::GetBoundField()
{
    if (m_field && !LiveField())
        m_field = nullptr;
    if (!m_field && !m_fieldName.isEmpty()) {
        TCustomDBGrid *grid = Grid();
        TDataSet *ds = grid ? grid->DataLink().DataSet() : nullptr;
        if (ds && (ds->Active() || !ds->DefaultFields()))
            if (TField *f = ds->FindField(m_fieldName))
                BindField(f);
    }
    return m_field;
}

void TColumn::BindField(TField *field)
{
    if (field == m_field)
        return;
    m_field = field;
    if (field)
        m_fieldName = field->FullName();
    else if (!m_persistent) {
        m_fieldName.clear();
        ResetToDefaults();
    }
    Changed(false);
}

void TColumn::SetFieldName(const QString &value)
{
    TField *field = nullptr;
    TCustomDBGrid *grid = Grid();
    if (grid && grid->DataLink().DataSet() && !grid->IsLoading() && !value.isEmpty())
        field = grid->DataLink().DataSet()->FindField(value);
    m_fieldName = value;
    BindField(field);
    Changed(false);
}

QString TColumn::ListCaption() const
{
    return m_fieldName.isEmpty() ? QStringLiteral("TColumn%1").arg(Index()) : m_fieldName;
}

// --- values with defaults --------------------------------------------------

TAlignment TColumn::DefaultAlignment() const
{
    if (TField *f = LiveField())
        return f->Alignment();
    return taLeftJustify;
}

TAlignment TColumn::Alignment() const
{
    return (m_assigned & avAlignment) ? m_alignment : DefaultAlignment();
}

void TColumn::SetAlignment(TAlignment value)
{
    if (!m_persistent) {
        TCustomDBGrid *grid = Grid();
        if (grid && grid->DataLink().Active())
            if (TField *f = GetBoundField())
                f->SetAlignment(value);
        return;
    }
    StoreAssigned(avAlignment, m_alignment, value);
}

void TColumn::SetButtonStyle(TColumnButtonStyle value)
{
    if (value == m_buttonStyle)
        return;
    m_buttonStyle = value;
    Changed(false);
}

QColor TColumn::DefaultColor() const
{
    if (TCustomDBGrid *grid = Grid())
        return grid->Color();
    return clWindow();
}

QColor TColumn::Color() const
{
    return (m_assigned & avColor) ? m_color : DefaultColor();
}

void TColumn::SetColor(const QColor &value)
{
    StoreAssigned(avColor, m_color, value);
}

TFont &TColumn::DefaultFont() const
{
    if (TCustomDBGrid *grid = Grid())
        return grid->Font();
    return m_font;
}

void TColumn::RefreshDefaultFont()
{
    if (!(m_assigned & avFont)) {
        const TFont &def = DefaultFont();
        if (&def != &m_font && !m_font.SameHandle(def))
            CopySilently(m_font, def);
    }
    if (m_title)
        m_title->RefreshDefaultFont();
}

TFont &TColumn::Font()
{
    RefreshDefaultFont();
    return m_font;
}

void TColumn::SetFont(const TFont &value)
{
    m_font.Assign(value);
}

void TColumn::FontChanged()
{
    m_assigned |= avFont;
    if (m_title)
        m_title->RefreshDefaultFont();
    Changed(false);
}

TImeMode TColumn::DefaultImeMode() const
{
    if (TCustomDBGrid *grid = Grid())
        return grid->ImeMode();
    return m_imeMode;
}

TImeMode TColumn::ImeMode() const
{
    return (m_assigned & avImeMode) ? m_imeMode : DefaultImeMode();
}

void TColumn::SetImeMode(TImeMode value)
{
    if ((m_assigned & avImeMode) || value != DefaultImeMode()) {
        m_imeMode = value;
        m_assigned |= avImeMode;
    }
    Changed(false);
}

QString TColumn::DefaultImeName() const
{
    if (TCustomDBGrid *grid = Grid())
        return grid->ImeName();
    return m_imeName;
}

QString TColumn::ImeName() const
{
    return (m_assigned & avImeName) ? m_imeName : DefaultImeName();
}

void TColumn::SetImeName(const QString &value)
{
    if ((m_assigned & avImeName) || value != DefaultImeName()) {
        m_imeName = value;
        m_assigned |= avImeName;
    }
    Changed(false);
}

QStringList &TColumn::PickList()
{
    if (!m_pickList)
        m_pickList = std::make_unique<QStringList>();
    return *m_pickList;
}

void TColumn::SetPickList(const QStringList *value)
{
    if (!value) {
        m_pickList.reset();
        return;
    }
    PickList() = *value;
}

void TColumn::SetPopupMenu(QMenu *menu)
{
    m_popupMenu = menu;
}

bool TColumn::DefaultReadOnly() const
{
    TCustomDBGrid *grid = Grid();
    if (grid && grid->ReadOnly())
        return true;
    TField *f = LiveField();
    return f && f->ReadOnly();
}

bool TColumn::ReadOnly() const
{
    return (m_assigned & avReadOnly) ? m_readOnly : DefaultReadOnly();
}

void TColumn::SetReadOnly(bool value)
{
    if (!m_persistent) {
        TCustomDBGrid *grid = Grid();
        TField *f = GetBoundField();
        if (grid && grid->DataLink().Active() && f) {
            f->SetReadOnly(value);
            return;
        }
    }
    StoreAssigned(avReadOnly, m_readOnly, value);
}

// --- width -------------------------------------------------------------

int TColumn::NaturalWidth()
{
    TCustomDBGrid *grid = Grid();
    if (!grid)
        return 64;
    TField *field = GetBoundField();
    if (!field)
        return grid->DefaultColWidth();
    const TFont &font = Font();
    const int overhang = font.Overhang();
    int result = field->DisplayWidth() * (font.TextWidth(QStringLiteral("0")) - overhang) + overhang + 4;
    if (grid->Options() & dgTitles) {
        const int titleWidth = m_title->Font().TextWidth(m_title->Caption()) + 4;
        result = qMax(result, titleWidth);
    }
    return result;
}

int TColumn::Width() const
{
    if (!IsDisplayed())
        return -1;
    if (m_assigned & avWidth)
        return m_width;
    return const_cast<TColumn *>(this)->NaturalWidth();
}

void TColumn::SetWidth(int value)
{
    TCustomDBGrid *grid = Grid();
    if (!m_persistent && grid) {
        TField *field = GetBoundField();
        if (grid->HandleAllocated() && field && grid->UpdateFields()) {
            const TFont &font = Font();
            const int avg = font.AverageCharWidth();
            field->SetDisplayWidth((value + avg / 2 - font.Overhang() - 3) / avg);
        }
        if (grid->LayoutFromDataset() && !(m_assigned & avWidth))
            return;
    }
    StoreWidth(value);
}

void TColumn::StoreWidth(int value)
{
    if (((m_assigned & avWidth) || value != NaturalWidth()) && value != -1) {
        m_width = value;
        m_assigned |= avWidth;
    }
    Changed(false);
}

// --- visibility and nesting --------------------------------------------

bool TColumn::Visible() const
{
    if (!m_visible)
        return false;
    const TColumn *parent = EnclosingColumn();
    return !parent || parent->Visible();
}

void TColumn::SetVisible(bool value)
{
    if (value == m_visible)
        return;
    m_visible = value;
    Changed(true);
}

bool TColumn::IsUnfoldable() const
{
    TField *f = LiveField();
    return f && (f->DataType() == ftADT || f->DataType() == ftArray);
}

bool TColumn::Expanded() const
{
    return m_expanded && IsUnfoldable();
}

void TColumn::SetExpanded(bool value)
{
    if (value == m_expanded)
        return;
    TCustomDBGrid *grid = Grid();
    TColumn *current = grid ? grid->CurrentColumn() : nullptr;
    const bool wasShowing = current && current->IsDisplayed();
    m_expanded = value;
    Changed(true);
    if (grid && wasShowing && !current->IsDisplayed()) {
        // The current column vanished: nearest column of non-zero width.
        const int gridCol = grid->Col();
        grid->ShiftCurrentColumn(gridCol, value ? 1 : -1);
    }
}

TColumn *TColumn::EnclosingColumn() const
{
    TField *f = LiveField();
    if (!f || !f->ParentField() || !m_collection)
        return nullptr;
    for (int i = Index() - 1; i >= 0; --i) {
        TColumn *c = m_collection->ColumnAt(i);
        if (c->LiveField() == f->ParentField())
            return c;
    }
    return nullptr;
}

int TColumn::NestingLevel() const
{
    const TColumn *parent = EnclosingColumn();
    return parent ? parent->NestingLevel() + 1 : 0;
}

bool TColumn::IsDisplayed() const
{
    if (Expanded() || !m_visible)
        return false;
    for (const TColumn *p = EnclosingColumn(); p; p = p->EnclosingColumn())
        if (!p->Expanded() || !p->m_visible)
            return false;
    return true;
}

// --- copying, defaults, moving -----------------------------------------

void TColumn::TakeSettingsFrom(const TPersistent *source)
{
    const auto *src = dynamic_cast<const TColumn *>(source);
    if (!src)
        RaiseAssignError(source, *this);
    if (m_collection)
        m_collection->BeginUpdate();
    try {
        ResetToDefaults();
        SetFieldName(src->m_fieldName);
        const TColumnValues flags = src->m_assigned;
        if (flags & avColor)
            SetColor(src->m_color);
        if (flags & avWidth)
            SetWidth(src->m_width);
        if (flags & avFont)
            SetFont(src->m_font);
        if (flags & avImeMode)
            SetImeMode(src->m_imeMode);
        if (flags & avImeName)
            SetImeName(src->m_imeName);
        if (flags & avAlignment)
            SetAlignment(src->m_alignment);
        if (flags & avReadOnly)
            SetReadOnly(src->m_readOnly);
        m_title->TakeSettingsFrom(src->m_title.get());
        m_dropDownRows = src->m_dropDownRows;
        m_buttonStyle = src->m_buttonStyle;
        SetPickList(src->m_pickList.get());
        SetPopupMenu(src->m_popupMenu);
        m_visible = src->m_visible;
        m_expanded = src->m_expanded;
    } catch (...) {
        if (m_collection)
            m_collection->EndUpdate();
        throw;
    }
    if (m_collection)
        m_collection->EndUpdate();
}

void TColumn::ResetToDefaults()
{
    const bool fontAssigned = m_assigned & avFont;
    if (m_title)
        m_title->ResetToDefaults();
    m_assigned = 0;
    RefreshDefaultFont();
    m_pickList.reset();
    m_buttonStyle = cbsAuto;
    Changed(fontAssigned);
}

void TColumn::MoveToIndex(int index)
{
    if (!m_collection)
        return;
    TCustomDBGrid *grid = Grid();
    if (m_persistent) {
        LayoutBracket bracket(grid);
        // The column moves with the columns nested right after it.
        const int from = Index();
        int children = 0;
        while (from + children + 1 < m_collection->Count()) {
            TColumn *c = m_collection->ColumnAt(from + children + 1);
            bool nested = false;
            for (TColumn *p = c->EnclosingColumn(); p; p = p->EnclosingColumn())
                if (p == this)
                    nested = true;
            if (!nested)
                break;
            ++children;
        }
        index = qBound(0, index, m_collection->Count() - 1);
        if (index > from)
            index = qMax(from, index - children);
        auto &items = m_collection->m_items;
        std::vector<std::unique_ptr<TColumn>> group;
        for (int i = 0; i <= children; ++i)
            group.push_back(std::move(items[std::size_t(from + i)]));
        items.erase(items.begin() + from, items.begin() + from + children + 1);
        items.insert(items.begin() + qMin(index, int(items.size())), std::make_move_iterator(group.begin()),
                     std::make_move_iterator(group.end()));
        Changed(true);
        return;
    }
    // A transient column follows its field's place in the dataset: the field
    // takes the place of the target column's field, so the next layout of a
    // default grid keeps the new order.
    if (grid && grid->DataLink().Active() && grid->TryOpenLayoutBracket()) {
        try {
            const int target = qBound(0, index, m_collection->Count() - 1);
            TColumn *at = grid->ColumnAtLevel(m_collection->ColumnAt(target), NestingLevel());
            TField *mine = GetBoundField();
            if (TField *theirs = at ? at->GetBoundField() : nullptr; mine && theirs && mine != theirs)
                mine->SetIndex(theirs->Index());
            m_collection->MoveItem(Index(), index);
        } catch (...) {
            grid->CloseLayoutBracket();
            throw;
        }
        grid->CloseLayoutBracket();
        return;
    }
    m_collection->MoveItem(Index(), index);
}
