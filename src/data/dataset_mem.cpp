#include "data/dataset_mem.h"

#include "data/dberror.h"

#include <QtEndian>

TMemDataSet::TMemDataSet() = default;

TMemDataSet::~TMemDataSet()
{
    BeginDestroy();
    Close();
}

void TMemDataSet::AddColumn(const QString &name, TFieldType type, int size)
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_defs.push_back(TFieldDef{name, type, size});
    for (Row &r : m_rows)
        r.values.resize(m_defs.size());
}

void TMemDataSet::AppendRow(const QVariantList &values)
{
    Row r;
    r.id = m_nextId++;
    r.values.assign(values.begin(), values.end());
    r.values.resize(m_defs.size());
    m_rows.push_back(std::move(r));
    if (Active())
        Resync();
}

void TMemDataSet::ClearRows()
{
    m_rows.clear();
    if (Active())
        Resync();
}

void TMemDataSet::InternalOpen()
{
    std::vector<TFieldDef> defs = m_defs;
    if (defs.empty()) {
        // Without columns the declared data fields are the columns.
        for (TField *f : FieldList()) {
            if (f->FieldKind() == fkData && f->DataType() != ftADT && f->DataType() != ftDataSet)
                defs.push_back(TFieldDef{f->FullName(), f->DataType(), f->Size()});
        }
        m_defs = defs;
        for (Row &r : m_rows)
            r.values.resize(m_defs.size());
    }
    SetFieldDefs(std::move(defs));
}

void TMemDataSet::InternalLoadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &columns)
{
    ++m_loaded;
    const Row &r = m_rows[std::size_t(row)];
    columns.resize(m_defs.size());
    for (std::size_t c = 0; c < m_defs.size(); ++c) {
        if (c < wanted.size() && wanted[c])
            columns[c] = r.values[c];
    }
}

QByteArray TMemDataSet::InternalRowBookmark(int row) const
{
    QByteArray b(4, Qt::Uninitialized);
    qToBigEndian<quint32>(m_rows[std::size_t(row)].id, b.data());
    return b;
}

int TMemDataSet::InternalBookmarkRow(const QByteArray &bookmark) const
{
    if (bookmark.size() != 4)
        return -1;
    const quint32 id = qFromBigEndian<quint32>(bookmark.constData());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].id == id)
            return int(i);
    }
    return -1;
}

int TMemDataSet::InternalPost(int row, int insertBefore, const std::vector<QVariant> &columns)
{
    if (row >= 0) {
        Row &r = m_rows[std::size_t(row)];
        for (std::size_t c = 0; c < columns.size() && c < r.values.size(); ++c)
            r.values[c] = columns[c];
        return row;
    }
    Row r;
    r.id = m_nextId++;
    r.values = columns;
    r.values.resize(m_defs.size());
    const int at = std::clamp(insertBefore, 0, int(m_rows.size()));
    m_rows.insert(m_rows.begin() + at, std::move(r));
    return at;
}

void TMemDataSet::InternalDelete(int row)
{
    m_rows.erase(m_rows.begin() + row);
}
