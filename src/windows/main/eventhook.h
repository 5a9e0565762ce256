#pragma once
// Hands one kind of event of a widget to a handler and lets the event go on;
// the hook lives as long as the widget.

#include "platform/application.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <functional>

class TEventHook : public QObject
{
public:
    TEventHook(QWidget *watched, QEvent::Type type, std::function<void(QEvent *)> handler)
        : QObject(watched), m_type(type), m_handler(std::move(handler))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            GuardedEvent([this, event] { m_handler(event); });
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void(QEvent *)> m_handler;
};
