// The data grid core: options, layout brackets, the field map and the binding
// of columns, link state, editing permission, column popups.
#include "DBGrids_fixture.h"

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QMenu>

using namespace gridtest;

TEST(DBGridOptions, DefaultsAndTheSystemGridsSet)
{
    TestGrid grid;
    EXPECT_EQ(DefaultDBGridOptions, 3325u);
    if (PrimaryLanguageId() != LANG_KOREAN) {
        EXPECT_EQ(grid.Options(), 3325u);
    }
    EXPECT_EQ(SystemGridOptions, 8188u);
    EXPECT_EQ(grid.TitleOffset(), 1);
    EXPECT_EQ(grid.IndicatorOffset(), 1);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.ColCount(), 2);
    EXPECT_EQ(grid.Indicators().Count(), 5);
    EXPECT_EQ(grid.Indicators().Width(), 6);
    EXPECT_EQ(grid.Indicators().Height(), 11);
    EXPECT_GE(DrawBitmapUsers(), 1);

    // Row selection takes editing and the always-shown editor out of the set.
    grid.SetOptions(SystemGridOptions | dgEditing | dgAlwaysShowEditor);
    grid.SetReadOnly(true);
    EXPECT_EQ(grid.Options(), 8188u);
    EXPECT_TRUE(grid.GridOptions() & goRowSelect);
    EXPECT_FALSE(grid.GridOptions() & goEditing);
    EXPECT_FALSE(grid.GridOptions() & goColMoving);
    EXPECT_TRUE(grid.GridOptions() & goColSizing);
    grid.SetOptions(dgTitles);
    EXPECT_EQ(grid.GridOptions(), 0u);
}

TEST(DBGridOptions, MultiSelectOffClearsMarksAndOnlySomeOptionsRelayout)
{
    Fixture f(5);
    f.grid.SetOptions(f.grid.Options() | dgMultiSelect);
    f.grid.MarkedRows().SetCurrentRowMarked(true);
    ASSERT_EQ(f.grid.MarkedRows().MarkedCount(), 1);
    int before = f.grid.layouts;
    f.grid.SetOptions(f.grid.Options() & ~dgConfirmDelete);
    f.grid.SetOptions(f.grid.Options() & ~dgMultiSelect);
    EXPECT_EQ(f.grid.layouts, before);
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 0);
    f.grid.SetOptions(f.grid.Options() & ~dgTitles);
    EXPECT_EQ(f.grid.layouts, before + 1);
    EXPECT_EQ(f.grid.TitleOffset(), 0);
    f.grid.SetOptions(f.grid.Options() & ~dgIndicator);
    EXPECT_EQ(f.grid.IndicatorOffset(), 0);
    EXPECT_EQ(f.grid.GridToDataColumn(0), 0);
}

TEST(DBGridLayout, BracketsRebuildOncePerOutermostClose)
{
    Fixture f(5);
    const int before = f.grid.layouts;
    f.grid.OpenLayoutBracket();
    f.grid.OpenLayoutBracket();
    f.grid.RequestLayout(); // refused: the bracket lays out when it ends
    f.grid.Columns()[0]->SetVisible(false);
    f.grid.CloseLayoutBracket();
    EXPECT_EQ(f.grid.layouts, before);
    f.grid.CloseLayoutBracket();
    EXPECT_EQ(f.grid.layouts, before + 1);
    EXPECT_EQ(f.grid.LayoutLock(), 0);
    EXPECT_EQ(f.grid.UpdateLock(), 0);
    EXPECT_EQ(f.grid.Columns().UpdateCount(), 0);
    // A close without an open does nothing.
    f.grid.CloseLayoutBracket();
    EXPECT_EQ(f.grid.layouts, before + 1);

    f.grid.LockUpdates();
    EXPECT_FALSE(f.grid.TryOpenLayoutBracket());
    EXPECT_EQ(f.grid.LayoutLock(), 0);
    f.grid.UnlockUpdates();
    EXPECT_TRUE(f.grid.TryOpenLayoutBracket());
    f.grid.DropLayoutBracket();
    EXPECT_EQ(f.grid.layouts, before + 1);
    EXPECT_EQ(f.grid.LayoutLock(), 0);
}

TEST(DBGridLayout, TwoDeferredRequestsLeaveOneQueuedEvent)
{
    Fixture f(5);
    const int before = f.grid.layouts;
    f.grid.OpenLayoutBracket();
    f.grid.PostLayoutRequest();
    f.grid.OpenLayoutBracket();
    f.grid.PostLayoutRequest();
    EXPECT_EQ(f.grid.LayoutLock(), 0);
    EXPECT_EQ(f.grid.layouts, before);
    QCoreApplication::sendPostedEvents(&f.grid, DeferredLayoutEvent);
    EXPECT_EQ(f.grid.layouts, before + 1);
    QCoreApplication::sendPostedEvents(&f.grid, DeferredLayoutEvent);
    EXPECT_EQ(f.grid.layouts, before + 1);
    // A layout pass drops a request still waiting.
    f.grid.OpenLayoutBracket();
    f.grid.PostLayoutRequest();
    f.grid.RequestLayout();
    QCoreApplication::sendPostedEvents(&f.grid, DeferredLayoutEvent);
    EXPECT_EQ(f.grid.layouts, before + 2);
}

TEST(DBGridLayout, WidthChangesDuringAnUpdateAreNotCopiedToColumns)
{
    Fixture f(5);
    TColumn *c = f.grid.Columns()[1];
    f.grid.SetColWidth(2, 150);
    f.grid.LockUpdates();
    f.grid.AfterColumnWidthsChange();
    f.grid.UnlockUpdates();
    EXPECT_FALSE(c->AssignedFlags() & avWidth);
    f.grid.SetColWidth(2, 150);
    f.grid.AfterColumnWidthsChange();
    EXPECT_TRUE(c->AssignedFlags() & avWidth);
    EXPECT_EQ(c->Width(), 150);
    EXPECT_EQ(f.grid.ColWidth(2), 150);
}

TEST(DBGridFieldMap, DefaultColumnsShowTheVisibleFieldsInFieldOrder)
{
    Fixture f(5);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("price")}));
    EXPECT_EQ(f.grid.Columns().QueryState(), csDefault);
    EXPECT_EQ(f.grid.ColCount(), 4);
    EXPECT_EQ(f.grid.ColWidth(0), IndicatorWidth);
    TColumn *price = f.grid.Columns()[2];
    price->SetWidth(99);
    f.ds.FieldByName(QStringLiteral("name")).SetVisible(false);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("id"), QStringLiteral("price")}));
    EXPECT_EQ(f.grid.DataLink().FieldCount(), 2);
    // The column that still shows a mapped field survives with its width.
    EXPECT_EQ(f.grid.Columns()[1], price);
    EXPECT_EQ(price->Width(), 99);
    f.ds.FieldByName(QStringLiteral("name")).SetVisible(true);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("price")}));
    // Closing frees the transient columns but one unbound column stays.
    f.ds.Close();
    ASSERT_EQ(f.grid.Columns().Count(), 1);
    EXPECT_EQ(f.grid.Columns()[0]->GetBoundField(), nullptr);
    EXPECT_FALSE(f.grid.Columns()[0]->IsPersistent());
}

TEST(DBGridFieldMap, PersistentColumnsWithUnknownNamesStayAndRebindLater)
{
    Fixture f(3, false);
    TColumn *a = f.grid.Columns().AppendColumn();
    a->SetFieldName(QStringLiteral("name"));
    TColumn *b = f.grid.Columns().AppendColumn();
    b->SetFieldName(QStringLiteral("stock"));
    f.ds.Open();
    EXPECT_EQ(f.grid.Columns().QueryState(), csCustomized);
    EXPECT_TRUE(f.grid.DataLink().SparseMap());
    EXPECT_EQ(f.grid.Columns().Count(), 2);
    EXPECT_EQ(a->GetBoundField(), f.ds.FindField(QStringLiteral("name")));
    EXPECT_EQ(b->GetBoundField(), nullptr);
    EXPECT_EQ(b->Title().Caption(), QStringLiteral("stock"));
    EXPECT_EQ(f.grid.DataLink().MappedField(1), nullptr);
    EXPECT_FALSE(f.grid.DataLink().UsesDefaultFields());
    f.grid.viewport()->repaint(); // painting an unbound column shows empty cells
    f.ds.Close();
    f.ds.AddColumn(QStringLiteral("stock"), ftInteger);
    f.ds.Open();
    EXPECT_EQ(b->GetBoundField(), f.ds.FindField(QStringLiteral("stock")));
    EXPECT_EQ(f.grid.Columns().Count(), 2);
}

TEST(DBGridFieldMap, MoreFieldsThanTheBoundFailWithTheGridError)
{
    TMemDataSet ds;
    for (int i = 0; i <= MaxMappedFields; ++i)
        ds.AddColumn(QStringLiteral("f%1").arg(i), ftInteger);
    TDataSource source;
    source.SetDataSet(&ds);
    TestGrid grid;
    grid.SetDataSource(&source);
    try {
        ds.Open();
        FAIL() << "no error";
    } catch (const EInvalidGridOperation &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Grid requested to display more than 256 columns"));
    }
    EXPECT_EQ(grid.DataLink().MapCapacity(), 256);
}

TEST(DBGridLink, OpeningAndClosingClearMarksAndRelayout)
{
    Fixture f(5);
    f.grid.SetOptions(f.grid.Options() | dgMultiSelect);
    f.grid.MarkedRows().SetCurrentRowMarked(true);
    const int before = f.grid.layouts;
    f.ds.Close();
    EXPECT_EQ(f.grid.MarkedRows().MarkedCount(), 0);
    EXPECT_FALSE(f.grid.MarkedRows().LinkActive());
    EXPECT_GT(f.grid.layouts, before);
    try {
        f.grid.MarkedRows().SetCurrentRowMarked(true);
        FAIL();
    } catch (const EInvalidGridOperation &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot perform this operation on a closed dataset"));
    }
    f.ds.Open();
    EXPECT_TRUE(f.grid.MarkedRows().LinkActive());
}

TEST(DBGridLink, UnidirectionalDatasetsAreRefused)
{
    Fixture f(3, false);
    TMemDataSet forward;
    FillGoods(forward, 2);
    forward.SetUniDirectional(true);
    TDataSource other;
    other.SetDataSet(&forward);
    try {
        f.grid.SetDataSource(&other);
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Operation not allowed on a unidirectional dataset"));
    }
    EXPECT_EQ(f.grid.DataSource(), &f.source);
    // Becoming unidirectional behind the grid's back: refused on activation.
    f.ds.SetUniDirectional(true);
    EXPECT_THROW(f.ds.Open(), EDatabaseError);
}

TEST(DBGridLink, TheGridAsksOnlyForItsVisibleRows)
{
    Fixture f(2000);
    const int visible = f.grid.VisibleRowCount();
    EXPECT_GT(visible, 3);
    EXPECT_LT(visible, 40);
    EXPECT_EQ(f.grid.DataLink().BufferCount(), visible);
    EXPECT_EQ(f.grid.RowCount(), visible + f.grid.TitleOffset());
    EXPECT_LT(f.ds.LoadedRowCount(), 4 * visible);
    // Moving on keeps the current row on the active record.
    f.ds.MoveBy(visible + 3);
    EXPECT_EQ(f.grid.Row(), f.grid.DataLink().ActiveRecord() + f.grid.TitleOffset());
    EXPECT_EQ(f.grid.VertScrollInfo().Pos, f.ds.RecNo());
    EXPECT_EQ(f.grid.VertScrollInfo().Max, 2000 + visible - 1);
}

TEST(DBGridColumnsMoved, MovesAreReportedInDataColumns)
{
    Fixture f(3, false);
    for (const char *name : {"id", "name", "price"})
        f.grid.Columns().AppendColumn()->SetFieldName(QString::fromLatin1(name));
    f.ds.Open();
    int from = -1, to = -1;
    f.grid.OnColumnMoved = [&](QObject *, int a, int b) {
        from = a;
        to = b;
    };
    f.grid.AfterColumnMove(1, 3);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 2);
    EXPECT_EQ(f.ColumnNames(), (QStringList{QStringLiteral("name"), QStringLiteral("price"), QStringLiteral("id")}));
}

TEST(DBGridEditing, PermissionFollowsGridColumnAndField)
{
    Fixture f(3);
    f.grid.MoveCurrent(2, 1, true, false); // the name column
    EXPECT_TRUE(f.grid.EditorMayModify());
    EXPECT_EQ(f.ds.State(), dsEdit);
    EXPECT_TRUE(f.grid.DataLink().Modified());
    f.ds.Cancel();

    f.grid.SetReadOnly(true);
    TColumn *c = f.grid.Columns()[1];
    EXPECT_TRUE(c->ReadOnly()); // follows the grid while not assigned
    EXPECT_FALSE(f.grid.EditorMayModify());
    EXPECT_EQ(f.ds.State(), dsBrowse);
    f.grid.SetReadOnly(false);

    f.ds.FieldByName(QStringLiteral("name")).SetReadOnly(true);
    EXPECT_FALSE(f.grid.EditorMayModify());
    f.ds.FieldByName(QStringLiteral("name")).SetReadOnly(false);

    f.ds.SetReadOnly(true); // the dataset cannot be modified
    EXPECT_FALSE(f.grid.EditorMayModify());
    EXPECT_EQ(f.ds.State(), dsBrowse);
}

TEST(DBGridEditing, BinaryLikeFieldsNeedATextHandler)
{
    const struct {
        TFieldType type;
        bool binary;
    } cases[] = {
        {ftBytes, true},    {ftVarBytes, true},   {ftBlob, true},      {ftMemo, true},        {ftGraphic, true},
        {ftFmtMemo, true},  {ftParadoxOle, true}, {ftDBaseOle, true},  {ftTypedBinary, true}, {ftCursor, true},
        {ftADT, true},      {ftArray, true},      {ftReference, true}, {ftDataSet, true},     {ftString, false},
        {ftInteger, false}, {ftFloat, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.type));
        Fixture f(1, false, false);
        f.ds.AddColumn(QStringLiteral("x"), c.type);
        TColumn *col = f.grid.Columns().AppendColumn();
        col->SetFieldName(QStringLiteral("x"));
        f.ds.Open();
        f.grid.MoveCurrent(1, 1, true, false);
        EXPECT_EQ(f.grid.EditorMayModify(), !c.binary);
        f.ds.Cancel();
        f.ds.FieldByName(QStringLiteral("x")).OnSetText = [](TField &, const QString &) {};
        EXPECT_TRUE(f.grid.EditorMayModify());
    }
}

TEST(DBGridEditing, AssignedWritableColumnInReadOnlyGridIsStillRefused)
{
    Fixture f(3, false);
    TColumn *c = f.grid.Columns().AppendColumn();
    c->SetFieldName(QStringLiteral("name"));
    c->SetReadOnly(false);
    f.ds.Open();
    f.grid.SetReadOnly(true);
    f.grid.MoveCurrent(1, 1, true, false);
    EXPECT_FALSE(c->ReadOnly());
    EXPECT_FALSE(f.grid.EditorMayModify());
}

TEST(DBGridPopup, ColumnMenusOnlyForDataCellsWithAMenu)
{
    Fixture f(3);
    QMenu menu;
    menu.addAction(QStringLiteral("x"));
    f.grid.Columns()[1]->SetPopupMenu(&menu);
    auto rightClick = [&](int col, int row) {
        const QPoint pt = f.grid.CellRect(col, row).center();
        QContextMenuEvent e(QContextMenuEvent::Mouse, pt, f.grid.viewport()->mapToGlobal(pt));
        e.ignore();
        QApplication::sendEvent(f.grid.viewport(), &e);
        return e.isAccepted();
    };
    EXPECT_FALSE(rightClick(0, 1)); // indicator column
    EXPECT_FALSE(rightClick(1, 0)); // title of a column without a menu
    EXPECT_TRUE(rightClick(2, 0));  // title of the column with one
    menu.hide();
    EXPECT_TRUE(rightClick(2, 2));
    menu.hide();
}

TEST(DBGridWindowColumns, TheThreeWindowsColumnSetsReadBack)
{
    struct WindowColumn {
        const char *field;
        QString caption;
        int width; // -1: not assigned
        TAlignment alignment;
    };
    const std::vector<std::vector<WindowColumn>> grids = {
        {{"sname", QStringLiteral("товар/услуга"), 261, taLeftJustify},
         {"sprice", QStringLiteral("цена"), 108, taRightJustify},
         {"ssfn", QStringLiteral("организация"), 170, taLeftJustify}},
        {{"ssfn", QStringLiteral("организация"), 180, taLeftJustify},
         {"sallinfo", QStringLiteral("адрес"), 115, taLeftJustify}},
        {{"sname", QStringLiteral("товар/услуга"), 496, taLeftJustify},
         {"sprice", QStringLiteral("цена"), -1, taRightJustify}},
    };
    for (const auto &columns : grids) {
        TMemDataSet ds;
        for (const char *name : {"sname", "sprice", "ssfn", "sallinfo"})
            ds.AddColumn(QString::fromLatin1(name), ftString, 255);
        ds.AppendRow({QStringLiteral("a"), QStringLiteral("1.00"), QStringLiteral("b"), QStringLiteral("c")});
        TDataSource source;
        source.SetDataSet(&ds);
        TestGrid grid;
        grid.SetOptions(SystemGridOptions);
        grid.SetReadOnly(true);
        grid.TitleFont().SetColor(clWindowText());
        for (const WindowColumn &s : columns) {
            TColumn *c = grid.Columns().AppendColumn();
            c->SetFieldName(QString::fromLatin1(s.field));
            c->Title().SetCaption(s.caption);
            c->Title().SetAlignment(taCenter);
            if (s.width >= 0)
                c->SetWidth(s.width);
            if (s.alignment == taRightJustify)
                c->SetAlignment(taRightJustify);
        }
        grid.SetDataSource(&source);
        ds.Open();
        ASSERT_EQ(grid.Columns().Count(), int(columns.size()));
        EXPECT_EQ(grid.Columns().QueryState(), csCustomized);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            TColumn *c = grid.Columns()[int(i)];
            EXPECT_EQ(c->FieldName(), QString::fromLatin1(columns[i].field));
            EXPECT_EQ(c->Title().Caption(), columns[i].caption);
            EXPECT_EQ(c->Title().Alignment(), taCenter);
            EXPECT_EQ(c->Alignment(), columns[i].alignment);
            EXPECT_TRUE(c->Visible());
            EXPECT_FALSE(c->Expanded());
            EXPECT_TRUE(c->ReadOnly());
            EXPECT_EQ(c->GetBoundField(), ds.FindField(QString::fromLatin1(columns[i].field)));
            if (columns[i].width >= 0)
                EXPECT_EQ(c->Width(), columns[i].width);
            else {
                EXPECT_FALSE(c->AssignedFlags() & avWidth);
                EXPECT_EQ(c->Width(), c->NaturalWidth());
            }
            EXPECT_EQ(grid.ColWidth(grid.DataToGridColumn(int(i))), c->Width());
        }
    }
}

TEST(DBGridFieldMap, FieldsDestroyedBehindDisabledControlsAreNeverFollowed)
{
    Fixture f(3, false);
    TColumn *c = f.grid.Columns().AppendColumn();
    c->SetFieldName(QStringLiteral("name"));
    f.ds.Open();
    ASSERT_NE(c->GetBoundField(), nullptr);
    f.ds.DisableControls();
    f.ds.Close(); // the automatic fields go away; the grid hears nothing yet
    f.grid.viewport()->repaint();
    EXPECT_EQ(c->GetBoundField(), nullptr);
    EXPECT_EQ(c->Title().Caption(), QStringLiteral("name"));
    f.ds.Open();
    f.ds.EnableControls();
    EXPECT_EQ(c->GetBoundField(), f.ds.FindField(QStringLiteral("name")));
}
