// The view history: the Back and Forward lists as the drop-down menus of
// their tool buttons, each entry owning the record of its view.

#include "windows/main/main.h"

#include "ui_main.h"

#include "platform/application.h"
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

namespace {

constexpr int kMaxBackEntries = 25;

class THistoryEntry : public QAction
{
public:
    THistoryEntry(const QString &caption, std::unique_ptr<THistoryRec> record, QObject *parent)
        : QAction(caption, parent), Record(std::move(record))
    {}
    std::unique_ptr<THistoryRec> Record;
};

void InsertAtTop(QMenu *list, QAction *entry)
{
    const QList<QAction *> entries = list->actions();
    list->insertAction(entries.isEmpty() ? nullptr : entries.first(), entry);
}

} // namespace

THistoryRec *TfrmMain::EntryRecord(QAction *entry)
{
    auto *e = dynamic_cast<THistoryEntry *>(entry);
    return e ? e->Record.get() : nullptr;
}

void TfrmMain::MoveEntry(QAction *entry, QMenu *to)
{
    if (QMenu *from = qobject_cast<QMenu *>(entry->parent()); from && from != to)
        from->removeAction(entry);
    entry->setParent(to);
    InsertAtTop(to, entry);
}

void TfrmMain::UpdateHistoryButtons()
{
    btnBack->setEnabled(!mnuBack->actions().isEmpty());
    btnNext->setEnabled(!mnuNext->actions().isEmpty());
}

void TfrmMain::PushHistory(QMenu *list, bool clearForward)
{
    if (History.Kind == -1)
        return;
    const QString caption = History.NavText; // before the record moves into the entry
    auto *entry = new THistoryEntry(caption, std::make_unique<THistoryRec>(std::move(History)), list);
    History = THistoryRec();
    // The list the entry is in when clicked decides the direction.
    connect(entry, &QAction::triggered, this, GuardedSlot([this, entry] {
                if (entry->parent() == mnuBack)
                    BackItemClick(entry);
                else
                    NextItemClick(entry);
            }));
    MoveEntry(entry, list);
    if (clearForward) {
        const QList<QAction *> forward = mnuNext->actions();
        for (QAction *a : forward) {
            mnuNext->removeAction(a);
            delete a;
        }
        while (mnuBack->actions().size() > kMaxBackEntries) {
            QAction *oldest = mnuBack->actions().last();
            mnuBack->removeAction(oldest);
            delete oldest;
        }
    }
    UpdateHistoryButtons();
}

// Shows the view an entry of one list holds; the current view and the
// entries passed over go to the other list, nearest first.
void TfrmMain::GoToEntry(QAction *entry, QMenu *from, QMenu *to)
{
    auto *e = dynamic_cast<THistoryEntry *>(entry);
    if (!e || !from->actions().contains(e))
        return;
    PushHistory(to, false);
    History = std::move(*e->Record);
    while (from->actions().first() != e)
        MoveEntry(from->actions().first(), to);
    from->removeAction(e);
    e->deleteLater();
    RestoreHistory();
}

void TfrmMain::BackItemClick(QAction *entry)
{
    GoToEntry(entry, mnuBack, mnuNext);
}

void TfrmMain::NextItemClick(QAction *entry)
{
    GoToEntry(entry, mnuNext, mnuBack);
}

void TfrmMain::btnBackClick()
{
    if (!mnuBack->actions().isEmpty())
        BackItemClick(mnuBack->actions().first());
}

void TfrmMain::btnNextClick()
{
    if (!mnuNext->actions().isEmpty())
        NextItemClick(mnuNext->actions().first());
}

void TfrmMain::RestoreHistory()
{
    m_treeChangeAttached = false;
    ui->TreeView->setCurrentItem(History.Node);
    m_treeChangeAttached = true;

    if (History.Kind == 1) {
        m_enpr.Reopen(History);
        ShowEnprPanel();
        ui->cbFindEnprName->setEditText(History.EnprName);
        ui->cbFindEnprPost->setEditText(History.EnprPost);
        ui->cbFindEnprAttr->setEditText(History.EnprAttr);
        ui->cbFindEnprWeb->setEditText(History.EnprWeb);
        ui->cbFindEnprPeople->setEditText(History.EnprPeople);
        ui->cbFindEnprPhone->setEditText(History.EnprPhone);
        ui->edFindEnprWorkNow->setChecked(History.EnprWorkNow);
        ui->edFindEnprDiscount->setChecked(History.EnprDiscount);
        FillEnprRegions(Query1, History.TreeLevel, ui->cbEnprRegion, History.EnprCid);
        FillEnprMicroRegions(Query1, History.TreeLevel, ui->cbEnprMicroRegion, History.EnprCid);
        ui->cbEnprRegion->setCurrentIndex(History.EnprRegion);
        ui->cbEnprMicroRegion->setCurrentIndex(History.EnprMicroRegion);
    } else if (History.Kind == 0) {
        m_goods.Reopen(History);
        ShowGoodPanel();
        ui->cbFindGoodName->setEditText(History.GoodName);
        ui->cbFindGoodEnprName->setEditText(History.GoodEnprName);
        ui->edFindGoodWorkNow->setChecked(History.GoodWorkNow);
        ui->edFindGoodDiscount->setChecked(History.GoodDiscount);
        FillGoodRegions(Query1, History.TreeLevel, ui->cbGoodRegion, History.GoodCid);
        FillGoodMicroRegions(Query1, History.TreeLevel, ui->cbGoodMicroRegion, History.GoodCid);
        ui->cbGoodRegion->setCurrentIndex(History.GoodRegion);
        ui->cbGoodMicroRegion->setCurrentIndex(History.GoodMicroRegion);
    }

    UpdateHistoryButtons();
    SetStatusText(History.StatusText);
    ui->edNavigave->setText(History.NavText);
    ui->pnlFindGood->setVisible(History.Kind == 0);
    ui->pnlFindEnpr->setVisible(History.Kind == 1);
}
