#include "services/vtbl.h"

#include "scratchdb.h"

#include <gtest/gtest.h>

TEST(GroupLists, LookUps)
{
    QTemporaryDir dir;
    auto c = scratch::OpenScratchSqlite(dir);
    scratch::Exec(*c,
                  {
                      QStringLiteral("create table wsupergroup (super_id int, name text)"),
                      QStringLiteral("create table wgroup (gid int, super_id int, name text)"),
                      // Two sections share id 1: the first by name wins.
                      QStringLiteral("insert into wsupergroup values (1, 'Продукты'), (1, 'Авто'), (2, 'Услуги')"),
                      QStringLiteral("insert into wgroup values (10, 1, 'Хлеб'), (20, 2, 'Ремонт'), (30, 9, 'Сироты'),"
                                     " (40, 0, 'Дубль'), (40, 2, 'Дубль услуги')"),
                  });
    TZReadOnlyQuery q(c.get());
    LoadGroupLists(q);
    EXPECT_FALSE(q.Active());
    ASSERT_EQ(SuperGroupList.size(), 3);
    EXPECT_EQ(SuperGroupList[0].Name, QStringLiteral("Авто"));
    ASSERT_EQ(GroupList.size(), 5);
    EXPECT_EQ(GroupList[0].Gid, 40); // by section, then name
    EXPECT_EQ(GroupList[1].Gid, 10);
    EXPECT_EQ(GroupList[4].SuperId, 9);

    EXPECT_EQ(GetGroupName(10), QStringLiteral("Хлеб"));
    EXPECT_EQ(GetSuperGroupName(10), QStringLiteral("Авто"));
    EXPECT_EQ(GetSuperGroupName(20), QStringLiteral("Услуги"));
    // Unknown subsection: both empty.
    EXPECT_EQ(GetGroupName(99), QString());
    EXPECT_EQ(GetSuperGroupName(99), QString());
    // Section missing: own name, no section name.
    EXPECT_EQ(GetGroupName(30), QStringLiteral("Сироты"));
    EXPECT_EQ(GetSuperGroupName(30), QString());
    // The first entry of a repeated id gives the name; the section search
    // goes on to the next entry when the first has no section.
    EXPECT_EQ(GetGroupName(40), QStringLiteral("Дубль"));
    EXPECT_EQ(GetSuperGroupName(40), QStringLiteral("Услуги"));

    // Loading again replaces the lists.
    c->ExecuteDirect(QStringLiteral("delete from wgroup"));
    LoadGroupLists(q);
    EXPECT_TRUE(GroupList.isEmpty());
    EXPECT_EQ(SuperGroupList.size(), 3);
}

namespace {

void CheckSampleLists(TZConnection &c)
{
    TZReadOnlyQuery q(&c);
    LoadGroupLists(q);
    q.SetSQL(QStringLiteral("select count(*) as n from wgroup"));
    q.Open();
    EXPECT_EQ(GroupList.size(), q.FieldByName(QStringLiteral("n")).AsInteger());
    q.SetSQL(QStringLiteral("select count(*) as n from wsupergroup"));
    q.Open();
    EXPECT_EQ(SuperGroupList.size(), q.FieldByName(QStringLiteral("n")).AsInteger());
    ASSERT_FALSE(GroupList.isEmpty());
    for (int i = 1; i < GroupList.size(); ++i)
        EXPECT_LE(GroupList[i - 1].SuperId, GroupList[i].SuperId);
    // Every subsection of the sample belongs to a section with a name.
    for (const TWGroupRec &g : GroupList) {
        EXPECT_FALSE(GetGroupName(g.Gid).isEmpty());
        EXPECT_FALSE(GetSuperGroupName(g.Gid).isEmpty());
    }
}

} // namespace

TEST(GroupLists, SampleCatalogueLocal)
{
    auto c = scratch::OpenSqlite(testenv::SampleCatalogue());
    CheckSampleLists(*c);
}

TEST(GroupLists, SampleCatalogueNetwork)
{
    REQUIRE_MYSQL();
    auto c = scratch::OpenMysql(testenv::Mysql().catalogue);
    CheckSampleLists(*c);
}
