// The grid's data link: field map, default fields, notifications, reset and
// write-back of the editor's text; and the marked rows it keeps in step.
#include "DBGrids_fixture.h"

#include <gtest/gtest.h>

using namespace gridtest;

TEST(GridDataLink, MappedFieldEdgesAndUnknownNames)
{
    Fixture f(3);
    TGridDataLink &link = f.grid.DataLink();
    ASSERT_EQ(link.FieldCount(), 3);
    EXPECT_EQ(link.MappedField(2), f.ds.FindField(QStringLiteral("price")));
    EXPECT_EQ(link.MappedField(3), nullptr);
    EXPECT_EQ(link.MappedField(-1), nullptr);
    EXPECT_TRUE(link.UsesDefaultFields());
    // Sparse: an unknown name is an entry of -1.
    link.SetSparseMap(true);
    link.MapField(QStringLiteral("nothing"));
    EXPECT_EQ(link.FieldCount(), 4);
    EXPECT_EQ(link.MappedField(3), nullptr);
    EXPECT_FALSE(link.UsesDefaultFields());
    // Not sparse: the dataset's own error.
    link.SetSparseMap(false);
    EXPECT_THROW(link.MapField(QStringLiteral("nothing")), EDatabaseError);
    TestGrid lonely;
    EXPECT_TRUE(lonely.DataLink().UsesDefaultFields());
}

TEST(GridDataLink, MapGrowsToEightThenSixteen)
{
    Fixture f(3);
    TGridDataLink &link = f.grid.DataLink();
    link.ClearFieldMap();
    EXPECT_EQ(link.MapCapacity(), 0);
    link.MapField(QStringLiteral("id"));
    EXPECT_EQ(link.MapCapacity(), 8);
    for (int i = 1; i < 8; ++i)
        link.MapField(QStringLiteral("name"));
    EXPECT_EQ(link.MapCapacity(), 8);
    link.MapField(QStringLiteral("price"));
    EXPECT_EQ(link.MapCapacity(), 16);
    EXPECT_EQ(link.FieldCount(), 9);
    EXPECT_EQ(link.MappedField(8), f.ds.FindField(QStringLiteral("price")));
}

TEST(GridDataLink, ResetCancelsOrReloadsTheEditor)
{
    Fixture f(3);
    f.grid.MoveCurrent(2, 1, true, false);
    f.ds.Edit();
    f.grid.DataLink().HandleReset(); // nothing typed: the edit is cancelled
    EXPECT_EQ(f.ds.State(), dsBrowse);

    f.grid.ShowEditor();
    ASSERT_NE(f.grid.InplaceEditor(), nullptr);
    EXPECT_EQ(f.grid.InplaceEditor()->text(), QStringLiteral("good 1"));
    ASSERT_TRUE(f.grid.EditorMayModify());
    f.grid.InplaceEditor()->setText(QStringLiteral("typed"));
    emit f.grid.InplaceEditor()->textEdited(QStringLiteral("typed"));
    EXPECT_EQ(f.grid.EditText(), QStringLiteral("typed"));
    f.grid.DataLink().HandleReset(); // typed: the editor shows the field again
    EXPECT_EQ(f.ds.State(), dsEdit);
    EXPECT_FALSE(f.grid.DataLink().Modified());
    EXPECT_EQ(f.grid.InplaceEditor()->text(), QStringLiteral("good 1"));
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("good 1"));
}

TEST(GridDataLink, FlushWritesTheEditTextOnlyWhenModified)
{
    Fixture f(3);
    TGridDataLink &link = f.grid.DataLink();
    f.grid.MoveCurrent(2, 1, true, false);
    f.grid.ShowEditor();
    f.grid.InplaceEditor()->setText(QStringLiteral("ignored"));
    emit f.grid.InplaceEditor()->textEdited(QStringLiteral("ignored"));
    link.HandleDataFlush(); // not marked modified
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("good 1"));
    ASSERT_TRUE(f.grid.EditorMayModify());
    emit f.grid.InplaceEditor()->textEdited(QStringLiteral("new name"));
    link.HandleDataFlush();
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("new name"));
    EXPECT_FALSE(link.Modified());
    EXPECT_FALSE(link.InUpdateData());

    // An error on write-back still clears the in-update flag.
    f.ds.Post();
    f.grid.MoveCurrent(1, 1, true, false); // the integer id
    ASSERT_TRUE(f.grid.EditorMayModify());
    emit f.grid.InplaceEditor()->textEdited(QStringLiteral("not a number"));
    EXPECT_ANY_THROW(link.HandleDataFlush());
    EXPECT_FALSE(link.InUpdateData());
}

TEST(GridDataLink, LayoutChangesRunWithTheDatasetFlagThenRestoreIt)
{
    struct Probe : TestGrid {
        std::vector<bool> seen;
        void ApplyColumnAttributes() override
        {
            seen.push_back(LayoutFromDataset());
            TestGrid::ApplyColumnAttributes();
        }
    };
    TMemDataSet ds;
    FillGoods(ds, 2);
    TDataSource source;
    source.SetDataSet(&ds);
    Probe grid;
    grid.SetDataSource(&source);
    ds.Open();
    grid.seen.clear();
    ds.FieldByName(QStringLiteral("name")).SetDisplayLabel(QStringLiteral("Имя"));
    ASSERT_FALSE(grid.seen.empty());
    EXPECT_TRUE(grid.seen.front());
    EXPECT_FALSE(grid.LayoutFromDataset());
    EXPECT_EQ(grid.Columns()[1]->Title().Caption(), QStringLiteral("Имя"));
}

TEST(GridDataLink, FocusRequestMakesTheFieldsColumnCurrent)
{
    Fixture f(3);
    int entered = 0;
    f.grid.OnColEnter = [&](QObject *) { ++entered; };
    f.ds.FieldByName(QStringLiteral("price")).FocusControl();
    EXPECT_EQ(f.grid.CurrentColumnIndex(), 2);
    EXPECT_EQ(f.grid.CurrentColumnField(), f.ds.FindField(QStringLiteral("price")));
    EXPECT_EQ(entered, 1);
}

TEST(GridBookmarks, MarksStaySortedAndSearchesAreCached)
{
    Fixture f(12);
    f.grid.SetOptions(f.grid.Options() | dgMultiSelect);
    TBookmarkList &marks = f.grid.MarkedRows();
    for (int recNo : {5, 2, 9}) {
        f.ds.SetRecNo(recNo);
        marks.SetCurrentRowMarked(true);
    }
    ASSERT_EQ(marks.MarkedCount(), 3);
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) {
        f.ds.GotoBookmark(marks.MarkedBookmarkAt(i));
        order.push_back(f.ds.RecNo());
    }
    EXPECT_EQ(order, (std::vector<int>{2, 5, 9}));
    EXPECT_THROW(marks.MarkedBookmarkAt(3), Exception);
    // Marking a marked row changes nothing.
    marks.SetCurrentRowMarked(true);
    EXPECT_EQ(marks.MarkedCount(), 3);
    const int searches = marks.SearchCount();
    int index = 0;
    const QByteArray b = f.ds.Bookmark();
    marks.FindMark(b, index);
    marks.FindMark(b, index);
    EXPECT_EQ(marks.SearchCount(), searches); // answered by the cache
    marks.SetCurrentRowMarked(false);         // finds it through the cache, then empties the cache
    marks.FindMark(b, index);
    EXPECT_EQ(marks.SearchCount(), searches + 1);
    marks.ClearMarks();
    EXPECT_EQ(marks.MarkedCount(), 0);
}
