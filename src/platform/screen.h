#pragma once
// The screen's cursor table: cursors by id, as the original framework kept
// them, plus the cursor shown over the whole application. An entry may be
// an animated cursor; while it is the application's cursor a timer steps
// through its frames.

#include <QCursor>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

struct TCursorFileData;

// Stock ids
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;
constexpr int crSQLWait = -17; // while a database statement runs
constexpr int crHandPoint = -21;

// A loaded cursor: one step for a static cursor, several for an animated
// one. The cursor of a frame is made when it is first shown (it needs the
// GUI application then).
class TScreenCursor
{
public:
    explicit TScreenCursor(const QCursor &cursor);
    explicit TScreenCursor(const TCursorFileData &data);

    int StepCount() const { return int(m_frameOfStep.size()); }
    const QCursor &Step(int i) const;
    int StepMs(int i) const { return m_ms[i]; }
    bool IsAnimated() const { return m_frameOfStep.size() > 1; }

private:
    QList<QImage> m_images;
    QList<QPoint> m_hotSpots;
    mutable QList<std::optional<QCursor>> m_cursors; // by frame
    QList<int> m_frameOfStep;
    QList<int> m_ms;
};

// A cursor handle: null when loading failed.
using TCursorHandle = std::shared_ptr<const TScreenCursor>;

// The cursor in a cursor file (animated or not); null on failure with the
// reason in error.
TCursorHandle LoadCursorFromFile(const QString &path, QString *error = nullptr);
// The program's cursor resource number id (":/cursors/<id>.cur").
TCursorHandle LoadCursorResource(int id, QString *error = nullptr);

namespace Screen {
// The entry's cursor (the first step of an animated one).
QCursor Cursor(int id);
void SetCursor(int id, const QCursor &cursor);
// A cursor picture the program carries, by resource name ("ZOOM_CURSOR",
// "HAND_CURSOR"); the arrow for a name it does not carry.
QCursor LoadProgramCursor(const QString &name);
// The table takes over the handle; a null handle clears the entry, which
// then shows the default cursor again.
void SetCursorHandle(int id, TCursorHandle handle);
void ClearCursor(int id);
// The entry's handle; null when the entry holds none.
TCursorHandle CursorHandle(int id);
// Application-wide cursor; crDefault removes the override.
void SetActiveCursor(int id);
int ActiveCursor();
// The step of the active cursor's animation on screen now.
int ActiveStep();
// Moves the animation on when its step is due; for work that holds the
// event loop (the timer cannot fire then). Cheap when nothing animates.
void AnimateCursor();
// Shows the SQL-wait cursor while a database statement runs and steps its
// animation inside long ones: hooks it into the connections (the
// application object does at start-up).
void InstallSqlWaitCursor();
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
