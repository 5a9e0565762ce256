#pragma once
// The data grid's cell editor: plain text, an ellipsis button, the column's
// pick list, or, for a lookup field, the rows of the lookup dataset.

#include "data/datasource.h"
#include "platform/grid_inplace.h"

#include <QListWidget>

#include <memory>

class TCustomDBGrid;

// A list of one dataset's rows: shows ListField, keyed by KeyField.
class TDBLookupListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit TDBLookupListBox(QWidget *parent = nullptr);
    QString KeyField;
    QString ListField;
    TDataSource *ListSource() const { return m_listSource; }
    // Reads the rows of the source's dataset (a lookup table is small).
    void SetListSource(TDataSource *source);
    QVariant KeyValue() const;
    void SetKeyValue(const QVariant &value);

private:
    void Fill();
    TDataSource *m_listSource = nullptr;
};

class TDBGridInplaceEdit : public TInplaceEditList
{
    Q_OBJECT
public:
    explicit TDBGridInplaceEdit(TCustomDBGrid *grid);
    ~TDBGridInplaceEdit() override;

    void RefreshContents() override;
    void OpenList() override;
    void CloseList(bool accept) override;
    void ForwardEditButton() override;

    bool UseDataList() const { return m_useDataList; }
    void SetUseDataList(bool value) { m_useDataList = value; }
    TDBLookupListBox *DataList() const { return m_dataList; }
    TDataSource &LookupSource() { return *m_lookupSource; }

private:
    TCustomDBGrid *DBGrid() const;
    TDBLookupListBox *m_dataList = nullptr;
    bool m_useDataList = false;
    std::unique_ptr<TDataSource> m_lookupSource;
};
