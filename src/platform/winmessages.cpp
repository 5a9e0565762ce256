#include "platform/winmessages.h"

#include "platform/application.h"
#include "platform/sessionbus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMap>
#include <QPointer>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimer>

namespace {

// How much longer the bus library waits than our own deadline.
constexpr int kBusTimeoutMargin = 500;

// Each window owns the bus name kService + ".h" + handle and answers at
// kPath + "/h" + handle.
const QString kService = QStringLiteral("org.selbran.Window");
const QString kPath = QStringLiteral("/org/selbran/Window");
// Registered messages: the member is the message's name; arguments WParam
// and LParam, the answer the result.
const QString kRegisteredInterface = QStringLiteral("org.selbran.RegisteredMessage");
// WM_COPYDATA: arguments the sender's handle, dwData, cbData and the bytes.
const QString kSystemInterface = QStringLiteral("org.selbran.WindowMessage");
const QString kCopyDataMember = QStringLiteral("WM_COPYDATA");

constexpr quint32 kFirstRegistered = 0xC000;
constexpr quint32 kLastRegistered = 0xFFFF;
constexpr int kMaxNameLength = 255;

QStringList &RegisteredNames()
{
    static QStringList names;
    return names;
}

QString RegisteredName(quint32 msg)
{
    const QStringList &names = RegisteredNames();
    if (msg < kFirstRegistered || msg - kFirstRegistered >= quint32(names.size()))
        return {};
    return names[msg - kFirstRegistered];
}

bool IsMemberName(const QString &name)
{
    if (name.isEmpty() || name.size() > kMaxNameLength || name[0].isDigit())
        return false;
    for (QChar c : name)
        if (!(c == u'_' || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    return true;
}

QString ServiceOf(TWindowHandle handle)
{
    return kService + QStringLiteral(".h") + QString::number(handle);
}

QString PathOf(TWindowHandle handle)
{
    return kPath + QStringLiteral("/h") + QString::number(handle);
}

// The handle in a bus name of ours, 0 for any other name.
TWindowHandle HandleOfService(const QString &service)
{
    const QString prefix = kService + QStringLiteral(".h");
    if (!service.startsWith(prefix))
        return 0;
    bool ok = false;
    const TWindowHandle handle = service.mid(prefix.size()).toLongLong(&ok);
    return ok && handle > 0 ? handle : 0;
}

class TBusLink;
TBusLink *g_link = nullptr;

// How long a window waits for a look at a bus that this run has not looked
// at yet; a live bus answers well within it.
constexpr int kQuickLookMs = 400;

// Takes the calls to one window off the bus and hands them to the thread
// of the application object, whichever thread the bus library calls from.
class TWindowObject : public QDBusVirtualObject
{
public:
    TWindowObject(TWindowHandle handle, QObject *receiver) : m_handle(handle), m_receiver(receiver) {}
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override;
    QString introspect(const QString &) const override { return {}; }

private:
    TWindowHandle m_handle;
    QPointer<QObject> m_receiver;
};

// The program's side of the bus: one connection while any window of ours
// exists, so that a later window connects to the bus its environment names.
class TBusLink : public QObject
{
public:
    // The session bus the environment names now: the bus library reads it
    // once per process, and a later window must reach the bus of its own
    // time. A bus that takes the connection and never answers would hold the
    // bus library for good: such a bus counts as none. What the start found
    // out about the bus holds for the whole run; a bus it did not look at is
    // looked at on a thread of its own, and the windows made meanwhile go on
    // the bus once it has answered.
    TBusLink()
    {
        static int serial = 0;
        m_name = QStringLiteral("trevin-window-messages-") + QString::number(++serial);
        const QString address = SessionBusAddress();
        if (address.isEmpty()) {
            Open(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_name));
            return;
        }
        if (const std::optional<bool> silent = SessionBusFoundSilentWithin(address, kQuickLookMs)) {
            Open(address, *silent);
            return;
        }
        auto *poll = new QTimer(this);
        poll->setInterval(20);
        connect(poll, &QTimer::timeout, this, [this, poll, address] {
            const std::optional<bool> silent = SessionBusFoundSilentWithin(address, 0);
            if (!silent)
                return;
            poll->stop();
            Open(address, *silent);
            if (m_connection)
                for (TWindowHandle handle : m_windows.keys())
                    Publish(handle);
        });
        poll->start();
    }
    ~TBusLink() override
    {
        m_connection.reset();
        QDBusConnection::disconnectFromBus(m_name);
    }

    // A new handle for the window, on the bus when the bus is there.
    TWindowHandle Attach(TMessageWindow *window)
    {
        TWindowHandle handle = 0;
        for (int attempt = 0; attempt < 64; ++attempt) {
            handle = QRandomGenerator::global()->bounded(qint64(HWND_BROADCAST) + 1, qint64(0x7FFFFFFF));
            if (m_windows.contains(handle))
                continue;
            if (!m_connection || Publish(handle) != TPublished::Taken)
                break;
        }
        m_windows.insert(handle, window);
        return handle;
    }

    bool OnBus(TWindowHandle handle) const { return m_objects.contains(handle); }

    // True when no window is left.
    bool Detach(TWindowHandle handle)
    {
        m_windows.remove(handle);
        if (TWindowObject *object = m_objects.take(handle)) {
            m_connection->unregisterObject(PathOf(handle));
            m_connection->interface()->unregisterService(ServiceOf(handle));
            delete object;
        }
        return m_windows.isEmpty();
    }

    TMessageWindow *Window(TWindowHandle handle) const { return m_windows.value(handle); }
    QList<TWindowHandle> Handles() const { return m_windows.keys(); }
    QDBusConnection *Connection() const { return m_connection.get(); }

    // A call that arrived for one of our windows.
    void Deliver(TWindowHandle handle, const QDBusMessage &call, const QDBusConnection &connection)
    {
        const QList<QVariant> args = call.arguments();
        TWindowMessage message;
        TCopyDataStruct data;
        QByteArray bytes;
        bool known = false;
        if (call.interface() == kRegisteredInterface && args.size() == 2) {
            message.Msg = RegisterWindowMessageA(call.member());
            known = message.Msg != 0;
        } else if (call.interface() == kSystemInterface && call.member() == kCopyDataMember && args.size() == 4) {
            bytes = args[3].toByteArray();
            data.dwData = args[1].toULongLong();
            // The block ends where the bytes that came end, whatever the
            // sender claimed.
            data.cbData = quint32(qMin<qint64>(args[2].toUInt(), bytes.size()));
            data.lpData = bytes.constData();
            message.Msg = WM_COPYDATA;
            message.LParam = qint64(reinterpret_cast<quintptr>(&data));
            known = true;
        }
        TMessageWindow *window = Window(handle);
        if (!known || !window) {
            if (call.isReplyRequired())
                connection.send(call.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("unknown message")));
            return;
        }
        message.WParam = args[0].toLongLong();
        if (message.Msg != WM_COPYDATA)
            message.LParam = args[1].toLongLong();
        window->Dispatch(message);
        if (call.isReplyRequired())
            connection.send(call.createReply(QVariant::fromValue<qlonglong>(message.Result)));
    }

private:
    void Open(const QDBusConnection &connection)
    {
        m_connection = std::make_unique<QDBusConnection>(connection);
        if (!m_connection->isConnected() || !m_connection->interface())
            m_connection.reset();
    }
    void Open(const QString &address, bool silent)
    {
        Open(silent ? QDBusConnection(m_name) : QDBusConnection::connectToBus(address, m_name));
    }

    enum class TPublished { Yes, Taken, Failed };
    // Takes the handle's name on the bus and answers for it there.
    TPublished Publish(TWindowHandle handle)
    {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
            m_connection->interface()->registerService(ServiceOf(handle), QDBusConnectionInterface::DontQueueService,
                                                       QDBusConnectionInterface::DontAllowReplacement);
        if (!reply.isValid())
            return TPublished::Failed; // the bus does not answer: this program only
        if (reply.value() != QDBusConnectionInterface::ServiceRegistered)
            return TPublished::Taken; // another program's handle
        auto *object = new TWindowObject(handle, this);
        if (!m_connection->registerVirtualObject(PathOf(handle), object, QDBusConnection::SingleNode)) {
            delete object;
            m_connection->interface()->unregisterService(ServiceOf(handle));
            return TPublished::Failed;
        }
        m_objects.insert(handle, object);
        return TPublished::Yes;
    }

    QString m_name;
    std::unique_ptr<QDBusConnection> m_connection;
    QMap<TWindowHandle, TMessageWindow *> m_windows;
    QMap<TWindowHandle, TWindowObject *> m_objects;
};

bool TWindowObject::handleMessage(const QDBusMessage &message, const QDBusConnection &connection)
{
    if (message.type() != QDBusMessage::MethodCallMessage || !m_receiver)
        return false;
    message.setDelayedReply(true);
    const TWindowHandle handle = m_handle;
    QMetaObject::invokeMethod(
        m_receiver.data(),
        [handle, message, connection] {
            if (g_link)
                g_link->Deliver(handle, message, connection);
        },
        Qt::QueuedConnection);
    return true;
}

QDBusMessage RemoteCall(TWindowHandle wnd, quint32 msg, qint64 wParam, qint64 lParam)
{
    if (msg == WM_COPYDATA) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(ServiceOf(wnd), PathOf(wnd), kSystemInterface, kCopyDataMember);
        const auto *data = reinterpret_cast<const TCopyDataStruct *>(quintptr(lParam));
        const QByteArray bytes = data && data->lpData
                                     ? QByteArray(static_cast<const char *>(data->lpData), qsizetype(data->cbData))
                                     : QByteArray();
        call << qlonglong(wParam) << qulonglong(data ? data->dwData : 0) << uint(bytes.size()) << bytes;
        call.setAutoStartService(false);
        return call;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(ServiceOf(wnd), PathOf(wnd), kRegisteredInterface, RegisteredName(msg));
    call << qlonglong(wParam) << qlonglong(lParam);
    call.setAutoStartService(false);
    return call;
}

// Waits until every call has its answer or the deadline passes. Calls sent
// to this program are handled meanwhile (they arrive as queued calls);
// user input waits, as it does while another program handles a message.
void WaitForReplies(const QList<QDBusPendingCall> &calls, const QDeadlineTimer &deadline)
{
    const auto allDone = [&calls] {
        for (const QDBusPendingCall &c : calls)
            if (!c.isFinished())
                return false;
        return true;
    };
    if (allDone() || deadline.hasExpired())
        return;
    QEventLoop loop;
    QList<QDBusPendingCallWatcher *> watchers;
    for (const QDBusPendingCall &c : calls) {
        auto *watcher = new QDBusPendingCallWatcher(c, &loop);
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &loop, [&loop, allDone] {
            if (allDone())
                loop.quit();
        });
    }
    // Precise: a coarse timer of two seconds may end the wait early.
    QTimer::singleShot(qMax<qint64>(0, deadline.remainingTime()), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    if (!allDone())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

qint64 DeliverHere(TWindowHandle wnd, quint32 msg, qint64 wParam, qint64 lParam)
{
    TMessageWindow *window = g_link ? g_link->Window(wnd) : nullptr;
    if (!window)
        return 0;
    TWindowMessage message{msg, wParam, lParam, 0};
    window->Dispatch(message);
    return message.Result;
}

bool CanTravel(quint32 msg)
{
    return msg == WM_COPYDATA || !RegisteredName(msg).isEmpty();
}

} // namespace

TMessageWindow::TMessageWindow(TWindowProc proc) : m_proc(std::move(proc))
{
    if (!g_link)
        g_link = new TBusLink();
    m_handle = g_link->Attach(this);
}

bool TMessageWindow::OnBus() const
{
    return g_link && g_link->OnBus(m_handle);
}

TMessageWindow::~TMessageWindow()
{
    if (g_link && g_link->Detach(m_handle)) {
        delete g_link;
        g_link = nullptr;
    }
}

void TMessageWindow::Dispatch(TWindowMessage &message)
{
    if (!m_proc)
        return;
    try {
        m_proc(message);
    } catch (...) {
        TApplication::HandleSlotException();
    }
}

quint32 RegisterWindowMessageA(const QString &name)
{
    if (!IsMemberName(name))
        return 0;
    QStringList &names = RegisteredNames();
    const qsizetype index = names.indexOf(name);
    if (index >= 0)
        return kFirstRegistered + quint32(index);
    if (kFirstRegistered + quint32(names.size()) > kLastRegistered)
        return 0;
    names.append(name);
    return kFirstRegistered + quint32(names.size() - 1);
}

namespace {

// The handles of the windows of other programs on the bus.
QList<TWindowHandle> HandlesOnBus(const QDeadlineTimer &deadline)
{
    QDBusConnection *bus = g_link ? g_link->Connection() : nullptr;
    if (!bus)
        return {};
    const QDBusPendingCall names = bus->asyncCall(
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames")),
        kSendMessageTimeout + kBusTimeoutMargin);
    WaitForReplies({names}, deadline);
    if (!g_link || !names.isFinished() || names.reply().arguments().isEmpty())
        return {};
    QList<TWindowHandle> handles;
    const QStringList services = names.reply().arguments().constFirst().toStringList();
    for (const QString &service : services) {
        const TWindowHandle handle = HandleOfService(service);
        if (handle > 0 && !g_link->Window(handle))
            handles.append(handle);
    }
    return handles;
}

} // namespace

qint64 SendMessageA(TWindowHandle wnd, quint32 msg, qint64 wParam, qint64 lParam)
{
    if (!g_link || !CanTravel(msg))
        return 0;
    const QDeadlineTimer deadline(kSendMessageTimeout);
    if (wnd != HWND_BROADCAST) {
        if (g_link->Window(wnd))
            return DeliverHere(wnd, msg, wParam, lParam);
        QDBusConnection *bus = g_link->Connection();
        if (!bus || wnd <= 0)
            return 0;
        // The bus's own time-out only backs up the deadline, which decides.
        const QDBusPendingCall call =
            bus->asyncCall(RemoteCall(wnd, msg, wParam, lParam), kSendMessageTimeout + kBusTimeoutMargin);
        WaitForReplies({call}, deadline);
        if (!call.isFinished())
            return 0;
        const QDBusMessage reply = call.reply();
        return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
                   ? reply.arguments().constFirst().toLongLong()
                   : 0;
    }

    if (msg == WM_COPYDATA)
        return 0; // a block goes to one window only
    for (TWindowHandle own : g_link->Handles())
        DeliverHere(own, msg, wParam, lParam);
    const QList<TWindowHandle> others = HandlesOnBus(deadline);
    QDBusConnection *bus = g_link ? g_link->Connection() : nullptr;
    if (!bus)
        return 0;
    QList<QDBusPendingCall> calls;
    for (TWindowHandle handle : others)
        calls.append(bus->asyncCall(RemoteCall(handle, msg, wParam, lParam),
                                    qMax<int>(1, int(deadline.remainingTime())) + kBusTimeoutMargin));
    WaitForReplies(calls, deadline);
    return 0;
}

bool SendNotifyMessageA(TWindowHandle wnd, quint32 msg, qint64 wParam, qint64 lParam)
{
    if (!g_link || msg == WM_COPYDATA || !CanTravel(msg))
        return false;
    if (wnd == HWND_BROADCAST) {
        for (TWindowHandle own : g_link->Handles())
            DeliverHere(own, msg, wParam, lParam);
        // Only the bus's list of names is waited for.
        const QList<TWindowHandle> others = HandlesOnBus(QDeadlineTimer(kSendMessageTimeout));
        QDBusConnection *bus = g_link ? g_link->Connection() : nullptr;
        for (TWindowHandle handle : others)
            bus->send(RemoteCall(handle, msg, wParam, lParam));
        return g_link != nullptr;
    }
    if (g_link->Window(wnd)) {
        DeliverHere(wnd, msg, wParam, lParam);
        return true;
    }
    QDBusConnection *bus = g_link->Connection();
    return bus && wnd > 0 && bus->send(RemoteCall(wnd, msg, wParam, lParam));
}
