// The SQL-wait cursor the screen puts up while a statement runs.
#include "data/connection.h"
#include "data/query.h"
#include "platform/screen.h"
#include "testdb.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QTemporaryDir>

#include <memory>

namespace {

class QueryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_conn = testdb::OpenSqlite(m_dir.filePath(QStringLiteral("q.dat")));
    }
    QTemporaryDir m_dir;
    std::unique_ptr<TZConnection> m_conn;
};

} // namespace

TEST_F(QueryTest, ShowsTheSqlWaitCursorWhileTheStatementRuns)
{
    int seen = 0;
    sqlite3_create_function(
        m_conn->SqliteHandle(), "cursor_now", 0, SQLITE_UTF8, &seen,
        [](sqlite3_context *ctx, int, sqlite3_value **) {
            *static_cast<int *>(sqlite3_user_data(ctx)) = Screen::ActiveCursor();
            sqlite3_result_int(ctx, 0);
        },
        nullptr, nullptr);
    TZReadOnlyQuery q(m_conn.get());
    q.SetSQL(QStringLiteral("select cursor_now()"));
    q.Open();
    EXPECT_EQ(seen, crSQLWait);
    EXPECT_EQ(Screen::ActiveCursor(), crDefault);
    q.Close();
    m_conn->SQLHourGlass = false;
    q.Open();
    EXPECT_EQ(seen, crDefault);
}
