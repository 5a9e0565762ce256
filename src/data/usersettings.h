#pragma once
// The user's settings key (HKEY_CURRENT_USER\Software\selbran\trevin\2.0 on
// Windows): sections are sub-keys, every value is stored as text (integers in
// decimal, booleans "1"/"0"). Here the key is the user's file
// $XDG_CONFIG_HOME/selbran/trevin.conf (~/.config when unset), in QSettings'
// ini layout. It is read once, only as a regular file of bounded size; a
// flush locks it, reads it again, puts this run's changes over what it holds
// by then (so the changes of a program running beside this one survive) and
// replaces it by a file written whole in the same folder. Nothing is written
// when nothing changed, and a file that could not be read is left as it is.

#include "data/settingsformat.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

class TRegistryIniFile
{
public:
    // Names to texts, within one section.
    using TSectionValues = QMap<QString, QString>;
    // What a section this run changed holds after a flush, given the section
    // as this run read it, as this run leaves it, and as the file holds it
    // now.
    using TSectionMerge = std::function<TSectionValues(const TSectionValues &read, const TSectionValues &mine,
                                                       const TSectionValues &file)>;

    // key: "Software\selbran\trevin\2.0"-style path; the first two parts after
    // "Software" are the organisation and application, the rest the group.
    explicit TRegistryIniFile(const QString &key);
    ~TRegistryIniFile();
    TRegistryIniFile(const TRegistryIniFile &) = delete;
    TRegistryIniFile &operator=(const TRegistryIniFile &) = delete;

    // Larger settings files are taken for empty: no history holds so much.
    static constexpr qint64 MaxFileSize = 1024 * 1024;
    // How long a flush waits for another program's flush to end.
    static constexpr int LockWaitMs = 5000;
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
    TSectionValues ReadSectionValues(const QString &section) const;
    // Without one, each value of the section that this run changed is put
    // over the file's own.
    void SetSectionMerge(const QString &section, TSectionMerge merge);
    // True when the file holds this run's changes.
    bool Flush();

private:
    QString SectionPath(const QString &section) const;
    QString Path(const QString &section, const QString &name) const;
    TIniValues Merged(const TIniValues &file) const;
    QString m_path;
    QString m_group;
    bool m_readable = false;
    TIniValues m_read;   // the file as this run last read or wrote it
    TIniValues m_values; // the same with this run's changes
    QMap<QString, TSectionMerge> m_merges;
};
