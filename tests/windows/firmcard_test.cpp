// The organisation card on a small hand-made catalogue (every case of the
// card, both deployments) and on the generated sample catalogue (golden
// files, both layouts, both deployments).
#include "windows/price/firmcard.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/scratchdb.h"
#include "services/sqlite_func.h"
#include "services/tools_format.h"
#include "services/tools_viewer.h"
#include "testenv.h"
#include "windows/main/historyrec.h"
#include "windows/price/cardtelephony.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>

#include <functional>
#include <memory>

namespace {

// The telephony program as the card sees it: a known window, the transfer
// cities, and the answer it gives during the question.
class TFakeTelephony : public TCardTelephony
{
public:
    qintptr PhoneWnd = -1;
    QStringList TransferCities;
    bool Answer = false;
    int Questions = 0;  // calls of the query step
    int Broadcasts = 0; // questions that reached the telephony program
    std::function<void()> OnQuestion;

    void QueryCanTransfer(int cid) override
    {
        ++Questions;
        if (OnQuestion)
            OnQuestion();
        m_canTransfer = false;
        if (PhoneWnd > 0 && IsTransferCity(cid)) {
            ++Broadcasts;
            m_canTransfer = Answer;
        }
    }
    bool CanTransfer() const override { return m_canTransfer; }
    bool IsTransferCity(int cid) const override { return TransferCities.contains(QString::number(cid)); }
    void TransferCall(const QString &) override {}
    void CardLinkClicked(const QUrl &) override {}

private:
    bool m_canTransfer = false;
};

// The telephony program running and willing to transfer numbers of 343.
class TTransferringTelephony : public TFakeTelephony
{
public:
    TTransferringTelephony()
    {
        PhoneWnd = 42;
        TransferCities = {QStringLiteral("343")};
        Answer = true;
    }
};

class TTelephonyGuard
{
public:
    explicit TTelephonyGuard(TCardTelephony *t) { SetCardTelephony(t); }
    ~TTelephonyGuard() { SetCardTelephony(nullptr); }
};

// Russian dates, a fixed today for the local dialect.
class TCardEnvironment
{
public:
    TCardEnvironment() : m_locale(QLocale())
    {
        // The card's dates are Russian whatever the user's locale.
        QLocale::setDefault(QLocale::c());
        SetTodayHook([] { return QDate(2026, 12, 9); });
    }
    ~TCardEnvironment()
    {
        SetTodayHook({});
        QLocale::setDefault(m_locale);
    }

private:
    QLocale m_locale;
};

QString Card(TZReadOnlyQuery &q, int cid, int fid, int adr, bool compact, const THistoryRec *history = nullptr,
             const TCardSections &sections = TCardSections::All())
{
    QString html;
    BuildFirmCardHtml(q, cid, fid, adr, compact, history, sections, html);
    return html;
}

const QString kOpen = QStringLiteral("<table border=0 width=\"100%\"><tr><td>");
const QString kTableStart = QStringLiteral("<center><table border=0 CELLPADDING=1 CELLSPACING=1 width=\"100%\">");
const QString kCompactClose = QStringLiteral("</td></tr></table>");
const QString kTableClose = QStringLiteral("</table></center></td></tr></table>");

QString Heading(const QString &name)
{
    return QStringLiteral("<p align=center><font size=\"+1\"><b>") + name + QStringLiteral("</b></font></p>");
}

QString Row(const QString &caption, const QString &body)
{
    return QStringLiteral("<tr><td valign=top><b>") + caption + QStringLiteral("</b></td><td valign=top>") + body +
           QStringLiteral("</td></tr>");
}

QString Red(const QString &text)
{
    return QStringLiteral("<font color=red>") + text + QStringLiteral("</font>");
}

// ---------------------------------------------------------------------------
// The hand-made catalogue. Firm 343/1 has two addresses and a row in every
// table; 343/2 shows the working-time forms and has no goods; 343/3 lies on
// a street without a type row and has no firm row; 351/1 is in a city whose
// numbers are not transferred and has no dates.

const QStringList &ScratchTables()
{
    static const QStringList t = {
        QStringLiteral("create table city (cid integer, name varchar(20))"),
        QStringLiteral("create table street_type (id integer, name_small varchar(255))"),
        QStringLiteral("create table street_name (cid integer, id integer, name varchar(255), strt_id integer)"),
        QStringLiteral("create table address (cid integer, fid integer, adr_id integer, sfn varchar(255), "
                       "cr_id integer, strn_id integer, house varchar(10), lit varchar(10), office varchar(10), "
                       "ext varchar(100), order_post varchar(255), allinfo varchar(255))"),
        QStringLiteral("create table firm (cid integer, fid integer, org integer, update_firm datetime, "
                       "update_price datetime)"),
        QStringLiteral("create table good (cid integer, fid integer, adr_id integer, id integer, name varchar(255))"),
        QStringLiteral("create table phone (cid integer, fid integer, adr_id integer, allinfo varchar(255), "
                       "code varchar(10), phone varchar(20), prior integer)"),
        QStringLiteral("create table people (cid integer, fid integer, adr_id integer, name varchar(255), "
                       "post varchar(255), visible varchar(1), prior integer)"),
        QStringLiteral("create table attr (cid integer, fid integer, adr_id integer, attr varchar(255))"),
        QStringLiteral("create table discount (cid integer, fid integer, adr_id integer, tp varchar(1), "
                       "name varchar(255), start_date date, end_date date)"),
        QStringLiteral("create table transport (cid integer, fid integer, adr_id integer, name varchar(255), "
                       "prior integer)"),
        QStringLiteral("create table web (cid integer, fid integer, adr_id integer, tp varchar(1), "
                       "name varchar(255), who varchar(255), visible varchar(1), prior integer)"),
        QStringLiteral("create table wt (cid integer, fid integer, adr_id integer, AllDays varchar(1), "
                       "AllTimes varchar(1), NoBreaks varchar(1), days varchar(7), sw time, ew time, sb time, "
                       "eb time, who varchar(255))"),
    };
    return t;
}

const QStringList &ScratchRows()
{
    static const QStringList r = {
        QStringLiteral("insert into city values (343,'Екатеринбург'), (351,'Челябинск')"),
        QStringLiteral("insert into street_type values (1,'ул.'), (2,'пр.')"),
        QStringLiteral("insert into street_name values (343,1,'Ленина',1), (343,2,'Мира',2), "
                       "(343,3,'Объездная',99), (351,1,'Кирова',1)"),
        QStringLiteral("insert into address values "
                       "(343,1,1,'ООО Альфа',1,1,'5','а','12','вход со двора','',''), "
                       "(343,1,2,'ООО Альфа (склад)',1,2,'10','','','','',''), "
                       "(343,2,1,'Бета',1,1,'0','б','0','','',''), "
                       "(343,3,1,'Гамма',1,3,'7','','','','',''), "
                       "(351,1,1,'Дельта',1,1,'3','','','','','')"),
        QStringLiteral("insert into firm values (343,1,0,'2006-05-17 08:30:00','2006-05-18 00:00:00'), "
                       "(343,2,0,'2006-01-02 00:00:00','2006-01-03 10:00:00'), (351,1,0,NULL,NULL)"),
        QStringLiteral("insert into good values (343,1,0,1,'Хлеб'), (351,1,0,2,'Молоко')"),
        QStringLiteral("insert into phone values (343,1,0,'(343) 371-25-40','','3712540',1), "
                       "(343,1,1,'8 (343) 222-33-44','8343','2223344',2), "
                       "(343,1,1,'8-912-345-67-89 (сот.)','912','3456789',3), "
                       "(343,1,1,'','343','5556677',4), "
                       "(343,1,2,'(343) 999-88-77','343','9998877',5), "
                       "(351,1,0,'(351) 234-56-78',' ','2345678',1)"),
        QStringLiteral("insert into people values (343,1,0,'Иванов Иван','директор','1',1), "
                       "(343,1,1,'Петрова Анна','','1',2), (343,1,1,'Сидоров','бухгалтер','0',3), "
                       "(343,1,2,'Кузнецов','кладовщик','1',4)"),
        QStringLiteral("insert into attr values (343,1,0,'Продажа: хлеб'), (343,1,1,''), (343,1,2,'Склад')"),
        QStringLiteral("insert into discount values "
                       "(343,1,0,'d','Скидка 5%','2000-01-01','2099-12-31'), "
                       "(343,1,1,'a','Акция открытая','2006-01-01','2100-01-01'), "
                       "(343,1,1,'a','Акция с периодом','2006-03-01','2099-04-30'), "
                       "(343,1,0,'d','Старая скидка','2005-01-01','2005-02-01'), "
                       "(343,1,0,'a','Будущая акция','2099-01-01','2099-12-31'), "
                       "(343,1,0,'s','Сезонная','2000-01-01','2099-06-30'), "
                       "(343,1,2,'d','Скидка склада','2000-01-01','2099-01-31')"),
        QStringLiteral("insert into transport values (343,1,1,'Авт. 5',1), (343,1,2,'Трамв. 7',1)"),
        QStringLiteral("insert into web values (343,1,0,'w','www.alfa.ru','','1',1), "
                       "(343,1,0,'e','info@alfa.ru','отдел продаж','1',2), "
                       "(343,1,0,'i','123456789','менеджер','1',3), "
                       "(343,1,0,'x','any','справочная','1',4), "
                       "(343,1,0,'e','old@alfa.ru','','0',5), "
                       "(343,1,0,'w','','пусто','1',6)"),
        QStringLiteral("insert into wt values "
                       "(343,1,0,'0','0','0','12345','09:00:00','18:00:00','13:00:00','14:00:00',''), "
                       "(343,1,1,'0','0','1','67','10:00:00','16:00:00','00:00:00','00:00:00','склад'), "
                       "(343,1,2,'1','1','1','1234567','00:00:00','00:00:00','00:00:00','00:00:00',''), "
                       "(343,2,0,'0','0','1','135','09:00:00','13:00:00','00:00:00','00:00:00',''), "
                       "(343,2,0,'0','1','1','4','00:00:00','00:00:00','00:00:00','00:00:00','приём'), "
                       "(343,2,0,'0','0','0','','08:00:00','17:00:00','12:00:00','13:00:00',''), "
                       "(343,2,0,'1','0','0','1234567','08:00:00','22:00:00','13:00:00','13:30:00','')"),
    };
    return r;
}

class FirmCard : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        m_network = GetParam();
        if (m_network) {
            REQUIRE_MYSQL();
            // A database of this process's own: tests run in parallel.
            m_mysqlDb = QStringLiteral("card_scratch_%1").arg(QCoreApplication::applicationPid());
            {
                auto admin = scratch::OpenMysql(QStringLiteral("mysql"));
                admin->ExecuteDirect(QStringLiteral("drop database if exists ") + m_mysqlDb);
                admin->ExecuteDirect(QStringLiteral("create database ") + m_mysqlDb +
                                     QStringLiteral(" character set cp1251"));
            }
            m_conn = scratch::OpenMysql(m_mysqlDb);
        } else {
            RegisterSqliteFunctions();
            m_conn = scratch::OpenScratchSqlite(m_dir);
        }
        m_deployment = std::make_unique<scratch::TDeployment>(m_network);
        scratch::Exec(*m_conn, ScratchTables());
        scratch::Exec(*m_conn, ScratchRows());
        m_query = std::make_unique<TZReadOnlyQuery>(m_conn.get());
    }

    void TearDown() override
    {
        m_query.reset();
        m_conn.reset();
        if (!m_mysqlDb.isEmpty()) {
            auto admin = scratch::OpenMysql(QStringLiteral("mysql"));
            admin->ExecuteDirect(QStringLiteral("drop database if exists ") + m_mysqlDb);
        }
    }

    // Local dates stay as stored; the network shows the short date format.
    QString Date(const char *iso) const
    {
        const QDate d = QDate::fromString(QLatin1String(iso), QStringLiteral("yyyy-MM-dd"));
        return m_network ? d.toString(QStringLiteral("dd.MM.yyyy")) : QLatin1String(iso);
    }

    bool m_network = false;
    TCardEnvironment m_env;
    QTemporaryDir m_dir;
    QString m_mysqlDb;
    std::unique_ptr<TZConnection> m_conn;
    std::unique_ptr<scratch::TDeployment> m_deployment;
    std::unique_ptr<TZReadOnlyQuery> m_query;
};

INSTANTIATE_TEST_SUITE_P(Deployments, FirmCard, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

TEST_P(FirmCard, TableCardOfOneAddressHoldsEverySectionInOrder)
{
    TTransferringTelephony telephony;
    TTelephonyGuard guard(&telephony);

    QString discounts = QStringLiteral("Акция открытая<br>Скидка 5%<br>Сезонная<br>Акция с периодом "
                                       "Акция проводится с ") +
                        Date("2006-03-01") + QStringLiteral(" по ") + Date("2099-04-30") + QStringLiteral("<br>");
    if (m_network)
        discounts = Red(discounts);
    const QString expected =
        kOpen + Heading(QStringLiteral("ООО Альфа")) + kTableStart +
        Row(QStringLiteral("Вид деятельности"), QStringLiteral("Продажа: хлеб<br>")) +
        Row(QStringLiteral("Скидки, распродажи"), discounts) +
        Row(QStringLiteral("Телефоны"), QStringLiteral("<a href=transfer_3433712540>(343) 371-25-40</a><br>"
                                                       "8 (343) 222-33-44<br>8-912-345-67-89 (сот.)<br>")) +
        Row(QStringLiteral("Персонал"), QStringLiteral("Иванов Иван - директор<br>Петрова Анна<br>")) +
        QStringLiteral("<tr><td valign=top width=\"1%\"><b>Адрес</b></td><td valign=top>"
                       "г. Екатеринбург, ул. Ленина 5/а, оф. 12  (вход со двора)"
                       "<br><font size=\"-1\">Как проехать:<br>Авт. 5<br></font></td></tr>") +
        Row(QStringLiteral("Виртуальные адреса"),
            QStringLiteral("сайт: <a href=\"http://www.alfa.ru\" target=\"_blank\" rel=\"nofollow\">www.alfa.ru</a>"
                           "<br>e-mail: <a href=\"mailto:info@alfa.ru\">info@alfa.ru</a>(отдел продаж)<br>"
                           "ICQ: 123456789(менеджер)<br>(справочная)<br>")) +
        Row(QStringLiteral("Равноправные подразделения"),
            QStringLiteral("<a href=filial_343_1_2>ООО Альфа (склад)</a><br>г. Екатеринбург, пр. Мира 10<br>")) +
        Row(QStringLiteral("Время работы"),
            QStringLiteral("Понедельник-Пятница с 09:00 до 18:00 с 13:00 до 14:00<br>"
                           "Суббота,Воскресенье с 10:00 до 16:00 без перерыва - склад<br>")) +
        Row(QStringLiteral("Дата измен. информации"), QStringLiteral("17.05.2006 08:30:00")) +
        Row(QStringLiteral("Дата измен. прайс-листа"), QStringLiteral("18.05.2006")) + kTableClose;
    EXPECT_EQ(Card(*m_query, 343, 1, 1, false), expected);
    EXPECT_EQ(telephony.Broadcasts, 1);
}

TEST_P(FirmCard, CompactCardHighlightsTheTypedWordsInTheirSectionsOnly)
{
    TTransferringTelephony telephony;
    TTelephonyGuard guard(&telephony);

    THistoryRec view;
    view.Kind = 1;
    view.ByUser = true;
    view.EnprName = QStringLiteral("альфа");
    view.EnprAttr = QStringLiteral("ХЛЕБ");
    view.EnprPhone = QStringLiteral("371");
    view.EnprPeople = QStringLiteral("анна");
    view.EnprPost = QStringLiteral("ленина");
    view.EnprWeb = QStringLiteral("alfa|продаж");

    QString discounts = QStringLiteral("Акция открытая<br>Скидка 5%<br>Сезонная<br>Акция с периодом "
                                       "Акция проводится с ") +
                        Date("2006-03-01") + QStringLiteral(" по ") + Date("2099-04-30") + QStringLiteral("<br>");
    if (m_network)
        discounts = Red(discounts);
    // With a view no telephone is a link; the network lists only the count,
    // the row without a text included.
    const QString phones = m_network
                               ? QStringLiteral("4 телефонов (смотри карточку организации или нажми пробел)<br><br>")
                               : QStringLiteral("(343) ") + Red(QStringLiteral("371")) +
                                     QStringLiteral("-25-40<br>8 (343) 222-33-44<br>8-912-345-67-89 (сот.)<br><br>");
    const QString expected =
        kOpen + Heading(QStringLiteral("ООО ") + Red(QStringLiteral("Альфа"))) + QStringLiteral("<br>") +
        QStringLiteral("<b>Вид деятельности</b><br>Продажа: ") + Red(QStringLiteral("хлеб")) +
        QStringLiteral("<br><br>") + QStringLiteral("<b>Скидки, распродажи</b><br>") + discounts +
        QStringLiteral("<br>") + QStringLiteral("<b>Телефоны</b><br>") + phones +
        QStringLiteral("<b>Персонал</b><br>Иванов Иван - директор<br>Петрова ") + Red(QStringLiteral("Анна")) +
        QStringLiteral("<br><br>") + QStringLiteral("<b>Адрес</b><br>г. Екатеринбург, ул. ") +
        Red(QStringLiteral("Ленина")) +
        QStringLiteral(" 5/а, оф. 12  (вход со двора)<br><font size=\"-1\">Как проехать:<br>Авт. 5<br></font><br>") +
        QStringLiteral("<b>Виртуальные адреса</b><br>сайт: <a href=\"http://www.alfa.ru\" target=\"_blank\" "
                       "rel=\"nofollow\">www.") +
        Red(QStringLiteral("alfa")) + QStringLiteral(".ru</a><br>e-mail: <a href=\"mailto:info@alfa.ru\">info@") +
        Red(QStringLiteral("alfa")) + QStringLiteral(".ru</a>(отдел ") + Red(QStringLiteral("продаж")) +
        QStringLiteral(")<br>ICQ: 123456789(менеджер)<br>(справочная)<br><br>") +
        QStringLiteral("<b>Равноправные подразделения</b><br><a href=filial_343_1_2>ООО Альфа (склад)</a><br>"
                       "г. Екатеринбург, пр. Мира 10<br><br>") +
        QStringLiteral("<b>Время работы</b><br>Понедельник-Пятница с 09:00 до 18:00 с 13:00 до 14:00<br>"
                       "Суббота,Воскресенье с 10:00 до 16:00 без перерыва - склад<br><br>") +
        QStringLiteral("<b>Дата измен. информации</b><br>17.05.2006 08:30:00<br><br>") +
        QStringLiteral("<b>Дата измен. прайс-листа</b><br>18.05.2006<br><br>") + kCompactClose;
    EXPECT_EQ(Card(*m_query, 343, 1, 1, true, &view), expected);

    // The same view not typed by the user highlights nothing.
    view.ByUser = false;
    const QString plain = Card(*m_query, 343, 1, 1, true, &view);
    EXPECT_FALSE(plain.contains(QStringLiteral("<font color=red>Альфа")));
    EXPECT_FALSE(plain.contains(QStringLiteral("transfer_")));
    EXPECT_TRUE(plain.contains(QStringLiteral("<p align=center><font size=\"+1\"><b>ООО Альфа</b>")));
}

TEST_P(FirmCard, AllSwitchesOffGiveTheBareFrameAndStillAskTheTelephony)
{
    TFakeTelephony telephony;
    TTelephonyGuard guard(&telephony);
    const TCardSections none = TCardSections::None();
    EXPECT_EQ(Card(*m_query, 343, 1, 1, true, nullptr, none), kOpen + QStringLiteral("<br>") + kCompactClose);
    EXPECT_EQ(Card(*m_query, 343, 1, 1, false, nullptr, none), kOpen + kTableStart + kTableClose);
    EXPECT_EQ(telephony.Questions, 2);
    // No telephony window known: nothing is broadcast.
    EXPECT_EQ(telephony.Broadcasts, 0);
}

TEST_P(FirmCard, TransferLinksNeedTheAnswerTheCityAndNoView)
{
    TTransferringTelephony telephony;
    TTelephonyGuard guard(&telephony);
    TCardSections phones = TCardSections::None();
    phones.Phone = true;
    const QString link = QStringLiteral("<a href=transfer_3433712540>(343) 371-25-40</a>");

    telephony.Answer = false; // the telephony program cannot transfer now
    EXPECT_FALSE(Card(*m_query, 343, 1, 1, false, nullptr, phones).contains(QStringLiteral("transfer_")));
    telephony.Answer = true;
    const QString withLink = Card(*m_query, 343, 1, 1, false, nullptr, phones);
    EXPECT_TRUE(withLink.contains(link));
    // Eleven characters, or a mobile number beginning with 9: plain text.
    EXPECT_TRUE(withLink.contains(QStringLiteral("<br>8 (343) 222-33-44<br>8-912-345-67-89 (сот.)<br>")));
    EXPECT_EQ(withLink.count(QStringLiteral("<a href")), 1);

    THistoryRec view; // a view never gets links, typed or not
    EXPECT_FALSE(Card(*m_query, 343, 1, 1, false, &view, phones).contains(QStringLiteral("<a href")));
    view.ByUser = true;
    EXPECT_FALSE(Card(*m_query, 343, 1, 1, true, &view, phones).contains(QStringLiteral("<a href")));

    // 351 is no transfer city: the blank code gives 3512345678, but no
    // question is asked and no link appears.
    const int before = telephony.Broadcasts;
    const QString other = Card(*m_query, 351, 1, 1, false, nullptr, phones);
    EXPECT_EQ(telephony.Broadcasts, before);
    EXPECT_TRUE(other.contains(Row(QStringLiteral("Телефоны"), QStringLiteral("(351) 234-56-78<br>"))));

    // Without any telephony provider the card is built without links.
    SetCardTelephony(nullptr);
    EXPECT_FALSE(Card(*m_query, 343, 1, 1, false, nullptr, phones).contains(QStringLiteral("<a href")));
}

TEST_P(FirmCard, WholeFirmCollectsEveryAddressAndListsAllBranches)
{
    const QString card = Card(*m_query, 343, 1, 0, false);
    EXPECT_TRUE(card.contains(Row(QStringLiteral("Вид деятельности"), QStringLiteral("Продажа: хлеб<br>Склад<br>"))));
    EXPECT_TRUE(
        card.contains(Row(QStringLiteral("Персонал"),
                          QStringLiteral("Иванов Иван - директор<br>Петрова Анна<br>Кузнецов - кладовщик<br>"))));
    EXPECT_TRUE(card.contains(QStringLiteral("Как проехать:<br>Авт. 5<br>Трамв. 7<br></font>")));
    EXPECT_TRUE(card.contains(QStringLiteral("(343) 999-88-77<br>")));
    EXPECT_TRUE(card.contains(QStringLiteral("Скидка склада")));
    EXPECT_TRUE(card.contains(
        Row(QStringLiteral("Равноправные подразделения"),
            QStringLiteral("<a href=filial_343_1_1>ООО Альфа</a><br>г. Екатеринбург, ул. Ленина 5/а, оф. 12  "
                           "(вход со двора)<br><a href=filial_343_1_2>ООО Альфа (склад)</a><br>"
                           "г. Екатеринбург, пр. Мира 10<br>"))));
    EXPECT_TRUE(card.contains(QStringLiteral("Суббота,Воскресенье с 10:00 до 16:00 без перерыва - склад<br>"
                                             "без выходных круглосуточно без перерыва<br>")));
    // The heading takes the first address of the firm.
    EXPECT_TRUE(card.contains(Heading(QStringLiteral("ООО Альфа"))));
}

TEST_P(FirmCard, WorkingTimeUsesFirstAndLastDayAndTheFlags)
{
    TCardSections wt = TCardSections::None();
    wt.Wt = true;
    // Rows in order of the days text: '' < '1234567' < '135' < '4'.
    EXPECT_EQ(Card(*m_query, 343, 2, 1, true, nullptr, wt),
              kOpen +
                  QStringLiteral("<br><b>Время работы</b><br>"
                                 " с 08:00 до 17:00 с 12:00 до 13:00<br>"
                                 "без выходных с 08:00 до 22:00 с 13:00 до 13:30<br>"
                                 "Понедельник-Пятница с 09:00 до 13:00 без перерыва<br>"
                                 "Четверг круглосуточно без перерыва - приём<br><br>") +
                  kCompactClose);
}

TEST_P(FirmCard, DatesFollowTheFirmRowAndThePriceDateNeedsGoods)
{
    TCardSections dates = TCardSections::None();
    dates.Update = true;
    // Midnight drops the time; no goods: only the data date.
    EXPECT_EQ(Card(*m_query, 343, 2, 1, false, nullptr, dates),
              kOpen + kTableStart + Row(QStringLiteral("Дата измен. информации"), QStringLiteral("02.01.2006")) +
                  kTableClose);
    // No firm row: no date sections at all.
    EXPECT_EQ(Card(*m_query, 343, 3, 1, false, nullptr, dates), kOpen + kTableStart + kTableClose);
    // A firm without dates shows none (not 30.12.1899), goods or not.
    EXPECT_EQ(Card(*m_query, 351, 1, 1, true, nullptr, dates), kOpen + QStringLiteral("<br>") + kCompactClose);
}

TEST_P(FirmCard, AddressWithoutStreetTypeGivesAnEmptyNameAndTheCityPrefix)
{
    EXPECT_EQ(Card(*m_query, 343, 3, 1, true),
              kOpen + Heading(QString()) + QStringLiteral("<br><b>Адрес</b><br>г.<br>") + kCompactClose);
}

TEST_P(FirmCard, TransportIsReadOnlyWithTheAddressSection)
{
    TZSQLMonitor monitor;
    monitor.Active = true;
    monitor.MaxTraceCount = 1000;
    m_conn->SetMonitor(&monitor);
    Card(*m_query, 343, 1, 1, false);
    ASSERT_TRUE(monitor.TraceList().join(u'\n').contains(QStringLiteral("FROM transport")));
    const int seen = int(monitor.TraceList().size());

    TCardSections sections = TCardSections::All();
    sections.Post = false;
    const QString card = Card(*m_query, 343, 1, 1, false, nullptr, sections);
    EXPECT_FALSE(card.contains(QStringLiteral("Как проехать")));
    EXPECT_FALSE(monitor.TraceList().mid(seen).join(u'\n').contains(QStringLiteral("FROM transport")));
    const int seen2 = int(monitor.TraceList().size());

    sections = TCardSections::All();
    sections.Transport = false;
    const QString noTransport = Card(*m_query, 343, 1, 1, false, nullptr, sections);
    EXPECT_TRUE(noTransport.contains(QStringLiteral("(вход со двора)</td></tr>")));
    EXPECT_FALSE(monitor.TraceList().mid(seen2).join(u'\n').contains(QStringLiteral("FROM transport")));

    m_conn->SetMonitor(nullptr);
}

TEST_P(FirmCard, WaitCursorIsOffWhileBuildingAndRestoredAfterwards)
{
    TFakeTelephony telephony;
    bool cursorDuring = true;
    telephony.OnQuestion = [&] { cursorDuring = m_conn->SQLHourGlass; };
    TTelephonyGuard guard(&telephony);

    for (bool saved : {true, false}) {
        m_conn->SQLHourGlass = saved;
        cursorDuring = true;
        Card(*m_query, 343, 1, 1, true);
        EXPECT_FALSE(cursorDuring);
        EXPECT_EQ(m_conn->SQLHourGlass, saved);
    }

    // A failing query reaches the caller, the card stays as it was and the
    // switch is restored all the same.
    m_conn->SQLHourGlass = true;
    m_conn->ExecuteDirect(QStringLiteral("drop table web"));
    QString html = QStringLiteral("старая карточка");
    EXPECT_THROW(BuildFirmCardHtml(*m_query, 343, 1, 1, true, nullptr, TCardSections::All(), html), EDatabaseError);
    EXPECT_EQ(html, QStringLiteral("старая карточка"));
    EXPECT_TRUE(m_conn->SQLHourGlass);
}

// A card viewer that notes every resource the page asks for.
class TRecordingViewer : public TCardViewer
{
public:
    QList<QUrl> requests;
    QVariant loadResource(int type, const QUrl &name) override
    {
        requests << name;
        return TCardViewer::loadResource(type, name);
    }
};

// Firm 343/9 keeps markup in every text the card shows. The viewer must show
// it as written: no heading, no picture, no file read, no link but the card's.
TEST_P(FirmCard, CatalogueMarkupShowsAsTextAndReadsNothing)
{
    TTransferringTelephony telephony;
    TTelephonyGuard guard(&telephony);
    scratch::Exec(
        *m_conn,
        {QStringLiteral("insert into address values (343,9,1,'<h1>Злая & Co</h1>',1,1,'1','','','<img "
                        "src=file:///etc/passwd>','',''), (343,9,2,'<i>Филиал</i> & склад',1,2,'2','','','','','')"),
         QStringLiteral("insert into attr values (343,9,1,'<img src=file:///etc/passwd>')"),
         QStringLiteral("insert into discount values (343,9,1,'d','<s>скидка</s> &amp;','2000-01-01','2099-12-31')"),
         QStringLiteral("insert into phone values (343,9,1,'<a href=transfer_1>ложный</a> & 222','343','2223344',1)"),
         QStringLiteral("insert into people values (343,9,1,'<b>Петров</b>','<i>директор</i> & Co','1',1)"),
         QStringLiteral("insert into transport values (343,9,1,'<u>Авт.</u> 5',1)"),
         QStringLiteral("insert into web values (343,9,1,'w','evil.ru\" onclick=\"x','<script>x</script>','1',1), "
                        "(343,9,1,'e','a@b.ru\"><img src=x>','','1',2)"),
         QStringLiteral("insert into wt values (343,9,1,'0','0','1','12345','09:00:00','18:00:00','00:00:00',"
                        "'00:00:00','<b>кто</b>')")});

    THistoryRec typed;
    typed.Kind = 1;
    typed.ByUser = true;
    typed.EnprName = QStringLiteral("злая");
    typed.EnprAttr = QStringLiteral("img");
    typed.EnprWeb = QStringLiteral("lt");
    const QStringList shownAlways = {
        QStringLiteral("<h1>Злая & Co</h1>"),    QStringLiteral("<img src=file:///etc/passwd>"),
        QStringLiteral("<s>скидка</s> &amp;"),   QStringLiteral("<b>Петров</b> - <i>директор</i> & Co"),
        QStringLiteral("<u>Авт.</u> 5"),         QStringLiteral("(<script>x</script>)"),
        QStringLiteral("<i>Филиал</i> & склад"), QStringLiteral("без перерыва - <b>кто</b>"),
    };
    const QString card = QStringLiteral("<a href=transfer_1>ложный</a> & 222");
    for (const bool compact : {true, false}) {
        for (const THistoryRec *view :
             {static_cast<const THistoryRec *>(nullptr), static_cast<const THistoryRec *>(&typed)}) {
            SCOPED_TRACE(std::string(compact ? "compact" : "table") + (view ? ", typed view" : ""));
            TRecordingViewer viewer;
            viewer.resize(600, 800);
            viewer.setHtml(Card(*m_query, 343, 9, 1, compact, view));
            viewer.grab();
            const QString text = viewer.toPlainText();
            for (const QString &literal : shownAlways)
                EXPECT_TRUE(text.contains(literal)) << literal.toStdString();
            if (!(compact && m_network)) {
                EXPECT_TRUE(text.contains(card));
            }
            EXPECT_TRUE(viewer.requests.isEmpty()) << viewer.requests.value(0).toString().toStdString();

            QStringList links;
            for (QTextBlock b = viewer.document()->begin(); b.isValid(); b = b.next()) {
                EXPECT_EQ(b.blockFormat().headingLevel(), 0) << b.text().toStdString();
                for (auto it = b.begin(); !it.atEnd(); ++it) {
                    const QTextCharFormat f = it.fragment().charFormat();
                    EXPECT_FALSE(f.isImageFormat());
                    if (f.isAnchor() && !links.contains(f.anchorHref()))
                        links << f.anchorHref();
                }
            }
            QStringList expected = {QStringLiteral("http://evil.ru\" onclick=\"x"),
                                    QStringLiteral("mailto:a@b.ru\"><img src=x>"), QStringLiteral("filial_343_9_2")};
            if (!view && !(compact && m_network))
                expected.prepend(QStringLiteral("transfer_3432223344"));
            EXPECT_EQ(links, expected);
        }
    }
}

// Local dates are texts: one of the wrong length is no date, a malformed
// one of the right length is an error that reaches the caller.
TEST(FirmCardLocal, DateTextsOfTheWrongLengthShowNoDate)
{
    TCardEnvironment env;
    scratch::TDeployment local(false);
    RegisterSqliteFunctions();
    QTemporaryDir dir;
    auto conn = scratch::OpenScratchSqlite(dir);
    scratch::Exec(*conn, ScratchTables());
    scratch::Exec(*conn, {QStringLiteral("insert into firm values (343,1,0,'2006-05-17','2006-05-17 10:00:00')"),
                          QStringLiteral("insert into good values (343,1,0,1,'x')")});
    TZReadOnlyQuery q(conn.get());
    TCardSections dates = TCardSections::None();
    dates.Update = true;
    EXPECT_EQ(Card(q, 343, 1, 1, false, nullptr, dates),
              kOpen + kTableStart +
                  Row(QStringLiteral("Дата измен. прайс-листа"), QStringLiteral("17.05.2006 10:00:00")) + kTableClose);
    conn->ExecuteDirect(QStringLiteral("update firm set update_firm='2006-13-17 10:00:00'"));
    QString html;
    EXPECT_THROW(BuildFirmCardHtml(q, 343, 1, 1, false, nullptr, dates, html), Exception);
}

// ---------------------------------------------------------------------------
// Golden cards of the generated sample catalogue. The firms are picked by
// what makes them hard, so a change of the generator picks the same kinds.

struct TGoldenCase {
    const char *name;
    const char *pickSql; // gives cid, fid, adr_id
    bool compact;
    bool typedView; // a view typed by the user (else no view and a telephony that transfers)
};

const char *const kAllSections =
    "select a.cid, a.fid, a.adr_id from address a where "
    "exists (select 1 from attr p where p.cid=a.cid and p.fid=a.fid and p.adr_id in (a.adr_id,0)) and "
    "exists (select 1 from discount p where p.cid=a.cid and p.fid=a.fid and p.adr_id in (a.adr_id,0) and "
    "p.tp='a' and p.end_date>='2026-12-09' and p.start_date<='2026-12-09') and "
    "exists (select 1 from phone p where p.cid=a.cid and p.fid=a.fid and p.adr_id in (a.adr_id,0) and "
    "p.allinfo<>'') and "
    "exists (select 1 from people p where p.cid=a.cid and p.fid=a.fid and p.adr_id in (a.adr_id,0) and "
    "p.visible='1') and "
    "exists (select 1 from transport p where p.cid=a.cid and p.fid=a.fid and p.adr_id in (a.adr_id,0)) and "
    "exists (select 1 from web p where p.cid=a.cid and p.fid=a.fid and p.adr_id in (a.adr_id,0) and "
    "p.visible='1') and "
    "exists (select 1 from wt p where p.cid=a.cid and p.fid=a.fid and p.adr_id in (a.adr_id,0)) and "
    "exists (select 1 from good p where p.cid=a.cid and p.fid=a.fid) and "
    "exists (select 1 from address p where p.cid=a.cid and p.fid=a.fid and p.adr_id<>a.adr_id) "
    "order by a.cid<>343, a.cid, a.fid, a.adr_id limit 1";
// The firm with the most working-time rows (every pattern, every web kind).
const char *const kWholeFirm =
    "select cid, fid, 0 as adr_id from wt group by cid, fid order by count(*) desc, cid, fid limit 1";
const char *const kNoStreetType =
    "select a.cid, a.fid, a.adr_id from address a, street_name s where s.cid=a.cid and s.id=a.strn_id and "
    "not exists (select 1 from street_type t where t.id=s.strt_id) order by a.cid<>343, a.cid, a.fid, a.adr_id limit 1";
const char *const kDashStreet =
    "select a.cid, a.fid, a.adr_id from address a, street_name s where s.cid=a.cid and s.id=a.strn_id and "
    "s.name='--' order by a.cid<>343, a.cid, a.fid, a.adr_id limit 1";
const char *const kNoGoods =
    "select a.cid, a.fid, a.adr_id from address a, firm f where f.cid=a.cid and f.fid=a.fid and not exists "
    "(select 1 from good g where g.cid=a.cid and g.fid=a.fid) order by a.cid<>343, a.cid, a.fid, a.adr_id limit 1";
const char *const kNoPriceDate =
    "select a.cid, a.fid, a.adr_id from address a, firm f where f.cid=a.cid and f.fid=a.fid and "
    "f.update_price is null and exists (select 1 from good g where g.cid=a.cid and g.fid=a.fid) "
    "order by a.cid<>343, a.cid, a.fid, a.adr_id limit 1";

const TGoldenCase kGoldenCases[] = {
    {"all_sections", kAllSections, true, true},     {"all_sections", kAllSections, false, false},
    {"whole_firm", kWholeFirm, true, false},        {"whole_firm", kWholeFirm, false, false},
    {"no_street_type", kNoStreetType, true, false}, {"dash_street", kDashStreet, false, false},
    {"no_goods", kNoGoods, false, false},           {"no_price_date", kNoPriceDate, false, false},
};

class GoldenCard : public ::testing::TestWithParam<std::tuple<int, bool>>
{};

TEST_P(GoldenCard, MatchesTheCheckedFile)
{
    const TGoldenCase &c = kGoldenCases[std::get<0>(GetParam())];
    const bool network = std::get<1>(GetParam());
    if (network)
        REQUIRE_MYSQL();
    const auto conn = scratch::OpenCatalogue(network);
    TCardEnvironment env;
    scratch::TDeployment deployment(network);
    TZReadOnlyQuery q(conn.get());
    q.SetSQL(QLatin1String(c.pickSql));
    q.Open();
    ASSERT_FALSE(q.IsEmpty()) << c.name;
    const int cid = q.FieldByName(QStringLiteral("cid")).AsInteger();
    const int fid = q.FieldByName(QStringLiteral("fid")).AsInteger();
    const int adr = q.FieldByName(QStringLiteral("adr_id")).AsInteger();

    TTransferringTelephony telephony;
    TTelephonyGuard guard(&telephony);
    THistoryRec view;
    view.Kind = 1;
    view.ByUser = true;
    view.EnprName = QStringLiteral("арт");
    view.EnprAttr = QStringLiteral("продажа");
    view.EnprPhone = QStringLiteral("(343)");
    view.EnprPeople = QStringLiteral("ов");
    view.EnprPost = QStringLiteral("ул");
    view.EnprWeb = QStringLiteral("ru");
    const QByteArray html = Card(q, cid, fid, adr, c.compact, c.typedView ? &view : nullptr).toUtf8();

    const QString file =
        QStringLiteral(TREVIN_TEST_DATA "/card/%1.%2.%3.html")
            .arg(QLatin1String(c.name), c.compact ? QStringLiteral("compact") : QStringLiteral("table"),
                 network ? QStringLiteral("network") : QStringLiteral("local"));
    QFile f(file);
    if (!qEnvironmentVariableIsEmpty("TREVIN_UPDATE_GOLDEN")) {
        QDir().mkpath(QFileInfo(file).path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(html);
        return;
    }
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(file);
    const QByteArray expected = f.readAll();
    if (expected != html) {
        qsizetype at = 0;
        while (at < expected.size() && at < html.size() && expected[at] == html[at])
            ++at;
        ADD_FAILURE() << qPrintable(file) << " for " << cid << "/" << fid << "/" << adr << " differs at byte " << at
                      << "\n  expected: ..." << expected.mid(std::max<qsizetype>(0, at - 40), 120).constData()
                      << "\n  built:    ..." << html.mid(std::max<qsizetype>(0, at - 40), 120).constData();
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, GoldenCard,
                         ::testing::Combine(::testing::Range(0, int(std::size(kGoldenCases))),
                                            ::testing::Values(false, true)),
                         [](const auto &info) {
                             const TGoldenCase &c = kGoldenCases[std::get<0>(info.param)];
                             return std::string(c.name) + (c.compact ? "_compact_" : "_table_") +
                                    (std::get<1>(info.param) ? "Network" : "Local");
                         });

} // namespace
