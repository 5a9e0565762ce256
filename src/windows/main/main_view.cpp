// The card viewer beside the organisation grid (its popup menu, keys and
// links) and the view switches of the "Вид" menu and the tool bar.

#include "windows/main/main.h"
#include "windows/main/eventhook.h"

#include "ui_main.h"

#include "platform/application.h"
#include "services/tools_viewer.h"
#include "components/viewicon.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>
#include <QShowEvent>
#include <QSplitter>
#include <QTreeWidget>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

void TfrmMain::SetupCardViewer()
{
    HTMLViewer1 = new TCardViewer(ui->pnlAllInfo);
    HTMLViewer1->setObjectName(QStringLiteral("HTMLViewer1"));
    // The card's links are the window's to follow, never the viewer's.
    HTMLViewer1->setOpenLinks(false);
    HTMLViewer1->setOpenExternalLinks(false);
    HTMLViewer1->setUndoRedoEnabled(false);
    QPalette white = HTMLViewer1->palette();
    white.setColor(QPalette::Base, Qt::white);
    HTMLViewer1->setPalette(white);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSize(8);
    HTMLViewer1->document()->setDefaultFont(font);
    ui->pnlAllInfo->layout()->addWidget(HTMLViewer1);
    connect(HTMLViewer1, &QTextBrowser::anchorClicked, this, GuardedSlot(this, &TfrmMain::HTMLViewer1HotSpotClick));
    new TEventHook(HTMLViewer1, QEvent::KeyPress, [this](QEvent *event) {
        const auto *key = static_cast<QKeyEvent *>(event);
        HTMLViewer1KeyDown(key->key(), key->modifiers());
    });

    PopupMenu1 = CreateViewerPopupMenu(HTMLViewer1, N6, mnuCopyToClipboard);
    connect(N6, &QAction::triggered, this, &TfrmMain::N6Click);
    connect(mnuCopyToClipboard, &QAction::triggered, this, &TfrmMain::mnuCopyToClipboardClick);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TfrmMain::PopupMenu1Popup);
}

void TfrmMain::HTMLViewer1KeyDown(int key, Qt::KeyboardModifiers shift)
{
    HandleHtmlViewerKeys(HTMLViewer1, key, shift);
}

void TfrmMain::CardLinkClick(const QUrl &link)
{
    HTMLViewer1HotSpotClick(link);
}

void TfrmMain::N6Click()
{
    HTMLViewer1->selectAll();
}

void TfrmMain::mnuCopyToClipboardClick()
{
    CopyViewerSelection(HTMLViewer1);
}

void TfrmMain::PopupMenu1Popup()
{
    mnuCopyToClipboard->setEnabled(HTMLViewer1->textCursor().hasSelection());
}

// --- view switches ----------------------------------------------------------

namespace {

// The tree's width until the user drags the splitter: its cities' names,
// within these bounds.
constexpr int kMinTreeWidth = 160;
constexpr int kMaxTreeWidth = 260;

} // namespace

void TfrmMain::SetupLayout()
{
    // The tree keeps the width it has (at start, or as the user dragged the
    // splitter); the result side takes the rest of any change.
    ui->Splitter1->setStretchFactor(0, 0);
    ui->Splitter1->setStretchFactor(1, 1);
    // Search boxes ask for little width of their own, so that the wider
    // organisation panel fits beside the tree without pushing the splitter,
    // and what is left goes to the boxes.
    const QList<QComboBox *> boxes = ui->pnlRight->findChildren<QComboBox *>();
    for (QComboBox *box : boxes) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(4);
    }
}

void TfrmMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_treeWidthSet)
        return;
    m_treeWidthSet = true;
    QTreeWidget *view = ui->TreeView;
    int widest = 0;
    for (int i = 0; i < view->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *root = view->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j)
            widest = qMax(widest, view->fontMetrics().horizontalAdvance(root->child(j)->text(0)));
    }
    // A city sits two indentations in, after its picture.
    const int tree =
        qBound(kMinTreeWidth, widest + 2 * view->indentation() + 16 + 12 + 2 * view->frameWidth(), kMaxTreeWidth);
    ui->Splitter1->setSizes({tree, qMax(0, ui->Splitter1->width() - tree)});
}

void TfrmMain::SetupViewSwitches()
{
    const auto make = [this](const char *name, const QString &hint, TViewIcon icon, bool down) {
        auto *button = new QToolButton(ui->ToolBar1);
        button->setObjectName(QString::fromLatin1(name));
        button->setText(hint);
        button->setToolTip(hint);
        button->setIcon(ViewIcon(icon));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        button->setCheckable(true);
        button->setChecked(down);
        ui->ToolBar1->addWidget(button);
        return button;
    };
    btnToolBar = make("btnToolBar", QStringLiteral("Панель инструментов"), TViewIcon::ToolBar, true);
    btnStatusBar = make("btnStatusBar", QStringLiteral("Строка состояния"), TViewIcon::StatusBar, true);
    btnRichStr = make("btnRichStr", QStringLiteral("Расширенная строка"), TViewIcon::RichStr, true);
    btnFullRecv = make("btnFullRecv", QStringLiteral("Панель с полными реквизитами"), TViewIcon::FullRecv, true);
    btnDollar = make("btnDollar", QStringLiteral("Конвертация валюты"), TViewIcon::Dollar, false);

    connect(ui->mnuToolBar, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::mnuToolBarClick));
    connect(btnToolBar, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::btnToolBarClick));
    connect(ui->mnuStatusBar, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::mnuStatusBarClick));
    connect(btnStatusBar, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::btnStatusBarClick));
    connect(ui->mnuRichStr, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::mnuRichStrClick));
    connect(btnRichStr, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::btnRichStrClick));
    connect(ui->mnuFullRecv, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::mnuFullRecvClick));
    connect(btnFullRecv, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::btnFullRecvClick));
    connect(ui->mnuDollar, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::mnuDollarClick));
    connect(btnDollar, &QToolButton::clicked, this, GuardedSlot(this, &TfrmMain::btnDollarClick));
}

void TfrmMain::mnuToolBarClick()
{
    const bool show = ui->mnuToolBar->isChecked();
    ui->ToolBar1->setVisible(show);
    btnToolBar->setChecked(show);
}

void TfrmMain::btnToolBarClick()
{
    // The button sits on the bar it hides: a click can only hide it.
    ui->ToolBar1->hide();
    btnToolBar->setChecked(true);
    ui->mnuToolBar->setChecked(false);
}

void TfrmMain::mnuStatusBarClick()
{
    const bool show = ui->mnuStatusBar->isChecked();
    ui->StatusBar1->setVisible(show);
    btnStatusBar->setChecked(show);
}

void TfrmMain::btnStatusBarClick()
{
    const bool show = btnStatusBar->isChecked();
    ui->StatusBar1->setVisible(show);
    ui->mnuStatusBar->setChecked(show);
}

void TfrmMain::ShowRichStr(bool show)
{
    ui->pnlGoodRichStr->setVisible(show);
    ui->pnlEnprRichStr->setVisible(show);
    btnRichStr->setChecked(show);
    ui->mnuRichStr->setChecked(show);
}

void TfrmMain::mnuRichStrClick()
{
    ShowRichStr(ui->mnuRichStr->isChecked());
}

void TfrmMain::btnRichStrClick()
{
    ShowRichStr(btnRichStr->isChecked());
}

void TfrmMain::ShowFullRecv(bool show)
{
    // The splitter's handle goes with the panel.
    ui->pnlAllInfo->setVisible(show);
    btnFullRecv->setChecked(show);
    ui->mnuFullRecv->setChecked(show);
    // Build the card of the current row. Running the search again would
    // deal its random order anew and put another organisation under the
    // cursor.
    if (show && Query5.Active())
        DataSource2DataChange();
}

void TfrmMain::mnuFullRecvClick()
{
    ShowFullRecv(ui->mnuFullRecv->isChecked());
}

void TfrmMain::btnFullRecvClick()
{
    ShowFullRecv(btnFullRecv->isChecked());
}

void TfrmMain::mnuDollarClick()
{
    btnDollar->setChecked(ui->mnuDollar->isChecked());
    DollarChanged();
}

void TfrmMain::btnDollarClick()
{
    ui->mnuDollar->setChecked(btnDollar->isChecked());
    DollarChanged();
}

void TfrmMain::DollarChanged()
{
    if (!ui->pnlGood->isHidden() && Query4.Active())
        Query4.Resync();
}
