// Painting and layout of the data grid, checked on the pixels it draws:
// indicator glyphs, highlight colours, grey text, 3D edges, focus rectangle,
// and the row heights and buffer the layout derives from the fonts.
#include "DBGrids_fixture.h"

#include "platform/application.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace gridtest;

namespace {

struct Painted : Fixture {
    explicit Painted(int rows = 10, TDBGridOptions options = SystemGridOptions) : Fixture(rows)
    {
        grid.SetOptions(options);
    }
    QImage Shot() { return grid.viewport()->grab().toImage(); }
    void Mark(int recNo)
    {
        ds.SetRecNo(recNo);
        grid.MarkedRows().SetCurrentRowMarked(true);
    }
};

QRect BoxOf(const QImage &img, const QRect &area, QRgb colour)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixel(x, y) == colour)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

int CountOf(const QImage &img, const QRect &area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

const QRgb Blue = qRgb(0, 0, 255);

} // namespace

TEST(DBGridPaintIndicator, GlyphsFollowTheStateAndTheMarks)
{
    Painted f;
    f.Mark(5);
    f.Mark(3); // current and marked
    QImage img = f.Shot();
    // Both line options: the cell shrinks by one and the glyph sits one pixel
    // from the right edge, centred vertically.
    auto origin = [&](int row) {
        const QRect cell = f.grid.CellRect(0, row);
        const QRect inner = cell.adjusted(1, 1, -1, -1);
        return QPoint(inner.right() + 1 - 6 - 1, (inner.top() + inner.bottom() + 1 - 11) / 2);
    };
    EXPECT_EQ(BoxOf(img, f.grid.CellRect(0, 3), Blue), QRect(origin(3), QSize(6, 11)));               // arrow with dot
    EXPECT_EQ(BoxOf(img, f.grid.CellRect(0, 5), Blue), QRect(origin(5) + QPoint(0, 4), QSize(4, 4))); // dot
    // Other indicator cells stay empty in the fixed colour.
    const QRect inner4 = f.grid.CellRect(0, 4).adjusted(1, 1, -1, -1);
    EXPECT_EQ(CountOf(img, inner4, f.grid.FixedColor().rgb()), inner4.width() * inner4.height());
    // Marked rows and the selected row share the highlight; others are plain.
    const QRgb hl = clHighlight().rgb();
    EXPECT_EQ(img.pixel(f.grid.CellRect(2, 5).bottomLeft() + QPoint(1, -1)), hl);
    EXPECT_EQ(img.pixel(f.grid.CellRect(2, 3).bottomLeft() + QPoint(1, -1)), hl);
    EXPECT_EQ(img.pixel(f.grid.CellRect(2, 4).bottomLeft() + QPoint(1, -1)), f.grid.Color().rgb());

    f.ds.SetRecNo(4); // current, not marked, browsing: the plain arrow
    img = f.Shot();
    EXPECT_EQ(BoxOf(img, f.grid.CellRect(0, 4), Blue), QRect(origin(4) + QPoint(0, 1), QSize(5, 9)));
    EXPECT_EQ(BoxOf(img, f.grid.CellRect(0, 3), Blue), QRect(origin(3) + QPoint(0, 4), QSize(4, 4)));
    EXPECT_EQ(f.grid.SelectedRow(), 4);

    f.ds.Edit(); // the I-beam, in black
    img = f.Shot();
    EXPECT_TRUE(BoxOf(img, f.grid.CellRect(0, 4), Blue).isEmpty());
    EXPECT_FALSE(BoxOf(img, f.grid.CellRect(0, 4), qRgb(0, 0, 0)).isEmpty());
    f.ds.Cancel();
}

TEST(DBGridPaintIndicator, AnEmptyResultPaintsEmptyTextsAndTheArrowOnItsOneRow)
{
    Painted f(0);
    EXPECT_EQ(f.grid.RowCount(), f.grid.TitleOffset() + 1);
    int cells = 0;
    QStringList texts;
    f.grid.OnDrawColumnCell = [&](QObject *, const QRect &, int, TColumn *column, TGridDrawState) {
        ++cells;
        texts << column->GetBoundField()->DisplayText();
    };
    const QImage img = f.Shot();
    EXPECT_EQ(cells, 3);
    EXPECT_EQ(texts, (QStringList{QString(), QString(), QString()}));
    EXPECT_FALSE(BoxOf(img, f.grid.CellRect(0, 1), Blue).isEmpty());
}

TEST(DBGridPaintCells, DisabledGridWritesGreyText)
{
    Painted f(5, DefaultDBGridOptions);
    const QRect cell = f.grid.CellRect(2, 3); // not current: plain colours
    QImage img = f.Shot();
    EXPECT_GT(CountOf(img, cell, clWindowText().rgb()), 0);
    EXPECT_EQ(CountOf(img, cell, clGrayText().rgb()), 0);
    f.grid.setEnabled(false);
    img = f.Shot();
    EXPECT_GT(CountOf(img, cell, clGrayText().rgb()), 0);
    EXPECT_EQ(CountOf(img, cell, clWindowText().rgb()), 0);
}

TEST(DBGridPaintCells, RaisedEdgesOnlyWithBothLineOptions)
{
    Painted f(5, DefaultDBGridOptions);
    QImage img = f.Shot();
    for (QPoint fixedCell : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 2)}) {
        const QRect r = f.grid.CellRect(fixedCell.x(), fixedCell.y());
        EXPECT_EQ(img.pixel(r.topLeft()), clBtnHighlight().rgb());
        EXPECT_EQ(img.pixel(r.bottomRight()), clBtnShadow().rgb());
    }
    f.grid.SetOptions(DefaultDBGridOptions & ~dgColLines);
    img = f.Shot();
    const QRect r = f.grid.CellRect(0, 2);
    EXPECT_EQ(img.pixel(r.topLeft()), f.grid.FixedColor().rgb());
    EXPECT_EQ(img.pixel(r.bottomRight()), f.grid.FixedColor().rgb());
}

TEST(DBGridPaintCells, FocusRectangleOnlyForTheActiveCellGridWithoutRowSelect)
{
    Painted f(5, DefaultDBGridOptions);
    f.grid.activateWindow();
    f.grid.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.grid));
    const QRect cell = f.grid.CellRect(1, 1);
    const QRect leftEdge(cell.left(), cell.top(), 1, cell.height());
    QImage img = f.Shot();
    // The dotted frame in the highlight-text colour over the highlighted cell.
    EXPECT_GT(CountOf(img, leftEdge, clHighlightText().rgb()), 0);
    EXPECT_GT(CountOf(img, leftEdge, clHighlight().rgb()), 0);
    f.grid.LockUpdates(); // no frame (and no highlight) during an update
    img = f.Shot();
    f.grid.UnlockUpdates();
    EXPECT_EQ(CountOf(img, leftEdge, f.grid.Color().rgb()), cell.height());
    f.grid.SetOptions(DefaultDBGridOptions | dgRowSelect);
    img = f.Shot();
    EXPECT_EQ(CountOf(img, leftEdge, clHighlight().rgb()), cell.height());
}

TEST(DBGridPaintCells, ColumnEventFiresAlwaysHiddenColumnsNever)
{
    Painted f(4);
    f.grid.Columns().ChangeState(csCustomized);
    f.grid.Columns()[1]->SetVisible(false);
    f.grid.SetDefaultDrawing(false);
    QList<int> seen;
    f.grid.OnDrawColumnCell = [&](QObject *, const QRect &, int dataCol, TColumn *, TGridDrawState) {
        seen << dataCol;
    };
    f.Shot();
    EXPECT_EQ(seen.count(0), 4);
    EXPECT_EQ(seen.count(1), 0);
    EXPECT_EQ(seen.count(2), 4);
}

TEST(DBGridPaintCells, AFailingDrawEventRestoresTheActiveRecord)
{
    Painted f(6);
    f.ds.SetRecNo(2);
    const int active = f.grid.DataLink().ActiveRecord();
    const int failTop = f.grid.CellRect(1, 4).top();
    f.grid.OnDrawColumnCell = [&](QObject *, const QRect &rect, int, TColumn *, TGridDrawState) {
        if (rect.top() == failTop)
            throw Exception(QStringLiteral("draw failed"));
    };
    QString shown;
    TApplication::SetExceptionHandler([&](const QString &text) { shown = text; });
    f.Shot();
    TApplication::SetExceptionHandler(nullptr);
    EXPECT_EQ(shown, QStringLiteral("draw failed"));
    EXPECT_EQ(f.grid.DataLink().ActiveRecord(), active);
    EXPECT_EQ(f.ds.FieldByName(QStringLiteral("id")).AsInteger(), 2);
}

TEST(DBGridLayoutHeights, RowsFollowWgInTheirFonts)
{
    Painted f(30);
    const QString wg = QStringLiteral("Wg");
    EXPECT_EQ(f.grid.DefaultRowHeight(), f.grid.Font().TextHeight(wg) + 3 + f.grid.GridLineWidth());
    EXPECT_EQ(f.grid.RowHeight(0), f.grid.TitleFont().TextHeight(wg) + 4);
    f.grid.SetOptions(SystemGridOptions & ~dgRowLines);
    EXPECT_EQ(f.grid.DefaultRowHeight(), f.grid.Font().TextHeight(wg) + 3);
    // A column's own title font counts.
    f.grid.Columns().ChangeState(csCustomized);
    f.grid.Columns()[1]->Title().Font().SetSize(f.grid.TitleFont().Size() + 12);
    EXPECT_EQ(f.grid.RowHeight(0), f.grid.Columns()[1]->Title().Font().TextHeight(wg) + 4);
    // A bigger grid font: fewer rows, and the buffer holds only rows that fit.
    const int before = f.grid.DataLink().BufferCount();
    f.grid.Font().SetSize(f.grid.Font().Size() + 10);
    EXPECT_LT(f.grid.DataLink().BufferCount(), before);
    EXPECT_EQ(f.grid.DataLink().BufferCount(), f.grid.VisibleRowCount());
}

TEST(DBGridLayoutFonts, TitleFontFollowsTheParentUntilTheProgramSetsIt)
{
    TMemDataSet ds;
    FillGoods(ds, 5);
    TDataSource source;
    source.SetDataSet(&ds);
    QWidget parent;
    parent.resize(400, 300);
    TestGrid grid(&parent);
    grid.resize(400, 300);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    grid.SetDataSource(&source);
    ds.Open();
    QFont big = parent.font();
    big.setPointSize(big.pointSize() + 6);
    parent.setFont(big);
    EXPECT_TRUE(grid.ParentFont());
    EXPECT_EQ(grid.Font().Size(), big.pointSize());
    EXPECT_EQ(grid.TitleFont().Size(), big.pointSize());
    EXPECT_EQ(grid.RowHeight(0), grid.TitleFont().TextHeight(QStringLiteral("Wg")) + 4);

    grid.TitleFont().SetBold(true);
    EXPECT_FALSE(grid.ParentFont());
    QFont small = big;
    small.setPointSize(big.pointSize() - 4);
    parent.setFont(small);
    EXPECT_EQ(grid.Font().Size(), big.pointSize());
    EXPECT_TRUE(grid.TitleFont().Bold());
    EXPECT_EQ(grid.TitleFont().Size(), big.pointSize());
}

TEST(DBGridLayoutFields, RemovingAFieldBehindDisabledControlsDefersTheLayout)
{
    TMemDataSet ds;
    FillGoods(ds, 5);
    for (const char *name : {"id", "name"}) {
        auto field = CreateField(name[0] == 'i' ? ftInteger : ftString, 20);
        field->SetFieldName(QString::fromLatin1(name));
        ds.AddField(std::move(field));
    }
    TDataSource source;
    source.SetDataSet(&ds);
    TestGrid grid;
    ASSERT_TRUE(ShowExposed(grid));
    TColumn *idColumn = grid.Columns().AppendColumn();
    idColumn->SetFieldName(QStringLiteral("id"));
    TColumn *nameColumn = grid.Columns().AppendColumn();
    nameColumn->SetFieldName(QStringLiteral("name"));
    grid.SetDataSource(&source);
    ds.Open();
    ds.Close();
    ASSERT_NE(nameColumn->GetBoundField(), nullptr);
    ASSERT_NE(idColumn->GetBoundField(), nullptr);

    QApplication::processEvents();
    ds.DisableControls();
    int layouts = grid.layouts;
    ds.RemoveField(ds.FindField(QStringLiteral("name")));
    EXPECT_EQ(grid.layouts, layouts);
    QApplication::processEvents(); // the deferred layout
    EXPECT_EQ(grid.layouts, layouts + 1);
    ds.EnableControls();

    layouts = grid.layouts;
    ds.RemoveField(ds.FindField(QStringLiteral("id")));
    EXPECT_EQ(grid.layouts, layouts + 1); // at once
    EXPECT_EQ(idColumn->GetBoundField(), nullptr);
}

TEST(DBGridCellText, PlacesTheTextByAlignmentAndFillsTheCell)
{
    QImage img(220, 40, QImage::Format_RGB32);
    img.fill(Qt::red);
    QPainter p(&img);
    TCanvas canvas;
    canvas.SetPainter(&p);
    canvas.SetBrushColor(Qt::white);
    canvas.Font().SetColor(Qt::black);
    const QString text = QStringLiteral("WWW");
    const int width = canvas.TextWidth(text);
    const QRect r(10, 5, 150, 24);
    const QRgb black = qRgb(0, 0, 0);
    // Ink: every pixel the text touched, antialiased edges included.
    auto inkOf = [&](TAlignment a) {
        WriteCellText(canvas, r, 2, false, a, text, 2);
        QRect box;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (img.pixel(x, y) != qRgb(255, 255, 255))
                    box = box.united(QRect(x, y, 1, 1));
        return box;
    };
    QRect ink = inkOf(taLeftJustify);
    EXPECT_NEAR(ink.left(), r.left() + 2, 1);
    EXPECT_EQ(img.pixel(r.bottomRight()), qRgb(255, 255, 255));        // the whole cell is filled
    EXPECT_EQ(img.pixel(r.topLeft() - QPoint(1, 1)), qRgb(255, 0, 0)); // and nothing outside
    ink = inkOf(taRightJustify);
    EXPECT_NEAR(ink.right(), r.right() + 1 - 3 - 1, 1);
    ink = inkOf(taCenter);
    EXPECT_NEAR(ink.left(), r.left() + r.width() / 2 - width / 2, 1);
    // Text is clipped to its cell.
    const QRect narrow(10, 5, 12, 24);
    img.fill(Qt::red);
    WriteCellText(canvas, narrow, 2, false, taLeftJustify, text, 2);
    EXPECT_TRUE(BoxOf(img, QRect(narrow.right() + 1, 0, 100, 40), black).isEmpty());
    // A brush the device cannot show as it is goes through the shared bitmap,
    // which grows and never shrinks.
    AddDrawBitmapUser();
    canvas.SetBrushColor(QColor(0, 0, 255, 128));
    WriteCellText(canvas, QRect(0, 0, 180, 30), 2, false, taLeftJustify, text, 2);
    const QSize grown = DrawBitmapSize();
    EXPECT_GE(grown.width(), 180);
    EXPECT_GE(grown.height(), 30);
    WriteCellText(canvas, QRect(0, 0, 20, 10), 2, false, taLeftJustify, text, 2);
    EXPECT_EQ(DrawBitmapSize(), grown);
    ReleaseDrawBitmapUser();
    canvas.SetPainter(nullptr);
}
