#include "platform/htmlview.h"

#include "data/codec.h"
#include "data/dberror.h"
#include "data/regularfile.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"

#include <QDir>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

void RelaxNarrowColumns(QTextFrame *frame, QList<TNarrowColumn> &relaxed)
{
    if (auto *table = qobject_cast<QTextTable *>(frame)) {
        QTextTableFormat format = table->format();
        QList<QTextLength> widths = format.columnWidthConstraints();
        bool changed = false;
        for (int i = 0; i < widths.size(); ++i) {
            if (widths[i].type() == QTextLength::PercentageLength && widths[i].rawValue() < 5) {
                widths[i] = QTextLength();
                changed = true;
                relaxed.append({table, i});
            }
        }
        if (changed) {
            format.setColumnWidthConstraints(widths);
            table->setFormat(format);
        }
    }
    for (QTextFrame *child : frame->childFrames())
        RelaxNarrowColumns(child, relaxed);
}

} // namespace

QList<TNarrowColumn> RelaxNarrowColumns(QTextDocument &doc)
{
    QList<TNarrowColumn> relaxed;
    RelaxNarrowColumns(doc.rootFrame(), relaxed);
    return relaxed;
}

namespace {

QString PageText(const QByteArray &bytes)
{
    // The publisher's pages are Windows-1251 unless they say otherwise.
    const QByteArray head = bytes.left(1024).toLower();
    if (head.contains("windows-1251") || head.contains("cp1251"))
        return FromCp1251(bytes);
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (decoder.isValid()) {
        const QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
    return FromCp1251(bytes);
}

// What a picture that is refused or broken shows. It must be a real picture:
// for an empty one the document would read the named file by itself.
QImage BlankPicture()
{
    static const QImage blank = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }();
    return blank;
}

} // namespace

void THTMLViewer::LoadFromString(const QString &html)
{
    m_printedParts.clear();
    m_html = html;
    m_folder.clear();
    m_currentFile.clear();
    SetPage(m_html);
}

void THTMLViewer::SetPrintedPage(const QStringList &parts)
{
    m_html.clear();
    m_printedParts = parts;
    m_folder.clear();
    m_currentFile.clear();
    clear();
}

void THTMLViewer::SetPage(const QString &html)
{
    // A null page size holds the layout back, so that the page is laid out
    // once, with its columns relaxed, instead of once more after them.
    const QSizeF pageSize = document()->pageSize();
    document()->setPageSize(QSizeF(0, 0));
    setHtml(html);
    RelaxNarrowColumns(*document());
    document()->setPageSize(pageSize);
}

bool THTMLViewer::LoadFromFile(const QString &fileName)
{
    const QFileInfo info(fileName);
    m_folder = info.absoluteDir().canonicalPath();
    m_currentFile = m_folder.isEmpty() ? QString() : m_folder + u'/' + info.fileName();
    return ShowFile(m_currentFile);
}

void THTMLViewer::ReloadFile()
{
    const int position = verticalScrollBar()->value();
    ShowFile(m_currentFile);
    verticalScrollBar()->setValue(position);
}

bool THTMLViewer::ShowFile(const QString &fileName)
{
    m_printedParts.clear();
    m_html = QString(); // a file page prints what it shows
    QByteArray bytes;
    const QString path = fileName.isEmpty() ? QString() : PageFilePath(QUrl::fromLocalFile(fileName));
    const bool read = !path.isEmpty() && ReadRegularFile(path, &bytes, MaxPageFileSize);
    ShowPage(path, read ? PageText(bytes) : QString());
    return read;
}

void THTMLViewer::ShowPage(const QString &path, const QString &html)
{
    if (!path.isEmpty())
        m_currentFile = path;
    // Relative names in the page are taken from the page's own folder.
    document()->setBaseUrl(QUrl::fromLocalFile(QFileInfo(m_currentFile).absolutePath() + u'/'));
    SetPage(html);
    document()->size(); // lays the whole page out, so its height is known
}

QString THTMLViewer::PageFilePath(const QUrl &name) const
{
    return PageFilePath(m_folder, m_currentFile, name);
}

QString THTMLViewer::PageFilePath(const QString &folder, const QString &currentFile, const QUrl &name)
{
    if (folder.isEmpty())
        return QString();
    QUrl url = name;
    if (url.isRelative())
        url = QUrl::fromLocalFile(QFileInfo(currentFile).absolutePath() + u'/').resolved(url);
    if (!url.isLocalFile())
        return QString();
    // Links and ".." that lead out of the folder are followed to where they
    // end before the folder is compared.
    const QString path = QFileInfo(url.toLocalFile()).canonicalFilePath();
    if (!path.startsWith(folder + u'/'))
        return QString();
    return path;
}

QVariant THTMLViewer::loadResource(int type, const QUrl &name)
{
    return PageResource(m_folder, m_currentFile, type, name);
}

QVariant THTMLViewer::PageResource(const QString &folder, const QString &currentFile, int type, const QUrl &name)
{
    QByteArray bytes;
    const QString path = PageFilePath(folder, currentFile, name);
    const bool read = !path.isEmpty() && ReadRegularFile(path, &bytes, MaxPageFileSize);
    if (type == QTextDocument::ImageResource) {
        const QImage image = read ? QImage::fromData(bytes) : QImage();
        return image.isNull() ? BlankPicture() : image;
    }
    // Never an empty variant: the document would then read the file itself.
    return bytes;
}

void THTMLViewer::doSetSource(const QUrl &name, QTextDocument::ResourceType)
{
    QUrl target = name;
    if (target.isRelative() && !m_currentFile.isEmpty())
        target = QUrl::fromLocalFile(m_currentFile).resolved(target);
    const QString fragment = target.fragment();
    target.setFragment(QString());
    if (!target.isLocalFile())
        return;
    const QString path = PageFilePath(target);
    if (path.isEmpty())
        return;
    if (path != m_currentFile) {
        // A link to something that cannot be read leaves the page as it is.
        QByteArray bytes;
        if (!ReadRegularFile(path, &bytes, MaxPageFileSize))
            return;
        m_printedParts.clear();
        m_html = QString();
        ShowPage(path, PageText(bytes));
    }
    if (!fragment.isEmpty())
        scrollToAnchor(fragment);
}

namespace {

// The printed copy of a page. It never reads a file by itself: what it uses
// comes by the view's rules, from the folder and file it was made with, and
// each thing is read once.
class TPrintedPage : public QTextDocument
{
public:
    TPrintedPage(const QString &folder, const QString &currentFile) : m_folder(folder), m_currentFile(currentFile)
    {
        // Relative names are the page folder's, never the working folder's.
        if (!currentFile.isEmpty())
            setBaseUrl(QUrl::fromLocalFile(QFileInfo(currentFile).absolutePath() + u'/'));
    }

protected:
    QVariant loadResource(int type, const QUrl &name) override
    {
        const QVariant resource = THTMLViewer::PageResource(m_folder, m_currentFile, type, name);
        addResource(type, name, resource);
        return resource;
    }

private:
    const QString m_folder;
    const QString m_currentFile;
};

} // namespace

bool THTMLViewer::PrintPreview(TMetaFilePrinter &recorder)
{
    // The printed copy is made anew from the page's text on the layout's
    // thread, with the view's defaults and its folder.
    const QStringList parts =
        !m_printedParts.isEmpty() ? m_printedParts : QStringList{m_html.isNull() ? document()->toHtml() : m_html};
    const QFont font = document()->defaultFont();
    const QString family = font.family();
    const qreal points = font.pointSizeF();
    const QString styleSheet = document()->defaultStyleSheet();
    const TPrintedPagePreparer prepare = OnPreparePrintedPage;
    const QString folder = m_folder;
    const QString currentFile = m_currentFile;
    const auto build = [parts, family, points, styleSheet, prepare, folder, currentFile] {
        auto *doc = new TPrintedPage(folder, currentFile);
        QFont font(family);
        font.setPointSizeF(points);
        doc->setDefaultFont(font);
        doc->setDefaultStyleSheet(styleSheet);
        doc->setHtml(parts.size() == 1 ? parts.first() : parts.join(QString()));
        if (prepare)
            prepare(*doc);
        else
            RelaxNarrowColumns(*doc);
        return doc;
    };
    return recorder.Record(build, *Printer(), [this](int page, bool &stop) {
        if (OnPageEvent)
            OnPageEvent(this, page, stop);
    });
}

namespace {

// The file a print goes to. It is opened once, without waiting for the other
// end of a FIFO, and judged on that descriptor: a name swapped for something
// else after a look at it is never written in its place. The pages are
// gathered first and take the file's place only once they are whole, as a
// save does, so a full disk or a stopped job leaves the old file as it was.
class TPrintFile
{
public:
    TPrintFile(const QString &name, const TPrintFileCheck &check) : m_name(name)
    {
        const QByteArray path = QFile::encodeName(name);
        const int flags = O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
        // Only a file made here is removed when it cannot be written.
        m_fd = ::open(path.constData(), flags | O_CREAT | O_EXCL, 0666);
        m_created = m_fd >= 0;
        if (m_fd < 0 && errno == EEXIST)
            m_fd = ::open(path.constData(), flags);
        if (m_fd < 0) {
            // A FIFO without a reader, a socket, a device without a driver,
            // a folder.
            if (errno == ENXIO || errno == EISDIR || errno == ENODEV || errno == ENOTDIR)
                throw Exception(QStringLiteral(" Ошибка открытия файла ") + name);
            throw Exception(QStringLiteral("Printer selected is not valid"));
        }
        struct stat st;
        if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
            Refuse(QStringLiteral(" Ошибка открытия файла ") + name);
        if (check) {
            if (const QString refused = check(name, m_fd); !refused.isEmpty())
                Refuse(refused);
        }
        m_pages.open(QIODevice::WriteOnly);
    }
    ~TPrintFile() { Drop(); }
    TPrintFile(const TPrintFile &) = delete;
    TPrintFile &operator=(const TPrintFile &) = delete;

    QIODevice *Device() { return &m_pages; }

    // The whole file on the disk in the old one's place; false, and the old
    // file as it was, when it is not.
    bool Finish()
    {
        m_pages.close();
        if (ReplaceOpenRegularFile(m_fd, m_name, m_pages.data()) != TWriteResult::Written) {
            Drop();
            return false;
        }
        ::close(std::exchange(m_fd, -1));
        m_pages.setData(QByteArray());
        return true;
    }

    // Nothing of the job stays: a file made for it is removed while its name
    // still leads to it; one that was there is left untouched.
    void Drop()
    {
        m_pages.close();
        m_pages.setData(QByteArray());
        if (m_fd < 0)
            return;
        if (m_created && SameFile(m_fd, m_name))
            ::unlink(QFile::encodeName(m_name).constData());
        ::close(std::exchange(m_fd, -1));
    }

private:
    [[noreturn]] void Refuse(const QString &text)
    {
        Drop();
        throw Exception(text);
    }

    const QString m_name;
    int m_fd = -1;
    bool m_created = false;
    QBuffer m_pages;
};

} // namespace

bool THTMLViewer::Print(int fromPage, int toPage, TMetaFilePrinter *laidOut)
{
    QPrinter *printer = Printer();
    // A printer with a file name writes a PDF; a queue takes the job itself.
    const QString file = printer->outputFileName();
    // The preview's pages print as they are; another printer or paper gets
    // a layout of its own, and the preview keeps its pages.
    TMetaFilePrinter own;
    const bool reuse = laidOut && laidOut->LaidOutFor(*printer);
    TMetaFilePrinter &pages = reuse ? *laidOut : own;
    if (!reuse && !PrintPreview(pages))
        return false;
    fromPage = std::max(fromPage, 1);
    toPage = std::min(toPage, pages.PageCount());

    // Declared in this order so that the painter ends before the writer
    // goes and the writer goes before its file.
    std::unique_ptr<TPrintFile> out;
    std::unique_ptr<QPdfWriter> writer;
    QPagedPaintDevice *device = printer;
    QPainter painter;
    // A job that is stopped or fails leaves nothing behind: the queue's job
    // is dropped, a file is removed.
    const auto drop = [&] {
        if (!out)
            printer->abort();
        painter.end();
        if (out)
            out->Drop();
    };
    bool stop = false;
    for (int page = fromPage; page <= toPage && !stop; ++page) {
        if (OnPageEvent)
            OnPageEvent(this, page, stop);
        if (stop)
            break;
        if (!painter.isActive()) {
            if (!file.isEmpty()) {
                // The file is opened here, after the layout: what was put in
                // its place meanwhile is what is judged and written.
                out = std::make_unique<TPrintFile>(file, OnCheckPrintFile);
                // The printer's own paper, margins and resolution, so the
                // laid-out pages land where they would on it.
                writer = std::make_unique<QPdfWriter>(out->Device());
                writer->setResolution(printer->resolution());
                writer->setPageLayout(printer->pageLayout());
                writer->setPdfVersion(printer->pdfVersion());
                writer->setCreator(printer->creator());
                writer->setTitle(printer->docName());
                device = writer.get();
            }
            if (!painter.begin(device))
                throw Exception(QStringLiteral("Printer selected is not valid"));
        } else if (!device->newPage()) {
            drop();
            throw Exception(QStringLiteral("Не удалось начать лист %1 печати.").arg(page));
        }
        pages.DrawPage(painter, page - 1);
    }
    if (painter.isActive()) {
        if (stop) {
            drop();
        } else if (!painter.end() || (out && !out->Finish())) {
            if (out)
                out->Drop();
            throw Exception(QStringLiteral("Не удалось завершить печать."));
        }
    }
    return !stop;
}
