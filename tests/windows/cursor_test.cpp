#include "windows/cursor.h"

#include "data/connection.h"
#include "data/query.h"
#include "services/globals.h"
#include "testdb.h"
#include "tmpfs.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSet>
#include <QTest>
#include <QTemporaryDir>

#include <memory>

namespace {

class InstallCursorsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_tmp.isValid());
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        Reset();
    }
    void TearDown() override
    {
        Reset();
        RunningUnderWine = false;
        qputenv("TMPDIR", m_oldTmp);
    }
    static void Reset()
    {
        FreeAnimatedCursors();
        Screen::ClearCursor(crSQLWait);
        Screen::ClearCursor(1);
    }

    QTemporaryDir m_tmp;
    QByteArray m_oldTmp;
};

qint64 ShownCursorKey()
{
    const QCursor *shown = QApplication::overrideCursor();
    return shown ? shown->pixmap().cacheKey() : 0;
}

} // namespace

TEST_F(InstallCursorsTest, WineLeavesTheStandardCursors)
{
    RunningUnderWine = true;
    InstallAnimatedCursors();
    EXPECT_EQ(frmcursor, nullptr);
    EXPECT_FALSE(Screen::CursorHandle(crSQLWait));
    EXPECT_EQ(Screen::Cursor(crSQLWait).shape(), Qt::WaitCursor);
    EXPECT_FALSE(Screen::CursorHandle(1));
}

TEST_F(InstallCursorsTest, AnimatedSqlWaitAndTheStaticCursorUnderOne)
{
    InstallAnimatedCursors();
    ASSERT_NE(frmcursor, nullptr);
    EXPECT_FALSE(frmcursor->isVisible());
    const TmpAnimatedCursorItem *item = frmcursor->mpAnimatedCursors1->Cursors()->ItemAt(0);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Description(), QStringLiteral("selbran_cursor"));
    EXPECT_EQ(item->CursorID(), 1);
    EXPECT_EQ(item->DataSize(), 51652);

    const TCursorHandle wait = Screen::CursorHandle(crSQLWait);
    ASSERT_TRUE(wait);
    EXPECT_TRUE(wait->IsAnimated());
    EXPECT_EQ(wait->StepCount(), 12);
    // Cursor 1 is the static cursor again, not the animated one the window
    // installed there.
    const TCursorHandle one = Screen::CursorHandle(1);
    ASSERT_TRUE(one);
    EXPECT_FALSE(one->IsAnimated());
    EXPECT_EQ(one->Step(0).hotSpot(), QPoint(13, 6));
    EXPECT_TRUE(QDir(m_tmp.path()).isEmpty());
}

TEST_F(InstallCursorsTest, AnimatedCursorShowsExactlyWhileAStatementRuns)
{
    InstallAnimatedCursors();
    const TCursorHandle wait = Screen::CursorHandle(crSQLWait);
    ASSERT_TRUE(wait);
    auto conn = testdb::OpenSqlite(QDir(m_tmp.path()).filePath(QStringLiteral("c.dat")));
    conn->SQLHourGlass = true;
    qint64 during = 0;
    sqlite3_create_function(
        conn->SqliteHandle(), "cursor_now", 0, SQLITE_UTF8, &during,
        [](sqlite3_context *ctx, int, sqlite3_value **) {
            *static_cast<qint64 *>(sqlite3_user_data(ctx)) = ShownCursorKey();
            sqlite3_result_int(ctx, 0);
        },
        nullptr, nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    TZReadOnlyQuery q(conn.get());
    q.SetSQL(QStringLiteral("select cursor_now()"));
    q.Open();
    EXPECT_NE(during, 0);
    EXPECT_EQ(during, wait->Step(0).pixmap().cacheKey());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A long statement keeps the event loop waiting; the animation moves on
    // all the same.
    QSet<qint64> seen;
    sqlite3_create_function(
        conn->SqliteHandle(), "cursor_seen", 0, SQLITE_UTF8, &seen,
        [](sqlite3_context *ctx, int, sqlite3_value **) {
            static_cast<QSet<qint64> *>(sqlite3_user_data(ctx))->insert(ShownCursorKey());
            sqlite3_result_int(ctx, 0);
        },
        nullptr, nullptr);
    q.Close();
    q.SetSQL(QStringLiteral("with recursive c(x) as (select 1 union all select x + 1 from c where x < 2000000) "
                            "select max(cursor_seen()) from c"));
    QElapsedTimer timer;
    timer.start();
    q.Open();
    if (timer.elapsed() > 300) {
        EXPECT_GE(seen.size(), 2);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(InstallCursorsTest, AnimationStepsWhileTheCursorIsShown)
{
    InstallAnimatedCursors();
    const TCursorHandle wait = Screen::CursorHandle(crSQLWait);
    ASSERT_TRUE(wait);
    QList<qint64> seen;
    {
        TCursorGuard guard(crSQLWait);
        for (int i = 0; i < 40 && seen.size() < 3; ++i) {
            QTest::qWait(20);
            if (seen.isEmpty() || seen.last() != ShownCursorKey())
                seen.append(ShownCursorKey());
        }
    }
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen[0], wait->Step(0).pixmap().cacheKey());
    EXPECT_EQ(seen[1], wait->Step(1).pixmap().cacheKey());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A temporary folder the cursor file cannot go to leaves the standard
// cursors and lets the start go on.
TEST_F(InstallCursorsTest, UnwritableTemporaryFolderKeepsTheStandardCursor)
{
    enum TKind { kFile, kReadOnly, kFull };
    const struct {
        const char *name;
        TKind kind;
    } cases[] = {{"a file", kFile}, {"a read-only tmpfs", kReadOnly}, {"a full tmpfs", kFull}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        QString path = QDir(m_tmp.path()).filePath(QString::fromLatin1(c.name).replace(u' ', u'_'));
        std::unique_ptr<TSmallTmpfs> disk;
        if (c.kind == kFile) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        } else {
            disk = std::make_unique<TSmallTmpfs>(c.kind == kReadOnly ? "ro,size=64k" : "size=8k");
            REQUIRE_TMPFS(*disk);
            path = disk->Path();
            if (c.kind == kFull)
                disk->Fill();
        }
        qputenv("TMPDIR", QFile::encodeName(path));
        EXPECT_NO_THROW(InstallAnimatedCursors());
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        EXPECT_EQ(frmcursor, nullptr);
        EXPECT_FALSE(Screen::CursorHandle(crSQLWait));
        EXPECT_EQ(Screen::Cursor(crSQLWait).shape(), Qt::WaitCursor);
        // Cursor 1 is the static cursor all the same.
        const TCursorHandle one = Screen::CursorHandle(1);
        EXPECT_TRUE(one && !one->IsAnimated());
    }
}
