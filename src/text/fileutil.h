#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Helpers for files named by QString: existence, size, time stamps, reading
// by handle and deletion. They hold no state, never show messages and report
// failure through their results only.
//
// A Linux file name is bytes, not text. Inside the program a name is a
// QString that keeps every byte: valid UTF-8 reads as usual, and each byte
// that is no part of valid UTF-8 becomes the lone surrogate U+DC00 + byte
// (Python's "surrogateescape"). FileNameToBytes and FileNameFromBytes are the
// one crossing between the two, used wherever a name meets the system or a
// stored file, so that a name opens, and is saved and read back, as exactly
// the bytes it came with.

QByteArray fileNameToBytes(const QString &name);
QString fileNameFromBytes(const QByteArray &bytes);
// The name as the user sees it: each byte that is not UTF-8 shows as U+FFFD.
QString displayFileName(const QString &name);
// Absolute, without "." and ".." parts and repeated slashes; a relative name
// is taken from the current folder, read as bytes.
QString absoluteFileName(const QString &name);
// A file dialog decodes names with U+FFFD in place of the bytes that are not
// UTF-8, so what it returns may name no file. Gives the name of the file it
// stands for: each such part of the path is matched against the entries of
// its folder as the dialog shows them. The name itself when it exists, or
// when no entry or more than one entry matches.
QString fileNameFromDisplayed(const QString &name);

using FileHandle = int;
inline constexpr FileHandle invalidFileHandle = -1;

// Whether a lookup of the name finds an entry; *isFolder tells whether it is a folder.
bool isFileOrDirExist(const QString &name, bool *isFolder = nullptr);
// Found and not a folder.
bool isFileExist(const QString &name);
// Found and a regular file (not a folder, FIFO, device or socket).
bool isRegularFile(const QString &name);

// Opens an existing regular file for reading without locking it, so other
// programs keep writing, renaming and deleting it. Anything that is not a
// regular file (FIFO, device, socket, folder) is refused. InvalidFileHandle on failure.
FileHandle fileOpenRead(const QString &name);
void fileClose(FileHandle handle);
// Reads up to count bytes at position. A short read at the end of the file is
// success; *bytesRead tells how many bytes arrived.
bool fileReadAt(FileHandle handle, qint64 position, void *buffer, qint64 count, qint64 *bytesRead);
// Size of an open file; -1 on failure.
qint64 fileSizeByHandle(FileHandle handle);

// FileOpenRead succeeds (the handle is closed again).
bool isFileReadable(const QString &name);
// Size from a lookup of the name; -1 when missing. A folder gives its entry's size.
qint64 fileSizeByName(const QString &name);
// Size and last-write time (nanoseconds since the epoch); false with 0/0 when missing.
bool fileInfoByName(const QString &name, qint64 *size, qint64 *lastWriteTime);

struct FileSnapshot
{
    bool exists = false;
    qint64 size = 0;
    qint64 lastWrite = 0;   // st_mtim, ns since the epoch
    quint32 attributes = 0; // st_mode
    qint64 creation = 0; // st_ctim, ns (the status change time: Linux keeps no birth time in stat)
    qint64 lastAccess = 0; // st_atim, ns
};
FileSnapshot fileSnapshotByName(const QString &name);

// The first two bytes of the file are FF FE or FE FF.
bool isFileUnicode(FileHandle handle);
// True when the file was deleted.
bool deleteFileByName(const QString &name);

// The system's text for an errno value.
QString errnoText(int error);
// Writes all size bytes to fd, going on after short writes and EINTR;
// false with error set (ENOSPC when the disk took nothing) otherwise.
bool writeAll(int fd, const char *data, qsizetype size, int &error);
