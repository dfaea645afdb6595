#include "memorysource.h"

#include "search/patterninfo.h"
#include "search/regexbackward.h"
#include "search/regexstreamsearcher.h"
#include "search/searcherror.h"
#include "search/streamsearch.h"

#include "viewer/testfiles.h"

#include <gtest/gtest.h>

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <random>

namespace {

struct Hit
{
    qint64 start, length;
    bool operator==(const Hit &) const = default;
};
void PrintTo(const Hit &h, std::ostream *os)
{
    *os << "{" << h.start << ", " << h.length << "}";
}

// How the searcher is set up for one pattern.
struct Pattern
{
    const char *pattern;
    uint32_t compile = 0;
    bool wholeWords = false;
    quint32 fill = 32768;
};

void prepare(RegexStreamSearcher &regex, const Pattern &s)
{
    regex.searchBufferSize = s.fill;
    regex.overlapBufferSize = s.fill % 5;
    regex.readSize = s.fill + 3;
    // Small fills also carry only a few bytes of a candidate: longer ones
    // go on without their text.
    if (s.fill < 16)
        regex.maxCarryBytes = 6;
    regex.compileOptionBits = s.compile;
    regex.wholeWords = s.wholeWords;
    ASSERT_TRUE(regex.setMatchPattern(s.pattern));
}

// The forward run from the source's start: every match, in raw bytes.
std::vector<Hit> forwardRun(FileSource &source, Encoding encoding, const Pattern &s)
{
    RegexStreamSearcher regex;
    prepare(regex, s);
    regex.setStream(&source, 0, encoding);
    std::vector<Hit> hits;
    RegexStreamSearcher::Match m;
    while (hits.size() < 5000 && regex.findNext(m) >= 0)
        hits.push_back({m.rawStart, m.rawLength});
    return hits;
}

// From the end backward, each step before the last match found, reversed.
// With literal, only lines that hold it (as bytes, ASCII case folded when
// folds) are run.
std::vector<Hit> backwardRun(FileSource &source, Encoding encoding, const Pattern &s, bool lineSync,
                             qint64 window, const QByteArray &literal = {}, bool folds = false)
{
    RegexStreamSearcher regex;
    prepare(regex, s);
    RegexBackward backward(regex);
    backward.windowBytes = window;
    backward.reset(&source, encoding, lineSync);
    if (!literal.isEmpty()) {
        QByteArray bytes(source.size(), '\0');
        qint64 got = 0;
        source.read(bytes.data(), bytes.size(), 0, &got, {});
        if (folds)
            bytes = bytes.toLower();
        backward.lastLiteralBefore = [bytes, literal](qint64 end) {
            return qint64(bytes.left(end).lastIndexOf(literal));
        };
    }
    std::vector<Hit> hits;
    qint64 limit = std::numeric_limits<qint64>::max();
    RegexStreamSearcher::Match m;
    while (hits.size() < 5000 && backward.findBefore(limit, m) >= 0) {
        hits.push_back({m.rawStart, m.rawLength});
        limit = m.rawStart;
    }
    std::reverse(hits.begin(), hits.end());
    return hits;
}

QByteArray encode(const QString &text, Encoding encoding)
{
    if (encoding.isUtf16())
        return utf16(text, encoding.isBigEndian());
    if (encoding == encodingOem)
        return text.toLatin1(); // any byte is a character there
    return text.toUtf8();
}

// Logs of a few letters, line breaks of every kind, and characters that take
// several bytes; the forward run over them is the reference.
TEST(RegexBackward, FindsTheForwardRunsMatchesInReverse)
{
    // Those that stay in a line go back by line starts; the rest by the
    // match starts met. "aa" in a run of a's is paired from the run's start.
    const Pattern setups[] = {
        {"ab|b"},
        {"a+"},
        {"x*"}, // matches the empty string everywhere
        {"\\bab\\b"},
        {"(?<=ba)b"},
        {"b$"},
        {"^a"},
        {"(?m)^"},
        {"a.{0,3}b"},
        {"aa"},
        {"a|ab"},
        {"ba(?!b)"},
        {"b(?:a|ab)*"},
        {"AB", PCRE2_CASELESS},
        {"ab", 0, true},
        {"\\w+", PCRE2_CASELESS, true},
        {"ab\\s"},
        {"a[^x]*b"},
        {"a.b", PCRE2_DOTALL},
        {"\\n\\n"},
        {"(a\\r?\\n)+"},
        {"\\s+"},
        {"\u00e9+"},
    };
    const Encoding encodings[] = {encodingAnsi, encodingOem, encodingUtf16LE, encodingUtf16BE};
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        QString text(int(rng() % 300), QLatin1Char(' '));
        for (QChar &c : text)
            c = QStringView(u" abaAB\n\r\n\u00e9\u00e9")[int(rng() % 11)];
        if (round == 0)
            text = QString(101, QLatin1Char('a')) + QStringLiteral("\nb") +
                   QString(7, QLatin1Char('a'));
        for (const Encoding encoding : encodings) {
            MemorySource source(encode(text, encoding));
            for (const Pattern &s : setups) {
                const PatternInfo info(s.pattern, s.compile | PCRE2_UTF, PCRE2_NEWLINE_ANYCRLF);
                const std::vector<Hit> expected = forwardRun(source, encoding, s);
                // Where every match holds a literal inside its line, the
                // run may go by the literal's occurrences as well.
                QByteArray literal;
                if (info.compiled && !info.unsure && info.staysInLine() && !info.dollar &&
                    !info.textAnchor && info.maxLookbehind == 0)
                    literal = encode(QString::fromStdString(info.requiredLiteral), encoding);
                if (info.literalFolds)
                    literal = literal.toLower();
                for (const quint32 fill : {32768u, 5u}) {
                    Pattern small = s;
                    small.fill = fill;
                    for (const qint64 window : {qint64(1), qint64(13), qint64(1) << 20}) {
                        for (const bool lineSync : {false, info.staysInLine()}) {
                            SCOPED_TRACE(testing::Message()
                                         << s.pattern << " round " << round << " encoding "
                                         << encoding.isUtf16() << encoding.isBigEndian() << " fill "
                                         << fill << " window " << window
                                         << (lineSync ? " by lines" : ""));
                            EXPECT_EQ(backwardRun(source, encoding, small, lineSync, window),
                                      expected);
                            if (lineSync && !literal.isEmpty()) {
                                SCOPED_TRACE("by the literal");
                                EXPECT_EQ(backwardRun(source, encoding, small, lineSync, window,
                                                      literal, info.literalFolds),
                                          expected);
                            }
                        }
                    }
                }
            }
        }
    }
}

// A file cut short after its size was taken: reads past the cut come back
// short.
class CutSource final : public FileSource
{
public:
    CutSource(QByteArray bytes, qint64 cut) : m_bytes(std::move(bytes)), m_cut(cut) {}
    qint64 size() const override { return m_bytes.size(); }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *got,
                    std::stop_token) const override
    {
        *got = std::clamp<qint64>(m_cut - position, 0, count);
        if (*got > 0)
            std::memcpy(buffer, m_bytes.constData() + position, size_t(*got));
        return ReadResult::Ok;
    }
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

private:
    QByteArray m_bytes;
    qint64 m_cut;
};

struct Searcher
{
    explicit Searcher(const QByteArray &bytes) : source(bytes) { search.setStream(&source); }
    MemorySource source;
    StreamSearch search;
};

std::vector<Hit> steps(StreamSearch &search, const QString &pattern, SearchOptions options,
                       qint64 start)
{
    std::vector<Hit> hits;
    for (bool found = search.findFirst(pattern, encodingAnsi, options | soRegex, start);
         found && hits.size() < 100; found = search.findNext())
        hits.push_back({search.foundStart(), search.foundLength()});
    return hits;
}

QString errorOf(const std::function<void()> &step)
{
    try {
        step();
    } catch (const SearchError &e) {
        return e.message();
    }
    return QString();
}

TEST(RegexBackward, TheSearchStepsThroughTheForwardMatchesBothWays)
{
    const QByteArray log = "10:00 ERROR a timeout=5\n10:01 INFO\n10:02 ERROR timeout=70\n"
                           "10:03 ERROR timeout=\n10:04 error b timeout=9\n";
    const QString pattern = QStringLiteral("ERROR.*timeout=[0-9]+");
    Searcher s(log);
    const std::vector<Hit> forward = steps(s.search, pattern, {}, 0);
    ASSERT_EQ(forward.size(), 3u); // the caseless one too
    std::vector<Hit> backward = steps(s.search, pattern, soBackward, 0);
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);
    EXPECT_EQ(steps(s.search, pattern, soBackward | soCaseSensitive, 0),
              (std::vector<Hit>{forward[1], forward[0]}));

    struct Case
    {
        const char *name;
        qint64 start;
        std::optional<Hit> found;
    };
    const Case cases[] = {
        {"0 searches from the end", 0, forward[2]},
        {"a match starting at the start position counts", forward[1].start, forward[1]},
        {"one starting after it does not", forward[1].start - 1, forward[0]},
        {"a position past the end is the end", 100000, forward[2]},
        {"nothing before the first", forward[0].start - 1, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const bool found = s.search.findFirst(pattern, encodingAnsi, soRegex | soBackward, c.start);
        EXPECT_EQ(found, c.found.has_value());
        if (found && c.found) {
            EXPECT_EQ((Hit{s.search.foundStart(), s.search.foundLength()}), *c.found);
        }
    }

    // Back, back, then on again: the match after the current one, also
    // when the forward run is taken up where the backward step stood.
    ASSERT_TRUE(s.search.findFirst(pattern, encodingAnsi, soRegex | soBackward, 0));
    ASSERT_TRUE(s.search.findNext());
    EXPECT_EQ(s.search.foundStart(), forward[1].start);
    ASSERT_TRUE(s.search.findNext(true));
    EXPECT_EQ(s.search.foundStart(), forward[2].start);
    EXPECT_FALSE(s.search.findNext(true));
    // Forward, then back; after a miss backward nothing is found further back.
    ASSERT_TRUE(s.search.findFirst(pattern, encodingAnsi, soRegex, forward[1].start));
    ASSERT_TRUE(s.search.findNext(true));
    EXPECT_EQ(s.search.foundStart(), forward[0].start);
    EXPECT_FALSE(s.search.findNext(true));
    EXPECT_FALSE(s.search.findNext(true));
}

// Backward from the end to a match near it reads near it only, however
// large the file: a line start is where the run may begin.
TEST(RegexBackward, ALineBoundPatternReadsOnlyTheWindowsItNeeds)
{
    QByteArray log;
    while (log.size() < (8 << 20))
        log += "10:00 INFO a line of the log\n";
    log += "10:01 ERROR timeout=5\n10:02 INFO done\n";
    Searcher s(log);
    ASSERT_TRUE(s.search.findFirst(QStringLiteral("ERROR.*timeout=[0-9]+"), encodingAnsi,
                                   soRegex | soBackward, 0));
    EXPECT_EQ(s.search.foundStart(), log.indexOf("ERROR"));
    const std::vector<qint64> &reads = s.source.reads();
    EXPECT_GT(*std::min_element(reads.begin(), reads.end()), qint64(4) << 20);
}

TEST(RegexBackward, RunTimeFailuresAreReportedAsForward)
{
    // Items the matcher cannot run.
    const char *patterns[] = {"x(?*b)", "(x)(?(1)a|b)", "x\\Q\\E\\Kb"};
    const QByteArray bytes = QByteArray(4000, 'x') + "b";
    for (const char *pattern : patterns) {
        SCOPED_TRACE(pattern);
        Searcher s(bytes);
        const QString text = QString::fromUtf8(pattern);
        const QString forward =
            errorOf([&] { s.search.findFirst(text, encodingAnsi, soRegex, 0); });
        EXPECT_TRUE(
            forward.startsWith(QStringLiteral("The search cannot run this regular expression:")));
        EXPECT_EQ(errorOf([&] { s.search.findFirst(text, encodingAnsi, soRegex | soBackward, 0); }),
                  forward);
        EXPECT_EQ(s.search.foundStart(), -1);
    }

    Searcher bad(QByteArray(200, 'a'));
    bad.source.failAt = 150;
    EXPECT_EQ(errorOf([&] {
                  bad.search.findFirst(QStringLiteral("a+"), encodingAnsi, soRegex | soBackward, 0);
              }),
              QStringLiteral("Read error at offset 0"));
    EXPECT_TRUE(errorOf([&] {
                    bad.search.findFirst(QStringLiteral("(a"), encodingAnsi, soRegex | soBackward,
                                         0);
                }).startsWith(QStringLiteral("Regular expression pattern error:")));
}

TEST(RegexBackward, AStopEndsTheRunAsNotFound)
{
    QByteArray log;
    while (log.size() < (4 << 20))
        log += "10:00 INFO a line of the log\n";
    Searcher s("ERROR x\n" + log);
    int reports = 0;
    s.search.onProgress = [&](qint64 pos, qint64 max, bool &go) {
        EXPECT_LE(pos, max);
        go = ++reports < 3;
    };
    EXPECT_FALSE(
        s.search.findFirst(QStringLiteral("ERROR"), encodingAnsi, soRegex | soBackward, 0));
    EXPECT_EQ(reports, 3);
    std::stop_source stop;
    s.search.onProgress = nullptr;
    s.search.setStopToken(stop.get_token());
    stop.request_stop();
    EXPECT_FALSE(
        s.search.findFirst(QStringLiteral("ERROR"), encodingAnsi, soRegex | soBackward, 0));

    // Each step may come with a token of its own: the one of a step that
    // ended stops nothing after it.
    std::stop_source first;
    s.search.setStopToken(first.get_token());
    ASSERT_TRUE(s.search.findFirst(QStringLiteral("I[A-Z]+"), encodingAnsi,
                                   soRegex | soBackward | soCaseSensitive, 0));
    const qint64 last = s.search.foundStart();
    first.request_stop();
    s.search.setStopToken({});
    ASSERT_TRUE(s.search.findNext());
    EXPECT_EQ(s.search.foundStart(), last - 29);
    ASSERT_TRUE(s.search.findNext(true));
    EXPECT_EQ(s.search.foundStart(), last);
}

// The matches of what is left, for a pattern that goes by line starts and
// for one that cannot.
TEST(RegexBackward, AFileCutShortUnderTheRunGivesTheMatchesLeft)
{
    const QByteArray bytes = "ab\nab ab\nab\nab ab ab\n";
    const qint64 cut = 12;
    for (const char *pattern : {"ab", "b\\s+a"}) {
        SCOPED_TRACE(pattern);
        CutSource source(bytes, cut);
        StreamSearch search;
        search.setStream(&source);
        std::vector<Hit> hits;
        for (bool found = search.findFirst(QString::fromUtf8(pattern), encodingAnsi,
                                           soRegex | soBackward | soCaseSensitive, 0);
             found && hits.size() < 20; found = search.findNext())
            hits.push_back({search.foundStart(), search.foundLength()});
        std::reverse(hits.begin(), hits.end());
        MemorySource left(bytes.left(cut));
        EXPECT_EQ(hits, forwardRun(left, encodingAnsi, {pattern}));
    }
}

} // namespace
