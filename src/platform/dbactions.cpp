#include "platform/dbactions.h"

#include "platform/application.h"
#include "data/datasource.h"
#include "platform/grid.h"

#include <QApplication>
#include <QWidget>

TDataSetAction::TDataSetAction(TDataSetActionKind kind, QObject *parent) : QAction(parent), m_kind(kind)
{
    connect(this, &QAction::triggered, this, GuardedSlot([this] { Perform(); }));
}

bool TDataSetAction::HandlesTarget(const TDataSource *target) const
{
    if (!target || !target->DataSet())
        return false;
    return !m_dataSource || m_dataSource == target;
}

void TDataSetAction::ExecuteTarget(TDataSource *target)
{
    TDataSet *ds = target->DataSet();
    switch (m_kind) {
    case daFirst: ds->First(); break;
    case daPrior: ds->Prior(); break;
    case daNext: ds->Next(); break;
    case daLast: ds->Last(); break;
    case daInsert: ds->Insert(); break;
    case daDelete: ds->Delete(); break;
    case daEdit: ds->Edit(); break;
    case daPost: ds->Post(); break;
    case daCancel: ds->Cancel(); break;
    case daRefresh: ds->Refresh(); break;
    }
}

void TDataSetAction::UpdateTarget(TDataSource *target)
{
    const TDataSet *ds = target->DataSet();
    const bool active = ds->Active();
    const bool editing = ds->State() == dsEdit || ds->State() == dsInsert;
    bool enabled = false;
    switch (m_kind) {
    case daFirst:
    case daPrior: enabled = active && !ds->Bof(); break;
    case daNext:
    case daLast: enabled = active && !ds->Eof(); break;
    case daInsert: enabled = active && ds->CanModify(); break;
    case daDelete: enabled = active && ds->CanModify() && !ds->IsEmpty(); break;
    case daEdit: enabled = active && ds->CanModify() && !editing; break;
    case daPost:
    case daCancel: enabled = editing; break;
    case daRefresh: enabled = active; break;
    }
    setEnabled(enabled);
}

namespace {
// The first grid from the focused widget up its parents that takes the
// action; false when none does.
template <class F> bool OfferToFocus(F &&offer)
{
    for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto *grid = qobject_cast<TBaseGrid *>(w); grid && offer(*grid))
            return true;
    return false;
}
} // namespace

void TDataSetAction::Perform()
{
    if (OfferToFocus([this](TBaseGrid &grid) { return grid.PerformAction(this); }))
        return;
    if (HandlesTarget(m_dataSource))
        ExecuteTarget(m_dataSource);
}

void TDataSetAction::Refresh()
{
    if (OfferToFocus([this](TBaseGrid &grid) { return grid.RefreshActionState(this); }))
        return;
    if (HandlesTarget(m_dataSource))
        UpdateTarget(m_dataSource);
    else
        setEnabled(false);
}
