#pragma once
// The subfolders of a folder, for the information tabs: hidden folders
// (name beginning with ".") and folders their owner cannot write are left
// out, and so are links.

#include <QString>
#include <QStringList>

// Inserts Prefix + name of every subfolder of Folder at position Index of
// List; so they end up in the reverse of the file system's listing order.
// A missing folder adds nothing.
void ListSubfolders(const QString &prefix, int index, const QString &folder, QStringList &list);
// The subfolders of Folder as full paths, after what List already holds.
void AddSubfolders(const QString &folder, QStringList &list);
