#pragma once
// Sockets that take connections and never say a word (a bus that hangs),
// and a loopback port where nothing listens.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace testbus {

class TSilentSocket
{
public:
    enum TKind { UnixPath, UnixAbstract, Tcp };

    // A unix socket at the path.
    explicit TSilentSocket(const QString &path, int backlog = 16) : TSilentSocket(UnixPath, path, backlog) {}
    // UnixAbstract: the name in the abstract namespace; Tcp: a free port on
    // 127.0.0.1 (the name is not used).
    TSilentSocket(TKind kind, const QString &name, int backlog = 16) : m_kind(kind)
    {
        // Not blocking: taking the waiting connections never waits.
        if (kind == Tcp) {
            m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t length = sizeof address;
            m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
                   ::listen(m_fd, backlog) == 0 &&
                   ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0;
            m_port = ntohs(address.sin_port);
            m_address = QStringLiteral("tcp:host=127.0.0.1,port=") + QString::number(m_port);
            return;
        }
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const QByteArray bytes = QFile::encodeName(name);
        const size_t offset = kind == UnixAbstract ? 1 : 0;
        if (size_t(bytes.size()) + offset >= sizeof m_unix.sun_path)
            return;
        m_unix.sun_family = AF_UNIX;
        std::memcpy(m_unix.sun_path + offset, bytes.constData(), size_t(bytes.size()));
        m_length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + size_t(bytes.size()) + (offset ? 0 : 1));
        m_ok = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr *>(&m_unix), m_length) == 0 &&
               ::listen(m_fd, backlog) == 0;
        m_address = (kind == UnixAbstract ? QStringLiteral("unix:abstract=") : QStringLiteral("unix:path=")) + name;
    }
    ~TSilentSocket()
    {
        for (int fd : m_waiting)
            ::close(fd);
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TSilentSocket(const TSilentSocket &) = delete;
    TSilentSocket &operator=(const TSilentSocket &) = delete;

    bool Listening() const { return m_ok; }
    // The bus address that leads here.
    QString Address() const { return m_address; }
    quint16 Port() const { return m_port; }

    // Unix sockets: connects until the queue of connections waiting to be
    // taken is full, so that a blocking connect waits. True when it is full.
    bool FillQueue()
    {
        if (!m_ok || m_kind == Tcp)
            return false;
        for (int i = 0; i < 4096; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0)
                return false;
            if (::connect(fd, reinterpret_cast<const sockaddr *>(&m_unix), m_length) == 0) {
                m_waiting.push_back(fd);
                continue;
            }
            const bool full = errno == EAGAIN;
            ::close(fd);
            return full;
        }
        return false;
    }

    // Takes (and closes) the connections that came so far; how many.
    int TakeWaiting()
    {
        int n = 0;
        for (;;) {
            const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return n;
            ::close(fd);
            ++n;
        }
    }

private:
    TKind m_kind;
    int m_fd = -1;
    bool m_ok = false;
    sockaddr_un m_unix{};
    socklen_t m_length = 0;
    quint16 m_port = 0;
    QString m_address;
    std::vector<int> m_waiting;
};

// A loopback port that is taken but not listened on: a connection there is
// refused at once.
class TClosedPort
{
public:
    TClosedPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~TClosedPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TClosedPort(const TClosedPort &) = delete;
    TClosedPort &operator=(const TClosedPort &) = delete;
    quint16 Port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

} // namespace testbus
