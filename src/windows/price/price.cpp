// The firm window: creation, filling, the price list and its grid, the tool
// bar's switches and the card view's menu and keys. Printing is in
// price_print.cpp.

#include "windows/price/price.h"

#include "components/SDialogs.h"
#include "components/replfont.h"
#include "platform/application.h"
#include "data/connection.h"
#include "platform/dbctrls.h"
#include "platform/htmlview.h"
#include "services/pagerules.h"
#include "services/fielddefs.h"
#include "services/globals.h"
#include "services/stat.h"
#include "services/tools_format.h"
#include "services/tools_grid.h"
#include "services/tools_viewer.h"
#include "services/vtbl.h"
#include "windows/main/eventhook.h"
#include "windows/main/main.h"
#include "windows/price/firmcard.h"
#include "components/viewicon.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr TDBGridOptions kPriceGridOptions = dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines |
                                             dgTabs | dgRowSelect | dgAlwaysShowSelection | dgConfirmDelete |
                                             dgCancelOnExit | dgMultiSelect;

const QString kAllGroups = QStringLiteral("Все разделы");

QLabel *BoldCaption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

TfrmPrice::TfrmPrice(TZConnection *connection, TCardLinkHandler linkHandler, QStringList keptFiles, QWidget *parent)
    : QDialog(parent), Query1(connection), Query2(connection), Query3(connection),
      m_linkHandler(std::move(linkHandler)), m_keptFiles(std::move(keptFiles))
{
    setObjectName(QStringLiteral("frmPrice"));
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::WindowTitleHint);
    resize(640, 480);
    setMinimumSize(640, 480);
    Query1.Name = QStringLiteral("Query1");
    Query2.Name = QStringLiteral("Query2");
    Query3.Name = QStringLiteral("Query3");
    DataSource1.SetDataSet(&Query1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    const auto button = [this](const char *name, const QString &hint, const QIcon &icon, bool checkable, bool down) {
        auto *b = new QToolButton(ToolBar1);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(hint);
        b->setToolTip(hint);
        b->setIcon(icon);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setAutoRaise(true);
        b->setCheckable(checkable);
        b->setChecked(down);
        ToolBar1->addWidget(b);
        return b;
    };
    btnPreview =
        button("btnPreview", QStringLiteral("Предварительный просмотр"), ViewIcon(TViewIcon::Preview), false, false);
    btnPrint = button("btnPrint", QStringLiteral("Печать"), ViewIcon(TViewIcon::Print), false, false);
    btnSave = button("btnSave", QStringLiteral("Сохранить в файл"), ViewIcon(TViewIcon::Save), false, false);
    ToolBar1->addSeparator();
    btnDollar = button("btnDollar", QStringLiteral("Конвертация"), ViewIcon(TViewIcon::Dollar), true, false);
    btnStatusBar =
        button("btnStatusBar", QStringLiteral("Строка состояния"), ViewIcon(TViewIcon::StatusBar), true, true);
    btnRichStr = button("btnRichStr", QStringLiteral("Расширенная строка"), ViewIcon(TViewIcon::RichStr), true, true);
    ToolBar1->addSeparator();
    ToolButton7 = button("ToolButton7", QStringLiteral("Замечения"), QIcon(), false, false);
    ToolButton7->setToolButtonStyle(Qt::ToolButtonTextOnly);
    layout->addWidget(ToolBar1);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    TabSheet1 = new QWidget(PageControl1);
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget(PageControl1);
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet1, QStringLiteral("Информация о компании"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Прайс-лист"));
    layout->addWidget(PageControl1, 1);

    // The card.
    auto *cardLayout = new QVBoxLayout(TabSheet1);
    cardLayout->setContentsMargins(2, 2, 2, 2);
    HTMLViewer1 = new TCardViewer(TabSheet1);
    HTMLViewer1->setObjectName(QStringLiteral("HTMLViewer1"));
    HTMLViewer1->setOpenLinks(false);
    HTMLViewer1->setOpenExternalLinks(false);
    HTMLViewer1->setUndoRedoEnabled(false);
    // A caption cell of the card's table is as wide as its longest word,
    // never broken letter by letter.
    HTMLViewer1->setWordWrapMode(QTextOption::WordWrap);
    QPalette white = HTMLViewer1->palette();
    white.setColor(QPalette::Base, Qt::white);
    HTMLViewer1->setPalette(white);
    QFont cardFont(QStringLiteral("Tahoma"));
    cardFont.setPointSize(8);
    HTMLViewer1->document()->setDefaultFont(cardFont);
    HTMLViewer1->document()->setDefaultStyleSheet(QStringLiteral("pre { font-family: Verdana; }"));
    cardLayout->addWidget(HTMLViewer1);
    new TEventHook(HTMLViewer1, QEvent::KeyPress, [this](QEvent *event) {
        const auto *key = static_cast<QKeyEvent *>(event);
        HTMLViewer1KeyDown(key->key(), key->modifiers());
    });
    PopupMenu1 = CreateViewerPopupMenu(HTMLViewer1, N6, mnuCopyToClipboard);

    // The price list.
    auto *priceLayout = new QVBoxLayout(TabSheet2);
    priceLayout->setContentsMargins(2, 2, 2, 2);
    priceLayout->setSpacing(2);
    auto *groupLine = new QHBoxLayout();
    Label1 = new QLabel(QStringLiteral("Раздел -"), TabSheet2);
    Label1->setObjectName(QStringLiteral("Label1"));
    cbGroup = new QComboBox(TabSheet2);
    cbGroup->setObjectName(QStringLiteral("cbGroup"));
    cbGroup->setMaxVisibleItems(20);
    cbGroup->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbGroup->setMinimumContentsLength(20);
    groupLine->addWidget(Label1);
    groupLine->addWidget(cbGroup, 1);
    priceLayout->addLayout(groupLine);

    DBGrid1 = new TDBGrid(TabSheet2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->SetOptions(kPriceGridOptions);
    DBGrid1->SetReadOnly(true);
    TColumn *name = DBGrid1->Columns().AppendColumn();
    name->SetFieldName(QStringLiteral("sname"));
    name->Title().SetCaption(QStringLiteral("товар/услуга"));
    name->Title().SetAlignment(taCenter);
    name->SetWidth(496);
    TColumn *price = DBGrid1->Columns().AppendColumn();
    price->SetFieldName(QStringLiteral("sprice"));
    price->Title().SetCaption(QStringLiteral("цена"));
    price->Title().SetAlignment(taCenter);
    price->SetAlignment(taRightJustify);
    DBGrid1->SetDataSource(&DataSource1);
    priceLayout->addWidget(DBGrid1, 1);
    // The grid's own resize comes after the layout has placed it, so the
    // widths are fitted to its final size.
    new TEventHook(DBGrid1, QEvent::Resize, [this](QEvent *) { FormResize(); });

    pnlGoodRichStr = new QWidget(TabSheet2);
    pnlGoodRichStr->setObjectName(QStringLiteral("pnlGoodRichStr"));
    pnlGoodRichStr->setFixedHeight(62);
    auto *details = new QGridLayout(pnlGoodRichStr);
    details->setContentsMargins(2, 2, 2, 2);
    details->setHorizontalSpacing(6);
    details->setVerticalSpacing(1);
    details->setColumnStretch(1, 1);
    const auto detail = [this, details](int row, const QString &caption, const char *objectName, const char *field) {
        details->addWidget(BoldCaption(caption, pnlGoodRichStr), row, 0);
        auto *text = new TDBText(pnlGoodRichStr);
        text->setObjectName(QString::fromLatin1(objectName));
        text->SetDataSource(&DataSource1);
        text->SetDataField(QString::fromLatin1(field));
        text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        details->addWidget(text, row, 1);
        return text;
    };
    DBText1 = detail(0, QStringLiteral("Товар/услуга:"), "DBText1", "sname");
    DBText1->setWordWrap(true);
    DBText2 = detail(1, QStringLiteral("Раздел:"), "DBText2", "wsupergroupname");
    DBText3 = detail(2, QStringLiteral("Подраздел:"), "DBText3", "wgroupname");
    details->setRowStretch(0, 1);
    priceLayout->addWidget(pnlGoodRichStr);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    m_statusPanel0 = new QLabel(StatusBar1);
    m_statusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusBar1->addWidget(m_statusPanel0, 1);
    layout->addWidget(StatusBar1);

    FormCreate();

    for (QToolButton *b : {btnPreview, btnPrint, btnSave})
        connect(b, &QToolButton::clicked, this, GuardedSlot([this, b] { btnPrintClick(b); }));
    connect(btnDollar, &QToolButton::clicked, this, GuardedSlot(this, &TfrmPrice::btnDollarClick));
    connect(btnStatusBar, &QToolButton::clicked, this, GuardedSlot(this, &TfrmPrice::btnStatusBarClick));
    connect(btnRichStr, &QToolButton::clicked, this, GuardedSlot(this, &TfrmPrice::btnRichStrClick));
    connect(ToolButton7, &QToolButton::clicked, this, GuardedSlot(this, &TfrmPrice::ToolButton7Click));
    connect(PageControl1, &QTabWidget::currentChanged, this, GuardedSlot([this] { PageControl1Change(); }));
    connect(cbGroup, &QComboBox::activated, this, GuardedSlot([this] { cbGroupChange(); }));
    connect(HTMLViewer1, &QTextBrowser::anchorClicked, this, GuardedSlot(this, &TfrmPrice::HTMLViewer1HotSpotClick));
    connect(N6, &QAction::triggered, this, GuardedSlot(this, &TfrmPrice::N6Click));
    connect(mnuCopyToClipboard, &QAction::triggered, this, GuardedSlot(this, &TfrmPrice::mnuCopyToClipboardClick));
    connect(PopupMenu1, &QMenu::aboutToShow, this, GuardedSlot(this, &TfrmPrice::PopupMenu1Popup));
    DBGrid1->OnDrawColumnCell = [this](QObject *, const QRect &rect, int dataCol, TColumn *column,
                                       TGridDrawState state) { DBGrid1DrawColumnCell(rect, dataCol, column, state); };
    DBGrid1->OnTitleClick = [this](TColumn *column) { DBGrid1TitleClick(column); };
    Query1.OnCalcFields = [this](TDataSet &dataSet) { Query1CalcFields(dataSet); };
    for (TDBText *text : {DBText1, DBText2, DBText3})
        text->OnMouseMove = [this](TDBText *sender) { DBText1MouseMove(sender); };

    // Esc closes the window wherever the focus is; the price grid would
    // otherwise keep the key for itself.
    auto *closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, &QDialog::reject);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TfrmPrice::~TfrmPrice()
{
    // The grid and the texts let go of the data source before it goes.
    DBGrid1->SetDataSource(nullptr);
    for (TDBText *text : {DBText1, DBText2, DBText3})
        text->SetDataSource(nullptr);
}

void TfrmPrice::FormCreate()
{
    SetFormCharsetRussian(this);
    const bool network = IsMysqlProtocol();
    AddCalcStringField(Query1, QStringLiteral("sprice"), 15);
    AddCalcStringField(Query1, QStringLiteral("sname"), 255);
    if (network)
        AddFloatField(Query1, QStringLiteral("price"));
    else
        AddStringField(Query1, QStringLiteral("price"), 20);
    AddStringField(Query1, QStringLiteral("name"), 255);
    AddStringField(Query1, QStringLiteral("cur"), 10);
    if (network) {
        AddLargeintField(Query1, QStringLiteral("id"));
        AddLargeintField(Query1, QStringLiteral("gid"));
    } else {
        AddStringField(Query1, QStringLiteral("id"), 20);
        AddStringField(Query1, QStringLiteral("gid"), 20);
    }
    AddCalcStringField(Query1, QStringLiteral("wgroupname"), 255);
    AddCalcStringField(Query1, QStringLiteral("wsupergroupname"), 255);
    if (network)
        AddFloatField(Query1, QStringLiteral("price_rub"));
    else
        AddStringField(Query1, QStringLiteral("price_rub"), 20);
}

void TfrmPrice::Init(int cid, int fid, int adr_id, qint64 goodId)
{
    WriteRequestStat(Query2, cid, fid, adr_id, goodId);
    // The window always opens on the card; the good only names the
    // statistics row.
    PageControl1->setCurrentWidget(TabSheet1);
    FillGroups(cid, fid, adr_id);
    Cid = cid;
    Fid = fid;
    AdrId = adr_id;
    OpenPriceQuery();
    TotalRows = Query1.Active() ? Query1.RecordCount() : 0;
    if (TotalRows == 0) {
        PageControl1->setCurrentWidget(TabSheet1);
        PageControl1->setTabVisible(PageControl1->indexOf(TabSheet2), false);
    }
    PageControl1Change();

    Query2.Close();
    Query2.SetSQL(QStringLiteral("select sfn,allinfo from address where ") +
                  QStringLiteral(" cid=:cid and fid=:fid and adr_id in (:adr_id,0) ") + QStringLiteral(" limit 1"));
    Query2.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
    Query2.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
    Query2.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr_id);
    Query2.Open();
    const QString sfn = Query2.FieldByName(QStringLiteral("sfn")).AsString();
    Query2.Close();
    // The caption holds no more of the catalogue's texts than the card shows.
    setWindowTitle(CutLongText(sfn));
    const QString address = LoadAddressText(Query2, cid, fid, adr_id, true);
    if (!address.isEmpty())
        setWindowTitle(CutLongText(sfn + QStringLiteral(" - ") + address));

    QString html;
    BuildFirmCardHtml(Query2, cid, fid, adr_id, false, nullptr, TCardSections::All(), html);
    CardHtml = html;
    // Laid out once, at the width the view has when the window shows.
    if (isVisible())
        LoadCard();
    else
        m_cardPending = true;
    FormResize();
}

void TfrmPrice::LoadCard()
{
    m_cardPending = false;
    // The view shows long texts cut, as printed pages do; saving keeps CardHtml whole.
    HTMLViewer1->LoadFromString(CutLongTexts(CardHtml, *HTMLViewer1->document()));
}

void TfrmPrice::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_cardPending) {
        // The window's layout has placed the view by now.
        layout()->activate();
        GuardedEvent([this] { LoadCard(); });
    }
}

void TfrmPrice::FillGroups(int cid, int fid, int adr_id)
{
    Query2.Close();
    Query2.SetSQL(QStringLiteral("select distinct a.gid as gid,b.name as wgroup_name ,c.name as wsupergroup_name from "
                                 "good a,wgroup b, wsupergroup c  where a.gid=b.gid and c.super_id=b.super_id and "
                                 "cid=") +
                  QString::number(cid) + QStringLiteral(" and fid=") + QString::number(fid) +
                  QStringLiteral(" and adr_id in (") + QString::number(adr_id) +
                  QStringLiteral(",0) order by c.name,b.name"));
    Query2.Open();
    cbGroup->clear();
    cbGroup->addItem(kAllGroups);
    for (Query2.First(); !Query2.Eof(); Query2.Next())
        cbGroup->addItem(Query2.FieldByName(QStringLiteral("wsupergroup_name")).AsString() + QStringLiteral(" - ") +
                             Query2.FieldByName(QStringLiteral("wgroup_name")).AsString(),
                         Query2.FieldByName(QStringLiteral("gid")).AsLargeInt());
    Query2.Close();
    cbGroup->setCurrentIndex(0);
}

void TfrmPrice::OpenPriceQuery()
{
    const bool network = IsMysqlProtocol();
    PriceSql.clear();
    int n = 1;
    const int selected = cbGroup->currentIndex();
    for (int i = 1; i < cbGroup->count(); ++i) {
        if (selected > 0 && i != selected)
            continue;
        const QString g = QString::number(cbGroup->itemData(i).toLongLong());
        if (!PriceSql.isEmpty())
            PriceSql += QStringLiteral(" union all ");
        PriceSql += QStringLiteral("select ") + QString::number(n) + QStringLiteral(" as sort, ");
        PriceSql += network ? QStringLiteral(" CONCAT_WS(' - ',b.name,a.name) as name ")
                            : QStringLiteral(" b.name || ' - ' || a.name as name ");
        PriceSql += QStringLiteral(",0 as price, 0 as cur, 0 as price_rub , -1 as id, ") + g +
                    QStringLiteral(" as gid from wgroup a, wsupergroup b where a.gid=") + g +
                    QStringLiteral(" and a.super_id=b.super_id union all ") + QStringLiteral("select ") +
                    QString::number(n + 1) +
                    QStringLiteral(" as sort, name,price,cur,price_rub,id,gid from good where cid=") +
                    QString::number(Cid) + QStringLiteral(" and fid=") + QString::number(Fid) +
                    QStringLiteral(" and adr_id in (") + QString::number(AdrId) + QStringLiteral(",0) and gid=") + g;
        n += 2;
    }
    if (PriceSql.isEmpty())
        return;
    PriceSql = QStringLiteral("select * from (") + PriceSql + QStringLiteral(") aa order by sort, name ");
    Query1.Close();
    Query1.SetSQL(PriceSql);
    Query1.Open();
}

void TfrmPrice::UpdateStatus()
{
    if (!PriceTabActive()) {
        m_statusPanel0->setText(QString());
        return;
    }
    if (!Query1.Active())
        return;
    QString text =
        QStringLiteral("Всего ") + QString::number(TotalRows - (cbGroup->count() - 1)) + QStringLiteral(" позиций.");
    if (cbGroup->currentIndex() > 0)
        text += QStringLiteral(" Найдено ") + QString::number(Query1.RecordCount() - 1) + QStringLiteral(" позиций.");
    m_statusPanel0->setText(text);
}

bool TfrmPrice::PriceTabActive() const
{
    return PageControl1->currentWidget() == TabSheet2;
}

void TfrmPrice::FormResize()
{
    FitGridColumns(*DBGrid1, {0});
}

void TfrmPrice::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    GuardedEvent([this] { FormResize(); });
}

void TfrmPrice::Query1CalcFields(TDataSet &q)
{
    const auto text = [&q](const char *name) { return q.FieldByName(QString::fromLatin1(name)).AsString(); };
    QString price;
    if (IsMysqlProtocol())
        price = btnDollar->isChecked()
                    ? FormatPrice(QStringLiteral("rubl"), q.FieldByName(QStringLiteral("price_rub")).AsFloat())
                    : FormatPrice(text("cur"), q.FieldByName(QStringLiteral("price")).AsFloat());
    else
        price = btnDollar->isChecked() ? FormatPriceText(text("price_rub"), QStringLiteral("rubl"))
                                       : FormatPriceText(text("price"), text("cur"));
    q.FieldByName(QStringLiteral("sprice")).SetAsString(price);
    q.FieldByName(QStringLiteral("sname")).SetAsString(text("name"));
    const int gid = q.FieldByName(QStringLiteral("gid")).AsInteger();
    q.FieldByName(QStringLiteral("wgroupname")).SetAsString(GetGroupName(gid));
    q.FieldByName(QStringLiteral("wsupergroupname")).SetAsString(GetSuperGroupName(gid));
}

void TfrmPrice::DBGrid1DrawColumnCell(const QRect &rect, int, TColumn *column, TGridDrawState)
{
    if (column->FieldName() != QLatin1String("sname") ||
        Query1.FieldByName(QStringLiteral("id")).AsString() != QLatin1String("-1"))
        return;
    TCanvas &canvas = DBGrid1->Canvas();
    canvas.Font().SetBold(true);
    TField *field = column->Field();
    DrawCellAligned(rect, canvas, field ? field->DisplayText() : QString(), taLeftJustify);
}

void TfrmPrice::DBGrid1TitleClick(TColumn *)
{
    // The price list keeps its subsection order.
}

void TfrmPrice::cbGroupChange()
{
    OpenPriceQuery();
    UpdateStatus();
}

void TfrmPrice::PageControl1Change()
{
    UpdateStatus();
    const bool price = PriceTabActive();
    btnDollar->setEnabled(price);
    btnRichStr->setEnabled(price);
}

void TfrmPrice::btnDollarClick()
{
    if (PriceTabActive() && Query1.Active())
        Query1.Resync();
}

void TfrmPrice::btnStatusBarClick()
{
    StatusBar1->setVisible(btnStatusBar->isChecked());
}

void TfrmPrice::btnRichStrClick()
{
    pnlGoodRichStr->setVisible(btnRichStr->isChecked());
}

void TfrmPrice::ToolButton7Click()
{
    OpenFeedbackMail();
}

void TfrmPrice::HTMLViewer1KeyDown(int key, Qt::KeyboardModifiers shift)
{
    HandleHtmlViewerKeys(HTMLViewer1, key, shift);
}

void TfrmPrice::HTMLViewer1HotSpotClick(const QUrl &link)
{
    if (m_linkHandler)
        m_linkHandler(link);
}

void TfrmPrice::DBText1MouseMove(TDBText *sender)
{
    // A long goods name is readable in full as the hint.
    const QString text = sender->FieldText();
    if (sender->Hint() != text) {
        sender->SetHint(text);
        sender->SetShowHint(true);
    }
}

void TfrmPrice::N6Click()
{
    HTMLViewer1->selectAll();
}

void TfrmPrice::mnuCopyToClipboardClick()
{
    CopyViewerSelection(HTMLViewer1);
}

void TfrmPrice::PopupMenu1Popup()
{
    mnuCopyToClipboard->setEnabled(HTMLViewer1->textCursor().hasSelection());
}

int ShowFirmPrice(TfrmMain &owner, int cid, int fid, int adr_id, qint64 goodId)
{
    auto window = std::make_unique<TfrmPrice>(
        &owner.CatalogueConnection(), [&owner](const QUrl &link) { owner.CardLinkClick(link); },
        owner.FilesKeptFromSaving());
    window->setAttribute(Qt::WA_DeleteOnClose);
    // A failure while filling frees the window unshown.
    window->Init(cid, fid, adr_id, goodId);
    return window.release()->exec();
}

int ShowFirmPrice(int cid, int fid, int adr_id, qint64 goodId)
{
    return frmMain ? ShowFirmPrice(*frmMain, cid, fid, adr_id, goodId) : QDialog::Rejected;
}
