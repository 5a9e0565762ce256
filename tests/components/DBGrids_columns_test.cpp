// Columns, titles and the column collection: assigned values against live
// defaults, width rules, change reports and the update bracket.
#include "DBGrids_fixture.h"
#include "components/replfont.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace gridtest;

namespace {
// A customized grid over the goods with columns name and price.
struct Customized : Fixture {
    TColumn *name;
    TColumn *price;
    Customized() : Fixture(3, false)
    {
        name = grid.Columns().AppendColumn();
        name->SetFieldName(QStringLiteral("name"));
        price = grid.Columns().AppendColumn();
        price->SetFieldName(QStringLiteral("price"));
        ds.Open();
    }
};
} // namespace

TEST(DBGridColumn, DefaultsFollowTheGridUntilAssigned)
{
    Customized f;
    TColumn *c = f.name;
    EXPECT_EQ(c->AssignedFlags(), 0u);
    f.grid.SetColor(QColor(1, 2, 3));
    EXPECT_EQ(c->Color(), QColor(1, 2, 3));
    c->SetColor(QColor(9, 9, 9));
    EXPECT_TRUE(c->AssignedFlags() & avColor);
    f.grid.SetColor(QColor(4, 5, 6));
    EXPECT_EQ(c->Color(), QColor(9, 9, 9));

    f.grid.SetFixedColor(QColor(7, 7, 7));
    EXPECT_EQ(c->Title().Color(), QColor(7, 7, 7));
    EXPECT_EQ(c->Title().Caption(), QStringLiteral("name"));
    f.ds.FieldByName(QStringLiteral("name")).SetDisplayLabel(QStringLiteral("Товар"));
    EXPECT_EQ(c->Title().Caption(), QStringLiteral("Товар"));
    EXPECT_EQ(c->Title().Alignment(), taLeftJustify);

    // Alignment follows the field; ReadOnly follows the grid.
    f.ds.FieldByName(QStringLiteral("price")).SetAlignment(taRightJustify);
    EXPECT_EQ(f.price->Alignment(), taRightJustify);
    EXPECT_FALSE(c->ReadOnly());
    f.grid.SetReadOnly(true);
    EXPECT_TRUE(c->ReadOnly());

    // ResetToDefaults forgets every assigned value.
    c->Title().SetCaption(QStringLiteral("x"));
    c->ResetToDefaults();
    EXPECT_EQ(c->AssignedFlags(), 0u);
    EXPECT_EQ(c->Color(), QColor(4, 5, 6));
    EXPECT_EQ(c->Title().Caption(), QStringLiteral("Товар"));
}

TEST(DBGridColumn, FontsFollowTheGridUntilChangedThroughTheFontObject)
{
    QWidget form;
    Customized f;
    f.grid.setParent(&form);
    new QWidget(&form);
    QFont big = f.grid.Font().Font();
    big.setPointSize(big.pointSize() + 3);
    f.grid.Font().SetFont(big);
    EXPECT_EQ(f.name->Font().Font(), big);
    EXPECT_FALSE(f.name->AssignedFlags() & avFont);
    // The character-set fix-up changes every column's own font object, and
    // leaves the grid's font and the titles alone.
    SetFormCharsetRussian(&form);
    for (TColumn *c : {f.name, f.price}) {
        EXPECT_TRUE(c->AssignedFlags() & avFont);
        EXPECT_EQ(c->Font().Charset(), RUSSIAN_CHARSET);
        EXPECT_NE(c->Title().Font().Charset(), RUSSIAN_CHARSET);
    }
    EXPECT_NE(f.grid.Font().Charset(), RUSSIAN_CHARSET);
    QFont small = big;
    small.setPointSize(big.pointSize() - 2);
    f.grid.Font().SetFont(small);
    EXPECT_EQ(f.name->Font().Font(), big);
    EXPECT_EQ(f.price->Font().Font(), big);
    f.name->ResetToDefaults();
    EXPECT_EQ(f.name->Font().Font(), small);

    // Title fonts follow TitleFont; changing one relays out the whole grid.
    f.grid.TitleFont().SetBold(true);
    EXPECT_TRUE(f.price->Title().Font().Bold());
    const int layoutsBefore = f.grid.layouts;
    f.price->Title().Font().SetColor(QColor(255, 0, 0));
    EXPECT_TRUE(f.price->AssignedFlags() & avTitleFont);
    EXPECT_EQ(f.grid.layouts, layoutsBefore + 1);
}

TEST(DBGridColumn, EqualValuesNotifyNothing)
{
    Customized f;
    CountingColumns &cols = f.grid.Counting();
    f.name->SetAlignment(taCenter);
    const int after = cols.columnChanges;
    f.name->SetAlignment(taCenter);
    f.name->SetColor(f.name->Color()); // first assignment counts
    const int afterColor = cols.columnChanges;
    EXPECT_EQ(afterColor, after + 1);
    f.name->SetColor(f.name->Color());
    f.name->Title().SetCaption(QStringLiteral("t"));
    f.name->Title().SetCaption(QStringLiteral("t"));
    f.name->Title().SetAlignment(taCenter);
    f.name->Title().SetAlignment(taCenter);
    f.name->SetButtonStyle(cbsAuto);
    EXPECT_EQ(cols.columnChanges, afterColor + 2);
    f.name->SetReadOnly(true);
    f.name->SetReadOnly(true);
    EXPECT_EQ(cols.columnChanges, afterColor + 3);
    // Visibility changes the whole collection: one layout.
    const int layouts = f.grid.layouts;
    f.name->SetVisible(false);
    f.name->SetVisible(false);
    EXPECT_EQ(f.grid.layouts, layouts + 1);
}

TEST(DBGridColumn, WidthRules)
{
    Customized f;
    TColumn *c = f.name;
    // Not assigned: the natural width.
    const TFont &font = c->Font();
    const int digits =
        f.ds.FieldByName(QStringLiteral("name")).DisplayWidth() * font.TextWidth(QStringLiteral("0")) + 4;
    const int title = c->Title().Font().TextWidth(c->Title().Caption()) + 4;
    EXPECT_EQ(c->NaturalWidth(), qMax(digits, title));
    EXPECT_EQ(c->Width(), c->NaturalWidth());
    c->Title().SetCaption(QString(200, QLatin1Char('W')));
    EXPECT_EQ(c->NaturalWidth(), c->Title().Font().TextWidth(c->Title().Caption()) + 4);
    f.grid.SetOptions(f.grid.Options() & ~dgTitles);
    EXPECT_EQ(c->NaturalWidth(), digits);

    // -1 is never stored; the natural width itself is not stored either.
    c->SetWidth(-1);
    EXPECT_FALSE(c->AssignedFlags() & avWidth);
    c->SetWidth(c->NaturalWidth());
    EXPECT_FALSE(c->AssignedFlags() & avWidth);
    c->SetWidth(77);
    EXPECT_EQ(c->Width(), 77);
    EXPECT_EQ(f.grid.ColWidth(f.grid.DataToGridColumn(c->Index())), 77);
    // A column not showing reads -1 although a width is assigned.
    c->SetVisible(false);
    EXPECT_EQ(c->Width(), -1);
    c->SetVisible(true);
    EXPECT_EQ(c->Width(), 77);

    // Without field: the grid's default column width; without grid: 64.
    TColumn *loose = f.grid.Columns().AppendColumn();
    EXPECT_EQ(loose->NaturalWidth(), f.grid.DefaultColWidth());
    TColumn orphan(nullptr);
    EXPECT_EQ(orphan.NaturalWidth(), 64);
}

TEST(DBGridColumn, NaturalWidthWithoutAWindowStillMeasures)
{
    Fixture f(3, false, false);
    TColumn *c = f.grid.Columns().AppendColumn();
    c->SetFieldName(QStringLiteral("name"));
    f.ds.Open();
    ASSERT_FALSE(f.grid.HandleAllocated());
    EXPECT_GT(c->NaturalWidth(), f.ds.FieldByName(QStringLiteral("name")).DisplayWidth());
}

TEST(DBGridColumn, TransientColumnsWriteThroughToTheField)
{
    Fixture f(3);
    TMemDataSet &ds = f.ds;
    TestGrid other;
    other.SetDataSource(&f.source);
    TColumn *c = f.grid.Columns()[1];
    ASSERT_FALSE(c->IsPersistent());
    c->Title().SetCaption(QStringLiteral("Товар"));
    EXPECT_FALSE(c->AssignedFlags() & avTitleCaption);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("name")).DisplayLabel(), QStringLiteral("Товар"));
    EXPECT_EQ(other.Columns()[1]->Title().Caption(), QStringLiteral("Товар"));
    f.grid.Columns()[1]->SetAlignment(taCenter);
    EXPECT_EQ(ds.FieldByName(QStringLiteral("name")).Alignment(), taCenter);
    EXPECT_EQ(other.Columns()[1]->Alignment(), taCenter);
    // A user-sized transient column sets the field's display width too.
    const int before = ds.FieldByName(QStringLiteral("name")).DisplayWidth();
    f.grid.Columns()[1]->SetWidth(300);
    EXPECT_GT(ds.FieldByName(QStringLiteral("name")).DisplayWidth(), before);
}

TEST(DBGridColumns, StateAndRegeneration)
{
    Fixture f(3, false);
    TDBGridColumns &cols = f.grid.Columns();
    EXPECT_EQ(cols.QueryState(), csDefault);
    f.grid.OpenLayoutBracket();
    cols.AppendTransientColumn();
    cols.AppendColumn();
    EXPECT_EQ(cols.QueryState(), csDefault); // the first column decides
    f.grid.CloseLayoutBracket();             // and the layout drops the transient one
    EXPECT_EQ(cols.Count(), 1);
    EXPECT_EQ(cols.QueryState(), csCustomized);
    cols.Clear();
    f.ds.Open();
    f.ds.FieldByName(QStringLiteral("price")).SetVisible(false);
    EXPECT_EQ(cols.Count(), 2);
    cols.ChangeState(csCustomized); // every field, the invisible one too
    EXPECT_EQ(cols.QueryState(), csCustomized);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("price")}));
    cols.ChangeState(csDefault);
    EXPECT_EQ(cols.QueryState(), csDefault);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("id"), QStringLiteral("name")}));
}

TEST(DBGridColumns, UpdateBracketReportsOneWholeChange)
{
    Customized f;
    CountingColumns &cols = f.grid.Counting();
    const int columnBefore = cols.columnChanges, layoutsBefore = f.grid.layouts;
    cols.BeginUpdate();
    cols.BeginUpdate();
    f.name->SetColor(QColor(1, 1, 1));
    f.price->SetVisible(false);
    cols.EndUpdate();
    EXPECT_EQ(f.grid.layouts, layoutsBefore);
    cols.EndUpdate();
    EXPECT_EQ(cols.columnChanges, columnBefore);
    EXPECT_EQ(f.grid.layouts, layoutsBefore + 1);
}

TEST(DBGridColumns, TakeSettingsFromCopiesAssignedValuesOnly)
{
    Customized f;
    f.name->SetWidth(123);
    f.name->Title().SetCaption(QStringLiteral("Имя"));
    f.name->Title().SetAlignment(taCenter);
    f.name->PickList() = QStringList{QStringLiteral("a")};
    TColumn *copy = f.grid.Columns().AppendColumn();
    copy->SetColor(QColor(3, 3, 3));
    copy->TakeSettingsFrom(f.name);
    EXPECT_EQ(copy->FieldName(), QStringLiteral("name"));
    EXPECT_EQ(copy->AssignedFlags(), f.name->AssignedFlags());
    EXPECT_EQ(copy->Width(), 123);
    EXPECT_EQ(copy->Title().Caption(), QStringLiteral("Имя"));
    EXPECT_EQ(copy->Title().Alignment(), taCenter);
    EXPECT_EQ(copy->PickList(), QStringList{QStringLiteral("a")});
    EXPECT_FALSE(copy->AssignedFlags() & avColor); // reset first
    try {
        copy->TakeSettingsFrom(&f.name->Title());
        FAIL();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot assign a TColumnTitle to a TColumn"));
    }
    EXPECT_THROW(copy->Title().TakeSettingsFrom(f.name), Exception);
}

TEST(DBGridColumns, PersistentColumnsMoveWhereTheyAreTold)
{
    Customized f;
    TColumn *extra = f.grid.Columns().AppendColumn();
    extra->SetFieldName(QStringLiteral("id"));
    extra->MoveToIndex(0);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("price")}));
    extra->MoveToIndex(2);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("name"), QStringLiteral("price"), QStringLiteral("id")}));
    EXPECT_EQ(f.grid.DataLink().MappedField(2), f.ds.FindField(QStringLiteral("id")));
}

TEST(DBGridColumns, ColumnsOfObjectFieldsNestUnderTheirParent)
{
    TMemDataSet ds;
    ds.AddColumn(QStringLiteral("addr.street"), ftString, 20);
    ds.AddColumn(QStringLiteral("addr.house"), ftString, 5);
    ds.AppendRow({QStringLiteral("Ленина"), QStringLiteral("5")});
    TField *addr = ds.AddField(std::make_unique<TObjectField>());
    addr->SetFieldName(QStringLiteral("addr"));
    addr->AddChild(CreateField(ftString, 20))->SetFieldName(QStringLiteral("street"));
    addr->AddChild(CreateField(ftString, 5))->SetFieldName(QStringLiteral("house"));
    TDataSource source;
    source.SetDataSet(&ds);
    TestGrid grid;
    grid.SetDataSource(&source);
    ds.Open();
    grid.Columns().RegenerateColumns();
    ASSERT_EQ(grid.Columns().Count(), 3);
    TColumn *parent = grid.Columns()[0];
    TColumn *street = grid.Columns()[1];
    EXPECT_TRUE(parent->IsUnfoldable());
    EXPECT_EQ(street->EnclosingColumn(), parent);
    EXPECT_EQ(street->NestingLevel(), 1);
    EXPECT_EQ(grid.ColumnAtLevel(street, 0), parent);
    // Expanded: the children show, the parent does not.
    EXPECT_TRUE(parent->Expanded());
    EXPECT_FALSE(parent->IsDisplayed());
    EXPECT_TRUE(street->IsDisplayed());
    parent->SetExpanded(false);
    EXPECT_TRUE(parent->IsDisplayed());
    EXPECT_FALSE(street->IsDisplayed());
    EXPECT_EQ(street->Width(), -1);
}

TEST(DBGridColumnsStore, CustomizedColumnsSurviveTheWindowDefinition)
{
    Customized f;
    f.name->SetWidth(120);
    f.name->Title().SetCaption(QStringLiteral("товар/услуга"));
    f.name->Title().SetAlignment(taCenter);
    f.name->Font().SetCharset(RUSSIAN_CHARSET);
    QStringList picks{QStringLiteral("a"), QStringLiteral("b")};
    f.name->SetPickList(&picks);
    f.price->SetAlignment(taRightJustify);
    f.price->SetColor(f.price->DefaultColor()); // assigned, but what it shows anyway
    f.price->SetVisible(false);

    QJsonObject definition;
    f.grid.DeclareStoredProperties(definition);
    const QJsonArray stored = definition.value(QStringLiteral("Columns")).toArray();
    ASSERT_EQ(stored.size(), 2);
    EXPECT_FALSE(stored[1].toObject().contains(QStringLiteral("Color")));

    Customized g; // another window made from the definition
    g.grid.LoadStoredProperties(definition);
    TDBGridColumns &cols = g.grid.Columns();
    ASSERT_EQ(cols.Count(), 2);
    EXPECT_EQ(cols.QueryState(), CustomizedColumns);
    TColumn *name = cols[0];
    TColumn *price = cols[1];
    EXPECT_EQ(name->Width(), 120);
    EXPECT_EQ(name->Title().Caption(), QStringLiteral("товар/услуга"));
    EXPECT_EQ(name->Title().Alignment(), taCenter);
    EXPECT_EQ(name->Font().Charset(), RUSSIAN_CHARSET);
    EXPECT_TRUE(name->AssignedFlags() & avFont);
    EXPECT_EQ(name->PickList(), picks);
    EXPECT_EQ(price->FieldName(), QStringLiteral("price"));
    EXPECT_EQ(price->Alignment(), taRightJustify);
    EXPECT_FALSE(price->Visible());
    EXPECT_FALSE(price->AssignedFlags() & avColor);
    EXPECT_EQ(name->Field(), &g.ds.FieldByName(QStringLiteral("name")));
    QJsonObject again;
    g.grid.DeclareStoredProperties(again);
    EXPECT_EQ(again, definition);

    // A grid in the default state stores no columns.
    Fixture d(3);
    QJsonObject none{{QStringLiteral("Columns"), QJsonArray{}}};
    d.grid.DeclareStoredProperties(none);
    EXPECT_FALSE(none.contains(QStringLiteral("Columns")));
}
