#pragma once
// Waiting on the event loop for a condition, with a bound.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace testbus {

// Runs this process's event loop (so that its windows take their messages)
// until done holds or the time is up; true when done held.
inline bool RunUntil(const std::function<bool()> &done, int ms = 20000)
{
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

} // namespace testbus
