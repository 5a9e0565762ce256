// The result panels: the goods grid with its detail lines and footer, the
// organisation grid with its detail lines and the card beside it, and what a
// row does when it becomes current or is opened.

#include "windows/main/main.h"
#include "platform/htmlview.h"
#include "windows/main/eventhook.h"

#include "ui_main.h"

#include "platform/application.h"
#include "platform/dbctrls.h"
#include "services/pagerules.h"
#include "services/tools_viewer.h"
#include "services/globals.h"
#include "services/tools_format.h"
#include "services/vtbl.h"
#include "windows/phones.h"
#include "windows/price/firmcard.h"
#include "windows/price/price.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QTreeWidget>
#include <QTextBrowser>
#include <QToolButton>

namespace {

QLabel *Caption(const char16_t *text, QWidget *parent)
{
    auto *label = new QLabel(QString::fromUtf16(text), parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A detail line: bold caption, then the label that shows the field.
TDBText *AddDetail(QGridLayout *layout, int row, const char16_t *caption, const char *name, TDataSource *source,
                   const char *field)
{
    QWidget *panel = layout->parentWidget();
    layout->addWidget(Caption(caption, panel), row, 0);
    auto *text = new TDBText(panel);
    text->setObjectName(QString::fromLatin1(name));
    text->SetDataSource(source);
    text->SetDataField(QString::fromLatin1(field));
    text->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(text, row, 1);
    return text;
}

QGridLayout *ReplaceLayout(QWidget *panel)
{
    delete panel->layout();
    auto *layout = new QGridLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setHorizontalSpacing(6);
    layout->setVerticalSpacing(1);
    layout->setColumnStretch(1, 1);
    return layout;
}

} // namespace

void TfrmMain::SetupResults()
{
    SetupGoodPanel();
    SetupEnprPanel();
    SetupCardViewer();
    SetupViewSwitches();
    SetupLayout();
    // The result panels take the height the search panels leave; the detail
    // lines keep theirs.
    for (QWidget *panel : {static_cast<QWidget *>(ui->TreeView1), ui->pnlGood, ui->pnlEnpr})
        ui->pnlRightLayout->setStretchFactor(panel, 1);
    ui->pnlEnprLayout->setStretchFactor(ui->Splitter2, 1);
    for (QWidget *panel : {ui->pnlGoodRichStr, ui->pnlEnprRichStr})
        panel->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    // The card keeps its width; a wider window widens the grid, whose
    // address column is the one that runs out of room.
    ui->Splitter2->setStretchFactor(0, 1);
    ui->Splitter2->setStretchFactor(1, 0);
    for (TDBText *text : {DBText1, DBText2, DBText3, DBText4, DBText5, DBText6, DBText7})
        text->OnMouseMove = [this](TDBText *sender) { DBText1MouseMove(sender); };
}

void TfrmMain::SetupGoodPanel()
{
    DBGrid1 = m_goods.CreateGrid(ui->pnlGoodGrid, "DBGrid1",
                                 {{"sname", u"товар/услуга", 261, taLeftJustify},
                                  {"sprice", u"цена", 108, taRightJustify},
                                  {"ssfn", u"организация", 170, taLeftJustify}});
    WirePane(m_goods, {&TfrmMain::DBGrid1DrawColumnCell, &TfrmMain::DBGrid1TitleClick, &TfrmMain::DBGrid1DblClick,
                       &TfrmMain::DBGrid1KeyDown, &TfrmMain::Query4CalcFields, &TfrmMain::DataSource1DataChange,
                       &TfrmMain::pnlGoodGridResize});

    // The footer explains the red mark of the price column.
    auto *footer = new QWidget(ui->pnlGoodGrid);
    footer->setObjectName(QStringLiteral("pnlGoodNote"));
    auto *footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(2, 0, 2, 0);
    auto *star = new QLabel(QStringLiteral("*"), footer);
    star->setObjectName(QStringLiteral("lblGoodStar"));
    QFont bold = star->font();
    bold.setBold(true);
    star->setFont(bold);
    QPalette red = star->palette();
    red.setColor(QPalette::WindowText, ColorFromBgr(0x0000FF));
    star->setPalette(red);
    auto *note =
        new QLabel(QStringLiteral("- при ссылке на \"Гранвель\" - скидки. Подробнее в карточке организации."), footer);
    note->setObjectName(QStringLiteral("lblGoodNote"));
    footerLayout->addWidget(star);
    footerLayout->addWidget(note, 1);
    ui->pnlGoodGrid->layout()->addWidget(footer);

    QGridLayout *details = ReplaceLayout(ui->pnlGoodRichStr);
    DBText1 = AddDetail(details, 0, u"Товар/услуга:", "DBText1", &DataSource1, "sname");
    DBText1->setWordWrap(true);
    DBText1->setFixedHeight(2 * DBText1->fontMetrics().lineSpacing());
    DBText1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DBText2 = AddDetail(details, 1, u"Организация:", "DBText2", &DataSource1, "ssfn");
    details->addWidget(Caption(u"Адрес:", ui->pnlGoodRichStr), 2, 0);
    lblGoodPost = new QLabel(ui->pnlGoodRichStr);
    lblGoodPost->setObjectName(QStringLiteral("lblGoodPost"));
    lblGoodPost->setTextFormat(Qt::PlainText);
    lblGoodPost->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    details->addWidget(lblGoodPost, 2, 1);
    DBText7 = AddDetail(details, 3, u"Телефоны:", "DBText7", &DataSource1, "sphones");
    DBText5 = AddDetail(details, 4, u"Раздел:", "DBText5", &DataSource1, "wsupergroupname");
    DBText6 = AddDetail(details, 5, u"Подраздел:", "DBText6", &DataSource1, "wgroupname");
}

void TfrmMain::SetupEnprPanel()
{
    DBGrid2 =
        m_enpr.CreateGrid(ui->pnlEnprGrid, "DBGrid2",
                          {{"ssfn", u"организация", 180, taLeftJustify}, {"sallinfo", u"адрес", 115, taLeftJustify}});
    WirePane(m_enpr, {&TfrmMain::DBGrid2DrawColumnCell, &TfrmMain::DBGrid2TitleClick, &TfrmMain::DBGrid2DblClick,
                      &TfrmMain::DBGrid2KeyDown, &TfrmMain::Query5CalcFields, &TfrmMain::DataSource2DataChange,
                      &TfrmMain::pnlEnprGridResize});

    QGridLayout *details = ReplaceLayout(ui->pnlEnprRichStr);
    DBText3 = AddDetail(details, 0, u"Организация:", "DBText3", &DataSource2, "ssfn");
    DBText4 = AddDetail(details, 1, u"Адрес:", "DBText4", &DataSource2, "sallinfo");
}

void TfrmMain::WirePane(TResultPane &pane, const TPaneHandlers &h)
{
    pane.Grid->OnDrawColumnCell = [this, f = h.drawColumnCell](QObject *, const QRect &rect, int dataCol,
                                                               TColumn *column, TGridDrawState state) {
        (this->*f)(rect, dataCol, column, state);
    };
    pane.Grid->OnTitleClick = [this, f = h.titleClick](TColumn *column) { (this->*f)(column); };
    pane.Grid->OnDblClick = [this, f = h.dblClick](QObject *) { (this->*f)(); };
    pane.Grid->OnKeyDown = [this, f = h.keyDown](QObject *, int &key, TShiftState shift) { (this->*f)(key, shift); };
    pane.Query.OnCalcFields = [this, f = h.calcFields](TDataSet &dataSet) { (this->*f)(dataSet); };
    pane.Source.OnDataChange = [this, f = h.dataChange](TDataSource &, TField *) { (this->*f)(); };
    // The grid fills its panel; its own resize comes after the panel's
    // layout has placed it, so the widths are fitted to the final size.
    new TEventHook(pane.Grid, QEvent::Resize, [this, f = h.panelResize](QEvent *) { (this->*f)(); });
}

void TfrmMain::Query4CalcFields(TDataSet &q)
{
    QString price = btnDollar->isChecked()
                        ? FormatPrice(QStringLiteral("rubl"), q.FieldByName(QStringLiteral("price_rub")).AsFloat())
                        : FormatPrice(q.FieldByName(QStringLiteral("cur")).AsString(),
                                      q.FieldByName(QStringLiteral("price")).AsFloat());
    // Two blanks in place of the mark keep the prices of the right-aligned
    // column in line.
    price += q.FieldByName(QStringLiteral("discount")).AsInteger() == 1 ? QStringLiteral(" *") : QStringLiteral("  ");
    q.FieldByName(QStringLiteral("sprice")).SetAsString(price);

    QString name = q.FieldByName(QStringLiteral("name")).AsString();
    name.replace(u'\n', u' ');
    name.replace(u'\r', u' ');
    q.FieldByName(QStringLiteral("sname")).SetAsString(name);
    q.FieldByName(QStringLiteral("ssfn")).SetAsString(q.FieldByName(QStringLiteral("sfn")).AsString());

    const int gid = q.FieldByName(QStringLiteral("gid")).AsInteger();
    q.FieldByName(QStringLiteral("wgroupname")).SetAsString(GetGroupName(gid));
    q.FieldByName(QStringLiteral("wsupergroupname")).SetAsString(GetSuperGroupName(gid));
    q.FieldByName(QStringLiteral("sphones"))
        .SetAsString(LoadPhonesText(q.FieldByName(QStringLiteral("cid")).AsInteger(),
                                    q.FieldByName(QStringLiteral("fid")).AsInteger(),
                                    q.FieldByName(QStringLiteral("adr_id")).AsInteger(), Query1));
}

void TfrmMain::Query5CalcFields(TDataSet &q)
{
    const auto text = [&q](const char *name) { return q.FieldByName(QString::fromLatin1(name)).AsString(); };
    q.FieldByName(QStringLiteral("sallinfo"))
        .SetAsString(FormatAddress(text("city_name"), text("street_name"), text("street_type"), text("house"),
                                   text("lit"), text("office"), text("ext"), text("name_big"), History.EnprCid == 0));
    q.FieldByName(QStringLiteral("ssfn")).SetAsString(text("sfn"));
}

void TfrmMain::DataSource1DataChange()
{
    // An error of the look-up is shown without cutting the dataset's
    // notification of the other controls short.
    try {
        if (Query4.Active() && !Query4.IsEmpty()) {
            const QString text =
                LoadAddressText(Query1, Query4.FieldByName(QStringLiteral("cid")).AsInteger(),
                                Query4.FieldByName(QStringLiteral("fid")).AsInteger(),
                                Query4.FieldByName(QStringLiteral("adr_id")).AsInteger(), History.GoodCid == 0);
            lblGoodPost->setText(text);
            lblGoodPost->setToolTip(text);
        } else {
            lblGoodPost->setText(QString());
        }
    } catch (...) {
        TApplication::HandleException();
    }
}

void TfrmMain::DataSource2DataChange()
{
    if (ui->pnlAllInfo->isHidden() || !Query5.Active() || Query5.IsEmpty())
        return;
    try {
        QString html;
        BuildFirmCardHtml(Query1, Query5.FieldByName(QStringLiteral("cid")).AsInteger(),
                          Query5.FieldByName(QStringLiteral("fid")).AsInteger(),
                          Query5.FieldByName(QStringLiteral("adr_id")).AsInteger(), true, &History,
                          TCardSections::All(), html, kMaxShownText);
        HTMLViewer1->LoadFromString(html);
    } catch (...) {
        TApplication::HandleException();
    }
    // The grid repaints the rows the move touched by itself; repainting all
    // of it for every card would double the cost of a move.
    HTMLViewer1->viewport()->update();
}

void TfrmMain::OpenPriceOfRow(TDataSet &query, bool withGood)
{
    if (!query.Active() || query.IsEmpty())
        return;
    OpenFirmPrice(query.FieldByName(QStringLiteral("cid")).AsInteger(),
                  query.FieldByName(QStringLiteral("fid")).AsInteger(),
                  query.FieldByName(QStringLiteral("adr_id")).AsInteger(),
                  withGood ? query.FieldByName(QStringLiteral("id")).AsLargeInt() : 0);
}

void TfrmMain::OpenPhonesOfRow(TCustomDBGrid *grid, TDataSet &query, bool withGood)
{
    if (!IsNetwork || !query.Active() || query.IsEmpty())
        return;
    grid->MarkedRows().SetCurrentRowMarked(true);
    OpenFirmPhones(query.FieldByName(QStringLiteral("cid")).AsInteger(),
                   query.FieldByName(QStringLiteral("fid")).AsInteger(),
                   query.FieldByName(QStringLiteral("adr_id")).AsInteger(),
                   withGood ? query.FieldByName(QStringLiteral("id")).AsLargeInt() : 0);
}

void TfrmMain::DBGrid1DblClick()
{
    OpenPriceOfRow(Query4, true);
}

void TfrmMain::DBGrid2DblClick()
{
    OpenPriceOfRow(Query5, false);
}

void TfrmMain::DBGrid1KeyDown(int &key, TShiftState)
{
    if (key == VK_RETURN)
        DBGrid1DblClick();
    else if (key == VK_SPACE)
        OpenPhonesOfRow(DBGrid1, Query4, true);
}

void TfrmMain::DBGrid2KeyDown(int &key, TShiftState)
{
    if (key == VK_RETURN)
        DBGrid2DblClick();
    else if (key == VK_SPACE)
        OpenPhonesOfRow(DBGrid2, Query5, false);
}

void TfrmMain::OpenFirmPrice(int cid, int fid, int adr_id, qint64 goodId)
{
    ShowFirmPrice(*this, cid, fid, adr_id, goodId);
}

void TfrmMain::OpenFirmPhones(int cid, int fid, int adr_id, qint64 goodId)
{
    ShowFirmPhones(Query1, cid, fid, adr_id, goodId);
}

void TfrmMain::DBText1MouseMove(TDBText *sender)
{
    // A value cut off by the label's width can be read in full in the hint.
    const QString text = sender->FieldText();
    if (sender->Hint() != text) {
        sender->SetHint(text);
        sender->SetShowHint(true);
    }
}
