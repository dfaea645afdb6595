#include "search/streamsearch.h"
#include "search/searcherror.h"

#include "text/contract.h"
#include "viewer/devicesource.h"
#include "viewer/testfiles.h"
#include "common/encodingarg.h"

#include <QFile>

#include <QBuffer>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

// A search over bytes held in memory.
class MemorySearch
{
public:
    explicit MemorySearch(const QByteArray &bytes) : m_bytes(bytes), m_buffer(&m_bytes)
    {
        m_buffer.open(QIODevice::ReadOnly);
        m_source = std::make_unique<DeviceSource>(&m_buffer);
        search.setStream(m_source.get());
    }
    StreamSearch search;

private:
    QByteArray m_bytes;
    QBuffer m_buffer;
    std::unique_ptr<DeviceSource> m_source;
};

// The message of the ContractError fn throws, empty when it throws none.
template <typename Fn>
QString contractMessage(Fn fn)
{
    try {
        fn();
    } catch (const ContractError &e) {
        EXPECT_EQ(e.unit(), QStringLiteral("QzStreamSearch"));
        return e.message();
    }
    return QString();
}

TEST(StreamSearchContract, ViolationsNameTheirCause)
{
    StreamSearch none;
    EXPECT_EQ(contractMessage([&] { none.findFirst(QStringLiteral("a"), encodingAnsi, {}, 0); }),
              QStringLiteral("Stream object not initialized"));
    EXPECT_EQ(contractMessage([&] { none.findNext(); }),
              QStringLiteral("Stream object not initialized"));

    MemorySearch m("abc");
    EXPECT_EQ(contractMessage([&] { m.search.findNext(); }),
              QStringLiteral("Search text is empty"));
}

TEST(StreamSearchContract, AFileThatDoesNotOpenIsAnError)
{
    StreamSearch s;
    EXPECT_THROW(s.setFileName(QStringLiteral("/nonexistent/ravelin/file.log")), SearchError);
    EXPECT_EQ(s.stream(), nullptr);
}

// The file is cut short or deleted while the search reads it: the search
// ends, and finds only what is still there. A deleted file stays readable
// through the descriptor the search holds.
TEST(StreamSearchFaults, AFileCutOrDeletedDuringASearchEndsIt)
{
    enum class Fault { Truncate, Shrink, Delete };
    // A small file is read; a large one is mapped, and the cut comes while
    // its pages are looked at in place.
    const int sizes[] = {16 * int(StreamSearch::blockSize), 20 << 20};
    const struct
    {
        const char *name;
        SearchOptions options;
    } searches[] = {{"plain", soCaseSensitive},
                    {"plain backward", soCaseSensitive | soBackward},
                    {"regex", soRegex}};
    for (const auto &search : searches) {
        for (const Fault fault : {Fault::Truncate, Fault::Shrink, Fault::Delete}) {
            for (const int size : sizes) {
                SCOPED_TRACE(testing::Message()
                             << search.name << ", fault " << int(fault) << ", size " << size);
                TempFiles files;
                // Backward the needle is at the start, so the search meets it last.
                const bool backward = bool(search.options & soBackward);
                QByteArray bytes(size, '.');
                const qint64 at = backward ? 10 : bytes.size() - 20;
                bytes.replace(int(at), 6, "NEEDLE");
                const QString path = files.write(QStringLiteral("cut.log"), bytes);
                StreamSearch s;
                s.setFileName(path);
                int calls = 0;
                s.onProgress = [&](qint64, qint64, bool &) {
                    if (++calls != 2)
                        return;
                    if (fault == Fault::Delete)
                        ASSERT_TRUE(QFile::remove(path));
                    else
                        ASSERT_EQ(::truncate(path.toLocal8Bit().constData(),
                                             fault == Fault::Truncate ? 0 : bytes.size() / 2),
                                  0);
                };
                const bool found =
                    s.findFirst(QStringLiteral("NEEDLE"), encodingAnsi, search.options, 0);
                EXPECT_EQ(found, fault == Fault::Delete);
                EXPECT_EQ(s.foundStart(), found ? at : -1);
            }
        }
    }
}

// Every match, forward then backward, from the first search on.
std::vector<qint64> allMatches(StreamSearch &s, const QString &text, Encoding encoding,
                               SearchOptions options)
{
    std::vector<qint64> found;
    for (bool more = s.findFirst(text, encoding, options, 0); more; more = s.findNext())
        found.push_back(s.foundStart());
    for (bool more = s.findFirst(text, encoding, options | soBackward, 0); more;
         more = s.findNext())
        found.push_back(s.foundStart());
    return found;
}

// A file large enough to be mapped is searched as the same bytes read from
// memory are, with matches on the edges of the blocks looked at in place.
TEST(StreamSearchMapped, FindsWhatAReadSearchFinds)
{
    const int block = 8 << 20; // the block of a mapped search
    const QString word = QStringLiteral("\u0434\u0435\u043b\u043e");
    const struct
    {
        const char *name;
        QString text;
        QByteArray needle;
        EncodingArg encoding;
        SearchOptions options;
    } cases[] = {
        {"case-sensitive", QStringLiteral("NEEDLE"), "NEEDLE", 0, soCaseSensitive},
        {"caseless", QStringLiteral("needle"), "NeEdLe", 0, {}},
        {"whole words", QStringLiteral("NEEDLE"), "NEEDLE", 0, soCaseSensitive | soWholeWords},
        {"caseless Cyrillic in UTF-8, decoded", word, word.toUpper().toUtf8(), encodingUtf8, {}},
        {"UTF-16", QStringLiteral("NEEDLE"), utf16(QStringLiteral("NEEDLE"), false),
         encodingUtf16LE, soCaseSensitive},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes(2 * block + 4096, ' ');
        // At the start, across each block edge, ending on one, and at the end.
        const qint64 places[] = {0, block - 2, 2 * block - qint64(c.needle.size()),
                                 bytes.size() - c.needle.size()};
        for (const qint64 at : places)
            bytes.replace(int(at), c.needle.size(), c.needle);
        TempFiles files;
        StreamSearch mapped;
        mapped.setFileName(files.write(QStringLiteral("big.log"), bytes));
        MemorySearch read(bytes);
        const std::vector<qint64> expected =
            allMatches(read.search, c.text, c.encoding.value, c.options);
        EXPECT_EQ(expected.size(), 8u);
        EXPECT_EQ(allMatches(mapped, c.text, c.encoding.value, c.options), expected);
    }
}

// A regular expression that holds a literal starts its run, and goes on from
// a match, at the line of the literal's next occurrence, and going backward
// runs only the lines near the literal's last occurrences; all find what the
// same expression finds when an alternative that never matches hides the
// literal.
TEST(StreamSearchRegex, GoingByTheLiteralFindsWhatARunFromTheStartFinds)
{
    const QByteArray text = "INFO start\n"
                            "ERROR db down\r\n"         // the literal, no match
                            "WARN error timeout=x\r"    // caseless literal, no number
                            "x ERROR y timeout=30 ms\n" // the first match
                            "ERROR timeout=5\n"
                            "tail ERROR timeout=7\n"
                            "ERROR late timeout=\r\n" // the literal after the last match
                            "end";
    const struct
    {
        const char *name;
        QString pattern;
        SearchOptions options;
    } cases[] = {
        {"case kept", QStringLiteral("ERROR.*timeout=[0-9]+"), soCaseSensitive},
        {"any case", QStringLiteral("error.*TIMEOUT=[0-9]+"), {}},
        {"the run's start", QStringLiteral("^ERROR timeout=[0-9]"), soCaseSensitive},
        {"a negated class", QStringLiteral("ERROR [^ ]+ timeout"), soCaseSensitive},
        {"word borders", QStringLiteral("\\bERROR\\b\\s+\\w+"), soCaseSensitive},
        {"whole words", QStringLiteral("timeout=[0-9]+"), soCaseSensitive | soWholeWords},
    };
    for (const auto &c : cases) {
        for (const SearchOptions direction : {SearchOptions(), SearchOptions(soBackward)}) {
            // Backward, a match may start before the start position while
            // its literal lies after it.
            for (const qint64 start :
                 {qint64(0), qint64(3), qint64(12), qint64(40), qint64(41),
                  qint64(text.indexOf("y timeout=30")), qint64(text.indexOf("ERROR timeout")) + 1,
                  qint64(text.indexOf("ERROR late")), qint64(text.size() - 3)}) {
                SCOPED_TRACE(testing::Message()
                             << c.name << (direction.testFlag(soBackward) ? " backward" : "")
                             << ", from " << start);
                MemorySearch skipping(text), whole(text);
                const SearchOptions options = c.options | soRegex | direction;
                const QString hidden = QStringLiteral("(?:%1)|\\b\\B").arg(c.pattern);
                bool found = skipping.search.findFirst(c.pattern, encodingAnsi, options, start);
                bool expected = whole.search.findFirst(hidden, encodingAnsi, options, start);
                // On in the search's direction, then back the other way.
                for (int step = 0; step < 6; ++step) {
                    ASSERT_EQ(found, expected) << "step " << step;
                    EXPECT_EQ(skipping.search.foundStart(), whole.search.foundStart());
                    EXPECT_EQ(skipping.search.foundLength(), whole.search.foundLength());
                    found = skipping.search.findNext(step >= 3);
                    expected = whole.search.findNext(step >= 3);
                }
            }
        }
    }
}

// A regular expression without a literal goes to the line of the first
// match the JIT finds in whole lines of ASCII; the same pattern run on every
// line, with the JIT turned off, is the reference. Small blocks put lines
// across their edges, and one line longer than a block.
TEST(StreamSearchRegex, GoingByTheJitFindsWhatARunOfEveryLineFinds)
{
    const QByteArray text = "INFO start\n"
                            "id 12-345 x\r\n"
                            "caf\xC3\xA9 99-1\n" // not ASCII: the run takes over
                            "a line longer than a block, without anything in it at all\n"
                            "bad \xFF"
                            "5-6\n" // reads as ?5-6
                            "x12\n" // with \B the 2 matches where the match of 1 ends
                            "x 10-20 y 30-40\r"
                            "tail 55-66";
    const struct
    {
        const char *name;
        QString pattern;
        SearchOptions options;
    } cases[] = {
        {"digits", QStringLiteral("[0-9]{2}-[0-9]+"), soCaseSensitive},
        {"any case", QStringLiteral("[A-Z]+ [0-9]"), {}},
        {"whole words", QStringLiteral("[0-9]+"), soCaseSensitive | soWholeWords},
        // The JIT may find less than the run here, so it is not asked.
        {"possessive", QStringLiteral("[0-9]++-[0-9]"), soCaseSensitive},
        {"any character", QStringLiteral(".[0-9]-[0-9]"), soCaseSensitive},
        // Looks at the character before: the JIT, which cannot, is not asked.
        {"inside words", QStringLiteral("\\B[0-9]"), soCaseSensitive},
    };
    for (const auto &c : cases) {
        for (const qint64 start :
             {qint64(0), qint64(5), qint64(text.indexOf("345")), qint64(text.indexOf("99")),
              qint64(text.indexOf("bad")), qint64(text.indexOf("y 30")), qint64(text.size() - 2)}) {
            SCOPED_TRACE(testing::Message() << c.name << ", from " << start);
            MemorySearch jit(text), every(text);
            jit.search.setPlainBlockBytes(24);
            const SearchOptions options = c.options | soRegex;
            bool found = jit.search.findFirst(c.pattern, encodingAnsi, options, start);
            bool expected = every.search.findFirst(QStringLiteral("(*NO_JIT)") + c.pattern,
                                                   encodingAnsi, options, start);
            for (int step = 0; step < 6; ++step) {
                ASSERT_EQ(found, expected) << "step " << step;
                EXPECT_EQ(jit.search.foundStart(), every.search.foundStart());
                EXPECT_EQ(jit.search.foundLength(), every.search.foundLength());
                found = jit.search.findNext();
                expected = every.search.findNext();
            }
        }
    }

    // Mapped, the first block is small; a line longer than it, with a match
    // at its end, is read whole.
    QByteArray big = QByteArray(100000, 'x') + " 12-34 b\n";
    while (big.size() < (5 << 20))
        big += "a line of filler\n";
    big += "z 56-78";
    TempFiles files;
    StreamSearch mapped, every;
    mapped.setFileName(files.write(QStringLiteral("long.log"), big));
    every.setFileName(files.write(QStringLiteral("long.log"), big));
    const auto starts = [](StreamSearch &search, const QString &pattern) {
        std::vector<qint64> found;
        for (bool more = search.findFirst(pattern, encodingAnsi, soRegex, 0); more;
             more = search.findNext())
            found.push_back(search.foundStart());
        return found;
    };
    const std::vector<qint64> expected = starts(every, QStringLiteral("(*NO_JIT)[0-9]+-[0-9]+"));
    EXPECT_EQ(expected, (std::vector<qint64>{big.indexOf("12-34"), big.indexOf("56-78")}));
    EXPECT_EQ(starts(mapped, QStringLiteral("[0-9]+-[0-9]+")), expected);
}

} // namespace
