#pragma once
// TDBText: a label that shows one field of its data source's current record
// and follows the record as it moves. The hint (tool tip) is kept apart from
// the switch that shows it, so a window can set it before turning it on.

#include "data/datasource.h"

#include <QLabel>

#include <functional>

class TDBText : public QLabel
{
    Q_OBJECT
public:
    explicit TDBText(QWidget *parent = nullptr);
    ~TDBText() override;

    TDataSource *DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource *source);
    QString DataField() const { return m_dataField; }
    void SetDataField(const QString &name);
    // The bound field of the open dataset; null when there is none.
    TField *Field() const;
    // The text the field gives for display; empty without a record.
    QString FieldText() const;

    QString Hint() const { return m_hint; }
    void SetHint(const QString &hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool show);

    std::function<void(TDBText *sender)> OnMouseMove;

protected:
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    class TLink : public TDataLink
    {
    public:
        explicit TLink(TDBText *owner) : m_owner(owner) {}

    protected:
        void HandleActiveChange() override { m_owner->UpdateText(); }
        void HandleRecordChange(TField *) override { m_owner->UpdateText(); }

    private:
        TDBText *m_owner;
    };

    void UpdateText();
    void UpdateToolTip();

    TLink m_link{this};
    QString m_dataField;
    QString m_hint;
    bool m_showHint = false;
};
