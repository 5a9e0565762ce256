#pragma once
// The data grid's connection to its data source: the field map (which
// dataset field each grid column shows), the editor's modified flag, and the
// dataset's notifications turned into the grid's reactions. Also the grid
// error.

#include "data/datasource.h"
#include "data/dberror.h"

#include <vector>

class TCustomDBGrid;

class EInvalidGridOperation : public Exception
{
public:
    using Exception::Exception;
};

[[noreturn]] void RaiseInvalidGridError(const QString &text);
// A grid moves both ways: a dataset that only moves forward is refused.
void CheckBidirectional(const TDataSet *dataSet);

// The map holds at most this many entries; the error text names the bound.
constexpr int MaxMappedFields = 256;

class TGridDataLink : public TDataLink
{
public:
    explicit TGridDataLink(TCustomDBGrid *grid);
    ~TGridDataLink() override;

    TCustomDBGrid *Grid() const { return m_grid; }
    int FieldCount() const { return m_fieldCount; }
    // Length of the map's array (grows 8, 16, 32 ...).
    int MapCapacity() const { return int(m_fieldMap.size()); }
    bool SparseMap() const { return m_sparseMap; }
    void SetSparseMap(bool sparse) { m_sparseMap = sparse; }
    bool Modified() const { return m_modified; }
    bool InUpdateData() const { return m_inUpdateData; }

    void ClearFieldMap();
    bool MapField(const QString &fieldName);
    TField *MappedField(int index) const;
    bool UsesDefaultFields() const;
    void MarkModified() { m_modified = true; }
    void HandleReset();

    // Notifications (public so the grid's Enter key and tests reach them).
    void HandleActiveChange() override;
    void HandleDataSetChange() override;
    void HandleDataSetScroll(int distance) override;
    void HandleEditingChange() override;
    void HandleFocusRequest(TField **field) override;
    void HandleLayoutChange() override;
    void HandleRecordChange(TField *field) override;
    void HandleDataFlush() override;
    bool RowIsAggregate() const override { return false; }

private:
    TCustomDBGrid *m_grid;
    int m_fieldCount = 0;
    std::vector<int> m_fieldMap;
    bool m_modified = false;
    bool m_inUpdateData = false;
    bool m_sparseMap = false;
};
