#pragma once
// The page recorder: an HTML document laid out for a printer's paper and
// resolution, one recorded picture per page. A page's picture is drawn in
// printer dots with (0, 0) at the top left of the printable area, which lies
// OffsetX, OffsetY dots from the paper's edge.

#include <QList>
#include <QPicture>

#include <functional>

class QPrinter;
class QTextDocument;

class TMetaFilePrinter
{
public:
    // Paper size and the printable area's offset, in printer dots.
    int PaperWidth = 0;
    int PaperHeight = 0;
    int OffsetX = 0;
    int OffsetY = 0;
    // Size of the printable area, in printer dots.
    int PageWidth = 0;
    int PageHeight = 0;
    int PixelsPerInchX = 0;
    int PixelsPerInchY = 0;

    int PageCount() const { return int(m_pages.size()); }
    // Page index is 0-based.
    QPicture MetaFile(int index) const { return m_pages.at(index); } // shared, not copied

    // Called with 0 before the layout and with N before page N is recorded;
    // setting stop ends the recording there.
    using TPageStep = std::function<void(int page, bool &stop)>;

    // Lays source out for printer and records every page; false when a step
    // stopped it (the pages recorded so far are kept).
    bool Record(const QTextDocument &source, QPrinter &printer, const TPageStep &step);
    void Clear();

private:
    QList<QPicture> m_pages;
};
