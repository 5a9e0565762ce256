#include "services/tools_grid.h"

#include "components/DBGrids_fixture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

namespace {

// A cell painted on an image of its own, white on white until drawn.
struct TCell {
    QImage image{300, 20, QImage::Format_RGB32};
    QPainter painter;
    TCanvas canvas;
    QRect rect{0, 0, 300, 20};
    TCell()
    {
        image.fill(Qt::white);
        painter.begin(&image);
        canvas.SetPainter(&painter);
        canvas.SetBrushColor(Qt::white);
        canvas.Font().SetColor(Qt::black);
    }
    QImage Done()
    {
        painter.end();
        return image;
    }
};

bool IsRed(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100;
}
bool IsInk(QRgb c)
{
    return qGray(c) < 200;
}

// Leftmost and rightmost column holding a pixel that passes the test; -1 none.
std::pair<int, int> Span(const QImage &image, bool (*test)(QRgb))
{
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            if (test(image.pixel(x, y))) {
                if (first < 0)
                    first = x;
                last = x;
                break;
            }
    return {first, last};
}

} // namespace

TEST(DrawCellAligned, PlacesTheTextByAlignmentOnTheFilledCell)
{
    const QString text = QStringLiteral("Шина 175/70");
    int width = 0;
    std::map<TAlignment, int> left;
    for (TAlignment a : {taLeftJustify, taRightJustify, taCenter}) {
        TCell cell;
        cell.canvas.SetBrushColor(Qt::yellow);
        width = cell.canvas.TextWidth(text);
        DrawCellAligned(cell.rect, cell.canvas, text, a);
        const QImage image = cell.Done();
        EXPECT_EQ(image.pixel(299, 19), QColor(Qt::yellow).rgb()) << "background filled with the brush";
        left[a] = Span(image, IsInk).first;
    }
    // Glyphs start a pixel or two inside their advance box.
    EXPECT_NEAR(left[taLeftJustify], 2, 2);
    EXPECT_NEAR(left[taRightJustify], 300 - width - 3, 2);
    EXPECT_NEAR(left[taCenter], 150 - width / 2, 2);
}

TEST(DrawCellHighlighted, FirstOccurrenceOfAWordInAnyCaseIsRed)
{
    TCell cell;
    const QString text = QStringLiteral("ШИНА летняя шина");
    DrawCellHighlighted(cell.rect, QStringLiteral("шина"), cell.canvas, taLeftJustify, text);
    EXPECT_EQ(cell.canvas.Font().Color(), QColor(Qt::black)) << "colour restored";
    const QImage image = cell.Done();
    const auto red = Span(image, IsRed);
    ASSERT_GE(red.first, 0);
    EXPECT_LE(red.second, 2 + cell.canvas.TextWidth(QStringLiteral("ШИНА")) + 1);
    // The rest, the second occurrence included, keeps the cell's colour.
    const int second = 2 + cell.canvas.TextWidth(QStringLiteral("ШИНА летняя "));
    EXPECT_GT(Span(image.copy(second, 0, 300 - second, 20), IsInk).first, -1);
    EXPECT_EQ(Span(image.copy(second, 0, 300 - second, 20), IsRed).first, -1);
}

TEST(DrawCellHighlighted, WordInsideAnEarlierMarkEndsTheRedEarly)
{
    TCell cell;
    DrawCellHighlighted(cell.rect, QStringLiteral("abcdef cd"), cell.canvas, taLeftJustify, QStringLiteral("abcdef"));
    const QImage image = cell.Done();
    const auto red = Span(image, IsRed);
    ASSERT_GE(red.first, 0);
    // "ef" follows the inner end mark in black.
    const int ef = 2 + cell.canvas.TextWidth(QStringLiteral("abcd"));
    EXPECT_LT(red.second, ef + 1);
    EXPECT_GT(Span(image.copy(ef, 0, 300 - ef, 20), IsInk).first, -1);
}

TEST(DrawCellHighlighted, WithoutAFoundWordDrawsAsAligned)
{
    for (const QString &words : {QStringLiteral("колесо"), QString(), QStringLiteral("  # | ")}) {
        TCell plain, marked;
        DrawCellAligned(plain.rect, plain.canvas, QStringLiteral("цена 100"), taRightJustify);
        DrawCellHighlighted(marked.rect, words, marked.canvas, taRightJustify, QStringLiteral("цена 100"));
        EXPECT_EQ(plain.Done(), marked.Done()) << words.toStdString();
    }
}

TEST(DrawCellHighlighted, SeparatorsSplitTheWordsAndNothingLeavesTheCell)
{
    QImage image(200, 20, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TCanvas canvas;
    canvas.SetPainter(&painter);
    canvas.SetBrushColor(Qt::white);
    canvas.Font().SetColor(Qt::black);
    // A right-aligned text wider than its cell starts left of it.
    const QRect rect(60, 0, 80, 20);
    DrawCellHighlighted(rect, QStringLiteral("(дверь|окно)"), canvas, taRightJustify,
                        QStringLiteral("окно пластиковое и металлическая дверь"));
    painter.end();
    EXPECT_EQ(Span(image.copy(0, 0, 60, 20), IsInk).first, -1);
    EXPECT_EQ(Span(image.copy(140, 0, 60, 20), IsInk).first, -1);
    EXPECT_GE(Span(image, IsRed).first, 60) << "\"дверь\" is visible and red";
}

namespace {

struct TFitGrid : gridtest::Fixture {
    TFitGrid() : gridtest::Fixture(5, true, false)
    {
        grid.SetOptions(grid.Options() | dgIndicator | dgColLines);
        for (const auto &[name, width] : {std::pair{"name", 261}, {"price", 108}, {"id", 170}}) {
            TColumn *c = grid.Columns().AppendColumn();
            c->SetFieldName(QString::fromLatin1(name));
            c->SetWidth(width);
        }
    }
    int W(int i) { return grid.Columns()[i]->Width(); }
};

} // namespace

TEST(FitGridColumns, KeepsTheRatioOfTheStretchingColumnsAndTheOthersWidth)
{
    TFitGrid f;
    f.grid.resize(900, 300);
    FitGridColumns(f.grid, {0, 2});
    EXPECT_EQ(f.W(1), 108);
    EXPECT_GT(f.W(0) + f.W(2), 261 + 170);
    EXPECT_NEAR(double(f.W(0)) / f.W(2), 261.0 / 170.0, 0.01);
    // Everything fits beside the scroll bar, a few pixels to spare at most.
    const int scroll = f.grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &f.grid);
    const int used = f.W(0) + f.W(1) + f.W(2) + 1 + 13 + 2 * f.grid.frameWidth() + 2 + scroll;
    EXPECT_LE(used, 900);
    EXPECT_GE(used, 900 - 3);

    // A width the user dragged is kept in proportion by the next resize.
    f.grid.Columns()[0]->SetWidth(100);
    const int w2 = f.W(2);
    f.grid.resize(600, 300);
    FitGridColumns(f.grid, {0, 2});
    EXPECT_NEAR(double(f.W(0)) / f.W(2), 100.0 / w2, 0.02);
    EXPECT_EQ(f.W(1), 108);
}

TEST(FitGridColumns, ClosedDatasetOrNoRoomChangesNothing)
{
    TFitGrid f;
    f.ds.Close();
    f.grid.resize(900, 300);
    FitGridColumns(f.grid, {0, 2});
    EXPECT_EQ(f.W(0), 261);
    EXPECT_EQ(f.W(2), 170);

    // Squeezed below the fixed column: the widths survive for the way back.
    f.ds.Open();
    f.grid.resize(100, 300);
    FitGridColumns(f.grid, {0, 2});
    EXPECT_EQ(f.W(0), 261);
    EXPECT_EQ(f.W(2), 170);
    f.grid.resize(700, 300);
    FitGridColumns(f.grid, {0, 2});
    EXPECT_NEAR(double(f.W(0)) / f.W(2), 261.0 / 170.0, 0.01);
}
