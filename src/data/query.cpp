#include "data/query.h"

#include "data/codec.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/query_mysql.h"

#include <sqlite3.h>

#include <QDateTime>

TZReadOnlyQuery::TZReadOnlyQuery(TZConnection *connection) : Connection(connection) {}

TZReadOnlyQuery::~TZReadOnlyQuery()
{
    BeginDestroy();
    Close();
}

QStringList TZReadOnlyQuery::ParseParamNames(const QString &sql)
{
    QStringList names;
    querydetail::ForEachParam(sql, [&names](qsizetype, qsizetype, const QString &name) {
        if (!names.contains(name, Qt::CaseInsensitive))
            names.append(name);
    });
    return names;
}

namespace querydetail {

void ForEachParam(const QString &sql, const std::function<void(qsizetype, qsizetype, const QString &)> &found)
{
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == u'\\' && i + 1 < sql.size())
                ++i;
            else if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'`') {
            quote = c;
            continue;
        }
        if (c != u':')
            continue;
        if (i + 1 < sql.size() && sql[i + 1] == u':') {
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        while (j < sql.size() && (sql[j].isLetterOrNumber() || sql[j] == u'_'))
            ++j;
        if (j > i + 1) {
            found(i, j, sql.mid(i + 1, j - i - 1));
            i = j - 1;
        }
    }
}

// Parameter names are unique regardless of case.
qsizetype ParamIndex(const QVector<TParam> &params, const QString &name)
{
    for (qsizetype i = 0; i < params.size(); ++i) {
        if (params[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The same for a name as the statement gives it back (Windows-1251).
qsizetype ParamIndex(const QVector<TParam> &params, const char *name)
{
    const QByteArrayView raw(name);
    bool ascii = true;
    for (const char c : raw)
        ascii = ascii && uchar(c) < 0x80;
    if (!ascii)
        return ParamIndex(params, FromCp1251(raw.toByteArray()));
    for (qsizetype i = 0; i < params.size(); ++i) {
        if (params[i].Name.compare(QLatin1StringView(raw), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace querydetail

using querydetail::ParamIndex;

void TZReadOnlyQuery::SetSQL(const QString &sql)
{
    Close();
    // The same text again (a look-up run per row) keeps its parameters.
    if (sql == m_sql)
        return;
    m_sql = sql;
    m_sqlBytes = ToCp1251(sql);
    QVector<TParam> params;
    for (const QString &name : ParseParamNames(sql)) {
        TParam p;
        p.Name = name;
        if (const qsizetype old = ParamIndex(m_params, name); old >= 0)
            p.Value = m_params[old].Value;
        params.append(p);
    }
    m_params = params;
}

TParam *TZReadOnlyQuery::FindParam(const QString &name)
{
    const qsizetype at = ParamIndex(m_params, name);
    return at >= 0 ? &m_params[at] : nullptr;
}

TParam &TZReadOnlyQuery::ParamByName(const QString &name)
{
    if (TParam *p = FindParam(name))
        return *p;
    throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

namespace querydetail {

QByteArray ParamText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    case QMetaType::QDateTime: return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
    case QMetaType::QByteArray: return v.toByteArray();
    default: return ToCp1251(v.toString());
    }
}

bool IsIntegerParam(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong: return true;
    default: return false;
    }
}

bool IsNullParam(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

} // namespace querydetail

namespace {

using namespace querydetail;

// --- SQLite, straight on the connection's handle

// A statement of the connection's cache goes back to it on every way out
// (reset there); any other is finalized.
struct SqliteStatement {
    sqlite3_stmt *stmt = nullptr;
    TZConnection *cache = nullptr;
    QByteArray text;
    ~SqliteStatement()
    {
        if (cache)
            cache->ReturnSqliteStatement(text, stmt);
        else
            sqlite3_finalize(stmt);
    }
};

[[noreturn]] void ThrowSqlite(sqlite3 *db)
{
    throw EDatabaseError(FromCp1251(QByteArray(sqlite3_errmsg(db))));
}

// With cache, the statement is taken from the connection's cache when it
// holds the text, and goes back there afterwards.
void PrepareSqlite(sqlite3 *db, const QByteArray &sql, const QVector<TParam> &params, SqliteStatement &st,
                   TZConnection *cache = nullptr)
{
    st.text = sql;
    if (cache)
        st.stmt = cache->TakeSqliteStatement(st.text);
    if (!st.stmt) {
        if (sqlite3_prepare_v2(db, st.text.constData(), int(st.text.size()), &st.stmt, nullptr) != SQLITE_OK)
            ThrowSqlite(db);
        if (!st.stmt)
            return; // empty text
    }
    st.cache = cache;
    const int count = sqlite3_bind_parameter_count(st.stmt);
    for (int i = 1; i <= count; ++i) {
        const char *raw = sqlite3_bind_parameter_name(st.stmt, i);
        if (!raw || !*raw)
            continue;
        const qsizetype at = ParamIndex(params, raw + 1);
        const TParam *param = at >= 0 ? &params[at] : nullptr;
        int rc = SQLITE_OK;
        if (!param || IsNullParam(param->Value)) {
            rc = sqlite3_bind_null(st.stmt, i);
        } else if (IsIntegerParam(param->Value)) {
            rc = sqlite3_bind_int64(st.stmt, i, param->Value.toLongLong());
        } else if (param->Value.typeId() == QMetaType::Double || param->Value.typeId() == QMetaType::Float) {
            rc = sqlite3_bind_double(st.stmt, i, param->Value.toDouble());
        } else {
            const QByteArray bytes = ParamText(param->Value);
            rc = sqlite3_bind_text(st.stmt, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        }
        if (rc != SQLITE_OK)
            ThrowSqlite(db);
    }
}

// Type of an automatic field from a column's declared type.
TFieldDef SqliteColumnDef(sqlite3_stmt *stmt, int column)
{
    TFieldDef def;
    def.Name = FromCp1251(QByteArray(sqlite3_column_name(stmt, column)));
    const char *decl = sqlite3_column_decltype(stmt, column);
    if (!decl)
        return def; // an expression: decided by the values
    const QString t = QString::fromLatin1(decl).toUpper();
    if (t.contains(QLatin1String("INT")))
        def.DataType = t.contains(QLatin1String("BIG")) ? ftLargeint : ftInteger;
    else if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
             t.contains(QLatin1String("DOUB")) || t.contains(QLatin1String("NUMERIC")) ||
             t.contains(QLatin1String("DECIMAL")))
        def.DataType = ftFloat;
    else {
        def.DataType = ftMemo;
        const qsizetype open = t.indexOf(u'(');
        if (open > 0 && t.contains(QLatin1String("CHAR"))) {
            bool ok = false;
            const int size = t.mid(open + 1, t.indexOf(u')') - open - 1).trimmed().toInt(&ok);
            if (ok && size > 0) {
                def.DataType = ftString;
                def.Size = size;
            }
        }
    }
    return def;
}

} // namespace

void TZReadOnlyQuery::FetchSqlite()
{
    sqlite3 *db = Connection->SqliteHandle();
    SqliteStatement st;
    PrepareSqlite(db, m_sqlBytes, m_params, st, Connection);
    // The first step comes before the columns are read: a statement kept
    // from an earlier run is prepared anew inside it when the tables changed
    // meanwhile, and only then tells their present names and types.
    int rc = st.stmt ? sqlite3_step(st.stmt) : SQLITE_DONE;
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        ThrowSqlite(db);
    const int columns = st.stmt ? sqlite3_column_count(st.stmt) : 0;
    // A text run again mostly gives the same columns: their types are worked
    // out anew only when a name or a declared type differs.
    m_columnMemo.resize(std::size_t(columns));
    std::vector<TFieldDef> defs;
    defs.reserve(std::size_t(columns));
    for (int c = 0; c < columns; ++c) {
        TSqliteColumnMemo &memo = m_columnMemo[std::size_t(c)];
        const char *name = sqlite3_column_name(st.stmt, c);
        const char *decl = sqlite3_column_decltype(st.stmt, c);
        if (!memo.valid || memo.name != name || memo.hasDecl != bool(decl) || (decl && memo.decl != decl)) {
            memo.name = QByteArray(name);
            memo.hasDecl = decl != nullptr;
            memo.decl = decl ? QByteArray(decl) : QByteArray();
            memo.def = SqliteColumnDef(st.stmt, c);
            memo.valid = true;
        }
        defs.push_back(memo.def);
    }
    m_store.SetColumnCount(columns);
    m_store.Clear();
    for (; rc == SQLITE_ROW; rc = sqlite3_step(st.stmt)) {
        m_store.BeginRow();
        for (int c = 0; c < columns; ++c) {
            // One look-up of the cell: the value functions do not take the
            // connection's lock, which every column function takes.
            sqlite3_value *v = sqlite3_column_value(st.stmt, c);
            switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER: m_store.AddInt(sqlite3_value_int64(v)); break;
            case SQLITE_FLOAT: m_store.AddReal(sqlite3_value_double(v)); break;
            case SQLITE_NULL: m_store.AddNull(); break;
            default: {
                const char *text = reinterpret_cast<const char *>(sqlite3_value_text(v));
                const int bytes = sqlite3_value_bytes(v);
                if (!text && bytes > 0)
                    throw EDatabaseError(QStringLiteral("Out of memory"));
                m_store.AddText(text, std::size_t(bytes));
                break;
            }
            }
        }
        m_store.EndRow();
    }
    if (rc != SQLITE_DONE)
        ThrowSqlite(db);
    // Expression columns take the type of the values they gave.
    for (int c = 0; c < columns; ++c) {
        TFieldDef &d = defs[std::size_t(c)];
        if (d.DataType != ftUnknown)
            continue;
        const unsigned kinds = m_store.KindsOfColumn(c);
        if (kinds & (1u << TRowStore::Text))
            d.DataType = ftMemo;
        else if (kinds & (1u << TRowStore::Real))
            d.DataType = ftFloat;
        else if (kinds & (1u << TRowStore::Int))
            d.DataType = ftLargeint;
        else
            d.DataType = ftMemo;
    }
    SetFieldDefs(std::move(defs));
}

void TZReadOnlyQuery::FetchMysql()
{
    std::vector<TFieldDef> defs;
    querydetail::OpenMysql(*Connection, m_sql, m_params, m_store, defs);
    SetFieldDefs(std::move(defs));
}

void TZReadOnlyQuery::InternalOpen()
{
    if (!Connection)
        throw EDatabaseError(QStringLiteral("Database connection not assigned"));
    Connection->CheckConnected();
    TSqlWaitScope wait(*Connection);
    try {
        if (Connection->SqliteHandle()) {
            if (TZSQLMonitor *m = Connection->Monitor())
                m->LogEvent(QStringLiteral("Execute"), m_sql);
            FetchSqlite();
        } else {
            Connection->RunReconnecting([this] { FetchMysql(); });
        }
    } catch (const EDatabaseError &) {
        m_store.Clear();
        throw;
    } catch (const std::exception &e) {
        m_store.Clear();
        throw EDatabaseError(FromCp1251(QByteArray(e.what())));
    }
}

void TZReadOnlyQuery::InternalClose()
{
    m_store.Clear();
}

void TZReadOnlyQuery::InternalRefresh()
{
    InternalOpen();
}

void TZReadOnlyQuery::InternalLoadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &columns)
{
    m_store.ReadRow(row, wanted, columns, &FromCp1251);
}

void TZReadOnlyQuery::ExecSQL()
{
    if (!Connection)
        throw EDatabaseError(QStringLiteral("Database connection not assigned"));
    Connection->CheckConnected();
    TSqlWaitScope wait(*Connection);
    try {
        if (sqlite3 *db = Connection->SqliteHandle()) {
            if (TZSQLMonitor *m = Connection->Monitor())
                m->LogEvent(QStringLiteral("Execute"), m_sql);
            SqliteStatement st;
            PrepareSqlite(db, m_sqlBytes, m_params, st);
            if (!st.stmt)
                return;
            int rc;
            while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE)
                ThrowSqlite(db);
            return;
        }
        Connection->RunReconnecting([this] { querydetail::ExecMysql(*Connection, m_sql, m_params); });
    } catch (const EDatabaseError &) {
        throw;
    } catch (const std::exception &e) {
        throw EDatabaseError(FromCp1251(QByteArray(e.what())));
    }
}
