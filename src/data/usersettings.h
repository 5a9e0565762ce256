#pragma once
// The user's settings key (HKEY_CURRENT_USER\Software\selbran\trevin\2.0 on
// Windows): sections are sub-keys, every value is stored as text (integers in
// decimal, booleans "1"/"0").

#include <QRegularExpression>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

class TRegistryIniFile
{
public:
    // key: "Software\selbran\trevin\2.0"-style path; the first two parts after
    // "Software" are the organisation and application, the rest the group.
    explicit TRegistryIniFile(const QString &key);

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
    std::unique_ptr<QSettings> m_settings;
    QString m_group;
};
