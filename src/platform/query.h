#pragma once
// Read-only query over a TZConnection: SQL text with ":name" parameters,
// open/close/next, fields by name, statements without result.
// (First cut: rows are cached as variants; the dataset layer replaces this.)

#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

class TZConnection;

class TParam
{
public:
    QString Name;
    QVariant Value;
    void SetAsInteger(qint64 v) { Value = v; }
    void SetAsString(const QString &v) { Value = v; }
    void SetAsFloat(double v) { Value = v; }
    void Clear() { Value = QVariant(); }
};

class TQueryField
{
public:
    QString FieldName;
    QVariant Value;
    bool IsNull() const { return !Value.isValid() || Value.isNull(); }
    QString AsString() const;
    int AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
};

class TZReadOnlyQuery
{
public:
    explicit TZReadOnlyQuery(TZConnection *connection = nullptr);
    ~TZReadOnlyQuery();

    TZConnection *Connection = nullptr;

    // Setting the text closes the query and re-reads the parameter names,
    // keeping values of parameters that stay.
    void SetSQL(const QString &sql);
    const QString &SQL() const { return m_sql; }
    TParam &ParamByName(const QString &name);
    const QVector<TParam> &Params() const { return m_params; }

    void Open();
    void Close();
    void ExecSQL();
    bool Active() const { return m_active; }

    void First();
    void Next();
    bool Eof() const;
    bool IsEmpty() const { return m_rows.empty(); }
    int RecordCount() const { return int(m_rows.size()); }
    int RecNo() const { return m_current + 1; }

    TQueryField &FieldByName(const QString &name);
    TQueryField *FindField(const QString &name);
    int FieldCount() const { return m_fields.size(); }

    // ":name" parameter names of an SQL text in order of first use, quotes
    // and "::" skipped.
    static QStringList ParseParamNames(const QString &sql);

private:
    void LoadCurrent();
    QString m_sql;
    QVector<TParam> m_params;
    QVector<TQueryField> m_fields;
    std::vector<std::vector<QVariant>> m_rows;
    int m_current = 0;
    bool m_active = false;
};
