#include "viewer/gzipindex.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr qint64 kChunk = 256 * 1024;
constexpr int kGzip = 15 + 16; // a gzip header and trailer around deflate
constexpr int kRaw = -15;      // deflate alone, from a checkpoint
// What the windows may take: a 320th of the output (64 MB for 20 GB), and
// never less than this.
constexpr qint64 kBudgetShare = 320;
constexpr qint64 kMinBudget = 1 << 20;

// Owns an inflate stream.
class Inflater
{
public:
    explicit Inflater(int windowBits) { m_ok = inflateInit2(&m_stream, windowBits) == Z_OK; }
    ~Inflater()
    {
        if (m_ok)
            inflateEnd(&m_stream);
    }
    Inflater(const Inflater &) = delete;
    Inflater &operator=(const Inflater &) = delete;
    bool ok() const { return m_ok; }
    z_stream *operator->() { return &m_stream; }
    z_stream *get() { return &m_stream; }

private:
    z_stream m_stream{};
    bool m_ok = false;
};

// Compressed input read in chunks through a source.
class Input
{
public:
    Input(const FileSource &source, qint64 from, std::stop_token stop)
        : m_source(source), m_next(from), m_stop(std::move(stop)),
          m_buffer(std::make_unique<unsigned char[]>(size_t(kChunk)))
    {}
    const FileSource &source() const { return m_source; }
    void setStop(std::stop_token stop) { m_stop = std::move(stop); }
    // Refills stream's input when empty; false at the end of the file or on failure.
    bool refill(z_stream &stream, FileSource::ReadResult *result)
    {
        if (stream.avail_in > 0)
            return true;
        qint64 got = 0;
        *result =
            m_source.read(reinterpret_cast<char *>(m_buffer.get()), kChunk, m_next, &got, m_stop);
        if (*result != FileSource::ReadResult::Ok || got <= 0)
            return false;
        m_next += got;
        stream.next_in = m_buffer.get();
        stream.avail_in = uInt(got);
        return true;
    }
    // The compressed offset of the next byte stream will take.
    qint64 offset(const z_stream &stream) const { return m_next - qint64(stream.avail_in); }
    // The next input byte without taking it; -1 at the end.
    int peek(z_stream &stream)
    {
        FileSource::ReadResult result = FileSource::ReadResult::Ok;
        if (!refill(stream, &result))
            return -1;
        return stream.next_in[0];
    }

private:
    const FileSource &m_source;
    qint64 m_next;
    std::stop_token m_stop;
    std::unique_ptr<unsigned char[]> m_buffer;
};

// Whether a new gzip member follows: its magic bytes. Anything else after
// a member (zero padding from a tape, junk) ends the data, as gzip -d says.
bool memberFollows(Input &input, z_stream &stream)
{
    if (input.peek(stream) != 0x1f)
        return false;
    return stream.avail_in < 2 || stream.next_in[1] == 0x8b;
}

// Takes the 8 bytes of a gzip trailer; false when the file ends first.
bool skipTrailer(Input &input, z_stream &stream)
{
    for (int left = 8; left > 0;) {
        FileSource::ReadResult result = FileSource::ReadResult::Ok;
        if (!input.refill(stream, &result))
            return false;
        const uInt take = std::min<uInt>(stream.avail_in, uInt(left));
        stream.next_in += take;
        stream.avail_in -= take;
        left -= int(take);
    }
    return true;
}

// A checkpoint's window kept deflated: log text shrinks to a quarter, so
// checkpoints can lie closer for the same memory.
std::vector<unsigned char> packWindow(const unsigned char *window, size_t size)
{
    z_stream stream{};
    if (deflateInit2(&stream, 1, Z_DEFLATED, kRaw, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::vector<unsigned char> packed(deflateBound(&stream, uLong(size)));
    stream.next_in = const_cast<unsigned char *>(window);
    stream.avail_in = uInt(size);
    stream.next_out = packed.data();
    stream.avail_out = uInt(packed.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    packed.resize(done ? stream.total_out : 0);
    deflateEnd(&stream);
    packed.shrink_to_fit();
    return packed;
}

bool unpackWindow(const std::vector<unsigned char> &packed, unsigned char *window, size_t size)
{
    Inflater stream(kRaw);
    if (!stream.ok())
        return false;
    stream->next_in = const_cast<unsigned char *>(packed.data());
    stream->avail_in = uInt(packed.size());
    stream->next_out = window;
    stream->avail_out = uInt(size);
    return inflate(stream.get(), Z_FINISH) == Z_STREAM_END && stream->avail_out == 0;
}

} // namespace

qint64 GzipIndex::memoryBytes() const
{
    qint64 bytes = qint64(m_points.capacity() * sizeof(m_points[0]));
    for (const auto &point : m_points)
        bytes += qint64(sizeof(Point) + point->window.capacity());
    return bytes;
}

GzipIndex::Result GzipIndex::build(const FileSource &compressed, qint64 spacing,
                                   std::stop_token stop, const Progress &progress)
{
    m_points.clear();
    m_size = 0;
    m_error.clear();
    Inflater stream(kGzip);
    if (!stream.ok())
        return Result::ReadFailed;
    Input input(compressed, 0, stop);
    // The output goes round this buffer, which is the window a checkpoint keeps.
    std::vector<unsigned char> window(windowSize);
    std::vector<unsigned char> ordered(windowSize);
    qint64 windowBytes = 0;
    qint64 out = 0;
    qint64 last = 0;
    m_points.push_back(std::make_shared<const Point>(Point{0, 0, 0, true, {}}));
    FileSource::ReadResult readResult = FileSource::ReadResult::Ok;
    bool inputEnded = false;
    for (;;) {
        if (!inputEnded && !input.refill(*stream.get(), &readResult)) {
            if (readResult != FileSource::ReadResult::Ok) {
                m_size = out;
                return readResult == FileSource::ReadResult::Cancelled ? Result::Cancelled
                                                                       : Result::ReadFailed;
            }
            inputEnded = true; // what inflate holds back still comes out below
        }
        if (stream->avail_out == 0) {
            stream->next_out = window.data();
            stream->avail_out = windowSize;
        }
        const uInt before = stream->avail_out;
        const int ret = inflate(stream.get(), Z_BLOCK);
        out += before - stream->avail_out;
        if (inputEnded && ret != Z_STREAM_END && before == stream->avail_out) {
            m_size = out;
            m_error = "the file ends inside compressed data";
            return Result::Damaged;
        }
        if (ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR) {
            m_size = out;
            m_error = stream->msg ? stream->msg : "the compressed data is damaged";
            return Result::Damaged;
        }
        if (ret == Z_STREAM_END) {
            // A member ended: another may follow (cat a.gz b.gz).
            if (!memberFollows(input, *stream.get()))
                break;
            if (inflateReset2(stream.get(), kGzip) != Z_OK)
                return Result::ReadFailed;
            m_points.push_back(std::make_shared<const Point>(
                Point{out, input.offset(*stream.get()), 0, true, {}}));
            last = out;
            continue;
        }
        // At the start of a deflate block that is not the last: a place to resume.
        const bool blockStart = (stream->data_type & 128) && !(stream->data_type & 64);
        if (blockStart && out - last >= spacing) {
            // The window, oldest byte first: it wraps round at next_out.
            const size_t tail = stream->avail_out;
            if (tail > 0)
                std::memcpy(ordered.data(), window.data() + windowSize - tail, tail);
            if (tail < size_t(windowSize))
                std::memcpy(ordered.data() + tail, window.data(), windowSize - tail);
            Point point{out, input.offset(*stream.get()), stream->data_type & 7, false,
                        packWindow(ordered.data(), ordered.size())};
            // Data that does not shrink gets checkpoints further apart.
            if (!point.window.empty() && windowBytes + qint64(point.window.size()) <=
                                             std::max(kMinBudget, out / kBudgetShare)) {
                windowBytes += qint64(point.window.size());
                m_points.push_back(std::make_shared<const Point>(std::move(point)));
                last = out;
            }
        }
        if (progress && out > m_size) {
            m_size = out;
            progress(*this);
        }
        if (stop.stop_requested()) {
            m_size = out;
            return Result::Cancelled;
        }
    }
    m_size = out;
    return Result::Ok;
}

struct GzipIndex::Cursor::State
{
    State(int windowBits, const FileSource &compressed, qint64 from, std::stop_token stop)
        : stream(windowBits), input(compressed, from, std::move(stop))
    {}
    Inflater stream;
    Input input;
    qint64 out = 0;   // the decompressed offset inflate gives next
    bool raw = false; // inside a member entered at a checkpoint
    bool inputEnded = false;
    // The last bytes read, ending at out: scans read their blocks with a
    // little overlap, and that step back must not cost a checkpoint.
    static constexpr qint64 kRecent = 64 * 1024;
    std::vector<char> recent;
    // Where output before the position goes; kept, as reads come often.
    std::vector<unsigned char> discard;

    void keep(const char *bytes, qint64 count)
    {
        const qint64 take = std::min(count, kRecent);
        const qint64 drop = std::max<qint64>(0, qint64(recent.size()) + take - kRecent);
        recent.erase(recent.begin(), recent.begin() + drop);
        recent.insert(recent.end(), bytes + count - take, bytes + count);
    }
};

GzipIndex::Cursor::Cursor() = default;
GzipIndex::Cursor::~Cursor() = default;

void GzipIndex::Cursor::reset()
{
    m_state.reset();
}

bool GzipIndex::read(const FileSource &compressed, char *buffer, qint64 count, qint64 position,
                     qint64 *bytesRead, std::stop_token stop, Cursor *cursor) const
{
    *bytesRead = 0;
    if (position >= m_size || count <= 0 || m_points.empty())
        return true;
    count = std::min(count, m_size - position);
    const auto after = std::upper_bound(
        m_points.begin(), m_points.end(), position,
        [](qint64 pos, const std::shared_ptr<const Point> &point) { return pos < point->out; });
    const Point &point = **(after - 1);

    // Bytes just read come again from the cursor's memory.
    if (cursor && cursor->m_state && &cursor->m_state->input.source() == &compressed) {
        Cursor::State &kept = *cursor->m_state;
        const qint64 from = kept.out - qint64(kept.recent.size());
        if (position >= from && position < kept.out) {
            const qint64 n = std::min(count, kept.out - position);
            std::memcpy(buffer, kept.recent.data() + (position - from), size_t(n));
            if (n == count) {
                *bytesRead = n;
                return true;
            }
            qint64 more = 0;
            const bool ok = read(compressed, buffer + n, count - n, position + n, &more,
                                 std::move(stop), cursor);
            *bytesRead = n + more;
            return ok;
        }
    }

    // Going on from the cursor beats a checkpoint only when no checkpoint
    // lies between it and the position.
    std::unique_ptr<Cursor::State> state;
    if (cursor && cursor->m_state && &cursor->m_state->input.source() == &compressed &&
        cursor->m_state->out <= position && point.out <= cursor->m_state->out) {
        state = std::move(cursor->m_state);
        state->input.setStop(stop);
    } else {
        if (cursor)
            cursor->reset();
        const bool raw = !point.member;
        state = std::make_unique<Cursor::State>(raw ? kRaw : kGzip, compressed,
                                                point.in - (point.bits ? 1 : 0), stop);
        state->out = point.out;
        state->raw = raw;
        z_stream &stream = *state->stream.get();
        if (!state->stream.ok())
            return false;
        FileSource::ReadResult result = FileSource::ReadResult::Ok;
        if (point.bits) {
            if (!state->input.refill(stream, &result))
                return false;
            const int byte = stream.next_in[0];
            ++stream.next_in;
            --stream.avail_in;
            if (inflatePrime(&stream, point.bits, byte >> (8 - point.bits)) != Z_OK)
                return false;
        }
        if (!point.member) {
            std::vector<unsigned char> window(windowSize);
            if (!unpackWindow(point.window, window.data(), window.size()) ||
                inflateSetDictionary(&stream, window.data(), uInt(window.size())) != Z_OK)
                return false;
        }
    }
    z_stream &stream = *state->stream.get();
    Input &input = state->input;
    if (position != state->out)
        state->recent.clear(); // what it keeps must end where the read will

    // Decompressed and thrown away up to position, then into the buffer.
    std::vector<unsigned char> &discard = state->discard;
    const size_t skipped =
        size_t(std::min<qint64>(std::max<qint64>(position - state->out, 0), kChunk));
    if (discard.size() < skipped)
        discard.resize(skipped);
    FileSource::ReadResult result = FileSource::ReadResult::Ok;
    while (*bytesRead < count) {
        if (!state->inputEnded && !input.refill(stream, &result)) {
            if (result != FileSource::ReadResult::Ok)
                return false;
            state->inputEnded = true; // what inflate holds back still comes out below
        }
        const qint64 skip = position - state->out;
        if (skip > 0) {
            stream.next_out = discard.data();
            stream.avail_out = uInt(std::min<qint64>(skip, qint64(discard.size())));
        } else {
            stream.next_out = reinterpret_cast<unsigned char *>(buffer) + *bytesRead;
            stream.avail_out = uInt(std::min<qint64>(count - *bytesRead, kChunk));
        }
        const uInt before = stream.avail_out;
        const int ret = inflate(&stream, Z_NO_FLUSH);
        const qint64 produced = before - stream.avail_out;
        if (state->inputEnded && produced == 0 && ret != Z_STREAM_END)
            return false; // the data ended early: the file changed
        state->out += produced;
        if (skip <= 0)
            *bytesRead += produced;
        if (ret == Z_STREAM_END) {
            // From a checkpoint inflate read deflate alone: the member's
            // trailer (CRC and length) is still ahead of the next member.
            if (state->raw && !skipTrailer(input, stream))
                break;
            state->raw = false;
            if (!memberFollows(input, stream))
                break;
            if (inflateReset2(&stream, kGzip) != Z_OK)
                return false;
            continue;
        }
        if (ret != Z_OK && ret != Z_BUF_ERROR)
            // The check at a member's end may fail after the bytes wanted.
            return *bytesRead == count;
        if (stop.stop_requested())
            return false;
    }
    if (cursor && *bytesRead == count) {
        state->keep(buffer, count);
        cursor->m_state = std::move(state);
    }
    return true;
}
