#include "data/regularfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
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

TWriteResult WriteRegularFile(const QString &path, const QByteArray &data, TWriteMode mode, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    const auto fail = [error](TWriteResult result, int code) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(code));
        return result;
    };
    // A name that is taken by anything but a regular file is refused before
    // any open, so no FIFO, device or socket is ever touched.
    struct stat st;
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return TWriteResult::NotRegular;
    // O_EXCL: a new file is one this call made, and only that one is removed
    // when the write fails.
    const int flags = mode == TWriteMode::New ? O_RDWR | O_CREAT | O_EXCL : O_RDWR;
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        const int code = errno;
        // Swapped for a special file since the check above.
        if (code == ENXIO || code == EISDIR || code == ENODEV || code == ENOTDIR)
            return TWriteResult::NotRegular;
        return fail(TWriteResult::NotCreated, code);
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return TWriteResult::NotRegular;
    }
    off_t start = 0;
    int code = 0;
    if (mode == TWriteMode::Clear && ::ftruncate(fd, 0) != 0)
        code = errno;
    if (!code && mode == TWriteMode::Append) {
        start = ::lseek(fd, 0, SEEK_END);
        if (start < 0) {
            code = errno;
            start = 0;
        }
    }
    qsizetype done = 0;
    while (!code && done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, std::size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            code = errno;
        else if (n == 0)
            code = EIO;
        else
            done += n;
    }
    // Some file systems report a full disk only when the data is flushed.
    if (!code && !data.isEmpty() && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        code = errno;
    if (code) {
        if (mode == TWriteMode::New) {
            ::close(fd);
            ::unlink(name.constData());
        } else {
            // The old content stays whole; a cleared file stays empty.
            while (::ftruncate(fd, start) != 0 && errno == EINTR) {
            }
            ::close(fd);
        }
        return fail(TWriteResult::WriteFailed, code);
    }
    if (::close(fd) != 0 && errno != EINTR) {
        code = errno;
        if (mode == TWriteMode::New)
            ::unlink(name.constData());
        else if (::truncate(name.constData(), start) != 0) {
            // The close error is the one the user is told about.
        }
        return fail(TWriteResult::WriteFailed, code);
    }
    return TWriteResult::Written;
}

bool SameFile(const QString &a, const QString &b)
{
    struct stat sa;
    struct stat sb;
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
