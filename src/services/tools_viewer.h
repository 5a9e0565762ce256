#pragma once
// Helpers around the HTML viewers and the desktop: the select-all and copy
// keys of a viewer, and handing a link, mail address or file to the
// desktop's default handler.

#include "platform/htmlview.h"

#include <QString>
#include <QTextBrowser>
#include <QUrl>

#include <functional>

// The view of pages built from catalogue text (the organisation card). Such a
// page needs nothing from outside, so it loads nothing: no picture, style
// sheet or page from a file, a server or the program's resources, whatever
// markup the text brings with it.
class TCardViewer : public THTMLViewer
{
public:
    using THTMLViewer::THTMLViewer;

    // An empty resource for every request; the document then does not read
    // the address itself either.
    QVariant loadResource(int type, const QUrl &name) override;
};

class QMenu;
class QAction;
// The viewer's popup menu "PopupMenu1" with "Выделить все" (N6) and
// "Скопировать в буфер" (mnuCopyToClipboard), shown at a right click; the
// window connects the two commands.
QMenu *CreateViewerPopupMenu(QTextBrowser *viewer, QAction *&N6, QAction *&mnuCopyToClipboard);

// Ctrl+A selects the whole page; Ctrl+C and Ctrl+Insert copy the selection
// (nothing when it is empty). Only Ctrl is tested; the key is not consumed.
void HandleHtmlViewerKeys(QTextBrowser *viewer, int key, Qt::KeyboardModifiers shift);
// Copies the viewer's selection as plain text; nothing when it is empty.
void CopyViewerSelection(QTextBrowser *viewer);

// The address the desktop is given for a link text: a text with a scheme
// ("http://...", "mailto:...") as it stands, anything else as a local file.
QUrl DocumentUrl(const QString &text);

// Opens the text with the desktop's default handler. When the desktop has
// no program for it (no web browser, no mail program) a message box says so;
// the user would otherwise see nothing happen.
void OpenDocument(const QString &text);
// The message for a link the desktop could not open.
QString CannotOpenDocumentText(const QUrl &url);

// A new mail message to the maker's feedback address.
void OpenFeedbackMail();
// The maker's feedback address and home page.
QString FeedbackAddress();
QString HomePageAddress();

// Tests record the address instead of opening it; an empty hook puts the
// desktop back.
void SetOpenDocumentHook(std::function<void(const QUrl &)> hook);
