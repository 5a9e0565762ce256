// The dataset's cursor, buffer window, bookmarks, calculated fields and
// editing, over the in-memory dataset.
#include "data/dataset_mem.h"
#include "data/datasource.h"
#include "data/dberror.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// Records what a control would hear.
class RecordingLink : public TDataLink
{
public:
    QStringList events;
    std::vector<int> scrolls;
    int changes = 0;
    int flushes = 0;
    std::function<void()> onFlush;

protected:
    void HandleActiveChange() override { events << QStringLiteral("active:%1").arg(Active()); }
    void HandleDataSetChange() override
    {
        ++changes;
        events << QStringLiteral("change");
    }
    void HandleDataSetScroll(int distance) override
    {
        scrolls.push_back(distance);
        events << QStringLiteral("scroll:%1").arg(distance);
    }
    void HandleEditingChange() override { events << QStringLiteral("editing:%1").arg(Editing()); }
    void HandleLayoutChange() override
    {
        events << QStringLiteral("layout");
        TDataLink::HandleLayoutChange();
    }
    void HandleRecordChange(TField *field) override
    {
        events << QStringLiteral("record:%1").arg(field ? field->FieldName() : QStringLiteral("-"));
    }
    void HandleDataFlush() override
    {
        ++flushes;
        if (onFlush)
            onFlush();
    }
    void HandleFocusRequest(TField **field) override
    {
        events << QStringLiteral("focus:%1").arg((*field)->FieldName());
        *field = nullptr;
    }
};

// Rows id = 1..count, name = "row <id>".
void Fill(TMemDataSet &ds, int count)
{
    ds.AddColumn(QStringLiteral("id"), ftInteger);
    ds.AddColumn(QStringLiteral("name"), ftString, 30);
    for (int i = 1; i <= count; ++i)
        ds.AppendRow({i, QStringLiteral("row %1").arg(i)});
}

// count rows (as Fill makes them) with a data source and a recording link on them.
struct Linked {
    explicit Linked(int count)
    {
        Fill(ds, count);
        src.SetDataSet(&ds);
        link.SetDataSource(&src);
    }
    TMemDataSet ds;
    TDataSource src;
    RecordingLink link;
};

int IdOf(const TDataSet &ds)
{
    return ds.FieldByName(QStringLiteral("id")).AsInteger();
}

} // namespace

TEST(DataSetNavigation, FirstLastNextPriorAndEnds)
{
    TMemDataSet ds;
    Fill(ds, 5);
    ds.Open();
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(IdOf(ds), 1);
    ds.Next();
    EXPECT_FALSE(ds.Bof());
    EXPECT_EQ(IdOf(ds), 2);
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(IdOf(ds), 5);
    ds.Prior();
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 4);
    ds.Next();
    ds.Next(); // past the end: stays on the last record
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(IdOf(ds), 5);

    QList<int> visited;
    for (ds.First(); !ds.Eof(); ds.Next())
        visited << IdOf(ds);
    EXPECT_EQ(visited, (QList<int>{1, 2, 3, 4, 5}));
}

TEST(DataSetNavigation, MoveByClampsAndReturnsTheDistance)
{
    TMemDataSet ds;
    Fill(ds, 10);
    ds.Open();
    EXPECT_EQ(ds.MoveBy(3), 3);
    EXPECT_EQ(ds.RecNo(), 4);
    EXPECT_EQ(ds.MoveBy(100), 6);
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 10);
    EXPECT_EQ(ds.MoveBy(1), 0);
    EXPECT_EQ(ds.MoveBy(-100), -9);
    EXPECT_TRUE(ds.Bof());
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(ds.MoveBy(0), 0);
    ds.SetRecNo(7);
    EXPECT_EQ(IdOf(ds), 7);
    ds.SetRecNo(99);
    EXPECT_EQ(ds.RecNo(), 10);
}

TEST(DataSetNavigation, EmptyAndClosedDatasetsReadEmptyValues)
{
    TMemDataSet ds;
    Fill(ds, 0);
    TField &id = *ds.AddField(CreateField(ftInteger));
    id.SetFieldName(QStringLiteral("id"));
    TField &name = *ds.AddField(CreateField(ftString, 30));
    name.SetFieldName(QStringLiteral("name"));
    EXPECT_EQ(name.AsString(), QString()); // closed
    ds.Open();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Bof());
    EXPECT_TRUE(ds.Eof());
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_EQ(ds.RecordCount(), 0);
    EXPECT_EQ(ds.MoveBy(5), 0);
    ds.Last();
    ds.First();
    EXPECT_TRUE(id.IsNull());
    EXPECT_EQ(id.AsInteger(), 0);
    EXPECT_EQ(id.AsLargeInt(), 0);
    EXPECT_EQ(id.AsFloat(), 0.0);
    EXPECT_EQ(name.AsString(), QString());
    EXPECT_EQ(name.DisplayText(), QString());
    EXPECT_TRUE(ds.Bookmark().isEmpty());
}

TEST(DataSetBookmarks, CompareByRowOrderAndGoBack)
{
    TMemDataSet ds;
    Fill(ds, 20);
    ds.Open();
    ds.SetRecNo(2);
    const QByteArray b2 = ds.Bookmark();
    ds.SetRecNo(10);
    const QByteArray b10 = ds.Bookmark();
    EXPECT_EQ(ds.CompareBookmarks(b2, b10), -1);
    EXPECT_EQ(ds.CompareBookmarks(b10, b2), 1);
    EXPECT_EQ(ds.CompareBookmarks(b2, b2), 0);
    EXPECT_EQ(ds.CompareBookmarks(QByteArray(), b2), 0);
    EXPECT_EQ(ds.CompareBookmarks(b10, QByteArray()), 0);
    ds.GotoBookmark(b2);
    EXPECT_EQ(IdOf(ds), 2);
    EXPECT_TRUE(ds.BookmarkValid(b10));

    // A deleted row's bookmark no longer leads anywhere; others still do.
    ds.GotoBookmark(b10);
    ds.Delete();
    EXPECT_FALSE(ds.BookmarkValid(b10));
    EXPECT_THROW(ds.GotoBookmark(b10), EDatabaseError);
    ds.GotoBookmark(b2);
    EXPECT_EQ(IdOf(ds), 2);
    try {
        ds.GotoBookmark(QByteArray("junk"));
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Record not found"));
    }
}

TEST(DataSetWindow, ScrollDistancesOfABufferOfTen)
{
    Linked f(100);
    auto &[ds, src, link] = f;
    link.SetBufferCount(10);
    ds.Open();
    EXPECT_TRUE(link.Active());
    EXPECT_EQ(link.RecordCount(), 10);
    EXPECT_EQ(link.ActiveRecord(), 0);

    EXPECT_EQ(ds.MoveBy(9), 9);
    ASSERT_EQ(link.scrolls.size(), 1u);
    EXPECT_EQ(link.scrolls.back(), 0);
    EXPECT_EQ(link.ActiveRecord(), 9);
    EXPECT_EQ(ds.MoveBy(1), 1);
    EXPECT_EQ(link.scrolls.back(), 1);
    EXPECT_EQ(link.ActiveRecord(), 9);
    EXPECT_EQ(ds.RecNo(), 11);
    // Up inside the window, then past its top.
    ds.MoveBy(-9);
    EXPECT_EQ(link.scrolls.back(), 0);
    EXPECT_EQ(link.ActiveRecord(), 0);
    ds.MoveBy(-1);
    EXPECT_EQ(link.scrolls.back(), -1);
    EXPECT_EQ(link.ActiveRecord(), 0);
    // A jump further than the window: the window ends at the target.
    ds.MoveBy(50);
    EXPECT_EQ(link.scrolls.back(), 41);
    EXPECT_EQ(link.ActiveRecord(), 9);

    // Painting reads each buffered record through the active record.
    for (int i = 0; i < link.RecordCount(); ++i) {
        const int saved = link.ActiveRecord();
        link.SetActiveRecord(i);
        EXPECT_EQ(IdOf(ds), 42 + i);
        link.SetActiveRecord(saved);
    }
    EXPECT_EQ(ds.RecNo(), 51);

    ds.Last();
    EXPECT_EQ(link.RecordCount(), 10);
    EXPECT_EQ(link.ActiveRecord(), 9);
    ds.First();
    EXPECT_EQ(link.ActiveRecord(), 0);
}

TEST(DataSetWindow, BufferCountChangesKeepTheCurrentRecordVisible)
{
    Linked f(30);
    auto &[ds, src, link] = f;
    link.SetBufferCount(10);
    ds.Open();
    ds.Last();               // window 21..30
    link.SetBufferCount(15); // grows upwards at the end of the data
    EXPECT_EQ(link.RecordCount(), 15);
    EXPECT_EQ(link.ActiveRecord(), 14);
    EXPECT_EQ(IdOf(ds), 30);
    ds.First();
    ds.MoveBy(12);
    link.SetBufferCount(5); // shrinking: the current record becomes the last
    EXPECT_EQ(link.RecordCount(), 5);
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(IdOf(ds), 13);
    link.SetBufferCount(100); // more than there are rows
    EXPECT_EQ(link.RecordCount(), 30);
    EXPECT_EQ(link.ActiveRecord(), 12);
}

TEST(DataSetWindow, TwoLinksOfDifferentSizesScrollEachTheirOwnWay)
{
    TMemDataSet ds;
    Fill(ds, 50);
    TDataSource src;
    src.SetDataSet(&ds);
    RecordingLink big, small;
    big.SetDataSource(&src);
    small.SetDataSource(&src);
    big.SetBufferCount(10);
    ds.Open();
    EXPECT_EQ(small.RecordCount(), 1);
    ds.MoveBy(3);
    EXPECT_EQ(big.scrolls.back(), 0);
    EXPECT_EQ(small.scrolls.back(), 3);
    EXPECT_EQ(small.ActiveRecord(), 0);
    EXPECT_EQ(big.ActiveRecord(), 3);
}

TEST(DataSetCalcFields, RunOncePerRecordEnteringTheBuffer)
{
    TMemDataSet ds;
    ds.AddColumn(QStringLiteral("id"), ftInteger);
    for (int i = 1; i <= 100000; ++i)
        ds.AppendRow({i});
    ds.AddField(CreateField(ftInteger))->SetFieldName(QStringLiteral("id"));
    TField *label = ds.AddField(CreateField(ftString, 8));
    label->SetFieldName(QStringLiteral("label"));
    label->SetFieldKind(fkCalculated);
    int calls = 0;
    ds.OnCalcFields = [&](TDataSet &d) {
        ++calls;
        EXPECT_EQ(d.State(), dsCalcFields);
        d.FieldByName(QStringLiteral("label")).SetAsString(QStringLiteral("#%1 is long").arg(IdOf(d)));
    };
    TDataSource src;
    src.SetDataSet(&ds);
    RecordingLink grid;
    grid.SetDataSource(&src);
    grid.SetBufferCount(20);
    ds.Open();
    EXPECT_EQ(calls, 20);
    EXPECT_EQ(label->AsString(), QStringLiteral("#1 is lo")); // cut to its size
    ds.MoveBy(19);
    EXPECT_EQ(calls, 20);
    ds.Next();
    EXPECT_EQ(calls, 21);
    ds.MoveBy(20); // one page
    EXPECT_EQ(calls, 41);
    // Painting every row reads the stored values only.
    for (int i = 0; i < grid.RecordCount(); ++i) {
        grid.SetActiveRecord(i);
        (void)label->DisplayText();
    }
    grid.SetActiveRecord(19);
    EXPECT_EQ(calls, 41);
    EXPECT_EQ(label->AsString(), QStringLiteral("#41 is l"));

    // Detached for a walk over every record, then attached again.
    const TDataSetNotifyEvent saved = ds.OnCalcFields;
    ds.OnCalcFields = nullptr;
    ds.DisableControls();
    int walked = 0;
    for (ds.First(); !ds.Eof(); ds.Next())
        ++walked;
    ds.OnCalcFields = saved;
    ds.SetRecNo(41);
    ds.EnableControls();
    EXPECT_EQ(walked, 100000);
    EXPECT_LE(calls, 41 + 40);
    EXPECT_EQ(ds.State(), dsBrowse);
    ds.Resync(); // a resync computes the buffered records again
    EXPECT_EQ(label->AsString(), QStringLiteral("#41 is l"));
}

TEST(DataSetControls, NestedDisableGivesOneChangeAtTheEnd)
{
    TMemDataSet ds;
    Fill(ds, 30);
    TDataSource src;
    src.SetDataSet(&ds);
    int dataChanges = 0;
    src.OnDataChange = [&](TDataSource &, TField *) { ++dataChanges; };
    RecordingLink link;
    link.SetDataSource(&src);
    link.SetBufferCount(5);
    ds.Open();
    link.events.clear();
    dataChanges = 0;
    ds.DisableControls();
    ds.DisableControls();
    ds.MoveBy(12);
    ds.Last();
    ds.EnableControls();
    EXPECT_TRUE(link.events.isEmpty());
    EXPECT_TRUE(ds.ControlsDisabled());
    ds.EnableControls();
    EXPECT_FALSE(ds.ControlsDisabled());
    EXPECT_EQ(link.events, QStringList{QStringLiteral("change")});
    EXPECT_EQ(dataChanges, 1);
    EXPECT_EQ(link.ActiveRecord(), 4);
    ds.EnableControls(); // unbalanced: ignored
    EXPECT_EQ(link.changes, 1);

    // Reopened while disabled: the link hears a layout change.
    ds.DisableControls();
    ds.Close();
    ds.Open();
    ds.EnableControls();
    EXPECT_EQ(link.events.last(), QStringLiteral("change"));
    EXPECT_TRUE(link.events.contains(QStringLiteral("layout")));
}

TEST(DataSetLinks, ActiveChangeAndDataSourceSwitches)
{
    TMemDataSet ds;
    Fill(ds, 3);
    TDataSource src;
    RecordingLink link;
    link.SetDataSource(&src);
    src.SetDataSet(&ds);
    EXPECT_FALSE(link.Active());
    ds.Open();
    EXPECT_TRUE(link.Active());
    src.SetEnabled(false);
    EXPECT_FALSE(link.Active());
    ds.Next(); // a disabled source passes nothing on
    src.SetEnabled(true);
    EXPECT_TRUE(link.Active());
    ds.Close();
    EXPECT_FALSE(link.Active());
    EXPECT_EQ(link.events.filter(QStringLiteral("active")),
              (QStringList{QStringLiteral("active:1"), QStringLiteral("active:0"), QStringLiteral("active:1"),
                           QStringLiteral("active:0")}));
    EXPECT_EQ(link.scrolls.size(), 0u);
}

TEST(DataSetFields, DeclaredFieldsOnlyAndTheMissingFieldError)
{
    TMemDataSet ds;
    Fill(ds, 2);
    ds.AddField(CreateField(ftInteger))->SetFieldName(QStringLiteral("id"));
    ds.Open();
    EXPECT_FALSE(ds.DefaultFields());
    EXPECT_EQ(ds.FieldCount(), 1);
    EXPECT_EQ(ds.FindField(QStringLiteral("name")), nullptr);
    try {
        ds.FieldByName(QStringLiteral("name"));
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Field 'name' not found"));
    }
    EXPECT_EQ(ds.FieldByName(QStringLiteral("ID")).AsInteger(), 1);
}

TEST(DataSetFields, AutomaticFieldsFollowTheColumns)
{
    TMemDataSet ds;
    Fill(ds, 2);
    EXPECT_EQ(ds.FieldCount(), 0);
    ds.Open();
    EXPECT_TRUE(ds.DefaultFields());
    ASSERT_EQ(ds.FieldCount(), 2);
    EXPECT_EQ(ds.Fields()[0]->DataType(), ftInteger);
    EXPECT_EQ(ds.Fields()[0]->Alignment(), taRightJustify);
    EXPECT_EQ(ds.Fields()[1]->DataType(), ftString);
    EXPECT_EQ(ds.Fields()[1]->Alignment(), taLeftJustify);
    EXPECT_EQ(ds.Fields()[1]->DisplayWidth(), 30);
    EXPECT_EQ(ds.Fields()[1]->Index(), 1);
    ds.Close();
    EXPECT_EQ(ds.FieldCount(), 0);
}

TEST(DataSetFields, DeclaredFieldMissingFromTheSourceFailsTheOpen)
{
    TMemDataSet ds;
    Fill(ds, 2);
    ds.AddField(CreateField(ftInteger))->SetFieldName(QStringLiteral("nosuch"));
    EXPECT_THROW(ds.Open(), EDatabaseError);
    EXPECT_FALSE(ds.Active());
}

TEST(DataSetFields, TextEventsAndEditText)
{
    TMemDataSet ds;
    Fill(ds, 2);
    ds.Open();
    TField &name = ds.FieldByName(QStringLiteral("name"));
    name.OnGetText = [](TField &f, QString &text, bool display) {
        text = (display ? QStringLiteral("[") : QStringLiteral("(")) + f.AsString() + QStringLiteral("]");
    };
    EXPECT_EQ(name.DisplayText(), QStringLiteral("[row 1]"));
    EXPECT_EQ(name.Text(), QStringLiteral("(row 1]"));
    QString received;
    name.OnSetText = [&](TField &f, const QString &text) {
        received = text;
        f.SetAsString(text.toUpper());
    };
    ds.Edit();
    name.SetText(QStringLiteral("abc"));
    ds.Post();
    EXPECT_EQ(received, QStringLiteral("abc"));
    EXPECT_EQ(name.AsString(), QStringLiteral("ABC"));
    EXPECT_FALSE(ds.FieldByName(QStringLiteral("id")).IsValidChar(u'x'));
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("id")).IsValidChar(u'7'));
}

TEST(DataSetEditing, EditPostCancelAndTheLinkNotifications)
{
    Linked f(5);
    auto &[ds, src, link] = f;
    ds.Open();
    TField &name = ds.FieldByName(QStringLiteral("name"));
    EXPECT_THROW(name.SetAsString(QStringLiteral("x")), EDatabaseError); // browsing
    link.events.clear();
    EXPECT_TRUE(link.Edit());
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_FALSE(ds.Modified());
    link.onFlush = [&] { name.SetAsString(QStringLiteral("from editor")); };
    ds.Post();
    EXPECT_EQ(link.flushes, 1);
    EXPECT_EQ(name.AsString(), QStringLiteral("from editor"));
    EXPECT_TRUE(link.events.contains(QStringLiteral("editing:1")));
    EXPECT_TRUE(link.events.contains(QStringLiteral("record:name")));
    EXPECT_TRUE(link.events.contains(QStringLiteral("editing:0")));
    link.onFlush = nullptr;

    ds.Edit();
    name.SetAsString(QStringLiteral("dropped"));
    EXPECT_TRUE(ds.Modified());
    ds.Cancel();
    EXPECT_EQ(name.AsString(), QStringLiteral("from editor"));

    // Moving away posts a modified record.
    ds.Edit();
    name.SetAsString(QStringLiteral("kept"));
    ds.Next();
    ds.Prior();
    EXPECT_EQ(name.AsString(), QStringLiteral("kept"));

    name.FocusControl();
    EXPECT_EQ(link.events.last(), QStringLiteral("focus:name"));
}

TEST(DataSetEditing, InsertAppendAndDelete)
{
    Linked f(3);
    auto &[ds, src, link] = f;
    link.SetBufferCount(3);
    ds.Open();
    ds.Next();
    ds.Insert();
    EXPECT_EQ(ds.State(), dsInsert);
    EXPECT_TRUE(ds.FieldByName(QStringLiteral("id")).IsNull());
    ds.FieldByName(QStringLiteral("id")).SetAsInteger(10);
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_EQ(IdOf(ds), 10);

    ds.Append();
    EXPECT_EQ(link.ActiveRecord(), 2);
    ds.Cancel(); // nothing typed: no record
    EXPECT_EQ(ds.RecordCount(), 4);
    ds.Append();
    ds.FieldByName(QStringLiteral("id")).SetAsInteger(20);
    ds.Post();
    ds.Last();
    EXPECT_EQ(IdOf(ds), 20);
    ds.Delete();
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(IdOf(ds), 3);
    QList<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next())
        ids << IdOf(ds);
    EXPECT_EQ(ids, (QList<int>{1, 10, 2, 3}));

    TMemDataSet readOnly;
    Fill(readOnly, 1);
    readOnly.SetReadOnly(true);
    readOnly.Open();
    EXPECT_FALSE(readOnly.CanModify());
    EXPECT_THROW(readOnly.Edit(), EDatabaseError);
    EXPECT_THROW(readOnly.Delete(), EDatabaseError);
}

TEST(DataSetFields, LookupFieldTakesItsValueFromTheOtherDataset)
{
    TMemDataSet cities;
    cities.AddColumn(QStringLiteral("cid"), ftInteger);
    cities.AddColumn(QStringLiteral("name"), ftString, 20);
    cities.AppendRow({343, QStringLiteral("Екатеринбург")});
    cities.AppendRow({351, QStringLiteral("Челябинск")});
    cities.Open();

    TMemDataSet firms;
    firms.AddColumn(QStringLiteral("cid"), ftInteger);
    firms.AppendRow({351});
    firms.AppendRow({999});
    firms.AddField(CreateField(ftInteger))->SetFieldName(QStringLiteral("cid"));
    TField *city = firms.AddField(CreateField(ftString, 20));
    city->SetFieldName(QStringLiteral("city"));
    city->SetFieldKind(fkLookup);
    city->KeyFields = QStringLiteral("cid");
    city->LookupDataSet = &cities;
    city->LookupKeyFields = QStringLiteral("cid");
    city->LookupResultField = QStringLiteral("name");
    firms.Open();
    EXPECT_EQ(city->AsString(), QStringLiteral("Челябинск"));
    EXPECT_FALSE(city->CanModify());
    firms.Next();
    EXPECT_TRUE(city->IsNull());
    EXPECT_EQ(cities.RecNo(), 1); // the lookup does not move the other cursor
}

TEST(DataSetFields, ObjectFieldsListTheirSubFieldsAfterThem)
{
    TMemDataSet ds;
    ds.AddColumn(QStringLiteral("addr.street"), ftString, 20);
    ds.AddColumn(QStringLiteral("addr.house"), ftString, 5);
    ds.AppendRow({QStringLiteral("Ленина"), QStringLiteral("5")});
    TField *addr = ds.AddField(std::make_unique<TObjectField>());
    addr->SetFieldName(QStringLiteral("addr"));
    addr->AddChild(CreateField(ftString, 20))->SetFieldName(QStringLiteral("street"));
    addr->AddChild(CreateField(ftString, 5))->SetFieldName(QStringLiteral("house"));
    ds.Open();
    EXPECT_EQ(ds.FieldCount(), 1);
    ASSERT_EQ(ds.FieldList().size(), 3u);
    EXPECT_EQ(ds.FieldList()[2]->FullName(), QStringLiteral("addr.house"));
    EXPECT_EQ(ds.FieldList()[1]->ParentField(), addr);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("addr.street")).AsString(), QStringLiteral("Ленина"));
}

TEST(DataSetFields, PropertyChangesReachTheLinksAsLayoutChanges)
{
    Linked f(2);
    auto &[ds, src, link] = f;
    ds.Open();
    link.events.clear();
    TField &name = ds.FieldByName(QStringLiteral("name"));
    name.SetVisible(false);
    name.SetVisible(false); // unchanged: nothing
    EXPECT_EQ(link.events, (QStringList{QStringLiteral("layout"), QStringLiteral("change")}));
    EXPECT_FALSE(name.Visible());
    name.SetDisplayLabel(QStringLiteral("Имя"));
    EXPECT_EQ(name.DisplayLabel(), QStringLiteral("Имя"));
    EXPECT_EQ(name.FieldName(), QStringLiteral("name"));
}

TEST(DataSetNavigation, UnidirectionalRefusesToGoBack)
{
    TMemDataSet ds;
    Fill(ds, 3);
    ds.SetUniDirectional(true);
    ds.Open();
    EXPECT_TRUE(ds.IsUnidirectional());
    ds.Next();
    EXPECT_THROW(ds.Prior(), EDatabaseError);
}

TEST(DataSetFields, ObserversHearWhenAFieldGoes)
{
    TMemDataSet ds;
    Fill(ds, 2);
    ds.Open();
    QStringList gone;
    int observer = 0;
    for (TField *f : ds.Fields())
        f->FreeNotification(&observer, [&](TField &f) { gone << f.FieldName(); });
    ds.Fields()[0]->RemoveFreeNotification(&observer);
    ds.Close(); // automatic fields end with the open dataset
    EXPECT_EQ(gone, QStringList{QStringLiteral("name")});
    EXPECT_TRUE(ds.Fields().empty());

    TMemDataSet declared;
    Fill(declared, 1);
    TField *id = declared.AddField(CreateField(ftInteger));
    id->SetFieldName(QStringLiteral("id"));
    EXPECT_TRUE(declared.HasPersistentFields());
    bool told = false;
    id->FreeNotification(&observer, [&](TField &) {
        told = true;
        EXPECT_EQ(declared.FindField(QStringLiteral("id")), nullptr); // already out of the list
    });
    declared.Open();
    declared.Close();
    EXPECT_FALSE(told); // declared fields outlive the open result
    declared.RemoveField(id);
    EXPECT_TRUE(told);
}

TEST(DataSetCalcFields, AFailingHandlerLeavesTheDatasetClosedAndBrowsable)
{
    TMemDataSet ds;
    Fill(ds, 5);
    bool fail = true;
    ds.OnCalcFields = [&](TDataSet &) {
        if (fail)
            throw EDatabaseError(QStringLiteral("no address"));
    };
    EXPECT_THROW(ds.Open(), EDatabaseError);
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.State(), dsInactive);
    fail = false;
    ds.Open();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(IdOf(ds), 1);
}

TEST(DataSetWindow, ShortAndLongScrollsKeepEveryBufferInStep)
{
    // Every buffered record must show its own row after any mix of moves.
    Linked f(200);
    auto &[ds, src, link] = f;
    link.SetBufferCount(7);
    ds.Open();
    const int moves[] = {3, 5, -2, 6, 40, -6, -1, 150, -100, 2, -7, 9, -200, 300, -3};
    for (int m : moves) {
        ds.MoveBy(m);
        const int active = link.ActiveRecord();
        const int current = ds.RecNo();
        for (int i = 0; i < link.RecordCount(); ++i) {
            link.SetActiveRecord(i);
            EXPECT_EQ(IdOf(ds), current - active + i) << "after " << m;
        }
        link.SetActiveRecord(active);
        EXPECT_EQ(ds.RecNo(), current);
    }
    // Each record is read once per entry into the window, not per move.
    EXPECT_LT(ds.LoadedRowCount(), 7 + 3 + 5 + 6 + 7 + 6 + 1 + 7 + 7 + 2 + 7 + 7 + 7 + 7 + 3 + 1);
}

TEST(DataSetCalcFields, RecordsReadWithoutTheHandlerAreCalculatedWhenItComesBack)
{
    // Marking every row walks with the handler detached, then attaches it,
    // goes back near the end and enables the controls: the rows on screen
    // must carry their calculated values.
    TMemDataSet ds;
    Fill(ds, 50);
    TField *label = ds.AddField(CreateField(ftString, 20));
    label->SetFieldName(QStringLiteral("label"));
    label->SetFieldKind(fkCalculated);
    ds.AddField(CreateField(ftInteger))->SetFieldName(QStringLiteral("id"));
    int calls = 0;
    ds.OnCalcFields = [&](TDataSet &d) {
        ++calls;
        d.FieldByName(QStringLiteral("label")).SetAsString(QStringLiteral("L%1").arg(IdOf(d)));
    };
    TDataSource src;
    src.SetDataSet(&ds);
    RecordingLink grid;
    grid.SetDataSource(&src);
    grid.SetBufferCount(10);
    ds.Open();
    ds.SetRecNo(48);

    const TDataSetNotifyEvent saved = ds.OnCalcFields;
    ds.OnCalcFields = nullptr;
    ds.DisableControls();
    for (ds.First(); !ds.Eof(); ds.Next()) {
    }
    ds.OnCalcFields = saved;
    const int before = calls;
    ds.SetRecNo(48); // inside the last window: no record is read again
    ds.EnableControls();
    EXPECT_EQ(calls - before, 10);
    for (int i = 0; i < grid.RecordCount(); ++i) {
        grid.SetActiveRecord(i);
        EXPECT_EQ(label->AsString(), QStringLiteral("L%1").arg(41 + i));
    }
}

TEST(DataSetLinks, SwitchingBetweenOpenDatasetsIsAnActiveChange)
{
    TMemDataSet a, b;
    Fill(a, 3);
    Fill(b, 5);
    a.Open();
    b.Open();
    TDataSource src;
    src.SetDataSet(&a);
    RecordingLink link;
    link.SetDataSource(&src);
    link.events.clear();
    src.SetDataSet(&b);
    EXPECT_EQ(link.events, (QStringList{QStringLiteral("active:0"), QStringLiteral("active:1")}));
    EXPECT_EQ(link.DataSet(), &b);
    TDataSource other;
    other.SetDataSet(&a);
    link.events.clear();
    link.SetDataSource(&other);
    EXPECT_EQ(link.events, (QStringList{QStringLiteral("active:0"), QStringLiteral("active:1")}));
}

TEST(DataSetLinks, EnablingASourceOnAnOpenDatasetReportsAChange)
{
    TMemDataSet ds;
    Fill(ds, 3);
    TDataSource src;
    src.SetDataSet(&ds);
    QStringList heard;
    src.OnDataChange = [&](TDataSource &, TField *) { heard << QStringLiteral("data"); };
    src.OnStateChange = [&](TDataSource &s) { heard << QStringLiteral("state %1").arg(int(s.State())); };
    ds.Open();
    heard.clear();
    // Disabled, closed and opened again: the source hears nothing meanwhile.
    src.SetEnabled(false);
    ds.Close();
    ds.Open();
    EXPECT_EQ(heard, QStringList{QStringLiteral("state 0")});
    heard.clear();
    src.SetEnabled(true);
    EXPECT_EQ(heard, (QStringList{QStringLiteral("state %1").arg(int(dsBrowse)), QStringLiteral("data")}));
    // On a closed dataset enabling changes nothing.
    ds.Close();
    src.SetEnabled(false);
    heard.clear();
    src.SetEnabled(true);
    EXPECT_TRUE(heard.isEmpty());
}
