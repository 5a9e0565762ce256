#include "data/regularfile.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

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

// What an open that was meant for a regular file says when the name has
// been swapped for a special file since it was looked at.
bool IsSpecialFileError(int code)
{
    return code == ENXIO || code == EISDIR || code == ENODEV || code == ENOTDIR;
}

// All of data to fd, at offset (or at its position when offset is
// negative), then to the disk; 0 or the system's error.
int WriteAll(int fd, const QByteArray &data, off_t offset)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const std::size_t left = std::size_t(data.size() - done);
        const ssize_t n = offset < 0 ? ::write(fd, data.constData() + done, left)
                                     : ::pwrite(fd, data.constData() + done, left, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += n;
    }
    // Some file systems report a full disk only when the data is flushed.
    if (!data.isEmpty() && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}

// Returned by WriteBeside when the folder does not take a new file beside
// the old one, or will not let it take the old one's place.
constexpr int kNotBeside = -1;

// The page goes into a new file in the folder of target, made to look like
// the old one (owner, group, permission bits), which then takes the old
// one's name in one step: until then the old file is untouched. 0 when the
// page is in place, the system's error when it could not be written whole
// (the old file stays as it was), or kNotBeside.
int WriteBeside(const QByteArray &target, const struct stat &old, const QByteArray &data)
{
    const qsizetype slash = target.lastIndexOf('/');
    // Named after the process, so that the file of a run killed while it
    // wrote can be told from one still being written.
    QByteArray temp = (slash < 0 ? QByteArray() : target.left(slash + 1)) + ".trevin-save-" +
                      QByteArray::number(qint64(::getpid())) + "-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return kNotBeside;
    const auto drop = [&](int result) {
        ::close(fd);
        ::unlink(temp.constData());
        return result;
    };
    struct stat made;
    if (::fstat(fd, &made) != 0)
        return drop(kNotBeside);
    // Another owner cannot be kept without the right to give files away;
    // the old file is then written where it is.
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) && ::fchown(fd, old.st_uid, old.st_gid) != 0)
        return drop(kNotBeside);
    if (::fchmod(fd, old.st_mode & 07777) != 0)
        return drop(kNotBeside);
    if (const int code = WriteAll(fd, data, -1))
        return drop(code);
    if (::close(fd) != 0 && errno != EINTR) {
        const int code = errno;
        ::unlink(temp.constData());
        return code;
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        ::unlink(temp.constData());
        return kNotBeside;
    }
    // The new name on the disk too; a folder that cannot be flushed has
    // the page all the same.
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

// The page over the old content of fd, the file then cut to it. Room for
// the whole page is taken first, so a disk that cannot hold it leaves the
// old content as it was; a file system that cannot promise the room is
// not written (EOPNOTSUPP). 0 or the system's error.
int RewriteInPlace(int fd, const struct stat &old, const QByteArray &data)
{
    if (!data.isEmpty()) {
        int r;
        do
            r = ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(data.size()));
        while (r != 0 && errno == EINTR);
        if (r != 0) {
            const int code = errno == ENOSYS ? EOPNOTSUPP : errno;
            // Room taken beyond the old end is given back.
            while (::ftruncate(fd, old.st_size) != 0 && errno == EINTR) {
            }
            return code;
        }
    }
    if (const int code = WriteAll(fd, data, 0))
        return code;
    while (::ftruncate(fd, off_t(data.size())) != 0) {
        if (errno != EINTR)
            return errno;
    }
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}

// Writes data in place of the content of the regular file open on fd, whose
// real path is target, so that the old content stays whole until the new
// one is: see WriteRegularFile. Leaves fd open.
int ReplaceOpenFile(int fd, const QByteArray &target, const struct stat &old, const QByteArray &data)
{
    // A file with more names than this one is written where it is, so that
    // every name shows the new page.
    const bool linked = old.st_nlink > 1;
    int code = linked ? kNotBeside : WriteBeside(target, old, data);
    if (code == kNotBeside) {
        code = RewriteInPlace(fd, old, data);
        // Without a promise of room, the other names keep the old page
        // rather than risk it.
        if (code == EOPNOTSUPP && linked)
            code = WriteBeside(target, old, data);
        if (code == kNotBeside)
            code = EOPNOTSUPP;
    }
    return code;
}

// Clears an existing regular file and writes data to it: see
// WriteRegularFile.
TWriteResult ReplaceRegularFile(const QByteArray &name, const QByteArray &data, QString *error)
{
    const auto fail = [error](TWriteResult result, int code) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(code));
        return result;
    };
    // A link stays a link: the file it leads to is the one replaced.
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(name.constData(), nullptr), &std::free);
    if (!real)
        return fail(TWriteResult::NotCreated, errno);
    const QByteArray target(real.get());
    // Opened for writing as before, so the rights on the file itself
    // decide, whatever the folder allows.
    const int fd = ::open(target.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        return IsSpecialFileError(code) ? TWriteResult::NotRegular : fail(TWriteResult::NotCreated, code);
    }
    struct stat old;
    if (::fstat(fd, &old) != 0 || !S_ISREG(old.st_mode)) {
        ::close(fd);
        return TWriteResult::NotRegular;
    }
    int code = ReplaceOpenFile(fd, target, old, data);
    if (::close(fd) != 0 && errno != EINTR && !code)
        code = errno;
    return code ? fail(TWriteResult::WriteFailed, code) : TWriteResult::Written;
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
    if (mode == TWriteMode::Clear)
        return ReplaceRegularFile(name, data, error);
    // O_EXCL: a new file is one this call made, and only that one is removed
    // when the write fails.
    const int flags = mode == TWriteMode::New ? O_RDWR | O_CREAT | O_EXCL : O_RDWR;
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        const int code = errno;
        if (IsSpecialFileError(code))
            return TWriteResult::NotRegular;
        return fail(TWriteResult::NotCreated, code);
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return TWriteResult::NotRegular;
    }
    off_t start = 0;
    int code = 0;
    if (mode == TWriteMode::Append) {
        start = ::lseek(fd, 0, SEEK_END);
        if (start < 0) {
            code = errno;
            start = 0;
        }
    }
    if (!code)
        code = WriteAll(fd, data, -1);
    if (code) {
        if (mode == TWriteMode::New) {
            ::close(fd);
            ::unlink(name.constData());
        } else {
            // The old content stays whole.
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

TWriteResult ReplaceOpenRegularFile(int fd, const QString &path, const QByteArray &data, QString *error)
{
    struct stat old;
    if (::fstat(fd, &old) != 0 || !S_ISREG(old.st_mode))
        return TWriteResult::NotRegular;
    // The file beside the old one goes where path leads now; that must
    // still be the file judged on fd.
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(QFile::encodeName(path).constData(), nullptr),
                                                     &std::free);
    if (!real || !SameFile(fd, QFile::decodeName(real.get())))
        return TWriteResult::NotRegular;
    if (const int code = ReplaceOpenFile(fd, QByteArray(real.get()), old, data)) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(code));
        return TWriteResult::WriteFailed;
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

bool SameFile(int fd, const QString &path)
{
    struct stat opened;
    struct stat named;
    if (::fstat(fd, &opened) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0)
        return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}
