// The sample catalogue keeps the key and value conventions the program's
// queries rely on, and its two forms hold the same rows.
#include "catgen/catgen.h"
#include "data/codec.h"
#include "testenv.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <stdexcept>

namespace {

const char *const kChildTables[] = {"good", "phone", "people", "attr", "discount", "transport", "web", "wt"};

class Db
{
public:
    explicit Db(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
    }
    ~Db() { sqlite3_close(m_db); }

    // First column of every row, as bytes (NULL as an empty array).
    QList<QByteArray> Column(const QByteArray &sql) const
    {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(m_db)) + " in " + sql.toStdString());
        QList<QByteArray> out;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            out.append(QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)),
                                  sqlite3_column_bytes(stmt, 0)));
        sqlite3_finalize(stmt);
        return out;
    }
    QByteArray Text(const QByteArray &sql) const
    {
        const auto c = Column(sql);
        return c.isEmpty() ? QByteArray() : c.first();
    }
    long long Count(const QByteArray &sql) const { return Text(sql).toLongLong(); }

private:
    sqlite3 *m_db = nullptr;
};

QByteArray Cp(const char16_t *text)
{
    return ToCp1251(QString::fromUtf16(text));
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(CatalogueGenerator, KeysPointToExistingRows)
{
    const Db db(testenv::SampleCatalogue());
    EXPECT_EQ(db.Count("select count(*) from good"), CatalogueOptions().goods);

    for (const char *t : kChildTables) {
        SCOPED_TRACE(t);
        const QByteArray table(t);
        EXPECT_GT(db.Count("select count(*) from " + table), 0);
        EXPECT_EQ(db.Count("select count(*) from " + table +
                           " x where not exists (select 1 from "
                           "firm f where f.cid=x.cid and f.fid=x.fid)"),
                  0);
        // adr_id is 0 (every address) or one address of the firm.
        EXPECT_EQ(db.Count("select count(*) from " + table +
                           " x where x.adr_id<>0 and not exists "
                           "(select 1 from address a where a.cid=x.cid and a.fid=x.fid and "
                           "a.adr_id=x.adr_id)"),
                  0);
    }
    EXPECT_EQ(db.Count("select count(*) from address a where not exists (select 1 from firm f "
                       "where f.cid=a.cid and f.fid=a.fid)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from firm f where not exists (select 1 from address a "
                       "where f.cid=a.cid and f.fid=a.fid)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from address where adr_id<=0"), 0);
    EXPECT_EQ(db.Count("select count(*) from address_micro_region x where not exists (select 1 "
                       "from address a where a.cid=x.cid and a.fid=x.fid and a.adr_id=x.adr_id) "
                       "or not exists (select 1 from city_micro_region m where m.cid=x.cid and "
                       "m.id=x.cmr_id)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from address a where not exists (select 1 from city y "
                       "where y.cid=a.cid) or not exists (select 1 from street_name s where "
                       "s.cid=a.cid and s.id=a.strn_id) or not exists (select 1 from city_region r "
                       "where r.cid=a.cid and r.id=a.cr_id)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from good g where not exists (select 1 from wgroup w "
                       "where w.gid=g.gid and w.super_id=g.super_id)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from (select cid,id from good group by cid,id having "
                       "count(*)>1)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from (select cid,fid,adr_id from address group by "
                       "cid,fid,adr_id having count(*)>1)"),
              0);
}

TEST(CatalogueGenerator, CountersMatchTheRows)
{
    const Db db(testenv::SampleCatalogue());
    EXPECT_EQ(db.Count("select count(*) from good_cnt c where cnt<>(select count(*) from good g "
                       "where g.cid=c.cid)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from (select distinct cid from good) g where not exists "
                       "(select 1 from good_cnt c where c.cid=g.cid)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from good_gid_cnt c where cnt<>(select count(*) from good "
                       "g where g.cid=c.cid and g.gid=c.gid)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from (select distinct cid,gid from good) g where not "
                       "exists (select 1 from good_gid_cnt c where c.cid=g.cid and c.gid=g.gid)"),
              0);
    EXPECT_EQ(db.Count("select count(*) from firm_cnt c where cnt<>(select count(*) from firm f "
                       "where f.cid=c.cid)"),
              0);
    EXPECT_EQ(db.Count("select sum(cnt) from firm_cnt"), db.Count("select count(*) from firm"));
    EXPECT_EQ(db.Count("select sum(cnt) from good_cnt"), db.Count("select count(*) from good"));
    // A city with organisations but no goods still has its tree node.
    EXPECT_GT(db.Count("select count(*) from city y where not exists (select 1 from good_cnt c "
                       "where c.cid=y.cid) and exists (select 1 from firm f where f.cid=y.cid)"),
              0);
}

TEST(CatalogueGenerator, CitiesAndTextsAreWindows1251)
{
    const Db db(testenv::SampleCatalogue());
    const QByteArray ekb = db.Text("select name from city where cid=343");
    EXPECT_EQ(ekb, Cp(u"Екатеринбург"));
    EXPECT_EQ(FromCp1251(ekb), QString::fromUtf16(u"Екатеринбург"));
    for (int cid : {343, 351, 3452, 3435, 3439, 34392})
        EXPECT_EQ(db.Count("select count(*) from city where cid=" + QByteArray::number(cid)), 1) << cid;
    // Single bytes: the name is one byte per letter.
    EXPECT_EQ(ekb.size(), 12);
    EXPECT_EQ(db.Count("select count(*) from firm where update_firm not glob "
                       "'[12][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9]'"),
              0);
    EXPECT_EQ(db.Text("select length(db_date) from db_date"), "19");
    EXPECT_EQ(db.Count("select count(*) from discount where start_date not glob "
                       "'[12][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]' or end_date not glob "
                       "'[12][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]'"),
              0);
    for (const char *col : {"sw", "ew", "sb", "eb"})
        EXPECT_EQ(db.Count(QByteArray("select count(*) from wt where ") + col + " is not null and " + col +
                           " not glob '[0-2][0-9]:[0-5][0-9]:[0-5][0-9]'"),
                  0)
            << col;
}

TEST(CatalogueGenerator, HardCasesArePresent)
{
    const Db db(testenv::SampleCatalogue());
    // Rows for every address of a firm, and firms with several addresses.
    for (const char *t : kChildTables)
        EXPECT_GT(db.Count(QByteArray("select count(*) from ") + t + " where adr_id=0"), 0) << t;
    EXPECT_GT(db.Count("select count(*) from good where adr_id<>0"), 0);
    EXPECT_GT(db.Count("select count(*) from (select cid,fid from address group by cid,fid "
                       "having count(*)>=3)"),
              0);
    // The whole-city district comes first in every city; micro-districts "--".
    EXPECT_EQ(db.Count("select count(*) from city y where (select name_small from city_region r "
                       "where r.cid=y.cid order by id limit 1) is not '---'"),
              0);
    EXPECT_GT(db.Count("select count(*) from city_micro_region where name='--'"), 0);
    EXPECT_GT(db.Count("select count(*) from city_micro_region where name like '%--%' and "
                       "name<>'--'"),
              0);
    // Streets without a type row, named "--", with an empty type; NULL parts.
    EXPECT_GT(db.Count("select count(*) from address a, street_name s where a.cid=s.cid and "
                       "a.strn_id=s.id and not exists (select 1 from street_type t where "
                       "t.id=s.strt_id)"),
              0);
    EXPECT_GT(db.Count("select count(*) from address a, street_name s where a.cid=s.cid and "
                       "a.strn_id=s.id and s.name='--'"),
              0);
    EXPECT_GT(db.Count("select count(*) from address a, street_name s, street_type t where "
                       "a.cid=s.cid and a.strn_id=s.id and s.strt_id=t.id and t.name_small=''"),
              0);
    EXPECT_GT(db.Count("select count(*) from address where house is null"), 0);
    EXPECT_GT(db.Count("select count(*) from address where house='0'"), 0);
    EXPECT_GT(db.Count("select count(*) from address where office is null"), 0);
    // Characters that need escaping, in firm names and goods.
    for (const char *pattern : {"*'*", "*\"*", "*\\*", "*%*", "*_*"}) {
        EXPECT_GT(db.Count(QByteArray("select count(*) from address where sfn glob '") +
                           QByteArray(pattern).replace("'", "''") + "'"),
                  0)
            << pattern;
    }
    EXPECT_GT(db.Count("select count(*) from good where name glob '*''*'"), 0);
    EXPECT_GT(db.Count("select count(*) from good where name glob '*\\*'"), 0);
    EXPECT_GT(db.Count("select count(*) from good where instr(name, char(13,10))>0"), 0);
    // Ё and ё, and names in capitals.
    EXPECT_GT(db.Count("select count(*) from good where instr(cast(name as blob), x'A8')>0"), 0);
    EXPECT_GT(db.Count("select count(*) from good where instr(cast(name as blob), x'B8')>0"), 0);
    EXPECT_GT(db.Count("select count(*) from address where instr(cast(sfn as blob), x'A8')>0"), 0);
    // Working times: round the clock, every day, past midnight, breaks.
    EXPECT_GT(db.Count("select count(*) from wt where AllTimes='1'"), 0);
    EXPECT_GT(db.Count("select count(*) from wt where AllDays='1' and AllTimes<>'1'"), 0);
    EXPECT_GT(db.Count("select count(*) from wt where sw>ew and AllTimes<>'1'"), 0);
    EXPECT_GT(db.Count("select count(*) from wt where NoBreaks<>'1' and sb<eb"), 0);
    EXPECT_GT(db.Count("select count(*) from wt where sb is null and eb is null"), 0);
    // Discounts current for decades, expired ones, open-ended promotions.
    const QByteArray today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    EXPECT_GT(db.Count("select count(*) from discount where tp='d' and start_date<='" + today + "' and end_date>='" +
                       today + "'"),
              0);
    EXPECT_GT(db.Count("select count(*) from discount where tp='d' and end_date<'" + today + "'"), 0);
    EXPECT_GT(db.Count("select count(*) from discount where tp='a' and end_date='2100-01-01'"), 0);
    EXPECT_GT(db.Count("select count(*) from discount where tp='a' and end_date<>'2100-01-01' "
                       "and end_date>='" +
                       today + "'"),
              0);
    EXPECT_GT(db.Count("select count(*) from discount where tp not in ('a','d')"), 0);
    // Telephones: mobile, eleven digits, empty code, empty shown text.
    EXPECT_GT(db.Count("select count(*) from phone where length(code||phone)=10 and "
                       "substr(code,1,1)='9'"),
              0);
    EXPECT_GT(db.Count("select count(*) from phone where length(code||phone)=11"), 0);
    EXPECT_GT(db.Count("select count(*) from phone where code='' and length(cid||phone)=10"), 0);
    EXPECT_GT(db.Count("select count(*) from phone where allinfo=''"), 0);
    // Hidden staff and web rows; every kind of web row.
    EXPECT_GT(db.Count("select count(*) from people where visible='0'"), 0);
    EXPECT_GT(db.Count("select count(*) from web where visible='0'"), 0);
    for (const char *tp : {"w", "e", "i", "x"})
        EXPECT_GT(db.Count(QByteArray("select count(*) from web where visible='1' and tp='") + tp + "'"), 0) << tp;
    // Prices in every currency, and prices on request.
    for (const char *cur : {"rubl", "doll", "euro"})
        EXPECT_GT(db.Count(QByteArray("select count(*) from good where cur='") + cur + "'"), 0);
    EXPECT_GT(db.Count("select count(*) from good where price=0"), 0);
    EXPECT_EQ(db.Count("select count(*) from good where cur not in ('doll','euro') and "
                       "price<>price_rub"),
              0);
    // Firms with no goods, and firm colours of the network version.
    EXPECT_GT(db.Count("select count(*) from firm f where not exists (select 1 from good g where "
                       "g.cid=f.cid and g.fid=f.fid)"),
              0);
    EXPECT_GT(db.Count("select count(*) from firm where org=1"), 0);
    EXPECT_GT(db.Count("select count(*) from firm where org=2"), 0);
}

TEST(CatalogueGenerator, BannersAreHexJpegPictures)
{
    const Db db(testenv::SampleCatalogue());
    for (const char *name : {"m1.jpg", "m2.jpg"}) {
        const QList<QByteArray> rows =
            db.Column(QByteArray("select body from files where prefix='banner' and name='") + name + "'");
        ASSERT_EQ(rows.size(), 1) << name;
        const QByteArray hex = rows.first();
        EXPECT_EQ(hex, hex.toUpper());
        const QByteArray bytes = QByteArray::fromHex(hex);
        EXPECT_TRUE(bytes.startsWith("\xFF\xD8"));
        const QImage image = QImage::fromData(bytes, "JPG");
        EXPECT_FALSE(image.isNull()) << name;
    }
}

TEST(CatalogueGenerator, SameOptionsGiveIdenticalFiles)
{
    QTemporaryDir dir;
    CatalogueOptions small;
    small.goods = 700;
    auto path = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    WriteSqliteCatalogue(path("a.dat"), small);
    WriteSqliteCatalogue(path("b.dat"), small);
    EXPECT_EQ(ReadAll(path("a.dat")), ReadAll(path("b.dat")));
    WriteMysqlScript(path("a.sql"), small, u"m"_qs, u"c"_qs, u"s"_qs);
    WriteMysqlScript(path("b.sql"), small, u"m"_qs, u"c"_qs, u"s"_qs);
    EXPECT_EQ(ReadAll(path("a.sql")), ReadAll(path("b.sql")));
    EXPECT_TRUE(ReadAll(path("a.sql")).startsWith("-- Sample catalogue, Windows-1251.\nSET NAMES cp1251;"));

    CatalogueOptions other = small;
    other.seed += 1;
    WriteSqliteCatalogue(path("c.dat"), other);
    EXPECT_NE(ReadAll(path("a.dat")), ReadAll(path("c.dat")));
    EXPECT_EQ(Db(path("c.dat")).Count("select count(*) from good"), 700);

    // Rewriting an existing file replaces it.
    WriteSqliteCatalogue(path("a.dat"), other);
    EXPECT_EQ(ReadAll(path("a.dat")), ReadAll(path("c.dat")));
}

TEST(CatalogueGenerator, OptionsShapeTheCatalogue)
{
    QTemporaryDir dir;
    CatalogueOptions none;
    none.goods = 0;
    none.firmPrd = false;
    const QString path = dir.filePath(u"none.dat"_qs);
    WriteSqliteCatalogue(path, none);
    const Db db(path);
    EXPECT_EQ(db.Count("select count(*) from good"), 0);
    EXPECT_EQ(db.Count("select count(*) from good_cnt"), 0);
    EXPECT_GT(db.Count("select count(*) from firm"), 0);
    EXPECT_EQ(db.Count("select count(*) from pragma_table_info('firm') where name='prd'"), 0);
    EXPECT_EQ(Db(testenv::SampleCatalogue()).Count("select count(*) from pragma_table_info('firm') where name='prd'"),
              1);

    CatalogueOptions badDate;
    badDate.dbDate = u"2026-13-01"_qs;
    EXPECT_THROW(WriteSqliteCatalogue(dir.filePath(u"bad.dat"_qs), badDate), std::runtime_error);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"bad.dat"_qs)));
    EXPECT_THROW(WriteMysqlScript(dir.filePath(u"bad.sql"_qs), CatalogueOptions(), u"m"_qs,
                                  u"c`; drop database x; --"_qs, u"s"_qs),
                 std::runtime_error);
    EXPECT_THROW(WriteSqliteCatalogue(dir.filePath(u"no/such/folder/x.dat"_qs), CatalogueOptions()),
                 std::runtime_error);
}

TEST(CatalogueGenerator, CommandLineReportsErrors)
{
    QTemporaryDir dir;
    QProcess p;
    p.start(QStringLiteral(TREVIN_GENCAT), {u"--goods"_qs, u"many"_qs});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardError().contains("--goods"));

    p.start(QStringLiteral(TREVIN_GENCAT), {u"--goods"_qs, u"50"_qs});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_NE(p.exitCode(), 0); // no --sqlite

    const QString db = dir.filePath(u"cli.dat"_qs);
    const QString sql = dir.filePath(u"cli.sql"_qs);
    p.start(QStringLiteral(TREVIN_GENCAT), {u"--sqlite"_qs, db, u"--mysql-script"_qs, sql, u"--goods"_qs, u"50"_qs});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_EQ(Db(db).Count("select count(*) from good"), 50);
    EXPECT_TRUE(ReadAll(sql).contains("USE `trevin_cat`;"));

    p.start(QStringLiteral(TREVIN_GENCAT), {u"--sqlite"_qs, dir.filePath(u"missing/x.dat"_qs), u"--goods"_qs, u"5"_qs});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_FALSE(p.readAllStandardError().isEmpty());
}

// Runs the mariadb client; returns its standard output (Windows-1251).
QByteArray RunClient(const QStringList &extra, const QByteArray &input, int *exitCode)
{
    const testenv::MysqlServer s = testenv::Mysql();
    QString program = QStandardPaths::findExecutable(u"mariadb"_qs);
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(u"mysql"_qs);
    QProcess p;
    QStringList args = {
        u"--default-character-set=cp1251"_qs, u"--batch"_qs,     u"--skip-column-names"_qs, u"-h"_qs + s.host,
        u"-P"_qs + QString::number(s.port),   u"-u"_qs + s.user, u"-p"_qs + s.password};
    p.start(program, args + extra);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(300000);
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    if (*exitCode != 0)
        ADD_FAILURE() << p.readAllStandardError().constData();
    return p.readAllStandardOutput();
}

TEST(CatalogueGenerator, MysqlScriptLoadsTheSameRows)
{
    REQUIRE_MYSQL();
    QTemporaryDir dir;
    CatalogueOptions options;
    options.goods = 1500;
    const QString script = dir.filePath(u"load.sql"_qs);
    const QString file = dir.filePath(u"load.dat"_qs);
    CatalogueStats stats;
    WriteSqliteCatalogue(file, options);
    WriteMysqlScript(script, options, u"generator_master"_qs, u"generator_cat"_qs, u"generator_stat"_qs, &stats);
    int rc = 0;
    RunClient({}, ReadAll(script), &rc);
    ASSERT_EQ(rc, 0);

    const Db db(file);
    for (const auto &[table, rows] : stats) {
        const QByteArray t = QByteArray::fromStdString(table);
        const QByteArray out =
            RunClient({u"-e"_qs, u"select count(*) from generator_cat."_qs + QString::fromLatin1(t)}, {}, &rc);
        EXPECT_EQ(out.trimmed().toLongLong(), db.Count("select count(*) from " + t)) << table;
        EXPECT_EQ(rows, db.Count("select count(*) from " + t)) << table;
    }
    EXPECT_EQ(RunClient({u"-e"_qs, u"select name from generator_cat.city where cid=343"_qs}, {}, &rc).trimmed(),
              Cp(u"Екатеринбург"));
    EXPECT_EQ(RunClient({u"-e"_qs, u"select db from generator_master.current_db"_qs}, {}, &rc).trimmed(),
              "generator_cat");
    // Same texts byte for byte, quotes and backslashes included.
    const QByteArray names = RunClient(
        {u"--raw"_qs, u"-e"_qs, u"select sfn from generator_cat.address order by cid,fid,adr_id"_qs}, {}, &rc);
    QByteArray expected;
    for (const QByteArray &n : db.Column("select sfn from address order by cid,fid,adr_id"))
        expected += n + '\n';
    EXPECT_EQ(names, expected);
    // Network types: keys 64 or 32 bits as the result fields expect, times and dates.
    const QByteArray types =
        RunClient({u"-e"_qs, u"select concat(table_name,'.',column_name,'=',data_type) from "
                             "information_schema.columns where table_schema='generator_cat' and "
                             "column_name in ('cid','fid','adr_id','gid','sw','end_date','update_firm',"
                             "'price','prd') order by 1"_qs},
                  {}, &rc);
    for (const char *t :
         {"good.cid=bigint", "good.fid=bigint", "good.adr_id=int", "good.gid=int", "good.price=double", "wt.sw=time",
          "discount.end_date=date", "firm.update_firm=datetime", "firm.prd=int", "address.adr_id=int"})
        EXPECT_TRUE(types.contains(QByteArray(t) + '\n')) << t;
    // Times come back through the format the card uses.
    EXPECT_EQ(RunClient({u"-e"_qs, u"select count(*) from generator_cat.wt where "
                                   "date_format(sw,'%H:%i:%S') is null and sw is not null"_qs},
                        {}, &rc)
                  .trimmed(),
              "0");

    // The month-table template creates a table the statistics insert fits.
    const QByteArray format =
        RunClient({u"--raw"_qs, u"-e"_qs, u"select format from generator_stat.format where id=1"_qs}, {}, &rc);
    ASSERT_TRUE(format.contains("`DB_NAME`"));
    QByteArray create = format.trimmed();
    create.replace("`DB_NAME`", "generator_stat.s2026_12");
    RunClient({},
              create + ";\n" + create +
                  ";\ninsert into generator_stat.s2026_12 "
                  "(source,fid,city,sid,gid,dt,firm) values ('trevin',1,'city_343','0','0',now(),'');\n",
              &rc);
    EXPECT_EQ(rc, 0);
    RunClient({},
              "drop database generator_cat; drop database generator_master; "
              "drop database generator_stat;",
              &rc);
}

} // namespace
