#pragma once

#include <QString>
#include <QtGlobal>

// Helpers for files named by QString: existence, size, time stamps, reading
// by handle and deletion. They hold no state, never show messages and report
// failure through their results only.

using FileHandle = int;
inline constexpr FileHandle InvalidFileHandle = -1;

// Whether a lookup of the name finds an entry; *isFolder tells whether it is a folder.
bool IsFileOrDirExist(const QString &name, bool *isFolder = nullptr);
// Found and not a folder.
bool IsFileExist(const QString &name);

// Opens an existing regular file for reading without locking it, so other
// programs keep writing, renaming and deleting it. Anything that is not a
// regular file (FIFO, device, socket, folder) is refused. InvalidFileHandle on failure.
FileHandle FileOpenRead(const QString &name);
void FileClose(FileHandle handle);
// Reads up to count bytes at position. A short read at the end of the file is
// success; *bytesRead tells how many bytes arrived.
bool FileReadAt(FileHandle handle, qint64 position, void *buffer, qint64 count, qint64 *bytesRead);
// Size of an open file; -1 on failure.
qint64 FileSizeByHandle(FileHandle handle);

// FileOpenRead succeeds (the handle is closed again).
bool IsFileReadable(const QString &name);
// Size from a lookup of the name; -1 when missing. A folder gives its entry's size.
qint64 FileSizeByName(const QString &name);
// Size and last-write time (nanoseconds since the epoch); false with 0/0 when missing.
bool FileInfoByName(const QString &name, qint64 *size, qint64 *lastWriteTime);

struct FileSnapshot
{
    bool Exists = false;
    qint64 Size = 0;
    qint64 LastWrite = 0;   // st_mtim, ns since the epoch
    quint32 Attributes = 0; // st_mode
    qint64 Creation = 0; // st_ctim, ns (the status change time: Linux keeps no birth time in stat)
    qint64 LastAccess = 0; // st_atim, ns
};
FileSnapshot FileSnapshotByName(const QString &name);

// The first two bytes of the file are FF FE or FE FF.
bool IsFileUnicode(FileHandle handle);
// True when the file was deleted.
bool DeleteFileByName(const QString &name);

// The system's text for an errno value.
QString ErrnoText(int error);
