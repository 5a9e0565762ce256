#pragma once
// File access that never blocks on special files: configuration and the SQL
// log are read and written only when the path names a regular file, so a
// FIFO, a device or a folder in their place cannot stall the program.

#include <QByteArray>
#include <QString>

// The whole file into data; false (data empty) when the path is missing or
// not a regular file, or when maxSize is not negative and the file holds
// more than maxSize bytes.
bool ReadRegularFile(const QString &path, QByteArray *data, qint64 maxSize = -1);

// Appends data to a regular file, creating it when missing; false and
// nothing written when the path names anything else.
bool AppendRegularFile(const QString &path, const QByteArray &data);

// How a save went: written whole, refused because the path names something
// other than a regular file, not created, or not written whole.
enum class TWriteResult { Written, NotRegular, NotCreated, WriteFailed };
enum class TWriteMode { New, Clear, Append };

// Writes data to a regular file: a new one (created, never an existing
// name), an existing one cleared first, or an existing one extended at its
// end. The open never waits on a FIFO or a device. When not all of data
// reaches the disk, a new file is removed and an extended one is cut back to
// its length before the write, so no partial page stays behind. A cleared
// file keeps its old content until the new one is written whole: data goes
// into a new file beside it, with its owner, group and permission bits,
// which then takes its name (a link leads to the file replaced, and stays a
// link). A file with other names, or in a folder that takes no new file or
// rename, is written where it is once room for all of data is taken; where
// no room can be promised it is left alone (WriteFailed). error gets the
// system's reason for NotCreated and WriteFailed.
TWriteResult WriteRegularFile(const QString &path, const QByteArray &data, TWriteMode mode, QString *error = nullptr);

// The regular file open on fd, opened from path, gets data in place of its
// content as TWriteMode::Clear does; NotRegular, and nothing written, when it
// is no regular file or path no longer leads to it. fd stays open.
TWriteResult ReplaceOpenRegularFile(int fd, const QString &path, const QByteArray &data, QString *error = nullptr);

// Both paths name one existing file (same device and inode), whatever links
// or spellings lead to it.
bool SameFile(const QString &a, const QString &b);

// The file open on fd is the one path names, whatever links lead to it.
bool SameFile(int fd, const QString &path);
