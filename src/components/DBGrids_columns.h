#pragma once
// Columns of the data grid. Every setting follows one rule: a value the
// program assigned wins; a value never assigned is read, each time, from the
// bound field or from the grid. The collection is either in the default state
// (the grid makes one transient column per visible field) or customized
// (persistent columns made by the program or the window definition).

#include "data/fields.h"
#include "platform/grid_support.h"

#include <QPointer>
#include <QStringList>

#include <memory>
#include <vector>

#include <QMenu>
class TCustomDBGrid;
class TDBGridColumns;
class TColumn;

// Copying settings between objects of the framework's object model; a source
// of the wrong kind fails with the framework's assignment error.
class TPersistent
{
public:
    virtual ~TPersistent() = default;
    virtual QString ClassName() const = 0;
};
[[noreturn]] void RaiseAssignError(const TPersistent *source, const TPersistent &target);

enum TColumnValue : unsigned {
    avColor = 1u << 0,
    avWidth = 1u << 1,
    avFont = 1u << 2,
    avAlignment = 1u << 3,
    avReadOnly = 1u << 4,
    avTitleColor = 1u << 5,
    avTitleCaption = 1u << 6,
    avTitleAlignment = 1u << 7,
    avTitleFont = 1u << 8,
    avImeMode = 1u << 9,
    avImeName = 1u << 10,
};
using TColumnValues = unsigned;

enum TColumnButtonStyle { cbsAuto, cbsEllipsis, cbsNone };
enum TImeMode {
    imDisable,
    imClose,
    imOpen,
    imDontCare,
    imSAlpha,
    imAlpha,
    imHira,
    imSKata,
    imKata,
    imChinese,
    imSHanguel,
    imHanguel
};
// Qt's counterpart of an input-method mode: input methods off for
// imDisable, otherwise on with the nearest hint (Latin for the alphanumeric
// modes; Qt has none for kana, Hangul or Chinese, nor for opening or closing
// the input method). The input method's name has no counterpart: Qt picks the
// platform's input context once for the whole program.
void ApplyImeMode(QWidget *widget, TImeMode mode);
enum TDBGridColumnsState { csDefault, csCustomized };
// The names the grid's callers use.
constexpr TDBGridColumnsState DefaultColumns = csDefault;
constexpr TDBGridColumnsState CustomizedColumns = csCustomized;

class TColumnTitle : public TPersistent
{
public:
    explicit TColumnTitle(TColumn *column);
    ~TColumnTitle() override;
    TColumnTitle(const TColumnTitle &) = delete;
    TColumnTitle &operator=(const TColumnTitle &) = delete;
    QString ClassName() const override { return QStringLiteral("TColumnTitle"); }

    TColumn *Column() const { return m_column; }
    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    QString Caption() const;
    virtual void SetCaption(const QString &value);
    QColor Color() const;
    void SetColor(const QColor &value);
    TFont &Font();
    void SetFont(const TFont &value);

    QString DefaultCaption() const;
    QColor DefaultColor() const;
    TFont &DefaultFont() const;
    // Copies the source title's assigned values through the setters.
    virtual void TakeSettingsFrom(const TPersistent *source);
    virtual void ResetToDefaults();
    // Copies the default font into the own one while it is not assigned.
    void RefreshDefaultFont();

private:
    void FontChanged();
    TColumn *m_column;
    QString m_caption;
    TFont m_font;
    QColor m_color;
    TAlignment m_alignment = taLeftJustify;
};

class TColumn : public TPersistent
{
public:
    explicit TColumn(TDBGridColumns *collection);
    ~TColumn() override;
    TColumn(const TColumn &) = delete;
    TColumn &operator=(const TColumn &) = delete;
    QString ClassName() const override { return QStringLiteral("TColumn"); }

    TDBGridColumns *Collection() const { return m_collection; }
    int Index() const;
    // The grid of the collection; none when the collection has none.
    TCustomDBGrid *Grid() const;
    TColumnValues AssignedFlags() const { return m_assigned; }
    bool IsPersistent() const { return m_persistent; }

    TAlignment Alignment() const;
    virtual void SetAlignment(TAlignment value);
    TColumnButtonStyle ButtonStyle() const { return m_buttonStyle; }
    void SetButtonStyle(TColumnButtonStyle value);
    QColor Color() const;
    void SetColor(const QColor &value);
    unsigned DropDownRows() const { return m_dropDownRows; }
    void SetDropDownRows(unsigned value) { m_dropDownRows = value; }
    bool Expanded() const;
    void SetExpanded(bool value);
    QString FieldName() const { return m_fieldName; }
    void SetFieldName(const QString &value);
    TFont &Font();
    void SetFont(const TFont &value);
    TImeMode ImeMode() const;
    virtual void SetImeMode(TImeMode value);
    QString ImeName() const;
    virtual void SetImeName(const QString &value);
    // Made on first read.
    QStringList &PickList();
    bool HasPickList() const { return m_pickList != nullptr; }
    // Null frees the list.
    void SetPickList(const QStringList *value);
    QMenu *PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu *menu);
    bool ReadOnly() const;
    virtual void SetReadOnly(bool value);
    TColumnTitle &Title() { return *m_title; }
    void SetTitle(const TColumnTitle &value) { m_title->TakeSettingsFrom(&value); }
    int Width() const;
    virtual void SetWidth(int value);
    bool Visible() const;
    void SetVisible(bool value);

    // The bound field, bound on first need from FieldName.
    TField *GetBoundField();
    TField *Field() { return GetBoundField(); }
    virtual void BindField(TField *field);
    QString ListCaption() const;
    virtual void TakeSettingsFrom(const TPersistent *source);
    virtual void ResetToDefaults();
    virtual void MoveToIndex(int index);
    int NaturalWidth();

    bool IsDisplayed() const;
    TColumn *EnclosingColumn() const;
    int NestingLevel() const;
    bool IsUnfoldable() const;

    QColor DefaultColor() const;
    TFont &DefaultFont() const;
    TAlignment DefaultAlignment() const;
    bool DefaultReadOnly() const;
    TImeMode DefaultImeMode() const;
    QString DefaultImeName() const;
    // Copies the default font into the own one while it is not assigned.
    void RefreshDefaultFont();
    // The item's change notification: this column, or the whole collection.
    void Changed(bool allItems);

protected:
    virtual std::unique_ptr<TColumnTitle> MakeTitle();

private:
    friend class TDBGridColumns;
    friend class TColumnTitle;
    friend class TCustomDBGrid;
    void FontChanged();
    // Keeps a value the program assigned and reports the change; the same
    // value assigned again changes nothing.
    template <class T> void StoreAssigned(TColumnValue flag, T &member, const T &value)
    {
        if ((m_assigned & flag) && value == member)
            return;
        member = value;
        m_assigned |= flag;
        Changed(false);
    }
    // Drops a bound field that no longer belongs to the grid's dataset.
    TField *LiveField() const;
    void StoreWidth(int value);

    TDBGridColumns *m_collection;
    TField *m_field = nullptr;
    QString m_fieldName;
    QColor m_color;
    int m_width = 0;
    std::unique_ptr<TColumnTitle> m_title;
    // Mutable: a column without grid is its own default font.
    mutable TFont m_font;
    TImeMode m_imeMode = imDontCare;
    QString m_imeName;
    std::unique_ptr<QStringList> m_pickList;
    QPointer<QMenu> m_popupMenu;
    unsigned m_dropDownRows = 7;
    TColumnButtonStyle m_buttonStyle = cbsAuto;
    TAlignment m_alignment = taLeftJustify;
    bool m_readOnly = false;
    TColumnValues m_assigned = 0;
    bool m_visible = true;
    bool m_expanded = true;
    bool m_persistent = true;
};

class TDBGridColumns
{
public:
    explicit TDBGridColumns(TCustomDBGrid *grid);
    virtual ~TDBGridColumns();
    TDBGridColumns(const TDBGridColumns &) = delete;
    TDBGridColumns &operator=(const TDBGridColumns &) = delete;

    TCustomDBGrid *Grid() const { return m_grid; }
    int Count() const { return int(m_items.size()); }
    TColumn *ColumnAt(int index) const { return m_items.at(std::size_t(index)).get(); }
    TColumn *operator[](int index) const { return ColumnAt(index); }
    int IndexOf(const TColumn *column) const;

    TColumn *AppendColumn();
    TColumn *AppendTransientColumn();
    void Clear();
    void Delete(int index);
    // Copies another collection's columns (persistent copies).
    void TakeSettingsFrom(const TDBGridColumns &source);
    // The item at `from` moves to `to`; the whole collection changes.
    void MoveItem(int from, int to);

    TDBGridColumnsState QueryState() const;
    void ChangeState(TDBGridColumnsState state);
    void RegenerateColumns();

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }
    virtual void ItemsChanged(TColumn *column);

protected:
    // Item factory; a derived collection may make derived columns.
    virtual std::unique_ptr<TColumn> MakeItem();

private:
    friend class TColumn;
    void ItemChanged(TColumn *column);
    TColumn *Append();
    // Takes the item out of the collection and frees it.
    void Free(std::size_t index);

    TCustomDBGrid *m_grid;
    std::vector<std::unique_ptr<TColumn>> m_items;
    int m_updateCount = 0;
    bool m_makingTransient = false;
};
