// The marking grid: marks that survive every move, the position menu, row
// copy, the wheel and putting the current row back after a walk.
#include "DBGrid_fixture.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

using namespace markgrid;

// --- marks survive navigation ------------------------------------------------------

TEST(DBGridMarks, CtrlClickTogglesAndNothingElseEmptiesTheMarks)
{
    Goods f;
    f.Click(2, Qt::ControlModifier);
    f.Click(4, Qt::ControlModifier);
    f.Click(6, Qt::ControlModifier);
    EXPECT_EQ(f.Marked(), Rows({2, 4, 6}));
    EXPECT_EQ(f.ds.RecNo(), 6);

    for (Qt::Key key : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp, Qt::Key_Up,
                        Qt::Key_Left, Qt::Key_Right, Qt::Key_Tab, Qt::Key_Escape, Qt::Key_Insert})
        f.Key(key);
    for (Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown,
                        Qt::Key_Left, Qt::Key_Right, Qt::Key_Delete})
        f.Key(key, Qt::ControlModifier);
    f.Key(Qt::Key_Home, Qt::ControlModifier);
    f.Click(3);
    EXPECT_EQ(f.ds.RecNo(), 3);
    f.Click(5, Qt::ShiftModifier);
    EXPECT_EQ(f.ds.RecNo(), 5);
    EXPECT_EQ(f.Marked(), Rows({2, 4, 6}));
    EXPECT_EQ(f.ds.RecordCount(), 40); // Ctrl+Delete on a read-only grid deletes nothing

    f.Click(4, Qt::ControlModifier); // marked: unmarks
    EXPECT_EQ(f.Marked(), Rows({2, 6}));
    f.Click(5, Qt::ControlModifier); // unmarked: marks
    EXPECT_EQ(f.Marked(), Rows({2, 5, 6}));
}

TEST(DBGridMarks, ShiftExtensionKeepsItsAnchorUntilALeftClick)
{
    Goods f;
    for (int i = 0; i < 3; ++i)
        f.Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.Marked(), Rows({1, 2, 3, 4}));
    f.Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.Marked(), Rows({1, 2, 3}));
    EXPECT_EQ(f.ds.RecNo(), 3);

    // A plain move neither empties the marks nor ends the extension: the row
    // passed without Shift stays unmarked, the next Shift move goes on from
    // the old anchor.
    f.Key(Qt::Key_Down);
    f.Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(f.Marked(), Rows({1, 2, 3, 5}));
    EXPECT_EQ(f.ds.RecNo(), 5);

    // A left click ends it: the next Shift move starts a new anchor there.
    f.Click(8);
    f.Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(f.Marked(), Rows({1, 2, 3, 5, 7, 8}));
    f.Key(Qt::Key_Down, Qt::ShiftModifier); // back towards the anchor: unmarks row 7
    EXPECT_EQ(f.Marked(), Rows({1, 2, 3, 5, 8}));
}

TEST(DBGridMarks, InactiveLinkOnlyReachesTheFormsKeyHandler)
{
    Goods f;
    f.ds.Close();
    std::vector<int> keys;
    f.grid.OnKeyDown = [&](QObject *, int &key, TShiftState) {
        if (key != Qt::Key_Shift && key != Qt::Key_Control) // QTest presses the modifiers too
            keys.push_back(key);
    };
    f.Key(Qt::Key_Down, Qt::ShiftModifier);
    f.Key(Qt::Key_C, Qt::ControlModifier);
    f.Click(2, Qt::ControlModifier);
    f.Wheel(-120);
    EXPECT_EQ(keys, (std::vector<int>{VK_DOWN, 67, VK_DOWN}));
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 0);
}

// --- the position menu ---------------------------------------------------------------

TEST(DBGridMenu, ItemsInOrderWithTheirCaptions)
{
    Goods f(3);
    ASSERT_NE(f.grid.PositionMenu, nullptr);
    EXPECT_EQ(f.grid.PositionMenu->parent(), &f.grid);
    EXPECT_EQ(f.grid.PopupMenu(), f.grid.PositionMenu);
    const QList<QAction *> items = f.grid.PositionMenu->actions();
    ASSERT_EQ(items.size(), 7);
    const QList<QAction *> fields = {f.grid.CopyItem,     nullptr, f.grid.MarkItem,
                                     f.grid.UnmarkItem,   nullptr, f.grid.MarkAllItem,
                                     f.grid.UnmarkAllItem};
    const QStringList captions = {S(u"Копировать позицию в буфер"),
                                  QString(),
                                  S(u"Выделить позицию"),
                                  S(u"Снять выделение"),
                                  QString(),
                                  S(u"Выделить ВСЕ позиции"),
                                  S(u"Снять выделение со ВСЕХ позиций")};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(items[i]->isSeparator(), fields[i] == nullptr) << i;
        if (fields[i]) {
            EXPECT_EQ(items[i], fields[i]) << i;
            EXPECT_EQ(items[i]->text(), captions[i]) << i;
        }
    }
}

TEST(DBGridMenu, EnabledStateFollowsTheResultAndTheMarks)
{
    auto state = [](TDBGrid &g) {
        g.PositionMenu->popup(g.mapToGlobal(QPoint(10, 10))); // runs PositionMenuPopup
        g.PositionMenu->hide();
        return QList<bool>{g.CopyItem->isEnabled(), g.MarkItem->isEnabled(), g.UnmarkItem->isEnabled(),
                           g.MarkAllItem->isEnabled(), g.UnmarkAllItem->isEnabled()};
    };
    Goods empty(0);
    EXPECT_EQ(state(empty.grid), (QList<bool>{true, false, false, false, false}));
    empty.ds.Close();
    EXPECT_EQ(state(empty.grid), (QList<bool>{true, false, false, false, false}));

    Goods f(3);
    EXPECT_EQ(state(f.grid), (QList<bool>{true, true, false, true, false}));
    f.grid.MarkedRows().SetCurrentRowMarked(true);
    EXPECT_EQ(state(f.grid), (QList<bool>{true, false, true, true, true}));
    f.Key(Qt::Key_Down);
    EXPECT_EQ(state(f.grid), (QList<bool>{true, true, false, true, true}));
    f.grid.MarkAllItem->trigger();
    EXPECT_EQ(f.Marked(), Rows({1, 2, 3}));
    EXPECT_EQ(state(f.grid), (QList<bool>{true, false, true, false, true}));
    f.grid.UnmarkItem->trigger();
    EXPECT_EQ(f.Marked(), Rows({1, 3}));
    f.grid.UnmarkAllItem->trigger();
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 0);
    f.ds.Close();
    EXPECT_EQ(state(f.grid), (QList<bool>{true, false, false, false, false}));
}

TEST(DBGridMenu, RightClickMakesTheClickedRowCurrentBeforeTheMenu)
{
    Goods f;
    f.Click(2, Qt::ControlModifier);
    f.Click(4, Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(f.ds.RecNo(), 4);
    EXPECT_EQ(f.Marked(), Rows({2}));
    const QPoint at = f.grid.CellRect(2, 4).center();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, f.grid.viewport()->mapToGlobal(at));
    QApplication::sendEvent(f.grid.viewport(), &menuEvent);
    ASSERT_TRUE(f.grid.PositionMenu->isVisible());
    EXPECT_TRUE(f.grid.MarkItem->isEnabled());
    f.grid.MarkItem->trigger();
    f.grid.PositionMenu->hide();
    EXPECT_EQ(f.Marked(), Rows({2, 4}));
}

// --- row copy ----------------------------------------------------------------------------

namespace {
// name, ico_flag, price, with an edit text that differs from the shown one.
struct CopyRows {
    TMemDataSet ds;
    TDataSource source;
    TDBGrid grid;
    CopyRows()
    {
        ds.AddColumn(QStringLiteral("name"), ftString, 20);
        ds.AddColumn(QStringLiteral("ico_flag"), ftInteger);
        ds.AddColumn(QStringLiteral("price"), ftFloat);
        ds.AppendRow({S(u"Хлеб"), 1, 25.5});
        ds.AppendRow({QString(), 2, 60.0});
        source.SetDataSet(&ds);
        ShowGrid(grid, source);
        ds.Open();
        ds.FieldByName(QStringLiteral("price")).OnGetText = [](TField &field, QString &text, bool display) {
            text = (display ? QStringLiteral("shown ") : QStringLiteral("edit ")) + field.AsString();
        };
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }
    QString Clip() const { return QGuiApplication::clipboard()->text(); }
};
} // namespace

TEST(DBGridCopy, EditTextsJoinedByTabsWithoutIcoColumns)
{
    CopyRows f;
    ASSERT_EQ(f.grid.Columns().Count(), 3);
    QTest::keyClick(&f.grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(f.Clip(), S(u"Хлеб\tedit 25.5"));

    // An empty leading text leaves no TAB behind it.
    QTest::keyClick(&f.grid, Qt::Key_Down);
    QTest::keyClick(&f.grid, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(f.Clip(), QStringLiteral("edit 60"));

    f.grid.CopyItem->trigger();
    EXPECT_EQ(f.Clip(), QStringLiteral("edit 60"));
}

TEST(DBGridCopy, HiddenColumnsCountAndOnlyTheExactPrefixIsSkipped)
{
    CopyRows f;
    f.grid.Columns().ChangeState(csCustomized);
    f.grid.Columns()[0]->SetVisible(false); // hidden, still copied
    f.grid.Columns()[1]->SetFieldName(QStringLiteral("ICO_FLAG"));
    EXPECT_EQ(f.grid.CurrentRowText(), S(u"Хлеб\t1\tedit 25.5"));
    f.grid.Columns()[1]->SetFieldName(QStringLiteral("ico_flag"));
    EXPECT_EQ(f.grid.CurrentRowText(), S(u"Хлеб\tedit 25.5"));
    // A column bound to no field gives nothing, not even a TAB.
    f.grid.Columns().AppendColumn();
    EXPECT_EQ(f.grid.CurrentRowText(), S(u"Хлеб\tedit 25.5"));
}

TEST(DBGridCopy, FormSeesTheKeyFirstAndCanSwallowIt)
{
    CopyRows f;
    QString clipAtHandler;
    int seenKey = 0;
    TShiftState seenShift = 0;
    bool swallow = false;
    f.grid.OnKeyDown = [&](QObject *, int &key, TShiftState shift) {
        clipAtHandler = f.Clip();
        seenKey = key;
        seenShift = shift;
        if (swallow)
            key = 0;
    };
    QTest::keyClick(&f.grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(clipAtHandler, QStringLiteral("before"));
    EXPECT_EQ(seenKey, 67);
    EXPECT_EQ(seenShift, TShiftState(ssCtrl | ssShift));
    EXPECT_EQ(f.Clip(), S(u"Хлеб\tedit 25.5"));

    swallow = true;
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(&f.grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(f.Clip(), QStringLiteral("before"));
    // Plain C copies nothing.
    swallow = false;
    QTest::keyClick(&f.grid, Qt::Key_C);
    EXPECT_EQ(f.Clip(), QStringLiteral("before"));
}

TEST(DBGridCopy, CtrlInsertNeverInsertsEvenOnAnEditableGrid)
{
    CopyRows f;
    f.grid.SetReadOnly(false);
    f.grid.SetOptions(ResultGridOptions | dgEditing);
    QTest::keyClick(&f.grid, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(f.ds.State(), dsBrowse);
    EXPECT_EQ(f.ds.RecordCount(), 2);
    EXPECT_EQ(f.Clip(), S(u"Хлеб\tedit 25.5"));
}

// --- wheel ------------------------------------------------------------------------------

TEST(DBGridWheel, EachMessageIsOneArrowKey)
{
    Goods f;
    f.Click(3, Qt::ControlModifier);
    std::vector<int> keys;
    f.grid.OnKeyDown = [&](QObject *, int &key, TShiftState) { keys.push_back(key); };
    f.Wheel(-120);
    EXPECT_EQ(f.ds.RecNo(), 4);
    EXPECT_EQ(f.Marked(), Rows({3}));
    f.Wheel(-360); // a fast turn still moves one row
    EXPECT_EQ(f.ds.RecNo(), 5);
    f.Wheel(15); // a fine step up too
    EXPECT_EQ(f.ds.RecNo(), 4);
    EXPECT_EQ(keys, (std::vector<int>{VK_DOWN, VK_DOWN, VK_UP}));

    // No vertical turn (a horizontal wheel, a touchpad phase message): nothing.
    f.Wheel(0, Qt::NoModifier, QPoint(120, 0));
    f.Wheel(0);
    EXPECT_EQ(f.ds.RecNo(), 4);
    EXPECT_EQ(keys.size(), 3u);

    f.Wheel(-120, Qt::ShiftModifier);
    f.Wheel(-120, Qt::ShiftModifier);
    EXPECT_EQ(f.Marked(), Rows({3, 4, 5, 6}));
    f.Wheel(-120, Qt::ControlModifier); // jumps to the last row shown
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), f.grid.DataLink().RecordCount() - 1);
    EXPECT_EQ(f.Marked(), Rows({3, 4, 5, 6}));
}

// --- active record -------------------------------------------------------------------------

TEST(DBGridActiveRecord, WalkByBookmarksPutsTheCurrentRowBackInItsPlace)
{
    Goods f(100);
    ASSERT_GE(f.grid.DataLink().BufferCount(), 5);
    for (int row : {5, 60, 99}) {
        f.ds.SetRecNo(row);
        f.grid.MarkedRows().SetCurrentRowMarked(true);
    }
    f.ds.SetRecNo(1);
    f.ds.SetRecNo(30);
    f.ds.MoveBy(-3); // row 27, some way down the screen
    const int place = f.grid.DataLink().ActiveRecord();
    const int screenRow = f.grid.Row();
    ASSERT_GT(place, 0);

    // The print paths' walk.
    QList<QByteArray> marks;
    for (int i = 0; i < f.grid.MarkedRows().MarkedCount(); ++i)
        marks << f.grid.MarkedRows().MarkedBookmarkAt(i);
    f.ds.DisableControls();
    const int saved = f.grid.GetActiveRecord();
    EXPECT_EQ(saved, place);
    QStringList names;
    for (const QByteArray &b : marks) {
        f.ds.GotoBookmark(b);
        names << f.ds.FieldByName(QStringLiteral("name")).AsString();
    }
    f.grid.SetActiveRecord(saved);
    f.ds.EnableControls();

    EXPECT_EQ(names, (QStringList{QStringLiteral("good 5"), QStringLiteral("good 60"), QStringLiteral("good 99")}));
    EXPECT_EQ(f.ds.RecNo(), 27);
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), place);
    EXPECT_EQ(f.grid.Row(), screenRow);
    EXPECT_EQ(f.grid.Row() - f.grid.TitleOffset(), f.ds.ActiveRecord());
    EXPECT_EQ(f.Marked(), Rows({5, 60, 99}));

    // Near the end the place is kept as far as the data allows.
    f.ds.Last();
    f.ds.MoveBy(-1);
    const int endPlace = f.grid.GetActiveRecord();
    f.ds.DisableControls();
    f.ds.GotoBookmark(marks[0]);
    f.grid.SetActiveRecord(endPlace);
    f.ds.EnableControls();
    EXPECT_EQ(f.ds.RecNo(), 99);
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), endPlace);
}

TEST(DBGridActiveRecord, WithoutARememberedRecordTheRowAtThatPlaceBecomesCurrent)
{
    Goods f(40);
    f.ds.SetRecNo(3);
    f.grid.SetActiveRecord(0);
    EXPECT_EQ(f.ds.RecNo(), 1);
    EXPECT_EQ(f.grid.Row(), f.grid.TitleOffset());
    // A new result forgets the remembered record.
    f.ds.SetRecNo(5);
    const int place = f.grid.GetActiveRecord();
    f.ds.Close();
    f.ds.Open();
    f.grid.SetActiveRecord(place);
    EXPECT_EQ(f.ds.RecNo(), place + 1);
}
