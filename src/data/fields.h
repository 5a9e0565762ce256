#pragma once
// Fields of a dataset: each names one value of the current record and turns it
// into text for display or editing. Fields are either declared in code before
// the dataset opens (persistent) or made by the dataset from its columns when
// none were declared (automatic). A field never holds a value itself: it reads
// and writes the record buffer its dataset points it at.

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class TDataSet;

enum TFieldType {
    ftUnknown,
    ftInteger,  // 32-bit signed
    ftLargeint, // 64-bit signed
    ftFloat,    // double
    ftString,   // text cut to Size characters
    ftMemo,     // text of any length
    ftADT,      // object field: a parent of sub-fields
    ftDataSet,  // nested dataset
    ftReference,
    ftArray,
    ftBlob,
    ftBytes,
    ftVarBytes,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
};

enum TFieldKind { fkData, fkCalculated, fkLookup };

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TField;
// text: the text to give; displayText: true for display, false for editing.
using TFieldGetTextEvent = std::function<void(TField &sender, QString &text, bool displayText)>;
using TFieldSetTextEvent = std::function<void(TField &sender, const QString &text)>;

class TField
{
public:
    explicit TField(TFieldType type = ftUnknown, int size = 0);
    virtual ~TField();
    TField(const TField &) = delete;
    TField &operator=(const TField &) = delete;

    // --- identity ---
    const QString &FieldName() const { return m_fieldName; }
    void SetFieldName(const QString &name);
    // Name with the names of the parent object fields, dot-separated.
    QString FullName() const;
    TFieldType DataType() const { return m_dataType; }
    TFieldKind FieldKind() const { return m_fieldKind; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return m_fieldKind == fkCalculated; }
    bool Lookup() const { return m_fieldKind == fkLookup; }
    // Characters kept by a string field; 0 for other types.
    int Size() const { return m_size; }
    void SetSize(int size);
    TDataSet *DataSet() const { return m_dataSet; }
    // Index in the dataset's flat field list; -1 while unattached.
    int Index() const { return m_index; }
    // The field moves, with its sub-fields, to the place among its siblings
    // that holds flat index `index`; the controls lay out again.
    void SetIndex(int index);
    // Parent object field, or null.
    TField *ParentField() const { return m_parent; }

    // --- display properties ---
    QString DisplayLabel() const; // FieldName when none was given
    void SetDisplayLabel(const QString &label);
    QString DisplayName() const { return DisplayLabel(); }
    int DisplayWidth() const; // characters
    void SetDisplayWidth(int width);
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment alignment);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    QString EditMask() const { return m_editMask; }
    void SetEditMask(const QString &mask) { m_editMask = mask; }

    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

    // --- value of the dataset's current record (or of the record whose
    // calculated fields are being computed). Without a record every getter
    // gives the empty value: "", 0, 0.0, null. ---
    bool IsNull() const;
    QVariant Value() const;
    QString AsString() const;
    int AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
    bool AsBoolean() const;
    // Setters need a dataset in edit or insert state, or a calculated field
    // during the calculated-fields handler; otherwise EDatabaseError.
    void SetValue(const QVariant &value);
    void SetAsString(const QString &value);
    void SetAsInteger(int value);
    void SetAsLargeInt(qint64 value);
    void SetAsFloat(double value);
    void Clear();

    // The text shown in a grid cell (OnGetText with displayText true).
    QString DisplayText() const;
    // The text an editor starts from (OnGetText with displayText false).
    QString Text() const;
    // Takes an editor's text (OnSetText when given).
    void SetText(const QString &text);
    // Whether an editor may accept this character for the field.
    virtual bool IsValidChar(QChar c) const;
    // Not read-only, and the dataset can be modified (calculated fields only
    // while they are being calculated).
    bool CanModify() const;
    // Asks the controls showing this field to take the focus.
    void FocusControl();

    // --- lookup fields ---
    QString KeyFields; // field(s) of this dataset holding the key
    TDataSet *LookupDataSet = nullptr;
    QString LookupKeyFields;   // key field of the lookup dataset
    QString LookupResultField; // field of the lookup dataset shown

    // --- object fields: sub-fields (only ftADT/ftDataSet fields have any) ---
    const std::vector<TField *> &Fields() const { return m_children; }
    // The dataset of a nested-dataset field.
    TDataSet *NestedDataSet() const { return m_nested; }
    void SetNestedDataSet(TDataSet *ds) { m_nested = ds; }
    // Adds a sub-field; the parent owns it.
    TField *AddChild(std::unique_ptr<TField> child);

    // Tells an observer (a control bound to the field) when the field is
    // destroyed; automatic fields die when their dataset closes. One callback
    // per observer; registering again replaces it.
    void FreeNotification(const void *observer, std::function<void(TField &)> callback);
    void RemoveFreeNotification(const void *observer);

protected:
    // Converts any value to this field's stored type (strings cut to Size).
    virtual QVariant Coerce(const QVariant &value) const;
    virtual QString FormatText(const QVariant &v) const;

private:
    friend class TDataSet;
    // Stores a property the grids lay out by and tells them when it changed.
    template <class T> void SetLayout(T &member, const T &value);

    QString m_fieldName;
    QString m_displayLabel;
    QString m_editMask;
    TFieldType m_dataType;
    TFieldKind m_fieldKind = fkData;
    int m_size = 0;
    int m_displayWidth = -1; // -1: by type
    TAlignment m_alignment = taLeftJustify;
    bool m_visible = true;
    bool m_readOnly = false;
    TDataSet *m_dataSet = nullptr;
    int m_index = -1;
    int m_column = -1; // source column of a data field while open
    TField *m_parent = nullptr;
    TDataSet *m_nested = nullptr;
    std::vector<TField *> m_children;
    std::vector<std::unique_ptr<TField>> m_ownedChildren;
    std::vector<std::pair<const void *, std::function<void(TField &)>>> m_freeNotifications;
};

class TIntegerField : public TField
{
public:
    TIntegerField() : TField(ftInteger) {}
    bool IsValidChar(QChar c) const override;
};

class TLargeintField : public TField
{
public:
    TLargeintField() : TField(ftLargeint) {}
    bool IsValidChar(QChar c) const override;
};

class TFloatField : public TField
{
public:
    TFloatField() : TField(ftFloat) {}
    bool IsValidChar(QChar c) const override;
};

class TStringField : public TField
{
public:
    explicit TStringField(int size = 20) : TField(ftString, size) {}
};

class TMemoField : public TField
{
public:
    TMemoField() : TField(ftMemo) {}
};

// Parent of sub-fields (object view of a structured column).
class TObjectField : public TField
{
public:
    explicit TObjectField(TFieldType type = ftADT) : TField(type) {}
};

// Makes a field object of a type (automatic fields, declared fields).
std::unique_ptr<TField> CreateField(TFieldType type, int size = 0);

// A column as the dataset's source describes it.
struct TFieldDef {
    QString Name;
    TFieldType DataType = ftUnknown;
    int Size = 0;
};
