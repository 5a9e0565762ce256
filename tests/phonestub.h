#pragma once
// A session bus of the test process's own (dbus-daemon, started on first
// use and stopped when the process ends) and the stand-in telephony program
// as a second process on it, driven by its command lines.

#include "rununtil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace testbus {

class TPrivateBus
{
public:
    // The bus address; empty, with the reason, when no daemon could start.
    static QString Address(QString *why = nullptr)
    {
        static TPrivateBus bus;
        if (why)
            *why = bus.m_why;
        return bus.m_address;
    }
    // Points the environment at the private bus (what a new window connects to).
    static bool Use()
    {
        const QString address = Address();
        if (address.isEmpty())
            return false;
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        return true;
    }

private:
    TPrivateBus()
    {
        m_daemon.setProgram(QStringLiteral("dbus-daemon"));
        m_daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                               QStringLiteral("--print-address=1")});
        m_daemon.start();
        if (!m_daemon.waitForStarted(5000)) {
            m_why = QStringLiteral("dbus-daemon did not start: ") + m_daemon.errorString();
            return;
        }
        const QDeadlineTimer deadline(5000);
        while (!m_daemon.canReadLine() && !deadline.hasExpired())
            m_daemon.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (m_address.isEmpty())
            m_why = QStringLiteral("dbus-daemon printed no address");
    }
    ~TPrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
    QProcess m_daemon;
    QString m_address;
    QString m_why;
};

class TPhoneStub
{
public:
    explicit TPhoneStub(const QStringList &args = {})
    {
        m_process.setProgram(QStringLiteral(TREVIN_PHONESTUB));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
        });
        m_process.start();
        m_started = m_process.waitForStarted(5000) && WaitFor(QStringLiteral("ready "));
        if (m_started)
            m_handle = Lines(QStringLiteral("ready ")).value(0).toLongLong();
    }
    ~TPhoneStub()
    {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
    bool Started() const { return m_started; }
    qint64 Handle() const { return m_handle; }
    QProcess &Process() { return m_process; }

    void Send(const QString &command) { m_process.write((command + u'\n').toUtf8()); }
    // The rest of every line that began with prefix, oldest first.
    QStringList Lines(const QString &prefix)
    {
        // What the stand-in wrote before it answered is in the pipe by now,
        // though the event loop may not have read it yet.
        while (m_process.waitForReadyRead(0)) {
        }
        QStringList out;
        for (const QString &line : m_lines)
            if (line.startsWith(prefix))
                out << line.mid(prefix.size());
        return out;
    }
    // Waits (running the event loop) until one more line with the prefix came.
    bool WaitFor(const QString &prefix, int ms = 20000)
    {
        // Counted without reading the pipe: the line awaited may be in it.
        const qsizetype before =
            std::count_if(m_lines.cbegin(), m_lines.cend(), [&](const QString &l) { return l.startsWith(prefix); });
        return RunUntil([&] { return Lines(prefix).size() > before; }, ms);
    }
    // Waits until count lines with the prefix came.
    bool WaitForCount(const QString &prefix, qsizetype count, int ms = 20000)
    {
        return RunUntil([&] { return Lines(prefix).size() >= count; }, ms);
    }
    void Clear() { m_lines.clear(); }

private:
    QProcess m_process;
    QStringList m_lines;
    bool m_started = false;
    qint64 m_handle = 0;
};

} // namespace testbus
