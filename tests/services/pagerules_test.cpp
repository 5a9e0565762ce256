#include "services/pagerules.h"

#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"
#include "services/htmlpage.h"
#include "pdfpages.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

namespace {

const QString E = QStringLiteral("\u2026");

} // namespace

TEST(PageRules, LongRunsOfTheParsedPageAreCut)
{
    const struct {
        const char *html;
        int max;
        QString shown;
    } cases[] = {
        {"<b>abcdef</b>", 4, QStringLiteral("abcd") + E},
        {"<b>abcd</b>ef", 4, QStringLiteral("abcdef")}, // two runs of their own
        {"a&amp;bcd<br>xy", 3, QStringLiteral("a&b") + E + QStringLiteral("\nxy")},
        {"abc<br>defgh", 3, QStringLiteral("abc\ndef") + E},
        {"<p align=center>abcdef", 5, QStringLiteral("abcde") + E},
        {"<table><tr><td>abcdef</td><td>gh</td></tr></table>", 2,
         QStringLiteral("\nab") + E + QStringLiteral("\ngh\n")},
        {"abcdefgh <i>abcdefgh</i>", 4, QStringLiteral("abcd") + E + QStringLiteral("abcd") + E},
        {"", 2, QString()},
        // Never half of a character outside the Basic Multilingual Plane.
        {"ab\xF0\x9F\x98\x80"
         "cd",
         3, QStringLiteral("ab") + E},
        {"ab\xF0\x9F\x98\x80"
         "cd",
         4, QStringLiteral("ab\U0001F600") + E},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.html);
        QTextDocument doc;
        doc.setHtml(QString::fromUtf8(c.html));
        CutLongTexts(doc, c.max);
        EXPECT_EQ(doc.toPlainText(), c.shown);

        // A view's copy reads the same, and keeps the page as it was when
        // nothing is cut.
        QTextDocument like;
        const QString html = CutLongTexts(QString::fromUtf8(c.html), like, c.max);
        QTextDocument shown;
        shown.setHtml(html);
        EXPECT_EQ(shown.toPlainText(), c.shown);
        if (!c.shown.contains(E)) {
            EXPECT_EQ(html, QString::fromUtf8(c.html));
        }
    }
    EXPECT_EQ(CutLongText(QStringLiteral("abcdef"), 4), QStringLiteral("abcd") + E);
    EXPECT_EQ(CutLongText(QStringLiteral("abcd"), 4), QStringLiteral("abcd"));
    EXPECT_EQ(CutLongText(QStringLiteral("ab\U0001F600cd"), 3), QStringLiteral("ab") + E);
}

TEST(PageRules, ACutPageKeepsItsFormatsAndTheViewsFont)
{
    QTextDocument like;
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(6);
    like.setDefaultFont(font);
    const QString html = CutLongTexts(
        QStringLiteral("<b>") + QString(50, u'ж') + QStringLiteral("</b><a href=\"x\">ссылка</a>"), like, 10);
    QTextDocument shown;
    shown.setHtml(html);
    const QTextBlock block = shown.begin();
    auto it = block.begin();
    ASSERT_FALSE(it.atEnd());
    EXPECT_EQ(it.fragment().text(), QString(10, u'ж') + E);
    EXPECT_EQ(it.fragment().charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(it.fragment().charFormat().font().resolve(shown.defaultFont()).family(), QStringLiteral("Verdana"));
    ++it;
    ASSERT_FALSE(it.atEnd());
    EXPECT_EQ(it.fragment().charFormat().anchorHref(), QStringLiteral("x"));
}

TEST(PageRules, CardsPrintedOneBelowAnotherKeepOneLabelColumn)
{
    // Cards of the organisation card's kind, each with labels of its own.
    const QStringList labels[] = {{QStringLiteral("Адрес"), QStringLiteral("Телефоны")},
                                  {QStringLiteral("Вид деятельности"), QStringLiteral("Адрес")},
                                  {QStringLiteral("Равноправные подразделения"), QStringLiteral("Персонал")}};
    QString html;
    for (const QStringList &card : labels) {
        html += QStringLiteral("<table width=\"100%\" border=0>");
        for (const QString &label : card)
            html += QStringLiteral("<tr><td width=\"1%\" valign=top><b>%1</b></td><td>г. Екатеринбург</td></tr>")
                        .arg(label);
        html += QStringLiteral("</table><hr>");
    }
    THTMLViewer view;
    view.SetDefFontName(QStringLiteral("Verdana"));
    view.SetDefFontSize(6);
    view.OnPreparePrintedPage = PreparePrintedPage;
    view.LoadFromString(html);
    TMetaFilePrinter pages;
    ASSERT_TRUE(view.PrintPreview(pages));
    const QTextDocument *doc = pages.Document();
    QList<qreal> valueColumns;
    for (QTextFrame *frame : doc->rootFrame()->childFrames()) {
        auto *table = qobject_cast<QTextTable *>(frame);
        ASSERT_NE(table, nullptr);
        for (int row = 0; row < table->rows(); ++row) {
            // Every label on one line, every value where the others are.
            EXPECT_EQ(table->cellAt(row, 0).firstCursorPosition().block().layout()->lineCount(), 1);
            valueColumns
                << doc->documentLayout()->blockBoundingRect(table->cellAt(row, 1).firstCursorPosition().block()).left();
        }
    }
    ASSERT_EQ(valueColumns.size(), 6);
    for (qreal x : valueColumns)
        EXPECT_DOUBLE_EQ(x, valueColumns.first());
}

// A printed page with a word of a million letters prints its first letters.
TEST(PageRules, APrintedPageWithAHugeWordPrintsItCut)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.pdf"));
    SetPrintDialogHook([&](TPrintDialog &) {
        Printer()->setOutputFormat(QPrinter::PdfFormat);
        Printer()->setOutputFileName(path);
        return true;
    });
    const QString word = QString(1000000, u'Ж');
    PrintOrPreviewHtml(nullptr,
                       QStringLiteral("<table width=\"100%\"><tr><td><p align=center><b>") + word +
                           QStringLiteral("</b></p></td></tr></table>"),
                       false, {});
    SetPrintDialogHook({});
    const TPdfText pdf = ReadPdf(path);
    EXPECT_TRUE(pdf.errors.isEmpty()) << pdf.errors.toStdString();
    QString letters;
    for (const TPdfPage &page : pdf.pages)
        for (const TPdfWord &w : page.words)
            letters += w.text;
    EXPECT_EQ(letters.count(u'Ж'), kMaxShownText);
    EXPECT_TRUE(letters.contains(E));
}
