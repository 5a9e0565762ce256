#include "services/tools_format.h"

#include "data/dberror.h"
#include "scratchdb.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <limits>

namespace {

// Switches the user's locale for one test.
class TLocaleGuard
{
public:
    explicit TLocaleGuard(const QLocale &locale) : m_saved(QLocale()) { QLocale::setDefault(locale); }
    ~TLocaleGuard() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

} // namespace

TEST(FormatPrice, ZeroAndBelowOneHundredthGiveNothing)
{
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 0), QString());
    EXPECT_EQ(FormatPrice(QStringLiteral("doll"), 0.004), QString());
    EXPECT_EQ(FormatPrice(QStringLiteral("doll"), -0.009), QString());
}

TEST(FormatPrice, CurrencyWordsByExactCode)
{
    EXPECT_EQ(FormatPrice(QStringLiteral("doll"), 1234.5), QStringLiteral("1 234.50 $"));
    EXPECT_EQ(FormatPrice(QStringLiteral("euro"), 999), QStringLiteral("999.00 euro"));
    EXPECT_EQ(FormatPrice(QStringLiteral("DOLL"), 1), QStringLiteral("1.00 руб"));
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 5), QStringLiteral("5.00 руб"));
    EXPECT_EQ(FormatPrice(QString(), 5), QStringLiteral("5.00 руб"));
}

TEST(FormatPrice, TruncatesToHundredths)
{
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 12.349), QStringLiteral("12.34 руб"));
    // 0.29 is stored just below 0.29.
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 0.29), QStringLiteral("0.28 руб"));
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 0.01), QStringLiteral("0.01 руб"));
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 99.999), QStringLiteral("99.99 руб"));
}

TEST(FormatPrice, OneGroupBlankAndSign)
{
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 1234567), QStringLiteral("1234 567.00 руб"));
    EXPECT_EQ(FormatPrice(QStringLiteral("euro"), 1234567.75), QStringLiteral("1234 567.75 euro"));
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), -1234.5), QStringLiteral("-1 234.50 руб"));
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), -123.45), QStringLiteral("-123.45 руб"));
    EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), 1e20), QStringLiteral("100000000000000000 000.00 руб"));
}

// The whole number of hundredths is written digit for digit, at any size:
// large values used to pass through a division in double and lose their
// last digits.
TEST(FormatPrice, WholeHundredthsExactAtEveryMagnitude)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double value;
        QString text;
    } cases[] = {
        {0.01, QStringLiteral("0.01 руб")},
        {-0.01, QStringLiteral("-0.01 руб")},
        {0.1, QStringLiteral("0.10 руб")},
        {-7.05, QStringLiteral("-7.05 руб")},
        {12345678.9, QStringLiteral("12345 678.90 руб")},
        {5e13, QStringLiteral("50000000000 000.00 руб")},
        // Stored as ...666.125; times 100 the nearest double is ...66608.
        {-734826514493666.1, QStringLiteral("-734826514493 666.08 руб")},
        {734826514493666.1, QStringLiteral("734826514493 666.08 руб")},
        // 2^64 and 2^80: beyond 64-bit integers.
        {18446744073709551616.0, QStringLiteral("18446744073709551 616.00 руб")},
        {-1208925819614629174706176.0, QStringLiteral("-1208925819614629174706 176.00 руб")},
        // Nothing to show.
        {0.004, QString()},
        {-0.009, QString()},
        {nan, QString()},
        {inf, QString()},
        {-inf, QString()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FormatPrice(QStringLiteral("rubl"), c.value), c.text) << c.value;
}

TEST(FormatPrice, DecimalPointWhateverTheLocale)
{
    TLocaleGuard ru(QLocale(QLocale::Russian, QLocale::Russia));
    EXPECT_EQ(FormatPrice(QStringLiteral("doll"), 1234.5), QStringLiteral("1 234.50 $"));
}

TEST(EscapeHtml, MarkupCharactersBecomeEntities)
{
    const struct {
        QString text;
        QString asText;
        QString asAttribute;
    } cases[] = {
        {QStringLiteral("ООО \"Д'Артаньян\", №2"), QStringLiteral("ООО \"Д'Артаньян\", №2"),
         QStringLiteral("ООО &quot;Д'Артаньян&quot;, №2")},
        {QStringLiteral("<img src=file:///etc/passwd>"), QStringLiteral("&lt;img src=file:///etc/passwd&gt;"),
         QStringLiteral("&lt;img src=file:///etc/passwd&gt;")},
        {QStringLiteral("A&B &amp;"), QStringLiteral("A&amp;B &amp;amp;"), QStringLiteral("A&amp;B &amp;amp;")},
        {QStringLiteral("x\" onclick=\"y"), QStringLiteral("x\" onclick=\"y"),
         QStringLiteral("x&quot; onclick=&quot;y")},
        {QStringLiteral("Цена > 5"), QStringLiteral("Цена &gt; 5"), QStringLiteral("Цена &gt; 5")},
        {QString(), QString(), QString()},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(EscapeHtmlText(c.text), c.asText);
        EXPECT_EQ(EscapeHtmlAttribute(c.text), c.asAttribute);
    }
}

TEST(GroupThousands, Cases)
{
    EXPECT_EQ(GroupThousands(QString()), QString());
    EXPECT_EQ(GroupThousands(QStringLiteral("   ")), QString());
    EXPECT_EQ(GroupThousands(QStringLiteral("1234")), QString()); // no decimal mark
    EXPECT_EQ(GroupThousands(QStringLiteral(" 1234,5 ")), QStringLiteral("1 234.5"));
    EXPECT_EQ(GroupThousands(QStringLiteral("123.00")), QStringLiteral("123.00"));
    EXPECT_EQ(GroupThousands(QStringLiteral("12.00")), QStringLiteral("12.00"));
    EXPECT_EQ(GroupThousands(QStringLiteral("1234567.89")), QStringLiteral("1234 567.89"));
    EXPECT_EQ(GroupThousands(QStringLiteral("-1234.00")), QStringLiteral("-1 234.00"));
    EXPECT_EQ(GroupThousands(QStringLiteral("1.2.3")), QStringLiteral("1.2.3"));
}

TEST(ParsePriceText, BothDecimalMarksInAnyLocale)
{
    for (const QLocale &locale :
         {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        TLocaleGuard guard(locale);
        SCOPED_TRACE(locale.name().toStdString());
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("12,50")), 12.5);
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("12.50")), 12.5);
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("  12,50 ")), 12.5);
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("0")), 0);
        // Unreadable texts are 1, not 0; a thousands separator is no help.
        EXPECT_DOUBLE_EQ(ParsePriceText(QString()), 1);
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("цена")), 1);
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("1,234.5")), 1);
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("12 50")), 1);
        EXPECT_DOUBLE_EQ(ParsePriceText(QStringLiteral("nan")), 1);
    }
}

TEST(FormatPriceText, ParsesThenFormats)
{
    EXPECT_EQ(FormatPriceText(QString(), QStringLiteral("rubl")), QStringLiteral("1.00 руб"));
    EXPECT_EQ(FormatPriceText(QStringLiteral("слово"), QStringLiteral("rubl")), QStringLiteral("1.00 руб"));
    EXPECT_EQ(FormatPriceText(QStringLiteral("0"), QStringLiteral("rubl")), QString());
    EXPECT_EQ(FormatPriceText(QStringLiteral("1234,5"), QStringLiteral("doll")), QStringLiteral("1 234.50 $"));
}

TEST(FormatAddress, Examples)
{
    EXPECT_EQ(FormatAddress(QString(), QStringLiteral("Ленина"), QStringLiteral("пр."), QStringLiteral("5"), QString(),
                            QString(), QString(), QStringLiteral("Ленинский"), false),
              QStringLiteral("пр. Ленина 5, Ленинский"));
    EXPECT_EQ(FormatAddress(QStringLiteral("Тюмень"), QStringLiteral("--"), QString(), QStringLiteral("0"), QString(),
                            QStringLiteral("3"), QString(), QString(), true),
              QStringLiteral("г. Тюмень, оф. 3"));
    EXPECT_EQ(FormatAddress(QString(), QStringLiteral("Ленина"), QString(), QStringLiteral("5"), QString(),
                            QStringLiteral("12"), QStringLiteral("вход со двора"), QString(), false),
              QStringLiteral("ул. Ленина 5, оф. 12  (вход со двора)"));
    EXPECT_EQ(FormatAddress(QStringLiteral("Тюмень"), QStringLiteral("Ленина"), QStringLiteral("ул."),
                            QStringLiteral("5"), QStringLiteral("а"), QString(), QString(), QStringLiteral("---"),
                            true),
              QStringLiteral("г. Тюмень, ул. Ленина 5/а"));
}

TEST(FormatAddress, EmptyParts)
{
    EXPECT_EQ(FormatAddress({}, {}, {}, {}, {}, {}, {}, {}, false), QString());
    EXPECT_EQ(FormatAddress({}, {}, {}, {}, {}, {}, {}, {}, true), QStringLiteral("г."));
    EXPECT_EQ(FormatAddress({}, {}, {}, {}, {}, {}, QStringLiteral("вход со двора"), {}, false),
              QStringLiteral("(вход со двора)"));
    // House "0" drops the letter as well.
    EXPECT_EQ(FormatAddress({}, QStringLiteral("Мира"), QStringLiteral("ул."), QStringLiteral("0"), QStringLiteral("б"),
                            {}, {}, {}, false),
              QStringLiteral("ул. Мира"));
    EXPECT_EQ(FormatAddress({}, QStringLiteral("---"), {}, QStringLiteral("7"), QStringLiteral("б"), {}, {},
                            QStringLiteral("--"), false),
              QStringLiteral("7/б"));
    EXPECT_EQ(FormatAddress({}, {}, {}, {}, {}, QStringLiteral("0"), {}, QStringLiteral("Центр"), false),
              QStringLiteral("Центр"));
}

TEST(FormatPhoneCount, Cases)
{
    EXPECT_EQ(FormatPhoneCount(0), QString());
    EXPECT_EQ(FormatPhoneCount(-2), QString());
    EXPECT_EQ(FormatPhoneCount(1), QStringLiteral("1 телефонов (смотри карточку организации или нажми пробел)"));
    EXPECT_EQ(FormatPhoneCount(3), QStringLiteral("3 телефонов (смотри карточку организации или нажми пробел)"));
}

TEST(Weekdays, NamesAndDigits)
{
    EXPECT_EQ(GetWeekdayName(1), QStringLiteral("Понедельник"));
    EXPECT_EQ(GetWeekdayName(7), QStringLiteral("Воскресенье"));
    EXPECT_EQ(GetWeekdayName(0), QString());
    EXPECT_EQ(GetWeekdayName(8), QString());
    EXPECT_EQ(GetWeekdayNameOfDigit(QStringLiteral("3")), QStringLiteral("Среда"));
    EXPECT_EQ(GetWeekdayNameOfDigit(QStringLiteral("6")), QStringLiteral("Суббота"));
    EXPECT_EQ(GetWeekdayNameOfDigit(QStringLiteral("0")), QString());
    EXPECT_EQ(GetWeekdayNameOfDigit(QStringLiteral("8")), QString());
    EXPECT_EQ(GetWeekdayNameOfDigit(QStringLiteral("12")), QString());
    EXPECT_EQ(GetWeekdayNameOfDigit(QString()), QString());
}

TEST(ParseSqlDateTime, ReadsByPosition)
{
    EXPECT_EQ(ParseSqlDateTime(QStringLiteral("2006-05-17 08:30:00")), QDateTime(QDate(2006, 5, 17), QTime(8, 30, 0)));
    // The separators are not examined.
    EXPECT_EQ(ParseSqlDateTime(QStringLiteral("2006/05/17T08.30.05")), QDateTime(QDate(2006, 5, 17), QTime(8, 30, 5)));
    EXPECT_EQ(ParseSqlDateTime(QStringLiteral("2006-05-17")), ZeroDateTime());
    EXPECT_EQ(ParseSqlDateTime(QString()), ZeroDateTime());
    EXPECT_EQ(ZeroDateTime().date(), QDate(1899, 12, 30));
}

TEST(ParseSqlDateTime, BadFieldsRaise)
{
    EXPECT_THROW(ParseSqlDateTime(QStringLiteral("2006-xx-17 08:30:00")), Exception);
    EXPECT_THROW(ParseSqlDateTime(QStringLiteral("2006-13-17 08:30:00")), Exception);
    EXPECT_THROW(ParseSqlDateTime(QStringLiteral("2006-02-30 08:30:00")), Exception);
    EXPECT_THROW(ParseSqlDateTime(QStringLiteral("2006-05-17 25:00:00")), Exception);
    EXPECT_THROW(ParseSqlDateTime(QStringLiteral("0000-05-17 10:00:00")), Exception);
    try {
        ParseSqlDateTime(QStringLiteral("2006-05-17 08:3x:00"));
        FAIL();
    } catch (const Exception &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'3x' is not a valid integer value"));
    }
}

// The Russian short date and long time, whatever the user's locale (the C
// locale would write "17 May 2006").
TEST(DateTimeText, RussianDateAndTimeLeftOutAtMidnight)
{
    for (const QLocale &locale :
         {QLocale::c(), QLocale(QLocale::Russian, QLocale::Russia), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        SCOPED_TRACE(locale.name().toStdString());
        TLocaleGuard guard(locale);
        EXPECT_EQ(DateTimeText(QDateTime(QDate(2006, 5, 17), QTime(0, 0))), QStringLiteral("17.05.2006"));
        EXPECT_EQ(DateTimeText(QDateTime(QDate(2006, 5, 17), QTime(8, 30, 5))), QStringLiteral("17.05.2006 08:30:05"));
        EXPECT_EQ(DateTimeText(QDateTime(QDate(2026, 12, 9), QTime(17, 4, 0))), QStringLiteral("09.12.2026 17:04:00"));
        EXPECT_EQ(DateTimeText(ZeroDateTime()), QStringLiteral("30.12.1899"));
    }
}

TEST(GetTodayIsoDate, TwoDigitMonthAndDayFromTheClock)
{
    SetTodayHook([] { return QDate(2026, 1, 5); });
    EXPECT_EQ(GetTodayIsoDate(), QStringLiteral("2026-01-05"));
    SetTodayHook({});
    EXPECT_EQ(GetTodayIsoDate(), QDate::currentDate().toString(Qt::ISODate));
}

// ---- reading the catalogue

namespace {

// Address and telephone rows of one firm (cid 343, fid 7) in either dialect;
// MySQL tables are temporary so parallel tests never see each other's rows.
void CreateFirmTables(TZConnection &c, bool mysql)
{
    const QString t = mysql ? QStringLiteral("create temporary table ") : QStringLiteral("create table ");
    scratch::Exec(
        c, {
               t + QStringLiteral("city (cid int, name varchar(60))"),
               t + QStringLiteral("street_name (cid int, id int, name varchar(60), strt_id int)"),
               t + QStringLiteral("street_type (id int, name_small varchar(20))"),
               t + QStringLiteral("city_region (cid int, id int, name_small varchar(20), name_big varchar(60))"),
               t + QStringLiteral("address (cid int, fid int, adr_id int, sfn varchar(60), cr_id int, strn_id int, "
                                  "house varchar(10), lit varchar(10), office varchar(10), ext varchar(60), "
                                  "order_post int, allinfo varchar(60))"),
               t + QStringLiteral("phone (cid int, fid int, adr_id int, allinfo varchar(60), code varchar(10), "
                                  "phone varchar(20), prior int)"),
               QStringLiteral("insert into city values (343, 'Екатеринбург')"),
               QStringLiteral("insert into street_name values (343, 1, 'Ленина', 1), (343, 2, 'Мира', 9)"),
               QStringLiteral("insert into street_type values (1, 'пр.')"),
               QStringLiteral("insert into city_region values (343, 1, '---', 'Ленинский')"),
               QStringLiteral("insert into address values (343, 7, 1, 'Ромашка', 1, 1, '5', 'а', '12', '', 1, ''),"
                              " (343, 7, 2, 'Ромашка', 1, 2, '3', '', '', '', 2, '')"),
               QStringLiteral("insert into phone values (343, 7, 0, '', '', '', 1),"
                              " (343, 7, 1, '222-33-44', '', '2223344', 1),"
                              " (343, 7, 2, '555-66-77', '', '5556677', 1),"
                              " (343, 8, 1, '111-11-11', '', '1111111', 1)"),
           });
}

void CheckCatalogueReads(TZConnection &c, bool network)
{
    scratch::TDeployment deployment(network);
    TZReadOnlyQuery q(&c);
    c.SQLHourGlass = true;
    EXPECT_EQ(LoadAddressText(q, 343, 7, 1, false), QStringLiteral("пр. Ленина 5/а, оф. 12, Ленинский"));
    EXPECT_EQ(LoadAddressText(q, 343, 7, 1, true),
              QStringLiteral("г. Екатеринбург, пр. Ленина 5/а, оф. 12, Ленинский"));
    EXPECT_TRUE(c.SQLHourGlass);
    EXPECT_FALSE(q.Active());
    // The street type row is missing: no row, only the city prefix.
    EXPECT_EQ(LoadAddressText(q, 343, 7, 2, false), QString());
    EXPECT_EQ(LoadAddressText(q, 343, 7, 2, true), QStringLiteral("г."));

    // Firm-wide rows count for every address; the empty text is skipped.
    const QString both = LoadPhonesText(343, 7, 0, q);
    EXPECT_FALSE(q.Active());
    const QString one = LoadPhonesText(343, 7, 1, q);
    const QString none = LoadPhonesText(343, 9, 0, q);
    EXPECT_EQ(none, QString());
    if (network) {
        EXPECT_EQ(both, FormatPhoneCount(3));
        EXPECT_EQ(one, FormatPhoneCount(2));
    } else {
        EXPECT_EQ(both, QStringLiteral("222-33-44, 555-66-77"));
        EXPECT_EQ(one, QStringLiteral("222-33-44"));
    }
}

} // namespace

TEST(CatalogueTexts, LocalVersion)
{
    QTemporaryDir dir;
    auto c = scratch::OpenScratchSqlite(dir);
    CreateFirmTables(*c, false);
    CheckCatalogueReads(*c, false);
}

TEST(CatalogueTexts, NetworkVersion)
{
    REQUIRE_MYSQL();
    auto c = scratch::OpenScratchMysql();
    CreateFirmTables(*c, true);
    CheckCatalogueReads(*c, true);
}

TEST(CatalogueTexts, OnlyEmptyTelephoneTextsGiveNothingInBothVersions)
{
    QTemporaryDir dir;
    auto c = scratch::OpenScratchSqlite(dir);
    CreateFirmTables(*c, false);
    c->ExecuteDirect(QStringLiteral("insert into phone values (343, 5, 0, '', '', '', 1)"));
    TZReadOnlyQuery q(c.get());
    for (bool network : {false, true}) {
        scratch::TDeployment deployment(network);
        EXPECT_EQ(LoadPhonesText(343, 5, 0, q), QString());
    }
}

TEST(CatalogueTexts, SampleCatalogueSameInBothDeployments)
{
    REQUIRE_MYSQL();
    auto local = scratch::OpenSqlite(testenv::SampleCatalogue());
    auto network = scratch::OpenMysql(testenv::Mysql().catalogue);
    TZReadOnlyQuery lq(local.get());
    TZReadOnlyQuery nq(network.get());
    lq.SetSQL(QStringLiteral("select cid, fid, adr_id from address order by cid, fid, adr_id limit 60"));
    lq.Open();
    struct TKey {
        int cid, fid, adr;
    };
    QList<TKey> keys;
    for (; !lq.Eof(); lq.Next())
        keys.append({lq.FieldByName(QStringLiteral("cid")).AsInteger(),
                     lq.FieldByName(QStringLiteral("fid")).AsInteger(),
                     lq.FieldByName(QStringLiteral("adr_id")).AsInteger()});
    ASSERT_FALSE(keys.isEmpty());
    int withPhones = 0;
    for (const TKey &k : keys) {
        QString localAddress, localPhones, networkAddress, networkPhones;
        {
            scratch::TDeployment d(false);
            localAddress = LoadAddressText(lq, k.cid, k.fid, k.adr, true);
            localPhones = LoadPhonesText(k.cid, k.fid, k.adr, lq);
        }
        {
            scratch::TDeployment d(true);
            networkAddress = LoadAddressText(nq, k.cid, k.fid, k.adr, true);
            networkPhones = LoadPhonesText(k.cid, k.fid, k.adr, nq);
        }
        EXPECT_EQ(localAddress, networkAddress);
        EXPECT_TRUE(localAddress.startsWith(QStringLiteral("г.")));
        EXPECT_EQ(localPhones.isEmpty(), networkPhones.isEmpty());
        if (localPhones.isEmpty())
            continue;
        ++withPhones;
        // The same rows are counted on either database.
        scratch::TDeployment d(true);
        EXPECT_EQ(LoadPhonesText(k.cid, k.fid, k.adr, lq), networkPhones);
        EXPECT_TRUE(
            networkPhones.endsWith(QStringLiteral(" телефонов (смотри карточку организации или нажми пробел)")));
    }
    EXPECT_GT(withPhones, 0);
}
