#include "platform/htmlview.h"

#include "data/dberror.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>

THTMLViewer::THTMLViewer(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    ApplyDefaults();
}

void THTMLViewer::SetDefFontName(const QString &name)
{
    m_fontName = name;
    ApplyDefaults();
}

void THTMLViewer::SetDefFontSize(int points)
{
    m_fontSize = points;
    ApplyDefaults();
}

void THTMLViewer::SetDefBackground(const QColor &colour)
{
    m_background = colour;
    ApplyDefaults();
}

void THTMLViewer::SetDefFontColor(const QColor &colour)
{
    m_fontColour = colour;
    ApplyDefaults();
}

void THTMLViewer::SetDefHotSpotColor(const QColor &colour)
{
    m_hotSpotColour = colour;
    ApplyDefaults();
}

void THTMLViewer::SetDefOverLinkColor(const QColor &colour)
{
    // Only the view's hover shows it; a page laid out for print never does.
    m_overLinkColour = colour;
}

void THTMLViewer::ApplyDefaults()
{
    QFont font(m_fontName);
    font.setPointSize(m_fontSize);
    document()->setDefaultFont(font);
    QPalette p = palette();
    p.setColor(QPalette::Base, m_background);
    p.setColor(QPalette::Text, m_fontColour);
    p.setColor(QPalette::Link, m_hotSpotColour);
    setPalette(p);
    // Links take their colour from the style sheet, which the printed copy
    // keeps; the palette alone would be lost there.
    document()->setDefaultStyleSheet(QStringLiteral("a { color: %1; }").arg(m_hotSpotColour.name()));
}

namespace {

// Qt narrows a column to its percentage even below its longest word, one
// letter a line; the pages this view shows ask for "1%" meaning "no wider
// than the words". Such columns take the width of their content instead.
void RelaxNarrowColumns(QTextFrame *frame)
{
    if (auto *table = qobject_cast<QTextTable *>(frame)) {
        QTextTableFormat format = table->format();
        QList<QTextLength> widths = format.columnWidthConstraints();
        bool changed = false;
        for (QTextLength &width : widths) {
            if (width.type() == QTextLength::PercentageLength && width.rawValue() < 5) {
                width = QTextLength();
                changed = true;
            }
        }
        if (changed) {
            format.setColumnWidthConstraints(widths);
            table->setFormat(format);
        }
    }
    for (QTextFrame *child : frame->childFrames())
        RelaxNarrowColumns(child);
}

} // namespace

QString CutLongTexts(const QString &html, int maxText)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = html.size();
    while (i < n) {
        const qsizetype tag = html.indexOf(u'<', i);
        const qsizetype end = tag < 0 ? n : tag;
        // The text up to the tag, counted in shown characters.
        int shown = 0;
        qsizetype j = i;
        while (j < end && shown < maxText) {
            if (html[j] == u'&') {
                const qsizetype semi = html.indexOf(u';', j);
                j = semi >= 0 && semi < end && semi - j <= 10 ? semi + 1 : j + 1;
            } else {
                ++j;
            }
            ++shown;
        }
        out += QStringView(html).mid(i, j - i);
        if (j < end)
            out += u'\u2026';
        if (tag < 0)
            break;
        const qsizetype close = html.indexOf(u'>', tag);
        const qsizetype next = close < 0 ? n : close + 1;
        out += QStringView(html).mid(tag, next - tag);
        i = next;
    }
    return out;
}

void THTMLViewer::LoadFromString(const QString &html)
{
    setHtml(CutLongTexts(html));
    RelaxNarrowColumns(document()->rootFrame());
}

bool THTMLViewer::PrintPreview(TMetaFilePrinter &recorder)
{
    return recorder.Record(*document(), *Printer(), [this](int page, bool &stop) {
        if (OnPageEvent)
            OnPageEvent(this, page, stop);
    });
}

bool THTMLViewer::Print(int fromPage, int toPage)
{
    QPrinter *printer = Printer();
    TMetaFilePrinter pages;
    if (!PrintPreview(pages))
        return false;
    fromPage = std::max(fromPage, 1);
    toPage = std::min(toPage, pages.PageCount());

    const QString file = printer->outputFormat() == QPrinter::PdfFormat ? printer->outputFileName() : QString();
    QPainter painter;
    bool stop = false;
    for (int page = fromPage; page <= toPage && !stop; ++page) {
        if (OnPageEvent)
            OnPageEvent(this, page, stop);
        if (stop)
            break;
        if (!painter.isActive()) {
            if (!painter.begin(printer))
                throw Exception(QStringLiteral("Printer selected is not valid"));
        } else {
            printer->newPage();
        }
        pages.MetaFile(page - 1).play(&painter);
    }
    if (painter.isActive()) {
        if (stop && file.isEmpty())
            printer->abort(); // drops the queue's job
        painter.end();
        if (stop && !file.isEmpty())
            QFile::remove(file);
    }
    return !stop;
}
