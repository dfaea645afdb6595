#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/types.h>

// Replaces or creates a file in one step: the data goes to a temporary file
// in the same folder, is flushed to the disk and renamed over the file, and
// the rename is flushed with its folder. A crash or a full disk leaves either
// the old or the new complete file, never a mix and never a stray temporary
// file. The folder must exist.
//
// Symbolic links: the whole chain is followed and the file at its end is
// written, so every link stays a link. A dangling link is followed the same
// way: the file it names is created (as a shell's "> link" does), in a folder
// that must exist. A loop of links fails. Anything at the end of the chain
// that is not a regular file (a folder, FIFO or device) is refused.
//
// Permissions: a replaced file keeps its mode and, where allowed, its owner
// and group. A new file gets the mode given (the umask applies). While it
// fills, the temporary file is readable by its owner alone and never wider
// than a new file would be.

// Points of a write at which the hook runs; a hook that throws stands for a
// crash at that point (the exception passes through).
enum class AtomicWriteStep { TempCreated, PartWritten, Written, Synced, Renamed };
using AtomicWriteHook = std::function<void(AtomicWriteStep)>;

// Writes in pieces: open(), write() as often as needed, commit(). Each
// write() goes to the file at once, so a caller batches small pieces. A
// writer that is destroyed before commit() succeeded removes its temporary
// file and leaves the target as it was.
class AtomicFileWriter final
{
public:
    explicit AtomicFileWriter(const QString &path, mode_t newFileMode = 0666,
                              AtomicWriteHook hook = {});
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter &) = delete;
    AtomicFileWriter &operator=(const AtomicFileWriter &) = delete;

    // Creates the temporary file.
    bool open();
    // False once any write failed; later writes do nothing.
    bool write(const char *data, qsizetype size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    // Flushes and renames over the target; true when it now holds the data.
    bool commit();

    // Why the last call failed (the system's text).
    const QString &error() const { return m_error; }
    // The file written: the path with its links followed (bytes, absolute).
    const QByteArray &target() const { return m_target; }

private:
    bool fail(int error);
    bool fail(const QString &reason);
    void step(AtomicWriteStep s) const;

    QString m_path;
    mode_t m_newFileMode;
    AtomicWriteHook m_hook;
    QByteArray m_target;
    QByteArray m_temp;
    int m_fd = -1;
    bool m_replaces = false;
    mode_t m_mode = 0;
    bool m_failed = false;
    QString m_error;
};

// The whole file at once. True when the file now holds the data. On failure
// the old file is as it was and error (when given) receives the reason.
// Shows no message.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error = nullptr,
                         const AtomicWriteHook &hook = {}, mode_t newFileMode = 0666);
