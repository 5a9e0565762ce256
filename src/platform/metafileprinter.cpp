#include "platform/metafileprinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>

#include <memory>

void TMetaFilePrinter::Clear()
{
    m_pages.clear();
}

bool TMetaFilePrinter::Record(const QTextDocument &source, QPrinter &printer, const TPageStep &step)
{
    Clear();
    const int dpi = printer.resolution();
    const QPageLayout layout = printer.pageLayout();
    const QRect paper = layout.fullRectPixels(dpi);
    const QRect area = layout.paintRectPixels(dpi);
    PaperWidth = paper.width();
    PaperHeight = paper.height();
    OffsetX = area.left() - paper.left();
    OffsetY = area.top() - paper.top();
    PageWidth = area.width();
    PageHeight = area.height();
    PixelsPerInchX = printer.logicalDpiX();
    PixelsPerInchY = printer.logicalDpiY();

    bool stop = false;
    if (step)
        step(0, stop);
    if (stop)
        return false;

    // Fonts and page size in printer dots: the layout is the printer's, the
    // view keeps its own.
    std::unique_ptr<QTextDocument> doc(source.clone());
    doc->documentLayout()->setPaintDevice(&printer);
    doc->setPageSize(QSizeF(PageWidth, PageHeight));
    const int pages = doc->pageCount();

    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    for (int page = 0; page < pages; ++page) {
        if (step)
            step(page + 1, stop);
        if (stop)
            return false;
        const QRectF band(0, qreal(page) * PageHeight, PageWidth, PageHeight);
        QPicture picture;
        QPainter painter(&picture);
        painter.setClipRect(QRectF(0, 0, PageWidth, PageHeight));
        painter.translate(0, -band.top());
        context.clip = band;
        doc->documentLayout()->draw(&painter, context);
        painter.end();
        m_pages.append(picture);
    }
    return true;
}
