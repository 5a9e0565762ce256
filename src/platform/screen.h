#pragma once
// The screen's cursor table: cursors by id, as the original framework kept
// them, plus the cursor shown over the whole application.

#include <QCursor>

// Stock ids
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;
constexpr int crSQLWait = -19; // while a database statement runs
constexpr int crHandPoint = -21;

namespace Screen {
QCursor Cursor(int id);
void SetCursor(int id, const QCursor &cursor);
// A cursor picture the program carries, by resource name ("ZOOM_CURSOR",
// "HAND_CURSOR"); the arrow for a name it does not carry.
QCursor LoadProgramCursor(const QString &name);
// Application-wide cursor; crDefault removes the override.
void SetActiveCursor(int id);
int ActiveCursor();
} // namespace Screen

// Shows a cursor for the life of the object and restores the previous one.
class TCursorGuard
{
public:
    explicit TCursorGuard(int id);
    ~TCursorGuard();
    TCursorGuard(const TCursorGuard &) = delete;
    TCursorGuard &operator=(const TCursorGuard &) = delete;

private:
    int m_previous;
};
