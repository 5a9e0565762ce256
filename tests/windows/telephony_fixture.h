#pragma once
// The sample window with [transfer_city] 343 on the private session bus,
// and the stand-in telephony program beside it; the program itself as a
// second catalogue, and a count of the messages on the bus.

#include "windows/main_catalogue.h"

#include "phonestub.h"
#include "testenv.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QListWidget>

#include <unistd.h>

namespace {

using testbus::TPhoneStub;

// The real program in a folder of its own with a copy of the sample
// catalogue and the SQL log on, started on the session bus named by address.
class TCatalogueProcess
{
public:
    explicit TCatalogueProcess(const QString &busAddress)
    {
        const QString program = m_dir.filePath(QStringLiteral("trevin"));
        // A hard link where the file system allows it: the program is large.
        if (::link(TREVIN_PROGRAM, QFile::encodeName(program).constData()) != 0)
            QFile::copy(QStringLiteral(TREVIN_PROGRAM), program);
        QFile::copy(testenv::SampleCatalogue(), m_dir.filePath(QStringLiteral("trevin.dat")));
        QFile ini(m_dir.filePath(QStringLiteral("trevin.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[main]\nprotocol=sqlite\nlogger=1\n[transfer_city]\ncount=1\ncity_1=343\n");
        ini.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Its settings stay in the folder.
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_process.setProcessEnvironment(env);
        m_process.setProgram(program);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start();
        m_started = m_process.waitForStarted(5000);
    }
    ~TCatalogueProcess()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool Started() const { return m_started; }
    QProcess &Process() { return m_process; }
    // The SQL log so far.
    QString Log() const
    {
        QFile log(m_dir.filePath(QStringLiteral("trevin.log")));
        return log.open(QIODevice::ReadOnly) ? QString::fromLatin1(log.readAll()) : QString();
    }
    // True once the main window is up and the event loop idles: the opening
    // banner's look-up is the first idle work.
    bool Running() const { return Log().contains(QLatin1String("prefix='banner' and name='m1.jpg'")); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_started = false;
};

// The window handles on the private bus, as their bus names tell.
inline QList<qint64> HandlesOnBus()
{
    QDBusConnection bus = QDBusConnection::connectToBus(testbus::TPrivateBus::Address(), QStringLiteral("observer"));
    QList<qint64> handles;
    const QStringList names = bus.interface() ? bus.interface()->registeredServiceNames().value() : QStringList();
    const QString prefix = QStringLiteral("org.selbran.Window.h");
    for (const QString &name : names)
        if (name.startsWith(prefix))
            handles << name.mid(prefix.size()).toLongLong();
    return handles;
}

// Counts the announcements that travel on the private bus.
class TAnnouncementCounter
{
public:
    TAnnouncementCounter()
    {
        m_process.setProgram(QStringLiteral("dbus-monitor"));
        m_process.setArguments({QStringLiteral("--address"), testbus::TPrivateBus::Address(),
                                QStringLiteral("type='method_call',member='WM_Phone_SendPhoneMessage'")});
        m_process.start();
        m_started = m_process.waitForStarted(5000);
        // Monitoring begins once it has said so.
        testbus::RunUntil([this] { return Read().contains(QLatin1String("member=NameLost")); });
        m_text.clear();
        m_seen = 0;
    }
    ~TAnnouncementCounter()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    bool Started() const { return m_started; }
    int Count()
    {
        Read();
        return m_seen;
    }

private:
    QString Read()
    {
        while (m_process.waitForReadyRead(0)) {
        }
        m_text += QString::fromUtf8(m_process.readAllStandardOutput());
        m_seen = int(m_text.count(QLatin1String("member=WM_Phone_SendPhoneMessage")));
        return m_text;
    }
    QProcess m_process;
    QString m_text;
    int m_seen = 0;
    bool m_started = false;
};

class TTelephonyWindow : public TSampleWindow
{
protected:
    void SetUp() override
    {
        TSampleWindow::SetUp();
        QString why;
        if (testbus::TPrivateBus::Address(&why).isEmpty())
            FAIL() << why.toStdString();
        testbus::TPrivateBus::Use();
    }
    void TearDown() override
    {
        stub.reset();
        w.reset();
        TSampleWindow::TearDown();
    }

    void StartLocal(const QString &cities = QStringLiteral("count=1\ncity_1=343\n"))
    {
        UseLocalSample(QStringLiteral("[transfer_city]\n") + cities);
        w = Start();
        ASSERT_TRUE(Peer(*w).OnBus());
    }
    // The stand-in, announced and known to the window.
    void StartStub(const QStringList &args = {})
    {
        stub = std::make_unique<TPhoneStub>(args);
        ASSERT_TRUE(stub->Started());
        ASSERT_TRUE(stub->WaitForCount(QStringLiteral("reply "), 1)) << "the window answers the announcement";
        ASSERT_EQ(Peer(*w).PhoneWnd(), stub->Handle());
    }

    std::unique_ptr<TfrmMain> w;
    std::unique_ptr<TPhoneStub> stub;
};

} // namespace
