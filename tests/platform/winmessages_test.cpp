// Window messages with the stand-in telephony program in a second process on
// a private session bus.
#include "platform/winmessages.h"

#include "platform/sessionbus.h"

#include "phonestub.h"
#include "silentsocket.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using testbus::TPhoneStub;

class WindowMessages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString why;
        if (testbus::TPrivateBus::Address(&why).isEmpty())
            FAIL() << why.toStdString();
        testbus::TPrivateBus::Use();
        send = RegisterWindowMessageA(QStringLiteral("WM_Phone_SendPhoneMessage"));
        query = RegisterWindowMessageA(QStringLiteral("WM_Phone_QueryCanTransfer"));
        window = std::make_unique<TMessageWindow>([this](TWindowMessage &m) {
            received.append(m);
            if (m.Msg == WM_COPYDATA) {
                const auto *data = reinterpret_cast<const TCopyDataStruct *>(quintptr(m.LParam));
                blocks << QByteArray(static_cast<const char *>(data->lpData), data->cbData);
            }
        });
        ASSERT_TRUE(window->OnBus());
    }

    static qint64 Pointer(const TCopyDataStruct &data) { return qint64(reinterpret_cast<quintptr>(&data)); }

    quint32 send = 0;
    quint32 query = 0;
    std::unique_ptr<TMessageWindow> window;
    QList<TWindowMessage> received;
    QList<QByteArray> blocks;
};

TEST_F(WindowMessages, RegisteredNamesShareOneIdAndOddNamesAreRefused)
{
    EXPECT_GE(send, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageA(QStringLiteral("WM_Phone_SendPhoneMessage")), send);
    EXPECT_NE(send, query);
    for (const char *bad : {"", "with blank", "dot.ted", "1st"})
        EXPECT_EQ(RegisterWindowMessageA(QString::fromLatin1(bad)), 0u) << bad;
}

TEST_F(WindowMessages, AnnouncementAnswerAndBlockTravelBothWays)
{
    TPhoneStub stub({QStringLiteral("--answer"), QStringLiteral("1")});
    ASSERT_TRUE(stub.Started());
    // Its announcement reaches us with its handle.
    ASSERT_TRUE(testbus::RunUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received[0].Msg, send);
    EXPECT_EQ(received[0].LParam, stub.Handle());

    // The notifying reply does not wait.
    EXPECT_TRUE(SendNotifyMessageA(stub.Handle(), send, 0, window->Handle()));
    ASSERT_TRUE(stub.WaitFor(QStringLiteral("reply ")));
    EXPECT_EQ(stub.Lines(QStringLiteral("reply ")).value(0).toLongLong(), window->Handle());

    // The answer to the question arrives inside the broadcast.
    received.clear();
    SendMessageA(HWND_BROADCAST, query, 0, window->Handle());
    ASSERT_EQ(blocks.size(), 1);
    EXPECT_EQ(blocks[0], QByteArray("message_2#1", 12));
    EXPECT_EQ(received.last().WParam, stub.Handle());

    // A block arrives byte for byte, with its sender and dwData.
    QByteArray block(1024, '\0');
    std::memcpy(block.data(), "abc\0d", 5);
    const TCopyDataStruct data{7, quint32(block.size()), block.constData()};
    SendMessageA(stub.Handle(), WM_COPYDATA, window->Handle(), Pointer(data));
    const QStringList got = stub.Lines(QStringLiteral("block "));
    ASSERT_EQ(got.size(), 1) << "the send returns after the receiver handled it";
    EXPECT_EQ(got[0], QStringLiteral("1024 7 ") + QString::number(window->Handle()) + u' ' +
                          QString::fromLatin1(block.toHex()));
}

TEST_F(WindowMessages, ABlockIsNeverReadPastTheBytesThatCame)
{
    // A sender that claims more bytes than it sends.
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("liar"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.selbran.Window.h") + QString::number(window->Handle()),
                                       QStringLiteral("/org/selbran/Window/h") + QString::number(window->Handle()),
                                       QStringLiteral("org.selbran.WindowMessage"), QStringLiteral("WM_COPYDATA"));
    call << qlonglong(5) << qulonglong(0) << uint(100000) << QByteArray("abc");
    bus.call(call, QDBus::NoBlock);
    ASSERT_TRUE(testbus::RunUntil([&] { return !blocks.isEmpty(); }));
    EXPECT_EQ(blocks[0], QByteArray("abc"));
    QDBusConnection::disconnectFromBus(QStringLiteral("liar"));
}

TEST_F(WindowMessages, AHungReceiverHoldsASendForAboutTwoSeconds)
{
    TPhoneStub stub({QStringLiteral("--hang")});
    ASSERT_TRUE(stub.Started());
    ASSERT_TRUE(testbus::RunUntil([&] { return !received.isEmpty(); }));
    QElapsedTimer clock;
    clock.start();
    SendMessageA(HWND_BROADCAST, query, 0, window->Handle());
    const qint64 ms = clock.elapsed();
    EXPECT_GE(ms, kSendMessageTimeout - 100);
    // A send that waited twice over fails, however loaded the machine.
    EXPECT_LT(ms, 2 * kSendMessageTimeout);
    std::cout << "broadcast with a hung receiver returned after " << ms << " ms\n";

    // A window that has gone answers at once.
    stub.Process().kill();
    stub.Process().waitForFinished(2000);
    clock.restart();
    const TCopyDataStruct data{0, 3, "abc"};
    EXPECT_EQ(SendMessageA(stub.Handle(), WM_COPYDATA, window->Handle(), Pointer(data)), 0);
    EXPECT_LT(clock.elapsed(), kSendMessageTimeout - 100) << "it did not wait for the gone window";
}

// How many connections the private bus has taken so far, as the serial of
// the unique name it gives the next one tells.
qint64 ConnectionsSoFar()
{
    const QString name = QStringLiteral("counter");
    qint64 serial = -1;
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(testbus::TPrivateBus::Address(), name);
        bool ok = false;
        serial = bus.baseService().section(u'.', 1).toLongLong(&ok);
        if (!ok)
            serial = -1;
    }
    QDBusConnection::disconnectFromBus(name);
    return serial;
}

TEST(WindowMessagesBus, WindowsUseTheStartsLookAtTheBus)
{
    QString why;
    ASSERT_FALSE(testbus::TPrivateBus::Address(&why).isEmpty()) << why.toStdString();
    testbus::TPrivateBus::Use();
    const qint64 before = ConnectionsSoFar();
    ASSERT_GE(before, 0);
    EXPECT_FALSE(DropSilentSessionBus());
    {
        const TMessageWindow window([](TWindowMessage &) {});
        EXPECT_TRUE(window.OnBus());
    }
    // The start's look and the windows' own connection, no second look.
    EXPECT_EQ(ConnectionsSoFar() - before - 1, 2);
}

TEST(WindowMessagesBus, AProgramThatDidNotLookAtTheBusLooksOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    testbus::TSilentSocket silent(dir.filePath(QStringLiteral("bus")));
    ASSERT_TRUE(silent.Listening());
    const QByteArray ours = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", silent.Address().toUtf8());
    // Neither window waits for the look: it runs on a thread of its own,
    // once for both.
    for (int i = 0; i < 2; ++i) {
        QElapsedTimer clock;
        clock.start();
        {
            const TMessageWindow window([](TWindowMessage &) {});
            EXPECT_FALSE(window.OnBus()) << "window " << i;
        }
        EXPECT_LT(clock.elapsed(), kSessionBusProbeTimeout / 2) << "window " << i;
    }
    EXPECT_TRUE(SessionBusFoundSilent(silent.Address())); // waits for the look that runs
    EXPECT_EQ(silent.TakeWaiting(), 1) << "connections to the silent bus";
    // Known now: a third window neither waits nor looks again.
    QElapsedTimer clock;
    clock.start();
    {
        const TMessageWindow window([](TWindowMessage &) {});
        EXPECT_FALSE(window.OnBus());
    }
    EXPECT_LT(clock.elapsed(), 200);
    EXPECT_EQ(silent.TakeWaiting(), 0);
    qputenv("DBUS_SESSION_BUS_ADDRESS", ours);
}

// A bus that answers its first connection only after a while, the look's:
// it passes every connection on to the private bus, the first one late.
class TSlowBus
{
public:
    TSlowBus(const QString &path, const QString &target, int delayMs) : m_target(target), m_delayMs(delayMs)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, QFile::encodeName(path).constData(), sizeof addr.sun_path - 1);
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 && ::listen(m_fd, 8) == 0;
        m_address = QStringLiteral("unix:path=") + path;
        if (m_ok)
            m_accept = std::thread([this] { Accept(); });
    }
    ~TSlowBus()
    {
        m_stop = true;
        if (m_accept.joinable())
            m_accept.join();
        for (std::thread &t : m_pumps)
            t.join();
        ::close(m_fd);
    }
    bool Listening() const { return m_ok; }
    const QString &Address() const { return m_address; }

private:
    void Accept()
    {
        for (int n = 0; !m_stop;) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            const int client = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0)
                m_pumps.emplace_back([this, client, late = n++ == 0] { Pump(client, late ? m_delayMs : 0); });
        }
    }
    void Pump(int client, int delayMs)
    {
        for (int waited = 0; waited < delayMs && !m_stop; waited += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const int bus = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, QFile::encodeName(m_target).constData(), sizeof addr.sun_path - 1);
        if (::connect(bus, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0) {
            pollfd p[2] = {{client, POLLIN, 0}, {bus, POLLIN, 0}};
            char buffer[4096];
            while (!m_stop) {
                if (::poll(p, 2, 50) <= 0)
                    continue;
                const int from = (p[0].revents & (POLLIN | POLLHUP)) ? 0 : 1;
                const ssize_t got = ::read(p[from].fd, buffer, sizeof buffer);
                if (got <= 0 || ::write(p[1 - from].fd, buffer, std::size_t(got)) != got)
                    break;
            }
        }
        ::close(bus);
        ::close(client);
    }

    QString m_target;
    int m_delayMs;
    int m_fd = -1;
    bool m_ok = false;
    QString m_address;
    std::atomic<bool> m_stop{false};
    std::thread m_accept;
    std::vector<std::thread> m_pumps;
};

TEST(WindowMessagesBus, AWindowMadeWhileTheBusIsLookedAtGoesOnItOnceItAnswers)
{
    QString why;
    const QString bus = testbus::TPrivateBus::Address(&why);
    ASSERT_TRUE(bus.startsWith(QStringLiteral("unix:path="))) << why.toStdString() << bus.toStdString();
    QTemporaryDir dir;
    TSlowBus slow(dir.filePath(QStringLiteral("bus")), bus.mid(10).section(u',', 0, 0), 1500);
    ASSERT_TRUE(slow.Listening());
    const QByteArray ours = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("DBUS_SESSION_BUS_ADDRESS", slow.Address().toUtf8());
    {
        QElapsedTimer clock;
        clock.start();
        const TMessageWindow window([](TWindowMessage &) {});
        EXPECT_LT(clock.elapsed(), 1000) << "the window waited for the look";
        EXPECT_FALSE(window.OnBus());
        EXPECT_TRUE(testbus::RunUntil([&] { return window.OnBus(); })) << "never went on the bus";
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", ours);
}

} // namespace
