#pragma once
// The dataset: a cursor over the records of a result with a window of record
// buffers for the controls that show it.
//
// Record buffers. The dataset keeps a window of consecutive records, as many
// as the largest BufferCount any data link asks for (at least one): the
// records of rows [first, first + n), n = min(buffer count, RecordCount). One
// of them is the active record (the current record). A record's data fields
// are read from the source and its calculated fields computed (OnCalcFields)
// only when it enters the window, or when the window is resynchronised; reading
// or painting a buffered record never recomputes it. So a grid that shows 20
// rows of a 100 000-row result runs the handler about 20 times per screenful.
//
// Window rules (N = RecordCount, B = buffer count, n = min(B, N)):
//  - Open, First: first = 0, active = 0.
//  - Last: first = max(0, N - B), the active record is the last one.
//  - MoveBy(d) (also Next, Prior, RecNo :=): the target row is clamped to
//    [0, N - 1]. Inside the window only the active record changes (scroll
//    distance 0). Below it the window moves down just far enough that the
//    target is its last record; above it, that the target is its first. The
//    links get DataSetScroll with the distance the window moved (positive
//    downwards); records still in the window keep their buffers.
//  - Buffer count change: first stays, unless the window would run past the
//    end of the data (it then ends at the last record, growing upwards) or the
//    active record would fall out when shrinking (it then becomes the last).
//  - GotoBookmark: inside the window only the active record changes; outside,
//    the window is centred on the target as far as the data allows.
//  - Resync, and after Post, Delete, Cancel of an insert, Refresh: the current
//    row (clamped) keeps its place in the window where the data allows, and
//    every buffer is read again.
//
// Bof/Eof: both true on an empty dataset. Open and First set Bof; Last sets
// Eof; a MoveBy that stops short at an end sets Bof or Eof; any other move
// clears both. So "First; while (!Eof()) { ...; Next(); }" visits every record.

#include "data/fields.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class TDataSource;
class TDataLink;

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert, dsCalcFields };

// Notifications from a dataset to its data sources and their links.
enum TDataEvent {
    deFieldChange,  // info: the field
    deRecordChange, // info: the field or null
    deDataSetChange,
    deDataSetScroll, // info: distance
    deLayoutChange,
    deUpdateRecord, // write pending control edits into the fields
    deUpdateState,  // state (inactive, browse, edit, insert) changed
    deCheckBrowseMode,
    deFocusControl, // info: TField** (cleared when handled)
};

using TDataSetNotifyEvent = std::function<void(TDataSet &)>;

class TDataSet
{
public:
    TDataSet();
    virtual ~TDataSet();
    TDataSet(const TDataSet &) = delete;
    TDataSet &operator=(const TDataSet &) = delete;

    QString Name;

    // --- state ---
    TDataSetState State() const { return m_state; }
    bool Active() const { return m_state != dsInactive; }
    void SetActive(bool active);
    void Open();
    void Close();

    // --- navigation ---
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves by up to distance records; returns the number actually moved
    // (negative backwards).
    int MoveBy(int distance);
    bool Bof() const { return m_bof; }
    bool Eof() const { return m_eof; }
    bool IsEmpty() const;
    // 1-based number of the current record; 0 without one.
    int RecNo() const;
    void SetRecNo(int recNo);
    int RecordCount() const;
    // Record numbers are known (the grid's scroll bar follows them).
    virtual bool IsSequenced() const { return true; }
    bool IsUnidirectional() const { return m_unidirectional; }
    void SetUniDirectional(bool value) { m_unidirectional = value; }
    // Reads every buffer again from the source.
    void Resync();
    // Reads the source again (a query runs again), keeping the record number.
    void Refresh();

    // --- fields ---
    // Top-level fields in order (declared, or automatic while open).
    const std::vector<TField *> &Fields() const { return m_fields; }
    // Every field, sub-fields after their object field.
    const std::vector<TField *> &FieldList() const { return m_fieldList; }
    int FieldCount() const { return int(m_fields.size()); }
    TField *FindField(const QString &name) const; // by full name, any case
    // EDatabaseError "Field 'name' not found" when missing.
    TField &FieldByName(const QString &name) const;
    // Declares a field (dataset closed); the dataset owns it.
    TField *AddField(std::unique_ptr<TField> field);
    void RemoveField(TField *field);
    // TField::SetIndex: the field order changes, buffered values move along.
    void MoveField(TField *field, int flatIndex);
    // Fields were made from the columns because none were declared.
    bool DefaultFields() const { return m_defaultFields; }
    // Fields were declared in code (they exist also while closed).
    bool HasPersistentFields() const { return !m_declared.empty(); }
    // Columns of the source (known after open, also for an empty result).
    const std::vector<TFieldDef> &FieldDefs() const { return m_fieldDefs; }
    // Object fields are shown as nested columns.
    bool ObjectView = false;
    // Looks a value up in this dataset: result field of the first record whose
    // keyField equals keyValue; null when none. Does not move the cursor.
    QVariant Lookup(const QString &keyField, const QVariant &keyValue, const QString &resultField);

    // Calculated fields: runs for each record entering the buffer window.
    // Read it, set it to null to detach, assign it back to re-attach.
    TDataSetNotifyEvent OnCalcFields;
    TDataSetNotifyEvent AfterOpen;
    TDataSetNotifyEvent BeforeClose;
    TDataSetNotifyEvent AfterScroll;

    // --- bookmarks: opaque, one per row; empty when there is no row ---
    QByteArray Bookmark() const;
    bool BookmarkValid(const QByteArray &bookmark) const;
    // -1 when a stands before b in the current order, 1 after, 0 same row
    // (and whenever either is empty).
    int CompareBookmarks(const QByteArray &a, const QByteArray &b) const;
    // EDatabaseError "Record not found" for a bookmark of no row.
    void GotoBookmark(const QByteArray &bookmark);

    // --- controls ---
    // Counted; while above 0 no link hears anything; the outermost
    // EnableControls sends one DataSetChange (after ActiveChange when the
    // dataset was opened or closed meanwhile).
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }
    // The dataset is on its way out (its fields and links go next).
    bool Destroying() const { return m_destroying; }

    // --- editing ---
    bool CanModify() const;
    bool Modified() const { return m_modified; }
    void Edit();
    void Insert();
    void Append();
    void Post();
    void Cancel();
    void Delete();
    // Posts or cancels a pending edit (before any move).
    void CheckBrowseMode();
    // Asks the links to write pending editor text into the fields.
    void UpdateRecord();

    // --- for data links and fields ---
    int BufferCount() const { return m_bufferCount; }
    // Records held in the window.
    int BufferRecordCount() const { return int(m_window.size()); }
    // Index of the current record in the window; -1 without one.
    int ActiveRecord() const { return m_active; }
    // Points field access at another buffered record (painting); no
    // notification, no recalculation.
    void SetActiveRecord(int index);
    const std::vector<TDataSource *> &DataSources() const { return m_dataSources; }
    void DataEvent(TDataEvent event, qintptr info = 0);
    // Value storage behind TField.
    QVariant FieldValue(const TField &field) const;
    void SetFieldValue(TField &field, const QVariant &value);

protected:
    // --- the source, implemented by derived datasets ---
    // Runs the statement or prepares the storage; fills FieldDefs.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual int InternalRowCount() const = 0;
    // Reads the columns of one row (0-based, in the current order) into
    // columns[i] for every i with wanted[i] set.
    virtual void InternalLoadRow(int row, const std::vector<char> &wanted, std::vector<QVariant> &columns) = 0;
    // Row <-> bookmark. Default: the row number.
    virtual QByteArray InternalRowBookmark(int row) const;
    virtual int InternalBookmarkRow(const QByteArray &bookmark) const; // -1: none
    // Editing; a read-only source leaves these alone.
    virtual bool InternalCanModify() const { return false; }
    // row >= 0: update that row; row < 0: insert before insertBefore (== row
    // count: at the end). Values by column. Returns the row it now has.
    virtual int InternalPost(int row, int insertBefore, const std::vector<QVariant> &columns);
    virtual void InternalDelete(int row);
    // Re-reads the source for Refresh.
    virtual void InternalRefresh() {}
    void SetFieldDefs(std::vector<TFieldDef> defs) { m_fieldDefs = std::move(defs); }
    // Derived destructors call this before closing, so that observers of
    // the fields see a dataset being destroyed.
    void BeginDestroy() { m_destroying = true; }

private:
    friend class TDataSource;
    friend class TDataLink;
    friend class TField;

    struct Buffer {
        int row = -1;                 // -1: the record being inserted
        std::vector<QVariant> values; // by field index
        bool calculated = false;      // the calculated-fields handler ran on it
    };

    void CheckActive() const;
    void CheckInactive() const;
    void BindFields();
    void DestroyDefaultFields();
    void RebuildFieldList();
    void LoadBuffer(Buffer &buffer, int row);
    void CalculateFields(Buffer &buffer);
    void CalculateStaleBuffers();
    // The empty record Insert and Append start from.
    Buffer NewRecordBuffer();
    void FillWindow(int firstRow, int count);
    int CurrentRow() const;
    void ShiftWindowTo(int firstRow);
    void PlaceWindow(int targetRow, int firstRow);
    void UpdateBufferCount();
    void SetState(TDataSetState state);
    void ResyncAt(int row, int slot);
    void AddDataSource(TDataSource *ds);
    void RemoveDataSource(TDataSource *ds);
    std::vector<QVariant> ColumnsOf(const Buffer &buffer) const;
    QVariant *ValueSlot(const TField &field);
    const QVariant *ValueSlot(const TField &field) const;

    TDataSetState m_state = dsInactive;
    std::vector<std::unique_ptr<TField>> m_declared;
    std::vector<std::unique_ptr<TField>> m_automatic;
    std::vector<TField *> m_fields;
    std::vector<TField *> m_fieldList;
    std::vector<TFieldDef> m_fieldDefs;
    std::vector<char> m_wanted;
    std::vector<QVariant> m_columns;
    bool m_defaultFields = false;
    std::vector<Buffer> m_window;
    int m_firstRow = 0;
    int m_active = -1;
    int m_bufferCount = 1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_unidirectional = false;
    bool m_modified = false;
    Buffer m_savedRecord;   // the record before Edit
    int m_insertBefore = 0; // row the record being inserted goes before
    Buffer *m_calcBuffer = nullptr;
    int m_disableCount = 0;
    bool m_destroying = false;
    bool m_disabledActive = false;
    bool m_disabledLayout = false;
    std::vector<TDataSource *> m_dataSources;
};
