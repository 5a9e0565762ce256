#pragma once
// What a printed PDF holds, read back with pdftotext, against the pages a
// layout made: each printed page must carry the text of its laid-out page,
// inside the paper and at the size of the print, not merely exist.

#include "platform/metafileprinter.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

struct TPdfWord {
    QString text;
    QRectF box; // in points, from the top left of the paper
};

struct TPdfPage {
    QSizeF size; // in points
    QList<TPdfWord> words;
};

struct TPdfText {
    QList<TPdfPage> pages;
    QString errors; // what the reader said of the file's syntax
};

inline TPdfText ReadPdf(const QString &path)
{
    TPdfText out;
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    if (!reader.waitForFinished(60000)) {
        reader.kill();
        reader.waitForFinished(5000);
        out.errors = QStringLiteral("pdftotext did not finish");
        return out;
    }
    out.errors = QString::fromUtf8(reader.readAllStandardError());
    const QString xml = QString::fromUtf8(reader.readAllStandardOutput());
    static const QRegularExpression page(QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">"));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    static const QRegularExpression any(page.pattern() + QStringLiteral("|") + word.pattern());
    for (auto it = any.globalMatch(xml); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (!m.captured(1).isEmpty()) {
            out.pages.append({QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()), {}});
        } else if (!out.pages.isEmpty()) {
            const QRectF box(QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()),
                             QPointF(m.captured(5).toDouble(), m.captured(6).toDouble()));
            QString text = m.captured(7);
            text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
            out.pages.last().words.append({text, box});
        }
    }
    return out;
}

// The text of each laid-out page: the lines whose middle falls on it.
inline QStringList LaidOutPageTexts(const TMetaFilePrinter &pages)
{
    QStringList texts(pages.PageCount());
    const QTextDocument *doc = pages.Document();
    if (!doc)
        return texts;
    QAbstractTextDocumentLayout *layout = doc->documentLayout();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        const QTextLayout *lines = block.layout();
        const QRectF rect = layout->blockBoundingRect(block);
        for (int i = 0; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const qreal middle = rect.top() + line.y() + line.height() / 2;
            const int page = int(middle / pages.PageHeight);
            if (page >= 0 && page < texts.size())
                texts[page] += block.text().mid(line.textStart(), line.textLength()) + u' ';
        }
    }
    return texts;
}

// The letters of a text without its blanks, sorted: the same letters on a
// page whatever order the reader gives its words in.
inline QString Letters(const QString &text)
{
    QString letters;
    for (QChar c : text)
        if (!c.isSpace() && c != QChar(0x2028))
            letters += c;
    std::sort(letters.begin(), letters.end());
    return letters;
}

// Printed pages from..to (1-based) of pdf are the laid-out pages with those
// numbers: the same letters, every word inside the paper, in type no
// bigger than a print's.
inline void ExpectPrintedPages(const QString &pdf, const QStringList &laidOut, int from, int to)
{
    const TPdfText printed = ReadPdf(pdf);
    EXPECT_TRUE(printed.errors.isEmpty()) << printed.errors.left(300).toStdString();
    ASSERT_EQ(printed.pages.size(), to - from + 1) << pdf.toStdString();
    for (int i = 0; i < printed.pages.size(); ++i) {
        const TPdfPage &page = printed.pages[i];
        QString text;
        for (const TPdfWord &word : page.words) {
            text += word.text + u' ';
            EXPECT_TRUE(QRectF(QPointF(0, 0), page.size).contains(word.box))
                << "page " << from + i << " word " << word.text.toStdString() << " outside the paper";
            EXPECT_GT(word.box.height(), 2) << word.text.toStdString();
            EXPECT_LT(word.box.height(), 24) << word.text.toStdString();
        }
        EXPECT_FALSE(page.words.isEmpty()) << "page " << from + i;
        EXPECT_EQ(Letters(text), Letters(laidOut.value(from - 1 + i))) << "page " << from + i;
    }
}
