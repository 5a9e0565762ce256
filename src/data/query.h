#pragma once
// Read-only query over a TZConnection: a dataset whose source is one SQL
// statement with ":name" parameters. Open runs it and keeps every row of the
// result in compact storage (raw bytes, text as the connection's
// Windows-1251); rows are turned into field values only when they enter the
// buffer window. Also runs statements without result (ExecSQL).

#include "data/dataset.h"
#include "data/dataset_rowstore.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

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
    bool IsNull() const { return !Value.isValid() || Value.isNull(); }
};

class TZReadOnlyQuery : public TDataSet
{
public:
    explicit TZReadOnlyQuery(TZConnection *connection = nullptr);
    ~TZReadOnlyQuery() override;

    TZConnection *Connection = nullptr;

    // Setting the text closes the query and re-reads the parameter names,
    // keeping values of parameters that stay.
    void SetSQL(const QString &sql);
    const QString &SQL() const { return m_sql; }
    // EDatabaseError when the text has no such parameter.
    TParam &ParamByName(const QString &name);
    TParam *FindParam(const QString &name);
    const QVector<TParam> &Params() const { return m_params; }

    // Runs a statement that returns no rows.
    void ExecSQL();

    // Bytes held by the stored rows (for the figures of a broad search).
    qint64 StorageBytes() const { return m_store.Bytes(); }

    // ":name" parameter names of an SQL text in order of first use, quotes
    // and "::" skipped.
    static QStringList ParseParamNames(const QString &sql);

protected:
    void InternalOpen() override;
    void InternalClose() override;
    int InternalRowCount() const override { return m_store.RowCount(); }
    void InternalLoadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &columns) override;
    void InternalRefresh() override;

private:
    void FetchSqlite();
    void FetchMysql();

    // What the last run learnt of a column's type from its name and
    // declared type.
    struct TSqliteColumnMemo {
        QByteArray name;
        QByteArray decl;
        bool hasDecl = false;
        bool valid = false;
        TFieldDef def;
    };

    QString m_sql;
    QByteArray m_sqlBytes; // the text as the connection takes it
    QVector<TParam> m_params;
    std::vector<TSqliteColumnMemo> m_columnMemo;
    TRowStore m_store;
};
