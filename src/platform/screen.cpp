#include "platform/screen.h"

#include "data/connection.h"
#include "platform/curfile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

namespace {

QHash<int, TCursorHandle> &Table()
{
    static QHash<int, TCursorHandle> t;
    return t;
}

int g_active = crDefault;
int g_step = 0;
QPointer<QTimer> g_timer;
QElapsedTimer g_stepShown; // valid while an animation runs

TCursorHandle ActiveHandle()
{
    return Table().value(g_active);
}

void StopAnimation()
{
    if (g_timer)
        g_timer->stop();
    g_step = 0;
    g_stepShown.invalidate();
}

void NextStep();

void StartAnimation()
{
    StopAnimation();
    const TCursorHandle h = ActiveHandle();
    if (!h || !h->IsAnimated())
        return;
    if (!g_timer) {
        g_timer = new QTimer(QCoreApplication::instance());
        g_timer->setSingleShot(true);
        QObject::connect(g_timer, &QTimer::timeout, g_timer, &NextStep);
    }
    g_timer->start(h->StepMs(0));
    g_stepShown.start();
}

void NextStep()
{
    const TCursorHandle h = ActiveHandle();
    if (!h || !h->IsAnimated())
        return;
    g_step = (g_step + 1) % h->StepCount();
    QApplication::changeOverrideCursor(h->Step(g_step));
    g_timer->start(h->StepMs(g_step));
    g_stepShown.start();
}

bool HaveGuiApplication()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace

TScreenCursor::TScreenCursor(const QCursor &cursor)
    : m_images{QImage()}, m_hotSpots{cursor.hotSpot()}, m_cursors{cursor}, m_frameOfStep{0}, m_ms{0}
{}

TScreenCursor::TScreenCursor(const TCursorFileData &data)
{
    for (const TCursorFrame &f : data.Frames) {
        m_images.append(f.Image);
        m_hotSpots.append(f.HotSpot);
    }
    m_cursors.resize(m_images.size());
    for (qsizetype i = 0; i < data.Sequence.size(); ++i) {
        m_frameOfStep.append(data.Sequence[i]);
        m_ms.append(JiffiesToMs(data.Jiffies.value(i)));
    }
}

const QCursor &TScreenCursor::Step(int i) const
{
    const int frame = m_frameOfStep[i];
    std::optional<QCursor> &cursor = m_cursors[frame];
    if (!cursor)
        cursor = QCursor(QPixmap::fromImage(m_images[frame]), m_hotSpots[frame].x(), m_hotSpots[frame].y());
    return *cursor;
}

TCursorHandle LoadCursorFromFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    const QByteArray bytes = file.readAll();
    TCursorFileData data;
    if (!ReadCursorFile(bytes, data, error))
        return {};
    return std::make_shared<const TScreenCursor>(data);
}

TCursorHandle LoadCursorResource(int id, QString *error)
{
    return LoadCursorFromFile(QStringLiteral(":/cursors/%1.cur").arg(id), error);
}

QCursor Screen::Cursor(int id)
{
    if (const TCursorHandle h = Table().value(id))
        return h->Step(0);
    switch (id) {
    case crHourGlass:
    case crSQLWait: return QCursor(Qt::WaitCursor);
    case crHandPoint: return QCursor(Qt::PointingHandCursor);
    default: return QCursor(Qt::ArrowCursor);
    }
}

void Screen::SetCursor(int id, const QCursor &cursor)
{
    SetCursorHandle(id, std::make_shared<const TScreenCursor>(cursor));
}

void Screen::SetCursorHandle(int id, TCursorHandle handle)
{
    if (handle)
        Table().insert(id, std::move(handle));
    else
        Table().remove(id);
    // The cursor on screen follows its entry.
    if (id == g_active && id != crDefault && HaveGuiApplication()) {
        QApplication::changeOverrideCursor(Cursor(id));
        StartAnimation();
    }
}

void Screen::ClearCursor(int id)
{
    SetCursorHandle(id, nullptr);
}

TCursorHandle Screen::CursorHandle(int id)
{
    return Table().value(id);
}

void Screen::SetActiveCursor(int id)
{
    if (!HaveGuiApplication())
        return;
    StopAnimation();
    if (g_active != crDefault)
        QApplication::restoreOverrideCursor();
    g_active = id;
    if (id != crDefault) {
        QApplication::setOverrideCursor(Cursor(id));
        StartAnimation();
    }
}

int Screen::ActiveCursor()
{
    return g_active;
}

int Screen::ActiveStep()
{
    return g_step;
}

void Screen::AnimateCursor()
{
    if (!g_stepShown.isValid())
        return;
    const TCursorHandle h = ActiveHandle();
    if (h && h->IsAnimated() && g_stepShown.elapsed() >= h->StepMs(g_step))
        NextStep();
}

void Screen::InstallSqlWaitCursor()
{
    TZConnection::TSqlWaitHooks hooks;
    // As a cursor guard does; without the wait cursor the one shown stays.
    hooks.begin = [](bool wait) {
        const int previous = ActiveCursor();
        SetActiveCursor(wait ? crSQLWait : previous);
        return previous;
    };
    hooks.end = [](int previous) { SetActiveCursor(previous); };
    hooks.step = [] { AnimateCursor(); };
    TZConnection::SetSqlWaitHooks(std::move(hooks));
}

TCursorGuard::TCursorGuard(int id) : m_previous(Screen::ActiveCursor())
{
    Screen::SetActiveCursor(id);
}

TCursorGuard::~TCursorGuard()
{
    Screen::SetActiveCursor(m_previous);
}
