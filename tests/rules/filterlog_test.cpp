#include "rules/filterlog.h"
#include "common/encodingarg.h"
#include "text/fileutil.h"
#include "viewer/filesource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <stop_token>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Status = FilterLogResult::Status;

class FilterLogTest : public ::testing::Test
{
protected:
    QString pathOf(const QString &name) const { return m_dir.filePath(name); }

    QString put(const QString &name, const QByteArray &data) const
    {
        const QString path = pathOf(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(file.write(data), data.size());
        return path;
    }

    static QByteArray get(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList entries() const
    {
        return QDir(m_dir.path())
            .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    // The output of a run over data, or "<missing>" when none was written.
    QByteArray filter(const QByteArray &data, FilterLogOptions options)
    {
        const QString source = put(QStringLiteral("in.log"), data);
        const QString dest = pathOf(QStringLiteral("out.log"));
        QFile::remove(dest);
        const FilterLogResult result = filterLog(source, dest, options);
        EXPECT_TRUE(result.state == Status::Written || result.state == Status::NoLines)
            << result.error.toStdString();
        return get(dest);
    }

    QTemporaryDir m_dir;
};

// What the line-by-line rule gives, over whole blocks too: the block search
// may only find candidate lines, never decide a line by itself.
TEST_F(FilterLogTest, BlockSearchGivesWhatTheLineByLineRuleGives)
{
    const QByteArray inputs[] = {
        "alpha\r\nbeta\r\n\r\ngamma",
        "a b\nb\n\nb a\rb\r\r\nlast b",
        "x\n\n\nb\nab\nba\n",
        "b\r\nb b\r\nab\r\nb",
        "ERROR x timeout=5\nERROR timeout\ntimeout=6 ERROR\nerror TIMEOUT=7\n",
        "a\n b\n\tc\na b c\n",
        "\xc3\xa9t\xc3\xa9\n\xc3\x89T\xc3\x89\nabc\xff\n",
        "ab\nqqz\nb\n",
    };
    const QByteArray patterns[] = {
        "^b",       "b$",         "^b$",       "a\\s+b",       "\\n",
        "\\s",      "x*",         "(?<=\\n)b", "(?<!a)b",      "(?<!\\s)b",
        "b(?!\\s)", "b(?=\\s)",   "\\Ab",      "b\\z",         "b\\Z",
        "a[^z]*+$", "(*COMMIT)b", "(?-m)^b",   "(?>a\\s*)b",   "ERROR.*timeout=[0-9]+",
        "b|a",      ".",          "^.t.$",     "(?(?=a)ab|b)", "a(?s:.)b",
        "\\bb\\b",  "\\Gb",       "$",         "z?$",          "\\W*$",
        "\\b",      "(?<=b)",     "\\s*$",     "(?=\\r)",
    };
    for (const QByteArray &input : inputs) {
        for (const QByteArray &pattern : patterns) {
            for (int flags = 0; flags < 4; ++flags) {
                FilterLogOptions options;
                options.filter = pattern;
                options.isRegex = true;
                options.invert = flags & 1;
                options.caseSensitive = flags & 2;
                SCOPED_TRACE(testing::Message() << "input " << input.toStdString() << ", pattern "
                                                << pattern.toStdString() << ", flags " << flags);
                const QByteArray blocks = filter(input, options);
                options.lineByLine = true;
                EXPECT_EQ(blocks, filter(input, options));
            }
        }
        for (const QByteArray &word : {QByteArray("b"), QByteArray("B"), QByteArray("a b")}) {
            for (int flags = 0; flags < 4; ++flags) {
                FilterLogOptions options;
                options.filter = word;
                options.invert = flags & 1;
                options.caseSensitive = flags & 2;
                SCOPED_TRACE(testing::Message() << "word " << word.toStdString() << " " << flags);
                const QByteArray blocks = filter(input, options);
                options.lineByLine = true;
                EXPECT_EQ(blocks, filter(input, options));
            }
        }
    }
}

// Constructs that see past a line's end, hidden from a reading of the text
// by extended mode, a comment or an empty quote, still send the lines to the
// line-by-line rule.
TEST_F(FilterLogTest, HiddenConstructsGiveWhatTheLineByLineRuleGives)
{
    const QByteArray input = "a \nb\na\n\nxa\t\nc\n";
    const struct
    {
        QByteArray pattern, expected;
    } cases[] = {
        {"(?x)a\\s* + $", "a \r\na\r\nxa\t\r\n"},
        {"a\\s*\\Q\\E+$", "a \r\na\r\nxa\t\r\n"},
        {"a\\s*(?#c)+$", "a \r\na\r\nxa\t\r\n"},
        {"a(?#\\Q)(?!\\s)", "a\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.pattern.toStdString());
        FilterLogOptions options;
        options.filter = c.pattern;
        options.isRegex = true;
        const QByteArray blocks = filter(input, options);
        options.lineByLine = true;
        EXPECT_EQ(blocks, filter(input, options));
        EXPECT_EQ(blocks, c.expected);
    }
}

TEST_F(FilterLogTest, KeepsPassingLinesWithCrLfAndDropsBlankOnes)
{
    struct Case
    {
        const char *name;
        QByteArray input;
        QByteArray filter;
        bool regex;
        bool invert;
        bool caseSensitive;
        QByteArray expected;
    };
    const Case cases[] = {
        {"every break style becomes CR LF", "e1\r\ne2\ne3\re4\n", "e", false, false, false,
         "e1\r\ne2\r\ne3\r\ne4\r\n"},
        {"the last line without a break counts", "x\nlast e", "e", false, false, false,
         "last e\r\n"},
        {"blank lines never pass, even inverted", "a\n\n\r\n\nb\n", "z", false, true, false,
         "a\r\nb\r\n"},
        {"plain caseless folds ASCII only", "ERROR\n\xc3\x89t\xc3\xa9\n", "error", false, false,
         false, "ERROR\r\n"},
        {"\xc3\xa9 does not find \xc3\x89", "\xc3\x89t\xc3\xa9\n", "\xc3\xa9t", false, false, false,
         "<missing>"},
        {"case sensitive", "Error\nerror\n", "error", false, false, true, "error\r\n"},
        {"regex anywhere in the line", "id=12\nid=x\n", "=[0-9]+", true, false, false, "id=12\r\n"},
        {"inverted keeps the failing lines", "a1\nb\nc2\n", "[0-9]", true, true, false, "b\r\n"},
        {"no line passes: no file", "a\nb\n", "zzz", false, false, false, "<missing>"},
        {"an expression that does not compile passes no line", "a(\n", "a(", true, false, false,
         "<missing>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FilterLogOptions options;
        options.filter = c.filter;
        options.isRegex = c.regex;
        options.invert = c.invert;
        options.caseSensitive = c.caseSensitive;
        EXPECT_EQ(filter(c.input, options), c.expected);
    }
}

// The source is read in blocks: lines, CR LF pairs and
// UTF-16 surrogate pairs cut by a block's end come out whole.
TEST_F(FilterLogTest, LinesCutByABlockEndComeOutWhole)
{
    const qsizetype block = filterLogBlockBytes;
    QByteArray data(block - 3, 'x');
    data[0] = '\n';
    data += "ab\r\nkeep\n";
    data.insert(1, "keep first\n");
    FilterLogOptions options;
    options.filter = "keep|b$";
    options.isRegex = true;
    // Both the long line spanning the edge and the CR LF pair must survive.
    const QByteArray out = filter(data, options);
    ASSERT_TRUE(out.startsWith("keep first\r\n")) << out.left(40).toStdString();
    EXPECT_TRUE(out.endsWith("xab\r\nkeep\r\n"));
    EXPECT_EQ(out.count('\n'), 3);

    // UTF-16 LE with a surrogate pair across the edge: U+1F600 in UTF-8.
    QByteArray utf16;
    const qsizetype units = block / 2 - 1; // the pair starts at the last unit
    for (qsizetype i = 0; i < units - 1; ++i)
        utf16 += QByteArray("a\0", 2);
    utf16 += QByteArray("\n\0", 2);
    utf16 += QByteArray("\x3d\xd8\x00\xde", 4); // D83D DE00
    utf16 += QByteArray("!\0", 2);
    options.filter = "!";
    options.isRegex = false;
    options.encoding = encodingUtf16LE;
    EXPECT_EQ(filter(utf16, options), QByteArray("\xf0\x9f\x98\x80!\r\n"));
}

TEST_F(FilterLogTest, Utf16SourcesGiveUtf8Lines)
{
    const QString text = QStringLiteral("\uFEFFerste Zeile\r\nzweite \u00e9\u20ac Zeile\nnein\n");
    QByteArray le;
    QByteArray be;
    for (const QChar c : text) {
        le += char(c.unicode() & 0xFF);
        le += char(c.unicode() >> 8);
        be += char(c.unicode() >> 8);
        be += char(c.unicode() & 0xFF);
    }
    FilterLogOptions options;
    options.filter = "zeile";
    for (const auto &[encoding, data] :
         {std::pair{encodingUtf16LE, le}, std::pair{encodingUtf16BE, be}}) {
        SCOPED_TRACE(encoding);
        options.encoding = encoding;
        EXPECT_EQ(filter(data, options),
                  QByteArray("erste Zeile\r\nzweite \xc3\xa9\xe2\x82\xac Zeile\r\n"));
    }
}

TEST_F(FilterLogTest, NeverWritesOverItsSourceByAnyName)
{
    const QByteArray data = "keep me\nand me\n";
    const QString source = put(QStringLiteral("src.log"), data);
    const QString symlink = pathOf(QStringLiteral("link.log"));
    const QString hardlink = pathOf(QStringLiteral("hard.log"));
    ASSERT_TRUE(QFile::link(source, symlink));
    ASSERT_EQ(
        ::link(QFile::encodeName(source).constData(), QFile::encodeName(hardlink).constData()), 0);
    FilterLogOptions options;
    options.filter = "me";
    for (const QString &dest : {source, symlink, hardlink, pathOf(QStringLiteral("./src.log"))}) {
        SCOPED_TRACE(dest.toStdString());
        const FilterLogResult result = filterLog(source, dest, options);
        EXPECT_EQ(result.state, Status::SameFile);
        EXPECT_FALSE(result.error.isEmpty());
        EXPECT_EQ(get(source), data);
    }
    EXPECT_EQ(entries(), QStringList({"hard.log", "link.log", "src.log"}));
}

TEST_F(FilterLogTest, FailuresLeaveNoPartialFileAndTheOldOneIntact)
{
    const QString source = put(QStringLiteral("src.log"), "a line\nanother line\n");
    FilterLogOptions options;
    options.filter = "line";

    const FilterLogResult missingFolder =
        filterLog(source, pathOf(QStringLiteral("nowhere/out.log")), options);
    EXPECT_EQ(missingFolder.state, Status::Failed);
    EXPECT_TRUE(missingFolder.error.contains(QLatin1String("No such file or directory")))
        << missingFolder.error.toStdString();

    EXPECT_EQ(
        filterLog(pathOf(QStringLiteral("gone.log")), pathOf(QStringLiteral("o.log")), options)
            .state,
        Status::NoSource);
    EXPECT_EQ(filterLog(m_dir.path(), pathOf(QStringLiteral("o.log")), options).state,
              Status::NoSource);

    // A write the file system refuses half-way, as a full disk would.
    const QString dest = put(QStringLiteral("out.log"), "old output\n");
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const FilterLogResult full = filterLog(source, dest, options);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(full.state, Status::Failed);
    EXPECT_FALSE(full.error.isEmpty());
    EXPECT_EQ(get(dest), "old output\n");

    // No line passes: the old output stays as it was.
    options.filter = "zzz";
    EXPECT_EQ(filterLog(source, dest, options).state, Status::NoLines);
    EXPECT_EQ(get(dest), "old output\n");
    EXPECT_EQ(entries(), QStringList({"out.log", "src.log"}));

    // A success replaces it.
    options.filter = "another";
    EXPECT_EQ(filterLog(source, dest, options).state, Status::Written);
    EXPECT_EQ(get(dest), "another line\r\n");
}

TEST_F(FilterLogTest, AStopEndsTheRunBetweenBlocksWithoutAFile)
{
    QByteArray data;
    while (data.size() < (qsizetype(12) << 20))
        data += "a line to keep\n";
    const QString source = put(QStringLiteral("big.log"), data);
    const QString dest = put(QStringLiteral("out.log"), "old\n");
    std::stop_source stop;
    std::vector<int> seen;
    FilterLogOptions options;
    options.filter = "keep";
    const FilterLogResult result = filterLog(
        source, dest, options,
        [&](int percent) {
            seen.push_back(percent);
            stop.request_stop();
        },
        stop.get_token());
    EXPECT_EQ(result.state, Status::Cancelled);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_LT(seen.front(), 100);
    EXPECT_EQ(get(dest), "old\n");
    EXPECT_EQ(entries(), QStringList({"big.log", "out.log"}));
}

TEST_F(FilterLogTest, ASourceThatShrinksOrGoesAwayEndsAtItsNewEnd)
{
    QByteArray data;
    while (data.size() < (qsizetype(10) << 20))
        data += "line\n";
    const QString source = put(QStringLiteral("shrinking.log"), data);
    FilterLogOptions options;
    options.filter = "l";
    std::vector<int> seen;
    {
        const auto opened = LocalFileSource::open(source);
        ASSERT_TRUE(opened);
        // Cut after the size was taken: the run ends at the new end.
        ASSERT_TRUE(QFile::resize(source, 12));
        const FilterLogResult result =
            filterLog(*opened, pathOf(QStringLiteral("out.log")), options,
                      [&](int percent) { seen.push_back(percent); });
        EXPECT_EQ(result.state, Status::Written);
        EXPECT_EQ(get(pathOf(QStringLiteral("out.log"))), "line\r\nline\r\nli\r\n");
    }
    {
        const QString gone = put(QStringLiteral("gone.log"), "one line\n");
        const auto opened = LocalFileSource::open(gone);
        ASSERT_TRUE(QFile::remove(gone));
        // Still readable through its descriptor.
        EXPECT_EQ(filterLog(*opened, pathOf(QStringLiteral("out2.log")), options).state,
                  Status::Written);
    }
}

// Cut while the run reads the file through its map: the lines written are
// those up to the new end, the last one cut short as that end cuts it.
TEST_F(FilterLogTest, ASourceCutDuringTheRunEndsAtItsNewEnd)
{
    QByteArray data;
    while (data.size() < (qsizetype(10) << 20))
        data += "line\n";
    const QString source = put(QStringLiteral("cut.log"), data);
    FilterLogOptions options;
    options.filter = "l";
    const qint64 newSize = (qint64(5) << 20) + 2;
    const auto opened = LocalFileSource::open(source);
    ASSERT_TRUE(opened);
    bool cut = false;
    const FilterLogResult result =
        filterLog(*opened, pathOf(QStringLiteral("out.log")), options, [&](int) {
            if (!cut)
                cut = QFile::resize(source, newSize);
        });
    ASSERT_TRUE(cut);
    EXPECT_EQ(result.state, Status::Written);
    QByteArray expected = data.left(newSize);
    expected.replace("\n", "\r\n");
    EXPECT_EQ(get(pathOf(QStringLiteral("out.log"))), expected + "\r\n");
}

// Lines longer than a run holds are matched as they are read and copied
// from the source when they pass: the output is the one whole lines give.
TEST_F(FilterLogTest, LinesLongerThanARunHoldsComeOutAsWholeLinesDo)
{
    const qsizetype block = filterLogBlockBytes;
    const auto run = [](qsizetype n, const QByteArray &at, qsizetype where) {
        QByteArray line(n, 'a');
        line.replace(where, at.size(), at);
        return line;
    };
    QByteArray data = "first ERROR timeout=1\n";
    data += run(3 * block, "ERROR timeout=5", block - 40); // the match spans a block edge
    data += "\r\n";
    data += run(2 * block, "ERROR", 10) + "\n";                       // matches early
    data += run(2 * block, " ERROR timeout=", 2 * block - 15) + "\n"; // at its very end
    data += run(2 * block + 7, "", 0) + "\n";                         // no match
    // A CR LF pair cut by a block edge right after a long line.
    data += run(4 * block - data.size() - 1, "timeout=9 ERROR", 100) + "\r\nlast ERROR";
    const QByteArray patterns[] = {"ERROR.*timeout=[0-9]+", "ERROR$",  "^a+ ERROR",
                                   "timeout=\\d\\b",        "(a)\\1a", "zzz"};
    for (const QByteArray &pattern : patterns) {
        for (int flags = 0; flags < 4; ++flags) {
            FilterLogOptions options;
            options.filter = pattern;
            options.isRegex = true;
            options.invert = flags & 1;
            options.caseSensitive = flags & 2;
            SCOPED_TRACE(testing::Message() << pattern.toStdString() << ", flags " << flags);
            const QByteArray whole = filter(data, options);
            options.longLineBytes = block / 4;
            EXPECT_EQ(filter(data, options), whole);
        }
    }
    FilterLogOptions plain;
    plain.filter = "error TIMEOUT=5";
    const QByteArray whole = filter(data, plain);
    ASSERT_NE(whole, "<missing>");
    plain.longLineBytes = 1000;
    EXPECT_EQ(filter(data, plain), whole);

    // UTF-16 with a byte-order mark: the copy read again must be decoded the
    // same way, surrogate pairs cut by a block edge too.
    QString text = QStringLiteral("\uFEFF") + QString(block / 2 - 2, u'x') +
                   QStringLiteral("\U0001F600 \u00e9 ERROR ") + QString(block, u'y') +
                   QStringLiteral("\nshort ERROR\n");
    for (const Encoding encoding : {encodingUtf16LE, encodingUtf16BE}) {
        QByteArray bytes;
        for (const QChar c : text) {
            const char lo = char(c.unicode() & 0xFF);
            const char hi = char(c.unicode() >> 8);
            bytes += encoding.isBigEndian() ? hi : lo;
            bytes += encoding.isBigEndian() ? lo : hi;
        }
        FilterLogOptions options;
        options.encoding = encoding;
        const QByteArray expected =
            text.mid(1, text.indexOf(u'\n') - 1).toUtf8() + "\r\nshort ERROR\r\n";
        options.filter = "error";
        options.longLineBytes = 1000;
        SCOPED_TRACE(encoding);
        EXPECT_EQ(filter(bytes, options), expected);
    }
}

// A filtered copy of a protected log must not be readable by everyone.
TEST_F(FilterLogTest, ANewFilteredLogIsNeverWiderThanItsSource)
{
    QByteArray data;
    while (data.size() < 3 * filterLogBlockBytes)
        data += "keep this line\n";
    const struct
    {
        const char *name;
        mode_t source;
        mode_t umask;
        int existing; // the mode of a file replaced, or -1
        mode_t expected;
        uid_t owner = 0; // of a file replaced; other owners need root
    } cases[] = {
        {"a private source", 0600, 022, -1, 0600},
        {"a readable source", 0644, 022, -1, 0644},
        {"the umask narrows further", 0664, 077, -1, 0600},
        {"execute bits are dropped", 0750, 022, -1, 0640},
        {"a replaced file keeps its own mode", 0600, 022, 0644, 0644},
        {"... also a narrower one", 0644, 022, 0600, 0600},
        {"... and its owner", 0600, 022, 0640, 0640, 4321},
    };
    const mode_t saved = ::umask(022);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.owner != 0 && ::geteuid() != 0)
            continue;
        const QString source = put(QStringLiteral("in.log"), data);
        ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), c.source), 0);
        const QString dest = pathOf(QStringLiteral("out.log"));
        QFile::remove(dest);
        if (c.existing >= 0) {
            put(QStringLiteral("out.log"), "old\n");
            if (c.owner != 0) {
                ASSERT_EQ(::chown(QFile::encodeName(dest).constData(), c.owner, c.owner), 0);
            }
            ASSERT_EQ(::chmod(QFile::encodeName(dest).constData(), mode_t(c.existing)), 0);
        }
        std::vector<mode_t> temps; // the temporary file's modes while it fills
        FilterLogOptions options;
        options.filter = "keep";
        ::umask(c.umask);
        const FilterLogResult result = filterLog(source, dest, options, [&](int) {
            for (const QString &name : entries()) {
                struct stat st;
                if (name.startsWith(QLatin1String(".out.log.tmp")) &&
                    ::stat(QFile::encodeName(pathOf(name)).constData(), &st) == 0)
                    temps.push_back(st.st_mode & 07777);
            }
        });
        ::umask(022);
        ASSERT_EQ(result.state, Status::Written);
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(dest).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.expected);
        if (c.existing >= 0) {
            EXPECT_EQ(st.st_uid, c.owner == 0 ? ::geteuid() : c.owner);
        }
        ASSERT_FALSE(temps.empty());
        for (const mode_t mode : temps) {
            EXPECT_EQ(mode & ~(c.source & 0666), 0u) << std::oct << mode;
            EXPECT_EQ(mode & ~c.expected, 0u) << std::oct << mode;
        }
    }
    ::umask(saved);
}

// A filtered log is written through links as the settings are: the link
// stays, also a dangling one, and what is no regular file is never replaced.
TEST_F(FilterLogTest, TheTargetIsWrittenThroughLinksAndNeverReplacesASpecialFile)
{
    const QString source = put(QStringLiteral("src.log"), "a line\nnone\n");
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0640), 0);
    const QByteArray folder = QFile::encodeName(m_dir.path());
    put(QStringLiteral("old.log"), "old\n");
    ASSERT_EQ(::symlink("old.log", QByteArray(folder + "/fine.log").constData()), 0);
    ASSERT_EQ(::symlink("made.log", QByteArray(folder + "/dangling.log").constData()), 0);
    ASSERT_EQ(::mkfifo(QByteArray(folder + "/pipe").constData(), 0600), 0);
    const struct
    {
        const char *dest;
        Status state;
        const char *written; // the file that holds the lines afterwards
    } cases[] = {
        {"fine.log", Status::Written, "old.log"},
        {"dangling.log", Status::Written, "made.log"},
        {"pipe", Status::Failed, nullptr},
    };
    FilterLogOptions options;
    options.filter = "line";
    const mode_t saved = ::umask(022);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.dest);
        const QString dest = pathOf(QLatin1String(c.dest));
        const bool wasLink = QFileInfo(dest).isSymLink();
        const FilterLogResult result = filterLog(source, dest, options);
        EXPECT_EQ(result.state, c.state) << result.error.toStdString();
        EXPECT_EQ(QFileInfo(dest).isSymLink(), wasLink);
        if (c.written) {
            EXPECT_EQ(get(pathOf(QLatin1String(c.written))), "a line\r\n");
        } else {
            struct stat st;
            ASSERT_EQ(::lstat(QFile::encodeName(dest).constData(), &st), 0);
            EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "still a pipe";
        }
    }
    ::umask(saved);
    struct stat st;
    ASSERT_EQ(::stat(QByteArray(folder + "/made.log").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "a new file, from its source's mode";
}

// A Linux file name is bytes: a source and a target whose names are not
// UTF-8 are read and written under exactly those bytes.
TEST_F(FilterLogTest, NamesThatAreNotUtf8AreReadAndWrittenAsTheirBytes)
{
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray sourceBytes = folder + "/in\xff.log";
    const QByteArray targetBytes = folder + "/out\xfe.log";
    {
        const int fd = ::open(sourceBytes.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "a\nb\na b\n", 8), 8);
        ::close(fd);
    }
    FilterLogOptions options;
    options.filter = "b";
    const FilterLogResult result =
        filterLog(fileNameFromBytes(sourceBytes), fileNameFromBytes(targetBytes), options);
    ASSERT_EQ(result.state, Status::Written) << result.error.toStdString();
    const int fd = ::open(targetBytes.constData(), O_RDONLY);
    ASSERT_GE(fd, 0) << "written under its own bytes";
    char buffer[16] = {};
    EXPECT_EQ(::read(fd, buffer, sizeof buffer), 8);
    ::close(fd);
    EXPECT_EQ(QByteArray(buffer), "b\r\na b\r\n");
}

TEST(BlockSafePattern, FlagsWhatCanSeePastALineEnd)
{
    for (const char *safe : {"ERROR.*timeout=[0-9]+", "^a$", "(?<=x)y", "a(?=b)", "(?i)x",
                             "(?<name>a)\\k<name>", "\\Q(?!\\E", "a\\++", "[+]+"}) {
        EXPECT_TRUE(isBlockSafePattern(safe)) << safe;
    }
    for (const char *unsafe : {"\\Aa", "a\\z", "a\\Z", "\\Ga", "(?!a)", "(?<!a)", "(?>a)", "a*+",
                               "a{2}+", "(*COMMIT)a", "(?-m)^a", "(?(1)a|b)", "(?^)a"}) {
        EXPECT_FALSE(isBlockSafePattern(unsafe)) << unsafe;
    }
}

// What the syntax holds, not what its text looks like.
TEST(BlockSafePattern, ReadsTheSyntaxNotItsText)
{
    for (const char *safe : {"[]\\\\(?!]", "(?#(?!a)b", "(?^m)a", "\\Q\\A(?!\\E", "(*pla:a)b"})
        EXPECT_TRUE(isBlockSafePattern(safe)) << safe;
    for (const char *unsafe : {"(?x)#\\Q\n(?!a)", "a(?#\\Q)(?!b)", "(?x)a* +b", "a*(?#c)+b",
                               "a*\\Q\\E+b", "a{2}\\E+", "(*nla:a)b", "(*LF)a"})
        EXPECT_FALSE(isBlockSafePattern(unsafe)) << unsafe;
}

} // namespace
