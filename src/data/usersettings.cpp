#include "data/usersettings.h"

#include "data/inifile.h"
#include "data/regularfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A flush killed while it writes leaves the new file it was writing
// (".trevin-save-<pid>-XXXXXX"); the next start removes those of runs that
// have ended.
void RemoveLeftoversOfEndedRuns(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &name :
         dir.entryList({QStringLiteral(".trevin-save-*-*")}, QDir::Files | QDir::Hidden | QDir::System)) {
        bool ok = false;
        const qint64 pid = name.section(u'-', 2, 2).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(dir.filePath(name));
    }
}

// Flushes take turns through a lock on the user's file itself: the system
// drops it when the run ends, however it ends, so no lock file is ever left
// behind. A flush that waited may find the name taken by the file the other
// one put in its place; it then locks that one.
class TFileLock
{
public:
    ~TFileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // created: the file was missing and this lock made it, empty.
    bool Take(const QByteArray &path, int waitMs, bool *created)
    {
        const QDeadlineTimer deadline(waitMs);
        for (;;) {
            struct stat named;
            bool made = false;
            int fd;
            if (::lstat(path.constData(), &named) != 0 && errno == ENOENT) {
                fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
                made = fd >= 0;
                if (fd < 0 && errno == EEXIST && !deadline.hasExpired())
                    continue;
            } else {
                fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            }
            struct stat locked;
            if (fd < 0)
                return false;
            if (::fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
                ::close(fd);
                return false;
            }
            while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) {
                    ::close(fd);
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (::stat(path.constData(), &named) == 0 && named.st_dev == locked.st_dev &&
                named.st_ino == locked.st_ino) {
                m_fd = fd;
                *created = made;
                return true;
            }
            ::close(fd);
            if (deadline.hasExpired())
                return false;
        }
    }

private:
    int m_fd = -1;
};

TRegistryIniFile::TSectionValues SectionOf(const TIniValues &values, const QString &prefix)
{
    TRegistryIniFile::TSectionValues section;
    for (auto it = values.lowerBound(prefix); it != values.end() && it.key().startsWith(prefix); ++it) {
        QString text;
        if (IniValueText(it.value(), &text))
            section.insert(it.key().mid(prefix.size()), text);
    }
    return section;
}

void RemoveSection(TIniValues &values, const QString &prefix)
{
    auto it = values.lowerBound(prefix);
    while (it != values.end() && it.key().startsWith(prefix))
        it = values.erase(it);
}

} // namespace

TRegistryIniFile::TRegistryIniFile(const QString &key)
{
    QStringList parts = key.split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.front().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    const QString org = parts.value(0, QStringLiteral("selbran"));
    const QString app = parts.value(1, QStringLiteral("trevin"));
    m_group = parts.mid(2).join(u'/');
    m_path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + org + u'/' + app +
             QStringLiteral(".conf");
    // A FIFO, a device or a huge file in its place reads as no settings.
    const QFileInfo file(m_path);
    QByteArray data;
    m_readable = ReadRegularFile(m_path, &data, MaxFileSize) || !(file.exists() || file.isSymLink());
    m_read = m_values = ParseIniLayout(data);
    RemoveLeftoversOfEndedRuns(file.path());
}

TRegistryIniFile::~TRegistryIniFile()
{
    try {
        Flush();
    } catch (...) {
        // The settings are not saved; the program ends all the same.
    }
}

QString TRegistryIniFile::SectionPath(const QString &section) const
{
    return m_group.isEmpty() ? section : m_group + u'/' + section;
}

QString TRegistryIniFile::Path(const QString &section, const QString &name) const
{
    return SectionPath(section) + u'/' + name;
}

QString TRegistryIniFile::ReadString(const QString &section, const QString &name, const QString &def) const
{
    const auto it = m_values.find(Path(section, name));
    QString text;
    return it != m_values.end() && IniValueText(*it, &text) ? text : def;
}

int TRegistryIniFile::ReadInteger(const QString &section, const QString &name, int def) const
{
    const auto it = m_values.find(Path(section, name));
    QString text;
    return it != m_values.end() && IniValueText(*it, &text) ? StrToIntDef(text, def) : def;
}

bool TRegistryIniFile::ReadBool(const QString &section, const QString &name, bool def) const
{
    return ReadInteger(section, name, def ? 1 : 0) != 0;
}

void TRegistryIniFile::WriteString(const QString &section, const QString &name, const QString &value)
{
    m_values.insert(Path(section, name), IniRawValue(value));
}

void TRegistryIniFile::WriteInteger(const QString &section, const QString &name, int value)
{
    WriteString(section, name, QString::number(value));
}

void TRegistryIniFile::WriteBool(const QString &section, const QString &name, bool value)
{
    WriteString(section, name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TRegistryIniFile::ValueExists(const QString &section, const QString &name) const
{
    return m_values.contains(Path(section, name));
}

void TRegistryIniFile::EraseSection(const QString &section)
{
    m_values.remove(SectionPath(section));
    RemoveSection(m_values, SectionPath(section) + u'/');
}

QStringList TRegistryIniFile::ReadSection(const QString &section) const
{
    const QString prefix = SectionPath(section) + u'/';
    QStringList names;
    for (auto it = m_values.lowerBound(prefix); it != m_values.end() && it.key().startsWith(prefix); ++it)
        if (!it.key().mid(prefix.size()).contains(u'/'))
            names << it.key().mid(prefix.size());
    return names;
}

TRegistryIniFile::TSectionValues TRegistryIniFile::ReadSectionValues(const QString &section) const
{
    return SectionOf(m_values, SectionPath(section) + u'/');
}

void TRegistryIniFile::SetSectionMerge(const QString &section, TSectionMerge merge)
{
    m_merges.insert(SectionPath(section), std::move(merge));
}

TIniValues TRegistryIniFile::Merged(const TIniValues &file) const
{
    TIniValues merged = file;
    QStringList merging;
    for (auto it = m_merges.begin(); it != m_merges.end(); ++it) {
        const QString prefix = it.key() + u'/';
        merging << prefix;
        const TSectionValues read = SectionOf(m_read, prefix);
        const TSectionValues mine = SectionOf(m_values, prefix);
        if (read == mine)
            continue;
        const TSectionValues result = it.value()(read, mine, SectionOf(file, prefix));
        RemoveSection(merged, prefix);
        for (auto v = result.begin(); v != result.end(); ++v)
            merged.insert(prefix + v.key(), IniRawValue(v.value()));
    }
    const auto isMerged = [&merging](const QString &key) {
        return std::any_of(merging.begin(), merging.end(), [&key](const QString &p) { return key.startsWith(p); });
    };
    // Every other value this run changed, set or erased, over the file's.
    for (auto it = m_values.begin(); it != m_values.end(); ++it) {
        const auto before = m_read.find(it.key());
        if ((before == m_read.end() || *before != *it) && !isMerged(it.key()))
            merged.insert(it.key(), *it);
    }
    for (auto it = m_read.begin(); it != m_read.end(); ++it)
        if (!m_values.contains(it.key()) && !isMerged(it.key()))
            merged.remove(it.key());
    return merged;
}

bool TRegistryIniFile::Flush()
{
    if (!m_readable)
        return false;
    if (m_values == m_read)
        return true;
    QDir().mkpath(QFileInfo(m_path).path());
    const QByteArray name = QFile::encodeName(m_path);
    TFileLock lock;
    bool created = false;
    if (!lock.Take(name, LockWaitMs, &created))
        return false;
    // What the file holds now, another program's changes included; one that
    // has become unreadable is left as it is.
    QByteArray data;
    if (!ReadRegularFile(m_path, &data, MaxFileSize))
        return false;
    const TIniValues merged = Merged(ParseIniLayout(data));
    const QByteArray page = WriteIniLayout(merged);
    const bool written = page == data || WriteRegularFile(m_path, page, TWriteMode::Clear) == TWriteResult::Written;
    // A file this flush made for nothing goes again.
    if (created && (!written || page.isEmpty()))
        ::unlink(name.constData());
    if (!written)
        return false;
    m_read = m_values = merged;
    return true;
}
