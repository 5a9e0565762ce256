#include "windows/main/main_searchsql.h"

#include "data/codec.h"
#include "data/connection.h"
#include "data/query.h"
#include "services/globals.h"
#include "services/scratchdb.h"
#include "services/sqlite_func.h"
#include "services/tools_searchwords.h"
#include "testenv.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

struct TGoodCase {
    const char *name;
    TGoodSearchParams p;
};
struct TEnprCase {
    const char *name;
    TEnprSearchParams p;
};

std::vector<TGoodCase> GoodCases()
{
    std::vector<TGoodCase> c;
    auto add = [&](const char *name, const std::function<void(TGoodSearchParams &)> &f) {
        TGoodSearchParams p;
        p.today = QStringLiteral("2026-12-09");
        f(p);
        c.push_back({name, p});
    };
    add("tree root", [](auto &p) { p.level = 0; });
    add("tree city", [](auto &p) { p.level = 1, p.cid = 343; });
    add("tree section", [](auto &p) { p.level = 2, p.cid = 351, p.nodeNumber = 7; });
    add("tree subsection", [](auto &p) { p.level = 3, p.cid = 3452, p.nodeNumber = 712; });
    add("tree ignores the filters", [](auto &p) {
        p.level = 3, p.cid = 3452, p.nodeNumber = 712, p.name = QStringLiteral("хлеб"), p.workNow = true,
        p.discount = true, p.useRegion = true, p.regionId = 4;
    });
    add("name", [](auto &p) { p.byUser = true, p.name = QStringLiteral("хлеб|батон"); });
    add("firm", [](auto &p) { p.byUser = true, p.enprName = QStringLiteral("  ООО  Д'Артаньян "); });
    add("blank name", [](auto &p) { p.byUser = true, p.name = QStringLiteral("   "); });
    add("district", [](auto &p) { p.byUser = true, p.level = 1, p.cid = 343, p.useRegion = true, p.regionId = 3; });
    add("micro-district",
        [](auto &p) { p.byUser = true, p.level = 1, p.cid = 343, p.useMicroRegion = true, p.microRegionId = 5; });
    add("working now", [](auto &p) { p.byUser = true, p.name = QStringLiteral("мёд"), p.workNow = true; });
    add("discount", [](auto &p) { p.byUser = true, p.name = QStringLiteral("мёд"), p.discount = true; });
    add("prd order", [](auto &p) { p.byUser = true, p.name = QStringLiteral("мёд"), p.prdOrder = true; });
    add("all together", [](auto &p) {
        p.byUser = true, p.level = 3, p.cid = 351, p.nodeNumber = 305, p.name = QStringLiteral("шина !летняя"),
        p.enprName = QStringLiteral("авто"), p.useRegion = true, p.regionId = 2, p.useMicroRegion = true,
        p.microRegionId = 6, p.workNow = true, p.discount = true;
    });
    return c;
}

std::vector<TEnprCase> EnprCases()
{
    std::vector<TEnprCase> c;
    auto add = [&](const char *name, const std::function<void(TEnprSearchParams &)> &f) {
        TEnprSearchParams p;
        p.today = QStringLiteral("2026-12-09");
        f(p);
        c.push_back({name, p});
    };
    add("tree root", [](auto &p) { p.level = 0; });
    add("tree city", [](auto &p) { p.level = 1, p.cid = 3452; });
    add("tree ignores the filters",
        [](auto &p) { p.level = 1, p.cid = 3452, p.name = QStringLiteral("ёлка"), p.workNow = true; });
    add("name", [](auto &p) { p.byUser = true, p.name = QStringLiteral("ёлка|ёжик"); });
    add("address", [](auto &p) { p.byUser = true, p.post = QStringLiteral("Ленина 5"); });
    add("activity", [](auto &p) { p.byUser = true, p.attr = QStringLiteral("Продажа"); });
    add("telephone", [](auto &p) { p.byUser = true, p.phone = QStringLiteral("371"); });
    add("web", [](auto &p) { p.byUser = true, p.web = QStringLiteral("info !old"); });
    add("staff", [](auto &p) { p.byUser = true, p.people = QStringLiteral("Иванов"); });
    add("district", [](auto &p) {
        p.byUser = true, p.level = 1, p.cid = 343, p.name = QStringLiteral("а"), p.useRegion = true, p.regionId = 3;
    });
    add("micro-district", [](auto &p) {
        p.byUser = true, p.level = 1, p.cid = 343, p.name = QStringLiteral("а"), p.useMicroRegion = true,
        p.microRegionId = 5;
    });
    add("working now", [](auto &p) { p.byUser = true, p.name = QStringLiteral("а"), p.workNow = true; });
    add("discount", [](auto &p) { p.byUser = true, p.name = QStringLiteral("а"), p.discount = true; });
    add("prd order", [](auto &p) { p.byUser = true, p.name = QStringLiteral("а"), p.prdOrder = true; });
    add("all together", [](auto &p) {
        p.byUser = true, p.level = 1, p.cid = 343, p.name = QStringLiteral("ООО"), p.post = QStringLiteral("Мира"),
        p.attr = QStringLiteral("Услуги"), p.web = QStringLiteral("ru"), p.people = QStringLiteral("Анна"),
        p.phone = QStringLiteral("(343)"), p.useRegion = true, p.regionId = 2, p.useMicroRegion = true,
        p.microRegionId = 3, p.workNow = true, p.discount = true;
    });
    return c;
}

QByteArray Render(bool network, bool goods)
{
    scratch::TDeployment dialect(network);
    QString out;
    if (goods) {
        for (const TGoodCase &c : GoodCases()) {
            const TSearchSql s = BuildGoodSearchSql(c.p);
            out += QStringLiteral("-- ") + QString::fromLatin1(c.name) + u'\n' + s.sql + u'\n' + s.defaultOrder + u'\n';
        }
    } else {
        for (const TEnprCase &c : EnprCases()) {
            const TSearchSql s = BuildEnprSearchSql(c.p);
            out += QStringLiteral("-- ") + QString::fromLatin1(c.name) + u'\n' + s.sql + u'\n' + s.defaultOrder + u'\n';
        }
    }
    return out.toUtf8();
}

void CompareGolden(const QString &file, const QByteArray &actual)
{
    const QString path = QStringLiteral(TREVIN_TEST_DATA "/search/") + file;
    if (!qEnvironmentVariableIsEmpty("TREVIN_UPDATE_GOLDEN")) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(actual);
    }
    QFile in(path);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray expected = in.readAll();
    EXPECT_EQ(expected, actual) << path.toStdString();
}

} // namespace

TEST(SearchSql, GoodsTextsMatchTheGoldenFiles)
{
    CompareGolden(QStringLiteral("goods_local.sql"), Render(false, true));
    CompareGolden(QStringLiteral("goods_network.sql"), Render(true, true));
}

TEST(SearchSql, OrganisationTextsMatchTheGoldenFiles)
{
    CompareGolden(QStringLiteral("enpr_local.sql"), Render(false, false));
    CompareGolden(QStringLiteral("enpr_network.sql"), Render(true, false));
}

TEST(SearchSql, DefaultOrders)
{
    TGoodSearchParams g;
    g.prdOrder = true;
    TEnprSearchParams e;
    e.prdOrder = true;
    {
        scratch::TDeployment local(false);
        EXPECT_EQ(BuildGoodSearchSql(g).defaultOrder, QStringLiteral(" random() "));
        EXPECT_EQ(BuildEnprSearchSql(e).defaultOrder, QStringLiteral(" random() "));
    }
    scratch::TDeployment network(true);
    // The prd order belongs to searches by the user only.
    EXPECT_EQ(BuildGoodSearchSql(g).defaultOrder, QStringLiteral(" org,rand() "));
    g.byUser = e.byUser = true;
    EXPECT_EQ(BuildGoodSearchSql(g).defaultOrder, QStringLiteral(" org,prd,rand() "));
    EXPECT_EQ(BuildEnprSearchSql(e).defaultOrder, QStringLiteral(" org,prd,rand() "));
    g.prdOrder = false;
    EXPECT_EQ(BuildGoodSearchSql(g).defaultOrder, QStringLiteral(" org,rand() "));
}

// ---- the texts run on the sample catalogue in both deployments ----

namespace {

// Rows of the sample file read with the SQLite C API, all columns as text.
std::vector<QStringList> Raw(const QString &sql)
{
    std::vector<QStringList> rows;
    sqlite3 *db = nullptr;
    sqlite3_open(testenv::SampleCatalogue().toUtf8().constData(), &db);
    sqlite3_stmt *st = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    while (st && sqlite3_step(st) == SQLITE_ROW) {
        QStringList row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            const auto *t = reinterpret_cast<const char *>(sqlite3_column_text(st, i));
            row << (t ? FromCp1251(t, sqlite3_column_bytes(st, i)) : QString());
        }
        rows.push_back(row);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

QString Key(const QString &a, const QString &b, const QString &c = QString())
{
    return a + u'/' + b + u'/' + c;
}

// The offers of the sample: (good id, address) for every good and every
// address it is offered at, with what the conditions look at.
struct TOffer {
    QString id, cid, fid, adr, name, sfn;
};
std::vector<TOffer> Offers()
{
    std::vector<TOffer> out;
    QMultiHash<QString, QStringList> addresses; // cid/fid -> adr_id, sfn
    for (const QStringList &a : Raw(QStringLiteral("select cid, fid, adr_id, sfn from address")))
        addresses.insert(Key(a[0], a[1]), {a[2], a[3]});
    for (const QStringList &g : Raw(QStringLiteral("select id, cid, fid, adr_id, name from good"))) {
        for (const QStringList &a : addresses.values(Key(g[1], g[2])))
            if (g[3] == QStringLiteral("0") || g[3] == a[0])
                out.push_back({g[0], g[1], g[2], a[0], g[4], a[1]});
    }
    return out;
}

QSet<QString> Found(TZConnection &c, const QString &sql, const QStringList &columns)
{
    TZReadOnlyQuery q(&c);
    q.SetSQL(sql);
    q.Open();
    QSet<QString> keys;
    while (!q.Eof()) {
        QStringList parts;
        for (const QString &col : columns)
            parts << q.FieldByName(col).AsString();
        keys.insert(parts.join(u'/'));
        q.Next();
    }
    return keys;
}

// Working-time rows by cid/fid.
QMultiHash<QString, QStringList> WorkTimes()
{
    QMultiHash<QString, QStringList> out;
    for (const QStringList &r :
         Raw(QStringLiteral("select cid, fid, adr_id, AllDays, AllTimes, NoBreaks, days, sw, ew, sb, eb from wt")))
        out.insert(Key(r[0], r[1]), r);
    return out;
}

bool WorksAt(const QMultiHash<QString, QStringList> &wt, const TOffer &o, const QDateTime &now)
{
    for (const QStringList &r : wt.values(Key(o.cid, o.fid))) {
        if (r[2] != o.adr && r[2] != QStringLiteral("0"))
            continue;
        auto b = [&](int i) { return r[i].toStdString(); };
        const std::string v[] = {b(3), b(4), b(5), b(6), b(7), b(8), b(9), b(10)};
        if (CheckWorkTime(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], now))
            return true;
    }
    return false;
}

bool HasDiscount(const std::vector<QStringList> &discounts, const TOffer &o, const QString &today)
{
    for (const QStringList &d : discounts)
        if (d[0] == o.cid && d[1] == o.fid && (d[2] == QStringLiteral("0") || d[2] == o.adr) &&
            d[3] == QStringLiteral("d") && d[5] >= today && d[4] <= today)
            return true;
    return false;
}

// A word of some good's name that the collations of both deployments treat
// alike (no Е/Ё).
QString SampleWord()
{
    for (const QStringList &g : Raw(QStringLiteral("select name from good order by id"))) {
        for (const QString &w : g[0].split(u' ')) {
            if (w.size() >= 5 && !w.contains(QRegularExpression(QStringLiteral("[еёЕЁ\"'%_]"))))
                return w.toLower();
        }
    }
    return QString();
}

class SearchRun : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        if (GetParam() && !testenv::HaveMysql())
            GTEST_SKIP() << "no test MariaDB (set TREVIN_MYSQL_PORT)";
        m_dialect = std::make_unique<scratch::TDeployment>(GetParam());
        m_connection = scratch::OpenCatalogue(GetParam());
    }
    void TearDown() override
    {
        SetCheckWtClock({});
        m_connection.reset();
        m_dialect.reset();
    }
    QSet<QString> Goods(const TGoodSearchParams &p)
    {
        return Found(*m_connection, BuildGoodSearchSql(p).sql, {QStringLiteral("id"), QStringLiteral("adr_id")});
    }
    std::unique_ptr<scratch::TDeployment> m_dialect;
    std::unique_ptr<TZConnection> m_connection;
};

} // namespace

TEST_P(SearchRun, WordFindsEveryOfferAtEveryAddress)
{
    const QString word = SampleWord();
    ASSERT_FALSE(word.isEmpty());
    QSet<QString> expected;
    QSet<QString> everyAddress; // goods with adr_id 0 at a firm of several addresses
    for (const TOffer &o : Offers()) {
        if (UpperAnsi(o.name).contains(UpperAnsi(word)))
            expected.insert(Key(o.id, o.adr).chopped(1));
    }
    TGoodSearchParams p;
    p.byUser = true;
    p.name = word;
    p.today = QDate::currentDate().toString(Qt::ISODate);
    const QSet<QString> found = Goods(p);
    EXPECT_EQ(found, expected);
    EXPECT_GT(found.size(), 3);

    // A good offered at every address (adr_id 0) yields one row per address.
    const auto multi = Raw(
        QStringLiteral("select g.id, count(*) from good g, address a where g.adr_id=0 and a.cid=g.cid and a.fid=g.fid "
                       "group by g.id having count(*) > 1 order by g.id limit 1"));
    ASSERT_EQ(multi.size(), 1u);
    TGoodSearchParams all;
    all.today = p.today;
    int rows = 0;
    for (const QString &k : Goods(all))
        rows += k.startsWith(multi[0][0] + u'/');
    EXPECT_EQ(rows, multi[0][1].toInt());
}

TEST_P(SearchRun, TreeLevelsNarrowTheOffers)
{
    const std::vector<TOffer> offers = Offers();
    const auto sub = Raw(QStringLiteral("select cid, gid, super_id from good where cid=351 limit 1"));
    ASSERT_EQ(sub.size(), 1u);
    TGoodSearchParams p;
    p.today = QStringLiteral("2026-12-09");
    auto count = [&](const std::function<bool(const TOffer &, const QStringList &)> &pred) {
        const auto goods = Raw(QStringLiteral("select id, gid, super_id from good"));
        QHash<QString, QStringList> byId;
        for (const QStringList &g : goods)
            byId.insert(g[0], g);
        int n = 0;
        for (const TOffer &o : offers)
            n += pred(o, byId.value(o.id));
        return n;
    };
    EXPECT_EQ(Goods(p).size(), int(offers.size()));
    p.level = 1, p.cid = 351;
    EXPECT_EQ(Goods(p).size(), count([](const TOffer &o, const QStringList &) { return o.cid == u"351"_qs; }));
    p.level = 2, p.nodeNumber = sub[0][2].toInt();
    EXPECT_EQ(Goods(p).size(),
              count([&](const TOffer &o, const QStringList &g) { return o.cid == u"351"_qs && g[2] == sub[0][2]; }));
    p.level = 3, p.nodeNumber = sub[0][1].toInt();
    const int inSub =
        count([&](const TOffer &o, const QStringList &g) { return o.cid == u"351"_qs && g[1] == sub[0][1]; });
    EXPECT_EQ(Goods(p).size(), inSub);
    EXPECT_GT(inSub, 0);
}

TEST_P(SearchRun, DiscountsByDate)
{
    const std::vector<TOffer> offers = Offers();
    const auto discounts = Raw(QStringLiteral("select cid, fid, adr_id, tp, start_date, end_date from discount"));
    // The network version compares with the server's date; the local one
    // with the date written into its text.
    const QStringList days = GetParam() ? QStringList{QDate::currentDate().toString(Qt::ISODate)}
                                        : QStringList{QStringLiteral("2005-03-15"), QStringLiteral("2026-12-09"),
                                                      QStringLiteral("1999-01-01")};
    for (const QString &today : days) {
        QSet<QString> expected;
        for (const TOffer &o : offers)
            if (HasDiscount(discounts, o, today))
                expected.insert(Key(o.id, o.adr).chopped(1));
        TGoodSearchParams p;
        p.byUser = true;
        p.discount = true;
        p.today = today;
        EXPECT_EQ(Goods(p), expected) << today.toStdString();
        EXPECT_EQ(expected.isEmpty(), today == u"1999-01-01"_qs);

        // The discount column says the same for every row.
        TZReadOnlyQuery q(m_connection.get());
        p.discount = false;
        p.level = 1, p.cid = 343;
        q.SetSQL(BuildGoodSearchSql(p).sql);
        q.Open();
        int marked = 0;
        while (!q.Eof()) {
            const QString k = q.FieldByName(QStringLiteral("id")).AsString() + u'/' +
                              q.FieldByName(QStringLiteral("adr_id")).AsString();
            EXPECT_EQ(q.FieldByName(QStringLiteral("discount")).AsString() == u"1"_qs, expected.contains(k))
                << k.toStdString();
            marked += expected.contains(k);
            q.Next();
        }
    }
}

TEST_P(SearchRun, WorkingNow)
{
    const std::vector<TOffer> offers = Offers();
    const auto wt = WorkTimes();
    TGoodSearchParams p;
    p.byUser = true;
    p.workNow = true;
    p.today = QStringLiteral("2026-12-09");
    if (GetParam()) {
        // The server's clock: every offer of a firm open round the clock is
        // found, and nothing outside the offers with working times.
        const QSet<QString> found = Goods(p);
        for (const TOffer &o : offers) {
            bool always = false;
            bool any = false;
            for (const QStringList &r : wt.values(Key(o.cid, o.fid)))
                if (r[2] == o.adr || r[2] == u"0"_qs) {
                    any = true;
                    always = always || (r[3] == u"1"_qs && r[4] == u"1"_qs);
                }
            const QString k = Key(o.id, o.adr).chopped(1);
            if (always) {
                EXPECT_TRUE(found.contains(k)) << k.toStdString();
            }
            if (!any) {
                EXPECT_FALSE(found.contains(k)) << k.toStdString();
            }
        }
        return;
    }
    for (const QDateTime &now :
         {QDateTime(QDate(2026, 12, 9), QTime(10, 30)), QDateTime(QDate(2026, 12, 13), QTime(3, 0)),
          QDateTime(QDate(2026, 12, 12), QTime(23, 15))}) {
        SetCheckWtClock([now] { return now; });
        QSet<QString> expected;
        for (const TOffer &o : offers)
            if (WorksAt(wt, o, now))
                expected.insert(Key(o.id, o.adr).chopped(1));
        EXPECT_EQ(Goods(p), expected) << now.toString().toStdString();
        EXPECT_FALSE(expected.isEmpty());
    }
}

TEST_P(SearchRun, OrganisationsByNameAndAddress)
{
    TEnprSearchParams p;
    p.byUser = true;
    p.today = QStringLiteral("2026-12-09");
    const QStringList cols{QStringLiteral("cid"), QStringLiteral("fid"), QStringLiteral("adr_id")};
    // Addresses that have street, type and district rows.
    const auto rows = Raw(QStringLiteral(
        "select a.cid, a.fid, a.adr_id, a.sfn, s.name, a.house, a.lit, a.office, a.ext from address a, street_name s, "
        "street_type t, city y, city_region r where a.cid=y.cid and a.cid=s.cid and a.strn_id=s.id and "
        "s.strt_id=t.id and r.cid=a.cid and r.id=a.cr_id"));
    p.name = QStringLiteral("ёлка");
    QSet<QString> expected;
    for (const QStringList &r : rows)
        if (UpperAnsi(r[3]).contains(UpperAnsi(p.name)))
            expected.insert(Key(r[0], r[1], r[2]));
    EXPECT_EQ(Found(*m_connection, BuildEnprSearchSql(p).sql, cols), expected);
    EXPECT_FALSE(expected.isEmpty());

    // The address words over street, house, letter, office and extension
    // joined by blanks, NULL parts skipped.
    p.name.clear();
    p.post = QStringLiteral("Ленина 1");
    expected.clear();
    int withNull = 0;
    for (const QStringList &r : rows) {
        QStringList parts;
        for (int i = 4; i <= 8; ++i)
            if (!r[i].isNull())
                parts << r[i];
        const QString text = UpperAnsi(parts.join(u' '));
        if (text.contains(QStringLiteral("ЛЕНИНА")) && text.contains(u'1')) {
            expected.insert(Key(r[0], r[1], r[2]));
            withNull += parts.size() < 5;
        }
    }
    EXPECT_EQ(Found(*m_connection, BuildEnprSearchSql(p).sql, cols), expected);
    EXPECT_GT(withNull, 0);

    // Web words are tested on the site and on its owner.
    p.post.clear();
    p.web = QStringLiteral("продаж");
    const QSet<QString> byWho = Found(*m_connection, BuildEnprSearchSql(p).sql, cols);
    EXPECT_FALSE(byWho.isEmpty());
    p.web = QStringLiteral("info@");
    EXPECT_FALSE(Found(*m_connection, BuildEnprSearchSql(p).sql, cols).isEmpty());
}

// The address words find the same organisations in both deployments, and
// a local catalogue with empty texts where the sample has NULL parts finds
// the same as the sample.
TEST(SearchRunAddress, SameOrganisationsInBothDeployments)
{
    QTemporaryDir dir;
    const QString blanks = dir.filePath(QStringLiteral("blanks.dat"));
    ASSERT_TRUE(QFile::copy(testenv::SampleCatalogue(), blanks));
    const std::unique_ptr<TZConnection> local = scratch::OpenCatalogue(false);
    const std::unique_ptr<TZConnection> empty = scratch::OpenCatalogue(false, blanks);
    QStringList fill;
    for (const char *part : {"house", "lit", "office", "ext"})
        fill << QStringLiteral("update address set %1='' where %1 is null").arg(QLatin1String(part));
    scratch::Exec(*empty, fill);
    std::unique_ptr<TZConnection> network;
    if (testenv::HaveMysql())
        network = scratch::OpenCatalogue(true);

    const struct {
        const char *words;
        bool found;
    } cases[] = {
        {"ленина", true},    // street
        {"этаж", true},      // extension
        {"Ленина 5", true},  // street and house
        {"219", true},       // office
        {"пещерная", false}, // nothing
    };
    const QStringList cols{QStringLiteral("cid"), QStringLiteral("fid"), QStringLiteral("adr_id")};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.words);
        TEnprSearchParams p;
        p.byUser = true;
        p.post = QString::fromUtf8(c.words);
        QSet<QString> here;
        {
            scratch::TDeployment dialect(false);
            here = Found(*local, BuildEnprSearchSql(p).sql, cols);
            EXPECT_EQ(Found(*empty, BuildEnprSearchSql(p).sql, cols), here);
        }
        EXPECT_EQ(!here.isEmpty(), c.found);
        if (network) {
            scratch::TDeployment dialect(true);
            EXPECT_EQ(Found(*network, BuildEnprSearchSql(p).sql, cols), here);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Deployments, SearchRun, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Network" : "Local"; });

// ---- typed text never changes the statement ----

namespace {

// Random search texts made of what breaks SQL texts: quotes, backslashes,
// wildcards, the three connectives, parentheses, control characters,
// Cyrillic, characters outside Windows-1251 and very long runs.
QString RandomSearchText(QRandomGenerator &rng)
{
    static const QString pool = QStringLiteral("''''\"\"\\\\\\%%__!!||()()--;;#* \t\r\nabcxyzАБВабвёЁЯя0123456789") +
                                QChar(0) + QChar(1) + QChar(0x1A) + QChar(0x7F) + QChar(0x2019) + QChar(0xFF07) +
                                QChar(0x4E2D) + QChar(0x20AC) + QChar(0xA0);
    static const QStringList pieces = {QStringLiteral("' or 1=1 --"), QStringLiteral("\\'"),
                                       QStringLiteral("\\\\'"),       QStringLiteral("\\n"),
                                       QStringLiteral("'||'"),        QStringLiteral("%' --"),
                                       QStringLiteral("\") or (\""),  QStringLiteral("x'; drop table good; --"),
                                       QStringLiteral("😀"),           QStringLiteral("*/ /*")};
    QString s;
    const int kind = int(rng.bounded(100));
    const int length = kind < 1 ? int(rng.bounded(1000, 3000)) : int(rng.bounded(0, 24));
    while (s.size() < length) {
        if (rng.bounded(6) == 0)
            s += pieces[int(rng.bounded(pieces.size()))];
        else
            s += pool[int(rng.bounded(pool.size()))];
    }
    return s;
}

// Runs random texts through both searches on one connection: no statement
// may fail, or find more than the same search without the text.
void FuzzSearches(TZConnection &connection, unsigned seed)
{
    // One subsection and one small city keep each statement cheap.
    const auto sub = Raw(QStringLiteral("select cid, gid, super_id from good where cid=3439 limit 1"));
    ASSERT_EQ(sub.size(), 1u);
    TGoodSearchParams g;
    g.byUser = true;
    g.level = 3;
    g.cid = sub[0][0].toInt();
    g.nodeNumber = sub[0][1].toInt();
    g.today = QStringLiteral("2026-12-09");
    TEnprSearchParams e;
    e.byUser = true;
    e.level = 1;
    e.cid = 34385;
    e.today = g.today;

    auto count = [&](const QString &sql) {
        TZReadOnlyQuery q(&connection);
        q.SetSQL(sql);
        q.Open();
        return q.RecordCount();
    };
    const int goodsAll = count(BuildGoodSearchSql(g).sql);
    const int enprAll = count(BuildEnprSearchSql(e).sql);
    ASSERT_GT(goodsAll, 0);
    ASSERT_GT(enprAll, 0);

    connection.SQLHourGlass = false; // no screen cursor per statement
    QRandomGenerator rng(seed);
    constexpr int kTexts = 10000;
    int failures = 0;
    for (int i = 0; i < kTexts && failures < 5; ++i) {
        const QString text = RandomSearchText(rng);
        TGoodSearchParams gp = g;
        (i % 2 ? gp.name : gp.enprName) = text;
        TEnprSearchParams ep = e;
        QString *boxes[] = {&ep.name, &ep.post, &ep.attr, &ep.web, &ep.people, &ep.phone};
        *boxes[i % 6] = text;
        for (const QString &sql : {BuildGoodSearchSql(gp).sql, BuildEnprSearchSql(ep).sql}) {
            try {
                // Conditions are only ever added with AND: a typed text can
                // narrow the result, never widen it.
                const int n = count(sql);
                if (n > (sql == BuildEnprSearchSql(ep).sql ? enprAll : goodsAll)) {
                    ADD_FAILURE() << "widened by " << text.toStdString();
                    ++failures;
                }
            } catch (const std::exception &err) {
                ADD_FAILURE() << err.what() << "\ntext: " << text.toStdString() << "\nsql: " << sql.toStdString();
                ++failures;
            }
        }
    }
}

} // namespace

TEST_P(SearchRun, RandomTextsNeverBreakOrWidenTheStatement)
{
    FuzzSearches(*m_connection, GetParam() ? 7 : 11);
}

TEST(SearchRunNoBackslashEscapes, RandomTextsNeverBreakOrWidenTheStatement)
{
    // A server that reads a backslash as an ordinary character.
    testenv::TPrivateMysql *server = nullptr;
    REQUIRE_PRIVATE_MYSQL(server);
    ASSERT_TRUE(server->Exec(QStringLiteral("set global sql_mode='NO_BACKSLASH_ESCAPES'")));
    scratch::TDeployment network(true);
    const testenv::MysqlServer s = server->Server();
    TZConnection c;
    c.Protocol = QStringLiteral("mysql-4.1");
    c.HostName = s.host;
    c.Port = s.port;
    c.User = s.user;
    c.Password = s.password;
    c.Database = s.catalogue;
    c.Connect();
    c.ExecuteDirect(QStringLiteral("set names cp1251"));
    FuzzSearches(c, 7);
    server->Exec(QStringLiteral("set global sql_mode=''"));
}

TEST_P(SearchRun, InjectionTextFindsOnlyRowsHoldingIt)
{
    const QString text = QStringLiteral("' or 1=1 --");
    TGoodSearchParams g;
    g.byUser = true;
    g.today = QStringLiteral("2026-12-09");
    g.name = text;
    EXPECT_TRUE(Goods(g).isEmpty());
    TEnprSearchParams e;
    e.byUser = true;
    e.name = text;
    EXPECT_TRUE(Found(*m_connection, BuildEnprSearchSql(e).sql, {QStringLiteral("cid")}).isEmpty());
    if (GetParam())
        return;

    // On a copy holding such a name, exactly that good is found.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("trevin.dat"));
    ASSERT_TRUE(QFile::copy(testenv::SampleCatalogue(), file));
    m_connection = scratch::OpenCatalogue(false, file);
    m_connection->ExecuteDirect(QStringLiteral(
        "insert into good (cid, fid, adr_id, id, gid, super_id, name, price, cur, price_rub) select cid, fid, 0, "
        "999999, 1, 1, 'Шуруп '' or 1=1 -- оцинкованный', 1, 'rubl', 1 from address a where adr_id=1 and not "
        "exists (select * from address b where b.cid=a.cid and b.fid=a.fid and b.adr_id<>1) limit 1"));
    // The firm of the first address with adr_id 1 has a single address.
    const QSet<QString> found = Goods(g);
    EXPECT_EQ(found, QSet<QString>{u"999999/1"_qs});
    g.name = QStringLiteral("' or 1=1 -- оцинкованный");
    EXPECT_EQ(Goods(g), found);
}
