#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Replaces a file in one step: the data goes to a temporary file in the same
// folder, is flushed to the disk and renamed over the file, so a crash or a
// full disk leaves either the old or the new complete file, never a mix and
// never a stray temporary file. A symbolic link stays and the file it points
// to is replaced; the replacement keeps the old file's permissions and, where
// allowed, its owner. The folder must exist.

// Points of a write at which the hook runs; a hook that throws stands for a
// crash at that point (the exception passes through).
enum class AtomicWriteStep { TempCreated, PartWritten, Written, Synced, Renamed };
using AtomicWriteHook = std::function<void(AtomicWriteStep)>;

// True when the file now holds the data. On failure the old file is as it
// was and error (when given) receives the reason. Shows no message.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error = nullptr,
                         const AtomicWriteHook &hook = {});
