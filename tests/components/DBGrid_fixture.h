#pragma once
// Shared pieces of the marking grid tests: a shown result grid over an
// in-memory list of goods, with helpers for keys, clicks, the wheel and the
// marked rows.

#include "components/DBGrids_fixture.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <vector>

namespace markgrid {

// The options of the catalogue's result grids, read-only.
constexpr TDBGridOptions ResultGridOptions = gridtest::SystemGridOptions;

inline QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}

inline void ShowGrid(TDBGrid &grid, TDataSource &source)
{
    (void)gridtest::ShowExposed(grid);
    grid.SetDataSource(&source);
    grid.SetOptions(ResultGridOptions);
    grid.SetReadOnly(true);
    grid.activateWindow();
    grid.setFocus();
}

// Record numbers of the grid's marked rows, top to bottom; the current
// record stays where it was.
inline std::vector<int> MarkedRecNos(TDBGrid &grid, TDataSet &ds)
{
    std::vector<int> rows;
    const QByteArray here = ds.Bookmark();
    ds.DisableControls();
    for (int i = 0; i < grid.MarkedRows().MarkedCount(); ++i) {
        ds.GotoBookmark(grid.MarkedRows().MarkedBookmarkAt(i));
        rows.push_back(ds.RecNo());
    }
    ds.GotoBookmark(here);
    ds.EnableControls();
    return rows;
}

// A result grid over goods id 1..rows, name "good N", price N * 10.5.
struct Goods {
    TMemDataSet ds;
    TDataSource source;
    TDBGrid grid;
    explicit Goods(int rows = 40)
    {
        gridtest::FillGoods(ds, rows);
        source.SetDataSet(&ds);
        ShowGrid(grid, source);
        ds.Open();
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(&grid, key, mods); }
    void Click(int row, Qt::KeyboardModifiers mods = Qt::NoModifier, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(grid.viewport(), button, mods, grid.CellRect(2, row).center());
    }
    std::vector<int> Marked() { return MarkedRecNos(grid, ds); }
    void Wheel(int delta, Qt::KeyboardModifiers mods = Qt::NoModifier, QPoint angle = {})
    {
        const QPointF pos = grid.viewport()->rect().center();
        QWheelEvent e(pos, grid.viewport()->mapToGlobal(pos), QPoint(), angle.isNull() ? QPoint(0, delta) : angle,
                      Qt::NoButton, mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid.viewport(), &e);
    }
};

inline std::vector<int> Rows(std::initializer_list<int> rows)
{
    return rows;
}

} // namespace markgrid
