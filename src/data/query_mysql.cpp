#include "data/query_mysql.h"

#include "data/codec.h"
#include "data/connection.h"
#include "data/dberror.h"
#include "data/query.h"

#include <soci/mysql/soci-mysql.h>
#include <soci/soci.h>

#include <QFile>

#include <dlfcn.h>
#include <poll.h>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace querydetail {

namespace {

// The client library is loaded at run time together with the backend, so its
// functions are looked up there rather than linked.
struct TClientApi {
    decltype(&::mysql_real_query) real_query = nullptr;
    decltype(&::mysql_use_result) use_result = nullptr;
    decltype(&::mysql_field_count) field_count = nullptr;
    decltype(&::mysql_num_fields) num_fields = nullptr;
    decltype(&::mysql_fetch_fields) fetch_fields = nullptr;
    decltype(&::mysql_fetch_row) fetch_row = nullptr;
    decltype(&::mysql_fetch_lengths) fetch_lengths = nullptr;
    decltype(&::mysql_free_result) free_result = nullptr;
    decltype(&::mysql_errno) error_number = nullptr;
    decltype(&::mysql_error) error_text = nullptr;
    decltype(&::mysql_real_escape_string) escape = nullptr;
    decltype(&::mysql_get_socket) get_socket = nullptr;
    QString missing; // first function not found
};

template <typename F> void Resolve(void *library, const char *name, F &function, QString &missing)
{
    void *p = library ? dlsym(library, name) : nullptr;
    if (!p)
        p = dlsym(RTLD_DEFAULT, name);
    function = reinterpret_cast<F>(p);
    if (!p && missing.isEmpty())
        missing = QString::fromLatin1(name);
}

const TClientApi &ClientApi(const QString &protocol)
{
    static const TClientApi api = [&protocol] {
        TClientApi a;
        // The backend is already loaded; a lookup through it also searches
        // the client library it depends on.
        void *backend = nullptr;
        const QString file = TZConnection::ClientLibraryFile(protocol);
        if (!file.isEmpty())
            backend = dlopen(QFile::encodeName(file).constData(), RTLD_LAZY | RTLD_NOLOAD);
        Resolve(backend, "mysql_real_query", a.real_query, a.missing);
        Resolve(backend, "mysql_use_result", a.use_result, a.missing);
        Resolve(backend, "mysql_field_count", a.field_count, a.missing);
        Resolve(backend, "mysql_num_fields", a.num_fields, a.missing);
        Resolve(backend, "mysql_fetch_fields", a.fetch_fields, a.missing);
        Resolve(backend, "mysql_fetch_row", a.fetch_row, a.missing);
        Resolve(backend, "mysql_fetch_lengths", a.fetch_lengths, a.missing);
        Resolve(backend, "mysql_free_result", a.free_result, a.missing);
        Resolve(backend, "mysql_errno", a.error_number, a.missing);
        Resolve(backend, "mysql_error", a.error_text, a.missing);
        Resolve(backend, "mysql_real_escape_string", a.escape, a.missing);
        Resolve(backend, "mysql_get_socket", a.get_socket, a.missing);
        return a;
    }();
    if (!api.missing.isEmpty())
        throw EDatabaseError(QStringLiteral("The client library has no %1").arg(api.missing));
    return api;
}

MYSQL *NativeMysql(soci::session &session)
{
    soci::details::session_backend *backend = session.get_backend();
    if (!backend || backend->get_backend_name() != "mysql")
        throw EDatabaseError(QStringLiteral("Not a MySQL connection"));
    return static_cast<soci::mysql_session_backend *>(backend)->conn_;
}

// A lost server is reported the way SOCI reports it, so the connection's
// reconnect-once path treats this fetch like any other statement.
class TLostConnection : public soci::soci_error
{
public:
    using soci::soci_error::soci_error;
    error_category get_error_category() const override { return connection_error; }
};

[[noreturn]] void ThrowMysql(const TClientApi &api, MYSQL *conn)
{
    const unsigned code = api.error_number(conn);
    const char *text = api.error_text(conn);
    // CR_CONNECTION_ERROR, CR_CONN_HOST_ERROR, CR_SERVER_GONE_ERROR, CR_SERVER_LOST
    if (code == 2002 || code == 2003 || code == 2006 || code == 2013)
        throw TLostConnection(text);
    throw EDatabaseError(FromCp1251(QByteArray(text)));
}

QByteArray Literal(const TClientApi &api, MYSQL *conn, const TParam *param)
{
    if (!param || IsNullParam(param->Value))
        return QByteArrayLiteral("NULL");
    const QVariant &v = param->Value;
    if (IsIntegerParam(v))
        return QByteArray::number(v.toLongLong());
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, v.toDouble()).ptr;
        return QByteArray(text, end - text);
    }
    const QByteArray bytes = ParamText(v);
    QByteArray quoted(bytes.size() * 2 + 2, Qt::Uninitialized);
    quoted[0] = '\'';
    const unsigned long n = api.escape(conn, quoted.data() + 1, bytes.constData(), (unsigned long)bytes.size());
    quoted[qsizetype(n) + 1] = '\'';
    quoted.resize(qsizetype(n) + 2);
    return quoted;
}

// The one way a statement reaches the server: the text with its parameters
// as literals, logged first.
MYSQL *Execute(TZConnection &connection, const TClientApi &api, const QString &sql, const QVector<TParam> &params)
{
    MYSQL *conn = NativeMysql(connection.Session());
    if (TZSQLMonitor *m = connection.Monitor())
        m->LogEvent(QStringLiteral("Execute"), sql);
    QByteArray text;
    text.reserve(sql.size() + 16);
    qsizetype done = 0;
    ForEachParam(sql, [&](qsizetype start, qsizetype end, const QString &name) {
        text += ToCp1251(sql.mid(done, start - done));
        const qsizetype at = ParamIndex(params, name);
        text += Literal(api, conn, at >= 0 ? &params[at] : nullptr);
        done = end;
    });
    text += ToCp1251(sql.mid(done));
    if (api.real_query(conn, text.constData(), (unsigned long)text.size()) != 0)
        ThrowMysql(api, conn);
    return conn;
}

// Frees the result on every way out; an unread rest is drained by the
// library, so the connection stays usable.
struct TResultGuard {
    const TClientApi &api;
    MYSQL_RES *res;
    ~TResultGuard() { api.free_result(res); }
};

enum class TColumnKind { Text, Int, UnsignedInt, Real, Date, DateTime };

TColumnKind KindOf(const MYSQL_FIELD &f)
{
    switch (f.type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_YEAR: return TColumnKind::Int;
    case MYSQL_TYPE_LONGLONG: return (f.flags & UNSIGNED_FLAG) ? TColumnKind::UnsignedInt : TColumnKind::Int;
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL: return TColumnKind::Real;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE: return TColumnKind::Date;
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP: return TColumnKind::DateTime;
    default: return TColumnKind::Text;
    }
}

TFieldType FieldTypeOf(const MYSQL_FIELD &f, TColumnKind kind)
{
    switch (kind) {
    case TColumnKind::Int:
        // An unsigned int does not fit the signed 32-bit field.
        return f.type == MYSQL_TYPE_LONGLONG || (f.type == MYSQL_TYPE_LONG && (f.flags & UNSIGNED_FLAG)) ? ftLargeint
                                                                                                         : ftInteger;
    case TColumnKind::UnsignedInt: return ftLargeint;
    case TColumnKind::Real: return ftFloat;
    default: return ftMemo;
    }
}

template <typename T> T Number(const char *text, std::size_t length)
{
    T v{};
    const auto [end, ec] = std::from_chars(text, text + length, v);
    if (ec != std::errc() || end != text + length)
        throw EDatabaseError(QStringLiteral("Cannot convert data."));
    return v;
}

} // namespace

bool MysqlConnectionDead(TZConnection &connection)
{
    const TClientApi &api = ClientApi(connection.Protocol);
    const my_socket fd = api.get_socket(NativeMysql(connection.Session()));
    // Closed by the client library after a lost answer.
    if (fd < 0)
        return true;
    // Between statements the server has nothing to say: anything to read is
    // its end of file or its farewell.
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

bool MysqlStatementUnsent(TZConnection &connection)
{
    const TClientApi &api = ClientApi(connection.Protocol);
    // CR_CONNECTION_ERROR, CR_CONN_HOST_ERROR, CR_SERVER_GONE_ERROR: the
    // statement never left. CR_SERVER_LOST (a read time-out among them)
    // comes after it was sent.
    const unsigned code = api.error_number(NativeMysql(connection.Session()));
    return code == 2002 || code == 2003 || code == 2006;
}

void OpenMysql(TZConnection &connection, const QString &sql, const QVector<TParam> &params, TRowStore &store,
               std::vector<TFieldDef> &defs)
{
    const TClientApi &api = ClientApi(connection.Protocol);
    MYSQL *conn = Execute(connection, api, sql, params);
    defs.clear();
    store.SetColumnCount(0);
    store.Clear();
    // Streamed, not stored: the rows go from the network buffer straight
    // into the row store, which is all the memory the result takes.
    MYSQL_RES *res = api.use_result(conn);
    if (!res) {
        if (api.field_count(conn) != 0)
            ThrowMysql(api, conn);
        return; // a statement without result
    }
    TResultGuard guard{api, res};
    const unsigned columns = api.num_fields(res);
    const MYSQL_FIELD *fields = api.fetch_fields(res);
    std::vector<TColumnKind> kinds(columns);
    for (unsigned c = 0; c < columns; ++c) {
        kinds[c] = KindOf(fields[c]);
        TFieldDef d;
        d.Name = FromCp1251(fields[c].name, qsizetype(fields[c].name_length));
        d.DataType = FieldTypeOf(fields[c], kinds[c]);
        defs.push_back(d);
    }
    store.SetColumnCount(int(columns));
    store.Clear();
    while (MYSQL_ROW row = api.fetch_row(res)) {
        const unsigned long *lengths = api.fetch_lengths(res);
        store.BeginRow();
        for (unsigned c = 0; c < columns; ++c) {
            const char *v = row[c];
            if (!v) {
                store.AddNull();
                continue;
            }
            const std::size_t n = lengths[c];
            switch (kinds[c]) {
            case TColumnKind::Int: store.AddInt(Number<qint64>(v, n)); break;
            case TColumnKind::UnsignedInt: store.AddInt(qint64(Number<quint64>(v, n))); break;
            case TColumnKind::Real: store.AddReal(Number<double>(v, n)); break;
            case TColumnKind::Date: {
                // A date reads as that day's midnight.
                char text[32];
                const std::size_t day = std::min<std::size_t>(n, 10);
                std::memcpy(text, v, day);
                std::memcpy(text + day, " 00:00:00", 9);
                store.AddText(text, day + 9);
                break;
            }
            case TColumnKind::DateTime:
                store.AddText(v, std::min<std::size_t>(n, 19)); // whole seconds
                break;
            case TColumnKind::Text: store.AddText(v, n); break;
            }
        }
        store.EndRow();
    }
    if (api.error_number(conn) != 0) {
        store.Clear();
        ThrowMysql(api, conn);
    }
}

void ExecMysql(TZConnection &connection, const QString &sql, const QVector<TParam> &params)
{
    const TClientApi &api = ClientApi(connection.Protocol);
    MYSQL *conn = Execute(connection, api, sql, params);
    if (MYSQL_RES *res = api.use_result(conn))
        api.free_result(res);
    else if (api.field_count(conn) != 0)
        ThrowMysql(api, conn);
}

} // namespace querydetail
