#include "data/regularfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Opens without waiting for the other end of a FIFO; the descriptor is kept
// only when it is a regular file.
int OpenRegular(const QString &path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

bool ReadRegularFile(const QString &path, QByteArray *data, qint64 maxSize)
{
    data->clear();
    const int fd = OpenRegular(path, O_RDONLY);
    if (fd < 0)
        return false;
    struct stat st;
    if (maxSize >= 0 && (::fstat(fd, &st) != 0 || st.st_size > maxSize)) {
        ::close(fd);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        // A file that grows while it is read is held to the limit as well.
        if (n <= 0 || (maxSize >= 0 && data->size() + n > maxSize)) {
            ::close(fd);
            const bool done = n == 0;
            if (!done)
                data->clear();
            return done;
        }
        data->append(buffer, qsizetype(n));
    }
}

bool AppendRegularFile(const QString &path, const QByteArray &data)
{
    const int fd = OpenRegular(path, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    return done == data.size();
}

bool SameFile(const QString &a, const QString &b)
{
    struct stat sa;
    struct stat sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
