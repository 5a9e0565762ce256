// The organisation search: the organisation panel's controls and
// FindEnterprises.

#include "windows/main/main.h"
#include "windows/main/main_searchsql.h"

#include "ui_main.h"

#include "components/SDialogs.h"
#include "services/globals.h"
#include "services/history_combo.h"
#include "services/tools_format.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTreeWidget>

namespace {

bool DistrictChosen(const QComboBox *combo)
{
    return combo->count() > 1 && combo->currentIndex() > 0;
}

} // namespace

void TfrmMain::btnFindEnprClick()
{
    FindEnterprises(true);
}

void TfrmMain::btnClearEnprClick()
{
    for (QComboBox *box : {ui->cbFindEnprName, ui->cbFindEnprAttr, ui->cbFindEnprPost, ui->cbFindEnprWeb,
                           ui->cbFindEnprPhone, ui->cbFindEnprPeople})
        box->setEditText(QString());
    if (ui->cbEnprRegion->count() > 0)
        ui->cbEnprRegion->setCurrentIndex(0);
    if (ui->cbEnprMicroRegion->count() > 0)
        ui->cbEnprMicroRegion->setCurrentIndex(0);
    ui->edFindEnprWorkNow->setChecked(false);
    ui->edFindEnprDiscount->setChecked(false);
    ui->cbFindEnprName->setFocus();
}

void TfrmMain::FindEnterprises(bool byUser)
{
    TEnprSearchParams p;
    p.name = ui->cbFindEnprName->currentText();
    p.post = ui->cbFindEnprPost->currentText();
    p.attr = ui->cbFindEnprAttr->currentText();
    p.web = ui->cbFindEnprWeb->currentText();
    p.people = ui->cbFindEnprPeople->currentText();
    p.phone = ui->cbFindEnprPhone->currentText();
    if (byUser && TrimText(p.name).isEmpty() && TrimText(p.post).isEmpty() && TrimText(p.attr).isEmpty() &&
        TrimText(p.web).isEmpty() && TrimText(p.people).isEmpty() && TrimText(p.phone).isEmpty())
        return;

    PushHistory(mnuBack, true);

    QTreeWidgetItem *node = ui->TreeView->currentItem();
    const int level = NodeLevel(node);
    History.Kind = 1;
    History.EnprName = TrimText(p.name);
    History.EnprPost = TrimText(p.post);
    History.EnprAttr = TrimText(p.attr);
    History.EnprWeb = TrimText(p.web);
    History.EnprPeople = TrimText(p.people);
    History.EnprPhone = TrimText(p.phone);
    History.EnprWorkNow = ui->edFindEnprWorkNow->isChecked();
    History.EnprDiscount = ui->edFindEnprDiscount->isChecked();
    History.EnprRegion = ui->cbEnprRegion->currentIndex();
    History.EnprMicroRegion = ui->cbEnprMicroRegion->currentIndex();
    History.TreeLevel = level;
    History.Node = node;

    QString description;
    if (byUser) {
        const struct {
            const char16_t *label;
            const QString &text;
            QComboBox *box;
        } parts[] = {
            {u" организация: ", History.EnprName, ui->cbFindEnprName},
            {u" адрес: ", History.EnprPost, ui->cbFindEnprPost},
            {u" вид деят: ", History.EnprAttr, ui->cbFindEnprAttr},
            {u" web: ", History.EnprWeb, ui->cbFindEnprWeb},
            {u" сотрудники: ", History.EnprPeople, ui->cbFindEnprPeople},
            {u" телефон: ", History.EnprPhone, ui->cbFindEnprPhone},
        };
        for (const auto &part : parts) {
            if (!part.text.isEmpty())
                description = TrimText(description + QString::fromUtf16(part.label) + u'"' + part.text + u'"');
            RememberComboText(part.box);
        }
    }

    p.byUser = byUser;
    p.level = level;
    p.prdOrder = IsMysqlProtocol() && byUser && FirmHasPrd && RandomBelow(10) < 2;
    p.cid = level == 1 ? NodeNumber(node) : 0;
    History.EnprCid = p.cid;
    p.useRegion = DistrictChosen(ui->cbEnprRegion);
    p.regionId = ui->cbEnprRegion->currentData().toInt();
    p.useMicroRegion = DistrictChosen(ui->cbEnprMicroRegion);
    p.microRegionId = ui->cbEnprMicroRegion->currentData().toInt();
    p.workNow = History.EnprWorkNow;
    p.discount = History.EnprDiscount;
    p.today = GetTodayIsoDate();
    const TSearchSql built = BuildEnprSearchSql(p);

    EnprSortOrders[0] = QStringLiteral(" a.sfn ");
    EnprSortOrders[1] = QStringLiteral(" a.order_post ");
    if (byUser)
        History.ByUser = true;
    m_enpr.OpenSearch(History, built.sql, built.defaultOrder);

    if (byUser) {
        ui->edNavigave->setText(GetNodePath() + QStringLiteral(" (рез.поиска - ") + description + u')');
        SetStatusText(GetCountsText(1, level, p.cid, 0, 0) + QStringLiteral(", найдено ") +
                      QString::number(Query5.RecordCount()) + QStringLiteral(" организаций"));
    }
    History.NavText = ui->edNavigave->text();
    History.StatusText = StatusText();
    ShowEnprPanel();

    if (Query5.IsEmpty())
        ShowMessageText(QStringLiteral("   По Вашему запросу ничего не найдено.   "));
}
