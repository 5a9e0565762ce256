#pragma once
// TDataSource joins a dataset to the controls that show it; TDataLink is one
// control's connection. A link asks for a number of record buffers
// (BufferCount) and sees its own part of the dataset's buffer window: its
// records are RecordCount() of them, its current one ActiveRecord(). The
// dataset's notifications reach a link as the virtual Handle* methods.

#include "data/dataset.h"

#include <functional>
#include <vector>

class TDataSource
{
public:
    TDataSource();
    ~TDataSource();
    TDataSource(const TDataSource &) = delete;
    TDataSource &operator=(const TDataSource &) = delete;

    QString Name;

    TDataSet *DataSet() const { return m_dataSet; }
    void SetDataSet(TDataSet *dataSet);
    // A disabled source passes no notification on (its links read inactive).
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    // Controls may put the dataset into edit mode by themselves.
    bool AutoEdit = true;
    TDataSetState State() const;

    // Current record changed (moved, or its data changed); field null when
    // not one field.
    std::function<void(TDataSource &, TField *)> OnDataChange;
    std::function<void(TDataSource &)> OnStateChange;
    std::function<void(TDataSource &)> OnUpdateData;

    const std::vector<TDataLink *> &DataLinks() const { return m_links; }

private:
    friend class TDataSet;
    friend class TDataLink;
    void NotifyLinks(TDataEvent event, qintptr info);
    void AddLink(TDataLink *link);
    void RemoveLink(TDataLink *link);

    TDataSet *m_dataSet = nullptr;
    bool m_enabled = true;
    TDataSetState m_lastState = dsInactive;
    std::vector<TDataLink *> m_links;
};

class TDataLink
{
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink &) = delete;
    TDataLink &operator=(const TDataLink &) = delete;

    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source);
    TDataSet *DataSet() const;
    // Source set, enabled, dataset open.
    bool Active() const { return m_active; }
    bool ReadOnly = false;
    // The link of a control on screen (informational: DisableControls
    // silences every link).
    bool VisualControl = false;
    // The dataset is in edit or insert state (and the link not read-only).
    bool Editing() const { return m_editing; }

    // Records this link wants buffered (its visible rows); at least 1.
    int BufferCount() const { return m_bufferCount; }
    void SetBufferCount(int count);
    // Records of the buffer this link sees (<= BufferCount).
    int RecordCount() const;
    // Place of the current record among them (0 = the link's first).
    int ActiveRecord() const;
    // Points the dataset's field access at another of the link's records
    // (used while painting and to put the current row back on screen).
    void SetActiveRecord(int value);
    bool Bof() const;
    bool Eof() const;
    int MoveBy(int distance);
    // Puts the dataset into edit mode; true when it is editing.
    bool Edit();
    // Writes pending editor text into the fields (HandleDataFlush).
    void UpdateRecord();

protected:
    // Notifications; the defaults chain as noted.
    virtual void HandleActiveChange() {}
    virtual void HandleDataSetChange() { HandleRecordChange(nullptr); }
    virtual void HandleDataSetScroll(int distance)
    {
        (void)distance;
        HandleDataSetChange();
    }
    virtual void HandleEditingChange() {}
    // field: the field asking for focus; set it to null when handled.
    virtual void HandleFocusRequest(TField **field) { (void)field; }
    virtual void HandleLayoutChange() { HandleDataSetChange(); }
    virtual void HandleRecordChange(TField *field) { (void)field; }
    virtual void HandleDataFlush() {}
    virtual void HandleUpdateState() {}
    virtual void HandleCheckBrowseMode() {}
    virtual bool RowIsAggregate() const { return false; }

private:
    friend class TDataSource;
    friend class TDataSet;
    void DataEvent(TDataEvent event, qintptr info);
    void UpdateState();
    void UpdateRange();
    int Scrolled(int datasetDistance);

    TDataSource *m_dataSource = nullptr;
    TDataSet *m_shown = nullptr; // the dataset the link was active on
    bool m_active = false;
    bool m_editing = false;
    bool m_updating = false;
    int m_bufferCount = 1;
    int m_first = 0; // index in the dataset's window of this link's first record
};
