#pragma once
// The user's settings key (HKEY_CURRENT_USER\Software\selbran\trevin\2.0 on
// Windows): sections are sub-keys, every value is stored as text (integers in
// decimal, booleans "1"/"0"). Here the key is the user's file
// $XDG_CONFIG_HOME/selbran/trevin.conf (~/.config when unset), read only as a
// regular file of bounded size: QSettings works on a private copy, and what
// it writes there goes back into the user's file. A file that could not be
// read is left as it is.

#include <QRegularExpression>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

#include <memory>

class TRegistryIniFile
{
public:
    // key: "Software\selbran\trevin\2.0"-style path; the first two parts after
    // "Software" are the organisation and application, the rest the group.
    explicit TRegistryIniFile(const QString &key);
    ~TRegistryIniFile();
    TRegistryIniFile(const TRegistryIniFile &) = delete;
    TRegistryIniFile &operator=(const TRegistryIniFile &) = delete;

    // Larger settings files are taken for empty: no history holds so much.
    static constexpr qint64 MaxFileSize = 1024 * 1024;
    // The user's file.
    const QString &FileName() const { return m_path; }

    QString ReadString(const QString &section, const QString &name, const QString &def) const;
    int ReadInteger(const QString &section, const QString &name, int def) const;
    bool ReadBool(const QString &section, const QString &name, bool def) const;
    void WriteString(const QString &section, const QString &name, const QString &value);
    void WriteInteger(const QString &section, const QString &name, int value);
    void WriteBool(const QString &section, const QString &name, bool value);
    bool ValueExists(const QString &section, const QString &name) const;
    void EraseSection(const QString &section);
    QStringList ReadSection(const QString &section) const;
    void Flush();

private:
    QString SectionPath(const QString &section) const;
    QString Path(const QString &section, const QString &name) const;
    QString m_path;
    QTemporaryFile m_copy;
    QByteArray m_saved; // what the user's file holds, as far as this object knows
    bool m_readable = false;
    std::unique_ptr<QSettings> m_settings;
    QString m_group;
};
