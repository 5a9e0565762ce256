// Rows, record buffer and the vertical bar of the data grid: the buffer is
// the fully visible rows, the bar follows the record number (or three
// positions), and moves repaint as little as they can.
#include "DBGrids_fixture.h"

#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QScrollBar>

using namespace gridtest;

namespace {

class UnnumberedDataSet : public TMemDataSet
{
public:
    bool IsSequenced() const override { return false; }
};

// Records the regions painted on a widget.
struct PaintRecorder : QObject {
    QRegion painted;
    int passes = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(e)->region();
            ++passes;
        }
        return false;
    }
    void Clear()
    {
        painted = QRegion();
        passes = 0;
    }
};

// Makes the grid just tall enough for n data rows.
void SizeForRows(TCustomDBGrid &grid, int n)
{
    int h = 60;
    grid.resize(400, h);
    while (grid.DataLink().BufferCount() < n && h < 2000)
        grid.resize(400, ++h);
}

int Pitch(TCustomDBGrid &grid)
{
    return grid.DefaultRowHeight() + grid.GridLineWidth();
}

} // namespace

TEST(DBGridRows, TheBufferIsTheFullyVisibleRows)
{
    Fixture f(40);
    SizeForRows(f.grid, 10);
    EXPECT_EQ(f.grid.DataLink().BufferCount(), 10);
    EXPECT_EQ(f.grid.RowCount(), 11);
    f.grid.resize(400, f.grid.height() + Pitch(f.grid));
    EXPECT_EQ(f.grid.DataLink().BufferCount(), 11);
    EXPECT_EQ(f.grid.RowCount(), 12);
    f.grid.resize(400, f.grid.height() - 2 * Pitch(f.grid));
    EXPECT_EQ(f.grid.DataLink().BufferCount(), 9);
    EXPECT_EQ(f.grid.RowCount(), 10);
    EXPECT_EQ(f.grid.VertScrollInfo().Page, 9);
    // Too small for a single data row: still one row.
    f.grid.resize(400, 8);
    EXPECT_EQ(f.grid.DataLink().BufferCount(), 1);
    EXPECT_EQ(f.grid.RowCount(), f.grid.TitleOffset() + 1);
    f.grid.resize(400, 0);
    EXPECT_EQ(f.grid.RowCount(), f.grid.TitleOffset() + 1);
    f.ds.Next();
    EXPECT_EQ(f.ds.RecNo(), 2);
}

TEST(DBGridRows, AShortResultShowsOnlyItsRecords)
{
    Fixture f(3);
    SizeForRows(f.grid, 10);
    EXPECT_EQ(f.grid.DataLink().RecordCount(), 3);
    EXPECT_EQ(f.grid.RowCount(), 4);
    f.ds.Close();
    EXPECT_EQ(f.grid.RowCount(), f.grid.TitleOffset() + 1);
}

TEST(DBGridScrollBar, SequencedBarCountsRecordsWithAPageOfVisibleRows)
{
    Fixture f(100);
    SizeForRows(f.grid, 10);
    EXPECT_EQ(f.grid.VertScrollInfo(), (TScrollInfo{1, 109, 10, 1}));
    QScrollBar *bar = f.grid.verticalScrollBar();
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 100); // the last position the thumb's top can take
    EXPECT_EQ(bar->pageStep(), 10);
    EXPECT_EQ(bar->value(), 1);
    QTest::keyClick(&f.grid, Qt::Key_PageDown);
    EXPECT_EQ(f.ds.RecNo(), 11);
    EXPECT_EQ(bar->value(), 11);
    QTest::keyClick(&f.grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(bar->value(), 100);
    EXPECT_EQ(f.grid.VertScrollInfo().Pos, 100);
}

TEST(DBGridScrollBar, BarRequestsMoveTheDataset)
{
    Fixture f(100);
    SizeForRows(f.grid, 10);
    QScrollBar *bar = f.grid.verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(f.ds.RecNo(), 2);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(f.ds.RecNo(), 12);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(f.ds.RecNo(), 2);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(f.ds.RecNo(), 1);
    bar->setSliderPosition(57); // thumb dragged: the record number
    EXPECT_EQ(f.ds.RecNo(), 57);
    EXPECT_EQ(bar->value(), 57);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(f.ds.RecNo(), 100);
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(f.ds.RecNo(), 1);
    f.ds.Close();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); // nothing while closed
}

TEST(DBGridScrollBar, UnnumberedDatasetGetsThreePositions)
{
    UnnumberedDataSet ds;
    FillGoods(ds, 50);
    TDataSource source;
    source.SetDataSet(&ds);
    TestGrid grid;
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.SetDataSource(&source);
    ds.Open();
    SizeForRows(grid, 10);
    QScrollBar *bar = grid.verticalScrollBar();
    EXPECT_EQ(grid.VertScrollInfo(), (TScrollInfo{0, 4, 0, 0}));
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 4);
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(bar->value(), 2);
    // In the middle nothing changes, so the bar is not set again.
    const int sets = grid.VertScrollInfoSets();
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_PageDown);
    EXPECT_EQ(grid.VertScrollInfoSets(), sets);
    const int recNo = ds.RecNo();
    bar->setSliderPosition(2); // dragging to the middle does nothing
    EXPECT_EQ(ds.RecNo(), recNo);
    EXPECT_EQ(bar->value(), 2);
    bar->setSliderPosition(4);
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(bar->value(), 4);
    bar->setSliderPosition(1); // a page up
    EXPECT_EQ(ds.RecNo(), 50 - 10);
    bar->setSliderPosition(0);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(bar->value(), 0);
}

TEST(DBGridScrollBar, InsertingLeavesThePositionAlone)
{
    Fixture f(30);
    SizeForRows(f.grid, 10);
    f.ds.SetRecNo(5);
    EXPECT_EQ(f.grid.VertScrollInfo().Pos, 5);
    f.ds.Insert();
    EXPECT_EQ(f.grid.VertScrollInfo().Pos, 5);
    f.ds.Cancel();
    f.ds.SetRecNo(7);
    EXPECT_EQ(f.grid.VertScrollInfo().Pos, 7);
}

TEST(DBGridDataScroll, ShortMovesScrollPixelsAtOnceJumpsRepaintOnce)
{
    Fixture f(200);
    SizeForRows(f.grid, 10);
    PaintRecorder rec;
    f.grid.viewport()->installEventFilter(&rec);
    QTest::keyClick(&f.grid, Qt::Key_Down, Qt::ControlModifier); // last row shown
    QApplication::processEvents();
    rec.Clear();
    // One record down from the last row: the pixels move up one pitch and
    // only the incoming strip and the indicator rows are painted, at once.
    f.grid.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(f.ds.RecNo(), 11);
    EXPECT_GE(rec.passes, 1);
    const QRect area = rec.painted.boundingRect();
    EXPECT_LE(area.height(), 3 * Pitch(f.grid));
    EXPECT_EQ(area.bottom() / Pitch(f.grid), (f.grid.CellRect(1, f.grid.Row()).bottom()) / Pitch(f.grid));
    QApplication::processEvents();
    rec.Clear();
    // More than a screenful: one full repaint, left to the event loop.
    QTest::keyClick(&f.grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(rec.passes, 0);
    QApplication::processEvents();
    EXPECT_EQ(rec.passes, 1);
    EXPECT_EQ(rec.painted.boundingRect(), f.grid.viewport()->rect());
}

TEST(DBGridDataScroll, TheCurrentRowFollowsTheActiveRecord)
{
    Fixture f(50);
    SizeForRows(f.grid, 10);
    f.ds.SetRecNo(4);
    EXPECT_EQ(f.grid.Row(), f.grid.TitleOffset() + f.grid.DataLink().ActiveRecord());
    f.ds.SetRecNo(30);
    EXPECT_EQ(f.grid.Row(), f.grid.TitleOffset() + f.grid.DataLink().ActiveRecord());
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), 9);
    f.ds.First();
    EXPECT_EQ(f.grid.Row(), f.grid.TitleOffset());
}
