#include "data/datasource.h"

#include <algorithm>

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource() = default;

TDataSource::~TDataSource()
{
    const std::vector<TDataLink *> links = m_links;
    for (TDataLink *link : links)
        link->SetDataSource(nullptr);
    if (m_dataSet)
        m_dataSet->RemoveDataSource(this);
}

void TDataSource::SetDataSet(TDataSet *dataSet)
{
    if (dataSet == m_dataSet)
        return;
    if (m_dataSet)
        m_dataSet->RemoveDataSource(this);
    m_dataSet = dataSet;
    if (m_dataSet)
        m_dataSet->AddDataSource(this);
    const std::vector<TDataLink *> links = m_links;
    for (TDataLink *link : links)
        link->UpdateState();
    if (OnStateChange && State() != m_lastState) {
        m_lastState = State();
        OnStateChange(*this);
    }
    m_lastState = State();
}

void TDataSource::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    const std::vector<TDataLink *> links = m_links;
    for (TDataLink *link : links)
        link->UpdateState();
    // The source's own state follows: a source enabled on an open dataset
    // reports its current record as changed, as opening would.
    const TDataSetState now = State();
    const bool activated = now != dsInactive && m_lastState == dsInactive;
    const bool changed = now != m_lastState;
    m_lastState = now;
    if (changed && OnStateChange)
        OnStateChange(*this);
    if (activated && OnDataChange)
        OnDataChange(*this, nullptr);
}

TDataSetState TDataSource::State() const
{
    return m_dataSet && m_enabled ? m_dataSet->State() : dsInactive;
}

void TDataSource::NotifyLinks(TDataEvent event, qintptr info)
{
    if (!m_enabled)
        return;
    const std::vector<TDataLink *> links = m_links;
    for (TDataLink *link : links) {
        // A link removed by an earlier handler hears nothing more.
        if (std::find(m_links.begin(), m_links.end(), link) != m_links.end())
            link->DataEvent(event, info);
    }
    switch (event) {
    case deUpdateState: {
        const TDataSetState now = State();
        const bool activeChanged = (now == dsInactive) != (m_lastState == dsInactive);
        const bool changed = now != m_lastState;
        m_lastState = now;
        if (changed && OnStateChange)
            OnStateChange(*this);
        if (activeChanged && OnDataChange)
            OnDataChange(*this, nullptr);
        break;
    }
    case deFieldChange:
    case deRecordChange:
        if (OnDataChange)
            OnDataChange(*this, reinterpret_cast<TField *>(info));
        break;
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(*this, nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(*this);
        break;
    default: break;
    }
}

void TDataSource::AddLink(TDataLink *link)
{
    m_links.push_back(link);
    if (m_dataSet)
        m_dataSet->UpdateBufferCount();
}

void TDataSource::RemoveLink(TDataLink *link)
{
    m_links.erase(std::remove(m_links.begin(), m_links.end(), link), m_links.end());
    if (m_dataSet)
        m_dataSet->UpdateBufferCount();
}

// ---------------------------------------------------------------- TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink()
{
    if (m_dataSource)
        m_dataSource->RemoveLink(this);
}

void TDataLink::SetDataSource(TDataSource *source)
{
    if (source == m_dataSource)
        return;
    if (m_dataSource)
        m_dataSource->RemoveLink(this);
    m_dataSource = source;
    if (m_dataSource)
        m_dataSource->AddLink(this);
    UpdateState();
}

TDataSet *TDataLink::DataSet() const
{
    return m_dataSource ? m_dataSource->DataSet() : nullptr;
}

void TDataLink::UpdateState()
{
    TDataSet *ds = DataSet();
    const bool active = ds && m_dataSource->Enabled() && ds->Active();
    if (m_active && active && ds != m_shown) {
        // Another open dataset took the place of the shown one: the control
        // sees the old one go before the new one comes.
        m_active = false;
        m_first = 0;
        HandleActiveChange();
    }
    if (active != m_active) {
        m_active = active;
        m_shown = active ? ds : nullptr;
        m_first = 0;
        UpdateRange();
        HandleActiveChange();
    }
    const bool editing = m_active && !ReadOnly && (ds->State() == dsEdit || ds->State() == dsInsert);
    if (editing != m_editing) {
        m_editing = editing;
        HandleEditingChange();
    }
}

void TDataLink::UpdateRange()
{
    TDataSet *ds = DataSet();
    if (!m_active || !ds) {
        m_first = 0;
        return;
    }
    const int n = ds->BufferRecordCount();
    const int a = ds->ActiveRecord();
    m_first = std::min(m_first, std::max(0, n - m_bufferCount));
    if (a >= 0) {
        if (a < m_first)
            m_first = a;
        else if (a >= m_first + m_bufferCount)
            m_first = a - m_bufferCount + 1;
    }
    m_first = std::max(m_first, 0);
}

int TDataLink::Scrolled(int datasetDistance)
{
    const int old = m_first;
    m_first = old - datasetDistance;
    UpdateRange();
    return datasetDistance + m_first - old;
}

void TDataLink::DataEvent(TDataEvent event, qintptr info)
{
    if (event == deUpdateState) {
        UpdateState();
        if (m_active)
            HandleUpdateState();
        return;
    }
    if (!m_active)
        return;
    switch (event) {
    case deDataSetScroll: HandleDataSetScroll(Scrolled(int(info))); break;
    case deDataSetChange:
        UpdateRange();
        HandleDataSetChange();
        break;
    case deLayoutChange:
        UpdateRange();
        HandleLayoutChange();
        break;
    case deFieldChange:
    case deRecordChange: HandleRecordChange(reinterpret_cast<TField *>(info)); break;
    case deUpdateRecord: UpdateRecord(); break;
    case deCheckBrowseMode: HandleCheckBrowseMode(); break;
    case deFocusControl: HandleFocusRequest(reinterpret_cast<TField **>(info)); break;
    default: break;
    }
}

void TDataLink::SetBufferCount(int count)
{
    count = std::max(count, 1);
    if (count == m_bufferCount)
        return;
    m_bufferCount = count;
    if (TDataSet *ds = DataSet())
        ds->UpdateBufferCount();
    UpdateRange();
}

int TDataLink::RecordCount() const
{
    TDataSet *ds = DataSet();
    if (!m_active || !ds)
        return 0;
    return std::clamp(ds->BufferRecordCount() - m_first, 0, m_bufferCount);
}

int TDataLink::ActiveRecord() const
{
    TDataSet *ds = DataSet();
    if (!m_active || !ds || ds->ActiveRecord() < 0)
        return 0;
    return ds->ActiveRecord() - m_first;
}

void TDataLink::SetActiveRecord(int value)
{
    if (TDataSet *ds = DataSet(); m_active && ds)
        ds->SetActiveRecord(m_first + value);
}

bool TDataLink::Bof() const
{
    TDataSet *ds = DataSet();
    return !m_active || !ds || ds->Bof();
}

bool TDataLink::Eof() const
{
    TDataSet *ds = DataSet();
    return !m_active || !ds || ds->Eof();
}

int TDataLink::MoveBy(int distance)
{
    TDataSet *ds = DataSet();
    return m_active && ds ? ds->MoveBy(distance) : 0;
}

bool TDataLink::Edit()
{
    TDataSet *ds = DataSet();
    if (!ReadOnly && m_active && ds && ds->State() == dsBrowse)
        ds->Edit();
    return m_editing;
}

void TDataLink::UpdateRecord()
{
    if (m_updating)
        return;
    m_updating = true;
    struct Reset {
        bool &flag;
        ~Reset() { flag = false; }
    } reset{m_updating};
    HandleDataFlush();
}
