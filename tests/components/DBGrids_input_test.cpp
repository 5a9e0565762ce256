// Keys and mouse of the data grid core: every vertical move is a move of the
// dataset; marks follow the base rules.
#include "DBGrids_fixture.h"

#include "components/SDialogs.h"
#include "platform/dbactions.h"
#include "platform/application.h"
#include "data/dberror.h"

#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QStyle>
#include <QWindow>

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
    ASSERT_TRUE(ShowExposed(grid));
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

// --- the key tables and the marks ----------------------------------------------

namespace {
struct Marking : Shown {
    explicit Marking(int rows = 40, TDBGridOptions options = SystemGridOptions) : Shown(rows)
    {
        grid.SetOptions(options);
        grid.SetReadOnly(true);
    }
    // Marks records 3 and 5 and stands on 4.
    void MarkTwo()
    {
        for (int recNo : {3, 5}) {
            ds.SetRecNo(recNo);
            grid.MarkedRows().SetCurrentRowMarked(true);
        }
        ds.SetRecNo(4);
    }
    int Marks() { return grid.MarkedRows().MarkedCount(); }
    QList<int> MarkedIds()
    {
        QList<int> ids;
        const QByteArray here = ds.Bookmark();
        for (int i = 0; i < Marks(); ++i) {
            ds.GotoBookmark(grid.MarkedRows().MarkedBookmarkAt(i));
            ids << ds.FieldByName(QStringLiteral("id")).AsInteger();
        }
        ds.GotoBookmark(here);
        return ids;
    }
    QPoint At(int col, int row) { return grid.CellRect(col, row).center(); }
};
} // namespace

TEST(DBGridMarksByKeys, CtrlLeftAndRightKeepTheMarksOtherCtrlMovesClearThem)
{
    Marking f(40, DefaultDBGridOptions | dgMultiSelect);
    f.MarkTwo();
    Key(f.grid, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 2);
    Key(f.grid, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 0);
    EXPECT_EQ(f.Marks(), 2);
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End}) {
        f.MarkTwo();
        Key(f.grid, key, Qt::ControlModifier);
        EXPECT_EQ(f.Marks(), 0) << "key " << key;
    }
    // Ctrl+PgDn: the last record held in the buffer; Ctrl+PgUp: the first.
    f.ds.First();
    Key(f.grid, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), f.grid.DataLink().BufferCount() - 1);
    Key(f.grid, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecNo(), 1);
}

TEST(DBGridMarksByKeys, EveryPlainMovementClearsTheMarks)
{
    Marking f;
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Right,
                        Qt::Key_Home, Qt::Key_End, Qt::Key_Tab, Qt::Key_Escape}) {
        f.MarkTwo();
        Key(f.grid, key);
        EXPECT_EQ(f.Marks(), 0) << "key " << key;
    }
    // Home and End of a row-select grid go to the first and last record;
    // Tab in a grid without tab stops wraps to the next record.
    Key(f.grid, Qt::Key_End);
    EXPECT_EQ(f.ds.RecNo(), 40);
    Key(f.grid, Qt::Key_Home);
    EXPECT_EQ(f.ds.RecNo(), 1);
    Key(f.grid, Qt::Key_Tab);
    EXPECT_EQ(f.ds.RecNo(), 2);
    Key(f.grid, Qt::Key_Right);
    EXPECT_EQ(f.ds.RecNo(), 3);
    // Keys outside both tables change nothing.
    f.MarkTwo();
    Key(f.grid, Qt::Key_F5);
    Key(f.grid, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.Marks(), 2);
}

TEST(DBGridMarksByKeys, ShiftExtensionMarksFromTheAnchorAndUnmarksOnTheWayBack)
{
    Marking f(20);
    for (int i = 0; i < 3; ++i)
        Key(f.grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.MarkedIds(), (QList<int>{1, 2, 3, 4}));
    Key(f.grid, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.MarkedIds(), (QList<int>{1, 2, 3}));
    EXPECT_EQ(f.ds.RecNo(), 3);
    Key(f.grid, Qt::Key_Up, Qt::ShiftModifier);
    Key(f.grid, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.MarkedIds(), (QList<int>{1})); // the anchor stays
    // A new extension starts after a plain move has cleared the marks.
    Key(f.grid, Qt::Key_Down);
    Key(f.grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.MarkedIds(), (QList<int>{2, 3}));
}

TEST(DBGridMarksByMouse, AColumnMenuDoesNotEndAShiftExtension)
{
    Marking f(20);
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    f.grid.Columns()[1]->SetPopupMenu(&menu);
    Key(f.grid, Qt::Key_Down, Qt::ShiftModifier);
    Key(f.grid, Qt::Key_Down, Qt::ShiftModifier);
    const QPoint pt = f.grid.CellRect(2, 3).center();
    QTest::mouseClick(f.grid.viewport(), Qt::RightButton, Qt::NoModifier, pt);
    QContextMenuEvent e(QContextMenuEvent::Mouse, pt, f.grid.viewport()->mapToGlobal(pt));
    QApplication::sendEvent(f.grid.viewport(), &e);
    EXPECT_TRUE(menu.isVisible());
    menu.hide();
    // Still the same extension: going back unmarks the record being left.
    Key(f.grid, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.MarkedIds(), (QList<int>{1, 2}));
}

TEST(DBGridMarksByMouse, APlainClickLeavesOneMarkCtrlClickToggles)
{
    Marking f;
    f.MarkTwo();
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.At(2, 7));
    EXPECT_EQ(f.MarkedIds(), (QList<int>{7}));
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ControlModifier, f.At(2, 2));
    EXPECT_EQ(f.MarkedIds(), (QList<int>{2, 7}));
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, Qt::ControlModifier, f.At(2, 7));
    EXPECT_EQ(f.MarkedIds(), (QList<int>{2}));
    // A right click moves to the row and leaves the marks.
    QTest::mouseClick(f.grid.viewport(), Qt::RightButton, {}, f.At(1, 5));
    EXPECT_EQ(f.ds.RecNo(), 5);
    EXPECT_EQ(f.MarkedIds(), (QList<int>{2}));
    // A click in the indicator column changes only the record.
    QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.At(0, 9));
    EXPECT_EQ(f.ds.RecNo(), 9);
}

TEST(DBGridMarksByMouse, ADoubleClickFiresOnlyOnDblClick)
{
    Marking f;
    int dbl = 0, cells = 0;
    f.grid.OnDblClick = [&](QObject *) { ++dbl; };
    f.grid.OnCellClick = [&](TColumn *) { ++cells; };
    // Through the window, as a real double click arrives: press, release,
    // double click, release.
    QWindow *win = f.grid.window()->windowHandle();
    const QPoint at = f.grid.viewport()->mapTo(f.grid.window(), f.At(2, 6));
    QTest::mouseDClick(win, Qt::LeftButton, Qt::ControlModifier, at);
    EXPECT_EQ(dbl, 1);
    EXPECT_EQ(cells, 1); // the first click's release only
    EXPECT_EQ(f.ds.RecNo(), 6);
    EXPECT_EQ(f.MarkedIds(), (QList<int>{6})); // toggled once, by the first press
}

TEST(DBGridTitles, TitleClickOnReleaseWithTheColumnUnderTheRelease)
{
    Marking f;
    QList<TColumn *> clicked;
    f.grid.OnTitleClick = [&](TColumn *c) { clicked << c; };
    QTest::mousePress(f.grid.viewport(), Qt::LeftButton, {}, f.At(1, 0));
    EXPECT_TRUE(clicked.isEmpty());
    QTest::mouseRelease(f.grid.viewport(), Qt::LeftButton, {}, f.At(3, 0));
    ASSERT_EQ(clicked.size(), 1);
    EXPECT_EQ(clicked[0], f.grid.Columns()[2]);
    // Not after sizing a column.
    clicked.clear();
    const QRect title = f.grid.CellRect(1, 0);
    const QPoint border(title.right() + 1, title.center().y());
    const int width = f.grid.ColWidth(1);
    QTest::mousePress(f.grid.viewport(), Qt::LeftButton, {}, border);
    QMouseEvent move(QEvent::MouseMove, QPointF(border + QPoint(15, 0)), f.grid.viewport()->mapToGlobal(border),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.grid.viewport(), &move);
    QTest::mouseRelease(f.grid.viewport(), Qt::LeftButton, {}, border + QPoint(15, 0));
    EXPECT_EQ(f.grid.ColWidth(1), width + 15);
    EXPECT_EQ(f.grid.Columns()[0]->Width(), width + 15);
    EXPECT_TRUE(clicked.isEmpty());
    // Not with the right button.
    QTest::mouseClick(f.grid.viewport(), Qt::RightButton, {}, f.At(2, 0));
    EXPECT_TRUE(clicked.isEmpty());
}

TEST(DBGridDelete, CtrlDeleteAsksAndDeletesTheMarkedRecords)
{
    Marking f(10, DefaultDBGridOptions | dgMultiSelect);
    f.grid.SetReadOnly(false);
    QStringList asked;
    int answer = mrOk;
    SetMessageBoxHook([&](const TMessageBoxCall &call) {
        asked << call.text;
        EXPECT_EQ(call.kind, mtConfirmation);
        EXPECT_EQ(call.buttons, TMsgDlgButtons(mbOK | mbCancel));
        return answer;
    });
    f.ds.SetRecNo(6);
    f.grid.MarkedRows().SetCurrentRowMarked(true);
    f.ds.SetRecNo(2); // the mark need not be the current record
    Key(f.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, QStringList{QStringLiteral("Delete record?")});
    EXPECT_EQ(f.ds.RecordCount(), 9);
    QList<int> ids;
    for (f.ds.First(); !f.ds.Eof(); f.ds.Next())
        ids << f.ds.FieldByName(QStringLiteral("id")).AsInteger();
    EXPECT_FALSE(ids.contains(6));
    EXPECT_TRUE(ids.contains(2));
    f.MarkTwo();
    answer = mrCancel;
    Key(f.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked.last(), QStringLiteral("Delete all selected records?"));
    EXPECT_EQ(f.ds.RecordCount(), 9);
    answer = mrOk;
    Key(f.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecordCount(), 7);
    EXPECT_EQ(f.Marks(), 0);
    // No marks: the current record, without asking when confirmation is off.
    f.grid.SetOptions(f.grid.Options() & ~dgConfirmDelete);
    asked.clear();
    f.ds.First();
    Key(f.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(f.ds.RecordCount(), 6);
    // A read-only grid deletes nothing and asks nothing.
    f.grid.SetReadOnly(true);
    Key(f.grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(f.ds.RecordCount(), 6);
    SetMessageBoxHook(nullptr);
}

TEST(DBGridEditingKeys, InsertAndAppendOnlyOnAnEditableGrid)
{
    Marking f(3, DefaultDBGridOptions | dgMultiSelect);
    f.grid.SetReadOnly(false);
    f.MarkTwo();
    Key(f.grid, Qt::Key_Insert);
    EXPECT_EQ(f.ds.State(), dsInsert);
    EXPECT_EQ(f.Marks(), 0);
    Key(f.grid, Qt::Key_Escape);
    EXPECT_EQ(f.ds.State(), dsBrowse);
    EXPECT_EQ(f.ds.RecordCount(), 3);
    Key(f.grid, Qt::Key_End, Qt::ControlModifier);
    Key(f.grid, Qt::Key_Down); // below the last record: a new one
    EXPECT_EQ(f.ds.State(), dsInsert);
    Key(f.grid, Qt::Key_Up); // untouched: cancelled again
    EXPECT_EQ(f.ds.State(), dsBrowse);
    EXPECT_EQ(f.ds.RecordCount(), 3);
}

TEST(DBGridFocus, LeavingTheGridCancelsAnUntouchedInsert)
{
    TMemDataSet ds;
    FillGoods(ds, 4);
    TDataSource source;
    source.SetDataSet(&ds);
    QWidget form;
    TestGrid grid(&form);
    QLineEdit other(&form);
    grid.setGeometry(0, 0, 400, 250);
    other.setGeometry(0, 260, 100, 20);
    form.resize(400, 300);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    grid.SetDataSource(&source);
    ds.Open();
    grid.setFocus();
    ds.Insert();
    other.setFocus();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RecordCount(), 4);
    // Without the option the insert stays.
    grid.SetOptions(grid.Options() & ~dgCancelOnExit);
    grid.setFocus();
    ds.Insert();
    other.setFocus();
    EXPECT_EQ(ds.State(), dsInsert);
    ds.Cancel();
}

TEST(DBGridColumnsByKeys, ColumnExitThatMovesTheColumnItselfWins)
{
    Shown f(5);
    f.grid.Columns().ChangeState(csCustomized);
    f.grid.Columns()[1]->SetWidth(0); // skipped by stepping keys
    Key(f.grid, Qt::Key_Right);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 2);
    Key(f.grid, Qt::Key_Left);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 0);
    int exits = 0;
    f.grid.OnColExit = [&](QObject *) {
        ++exits;
        f.grid.ShiftCurrentColumn(f.grid.DataToGridColumn(2), 0); // re-entry is not notified again
    };
    Key(f.grid, Qt::Key_End);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 2);
}

TEST(DBGridAutoScroll, StepsMoveByTheBuffer)
{
    Shown f(60);
    f.ds.SetRecNo(5);
    const int active = f.grid.DataLink().ActiveRecord();
    const int records = f.grid.DataLink().RecordCount();
    f.grid.AutoScrollStep(sdDown);
    EXPECT_EQ(f.ds.RecNo(), 5 + records - active);
    const int now = f.ds.RecNo();
    const int activeNow = f.grid.DataLink().ActiveRecord();
    f.grid.AutoScrollStep(sdUp);
    EXPECT_EQ(f.ds.RecNo(), now - (activeNow + 1));
}

TEST(DBGridTitles, TheExpandButtonTogglesAnObjectColumn)
{
    TMemDataSet ds;
    ds.AddColumn(QStringLiteral("id"), ftInteger);
    ds.AddColumn(QStringLiteral("addr.city"), ftString, 20);
    for (int i = 1; i <= 3; ++i)
        ds.AppendRow({i, QStringLiteral("city %1").arg(i)});
    auto id = CreateField(ftInteger);
    id->SetFieldName(QStringLiteral("id"));
    ds.AddField(std::move(id));
    auto addr = CreateField(ftADT);
    addr->SetFieldName(QStringLiteral("addr"));
    auto city = CreateField(ftString, 20);
    city->SetFieldName(QStringLiteral("city"));
    addr->AddChild(std::move(city));
    ds.AddField(std::move(addr));
    TDataSource source;
    source.SetDataSet(&ds);
    TestGrid grid;
    ASSERT_TRUE(ShowExposed(grid, 500));
    grid.SetDataSource(&source);
    ds.Open();
    TColumn *object = grid.Columns()[1];
    ASSERT_TRUE(object->IsUnfoldable());
    object->SetExpanded(false); // collapsed: its own title shows the button
    object->SetWidth(120);
    const QRect title = grid.CellRect(grid.DataToGridColumn(1), 0);
    TColumn *hit = nullptr;
    EXPECT_FALSE(grid.HitsExpandButton(title.left() + 5, title.center().y(), hit));
    const QPoint button(title.right() - 3, title.top() + 3);
    ASSERT_TRUE(grid.HitsExpandButton(button.x(), button.y(), hit));
    EXPECT_EQ(hit, object);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, button);
    EXPECT_TRUE(object->Expanded());
    EXPECT_EQ(ds.RecNo(), 1); // the press did nothing else
}

TEST(DBGridTitles, RightToLeftTitlesSpanAndTheExpandBoxWidensToTheCaption)
{
    struct Side {
        TMemDataSet ds;
        TDataSource source;
        struct Grid : TestGrid {
            using TCustomDBGrid::ComputeTitleRect;
        } grid;
    };
    auto make = [](Side &s, Qt::LayoutDirection direction) {
        s.ds.AddColumn(QStringLiteral("id"), ftInteger);
        s.ds.AddColumn(QStringLiteral("addr.city"), ftString, 20);
        s.ds.AddColumn(QStringLiteral("addr.street"), ftString, 20);
        s.ds.AppendRow({1, QStringLiteral("c"), QStringLiteral("s")});
        auto id = CreateField(ftInteger);
        id->SetFieldName(QStringLiteral("id"));
        s.ds.AddField(std::move(id));
        auto addr = CreateField(ftADT);
        addr->SetFieldName(QStringLiteral("addr"));
        for (const char16_t *name : {u"city", u"street"}) {
            auto sub = CreateField(ftString, 20);
            sub->SetFieldName(QString::fromUtf16(name));
            addr->AddChild(std::move(sub));
        }
        s.ds.AddField(std::move(addr));
        s.ds.ObjectView = true;
        s.source.SetDataSet(&s.ds);
        s.grid.setLayoutDirection(direction);
        if (!ShowExposed(s.grid, 500))
            return false;
        s.grid.SetDataSource(&s.source);
        s.ds.Open();
        return true;
    };
    Side ltr, rtl;
    ASSERT_TRUE(make(ltr, Qt::LeftToRight));
    ASSERT_TRUE(make(rtl, Qt::RightToLeft));
    const int w = rtl.grid.viewport()->width();
    auto mirror = [w](const QRect &r) { return QRect(w - 1 - r.right(), r.top(), r.width(), r.height()); };
    // The object's title spans its two sub-columns: to the left, right to left.
    TColumn *head = nullptr;
    const QRect span = ltr.grid.ComputeTitleRect(ltr.grid.Columns()[2], 0, head);
    EXPECT_EQ(head, ltr.grid.Columns()[1]);
    EXPECT_EQ(span.right(), ltr.grid.CellRect(ltr.grid.DataToGridColumn(3), 0).right());
    EXPECT_EQ(rtl.grid.ComputeTitleRect(rtl.grid.Columns()[2], 0, head), mirror(span));

    // Collapsed, the button sits at the title's left end; its box takes
    // another arrow's width and 4 pixels, painted in the title colour.
    TColumn *object = rtl.grid.Columns()[1];
    object->SetExpanded(false);
    object->SetWidth(160);
    object->Title().SetColor(QColor(255, 0, 0));
    const QRect title = rtl.grid.ComputeTitleRect(object, 0, head);
    const int arrow = rtl.grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    TColumn *hit = nullptr;
    EXPECT_TRUE(rtl.grid.HitsExpandButton(title.left() + 3, title.top() + 3, hit));
    EXPECT_FALSE(rtl.grid.HitsExpandButton(title.right() - 3, title.top() + 3, hit));
    const QImage shot = rtl.grid.viewport()->grab().toImage();
    for (int x = title.left() + 1 + arrow; x < title.left() + 1 + 2 * arrow + 4; ++x)
        EXPECT_EQ(shot.pixelColor(x, title.center().y()), QColor(255, 0, 0)) << x;
}

TEST(DBGridPopupEditor, NestedRecordsOpenInOneFloatingSubGrid)
{
    TMemDataSet nested;
    FillGoods(nested, 4);
    TMemDataSet ds;
    FillGoods(ds, 3);
    auto id = CreateField(ftInteger);
    id->SetFieldName(QStringLiteral("id"));
    ds.AddField(std::move(id));
    auto items = CreateField(ftDataSet);
    items->SetFieldName(QStringLiteral("items"));
    items->SetNestedDataSet(&nested);
    ds.AddField(std::move(items));
    TDataSource source;
    source.SetDataSet(&ds);
    TestGrid grid;
    ASSERT_TRUE(ShowExposed(grid));
    grid.SetDataSource(&source);
    grid.SetOptions(grid.Options() | dgMultiSelect);
    ds.Open();
    nested.Open();
    grid.OpenPopupEditor(grid.Columns()[1], 30, 40);
    ASSERT_EQ(grid.SubGrids().size(), 1u);
    TCustomDBGrid *sub = grid.SubGrids()[0];
    EXPECT_TRUE(sub->IsSubGrid());
    EXPECT_EQ(sub->DataLink().DataSet(), &nested);
    EXPECT_EQ(sub->Options(), grid.Options());
    EXPECT_NE(sub->window(), grid.window());
    EXPECT_TRUE(sub->window()->isVisible());
    EXPECT_EQ(sub->window()->pos(), QPoint(30, 40));
    grid.OpenPopupEditor(grid.Columns()[1]); // shown again, not made again
    EXPECT_EQ(grid.SubGrids().size(), 1u);
    grid.OpenPopupEditor(grid.Columns()[0]); // not a nested dataset: nothing
    EXPECT_EQ(grid.SubGrids().size(), 1u);
    const QPointer<QWidget> form = sub->window();
    grid.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(form->layoutDirection(), Qt::RightToLeft);
    ds.Close(); // sub-grids go with the link's state change
    EXPECT_TRUE(grid.SubGrids().empty());
    EXPECT_TRUE(form.isNull());
}

TEST(DBGridEditingKeys, F2OpensTheEditorAndEnterPostsItsText)
{
    Shown f(5);
    f.grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.grid));
    f.grid.setFocus();
    Key(f.grid, Qt::Key_Right); // the name column
    Key(f.grid, Qt::Key_F2);
    QWidget *editor = f.grid.InplaceEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    QTest::keyClicks(editor, QStringLiteral("fresh"));
    EXPECT_EQ(f.ds.State(), dsEdit);
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("good 1"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("fresh"));
    // Escape with the field already written cancels the edit.
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(f.ds.State(), dsBrowse);
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("good 1"));
}

TEST(DBGridEditingKeys, TheEditorTakesTheFieldsMaskAndTheColumnsInputMethod)
{
    Shown f(5);
    f.grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.grid));
    f.grid.setFocus();
    f.ds.FieldByName(QStringLiteral("name")).SetEditMask(QStringLiteral("!99/99/0000;1;_"));
    Key(f.grid, Qt::Key_Right); // the name column
    Key(f.grid, Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(f.grid.InplaceEditor());
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->inputMask().isEmpty());
    editor->home(false);
    QTest::keyClicks(editor, QStringLiteral("1203x2024"));
    EXPECT_EQ(editor->text(), QStringLiteral("12/03/2024"));
    QTest::keyClick(editor, Qt::Key_Escape);

    const struct {
        TImeMode mode;
        bool enabled;
        bool latin;
    } modes[] = {{imDisable, false, false}, {imSAlpha, true, true}, {imAlpha, true, true},
                 {imDontCare, true, false}, {imHira, true, false},  {imOpen, true, false}};
    TColumn *price = f.grid.Columns()[2];
    for (const auto &m : modes) {
        SCOPED_TRACE(int(m.mode));
        price->SetImeMode(m.mode);
        Key(f.grid, Qt::Key_Right); // enter the price column
        Key(f.grid, Qt::Key_F2);
        EXPECT_EQ(editor->testAttribute(Qt::WA_InputMethodEnabled), m.enabled);
        EXPECT_EQ(bool(editor->inputMethodHints() & Qt::ImhPreferLatin), m.latin);
        QTest::keyClick(editor, Qt::Key_Escape);
        Key(f.grid, Qt::Key_Left);
    }
}

TEST(DBGridActions, DataActionsGoToTheFocusedGridsSourceFirst)
{
    Shown other(10);
    Shown f(10);
    f.grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.grid));
    f.grid.setFocus();
    TDataSetAction next(daNext), prior(daPrior), post(daPost);
    prior.Refresh();
    EXPECT_FALSE(prior.isEnabled()); // the focused grid stands on its first record
    next.trigger();
    EXPECT_EQ(f.ds.RecNo(), 2);
    EXPECT_EQ(other.ds.RecNo(), 1);
    prior.Refresh();
    post.Refresh();
    EXPECT_TRUE(prior.isEnabled());
    EXPECT_FALSE(post.isEnabled());
    // An action bound to another source passes the focused grid by.
    next.SetDataSource(&other.source);
    next.trigger();
    EXPECT_EQ(f.ds.RecNo(), 2);
    EXPECT_EQ(other.ds.RecNo(), 2);
    EXPECT_FALSE(f.grid.PerformAction(&next));
}

TEST(DBGridColumnMove, DraggingATitleMovesTheColumnAndItsFieldOrder)
{
    Shown f(5);
    f.grid.SetGridOptions(f.grid.GridOptions() | goColMoving);
    std::vector<std::pair<int, int>> moved;
    f.grid.OnColumnMoved = [&](QObject *, int from, int to) { moved.emplace_back(from, to); };
    QWidget *vp = f.grid.viewport();
    const QPoint price = f.grid.CellRect(3, 0).center();
    const QPoint id = f.grid.CellRect(1, 0).center();
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, price);
    EXPECT_EQ(f.grid.MoveOrigin(), 3);
    QTest::mouseMove(vp, id);
    EXPECT_EQ(f.grid.MoveTarget(), 1);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, id);
    EXPECT_EQ(moved, (std::vector<std::pair<int, int>>{{2, 0}}));
    const QStringList order{QStringLiteral("price"), QStringLiteral("id"), QStringLiteral("name")};
    EXPECT_EQ(f.ColumnNames(), order);
    // The transient columns follow the fields, which took the new order.
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("price")).Index(), 0);
    f.grid.RequestLayout();
    EXPECT_EQ(f.ColumnNames(), order);
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("good 1"));

    // Without the option a title press moves nothing.
    f.grid.SetGridOptions(f.grid.GridOptions() & ~goColMoving);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, price);
    EXPECT_EQ(f.grid.MoveOrigin(), -1);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, id);
    EXPECT_EQ(moved.size(), 1u);
}

TEST(DBGridColumnMove, WithTheObjectViewATitleMovesOnlyAmongItsSiblings)
{
    TMemDataSet ds;
    TDataSource source;
    TestGrid grid;
    ds.AddColumn(QStringLiteral("id"), ftInteger);
    ds.AddColumn(QStringLiteral("addr.city"), ftString, 20);
    ds.AddColumn(QStringLiteral("addr.street"), ftString, 20);
    ds.AppendRow({1, QStringLiteral("c"), QStringLiteral("s")});
    auto id = CreateField(ftInteger);
    id->SetFieldName(QStringLiteral("id"));
    ds.AddField(std::move(id));
    auto addr = CreateField(ftADT);
    addr->SetFieldName(QStringLiteral("addr"));
    for (const char16_t *name : {u"city", u"street"}) {
        auto sub = CreateField(ftString, 20);
        sub->SetFieldName(QString::fromUtf16(name));
        addr->AddChild(std::move(sub));
    }
    ds.AddField(std::move(addr));
    ds.ObjectView = true;
    source.SetDataSet(&ds);
    ASSERT_TRUE(ShowExposed(grid, 500));
    grid.SetDataSource(&source);
    ds.Open();
    grid.SetGridOptions(grid.GridOptions() | goColMoving);
    QWidget *vp = grid.viewport();
    const auto names = [&] {
        QStringList out;
        for (int i = 0; i < grid.Columns().Count(); ++i)
            out << grid.Columns()[i]->FieldName();
        return out;
    };
    const auto at = [&](int dataCol, int row) { return grid.CellRect(grid.DataToGridColumn(dataCol), row).center(); };
    ASSERT_EQ(names(), (QStringList{QStringLiteral("id"), QStringLiteral("addr"), QStringLiteral("addr.city"),
                                    QStringLiteral("addr.street")}));

    // The street's own title (depth 1) goes before the city, never onto id.
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, at(3, 1));
    EXPECT_EQ(grid.MoveOrigin(), grid.DataToGridColumn(3));
    QTest::mouseMove(vp, at(0, 1));
    EXPECT_EQ(grid.MoveTarget(), grid.DataToGridColumn(3)) << "id is not the street's sibling";
    QTest::mouseMove(vp, at(2, 1));
    EXPECT_EQ(grid.MoveTarget(), grid.DataToGridColumn(2));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, at(2, 1));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("id"), QStringLiteral("addr"), QStringLiteral("addr.street"),
                                    QStringLiteral("addr.city")}));

    grid.RequestLayout(); // the sub-fields took the new order
    EXPECT_EQ(names(), (QStringList{QStringLiteral("id"), QStringLiteral("addr"), QStringLiteral("addr.street"),
                                    QStringLiteral("addr.city")}));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("addr.city")).AsString(), QStringLiteral("c"));

    // Pressed on the object's title above a sub-column, the object is dragged,
    // and it takes its sub-columns along.
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, at(3, 0));
    EXPECT_EQ(grid.MoveOrigin(), grid.DataToGridColumn(1));
    QTest::mouseMove(vp, at(0, 0));
    EXPECT_EQ(grid.MoveTarget(), grid.DataToGridColumn(0));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, at(0, 0));
    EXPECT_EQ(names(), (QStringList{QStringLiteral("addr"), QStringLiteral("addr.street"), QStringLiteral("addr.city"),
                                    QStringLiteral("id")}));
}

TEST(DBGridErrors, AMoveThatFailsIsShownAndNothingEscapesTheKeyOrTheClick)
{
    Shown f(10);
    QStringList shown;
    TApplication::SetExceptionHandler([&](const QString &text) { shown.append(text); });
    const QString lost = QStringLiteral("Lost connection to server during query");
    f.ds.AfterScroll = [&](TDataSet &) { throw EDatabaseError(lost); };
    EXPECT_NO_THROW(Key(f.grid, Qt::Key_Down));
    EXPECT_NO_THROW(QTest::mouseClick(f.grid.viewport(), Qt::LeftButton, {}, f.grid.CellRect(2, 6).center()));
    EXPECT_NO_THROW(QTest::mouseDClick(f.grid.viewport(), Qt::LeftButton, {}, f.grid.CellRect(2, 3).center()));
    TApplication::SetExceptionHandler({});
    ASSERT_FALSE(shown.isEmpty());
    for (const QString &text : shown)
        EXPECT_EQ(text, lost);

    // The grid still follows the keys once the dataset recovers.
    f.ds.AfterScroll = nullptr;
    const int before = f.ds.RecNo();
    Key(f.grid, Qt::Key_Down);
    EXPECT_EQ(f.ds.RecNo(), before + 1);
    EXPECT_EQ(f.grid.Row(), f.ds.RecNo());
}
