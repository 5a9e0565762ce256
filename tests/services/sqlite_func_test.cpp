// postext and checkwt as SQLite runs them, on raw Windows-1251 text.
#include "services/sqlite_func.h"

#include "data/codec.h"
#include "data/connection.h"
#include "data/query.h"
#include "testdb.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>

namespace {

std::unique_ptr<TZConnection> OpenWithFunctions(const QString &path)
{
    RegisterSqliteFunctions();
    return testdb::OpenSqlite(path);
}

class SqlFunctions : public ::testing::Test
{
protected:
    void SetUp() override { m_conn = OpenWithFunctions(m_dir.filePath(QStringLiteral("f.dat"))); }
    void TearDown() override { SetCheckWtClock(nullptr); }

    // postext through a real statement; a null QVariant is SQL NULL.
    int PosText(const QVariant &needle, const QVariant &text)
    {
        TZReadOnlyQuery q(m_conn.get());
        q.SetSQL(QStringLiteral("select postext(:n, :t) as r"));
        q.ParamByName(QStringLiteral("n")).Value = needle;
        q.ParamByName(QStringLiteral("t")).Value = text;
        q.Open();
        return q.FieldByName(QStringLiteral("r")).AsInteger();
    }

    // checkwt at a given local time.
    int CheckWt(const QDateTime &now, const QVariantList &args)
    {
        SetCheckWtClock([now] { return now; });
        TZReadOnlyQuery q(m_conn.get());
        q.SetSQL(QStringLiteral("select checkwt(:a, :b, :c, :d, :sw, :ew, :sb, :eb) as r"));
        const char *names[] = {"a", "b", "c", "d", "sw", "ew", "sb", "eb"};
        for (int i = 0; i < 8; ++i)
            q.ParamByName(QLatin1String(names[i])).Value = args.value(i);
        q.Open();
        return q.FieldByName(QStringLiteral("r")).AsInteger();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TZConnection> m_conn;
};

// 2026-12-07 is a Monday.
QDateTime At(int day, const char *time)
{
    return QDateTime(QDate(2026, 12, day), QTime::fromString(QLatin1String(time), QStringLiteral("hh:mm:ss")));
}

const QDateTime kMonday = At(7, "10:00:00");
const QDateTime kSaturday = At(12, "10:00:00");
const QDateTime kSunday = At(13, "10:00:00");

QVariantList Row(const char *allDays, const char *allTimes, const char *noBreaks, const char *days, const char *sw,
                 const char *ew, const char *sb, const char *eb)
{
    auto v = [](const char *s) { return s ? QVariant(QString::fromLatin1(s)) : QVariant(); };
    return {v(allDays), v(allTimes), v(noBreaks), v(days), v(sw), v(ew), v(sb), v(eb)};
}

} // namespace

TEST_F(SqlFunctions, PostextIsACaseInsensitiveContainsForAnUpperCaseNeedle)
{
    const QString bread = QStringLiteral("ХЛЕБ");
    EXPECT_EQ(PosText(bread, QStringLiteral("хлеб ржаной")), 1);
    EXPECT_EQ(PosText(bread, QStringLiteral("ХЛЕБОЗАВОД")), 1);
    EXPECT_EQ(PosText(bread, QStringLiteral("хлев")), 0);
    EXPECT_EQ(PosText(bread, QStringLiteral("свежий Хлеб")), 1); // at the end
    EXPECT_EQ(PosText(QStringLiteral("ЁЛКА"), QStringLiteral("ёлка")), 1);
    EXPECT_EQ(PosText(QStringLiteral("COLA"), QStringLiteral("Coca-Cola")), 1);
    // The needle is not upper-cased here: lower-case letters never match.
    EXPECT_EQ(PosText(QStringLiteral("хлеб"), QStringLiteral("хлеб")), 0);
    EXPECT_EQ(PosText(QString(), QStringLiteral("хлеб")), 0);
    EXPECT_EQ(PosText(QVariant(), QStringLiteral("хлеб")), 0);
    EXPECT_EQ(PosText(bread, QString()), 0);
    EXPECT_EQ(PosText(bread, QVariant()), 0);
    EXPECT_EQ(PosText(QStringLiteral("ХЛЕБ РЖАНОЙ!"), QStringLiteral("хлеб ржаной")), 0); // longer than text
    // Numbers are compared as their text.
    EXPECT_EQ(PosText(QStringLiteral("23"), 1234), 1);
}

TEST_F(SqlFunctions, PostextMatchesTheCodePagesOwnUpperCase)
{
    // Every letter pair of the code page: the lower-case text holds the
    // upper-case needle.
    for (int c = 0; c < 256; ++c) {
        const auto lower = static_cast<unsigned char>(c);
        const unsigned char upper = Cp1251Upper(lower);
        const char needle[] = {char(upper)};
        const char text[] = {'a', char(lower), 'z'};
        EXPECT_TRUE(::PosText({needle, 1}, {text, 3})) << c;
    }
}

TEST_F(SqlFunctions, CheckwtAllThreeFlagsMeanAlwaysOpen)
{
    EXPECT_EQ(CheckWt(kSunday, Row("1", "1", "1", "", "23:00:00", "01:00:00", "zz", "aa")), 1);
    EXPECT_EQ(CheckWt(At(9, "03:00:00"), Row("1", "1", "1", nullptr, nullptr, "x", nullptr, "y")), 1);
}

TEST_F(SqlFunctions, CheckwtWorkingDays)
{
    const QVariantList weekdays = Row("0", "1", "1", "12345", "", "", "", "");
    EXPECT_EQ(CheckWt(kMonday, weekdays), 1);
    EXPECT_EQ(CheckWt(kSaturday, weekdays), 0);
    EXPECT_EQ(CheckWt(kSunday, weekdays), 0);
    EXPECT_EQ(CheckWt(kSunday, Row("1", "1", "1", "12345", "", "", "", "")), 1);
    EXPECT_EQ(CheckWt(kSunday, Row("0", "1", "1", "7", "", "", "", "")), 1);
    EXPECT_EQ(GetTodayWeekday(), 7);
}

TEST_F(SqlFunctions, CheckwtWorkingHoursExcludeTheirBounds)
{
    const QVariantList nineToSix = Row("1", "0", "1", "", "09:00:00", "18:00:00", "", "");
    EXPECT_EQ(CheckWt(At(7, "09:00:00"), nineToSix), 0);
    EXPECT_EQ(CheckWt(At(7, "09:00:01"), nineToSix), 1);
    EXPECT_EQ(CheckWt(At(7, "17:59:59"), nineToSix), 1);
    EXPECT_EQ(CheckWt(At(7, "18:00:00"), nineToSix), 0);
    EXPECT_EQ(CheckWt(At(7, "08:00:00"), nineToSix), 0);
    // Equal texts (two NULL columns too) switch the hours test off.
    EXPECT_EQ(CheckWt(At(7, "03:00:00"), Row("1", "0", "1", "", "09:00:00", "09:00:00", "", "")), 1);
    EXPECT_EQ(CheckWt(At(7, "03:00:00"), Row("1", "0", "1", "", nullptr, nullptr, "", "")), 1);
}

TEST_F(SqlFunctions, CheckwtHoursOverMidnightNeverCountAsNow)
{
    const QVariantList night = Row("1", "0", "1", "", "20:00:00", "02:00:00", "", "");
    EXPECT_EQ(CheckWt(At(7, "23:00:00"), night), 0);
    EXPECT_EQ(CheckWt(At(7, "01:00:00"), night), 0);
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), night), 0);
    EXPECT_EQ(CheckWt(At(7, "23:00:00"), Row("1", "1", "1", "", "20:00:00", "02:00:00", "", "")), 1);
}

TEST_F(SqlFunctions, CheckwtBreaks)
{
    const QVariantList lunch = Row("1", "0", "0", "", "09:00:00", "18:00:00", "13:00:00", "14:00:00");
    EXPECT_EQ(CheckWt(At(7, "13:30:00"), lunch), 0);
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), lunch), 1);
    EXPECT_EQ(CheckWt(At(7, "14:00:00"), lunch), 1);
    EXPECT_EQ(CheckWt(At(7, "13:00:00"), lunch), 1);
    // NoBreaks, equal texts, or a break whose start sorts after its end.
    EXPECT_EQ(CheckWt(At(7, "13:30:00"), Row("1", "0", "1", "", "09:00:00", "18:00:00", "13:00:00", "14:00:00")), 1);
    EXPECT_EQ(CheckWt(At(7, "13:30:00"), Row("1", "0", "0", "", "09:00:00", "18:00:00", nullptr, nullptr)), 1);
    EXPECT_EQ(CheckWt(At(7, "13:30:00"), Row("1", "0", "0", "", "09:00:00", "18:00:00", "14:00:00", "13:00:00")), 1);
}

TEST_F(SqlFunctions, CheckwtUnreadableTimesFailTheTestThatNeedsThem)
{
    // Not 8 characters, not digits, out of range: not working now.
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), Row("1", "0", "1", "", "9:00:00", "18:00:00", "", "")), 0);
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), Row("1", "0", "1", "", "09:00:00", "18:xx:00", "", "")), 0);
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), Row("1", "0", "1", "", "09:00:00", "25:00:00", "", "")), 0);
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), Row("1", "0", "1", "", "", "18:00:00", "", "")), 0);
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), Row("1", "0", "0", "", "09:00:00", "18:00:00", "12:00", "13:00:00")), 0);
    // A bad time in a test that is switched off does not matter.
    EXPECT_EQ(CheckWt(At(7, "12:00:00"), Row("1", "1", "1", "", "bad", "worse", "", "")), 1);
    // Separators are not examined.
    QTime t;
    EXPECT_TRUE(ParseTimeHMS("09-30.15", &t));
    EXPECT_EQ(t, QTime(9, 30, 15));
    EXPECT_FALSE(ParseTimeHMS("24:00:00", &t));
    EXPECT_FALSE(ParseTimeHMS("09:60:00", &t));
    EXPECT_FALSE(ParseTimeHMS("09:00:000", &t));
}

TEST_F(SqlFunctions, EveryNewConnectionHasTheFunctions)
{
    auto second = OpenWithFunctions(m_dir.filePath(QStringLiteral("g.dat")));
    TZReadOnlyQuery q(second.get());
    q.SetSQL(QStringLiteral("select postext('AB', 'xaby') as p, checkwt('1','1','1','','','','','') as c"));
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("p")).AsInteger(), 1);
    EXPECT_EQ(q.FieldByName(QStringLiteral("c")).AsInteger(), 1);
}

TEST_F(SqlFunctions, PostextInASearchOverTheSampleCatalogue)
{
    auto cat = OpenWithFunctions(testenv::SampleCatalogue());
    TZReadOnlyQuery all(cat.get());
    all.SetSQL(QStringLiteral("select name from good"));
    all.Open();
    ASSERT_GT(all.RecordCount(), 100);
    // Needles from the catalogue's own words: a common one, a rare one, none.
    all.First();
    const QString word = all.FieldByName(QStringLiteral("name")).AsString().section(u' ', 0, 0).toUpper();
    for (const QString &needle : {word, word.left(3), QStringLiteral("ЧЕГО-ТО-НЕТ"), QStringLiteral("А")}) {
        int expected = 0;
        for (all.First(); !all.Eof(); all.Next()) {
            if (all.FieldByName(QStringLiteral("name")).AsString().toUpper().contains(needle))
                ++expected;
        }
        TZReadOnlyQuery q(cat.get());
        q.SetSQL(QStringLiteral("select count(*) as n from good where postext(:needle, name)"));
        q.ParamByName(QStringLiteral("needle")).SetAsString(needle);
        q.Open();
        EXPECT_EQ(q.FieldByName(QStringLiteral("n")).AsInteger(), expected) << needle.toStdString();
    }
}

TEST_F(SqlFunctions, CheckwtOverTheSampleCataloguesWorkingTimes)
{
    auto cat = OpenWithFunctions(testenv::SampleCatalogue());
    // At 03:00 only round-the-clock rows (or rows without hours) are open;
    // at noon on a weekday more of them are.
    SetCheckWtClock([] { return At(9, "03:00:00"); });
    TZReadOnlyQuery q(cat.get());
    q.SetSQL(QStringLiteral("select count(*) as n from wt where checkwt(AllDays, AllTimes, NoBreaks, days, sw, ew, "
                            "sb, eb) and AllTimes <> '1' and sw <> ew"));
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("n")).AsInteger(), 0);
    q.Close();
    SetCheckWtClock([] { return At(9, "11:00:00"); });
    q.SetSQL(QStringLiteral("select count(*) as n from wt where checkwt(AllDays, AllTimes, NoBreaks, days, sw, ew, "
                            "sb, eb)"));
    q.Open();
    EXPECT_GT(q.FieldByName(QStringLiteral("n")).AsInteger(), 0);
}
