#pragma once
// An editable dataset held in memory: columns declared with AddColumn (or
// taken from the declared fields), rows added with AppendRow. For tests and
// for small lists that never touch the database.

#include "data/dataset.h"

#include <QVariantList>

class TMemDataSet : public TDataSet
{
public:
    TMemDataSet();
    ~TMemDataSet() override;

    // Declares a source column (dataset closed). Automatic fields follow
    // these when no field is declared.
    void AddColumn(const QString &name, TFieldType type, int size = 0);
    // Appends a row of column values (open or closed; an open dataset keeps
    // its current record and refreshes its controls).
    void AppendRow(const QVariantList &values);
    void ClearRows();
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    // Rows read from the source so far (each counts once per buffer fill).
    qint64 LoadedRowCount() const { return m_loaded; }

protected:
    void InternalOpen() override;
    void InternalClose() override {}
    int InternalRowCount() const override { return int(m_rows.size()); }
    void InternalLoadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &columns) override;
    QByteArray InternalRowBookmark(int row) const override;
    int InternalBookmarkRow(const QByteArray &bookmark) const override;
    bool InternalCanModify() const override { return !m_readOnly; }
    int InternalPost(int row, int insertBefore, const std::vector<QVariant> &columns) override;
    void InternalDelete(int row) override;

private:
    struct Row {
        quint32 id;
        std::vector<QVariant> values;
    };
    std::vector<TFieldDef> m_defs;
    std::vector<Row> m_rows;
    quint32 m_nextId = 1;
    bool m_readOnly = false;
    qint64 m_loaded = 0;
};
