// Declared result fields: kinds, types, sizes and order per deployment, and
// how a declared query reads its result.
#include "services/fielddefs.h"

#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"
#include "services/scratchdb.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace {

struct Expect {
    const char *name;
    TFieldType type;
    TFieldKind kind;
    int size;
};

void ExpectFields(const TDataSet &q, const std::vector<Expect> &want)
{
    ASSERT_EQ(q.Fields().size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        const TField *f = q.Fields()[i];
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(f->FieldName(), QLatin1String(want[i].name));
        EXPECT_EQ(f->DataType(), want[i].type);
        EXPECT_EQ(f->FieldKind(), want[i].kind);
        EXPECT_EQ(f->Size(), want[i].size);
    }
}

constexpr TFieldKind D = fkData;
constexpr TFieldKind C = fkCalculated;

} // namespace

TEST(FieldDefs, GoodsResultInBothDeployments)
{
    TZReadOnlyQuery local, network;
    DeclareGoodResultFields(local, false);
    DeclareGoodResultFields(network, true);
    ExpectFields(local, {{"sprice", ftString, C, 20},
                         {"sname", ftString, C, 255},
                         {"price", ftFloat, D, 0},
                         {"name", ftMemo, D, 0},
                         {"cur", ftMemo, D, 0},
                         {"sfn", ftMemo, D, 0},
                         {"ssfn", ftString, C, 255},
                         {"price_rub", ftFloat, D, 0},
                         {"id", ftInteger, D, 0},
                         {"discount", ftString, D, 1},
                         {"cid", ftInteger, D, 0},
                         {"fid", ftInteger, D, 0},
                         {"adr_id", ftInteger, D, 0},
                         {"gid", ftInteger, D, 0},
                         {"wgroupname", ftString, C, 255},
                         {"wsupergroupname", ftString, C, 255},
                         {"sphones", ftString, C, 255}});
    ExpectFields(network, {{"sprice", ftString, C, 20},
                           {"sname", ftString, C, 255},
                           {"price", ftFloat, D, 0},
                           {"name", ftString, D, 255},
                           {"cur", ftString, D, 10},
                           {"sfn", ftString, D, 255},
                           {"ssfn", ftString, C, 255},
                           {"price_rub", ftFloat, D, 0},
                           {"org", ftInteger, D, 0},
                           {"id", ftLargeint, D, 0},
                           {"discount", ftString, D, 1},
                           {"cid", ftLargeint, D, 0},
                           {"fid", ftLargeint, D, 0},
                           {"adr_id", ftInteger, D, 0},
                           {"gid", ftInteger, D, 0},
                           {"wgroupname", ftString, C, 255},
                           {"wsupergroupname", ftString, C, 255},
                           {"sphones", ftString, C, 255}});
}

TEST(FieldDefs, OrganisationResultInBothDeployments)
{
    TZReadOnlyQuery local, network;
    DeclareEnprResultFields(local, false);
    DeclareEnprResultFields(network, true);
    ExpectFields(local, {{"cid", ftInteger, D, 0},
                         {"fid", ftInteger, D, 0},
                         {"adr_id", ftInteger, D, 0},
                         {"sfn", ftMemo, D, 0},
                         {"sallinfo", ftString, C, 255},
                         {"street_name", ftMemo, D, 0},
                         {"name_big", ftMemo, D, 0},
                         {"street_type", ftMemo, D, 0},
                         {"house", ftMemo, D, 0},
                         {"lit", ftMemo, D, 0},
                         {"office", ftMemo, D, 0},
                         {"ext", ftMemo, D, 0},
                         {"city_name", ftMemo, D, 0},
                         {"ssfn", ftString, C, 255}});
    ExpectFields(network, {{"cid", ftLargeint, D, 0},
                           {"fid", ftLargeint, D, 0},
                           {"adr_id", ftInteger, D, 0},
                           {"org", ftInteger, D, 0},
                           {"sfn", ftString, D, 255},
                           {"sallinfo", ftString, C, 255},
                           {"street_name", ftString, D, 255},
                           {"name_big", ftString, D, 255},
                           {"street_type", ftString, D, 255},
                           {"house", ftString, D, 10},
                           {"lit", ftString, D, 10},
                           {"office", ftString, D, 10},
                           {"ext", ftString, D, 100},
                           {"city_name", ftString, D, 20},
                           {"ssfn", ftString, C, 255}});
}

TEST(FieldDefs, DeclaredQueryReadsOnlyItsFieldsAndCutsCalculatedText)
{
    QTemporaryDir dir;
    const auto c = scratch::OpenScratchSqlite(dir);
    c->ExecuteDirect(QStringLiteral("create table t (price real, name text, extra text)"));
    c->ExecuteDirect(QStringLiteral("insert into t values (1234567.891, 'Сахар', 'x')"));

    TZReadOnlyQuery q(c.get());
    TField *price = AddFloatField(q, QStringLiteral("price"));
    TField *name = AddStringField(q, QStringLiteral("name"), 3);
    TField *sprice = AddCalcStringField(q, QStringLiteral("sprice"), 20);
    EXPECT_EQ(sprice->Size(), 20);
    EXPECT_TRUE(sprice->Calculated());
    q.OnCalcFields = [&](TDataSet &) {
        sprice->SetAsString(QStringLiteral("1 234 567.89 руб * скидка до конца месяца"));
    };
    q.SetSQL(QStringLiteral("select * from t"));
    q.Open();
    EXPECT_EQ(q.FindField(QStringLiteral("extra")), nullptr);
    EXPECT_THROW(q.FieldByName(QStringLiteral("extra")), EDatabaseError);
    EXPECT_DOUBLE_EQ(price->AsFloat(), 1234567.891);
    EXPECT_EQ(name->AsString(), QStringLiteral("Сах"));
    EXPECT_EQ(sprice->AsString(), QStringLiteral("1 234 567.89 руб * с"));
    // Declaring on an open query is refused.
    EXPECT_THROW(AddIntegerField(q, QStringLiteral("late")), EDatabaseError);
}

TEST(FieldDefs, LocalGoodsFieldsOpenOverTheSampleCatalogue)
{
    const auto c = scratch::OpenCatalogue(false);
    TZReadOnlyQuery q(c.get());
    DeclareGoodResultFields(q, false);
    q.SetSQL(QStringLiteral(
        "select s.price, s.name, s.cur, a.sfn, s.price_rub, s.id, '' as discount, s.cid, s.fid, a.adr_id, s.gid "
        "from good s, address a where a.cid=s.cid and a.fid=s.fid and (a.adr_id = s.adr_id OR a.adr_id = 0) "
        "and postext('А', s.name) limit 50"));
    q.Open();
    EXPECT_GT(q.RecordCount(), 0);
    EXPECT_FALSE(q.FieldByName(QStringLiteral("name")).AsString().isEmpty());
    EXPECT_GT(q.FieldByName(QStringLiteral("cid")).AsInteger(), 0);
    EXPECT_TRUE(q.FieldByName(QStringLiteral("sprice")).IsNull());
}

TEST(FieldDefs, GoodsFieldsReadTheSameRowsInBothDeployments)
{
    REQUIRE_MYSQL();
    const auto lite = scratch::OpenCatalogue(false);
    const auto my = scratch::OpenCatalogue(true);

    const QString select = QStringLiteral(
        " select a.gid as gid, s.sfn as sfn,a.id as id,a.cid as cid,a.fid as fid,s.adr_id as adr_id,a.name as "
        "name,a.price as price,a.cur as cur,a.price_rub as price_rub , '0' as discount ");
    const QString join = QStringLiteral(" where a.cid=s.cid and a.fid=s.fid and (a.adr_id = s.adr_id OR "
                                        "a.adr_id = 0) and a.cid=343 ");
    const QString order = QStringLiteral(" order by a.fid, s.adr_id, a.id limit 200");
    TZReadOnlyQuery local(lite.get()), network(my.get());
    DeclareGoodResultFields(local, false);
    DeclareGoodResultFields(network, true);
    local.SetSQL(select + QStringLiteral(" from good a, address s ") + join + order);
    network.SetSQL(select + QStringLiteral(" ,f.org as org from good a, address s ,firm f ") + join +
                   QStringLiteral(" and s.cid=f.cid and s.fid=f.fid ") + order);
    local.Open();
    network.Open();
    ASSERT_EQ(local.RecordCount(), network.RecordCount());
    ASSERT_GT(local.RecordCount(), 0);
    EXPECT_EQ(network.FieldByName(QStringLiteral("cid")).Value().typeId(), QMetaType::LongLong);
    EXPECT_EQ(local.FieldByName(QStringLiteral("cid")).Value().typeId(), QMetaType::Int);
    for (local.First(), network.First(); !local.Eof(); local.Next(), network.Next()) {
        for (const char *name : {"name", "sfn", "cur", "id", "fid", "adr_id", "gid", "price_rub"})
            EXPECT_EQ(local.FieldByName(QLatin1String(name)).AsString(),
                      network.FieldByName(QLatin1String(name)).AsString())
                << name;
    }
}
