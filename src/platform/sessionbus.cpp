#include "platform/sessionbus.h"

#include <QByteArray>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>

#include <dbus/dbus.h>

#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace {

using TClock = std::chrono::steady_clock;

constexpr char kAddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";

// Nothing listens there, and nobody can make it listen: a connection fails
// at once.
QByteArray StandIn()
{
    return QByteArrayLiteral("unix:path=/dev/null");
}

// One look at a bus, shared by the caller and the thread that looks: the
// caller may stop waiting and leave the thread behind.
struct TLook {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool silent = false;
    bool abandoned = false;
    // The connection's socket while the greeting runs, so that an abandoned
    // look can be woken; -1 once the look closes it.
    int socket = -1;
};

// The bus library's own connection and greeting. Neither is bounded: the
// library connects with a blocking connect (which waits while the queue of
// a listening socket that takes nothing is full) and authenticates without
// a time-out before the Hello's own time-out starts. Hence a thread.
void Look(const std::shared_ptr<TLook> &look, const QByteArray &address, TClock::time_point deadline)
{
    DBusError error;
    dbus_error_init(&error);
    bool silent = false;
    // The entries of a list are tried in turn, as the library's connection
    // for Qt does.
    if (DBusConnection *connection = dbus_connection_open_private(address.constData(), &error)) {
        bool greet = true;
        {
            std::lock_guard<std::mutex> guard(look->lock);
            int fd = -1;
            greet = !look->abandoned;
            if (greet && dbus_connection_get_socket(connection, &fd))
                look->socket = fd;
        }
        DBusMessage *hello =
            greet ? dbus_message_new_method_call(DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "Hello")
                  : nullptr;
        if (hello) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now());
            const int timeout = int(std::max<std::chrono::milliseconds::rep>(1, left.count()));
            // Any answer, an error too, means the bus talks.
            if (DBusMessage *reply = dbus_connection_send_with_reply_and_block(connection, hello, timeout, &error))
                dbus_message_unref(reply);
            else
                silent =
                    dbus_error_has_name(&error, DBUS_ERROR_NO_REPLY) || dbus_error_has_name(&error, DBUS_ERROR_TIMEOUT);
            dbus_message_unref(hello);
        }
        {
            std::lock_guard<std::mutex> guard(look->lock);
            look->socket = -1;
        }
        dbus_connection_close(connection);
        dbus_connection_unref(connection);
    }
    dbus_error_free(&error);
    std::lock_guard<std::mutex> guard(look->lock);
    look->silent = silent;
    look->done = true;
    look->finished.notify_all();
}

// What this run found out about the session bus.
struct TRun {
    QMutex lock;
    // Address -> silent.
    QHash<QString, bool> found;
    // Addresses a look of its own runs for; it ends by telling everyone.
    QHash<QString, std::shared_ptr<TLook>> looking;
    bool dropped = false;
    // The variable as the user set it; none when it was not set.
    std::optional<QByteArray> userAddress;
};

// Never freed: a look left behind may end after the program's statics.
TRun &Run()
{
    static TRun *const run = new TRun;
    return *run;
}

} // namespace

QString SessionBusAddress()
{
    const QString address = qEnvironmentVariable(kAddressVariable);
    if (!address.isEmpty())
        return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return {};
    return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
}

bool SessionBusIsSilent(const QString &address, int timeoutMs)
{
    const auto deadline = TClock::now() + std::chrono::milliseconds(qMax(0, timeoutMs));
    auto look = std::make_shared<TLook>();
    try {
        std::thread(Look, look, address.toUtf8(), deadline).detach();
    } catch (const std::system_error &) {
        return false; // no thread to look with: as if the bus could not be tried
    }
    std::unique_lock<std::mutex> guard(look->lock);
    if (look->finished.wait_until(guard, deadline, [&look] { return look->done; }))
        return look->silent;
    // Left behind: a thread in the greeting wakes when its socket is shut
    // and ends; one in the connect ends only when the other side moves.
    look->abandoned = true;
    if (look->socket >= 0)
        ::shutdown(look->socket, SHUT_RDWR);
    return true;
}

bool DropSilentSessionBus(int timeoutMs)
{
    const QString address = SessionBusAddress();
    if (address.isEmpty() || address.toUtf8() == StandIn())
        return false;
    const bool silent = SessionBusIsSilent(address, timeoutMs);
    TRun &run = Run();
    const QMutexLocker guard(&run.lock);
    run.found.insert(address, silent);
    if (!silent)
        return false;
    run.userAddress.reset();
    if (qEnvironmentVariableIsSet(kAddressVariable))
        run.userAddress = qgetenv(kAddressVariable);
    run.dropped = true;
    qputenv(kAddressVariable, StandIn());
    return true;
}

bool SessionBusFoundSilent(const QString &address)
{
    // The look is bounded by its own time-out; past that it counts as silent.
    return SessionBusFoundSilentWithin(address, kSessionBusProbeTimeout + 1000).value_or(true);
}

std::optional<bool> SessionBusFoundSilentWithin(const QString &address, int waitMs)
{
    if (address.toUtf8() == StandIn())
        return true;
    TRun &run = Run();
    std::shared_ptr<TLook> look;
    {
        const QMutexLocker guard(&run.lock);
        const auto known = run.found.constFind(address);
        if (known != run.found.cend())
            return known.value();
        look = run.looking.value(address);
        if (!look) {
            look = std::make_shared<TLook>();
            try {
                std::thread([address, look] {
                    const bool silent = SessionBusIsSilent(address, kSessionBusProbeTimeout);
                    TRun &run = Run();
                    {
                        const QMutexLocker guard(&run.lock);
                        run.found.insert(address, silent);
                        run.looking.remove(address);
                    }
                    const std::lock_guard<std::mutex> done(look->lock);
                    look->silent = silent;
                    look->done = true;
                    look->finished.notify_all();
                }).detach();
            } catch (const std::system_error &) {
                return false; // no thread to look with: as if the bus could not be tried
            }
            run.looking.insert(address, look);
        }
    }
    std::unique_lock<std::mutex> guard(look->lock);
    if (look->finished.wait_for(guard, std::chrono::milliseconds(qMax(0, waitMs)), [&look] { return look->done; }))
        return look->silent;
    return std::nullopt;
}

bool SessionBusDropped()
{
    TRun &run = Run();
    const QMutexLocker guard(&run.lock);
    return run.dropped && qgetenv(kAddressVariable) == StandIn();
}

QProcessEnvironment UserProcessEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!SessionBusDropped())
        return environment;
    TRun &run = Run();
    const QMutexLocker guard(&run.lock);
    const QString name = QString::fromLatin1(kAddressVariable);
    if (run.userAddress)
        environment.insert(name, QString::fromLocal8Bit(*run.userAddress));
    else
        environment.remove(name);
    return environment;
}
