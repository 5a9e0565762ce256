#include "services/tools_viewer.h"

#include "components/SDialogs.h"
#include "components/cbrd.h"
#include "platform/sessionbus.h"

#include <QAction>
#include <QDesktopServices>
#include <QImage>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTextDocumentFragment>

QVariant TCardViewer::loadResource(int type, const QUrl &name)
{
    Q_UNUSED(name);
    // A picture must be a real one: for an empty one the document would load
    // the named file itself.
    if (type == QTextDocument::ImageResource) {
        static const QImage blank = [] {
            QImage image(1, 1, QImage::Format_ARGB32);
            image.fill(Qt::transparent);
            return image;
        }();
        return blank;
    }
    return QByteArray();
}

void HandleHtmlViewerKeys(QTextBrowser *viewer, int key, Qt::KeyboardModifiers shift)
{
    if (!viewer || !(shift & Qt::ControlModifier))
        return;
    if (key == Qt::Key_A)
        viewer->selectAll();
    else if (key == Qt::Key_C || key == Qt::Key_Insert)
        CopyViewerSelection(viewer);
}

void CopyViewerSelection(QTextBrowser *viewer)
{
    // Paragraph and line separators of the document become line breaks.
    const QString text = viewer->textCursor().selection().toPlainText();
    if (!text.isEmpty())
        CopyTextToClipboard(text);
}

QUrl DocumentUrl(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QUrl url(trimmed, QUrl::TolerantMode);
    if (url.isValid() && !url.scheme().isEmpty())
        return url;
    return QUrl::fromLocalFile(trimmed);
}

namespace {

std::function<void(const QUrl &)> &OpenHook()
{
    static std::function<void(const QUrl &)> hook;
    return hook;
}

// Qt hands a link to xdg-open, its first choice on such a desktop, which
// inherits this process's environment: after a silent bus, the stand-in
// address. Started here, the opener (and the browser or mail program it
// starts) gets the user's own bus.
bool OpenOnDesktop(const QUrl &url)
{
    if (SessionBusDropped()) {
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!opener.isEmpty()) {
            QProcess process;
            process.setProgram(opener);
            process.setArguments({QString::fromLatin1(url.toEncoded())});
            process.setProcessEnvironment(UserProcessEnvironment());
            return process.startDetached();
        }
    }
    return QDesktopServices::openUrl(url);
}

} // namespace

QString CannotOpenDocumentText(const QUrl &url)
{
    if (url.scheme() == QLatin1String("mailto"))
        return QStringLiteral("  Не удалось открыть почтовую программу для письма на адрес ") + url.path() +
               QStringLiteral(".  ");
    const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
    return QStringLiteral("  Не удалось открыть ") + shown +
           QStringLiteral(": на компьютере не найдена программа для просмотра.  ");
}

void OpenDocument(const QString &text)
{
    QUrl url;
    bool opened = true;
    try {
        url = DocumentUrl(text);
        if (OpenHook())
            OpenHook()(url);
        else
            opened = OpenOnDesktop(url);
    } catch (...) {
        return;
    }
    if (!opened)
        ShowMessageText(CannotOpenDocumentText(url));
}

QString FeedbackAddress()
{
    return QStringLiteral("trevin@example.org");
}

QString HomePageAddress()
{
    return QStringLiteral("http://www.example.org/");
}

void OpenFeedbackMail()
{
    OpenDocument(QStringLiteral("mailto:") + FeedbackAddress());
}

void SetOpenDocumentHook(std::function<void(const QUrl &)> hook)
{
    OpenHook() = std::move(hook);
}

QMenu *CreateViewerPopupMenu(QTextBrowser *viewer, QAction *&N6, QAction *&mnuCopyToClipboard)
{
    auto *menu = new QMenu(viewer);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    N6 = menu->addAction(QStringLiteral("Выделить все"));
    N6->setObjectName(QStringLiteral("N6"));
    mnuCopyToClipboard = menu->addAction(QStringLiteral("Скопировать в буфер"));
    mnuCopyToClipboard->setObjectName(QStringLiteral("mnuCopyToClipboard"));
    viewer->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(viewer, &QWidget::customContextMenuRequested, menu,
                     [viewer, menu](const QPoint &pos) { menu->popup(viewer->viewport()->mapToGlobal(pos)); });
    return menu;
}
