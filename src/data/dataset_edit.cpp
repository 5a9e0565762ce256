// Bookmarks, editing and lookups of TDataSet.
#include "data/dataset.h"

#include "data/datasource.h"
#include "data/dberror.h"

#include <QtEndian>

#include <algorithm>

// ---------------------------------------------------------------- bookmarks

QByteArray TDataSet::InternalRowBookmark(int row) const
{
    QByteArray b(4, Qt::Uninitialized);
    qToBigEndian<quint32>(quint32(row), b.data());
    return b;
}

int TDataSet::InternalBookmarkRow(const QByteArray &bookmark) const
{
    if (bookmark.size() != 4)
        return -1;
    const int row = int(qFromBigEndian<quint32>(bookmark.constData()));
    return row >= 0 && row < InternalRowCount() ? row : -1;
}

QByteArray TDataSet::Bookmark() const
{
    if (!Active())
        return QByteArray();
    const int row = m_calcBuffer ? m_calcBuffer->row : CurrentRow();
    return row >= 0 ? InternalRowBookmark(row) : QByteArray();
}

bool TDataSet::BookmarkValid(const QByteArray &bookmark) const
{
    return Active() && !bookmark.isEmpty() && InternalBookmarkRow(bookmark) >= 0;
}

int TDataSet::CompareBookmarks(const QByteArray &a, const QByteArray &b) const
{
    if (a.isEmpty() || b.isEmpty() || !Active())
        return 0;
    const int ra = InternalBookmarkRow(a);
    const int rb = InternalBookmarkRow(b);
    if (ra < 0 || rb < 0)
        return a == b ? 0 : (a < b ? -1 : 1);
    return ra < rb ? -1 : (ra > rb ? 1 : 0);
}

void TDataSet::GotoBookmark(const QByteArray &bookmark)
{
    CheckActive();
    CheckBrowseMode();
    const int row = bookmark.isEmpty() ? -1 : InternalBookmarkRow(bookmark);
    if (row < 0)
        throw EDatabaseError(QStringLiteral("Record not found"));
    const int n = int(m_window.size());
    if (row >= m_firstRow && row < m_firstRow + n) {
        m_active = row - m_firstRow;
        CalculateStaleBuffers();
    } else {
        const int rows = InternalRowCount();
        const int first = std::clamp(row - (n - 1) / 2, 0, std::max(0, rows - n));
        PlaceWindow(row, first);
    }
    m_bof = m_eof = false;
    DataEvent(deDataSetChange);
    if (AfterScroll)
        AfterScroll(*this);
}

// ---------------------------------------------------------------- lookups

QVariant TDataSet::Lookup(const QString &keyField, const QVariant &keyValue, const QString &resultField)
{
    if (!Active() || !keyValue.isValid() || keyValue.isNull())
        return QVariant();
    TField *key = FindField(keyField);
    TField *result = FindField(resultField);
    if (!key || !result || key->m_column < 0 || result->m_column < 0)
        return QVariant();
    std::vector<char> wanted(m_fieldDefs.size(), 0);
    wanted[std::size_t(key->m_column)] = 1;
    wanted[std::size_t(result->m_column)] = 1;
    std::vector<QVariant> columns(m_fieldDefs.size());
    const QVariant wantedKey = key->Coerce(keyValue);
    const int rows = InternalRowCount();
    for (int r = 0; r < rows; ++r) {
        InternalLoadRow(r, wanted, columns);
        QVariant k;
        try {
            k = key->Coerce(columns[std::size_t(key->m_column)]);
        } catch (const EDatabaseError &) {
            continue;
        }
        if (k == wantedKey)
            return result->Coerce(columns[std::size_t(result->m_column)]);
    }
    return QVariant();
}

// ---------------------------------------------------------------- editing

int TDataSet::InternalPost(int, int, const std::vector<QVariant> &)
{
    throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TDataSet::InternalDelete(int)
{
    throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

bool TDataSet::CanModify() const
{
    return Active() && InternalCanModify();
}

static void CheckCanModify(const TDataSet &ds)
{
    if (!ds.CanModify())
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
}

void TDataSet::SetState(TDataSetState state)
{
    if (state == m_state)
        return;
    m_state = state;
    m_modified = false;
    DataEvent(deUpdateState);
}

void TDataSet::SetFieldValue(TField &field, const QVariant &value)
{
    if (m_calcBuffer) {
        if (field.m_index >= 0 && field.m_index < int(m_calcBuffer->values.size()))
            m_calcBuffer->values[std::size_t(field.m_index)] = value;
        return;
    }
    if (m_state != dsEdit && m_state != dsInsert)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    if (field.m_readOnly || field.m_fieldKind != fkData)
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be modified").arg(field.DisplayName()));
    QVariant *slot = ValueSlot(field);
    if (!slot)
        return;
    *slot = value;
    m_modified = true;
    CalculateFields(m_window[std::size_t(m_active)]);
    DataEvent(deFieldChange, reinterpret_cast<qintptr>(&field));
}

std::vector<QVariant> TDataSet::ColumnsOf(const Buffer &buffer) const
{
    std::vector<QVariant> columns(m_fieldDefs.size());
    for (TField *f : m_fieldList) {
        if (f->m_column >= 0 && f->m_index < int(buffer.values.size()))
            columns[std::size_t(f->m_column)] = buffer.values[std::size_t(f->m_index)];
    }
    return columns;
}

TDataSet::Buffer TDataSet::NewRecordBuffer()
{
    Buffer fresh; // row -1: not in the source yet
    fresh.values.assign(m_fieldList.size(), QVariant());
    CalculateFields(fresh);
    return fresh;
}

void TDataSet::Edit()
{
    CheckActive();
    if (m_state == dsEdit || m_state == dsInsert)
        return;
    if (InternalRowCount() == 0) {
        Insert();
        return;
    }
    CheckCanModify(*this);
    m_savedRecord = m_window[std::size_t(m_active)];
    SetState(dsEdit);
}

void TDataSet::Insert()
{
    CheckActive();
    CheckBrowseMode();
    CheckCanModify(*this);
    const int rows = InternalRowCount();
    const int slot = std::max(m_active, 0);
    m_insertBefore = rows == 0 ? 0 : CurrentRow();
    Buffer fresh = NewRecordBuffer();
    m_window.insert(m_window.begin() + slot, std::move(fresh));
    if (int(m_window.size()) > m_bufferCount)
        m_window.pop_back();
    m_active = slot;
    SetState(dsInsert);
    DataEvent(deDataSetChange);
}

void TDataSet::Append()
{
    CheckActive();
    CheckBrowseMode();
    CheckCanModify(*this);
    const int rows = InternalRowCount();
    if (rows > 0)
        PlaceWindow(rows - 1, std::max(0, rows - m_bufferCount));
    m_insertBefore = rows;
    Buffer fresh = NewRecordBuffer();
    m_window.push_back(std::move(fresh));
    if (int(m_window.size()) > m_bufferCount) {
        m_window.erase(m_window.begin());
        ++m_firstRow;
    }
    m_active = int(m_window.size()) - 1;
    m_eof = true;
    SetState(dsInsert);
    DataEvent(deDataSetChange);
}

void TDataSet::UpdateRecord()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    DataEvent(deUpdateRecord);
}

void TDataSet::Post()
{
    CheckActive();
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    UpdateRecord();
    const int slot = m_active;
    const Buffer &b = m_window[std::size_t(slot)];
    const std::vector<QVariant> columns = ColumnsOf(b);
    const int row = m_state == dsEdit ? InternalPost(b.row, -1, columns) : InternalPost(-1, m_insertBefore, columns);
    m_state = dsBrowse;
    m_modified = false;
    m_savedRecord = Buffer();
    ResyncAt(row, slot);
    m_bof = m_eof = false;
    DataEvent(deUpdateState);
    DataEvent(deDataSetChange);
}

void TDataSet::Cancel()
{
    if (m_state == dsEdit) {
        m_window[std::size_t(m_active)] = m_savedRecord;
        m_savedRecord = Buffer();
        SetState(dsBrowse);
        DataEvent(deDataSetChange);
    } else if (m_state == dsInsert) {
        const int slot = m_active;
        m_state = dsBrowse;
        m_modified = false;
        ResyncAt(m_insertBefore, slot);
        m_bof = m_eof = InternalRowCount() == 0;
        DataEvent(deUpdateState);
        DataEvent(deDataSetChange);
    }
}

void TDataSet::Delete()
{
    CheckActive();
    if (m_state == dsInsert) {
        Cancel();
        return;
    }
    if (InternalRowCount() == 0)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    CheckCanModify(*this);
    if (m_state == dsEdit)
        Cancel();
    const int row = CurrentRow();
    const int slot = m_active;
    InternalDelete(row);
    ResyncAt(row, slot);
    m_bof = m_eof = InternalRowCount() == 0;
    DataEvent(deDataSetChange);
    if (AfterScroll)
        AfterScroll(*this);
}

void TDataSet::CheckBrowseMode()
{
    if (m_state != dsEdit && m_state != dsInsert)
        return;
    DataEvent(deCheckBrowseMode);
    UpdateRecord();
    if (m_modified)
        Post();
    else
        Cancel();
}
