#include "windows/main/subfolders.h"

#include <QDir>
#include <QFileInfo>

void ListSubfolders(const QString &prefix, int index, const QString &folder, QStringList &list)
{
    const QDir dir(folder);
    if (!dir.exists())
        return;
    // Unsorted: the order the file system lists them in.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (!entry.isDir() || entry.isSymLink() || name.startsWith(u'.') || name.endsWith(u'.'))
            continue;
        if (!entry.permission(QFileDevice::WriteOwner))
            continue;
        list.insert(qBound(0, index, int(list.size())), prefix + name);
    }
}

void AddSubfolders(const QString &folder, QStringList &list)
{
    if (!QDir(folder).exists())
        return;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    ListSubfolders(prefix, int(list.size()), folder, list);
}
