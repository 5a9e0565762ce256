#pragma once
// Data-aware commands (first, prior, next, last, insert, delete, edit, post,
// cancel, refresh) as actions. Triggered, an action offers itself to the
// focused control first (a data grid hands it to its data link's source);
// when no control takes it, it works on its own data source, if it has one.

#include <QAction>

class TDataSource;
class QWidget;

enum TDataSetActionKind { daFirst, daPrior, daNext, daLast, daInsert, daDelete, daEdit, daPost, daCancel, daRefresh };

class TDataSetAction : public QAction
{
    Q_OBJECT
public:
    TDataSetAction(TDataSetActionKind kind, QObject *parent = nullptr);
    TDataSetActionKind Kind() const { return m_kind; }
    // None: the action works on the source of the control that takes it.
    TDataSource *DataSource() const { return m_dataSource; }
    void SetDataSource(TDataSource *source) { m_dataSource = source; }

    // Whether the action works on this source: its own source, or any source
    // with a dataset when it has none.
    bool HandlesTarget(const TDataSource *target) const;
    void ExecuteTarget(TDataSource *target);
    // Enables the action as the target's dataset allows.
    void UpdateTarget(TDataSource *target);

    // Runs the command: the focused control and its parents first.
    void Perform();
    // Brings the enabled state up to date the same way (call it when idle).
    void Refresh();

private:
    TDataSetActionKind m_kind;
    TDataSource *m_dataSource = nullptr;
};
