#include "windows/main_catalogue.h"

#include "platform/dbctrls.h"
#include "platform/htmlview.h"
#include "services/pagerules.h"
#include "services/tools_viewer.h"
#include "services/vtbl.h"
#include "windows/price/firmcard.h"
#include "rununtil.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFragment>
#include <QTextLayout>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>

namespace {

// Records what a row asked to open instead of opening the windows.
class TRecordingMain : public TfrmMain
{
public:
    using TfrmMain::TfrmMain;
    QStringList opened;
    void OpenFirmPrice(int cid, int fid, int adr_id, qint64 goodId) override
    {
        opened << QStringLiteral("price %1 %2 %3 %4").arg(cid).arg(fid).arg(adr_id).arg(goodId);
    }
    void OpenFirmPhones(int cid, int fid, int adr_id, qint64 goodId) override
    {
        opened << QStringLiteral("phones %1 %2 %3 %4").arg(cid).arg(fid).arg(adr_id).arg(goodId);
    }
};

bool IsRed(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90;
}
bool IsTeal(QRgb c)
{
    return qRed(c) < 60 && qGreen(c) > 90 && qGreen(c) < 170 && qAbs(qGreen(c) - qBlue(c)) < 30;
}

int Count(const QImage &image, const QRect &rect, bool (*test)(QRgb))
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

class MainResults : public TSampleDeployment
{
protected:
    void SetUp() override
    {
        TSampleDeployment::SetUp();
        if (IsSkipped())
            return;
        w = std::make_unique<TRecordingMain>(AppDir());
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
        w->resize(1100, 750);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    void TearDown() override
    {
        w.reset();
        SetOpenDocumentHook({});
        TSampleDeployment::TearDown();
    }
    void FindGoods(const QString &name, const QString &enpr = QString())
    {
        Get<QComboBox>(*w, "cbFindGoodName")->setEditText(name);
        Get<QComboBox>(*w, "cbFindGoodEnprName")->setEditText(enpr);
        Click(Get<QPushButton>(*w, "btnFindGood"));
        QCoreApplication::processEvents();
    }
    void FindEnpr(const QString &name)
    {
        Select(*w, EnprRoot(*w));
        Get<QComboBox>(*w, "cbFindEnprName")->setEditText(name);
        Click(Get<QPushButton>(*w, "btnFindEnpr"));
        QCoreApplication::processEvents();
    }
    QString F(TDataSet &q, const char *name) { return q.FieldByName(QString::fromLatin1(name)).AsString(); }
    int I(TDataSet &q, const char *name) { return q.FieldByName(QString::fromLatin1(name)).AsInteger(); }
    // The card the builder gives for the current organisation, as text.
    QString ExpectedCard()
    {
        TZReadOnlyQuery q(&Peer(*w).ZConnection1());
        QString html;
        BuildFirmCardHtml(q, I(EnprRows(*w), "cid"), I(EnprRows(*w), "fid"), I(EnprRows(*w), "adr_id"), true,
                          &Peer(*w).History(), TCardSections::All(), html);
        QTextDocument doc;
        doc.setHtml(html);
        return doc.toPlainText();
    }
    QString Card() { return Get<QTextBrowser>(*w, "HTMLViewer1")->toPlainText(); }
    QImage Grab(TCustomDBGrid *grid) { return grid->viewport()->grab().toImage(); }
    // The cell of a data row (0 = first shown) and column.
    QRect Cell(TCustomDBGrid *grid, int row, int col)
    {
        return grid->CellRect(grid->DataToGridColumn(col), grid->TitleOffset() + row)
            .intersected(grid->viewport()->rect());
    }

    std::unique_ptr<TRecordingMain> w;
};

} // namespace

TEST_P(MainResults, GridsHaveTheirColumnsAndOptions)
{
    struct TCol {
        QString field, title;
        int width;
        TAlignment alignment;
    };
    const QList<QPair<TCustomDBGrid *, QList<TCol>>> grids = {
        {Get<TDBGrid>(*w, "DBGrid1"),
         {{QStringLiteral("sname"), QStringLiteral("товар/услуга"), 261, taLeftJustify},
          {QStringLiteral("sprice"), QStringLiteral("цена"), 108, taRightJustify},
          {QStringLiteral("ssfn"), QStringLiteral("организация"), 170, taLeftJustify}}},
        {Get<TDBGrid>(*w, "DBGrid2"),
         {{QStringLiteral("ssfn"), QStringLiteral("организация"), 180, taLeftJustify},
          {QStringLiteral("sallinfo"), QStringLiteral("адрес"), 115, taLeftJustify}}}};
    for (const auto &[grid, cols] : grids) {
        EXPECT_TRUE(grid->ReadOnly());
        EXPECT_EQ(grid->Options(), TDBGridOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines |
                                                  dgTabs | dgRowSelect | dgAlwaysShowSelection | dgConfirmDelete |
                                                  dgCancelOnExit | dgMultiSelect));
        ASSERT_EQ(grid->Columns().Count(), cols.size());
        for (int i = 0; i < cols.size(); ++i) {
            TColumn *c = grid->Columns()[i];
            EXPECT_EQ(c->FieldName(), cols[i].field);
            EXPECT_EQ(c->Title().Caption(), cols[i].title);
            EXPECT_EQ(c->Title().Alignment(), taCenter);
            EXPECT_EQ(c->Width(), cols[i].width) << "design width while nothing is open";
            EXPECT_EQ(c->Alignment(), cols[i].alignment);
        }
    }
    EXPECT_EQ(Get<TDBGrid>(*w, "DBGrid1")->DataSource(), &Peer(*w).DataSource1());
    EXPECT_EQ(Get<TDBGrid>(*w, "DBGrid2")->DataSource(), &Peer(*w).DataSource2());
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodStar")->text(), QStringLiteral("*"));
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodNote")->text(),
              QStringLiteral("- при ссылке на \"Гранвель\" - скидки. Подробнее в карточке организации."));
    EXPECT_FALSE(Get<QTextBrowser>(*w, "HTMLViewer1")->openLinks());
    EXPECT_FALSE(Get<QTextBrowser>(*w, "HTMLViewer1")->openExternalLinks());
}

TEST_P(MainResults, GoodsRowsGetTheirCalculatedFieldsOnlyWhenShown)
{
    // Counting the handler around the window's own.
    int calculated = 0;
    const TDataSetNotifyEvent own = GoodRows(*w).OnCalcFields;
    GoodRows(*w).OnCalcFields = [&](TDataSet &d) {
        ++calculated;
        own(d);
    };
    FindGoods(QStringLiteral("а"));
    ASSERT_GT(GoodRows(*w).RecordCount(), 200);
    EXPECT_LT(calculated, 100) << "only the rows the grid holds";

    TZReadOnlyQuery q(&Peer(*w).ZConnection1());
    for (int n = 0; n < 30 && !GoodRows(*w).Eof(); ++n, GoodRows(*w).Next()) {
        TDataSet &r = GoodRows(*w);
        const QString mark = I(r, "discount") == 1 ? QStringLiteral(" *") : QStringLiteral("  ");
        EXPECT_EQ(F(r, "sprice"), FormatPrice(F(r, "cur"), r.FieldByName(QStringLiteral("price")).AsFloat()) + mark);
        EXPECT_FALSE(F(r, "sname").contains(u'\n') || F(r, "sname").contains(u'\r'));
        EXPECT_EQ(F(r, "sname").simplified(), F(r, "name").simplified());
        EXPECT_EQ(F(r, "ssfn"), F(r, "sfn"));
        EXPECT_EQ(F(r, "wgroupname"), GetGroupName(I(r, "gid")));
        EXPECT_EQ(F(r, "wsupergroupname"), GetSuperGroupName(I(r, "gid")));
        EXPECT_EQ(F(r, "sphones"), LoadPhonesText(I(r, "cid"), I(r, "fid"), I(r, "adr_id"), q).left(255));
    }

    // The conversion shows rouble prices and recalculates the rows at once.
    GoodRows(*w).First();
    Get<QToolButton>(*w, "btnDollar")->click();
    EXPECT_TRUE(w->findChild<QAction *>(QStringLiteral("mnuDollar"))->isChecked());
    for (int n = 0; n < 30 && !GoodRows(*w).Eof(); ++n, GoodRows(*w).Next()) {
        TDataSet &r = GoodRows(*w);
        EXPECT_EQ(F(r, "sprice"),
                  FormatPrice(QStringLiteral("rubl"), r.FieldByName(QStringLiteral("price_rub")).AsFloat()) +
                      (I(r, "discount") == 1 ? QStringLiteral(" *") : QStringLiteral("  ")));
    }
    // The menu item toggles the button back.
    w->findChild<QAction *>(QStringLiteral("mnuDollar"))->trigger();
    EXPECT_FALSE(Get<QToolButton>(*w, "btnDollar")->isChecked());
    GoodRows(*w).First();
    EXPECT_EQ(F(GoodRows(*w), "sprice").chopped(2),
              FormatPrice(F(GoodRows(*w), "cur"), GoodRows(*w).FieldByName(QStringLiteral("price")).AsFloat()));
}

TEST_P(MainResults, AddressLinesShowTheCityOnlyForSearchesOverAllCities)
{
    TZReadOnlyQuery q(&Peer(*w).ZConnection1());
    FindGoods(QStringLiteral("а"));
    ASSERT_EQ(Peer(*w).History().GoodCid, 0);
    auto goodAddress = [&](bool withCity) {
        return LoadAddressText(q, I(GoodRows(*w), "cid"), I(GoodRows(*w), "fid"), I(GoodRows(*w), "adr_id"), withCity);
    };
    // The rows come in random order; some addresses lack their street or
    // district row and read as the bare city prefix.
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodPost")->text(), goodAddress(true));
    while (!GoodRows(*w).Eof() && goodAddress(false).isEmpty())
        GoodRows(*w).Next();
    ASSERT_FALSE(GoodRows(*w).Eof()) << "no row with a whole address";
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodPost")->text(), goodAddress(true));
    EXPECT_TRUE(Get<QLabel>(*w, "lblGoodPost")->text().startsWith(QStringLiteral("г. ")));
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodPost")->toolTip(), Get<QLabel>(*w, "lblGoodPost")->text());
    GoodRows(*w).First();
    while (!GoodRows(*w).Eof() && !goodAddress(false).isEmpty())
        GoodRows(*w).Next();
    ASSERT_FALSE(GoodRows(*w).Eof()) << "no row with a broken address";
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodPost")->text(), QStringLiteral("г."));

    Select(*w, City(GoodRoot(*w), 343));
    FindGoods(QStringLiteral("а"));
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodPost")->text(), goodAddress(false));
    EXPECT_FALSE(Get<QLabel>(*w, "lblGoodPost")->text().startsWith(QStringLiteral("г. ")));
    // The detail labels follow the row.
    EXPECT_EQ(Get<TDBText>(*w, "DBText1")->text(), F(GoodRows(*w), "sname"));
    EXPECT_EQ(Get<TDBText>(*w, "DBText7")->text(), F(GoodRows(*w), "sphones"));
    EXPECT_EQ(Get<TDBText>(*w, "DBText6")->text(), F(GoodRows(*w), "wgroupname"));

    FindGoods(QStringLiteral("ъъъщщщ"));
    EXPECT_EQ(Get<QLabel>(*w, "lblGoodPost")->text(), QString());

    FindEnpr(QStringLiteral("а"));
    EXPECT_EQ(F(EnprRows(*w), "sallinfo"),
              FormatAddress(F(EnprRows(*w), "city_name"), F(EnprRows(*w), "street_name"),
                            F(EnprRows(*w), "street_type"), F(EnprRows(*w), "house"), F(EnprRows(*w), "lit"),
                            F(EnprRows(*w), "office"), F(EnprRows(*w), "ext"), F(EnprRows(*w), "name_big"), true)
                  .left(255));
    EXPECT_EQ(Get<TDBText>(*w, "DBText4")->text(), F(EnprRows(*w), "sallinfo"));
    Select(*w, City(EnprRoot(*w), 351));
    Click(Get<QPushButton>(*w, "btnFindEnpr"));
    EXPECT_FALSE(F(EnprRows(*w), "sallinfo").startsWith(QStringLiteral("г. ")));
}

TEST_P(MainResults, CardFollowsTheOrganisationRowWhileItsPanelIsShown)
{
    FindEnpr(QStringLiteral("а"));
    ASSERT_GT(EnprRows(*w).RecordCount(), 3);
    EXPECT_EQ(Card(), ExpectedCard());
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid2"), Qt::Key_Down);
    EXPECT_EQ(EnprRows(*w).RecNo(), 2);
    EXPECT_EQ(Card(), ExpectedCard());

    // Hidden: moving builds nothing; shown again: the current row's card.
    Get<QToolButton>(*w, "btnFullRecv")->click();
    EXPECT_TRUE(Get<QWidget>(*w, "pnlAllInfo")->isHidden());
    EXPECT_FALSE(w->findChild<QAction *>(QStringLiteral("mnuFullRecv"))->isChecked());
    const QString kept = Card();
    // The rows come in random order: move on to one whose card differs.
    do
        EnprRows(*w).Next();
    while (!EnprRows(*w).Eof() && ExpectedCard() == kept);
    ASSERT_NE(ExpectedCard(), kept) << "every organisation has the same card";
    const int row = EnprRows(*w).RecNo();
    const auto key = [&] {
        return QStringLiteral("%1/%2/%3")
            .arg(I(EnprRows(*w), "cid"))
            .arg(I(EnprRows(*w), "fid"))
            .arg(I(EnprRows(*w), "adr_id"));
    };
    const QString organisation = key();
    EXPECT_EQ(Card(), kept);
    w->findChild<QAction *>(QStringLiteral("mnuFullRecv"))->trigger();
    EXPECT_FALSE(Get<QWidget>(*w, "pnlAllInfo")->isHidden());
    EXPECT_TRUE(Get<QToolButton>(*w, "btnFullRecv")->isChecked());
    EXPECT_EQ(EnprRows(*w).RecNo(), row) << "the refresh keeps the row";
    EXPECT_EQ(key(), organisation) << "and the organisation on it";
    EXPECT_EQ(Card(), ExpectedCard());
}

TEST_P(MainResults, TitleClickSortsByTheColumnAndTheHistoryKeepsIt)
{
    FindGoods(QStringLiteral("а"));
    // A click on the price title, with dollar and euro prices among the rows.
    const QRect title = Get<TDBGrid>(*w, "DBGrid1")->CellRect(Get<TDBGrid>(*w, "DBGrid1")->DataToGridColumn(1), 0);
    QTest::mouseClick(Get<TDBGrid>(*w, "DBGrid1")->viewport(), Qt::LeftButton, {}, title.center());
    EXPECT_EQ(Peer(*w).History().GoodSortCol, 1);
    EXPECT_EQ(Peer(*w).History().GoodOrderBy, QStringLiteral(" order by  a.price_rub "));
    EXPECT_EQ(GoodRows(*w).SQL(), Peer(*w).History().GoodSql + Peer(*w).History().GoodOrderBy);
    double last = -1;
    for (int n = 0; n < 200 && !GoodRows(*w).Eof(); ++n, GoodRows(*w).Next()) {
        const double rub = GoodRows(*w).FieldByName(QStringLiteral("price_rub")).AsFloat();
        EXPECT_GE(rub, last);
        last = rub;
    }

    // The sort column's title looks pressed: its top edge in the shadow colour.
    Get<TDBGrid>(*w, "DBGrid1")->viewport()->repaint();
    const QImage image = Grab(Get<TDBGrid>(*w, "DBGrid1"));
    const auto top = [&](int col) {
        return image.pixel(
            Get<TDBGrid>(*w, "DBGrid1")->CellRect(Get<TDBGrid>(*w, "DBGrid1")->DataToGridColumn(col), 0).center().x(),
            0);
    };
    EXPECT_EQ(top(1), clBtnShadow().rgb());
    EXPECT_EQ(top(0), clBtnHighlight().rgb());
    EXPECT_EQ(top(2), clBtnHighlight().rgb());

    FindEnpr(QStringLiteral("а"));
    TDBGrid *grid2 = Get<TDBGrid>(*w, "DBGrid2");
    QTest::mouseClick(grid2->viewport(), Qt::LeftButton, {}, grid2->CellRect(grid2->DataToGridColumn(1), 0).center());
    EXPECT_EQ(Peer(*w).History().EnprSortCol, 1);
    EXPECT_EQ(EnprRows(*w).SQL(), Peer(*w).History().EnprSql + QStringLiteral(" order by  a.order_post "));
    // Back to the goods view: its sort came along.
    Click(Get<QToolButton>(*w, "btnBack"));
    EXPECT_EQ(Peer(*w).History().GoodSortCol, 1);
    EXPECT_EQ(GoodRows(*w).SQL(), Peer(*w).History().GoodSql + QStringLiteral(" order by  a.price_rub "));
}

TEST_P(MainResults, RowsOpenThePriceListAndTheTelephones)
{
    // Empty grids: nothing opens.
    FindGoods(QStringLiteral("ъъъщщщ"));
    Get<TDBGrid>(*w, "DBGrid1")->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space})
        QTest::keyClick(Get<TDBGrid>(*w, "DBGrid1"), key);
    QTest::mouseDClick(Get<TDBGrid>(*w, "DBGrid1")->viewport(), Qt::LeftButton, {},
                       Cell(Get<TDBGrid>(*w, "DBGrid1"), 0, 0).center());
    EXPECT_TRUE(w->opened.isEmpty());

    FindGoods(QStringLiteral("а"));
    const QString row = QStringLiteral("%1 %2 %3")
                            .arg(I(GoodRows(*w), "cid"))
                            .arg(I(GoodRows(*w), "fid"))
                            .arg(I(GoodRows(*w), "adr_id"));
    const QString id = F(GoodRows(*w), "id");
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid1"), Qt::Key_Return);
    QTest::mouseDClick(Get<TDBGrid>(*w, "DBGrid1")->viewport(), Qt::LeftButton, {},
                       Cell(Get<TDBGrid>(*w, "DBGrid1"), 0, 0).center());
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid1"), Qt::Key_Space);
    QStringList expected = {QStringLiteral("price ") + row + u' ' + id, QStringLiteral("price ") + row + u' ' + id};
    // Space is the network version's: it marks the row and lists its telephones.
    if (GetParam())
        expected << QStringLiteral("phones ") + row + u' ' + id;
    EXPECT_EQ(w->opened, expected);
    EXPECT_EQ(Get<TDBGrid>(*w, "DBGrid1")->MarkedRows().MarkedCount(), GetParam() ? 1 : 0);

    w->opened.clear();
    FindEnpr(QStringLiteral("а"));
    const QString enpr = QStringLiteral("%1 %2 %3 0")
                             .arg(I(EnprRows(*w), "cid"))
                             .arg(I(EnprRows(*w), "fid"))
                             .arg(I(EnprRows(*w), "adr_id"));
    Get<TDBGrid>(*w, "DBGrid2")->setFocus();
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid2"), Qt::Key_Return);
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid2"), Qt::Key_Space);
    expected = {QStringLiteral("price ") + enpr};
    if (GetParam())
        expected << QStringLiteral("phones ") + enpr;
    EXPECT_EQ(w->opened, expected);
    EXPECT_EQ(Get<TDBGrid>(*w, "DBGrid2")->MarkedRows().MarkedCount(), GetParam() ? 1 : 0);
}

TEST_P(MainResults, TypedWordsAndDiscountMarksAreRed)
{
    Get<QCheckBox>(*w, "edFindGoodDiscount")->setChecked(true);
    FindGoods(QStringLiteral("а"));
    Get<QCheckBox>(*w, "edFindGoodDiscount")->setChecked(false);
    ASSERT_GT(GoodRows(*w).RecordCount(), 2);
    // Short names first, so that the word is inside the cell whatever the
    // random order would have put there.
    GoodRows(*w).Close();
    GoodRows(*w).SetSQL(Peer(*w).History().GoodSql + QStringLiteral(" order by length(a.name), a.id"));
    GoodRows(*w).Open();
    QCoreApplication::processEvents();
    QImage image = Grab(Get<TDBGrid>(*w, "DBGrid1"));
    // Rows 1 and 2 (not the selected first one): the word in the name and
    // the star of the price in red.
    for (int row : {1, 2}) {
        EXPECT_GT(Count(image, Cell(Get<TDBGrid>(*w, "DBGrid1"), row, 0), IsRed), 0) << row;
        EXPECT_GT(Count(image, Cell(Get<TDBGrid>(*w, "DBGrid1"), row, 1), IsRed), 0) << row;
    }

    // A view not typed by the user (as from the tree): no words, the stars
    // still red.
    Peer(*w).History().ByUser = false;
    Get<TDBGrid>(*w, "DBGrid1")->viewport()->repaint();
    image = Grab(Get<TDBGrid>(*w, "DBGrid1"));
    for (int row : {1, 2}) {
        EXPECT_EQ(Count(image, Cell(Get<TDBGrid>(*w, "DBGrid1"), row, 0), IsRed), 0) << row;
        EXPECT_GT(Count(image, Cell(Get<TDBGrid>(*w, "DBGrid1"), row, 1), IsRed), 0) << row;
    }

    // Without a discount the price column shows no red.
    Peer(*w).History().ByUser = true;
    FindGoods(QStringLiteral("а"));
    image = Grab(Get<TDBGrid>(*w, "DBGrid1"));
    const int current = Get<TDBGrid>(*w, "DBGrid1")->DataLink().ActiveRecord();
    for (int row = 1; row < Get<TDBGrid>(*w, "DBGrid1")->DataLink().RecordCount(); ++row) {
        Get<TDBGrid>(*w, "DBGrid1")->DataLink().SetActiveRecord(row);
        EXPECT_EQ(Count(image, Cell(Get<TDBGrid>(*w, "DBGrid1"), row, 1), IsRed) > 0, I(GoodRows(*w), "discount") == 1)
            << row;
    }
    Get<TDBGrid>(*w, "DBGrid1")->DataLink().SetActiveRecord(current);
}

TEST_P(MainResults, OrganisationColoursOnTheNetworkVersion)
{
    FindEnpr(QStringLiteral("а"));
    if (GetParam()) {
        // The teal organisations first.
        EnprRows(*w).Close();
        EnprRows(*w).SetSQL(Peer(*w).History().EnprSql + QStringLiteral(" order by org=1 desc, a.sfn"));
        EnprRows(*w).Open();
        QCoreApplication::processEvents();
    }
    const QImage image = Grab(Get<TDBGrid>(*w, "DBGrid2"));
    int coloured = 0;
    const int current = Get<TDBGrid>(*w, "DBGrid2")->DataLink().ActiveRecord();
    for (int row = 1; row < Get<TDBGrid>(*w, "DBGrid2")->DataLink().RecordCount(); ++row) {
        Get<TDBGrid>(*w, "DBGrid2")->DataLink().SetActiveRecord(row);
        const int org = GetParam() ? I(EnprRows(*w), "org") : 0;
        coloured += org == 1;
        // The address column holds no typed word: its text keeps the row's colour.
        EXPECT_EQ(Count(image, Cell(Get<TDBGrid>(*w, "DBGrid2"), row, 1), IsTeal) > 0, org == 1) << row;
    }
    Get<TDBGrid>(*w, "DBGrid2")->DataLink().SetActiveRecord(current);
    EXPECT_EQ(coloured > 0, GetParam());
}

TEST_P(MainResults, MarkedRowsKeepTheHighlightReadable)
{
    // Rows 1 and 2 marked with Ctrl+click; row 1 is marked but not current.
    const auto mark = [&](TDBGrid *grid) {
        for (int row : {1, 2})
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, Cell(grid, row, 0).center());
        ASSERT_EQ(grid->MarkedRows().MarkedCount(), 2);
        grid->viewport()->repaint();
    };
    const auto isHighlightText = [](QRgb c) { return QColor(c) == clHighlightText(); };

    FindEnpr(QStringLiteral("а"));
    TDBGrid *grid2 = Get<TDBGrid>(*w, "DBGrid2");
    TZReadOnlyQuery &firms = EnprRows(*w);
    if (GetParam()) {
        firms.Close();
        firms.SetSQL(Peer(*w).History().EnprSql + QStringLiteral(" order by org=1 desc, a.sfn"));
        firms.Open();
        QCoreApplication::processEvents();
        firms.MoveBy(1);
        ASSERT_EQ(I(firms, "org"), 1) << "a teal organisation in row 1";
        firms.First();
    }
    mark(grid2);
    SaveShot(w.get(), GetParam() ? QStringLiteral("marked-firms-network") : QStringLiteral("marked-firms-local"));
    QImage image = Grab(grid2);
    // The address column holds no typed word: the marked row's text is the
    // highlight's, never teal.
    EXPECT_EQ(Count(image, Cell(grid2, 1, 1), IsTeal), 0);
    EXPECT_GT(Count(image, Cell(grid2, 1, 1), isHighlightText), 0);

    // Goods with discounts: the red star of a marked row stands on a light
    // ground, not on the highlight's colour.
    Get<QCheckBox>(*w, "edFindGoodDiscount")->setChecked(true);
    FindGoods(QStringLiteral("а"));
    Get<QCheckBox>(*w, "edFindGoodDiscount")->setChecked(false);
    TDBGrid *grid1 = Get<TDBGrid>(*w, "DBGrid1");
    ASSERT_GT(GoodRows(*w).RecordCount(), 2);
    mark(grid1);
    SaveShot(w.get(), GetParam() ? QStringLiteral("marked-goods-network") : QStringLiteral("marked-goods-local"));
    image = Grab(grid1);
    for (int row : {1, 2}) {
        const QRect cell = Cell(grid1, row, 1);
        int red = 0;
        int onLight = 0;
        for (int y = cell.top() + 1; y < cell.bottom(); ++y)
            for (int x = cell.left() + 1; x < cell.right(); ++x) {
                if (!IsRed(image.pixel(x, y)))
                    continue;
                ++red;
                bool light = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        light = light || qGray(image.pixel(x + dx, y + dy)) > 200;
                onLight += light;
            }
        EXPECT_GT(red, 0) << row;
        EXPECT_GT(onLight * 2, red) << row << ": most of the star borders a light ground";
        EXPECT_GT(Count(image, cell, [](QRgb c) { return QColor(c) == clHighlight(); }), 0) << row << " is highlighted";
    }
}

TEST_P(MainResults, DetailLabelHintsShowTheWholeValue)
{
    FindGoods(QStringLiteral("а"));
    TDBText *label = Get<TDBText>(*w, "DBText1");
    EXPECT_FALSE(label->ShowHint());
    QMouseEvent move(QEvent::MouseMove, QPointF(4, 4), label->mapToGlobal(QPointF(4, 4)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(label, &move);
    EXPECT_TRUE(label->ShowHint());
    EXPECT_EQ(label->toolTip(), F(GoodRows(*w), "sname"));
    GoodRows(*w).Next();
    QCoreApplication::sendEvent(label, &move);
    EXPECT_EQ(label->toolTip(), F(GoodRows(*w), "sname"));
}

TEST_P(MainResults, ResizingKeepsTheStretchingColumnsInProportion)
{
    FindGoods(QStringLiteral("а"));
    w->resize(1300, 750);
    QCoreApplication::processEvents();
    const TDBGridColumns &c = Get<TDBGrid>(*w, "DBGrid1")->Columns();
    EXPECT_EQ(c[1]->Width(), 108);
    EXPECT_NEAR(double(c[0]->Width()) / c[2]->Width(), 261.0 / 170.0, 0.02);
    EXPECT_GT(c[0]->Width(), 261);
}

// A firm whose name is one word of a million letters: the card beside the
// grid shows its beginning at once instead of laying the word out whole.
TEST_P(MainResults, AHugeFirmNameFillsTheCardAtOnce)
{
    if (GetParam())
        GTEST_SKIP() << "the firm is added to the local catalogue's copy";
    const QString name = QStringLiteral("Длинноимённая") + QString(1000000, u'Ж');
    Exec(QStringLiteral("insert into address values (343,990001,1,'") + name +
         QStringLiteral("',1,26,'5','','','','Тест 0005','x')"));
    Exec(QStringLiteral("insert into firm values (343,990001,0,'2026-01-10 00:00:00','2026-02-01 00:00:00',0)"));
    Select(*w, City(EnprRoot(*w), 343));
    Get<QComboBox>(*w, "cbFindEnprName")->setEditText(QStringLiteral("Длинноимённая"));
    auto *view = Get<QTextBrowser>(*w, "HTMLViewer1");
    QElapsedTimer timer;
    timer.start();
    Click(Get<QPushButton>(*w, "btnFindEnpr"));
    view->document()->documentLayout()->documentSize();
    QCoreApplication::processEvents();
    ASSERT_EQ(EnprRows(*w).RecordCount(), 1);
    // Generous for a loaded machine; laying out the whole name takes far longer.
    EXPECT_LT(timer.elapsed(), 5000) << "the search, the grid and the card";
    EXPECT_TRUE(Card().contains(name.left(kMaxShownText))) << Card().left(100).toStdString();
    EXPECT_LT(Card().size(), 10000);
}

// The card's labels each stand whole on one line, at the smallest window and
// at a large one.
TEST_P(MainResults, CardLabelsStandWholeOnOneLineAtEverySize)
{
    const QStringList kLabels = {QStringLiteral("Вид деятельности"),
                                 QStringLiteral("Скидки, распродажи"),
                                 QStringLiteral("Телефоны"),
                                 QStringLiteral("Персонал"),
                                 QStringLiteral("Адрес"),
                                 QStringLiteral("Виртуальные адреса"),
                                 QStringLiteral("Равноправные подразделения"),
                                 QStringLiteral("Время работы"),
                                 QStringLiteral("Дата измен. информации"),
                                 QStringLiteral("Дата измен. прайс-листа")};
    FindEnpr(QStringLiteral("а"));
    ASSERT_GT(EnprRows(*w).RecordCount(), 0);
    auto *view = Get<QTextBrowser>(*w, "HTMLViewer1");
    for (const QSize size : {w->minimumSize(), QSize(1600, 1000)}) {
        SCOPED_TRACE(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()).toStdString());
        w->resize(size);
        ASSERT_TRUE(testbus::RunUntil([&] { return w->size() == size; }));
        // The labels found whole on one line, and those broken, once the
        // card has been laid out at the viewer's width.
        QStringList whole, broken;
        const auto look = [&] {
            whole.clear();
            broken.clear();
            QTextDocument *doc = view->document();
            if (qAbs(doc->textWidth() - view->viewport()->width()) > 1)
                return false; // not resized yet
            for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
                doc->documentLayout()->blockBoundingRect(block); // lays it out
                for (auto it = block.begin(); !it.atEnd(); ++it) {
                    const QTextFragment f = it.fragment();
                    if (f.charFormat().fontWeight() < QFont::Bold || !kLabels.contains(f.text()))
                        continue;
                    const int start = f.position() - block.position();
                    const QTextLine line = block.layout()->lineForTextPosition(start);
                    const bool one = line.isValid() && start + f.length() <= line.textStart() + line.textLength();
                    (one ? whole : broken) << f.text();
                }
            }
            return whole.size() >= 3 && broken.isEmpty();
        };
        testbus::RunUntil(look);
        EXPECT_GE(whole.size(), 3) << whole.join(u'|').toStdString();
        EXPECT_TRUE(broken.isEmpty()) << broken.join(u'|').toStdString();
        if (qEnvironmentVariableIsSet("TREVIN_SHOT"))
            w->grab().save(QStringLiteral("/tmp/card_%1.png").arg(size.width()));
    }
}

INSTANTIATE_TEST_SUITE_P(Deployments, MainResults, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

// --- view switches and the card viewer: deployment-independent -------------------

class MainView : public MainResults
{};

TEST_P(MainView, SwitchesKeepMenuAndButtonInStep)
{
    QAction *menu = w->findChild<QAction *>(QStringLiteral("mnuToolBar"));
    auto *bar = Get<QToolBar>(*w, "ToolBar1");
    for (QToolButton *b : {Get<QToolButton>(*w, "btnToolBar"), Get<QToolButton>(*w, "btnStatusBar"),
                           Get<QToolButton>(*w, "btnRichStr"), Get<QToolButton>(*w, "btnFullRecv")})
        EXPECT_TRUE(b->isChecked()) << b->objectName().toStdString();
    EXPECT_FALSE(Get<QToolButton>(*w, "btnDollar")->isChecked());
    EXPECT_EQ(Get<QToolButton>(*w, "btnDollar")->toolTip(), QStringLiteral("Конвертация валюты"));

    Get<QToolButton>(*w, "btnToolBar")->click();
    EXPECT_TRUE(bar->isHidden());
    EXPECT_FALSE(menu->isChecked());
    menu->trigger();
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(Get<QToolButton>(*w, "btnToolBar")->isChecked());

    Get<QToolButton>(*w, "btnStatusBar")->click();
    EXPECT_TRUE(Get<QWidget>(*w, "StatusBar1")->isHidden());
    EXPECT_FALSE(w->findChild<QAction *>(QStringLiteral("mnuStatusBar"))->isChecked());
    w->findChild<QAction *>(QStringLiteral("mnuStatusBar"))->trigger();
    EXPECT_FALSE(Get<QWidget>(*w, "StatusBar1")->isHidden());
    EXPECT_TRUE(Get<QToolButton>(*w, "btnStatusBar")->isChecked());

    // The detail lines belong to a result: off with the sub-list.
    EXPECT_FALSE(Get<QToolButton>(*w, "btnRichStr")->isEnabled());
    Get<QComboBox>(*w, "cbFindGoodName")->setEditText(QStringLiteral("а"));
    Click(Get<QPushButton>(*w, "btnFindGood"));
    w->findChild<QAction *>(QStringLiteral("mnuRichStr"))->trigger();
    EXPECT_TRUE(Get<QWidget>(*w, "pnlGoodRichStr")->isHidden());
    EXPECT_TRUE(Get<QWidget>(*w, "pnlEnprRichStr")->isHidden());
    EXPECT_FALSE(Get<QToolButton>(*w, "btnRichStr")->isChecked());
    Get<QToolButton>(*w, "btnRichStr")->click();
    EXPECT_FALSE(Get<QWidget>(*w, "pnlGoodRichStr")->isHidden());
    EXPECT_TRUE(w->findChild<QAction *>(QStringLiteral("mnuRichStr"))->isChecked());
}

TEST_P(MainView, CardViewerSelectsCopiesAndHandsLinksOn)
{
    QList<QUrl> opened;
    SetOpenDocumentHook([&](const QUrl &url) { opened << url; });
    FindEnpr(QStringLiteral("а"));
    // The menu opens where the user right-clicks the card.
    const auto popup = [&] {
        QWidget *viewport = Get<QTextBrowser>(*w, "HTMLViewer1")->viewport();
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), viewport->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(viewport, &event);
        QMenu *menu = Get<QMenu>(*w, "PopupMenu1");
        EXPECT_TRUE(menu->isVisible());
        menu->hide();
    };
    popup();
    EXPECT_FALSE(Get<QAction>(*w, "mnuCopyToClipboard")->isEnabled());
    Get<QAction>(*w, "N6")->trigger();
    popup();
    EXPECT_TRUE(Get<QAction>(*w, "mnuCopyToClipboard")->isEnabled());
    QGuiApplication::clipboard()->clear();
    Get<QAction>(*w, "mnuCopyToClipboard")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Card());

    // Ctrl+Shift+C copies like Ctrl+C.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(Get<QTextBrowser>(*w, "HTMLViewer1"), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), Card());

    // Ctrl+A from the keyboard selects everything as well.
    Get<QTextBrowser>(*w, "HTMLViewer1")->moveCursor(QTextCursor::Start);
    QTest::keyClick(Get<QTextBrowser>(*w, "HTMLViewer1"), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Get<QTextBrowser>(*w, "HTMLViewer1")->textCursor().selection().toPlainText(), Card());

    emit Get<QTextBrowser>(*w, "HTMLViewer1")->anchorClicked(QUrl(QStringLiteral("http://www.example.ru")));
    emit Get<QTextBrowser>(*w, "HTMLViewer1")->anchorClicked(QUrl(QStringLiteral("mailto:info@example.ru")));
    emit Get<QTextBrowser>(*w, "HTMLViewer1")->anchorClicked(QUrl(QStringLiteral("filial_343_5_2")));
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl(QStringLiteral("http://www.example.ru")));
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("mailto:info@example.ru")));
    EXPECT_EQ(w->opened, QStringList{QStringLiteral("price 343 5 2 0")}) << "a branch link opens its firm window";
}

INSTANTIATE_TEST_SUITE_P(Local, MainView, ::testing::Values(false));
