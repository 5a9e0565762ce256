#include "components/DBGrids_datalink.h"

#include "components/DBGrids_core.h"

#include <QScopedValueRollback>

void RaiseInvalidGridError(const QString &text)
{
    throw EInvalidGridOperation(text);
}

void CheckBidirectional(const TDataSet *dataSet)
{
    if (dataSet && dataSet->IsUnidirectional())
        throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
}

TGridDataLink::TGridDataLink(TCustomDBGrid *grid) : m_grid(grid)
{
    VisualControl = true;
}

TGridDataLink::~TGridDataLink()
{
    ClearFieldMap();
}

void TGridDataLink::ClearFieldMap()
{
    m_fieldMap.clear();
    m_fieldCount = 0;
}

bool TGridDataLink::MapField(const QString &fieldName)
{
    if (m_fieldCount >= MaxMappedFields)
        RaiseInvalidGridError(QStringLiteral("Grid requested to display more than 256 columns"));
    TDataSet *ds = DataSet();
    TField *field = nullptr;
    if (m_sparseMap)
        field = ds ? ds->FindField(fieldName) : nullptr;
    else if (ds)
        field = &ds->FieldByName(fieldName);
    if (int(m_fieldMap.size()) == m_fieldCount) {
        const std::size_t grown = m_fieldMap.empty() ? 8 : m_fieldMap.size() * 2;
        m_fieldMap.resize(std::min<std::size_t>(grown, 268435455));
    }
    m_fieldMap[std::size_t(m_fieldCount)] = field ? field->Index() : -1;
    ++m_fieldCount;
    return true;
}

TField *TGridDataLink::MappedField(int index) const
{
    if (index < 0 || index >= m_fieldCount)
        return nullptr;
    const int entry = m_fieldMap[std::size_t(index)];
    TDataSet *ds = DataSet();
    if (entry < 0 || !ds || entry >= int(ds->FieldList().size()))
        return nullptr;
    return ds->FieldList()[std::size_t(entry)];
}

bool TGridDataLink::UsesDefaultFields() const
{
    TDataSet *ds = DataSet();
    if (!ds)
        return true;
    if (!ds->DefaultFields())
        return false;
    if (m_sparseMap)
        for (int i = 0; i < m_fieldCount; ++i)
            if (m_fieldMap[std::size_t(i)] == -1)
                return false;
    return true;
}

void TGridDataLink::HandleReset()
{
    if (m_modified)
        HandleRecordChange(nullptr);
    else if (DataSet())
        DataSet()->Cancel();
}

void TGridDataLink::HandleActiveChange()
{
    if (Active() && DataSource())
        CheckBidirectional(DataSource()->DataSet());
    m_grid->ReactToLinkState(Active());
    m_modified = false;
}

void TGridDataLink::HandleDataSetChange()
{
    m_grid->RefreshFromData();
    m_modified = false;
}

void TGridDataLink::HandleDataSetScroll(int distance)
{
    m_grid->AfterDataScroll(distance);
}

void TGridDataLink::HandleEditingChange()
{
    m_grid->AfterEditingChange();
}

void TGridDataLink::HandleFocusRequest(TField **field)
{
    if (!field || !*field)
        return;
    m_grid->GoToField(*field);
    if (m_grid->CurrentColumnField() == *field && m_grid->GrabFocus()) {
        *field = nullptr;
        m_grid->ShowEditor();
    }
}

void TGridDataLink::HandleLayoutChange()
{
    {
        const QScopedValueRollback fromDataset(m_grid->m_layoutFromDataset, true);
        m_grid->RequestLayout();
    }
    TDataLink::HandleLayoutChange();
}

void TGridDataLink::HandleRecordChange(TField *field)
{
    m_grid->AfterRecordChange(field);
    m_modified = false;
}

void TGridDataLink::HandleDataFlush()
{
    m_inUpdateData = true;
    struct Clear {
        bool &flag;
        ~Clear() { flag = false; }
    } clear{m_inUpdateData};
    if (m_modified) {
        m_grid->WriteEditorToField();
        m_modified = false;
    }
}
