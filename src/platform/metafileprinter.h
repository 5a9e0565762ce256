#pragma once
// The page recorder: an HTML document laid out for a printer's paper and
// resolution. A page is drawn in printer dots with (0, 0) at the top left of
// the printable area, which lies OffsetX, OffsetY dots from the paper's edge:
// straight from the layout onto the printer, or as a recorded picture for
// the screen, made the first time the page is asked for.

#include <QList>
#include <QPicture>

#include <functional>
#include <memory>

class QThread;
class QPainter;
class QPrinter;
class QTextDocument;

class TMetaFilePrinter
{
public:
    TMetaFilePrinter();
    ~TMetaFilePrinter();
    TMetaFilePrinter(const TMetaFilePrinter &) = delete;
    TMetaFilePrinter &operator=(const TMetaFilePrinter &) = delete;

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

    int PageCount() const { return m_pageCount; }
    // Page index is 0-based. The picture is recorded once and shared.
    QPicture MetaFile(int index) const;
    // Draws the page in printer dots at the painter's origin.
    void DrawPage(QPainter &painter, int index) const;
    // The laid-out document; null before a layout or after a stopped one.
    const QTextDocument *Document() const { return m_doc; }
    // True when the pages were laid out for this printer's resolution and
    // page, so that it can print them as they are.
    bool LaidOutFor(const QPrinter &printer) const;

    // Called with 0 before and, repeatedly, during the layout and with N for
    // each laid-out page N; setting stop ends the job there.
    using TPageStep = std::function<void(int page, bool &stop)>;

    // Makes the document to lay out. It runs on the layout's own thread, so
    // that nothing of the document (its fonts above all) is shared with one
    // the windows use meanwhile. It must not touch the caller's objects: a
    // stopped layout runs on after the caller has gone.
    using TDocumentBuilder = std::function<QTextDocument *()>;

    // Lays the built document out for printer; false when a step stopped it,
    // in which case nothing is kept. An error raised while the layout runs
    // (the builder's, say) is raised again here, and nothing is kept.
    // While a stopped layout still runs, a new one waits for it to end,
    // calling the step with 0 as the layout does; stopped while it waits, it
    // returns false without having started.
    bool Record(TDocumentBuilder build, QPrinter &printer, const TPageStep &step);
    // Drops the pages at once; the document is freed on its layout's thread,
    // which then counts as a stopped layout until it has done so.
    void Clear();

    // How long the program's end waits for a stopped layout.
    static constexpr int StoppedLayoutWaitMs = 1000;
    // Waits up to timeoutMs for a stopped layout that still runs; true when
    // none runs any longer. One that does not end in time must be left to
    // die with the process: it still uses the fonts and the window system.
    static bool WaitForStoppedLayouts(int timeoutMs = StoppedLayoutWaitMs);

private:
    struct TLayoutJob;
    std::shared_ptr<TLayoutJob> m_job;
    std::unique_ptr<QThread> m_thread; // keeps the layout's fonts
    QTextDocument *m_doc = nullptr;    // handed to this thread once laid out
    int m_pageCount = 0;
    int m_resolution = 0;
    mutable QList<QPicture> m_pages; // recorded when first asked for
};
