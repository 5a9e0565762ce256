#include "components/DBGrids_inplace.h"

#include "components/DBGrids_core.h"
#include "platform/application.h"

#include <QApplication>

// --- TDBLookupListBox -------------------------------------------------------

TDBLookupListBox::TDBLookupListBox(QWidget *parent) : QListWidget(parent) {}

void TDBLookupListBox::SetListSource(TDataSource *source)
{
    m_listSource = source;
    Fill();
}

void TDBLookupListBox::Fill()
{
    clear();
    TDataSet *ds = m_listSource ? m_listSource->DataSet() : nullptr;
    if (!ds || !ds->Active())
        return;
    TField *key = ds->FindField(KeyField);
    TField *shown = ds->FindField(ListField);
    if (!key || !shown)
        return;
    const QByteArray place = ds->Bookmark();
    const auto goBack = [&] {
        if (!place.isEmpty())
            ds->GotoBookmark(place);
    };
    ds->DisableControls();
    try {
        for (ds->First(); !ds->Eof(); ds->Next()) {
            auto *item = new QListWidgetItem(shown->DisplayText(), this);
            item->setData(Qt::UserRole, key->Value());
        }
        goBack();
    } catch (...) {
        // A row that cannot be read must not leave the lookup table's
        // controls silenced or its cursor moved.
        try {
            goBack();
        } catch (...) {
            // The first error is the one worth showing.
        }
        ds->EnableControls();
        throw;
    }
    ds->EnableControls();
}

QVariant TDBLookupListBox::KeyValue() const
{
    const QListWidgetItem *item = currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole) : QVariant();
}

void TDBLookupListBox::SetKeyValue(const QVariant &value)
{
    setCurrentItem(nullptr);
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(Qt::UserRole) == value) {
            setCurrentRow(i);
            return;
        }
}

// --- TDBGridInplaceEdit ---------------------------------------------------------

TDBGridInplaceEdit::TDBGridInplaceEdit(TCustomDBGrid *grid)
    : TInplaceEditList(grid), m_lookupSource(std::make_unique<TDataSource>())
{}

TDBGridInplaceEdit::~TDBGridInplaceEdit()
{
    if (m_dataList)
        m_dataList->SetListSource(nullptr);
}

TCustomDBGrid *TDBGridInplaceEdit::DBGrid() const
{
    return static_cast<TCustomDBGrid *>(Grid());
}

void TDBGridInplaceEdit::RefreshContents()
{
    // The base loads the text and asks the grid for the edit style, which
    // decides whether the data list is used.
    TInplaceEditList::RefreshContents();
    if (m_useDataList) {
        if (!m_dataList) {
            m_dataList = new TDBLookupListBox(Grid()->viewport());
            m_dataList->hide();
            m_dataList->setFocusPolicy(Qt::NoFocus);
            connect(m_dataList, &QListWidget::itemClicked, this, GuardedSlot([this] { CloseList(true); }));
        }
        SetActiveList(m_dataList);
    } else
        SetActiveList(PickList());
    if (TColumn *column = DBGrid()->CurrentColumn()) {
        setReadOnly(column->ReadOnly());
        setFont(column->Font().Font());
        ApplyImeMode(this, column->ImeMode());
    }
}

void TDBGridInplaceEdit::OpenList()
{
    if (ListVisible())
        return;
    TColumn *column = DBGrid()->CurrentColumn();
    if (!column)
        return;
    if (m_dataList && ActiveList() == m_dataList) {
        TField *lookup = column->GetBoundField();
        if (!lookup)
            return;
        m_dataList->setFont(font());
        m_dataList->setPalette(palette());
        SetDropDownRows(int(column->DropDownRows()));
        m_lookupSource->SetDataSet(lookup->LookupDataSet);
        m_dataList->KeyField = lookup->LookupKeyFields;
        m_dataList->ListField = lookup->LookupResultField;
        m_dataList->SetListSource(m_lookupSource.get());
        TField *key = DBGrid()->LookupKeyField(lookup);
        m_dataList->SetKeyValue(key ? key->Value() : QVariant());
        DropDown();
        return;
    }
    QListWidget *list = PickList();
    list->clear();
    list->addItems(column->PickList());
    SetDropDownRows(int(column->DropDownRows()));
    DropDown();
}

void TDBGridInplaceEdit::CloseList(bool accept)
{
    if (!ListVisible())
        return;
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    const bool dataList = m_dataList && ActiveList() == m_dataList;
    QVariant value;
    if (dataList)
        value = m_dataList->KeyValue();
    else if (QListWidgetItem *item = PickList()->currentItem(); item && item->isSelected())
        value = item->text();
    HideList();
    if (m_dataList)
        m_dataList->SetListSource(nullptr);
    m_lookupSource->SetDataSet(nullptr);
    update();
    if (!accept)
        return;
    TCustomDBGrid *grid = DBGrid();
    TColumn *column = grid->CurrentColumn();
    TField *field = column ? column->GetBoundField() : nullptr;
    if (!field)
        return;
    if (dataList) {
        TField *key = grid->LookupKeyField(field);
        // A key that cannot change, or a refused edit, drops the choice.
        if (key && key->CanModify() && grid->DataLink().Edit())
            key->SetValue(value);
    } else if (value.isValid() && grid->EditorMayModify()) {
        field->SetText(value.toString());
    }
}

void TDBGridInplaceEdit::ForwardEditButton()
{
    DBGrid()->AfterEditButtonClick();
}
