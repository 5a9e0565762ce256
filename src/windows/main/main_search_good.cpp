// The goods search: the goods panel's controls and FindGoods.

#include "windows/main/main.h"
#include "windows/main/main_searchsql.h"

#include "ui_main.h"

#include "components/SDialogs.h"
#include "platform/application.h"
#include "services/globals.h"
#include "services/history_combo.h"
#include "services/tools_format.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTreeWidget>

namespace {

const QString kNothingFound = QStringLiteral("   По Вашему запросу ничего не найдено.   ");

QString Quoted(const QString &text)
{
    return u'"' + text + u'"';
}

// A district filter applies only when a choice other than the whole city
// (the first item) was made in a list of several.
bool DistrictChosen(const QComboBox *combo)
{
    return combo->count() > 1 && combo->currentIndex() > 0;
}

} // namespace

void TfrmMain::SetupSearch()
{
    connect(ui->btnFindGood, &QPushButton::clicked, this, GuardedSlot(this, &TfrmMain::btnFindGoodClick));
    connect(ui->Button1, &QPushButton::clicked, this, GuardedSlot(this, &TfrmMain::Button1Click));
    connect(ui->btnFindEnpr, &QPushButton::clicked, this, GuardedSlot(this, &TfrmMain::btnFindEnprClick));
    connect(ui->btnClearEnpr, &QPushButton::clicked, this, GuardedSlot(this, &TfrmMain::btnClearEnprClick));
    for (QComboBox *box : HistoryBoxes()) {
        box->installEventFilter(this);
        if (box->lineEdit())
            box->lineEdit()->installEventFilter(this);
    }
    DataSource1.SetDataSet(&Query4);
    DataSource2.SetDataSet(&Query5);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            QObject *box = watched;
            if (qobject_cast<QLineEdit *>(watched))
                box = watched->parent();
            if (box == ui->cbFindGoodName || box == ui->cbFindGoodEnprName) {
                GuardedEvent([this] { btnFindGoodClick(); });
                return true;
            }
            if (box == ui->cbFindEnprName || box == ui->cbFindEnprAttr || box == ui->cbFindEnprPost ||
                box == ui->cbFindEnprWeb || box == ui->cbFindEnprPhone || box == ui->cbFindEnprPeople) {
                GuardedEvent([this] { btnFindEnprClick(); });
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::SetRandomSource(std::function<int(int)> source)
{
    m_random = std::move(source);
}

int TfrmMain::RandomBelow(int n)
{
    if (m_random)
        return m_random(n);
    return int(QRandomGenerator::global()->bounded(n));
}

void TfrmMain::btnFindGoodClick()
{
    FindGoods(true);
}

void TfrmMain::Button1Click()
{
    ui->cbFindGoodName->setEditText(QString());
    ui->cbFindGoodEnprName->setEditText(QString());
    if (ui->cbGoodRegion->count() > 0)
        ui->cbGoodRegion->setCurrentIndex(0);
    if (ui->cbGoodMicroRegion->count() > 0)
        ui->cbGoodMicroRegion->setCurrentIndex(0);
    ui->edFindGoodWorkNow->setChecked(false);
    ui->edFindGoodDiscount->setChecked(false);
    ui->cbFindGoodName->setFocus();
}

void TfrmMain::FindGoods(bool byUser)
{
    const QString nameText = ui->cbFindGoodName->currentText();
    const QString enprText = ui->cbFindGoodEnprName->currentText();
    if (byUser && nameText.isEmpty() && enprText.isEmpty())
        return;

    PushHistory(mnuBack, true);

    QTreeWidgetItem *node = ui->TreeView->currentItem();
    const int level = NodeLevel(node);
    History.TreeLevel = level;
    History.Node = node;
    History.GoodName = TrimText(nameText);
    History.GoodEnprName = TrimText(enprText);
    History.GoodWorkNow = ui->edFindGoodWorkNow->isChecked();
    History.GoodDiscount = ui->edFindGoodDiscount->isChecked();
    History.GoodRegion = ui->cbGoodRegion->currentIndex();
    History.GoodMicroRegion = ui->cbGoodMicroRegion->currentIndex();

    QString description;
    if (byUser) {
        if (!History.GoodName.isEmpty())
            description = TrimText(description + QStringLiteral(" название: ") + Quoted(History.GoodName));
        RememberComboText(ui->cbFindGoodName);
        if (!History.GoodEnprName.isEmpty())
            description = TrimText(description + QStringLiteral(" организация: ") + Quoted(History.GoodEnprName));
        RememberComboText(ui->cbFindGoodEnprName);
        if (History.GoodWorkNow)
            description = TrimText(description + QStringLiteral(" работающие сейчас"));
        if (History.GoodDiscount)
            description = TrimText(description + QStringLiteral(" предоставляющие скидки"));
        if (DistrictChosen(ui->cbGoodRegion))
            description = TrimText(description + QStringLiteral(" район:") + Quoted(ui->cbGoodRegion->currentText()));
    }

    const int city = NodeCity(node);
    History.GoodCid = city;

    TGoodSearchParams p;
    p.byUser = byUser;
    p.level = level;
    p.cid = city;
    p.nodeNumber = NodeNumber(node);
    p.name = nameText;
    p.enprName = enprText;
    p.useRegion = DistrictChosen(ui->cbGoodRegion);
    p.regionId = ui->cbGoodRegion->currentData().toInt();
    p.useMicroRegion = DistrictChosen(ui->cbGoodMicroRegion);
    p.microRegionId = ui->cbGoodMicroRegion->currentData().toInt();
    p.workNow = History.GoodWorkNow;
    p.discount = History.GoodDiscount;
    p.prdOrder = IsMysqlProtocol() && byUser && FirmHasPrd && RandomBelow(10) < 2;
    p.today = GetTodayIsoDate();
    const TSearchSql built = BuildGoodSearchSql(p);

    GoodSortOrders[0] = QStringLiteral(" a.name ");
    GoodSortOrders[1] = QStringLiteral(" a.price_rub ");
    GoodSortOrders[2] = QStringLiteral(" sfn ");
    m_goods.OpenSearch(History, built.sql, built.defaultOrder);
    ShowGoodPanel();

    if (byUser) {
        ui->edNavigave->setText(GetNodePath() + QStringLiteral(" (рез.поиска - ") + description + u')');
        int section = 0;
        if (level == 2)
            section = NodeNumber(node);
        else if (level == 3)
            section = NodeNumber(node->parent());
        SetStatusText(GetCountsText(0, level, city, section, level == 3 ? NodeNumber(node) : 0) +
                      QStringLiteral(", найдено ") + QString::number(Query4.RecordCount()) +
                      QStringLiteral(" товаров/услуг"));
        History.ByUser = true;
    }
    History.NavText = ui->edNavigave->text();
    History.StatusText = StatusText();
    History.Kind = 0;

    if (Query4.IsEmpty())
        ShowMessageText(kNothingFound);
}
