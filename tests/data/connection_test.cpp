#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"
#include "testdb.h"

#include <gtest/gtest.h>
#include <soci/backend-loader.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// Puts the backend folders back whatever the test does to them.
class BackendFolders
{
public:
    BackendFolders() : m_saved(soci::dynamic_backends::search_paths()) {}
    ~BackendFolders() { soci::dynamic_backends::search_paths() = m_saved; }

private:
    std::vector<std::string> m_saved;
};

} // namespace

TEST(BackendCheck, LocalNeedsNoLibraryAndNetworkFindsItsBackend)
{
    EXPECT_TRUE(TZConnection::ClientLibraryFile(QStringLiteral("sqlite")).isEmpty());
    EXPECT_TRUE(TZConnection::BackendAvailable(QStringLiteral("sqlite"), nullptr));

    const QString file = TZConnection::ClientLibraryFile(QStringLiteral("mysql"));
    EXPECT_TRUE(file.endsWith(QStringLiteral("libsoci_mysql.so.4.0"))) << file.toStdString();
    EXPECT_TRUE(file == QStringLiteral("libsoci_mysql.so.4.0") || QFileInfo::exists(file)) << file.toStdString();
    QString missing = QStringLiteral("untouched");
    EXPECT_TRUE(TZConnection::BackendAvailable(QStringLiteral("mysql"), &missing));
    EXPECT_EQ(missing, QStringLiteral("untouched"));
}

TEST(BackendCheck, LibraryOutsideTheBackendFoldersIsLeftToTheSystemSearch)
{
    BackendFolders keep;
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    soci::dynamic_backends::search_paths() = {empty.path().toStdString()};
    // Not a made-up path in the last folder: the bare name, which the
    // system's library search still finds.
    EXPECT_EQ(TZConnection::ClientLibraryFile(QStringLiteral("mysql")), QStringLiteral("libsoci_mysql.so.4.0"));
    EXPECT_TRUE(TZConnection::BackendAvailable(QStringLiteral("mysql"), nullptr));
}

TEST(BackendCheck, MissingLibraryIsNamed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString library = dir.filePath(QStringLiteral("libsoci_mysql-missing.so"));
    TZConnection::ClientLibraryOverride() = library;
    QString missing;
    const bool available = TZConnection::BackendAvailable(QStringLiteral("mysql"), &missing);
    TZConnection::ClientLibraryOverride().clear();
    EXPECT_FALSE(available);
    EXPECT_EQ(missing, library);
}

TEST(ServerTimeouts, StatementWithoutAnswerFailsWithinTheBoundAndTheConnectionRunsOn)
{
    REQUIRE_MYSQL();
    const TZConnection::TNetworkTimeouts saved = TZConnection::NetworkTimeouts();
    TZConnection::NetworkTimeouts().read = 1;
    auto c = testdb::OpenMysql(testenv::Mysql().catalogue);
    c->SessionSetup = {QStringLiteral("set names cp1251")};
    TZReadOnlyQuery q(c.get());
    // A server that stops answering in the middle of a statement.
    q.SetSQL(QStringLiteral("select sleep(6) as s"));
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(q.Open(), EDatabaseError);
    const qint64 elapsed = clock.elapsed();
    TZConnection::NetworkTimeouts() = saved;
    EXPECT_LT(elapsed, 4500);
    q.SetSQL(QStringLiteral("select 'Ёж' as w"));
    q.Open();
    EXPECT_EQ(q.FieldByName(QStringLiteral("w")).AsString(), QStringLiteral("Ёж"));
}
