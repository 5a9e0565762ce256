// The read-only query on both deployments: parameters, fields, text
// conversion, compact rows and the SQL-wait hooks.
#include "data/query.h"

#include "data/connection.h"
#include "data/datasource.h"
#include "data/dberror.h"
#include "testdb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTime>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

const QStringList kGoods = {
    QStringLiteral("create table good (cid integer, fid integer, adr_id integer, name text, price real)"),
    QStringLiteral("insert into good values (343, 1, 0, 'Хлеб ржаной', 25.5)"),
    QStringLiteral("insert into good values (343, 1, 2, 'Молоко «Весёлый молочник»', 60)"),
    QStringLiteral("insert into good values (343, 2, 0, 'ХЛЕБОЗАВОД', null)"),
    QStringLiteral("insert into good values (351, 1, 1, 'Ёлка', 1500.25)"),
};

// Turns a connection's SQL log on for a scope.
struct TMonitorOn {
    explicit TMonitorOn(TZConnection &c) : connection(c)
    {
        monitor.Active = true;
        c.SetMonitor(&monitor);
    }
    ~TMonitorOn() { connection.SetMonitor(nullptr); }
    TZConnection &connection;
    TZSQLMonitor monitor;
};

class QueryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_conn = testdb::OpenSqlite(m_dir.filePath(QStringLiteral("q.dat")));
        testdb::Exec(*m_conn, kGoods);
    }
    QTemporaryDir m_dir;
    std::unique_ptr<TZConnection> m_conn;
};

} // namespace

TEST_F(QueryTest, ParametersAndAutomaticFields)
{
    TZReadOnlyQuery q(m_conn.get());
    q.SetSQL(QStringLiteral("select name, price, fid from good where cid=:cid and (adr_id in (:adr_id,0)  or "
                            ":adr_id=0 ) and name <> ':notaparam' order by fid, adr_id"));
    ASSERT_EQ(q.Params().size(), 2);
    q.ParamByName(QStringLiteral("CID")).SetAsInteger(343);
    q.ParamByName(QStringLiteral("adr_id")).SetAsInteger(2);
    EXPECT_THROW(q.ParamByName(QStringLiteral("notaparam")), EDatabaseError);
    q.Open();
    ASSERT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(q.FieldByName(QStringLiteral("name")).DataType(), ftMemo);
    EXPECT_EQ(q.FieldByName(QStringLiteral("price")).DataType(), ftFloat);
    EXPECT_EQ(q.FieldByName(QStringLiteral("fid")).DataType(), ftInteger);
    EXPECT_EQ(q.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Хлеб ржаной"));
    q.Next();
    EXPECT_EQ(q.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Молоко «Весёлый молочник»"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("price")).AsFloat(), 60.0);
    q.Next();
    EXPECT_TRUE(q.FieldByName(QStringLiteral("price")).IsNull());
    EXPECT_EQ(q.FieldByName(QStringLiteral("price")).AsString(), QString());
    q.Next();
    EXPECT_TRUE(q.Eof());

    // A new value of a parameter that stays survives a new text.
    q.SetSQL(QStringLiteral("select count(*) as n from good where cid=:cid"));
    EXPECT_FALSE(q.Active());
    EXPECT_EQ(q.ParamByName(QStringLiteral("cid")).Value.toInt(), 343);
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("n")).AsInteger(), 3);
}

TEST_F(QueryTest, EmptyResultStillKnowsItsFields)
{
    TZReadOnlyQuery q(m_conn.get());
    q.SetSQL(QStringLiteral("select cid, name from good where cid = -1"));
    q.Open();
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_TRUE(q.Eof());
    ASSERT_EQ(q.FieldCount(), 2);
    EXPECT_EQ(q.FieldByName(QStringLiteral("name")).AsString(), QString());
    EXPECT_EQ(q.FieldByName(QStringLiteral("cid")).AsInteger(), 0);
    EXPECT_NE(q.FindField(QStringLiteral("cid")), nullptr);
    EXPECT_EQ(q.FindField(QStringLiteral("nosuch")), nullptr);
}

TEST_F(QueryTest, DeclaredFieldsTakeTheirColumnsByName)
{
    TZReadOnlyQuery q(m_conn.get());
    TField *name = q.AddField(CreateField(ftString, 5));
    name->SetFieldName(QStringLiteral("name"));
    TField *cid = q.AddField(CreateField(ftLargeint));
    cid->SetFieldName(QStringLiteral("cid"));
    q.SetSQL(QStringLiteral("select price, cid, name, fid from good order by rowid"));
    q.Open();
    EXPECT_EQ(q.FieldCount(), 2);
    EXPECT_EQ(q.FindField(QStringLiteral("price")), nullptr);
    EXPECT_EQ(name->AsString(), QStringLiteral("Хлеб ")); // cut to 5
    EXPECT_EQ(cid->AsLargeInt(), 343);
    EXPECT_EQ(cid->Value().typeId(), QMetaType::LongLong);
    q.Close();
    q.SetSQL(QStringLiteral("select price from good"));
    EXPECT_THROW(q.Open(), EDatabaseError);
    EXPECT_FALSE(q.Active());
}

TEST_F(QueryTest, ErrorsCarryTheDatabaseText)
{
    TZReadOnlyQuery q(m_conn.get());
    q.SetSQL(QStringLiteral("select nosuch from good"));
    try {
        q.Open();
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("nosuch")));
    }
    EXPECT_FALSE(q.Active());
    TZReadOnlyQuery orphan;
    EXPECT_THROW(orphan.Open(), EDatabaseError);
}

TEST_F(QueryTest, ExecSqlAndRefresh)
{
    TZReadOnlyQuery reader(m_conn.get());
    reader.SetSQL(QStringLiteral("select name from good where cid=351"));
    reader.Open();
    EXPECT_EQ(reader.RecordCount(), 1);

    TZReadOnlyQuery writer(m_conn.get());
    writer.SetSQL(QStringLiteral("insert into good (cid, name) values (:cid, :name)"));
    writer.ParamByName(QStringLiteral("cid")).SetAsInteger(351);
    writer.ParamByName(QStringLiteral("name")).SetAsString(QStringLiteral("Щётка"));
    writer.ExecSQL();
    reader.Refresh();
    EXPECT_EQ(reader.RecordCount(), 2);
    reader.Last();
    EXPECT_EQ(reader.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Щётка"));
}

TEST_F(QueryTest, SqlWaitHooksFrameEveryStatement)
{
    struct TRestoreHooks {
        TZConnection::TSqlWaitHooks saved = TZConnection::SqlWaitHooks();
        ~TRestoreHooks() { TZConnection::SetSqlWaitHooks(saved); }
    } restore;
    struct TLog {
        QStringList events;
        QStringList during; // the events while the statement ran
        int steps = 0;
    } log;
    TZConnection::TSqlWaitHooks hooks;
    hooks.begin = [&log](bool wait) {
        log.events.append(wait ? QStringLiteral("begin wait") : QStringLiteral("begin"));
        return 7;
    };
    hooks.end = [&log](int state) { log.events.append(QStringLiteral("end ") + QString::number(state)); };
    hooks.step = [&log] { ++log.steps; };
    TZConnection::SetSqlWaitHooks(hooks);
    sqlite3_create_function(
        m_conn->SqliteHandle(), "events_now", 0, SQLITE_UTF8, &log,
        [](sqlite3_context *ctx, int, sqlite3_value **) {
            auto *l = static_cast<TLog *>(sqlite3_user_data(ctx));
            l->during = l->events;
            sqlite3_result_int(ctx, 0);
        },
        nullptr, nullptr);

    const QString sql = QStringLiteral("select events_now()");
    const std::vector<std::pair<const char *, std::function<void()>>> statements = {
        {"open",
         [&] {
             TZReadOnlyQuery q(m_conn.get());
             q.SetSQL(sql);
             q.Open();
         }},
        {"exec",
         [&] {
             TZReadOnlyQuery q(m_conn.get());
             q.SetSQL(sql);
             q.ExecSQL();
         }},
        {"direct", [&] { m_conn->ExecuteDirect(sql); }},
    };
    for (const bool wait : {true, false}) {
        const QString begin = wait ? QStringLiteral("begin wait") : QStringLiteral("begin");
        for (const auto &[name, run] : statements) {
            SCOPED_TRACE(std::string(name) + (wait ? " wait" : " no wait"));
            m_conn->SQLHourGlass = wait;
            log.events.clear();
            log.during.clear();
            run();
            EXPECT_EQ(log.during, QStringList{begin});
            EXPECT_EQ(log.events, (QStringList{begin, QStringLiteral("end 7")}));
        }
    }

    // A failed statement ends its wait as well.
    m_conn->SQLHourGlass = true;
    log.events.clear();
    EXPECT_THROW(m_conn->ExecuteDirect(QStringLiteral("select * from nowhere")), EDatabaseError);
    EXPECT_EQ(log.events, (QStringList{QStringLiteral("begin wait"), QStringLiteral("end 7")}));

    // A long statement steps the wait from inside.
    log.steps = 0;
    m_conn->ExecuteDirect(QStringLiteral(
        "with recursive c(x) as (select 1 union all select x + 1 from c where x < 200000) select max(x) from c"));
    EXPECT_GT(log.steps, 0);
}

TEST_F(QueryTest, LargeResultIsStoredCompactly)
{
    m_conn->ExecuteDirect(QStringLiteral(
        "create table big as with recursive n(i) as (select 1 union all select i+1 from n where i < 50000) "
        "select i as id, 'Товар номер ' || i as name, i * 1.5 as price from n"));
    TZReadOnlyQuery q(m_conn.get());
    q.SetSQL(QStringLiteral("select id, name, price from big"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 50000);
    // About 35 bytes per row of text, number and price: far below a variant per cell.
    EXPECT_LT(q.StorageBytes(), 50000 * 48 + (8 << 20));
    q.SetRecNo(40000);
    EXPECT_EQ(q.FieldByName(QStringLiteral("name")).AsString(), QStringLiteral("Товар номер 40000"));
    EXPECT_EQ(q.FieldByName(QStringLiteral("price")).AsFloat(), 60000.0);
    const QByteArray b = q.Bookmark();
    q.First();
    EXPECT_EQ(q.CompareBookmarks(q.Bookmark(), b), -1);
    q.GotoBookmark(b);
    EXPECT_EQ(q.FieldByName(QStringLiteral("id")).AsInteger(), 40000);
}

TEST(QueryBothDeployments, SameParametersGiveTheSameUnicodeText)
{
    REQUIRE_MYSQL();
    auto my = testdb::OpenMysqlScratch(QStringLiteral("dataset_scratch"));
    my->ExecuteDirect(QStringLiteral("drop table if exists good"));
    QStringList ddl = kGoods;
    ddl[0] =
        QStringLiteral("create temporary table good (cid int, fid int, adr_id int, name varchar(255), price double) "
                       "character set cp1251");
    testdb::Exec(*my, ddl);

    QTemporaryDir dir;
    auto lite = testdb::OpenSqlite(dir.filePath(QStringLiteral("q.dat")));
    testdb::Exec(*lite, kGoods);

    auto run = [](TZConnection &c, int adr) {
        TZReadOnlyQuery q(&c);
        q.SetSQL(QStringLiteral("select name, fid from good where cid=:cid and fid=:fid and (adr_id in "
                                "(:adr_id,0)  or :adr_id=0 ) order by adr_id"));
        q.ParamByName(QStringLiteral("cid")).SetAsInteger(343);
        q.ParamByName(QStringLiteral("fid")).SetAsInteger(1);
        q.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr);
        q.Open();
        QStringList names;
        for (q.First(); !q.Eof(); q.Next())
            names << q.FieldByName(QStringLiteral("name")).AsString();
        return names;
    };
    const QStringList all = {QStringLiteral("Хлеб ржаной"), QStringLiteral("Молоко «Весёлый молочник»")};
    EXPECT_EQ(run(*lite, 0), all);
    EXPECT_EQ(run(*my, 0), all);
    EXPECT_EQ(run(*lite, 2), all);
    EXPECT_EQ(run(*my, 2), all);
    EXPECT_EQ(run(*lite, 7), QStringList{all[0]});
    EXPECT_EQ(run(*my, 7), QStringList{all[0]});

    // A text parameter and an empty result on the server.
    TZReadOnlyQuery q(my.get());
    q.SetSQL(QStringLiteral("select cid, name from good where name = :name"));
    q.ParamByName(QStringLiteral("name")).SetAsString(QStringLiteral("Ёлка"));
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("cid")).AsInteger(), 351);
    q.Close();
    q.ParamByName(QStringLiteral("name")).SetAsString(QStringLiteral("нет такого"));
    q.Open();
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.FieldCount(), 2);
}

namespace {

// A server table of every column kind the network deployment reads, with
// nulls and empty texts, longer than one fetch batch.
std::unique_ptr<TZConnection> KindsTable(int rows)
{
    auto my = testdb::OpenMysqlScratch(QStringLiteral("perf_scratch"));
    my->ExecuteDirect(QStringLiteral("drop table if exists kinds"));
    my->ExecuteDirect(QStringLiteral(
        "create temporary table kinds (id int primary key, t tinyint, s smallint, m mediumint, i int, u int unsigned, "
        "b bigint, ub bigint unsigned, f float, d double, n decimal(10,2), dt date, ts datetime, "
        "v varchar(40), x text, bl blob, r double, tm time) character set cp1251"));
    my->ExecuteDirect(
        QStringLiteral(
            "insert into kinds select k, if(k % 7 = 0, null, k % 256 - 128), -k, k * 1000, -k * 100000, "
            "4000000000 + k, -k * 1000000000000, 10000000000 + k, k + 0.5, k / 4, k + 0.25, "
            "date '2024-01-01' + interval k day, timestamp '2024-01-01 10:20:30' + interval k minute, "
            "concat('Товар №', k), repeat('ё', k % 50), if(k % 3 = 0, null, 'абв'), "
            "if(k % 2 = 0, k / 3e0, -k * 1e-7 * if(k % 5 = 0, 1e30, 1)), sec_to_time(k * 30) "
            "from (select a.d + b.d * 10 + c.d * 100 + e.d * 1000 as k from "
            "(select 0 d union all select 1 union all select 2 union all select 3 union all select 4 union all "
            "select 5 union all select 6 union all select 7 union all select 8 union all select 9) a, "
            "(select 0 d union all select 1 union all select 2 union all select 3 union all select 4 union all "
            "select 5 union all select 6 union all select 7 union all select 8 union all select 9) b, "
            "(select 0 d union all select 1 union all select 2 union all select 3 union all select 4 union all "
            "select 5 union all select 6 union all select 7 union all select 8 union all select 9) c, "
            "(select 0 d union all select 1 union all select 2 union all select 3 union all select 4 union all "
            "select 5 union all select 6 union all select 7 union all select 8 union all select 9) e) q "
            "where k between 1 and %1")
            .arg(rows));
    return my;
}

} // namespace

TEST(QueryBothDeployments, ParameterValuesReachTheStatementUnchanged)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<TZConnection>> connections;
    connections.push_back(testdb::OpenSqlite(dir.filePath(QStringLiteral("p.dat"))));
    if (testenv::HaveMysql())
        connections.push_back(testdb::OpenMysqlScratch(QStringLiteral("dataset_scratch")));
    const QString tricky = QStringLiteral("Д'Артаньян \\ \"кавычки\" -- :name ёЁ");
    const std::vector<QVariant> values = {QVariant(tricky), QVariant(QString()), QVariant(-1234567890123LL),
                                          QVariant(0.1),    QVariant(-2.5e-7),   QVariant(QDate(2024, 3, 5)),
                                          QVariant()};
    for (auto &c : connections) {
        SCOPED_TRACE(c->Protocol.toStdString());
        TMonitorOn log(*c);
        TZReadOnlyQuery q(c.get());
        q.SetSQL(QStringLiteral("select :v as v, ':v' as quoted, :v as again"));
        for (const QVariant &v : values) {
            SCOPED_TRACE(v.toString().toStdString());
            q.Close();
            q.ParamByName(QStringLiteral("v")).Value = v;
            q.Open();
            ASSERT_EQ(q.RecordCount(), 1);
            TField &got = q.FieldByName(QStringLiteral("v"));
            if (!v.isValid())
                EXPECT_TRUE(got.IsNull());
            else if (v.typeId() == QMetaType::Double)
                EXPECT_EQ(got.AsFloat(), v.toDouble());
            else if (v.typeId() == QMetaType::LongLong)
                EXPECT_EQ(got.AsLargeInt(), v.toLongLong());
            else if (v.typeId() == QMetaType::QDate)
                EXPECT_EQ(got.AsString(), QStringLiteral("2024-03-05"));
            else
                EXPECT_EQ(got.AsString(), v.toString());
            EXPECT_EQ(q.FieldByName(QStringLiteral("quoted")).AsString(), QStringLiteral(":v"));
            EXPECT_EQ(q.FieldByName(QStringLiteral("again")).AsString(), got.AsString());
        }
        // Logged with its parameter names, as written.
        EXPECT_TRUE(log.monitor.TraceList().last().endsWith(q.SQL()));

        // A statement without rows, then the text read back.
        c->ExecuteDirect(QStringLiteral("create temporary table t (s varchar(100))"));
        TZReadOnlyQuery w(c.get());
        w.SetSQL(QStringLiteral("insert into t (s) values (:s)"));
        w.ParamByName(QStringLiteral("s")).SetAsString(tricky);
        w.ExecSQL();
        q.SetSQL(QStringLiteral("select s from t where s = :s"));
        q.ParamByName(QStringLiteral("s")).SetAsString(tricky);
        q.Open();
        ASSERT_EQ(q.RecordCount(), 1);
        EXPECT_EQ(q.FieldByName(QStringLiteral("s")).AsString(), tricky);
    }
}

TEST(QueryNetwork, ErrorsCarryTheServerTextAndTheConnectionGoesOn)
{
    REQUIRE_MYSQL();
    auto my = KindsTable(3);
    TZReadOnlyQuery q(my.get());
    q.SetSQL(QStringLiteral("select nosuch from kinds"));
    try {
        q.Open();
        FAIL();
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("nosuch"))) << e.Message().toStdString();
    }
    EXPECT_FALSE(q.Active());
    q.SetSQL(QStringLiteral("update kinds set v = 'x' where nosuch = 1"));
    EXPECT_THROW(q.ExecSQL(), EDatabaseError);
    // A statement without result through Open gives no fields and no rows.
    q.SetSQL(QStringLiteral("set @a = 1"));
    q.Open();
    EXPECT_EQ(q.FieldCount(), 0);
    EXPECT_TRUE(q.IsEmpty());
    q.Close();
    q.SetSQL(QStringLiteral("select count(*) as n from kinds"));
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("n")).AsInteger(), 3);
}

TEST(QueryNetwork, EveryColumnKindAcrossFetchBatches)
{
    REQUIRE_MYSQL();
    constexpr int kRows = 2500;
    auto my = KindsTable(kRows);
    TZReadOnlyQuery q(my.get());
    q.SetSQL(QStringLiteral("select * from kinds where id >= :low order by id"));
    q.ParamByName(QStringLiteral("low")).SetAsInteger(1);
    q.Open();
    ASSERT_EQ(q.RecordCount(), kRows);
    const std::vector<std::pair<const char *, TFieldType>> types = {
        {"id", ftInteger}, {"t", ftInteger},   {"s", ftInteger}, {"m", ftInteger}, {"i", ftInteger}, {"u", ftLargeint},
        {"b", ftLargeint}, {"ub", ftLargeint}, {"f", ftFloat},   {"d", ftFloat},   {"n", ftFloat},   {"dt", ftMemo},
        {"ts", ftMemo},    {"v", ftMemo},      {"x", ftMemo},    {"bl", ftMemo},   {"r", ftFloat},   {"tm", ftMemo}};
    ASSERT_EQ(q.FieldCount(), int(types.size()));
    for (const auto &[name, type] : types)
        EXPECT_EQ(q.FieldByName(QLatin1String(name)).DataType(), type) << name;

    auto field = [&q](const char *name) -> TField & { return q.FieldByName(QLatin1String(name)); };
    int k = 0;
    for (q.First(); !q.Eof() && !HasFailure(); q.Next()) {
        ++k;
        EXPECT_EQ(field("id").AsInteger(), k);
        if (k % 7 == 0)
            EXPECT_TRUE(field("t").IsNull()) << k;
        else
            EXPECT_EQ(field("t").AsInteger(), k % 256 - 128) << k;
        EXPECT_EQ(field("s").AsInteger(), -k);
        EXPECT_EQ(field("m").AsInteger(), k * 1000);
        EXPECT_EQ(field("i").AsInteger(), -k * 100000);
        EXPECT_EQ(field("u").AsLargeInt(), 4000000000LL + k);
        EXPECT_EQ(field("b").AsLargeInt(), -k * 1000000000000LL);
        EXPECT_EQ(field("ub").AsLargeInt(), 10000000000LL + k);
        EXPECT_EQ(field("f").AsFloat(), k + 0.5);
        EXPECT_EQ(field("d").AsFloat(), k / 4.0);
        EXPECT_EQ(field("n").AsFloat(), k + 0.25);
        const QDate day = QDate(2024, 1, 1).addDays(k);
        EXPECT_EQ(field("dt").AsString(), day.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
        const int minutes = 10 * 60 + 20 + k;
        const QString at = QDate(2024, 1, 1).addDays(minutes / 1440).toString(QStringLiteral("yyyy-MM-dd ")) +
                           QTime(minutes % 1440 / 60, minutes % 60, 30).toString(QStringLiteral("hh:mm:ss"));
        EXPECT_EQ(field("ts").AsString(), at);
        EXPECT_EQ(field("v").AsString(), QStringLiteral("Товар №") + QString::number(k));
        EXPECT_FALSE(field("x").IsNull());
        EXPECT_EQ(field("x").AsString(), QString(k % 50, u'ё'));
        if (k % 3 == 0)
            EXPECT_TRUE(field("bl").IsNull()) << k;
        else
            EXPECT_EQ(field("bl").AsString(), QStringLiteral("абв"));
        // Shortest texts of doubles, with and without exponent, read back exactly.
        EXPECT_EQ(field("r").AsFloat(), k % 2 == 0 ? k / 3e0 : -k * 1e-7 * (k % 5 == 0 ? 1e30 : 1)) << k;
        EXPECT_EQ(field("tm").AsString(), QTime(0, 0).addSecs(k * 30).toString(QStringLiteral("hh:mm:ss")));
    }
    EXPECT_EQ(k, kRows);
}

TEST(QueryNetwork, ResultsAroundTheBatchSize)
{
    REQUIRE_MYSQL();
    auto my = KindsTable(2001);
    TZReadOnlyQuery q(my.get());
    q.SetSQL(QStringLiteral("select id, v from kinds where id <= :n order by id"));
    for (int n : {0, 1, 999, 1000, 1001, 2000, 2001}) {
        q.Close();
        q.ParamByName(QStringLiteral("n")).SetAsInteger(n);
        q.Open();
        EXPECT_EQ(q.RecordCount(), n);
        if (n > 0) {
            q.Last();
            EXPECT_EQ(q.FieldByName(QStringLiteral("id")).AsInteger(), n);
            EXPECT_EQ(q.FieldByName(QStringLiteral("v")).AsString(), QStringLiteral("Товар №") + QString::number(n));
        }
    }
}

TEST(QueryNetwork, EmptyResultKeepsItsFieldsAndTypes)
{
    REQUIRE_MYSQL();
    auto my = KindsTable(3);
    TZReadOnlyQuery q(my.get());
    q.SetSQL(QStringLiteral("select id, b, d, ts, v from kinds where id < 0"));
    q.Open();
    EXPECT_TRUE(q.IsEmpty());
    ASSERT_EQ(q.FieldCount(), 5);
    EXPECT_EQ(q.FieldByName(QStringLiteral("id")).DataType(), ftInteger);
    EXPECT_EQ(q.FieldByName(QStringLiteral("b")).DataType(), ftLargeint);
    EXPECT_EQ(q.FieldByName(QStringLiteral("d")).DataType(), ftFloat);
    EXPECT_EQ(q.FieldByName(QStringLiteral("ts")).DataType(), ftMemo);
    EXPECT_EQ(q.FieldByName(QStringLiteral("v")).AsString(), QString());
    // Reopened after the empty result, the same statement reads rows again.
    q.Close();
    q.SetSQL(QStringLiteral("select id from kinds order by id"));
    q.Open();
    EXPECT_EQ(q.RecordCount(), 3);
}

namespace {

// Descriptors of this process open on a file.
int OpenDescriptorsOn(const QString &file)
{
    const QString target = QFileInfo(file).canonicalFilePath();
    int count = 0;
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System))
        count += fd.symLinkTarget() == target;
    return count;
}

} // namespace

// A text opened again runs its kept statement: it must read the values set
// now, never be shared by two opens at once, hold no lock between opens and
// go away with the connection.
TEST_F(QueryTest, ReusedStatementsReadCurrentValuesAndCloseWithTheConnection)
{
    const QString sql = QStringLiteral("select count(*), min(name) from good where cid=:cid and "
                                       "(fid=:fid or :fid is null)");
    TZReadOnlyQuery q(m_conn.get());
    const struct {
        QVariant cid, fid;
        int count;
        const char16_t *name;
    } cases[] = {
        {343, 1, 2, u"Молоко «Весёлый молочник»"},
        {343, QVariant(), 3, u"Молоко «Весёлый молочник»"},
        {351, 1, 1, u"Ёлка"},
        {351, 2, 0, u""},
        {343, 2, 1, u"ХЛЕБОЗАВОД"},
    };
    for (const auto &c : cases) {
        q.Close();
        q.SetSQL(sql);
        q.ParamByName(QStringLiteral("cid")).Value = c.cid;
        q.ParamByName(QStringLiteral("fid")).Value = c.fid;
        q.Open();
        EXPECT_EQ(q.Fields()[0]->AsInteger(), c.count) << c.cid.toInt() << " " << c.fid.toInt();
        EXPECT_EQ(q.Fields()[1]->AsString(), QString::fromUtf16(c.name));
    }

    // Another connection can write between opens, and the next open sees it.
    auto other = testdb::OpenSqlite(m_dir.filePath(QStringLiteral("q.dat")));
    testdb::Exec(*other, {QStringLiteral("insert into good values (351, 2, 0, 'Пила', 10)")});
    q.Refresh();
    EXPECT_EQ(q.Fields()[1]->AsString(), QStringLiteral("ХЛЕБОЗАВОД"));
    q.Close();
    q.ParamByName(QStringLiteral("cid")).SetAsInteger(351);
    q.Open();
    EXPECT_EQ(q.Fields()[0]->AsInteger(), 1);
    EXPECT_EQ(q.Fields()[1]->AsString(), QStringLiteral("Пила"));

    // The same text opened from inside a running statement (here from an SQL
    // function) gets a statement of its own.
    struct TNested {
        TZReadOnlyQuery *query;
        QString sql;
        int depth = 0;
        qint64 seen = -1;
    };
    const QString nestedSql = QStringLiteral("select nested_open(:top) + :top");
    TZReadOnlyQuery inner(m_conn.get());
    TNested nested{&inner, nestedSql};
    sqlite3_create_function(
        m_conn->SqliteHandle(), "nested_open", 1, SQLITE_UTF8, &nested,
        [](sqlite3_context *ctx, int, sqlite3_value **) {
            auto *n = static_cast<TNested *>(sqlite3_user_data(ctx));
            if (n->depth++ == 0) {
                n->query->Close();
                n->query->SetSQL(n->sql);
                n->query->ParamByName(QStringLiteral("top")).SetAsInteger(5);
                n->query->Open();
                n->seen = n->query->Fields()[0]->AsLargeInt();
            }
            --n->depth;
            sqlite3_result_int(ctx, 0);
        },
        nullptr, nullptr);
    TZReadOnlyQuery outer(m_conn.get());
    for (int round = 0; round < 2; ++round) {
        nested.seen = -1;
        outer.Close();
        outer.SetSQL(nestedSql);
        outer.ParamByName(QStringLiteral("top")).SetAsInteger(1000 + round);
        outer.Open();
        EXPECT_EQ(nested.seen, 5) << round;
        EXPECT_EQ(outer.Fields()[0]->AsLargeInt(), 1000 + round);
    }

    // Kept statements do not keep the file open once disconnected; a new
    // connection prepares afresh.
    other.reset();
    const QString file = m_dir.filePath(QStringLiteral("q.dat"));
    ASSERT_GT(OpenDescriptorsOn(file), 0);
    m_conn->Disconnect();
    EXPECT_EQ(OpenDescriptorsOn(file), 0);
    m_conn->Connect();
    q.Close();
    q.Open();
    EXPECT_EQ(q.Fields()[1]->AsString(), QStringLiteral("Пила"));
}

TEST_F(QueryTest, ARunOfReadsSeesOneStateOfTheFileAndEndsOnEveryWayOut)
{
    const QString file = m_dir.filePath(QStringLiteral("q.dat"));
    sqlite3 *writer = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &writer), SQLITE_OK);
    const auto write = [writer] {
        return sqlite3_exec(writer, "insert into good values (400, 1, 0, 'x', 1)", nullptr, nullptr, nullptr);
    };
    TZReadOnlyQuery q(m_conn.get());
    q.SetSQL(QStringLiteral("select count(*) from good"));
    const auto count = [&q] {
        q.Close();
        q.Open();
        return q.Fields()[0]->AsInteger();
    };
    {
        TSqliteReadRun run(m_conn.get());
        EXPECT_EQ(count(), 4);
        // Nothing can change the file under the run, and it reads no change.
        EXPECT_EQ(write(), SQLITE_BUSY);
        EXPECT_EQ(count(), 4);
        {
            TSqliteReadRun nested(m_conn.get());
            EXPECT_EQ(count(), 4);
        }
        // The inner run left the outer one open.
        EXPECT_EQ(write(), SQLITE_BUSY);
    }
    EXPECT_EQ(write(), SQLITE_OK);
    EXPECT_EQ(count(), 5);

    // Ended by an error too, and harmless on a connection opened anew meanwhile.
    try {
        TSqliteReadRun run(m_conn.get());
        count();
        q.Close();
        q.SetSQL(QStringLiteral("select nothing from nowhere"));
        q.Open();
    } catch (const EDatabaseError &) {
    }
    EXPECT_EQ(write(), SQLITE_OK);
    {
        TSqliteReadRun run(m_conn.get());
        m_conn->Disconnect();
        m_conn->Connect();
        q.SetSQL(QStringLiteral("select count(*) from good"));
        EXPECT_EQ(count(), 6);
    }
    EXPECT_TRUE(sqlite3_get_autocommit(m_conn->SqliteHandle()));
    EXPECT_EQ(write(), SQLITE_OK);
    sqlite3_close(writer);
}

TEST_F(QueryTest, ATextRunAgainTakesTheColumnsItGivesNow)
{
    // A statement kept from the run before learns of the changed table only
    // when it runs.
    TZReadOnlyQuery q(m_conn.get());
    const QString sql = QStringLiteral("select * from kinds");
    const struct {
        const char *table;
        const char *row;
        std::vector<TFieldType> types;
        const char16_t *last;
    } cases[] = {
        {"create table kinds (v integer)", "insert into kinds values (7)", {ftInteger}, u"7"},
        {"create table kinds (v varchar(5), w real)",
         "insert into kinds values ('а', 2.5)",
         {ftString, ftFloat},
         u"2.5"},
        {"create table kinds (v bigint)", "insert into kinds values (7)", {ftLargeint}, u"7"},
        {"create table kinds (v text, w integer, x real)", "select 1", {ftMemo, ftInteger, ftFloat}, u""},
    };
    for (const auto &c : cases) {
        testdb::Exec(*m_conn, {QStringLiteral("drop table if exists kinds"), QString::fromLatin1(c.table),
                               QString::fromUtf8(c.row)});
        q.SetSQL(sql);
        q.Open();
        std::vector<TFieldType> types;
        for (TField *f : q.Fields())
            types.push_back(f->DataType());
        EXPECT_EQ(types, c.types) << c.table;
        EXPECT_EQ(q.Fields().back()->AsString(), QString::fromUtf16(c.last)) << c.table;
        q.Close();
    }
}
