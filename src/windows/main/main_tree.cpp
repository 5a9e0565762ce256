// The classification tree, its sub-list, the totals line and the district
// lists of the search panels.

#include "windows/main/main.h"

#include "ui_main.h"

#include "platform/application.h"
#include "services/tools_format.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>

namespace {

constexpr int kNumberRole = Qt::UserRole;   // main tree: cid, super_id or gid
constexpr int kNodeRole = Qt::UserRole + 1; // sub-list: the main-tree node

// A small folder: open or closed, in the colour of its branch.
QIcon FolderIcon(const QColor &colour, bool open)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(colour.darker(160));
    p.setBrush(colour);
    p.drawRect(1, 4, 13, 10);
    p.drawRect(1, 2, 5, 2);
    if (open) {
        p.setBrush(colour.lighter(140));
        const QPointF flap[] = {{3, 7}, {15, 7}, {13, 14}, {1, 14}};
        p.drawPolygon(flap, 4);
    }
    return QIcon(pixmap);
}

QIcon DotIcon(const QColor &colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(5, 5, 6, 6);
    return QIcon(pixmap);
}

} // namespace

void TfrmMain::SetupTree()
{
    const QColor goods(0x2e, 0x7d, 0x32);
    const QColor firms(0x1e, 0x5a, 0xa8);
    ImageList1 = {DotIcon(goods),           DotIcon(firms),          FolderIcon(goods, true),
                  FolderIcon(goods, false), FolderIcon(firms, true), FolderIcon(firms, false)};

    m_statusPanel0 = new QLabel(ui->StatusBar1);
    m_statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    ui->StatusBar1->addWidget(m_statusPanel0, 1);

    connect(ui->TreeView, &QTreeWidget::currentItemChanged, this, GuardedSlot([this] {
                if (m_treeChangeAttached)
                    TreeViewChange();
            }));
    connect(ui->TreeView, &QTreeWidget::itemExpanded, this, &TfrmMain::UpdateTreeIcons);
    connect(ui->TreeView, &QTreeWidget::itemCollapsed, this, &TfrmMain::UpdateTreeIcons);
    connect(ui->TreeView1, &QTreeWidget::itemDoubleClicked, this, GuardedSlot(this, &TfrmMain::TreeView1DblClick));
    connect(ui->N16, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::N16Click));
    connect(ui->N14, &QAction::triggered, this, GuardedSlot(this, &TfrmMain::N14Click));
}

int TfrmMain::NodeLevel(const QTreeWidgetItem *node)
{
    int level = 0;
    for (const QTreeWidgetItem *p = node ? node->parent() : nullptr; p; p = p->parent())
        ++level;
    return level;
}

int TfrmMain::NodeBranch(const QTreeWidgetItem *node) const
{
    const QTreeWidgetItem *root = node;
    while (root && root->parent())
        root = root->parent();
    return root == EnprRootNode ? 1 : 0;
}

int TfrmMain::NodeNumber(const QTreeWidgetItem *node)
{
    return node ? node->data(0, kNumberRole).toInt() : 0;
}

int TfrmMain::NodeCity(const QTreeWidgetItem *node)
{
    if (!node || !node->parent())
        return 0;
    while (node->parent()->parent())
        node = node->parent();
    return NodeNumber(node);
}

QString TfrmMain::StatusText() const
{
    return m_statusPanel0->text();
}

void TfrmMain::SetStatusText(const QString &text)
{
    m_statusPanel0->setText(text);
}

int TfrmMain::TreeViewGetImageIndex(QTreeWidgetItem *node) const
{
    const bool goods = NodeBranch(node) == 0;
    if (node && node->isExpanded())
        return goods ? 2 : 4;
    return goods ? 3 : 5;
}

int TfrmMain::TreeView1GetImageIndex() const
{
    QTreeWidgetItem *selected = ui->TreeView->currentItem();
    return selected && NodeBranch(selected) == 0 ? 3 : 5;
}

void TfrmMain::UpdateTreeIcons(QTreeWidgetItem *node)
{
    node->setIcon(0, ImageList1.value(TreeViewGetImageIndex(node)));
}

void TfrmMain::AddTreeChildren(QTreeWidgetItem *cityNode, int cid)
{
    Query2.Close();
    Query2.SetSQL(QStringLiteral(
        "select * from wsupergroup w where exists (select * from wgroup a where a.super_id=w.super_id and exists "
        "(select * from good_gid_cnt b where b.cid=:cid and a.gid=b.gid)) order by name"));
    Query2.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
    Query2.Open();
    while (!Query2.Eof()) {
        const int superId = Query2.FieldByName(QStringLiteral("super_id")).AsInteger();
        auto *section = new QTreeWidgetItem(cityNode, {Query2.FieldByName(QStringLiteral("name")).AsString()});
        section->setData(0, kNumberRole, superId);
        UpdateTreeIcons(section);
        Query3.Close();
        Query3.SetSQL(QStringLiteral("select * from wgroup a where super_id=:super_id and exists (select * from "
                                     "good_gid_cnt b where b.cid=:cid and a.gid=b.gid) order by name"));
        Query3.ParamByName(QStringLiteral("super_id")).SetAsInteger(superId);
        Query3.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
        Query3.Open();
        while (!Query3.Eof()) {
            auto *sub = new QTreeWidgetItem(section, {Query3.FieldByName(QStringLiteral("name")).AsString()});
            sub->setData(0, kNumberRole, Query3.FieldByName(QStringLiteral("gid")).AsInteger());
            UpdateTreeIcons(sub);
            Query3.Next();
        }
        Query2.Next();
    }
}

void TfrmMain::BuildTree()
{
    Query1.Close();
    Query1.SetSQL(
        QStringLiteral("select * from city order by case when cid=343 then 0 else case when cid=351 then 1 else "
                       "case when cid=3452 then 2 else case when cid=3435 then 3 else case when cid=3439 then 4 "
                       "else case when cid=34392 then 5 else  100 end end end end end end -case when cid=") +
        QString::number(MainCity) + QStringLiteral(" then 1000 else 0 end ") + QStringLiteral(",name"));
    Query1.Open();
    while (!Query1.Eof()) {
        const int cid = Query1.FieldByName(QStringLiteral("cid")).AsInteger();
        const QString name = Query1.FieldByName(QStringLiteral("name")).AsString();
        auto *goodCity = new QTreeWidgetItem(GoodRootNode, {name});
        goodCity->setData(0, kNumberRole, cid);
        UpdateTreeIcons(goodCity);
        AddTreeChildren(goodCity, cid);
        auto *enprCity = new QTreeWidgetItem(EnprRootNode, {name});
        enprCity->setData(0, kNumberRole, cid);
        UpdateTreeIcons(enprCity);
        Query1.Next();
    }
    Query1.Close();
    Query2.Close();
    Query3.Close();
}

QString TfrmMain::GetNodePath()
{
    QTreeWidgetItem *node = ui->TreeView->currentItem();
    if (!node)
        return QString();
    QString path = node->text(0);
    for (QTreeWidgetItem *p = node->parent(); p; p = p->parent())
        path = p->text(0) + QStringLiteral(" / ") + path;
    return path;
}

QString TfrmMain::GetCountsText(int branch, int level, int cid, int superId, int gid)
{
    struct TCount {
        const char16_t *sql;
        const char16_t *label;
    };
    static const TCount goods0[] = {
        {u"select count(*) as cnt from city", u" городов"},
        {u"select count(*) as cnt from (select distinct a.super_id from wgroup a, good_gid_cnt b where "
         u"a.gid=b.gid) aa",
         u" разделов"},
        {u"select count(*) as cnt from (select distinct a.gid from good_gid_cnt a) aa", u" подразделов"},
        {u"select sum(cnt) as cnt from good_cnt", u" товаров/услуг"},
    };
    static const TCount goods1[] = {
        {u"select count(*) as cnt from (select distinct a.super_id from wgroup a, good_gid_cnt b where "
         u"a.gid=b.gid and b.cid=:cid) aa",
         u" разделов"},
        {u"select count(*) as cnt from (select distinct a.gid from good_gid_cnt a where a.cid=:cid) aa",
         u" подразделов"},
        {u"select sum(cnt) as cnt from good_cnt where cid=:cid", u" товаров/услуг"},
    };
    static const TCount goods2[] = {
        {u"select count(*) as cnt from wgroup a, good_gid_cnt b where a.super_id=:super_id and a.gid=b.gid and "
         u"b.cid=:cid",
         u" подразделов"},
        {u" select sum(cnt) as cnt from wgroup a, good_gid_cnt b where a.super_id=:super_id and a.gid=b.gid and "
         u"b.cid=:cid",
         u" товаров/услуг"},
    };
    static const TCount goods3[] = {
        {u"select cnt as cnt from good_gid_cnt a where a.cid=:cid and a.gid=:gid", u" товаров/услуг"},
    };
    static const TCount enpr0[] = {
        {u"select count(*) as cnt from city", u" городов"},
        {u"select sum(cnt) as cnt from firm_cnt", u" организаций"},
    };
    static const TCount enpr1[] = {
        {u"select cnt as cnt from firm_cnt where cid=:cid", u" организаций"},
    };

    const TCount *first = nullptr;
    const TCount *last = nullptr;
    auto pick = [&](const auto &table) {
        first = std::begin(table);
        last = std::end(table);
    };
    if (branch == 0 && level == 0)
        pick(goods0);
    else if (branch == 0 && level == 1)
        pick(goods1);
    else if (branch == 0 && level == 2)
        pick(goods2);
    else if (branch == 0 && level == 3)
        pick(goods3);
    else if (branch == 1 && level == 0)
        pick(enpr0);
    else if (branch == 1 && level == 1)
        pick(enpr1);

    QString text = QStringLiteral("Всего");
    for (const TCount *c = first; c != last; ++c) {
        Query1.Close();
        Query1.SetSQL(QString::fromUtf16(c->sql));
        if (TParam *p = Query1.FindParam(QStringLiteral("cid")))
            p->SetAsInteger(cid);
        if (TParam *p = Query1.FindParam(QStringLiteral("super_id")))
            p->SetAsInteger(superId);
        if (TParam *p = Query1.FindParam(QStringLiteral("gid")))
            p->SetAsInteger(gid);
        Query1.Open();
        const int n = Query1.Eof() ? 0 : Query1.FieldByName(QStringLiteral("cnt")).AsInteger();
        text += QStringLiteral(", ") + QString::number(n) + QString::fromUtf16(c->label);
    }
    Query1.Close();
    return text;
}

void TfrmMain::FillRegionList(TZReadOnlyQuery &query, QComboBox *combo, int cid, const QString &sql,
                              const QString &nameColumn)
{
    query.Close();
    query.SetSQL(sql);
    query.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
    query.Open();
    combo->clear();
    while (!query.Eof()) {
        combo->addItem(query.FieldByName(nameColumn).AsString(), query.FieldByName(QStringLiteral("id")).AsInteger());
        query.Next();
    }
    query.Close();
    combo->setCurrentIndex(combo->count() > 0 ? 0 : -1);
}

namespace {

const QString kRegionSql = QStringLiteral(
    "select name_small,case when name_small='---' then 0 else id end as id from city_region a where a.cid=:cid "
    "order by name_big");
const QString kMicroRegionSql = QStringLiteral(
    "select case when name='--' then '---' else name end as name,case when name like '%--%' then 0 else id end as "
    "id from city_micro_region a where a.cid=:cid order by name");

void SingleWholeCity(QComboBox *combo)
{
    combo->clear();
    combo->addItem(QStringLiteral("---"), 0);
    combo->setCurrentIndex(0);
}

} // namespace

void TfrmMain::FillGoodRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid)
{
    if (level < 1)
        SingleWholeCity(combo);
    else
        FillRegionList(query, combo, cid, kRegionSql, QStringLiteral("name_small"));
}

void TfrmMain::FillGoodMicroRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid)
{
    if (level < 1)
        SingleWholeCity(combo);
    else
        FillRegionList(query, combo, cid, kMicroRegionSql, QStringLiteral("name"));
}

void TfrmMain::FillEnprRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid)
{
    if (level != 1)
        SingleWholeCity(combo);
    else
        FillRegionList(query, combo, cid, kRegionSql, QStringLiteral("name_small"));
}

void TfrmMain::FillEnprMicroRegions(TZReadOnlyQuery &query, int level, QComboBox *combo, int cid)
{
    FillGoodMicroRegions(query, level == 1 ? 1 : 0, combo, cid);
}

void TfrmMain::ShowGoodPanel()
{
    ui->TreeView1->hide();
    ui->pnlEnpr->hide();
    ui->pnlGood->show();
    EnablePrintActions(true);
    ui->mnuDollar->setEnabled(true);
    btnDollar->setEnabled(true);
}

void TfrmMain::ShowEnprPanel()
{
    ui->TreeView1->hide();
    ui->pnlGood->hide();
    ui->pnlEnpr->show();
    EnablePrintActions(true);
    ui->mnuDollar->setEnabled(false);
    btnDollar->setEnabled(false);
}

void TfrmMain::ShowSubList()
{
    ui->pnlGood->hide();
    ui->pnlEnpr->hide();
    ui->TreeView1->show();
    EnablePrintActions(false);
    ui->mnuDollar->setEnabled(false);
    btnDollar->setEnabled(false);
}

void TfrmMain::TreeViewChange()
{
    ShowSelectedNode();
}

void TfrmMain::ShowSelectedNode()
{
    QTreeWidgetItem *node = ui->TreeView->currentItem();
    if (!node)
        return;
    const int branch = NodeBranch(node);
    const int level = NodeLevel(node);
    ui->edNavigave->setText(GetNodePath());
    ui->pnlFindGood->setVisible(branch == 0);
    ui->pnlFindEnpr->setVisible(branch == 1);
    const int city = NodeCity(node);

    if (branch == 0 && level == 3) {
        FindGoods(false);
        SetStatusText(GetCountsText(0, 3, city, NodeNumber(node->parent()), NodeNumber(node)));
    } else if (branch == 1 && level == 1) {
        FindEnterprises(false);
        SetStatusText(GetCountsText(1, 1, city, 0, 0));
        ShowEnprPanel();
    } else {
        {
            QSignalBlocker block(ui->TreeView1);
            ui->TreeView1->setUpdatesEnabled(false);
            ui->TreeView1->clear();
            const QIcon icon = ImageList1.value(TreeView1GetImageIndex());
            for (int i = 0; i < node->childCount(); ++i) {
                QTreeWidgetItem *child = node->child(i);
                auto *item = new QTreeWidgetItem(ui->TreeView1, {child->text(0)});
                item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(child)));
                item->setIcon(0, icon);
            }
            if (ui->TreeView1->topLevelItemCount() > 0)
                ui->TreeView1->setCurrentItem(ui->TreeView1->topLevelItem(0));
            ui->TreeView1->setUpdatesEnabled(true);
        }
        ShowSubList();
        const int section = branch == 0 && level == 2 ? NodeNumber(node) : 0;
        SetStatusText(GetCountsText(branch, level, city, section, 0));
    }

    if (branch == 1) {
        FillEnprRegions(Query1, level, ui->cbEnprRegion, city);
        FillEnprMicroRegions(Query1, level, ui->cbEnprMicroRegion, city);
    } else {
        FillGoodRegions(Query1, level, ui->cbGoodRegion, city);
        FillGoodMicroRegions(Query1, level, ui->cbGoodMicroRegion, city);
    }

    History.ByUser = false;
    History.Node = ui->TreeView->currentItem();
    History.StatusText = StatusText();
}

void TfrmMain::TreeView1DblClick()
{
    QTreeWidgetItem *item = ui->TreeView1->currentItem();
    if (!item)
        return;
    auto *node = reinterpret_cast<QTreeWidgetItem *>(item->data(0, kNodeRole).value<quintptr>());
    if (!node)
        return;
    // Selecting runs the tree's own change handler, which shows the node.
    if (ui->TreeView->currentItem() == node)
        ShowSelectedNode();
    else
        ui->TreeView->setCurrentItem(node);
}

void TfrmMain::N16Click()
{
    ui->TreeView->setCurrentItem(GoodRootNode);
    GoodRootNode->setExpanded(true);
    EnprRootNode->setExpanded(false);
}

void TfrmMain::N14Click()
{
    ui->TreeView->setCurrentItem(EnprRootNode);
    EnprRootNode->setExpanded(true);
    GoodRootNode->setExpanded(false);
}
