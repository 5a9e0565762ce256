#include "data/fields.h"

#include "data/dataset.h"
#include "data/dberror.h"

#include <cmath>
#include <optional>

// The whole number in a value, cut towards zero (texts also as "12.0").
static std::optional<qint64> WholeNumber(const QVariant &value)
{
    bool ok = false;
    const qint64 n = value.typeId() == QMetaType::Double ? qint64(value.toDouble()) : value.toLongLong(&ok);
    if (value.typeId() == QMetaType::QString && !ok) {
        const QString s = value.toString().trimmed();
        if (s.isEmpty())
            return std::nullopt;
        const double d = s.toDouble(&ok);
        if (!ok)
            throw EDatabaseError(QStringLiteral("'%1' is not a valid integer value").arg(s));
        return qint64(d);
    }
    return n;
}

TField::TField(TFieldType type, int size) : m_dataType(type), m_size(size)
{
    if (type == ftInteger || type == ftLargeint || type == ftFloat)
        m_alignment = taRightJustify;
}

TField::~TField()
{
    // Sub-fields go first, so observers never see a child outlive its parent.
    m_children.clear();
    m_ownedChildren.clear();
    auto observers = std::move(m_freeNotifications);
    for (auto &o : observers)
        o.second(*this);
}

void TField::FreeNotification(const void *observer, std::function<void(TField &)> callback)
{
    for (auto &o : m_freeNotifications) {
        if (o.first == observer) {
            o.second = std::move(callback);
            return;
        }
    }
    m_freeNotifications.emplace_back(observer, std::move(callback));
}

void TField::RemoveFreeNotification(const void *observer)
{
    std::erase_if(m_freeNotifications, [observer](const auto &o) { return o.first == observer; });
}

void TField::SetFieldName(const QString &name)
{
    m_fieldName = name;
}

QString TField::FullName() const
{
    return m_parent ? m_parent->FullName() + u'.' + m_fieldName : m_fieldName;
}

void TField::SetFieldKind(TFieldKind kind)
{
    m_fieldKind = kind;
}

void TField::SetSize(int size)
{
    if (m_dataSet && m_dataSet->Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an open dataset"));
    m_size = size;
}

QString TField::DisplayLabel() const
{
    return m_displayLabel.isEmpty() ? m_fieldName : m_displayLabel;
}

template <class T> void TField::SetLayout(T &member, const T &value)
{
    if (value == member)
        return;
    member = value;
    if (m_dataSet)
        m_dataSet->DataEvent(deLayoutChange);
}

void TField::SetIndex(int index)
{
    if (m_dataSet)
        m_dataSet->MoveField(this, index);
}

void TField::SetDisplayLabel(const QString &label)
{
    SetLayout(m_displayLabel, label);
}

int TField::DisplayWidth() const
{
    if (m_displayWidth >= 0)
        return m_displayWidth;
    switch (m_dataType) {
    case ftString: return m_size;
    case ftInteger: return 10;
    case ftLargeint: return 15;
    default: return 10;
    }
}

void TField::SetDisplayWidth(int width)
{
    SetLayout(m_displayWidth, width);
}

void TField::SetAlignment(TAlignment alignment)
{
    SetLayout(m_alignment, alignment);
}

void TField::SetVisible(bool visible)
{
    SetLayout(m_visible, visible);
}

QVariant TField::Value() const
{
    return m_dataSet ? m_dataSet->FieldValue(*this) : QVariant();
}

bool TField::IsNull() const
{
    const QVariant v = Value();
    return !v.isValid() || v.isNull();
}

QString TField::AsString() const
{
    return FormatText(Value());
}

QString TField::FormatText(const QVariant &v) const
{
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

int TField::AsInteger() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double)
        return int(v.toDouble());
    return int(v.toLongLong());
}

qint64 TField::AsLargeInt() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double)
        return qint64(v.toDouble());
    return v.toLongLong();
}

double TField::AsFloat() const
{
    const QVariant v = Value();
    return (!v.isValid() || v.isNull()) ? 0.0 : v.toDouble();
}

bool TField::AsBoolean() const
{
    const QVariant v = Value();
    if (!v.isValid() || v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString().trimmed();
        return s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || s.toLongLong() != 0;
    }
    return v.toDouble() != 0;
}

QVariant TField::Coerce(const QVariant &value) const
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (m_dataType) {
    case ftInteger:
    case ftLargeint: {
        const std::optional<qint64> n = WholeNumber(value);
        if (!n)
            return QVariant();
        return m_dataType == ftInteger ? QVariant(int(*n)) : QVariant(*n);
    }
    case ftFloat: {
        if (value.typeId() == QMetaType::QString) {
            const QString s = value.toString().trimmed();
            if (s.isEmpty())
                return QVariant();
            bool ok = false;
            const double d = QString(s).replace(u',', u'.').toDouble(&ok);
            if (!ok)
                throw EDatabaseError(QStringLiteral("'%1' is not a valid floating point value").arg(s));
            return d;
        }
        return value.toDouble();
    }
    case ftString: {
        QString s = FormatText(value);
        if (m_size > 0 && s.size() > m_size)
            s.truncate(m_size);
        return s;
    }
    case ftMemo: return FormatText(value);
    default: return value;
    }
}

void TField::SetValue(const QVariant &value)
{
    if (!m_dataSet)
        throw EDatabaseError(QStringLiteral("Field '%1' has no dataset").arg(m_fieldName));
    m_dataSet->SetFieldValue(*this, Coerce(value));
}

void TField::SetAsString(const QString &value)
{
    SetValue(value);
}

void TField::SetAsInteger(int value)
{
    SetValue(value);
}

void TField::SetAsLargeInt(qint64 value)
{
    SetValue(value);
}

void TField::SetAsFloat(double value)
{
    SetValue(value);
}

void TField::Clear()
{
    SetValue(QVariant());
}

QString TField::DisplayText() const
{
    QString text = AsString();
    if (OnGetText)
        OnGetText(const_cast<TField &>(*this), text, true);
    return text;
}

QString TField::Text() const
{
    QString text = AsString();
    if (OnGetText)
        OnGetText(const_cast<TField &>(*this), text, false);
    return text;
}

void TField::SetText(const QString &text)
{
    if (OnSetText)
        OnSetText(*this, text);
    else
        SetAsString(text);
}

bool TField::IsValidChar(QChar c) const
{
    (void)c;
    return true;
}

bool TIntegerField::IsValidChar(QChar c) const
{
    return c.isDigit() || c == u'+' || c == u'-';
}

bool TLargeintField::IsValidChar(QChar c) const
{
    return c.isDigit() || c == u'+' || c == u'-';
}

bool TFloatField::IsValidChar(QChar c) const
{
    return c.isDigit() || c == u'+' || c == u'-' || c == u'.' || c == u',' || c == u'e' || c == u'E';
}

bool TField::CanModify() const
{
    if (m_readOnly || !m_dataSet)
        return false;
    if (m_fieldKind == fkCalculated)
        return m_dataSet->State() == dsCalcFields;
    if (m_fieldKind == fkLookup)
        return false;
    return m_dataSet->CanModify();
}

void TField::FocusControl()
{
    if (!m_dataSet || !m_dataSet->Active())
        return;
    TField *self = this;
    m_dataSet->DataEvent(deFocusControl, reinterpret_cast<qintptr>(&self));
}

TField *TField::AddChild(std::unique_ptr<TField> child)
{
    TField *f = child.get();
    f->m_parent = this;
    m_children.push_back(f);
    m_ownedChildren.push_back(std::move(child));
    return f;
}

std::unique_ptr<TField> CreateField(TFieldType type, int size)
{
    switch (type) {
    case ftInteger: return std::make_unique<TIntegerField>();
    case ftLargeint: return std::make_unique<TLargeintField>();
    case ftFloat: return std::make_unique<TFloatField>();
    case ftString: return std::make_unique<TStringField>(size > 0 ? size : 20);
    case ftMemo: return std::make_unique<TMemoField>();
    case ftADT:
    case ftDataSet: return std::make_unique<TObjectField>(type);
    default: return std::make_unique<TField>(type, size);
    }
}
