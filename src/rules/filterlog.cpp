#include "rules/filterlog.h"

#include "rules/longlinematcher.h"
#include "rules/matchline.h"
#include "rules/ruleregex.h"
#include "search/patterninfo.h"
#include "text/atomicfile.h"
#include "text/blockdecoder.h"
#include "text/fileutil.h"
#include "text/linebreak.h"
#include "viewer/filesource.h"
#include "viewer/scanreader.h"

#include <QByteArrayView>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <sys/stat.h>

namespace {

using Status = FilterLogResult::Status;

constexpr qsizetype kWriteBlock = qsizetype(4) << 20;

// The lines a run keeps, gathered into large writes to a file that replaces
// the target only when done. A write that fails is remembered and ends the
// run at the next check.
class Output final
{
public:
    // sourceMode: the permissions of the file filtered. A new file gets no
    // more than those (and the umask); a replaced one keeps its own.
    Output(const QString &dest, mode_t sourceMode) : m_file(dest, sourceMode & 0666), m_dest(dest)
    {}
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    bool create(QString &error)
    {
        if (!m_file.open()) {
            error = QStringLiteral("Cannot create file \"%1\": %2").arg(m_dest, m_file.error());
            return false;
        }
        m_buffer.reserve(size_t(kWriteBlock) + 4096);
        return true;
    }

    void line(const char *data, qsizetype size)
    {
        write(data, size);
        endLine();
    }

    // Part of a line; EndLine ends it.
    void write(const char *data, qsizetype size)
    {
        m_buffer.insert(m_buffer.end(), data, data + size);
        if (qsizetype(m_buffer.size()) >= kWriteBlock)
            flush();
    }

    void endLine()
    {
        m_buffer.push_back('\r');
        m_buffer.push_back('\n');
        ++m_lines;
    }

    // Writes what is buffered once there is enough of it (or always).
    // False once a write failed; Error says why.
    bool flush(bool always = false)
    {
        if (m_buffer.empty() || (!always && qsizetype(m_buffer.size()) < kWriteBlock))
            return check(true);
        const bool ok = m_file.write(m_buffer.data(), qsizetype(m_buffer.size()));
        m_buffer.clear();
        return check(ok);
    }

    bool commit() { return flush(true) && check(m_file.commit()); }

    qint64 lines() const { return m_lines; }
    const QString &error() const { return m_error; }

private:
    bool check(bool ok)
    {
        if (ok && m_error.isEmpty())
            return true;
        if (m_error.isEmpty())
            m_error = QStringLiteral("Cannot write file \"%1\": %2").arg(m_dest, m_file.error());
        return false;
    }

    AtomicFileWriter m_file;
    QString m_dest;
    QString m_error;
    std::vector<char> m_buffer;
    qint64 m_lines = 0;
};

// Whether any line can hold a match of the filter (lines hold no breaks).
bool canMatch(const FilterLogOptions &options)
{
    const QByteArray &f = options.filter;
    return !f.isEmpty() && !f.contains('\n') && !f.contains('\r') &&
           LineMatcher(f, options.isRegex, options.caseSensitive, false).isValid();
}

// Decides the lines of a run of text and hands the passing ones to the output.
class LineFilter
{
public:
    explicit LineFilter(const FilterLogOptions &options)
        : m_matcher(options.filter, options.isRegex, options.caseSensitive, options.invert),
          m_unlimited(options.filter, options.isRegex, options.caseSensitive,
                      std::numeric_limits<qsizetype>::max()),
          m_invert(options.invert)
    {
        const QByteArray &f = options.filter;
        if (!canMatch(options)) {
            m_mode = Mode::Never; // no line holds a match
        } else if (options.lineByLine || (options.isRegex && !isBlockSafePattern(f))) {
            m_mode = Mode::PerLine;
        } else {
            // Plain text too: PCRE2's JIT finds a literal faster than a
            // generic substring search.
            m_mode = options.isRegex ? Mode::Regex : Mode::Literal;
            m_block = RuleRegex(
                f, options.isRegex ? RuleRegex::Flavour::Block : RuleRegex::Flavour::Literal,
                options.caseSensitive);
            if (!m_block.isValid())
                m_mode = Mode::PerLine;
        }
    }

    // The lines of data[0, size), which ends at a line's end.
    void run(const char *data, qsizetype size, Output &out) const
    {
        switch (m_mode) {
        case Mode::Never:
            if (m_invert)
                allLines(data, 0, size, out);
            return;
        case Mode::PerLine:
            perLine(data, 0, size, out);
            return;
        case Mode::Regex:
            // Text that is no UTF-8 goes line by line: only the lines that
            // hold such bytes need the slower matcher.
            if (!RuleRegex::isValidUtf8(data, size)) {
                perLine(data, 0, size, out);
                return;
            }
            [[fallthrough]];
        case Mode::Literal:
            blocks(data, size, out);
        }
    }

private:
    enum class Mode { Never, PerLine, Literal, Regex };

    static void allLines(const char *data, qsizetype from, qsizetype to, Output &out)
    {
        LineBreakScanner breaks(data, to);
        for (qsizetype p = from; p < to;) {
            const qsizetype end = breaks.next(p);
            if (end > p)
                out.line(data + p, end - p);
            p = end + 1;
        }
    }

    void perLine(const char *data, qsizetype from, qsizetype to, Output &out) const
    {
        LineBreakScanner breaks(data, to);
        for (qsizetype p = from; p < to;) {
            const qsizetype end = breaks.next(p);
            if (end > p && holds(data + p, end - p) != m_invert)
                out.line(data + p, end - p);
            p = end + 1;
        }
    }

    // The first candidate at or after from: a position whose line may hold
    // a match. Every line with a match holds one at or before it, so the
    // lines between candidates hold none. -1: none; -2: the matcher gave up.
    qsizetype candidate(const char *data, qsizetype from, qsizetype size) const
    {
        qsizetype start = 0;
        switch (m_block.find(data, size, from, &start, nullptr, RuleRegex::Text::ValidUtf8)) {
        case RuleRegex::Result::Match:
            return start;
        case RuleRegex::Result::NoMatch:
            return -1;
        case RuleRegex::Result::Failed:
            break;
        }
        return -2;
    }

    void blocks(const char *data, qsizetype size, Output &out) const
    {
        qsizetype p = 0;
        while (p < size) {
            const qsizetype at = candidate(data, p, size);
            if (at == -2) {
                perLine(data, p, size, out); // a limit: the slow way is exact
                return;
            }
            if (at < 0) {
                if (m_invert)
                    allLines(data, p, size, out);
                return;
            }
            // A match at a break or at the end may be the end-of-line match
            // ("$", "z?$") of the line that ends there; between the CR and
            // the LF of a pair that line ended at the CR.
            const bool atBreak = at >= size || isLineBreak(data[at]);
            qsizetype end = at;
            if (!atBreak)
                end = nextLineBreak(data, at, size);
            else if (at < size && at > p && data[at] == '\n' && data[at - 1] == '\r')
                end = at - 1;
            const qsizetype start = lineStartBefore(data, p, end);
            if (m_invert)
                allLines(data, p, start, out);
            if (end > start) {
                // Literal hits lie inside their line; an expression's is
                // checked on the line alone.
                const bool hit = m_mode != Mode::Regex || holds(data + start, end - start);
                if (hit != m_invert)
                    out.line(data + start, end - start);
            }
            p = (atBreak ? at : end) + 1;
        }
    }

    // Whether the line holds a match. Where the backtracking matcher gives
    // up (a long line, a pattern that backtracks much), the DFA decides:
    // it has no such limit.
    bool holds(const char *line, qsizetype size) const
    {
        switch (m_matcher.test(line, size)) {
        case RuleRegex::Result::Match:
            return true;
        case RuleRegex::Result::NoMatch:
            return false;
        case RuleRegex::Result::Failed:
            break;
        }
        m_unlimited.begin();
        m_unlimited.feed(line, size);
        return m_unlimited.finish();
    }

    LineMatcher m_matcher;
    mutable LongLineMatcher m_unlimited;
    RuleRegex m_block;
    bool m_invert = false;
    Mode m_mode = Mode::Never;
};

// Text waiting to be filtered: an unfinished line, then new bytes. Its
// capacity grows to what a line may hold and a block more, never beyond.
class TextBuffer
{
public:
    explicit TextBuffer(qsizetype bound) : m_bound(bound) {}
    char *data() { return m_data.get(); }
    qsizetype size() const { return m_size; }
    // Room for n more bytes at the end; Commit says how many were filled.
    char *extend(qsizetype n)
    {
        if (m_size + n > m_capacity) {
            // Doubling, but one step straight to the bound near it: the
            // old and the new buffer are held at once while it moves.
            qsizetype capacity = 2 * m_capacity;
            if (capacity > m_bound / 2)
                capacity = m_bound;
            capacity = std::max(m_size + n, capacity);
            std::unique_ptr<char[]> data(new char[size_t(capacity)]);
            if (m_size > 0)
                std::memcpy(data.get(), m_data.get(), size_t(m_size));
            m_data = std::move(data);
            m_capacity = capacity;
        }
        return m_data.get() + m_size;
    }
    void commit(qsizetype n) { m_size += n; }
    void append(const char *p, qsizetype n)
    {
        std::memcpy(extend(n), p, size_t(n));
        commit(n);
    }
    // Drops the first n bytes.
    void consume(qsizetype n)
    {
        if (n < m_size)
            std::memmove(m_data.get(), m_data.get() + n, size_t(m_size - n));
        m_size -= n;
    }

private:
    std::unique_ptr<char[]> m_data;
    qsizetype m_size = 0;
    qsizetype m_capacity = 0;
    qsizetype m_bound;
};

// The source bytes that text decoded from UTF-16 came from: two per
// character, four for one beyond U+FFFF (half a surrogate pair became "?").
qint64 utf16BytesOf(const char *text, qsizetype size)
{
    qint64 units = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80)
            units += c >= 0xF0 ? 2 : 1;
    }
    return 2 * units;
}

// A line longer than a run may hold. Its text is matched piece by piece
// and never kept; once it is known to pass, what was matched already is
// read from the source again and the rest is written as it comes.
class LongLine
{
public:
    LongLine(const FilterLogOptions &options, const FileSource &source, qsizetype headBytes)
        : m_source(source), m_encoding(options.encoding), m_invert(options.invert),
          m_never(!canMatch(options)),
          m_matcher(options.filter, options.isRegex, options.caseSensitive, headBytes)
    {}

    bool active() const { return m_active; }

    // The line starts at sourceStart in the source.
    void begin(qint64 sourceStart)
    {
        m_active = true;
        m_start = sourceStart;
        m_fed = 0;
        m_state = m_never ? (m_invert ? State::Writing : State::Skipping) : State::Undecided;
        m_matcher.begin();
    }

    // The next text of the line, decoded from sourceBytes bytes of the source.
    FileSource::ReadResult feed(const char *text, qsizetype size, qint64 sourceBytes, Output &out,
                                std::stop_token stop)
    {
        m_fed += sourceBytes;
        switch (m_state) {
        case State::Writing:
            out.write(text, size);
            break;
        case State::Skipping:
            break;
        case State::Undecided:
            m_matcher.feed(text, size);
            if (!m_matcher.found())
                break;
            if (m_invert) {
                m_state = State::Skipping;
                break;
            }
            m_state = State::Writing;
            return copy(out, stop);
        }
        return FileSource::ReadResult::Ok;
    }

    FileSource::ReadResult end(Output &out, std::stop_token stop)
    {
        m_active = false;
        FileSource::ReadResult result = FileSource::ReadResult::Ok;
        if (m_state == State::Undecided && m_matcher.finish() != m_invert) {
            result = copy(out, stop);
            m_state = State::Writing;
        }
        if (m_state == State::Writing)
            out.endLine();
        return result;
    }

private:
    enum class State { Undecided, Writing, Skipping };

    // The line as far as it was fed, from the source again.
    FileSource::ReadResult copy(Output &out, std::stop_token stop)
    {
        const bool utf16 = m_encoding.isUtf16();
        StreamDecoder decoder(m_encoding);
        QByteArray text;
        std::vector<char> raw(size_t(std::min(filterLogBlockBytes, std::max<qint64>(m_fed, 1))));
        for (qint64 done = 0; done < m_fed;) {
            const qint64 want = std::min<qint64>(qint64(raw.size()), m_fed - done);
            qint64 got = 0;
            const auto read = m_source.read(raw.data(), want, m_start + done, &got, stop);
            if (read == FileSource::ReadResult::Cancelled)
                return read;
            // Changed under the run: what could be read is what was there.
            if (read != FileSource::ReadResult::Ok || got <= 0)
                break;
            done += got;
            if (!utf16) {
                out.write(raw.data(), got);
                continue;
            }
            text.clear();
            decoder.decodeUtf8(raw.data(), got, done >= m_fed, text);
            out.write(text.constData(), text.size());
        }
        return FileSource::ReadResult::Ok;
    }

    const FileSource &m_source;
    Encoding m_encoding;
    bool m_invert;
    bool m_never;
    LongLineMatcher m_matcher;
    bool m_active = false;
    State m_state = State::Undecided;
    qint64 m_start = 0;
    qint64 m_fed = 0; // source bytes of the line fed so far
};

mode_t sourceMode(const FileSource &source)
{
    struct stat st;
    if (const auto *local = dynamic_cast<const LocalFileSource *>(&source))
        if (::fstat(local->descriptor(), &st) == 0)
            return st.st_mode;
    return 0600; // not a file of its own: nobody else's to read
}

FilterLogResult run(const FileSource &source, const QString &dest, const FilterLogOptions &options,
                    const FilterProgress &progress, std::stop_token stop)
{
    FilterLogResult result;
    const auto cancelled = [&result] {
        result.state = Status::Cancelled;
        return result;
    };
    Output out(dest, sourceMode(source));
    if (!out.create(result.error)) {
        result.state = Status::Failed;
        return result;
    }
    const qsizetype lineLimit =
        options.longLineBytes > 0 ? options.longLineBytes : filterLogLongLineBytes;
    const LineFilter filter(options);
    LongLine longLine(options, source, lineLimit);
    const qint64 size = source.size();
    const bool utf16 = options.encoding.isUtf16();
    const auto sourceBytesOf = [utf16](const char *text, qsizetype n) {
        return utf16 ? utf16BytesOf(text, n) : qint64(n);
    };
    // The byte-order mark is no text.
    StreamDecoder decoder(options.encoding, true);
    QByteArray decoded;
    std::vector<char> raw;
    ScanReader reader(source, stop);
    TextBuffer text(lineLimit + 4 * filterLogBlockBytes);
    int percent = -1;
    qint64 pos = 0;
    bool last = size <= 0;
    while (!last) {
        if (stop.stop_requested())
            return cancelled();
        const qint64 want = std::min(filterLogBlockBytes, size - pos);
        const qsizetype held = text.size(); // an unfinished line: no break in it
        char *target;
        if (utf16) {
            raw.resize(size_t(want));
            target = raw.data();
        } else {
            target = text.extend(want);
        }
        qint64 got = 0;
        // The block is copied out of the map at once: the copy is the one
        // look at its bytes, so a cut under it is known before any line of
        // it is written, and the block is taken again up to the new end.
        for (;;) {
            const ScanReader::Bytes bytes = reader.read(pos, want);
            if (bytes.status == ScanReader::Status::Cancelled)
                return cancelled();
            // A failed read ends the source where it failed.
            got = bytes.status == ScanReader::Status::Ok ? std::min(bytes.size, want) : 0;
            if (got > 0)
                std::memcpy(target, bytes.data, size_t(got));
            if (reader.intact())
                break;
        }
        pos += got;
        last = got < want || pos >= size;
        if (utf16) {
            decoded.clear();
            decoder.decodeUtf8(raw.data(), got, last, decoded);
            text.append(decoded.constData(), decoded.size());
        } else {
            text.commit(got);
        }
        // The source offset where the text held now ends.
        const qint64 decodedEnd = pos - (utf16 ? decoder.pending() : 0);

        char *data = text.data();
        const qsizetype end = text.size();
        qsizetype done = 0; // text[0, done) is dealt with
        if (longLine.active()) {
            const qsizetype brk = nextLineBreak(data, 0, end);
            if (longLine.feed(data, brk, sourceBytesOf(data, brk), out, stop) ==
                FileSource::ReadResult::Cancelled)
                return cancelled();
            done = brk;
            if (brk < end || last) {
                if (longLine.end(out, stop) == FileSource::ReadResult::Cancelled)
                    return cancelled();
                done = std::min(brk + 1, end);
            }
        }
        if (!longLine.active()) {
            // Whole lines now; the unfinished one waits for the next block.
            // Only the new bytes can hold the last break.
            qsizetype cut = end;
            if (!last) {
                const qsizetype from = std::max(done, held);
                cut = lineStartBefore(data, from, end);
                if (cut == from)
                    cut = done;
            }
            if (cut > done)
                filter.run(data + done, cut - done, out);
            done = cut;
            if (!last && end - done > lineLimit) {
                // Too long to hold: matched as it comes from now on.
                const qint64 bytes = sourceBytesOf(data + done, end - done);
                longLine.begin(decodedEnd - bytes);
                if (longLine.feed(data + done, end - done, bytes, out, stop) ==
                    FileSource::ReadResult::Cancelled)
                    return cancelled();
                done = end;
            }
        }
        text.consume(done);
        if (!out.flush()) {
            result.state = Status::Failed;
            result.error = out.error();
            return result;
        }
        const int now = size > 0 ? int(std::min<qint64>(pos * 100 / size, 100)) : 100;
        if (progress && now != percent)
            progress(now);
        percent = now;
    }
    if (stop.stop_requested())
        return cancelled();
    result.linesWritten = out.lines();
    if (out.lines() == 0) {
        result.state = Status::NoLines;
        return result;
    }
    if (!out.commit()) {
        result.state = Status::Failed;
        result.error = out.error();
        return result;
    }
    result.state = Status::Written;
    return result;
}

} // namespace

bool isBlockSafePattern(const QByteArray &pattern)
{
    // As the block matcher compiles it; letter case changes none of this.
    const PatternInfo info(std::string_view(pattern.constData(), size_t(pattern.size())),
                           PCRE2_UTF | PCRE2_MULTILINE, PCRE2_NEWLINE_ANYCRLF);
    return !(info.unsure || info.textAnchor || info.negativeLookAround || info.condition ||
             info.atomic || info.possessive || info.verb || info.startItem || info.scriptRun ||
             info.multilineOff);
}

FilterLogResult filterLog(const FileSource &source, const QString &dest,
                          const FilterLogOptions &options, const FilterProgress &progress,
                          std::stop_token stop)
{
    // Never over the file the bytes come from, by whatever name (a link of
    // either kind), also when they are decompressed from it.
    struct stat st;
    const LocalFileSource *file = source.localFile();
    if (file && ::stat(fileNameToBytes(dest).constData(), &st) == 0 &&
        quint64(st.st_dev) == file->device() && quint64(st.st_ino) == file->inode()) {
        FilterLogResult result;
        result.state = Status::SameFile;
        result.error =
            QStringLiteral("The filtered log cannot replace the log it is made from: \"%1\"")
                .arg(dest);
        return result;
    }
    return run(source, dest, options, progress, stop);
}

FilterLogResult filterLog(const QString &sourceName, const QString &dest,
                          const FilterLogOptions &options, const FilterProgress &progress,
                          std::stop_token stop)
{
    const auto source = LocalFileSource::open(sourceName);
    if (!source) {
        FilterLogResult result;
        result.state = Status::NoSource;
        return result;
    }
    return filterLog(*source, dest, options, progress, stop);
}
