#include "data/usersettings.h"

#include "data/inifile.h"
#include "data/regularfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>

#include <signal.h>

namespace {

// The private copies are named after their process; a run that was killed
// leaves its copy behind, and the next one removes it.
void RemoveCopiesOfEndedRuns(const QDir &folder)
{
    for (const QString &name : folder.entryList({QStringLiteral("trevin-settings-*-*.conf")}, QDir::Files)) {
        bool ok = false;
        const qint64 pid = name.section(u'-', 2, 2).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            QFile::remove(folder.filePath(name));
    }
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
    m_readable = ReadRegularFile(m_path, &m_saved, MaxFileSize) || !(file.exists() || file.isSymLink());
    RemoveCopiesOfEndedRuns(QDir(QDir::tempPath()));
    m_copy.setFileTemplate(QDir::tempPath() + QStringLiteral("/trevin-settings-") +
                           QString::number(QCoreApplication::applicationPid()) + QStringLiteral("-XXXXXX.conf"));
    if (m_copy.open()) {
        m_copy.write(m_saved);
        m_copy.close();
    }
    m_settings = std::make_unique<QSettings>(m_copy.fileName(), QSettings::IniFormat);
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
    const QVariant v = m_settings->value(Path(section, name));
    return v.isValid() ? v.toString() : def;
}

int TRegistryIniFile::ReadInteger(const QString &section, const QString &name, int def) const
{
    const QVariant v = m_settings->value(Path(section, name));
    return v.isValid() ? StrToIntDef(v.toString(), def) : def;
}

bool TRegistryIniFile::ReadBool(const QString &section, const QString &name, bool def) const
{
    return ReadInteger(section, name, def ? 1 : 0) != 0;
}

void TRegistryIniFile::WriteString(const QString &section, const QString &name, const QString &value)
{
    m_settings->setValue(Path(section, name), value);
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
    return m_settings->contains(Path(section, name));
}

void TRegistryIniFile::EraseSection(const QString &section)
{
    m_settings->remove(SectionPath(section));
}

QStringList TRegistryIniFile::ReadSection(const QString &section) const
{
    m_settings->beginGroup(SectionPath(section));
    const QStringList keys = m_settings->childKeys();
    m_settings->endGroup();
    return keys;
}

void TRegistryIniFile::Flush()
{
    m_settings->sync();
    QByteArray data;
    if (!m_readable || m_copy.fileName().isEmpty() || !ReadRegularFile(m_copy.fileName(), &data) || data == m_saved)
        return;
    QDir().mkpath(QFileInfo(m_path).path());
    const TWriteMode mode = QFileInfo::exists(m_path) ? TWriteMode::Clear : TWriteMode::New;
    if (WriteRegularFile(m_path, data, mode) == TWriteResult::Written)
        m_saved = data;
}
