#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The compressed formats logs come in, told by their first bytes (a
// rotated syslog.2.gz, a .zst archive), never by the name: plain text
// named .gz is plain text.
enum class Compression { None, Gzip, Zstd, Xz, Bzip2 };

Compression compressionOf(const QString &fileName);

// The program and arguments that write the file's decompressed bytes to
// standard output, and the name of the program for a message.
QList<QByteArray> decompressor(Compression compression, const QString &fileName);

// The size the data has decompressed, when the format says it cheaply and
// surely (a gzip of one member under 4 GiB, a zstd frame that records it);
// -1 when not known.
qint64 decompressedSize(Compression compression, const QString &fileName);

// The first bytes of the file as its text: decompressed from a gzip file
// (as far as it decodes), the bytes themselves from anything else.
QByteArray textHead(const QString &fileName, qint64 bytes);
