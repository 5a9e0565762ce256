#include "services/pagerules.h"

#include "platform/htmlview.h"

#include <QFontMetricsF>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace {

// Where a text is cut at maxText: before a character outside the Basic
// Multilingual Plane rather than between the two halves of it.
int CutPoint(const QString &text, int from, int maxText)
{
    return maxText > 0 && text.at(from + maxText - 1).isHighSurrogate() ? maxText - 1 : maxText;
}

} // namespace

QString CutLongText(const QString &text, int maxText)
{
    return text.size() > maxText ? text.left(CutPoint(text, 0, maxText)) + u'\u2026' : text;
}

namespace {

struct TCut {
    int from;
    int to;
    QTextCharFormat format;
};

QList<TCut> LongRuns(const QTextDocument &doc, int maxText)
{
    QList<TCut> cuts;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.length() <= maxText + 1)
            continue;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QString text = fragment.text();
            int start = 0;
            while (start < text.size()) {
                int end = int(text.indexOf(QChar::LineSeparator, start));
                if (end < 0)
                    end = int(text.size());
                if (end - start > maxText)
                    cuts.append({fragment.position() + start + CutPoint(text, start, maxText),
                                 fragment.position() + end, fragment.charFormat()});
                start = end + 1;
            }
        }
    }
    return cuts;
}

void Cut(QTextDocument &doc, const QList<TCut> &cuts)
{
    QTextCursor cursor(&doc);
    // From the end, so that the positions still to cut stay where they were.
    for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
        cursor.setPosition(it->from);
        cursor.setPosition(it->to, QTextCursor::KeepAnchor);
        cursor.insertText(QStringLiteral("\u2026"), it->format);
    }
}

// What a picture of the scratch copy shows: it is never drawn, and must not
// be read from anywhere.
QVariant NoResource(const QUrl &)
{
    return QImage(1, 1, QImage::Format_Mono);
}

} // namespace

void CutLongTexts(QTextDocument &doc, int maxText)
{
    Cut(doc, LongRuns(doc, maxText));
}

QString CutLongTexts(const QString &html, const QTextDocument &like, int maxText)
{
    // A document with no view is never laid out here, so even a text of a
    // million letters is only read.
    QTextDocument doc;
    doc.setResourceProvider(NoResource);
    doc.setDefaultFont(like.defaultFont());
    doc.setDefaultStyleSheet(like.defaultStyleSheet());
    doc.setHtml(html);
    const QList<TCut> cuts = LongRuns(doc, maxText);
    if (cuts.isEmpty())
        return html;
    Cut(doc, cuts);
    return doc.toHtml();
}

namespace {

// The widest line of a cell's text unbroken, in the page's own pixels.
qreal NaturalWidth(const QTextDocument &doc, const QTextTableCell &cell)
{
    // Lengths in a page are in pixels of 96 to the inch, whatever the device.
    QImage reference(1, 1, QImage::Format_Mono);
    reference.setDotsPerMeterX(3780);
    reference.setDotsPerMeterY(3780);
    qreal widest = 0;
    const int end = cell.lastCursorPosition().position();
    for (QTextBlock block = cell.firstCursorPosition().block(); block.isValid() && block.position() <= end;
         block = block.next()) {
        qreal line = 0;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QFontMetricsF metrics(fragment.charFormat().font().resolve(doc.defaultFont()), &reference);
            const QStringList parts = fragment.text().split(QChar::LineSeparator);
            for (int i = 0; i < parts.size(); ++i) {
                if (i > 0) {
                    widest = std::max(widest, line);
                    line = 0;
                }
                line += metrics.horizontalAdvance(parts[i]);
            }
        }
        widest = std::max(widest, line);
    }
    return widest;
}

} // namespace

void PreparePrintedPage(QTextDocument &doc)
{
    const QList<TNarrowColumn> relaxed = RelaxNarrowColumns(doc);
    if (relaxed.isEmpty())
        return;
    // Cards printed one below another keep one label column, as wide as
    // the widest label of them all.
    qreal width = 0;
    for (const TNarrowColumn &c : relaxed)
        for (int row = 0; row < c.table->rows(); ++row) {
            const QTextTableCell cell = c.table->cellAt(row, c.column);
            if (cell.column() == c.column && cell.columnSpan() == 1)
                width = std::max(width, NaturalWidth(doc, cell) + 2 * c.table->format().cellPadding() + 1);
        }
    for (const TNarrowColumn &c : relaxed) {
        QTextTableFormat format = c.table->format();
        QList<QTextLength> widths = format.columnWidthConstraints();
        widths[c.column] = QTextLength(QTextLength::FixedLength, std::ceil(width));
        format.setColumnWidthConstraints(widths);
        c.table->setFormat(format);
    }
}
