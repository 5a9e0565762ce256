// The marked rows of a data grid: sorted by the dataset's row order, no
// duplicates, a one-entry search cache, and repaints only for real changes.
#include "DBGrids_fixture.h"

#include <gtest/gtest.h>

#include <QPaintEvent>

using namespace gridtest;

namespace {

// Counts the paint passes of a widget.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Marks : Fixture {
    PaintCounter counter;
    explicit Marks(int rows = 12) : Fixture(rows)
    {
        grid.SetOptions(grid.Options() | dgMultiSelect);
        grid.viewport()->installEventFilter(&counter);
        Settle();
    }
    void Settle()
    {
        QApplication::processEvents();
        counter.paints = 0;
    }
    int PaintsNow()
    {
        QApplication::processEvents();
        return counter.paints;
    }
    TBookmarkList &List() { return grid.MarkedRows(); }
    void MarkRecNo(int recNo, bool value = true)
    {
        ds.SetRecNo(recNo);
        List().SetCurrentRowMarked(value);
    }
    int IdAt(int index)
    {
        ds.GotoBookmark(List().MarkedBookmarkAt(index));
        return ds.FieldByName(QStringLiteral("id")).AsInteger();
    }
};

// Deleting the row with this id fails.
class FailingDelete : public TMemDataSet
{
public:
    int failId = -1;

protected:
    void InternalDelete(int row) override
    {
        if (FieldByName(QStringLiteral("id")).AsInteger() == failId)
            throw EDatabaseError(QStringLiteral("refused"));
        TMemDataSet::InternalDelete(row);
    }
};

} // namespace

TEST(BookmarkList, KeepsTheRowOrderWhateverTheMarkingOrder)
{
    Marks f;
    f.MarkRecNo(5);
    f.MarkRecNo(2);
    f.MarkRecNo(9);
    ASSERT_EQ(f.List().MarkedCount(), 3);
    EXPECT_EQ(f.IdAt(0), 2);
    EXPECT_EQ(f.IdAt(1), 5);
    EXPECT_EQ(f.IdAt(2), 9);
    // Moving to a bookmark leaves the list alone.
    EXPECT_EQ(f.List().MarkedCount(), 3);
    f.MarkRecNo(5, false);
    EXPECT_EQ(f.IdAt(0), 2);
    EXPECT_EQ(f.IdAt(1), 9);
    EXPECT_THROW(f.List().MarkedBookmarkAt(2), Exception);
    EXPECT_THROW(f.List().MarkedBookmarkAt(-1), Exception);
}

TEST(BookmarkList, OnlyRealChangesRepaint)
{
    Marks f;
    f.ds.SetRecNo(3);
    f.Settle();
    f.List().SetCurrentRowMarked(true);
    EXPECT_GT(f.PaintsNow(), 0);
    f.Settle();
    f.List().SetCurrentRowMarked(true); // already marked
    EXPECT_EQ(f.List().MarkedCount(), 1);
    EXPECT_EQ(f.PaintsNow(), 0);
    f.ds.SetRecNo(4);
    f.Settle();
    f.List().SetCurrentRowMarked(false); // not marked
    EXPECT_EQ(f.PaintsNow(), 0);
    f.List().ClearMarks();
    EXPECT_GT(f.PaintsNow(), 0);
    f.Settle();
    f.List().ClearMarks(); // already empty
    EXPECT_EQ(f.PaintsNow(), 0);
}

TEST(BookmarkList, RepeatedSearchesAreAnsweredFromTheCacheUntilTheListChanges)
{
    Marks f;
    f.MarkRecNo(4);
    f.MarkRecNo(8);
    f.ds.SetRecNo(6);
    const QByteArray b = f.ds.Bookmark();
    int index = -1;
    const int before = f.List().SearchCount();
    EXPECT_FALSE(f.List().FindMark(b, index));
    EXPECT_EQ(index, 1); // where it would go
    EXPECT_FALSE(f.List().FindMark(b, index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(f.List().SearchCount(), before + 1);
    // An insert empties the cache.
    f.List().SetCurrentRowMarked(true);
    const int afterInsert = f.List().SearchCount();
    EXPECT_TRUE(f.List().FindMark(b, index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(f.List().SearchCount(), afterInsert + 1);
    // So does a clearing.
    f.List().ClearMarks();
    EXPECT_FALSE(f.List().FindMark(b, index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(f.List().SearchCount(), afterInsert + 2);
}

TEST(BookmarkList, EmptiedWhenTheResultOrTheSourceChanges)
{
    Marks f;
    f.MarkRecNo(2);
    f.MarkRecNo(3);
    f.ds.Close();
    EXPECT_EQ(f.List().MarkedCount(), 0);
    EXPECT_FALSE(f.List().LinkActive());
    f.ds.Open();
    EXPECT_TRUE(f.List().LinkActive());
    f.MarkRecNo(2);
    TDataSource other;
    other.SetDataSet(&f.ds);
    f.grid.SetDataSource(&other);
    EXPECT_EQ(f.List().MarkedCount(), 0);
}

TEST(BookmarkList, ClosedDatasetRefusesAndAnEmptyOneMarksNothing)
{
    Marks f;
    f.MarkRecNo(2);
    f.ds.Close();
    try {
        f.List().SetCurrentRowMarked(true);
        FAIL() << "marking on a closed dataset must fail";
    } catch (const EInvalidGridOperation &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot perform this operation on a closed dataset"));
    }
    EXPECT_THROW(f.List().IsCurrentRowMarked(), EInvalidGridOperation);
    EXPECT_THROW(f.List().CurrentRowBookmark(), EInvalidGridOperation);
    EXPECT_EQ(f.List().MarkedCount(), 0);

    f.ds.ClearRows();
    f.ds.Open();
    EXPECT_TRUE(f.List().CurrentRowBookmark().isEmpty());
    f.List().SetCurrentRowMarked(true);
    EXPECT_EQ(f.List().MarkedCount(), 0);
    EXPECT_FALSE(f.List().IsCurrentRowMarked());
}

TEST(BookmarkList, DeletesTheMarkedRecordsFromTheBottomUp)
{
    Marks f;
    f.MarkRecNo(2);
    f.MarkRecNo(7);
    f.MarkRecNo(4);
    f.ds.SetRecNo(10);
    f.List().DeleteMarkedRecords();
    EXPECT_EQ(f.List().MarkedCount(), 0);
    EXPECT_EQ(f.ds.RecordCount(), 9);
    EXPECT_FALSE(f.ds.ControlsDisabled());
    QList<int> ids;
    for (f.ds.First(); !f.ds.Eof(); f.ds.Next())
        ids << f.ds.FieldByName(QStringLiteral("id")).AsInteger();
    EXPECT_EQ(ids, (QList<int>{1, 3, 5, 6, 8, 9, 10, 11, 12}));
}

TEST(BookmarkList, AFailedDeleteKeepsTheRestMarkedAndControlsEnabled)
{
    FailingDelete ds;
    FillGoods(ds, 10);
    TDataSource source;
    source.SetDataSet(&ds);
    TestGrid grid;
    ASSERT_TRUE(ShowExposed(grid));
    grid.SetDataSource(&source);
    grid.SetOptions(grid.Options() | dgMultiSelect);
    ds.Open();
    for (int recNo : {2, 5, 8}) {
        ds.SetRecNo(recNo);
        grid.MarkedRows().SetCurrentRowMarked(true);
    }
    ds.failId = 5;
    EXPECT_THROW(grid.MarkedRows().DeleteMarkedRecords(), EDatabaseError);
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_EQ(ds.RecordCount(), 9); // 8 went first
    ASSERT_EQ(grid.MarkedRows().MarkedCount(), 2);
    ds.GotoBookmark(grid.MarkedRows().MarkedBookmarkAt(1));
    EXPECT_EQ(ds.FieldByName(QStringLiteral("id")).AsInteger(), 5);
}
