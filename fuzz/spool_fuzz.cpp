// The spool of a stream that arrives cut into pieces holds the stream: each
// input is written into the pipe in the pieces it names, and the spool file
// must grow by exactly those bytes. One spool serves many inputs (a spool
// is a thread and a file); a new one takes over when its file has grown
// large.
//
// Input: piece lengths in the low nibble of each byte (0: a piece of 16),
// taken in turn from the front, cutting the whole input into pieces.
#include "inputbytes.h"

#include "watch/spool.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

namespace {

struct Stream
{
    UniqueFd writer;
    UniqueFd file; // the spool file, read back
    std::unique_ptr<Spool> spool;
    qint64 total = 0;
};

std::unique_ptr<Stream> open()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        std::abort();
    auto stream = std::make_unique<Stream>();
    stream->writer.reset(ends[1]);
    stream->spool = std::make_unique<Spool>(
        UniqueFd(ends[0]), QDir::tempPath() + QStringLiteral("/ravelin-fuzz-spool"));
    stream->file.reset(
        ::open(QFile::encodeName(stream->spool->path()).constData(), O_RDONLY | O_CLOEXEC));
    if (!stream->file.valid())
        std::abort();
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static std::unique_ptr<Stream> stream;
    if (!stream || stream->total > (qint64(64) << 20))
        stream = open();

    InputBytes lengths(data, size);
    for (size_t done = 0; done < size;) {
        const size_t piece = std::min<size_t>(size - done, 1 + (lengths.byte() + 15) % 16);
        if (::write(stream->writer.get(), data + done, piece) != ssize_t(piece))
            std::abort();
        done += piece;
    }
    stream->total += qint64(size);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (stream->spool->written() < stream->total) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "the spool holds %lld of %lld bytes\n", stream->spool->written(),
                         stream->total);
            std::abort();
        }
        std::this_thread::yield();
    }
    std::string back(size, '\0');
    if (stream->spool->written() != stream->total ||
        ::pread(stream->file.get(), back.data(), size, stream->total - qint64(size)) !=
            ssize_t(size) ||
        back.compare(0, size, reinterpret_cast<const char *>(data), size) != 0) {
        std::fprintf(stderr, "the spool does not hold the stream's last %zu bytes\n", size);
        std::abort();
    }
    return 0;
}
