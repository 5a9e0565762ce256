// The bounded look at the session bus, against silent sockets, a stopped
// daemon, a live private bus and addresses of every odd kind.
#include "platform/sessionbus.h"

#include "phonestub.h"
#include "silentsocket.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <iostream>
#include <optional>

namespace {

using testbus::TClosedPort;
using testbus::TSilentSocket;

constexpr int kTimeout = 1500;
// What the user may wait beyond the look's own time on a loaded machine.
constexpr int kSlack = 3000;

// Sets an environment variable (or unsets it: nullopt) for the life of the
// object.
class TEnvironment
{
public:
    TEnvironment(const char *name, const std::optional<QByteArray> &value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        Set(value);
    }
    ~TEnvironment() { Set(m_old); }
    TEnvironment(const TEnvironment &) = delete;
    TEnvironment &operator=(const TEnvironment &) = delete;

private:
    void Set(const std::optional<QByteArray> &value)
    {
        if (value)
            qputenv(m_name, *value);
        else
            qunsetenv(m_name);
    }
    const char *m_name;
    std::optional<QByteArray> m_old;
};

// A private bus daemon, stopped with SIGSTOP: it takes connections and never
// answers.
class TStoppedDaemon
{
public:
    TStoppedDaemon()
    {
        m_daemon.setProgram(QStringLiteral("dbus-daemon"));
        m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                               QStringLiteral("--print-address=1")});
        m_daemon.start();
        if (!m_daemon.waitForStarted(5000))
            return;
        const QDeadlineTimer deadline(5000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired())
            m_daemon.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        ::kill(pid_t(m_daemon.processId()), SIGSTOP);
    }
    ~TStoppedDaemon()
    {
        if (m_daemon.processId() > 0)
            ::kill(pid_t(m_daemon.processId()), SIGCONT);
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
    QString Address() const { return m_address; }

private:
    QProcess m_daemon;
    QString m_address;
};

QString AbstractName(const char *what)
{
    return QStringLiteral("trevin-test-") + QString::fromLatin1(what) + u'-' +
           QString::number(QCoreApplication::applicationPid());
}

// A live bus, and a silent one in a folder of the test's own.
class SessionBus : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString why;
        live = testbus::TPrivateBus::Address(&why);
        ASSERT_FALSE(live.isEmpty()) << why.toStdString();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(silent.Listening());
    }
    QString live;
    QTemporaryDir dir;
    TSilentSocket silent{dir.filePath(QStringLiteral("silent"))};
};

TEST_F(SessionBus, ALookTellsASilentBusFromAnyOtherWithinItsTime)
{
    TSilentSocket abstract(TSilentSocket::UnixAbstract, AbstractName("silent"));
    TSilentSocket tcp(TSilentSocket::Tcp, {});
    TSilentSocket full(dir.filePath(QStringLiteral("full")), 0);
    ASSERT_TRUE(abstract.Listening() && tcp.Listening() && full.Listening());
    ASSERT_TRUE(full.FillQueue()) << "a connect to it waits";
    TClosedPort closed;
    ASSERT_NE(closed.Port(), 0);
    TStoppedDaemon stopped;
    ASSERT_FALSE(stopped.Address().isEmpty());
    const QString nonceFile = dir.filePath(QStringLiteral("nonce"));
    {
        QFile nonce(nonceFile);
        ASSERT_TRUE(nonce.open(QIODevice::WriteOnly));
        nonce.write(QByteArray(16, 'n'));
    }
    const QString dead = QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("nothing-here"));
    // Without a display the bus library refuses to launch a bus of its own.
    const TEnvironment noDisplay("DISPLAY", std::nullopt);

    const struct {
        const char *bus;
        QString address;
        bool silent;
    } cases[] = {
        // The bus library fails at once for these, as the program's own
        // connection then does: nothing to wait for.
        {"empty address", QString(), false},
        {"garbage", QStringLiteral("garbage"), false},
        {"unknown transport", QStringLiteral("carrier-pigeon:loft=1"), false},
        {"nothing at the path", dead, false},
        {"closed loopback port", QStringLiteral("tcp:host=127.0.0.1,port=") + QString::number(closed.Port()), false},
        {"autolaunch without a display", QStringLiteral("autolaunch:"), false},
        {"listen-only address", QStringLiteral("unix:tmpdir=") + dir.path(), false},
        {"silent entry, then garbage", silent.Address() + QStringLiteral(";garbage"), false},
        // A bus that answers.
        {"live bus", live, false},
        {"dead entry, then the live bus", dead + u';' + live, false},
        // The first entry that connects is the one used, as by the library.
        {"silent socket", silent.Address(), true},
        {"silent abstract socket", abstract.Address(), true},
        {"silent loopback port", tcp.Address(), true},
        {"silent loopback port with a nonce",
         QStringLiteral("nonce-tcp:host=127.0.0.1,port=") + QString::number(tcp.Port()) +
             QStringLiteral(",noncefile=") + nonceFile,
         true},
        {"silent socket whose queue is full", full.Address(), true},
        {"stopped daemon", stopped.Address(), true},
        {"dead entry, then a silent one", dead + u';' + silent.Address(), true},
        {"unknown transport, then a silent one", QStringLiteral("carrier-pigeon:loft=1;") + silent.Address(), true},
        {"silent entry before the live bus", silent.Address() + u';' + live, true},
    };
    for (const auto &c : cases) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(SessionBusIsSilent(c.address, kTimeout), c.silent) << c.bus;
        const qint64 ms = clock.elapsed();
        std::cout << "look at a " << c.bus << ": " << ms << " ms\n";
        EXPECT_LT(ms, kTimeout + kSlack) << c.bus;
    }
}

TEST_F(SessionBus, ASilentBusIsReplacedAndProgramsForTheUserGetTheirOwnAddress)
{
    TSilentSocket runtimeBus(dir.filePath(QStringLiteral("bus")));
    ASSERT_TRUE(runtimeBus.Listening());
    const QByteArray standIn = QByteArrayLiteral("unix:path=/dev/null");
    const QString variable = QStringLiteral("DBUS_SESSION_BUS_ADDRESS");

    const struct {
        const char *bus;
        std::optional<QByteArray> address; // the variable; nullopt: unset
        QString runtime;                   // XDG_RUNTIME_DIR
        bool dropped;
    } cases[] = {
        {"silent bus", silent.Address().toUtf8(), dir.path(), true},
        {"silent bus of the runtime folder", std::nullopt, dir.path(), true},
        {"live bus", live.toUtf8(), dir.path(), false},
        {"no bus", std::nullopt, dir.filePath(QStringLiteral("elsewhere")), false},
    };
    for (const auto &c : cases) {
        const TEnvironment address("DBUS_SESSION_BUS_ADDRESS", c.address);
        const TEnvironment runtime("XDG_RUNTIME_DIR", QFile::encodeName(c.runtime));
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(DropSilentSessionBus(kTimeout), c.dropped) << c.bus;
        EXPECT_LT(clock.elapsed(), kTimeout + kSlack) << c.bus;
        EXPECT_EQ(SessionBusDropped(), c.dropped) << c.bus;
        const QProcessEnvironment user = UserProcessEnvironment();
        if (c.dropped) {
            EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), standIn) << c.bus;
            EXPECT_TRUE(SessionBusFoundSilent(SessionBusAddress())) << c.bus;
        } else {
            EXPECT_EQ(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"), c.address.has_value()) << c.bus;
            EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), c.address.value_or(QByteArray())) << c.bus;
        }
        // As the user had it, whatever this process now has.
        EXPECT_EQ(user.contains(variable), c.address.has_value()) << c.bus;
        EXPECT_EQ(user.value(variable).toUtf8(), c.address.value_or(QByteArray())) << c.bus;
    }
    // Once the environment names another bus, nothing stands in any more.
    EXPECT_FALSE(SessionBusDropped());
}

} // namespace
