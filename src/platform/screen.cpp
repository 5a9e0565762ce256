#include "platform/screen.h"

#include <QApplication>
#include <QHash>

namespace {
QHash<int, QCursor> &Table()
{
    static QHash<int, QCursor> t;
    return t;
}
int g_active = crDefault;
} // namespace

QCursor Screen::Cursor(int id)
{
    const auto it = Table().constFind(id);
    if (it != Table().constEnd())
        return *it;
    switch (id) {
    case crHourGlass:
    case crSQLWait:
        return QCursor(Qt::WaitCursor);
    case crHandPoint:
        return QCursor(Qt::PointingHandCursor);
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

void Screen::SetCursor(int id, const QCursor &cursor)
{
    Table().insert(id, cursor);
}

void Screen::SetActiveCursor(int id)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    if (g_active != crDefault)
        QApplication::restoreOverrideCursor();
    g_active = id;
    if (id != crDefault)
        QApplication::setOverrideCursor(Cursor(id));
}

int Screen::ActiveCursor()
{
    return g_active;
}

TCursorGuard::TCursorGuard(int id) : m_previous(Screen::ActiveCursor())
{
    Screen::SetActiveCursor(id);
}

TCursorGuard::~TCursorGuard()
{
    Screen::SetActiveCursor(m_previous);
}
