#include "windows/main_catalogue.h"

#include "components/PreviewForm.h"
#include "components/Progress.h"
#include "components/givLabel.h"
#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/metafileprinter.h"
#include "platform/printers.h"
#include "services/tools_viewer.h"
#include "windows/price/firmcard.h"
#include "windows/price/price.h"
#include "windows/printset.h"
#include "pdfpages.h"

#include <QGroupBox>
#include <QLocale>
#include <QMap>
#include <QPrinter>
#include <QRadioButton>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <optional>

#include <unistd.h>

namespace {

const QString kHead =
    QStringLiteral("<table border=0 width=\"100%\" bgcolor=gray cellpadding=1 cellspacing=1><tr bgcolor=white>"
                   "<td align=center valign=top><b>Товар/Услуга</b></td><td align=center valign=top><b>Цена</b></td>"
                   "<td align=center valign=top><b>Организация</b></td><td align=center valign=top><b>Адрес</b></td>"
                   "<td align=center valign=top><b>Телефон</b></td></tr>");
// A check box or radio button takes clicks on its box and text only.
void ClickBox(QAbstractButton *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2));
}

const QString kRowStart = QStringLiteral("<tr bgcolor=white><td valign=top>");

QByteArray Bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool HardLink(const QString &from, const QString &to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// What one command showed on its way.
struct TSeen {
    bool dialog = false;
    QStringList progress; // the progress texts after the first, each once
    int saveDialogs = 0;
    int printDialogs = 0;
    QString preview;     // the previewed page as text
    QStringList laidOut; // the text of each page a print laid out
};

class MainPrint : public TSampleDeployment
{
protected:
    void SetUp() override
    {
        TSampleDeployment::SetUp();
        if (IsSkipped())
            return;
        m_locale = QLocale();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        SetTodayHook([] { return QDate(2026, 12, 9); });
        w = Start();
        ASSERT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
        w->resize(1100, 750);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    void TearDown() override
    {
        w.reset();
        SetSaveDialogHook({});
        SetPrintDialogHook({});
        QLocale::setDefault(m_locale);
        TSampleDeployment::TearDown();
    }
    bool Local() const { return !GetParam(); }
    QString Out() const { return Path(QStringLiteral("out.htm")); }
    QString Saved(const QString &path = QString())
    {
        QFile f(path.isEmpty() ? Out() : path);
        return f.open(QIODevice::ReadOnly) ? FromCp1251(f.readAll()) : QString();
    }
    // Enter on the goods row opens its firm window, where the user saves
    // the card with "Сохранить в файл" (to saveTo) or prints it to a file
    // (printTo) and leaves with Esc; false when no firm window came up.
    bool FromFirmWindow(const char *button)
    {
        SetSaveDialogHook([this](TSaveDialog &d) {
            d.FileName = saveTo;
            return true;
        });
        SetPrintDialogHook([this](TPrintDialog &) {
            Printer()->setOutputFormat(QPrinter::PdfFormat);
            Printer()->setOutputFileName(printTo);
            return true;
        });
        const bool done = EnterOnGrid(*w, "DBGrid1", [button](TfrmPrice &price) {
            Click(price.findChild<QToolButton *>(QString::fromLatin1(button)));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &price, Qt::Key_Escape);
        });
        SetSaveDialogHook({});
        SetPrintDialogHook({});
        return done && QApplication::activeModalWidget() == nullptr;
    }

    void FindGoods(const QString &name)
    {
        Select(*w, GoodRoot(*w));
        Get<QComboBox>(*w, "cbFindGoodName")->setEditText(name);
        Get<QComboBox>(*w, "cbFindGoodEnprName")->setEditText(QString());
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
    void SortBy(const char *grid, int col)
    {
        auto *g = Get<TDBGrid>(*w, grid);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->CellRect(g->DataToGridColumn(col), 0).center());
    }
    void MarkRow(const char *grid, int row)
    {
        auto *g = Get<TDBGrid>(*w, grid);
        const QRect cell = g->CellRect(g->DataToGridColumn(0), g->TitleOffset() + row);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, Qt::ControlModifier, cell.center());
    }

    // Runs one command from its tool button (or menu item). dialog answers
    // the print settings; cancelAt stops the progress window when it shows
    // that count.
    TSeen Run(const char *command, const std::function<void(TfrmPrintSet &)> &dialog, int cancelAt = 0)
    {
        TSeen seen;
        QFile::remove(Out());
        SetSaveDialogHook([&](TSaveDialog &d) {
            ++seen.saveDialogs;
            d.FileName = saveTo.isEmpty() ? Out() : saveTo;
            return true;
        });
        SetPrintDialogHook([&](TPrintDialog &) {
            ++seen.printDialogs;
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *form = qobject_cast<TPreviewForm *>(widget))
                    seen.laidOut = LaidOutPageTexts(form->Pages());
            Printer()->setOutputFormat(QPrinter::PdfFormat);
            Printer()->setOutputFileName(printTo.isEmpty() ? Path(QStringLiteral("out.pdf")) : printTo);
            return true;
        });
        // Looks in after every event processing, the job's own included:
        // each pass queues the next.
        bool running = true;
        // Clicked once, as a user does: every click starts the window's
        // closing timer again, so clicking on each pass would keep it open.
        bool cancelled = false;
        std::function<void()> look;
        look = [&] {
            if (!running)
                return;
            QMetaObject::invokeMethod(qApp, look, Qt::QueuedConnection);
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *set = qobject_cast<TfrmPrintSet *>(modal); set && set->isVisible() && !seen.dialog) {
                seen.dialog = true;
                dialog(*set);
            } else if (auto *progress = qobject_cast<TfrmProgress *>(modal)) {
                const QString text = progress->givHTMLabel1->Lines().join(u'\n');
                if (text != QStringLiteral("Подготовка данных...") &&
                    seen.progress.value(seen.progress.size() - 1) != text)
                    seen.progress << text;
                if (cancelAt > 0 && !cancelled &&
                    text == QStringLiteral("Обработано записей - ") + QString::number(cancelAt)) {
                    cancelled = true;
                    Click(progress->Button1);
                }
            } else if (auto *preview = qobject_cast<TPreviewForm *>(modal); preview && preview->isVisible()) {
                seen.preview = preview->Pages().Document()->toPlainText();
                SaveShot(preview,
                         Local() ? QStringLiteral("goods-preview-local") : QStringLiteral("goods-preview-network"));
                preview->close();
            }
        };
        look();
        if (QAction *item = w->findChild<QAction *>(QString::fromLatin1(command)))
            item->trigger();
        else
            Click(Get<QToolButton>(*w, command));
        running = false;
        QCoreApplication::sendPostedEvents();
        SetSaveDialogHook({});
        SetPrintDialogHook({});
        return seen;
    }
    static void Ok(TfrmPrintSet &f) { Click(f.BitBtn1); }
    static std::function<void(TfrmPrintSet &)> Scope(const char *button)
    {
        return [button](TfrmPrintSet &f) {
            ClickBox(f.findChild<QRadioButton *>(QString::fromLatin1(button)));
            Click(f.BitBtn1);
        };
    }

    // The goods row the builder gives for the result row at recNo (1-based).
    QString GoodRow(int recNo)
    {
        TZReadOnlyQuery &rows = GoodRows(*w);
        const int keep = rows.RecNo();
        rows.SetRecNo(recNo);
        TZReadOnlyQuery q(&Peer(*w).ZConnection1());
        QString row;
        BuildGoodRowHtml(q, I(rows, "cid"), I(rows, "fid"), I(rows, "adr_id"),
                         rows.FieldByName(QStringLiteral("id")).AsLargeInt(), row);
        rows.SetRecNo(keep);
        return row;
    }
    int I(TDataSet &q, const char *name) { return q.FieldByName(QString::fromLatin1(name)).AsInteger(); }
    QString saveTo;  // the file the save dialog is answered with, else Out()
    QString printTo; // the file printed to, else out.pdf

    // What a user sees of a result grid after a command: the current row,
    // its place on screen and the texts of the row.
    struct TView {
        int recNo, activeRecord;
        QString sphones, sprice;
        bool hourGlass;
    };
    TView View(const char *grid)
    {
        auto *g = Get<TDBGrid>(*w, grid);
        TDataSet &q = *g->DataSource()->DataSet();
        const QString calc = QString::fromLatin1(grid) == QLatin1String("DBGrid1") ? QStringLiteral("sphones")
                                                                                   : QStringLiteral("sallinfo");
        return {q.RecNo(), g->DataLink().ActiveRecord(), q.FieldByName(calc).AsString(),
                q.FieldByName(QStringLiteral("ssfn")).AsString(), Peer(*w).ZConnection1().SQLHourGlass};
    }
    void ExpectRestored(const char *grid, const TView &before)
    {
        TDataSet &q = *Get<TDBGrid>(*w, grid)->DataSource()->DataSet();
        EXPECT_FALSE(q.ControlsDisabled());
        const TView after = View(grid);
        EXPECT_EQ(after.hourGlass, before.hourGlass);
        EXPECT_EQ(after.recNo, before.recNo);
        EXPECT_EQ(after.activeRecord, before.activeRecord);
        EXPECT_EQ(after.sphones, before.sphones) << "display texts computed again";
        EXPECT_EQ(after.sprice, before.sprice);
    }
    void CompareGolden(const QString &name, const QByteArray &bytes)
    {
        const QString file = QStringLiteral(TREVIN_TEST_DATA "/print/%1.%2.htm")
                                 .arg(name, Local() ? QStringLiteral("local") : QStringLiteral("network"));
        QFile f(file);
        if (!qEnvironmentVariableIsEmpty("TREVIN_UPDATE_GOLDEN")) {
            QDir().mkpath(QFileInfo(file).path());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            return;
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(file);
        EXPECT_EQ(f.readAll(), bytes) << qPrintable(file);
    }

    std::unique_ptr<TfrmMain> w;
    QLocale m_locale;
};

TEST_P(MainPrint, CommandsFollowThePanels)
{
    const struct {
        const char *button, *item;
        QString hint, caption;
    } commands[] = {
        {"btnPrint", "mnuPrint", QStringLiteral("Печать"), QStringLiteral("Печать")},
        {"btnPreview", "mnuPreview", QStringLiteral("Предварительный просмотр"),
         QStringLiteral("Предварительный просмотр")},
        {"btnSave", "mnuSave", QStringLiteral("Сохранить в файл"), QStringLiteral("Сохранить")},
    };
    const auto states = [&] {
        QString s;
        for (const auto &c : commands)
            s += QString::number(Get<QToolButton>(*w, c.button)->isEnabled()) +
                 QString::number(w->findChild<QAction *>(QString::fromLatin1(c.item))->isEnabled());
        for (const char *name : {"btnRichStr", "btnFullRecv"})
            s += QString::number(Get<QToolButton>(*w, name)->isEnabled());
        for (const char *name : {"mnuRichStr", "mnuFullRecv"})
            s += QString::number(w->findChild<QAction *>(QString::fromLatin1(name))->isEnabled());
        return s;
    };
    for (const auto &c : commands) {
        EXPECT_EQ(Get<QToolButton>(*w, c.button)->toolTip(), c.hint);
        ASSERT_NE(w->findChild<QAction *>(QString::fromLatin1(c.item)), nullptr) << c.item;
        EXPECT_EQ(w->findChild<QAction *>(QString::fromLatin1(c.item))->text(), c.caption);
    }
    Select(*w, GoodRoot(*w));
    EXPECT_EQ(states(), QStringLiteral("0000000000")) << "the sub-list";
    FindGoods(QStringLiteral("Пылесос"));
    EXPECT_EQ(states(), QStringLiteral("1111111010")) << "goods";
    FindEnpr(QStringLiteral("техникаурал"));
    EXPECT_EQ(states(), QStringLiteral("1111111111")) << "organisations";
}

TEST_P(MainPrint, NothingMarkedOffersTheCurrentRow)
{
    FindGoods(QStringLiteral("Пылесос"));
    ASSERT_EQ(GoodRows(*w).RecordCount(), 5);
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid1"), Qt::Key_Down);
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid1"), Qt::Key_Down);
    const TView before = View("DBGrid1");
    ASSERT_EQ(before.recNo, 3);
    const TSeen seen = Run("btnSave", [](TfrmPrintSet &f) {
        EXPECT_FALSE(f.rbSelected->isEnabled());
        EXPECT_TRUE(f.rbCurrent->isChecked());
        EXPECT_FALSE(f.gbEnpr->isVisible()) << "no sections for goods";
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Сохранить в файл"));
        Ok(f);
    });
    EXPECT_TRUE(seen.dialog);
    EXPECT_EQ(seen.saveDialogs, 1);
    EXPECT_TRUE(seen.progress.isEmpty()) << "no counts for one row";
    EXPECT_EQ(Saved(), kHead + GoodRow(3) + QStringLiteral("</table>"));
    EXPECT_TRUE(GoodRow(3).startsWith(kRowStart + QStringLiteral("Пылесос</td>"))) << GoodRow(3).toStdString();
    ExpectRestored("DBGrid1", before);
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

TEST_P(MainPrint, MarkedRowsInGridOrderAndTheViewComesBack)
{
    FindGoods(QStringLiteral("а"));
    ASSERT_GT(GoodRows(*w).RecordCount(), 40);
    MarkRow("DBGrid1", 4);
    MarkRow("DBGrid1", 1);
    MarkRow("DBGrid1", 6);
    QTest::keyClick(Get<TDBGrid>(*w, "DBGrid1"), Qt::Key_Down);
    ASSERT_EQ(Get<TDBGrid>(*w, "DBGrid1")->MarkedRows().MarkedCount(), 3);
    const TView before = View("DBGrid1");
    const TSeen seen = Run("mnuSave", Ok);
    EXPECT_EQ(seen.progress,
              QStringList({QStringLiteral("Обработано записей - 1"), QStringLiteral("Обработано записей - 2"),
                           QStringLiteral("Обработано записей - 3")}));
    EXPECT_EQ(Saved(), kHead + GoodRow(2) + GoodRow(5) + GoodRow(7) + QStringLiteral("</table>"));
    ExpectRestored("DBGrid1", before);
    EXPECT_EQ(Get<TDBGrid>(*w, "DBGrid1")->MarkedRows().MarkedCount(), 3) << "the marks stay";
}

TEST_P(MainPrint, AllOf250GoodsCountInSteps)
{
    if (!Local())
        GTEST_SKIP() << "changes the catalogue; the local copy is the test's own";
    Exec(QStringLiteral("update good set name='Пробник ' || id where rowid in (select rowid from good where "
                        "adr_id<>0 order by id limit 250)"));
    FindGoods(QStringLiteral("Пробник"));
    ASSERT_EQ(GoodRows(*w).RecordCount(), 250);
    MarkRow("DBGrid1", 2);
    GoodRows(*w).MoveBy(30);
    const TView before = View("DBGrid1");
    const TSeen seen = Run("btnSave", Scope("rbAll"));
    QStringList counts;
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 200})
        counts << QStringLiteral("Обработано записей - ") + QString::number(n);
    EXPECT_EQ(seen.progress, counts);
    const QString html = Saved();
    EXPECT_TRUE(html.startsWith(kHead));
    EXPECT_TRUE(html.endsWith(QStringLiteral("</tr></table>")));
    ExpectRestored("DBGrid1", before);
    QString rows;
    for (int n = 1; n <= 250; ++n)
        rows += GoodRow(n);
    EXPECT_EQ(html, kHead + rows + QStringLiteral("</table>"));
    EXPECT_EQ(html.count(kRowStart), 250) << "250 rows after the header row";
}

TEST_P(MainPrint, CancelledJobGivesNoOutput)
{
    FindGoods(QStringLiteral("а"));
    ASSERT_GT(GoodRows(*w).RecordCount(), 20);
    GoodRows(*w).MoveBy(3);
    const TView before = View("DBGrid1");
    for (const char *command : {"btnSave", "btnPreview", "btnPrint"}) {
        QFile::remove(Path(QStringLiteral("out.pdf")));
        const TSeen seen = Run(command, Scope("rbAll"), 5);
        EXPECT_EQ(seen.progress.last(), QStringLiteral("Обработано записей - 5")) << command;
        EXPECT_EQ(seen.saveDialogs + seen.printDialogs, 0) << command;
        EXPECT_TRUE(seen.preview.isEmpty()) << command;
        EXPECT_FALSE(QFile::exists(Out()) || QFile::exists(Path(QStringLiteral("out.pdf")))) << command;
        ExpectRestored("DBGrid1", before);
    }
    // Nothing of the cancelled page is left for the next command.
    Run("btnSave", Scope("rbCurrent"));
    EXPECT_EQ(Saved(), kHead + GoodRow(before.recNo) + QStringLiteral("</table>"));
    // A cancelled dialog ends the command before any work.
    const TSeen seen = Run("btnSave", [](TfrmPrintSet &f) { QTest::keyClick(&f, Qt::Key_Escape); });
    EXPECT_TRUE(seen.dialog);
    EXPECT_TRUE(seen.progress.isEmpty());
    EXPECT_FALSE(QFile::exists(Out()));
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

TEST_P(MainPrint, RowErrorLeavesTheGridAsItWas)
{
    if (!Local())
        GTEST_SKIP() << "changes the catalogue; the local copy is the test's own";
    FindGoods(QStringLiteral("а"));
    MarkRow("DBGrid1", 1);
    MarkRow("DBGrid1", 3);
    GoodRows(*w).MoveBy(2);
    TView before = View("DBGrid1");
    Exec(QStringLiteral("alter table street_type rename to street_type_gone"));
    for (const char *scope : {"rbSelected", "rbAll"}) {
        shown.clear();
        const TSeen seen = Run("btnSave", Scope(scope));
        EXPECT_EQ(seen.saveDialogs, 0) << scope;
        EXPECT_FALSE(QFile::exists(Out()));
        // The error first; the grid's own look-ups may follow with theirs.
        ASSERT_FALSE(shown.isEmpty());
        EXPECT_TRUE(shown[0].contains(QStringLiteral("street_type"))) << shown[0].toStdString();
        ExpectRestored("DBGrid1", before);
    }
}

// A goods row whose look-up finds nothing, because the catalogue lacks the
// address's street, its street type or the city row, prints "г." alone in
// the address cell and leaves the other cells empty.
TEST_P(MainPrint, RowWithoutItsStreetOrCityPrintsTheCityPrefixAlone)
{
    if (!Local())
        GTEST_SKIP() << "changes the catalogue; the local copy is the test's own";
    FindGoods(QStringLiteral("Пылесос"));
    ASSERT_GT(GoodRows(*w).RecordCount(), 0);
    TZReadOnlyQuery &rows = GoodRows(*w);
    rows.SetRecNo(1);
    const QString cid = QString::number(I(rows, "cid"));
    const QString firm =
        QStringLiteral(" where cid=") + cid + QStringLiteral(" and fid=") + QString::number(I(rows, "fid"));
    const QString emptyRow = QStringLiteral("<tr bgcolor=white><td valign=top></td><td align=right valign=top>&nbsp;"
                                            "</td><td valign=top></td><td valign=top>г.</td><td valign=top></td></tr>");
    const QString whole = GoodRow(1);
    ASSERT_TRUE(whole.startsWith(kRowStart + QStringLiteral("Пылесос</td>"))) << whole.toStdString();
    // Each change undoes itself when applied a second time.
    const struct {
        const char *what;
        QString sql;
    } cases[] = {
        {"no street", QStringLiteral("update address set strn_id=-strn_id") + firm},
        {"no street type", QStringLiteral("update street_name set strt_id=-strt_id where cid=") + cid +
                               QStringLiteral(" and id in (select strn_id from address") + firm + u')'},
        {"no city row",
         QStringLiteral("update city set cid=-cid where cid in (") + cid + QStringLiteral(", -") + cid + u')'},
    };
    for (const auto &c : cases) {
        Exec(c.sql);
        EXPECT_EQ(GoodRow(1), emptyRow) << c.what;
        Exec(c.sql);
        EXPECT_EQ(GoodRow(1), whole) << c.what;
    }
}

TEST_P(MainPrint, CatalogueTextIsEscaped)
{
    if (!Local())
        GTEST_SKIP() << "changes the catalogue; the local copy is the test's own";
    Exec(QStringLiteral("update good set name='Пылесос <b>&amp; \"Вихрь\"' where name='Пылесос'"));
    FindGoods(QStringLiteral("Пылесос"));
    ASSERT_EQ(GoodRows(*w).RecordCount(), 5);
    Run("btnSave", Ok);
    EXPECT_TRUE(Saved().startsWith(kHead + kRowStart + QStringLiteral("Пылесос &lt;b&gt;&amp;amp; \"Вихрь\"</td>")))
        << Saved().toStdString();
}

// The telephone cell takes the first telephone with a text, the one the
// card shows, past the firm's empty ones.
TEST_P(MainPrint, GoodsRowShowsTheFirstTelephoneWithAText)
{
    Select(*w, GoodRoot(*w));
    Get<QComboBox>(*w, "cbFindGoodName")->setEditText(QStringLiteral("холодильник бирюса"));
    Get<QComboBox>(*w, "cbFindGoodEnprName")->setEditText(QStringLiteral("Артаньян сервисный"));
    Click(Get<QPushButton>(*w, "btnFindGood"));
    TZReadOnlyQuery &rows = GoodRows(*w);
    ASSERT_GT(rows.RecordCount(), 0);
    rows.First();
    ASSERT_EQ(Scalar(QStringLiteral("select count(*) from phone where allinfo='' and adr_id=0 and cid=") +
                     QString::number(I(rows, "cid")) + QStringLiteral(" and fid=") + QString::number(I(rows, "fid"))),
              1)
        << "the firm's first telephone has no text";
    MarkRow("DBGrid1", 0);
    Run("btnSave", Ok);
    const QRegularExpressionMatch cell =
        QRegularExpression(QStringLiteral("<td valign=top>([^<]*)</td></tr></table>$")).match(Saved());
    ASSERT_TRUE(cell.hasMatch()) << Saved().toStdString();
    QString card;
    TZReadOnlyQuery q(&Peer(*w).ZConnection1());
    BuildFirmCardHtml(q, I(rows, "cid"), I(rows, "fid"), I(rows, "adr_id"), false, nullptr, TCardSections::All(), card);
    EXPECT_FALSE(cell.captured(1).isEmpty());
    EXPECT_TRUE(card.contains(QStringLiteral(">") + cell.captured(1) + QStringLiteral("<"))) << card.toStdString();
}

TEST_P(MainPrint, SectionsSwitchedOffAreMissingFromEveryCard)
{
    FindEnpr(QStringLiteral("техникаурал"));
    TZReadOnlyQuery &firms = EnprRows(*w);
    ASSERT_EQ(firms.RecordCount(), 2);
    const TSeen seen = Run("btnSave", [](TfrmPrintSet &f) {
        EXPECT_TRUE(f.gbEnpr->isVisible());
        Click(f.Button2);
        ClickBox(f.cbWeb);
        ClickBox(f.rbAll);
        Ok(f);
    });
    TCardSections sections = TCardSections::None();
    sections.Name = sections.Post = sections.Web = true;
    QString expected, whole;
    TZReadOnlyQuery q(&Peer(*w).ZConnection1());
    for (firms.First(); !firms.Eof(); firms.Next()) {
        QString card;
        BuildFirmCardHtml(q, I(firms, "cid"), I(firms, "fid"), I(firms, "adr_id"), false, nullptr, sections, card);
        expected += card;
        BuildFirmCardHtml(q, I(firms, "cid"), I(firms, "fid"), I(firms, "adr_id"), false, nullptr, TCardSections::All(),
                          card);
        whole += card;
    }
    EXPECT_EQ(Saved(), expected);
    EXPECT_TRUE(whole.contains(QStringLiteral("Телефоны")));
    EXPECT_FALSE(Saved().contains(QStringLiteral("Телефоны")));
    // The next dialog starts from its design state again.
    Run("btnSave", [](TfrmPrintSet &f) {
        EXPECT_TRUE(f.cbPhone->isChecked());
        EXPECT_FALSE(f.cbWeb->isChecked());
        f.reject();
    });
}

TEST_P(MainPrint, GoldenGoodsAndCardReports)
{
    FindGoods(QStringLiteral("Пылесос"));
    // By price, and the same good at two addresses by address, so that both
    // deployments give one order.
    GoodRows(*w).Close();
    GoodRows(*w).SetSQL(Peer(*w).History().GoodSql + QStringLiteral(" order by a.price_rub, s.adr_id"));
    GoodRows(*w).Open();
    Run("btnSave", Scope("rbAll"));
    QFile goods(Out());
    ASSERT_TRUE(goods.open(QIODevice::ReadOnly));
    CompareGolden(QStringLiteral("goods"), goods.readAll());

    FindEnpr(QStringLiteral("техникаурал"));
    SortBy("DBGrid2", 0);
    Run("btnSave", [](TfrmPrintSet &f) {
        Click(f.Button1);
        ClickBox(f.cbPeople);
        ClickBox(f.rbAll);
        Ok(f);
    });
    QFile cards(Out());
    ASSERT_TRUE(cards.open(QIODevice::ReadOnly));
    CompareGolden(QStringLiteral("cards"), cards.readAll());
}

TEST_P(MainPrint, PreviewAndPrintTakeTheReport)
{
    FindGoods(QStringLiteral("Пылесос"));
    SortBy("DBGrid1", 1);
    const TSeen preview = Run("btnPreview", Scope("rbAll"));
    EXPECT_TRUE(preview.preview.contains(QStringLiteral("Товар/Услуга"))) << preview.preview.toStdString();
    EXPECT_EQ(preview.preview.count(QStringLiteral("Пылесос")), 5);
    const TSeen print = Run("mnuPrint", Scope("rbAll"));
    EXPECT_EQ(print.printDialogs, 1);
    ASSERT_FALSE(print.laidOut.isEmpty());
    EXPECT_TRUE(print.laidOut.join(u' ').contains(QStringLiteral("Пылесос")));
    ExpectPrintedPages(Path(QStringLiteral("out.pdf")), print.laidOut, 1, int(print.laidOut.size()));

    // The cards of organisations, each with its staff.
    FindEnpr(QStringLiteral("техникаурал"));
    const TSeen cards = Run("mnuPrint", [](TfrmPrintSet &f) {
        ClickBox(f.cbPeople);
        ClickBox(f.rbAll);
        Ok(f);
    });
    ASSERT_FALSE(cards.laidOut.isEmpty());
    ExpectPrintedPages(Path(QStringLiteral("out.pdf")), cards.laidOut, 1, int(cards.laidOut.size()));
}

TEST_P(MainPrint, SaveRefusesTheFilesTheProgramUsesUnderAnyName)
{
    // The user picks the program's own files in the main window or in the
    // firm window, by their names, through a symbolic link, a hard link or
    // a roundabout spelling, and would clear them if asked: the
    // configuration, the city file, the SQL log beside the program with the
    // log off, the log's own file with it on, and the local catalogue.
    const QString ini = Path(QStringLiteral("trevin.ini"));
    const QString catalogue = Path(QStringLiteral("trevin.dat"));
    const QString city = Path(QStringLiteral("city_sp/city.ini"));
    const QString plainLog = Path(QStringLiteral("trevin.log"));
    const QString sqlLog = Path(QStringLiteral("sql.log"));
    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3452\n"));
    WriteFile(QStringLiteral("trevin.log"), QStringLiteral("the log of an earlier run\n"));
    ASSERT_TRUE(QFile::link(ini, Path(QStringLiteral("ini-link.htm"))));
    ASSERT_TRUE(HardLink(ini, Path(QStringLiteral("ini-hard.htm"))));
    ASSERT_TRUE(QFile::link(city, Path(QStringLiteral("city-link.htm"))));
    ASSERT_TRUE(HardLink(plainLog, Path(QStringLiteral("log-hard.htm"))));
    ASSERT_TRUE(QFile::link(sqlLog, Path(QStringLiteral("sql-link.htm"))));
    if (Local()) {
        ASSERT_TRUE(QFile::link(catalogue, Path(QStringLiteral("dat-link.htm"))));
        ASSERT_TRUE(HardLink(catalogue, Path(QStringLiteral("dat-hard.htm"))));
    }
    // Rewritten in place, so that the links keep leading to it.
    const auto configure = [&](bool logging) {
        const QString log = logging ? QStringLiteral("logger=1\nlogger_file=sql.log\n") : QString();
        if (Local())
            WriteIni(QStringLiteral("[main]\nprotocol=sqlite\n") + log);
        else
            UseNetworkSample(log);
    };

    struct Row {
        bool logging;    // [main] logger=1 with logger_file=sql.log
        bool firmWindow; // saved from the firm window's card, else a goods report
        const char *target;
        bool local = false; // only where the catalogue is a file
    };
    const Row rows[] = {
        {false, false, "trevin.ini"},        {false, false, "ini-link.htm"},
        {false, false, "ini-hard.htm"},      {false, false, "city_sp/../trevin.ini"},
        {false, false, "city_sp/city.ini"},  {false, true, "city-link.htm"},
        {false, false, "trevin.log"},        {false, true, "log-hard.htm"},
        {false, false, "trevin.dat", true},  {false, false, "dat-link.htm", true},
        {false, true, "dat-hard.htm", true}, {true, false, "sql.log"},
        {true, true, "sql-link.htm"},        {true, true, "ini-link.htm"},
    };
    QStringList asked;
    SetMessageBoxHook([&](const TMessageBoxCall &call) {
        asked << call.text;
        return call.text.endsWith(QStringLiteral(" уже существует. ")) ? mrNoToAll : mrOk; // "Очистить"
    });
    std::optional<bool> started; // the logging of the running window
    for (const Row &row : rows) {
        if (row.local && !Local())
            continue;
        const QString target = Path(QString::fromLatin1(row.target));
        if (started != row.logging) {
            w.reset();
            configure(row.logging);
            w = Start();
            started = row.logging;
        }
        const QMap<QString, QByteArray> kept{
            {ini, Bytes(ini)}, {catalogue, Bytes(catalogue)}, {city, Bytes(city)}, {plainLog, Bytes(plainLog)}};
        const QByteArray logBefore = Bytes(sqlLog);
        FindGoods(QStringLiteral("Пылесос"));
        ASSERT_EQ(GoodRows(*w).RecordCount(), 5) << row.target;
        asked.clear();
        saveTo = target;
        if (row.firmWindow) {
            EXPECT_TRUE(FromFirmWindow("btnSave")) << row.target;
        } else {
            const TSeen seen = Run("btnSave", Ok);
            EXPECT_EQ(seen.saveDialogs, 1);
        }
        EXPECT_EQ(asked,
                  QStringList{QStringLiteral(" Файл ") + target + QStringLiteral(" используется справочником. ")})
            << row.target;
        for (auto file = kept.begin(); file != kept.end(); ++file)
            EXPECT_TRUE(Bytes(file.key()) == file.value()) << row.target << ": " << file.key().toStdString();
        // The log running goes on growing, from what it held.
        EXPECT_TRUE(Bytes(sqlLog).startsWith(logBefore)) << row.target;
        if (row.logging) {
            EXPECT_FALSE(logBefore.isEmpty());
        }
    }
    saveTo.clear();

    // As a user lives it: a page saved from each window over a page of
    // the day before, and the next start reads the same files as before.
    const QString page = Path(QStringLiteral("page.htm"));
    const QByteArray iniBefore = Bytes(ini), cityBefore = Bytes(city), catalogueBefore = Bytes(catalogue);
    for (const bool firmWindow : {false, true}) {
        WriteFile(QStringLiteral("page.htm"), QStringLiteral("the page of the day before"));
        FindGoods(QStringLiteral("Пылесос"));
        const QString firm = GoodRows(*w).FieldByName(QStringLiteral("sfn")).AsString();
        asked.clear();
        saveTo = page;
        if (firmWindow)
            EXPECT_TRUE(FromFirmWindow("btnSave"));
        else
            Run("btnSave", Ok);
        EXPECT_EQ(asked, QStringList{QStringLiteral("Файл ") + page + QStringLiteral(" уже существует. ")});
        const QString saved = Saved(page);
        EXPECT_TRUE(firmWindow ? saved.contains(EscapeHtmlText(firm)) : saved.startsWith(kHead)) << saved.toStdString();
        EXPECT_FALSE(saved.contains(QStringLiteral("the day before"))) << saved.toStdString();
    }
    saveTo.clear();
    asked.clear();
    const qint64 logSize = QFileInfo(sqlLog).size();
    w.reset();
    w = Start();
    EXPECT_TRUE(Bytes(ini) == iniBefore);
    EXPECT_TRUE(Bytes(city) == cityBefore);
    EXPECT_TRUE(Bytes(catalogue) == catalogueBefore);
    // The city file still puts its city first; the log goes on.
    if (Local()) {
        EXPECT_EQ(TfrmMainTestPeer::NodeNumber(GoodRoot(*w)->child(0)), 3452);
    }
    FindGoods(QStringLiteral("Пылесос"));
    EXPECT_EQ(GoodRows(*w).RecordCount(), 5);
    EXPECT_GT(QFileInfo(sqlLog).size(), logSize);
    EXPECT_TRUE(asked.isEmpty()) << asked.join(u'|').toStdString();
}

TEST_P(MainPrint, PrintToFileRefusesTheFilesTheProgramUses)
{
    // "Печать в файл" onto the program's own files, by name or through a
    // link, from the main window or the firm window: refused as a save is,
    // and every one of them keeps each byte.
    const QString ini = Path(QStringLiteral("trevin.ini"));
    const QString catalogue = Path(QStringLiteral("trevin.dat"));
    const QString city = Path(QStringLiteral("city_sp/city.ini"));
    const QString sqlLog = Path(QStringLiteral("sql.log"));
    WriteFile(QStringLiteral("city_sp/city.ini"), QStringLiteral("[main]\nmain_city=3452\n"));
    const QString log = QStringLiteral("logger=1\nlogger_file=sql.log\n");
    if (Local())
        WriteIni(QStringLiteral("[main]\nprotocol=sqlite\n") + log);
    else
        UseNetworkSample(log);
    ASSERT_TRUE(HardLink(ini, Path(QStringLiteral("ini-hard.pdf"))));
    ASSERT_TRUE(QFile::link(catalogue, Path(QStringLiteral("dat-link.pdf"))));
    w.reset();
    w = Start();

    struct Row {
        const char *target;
        bool firmWindow;
        bool local; // only where the catalogue is a file
    };
    const Row rows[] = {
        {"trevin.dat", false, true},   {"dat-link.pdf", true, true},       {"trevin.ini", false, false},
        {"ini-hard.pdf", true, false}, {"city_sp/city.ini", false, false}, {"sql.log", false, false},
    };
    QStringList asked;
    SetMessageBoxHook([&](const TMessageBoxCall &call) {
        asked << call.text;
        return mrOk;
    });
    for (const Row &row : rows) {
        if (row.local && !Local())
            continue;
        const QMap<QString, QByteArray> kept{{ini, Bytes(ini)}, {catalogue, Bytes(catalogue)}, {city, Bytes(city)}};
        const QByteArray logBefore = Bytes(sqlLog);
        FindGoods(QStringLiteral("Пылесос"));
        asked.clear();
        printTo = Path(QString::fromLatin1(row.target));
        if (row.firmWindow) {
            EXPECT_TRUE(FromFirmWindow("btnPrint")) << row.target;
        } else {
            EXPECT_EQ(Run("btnPrint", Scope("rbAll")).printDialogs, 1) << row.target;
        }
        EXPECT_EQ(asked,
                  QStringList{QStringLiteral(" Файл ") + printTo + QStringLiteral(" используется справочником. ")})
            << row.target;
        for (auto file = kept.begin(); file != kept.end(); ++file)
            EXPECT_TRUE(Bytes(file.key()) == file.value()) << row.target << ": " << file.key().toStdString();
        EXPECT_FALSE(logBefore.isEmpty());
        EXPECT_TRUE(Bytes(sqlLog).startsWith(logBefore)) << row.target;
    }
    printTo.clear();
}

INSTANTIATE_TEST_SUITE_P(Deployments, MainPrint, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

} // namespace
