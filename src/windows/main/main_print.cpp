// Printing, previewing and saving the result shown: the goods result as one
// table, the organisation result as a run of cards; and the switching of
// these commands with the panels.

#include "windows/main/main.h"

#include "ui_main.h"

#include "components/Progress.h"
#include "platform/application.h"
#include "services/htmlpage.h"
#include "services/tools_format.h"
#include "windows/price/firmcard.h"
#include "windows/printset.h"
#include "windows/printwalk.h"
#include "components/viewicon.h"

#include <QAction>
#include <QMenu>
#include <QStringBuilder>
#include <QToolBar>
#include <QToolButton>

#include <utility>

namespace {

const QString kGoodsTableHead =
    QStringLiteral("<table border=0 width=\"100%\" bgcolor=gray cellpadding=1 cellspacing=1><tr bgcolor=white>"
                   "<td align=center valign=top><b>Товар/Услуга</b></td><td align=center valign=top><b>Цена</b></td>"
                   "<td align=center valign=top><b>Организация</b></td><td align=center valign=top><b>Адрес</b></td>"
                   "<td align=center valign=top><b>Телефон</b></td></tr>");

// The first telephone that has a text: an empty (or NULL) allinfo would
// leave the cell blank while the firm has a number.
const QString kGoodRowSql = QStringLiteral(
    "select a.sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  "
    ",g.name as good_name,g.price as good_price,g.cur as good_cur , (SELECT allinfo FROM phone p WHERE p.cid=:cid "
    "and p.fid=:fid and p.adr_id in (:adr_id,0) and trim(p.allinfo)<>'' ORDER by adr_id, prior limit 1) as phone "
    "from good g, address a, "
    "street_name s, street_type t, city y where y.cid=:cid and a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and "
    "s.strt_id=t.id and a.fid=:fid and (a.adr_id in (:adr_id,0)  or :adr_id=0 ) and g.cid=:cid and g.id=:id "
    "limit 1");

int IntOf(TDataSet &query, const char *field)
{
    return query.FieldByName(QString::fromLatin1(field)).AsInteger();
}

} // namespace

void BuildGoodRowHtml(TZReadOnlyQuery &query, int cid, int fid, int adr_id, qint64 id, QString &row)
{
    query.Close();
    query.SetSQL(kGoodRowSql);
    query.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
    query.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
    query.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr_id);
    query.ParamByName(QStringLiteral("id")).SetAsInteger(id);
    query.Open();
    const auto text = [&query](const QString &name) { return query.FieldByName(name).AsString(); };
    const QString address =
        FormatAddress(text(QStringLiteral("city_name")), text(QStringLiteral("street_name")),
                      text(QStringLiteral("street_type")), text(QStringLiteral("house")), text(QStringLiteral("lit")),
                      text(QStringLiteral("office")), text(QStringLiteral("ext")), QStringLiteral("---"), true);
    const QString price =
        FormatPrice(text(QStringLiteral("good_cur")), query.FieldByName(QStringLiteral("good_price")).AsFloat());
    // Catalogue texts are escaped as in the card, so that a "<" or "&" in a
    // name prints as written.
    // One allocation for the whole row.
    row = QStringLiteral("<tr bgcolor=white><td valign=top>") % EscapeHtmlText(text(QStringLiteral("good_name"))) %
          QStringLiteral("</td><td align=right valign=top>&nbsp;") % price % QStringLiteral("</td><td valign=top>") %
          EscapeHtmlText(text(QStringLiteral("sfn"))) % QStringLiteral("</td><td valign=top>") %
          EscapeHtmlText(address) % QStringLiteral("</td><td valign=top>") %
          EscapeHtmlText(text(QStringLiteral("phone"))) % QStringLiteral("</td></tr>");
    query.Close();
}

void TfrmMain::SetupPrintActions()
{
    const struct {
        QAction *TfrmMain::*item;
        QToolButton *TfrmMain::*button;
        const char *itemName;
        const char *buttonName;
        const char16_t *caption;
        const char16_t *hint;
        TViewIcon icon;
    } commands[] = {
        {&TfrmMain::mnuPreview, &TfrmMain::btnPreview, "mnuPreview", "btnPreview", u"Предварительный просмотр",
         u"Предварительный просмотр", TViewIcon::Preview},
        {&TfrmMain::mnuPrint, &TfrmMain::btnPrint, "mnuPrint", "btnPrint", u"Печать", u"Печать", TViewIcon::Print},
        {&TfrmMain::mnuSave, &TfrmMain::btnSave, "mnuSave", "btnSave", u"Сохранить", u"Сохранить в файл",
         TViewIcon::Save},
    };
    // In the "Файл" menu above "Выход".
    QAction *before = ui->N2->insertSeparator(ui->N5);
    ui->ToolBar1->addSeparator();
    for (const auto &c : commands) {
        QAction *item = new QAction(QString::fromUtf16(c.caption), this);
        item->setObjectName(QString::fromLatin1(c.itemName));
        ui->N2->insertAction(before, item);
        this->*c.item = item;
        auto *button = new QToolButton(ui->ToolBar1);
        button->setObjectName(QString::fromLatin1(c.buttonName));
        button->setText(QString::fromUtf16(c.hint));
        button->setToolTip(QString::fromUtf16(c.hint));
        button->setIcon(ViewIcon(c.icon));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        ui->ToolBar1->addWidget(button);
        this->*c.button = button;
        connect(item, &QAction::triggered, this, GuardedSlot([this, item] { btnPrintClick(item); }));
        connect(button, &QToolButton::clicked, this, GuardedSlot([this, button] { btnPrintClick(button); }));
    }
    ui->ToolBar1->addSeparator();
}

void TfrmMain::EnablePrintActions(bool enabled)
{
    for (QAction *item : {mnuPrint, mnuPreview, mnuSave, ui->mnuRichStr})
        item->setEnabled(enabled);
    for (QToolButton *button : {btnPrint, btnPreview, btnSave, btnRichStr})
        button->setEnabled(enabled);
    const bool card = enabled && !ui->pnlEnpr->isHidden();
    ui->mnuFullRecv->setEnabled(card);
    btnFullRecv->setEnabled(card);
}

void TfrmMain::btnPrintClick(QObject *sender)
{
    const bool enpr = !ui->pnlEnpr->isHidden();
    if (!enpr && ui->pnlGood->isHidden())
        return;
    TZReadOnlyQuery &query = enpr ? Query5 : Query4;
    TDBGrid *grid = enpr ? DBGrid2 : DBGrid1;
    if (!query.Active() || query.IsEmpty())
        return;
    const int marked = grid->MarkedRows().MarkedCount();
    const int kind = (sender == btnPreview || sender == mnuPreview) ? 1
                     : (sender == btnSave || sender == mnuSave)     ? 2
                                                                    : 0;
    TCardSections &s = PrintSections;
    PrintChoice = ShowPrintSetDialog(kind, marked, enpr, s.Name, s.Attr, s.Phone, s.People, s.Post, s.Transport, s.Web,
                                     s.Wt, s.Update, s.Filial);
    if (PrintChoice == -1)
        return;
    const int max = PrintChoice == 0 ? marked : PrintChoice == 1 ? 1 : query.RecordCount();

    // Whatever happens below, no page is left behind for the next command.
    struct TClear {
        QString &html;
        ~TClear() { html.clear(); }
    } clear{ReportHtml};
    RunWithProgress(max, QStringLiteral("Подготовка данных..."), [this, enpr](QObject *sender) {
        if (enpr)
            BuildEnterprisesPrintHtml(sender);
        else
            BuildGoodsPrintHtml(sender);
    });
    const bool cancelled = ProgressStopFlag;
    StopProgress();
    if (cancelled)
        return;
    switch (kind) {
    case 0: PrintOrPreviewHtml(this, ReportHtml, false, FilesKeptFromSaving()); break;
    case 1: PrintOrPreviewHtml(this, ReportHtml, true, FilesKeptFromSaving()); break;
    default: {
        bool notSaved = false;
        SaveHtmlToFile(this, ReportHtml, notSaved, FilesKeptFromSaving());
        break;
    }
    }
}

void TfrmMain::WalkPrintRows(TDBGrid &grid, TZReadOnlyQuery &query, const std::function<void()> &addRow)
{
    if (PrintChoice == 1) {
        addRow();
        return;
    }
    const auto counted = [](int number) {
        if (ProgressStep(number))
            SetProgressText(QStringLiteral("Обработано записей - ") + QString::number(number));
    };
    if (PrintChoice == 0) {
        const TBookmarkList &marks = grid.MarkedRows();
        QList<QByteArray> bookmarks;
        bookmarks.reserve(marks.MarkedCount());
        for (int i = 0; i < marks.MarkedCount(); ++i)
            bookmarks << marks.MarkedBookmarkAt(i);
        TPrintWalk walk(grid, query);
        int number = 0;
        for (const QByteArray &bookmark : std::as_const(bookmarks)) {
            query.GotoBookmark(bookmark);
            addRow();
            counted(++number);
            if (ProgressStopFlag)
                break;
        }
        walk.Finish();
        return;
    }
    TPrintWalk walk(grid, query);
    query.First();
    for (int number = 1; !query.Eof(); ++number) {
        addRow();
        counted(number);
        if (ProgressStopFlag)
            break;
        query.Next();
    }
    walk.Finish();
}

void TfrmMain::BuildGoodsPrintHtml(QObject *)
{
    ReportHtml = kGoodsTableHead;
    QString row;
    WalkPrintRows(*DBGrid1, Query4, [this, &row] {
        BuildGoodRowHtml(Query1, IntOf(Query4, "cid"), IntOf(Query4, "fid"), IntOf(Query4, "adr_id"),
                         Query4.FieldByName(QStringLiteral("id")).AsLargeInt(), row);
        ReportHtml += row;
    });
    ReportHtml += QStringLiteral("</table>");
}

void TfrmMain::BuildEnterprisesPrintHtml(QObject *)
{
    ReportHtml.clear();
    QString card;
    WalkPrintRows(*DBGrid2, Query5, [this, &card] {
        BuildFirmCardHtml(Query1, IntOf(Query5, "cid"), IntOf(Query5, "fid"), IntOf(Query5, "adr_id"), false, nullptr,
                          PrintSections, card);
        ReportHtml += card;
    });
}
