// The firm window on the sample catalogue with two firms of the test's own
// added: one with goods in three subsections at two addresses (some for
// every address), one without goods. Locally on a copy of the sample file,
// on the network in a database of the test's own on the test MariaDB, which
// also takes the statistics rows.
#include "windows/price/price.h"
#include "windows/printset.h"

#include "components/PreviewForm.h"
#include "components/Progress.h"
#include "components/SDialogs.h"
#include "platform/application.h"
#include "data/codec.h"
#include "platform/dbctrls.h"
#include "data/dberror.h"
#include "platform/dialogs.h"
#include "platform/htmlview.h"
#include "platform/printers.h"
#include "services/pagerules.h"
#include "services/scratchdb.h"
#include "services/stat.h"
#include "services/tools_format.h"
#include "services/vtbl.h"
#include "windows/price/firmcard.h"

#include "pdfpages.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QPrinter>
#include <QElapsedTimer>
#include <QApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

constexpr int kFirm = 990001;
constexpr int kNoGoods = 990002;

// Our two firms, the same statements in both deployments.
const QStringList kFirmRows = {
    QStringLiteral("insert into address values (343,990001,1,'Тест-Маркет',1,26,'5','','','','Тест 0005','x')"),
    QStringLiteral("insert into address values (343,990001,2,'Тест-Маркет (склад)',1,26,'7','','','','Тест 0007','x')"),
    QStringLiteral("insert into address values (343,990002,1,'Пустая лавка',1,26,'9','','','','Тест 0009','x')"),
    QStringLiteral("insert into firm values (343,990001,0,'2026-01-10 00:00:00','2026-02-01 00:00:00',0)"),
    QStringLiteral("insert into firm values (343,990002,0,'2026-01-10 00:00:00','2026-02-01 00:00:00',0)"),
    QStringLiteral("insert into good values (343,990001,1,9900011,101,1,'Яблоки',12.5,'rubl',12.5)"),
    QStringLiteral("insert into good values (343,990001,0,9900012,101,1,'Абрикосы <сушёные> & Co',1234.5,'doll',"
                   "111105)"),
    QStringLiteral("insert into good values (343,990001,1,9900013,201,2,'Груши',10,'euro',1000)"),
    QStringLiteral("insert into good values (343,990001,2,9900014,201,2,'Виноград',77,'rubl',77)"),
    QStringLiteral("insert into good values (343,990001,0,9900015,301,3,'Бананы',99.99,'rubl',99.99)"),
    QStringLiteral("insert into good values (343,990001,1,9900016,301,3,'Арбузы',5000,'rubl',5000)"),
};

// The goods of each address by subsection, by name.
const QMap<int, QStringList> kGoodsOfAddress1 = {
    {101, {QStringLiteral("Абрикосы <сушёные> & Co"), QStringLiteral("Яблоки")}},
    {201, {QStringLiteral("Груши")}},
    {301, {QStringLiteral("Арбузы"), QStringLiteral("Бананы")}}};
const QMap<int, QStringList> kGoodsOfAddress2 = {{101, {QStringLiteral("Абрикосы <сушёные> & Co")}},
                                                 {201, {QStringLiteral("Виноград")}},
                                                 {301, {QStringLiteral("Бананы")}}};

void ExecSqlite(const QString &path, const QStringList &statements)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    for (const QString &s : statements) {
        char *error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, ToCp1251(s).constData(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
    }
    sqlite3_close(db);
}

// The catalogue of the deployment with our firms, made once per process.
QString LocalCatalogue()
{
    static QTemporaryDir dir;
    static QString path;
    if (path.isEmpty()) {
        path = dir.filePath(QStringLiteral("trevin.dat"));
        QFile::copy(testenv::SampleCatalogue(), path);
        ExecSqlite(path, kFirmRows);
    }
    return path;
}

QString &NetworkDb()
{
    static QString name;
    return name;
}

QString NetworkCatalogue()
{
    QString &name = NetworkDb();
    if (!name.isEmpty())
        return name;
    name = QStringLiteral("price_test_%1_%2")
               .arg(QCoreApplication::applicationPid())
               .arg(QRandomGenerator::global()->bounded(1000000));
    const QString from = testenv::Mysql().catalogue;
    auto admin = testdb::OpenMysql(QStringLiteral("mysql"));
    admin->ExecuteDirect(QStringLiteral("create database ") + name + QStringLiteral(" character set cp1251"));
    TZReadOnlyQuery tables(admin.get());
    tables.SetSQL(QStringLiteral("select table_name as t from information_schema.tables where table_schema='") + from +
                  u'\'');
    tables.Open();
    for (tables.First(); !tables.Eof(); tables.Next()) {
        const QString t = tables.FieldByName(QStringLiteral("t")).AsString();
        admin->ExecuteDirect(QStringLiteral("create table %1.%2 like %3.%2").arg(name, t, from));
        admin->ExecuteDirect(QStringLiteral("insert into %1.%2 select * from %3.%2").arg(name, t, from));
    }
    auto db = testdb::OpenMysql(name);
    testdb::Exec(*db, kFirmRows);
    // The statistics go to the same database.
    testdb::Exec(*db, {QStringLiteral("create table format (id int, format text)")});
    TZReadOnlyQuery q(db.get());
    q.SetSQL(QStringLiteral("insert into format values (1, :f)"));
    q.ParamByName(QStringLiteral("f"))
        .SetAsString(QStringLiteral(
            "create table `DB_NAME` (`source` varchar(20) not null default '', `fid` bigint not null default 0, `city` "
            "varchar(20) not null default '', `sid` int not null default 0, `gid` int not null default 0, `good` "
            "varchar(255) not null default '', `dt` datetime not null, `firm` varchar(255) not null default '')"));
    q.ExecSQL();
    return name;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class FirmPrice : public ::testing::TestWithParam<bool>
{
protected:
    static void TearDownTestSuite()
    {
        if (!NetworkDb().isEmpty()) {
            testdb::OpenMysql(QStringLiteral("mysql"))->ExecuteDirect(QStringLiteral("drop database ") + NetworkDb());
            NetworkDb().clear();
        }
    }
    void SetUp() override
    {
        if (GetParam())
            REQUIRE_MYSQL();
        m_saved = {MasterDb, CurrentDb, StatDatabase};
        deployment = std::make_unique<scratch::TDeployment>(GetParam());
        if (GetParam()) {
            connection = testdb::OpenMysql(NetworkCatalogue());
            MasterDb = testenv::Mysql().master;
            CurrentDb = testenv::Mysql().catalogue;
            StatDatabase = NetworkDb();
        } else {
            connection = scratch::OpenCatalogue(false, LocalCatalogue());
        }
        TZReadOnlyQuery lists(connection.get());
        LoadGroupLists(lists);
        DbSwitchWarned = false;
        SetMessageBoxHook([this](const TMessageBoxCall &call) {
            shown << call.text;
            return mrOk;
        });
        TApplication::SetExceptionHandler([](const QString &text) { ShowMessageText(text); });
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        w.reset();
        m_dialogTimer.reset();
        SetSaveDialogHook({});
        SetMessageBoxHook({});
        TApplication::SetExceptionHandler({});
        deployment.reset();
        if (!m_saved.isEmpty()) {
            MasterDb = m_saved[0];
            CurrentDb = m_saved[1];
            StatDatabase = m_saved[2];
        }
    }

    void Open(int fid, int adr, qint64 good = 0)
    {
        w = std::make_unique<TfrmPrice>(
            connection.get(), [this](const QUrl &link) { links << link.toString(); }, QStringList());
        w->Init(343, fid, adr, good);
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    }
    template <class T> T *Get(const char *name)
    {
        T *child = w->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    QTabWidget *Tabs() { return Get<QTabWidget>("PageControl1"); }
    TDBGrid *Grid() { return Get<TDBGrid>("DBGrid1"); }
    TDataSet &Rows() { return *Grid()->DataSource()->DataSet(); }
    QString Status() { return Get<QLabel>("StatusPanel0")->text(); }
    void ShowPriceTab() { Tabs()->setCurrentIndex(1); }
    void Click(const char *button)
    {
        auto *b = Get<QToolButton>(button);
        QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    }
    QStringList Items()
    {
        QStringList out;
        auto *box = Get<QComboBox>("cbGroup");
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }
    // The grid's rows as "name|price", header rows as "[name]".
    QStringList Shown()
    {
        QStringList out;
        TDataSet &q = Rows();
        const QByteArray at = q.Bookmark();
        for (q.First(); !q.Eof(); q.Next()) {
            const QString name = q.FieldByName(QStringLiteral("sname")).AsString();
            out << (q.FieldByName(QStringLiteral("id")).AsString() == QLatin1String("-1")
                        ? u'[' + name + u']'
                        : name + u'|' + q.FieldByName(QStringLiteral("sprice")).AsString());
        }
        q.GotoBookmark(at);
        return out;
    }
    QStringList Names(const QStringList &rows)
    {
        QStringList out;
        for (const QString &r : rows)
            out << r.section(u'|', 0, 0);
        return out;
    }
    // The subsection entry of the list for a gid.
    static QString Entry(int gid) { return GetSuperGroupName(gid) + QStringLiteral(" - ") + GetGroupName(gid); }
    // What the grid should list for an address, in the subsection list's order.
    QStringList Expected(const QMap<int, QStringList> &goods)
    {
        QStringList out;
        auto *box = Get<QComboBox>("cbGroup");
        for (int i = 1; i < box->count(); ++i) {
            const int gid = box->itemData(i).toInt();
            out << u'[' + Entry(gid) + u']';
            out << goods.value(gid);
        }
        return out;
    }
    // Answers the next print-settings dialog as a user would: the scope's
    // button and OK, or Esc for -1. Records "caption|scope offered|marked
    // enabled|fields shown".
    // Marks the first count goods rows (headers have id -1).
    void MarkGoods(int count)
    {
        int marks = 0;
        for (Rows().First(); marks < count; Rows().Next())
            if (Rows().FieldByName(QStringLiteral("id")).AsString() != QLatin1String("-1")) {
                Grid()->MarkedRows().SetCurrentRowMarked(true);
                ++marks;
            }
    }
    void AnswerPrintSet(int scope)
    {
        m_dialogTimer = std::make_unique<QTimer>();
        m_dialogTimer->setInterval(1);
        QObject::connect(m_dialogTimer.get(), &QTimer::timeout, [this, scope] {
            auto *set = qobject_cast<TfrmPrintSet *>(QApplication::activeModalWidget());
            if (!set || !set->isVisible())
                return;
            m_dialogTimer->stop();
            dialogs << set->windowTitle() + u'|' +
                           QString::number(set->rbAll->isChecked()       ? 2
                                           : set->rbCurrent->isChecked() ? 1
                                                                         : 0) +
                           u'|' + QString::number(set->rbSelected->isEnabled()) + u'|' +
                           QString::number(set->gbEnpr->isVisible());
            if (scope < 0) {
                QTest::keyClick(set, Qt::Key_Escape);
                return;
            }
            QRadioButton *button = scope == 0 ? set->rbSelected : scope == 1 ? set->rbCurrent : set->rbAll;
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
            QTest::mouseClick(set->BitBtn1, Qt::LeftButton);
        });
        m_dialogTimer->start();
    }
    // Saves the price tab with the given scope into a file; its bytes.
    QByteArray SavePriceList(int scope)
    {
        AnswerPrintSet(scope);
        const QString file = dir.filePath(QStringLiteral("price%1.htm").arg(saves++));
        SetSaveDialogHook([file](TSaveDialog &d) {
            d.FileName = file;
            return true;
        });
        Click("btnSave");
        return ReadAll(file);
    }
    // Dark pixels of a cell's text.
    static int Ink(const QImage &image, const QRect &rect)
    {
        int n = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                n += qGray(image.pixel(x, y)) < 100 ? 1 : 0;
        return n;
    }
    QRect Cell(int row, int col)
    {
        return Grid()->CellRect(Grid()->DataToGridColumn(col), Grid()->TitleOffset() + row);
    }

    std::unique_ptr<scratch::TDeployment> deployment;
    std::unique_ptr<TZConnection> connection;
    std::unique_ptr<TfrmPrice> w;
    QStringList shown, links, dialogs;
    QTemporaryDir dir;
    int saves = 0;

private:
    QStringList m_saved;
    std::unique_ptr<QTimer> m_dialogTimer;
};

TEST_P(FirmPrice, ThreeSubsectionsWithTheirGoodsByName)
{
    Open(kFirm, 1);
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    EXPECT_TRUE(Tabs()->isTabVisible(1));
    EXPECT_EQ(Tabs()->tabText(0), QStringLiteral("Информация о компании"));
    EXPECT_EQ(Tabs()->tabText(1), QStringLiteral("Прайс-лист"));
    EXPECT_EQ(Status(), QString());

    const QStringList items = Items();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0], QStringLiteral("Все разделы"));
    EXPECT_EQ(QSet<QString>(items.begin() + 1, items.end()), (QSet<QString>{Entry(101), Entry(201), Entry(301)}));
    // By section name, then subsection name.
    QStringList sorted = items.mid(1);
    std::sort(sorted.begin(), sorted.end(),
              [](const QString &a, const QString &b) { return ToCp1251(a.toUpper()) < ToCp1251(b.toUpper()); });
    EXPECT_EQ(items.mid(1), sorted);

    ShowPriceTab();
    EXPECT_EQ(Names(Shown()), Expected(kGoodsOfAddress1));
    EXPECT_EQ(Status(), QStringLiteral("Всего 5 позиций."));
}

TEST_P(FirmPrice, GoodsForEveryAddressAreInEachAddresssList)
{
    const struct {
        int adr;
        const QMap<int, QStringList> &goods;
        int count;
    } cases[] = {{1, kGoodsOfAddress1, 5}, {2, kGoodsOfAddress2, 3}};
    for (const auto &c : cases) {
        Open(kFirm, c.adr);
        ShowPriceTab();
        EXPECT_EQ(Names(Shown()), Expected(c.goods)) << c.adr;
        EXPECT_EQ(Status(), QStringLiteral("Всего %1 позиций.").arg(c.count)) << c.adr;
    }
}

TEST_P(FirmPrice, ASubsectionShowsItsHeaderAndGoodsAndTheCountFound)
{
    Open(kFirm, 1);
    ShowPriceTab();
    auto *box = Get<QComboBox>("cbGroup");
    box->setFocus();
    for (int i = 1; i < box->count(); ++i) {
        QTest::keyClick(box, Qt::Key_Down);
        ASSERT_EQ(box->currentIndex(), i);
        const int gid = box->itemData(i).toInt();
        EXPECT_EQ(Names(Shown()), QStringList{u'[' + Entry(gid) + u']'} + kGoodsOfAddress1.value(gid));
        EXPECT_EQ(Status(),
                  QStringLiteral("Всего 5 позиций. Найдено %1 позиций.").arg(kGoodsOfAddress1.value(gid).size()));
    }
    QTest::keyClick(box, Qt::Key_Home);
    EXPECT_EQ(Shown().size(), 8);
    EXPECT_EQ(Status(), QStringLiteral("Всего 5 позиций."));
}

TEST_P(FirmPrice, HeaderRowsAreBold)
{
    Open(kFirm, 1);
    ShowPriceTab();
    // The current row on a good, so the header row is drawn plainly.
    Rows().MoveBy(1);
    QCoreApplication::processEvents();
    const QImage image = Grid()->viewport()->grab().toImage();
    const QRect cell = Cell(0, 0);
    const QString text = Rows().FieldByName(QStringLiteral("sname")).AsString(); // the good's row
    Rows().First();
    const QString header = Rows().FieldByName(QStringLiteral("sname")).AsString();
    // The same text drawn plain and bold where the grid draws it.
    const auto ink = [&](bool bold) {
        QImage ref(cell.size(), QImage::Format_RGB32);
        ref.fill(Qt::white);
        QPainter p(&ref);
        QFont font = Grid()->font();
        font.setBold(bold);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QRect(2, 2, cell.width() - 4, cell.height() - 2), Qt::AlignLeft | Qt::AlignTop, header);
        p.end();
        return Ink(ref, ref.rect());
    };
    const int shownInk = Ink(image, cell);
    EXPECT_NE(text, header);
    EXPECT_GT(ink(true), ink(false));
    EXPECT_LT(std::abs(shownInk - ink(true)), std::abs(shownInk - ink(false)))
        << shownInk << " " << ink(true) << " " << ink(false);
}

TEST_P(FirmPrice, AFirmWithoutGoodsShowsOnlyItsCard)
{
    Open(kNoGoods, 1);
    EXPECT_FALSE(Tabs()->isTabVisible(1));
    EXPECT_EQ(Tabs()->currentIndex(), 0);
    EXPECT_EQ(Items(), QStringList{QStringLiteral("Все разделы")});
    EXPECT_FALSE(Rows().Active());
    EXPECT_FALSE(Get<QToolButton>("btnDollar")->isEnabled());
    EXPECT_EQ(Status(), QString());
    EXPECT_TRUE(w->windowTitle().startsWith(QStringLiteral("Пустая лавка - "))) << w->windowTitle().toStdString();

    // Saving gives the card as shown, with no scope asked.
    TZReadOnlyQuery q(connection.get());
    QString card;
    BuildFirmCardHtml(q, 343, kNoGoods, 1, false, nullptr, TCardSections::All(), card);
    EXPECT_EQ(SavePriceList(2), ToCp1251(card));
    EXPECT_TRUE(dialogs.isEmpty());
}

TEST_P(FirmPrice, CaptionIsTheFirmAndItsAddress)
{
    Open(kFirm, 2);
    TZReadOnlyQuery q(connection.get());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Тест-Маркет (склад) - ") + LoadAddressText(q, 343, kFirm, 2, true));
    EXPECT_TRUE(w->windowTitle().contains(QStringLiteral("7")));
}

TEST_P(FirmPrice, TheRoubleViewConvertsEveryPrice)
{
    Open(kFirm, 1);
    EXPECT_FALSE(Get<QToolButton>("btnDollar")->isEnabled());
    ShowPriceTab();
    ASSERT_TRUE(Get<QToolButton>("btnDollar")->isEnabled());
    const QStringList plain = Shown();
    EXPECT_TRUE(plain.contains(QStringLiteral("Абрикосы <сушёные> & Co|1 234.50 $")));
    EXPECT_TRUE(plain.contains(QStringLiteral("Груши|10.00 euro")));
    Click("btnDollar");
    const QStringList roubles = Shown();
    EXPECT_TRUE(roubles.contains(QStringLiteral("Абрикосы <сушёные> & Co|111 105.00 руб")));
    EXPECT_TRUE(roubles.contains(QStringLiteral("Груши|1 000.00 руб")));
    EXPECT_TRUE(roubles.contains(QStringLiteral("Яблоки|12.50 руб")));
    EXPECT_EQ(Names(roubles), Names(plain));
    for (const QString &r : roubles)
        EXPECT_TRUE(r.startsWith(u'[') || r.endsWith(QStringLiteral(" руб"))) << r.toStdString();
    Click("btnDollar");
    EXPECT_EQ(Shown(), plain);
}

TEST_P(FirmPrice, SavedPriceListMatchesTheGoldenFile)
{
    Open(kFirm, 1);
    ShowPriceTab();
    const QByteArray saved = SavePriceList(2);
    // Nothing marked: the dialog offers the current row, no card sections.
    EXPECT_EQ(dialogs, QStringList{QStringLiteral("Сохранить в файл|1|0|0")});
    const QString file = QStringLiteral(TREVIN_TEST_DATA "/price/firm990001.1.htm");
    if (!qEnvironmentVariableIsEmpty("TREVIN_UPDATE_GOLDEN") && !GetParam()) {
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(saved);
        return;
    }
    EXPECT_EQ(saved, ReadAll(file));
}

TEST_P(FirmPrice, PrintScopesAndCancelling)
{
    Open(kFirm, 1);
    ShowPriceTab();
    // Marks on two goods, the current row on the last good.
    MarkGoods(2);
    Rows().Last();
    const QString current = Rows().FieldByName(QStringLiteral("sname")).AsString();
    const int top = Grid()->GetActiveRecord();

    const QString marked = QString::fromLatin1(SavePriceList(0));
    EXPECT_EQ(dialogs.last(), QStringLiteral("Сохранить в файл|0|1|0"));
    EXPECT_EQ(marked.count(QStringLiteral("<tr bgcolor=white><td valign=top>")), 2);
    EXPECT_EQ(Rows().FieldByName(QStringLiteral("sname")).AsString(), current);
    EXPECT_EQ(Grid()->GetActiveRecord(), top);
    EXPECT_FALSE(Rows().ControlsDisabled());

    const QByteArray one = SavePriceList(1);
    EXPECT_TRUE(one.contains(ToCp1251(EscapeHtmlText(current)))) << FromCp1251(one).toStdString();
    EXPECT_EQ(QString::fromLatin1(one).count(QStringLiteral("<tr bgcolor=white><td valign=top>")), 1);

    // Cancelling the dialog saves nothing and asks for no file.
    bool asked = false;
    AnswerPrintSet(-1);
    SetSaveDialogHook([&](TSaveDialog &) {
        asked = true;
        return false;
    });
    Click("btnSave");
    EXPECT_FALSE(asked);

    // Cancelling the progress window neither: its button is pressed as the job
    // reports its first row.
    AnswerPrintSet(2);
    QTimer cancel;
    cancel.setInterval(1);
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (frmProgress && frmProgress->isVisible()) {
            cancel.stop();
            QTest::mouseClick(frmProgress->Button1, Qt::LeftButton);
        }
    });
    cancel.start();
    Click("btnSave");
    EXPECT_FALSE(cancel.isActive());
    EXPECT_FALSE(asked);
    EXPECT_EQ(Rows().FieldByName(QStringLiteral("sname")).AsString(), current);
    EXPECT_FALSE(Rows().ControlsDisabled());
    EXPECT_EQ(Grid()->MarkedRows().MarkedCount(), 2);
}

TEST_P(FirmPrice, PrintedPriceListIsThePreviewsPages)
{
    Open(47, 1);
    ShowPriceTab();
    AnswerPrintSet(2);
    const QString pdf = dir.filePath(QStringLiteral("price.pdf"));
    QStringList laidOut;
    SetPrintDialogHook([&](TPrintDialog &) {
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *form = qobject_cast<TPreviewForm *>(widget))
                laidOut = LaidOutPageTexts(form->Pages());
        Printer()->setOutputFormat(QPrinter::PdfFormat);
        Printer()->setOutputFileName(pdf);
        return true;
    });
    Click("btnPrint");
    SetPrintDialogHook({});
    ASSERT_FALSE(laidOut.isEmpty());
    EXPECT_TRUE(laidOut.first().contains(QStringLiteral("Прайс-лист организации")));
    ExpectPrintedPages(pdf, laidOut, 1, int(laidOut.size()));
}

TEST_P(FirmPrice, AFailureAtTheWalksEndReachesTheUser)
{
    Open(47, 1);
    ShowPriceTab();
    // Two marked goods: the walk goes to them and back, with no refresh after.
    MarkGoods(2);
    AnswerPrintSet(0);
    bool asked = false;
    SetSaveDialogHook([&](TSaveDialog &) {
        asked = true;
        return false;
    });
    // The grid cannot show the rows again when the walk gives them back,
    // while the job still runs in the progress window.
    bool failed = false;
    TDataSource &source = *Grid()->DataSource();
    const auto change = source.OnDataChange;
    source.OnDataChange = [&](TDataSource &s, TField *field) {
        if (frmProgress && frmProgress->isVisible() && !std::exchange(failed, true))
            throw Exception(QStringLiteral("lost"));
        if (change)
            change(s, field);
    };
    QTest::mouseClick(Get<QToolButton>("btnSave"), Qt::LeftButton);
    source.OnDataChange = change;
    EXPECT_TRUE(failed);
    EXPECT_EQ(shown, QStringList{QStringLiteral("lost")});
    EXPECT_FALSE(asked);
    EXPECT_FALSE(Rows().ControlsDisabled());
}

TEST_P(FirmPrice, AWalkThatFailsRestoresTheGrid)
{
    // A sample address with more rows than the grid shows, so that the walk
    // reads rows of its own.
    Open(47, 1);
    ShowPriceTab();
    ASSERT_GT(Rows().RecordCount(), Grid()->VisibleRowCount() + 2);
    Rows().MoveBy(2);
    const QString current = Rows().FieldByName(QStringLiteral("sname")).AsString();
    const int recNo = Rows().RecNo();
    const int top = Grid()->GetActiveRecord();
    AnswerPrintSet(2);
    bool asked = false;
    SetSaveDialogHook([&](TSaveDialog &) {
        asked = true;
        return false;
    });
    // The first row the walk reads (controls off) cannot be calculated, once.
    const TDataSetNotifyEvent calc = Rows().OnCalcFields;
    bool failed = false;
    Rows().OnCalcFields = [&](TDataSet &ds) {
        if (ds.ControlsDisabled() && !std::exchange(failed, true))
            throw Exception(QStringLiteral("lost"));
        calc(ds);
    };
    QTest::mouseClick(Get<QToolButton>("btnSave"), Qt::LeftButton);
    Rows().OnCalcFields = calc;
    EXPECT_TRUE(failed);
    EXPECT_EQ(shown, QStringList{QStringLiteral("lost")});
    EXPECT_FALSE(asked);
    EXPECT_FALSE(Rows().ControlsDisabled());
    EXPECT_EQ(Rows().RecNo(), recNo);
    EXPECT_EQ(Grid()->GetActiveRecord(), top);
    Rows().Resync();
    EXPECT_EQ(Rows().FieldByName(QStringLiteral("sname")).AsString(), current);
}

TEST(FirmPriceRows, RowsAreMarkupSafe)
{
    const struct {
        const char *name, *price, *id, *html;
    } cases[] = {
        {"Раздел - Подраздел", "", "-1",
         "<tr bgcolor=white><td valign=top colspan=2 align=center><b>Раздел - Подраздел</b></td></tr>"},
        {"Болт М6", "1 234.50 руб", "17",
         "<tr bgcolor=white><td valign=top>Болт М6</td><td valign=top nowrap align=right valign=top>1 234.50 "
         "руб</td></tr>"},
        {"<i>Клей</i> & Ко", "5.00 $", "18",
         "<tr bgcolor=white><td valign=top>&lt;i&gt;Клей&lt;/i&gt; &amp; Ко</td><td valign=top nowrap align=right "
         "valign=top>5.00 $</td></tr>"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TfrmPrice::BuildPriceRowHtml(QString::fromUtf8(c.name), QString::fromUtf8(c.price),
                                               QString::fromLatin1(c.id)),
                  QString::fromUtf8(c.html));
}

TEST_P(FirmPrice, SwitchesMenuKeysAndHint)
{
    Open(kFirm, 1);
    auto *status = Get<QStatusBar>("StatusBar1");
    auto *rich = Get<QWidget>("pnlGoodRichStr");
    EXPECT_FALSE(Get<QToolButton>("btnRichStr")->isEnabled());
    ShowPriceTab();
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(rich->isVisible());
    Click("btnStatusBar");
    EXPECT_FALSE(status->isVisible());
    Click("btnRichStr");
    EXPECT_FALSE(rich->isVisible());
    Click("btnStatusBar");
    Click("btnRichStr");
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(rich->isVisible());

    // A good's name, section and subsection below the grid; the name as hint.
    Rows().MoveBy(1);
    auto *name = Get<TDBText>("DBText1");
    EXPECT_EQ(name->text(), Rows().FieldByName(QStringLiteral("sname")).AsString());
    EXPECT_EQ(Get<TDBText>("DBText2")->text(),
              GetSuperGroupName(Rows().FieldByName(QStringLiteral("gid")).AsInteger()));
    EXPECT_EQ(Get<TDBText>("DBText3")->text(), GetGroupName(Rows().FieldByName(QStringLiteral("gid")).AsInteger()));
    QTest::mouseMove(name, name->rect().center());
    QMouseEvent move(QEvent::MouseMove, QPointF(name->rect().center()),
                     QPointF(name->mapToGlobal(name->rect().center())), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(name, &move);
    EXPECT_EQ(name->Hint(), name->text());
    EXPECT_TRUE(name->ShowHint());

    // The card's menu and keys.
    Tabs()->setCurrentIndex(0);
    auto *view = Get<QTextBrowser>("HTMLViewer1");
    auto *copy = Get<QAction>("mnuCopyToClipboard");
    auto *menu = Get<QMenu>("PopupMenu1");
    emit menu->aboutToShow();
    EXPECT_FALSE(copy->isEnabled());
    Get<QAction>("N6")->trigger();
    EXPECT_EQ(view->textCursor().selectedText().size(), view->toPlainText().size());
    emit menu->aboutToShow();
    EXPECT_TRUE(copy->isEnabled());
    view->moveCursor(QTextCursor::Start);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(view->textCursor().hasSelection());
}

TEST_P(FirmPrice, EscClosesTheWindowWhereverTheFocusIs)
{
    for (const char *name : {"HTMLViewer1", "qt_tabwidget_tabbar", "DBGrid1", "cbGroup"}) {
        SCOPED_TRACE(name);
        Open(kFirm, 1);
        QWidget *target = Get<QWidget>(name);
        ASSERT_NE(target, nullptr);
        // The page that holds the widget, as a user would click its tab.
        if (Tabs()->widget(1)->isAncestorOf(target))
            ShowPriceTab();
        target->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(target->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(w->isVisible());
        w.reset();
    }
}

// The card is laid out once, when the window shows, at the view's width
// then; not first at the size the view has before and again as it grows.
TEST_P(FirmPrice, CardIsLaidOutOnceAtItsFinalWidth)
{
    w = std::make_unique<TfrmPrice>(connection.get(), TCardLinkHandler(), QStringList());
    auto *view = Get<QTextBrowser>("HTMLViewer1");
    QList<qreal> layouts;
    QObject::connect(view->document()->documentLayout(), &QAbstractTextDocumentLayout::update, view, [&] {
        if (!view->document()->isEmpty())
            layouts << view->document()->textWidth();
    });
    w->Init(343, kFirm, 1, 0);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    QCoreApplication::processEvents();
    EXPECT_EQ(layouts, QList<qreal>{qreal(view->viewport()->width())});
    QString html;
    TZReadOnlyQuery q(connection.get());
    BuildFirmCardHtml(q, 343, kFirm, 1, false, nullptr, TCardSections::All(), html);
    QTextDocument expected;
    expected.setHtml(html);
    EXPECT_EQ(view->toPlainText(), expected.toPlainText());
    EXPECT_TRUE(view->toPlainText().contains(QStringLiteral("Тест-Маркет")));
}

// A firm name of a million letters in one word: the card shows its
// beginning at once; the saved card keeps it whole.
TEST_P(FirmPrice, AHugeFirmNameOpensAtOnceAndIsSavedWhole)
{
    if (GetParam())
        GTEST_SKIP() << "the firm is added to the local catalogue's copy";
    constexpr int kHuge = 990003;
    const QString name = QStringLiteral("Длинноимённая") + QString(1000000, u'Ж');
    ExecSqlite(LocalCatalogue(), {QStringLiteral("delete from address where fid=990003"),
                                  QStringLiteral("insert into address values (343,990003,1,'") + name +
                                      QStringLiteral("',1,26,'9','','','','Тест 0009','x')")});
    QElapsedTimer timer;
    timer.start();
    Open(kHuge, 1);
    QCoreApplication::processEvents();
    // Generous for a loaded machine; laying out the whole name takes far longer.
    EXPECT_LT(timer.elapsed(), 5000);
    const QString card = Get<QTextBrowser>("HTMLViewer1")->toPlainText();
    EXPECT_TRUE(card.contains(name.left(kMaxShownText))) << card.left(100).toStdString();
    EXPECT_LT(card.size(), 10000);
    // The caption holds no more of the name than the card does.
    EXPECT_EQ(w->windowTitle(), name.left(kMaxShownText) + QStringLiteral("\u2026"));

    const QString file = dir.filePath(QStringLiteral("card.htm"));
    SetSaveDialogHook([file](TSaveDialog &d) {
        d.FileName = file;
        return true;
    });
    Click("btnSave");
    EXPECT_TRUE(ReadAll(file).contains(ToCp1251(name)));
}

TEST_P(FirmPrice, OpeningWritesOneStatisticsRow)
{
    if (!GetParam()) {
        // The local version records nothing: no statistics database exists.
        StatDatabase = QStringLiteral("no_such_database");
        Open(kFirm, 1, 9900013);
        EXPECT_TRUE(shown.isEmpty());
        return;
    }
    SetStatClockSql(QStringLiteral("select timestamp'2026-08-03 10:00:00' as now"));
    Open(kFirm, 1, 9900013);
    w.reset();
    Open(kFirm, 2);
    SetStatClockSql(QString());
    TZReadOnlyQuery q(connection.get());
    q.SetSQL(QStringLiteral("select concat_ws('|',fid,city,sid,gid,good,firm) as r from s2026_08 order by dt, "
                            "length(good) desc"));
    q.Open();
    QStringList rows;
    for (q.First(); !q.Eof(); q.Next())
        rows << q.FieldByName(QStringLiteral("r")).AsString();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0], QStringLiteral("990001|city_343|2|201|Груши|Тест-Маркет"));
    // Opened from the organisation: a good of the address's list.
    EXPECT_TRUE(rows[1].startsWith(QStringLiteral("990001|city_343|"))) << rows[1].toStdString();
    EXPECT_TRUE(rows[1].endsWith(QStringLiteral("||Тест-Маркет (склад)"))) << rows[1].toStdString();
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

TEST_P(FirmPrice, AFailedStatisticsWriteRaisesBeforeAnythingIsFilled)
{
    if (!GetParam())
        GTEST_SKIP() << "statistics are network-only";
    StatDatabase = QStringLiteral("no_such_database");
    auto window = std::make_unique<TfrmPrice>(connection.get(), TCardLinkHandler(), QStringList());
    EXPECT_THROW(window->Init(343, kFirm, 1, 9900013), Exception);
    EXPECT_FALSE(window->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Deployments, FirmPrice, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

} // namespace
