#include "platform/query.h"

#include "platform/codec.h"
#include "platform/connection.h"
#include "platform/dberror.h"
#include "platform/screen.h"

#include <soci/soci.h>

#include <QDateTime>

#include <deque>

QString TQueryField::AsString() const
{
    if (IsNull())
        return QString();
    if (Value.typeId() == QMetaType::Double)
        return QString::number(Value.toDouble(), 'g', 15);
    return Value.toString();
}

int TQueryField::AsInteger() const
{
    return IsNull() ? 0 : int(Value.toLongLong());
}

qint64 TQueryField::AsLargeInt() const
{
    return IsNull() ? 0 : Value.toLongLong();
}

double TQueryField::AsFloat() const
{
    return IsNull() ? 0.0 : Value.toDouble();
}

TZReadOnlyQuery::TZReadOnlyQuery(TZConnection *connection) : Connection(connection) {}
TZReadOnlyQuery::~TZReadOnlyQuery() = default;

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

void TZReadOnlyQuery::SetSQL(const QString &sql)
{
    Close();
    m_sql = sql;
    QVector<TParam> params;
    for (const QString &name : ParseParamNames(sql)) {
        TParam p;
        p.Name = name;
        for (const TParam &old : m_params) {
            if (old.Name.compare(name, Qt::CaseInsensitive) == 0)
                p.Value = old.Value;
        }
        params.append(p);
    }
    m_params = params;
}

TParam &TZReadOnlyQuery::ParamByName(const QString &name)
{
    for (TParam &p : m_params) {
        if (p.Name.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
}

namespace {

// Binds the parameters by name; the values live in the holder until the
// statement has run.
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
            if (!v.isValid() || v.isNull()) {
                strings.emplace_back();
                inds.push_back(soci::i_null);
                st.exchange(soci::use(strings.back(), inds.back(), name));
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
            case QMetaType::Bool:
                ints.push_back(v.toLongLong());
                st.exchange(soci::use(ints.back(), name));
                break;
            case QMetaType::Double:
                doubles.push_back(v.toDouble());
                st.exchange(soci::use(doubles.back(), name));
                break;
            default:
                strings.push_back(ToCp1251(v.toString()).toStdString());
                st.exchange(soci::use(strings.back(), name));
                break;
            }
        }
    }
};

QVariant ColumnValue(const soci::row &r, std::size_t i)
{
    if (r.get_indicator(i) == soci::i_null)
        return QVariant();
    switch (r.get_properties(i).get_data_type()) {
    case soci::dt_string:
    case soci::dt_xml:
    case soci::dt_blob: {
        const std::string s = r.get<std::string>(i);
        return FromCp1251(s.data(), qsizetype(s.size()));
    }
    case soci::dt_double:
        return r.get<double>(i);
    case soci::dt_integer:
        return qint64(r.get<int>(i));
    case soci::dt_long_long:
        return qint64(r.get<long long>(i));
    case soci::dt_unsigned_long_long:
        return qint64(r.get<unsigned long long>(i));
    case soci::dt_date: {
        const std::tm t = r.get<std::tm>(i);
        return QDateTime(QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday),
                         QTime(t.tm_hour, t.tm_min, t.tm_sec));
    }
    }
    return QVariant();
}

} // namespace

void TZReadOnlyQuery::Open()
{
    if (m_active)
        return;
    if (!Connection)
        throw EDatabaseError(QStringLiteral("Database connection not assigned"));
    soci::session &s = Connection->Session();
    TCursorGuard cursor(Connection->SQLHourGlass ? crSQLWait : Screen::ActiveCursor());
    m_rows.clear();
    m_fields.clear();
    try {
        Binder binder;
        soci::row row;
        soci::statement st(s);
        binder.Bind(st, m_params);
        st.exchange(soci::into(row));
        st.alloc();
        st.prepare(ToCp1251(m_sql).toStdString());
        st.define_and_bind();
        bool have = st.execute(true);
        if (have) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                TQueryField f;
                f.FieldName = QString::fromStdString(row.get_properties(i).get_name());
                m_fields.append(f);
            }
        }
        while (have) {
            std::vector<QVariant> values;
            values.reserve(row.size());
            for (std::size_t i = 0; i < row.size(); ++i)
                values.push_back(ColumnValue(row, i));
            m_rows.push_back(std::move(values));
            have = st.fetch();
        }
    } catch (const EDatabaseError &) {
        throw;
    } catch (const std::exception &e) {
        throw EDatabaseError(FromCp1251(QByteArray(e.what())));
    }
    m_active = true;
    m_current = 0;
    LoadCurrent();
}

void TZReadOnlyQuery::Close()
{
    m_active = false;
    m_rows.clear();
    m_fields.clear();
    m_current = 0;
}

void TZReadOnlyQuery::ExecSQL()
{
    if (!Connection)
        throw EDatabaseError(QStringLiteral("Database connection not assigned"));
    soci::session &s = Connection->Session();
    TCursorGuard cursor(Connection->SQLHourGlass ? crSQLWait : Screen::ActiveCursor());
    try {
        Binder binder;
        soci::statement st(s);
        binder.Bind(st, m_params);
        st.alloc();
        st.prepare(ToCp1251(m_sql).toStdString());
        st.define_and_bind();
        st.execute(true);
    } catch (const std::exception &e) {
        throw EDatabaseError(FromCp1251(QByteArray(e.what())));
    }
}

void TZReadOnlyQuery::First()
{
    m_current = 0;
    LoadCurrent();
}

void TZReadOnlyQuery::Next()
{
    if (m_current < int(m_rows.size()))
        ++m_current;
    LoadCurrent();
}

bool TZReadOnlyQuery::Eof() const
{
    return m_current >= int(m_rows.size());
}

void TZReadOnlyQuery::LoadCurrent()
{
    const bool valid = m_current < int(m_rows.size());
    for (int i = 0; i < m_fields.size(); ++i)
        m_fields[i].Value = valid ? m_rows[m_current][i] : QVariant();
}

TQueryField *TZReadOnlyQuery::FindField(const QString &name)
{
    for (TQueryField &f : m_fields) {
        if (f.FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

TQueryField &TZReadOnlyQuery::FieldByName(const QString &name)
{
    if (TQueryField *f = FindField(name))
        return *f;
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}
