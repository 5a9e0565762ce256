// Information tabs of the network version: one tab per folder under
// "pages/" beside the program, with a find-and-reload bar.
#include "windows/main/main.h"

#include "ui_main.h"

#include "platform/htmlview.h"
#include "services/globals.h"
#include "services/tools_viewer.h"
#include "windows/main/eventhook.h"
#include "windows/main/subfolders.h"

#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The span that the find bar selected last in a viewer.
const char *const kFoundMatch = "foundMatch";

QTextBrowser *SheetViewer(QWidget *sheet)
{
    return sheet ? sheet->findChild<QTextBrowser *>(QStringLiteral("PageViewer"), Qt::FindDirectChildrenOnly) : nullptr;
}

QVBoxLayout *SheetLayout(QWidget *sheet)
{
    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

} // namespace

void TfrmMain::CreatePages()
{
    if (!IsMysqlProtocol())
        return;
    const QString root = AppDir + QStringLiteral("pages/");
    if (!QDir(root).exists())
        return;
    QStringList paths;
    AddSubfolders(root, paths);
    if (paths.isEmpty())
        return;

    m_treeChangeAttached = false;
    PagesControl = new QTabWidget(this);
    PagesControl->setObjectName(QStringLiteral("PagesControl"));
    auto *sheet0 = new QWidget(PagesControl);
    sheet0->setObjectName(QStringLiteral("Sheet0"));
    QVBoxLayout *layout0 = SheetLayout(sheet0);
    // The catalogue's controls move onto the first tab; the menu stays.
    removeToolBar(ui->ToolBar1);
    layout0->addWidget(ui->ToolBar1);
    ui->ToolBar1->setVisible(ui->mnuToolBar->isChecked());
    layout0->addWidget(takeCentralWidget(), 1);
    layout0->addWidget(ui->StatusBar1);
    PagesControl->addTab(sheet0, QStringLiteral("Selbran"));
    setCentralWidget(PagesControl);
    m_treeChangeAttached = true;

    for (const QString &path : paths) {
        auto *sheet = new QWidget(PagesControl);
        QVBoxLayout *layout = SheetLayout(sheet);
        auto *viewer = new THTMLViewer(sheet);
        viewer->setObjectName(QStringLiteral("PageViewer"));
        // Web and mail links go to the desktop, the folder's own pages open
        // in the tab.
        viewer->setOpenLinks(true);
        viewer->setOpenExternalLinks(true);
        viewer->SetDefBackground(Qt::white);
        layout->addWidget(viewer, 1);
        // A folder without index.html gives an empty page.
        viewer->LoadFromFile(path + QStringLiteral("/index.html"));
        new TEventHook(viewer, QEvent::KeyPress, [this, viewer](QEvent *event) {
            const auto *key = static_cast<QKeyEvent *>(event);
            PageViewerKeyDown(viewer, key->key(), key->modifiers());
        });
        PagesControl->addTab(sheet, path.mid(root.size()));
    }

    connect(PagesControl, &QTabWidget::currentChanged, this,
            GuardedSlot([this](int index) { PageShow(PagesControl->widget(index)); }));
    connect(ui->btnPagesFind, &QPushButton::clicked, this, GuardedSlot(this, &TfrmMain::btnPagesFindClick));
    connect(ui->Button2, &QPushButton::clicked, this, GuardedSlot(this, &TfrmMain::Button2Click));
    connect(ui->Edit1, &QLineEdit::textChanged, this, GuardedSlot([this](const QString &) { Edit1Change(); }));
    new TEventHook(ui->Edit1, QEvent::KeyPress, [this](QEvent *event) {
        const auto *key = static_cast<QKeyEvent *>(event);
        Edit1KeyDown(key->key(), key->modifiers());
    });
    PagesControl->setCurrentIndex(0);
    PageShow(sheet0);
}

void TfrmMain::PageShow(QWidget *sheet)
{
    if (!PagesControl || !sheet)
        return;
    const bool first = sheet == PagesControl->widget(0);
    sheet->layout()->addWidget(ui->pnlPagesFind);
    ui->pnlPagesFind->setVisible(!first);
    ui->N2->menuAction()->setEnabled(first);
    ui->N3->menuAction()->setEnabled(first);
}

void TfrmMain::FindInPage()
{
    FindInPageFrom(false);
}

void TfrmMain::FindInPageFrom(bool typing)
{
    if (!PagesControl || PagesControl->currentIndex() == 0)
        return;
    QTextBrowser *viewer = SheetViewer(PagesControl->currentWidget());
    if (!viewer)
        return;
    const QString text = ui->Edit1->text();
    QTextCursor cursor = viewer->textCursor();
    const QPoint selection(cursor.selectionStart(), cursor.selectionEnd());
    if (typing && cursor.hasSelection() && viewer->property(kFoundMatch).toPoint() == selection) {
        // The find bar's match grows or shrinks with the next letter;
        // searching on from its end would skip it.
        cursor.setPosition(selection.x());
    } else {
        // From where the user is: the caret, which after a selection made in
        // the page or a match found by F3 stands at its end.
        cursor.setPosition(cursor.position());
    }
    viewer->setTextCursor(cursor);
    bool found = viewer->find(text);
    if (!found) {
        // Not found after the current position: from the top once more.
        viewer->verticalScrollBar()->setValue(0);
        cursor.setPosition(0);
        viewer->setTextCursor(cursor);
        viewer->verticalScrollBar()->setValue(0);
        found = viewer->find(text);
    }
    const QTextCursor match = viewer->textCursor();
    viewer->setProperty(kFoundMatch, found ? QPoint(match.selectionStart(), match.selectionEnd()) : QPoint(-1, -1));
}

void TfrmMain::btnPagesFindClick()
{
    FindInPage();
}

void TfrmMain::Edit1Change()
{
    FindInPageFrom(true);
}

void TfrmMain::Edit1KeyDown(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_F3)
        FindInPage();
}

void TfrmMain::PageViewerKeyDown(QTextBrowser *viewer, int key, Qt::KeyboardModifiers shift)
{
    if (key == Qt::Key_F && (shift & Qt::ControlModifier)) {
        ui->Edit1->setFocus();
        ui->Edit1->selectAll();
    } else if (key == Qt::Key_F3) {
        FindInPage();
    } else {
        HandleHtmlViewerKeys(viewer, key, shift);
    }
}

void TfrmMain::Button2Click()
{
    if (!PagesControl || PagesControl->currentIndex() == 0)
        return;
    if (auto *viewer = qobject_cast<THTMLViewer *>(SheetViewer(PagesControl->currentWidget())))
        viewer->ReloadFile();
}
