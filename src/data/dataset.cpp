#include "data/dataset.h"

#include "data/datasource.h"
#include "data/dberror.h"

#include <algorithm>
#include <cstdlib>

TDataSet::TDataSet() = default;

TDataSet::~TDataSet()
{
    m_destroying = true;
    // Links of sources still attached see the dataset go away.
    const std::vector<TDataSource *> sources = m_dataSources;
    for (TDataSource *ds : sources)
        ds->SetDataSet(nullptr);
}

void TDataSet::CheckActive() const
{
    if (!Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TDataSet::CheckInactive() const
{
    if (Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
}

void TDataSet::SetActive(bool active)
{
    if (active)
        Open();
    else
        Close();
}

// ---------------------------------------------------------------- fields

TField *TDataSet::AddField(std::unique_ptr<TField> field)
{
    CheckInactive();
    TField *f = field.get();
    m_declared.push_back(std::move(field));
    RebuildFieldList();
    return f;
}

void TDataSet::RemoveField(TField *field)
{
    CheckInactive();
    auto it = std::find_if(m_declared.begin(), m_declared.end(),
                           [field](const std::unique_ptr<TField> &p) { return p.get() == field; });
    if (it != m_declared.end()) {
        // Out of the lists first: observers told of its end see it gone.
        std::unique_ptr<TField> doomed = std::move(*it);
        m_declared.erase(it);
        RebuildFieldList();
    }
}

void TDataSet::RebuildFieldList()
{
    auto &owned = m_declared.empty() ? m_automatic : m_declared;
    m_fields.clear();
    m_fieldList.clear();
    std::function<void(TField *)> add = [&](TField *f) {
        f->m_dataSet = this;
        f->m_index = int(m_fieldList.size());
        m_fieldList.push_back(f);
        for (TField *c : f->m_children)
            add(c);
    };
    for (auto &f : owned) {
        m_fields.push_back(f.get());
        add(f.get());
    }
}

void TDataSet::MoveField(TField *field, int flatIndex)
{
    if (!field || field->m_dataSet != this)
        return;
    // A sub-field moves among its parent's sub-fields, a top-level field
    // among the top-level fields; each takes its sub-fields along.
    const std::vector<TField *> &siblings = field->m_parent ? field->m_parent->m_children : m_fields;
    std::function<int(const TField *)> end = [&](const TField *f) {
        return f->m_children.empty() ? f->m_index + 1 : end(f->m_children.back());
    };
    int from = -1, to = -1;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (flatIndex >= siblings[i]->m_index && flatIndex < end(siblings[i]))
            to = int(i);
        if (siblings[i] == field)
            from = int(i);
    }
    if (from < 0 || to < 0 || from == to)
        return;
    std::vector<std::pair<TField *, int>> before;
    for (TField *f : m_fieldList)
        before.emplace_back(f, f->m_index);
    if (TField *parent = field->m_parent) {
        auto &order = parent->m_children;
        order.erase(order.begin() + from);
        order.insert(order.begin() + to, field);
    } else {
        auto &owned = m_declared.empty() ? m_automatic : m_declared;
        std::unique_ptr<TField> moving = std::move(owned[std::size_t(from)]);
        owned.erase(owned.begin() + from);
        owned.insert(owned.begin() + to, std::move(moving));
    }
    RebuildFieldList();
    for (Buffer &b : m_window) {
        std::vector<QVariant> values(b.values.size());
        for (const auto &[f, old] : before)
            if (std::size_t(old) < b.values.size() && std::size_t(f->m_index) < values.size())
                values[std::size_t(f->m_index)] = std::move(b.values[std::size_t(old)]);
        b.values = std::move(values);
    }
    DataEvent(deLayoutChange);
}

TField *TDataSet::FindField(const QString &name) const
{
    // Names are mostly asked as written: an exact match of a top-level field
    // needs no case folding.
    for (TField *f : m_fieldList) {
        if (!f->m_parent && f->m_fieldName == name)
            return f;
    }
    for (TField *f : m_fieldList) {
        if (f->FullName().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    }
    return nullptr;
}

TField &TDataSet::FieldByName(const QString &name) const
{
    if (TField *f = FindField(name))
        return *f;
    throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

void TDataSet::BindFields()
{
    const bool automatic = m_declared.empty();
    if (automatic)
        DestroyDefaultFields();
    m_defaultFields = automatic;
    if (automatic) {
        for (const TFieldDef &d : m_fieldDefs) {
            auto f = CreateField(d.DataType, d.Size);
            f->SetFieldName(d.Name);
            m_automatic.push_back(std::move(f));
        }
    }
    RebuildFieldList();
    m_wanted.assign(m_fieldDefs.size(), 0);
    m_columns.assign(m_fieldDefs.size(), QVariant());
    for (TField *f : m_fieldList) {
        f->m_column = -1;
        if (f->m_fieldKind != fkData || f->m_dataType == ftADT || f->m_dataType == ftDataSet)
            continue;
        const QString name = f->FullName();
        // Automatic fields stand in the order of their columns.
        if (const std::size_t at = std::size_t(f->m_index); at < m_fieldDefs.size() && m_fieldDefs[at].Name == name) {
            f->m_column = int(at);
            m_wanted[at] = 1;
            continue;
        }
        for (std::size_t c = 0; c < m_fieldDefs.size(); ++c) {
            if (m_fieldDefs[c].Name.compare(name, Qt::CaseInsensitive) == 0) {
                f->m_column = int(c);
                m_wanted[c] = 1;
                break;
            }
        }
        if (f->m_column < 0)
            throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    }
}

void TDataSet::DestroyDefaultFields()
{
    if (!m_automatic.empty()) {
        std::vector<std::unique_ptr<TField>> doomed = std::move(m_automatic);
        m_automatic.clear();
        RebuildFieldList();
    }
    m_defaultFields = false;
}

// ---------------------------------------------------------------- open/close

void TDataSet::Open()
{
    if (Active())
        return;
    InternalOpen();
    try {
        BindFields();
    } catch (...) {
        InternalClose();
        DestroyDefaultFields();
        throw;
    }
    m_state = dsBrowse;
    m_modified = false;
    m_window.clear();
    m_firstRow = 0;
    m_active = -1;
    UpdateBufferCount();
    try {
        ResyncAt(0, 0);
    } catch (...) {
        m_state = dsInactive;
        m_window.clear();
        InternalClose();
        DestroyDefaultFields();
        throw;
    }
    m_bof = true;
    m_eof = RecordCount() == 0;
    if (m_disableCount > 0)
        m_disabledLayout = true;
    DataEvent(deUpdateState);
    if (AfterOpen)
        AfterOpen(*this);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    if (BeforeClose)
        BeforeClose(*this);
    if (m_state == dsEdit || m_state == dsInsert)
        Cancel();
    m_state = dsInactive;
    m_window.clear();
    m_active = -1;
    m_firstRow = 0;
    m_bof = m_eof = true;
    m_modified = false;
    InternalClose();
    if (m_disableCount > 0)
        m_disabledLayout = true;
    DataEvent(deUpdateState);
    DestroyDefaultFields();
}

// ---------------------------------------------------------------- buffers

void TDataSet::LoadBuffer(Buffer &buffer, int row)
{
    buffer.row = row;
    buffer.values.assign(m_fieldList.size(), QVariant());
    InternalLoadRow(row, m_wanted, m_columns);
    for (TField *f : m_fieldList) {
        if (f->m_column < 0)
            continue;
        QVariant &raw = m_columns[std::size_t(f->m_column)];
        try {
            buffer.values[std::size_t(f->m_index)] = f->Coerce(raw);
        } catch (const EDatabaseError &) {
            // A value the field's type cannot hold reads as null.
        }
    }
    for (TField *f : m_fieldList) {
        if (f->m_fieldKind != fkLookup || !f->LookupDataSet)
            continue;
        const TField *key = FindField(f->KeyFields);
        if (!key)
            continue;
        buffer.values[std::size_t(f->m_index)] = f->Coerce(f->LookupDataSet->Lookup(
            f->LookupKeyFields, buffer.values[std::size_t(key->m_index)], f->LookupResultField));
    }
    CalculateFields(buffer);
}

void TDataSet::CalculateFields(Buffer &buffer)
{
    buffer.calculated = bool(OnCalcFields);
    if (!OnCalcFields)
        return;
    for (TField *f : m_fieldList) {
        if (f->m_fieldKind == fkCalculated)
            buffer.values[std::size_t(f->m_index)] = QVariant();
    }
    // Restores the state also when the handler fails.
    struct Restore {
        TDataSet *ds;
        TDataSetState state;
        Buffer *buffer;
        ~Restore()
        {
            ds->m_state = state;
            ds->m_calcBuffer = buffer;
        }
    } restore{this, m_state, m_calcBuffer};
    m_calcBuffer = &buffer;
    m_state = dsCalcFields;
    // A copy: the handler may detach itself.
    const TDataSetNotifyEvent handler = OnCalcFields;
    handler(*this);
}

// Records read while the handler was detached (a walk over every row) get
// their calculated fields once it is back, before anyone shows them.
void TDataSet::CalculateStaleBuffers()
{
    if (!OnCalcFields || m_calcBuffer)
        return;
    for (Buffer &b : m_window) {
        if (!b.calculated && b.row >= 0)
            CalculateFields(b);
    }
}

int TDataSet::CurrentRow() const
{
    if (m_active < 0 || m_active >= int(m_window.size()))
        return -1;
    return m_window[std::size_t(m_active)].row;
}

// Makes the window hold rows [firstRow, firstRow + n), n = min(buffer count,
// rows); buffers of rows already held are kept as they are.
void TDataSet::PlaceWindow(int targetRow, int firstRow)
{
    const int rows = InternalRowCount();
    const int n = std::max(std::min(m_bufferCount, rows), 0);
    const int oldFirst = m_firstRow;
    const int shift = firstRow - oldFirst;
    const bool contiguous = !m_window.empty() && m_window.front().row == oldFirst &&
                            m_window.back().row == oldFirst + int(m_window.size()) - 1;
    if (contiguous && int(m_window.size()) == n && shift != 0 && std::abs(shift) < n) {
        // A short scroll: turn the ring and read only the rows that came in.
        int from, to;
        if (shift > 0) {
            std::rotate(m_window.begin(), m_window.begin() + shift, m_window.end());
            from = n - shift;
            to = n;
        } else {
            std::rotate(m_window.begin(), m_window.end() + shift, m_window.end());
            from = 0;
            to = -shift;
        }
        try {
            for (int i = from; i < to; ++i)
                LoadBuffer(m_window[std::size_t(i)], firstRow + i);
        } catch (...) {
            m_window.clear();
            m_active = -1;
            throw;
        }
        m_firstRow = firstRow;
        m_active = std::clamp(targetRow - firstRow, 0, n - 1);
        CalculateStaleBuffers();
        return;
    }
    std::vector<Buffer> old;
    old.swap(m_window);
    std::vector<Buffer> fresh(static_cast<std::size_t>(n));
    try {
        for (int i = 0; i < n; ++i) {
            const int row = firstRow + i;
            const int o = row - oldFirst;
            if (o >= 0 && o < int(old.size()) && old[std::size_t(o)].row == row)
                fresh[std::size_t(i)] = std::move(old[std::size_t(o)]);
            else
                LoadBuffer(fresh[std::size_t(i)], row);
        }
    } catch (...) {
        m_window.clear();
        m_active = -1;
        throw;
    }
    m_window = std::move(fresh);
    m_firstRow = firstRow;
    m_active = n > 0 ? std::clamp(targetRow - firstRow, 0, n - 1) : -1;
    CalculateStaleBuffers();
}

void TDataSet::ResyncAt(int row, int slot)
{
    m_window.clear();
    m_active = -1;
    m_firstRow = 0;
    const int rows = InternalRowCount();
    if (rows == 0) {
        m_bof = m_eof = true;
        return;
    }
    row = std::clamp(row, 0, rows - 1);
    const int n = std::min(m_bufferCount, rows);
    const int first = std::clamp(row - std::max(slot, 0), 0, rows - n);
    PlaceWindow(row, first);
}

void TDataSet::UpdateBufferCount()
{
    int count = 1;
    for (TDataSource *ds : m_dataSources) {
        for (TDataLink *link : ds->m_links)
            count = std::max(count, link->m_bufferCount);
    }
    if (count != m_bufferCount) {
        m_bufferCount = count;
        if (Active() && m_state != dsInsert) {
            const int rows = InternalRowCount();
            const int n = std::min(count, rows);
            const int cur = CurrentRow();
            if (n > 0 && cur >= 0) {
                int first = m_firstRow;
                if (first + n > rows)
                    first = rows - n;
                if (cur > first + n - 1)
                    first = cur - n + 1;
                if (cur < first)
                    first = cur;
                PlaceWindow(cur, std::max(first, 0));
            }
        }
    }
    for (TDataSource *ds : m_dataSources) {
        for (TDataLink *link : ds->m_links)
            link->UpdateRange();
    }
}

void TDataSet::SetActiveRecord(int index)
{
    if (index >= 0 && index < int(m_window.size()))
        m_active = index;
}

QVariant *TDataSet::ValueSlot(const TField &field)
{
    return const_cast<QVariant *>(static_cast<const TDataSet *>(this)->ValueSlot(field));
}

const QVariant *TDataSet::ValueSlot(const TField &field) const
{
    const Buffer *b = m_calcBuffer;
    if (!b) {
        if (m_state == dsInactive || m_active < 0 || m_active >= int(m_window.size()))
            return nullptr;
        b = &m_window[std::size_t(m_active)];
    }
    if (field.m_index < 0 || field.m_index >= int(b->values.size()))
        return nullptr;
    return &b->values[std::size_t(field.m_index)];
}

QVariant TDataSet::FieldValue(const TField &field) const
{
    const QVariant *v = ValueSlot(field);
    return v ? *v : QVariant();
}

// ---------------------------------------------------------------- navigation

bool TDataSet::IsEmpty() const
{
    return !Active() || (InternalRowCount() == 0 && m_state != dsInsert);
}

int TDataSet::RecordCount() const
{
    return Active() ? InternalRowCount() : 0;
}

int TDataSet::RecNo() const
{
    if (!Active())
        return 0;
    const int row = CurrentRow();
    return row >= 0 ? row + 1 : 0;
}

void TDataSet::SetRecNo(int recNo)
{
    CheckActive();
    CheckBrowseMode();
    if (RecordCount() == 0)
        return;
    MoveBy(std::clamp(recNo, 1, RecordCount()) - RecNo());
}

void TDataSet::First()
{
    CheckActive();
    if (m_unidirectional && RecNo() > 1)
        throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
    CheckBrowseMode();
    if (InternalRowCount() == 0) {
        m_bof = m_eof = true;
        DataEvent(deDataSetChange);
        return;
    }
    PlaceWindow(0, 0);
    m_bof = true;
    m_eof = false;
    DataEvent(deDataSetChange);
    if (AfterScroll)
        AfterScroll(*this);
}

void TDataSet::Last()
{
    CheckActive();
    CheckBrowseMode();
    const int rows = InternalRowCount();
    if (rows == 0) {
        m_bof = m_eof = true;
        DataEvent(deDataSetChange);
        return;
    }
    PlaceWindow(rows - 1, std::max(0, rows - m_bufferCount));
    m_bof = false;
    m_eof = true;
    DataEvent(deDataSetChange);
    if (AfterScroll)
        AfterScroll(*this);
}

int TDataSet::MoveBy(int distance)
{
    CheckActive();
    if (m_unidirectional && distance < 0)
        throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
    CheckBrowseMode();
    const int rows = InternalRowCount();
    if (rows == 0) {
        m_bof = m_eof = true;
        return 0;
    }
    const int cur = std::max(CurrentRow(), 0);
    const qint64 wanted = qint64(cur) + distance;
    const int target = int(std::clamp<qint64>(wanted, 0, rows - 1));
    const int moved = target - cur;
    m_bof = distance < 0 && moved > distance;
    m_eof = distance > 0 && moved < distance;
    if (moved == 0)
        return 0;
    const int n = int(m_window.size());
    int scroll = 0;
    if (target >= m_firstRow && target < m_firstRow + n) {
        m_active = target - m_firstRow;
        CalculateStaleBuffers();
    } else {
        const int first = target >= m_firstRow + n ? target - n + 1 : target;
        scroll = first - m_firstRow;
        PlaceWindow(target, first);
    }
    DataEvent(deDataSetScroll, scroll);
    if (AfterScroll)
        AfterScroll(*this);
    return moved;
}

void TDataSet::Resync()
{
    CheckActive();
    if (m_state == dsInsert)
        return;
    ResyncAt(std::max(CurrentRow(), 0), std::max(m_active, 0));
    DataEvent(deDataSetChange);
}

void TDataSet::Refresh()
{
    CheckActive();
    CheckBrowseMode();
    const int row = std::max(CurrentRow(), 0);
    const int slot = std::max(m_active, 0);
    m_window.clear();
    m_active = -1;
    try {
        InternalRefresh();
    } catch (...) {
        // The source may be gone: show what is left rather than stale buffers.
        ResyncAt(0, 0);
        DataEvent(deDataSetChange);
        throw;
    }
    ResyncAt(row, slot);
    m_bof = m_eof = InternalRowCount() == 0;
    DataEvent(deDataSetChange);
}

// ---------------------------------------------------------------- notification

void TDataSet::DisableControls()
{
    if (m_disableCount++ == 0) {
        m_disabledActive = Active();
        m_disabledLayout = false;
    }
}

void TDataSet::EnableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0)
        return;
    if (Active())
        CalculateStaleBuffers();
    if (m_disabledActive != Active())
        DataEvent(deUpdateState);
    DataEvent(m_disabledLayout ? deLayoutChange : deDataSetChange);
}

void TDataSet::DataEvent(TDataEvent event, qintptr info)
{
    if (m_disableCount > 0) {
        // Editor text must still reach the fields before a post.
        if (event != deUpdateRecord && event != deCheckBrowseMode) {
            if (event == deLayoutChange)
                m_disabledLayout = true;
            return;
        }
    }
    const std::vector<TDataSource *> sources = m_dataSources;
    for (TDataSource *ds : sources)
        ds->NotifyLinks(event, info);
}

void TDataSet::AddDataSource(TDataSource *ds)
{
    m_dataSources.push_back(ds);
    UpdateBufferCount();
}

void TDataSet::RemoveDataSource(TDataSource *ds)
{
    m_dataSources.erase(std::remove(m_dataSources.begin(), m_dataSources.end(), ds), m_dataSources.end());
    UpdateBufferCount();
}
