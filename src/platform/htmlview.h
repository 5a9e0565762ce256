#pragma once
// The HTML view with the print side of the original control: default font
// and colours, loading from a string or a file, the page event while laying
// out or printing, layout into a page recorder and printing of a page range.

#include <QColor>
#include <QTextBrowser>

#include <functional>

class QPrinter;
class QTextDocument;

// The longest run of text between two tags that a page shows; the layout
// of one long word grows with the square of its length.
constexpr int kMaxShownText = 1000;
// The page with every run of text between tags cut to maxText characters
// (an entity counts as one) and "…" where it was cut; tags stay as they are.
QString CutLongTexts(const QString &html, int maxText = kMaxShownText);
class TMetaFilePrinter;

// The printed copy of a page: a column that asks for a narrow percentage
// takes the width of its words, and all such columns the width of the
// widest, so that cards printed one below another keep one label column.
void PreparePrintedPage(QTextDocument &doc);

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
    // below its longest word. Long texts of a page loaded from a string are
    // cut (CutLongTexts): the page is for printing and preview, where a text
    // of a million letters would hold the program up.
    void LoadFromString(const QString &html);
    // A page and whatever it uses (pictures, style sheets, pages it links
    // to) come from the page's own folder only, and only as regular files of
    // at most MaxPageFileSize bytes; anything else is never read. False and
    // an empty page when the file cannot be read.
    bool LoadFromFile(const QString &fileName);
    // The current file once more, at the same scroll position.
    void ReloadFile();
    static constexpr qint64 MaxPageFileSize = 16 * 1024 * 1024;

    QVariant loadResource(int type, const QUrl &name) override;

    TPageEvent OnPageEvent;

    // Lays the page out into recorder for the current printer; false when
    // the page event stopped it.
    bool PrintPreview(TMetaFilePrinter &recorder);
    // Prints pages fromPage..toPage (1-based, clipped to the document) on
    // the current printer, from laidOut when it was laid out for that
    // printer, else from a layout of its own;
    // false when the page event stopped it, in which case a file being
    // printed to is removed again.
    bool Print(int fromPage, int toPage, TMetaFilePrinter *laidOut = nullptr);

protected:
    // Followed links stay inside the page's folder as well.
    void doSetSource(const QUrl &name, QTextDocument::ResourceType type) override;

private:
    void ApplyDefaults();
    bool ShowFile(const QString &fileName);
    void ShowPage(const QString &path, const QString &html);
    // The canonical path of a file the page may read, or empty text.
    QString PageFilePath(const QUrl &name) const;

    QString m_folder;      // canonical; empty for a page from a string
    QString m_currentFile; // the page shown from m_folder

    QString m_html; // the page last loaded from a string
    QString m_fontName = QStringLiteral("Times New Roman");
    int m_fontSize = 12;
    QColor m_background = Qt::white;
    QColor m_fontColour = Qt::black;
    QColor m_hotSpotColour = Qt::blue;
    QColor m_overLinkColour = Qt::blue;
};
