#pragma once
// The HTML view with the print side of the original control: default font
// and colours, loading from a string or a file, the page event while laying
// out or printing, layout into a page recorder and printing of a page range.

#include <QColor>
#include <QList>
#include <QStringList>
#include <QTextBrowser>

#include <functional>

class QPrinter;
class QTextDocument;
class QTextTable;
class TMetaFilePrinter;

struct TNarrowColumn {
    QTextTable *table;
    int column;
};

// Qt narrows a column to its percentage even below its longest word, one
// letter a line; the pages of this program ask for "1%" meaning "no wider
// than the words". Such columns of doc take the width of their content
// instead. Every view's page gets this; the columns relaxed are returned.
QList<TNarrowColumn> RelaxNarrowColumns(QTextDocument &doc);

// Makes the printed copy ready for layout, on the layout's own thread.
using TPrintedPagePreparer = std::function<void(QTextDocument &doc)>;

// Why the file name, open for printing on fd, must not be written: the text
// the print fails with, or empty text when it may be written.
using TPrintFileCheck = std::function<QString(const QString &name, int fd)>;

// sender, page number (0: the layout starts), stop.
using TPageEvent = std::function<void(QObject *sender, int page, bool &stop)>;

class THTMLViewer : public QTextBrowser
{
    Q_OBJECT
public:
    explicit THTMLViewer(QWidget *parent = nullptr);

    // Take effect for the next page loaded.
    void SetDefFontName(const QString &name);
    void SetDefFontSize(int points);
    void SetDefBackground(const QColor &colour);
    void SetDefFontColor(const QColor &colour);
    void SetDefHotSpotColor(const QColor &colour);
    void SetDefOverLinkColor(const QColor &colour);

    // Neither kind of page breaks a column that asks for a narrow percentage
    // below its longest word (RelaxNarrowColumns). A page from a string loads
    // nothing from outside: no picture, style sheet or linked page.
    void LoadFromString(const QString &html);
    // A page and whatever it uses (pictures, style sheets, pages it links
    // to) come from the page's own folder only, and only as regular files of
    // at most MaxPageFileSize bytes; anything else is never read. False and
    // an empty page when the file cannot be read.
    bool LoadFromFile(const QString &fileName);
    // A page that is only printed or previewed, given as parts to put one
    // after another: the view keeps them and shows nothing, so that the page
    // is joined and parsed once, where it is laid out.
    void SetPrintedPage(const QStringList &parts);
    // The current file once more, at the same scroll position.
    void ReloadFile();
    static constexpr qint64 MaxPageFileSize = 16 * 1024 * 1024;

    QVariant loadResource(int type, const QUrl &name) override;

    // The rules above for a page shown from currentFile in folder (both
    // canonical; empty for a page from a string), for any thread: the
    // canonical path of a file the page may read, or empty text; and what
    // the document gets for name, a blank picture for a picture that cannot
    // be read.
    static QString PageFilePath(const QString &folder, const QString &currentFile, const QUrl &name);
    static QVariant PageResource(const QString &folder, const QString &currentFile, int type, const QUrl &name);

    TPageEvent OnPageEvent;
    // The printed copy's last step before its layout; without one the copy
    // gets the view's own column rule.
    TPrintedPagePreparer OnPreparePrintedPage;
    // Judges the file a print goes to, on the descriptor then written.
    TPrintFileCheck OnCheckPrintFile;

    // Lays the page out into recorder for the current printer; false when
    // the page event stopped it.
    bool PrintPreview(TMetaFilePrinter &recorder);
    // Prints pages fromPage..toPage (1-based, clipped to the document) on
    // the current printer, from laidOut when it was laid out for that
    // printer, else from a layout of its own;
    // false when the page event stopped it, in which case a file being
    // printed to is removed again. A printer that does not start the job, a
    // page or the job's end raises Exception, and a file being printed to is
    // removed as well. A file is opened once, right before the first page,
    // without waiting on a FIFO; anything but a regular file, or one that
    // OnCheckPrintFile refuses, raises Exception and is left as it was.
    bool Print(int fromPage, int toPage, TMetaFilePrinter *laidOut = nullptr);

protected:
    // Followed links stay inside the page's folder as well.
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    void ApplyDefaults();
    bool ShowFile(const QString &fileName);
    void ShowPage(const QString &path, const QString &html);
    void SetPage(const QString &html);
    // The canonical path of a file the page may read, or empty text.
    QString PageFilePath(const QUrl &name) const;

    QString m_folder;      // canonical; empty for a page from a string
    QString m_currentFile; // the page shown from m_folder

    QString m_html;             // the page loaded from a string; null once a file is shown
    QStringList m_printedParts; // the page only printed, when given so
    QString m_fontName = QStringLiteral("Times New Roman");
    int m_fontSize = 12;
    QColor m_background = Qt::white;
    QColor m_fontColour = Qt::black;
    QColor m_hotSpotColour = Qt::blue;
    QColor m_overLinkColour = Qt::blue;
};
