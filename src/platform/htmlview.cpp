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

void THTMLViewer::LoadFromString(const QString &html)
{
    m_html = html;
    setHtml(html);
    RelaxNarrowColumns(document()->rootFrame());
}

bool THTMLViewer::PrintPreview(TMetaFilePrinter &recorder)
{
    // The printed copy is made anew from the page's text on the layout's
    // thread, with the view's defaults.
    const QString html = m_html.isNull() ? document()->toHtml() : m_html;
    const QFont font = document()->defaultFont();
    const QString family = font.family();
    const qreal points = font.pointSizeF();
    const QString styleSheet = document()->defaultStyleSheet();
    const auto build = [html, family, points, styleSheet] {
        auto *doc = new QTextDocument;
        QFont font(family);
        font.setPointSizeF(points);
        doc->setDefaultFont(font);
        doc->setDefaultStyleSheet(styleSheet);
        doc->setHtml(html);
        RelaxNarrowColumns(doc->rootFrame());
        return doc;
    };
    return recorder.Record(build, *Printer(), [this](int page, bool &stop) {
        if (OnPageEvent)
            OnPageEvent(this, page, stop);
    });
}

bool THTMLViewer::Print(int fromPage, int toPage, TMetaFilePrinter *laidOut)
{
    QPrinter *printer = Printer();
    // The preview's pages print as they are; another printer or paper gets
    // a layout of its own, and the preview keeps its pages.
    TMetaFilePrinter own;
    const bool reuse = laidOut && laidOut->LaidOutFor(*printer);
    TMetaFilePrinter &pages = reuse ? *laidOut : own;
    if (!reuse && !PrintPreview(pages))
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
        pages.DrawPage(painter, page - 1);
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
