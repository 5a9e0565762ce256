#pragma once
// Shared pieces of the data grid tests: an editable in-memory dataset of
// goods, its data source, and a grid that counts its layout passes.

#include "components/DBGrids.h"
#include "data/dataset_mem.h"

#include <QApplication>
#include <QTest>

namespace gridtest {

// The options the catalogue's own grids run with.
constexpr TDBGridOptions SystemGridOptions = dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines |
                                             dgTabs | dgRowSelect | dgAlwaysShowSelection | dgConfirmDelete |
                                             dgCancelOnExit | dgMultiSelect;

// Counts layout passes (each runs the column attributes once) and column changes.
class CountingColumns : public TDBGridColumns
{
public:
    using TDBGridColumns::TDBGridColumns;
    int columnChanges = 0;
    int wholeChanges = 0;
    void ItemsChanged(TColumn *column) override
    {
        if (column)
            ++columnChanges;
        else
            ++wholeChanges;
        TDBGridColumns::ItemsChanged(column);
    }
};

class TestGrid : public TCustomDBGrid
{
public:
    explicit TestGrid(QWidget *parent = nullptr) : TCustomDBGrid(parent) {}
    int layouts = 0;
    CountingColumns &Counting() { return static_cast<CountingColumns &>(Columns()); }
    using TCustomDBGrid::AfterColumnMove;
    using TCustomDBGrid::AfterColumnWidthsChange;
    using TCustomDBGrid::RequestLayout;

protected:
    void ApplyColumnAttributes() override
    {
        ++layouts;
        TCustomDBGrid::ApplyColumnAttributes();
    }
    TDBGridColumns *MakeColumnCollection() override { return new CountingColumns(this); }
};

// Resizes and shows a top-level widget; false when it never gets exposed.
[[nodiscard]] inline bool ShowExposed(QWidget &widget, int width = 400, int height = 300)
{
    widget.resize(width, height);
    widget.show();
    return QTest::qWaitForWindowExposed(&widget);
}

// id, name (string 20), price (float); rows id 1..count.
inline void FillGoods(TMemDataSet &ds, int count)
{
    ds.AddColumn(QStringLiteral("id"), ftInteger);
    ds.AddColumn(QStringLiteral("name"), ftString, 20);
    ds.AddColumn(QStringLiteral("price"), ftFloat);
    for (int i = 1; i <= count; ++i)
        ds.AppendRow({i, QStringLiteral("good %1").arg(i), i * 10.5});
}

struct Fixture {
    TMemDataSet ds;
    TDataSource source;
    TestGrid grid;
    explicit Fixture(int rows = 5, bool open = true, bool show = true)
    {
        FillGoods(ds, rows);
        source.SetDataSet(&ds);
        grid.resize(400, 300);
        if (show) {
            grid.show();
            (void)QTest::qWaitForWindowExposed(&grid);
        }
        grid.SetDataSource(&source);
        if (open)
            ds.Open();
    }
    QStringList ColumnNames()
    {
        QStringList names;
        for (int i = 0; i < grid.Columns().Count(); ++i)
            names << grid.Columns()[i]->FieldName();
        return names;
    }
};

} // namespace gridtest
