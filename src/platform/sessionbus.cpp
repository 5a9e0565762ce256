#include "platform/sessionbus.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include <arpa/inet.h>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// What a greeting came to.
enum class TGreeting { Answered, Silent, Refused, Untried };

// The unescaped values of one address ("unix:path=/run/bus,guid=...").
QMap<QString, QString> AddressKeys(const QString &entry)
{
    QMap<QString, QString> keys;
    const QStringList pairs = entry.section(u':', 1).split(u',', Qt::SkipEmptyParts);
    for (const QString &pair : pairs) {
        const qsizetype eq = pair.indexOf(u'=');
        if (eq > 0)
            keys.insert(pair.left(eq), QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(eq + 1).toUtf8())));
    }
    return keys;
}

class TSocket
{
public:
    TSocket() = default;
    ~TSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TSocket(const TSocket &) = delete;
    TSocket &operator=(const TSocket &) = delete;

    // Refused when nothing listens there; Silent when the connection is
    // neither taken nor refused in time.
    TGreeting Connect(int family, const sockaddr *address, socklen_t length, const QDeadlineTimer &deadline)
    {
        m_fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return TGreeting::Untried;
        if (::connect(m_fd, address, length) == 0)
            return TGreeting::Answered;
        // A full queue of a local socket: a blocking connect would wait.
        if (errno == EAGAIN)
            return TGreeting::Silent;
        if (errno != EINPROGRESS)
            return TGreeting::Refused;
        if (!Wait(POLLOUT, deadline))
            return TGreeting::Silent;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return TGreeting::Refused;
        return TGreeting::Answered;
    }

    bool Send(const QByteArray &bytes, const QDeadlineTimer &deadline)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::send(m_fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
            if (n > 0)
                done += n;
            else if (n < 0 && errno == EINTR)
                continue;
            else if (n < 0 && errno == EAGAIN) {
                if (!Wait(POLLOUT, deadline))
                    return false;
            } else
                return false;
        }
        return true;
    }

    // Some bytes (appended to *into), or Silent when none came in time, or
    // Refused when the other side closed.
    TGreeting Receive(QByteArray *into, const QDeadlineTimer &deadline)
    {
        for (;;) {
            char buffer[512];
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n > 0) {
                into->append(buffer, n);
                return TGreeting::Answered;
            }
            if (n == 0)
                return TGreeting::Refused;
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN)
                return TGreeting::Refused;
            if (!Wait(POLLIN, deadline))
                return TGreeting::Silent;
        }
    }

private:
    bool Wait(short events, const QDeadlineTimer &deadline)
    {
        for (;;) {
            pollfd p{m_fd, events, 0};
            const int n = ::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime())));
            if (n > 0)
                return true;
            if (n == 0 || errno != EINTR)
                return false;
        }
    }

    int m_fd = -1;
};

// The bus's Hello call, marshalled by hand (little endian, no body).
QByteArray HelloMessage()
{
    QByteArray m;
    const auto pad = [&m](int to) {
        while (m.size() % to)
            m.append('\0');
    };
    const auto u32 = [&m, &pad](quint32 v) {
        pad(4);
        for (int i = 0; i < 4; ++i)
            m.append(char((v >> (8 * i)) & 0xFF));
    };
    const auto field = [&](char code, char signature, const QByteArray &value) {
        pad(8);
        m.append(code);
        m.append('\1');
        m.append(signature);
        m.append('\0');
        u32(quint32(value.size()));
        m.append(value);
        m.append('\0');
    };
    m.append('l');
    m.append('\1'); // method call
    m.append('\0'); // no flags
    m.append('\1'); // protocol version
    u32(0);         // body length
    u32(1);         // serial
    u32(0);         // length of the header fields, set below
    const qsizetype fieldsStart = m.size();
    field('\1', 'o', "/org/freedesktop/DBus");
    field('\6', 's', "org.freedesktop.DBus");
    field('\2', 's', "org.freedesktop.DBus");
    field('\3', 's', "Hello");
    const quint32 fieldsLength = quint32(m.size() - fieldsStart);
    for (int i = 0; i < 4; ++i)
        m[12 + i] = char((fieldsLength >> (8 * i)) & 0xFF);
    pad(8);
    return m;
}

// The greeting of a bus that took the connection: authentication as this
// user, then Hello. Any answer counts; only silence is Silent.
TGreeting Greet(TSocket &socket, const QDeadlineTimer &deadline)
{
    const QByteArray uid = QByteArray::number(qulonglong(::getuid())).toHex();
    if (!socket.Send(QByteArray(1, '\0') + "AUTH EXTERNAL " + uid + "\r\n", deadline))
        return TGreeting::Refused;
    QByteArray line;
    while (!line.contains("\r\n")) {
        const TGreeting got = socket.Receive(&line, deadline);
        if (got != TGreeting::Answered)
            return got;
    }
    // Another mechanism or an error: the bus talks, the bus library goes on.
    if (!line.startsWith("OK "))
        return TGreeting::Answered;
    if (!socket.Send("BEGIN\r\n" + HelloMessage(), deadline))
        return TGreeting::Refused;
    QByteArray reply;
    return socket.Receive(&reply, deadline);
}

TGreeting TryAddress(const QString &entry, const QDeadlineTimer &deadline)
{
    const QString transport = entry.section(u':', 0, 0);
    const QMap<QString, QString> keys = AddressKeys(entry);
    TSocket socket;
    TGreeting connected = TGreeting::Untried;
    if (transport == QLatin1String("unix") &&
        (keys.contains(QStringLiteral("path")) || keys.contains(QStringLiteral("abstract")))) {
        const bool abstract = !keys.contains(QStringLiteral("path"));
        const QByteArray name = abstract ? keys.value(QStringLiteral("abstract")).toUtf8()
                                         : QFile::encodeName(keys.value(QStringLiteral("path")));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const qsizetype offset = abstract ? 1 : 0;
        if (name.isEmpty() || name.size() + offset >= qsizetype(sizeof address.sun_path))
            return TGreeting::Untried;
        std::memcpy(address.sun_path + offset, name.constData(), size_t(name.size()));
        const auto length =
            socklen_t(offsetof(sockaddr_un, sun_path) + size_t(offset + name.size()) + (abstract ? 0 : 1));
        connected = socket.Connect(AF_UNIX, reinterpret_cast<const sockaddr *>(&address), length, deadline);
    } else if (transport == QLatin1String("tcp")) {
        // Numeric hosts only: a name look-up has no bound of ours.
        QString host = keys.value(QStringLiteral("host"), QStringLiteral("localhost"));
        if (host == QLatin1String("localhost"))
            host = QStringLiteral("127.0.0.1");
        bool ok = false;
        const uint port = keys.value(QStringLiteral("port")).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return TGreeting::Untried;
        sockaddr_in v4{};
        sockaddr_in6 v6{};
        const QByteArray text = host.toLatin1();
        if (::inet_pton(AF_INET, text.constData(), &v4.sin_addr) == 1) {
            v4.sin_family = AF_INET;
            v4.sin_port = htons(quint16(port));
            connected = socket.Connect(AF_INET, reinterpret_cast<const sockaddr *>(&v4), sizeof v4, deadline);
        } else if (::inet_pton(AF_INET6, text.constData(), &v6.sin6_addr) == 1) {
            v6.sin6_family = AF_INET6;
            v6.sin6_port = htons(quint16(port));
            connected = socket.Connect(AF_INET6, reinterpret_cast<const sockaddr *>(&v6), sizeof v6, deadline);
        } else {
            return TGreeting::Untried;
        }
    }
    if (connected != TGreeting::Answered)
        return connected;
    return Greet(socket, deadline);
}

} // namespace

QString SessionBusAddress()
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !QFileInfo::exists(runtime + QStringLiteral("/bus")))
        return {};
    return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
}

bool SessionBusIsSilent(const QString &address, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // The bus library takes the first address that connects, as this does.
    const QStringList entries = address.split(u';', Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        switch (TryAddress(entry, deadline)) {
        case TGreeting::Answered: return false;
        case TGreeting::Silent: return true;
        case TGreeting::Refused: continue;
        case TGreeting::Untried: return false;
        }
    }
    return false;
}

bool DropSilentSessionBus(int timeoutMs)
{
    const QString address = SessionBusAddress();
    if (address.isEmpty() || !SessionBusIsSilent(address, timeoutMs))
        return false;
    // Nothing listens there, and nobody can make it listen: a connection
    // fails at once.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null");
    return true;
}
