#pragma once
// A file system of its own for a test: a tmpfs of a given size mounted at a
// temporary folder, so that a disk really fills (or is really read-only),
// unmounted when this ends. Mounting needs root; REQUIRE_TMPFS skips a test
// where it cannot mount, and fails it when TREVIN_REQUIRE_MOUNT is set.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/mount.h>

class TSmallTmpfs
{
public:
    // options: as for mount -o, e.g. "size=8k" or "ro,size=64k".
    explicit TSmallTmpfs(const QByteArray &options = "size=64k")
    {
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                            options.constData()) == 0;
        if (!m_mounted)
            m_error = std::strerror(errno);
    }
    ~TSmallTmpfs()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    TSmallTmpfs(const TSmallTmpfs &) = delete;
    TSmallTmpfs &operator=(const TSmallTmpfs &) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string &Error() const { return m_error; }
    QString Path(const QString &name = QString()) const { return name.isEmpty() ? m_dir.path() : m_dir.filePath(name); }

    // Takes every free byte of the disk into the file "filler".
    void Fill()
    {
        QFile f(Path(QStringLiteral("filler")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (f.write(block) == block.size()) {
        }
        // Whatever part of a page is still free goes too.
        while (f.write("x", 1) == 1) {
        }
    }
    void Free() { QFile::remove(Path(QStringLiteral("filler"))); }
    // The names in the disk's top folder, sorted.
    QStringList Entries() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    std::string m_error;
};

#define REQUIRE_TMPFS(disk)                                                                                            \
    do {                                                                                                               \
        if (!(disk).Mounted()) {                                                                                       \
            if (!qEnvironmentVariableIsEmpty("TREVIN_REQUIRE_MOUNT"))                                                  \
                FAIL() << "TREVIN_REQUIRE_MOUNT is set but no tmpfs can be mounted: " << (disk).Error();               \
            GTEST_SKIP() << "!!! NOT RUN: cannot mount a small tmpfs here (" << (disk).Error()                         \
                         << "); run as root to test a full disk";                                                      \
        }                                                                                                              \
    } while (false)
