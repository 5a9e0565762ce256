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

#include <QAction>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStringBuilder>
#include <QToolBar>
#include <QToolButton>

#include <utility>

namespace {

enum class TPrintIcon { Preview, Print, Save };

// Small pictures of our own: a page under a lens, a printer, a diskette.
QIcon PrintIcon(TPrintIcon kind)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QColor ink(0x1e, 0x5a, 0xa8);
    p.setPen(ink.darker(130));
    switch (kind) {
    case TPrintIcon::Preview:
        p.setBrush(Qt::white);
        p.drawRect(2, 1, 9, 12);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(6, 6, 6, 6);
        p.drawLine(11, 11, 14, 14);
        break;
    case TPrintIcon::Print:
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 6);
        p.setBrush(ink);
        p.drawRect(1, 6, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 10, 8, 5);
        break;
    case TPrintIcon::Save:
        p.setBrush(ink);
        p.drawRect(1, 1, 13, 13);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 5);
        p.drawRect(3, 9, 9, 5);
        break;
    }
    return QIcon(pixmap);
}

// Puts a result query back as the walk found it, however the walk ends:
// calculated fields attached again, the visible row restored, controls on,
// the wait cursor as it was. The rows on screen are read again rather than
// the query run again: a result in random order would come back shuffled,
// with another row under the cursor and the marks on other rows.
class TPrintWalk
{
public:
    TPrintWalk(TDBGrid &grid, TZReadOnlyQuery &query)
        : m_grid(grid), m_query(query), m_connection(query.Connection),
          m_hourGlass(m_connection && m_connection->SQLHourGlass)
    {
        m_query.DisableControls();
        m_row = m_grid.GetActiveRecord();
        if (m_connection)
            m_connection->SQLHourGlass = false;
        // A row the walk passes is not shown: its display texts (and their
        // look-ups) are computed again for the rows on screen afterwards.
        m_calcFields = std::exchange(m_query.OnCalcFields, nullptr);
    }
    ~TPrintWalk()
    {
        if (!m_done)
            Restore();
    }
    TPrintWalk(const TPrintWalk &) = delete;
    TPrintWalk &operator=(const TPrintWalk &) = delete;

    // The regular end; errors on the way go to the caller.
    void Finish()
    {
        m_done = true;
        Restore();
    }

private:
    void Restore()
    {
        // On an error path only the first error counts; later ones are
        // swallowed so that every step still runs.
        const bool quiet = !m_done;
        const auto step = [quiet](auto &&body) {
            if (!quiet) {
                body();
                return;
            }
            try {
                body();
            } catch (...) {
            }
        };
        m_query.OnCalcFields = m_calcFields;
        step([this] {
            if (m_query.Active())
                m_query.Resync();
        });
        step([this] { m_grid.SetActiveRecord(m_row); });
        step([this] { m_query.EnableControls(); });
        if (m_connection)
            m_connection->SQLHourGlass = m_hourGlass;
    }

    TDBGrid &m_grid;
    TZReadOnlyQuery &m_query;
    TZConnection *m_connection;
    TSqliteReadRun m_readRun{m_connection};
    bool m_hourGlass;
    TDataSetNotifyEvent m_calcFields;
    int m_row = 0;
    bool m_done = false;
};

const QString kGoodsTableHead =
    QStringLiteral("<table border=0 width=\"100%\" bgcolor=gray cellpadding=1 cellspacing=1><tr bgcolor=white>"
                   "<td align=center valign=top><b>Товар/Услуга</b></td><td align=center valign=top><b>Цена</b></td>"
                   "<td align=center valign=top><b>Организация</b></td><td align=center valign=top><b>Адрес</b></td>"
                   "<td align=center valign=top><b>Телефон</b></td></tr>");

const QString kGoodRowSql = QStringLiteral(
    "select a.sfn,s.name as street_name,t.name_small as street_type,house,lit,office,ext,y.name as city_name  "
    ",g.name as good_name,g.price as good_price,g.cur as good_cur , (SELECT allinfo FROM phone p WHERE p.cid=:cid "
    "and p.fid=:fid and p.adr_id in (:adr_id,0) ORDER by adr_id, prior limit 1) as phone from good g, address a, "
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
        TPrintIcon icon;
    } commands[] = {
        {&TfrmMain::mnuPreview, &TfrmMain::btnPreview, "mnuPreview", "btnPreview", u"Предварительный просмотр",
         u"Предварительный просмотр", TPrintIcon::Preview},
        {&TfrmMain::mnuPrint, &TfrmMain::btnPrint, "mnuPrint", "btnPrint", u"Печать", u"Печать", TPrintIcon::Print},
        {&TfrmMain::mnuSave, &TfrmMain::btnSave, "mnuSave", "btnSave", u"Сохранить", u"Сохранить в файл",
         TPrintIcon::Save},
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
        button->setIcon(PrintIcon(c.icon));
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
    case 0: PrintOrPreviewHtml(this, ReportHtml, false); break;
    case 1: PrintOrPreviewHtml(this, ReportHtml, true); break;
    default: {
        bool notSaved = false;
        SaveHtmlToFile(this, ReportHtml, notSaved);
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
