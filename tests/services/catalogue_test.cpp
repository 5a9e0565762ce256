// The catalogue conventions the queries rely on, seen through the queries
// themselves: the child-row condition of one address, the goods-to-address
// join, and the time texts checkwt reads. Run on the local sample catalogue
// and, when the test server is there, on its copy in MariaDB.
#include "data/connection.h"
#include "data/query.h"
#include "services/scratchdb.h"

#include <gtest/gtest.h>

#include <QSet>

#include <memory>

namespace {

struct ChildRow {
    int adr;
    QString text;
};

// Rows of `phone` for one address by the shared condition, in the shared order.
std::vector<ChildRow> PhonesOf(TZConnection &c, qint64 cid, qint64 fid, int adr)
{
    TZReadOnlyQuery q(&c);
    q.SetSQL(QStringLiteral("select adr_id, allinfo from phone where cid=:cid and fid=:fid and (adr_id in "
                            "(:adr_id,0)  or :adr_id=0 ) ORDER by adr_id, prior"));
    q.ParamByName(QStringLiteral("cid")).SetAsInteger(cid);
    q.ParamByName(QStringLiteral("fid")).SetAsInteger(fid);
    q.ParamByName(QStringLiteral("adr_id")).SetAsInteger(adr);
    q.Open();
    std::vector<ChildRow> rows;
    for (q.First(); !q.Eof(); q.Next())
        rows.push_back(
            {q.FieldByName(QStringLiteral("adr_id")).AsInteger(), q.FieldByName(QStringLiteral("allinfo")).AsString()});
    return rows;
}

void CheckChildRowCondition(TZConnection &c)
{
    // Firms whose telephones are partly firm-wide, partly per address.
    TZReadOnlyQuery firms(&c);
    firms.SetSQL(QStringLiteral("select cid, fid from phone group by cid, fid having sum(adr_id=0)>0 and "
                                "sum(adr_id<>0)>0 order by cid, fid"));
    firms.Open();
    ASSERT_GT(firms.RecordCount(), 0);
    for (firms.First(); !firms.Eof(); firms.Next()) {
        const qint64 cid = firms.FieldByName(QStringLiteral("cid")).AsLargeInt();
        const qint64 fid = firms.FieldByName(QStringLiteral("fid")).AsLargeInt();
        SCOPED_TRACE(QStringLiteral("%1/%2").arg(cid).arg(fid).toStdString());
        const std::vector<ChildRow> all = PhonesOf(c, cid, fid, 0);
        QSet<int> addresses;
        for (std::size_t i = 0; i < all.size(); ++i) {
            addresses.insert(all[i].adr);
            if (i > 0) {
                EXPECT_LE(all[i - 1].adr, all[i].adr); // firm-wide rows first
            }
        }
        for (int adr : addresses) {
            if (adr == 0)
                continue;
            const std::vector<ChildRow> one = PhonesOf(c, cid, fid, adr);
            std::size_t expected = 0;
            for (const ChildRow &r : all)
                expected += (r.adr == 0 || r.adr == adr) ? 1 : 0;
            EXPECT_EQ(one.size(), expected);
            for (const ChildRow &r : one)
                EXPECT_TRUE(r.adr == 0 || r.adr == adr);
            EXPECT_EQ(one.front().adr, 0);
        }
        // An address without rows of its own still gets the firm-wide ones.
        const std::vector<ChildRow> none = PhonesOf(c, cid, fid, 99999);
        ASSERT_FALSE(none.empty());
        for (const ChildRow &r : none)
            EXPECT_EQ(r.adr, 0);
    }
}

// Each good appears once per address that offers it: every address of its
// firm for adr_id 0, its own address otherwise.
void CheckGoodsAddressJoin(TZConnection &c)
{
    TZReadOnlyQuery q(&c);
    q.SetSQL(QStringLiteral(
        "select count(*) as n from good a, address s where a.cid=s.cid and a.fid=s.fid and (a.adr_id = s.adr_id "
        "OR a.adr_id = 0) and a.cid=:cid and a.fid=:fid"));
    TZReadOnlyQuery firms(&c);
    firms.SetSQL(QStringLiteral(
        "select g.cid, g.fid, sum(case when g.adr_id=0 then 1 else 0 end) as shared, "
        "sum(case when g.adr_id<>0 and exists (select * from address x where x.cid=g.cid and x.fid=g.fid and "
        "x.adr_id=g.adr_id) then 1 else 0 end) as own, "
        "(select count(*) from address x where x.cid=g.cid and x.fid=g.fid) as addresses "
        "from good g group by g.cid, g.fid order by g.cid, g.fid"));
    firms.Open();
    ASSERT_GT(firms.RecordCount(), 10);
    int multi = 0;
    for (firms.First(); !firms.Eof(); firms.Next()) {
        const int addresses = firms.FieldByName(QStringLiteral("addresses")).AsInteger();
        multi += addresses > 1 ? 1 : 0;
        q.Close();
        q.ParamByName(QStringLiteral("cid")).SetAsInteger(firms.FieldByName(QStringLiteral("cid")).AsLargeInt());
        q.ParamByName(QStringLiteral("fid")).SetAsInteger(firms.FieldByName(QStringLiteral("fid")).AsLargeInt());
        q.Open();
        EXPECT_EQ(q.FieldByName(QStringLiteral("n")).AsInteger(),
                  firms.FieldByName(QStringLiteral("shared")).AsInteger() * addresses +
                      firms.FieldByName(QStringLiteral("own")).AsInteger());
    }
    EXPECT_GT(multi, 0);
}

} // namespace

TEST(CatalogueQueries, ChildRowConditionLocal)
{
    auto c = scratch::OpenCatalogue(false);
    CheckChildRowCondition(*c);
}

TEST(CatalogueQueries, ChildRowConditionNetwork)
{
    REQUIRE_MYSQL();
    auto c = scratch::OpenCatalogue(true);
    CheckChildRowCondition(*c);
}

TEST(CatalogueQueries, GoodsAddressJoinLocal)
{
    auto c = scratch::OpenCatalogue(false);
    CheckGoodsAddressJoin(*c);
}

TEST(CatalogueQueries, GoodsAddressJoinNetwork)
{
    REQUIRE_MYSQL();
    auto c = scratch::OpenCatalogue(true);
    CheckGoodsAddressJoin(*c);
}

TEST(CatalogueQueries, BothDeploymentsGiveTheSameTelephones)
{
    REQUIRE_MYSQL();
    auto lite = scratch::OpenCatalogue(false);
    auto my = scratch::OpenCatalogue(true);
    TZReadOnlyQuery firms(lite.get());
    firms.SetSQL(QStringLiteral("select distinct cid, fid from phone order by cid, fid limit 20"));
    firms.Open();
    for (firms.First(); !firms.Eof(); firms.Next()) {
        const qint64 cid = firms.FieldByName(QStringLiteral("cid")).AsLargeInt();
        const qint64 fid = firms.FieldByName(QStringLiteral("fid")).AsLargeInt();
        const auto a = PhonesOf(*lite, cid, fid, 0);
        const auto b = PhonesOf(*my, cid, fid, 0);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i)
            EXPECT_EQ(a[i].text, b[i].text);
    }
}

TEST(CatalogueQueries, WorkingTimesAreTextsCheckwtCanRead)
{
    auto c = scratch::OpenCatalogue(false);
    TZReadOnlyQuery q(c.get());
    q.SetSQL(QStringLiteral("select sw, ew, sb, eb from wt"));
    q.Open();
    ASSERT_GT(q.RecordCount(), 0);
    for (q.First(); !q.Eof(); q.Next()) {
        // Each pair is two hh:mm:ss texts, or empty on both sides.
        for (const auto &[from, to] : {std::pair{"sw", "ew"}, std::pair{"sb", "eb"}}) {
            const QByteArray a = q.FieldByName(QLatin1String(from)).AsString().toLatin1();
            const QByteArray b = q.FieldByName(QLatin1String(to)).AsString().toLatin1();
            if (a == b)
                continue;
            QTime t;
            EXPECT_TRUE(ParseTimeHMS(a.toStdString(), &t)) << a.toStdString();
            EXPECT_TRUE(ParseTimeHMS(b.toStdString(), &t)) << b.toStdString();
        }
    }
}
