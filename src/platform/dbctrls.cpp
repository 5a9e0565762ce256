#include "platform/dbctrls.h"

#include "platform/application.h"

#include <QMouseEvent>

TDBText::TDBText(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    m_link.VisualControl = true;
}

TDBText::~TDBText() = default;

void TDBText::SetDataSource(TDataSource *source)
{
    m_link.SetDataSource(source);
    UpdateText();
}

void TDBText::SetDataField(const QString &name)
{
    m_dataField = name;
    UpdateText();
}

TField *TDBText::Field() const
{
    // Looked up each time: the fields of a dataset without declared fields
    // die when it closes.
    if (!m_link.Active() || m_dataField.isEmpty())
        return nullptr;
    return m_link.DataSet()->FindField(m_dataField);
}

QString TDBText::FieldText() const
{
    const TField *field = Field();
    return field ? field->DisplayText() : QString();
}

void TDBText::UpdateText()
{
    const QString text = FieldText();
    if (text != QLabel::text())
        setText(text);
}

void TDBText::SetHint(const QString &hint)
{
    m_hint = hint;
    UpdateToolTip();
}

void TDBText::SetShowHint(bool show)
{
    m_showHint = show;
    UpdateToolTip();
}

void TDBText::UpdateToolTip()
{
    setToolTip(m_showHint ? m_hint : QString());
}

void TDBText::mouseMoveEvent(QMouseEvent *event)
{
    if (OnMouseMove)
        GuardedEvent([this] { OnMouseMove(this); });
    QLabel::mouseMoveEvent(event);
}
