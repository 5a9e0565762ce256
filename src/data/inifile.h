#pragma once
// Read-only profile (ini) file with the semantics of Windows profile files:
// section and key names are case-insensitive, a missing file, section or key
// yields the caller's default, surrounding blanks and one pair of quotes
// around a value are removed. The file is single-byte Windows-1251 text, or
// UTF-8 when it starts with a byte-order mark. Only a regular file of at
// most MaxFileSize bytes is read; anything else counts as a missing file.

#include <QHash>
#include <limits>
#include <QString>

class TIniFile
{
public:
    // A configuration file is a few hundred bytes.
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    explicit TIniFile(const QString &fileName);

    const QString &FileName() const { return m_fileName; }
    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // Decimal or "$"/"0x" hexadecimal integer; anything else gives the default.
    int ReadInteger(const QString &section, const QString &key, int def) const;
    bool ReadBool(const QString &section, const QString &key, bool def) const;
    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;

private:
    QString m_fileName;
    // lower-cased section -> lower-cased key -> value (first occurrence wins)
    QHash<QString, QHash<QString, QString>> m_sections;
};

// Text to integer as profile readers do it: optional sign, decimal, or
// "$"/"0x" hexadecimal; surrounding blanks allowed; ok=false for anything else.
int StrToIntDef(const QString &text, int def);
