// Request statistics: the month table's name, and rows written to a
// statistics database of the test's own on the test MariaDB.
#include "services/stat.h"

#include "components/SDialogs.h"
#include "data/dberror.h"
#include "services/scratchdb.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>

namespace {

const QString kTemplate = QStringLiteral(
    "create table if not exists `DB_NAME` (`source` varchar(20) not null default '', `fid` bigint not null default "
    "0, `city` varchar(20) not null default '', `sid` int not null default 0, `gid` int not null default 0, `good` "
    "varchar(255) not null default '', `dt` datetime not null, `firm` varchar(255) not null default '')");

TEST(RequestStat, MonthTableNameHasTwoDigitMonth)
{
    const struct {
        QDate date;
        const char *name;
    } cases[] = {{{2025, 12, 31}, "s2025_12"},
                 {{2026, 1, 1}, "s2026_01"},
                 {{2026, 9, 15}, "s2026_09"},
                 {{2026, 10, 1}, "s2026_10"}};
    for (const auto &c : cases)
        EXPECT_EQ(StatTableName(c.date), QString::fromLatin1(c.name)) << c.name;
}

TEST(RequestStat, LocalVersionExecutesNothing)
{
    scratch::TDeployment local(false);
    QStringList shown;
    SetMessageBoxHook([&](const TMessageBoxCall &call) {
        shown << call.text;
        return mrOk;
    });
    DbSwitchWarned = false;
    // Without a connection any statement would fail.
    TZReadOnlyQuery query(nullptr);
    EXPECT_NO_THROW(WriteRequestStat(query, 343, 1, 1, 5));
    EXPECT_NO_THROW(WriteRequestStat(query, 343, 1, 1, 0));
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_FALSE(DbSwitchWarned);
    SetMessageBoxHook({});
}

// A statistics database of this test's own, dropped afterwards, beside the
// shared sample catalogue.
class RequestStatServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        REQUIRE_MYSQL();
        const testenv::MysqlServer s = testenv::Mysql();
        m_saved = {MasterDb, CurrentDb, StatDatabase};
        stat = QStringLiteral("stat_test_%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->bounded(1000000));
        admin = testdb::OpenMysql(QStringLiteral("mysql"));
        admin->ExecuteDirect(QStringLiteral("create database ") + stat + QStringLiteral(" character set cp1251"));
        SetTemplate(kTemplate);
        MasterDb = s.master;
        CurrentDb = s.catalogue;
        StatDatabase = stat;
        DbSwitchWarned = false;
        catalogue = testdb::OpenMysql(s.catalogue);
        monitor.Active = true;
        monitor.MaxTraceCount = 0;
        catalogue->SetMonitor(&monitor);
        query = std::make_unique<TZReadOnlyQuery>(catalogue.get());
        SetMessageBoxHook([this](const TMessageBoxCall &call) {
            shown << call.text;
            return mrOk;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHook({});
        SetStatClockSql(QString());
        query.reset();
        if (admin)
            admin->ExecuteDirect(QStringLiteral("drop database if exists ") + stat);
        if (!m_saved.isEmpty()) {
            MasterDb = m_saved[0];
            CurrentDb = m_saved[1];
            StatDatabase = m_saved[2];
        }
        DbSwitchWarned = false;
    }
    void SetTemplate(const QString &text)
    {
        admin->ExecuteDirect(QStringLiteral("create table if not exists ") + stat +
                             QStringLiteral(".format (id int, format text)"));
        admin->ExecuteDirect(QStringLiteral("delete from ") + stat + QStringLiteral(".format"));
        TZReadOnlyQuery q(admin.get());
        q.SetSQL(QStringLiteral("insert into ") + stat + QStringLiteral(".format values (1, :f)"));
        q.ParamByName(QStringLiteral("f")).SetAsString(text);
        q.ExecSQL();
    }
    static void SetClock(const char *moment)
    {
        SetStatClockSql(QStringLiteral("select timestamp'") + QString::fromLatin1(moment) + QStringLiteral("' as now"));
    }
    // The rows of a month table, one text per row.
    QStringList Rows(const QString &table)
    {
        TZReadOnlyQuery q(admin.get());
        q.SetSQL(QStringLiteral("select concat_ws('|',source,fid,city,sid,gid,good,firm) as r from ") + stat + u'.' +
                 table + QStringLiteral(" order by dt, r"));
        q.Open();
        QStringList out;
        for (q.First(); !q.Eof(); q.Next())
            out << q.FieldByName(QStringLiteral("r")).AsString();
        return out;
    }
    QStringList Tables()
    {
        TZReadOnlyQuery q(admin.get());
        q.SetSQL(QStringLiteral("select table_name as t from information_schema.tables where table_schema='") + stat +
                 QStringLiteral("' order by 1"));
        q.Open();
        QStringList out;
        for (q.First(); !q.Eof(); q.Next())
            out << q.FieldByName(QStringLiteral("t")).AsString();
        return out;
    }
    // The first row of a catalogue query as "a|b|c".
    QString One(const QString &sql)
    {
        TZReadOnlyQuery q(catalogue.get());
        q.SetSQL(sql);
        q.Open();
        QStringList out;
        for (TField *f : q.Fields())
            out << f->AsString();
        return out.join(u'|');
    }
    int CurrentDbQueries() const
    {
        int n = 0;
        for (const QString &line : monitor.TraceList())
            n += line.contains(QLatin1String(".current_db")) ? 1 : 0;
        return n;
    }

    scratch::TDeployment network{true};
    QString stat;
    std::unique_ptr<TZConnection> admin;
    std::unique_ptr<TZConnection> catalogue;
    std::unique_ptr<TZReadOnlyQuery> query;
    TZSQLMonitor monitor;
    QStringList shown;

private:
    QStringList m_saved;
};

TEST_F(RequestStatServer, EachMonthGetsItsTableOnItsFirstRow)
{
    const QString good = One(QStringLiteral("select id from good where cid=343 order by id limit 1"));
    const QString row = One(QStringLiteral("select concat_ws('|','trevin',g.fid,'city_343',g.super_id,g.gid,g.name,"
                                           "a.sfn) from good g, address a where g.cid=343 and g.id=") +
                            good + QStringLiteral(" and a.cid=g.cid and a.fid=g.fid and a.adr_id=1"));
    const int fid = row.section(u'|', 1, 1).toInt();

    SetClock("2025-12-31 23:59:58");
    QString name;
    GetStatTableName(*query, name);
    EXPECT_EQ(name, stat + QStringLiteral(".s2025_12"));
    EXPECT_FALSE(query->Active());
    WriteRequestStat(*query, 343, fid, 1, good.toLongLong());
    WriteRequestStat(*query, 343, fid, 1, good.toLongLong());
    SetClock("2026-01-01 00:00:01");
    WriteRequestStat(*query, 343, fid, 1, good.toLongLong());

    EXPECT_EQ(Tables(),
              (QStringList{QStringLiteral("format"), QStringLiteral("s2025_12"), QStringLiteral("s2026_01")}));
    EXPECT_EQ(Rows(QStringLiteral("s2025_12")), (QStringList{row, row}));
    EXPECT_EQ(Rows(QStringLiteral("s2026_01")), QStringList{row});
    EXPECT_FALSE(query->Active());
    EXPECT_TRUE(shown.isEmpty()) << shown.join(u'|').toStdString();
}

TEST_F(RequestStatServer, TheServersClockNamesTheTable)
{
    QString name;
    GetStatTableName(*query, name);
    const QString now = One(QStringLiteral("select date_format(now(),'s%Y_%m')"));
    EXPECT_EQ(name, stat + u'.' + now);
    EXPECT_TRUE(Tables().contains(now));
}

TEST_F(RequestStatServer, WithoutAGoodARandomGoodOfTheAddressStandsForIt)
{
    SetClock("2026-03-10 12:00:00");
    // An address with goods of its own and goods for every address.
    const QString key = One(QStringLiteral("select concat_ws(',',a.fid,a.adr_id) from good a where a.cid=343 and "
                                           "a.adr_id>0 and exists (select 1 from good b where b.cid=a.cid and "
                                           "b.fid=a.fid and b.adr_id=0) order by a.fid limit 1"));
    const int fid = key.section(u',', 0, 0).toInt(), adr = key.section(u',', 1, 1).toInt();
    TZReadOnlyQuery q(catalogue.get());
    q.SetSQL(QStringLiteral("select distinct concat_ws('|',super_id,gid) as k from good where cid=343 and fid=") +
             QString::number(fid) + QStringLiteral(" and adr_id in (0,") + QString::number(adr) + u')');
    q.Open();
    QStringList allowed;
    for (q.First(); !q.Eof(); q.Next())
        allowed << q.FieldByName(QStringLiteral("k")).AsString();
    const QString sfn = One(QStringLiteral("select sfn from address where cid=343 and fid=") + QString::number(fid) +
                            QStringLiteral(" and adr_id=") + QString::number(adr));

    const struct {
        int fid, adr;
        qint64 good;
    } calls[] = {{fid, adr, 0}, {fid, adr, -3}, {fid, adr, 999999999}, {-7, 1, 0}};
    for (const auto &c : calls)
        WriteRequestStat(*query, 343, c.fid, c.adr, c.good);
    const QStringList rows = Rows(QStringLiteral("s2026_03"));
    ASSERT_EQ(rows.size(), 4);
    // An address that does not exist: no good, no name.
    QStringList byFid = rows;
    EXPECT_EQ(byFid.removeAll(QStringLiteral("trevin|-7|city_343|0|0||")), 1);
    int randomRows = 0;
    for (const QString &r : byFid) {
        const QStringList f = r.split(u'|');
        ASSERT_EQ(f.size(), 7) << r.toStdString();
        EXPECT_EQ(f[6], sfn);
        if (f[3] == QLatin1String("0")) {
            // The good that no longer exists.
            EXPECT_EQ(r, QStringLiteral("trevin|") + QString::number(fid) + QStringLiteral("|city_343|0|0||") + sfn);
        } else {
            ++randomRows;
            EXPECT_TRUE(allowed.contains(f[3] + u'|' + f[4])) << r.toStdString();
            EXPECT_EQ(f[5], QString()); // no good column in this insert
        }
    }
    EXPECT_EQ(randomRows, 2);
}

TEST_F(RequestStatServer, OnlyTheFirstPlaceholderIsReplaced)
{
    SetTemplate(kTemplate + QStringLiteral(" comment '`DB_NAME`'"));
    SetClock("2026-05-02 08:00:00");
    QString name;
    GetStatTableName(*query, name);
    EXPECT_EQ(One(QStringLiteral("select table_comment from information_schema.tables where table_schema='") + stat +
                  QStringLiteral("' and table_name='s2026_05'")),
              QStringLiteral("`DB_NAME`"));
}

TEST_F(RequestStatServer, ACatalogueSwitchIsReportedOnceAndRowsGoOn)
{
    SetClock("2026-06-01 09:00:00");
    CurrentDb = QStringLiteral("an_older_catalogue");
    for (int i = 0; i < 3; ++i)
        WriteRequestStat(*query, 343, 1, 1, 0);
    EXPECT_EQ(shown,
              QStringList{QStringLiteral("    Внимание! База данных обновилась. Перезагрузите справочник.    ")});
    EXPECT_TRUE(DbSwitchWarned);
    EXPECT_EQ(CurrentDbQueries(), 1);
    EXPECT_EQ(Rows(QStringLiteral("s2026_06")).size(), 3);
}

TEST_F(RequestStatServer, TheSameCatalogueIsCheckedOnEveryCallAndNotReported)
{
    SetClock("2026-06-01 09:00:00");
    for (int i = 0; i < 2; ++i)
        WriteRequestStat(*query, 343, 1, 1, 0);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_FALSE(DbSwitchWarned);
    EXPECT_EQ(CurrentDbQueries(), 2);
}

TEST_F(RequestStatServer, AFailingWriteRaisesAndLeavesTheQueryClosed)
{
    SetClock("2026-07-01 09:00:00");
    const struct {
        const char *what;
        std::function<void()> arrange;
    } cases[] = {
        {"no statistics database", [this] { StatDatabase = stat + QStringLiteral("_missing"); }},
        {"no template row",
         [this] { admin->ExecuteDirect(QStringLiteral("delete from ") + stat + QStringLiteral(".format")); }},
        {"rejected insert", [this] { SetTemplate(QStringLiteral("create table `DB_NAME` (other int)")); }},
    };
    for (const auto &c : cases) {
        StatDatabase = stat;
        admin->ExecuteDirect(QStringLiteral("drop table if exists ") + stat + QStringLiteral(".s2026_07"));
        SetTemplate(kTemplate);
        c.arrange();
        EXPECT_THROW(WriteRequestStat(*query, 343, 1, 1, 0), Exception) << c.what;
        EXPECT_FALSE(query->Active()) << c.what;
        // The query serves its next user as usual.
        query->SetSQL(QStringLiteral("select 1 as one"));
        query->Open();
        EXPECT_EQ(query->FieldByName(QStringLiteral("one")).AsInteger(), 1) << c.what;
        query->Close();
    }
}

} // namespace
