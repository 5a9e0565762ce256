#include "components/givLabel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QTest>

namespace {

QString S(const char16_t *text)
{
    return QString::fromUtf16(text);
}

QFontMetrics Metrics(const TgivHTMLabel &label, int size, TFontStyles style = 0, const QString &face = QString())
{
    QFont f = label.font();
    if (!face.isEmpty())
        f.setFamily(face);
    f.setPointSize(size);
    f.setBold(style & fsBold);
    f.setItalic(style & fsItalic);
    f.setUnderline(style & fsUnderline);
    return QFontMetrics(f, &label);
}

// Paints twice: the first paint may resize an auto-sizing label.
QImage Render(TgivHTMLabel &label)
{
    label.grab();
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool IsInk(QRgb pixel)
{
    return qGray(pixel) < 128;
}

// Lowest row holding ink within columns [from, to).
int LowestInkRow(const QImage &image, int from, int to)
{
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = from; x < to && x < image.width(); ++x)
            if (IsInk(image.pixel(x, y)))
                return y;
    return -1;
}

void SendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, QPoint at)
{
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button,
                      type == QEvent::MouseMove ? Qt::NoButton : button, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

TEST(HtmlLabel, NewLabelHasItsDefaults)
{
    TgivHTMLabel label;
    EXPECT_EQ(label.size(), QSize(100, 50));
    EXPECT_EQ(label.Lines(), QStringList{QStringLiteral("TgivHTMLabel")});
    EXPECT_EQ(label.MarginLeft(), 1);
    EXPECT_EQ(label.MarginRight(), 1);
    EXPECT_EQ(label.MarginTop(), 1);
    EXPECT_FALSE(label.VAutoSize());
    EXPECT_FALSE(label.HAutoSize());
    EXPECT_TRUE(label.ParentColor());
    ASSERT_EQ(label.Elements().Count(), 1);
    EXPECT_EQ(label.Elements()[0].Text, QStringLiteral("TgivHTMLabel"));
    EXPECT_EQ(label.Elements()[0].FontSize, 8);
}

TEST(HtmlLabel, LinesJoinWithBlanksAndLoseTrailingBlanks)
{
    TgivHTMLabel label;
    label.SetLines({QStringLiteral("one"), QStringLiteral("two \t ")});
    ASSERT_EQ(label.Elements().Count(), 1);
    EXPECT_EQ(label.Elements()[0].Text, QStringLiteral("one two"));

    label.SetText(QStringLiteral("a\r\nb\nc\rd\r\n"));
    EXPECT_EQ(label.Lines().size(), 4);
    EXPECT_EQ(label.Elements()[0].Text, QStringLiteral("a b c d"));
}

TEST(HtmlLabel, BoldRunInTheMiddleGivesThreeRunsAndAutoWidth)
{
    TgivHTMLabel label;
    label.SetHAutoSize(true);
    label.SetText(S(u"Оценочное время поиска: <b>50</b> c"));

    const TgivHTMLElementStack &runs = label.Elements();
    ASSERT_EQ(runs.Count(), 3); // no final empty run: the text does not end with a tag
    EXPECT_EQ(runs[0].Text, S(u"Оценочное время поиска: "));
    EXPECT_EQ(runs[1].Text, QStringLiteral("50"));
    EXPECT_EQ(runs[2].Text, QStringLiteral(" c"));
    EXPECT_EQ(runs[0].Style, 0);
    EXPECT_EQ(runs[1].Style, fsBold);
    EXPECT_EQ(runs[2].Style, 0);

    const int line = Metrics(label, 8).horizontalAdvance(runs[0].Text) +
                     Metrics(label, 8, fsBold).horizontalAdvance(QStringLiteral("50")) +
                     Metrics(label, 8).horizontalAdvance(QStringLiteral(" c"));
    EXPECT_EQ(label.width(), 1 + line + 1);
    label.SetMarginLeft(5);
    label.SetMarginRight(7);
    EXPECT_EQ(label.width(), 5 + line + 7);
    Render(label);
    EXPECT_EQ(label.width(), 5 + line + 7); // painting agrees with the eager layout
}

TEST(HtmlLabel, BreaksCollapseAndTrailingTagsLeaveAnEmptyRun)
{
    TgivHTMLabel label;
    label.SetVAutoSize(true);
    const int h8 = Metrics(label, 8).height();

    label.SetText(QStringLiteral("one<br><br>two"));
    ASSERT_EQ(label.Elements().Count(), 2);
    EXPECT_TRUE(label.Elements()[1].BreakBefore);
    EXPECT_EQ(label.height(), 1 + 2 * h8); // two lines, not three

    label.SetText(QStringLiteral("a<p>b</p>c"));
    EXPECT_EQ(label.height(), 1 + 3 * h8);

    label.SetText(QStringLiteral("<b>x</b>"));
    ASSERT_EQ(label.Elements().Count(), 2);
    EXPECT_EQ(label.Elements()[1].Text, QString());
    EXPECT_EQ(label.Elements()[1].Style, 0); // the restored state

    // A final break adds an empty line as high as the default 8-point font.
    label.SetText(QStringLiteral("<font size=\"20\">x</font><br>"));
    EXPECT_EQ(label.height(), 1 + Metrics(label, 20).height() + h8);
    Render(label);
    EXPECT_EQ(label.height(), 1 + Metrics(label, 20).height() + h8);
}

TEST(HtmlLabel, ClosingTagsFollowTheStackNotTheirNames)
{
    TgivHTMLabel label;
    label.SetText(QStringLiteral("<b>x<i>y</b>z"));
    ASSERT_EQ(label.Elements().Count(), 3);
    EXPECT_EQ(label.Elements()[1].Style, fsBold | fsItalic);
    EXPECT_EQ(label.Elements()[2].Style, fsBold); // bold again, not italic

    label.SetText(QStringLiteral("<font size=\"14\"><b>a</font>b"));
    EXPECT_EQ(label.Elements()[1].FontSize, 14);
    EXPECT_EQ(label.Elements()[1].Style, 0);

    // Unmatched closing tags on an empty stack change only their own bit.
    label.SetText(QStringLiteral("<font color=\"red\">x</font></b></u>y"));
    EXPECT_EQ(label.Elements()[1].Color, QColor(0, 0, 0));
    label.SetText(QStringLiteral("<u>a</font>b</u>c"));
    EXPECT_EQ(label.Elements()[1].Style, 0);
    EXPECT_EQ(label.Elements()[2].Style, 0);
}

TEST(HtmlLabel, AttributesNeedQuotesAndApplyOnEveryTag)
{
    TgivHTMLabel label;
    label.SetText(QStringLiteral("<FONT COLOR=\"Red\" size=\"12\">a</font>"
                                 "<font size=12 color=\"red\">b</font>"
                                 "<font color=red size=\"x12\">c</font>"
                                 "<br size=\"14\">d"
                                 "<b>e</b color=\"#0000FF\">f"
                                 "<unknown name=\"here\">g"
                                 "<br/>h"));
    const TgivHTMLElementStack &runs = label.Elements();
    ASSERT_EQ(runs.Count(), 8);
    EXPECT_EQ(runs[0].Color, QColor(255, 0, 0));
    EXPECT_EQ(runs[0].FontSize, 12);
    EXPECT_EQ(runs[1].Color, QColor(0, 0, 0)); // unquoted value swallows the rest
    EXPECT_EQ(runs[1].FontSize, 8);
    EXPECT_EQ(runs[2].FontSize, 8);
    EXPECT_TRUE(runs[3].BreakBefore);
    EXPECT_EQ(runs[3].FontSize, 14);
    EXPECT_EQ(runs[5].Color, QColor(0, 0, 255));
    EXPECT_EQ(runs[5].Style, 0);
    EXPECT_EQ(runs[6].AnchorName, QStringLiteral("here"));
    EXPECT_FALSE(runs[7].BreakBefore); // "br/" is not a break
    EXPECT_EQ(runs[7].Text, QStringLiteral("h"));
}

TEST(HtmlLabel, UnterminatedTagEndsTheText)
{
    TgivHTMLabel label;
    label.SetText(QStringLiteral("shown<b hidden"));
    ASSERT_EQ(label.Elements().Count(), 1);
    EXPECT_EQ(label.Elements()[0].Text, QStringLiteral("shown"));

    label.SetText(QStringLiteral("<b"));
    EXPECT_EQ(label.Elements().Count(), 0);
    label.SetVAutoSize(true);
    label.SetHAutoSize(true);
    Render(label); // nothing to lay out, nothing to fail
    EXPECT_EQ(label.size(), QSize(100, 50));
}

TEST(HtmlLabel, ColourValues)
{
    QColor c;
    ASSERT_TRUE(ParseHtmlColor(QStringLiteral("#FF0000"), c));
    EXPECT_EQ(c, QColor(255, 0, 0));
    ASSERT_TRUE(ParseHtmlColor(QStringLiteral("#12ab34"), c));
    EXPECT_EQ(c, QColor(0x12, 0xAB, 0x34));
    ASSERT_TRUE(ParseHtmlColor(QStringLiteral("navy"), c));
    EXPECT_EQ(c, QColor(0, 0, 0x80));
    ASSERT_TRUE(ParseHtmlColor(QStringLiteral("MoneyGreen"), c));
    EXPECT_EQ(c, QColor(0xC0, 0xDC, 0xC0));
    ASSERT_TRUE(ParseHtmlColor(QStringLiteral("btnface"), c));
    EXPECT_EQ(c, QApplication::palette().color(QPalette::Button));
    c = Qt::green;
    EXPECT_FALSE(ParseHtmlColor(QStringLiteral("clRed"), c));
    EXPECT_FALSE(ParseHtmlColor(QStringLiteral("nocolour"), c));
    EXPECT_FALSE(ParseHtmlColor(QStringLiteral("#"), c));
    EXPECT_FALSE(ParseHtmlColor(QStringLiteral("#GG0000"), c));
    EXPECT_FALSE(ParseHtmlColor(QStringLiteral("123"), c));
    EXPECT_EQ(c, QColor(Qt::green));

    TgivHTMLabel label;
    label.SetText(QStringLiteral("<font color=\"Navy\"><font color=\"nocolour\">x</font></font>"));
    EXPECT_EQ(label.Elements()[0].Color, QColor(0, 0, 0x80));
}

TEST(HtmlLabel, RedFontDrawsPureRedText)
{
    TgivHTMLabel label;
    label.SetColor(Qt::white);
    label.resize(200, 60);
    label.SetText(QStringLiteral("<font size=\"20\" color=\"#FF0000\"><b>HHHH</b></font>"));
    const QImage image = Render(label);
    int red = 0;
    int stray = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (p == qRgb(255, 0, 0))
                ++red;
            // Anything but the white ground is red blended into white.
            else if (p != qRgb(255, 255, 255) && (qRed(p) != 255 || qGreen(p) != qBlue(p)))
                ++stray;
        }
    }
    EXPECT_GT(red, 50);
    EXPECT_EQ(stray, 0);
}

TEST(HtmlLabel, RunsShareOneBaselineAndTheTallestSetsTheHeight)
{
    TgivHTMLabel label;
    label.SetColor(Qt::white);
    label.resize(300, 60);
    label.SetVAutoSize(true);
    label.SetText(QStringLiteral("<font size=\"24\">HH</font>HH"));
    EXPECT_EQ(label.height(), 1 + Metrics(label, 24).height());

    const QImage image = Render(label);
    const int split = 1 + Metrics(label, 24).horizontalAdvance(QStringLiteral("HH"));
    const int bigBase = LowestInkRow(image, 0, split);
    const int smallBase = LowestInkRow(image, split, image.width());
    ASSERT_GT(bigBase, 0);
    EXPECT_EQ(bigBase, smallBase);
    EXPECT_EQ(bigBase + 1, 1 + Metrics(label, 24).ascent());
}

TEST(HtmlLabel, FittingWrapsAtTheLastBlankThatFits)
{
    TgivHTMLabel owner;
    const QFontMetrics fm = Metrics(owner, 8);
    TgivHTMLElement e;
    e.Text = QStringLiteral("aaa bbb ccc");

    e.FitToWidth(fm.horizontalAdvance(QStringLiteral("aaa bbb c")), 1000, fm);
    EXPECT_EQ(e.LineText, QStringLiteral("aaa bbb ")); // the blank stays at the end
    EXPECT_EQ(e.RestText, QStringLiteral("ccc"));
    e.FitToWidth(1000, 1000, fm); // continues with the rest
    EXPECT_EQ(e.LineText, QStringLiteral("ccc"));
    EXPECT_EQ(e.RestText, QString());

    TgivHTMLElement first;
    first.Text = QStringLiteral("aaa bbb");
    first.FitToWidth(2, 1000, fm); // the first word goes even though it passes
    EXPECT_EQ(first.LineText, QStringLiteral("aaa "));
    EXPECT_EQ(first.RestText, QStringLiteral("bbb"));

    TgivHTMLElement word;
    word.Text = QStringLiteral("wordwithoutblanks");
    word.FitToWidth(5, 1000, fm); // fits a whole line: waits for the next one
    EXPECT_EQ(word.LineText, QString());
    word.FitToWidth(5, 10, fm); // wider than any line: stays whole
    EXPECT_EQ(word.LineText, QStringLiteral("wordwithoutblanks"));
    EXPECT_EQ(word.RestText, QString());
}

TEST(HtmlLabel, NarrowLabelWrapsAndLongWordsOverflow)
{
    TgivHTMLabel label;
    label.SetColor(Qt::white);
    label.SetVAutoSize(true);
    const QFontMetrics fm = Metrics(label, 8);
    const int h8 = fm.height();
    label.resize(1 + fm.horizontalAdvance(QStringLiteral("aaa bbb cc")) + 1, 10);
    label.SetText(QStringLiteral("aaa bbb ccc ddd"));
    EXPECT_EQ(label.height(), 1 + 2 * h8);

    // Runs placed after a partly placed one continue on the next line.
    label.SetText(QStringLiteral("aaa <b>bbb ccc</b> ddd"));
    EXPECT_EQ(label.height(), 1 + 2 * h8);

    label.resize(30, 10);
    label.SetText(QStringLiteral("<font size=\"20\">MMMMMMMMMM</font>"));
    // The final empty run finds no room left and is not placed on a line of its own.
    EXPECT_EQ(label.height(), 1 + Metrics(label, 20).height());
    const QImage image = Render(label);
    bool inkAtRightEdge = false;
    for (int y = 0; y < image.height(); ++y)
        inkAtRightEdge = inkAtRightEdge || IsInk(image.pixel(image.width() - 1, y));
    EXPECT_TRUE(inkAtRightEdge); // drawn whole, cut by the label's edge

    // With width following the text nothing wraps.
    label.SetHAutoSize(true);
    label.SetText(QStringLiteral("aaa bbb ccc ddd eee fff"));
    EXPECT_EQ(label.height(), 1 + h8);
    EXPECT_EQ(label.width(), 2 + fm.horizontalAdvance(QStringLiteral("aaa bbb ccc ddd eee fff")));
    label.SetAlign(alTop); // docked top: width no longer follows, height still does
    label.resize(40, 10);
    label.SetText(QStringLiteral("aaa bbb ccc ddd"));
    EXPECT_EQ(label.width(), 40);
    EXPECT_GT(label.height(), 1 + h8);
}

TEST(HtmlLabel, LinesAlignByTheirFirstRun)
{
    TgivHTMLabel label;
    label.resize(200, 60);
    label.SetText(QStringLiteral("<a name=\"r\" align=\"right\">II</a><br>"
                                 "<a name=\"c\" align=\"center\">II</a><br>"
                                 "<a name=\"x\" align=\"Right\">II</a>"));
    Render(label);
    const int w = Metrics(label, 8).horizontalAdvance(QStringLiteral("II"));
    const int limit = 200 - 1;
    const TgivHTMLElementStack &runs = label.Elements();
    ASSERT_EQ(runs.Count(), 4);
    ASSERT_EQ(runs[0].HitRects.size(), 1);
    EXPECT_EQ(runs[0].HitRects[0].left, limit - 1 - w);
    EXPECT_EQ(runs[0].HitRects[0].right, limit - 1);
    EXPECT_EQ(runs[1].HitRects[0].left, (limit - 1 - w) / 2);
    EXPECT_EQ(runs[2].HitRects[0].left, 1); // letter case counts: acts as left
    EXPECT_EQ(runs[1].HitRects[0].top, 1 + Metrics(label, 8).height());

    label.resize(5, 60); // no room: never placed left of the edge
    Render(label);
    EXPECT_EQ(label.Elements()[0].HitRects[0].left, 0);
}

TEST(HtmlLabel, EmptyFaceKeepsTheSurfaceFace)
{
    TgivHTMLabel label;
    label.SetHAutoSize(true);
    const QString mono = QStringLiteral("DejaVu Sans Mono");
    label.SetText(QStringLiteral("<font face=\"DejaVu Sans Mono\">i</font>iiii"));
    // Every run is measured after the face was set, so all five are mono.
    const QFontMetrics fm = Metrics(label, 8, 0, mono);
    EXPECT_EQ(label.width(),
              2 + fm.horizontalAdvance(QStringLiteral("i")) + fm.horizontalAdvance(QStringLiteral("iiii")));
    EXPECT_NE(Metrics(label, 8, 0, mono).horizontalAdvance(QStringLiteral("iiiii")),
              Metrics(label, 8).horizontalAdvance(QStringLiteral("iiiii")));
}

TEST(HtmlLabel, AnchorsReportTheirNameForAnyButton)
{
    QWidget host;
    host.resize(320, 60);
    TgivHTMLabel label(&host);
    label.resize(300, 40);
    host.show();
    label.SetText(QStringLiteral("go <a name=\"firm 7\"><u>here</u></a> now"));
    Render(label);
    const TgivHTMLElement &anchor = label.Elements()[1];
    ASSERT_EQ(anchor.AnchorName, QStringLiteral("firm 7"));
    ASSERT_EQ(anchor.HitRects.size(), 1);
    const TObjRect r = anchor.HitRects[0];
    const QPoint inside((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    const QPoint outside(r.right + 20, inside.y());

    // Unassigned: clicks do nothing and the cursor is never touched.
    SendMouse(&label, QEvent::MouseMove, Qt::NoButton, inside);
    EXPECT_FALSE(label.testAttribute(Qt::WA_SetCursor));

    QStringList calls;
    label.SetOnAnchor([&](TgivHTMLabel *sender, const QString &name) {
        EXPECT_EQ(sender, &label);
        calls << name;
    });
    QTest::mouseClick(&label, Qt::LeftButton, {}, inside);
    QTest::mouseClick(&label, Qt::RightButton, {}, QPoint(r.right, r.bottom)); // edges count
    QTest::mouseClick(&label, Qt::LeftButton, {}, outside);
    EXPECT_EQ(calls, (QStringList{QStringLiteral("firm 7"), QStringLiteral("firm 7")}));

    SendMouse(&label, QEvent::MouseMove, Qt::NoButton, inside);
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
    SendMouse(&label, QEvent::MouseMove, Qt::NoButton, outside);
    EXPECT_FALSE(label.testAttribute(Qt::WA_SetCursor));
}

TEST(HtmlLabel, AnchorSplitOverTwoLinesHasTwoHitRectangles)
{
    TgivHTMLabel label;
    const QFontMetrics fm = Metrics(label, 8);
    label.resize(2 + fm.horizontalAdvance(QStringLiteral("one two ")) + 1, 60);
    label.SetText(QStringLiteral("<a name=\"n\">one two three</a>"));
    Render(label);
    const TgivHTMLElement &anchor = label.Elements()[0];
    ASSERT_EQ(anchor.HitRects.size(), 2);
    EXPECT_EQ(anchor.HitRects[1].left, 1);
    EXPECT_EQ(anchor.HitRects[1].top, 1 + fm.height());
}
