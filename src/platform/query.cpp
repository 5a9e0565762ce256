#include "platform/query.h"

#include "platform/codec.h"
#include "platform/connection.h"
#include "platform/dberror.h"
#include "platform/screen.h"

#include <soci/soci.h>
#include <sqlite3.h>

#include <QDateTime>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <deque>
#include <memory>

TZReadOnlyQuery::TZReadOnlyQuery(TZConnection *connection) : Connection(connection) {}

TZReadOnlyQuery::~TZReadOnlyQuery()
{
    BeginDestroy();
    Close();
}

QStringList TZReadOnlyQuery::ParseParamNames(const QString &sql)
{
    QStringList names;
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
            const QString name = sql.mid(i + 1, j - i - 1);
            if (!names.contains(name, Qt::CaseInsensitive))
                names.append(name);
            i = j - 1;
        }
    }
    return names;
}

namespace {

// Parameter names are unique regardless of case.
qsizetype ParamIndex(const QVector<TParam> &params, const QString &name)
{
    for (qsizetype i = 0; i < params.size(); ++i) {
        if (params[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

void TZReadOnlyQuery::SetSQL(const QString &sql)
{
    Close();
    m_sql = sql;
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

namespace {

QByteArray ParamText(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
    case QMetaType::QByteArray:
        return v.toByteArray();
    default:
        return ToCp1251(v.toString());
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
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

bool IsNullParam(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

// --- SQLite, straight on the connection's handle

struct SqliteStatement {
    sqlite3_stmt *stmt = nullptr;
    ~SqliteStatement() { sqlite3_finalize(stmt); }
};

[[noreturn]] void ThrowSqlite(sqlite3 *db)
{
    throw EDatabaseError(FromCp1251(QByteArray(sqlite3_errmsg(db))));
}

void PrepareSqlite(sqlite3 *db, const QString &sql, const QVector<TParam> &params, SqliteStatement &st)
{
    const QByteArray text = ToCp1251(sql);
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &st.stmt, nullptr) != SQLITE_OK)
        ThrowSqlite(db);
    if (!st.stmt)
        return; // empty text
    const int count = sqlite3_bind_parameter_count(st.stmt);
    for (int i = 1; i <= count; ++i) {
        const char *raw = sqlite3_bind_parameter_name(st.stmt, i);
        if (!raw || !*raw)
            continue;
        const QString name = FromCp1251(QByteArray(raw + 1));
        const qsizetype at = ParamIndex(params, name);
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
    else if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB")) ||
             t.contains(QLatin1String("NUMERIC")) || t.contains(QLatin1String("DECIMAL")))
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

// --- other backends through SOCI

struct Binder {
    std::deque<long long> ints;
    std::deque<double> doubles;
    std::deque<std::string> strings;
    std::deque<soci::indicator> inds;

    void Bind(soci::statement &st, const QVector<TParam> &params)
    {
        for (const TParam &p : params) {
            const std::string name = p.Name.toStdString();
            const QVariant &v = p.Value;
            if (IsNullParam(v)) {
                strings.emplace_back();
                inds.push_back(soci::i_null);
                st.exchange(soci::use(strings.back(), inds.back(), name));
            } else if (IsIntegerParam(v)) {
                ints.push_back(v.toLongLong());
                st.exchange(soci::use(ints.back(), name));
            } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
                doubles.push_back(v.toDouble());
                st.exchange(soci::use(doubles.back(), name));
            } else {
                strings.push_back(ParamText(v).toStdString());
                st.exchange(soci::use(strings.back(), name));
            }
        }
    }
};

TFieldType SociFieldType(soci::data_type t)
{
    switch (t) {
    case soci::dt_integer:
        return ftInteger;
    case soci::dt_long_long:
    case soci::dt_unsigned_long_long:
        return ftLargeint;
    case soci::dt_double:
        return ftFloat;
    default:
        return ftMemo;
    }
}

// Rows come over the network in batches: one typed vector per column filled
// by the backend in a single call, so the dynamic row's bookkeeping and its
// extra copy of every cell are not paid per row. The server sends
// every value as text: numbers are read here from that text, since the
// library's own conversion goes through a string stream per integer cell.
constexpr std::size_t kFetchBatch = 1000;

struct BulkColumn {
    soci::data_type type = soci::dt_string;
    std::vector<std::string> texts;
    std::vector<std::tm> times;
    std::vector<soci::indicator> inds;
    std::unique_ptr<soci::details::vector_into_type_backend> backend;
};

void DefineBulkColumn(soci::statement &st, BulkColumn &col, int &position)
{
    col.backend.reset(st.make_vector_into_type_backend());
    col.inds.resize(kFetchBatch);
    switch (col.type) {
    case soci::dt_date:
        col.times.resize(kFetchBatch);
        col.backend->define_by_pos(position, &col.times, soci::details::x_stdtm);
        break;
    default:
        col.texts.resize(kFetchBatch);
        col.backend->define_by_pos(position, &col.texts, soci::details::x_stdstring);
        break;
    }
}

template <typename T> T ParseNumber(const std::string &text)
{
    T v{};
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || ptr != end)
        throw soci::soci_error("Cannot convert data.");
    return v;
}

void StoreBulkValue(TRowStore &store, const BulkColumn &col, std::size_t i)
{
    if (col.inds[i] == soci::i_null) {
        store.AddNull();
        return;
    }
    switch (col.type) {
    case soci::dt_double:
        store.AddReal(ParseNumber<double>(col.texts[i]));
        break;
    case soci::dt_integer:
        store.AddInt(ParseNumber<int>(col.texts[i]));
        break;
    case soci::dt_long_long:
        store.AddInt(ParseNumber<long long>(col.texts[i]));
        break;
    case soci::dt_unsigned_long_long:
        store.AddInt(qint64(ParseNumber<unsigned long long>(col.texts[i])));
        break;
    case soci::dt_date: {
        const std::tm &t = col.times[i];
        char text[32];
        const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                                    t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        store.AddText(text, std::size_t(n));
        break;
    }
    default: {
        const std::string &s = col.texts[i];
        store.AddText(s.data(), s.size());
        break;
    }
    }
}

} // namespace

void TZReadOnlyQuery::FetchSqlite()
{
    sqlite3 *db = Connection->SqliteHandle();
    SqliteStatement st;
    PrepareSqlite(db, m_sql, m_params, st);
    std::vector<TFieldDef> defs;
    const int columns = st.stmt ? sqlite3_column_count(st.stmt) : 0;
    for (int c = 0; c < columns; ++c)
        defs.push_back(SqliteColumnDef(st.stmt, c));
    m_store.SetColumnCount(columns);
    m_store.Clear();
    if (st.stmt) {
        for (;;) {
            const int rc = sqlite3_step(st.stmt);
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                ThrowSqlite(db);
            m_store.BeginRow();
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(st.stmt, c)) {
                case SQLITE_INTEGER:
                    m_store.AddInt(sqlite3_column_int64(st.stmt, c));
                    break;
                case SQLITE_FLOAT:
                    m_store.AddReal(sqlite3_column_double(st.stmt, c));
                    break;
                case SQLITE_NULL:
                    m_store.AddNull();
                    break;
                default: {
                    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(st.stmt, c));
                    m_store.AddText(text, std::size_t(sqlite3_column_bytes(st.stmt, c)));
                    break;
                }
                }
            }
            m_store.EndRow();
        }
    }
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

void TZReadOnlyQuery::FetchSoci()
{
    soci::session &s = Connection->Session();
    Binder binder;
    soci::row row;
    soci::statement st(s);
    binder.Bind(st, m_params);
    st.exchange(soci::into(row));
    st.alloc();
    st.prepare(ToCp1251(m_sql).toStdString());
    st.define_and_bind();
    // Runs the statement and describes its columns without reading a row.
    st.execute(false);
    std::vector<TFieldDef> defs;
    std::vector<BulkColumn> columns(row.size());
    int position = 1;
    for (std::size_t i = 0; i < row.size(); ++i) {
        TFieldDef d;
        const std::string &name = row.get_properties(i).get_name();
        d.Name = FromCp1251(name.data(), qsizetype(name.size()));
        columns[i].type = row.get_properties(i).get_data_type();
        d.DataType = SociFieldType(columns[i].type);
        defs.push_back(d);
        DefineBulkColumn(st, columns[i], position);
    }
    m_store.SetColumnCount(int(defs.size()));
    m_store.Clear();
    soci::details::statement_backend *backend = st.get_backend();
    bool more = !columns.empty();
    while (more) {
        using Result = soci::details::statement_backend::exec_fetch_result;
        for (BulkColumn &c : columns)
            c.backend->pre_fetch();
        const Result res = backend->fetch(int(kFetchBatch));
        more = res == Result::ef_success;
        const std::size_t rows = more ? kFetchBatch : std::size_t(std::max(0, backend->get_number_of_rows()));
        if (rows == 0)
            break;
        for (BulkColumn &c : columns)
            c.backend->post_fetch(true, c.inds.data());
        for (std::size_t r = 0; r < rows; ++r) {
            m_store.BeginRow();
            for (const BulkColumn &c : columns)
                StoreBulkValue(m_store, c, r);
            m_store.EndRow();
        }
    }
    for (BulkColumn &c : columns)
        c.backend->clean_up();
    SetFieldDefs(std::move(defs));
}

void TZReadOnlyQuery::InternalOpen()
{
    if (!Connection)
        throw EDatabaseError(QStringLiteral("Database connection not assigned"));
    Connection->CheckConnected();
    TCursorGuard cursor(Connection->SQLHourGlass ? crSQLWait : Screen::ActiveCursor());
    try {
        if (Connection->SqliteHandle()) {
            if (TZSQLMonitor *m = Connection->Monitor())
                m->LogEvent(QStringLiteral("Execute"), m_sql);
            FetchSqlite();
        } else {
            Connection->RunReconnecting([this] { FetchSoci(); });
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
    TCursorGuard cursor(Connection->SQLHourGlass ? crSQLWait : Screen::ActiveCursor());
    try {
        if (sqlite3 *db = Connection->SqliteHandle()) {
            if (TZSQLMonitor *m = Connection->Monitor())
                m->LogEvent(QStringLiteral("Execute"), m_sql);
            SqliteStatement st;
            PrepareSqlite(db, m_sql, m_params, st);
            if (!st.stmt)
                return;
            int rc;
            while ((rc = sqlite3_step(st.stmt)) == SQLITE_ROW) {
            }
            if (rc != SQLITE_DONE)
                ThrowSqlite(db);
            return;
        }
        Connection->RunReconnecting([this] {
            Binder binder;
            soci::statement st(Connection->Session());
            binder.Bind(st, m_params);
            st.alloc();
            st.prepare(ToCp1251(m_sql).toStdString());
            st.define_and_bind();
            st.execute(true);
        });
    } catch (const EDatabaseError &) {
        throw;
    } catch (const std::exception &e) {
        throw EDatabaseError(FromCp1251(QByteArray(e.what())));
    }
}
