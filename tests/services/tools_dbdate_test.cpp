#include "services/tools_dbdate.h"

#include "components/SDialogs.h"
#include "data/dberror.h"
#include "scratchdb.h"
#include "services/tools_format.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QRegularExpression>

TEST(DetectWine, WordAnywhereInAnyCase)
{
    const QString prog = QStringLiteral("trevin");
    DetectWine({prog, QStringLiteral("-WINE")});
    EXPECT_TRUE(RunningUnderWine);
    DetectWine({prog, QStringLiteral("x"), QStringLiteral("Wine"), QStringLiteral("y")});
    EXPECT_TRUE(RunningUnderWine);
    DetectWine({prog, QStringLiteral("--wine")});
    EXPECT_FALSE(RunningUnderWine);
    DetectWine({prog, QStringLiteral("winex")});
    EXPECT_FALSE(RunningUnderWine);
    DetectWine({prog, QStringLiteral("-wine ")});
    EXPECT_FALSE(RunningUnderWine);
    // The program path itself does not count.
    DetectWine({QStringLiteral("wine")});
    EXPECT_FALSE(RunningUnderWine);
    DetectWine();
    EXPECT_FALSE(RunningUnderWine);
}

TEST(FreshnessWarning, TextAndRepresentatives)
{
    const QString text = BuildFreshnessWarningText(45);
    EXPECT_TRUE(text.startsWith(QStringLiteral(
        "Внимание! Информация устарела.\n\rПоследнее обновление базы данных было произведено 45 дней назад."
        "\n\r\n\rДля обновления справочника Вы можете обратиться \n\rк нашим официальным представителям: "
        "\n\r\n\r")));
    EXPECT_FALSE(text.endsWith(QStringLiteral("\n\r")));
    const QStringList lines = text.split(QStringLiteral("\n\r"));
    ASSERT_GE(lines.size(), 6);
    const QStringList codes{QStringLiteral("343"),  QStringLiteral("351"),  QStringLiteral("3452"),
                            QStringLiteral("3435"), QStringLiteral("3439"), QStringLiteral("34392")};
    const QRegularExpression phone(QStringLiteral("г\\. \\S.* \\((\\d+)\\) ([\\d-]+)$"));
    for (int i = 0; i < 6; ++i) {
        const QString line = lines[lines.size() - 6 + i];
        const QRegularExpressionMatch m = phone.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        EXPECT_EQ(m.captured(1), codes[i]);
        // Area code and number make the ten digits of a long-distance call.
        EXPECT_EQ(m.captured(1).size() + m.captured(2).remove(u'-').size(), 10) << line.toStdString();
    }
}

namespace {

struct TDbDateFixture {
    QTemporaryDir dir;
    std::unique_ptr<TZConnection> connection;
    bool network = false;

    explicit TDbDateFixture(bool net) : network(net)
    {
        if (network) {
            connection = scratch::OpenScratchMysql();
            connection->ExecuteDirect(QStringLiteral("create temporary table db_date (db_date datetime)"));
        } else {
            connection = scratch::OpenScratchSqlite(dir);
            connection->ExecuteDirect(QStringLiteral("create table db_date (db_date text)"));
        }
    }
    void Set(const QString &value)
    {
        connection->ExecuteDirect(QStringLiteral("delete from db_date"));
        if (!value.isNull())
            connection->ExecuteDirect(QStringLiteral("insert into db_date values (") + value + u')');
    }
};

// Records the boxes shown while it lives.
struct TBoxRecorder {
    QList<TMessageBoxCall> calls;
    TBoxRecorder()
    {
        SetMessageBoxHook([this](const TMessageBoxCall &call) {
            calls.append(call);
            return mrOk;
        });
    }
    ~TBoxRecorder() { SetMessageBoxHook({}); }
};

struct TTodayGuard {
    explicit TTodayGuard(QDate today)
    {
        SetTodayHook([today] { return today; });
    }
    ~TTodayGuard() { SetTodayHook({}); }
};

void CheckReadDbDate(bool network)
{
    scratch::TDeployment deployment(network);
    TDbDateFixture f(network);
    TZReadOnlyQuery q(f.connection.get());

    f.Set(QStringLiteral("'2006-05-17 08:30:00'"));
    EXPECT_EQ(ReadDbDate(q), QDateTime(QDate(2006, 5, 17), QTime(8, 30)));
    EXPECT_FALSE(q.Active());
    f.Set(QString());
    EXPECT_EQ(ReadDbDate(q), ZeroDateTime());
    f.Set(QStringLiteral("NULL"));
    EXPECT_EQ(ReadDbDate(q), ZeroDateTime());

    {
        QLocale saved;
        // The caption's date is Russian in the C locale too.
        QLocale::setDefault(QLocale::c());
        f.Set(QStringLiteral("'2006-05-17 08:30:00'"));
        EXPECT_EQ(GetDbDateText(q), QStringLiteral("17.05.2006 08:30:00"));
        f.Set(QStringLiteral("'2006-05-17 00:00:00'"));
        EXPECT_EQ(GetDbDateText(q), QStringLiteral("17.05.2006"));
        QLocale::setDefault(saved);
    }

    // 29 days old: quiet; 30: the warning with its number; future: quiet.
    TTodayGuard today(QDate(2006, 6, 16));
    TBoxRecorder boxes;
    f.Set(QStringLiteral("'2006-05-18 23:59:59'"));
    CheckDbFreshness(q);
    EXPECT_TRUE(boxes.calls.isEmpty());
    f.Set(QStringLiteral("'2006-05-17 23:59:59'"));
    CheckDbFreshness(q);
    ASSERT_EQ(boxes.calls.size(), 1);
    EXPECT_EQ(boxes.calls[0].text, BuildFreshnessWarningText(30));
    EXPECT_EQ(boxes.calls[0].buttons, TMsgDlgButtons(mbOK));
    f.Set(QStringLiteral("'2007-01-01 10:00:00'"));
    CheckDbFreshness(q);
    EXPECT_EQ(boxes.calls.size(), 1);
    EXPECT_FALSE(q.Active());
    // No date at all counts as very old.
    f.Set(QString());
    CheckDbFreshness(q);
    ASSERT_EQ(boxes.calls.size(), 2);
    EXPECT_EQ(boxes.calls[1].text, BuildFreshnessWarningText(int(ZeroDateTime().date().daysTo(QDate(2006, 6, 16)))));
}

} // namespace

TEST(DbDate, LocalVersion)
{
    CheckReadDbDate(false);
}

TEST(DbDate, NetworkVersion)
{
    REQUIRE_MYSQL();
    CheckReadDbDate(true);
}

TEST(DbDate, LocalTextWithoutTimeOrMalformed)
{
    scratch::TDeployment local(false);
    TDbDateFixture f(false);
    TZReadOnlyQuery q(f.connection.get());
    f.Set(QStringLiteral("'2006-05-17'"));
    EXPECT_EQ(ReadDbDate(q), ZeroDateTime());
    f.Set(QStringLiteral("'2006-13-17 08:30:00'"));
    EXPECT_THROW(ReadDbDate(q), Exception);
}

TEST(DbDate, SampleCatalogueInBothDeployments)
{
    const QDateTime expected(QDate(2026, 12, 1), QTime(9, 30));
    {
        scratch::TDeployment local(false);
        auto c = scratch::OpenSqlite(testenv::SampleCatalogue());
        TZReadOnlyQuery q(c.get());
        EXPECT_EQ(ReadDbDate(q), expected);
    }
    if (!testenv::HaveMysql())
        return;
    scratch::TDeployment network(true);
    auto c = scratch::OpenMysql(testenv::Mysql().catalogue);
    TZReadOnlyQuery q(c.get());
    EXPECT_EQ(ReadDbDate(q), expected);
}
