// The column collection of the data grid: its items, update bracket, state
// and change reports.
#include "components/DBGrids_columns.h"

#include "components/DBGrids_core.h"

#include <functional>

// --- TDBGridColumns ------------------------------------------------------

TDBGridColumns::TDBGridColumns(TCustomDBGrid *grid) : m_grid(grid) {}

TDBGridColumns::~TDBGridColumns()
{
    m_grid = nullptr;
    while (!m_items.empty())
        Free(m_items.size() - 1);
}

int TDBGridColumns::IndexOf(const TColumn *column) const
{
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == column)
            return int(i);
    return -1;
}

std::unique_ptr<TColumn> TDBGridColumns::MakeItem()
{
    return std::make_unique<TColumn>(this);
}

TColumn *TDBGridColumns::Append()
{
    // The new column joins inside the grid's layout bracket, so the grid
    // lays out once with it in place.
    if (m_grid)
        m_grid->OpenLayoutBracket();
    TColumn *c = nullptr;
    try {
        m_items.push_back(MakeItem());
        c = m_items.back().get();
        ItemChanged(nullptr);
    } catch (...) {
        if (m_grid)
            m_grid->CloseLayoutBracket();
        throw;
    }
    if (m_grid)
        m_grid->CloseLayoutBracket();
    return c;
}

TColumn *TDBGridColumns::AppendColumn()
{
    return Append();
}

TColumn *TDBGridColumns::AppendTransientColumn()
{
    m_makingTransient = true;
    TColumn *c = nullptr;
    try {
        c = Append();
    } catch (...) {
        m_makingTransient = false;
        throw;
    }
    m_makingTransient = false;
    return c;
}

void TDBGridColumns::Free(std::size_t index)
{
    std::unique_ptr<TColumn> column = std::move(m_items[index]);
    m_items.erase(m_items.begin() + std::ptrdiff_t(index));
    column->m_collection = nullptr;
    column.reset();
    ItemChanged(nullptr);
}

void TDBGridColumns::Clear()
{
    BeginUpdate();
    while (!m_items.empty())
        Free(m_items.size() - 1);
    EndUpdate();
}

void TDBGridColumns::Delete(int index)
{
    if (index >= 0 && index < Count())
        Free(std::size_t(index));
}

void TDBGridColumns::TakeSettingsFrom(const TDBGridColumns &source)
{
    if (&source == this)
        return;
    BeginUpdate();
    try {
        Clear();
        for (const auto &c : source.m_items)
            AppendColumn()->TakeSettingsFrom(c.get());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TDBGridColumns::MoveItem(int from, int to)
{
    if (from < 0 || from >= Count())
        return;
    to = qBound(0, to, Count() - 1);
    if (from == to)
        return;
    std::unique_ptr<TColumn> c = std::move(m_items[std::size_t(from)]);
    m_items.erase(m_items.begin() + from);
    m_items.insert(m_items.begin() + to, std::move(c));
    ItemChanged(nullptr);
}

TDBGridColumnsState TDBGridColumns::QueryState() const
{
    return !m_items.empty() && m_items.front()->IsPersistent() ? csCustomized : csDefault;
}

void TDBGridColumns::ChangeState(TDBGridColumnsState state)
{
    if (state == QueryState())
        return;
    if (state == csCustomized)
        RegenerateColumns();
    else
        Clear();
}

void TDBGridColumns::RegenerateColumns()
{
    TDataSet *ds = m_grid && m_grid->DataSource() ? m_grid->DataSource()->DataSet() : nullptr;
    if (!ds) {
        Clear();
        return;
    }
    m_grid->OpenLayoutBracket();
    try {
        Clear();
        // Every field, the invisible ones too; sub-fields after their object field.
        std::function<void(const std::vector<TField *> &)> addFieldColumns = [&](const std::vector<TField *> &fields) {
            for (TField *f : fields) {
                AppendColumn()->SetFieldName(f->FullName());
                if (f->DataType() == ftADT || f->DataType() == ftArray)
                    addFieldColumns(f->Fields());
            }
        };
        addFieldColumns(ds->Fields());
    } catch (...) {
        m_grid->CloseLayoutBracket();
        throw;
    }
    m_grid->CloseLayoutBracket();
}

void TDBGridColumns::BeginUpdate()
{
    ++m_updateCount;
}

void TDBGridColumns::EndUpdate()
{
    if (m_updateCount > 0 && --m_updateCount == 0)
        ItemsChanged(nullptr);
}

void TDBGridColumns::ItemChanged(TColumn *column)
{
    if (m_updateCount == 0)
        ItemsChanged(column);
}

void TDBGridColumns::ItemsChanged(TColumn *column)
{
    if (!m_grid || m_grid->IsLoading())
        return;
    if (column) {
        const int gridCol = m_grid->DataToGridColumn(column->Index());
        m_grid->InvalidateCol(gridCol);
        m_grid->SetColWidth(gridCol, column->Width());
    } else
        m_grid->RequestLayout();
}
