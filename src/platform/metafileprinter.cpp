#include "platform/metafileprinter.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QSemaphore>
#include <QTextDocument>
#include <QThread>

#include <exception>
#include <memory>
#include <stdexcept>
#include <utility>

namespace {

// How often the page event is called while the layout runs.
constexpr int LayoutPollMs = 40;

// The printer's measures without the printer: the layout thread may outlive
// the printer it was started for.
class TPrinterMetrics : public QPaintDevice
{
public:
    explicit TPrinterMetrics(const QPaintDevice &printer)
        : m_width(printer.width()), m_height(printer.height()), m_widthMM(printer.widthMM()),
          m_heightMM(printer.heightMM()), m_dpiX(printer.logicalDpiX()), m_dpiY(printer.logicalDpiY()),
          m_physicalDpiX(printer.physicalDpiX()), m_physicalDpiY(printer.physicalDpiY()), m_depth(printer.depth()),
          m_colours(printer.colorCount())
    {}
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_width;
        case PdmHeight: return m_height;
        case PdmWidthMM: return m_widthMM;
        case PdmHeightMM: return m_heightMM;
        case PdmNumColors: return m_colours;
        case PdmDepth: return m_depth;
        case PdmDpiX: return m_dpiX;
        case PdmDpiY: return m_dpiY;
        case PdmPhysicalDpiX: return m_physicalDpiX;
        case PdmPhysicalDpiY: return m_physicalDpiY;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    int m_width, m_height, m_widthMM, m_heightMM, m_dpiX, m_dpiY, m_physicalDpiX, m_physicalDpiY, m_depth, m_colours;
};

} // namespace

// One layout on a thread of its own. The text laid out there keeps font
// engines of that thread, and their FreeType faces go when the thread ends:
// a document drawn or measured after that crashes. So once laid out, the
// document is handed to the thread that asked for it, and its layout thread
// waits until the document has been freed before it ends. A layout no one
// waits for any more frees its document itself, on its own thread.
struct TMetaFilePrinter::TLayoutJob {
    explicit TLayoutJob(const QPaintDevice &printer) : metrics(printer) {}
    TPrinterMetrics metrics; // outlives the document laid out for it
    QMutex mutex;
    QSemaphore laidOut;
    QSemaphore released;
    QTextDocument *doc = nullptr;
    QTextDocument *returned = nullptr; // handed back to be freed here
    std::exception_ptr error;
    bool done = false;
    bool abandoned = false;
    int pages = 0;
};

namespace {

// Layouts no one waits for: Qt's layout of a long table cannot be
// interrupted, so a stopped one runs to its end on its own. The GUI thread's;
// each is freed once it has ended.
QList<QPointer<QThread>> &StoppedLayouts()
{
    static QList<QPointer<QThread>> threads;
    return threads;
}

void Abandon(QThread *thread)
{
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (thread->isFinished()) // ended before it was connected
        thread->deleteLater();
    StoppedLayouts().append(thread);
}

} // namespace

bool TMetaFilePrinter::WaitForStoppedLayouts(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QList<QPointer<QThread>> &threads = StoppedLayouts();
    while (!threads.isEmpty()) {
        QThread *thread = threads.first();
        if (thread && !thread->wait(deadline))
            return false;
        threads.removeFirst();
        delete thread;
    }
    return true;
}

TMetaFilePrinter::TMetaFilePrinter() = default;

TMetaFilePrinter::~TMetaFilePrinter()
{
    Clear();
}

void TMetaFilePrinter::Clear()
{
    if (m_thread) {
        // The document goes back to the thread that laid it out: its layout
        // still refers to that thread's fonts, and it is freed there while
        // this thread goes on. The program's end waits for it as for a
        // stopped layout.
        if (m_doc) {
            m_doc->moveToThread(m_thread.get());
            m_job->returned = m_doc;
        }
        m_job->released.release();
        Abandon(m_thread.release());
    } else {
        delete m_doc;
    }
    m_doc = nullptr;
    m_job.reset();
    m_pageCount = 0;
    m_resolution = 0;
    m_pages.clear();
}

bool TMetaFilePrinter::LaidOutFor(const QPrinter &printer) const
{
    if (!m_doc)
        return false;
    const int dpi = printer.resolution();
    const QPageLayout layout = printer.pageLayout();
    const QRect paper = layout.fullRectPixels(dpi);
    const QRect area = layout.paintRectPixels(dpi);
    return dpi == m_resolution && paper.width() == PaperWidth && paper.height() == PaperHeight &&
           area.left() - paper.left() == OffsetX && area.top() - paper.top() == OffsetY && area.width() == PageWidth &&
           area.height() == PageHeight && printer.logicalDpiX() == PixelsPerInchX &&
           printer.logicalDpiY() == PixelsPerInchY;
}

bool TMetaFilePrinter::Record(TDocumentBuilder build, QPrinter &printer, const TPageStep &step)
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

    // Stopping and starting again must not pile up layouts that run on: a
    // new one waits until the stopped one has ended.
    while (!WaitForStoppedLayouts(LayoutPollMs)) {
        if (step)
            step(0, stop);
        if (stop)
            return false;
    }

    // The layout runs on a thread of its own, so that the progress window
    // stays painted and its cancel button answers however long one table
    // takes. Fonts and page size are the printer's; the view keeps its own.
    auto job = std::make_shared<TLayoutJob>(printer);
    const QSizeF pageSize(PageWidth, PageHeight);
    QThread *const owner = QThread::currentThread();
    std::unique_ptr<QThread> thread(QThread::create([job, pageSize, owner, build = std::move(build)] {
        // The document is this thread's until it is handed over: its
        // layout's timers are started here, and a stopped one is freed here.
        std::unique_ptr<QTextDocument> doc;
        std::exception_ptr error;
        int pages = 0;
        try {
            doc.reset(build());
            if (!doc)
                throw std::logic_error("no page to lay out");
            doc->documentLayout()->setPaintDevice(&job->metrics);
            doc->setPageSize(pageSize);
            pages = doc->pageCount();
        } catch (...) {
            error = std::current_exception();
            doc.reset();
        }
        {
            QMutexLocker lock(&job->mutex);
            job->done = true;
            if (job->abandoned)
                return;
            job->pages = pages;
            job->error = error;
            if (doc) {
                // Only the thread an object belongs to may give it away.
                doc->moveToThread(owner);
                job->doc = doc.release();
            }
        }
        job->laidOut.release();
        if (!error) {
            job->released.acquire();
            // Freeing a long report takes long too: not on the window's thread.
            // What the move back posted for its timers is handled first, or
            // it would be lost with the document.
            if (QTextDocument *back = job->returned) {
                QCoreApplication::sendPostedEvents(back, QEvent::MetaCall);
                for (QObject *child : back->findChildren<QObject *>())
                    QCoreApplication::sendPostedEvents(child, QEvent::MetaCall);
                delete back;
            }
        }
    }));
    thread->start();
    while (!job->laidOut.tryAcquire(1, LayoutPollMs)) {
        if (step)
            step(0, stop);
        if (stop) {
            QMutexLocker lock(&job->mutex);
            if (!job->done) {
                job->abandoned = true;
                lock.unlock();
                Abandon(thread.release());
                return false;
            }
        }
    }
    m_doc = job->doc;
    m_thread = std::move(thread);
    m_job = job;
    if (job->error) {
        Clear();
        std::rethrow_exception(job->error);
    }
    // The timers its layout started move with the document once this thread
    // has handled what the move posted for them.
    QCoreApplication::sendPostedEvents(m_doc, QEvent::MetaCall);
    for (QObject *child : m_doc->findChildren<QObject *>())
        QCoreApplication::sendPostedEvents(child, QEvent::MetaCall);
    if (stop) {
        Clear();
        return false;
    }

    m_pageCount = job->pages;
    m_resolution = dpi;
    m_pages.resize(m_pageCount);
    for (int page = 1; page <= m_pageCount; ++page) {
        if (step)
            step(page, stop);
        if (stop) {
            Clear();
            return false;
        }
    }
    return true;
}

void TMetaFilePrinter::DrawPage(QPainter &painter, int index) const
{
    if (!m_doc || index < 0 || index >= m_pageCount)
        return;
    const QRectF band(0, qreal(index) * PageHeight, PageWidth, PageHeight);
    QAbstractTextDocumentLayout::PaintContext context;
    context.palette.setColor(QPalette::Text, Qt::black);
    context.clip = band;
    painter.save();
    painter.setClipRect(QRectF(0, 0, PageWidth, PageHeight), Qt::IntersectClip);
    painter.translate(0, -band.top());
    m_doc->documentLayout()->draw(&painter, context);
    painter.restore();
}

QPicture TMetaFilePrinter::MetaFile(int index) const
{
    if (index < 0 || index >= m_pageCount)
        return QPicture();
    if (m_pages[index].isNull()) { // not yet recorded, or a blank page
        QPainter painter(&m_pages[index]);
        DrawPage(painter, index);
    }
    return m_pages[index];
}
