#include "platform/connection.h"

#include "platform/codec.h"
#include "platform/dberror.h"
#include "platform/screen.h"

#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace {

TZConnection::SqliteOpenHook &OpenHook()
{
    static TZConnection::SqliteOpenHook hook;
    return hook;
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
            m_monitor->LogEvent(QStringLiteral("Execute"),
                                FromCp1251(query.data(), qsizetype(query.size())));
    }
    std::string get_last_query() const override { return m_last; }

private:
    logger_impl *do_clone() const override { return new MonitorLogger(m_monitor); }
    TZSQLMonitor *m_monitor;
    std::string m_last;
};

sqlite3 *NativeSqlite(soci::session &session)
{
    auto *backend = static_cast<soci::sqlite3_session_backend *>(session.get_backend());
    return reinterpret_cast<sqlite3 *>(backend->conn_);
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
TZConnection::~TZConnection() = default;

QString TZConnection::BackendName(const QString &protocol)
{
    return protocol.startsWith(QLatin1String("mysql")) ? QStringLiteral("mysql")
                                                       : QStringLiteral("sqlite3");
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

void TZConnection::Connect()
{
    if (m_session)
        return;
    auto s = std::make_unique<soci::session>();
    try {
        if (IsMysql()) {
            std::string cs = "db=" + QuoteConnectValue(Database);
            cs += " host=" + QuoteConnectValue(HostName.isEmpty() ? QStringLiteral("127.0.0.1") : HostName);
            if (Port > 0)
                cs += " port=" + std::to_string(Port);
            cs += " user=" + QuoteConnectValue(User);
            cs += " password=" + QuoteConnectValue(Password);
            s->open("mysql", cs);
        } else {
            // The file name goes to SQLite as UTF-8.
            std::string path = Database.toStdString();
            std::string cs = "db=\"";
            for (char c : path) {
                if (c == '"' || c == '\\')
                    cs += '\\';
                cs += c;
            }
            cs += "\" shared_cache=false";
            s->open(*soci::factory_sqlite3(), cs);
            // A long statement holds the event loop: its wait cursor is
            // stepped from inside it.
            sqlite_api::sqlite3_progress_handler(
                NativeSqlite(*s), 20000, [](void *) { return Screen::AnimateCursor(), 0; }, nullptr);
            if (OpenHook())
                OpenHook()(NativeSqlite(*s));
        }
    } catch (const std::exception &e) {
        throw EDatabaseError(QString::fromLocal8Bit(e.what()));
    }
    s->set_logger(new MonitorLogger(m_monitor));
    m_session = std::move(s);
}

void TZConnection::Disconnect()
{
    m_session.reset();
}

soci::session &TZConnection::Session()
{
    if (!m_session)
        throw EDatabaseError(QStringLiteral("Not connected"));
    return *m_session;
}

sqlite3 *TZConnection::SqliteHandle()
{
    return m_session && !IsMysql() ? NativeSqlite(*m_session) : nullptr;
}

void TZConnection::ExecuteDirect(const QString &sql)
{
    soci::session &s = Session();
    TCursorGuard cursor(SQLHourGlass ? crSQLWait : Screen::ActiveCursor());
    try {
        s << ToCp1251(sql).toStdString();
    } catch (const std::exception &e) {
        throw EDatabaseError(FromCp1251(QByteArray(e.what())));
    }
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

void TZSQLMonitor::LogEvent(const QString &category, const QString &text)
{
    if (!Active)
        return;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) +
                         QStringLiteral(" cat: ") + category + QStringLiteral(", proto: , msg: ") + text;
    m_trace.append(line);
    while (MaxTraceCount > 0 && m_trace.size() > MaxTraceCount)
        m_trace.removeFirst();
    if (AutoSave && !FileName.isEmpty()) {
        QFile f(FileName);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append))
            f.write(ToCp1251(line) + "\r\n");
    }
}
