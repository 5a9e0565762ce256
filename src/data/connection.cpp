#include "data/connection.h"

#include "data/codec.h"
#include "data/dberror.h"
#include "data/query_mysql.h"
#include "data/regularfile.h"

#include <soci/soci.h>
#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include <algorithm>

namespace {

TZConnection::SqliteOpenHook &OpenHook()
{
    static TZConnection::SqliteOpenHook hook;
    return hook;
}

TZConnection::TSqlWaitHooks &WaitHooks()
{
    static TZConnection::TSqlWaitHooks hooks;
    return hooks;
}

int StepSqlWait(void *)
{
    if (const auto &step = WaitHooks().step)
        step();
    return 0;
}

// Forwards SOCI's query log to the monitor.
class MonitorLogger : public soci::logger_impl
{
public:
    explicit MonitorLogger(TZSQLMonitor *monitor) : m_monitor(monitor) {}
    void start_query(std::string const &query) override
    {
        m_last = query;
        if (m_monitor)
            m_monitor->LogEvent(QStringLiteral("Execute"), FromCp1251(query.data(), qsizetype(query.size())));
    }
    std::string get_last_query() const override { return m_last; }

private:
    logger_impl *do_clone() const override { return new MonitorLogger(m_monitor); }
    TZSQLMonitor *m_monitor;
    std::string m_last;
};

// Server modes the catalogue's SQL cannot run under, taken out of the
// session's mode: the word conditions escape with backslashes, which a
// server reading a backslash as an ordinary character would let a quote end
// the text by; and the queries write literals in double quotes, which
// ANSI_QUOTES reads as names. A combined mode stands for its parts and would
// bring ANSI_QUOTES back, so those go too (their other parts stay).
const std::string &SessionModeSql()
{
    static const std::string sql = [] {
        std::string modes = "concat(',',@@session.sql_mode,',')";
        for (const char *mode :
             {"NO_BACKSLASH_ESCAPES", "ANSI_QUOTES", "ANSI", "DB2", "MAXDB", "MSSQL", "ORACLE", "POSTGRESQL"})
            modes = "replace(" + modes + ",'," + mode + ",',',')";
        return "set session sql_mode=trim(both ',' from " + modes + ")";
    }();
    return sql;
}

std::string QuoteConnectValue(const QString &value)
{
    // The MySQL backend reads single-quoted values with backslash escapes.
    std::string bytes = ToCp1251(value).toStdString();
    std::string out = "'";
    for (char c : bytes) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    out += '\'';
    return out;
}

} // namespace

TZConnection::TZConnection() = default;

TZConnection::~TZConnection()
{
    Disconnect();
}

QString TZConnection::BackendName(const QString &protocol)
{
    return protocol.startsWith(QLatin1String("mysql")) ? QStringLiteral("mysql") : QStringLiteral("sqlite3");
}

QString TZConnection::ClientLibraryFile(const QString &protocol)
{
    if (!ClientLibraryOverride().isEmpty())
        return ClientLibraryOverride();
    const QString backend = BackendName(protocol);
    if (backend == QLatin1String("sqlite3"))
        return QString(); // linked into the program
    const QString name = QStringLiteral("libsoci_") + backend + QStringLiteral(".so.4.0");
    for (const std::string &p : soci::dynamic_backends::search_paths()) {
        const QString path = QDir(QString::fromStdString(p)).absoluteFilePath(name);
        if (QFileInfo::exists(path))
            return path;
    }
    // Not in the backend folders: the system's library search may still find it.
    return name;
}

QString &TZConnection::ClientLibraryOverride()
{
    static QString file;
    return file;
}

bool TZConnection::BackendAvailable(const QString &protocol, QString *missingFile)
{
    const QString file = ClientLibraryFile(protocol);
    if (file.isEmpty())
        return true;
    // Loading the backend also loads its client library.
    QLibrary lib(file);
    if (lib.load())
        return true;
    if (missingFile)
        *missingFile = file;
    return false;
}

TZConnection::TNetworkTimeouts &TZConnection::NetworkTimeouts()
{
    static TNetworkTimeouts timeouts;
    return timeouts;
}

int &TZConnection::SqliteBusyTimeout()
{
    static int ms = 5000;
    return ms;
}

std::unique_ptr<soci::session> TZConnection::OpenServerSession() const
{
    std::string cs = "db=" + QuoteConnectValue(Database);
    cs += " host=" + QuoteConnectValue(HostName.isEmpty() ? QStringLiteral("127.0.0.1") : HostName);
    if (Port > 0)
        cs += " port=" + std::to_string(Port);
    cs += " user=" + QuoteConnectValue(User);
    cs += " password=" + QuoteConnectValue(Password);
    const TNetworkTimeouts &t = NetworkTimeouts();
    if (t.connect > 0)
        cs += " connect_timeout=" + std::to_string(t.connect);
    if (t.read > 0)
        cs += " read_timeout=" + std::to_string(t.read);
    if (t.write > 0)
        cs += " write_timeout=" + std::to_string(t.write);
    auto s = std::make_unique<soci::session>();
    s->open("mysql", cs);
    *s << SessionModeSql();
    s->set_logger(new MonitorLogger(m_monitor));
    return s;
}

sqlite3 *TZConnection::OpenSqliteFile() const
{
    QByteArray path = Database.toUtf8();
    // Never read as a URI, whatever options the library was built with.
    if (path.startsWith("file:"))
        path.prepend("./");
    // Opening a FIFO or a device would wait for a writer.
    const QFileInfo info(Database);
    if (info.exists() && !info.isFile())
        throw EDatabaseError(QStringLiteral("unable to open database file"));
    const int flags = ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.constData(), &db, flags, nullptr) != SQLITE_OK) {
        const QString text = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw EDatabaseError(text);
    }
    sqlite3_busy_timeout(db, SqliteBusyTimeout());
    // A long statement holds the event loop: its wait cursor is stepped
    // from inside it.
    sqlite3_progress_handler(db, 20000, &StepSqlWait, nullptr);
    return db;
}

void TZConnection::Connect()
{
    if (Connected())
        return;
    if (IsMysql()) {
        try {
            m_session = OpenServerSession();
        } catch (const EDatabaseError &) {
            throw;
        } catch (const std::exception &e) {
            throw EDatabaseError(QString::fromLocal8Bit(e.what()));
        }
        return;
    }
    m_sqlite = OpenSqliteFile();
    if (OpenHook())
        OpenHook()(m_sqlite);
}

void TZConnection::Disconnect()
{
    m_session.reset();
    FinalizeSqliteStatements();
    if (m_sqlite) {
        sqlite3_close_v2(m_sqlite);
        m_sqlite = nullptr;
    }
}

namespace {
constexpr std::size_t kCachedStatements = 16;
} // namespace

sqlite3_stmt *TZConnection::TakeSqliteStatement(const QByteArray &text)
{
    for (auto it = m_statements.begin(); it != m_statements.end(); ++it) {
        if (it->first == text) {
            sqlite3_stmt *stmt = it->second;
            m_statements.erase(it);
            return stmt;
        }
    }
    return nullptr;
}

void TZConnection::ReturnSqliteStatement(const QByteArray &text, sqlite3_stmt *stmt)
{
    if (!stmt)
        return;
    // A statement left running would hold its read lock.
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    // One kept per text; none of a connection closed meanwhile.
    const bool kept =
        std::any_of(m_statements.begin(), m_statements.end(), [&text](const auto &e) { return e.first == text; });
    if (kept || !m_sqlite || sqlite3_db_handle(stmt) != m_sqlite) {
        sqlite3_finalize(stmt);
        return;
    }
    m_statements.insert(m_statements.begin(), {text, stmt});
    if (m_statements.size() > kCachedStatements) {
        sqlite3_finalize(m_statements.back().second);
        m_statements.pop_back();
    }
}

void TZConnection::FinalizeSqliteStatements()
{
    for (const auto &e : m_statements)
        sqlite3_finalize(e.second);
    m_statements.clear();
}

void TZConnection::CheckConnected() const
{
    if (!Connected())
        throw EDatabaseError(QStringLiteral("Not connected"));
}

soci::session &TZConnection::Session()
{
    if (!m_session)
        throw EDatabaseError(QStringLiteral("Not connected"));
    return *m_session;
}

sqlite3 *TZConnection::SqliteHandle()
{
    return m_sqlite;
}

void TZConnection::ExecuteDirect(const QString &sql)
{
    CheckConnected();
    TSqlWaitScope wait(*this);
    if (m_sqlite) {
        if (m_monitor)
            m_monitor->LogEvent(QStringLiteral("Execute"), sql);
        char *error = nullptr;
        if (sqlite3_exec(m_sqlite, ToCp1251(sql).constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString text = FromCp1251(QByteArray(error ? error : sqlite3_errmsg(m_sqlite)));
            sqlite3_free(error);
            throw EDatabaseError(text);
        }
        return;
    }
    try {
        RunReconnecting([&] { Session() << ToCp1251(sql).toStdString(); });
    } catch (const EDatabaseError &) {
        throw;
    } catch (const std::exception &e) {
        throw EDatabaseError(FromCp1251(QByteArray(e.what())));
    }
}

void TZConnection::RunReconnecting(const std::function<void()> &work)
{
    // A connection found dead before sending is opened anew: the statement
    // has not reached the server yet.
    if (m_session && querydetail::MysqlConnectionDead(*this))
        Reconnect();
    try {
        work();
        return;
    } catch (const soci::soci_error &e) {
        // Only a statement that never left runs again. One that timed out
        // or lost its answer may still run, or have run, on the server: a
        // second try would double the wait and could write an insert twice.
        if (!m_session || e.get_error_category() != soci::soci_error::connection_error ||
            !querydetail::MysqlStatementUnsent(*this))
            throw;
    }
    Reconnect();
    work();
}

void TZConnection::Reconnect()
{
    // The dead session stays until a new one stands, so that a failed
    // reconnect leaves the next statement to try again.
    std::unique_ptr<soci::session> fresh = OpenServerSession();
    for (const QString &sql : SessionSetup)
        *fresh << ToCp1251(sql).toStdString();
    m_session = std::move(fresh);
}

void TZConnection::SetMonitor(TZSQLMonitor *monitor)
{
    m_monitor = monitor;
    if (m_session)
        m_session->set_logger(new MonitorLogger(m_monitor));
}

void TZConnection::SetSqliteOpenHook(SqliteOpenHook hook)
{
    OpenHook() = std::move(hook);
}

void TZConnection::SetSqlWaitHooks(TSqlWaitHooks hooks)
{
    WaitHooks() = std::move(hooks);
}

const TZConnection::TSqlWaitHooks &TZConnection::SqlWaitHooks()
{
    return WaitHooks();
}

TSqliteReadRun::TSqliteReadRun(TZConnection *connection) : m_connection(connection)
{
    sqlite3 *db = connection ? connection->SqliteHandle() : nullptr;
    if (db && sqlite3_get_autocommit(db) && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK)
        m_db = db;
}

TSqliteReadRun::~TSqliteReadRun()
{
    // Not on a connection closed or opened anew meanwhile: closing ended it.
    if (!m_db || m_connection->SqliteHandle() != m_db || sqlite3_get_autocommit(m_db))
        return;
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

TSqlWaitScope::TSqlWaitScope(const TZConnection &connection)
{
    if (const auto &begin = WaitHooks().begin) {
        m_state = begin(connection.SQLHourGlass);
        m_begun = true;
    }
}

TSqlWaitScope::~TSqlWaitScope()
{
    if (m_begun && WaitHooks().end)
        WaitHooks().end(m_state);
}

void TZSQLMonitor::LogEvent(const QString &category, const QString &text)
{
    if (!Active)
        return;
    // One event, one line: a line break typed into a search box must not
    // start what looks like another event.
    QString oneLine = text;
    oneLine.replace(u'\r', QLatin1String("\\r")).replace(u'\n', QLatin1String("\\n"));
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) +
                         QStringLiteral(" cat: ") + category + QStringLiteral(", proto: , msg: ") + oneLine;
    m_trace.append(line);
    while (MaxTraceCount > 0 && m_trace.size() > MaxTraceCount)
        m_trace.removeFirst();
    if (AutoSave && !FileName.isEmpty())
        AppendRegularFile(FileName, ToCp1251(line) + "\r\n");
}
