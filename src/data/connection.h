#pragma once
// The database connection in place of the original database components:
// a SOCI session chosen by protocol ("sqlite-3" or "mysql-4.1"), the SQL-wait
// cursor switch (through hooks the widgets part installs), statements without
// result, and the SQL monitor (the optional SQL log). Text crosses this
// boundary as Windows-1251. An SQLite file is opened directly with the SQLite
// library, its name passed as it is.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace soci {
class session;
}
struct sqlite3;
struct sqlite3_stmt;

class TZSQLMonitor;

class TZConnection
{
public:
    TZConnection();
    ~TZConnection();
    TZConnection(const TZConnection &) = delete;
    TZConnection &operator=(const TZConnection &) = delete;

    QString Protocol; // "sqlite-3" or "mysql-4.1"
    QString HostName;
    int Port = 0;
    QString Database;
    QString User;
    QString Password;
    // Shows the SQL-wait screen cursor while a statement runs.
    bool SQLHourGlass = true;
    // An SQLite file is opened for reading only (and never created).
    bool ReadOnly = false;
    // Statements that set a server session up again after a lost
    // connection was opened anew.
    QStringList SessionSetup;

    bool IsMysql() const { return Protocol.startsWith(QLatin1String("mysql")); }

    // Raises EDatabaseError with the library's text on failure.
    void Connect();
    void Disconnect();
    bool Connected() const { return m_session != nullptr || m_sqlite != nullptr; }
    // Raises EDatabaseError when not connected.
    void CheckConnected() const;

    // The server session (network protocols only).
    soci::session &Session();
    // The native handle of an SQLite connection, null otherwise.
    sqlite3 *SqliteHandle();

    // Prepared SQLite statements of recently run texts (Windows-1251 bytes),
    // so that a text opened again is not compiled again. A statement taken
    // is out of the cache until it is given back, so two queries never share
    // one; given back, it is reset and its values unbound. Null when none
    // is kept for the text.
    sqlite3_stmt *TakeSqliteStatement(const QByteArray &text);
    void ReturnSqliteStatement(const QByteArray &text, sqlite3_stmt *stmt);

    // Runs a statement that returns no rows.
    void ExecuteDirect(const QString &sql);

    // Runs work on the server connection, connecting again first (with
    // SessionSetup) when the connection is found dead. When work fails
    // because the statement could not be sent, connects again and runs it
    // once more; a statement that may have reached the server (a read
    // time-out, an answer lost) is never run again. A second failure, or a
    // failed reconnect, reaches the caller.
    void RunReconnecting(const std::function<void()> &work);

    // Bounds of the waits for a server, in seconds: no answer within them
    // gives an error instead of a frozen program.
    struct TNetworkTimeouts {
        int connect = 10;
        int read = 60;
        int write = 60;
    };
    static TNetworkTimeouts &NetworkTimeouts();
    // How long an SQLite statement waits for another process's lock, in ms.
    static int &SqliteBusyTimeout();

    void SetMonitor(TZSQLMonitor *monitor);
    TZSQLMonitor *Monitor() const { return m_monitor; }

    // Called for every SQLite connection right after it opens (the program
    // registers its SQL functions there).
    using SqliteOpenHook = std::function<void(sqlite3 *)>;
    static void SetSqliteOpenHook(SqliteOpenHook hook);

    // What the screen shows while a statement runs (the SQL-wait cursor).
    // The widgets part installs them at start-up; without them a statement
    // changes nothing on screen.
    struct TSqlWaitHooks {
        // A statement starts; wait is its connection's SQLHourGlass. Returns
        // what end gets back when the statement is over.
        std::function<int(bool wait)> begin;
        std::function<void(int state)> end;
        // Called now and then from inside a long SQLite statement, which
        // holds the event loop.
        std::function<void()> step;
    };
    static void SetSqlWaitHooks(TSqlWaitHooks hooks);
    static const TSqlWaitHooks &SqlWaitHooks();

    // SOCI backend name for a protocol ("sqlite3", "mysql").
    static QString BackendName(const QString &protocol);
    // Whether the backend and its client library can be loaded; on failure
    // missingFile names the library that could not be loaded.
    static bool BackendAvailable(const QString &protocol, QString *missingFile);
    // The shared library the protocol loads at run time; empty when built in.
    static QString ClientLibraryFile(const QString &protocol);
    // Tests point this at a file that does not exist.
    static QString &ClientLibraryOverride();

private:
    std::unique_ptr<soci::session> OpenServerSession() const;
    void Reconnect();
    sqlite3 *OpenSqliteFile() const;
    void FinalizeSqliteStatements();

    std::unique_ptr<soci::session> m_session;
    sqlite3 *m_sqlite = nullptr;
    // Most recently used first.
    std::vector<std::pair<QByteArray, sqlite3_stmt *>> m_statements;
    TZSQLMonitor *m_monitor = nullptr;
};

// Keeps the last trace lines (at most MaxTraceCount) and, when active,
// appends each to FileName as it happens, one line per event; FileName is
// written only when it is a regular file or does not exist yet.
class TZSQLMonitor
{
public:
    QString FileName;
    bool Active = false;
    bool AutoSave = true;
    int MaxTraceCount = 100;

    void LogEvent(const QString &category, const QString &text);
    const QStringList &TraceList() const { return m_trace; }

private:
    QStringList m_trace;
};

// The SQL-wait hooks around one statement: begun here, ended on every way
// out.
class TSqlWaitScope
{
public:
    explicit TSqlWaitScope(const TZConnection &connection);
    ~TSqlWaitScope();
    TSqlWaitScope(const TSqlWaitScope &) = delete;
    TSqlWaitScope &operator=(const TSqlWaitScope &) = delete;

private:
    bool m_begun = false;
    int m_state = 0;
};

// Keeps a connection's SQL-wait cursor off for a run of small queries, so
// that it does not flash for each; restored on every way out.
class TSqlWaitCursorOff
{
public:
    explicit TSqlWaitCursorOff(TZConnection *connection) : m_connection(connection)
    {
        if (m_connection) {
            m_saved = m_connection->SQLHourGlass;
            m_connection->SQLHourGlass = false;
        }
    }
    ~TSqlWaitCursorOff()
    {
        if (m_connection)
            m_connection->SQLHourGlass = m_saved;
    }
    TSqlWaitCursorOff(const TSqlWaitCursorOff &) = delete;
    TSqlWaitCursorOff &operator=(const TSqlWaitCursorOff &) = delete;

private:
    TZConnection *m_connection;
    bool m_saved = true;
};

// Keeps one read transaction open over a run of statements on a catalogue
// file: each then neither takes and drops the file lock nor checks the file
// anew, and the run reads one state of the file. Nothing on a server, nor
// inside a transaction already open; ended on every way out.
class TSqliteReadRun
{
public:
    explicit TSqliteReadRun(TZConnection *connection);
    ~TSqliteReadRun();
    TSqliteReadRun(const TSqliteReadRun &) = delete;
    TSqliteReadRun &operator=(const TSqliteReadRun &) = delete;

private:
    TZConnection *m_connection;
    sqlite3 *m_db = nullptr;
};
