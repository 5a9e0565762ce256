// Keys and mouse of the data grid core: every vertical move is a move of the
// dataset; marks follow the base rules.
#include "DBGrids_fixture.h"

#include <gtest/gtest.h>

using namespace gridtest;

namespace {
void Key(TestGrid &grid, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QTest::keyClick(&grid, key, mods);
}

struct Shown : Fixture {
    explicit Shown(int rows = 40) : Fixture(rows)
    {
        grid.activateWindow();
        grid.setFocus();
        QApplication::processEvents();
    }
};
} // namespace

TEST(DBGridKeys, VerticalKeysMoveTheDataset)
{
    Shown f;
    Key(f.grid, Qt::Key_Down);
    Key(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds.RecNo(), 3);
    EXPECT_EQ(f.grid.Row(), 3);
    Key(f.grid, Qt::Key_Up);
    EXPECT_EQ(f.ds.RecNo(), 2);
    Key(f.grid, Qt::Key_PageDown);
    EXPECT_EQ(f.ds.RecNo(), 2 + f.grid.VisibleRowCount());
    Key(f.grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecNo(), 40);
    EXPECT_EQ(f.grid.Row(), f.grid.RowCount() - 1);
    Key(f.grid, Qt::Key_Up, Qt::ControlModifier); // first record shown
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), 0);
    Key(f.grid, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecNo(), 1);
}

TEST(DBGridKeys, ColumnsByTabArrowsAndHome)
{
    Shown f;
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 0);
    Key(f.grid, Qt::Key_Tab);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 1);
    Key(f.grid, Qt::Key_Right);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 2);
    Key(f.grid, Qt::Key_Tab); // wraps to the next record
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 0);
    EXPECT_EQ(f.ds.RecNo(), 2);
    Key(f.grid, Qt::Key_End);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 2);
    Key(f.grid, Qt::Key_Home);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 0);
}

TEST(DBGridKeys, ReadOnlyRowSelectGridNeverAppendsOrInserts)
{
    Shown f(3);
    f.grid.SetOptions(8188);
    f.grid.SetReadOnly(true);
    Key(f.grid, Qt::Key_End, Qt::ControlModifier);
    Key(f.grid, Qt::Key_Down);
    Key(f.grid, Qt::Key_Insert);
    EXPECT_EQ(f.ds.State(), dsBrowse);
    EXPECT_EQ(f.ds.RecordCount(), 3);
    // With row selection Left and Right step through the records.
    Key(f.grid, Qt::Key_Left);
    EXPECT_EQ(f.ds.RecNo(), 2);
}

TEST(DBGridKeys, ShiftDownMarksAndShiftUpUnmarksTheLast)
{
    Shown f(10);
    f.grid.SetOptions(8188);
    for (int i = 0; i < 3; ++i)
        Key(f.grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 4);
    Key(f.grid, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 3);
    EXPECT_EQ(f.ds.RecNo(), 3);
    Key(f.grid, Qt::Key_Down); // a plain move drops the marks in the core
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 0);
}

TEST(DBGridKeys, EscapeCancelsAnUntypedEdit)
{
    Shown f(3);
    f.ds.Edit();
    Key(f.grid, Qt::Key_Escape);
    EXPECT_EQ(f.ds.State(), dsBrowse);
}

TEST(DBGridMouse, ClicksMoveTheRecordAndFireTheEvents)
{
    Shown f(10);
    f.grid.SetOptions(8188);
    TColumn *titleClicked = nullptr;
    int cellClicks = 0;
    f.grid.OnTitleClick = [&](TColumn *c) { titleClicked = c; };
    f.grid.OnCellClick = [&](TColumn *) { ++cellClicks; };
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.grid.CellRect(2, 4).center());
    EXPECT_EQ(f.ds.RecNo(), 4);
    EXPECT_EQ(cellClicks, 1);
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 1); // the core leaves one mark
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ControlModifier, f.grid.CellRect(2, 6).center());
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 2);
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.grid.CellRect(3, 0).center());
    EXPECT_EQ(titleClicked, f.grid.Columns()[2]);
    // Not for the indicator's title cell.
    titleClicked = nullptr;
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.grid.CellRect(0, 0).center());
    EXPECT_EQ(titleClicked, nullptr);
    int dbl = 0;
    f.grid.OnDblClick = [&](QObject *) { ++dbl; };
    QTest::mouseDClick(f.grid.viewport(), Qt::LeftButton, {}, f.grid.CellRect(2, 2).center());
    EXPECT_EQ(dbl, 1);
}

TEST(DBGridPaint, DrawEventsAndGlyphs)
{
    Shown f(10);
    f.grid.SetOptions(8188);
    f.ds.SetRecNo(3);
    f.grid.MarkedRows().SetCurrentRowMarked(true);
    f.ds.SetRecNo(5);
    f.grid.MarkedRows().SetCurrentRowMarked(true);
    f.ds.SetRecNo(3);
    int columnCells = 0, dataCells = 0;
    f.grid.OnDrawColumnCell = [&](QObject *, const QRect &, int, TColumn *, TGridDrawState) { ++columnCells; };
    f.grid.OnDrawDataCell = [&](QObject *, const QRect &, TField *, TGridDrawState) { ++dataCells; };
    f.grid.SetDefaultDrawing(false);
    const QImage shot = f.grid.viewport()->grab().toImage();
    const int records = f.grid.DataLink().RecordCount();
    EXPECT_EQ(columnCells, 3 * records);
    EXPECT_EQ(dataCells, 3 * records); // default columns
    // The indicator: arrow-and-dot glyph (4) on row 3, dot (3) on row 5, nothing on row 4.
    auto hasBlue = [&](int row) {
        const QRect r = f.grid.CellRect(0, row);
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (shot.pixel(x, y) == qRgb(0, 0, 255))
                    return true;
        return false;
    };
    EXPECT_TRUE(hasBlue(3));
    EXPECT_TRUE(hasBlue(5));
    EXPECT_FALSE(hasBlue(4));
    EXPECT_EQ(f.grid.SelectedRow(), 3);
    // Customized columns: only the column event fires.
    f.grid.Columns().ChangeState(csCustomized);
    columnCells = dataCells = 0;
    f.grid.viewport()->grab();
    EXPECT_EQ(columnCells, 3 * records);
    EXPECT_EQ(dataCells, 0);
}

TEST(DBGridKeys, AGridThatKeepsMarksReplacesOnlyTheMarkSteps)
{
    struct Keeping : TestGrid {
        void DropMarks() override {}
        void MarkClickedRow(TShiftState shift) override
        {
            m_selecting = false;
            if (shift & ssCtrl)
                MarkedRows().SetCurrentRowMarked(!MarkedRows().IsCurrentRowMarked());
        }
    };
    TMemDataSet ds;
    FillGoods(ds, 10);
    TDataSource source;
    source.SetDataSet(&ds);
    Keeping grid;
    grid.resize(400, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.SetDataSource(&source);
    grid.SetOptions(8188);
    ds.Open();
    grid.setFocus();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ControlModifier, grid.CellRect(1, 2).center());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.CellRect(1, 4).center());
    EXPECT_EQ(ds.RecNo(), 4);
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_PageDown);
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_EQ(grid.MarkedRows().MarkedCount(), 1);
}
