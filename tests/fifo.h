#pragma once
// A FIFO that no one writes to or reads from, for tests that make sure the
// program never opens one. Should something open it all the same, it is let
// go after a bound and at the end: the test opens both ends of the FIFO
// itself before it removes it, so no test waits on it for ever.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TFifo
{
public:
    explicit TFifo(const QString &path, std::chrono::seconds bound = std::chrono::seconds(20))
        : m_path(QFile::encodeName(path))
    {
        m_made = ::mkfifo(m_path.constData(), 0600) == 0;
        m_watch = std::thread([this, bound] {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_for(lock, bound, [this] { return m_done; });
            Release();
        });
    }
    ~TFifo()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_watch.join();
    }
    TFifo(const TFifo &) = delete;
    TFifo &operator=(const TFifo &) = delete;
    bool Made() const { return m_made; }

private:
    void Release()
    {
        const int fd = ::open(m_path.constData(), O_RDWR | O_NONBLOCK);
        ::unlink(m_path.constData());
        if (fd >= 0)
            ::close(fd);
    }

    QByteArray m_path;
    bool m_made = false;
    bool m_done = false;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_watch;
};
