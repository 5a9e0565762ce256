// The cell editor's styles and its two lists: the column's pick list and the
// lookup dataset's rows, accepted and cancelled on an editable dataset.
#include "DBGrids_fixture.h"

#include <gtest/gtest.h>

#include <QToolButton>

using namespace gridtest;

namespace {
TDBGridInplaceEdit *OpenEditor(TestGrid &grid, int gridCol)
{
    grid.MoveCurrent(gridCol, 1, true, false);
    grid.ShowEditor();
    return dynamic_cast<TDBGridInplaceEdit *>(grid.InplaceEditor());
}

struct PickFixture : Fixture {
    TColumn *name;
    PickFixture() : Fixture(3, false)
    {
        name = grid.Columns().AppendColumn();
        name->SetFieldName(QStringLiteral("name"));
        name->PickList() = QStringList{QStringLiteral("alpha"), QStringLiteral("beta")};
        grid.Columns().AppendColumn()->SetFieldName(QStringLiteral("price"));
        ds.Open();
    }
};
} // namespace

TEST(DBGridInplaceEdit, PickListAcceptWritesTheChosenLine)
{
    PickFixture f;
    TDBGridInplaceEdit *ed = OpenEditor(f.grid, 1);
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->EditStyle(), esPickList);
    EXPECT_FALSE(ed->UseDataList());
    ed->OpenList();
    ASSERT_TRUE(ed->ListVisible());
    EXPECT_EQ(ed->PickList()->count(), 2);
    EXPECT_EQ(ed->PickList()->currentItem(), nullptr); // "good 1" matches no line
    ed->PickList()->setCurrentRow(1);
    ed->CloseList(true);
    EXPECT_FALSE(ed->ListVisible());
    EXPECT_EQ(f.ds.State(), dsEdit);
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("beta"));
    EXPECT_EQ(ed->text(), QStringLiteral("beta"));
}

TEST(DBGridInplaceEdit, PickListCancelOrNoSelectionChangesNothing)
{
    PickFixture f;
    TDBGridInplaceEdit *ed = OpenEditor(f.grid, 1);
    ASSERT_NE(ed, nullptr);
    ed->OpenList();
    ed->PickList()->setCurrentRow(0);
    ed->CloseList(false);
    EXPECT_EQ(f.ds.State(), dsBrowse);
    ed->OpenList();
    ed->CloseList(true); // accepted with no line selected
    EXPECT_EQ(f.ds.State(), dsBrowse);
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("good 1"));
    // Closing a list that is not open does nothing.
    ed->CloseList(true);
    EXPECT_EQ(f.ds.State(), dsBrowse);
}

TEST(DBGridInplaceEdit, EditStyles)
{
    PickFixture f;
    TDBGridInplaceEdit *ed = OpenEditor(f.grid, 2);
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->EditStyle(), esSimple);
    f.grid.HideEditor();
    TColumn *price = f.grid.Columns()[1];
    price->SetButtonStyle(cbsEllipsis);
    int pressed = 0;
    f.grid.OnEditButtonClick = [&](QObject *) { ++pressed; };
    ed = OpenEditor(f.grid, 1);
    f.grid.MoveCurrent(2, 1, true, false);
    EXPECT_EQ(ed->EditStyle(), esEllipsis);
    ed->Button()->click();
    EXPECT_EQ(pressed, 1);
    // A read-only column keeps its pick list shut and its editor read-only.
    f.grid.MoveCurrent(1, 1, true, false);
    f.name->SetReadOnly(true);
    f.grid.InvalidateEditor();
    EXPECT_EQ(ed->EditStyle(), esSimple);
    EXPECT_TRUE(ed->isReadOnly());
}

namespace {
struct LookupFixture {
    TMemDataSet cities;
    TMemDataSet firms;
    TDataSource source;
    TestGrid grid;
    TField *cid = nullptr;
    TField *city = nullptr;
    LookupFixture()
    {
        cities.AddColumn(QStringLiteral("cid"), ftInteger);
        cities.AddColumn(QStringLiteral("name"), ftString, 20);
        cities.AppendRow({343, QStringLiteral("Екатеринбург")});
        cities.AppendRow({351, QStringLiteral("Челябинск")});
        cities.Open();
        firms.AddColumn(QStringLiteral("cid"), ftInteger);
        firms.AddColumn(QStringLiteral("sfn"), ftString, 30);
        firms.AppendRow({351, QStringLiteral("Фирма")});
        cid = firms.AddField(CreateField(ftInteger));
        cid->SetFieldName(QStringLiteral("cid"));
        firms.AddField(CreateField(ftString, 30))->SetFieldName(QStringLiteral("sfn"));
        city = firms.AddField(CreateField(ftString, 20));
        city->SetFieldName(QStringLiteral("city"));
        city->SetFieldKind(fkLookup);
        city->KeyFields = QStringLiteral("cid");
        city->LookupDataSet = &cities;
        city->LookupKeyFields = QStringLiteral("cid");
        city->LookupResultField = QStringLiteral("name");
        source.SetDataSet(&firms);
        (void)ShowExposed(grid);
        grid.Columns().AppendColumn()->SetFieldName(QStringLiteral("sfn"));
        grid.Columns().AppendColumn()->SetFieldName(QStringLiteral("city"));
        grid.SetDataSource(&source);
        firms.Open();
    }
};
} // namespace

TEST(DBGridInplaceEdit, LookupListAcceptSetsTheKeyField)
{
    LookupFixture f;
    TDBGridInplaceEdit *ed = OpenEditor(f.grid, 2);
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(ed->EditStyle(), esPickList);
    EXPECT_TRUE(ed->UseDataList());
    EXPECT_EQ(ed->text(), QStringLiteral("Челябинск"));
    ed->OpenList();
    ASSERT_TRUE(ed->ListVisible());
    ASSERT_EQ(ed->ActiveList(), ed->DataList());
    ASSERT_EQ(ed->DataList()->count(), 2);
    EXPECT_EQ(ed->DataList()->KeyValue(), QVariant(351)); // the current key is selected
    EXPECT_EQ(ed->LookupSource().DataSet(), &f.cities);
    ed->DataList()->setCurrentRow(0);
    ed->CloseList(true);
    EXPECT_EQ(ed->LookupSource().DataSet(), nullptr);
    EXPECT_EQ(f.firms.State(), dsEdit);
    EXPECT_EQ(f.cid->AsInteger(), 343);
    f.firms.Post();
    EXPECT_EQ(f.city->AsString(), QStringLiteral("Екатеринбург"));
    EXPECT_EQ(f.cities.RecNo(), 1); // the lookup table's cursor is where it was
}

TEST(DBGridInplaceEdit, LookupListCancelAndReadOnlyKey)
{
    LookupFixture f;
    TDBGridInplaceEdit *ed = OpenEditor(f.grid, 2);
    ASSERT_NE(ed, nullptr);
    ed->OpenList();
    ed->DataList()->setCurrentRow(0);
    ed->CloseList(false);
    EXPECT_EQ(f.firms.State(), dsBrowse);
    EXPECT_EQ(f.cid->AsInteger(), 351);
    // A key that cannot change makes the editor plain.
    f.cid->SetReadOnly(true);
    f.grid.InvalidateEditor();
    EXPECT_EQ(ed->EditStyle(), esSimple);
    EXPECT_FALSE(ed->UseDataList());
}

TEST(DBGridInplaceEdit, LookupListRowThatCannotBeReadLeavesTheTableAsItWas)
{
    LookupFixture f;
    f.cities.AppendRow({3452, QStringLiteral("Тюмень")});
    f.cities.Refresh();
    f.cities.Last();
    TField *name = &f.cities.FieldByName(QStringLiteral("name"));
    name->OnGetText = [](TField &field, QString &text, bool) {
        text = field.AsString();
        if (field.DataSet()->RecNo() == 2)
            throw EDatabaseError(QStringLiteral("broken row"));
    };
    TDataSource listSource;
    listSource.SetDataSet(&f.cities);
    TDBLookupListBox box;
    box.KeyField = QStringLiteral("cid");
    box.ListField = QStringLiteral("name");
    EXPECT_THROW(box.SetListSource(&listSource), EDatabaseError);
    EXPECT_FALSE(f.cities.ControlsDisabled());
    EXPECT_EQ(f.cities.RecNo(), 3);

    name->OnGetText = nullptr;
    box.SetListSource(&listSource);
    EXPECT_EQ(box.count(), 3);
    EXPECT_FALSE(f.cities.ControlsDisabled());
    EXPECT_EQ(f.cities.RecNo(), 3);
}
