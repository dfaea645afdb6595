#include "viewer/viewdocument.h"

#include "testfiles.h"

#include "text/contract.h"

#include <QFile>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>

#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(ViewDocument, RefusesWhatIsNotARegularFile)
{
    TempFiles files;
    const QString fifo = files.path(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct
    {
        const char *name;
        QString path;
    } cases[] = {
        {"missing", files.path(QStringLiteral("nope.log"))},
        {"folder", files.dir()},
        {"fifo without writer", fifo},
        {"endless device", QStringLiteral("/dev/zero")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ViewDocument doc;
        EXPECT_EQ(doc.openFile(c.path), ViewDocument::OpenResult::CannotOpen);
        EXPECT_FALSE(doc.sourceAssigned());
    }
}

// /proc/self/mem is a regular file whose every read at offset 0 fails: a
// Retry could never help.
TEST(ViewDocument, AFileWhoseFirstReadFailsDoesNotOpen)
{
    const QString unreadable = QStringLiteral("/proc/self/mem");
    {
        ViewDocument doc;
        int asked = 0;
        doc.setReadErrorHandler([&asked] { return ++asked < 3; });
        EXPECT_EQ(doc.openFile(unreadable), ViewDocument::OpenResult::CannotOpen);
        EXPECT_EQ(asked, 0) << "no Retry is offered";
        EXPECT_FALSE(doc.sourceAssigned());
        EXPECT_TRUE(doc.readOK());
    }
    {
        // A reload of a file shown may meet a passing failure: that still
        // asks, and Cancel leaves the read error for the view to show.
        ViewDocument doc;
        int asked = 0;
        doc.setReadErrorHandler([&asked] { return ++asked < 3; });
        EXPECT_EQ(doc.openFile(unreadable, true), ViewDocument::OpenResult::Ok);
        EXPECT_EQ(asked, 3);
        EXPECT_FALSE(doc.readOK());
    }
}

TEST(ViewDocument, EmptyAndTinyFilesOpen)
{
    TempFiles files;
    ViewDocument doc;
    ASSERT_EQ(doc.openFile(files.write(QStringLiteral("empty"), {})), ViewDocument::OpenResult::Ok);
    EXPECT_EQ(doc.fileSize(), 0);
    EXPECT_EQ(doc.getChar(0), 0);
    EXPECT_EQ(doc.offsetDigits(), 0);
    EXPECT_EQ(doc.maxPos(), 0);

    doc.setModeValue(vbmodeUnicode);
    ASSERT_EQ(doc.openFile(files.write(QStringLiteral("one"), "A")), ViewDocument::OpenResult::Ok);
    EXPECT_EQ(doc.getChar(0), 0) << "one byte is less than one UTF-16 unit";
    EXPECT_EQ(doc.offsetDigits(), 0);
    EXPECT_EQ(doc.unicodeOrder(), unicodeOrderLittle);
}

TEST(ViewDocument, MaxPosDropsAnOddLastByteInUnicodeModes)
{
    TempFiles files;
    ViewDocument doc;
    doc.setModeValue(vbmodeUnicode);
    ASSERT_EQ(doc.openFile(files.write(QStringLiteral("five"), QByteArray("a\0b\0c", 5))),
              ViewDocument::OpenResult::Ok);
    EXPECT_EQ(doc.maxPos(), 2);
    EXPECT_EQ(doc.getChar(2), u'b');
    EXPECT_EQ(doc.getChar(4), u'.') << "past MaxPos reads as code 0, shown as a full stop";
}

TEST(ViewDocument, ByteOrderComesFromTheMark)
{
    TempFiles files;
    const struct
    {
        const char *name;
        QByteArray bytes;
        quint8 order;
        char16_t first;
    } cases[] = {
        {"FE FF is big-endian", QByteArray("\xFE\xFF\x00\x41", 4), unicodeOrderBig, 0xFEFF},
        {"FF FE is little-endian", QByteArray("\xFF\xFE\x41\x00", 4), unicodeOrderLittle, 0xFEFF},
        {"no mark is little-endian", QByteArray("\x41\x00", 2), unicodeOrderLittle, u'A'},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ViewDocument doc;
        doc.setModeValue(vbmodeUnicode);
        ASSERT_EQ(doc.openFile(files.write(QStringLiteral("u16"), c.bytes)),
                  ViewDocument::OpenResult::Ok);
        EXPECT_EQ(doc.unicodeOrder(), c.order);
        EXPECT_EQ(doc.getChar(0), c.first) << "the mark itself is shown";
    }
}

TEST(ViewDocument, CharacterSubstitutions)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("ctl"), QByteArray("\t\n\r\x00\x1e\x1f\x01"
                                                                       "A",
                                                                       8));
    const struct
    {
        ViewMode mode;
        int firstPrintable;
        const char16_t expected[8];
    } cases[] = {
        {vbmodeText, 32, {9, 10, 13, u'.', u'.', u'.', u'.', u'A'}},
        {vbmodeHex, 32, {u'.', u'.', u'.', u'.', u'.', u'.', u'.', u'A'}},
        // A font that defines low codes shows them, all but 30 and 31.
        {vbmodeText, 1, {9, 10, 13, u'.', u'.', u'.', 1, u'A'}},
        {vbmodeBinary, 0, {u'.', 10, 13, 0, u'.', u'.', 1, u'A'}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.mode) * 100 + c.firstPrintable);
        ViewDocument doc;
        doc.setModeValue(c.mode);
        doc.firstPrintable = c.firstPrintable;
        ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(doc.getChar(i), c.expected[i]) << "offset " << i;
    }
}

TEST(ViewDocument, GetHexWritesUnitsHighByteFirst)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("hex"), QByteArray("\x41\x00\xfe", 3));
    ViewDocument doc;
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    EXPECT_EQ(doc.getHex(0), QStringLiteral("41"));
    EXPECT_EQ(doc.getHex(2), QStringLiteral("FE"));
    EXPECT_EQ(doc.getHex(3), QString());
    EXPECT_EQ(doc.getHex(-1), QString());
    doc.setModeValue(vbmodeUnicode);
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    EXPECT_EQ(doc.getHex(0), QStringLiteral("0041"));
}

TEST(ViewDocument, OffsetDigitsGrowPastFourGiB)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("sparse"), "x");
    const struct
    {
        qint64 size;
        int digits;
    } cases[] = {{1, 8}, {0xFFFFFFFFLL, 8}, {0x100000000LL, 10}, {0x10000000000LL, 12}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_EQ(truncate(QFile::encodeName(path).constData(), c.size), 0);
        ViewDocument doc;
        ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
        EXPECT_EQ(doc.offsetDigits(), c.digits);
    }
}

TEST(ViewDocument, WindowMovesOnlyWhenThePositionLeavesItsFirstTwoThirds)
{
    TempFiles files;
    ViewDocument doc;
    doc.maxLengths[vbmodeText] = 10;
    ASSERT_EQ(doc.openFile(files.write(QStringLiteral("big"), QByteArray(100000, 'a'))),
              ViewDocument::OpenResult::Ok);
    // A third holds a screen of the longest lines with CR LF, and one line more.
    const qint64 third = (10 + 2) * (maxScreenLines + 1);
    ASSERT_EQ(doc.bufMaxOffset(), third);
    ASSERT_EQ(doc.bufferSize(), 3 * third);
    EXPECT_EQ(doc.bufferPos(), 0);
    const quint64 reads = doc.windowReads();
    doc.readBuffer(2 * third - 1);
    EXPECT_EQ(doc.windowReads(), reads) << "still inside the first two thirds";
    doc.readBuffer(2 * third);
    EXPECT_EQ(doc.windowReads(), reads + 1);
    EXPECT_EQ(doc.bufferPos(), third) << "one third before the position";
    doc.readBuffer(100);
    EXPECT_EQ(doc.bufferPos(), 0) << "never negative";
    EXPECT_TRUE(doc.isOutOfWindow(3 * third));
    EXPECT_FALSE(doc.isOutOfWindow(3 * third - 1));
}

TEST(ViewDocument, OffsetsAreExactPastFourGiB)
{
    TempFiles files;
    const QString path = files.path(QStringLiteral("sparse.log"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(10LL << 30));
        ASSERT_TRUE(f.seek((8LL << 30) + 5));
        f.write("hello\n");
    }
    ViewDocument doc;
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    EXPECT_EQ(doc.fileSize(), 10LL << 30);
    doc.readBuffer((8LL << 30) + 5);
    EXPECT_EQ(doc.getChar((8LL << 30) + 5), u'h');
    EXPECT_EQ(doc.getChar((8LL << 30) + 9), u'o');
    EXPECT_EQ(doc.rawChar((8LL << 30) + 10), u'\n');
}

TEST(ViewDocument, FileShrunkUnderneathReadsZerosNotGarbage)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("shrinks"), QByteArray(5000, 'x'));
    ViewDocument doc;
    doc.maxLengths[vbmodeText] = 10; // a window of some 5000 bytes
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), 10), 0);
    doc.readBuffer(4000);
    EXPECT_EQ(doc.fileSize(), 5000) << "the size is only taken again at a reload";
    EXPECT_EQ(doc.rawChar(4000), 0);
    EXPECT_TRUE(doc.readOK());
}

TEST(ViewDocument, ContractChecksNameTheOperation)
{
    TempFiles files;
    ViewDocument doc;
    char buf[4];
    try {
        doc.readSource(buf, 4, nullptr, 0);
        FAIL() << "no exception";
    } catch (const ContractError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Source not assigned: ReadSource"));
        EXPECT_EQ(e.unit(), QStringLiteral("QzBinHex"));
    }
    ASSERT_EQ(doc.openFile(files.write(QStringLiteral("f"), QByteArray(100, 'a'))),
              ViewDocument::OpenResult::Ok);
    // Inside the data but outside the window is a caller's fault, not a crash.
    doc.maxLengths[vbmodeText] = 2;
    ASSERT_EQ(doc.openFile(files.write(QStringLiteral("g"), QByteArray(10000, 'a'))),
              ViewDocument::OpenResult::Ok);
    EXPECT_THROW(doc.getChar(9000), ContractError);
}

TEST(ViewDocument, DecodeLineMapsCharactersBackToBytes)
{
    ViewDocument doc;
    doc.textEncoding = encodingUtf8;
    const QByteArray utf8 = QStringLiteral("aЖ€\U0001F600b").toUtf8();
    std::vector<char16_t> units(utf8.begin(), utf8.end());
    for (auto &u : units)
        u &= 0xFF;
    std::vector<int> offsets;
    const QString text = doc.decodeLine(units.data(), int(units.size()), &offsets);
    EXPECT_EQ(text, QStringLiteral("aЖ€\U0001F600b"));
    const std::vector<int> expected{0, 1, 3, 6, 6, 10};
    EXPECT_EQ(offsets, expected);

    // One bad byte costs one replacement character, not the line.
    const char16_t bad[] = {u'o', u'k', 0xFF, u'!'};
    EXPECT_EQ(doc.decodeLine(bad, 4, &offsets), QStringLiteral("ok\uFFFD!"));
    EXPECT_EQ(offsets, (std::vector<int>{0, 1, 2, 3}));
}

// The line numbers of the gutter come from the document alone, in the unit of
// its mode, and go with the file it closes.
TEST(ViewDocument, CountsLineStartsInTheUnitOfItsMode)
{
    TempFiles files;
    const struct
    {
        const char *name;
        ViewMode mode;
        QByteArray bytes;
        std::vector<qint32> starts;
    } cases[] = {
        {"bytes", vbmodeText, QByteArray("a\nbb\r\nc\rd"), {2, 6, 8}},
        // A byte 10 inside a UTF-16 unit breaks nothing; the unit 10 does.
        {"UTF-16 little-endian",
         vbmodeUnicode,
         QByteArray("\xFF\xFE"
                    "a\0\n\0\x0A\x01\n\0b\0",
                    12),
         {6, 10}},
        {"UTF-16 big-endian",
         vbmodeUnicode,
         QByteArray("\xFE\xFF\0a\0\n\x01\x0A\0\n\0b", 12),
         {6, 10}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ViewDocument doc;
        doc.setModeValue(c.mode);
        ASSERT_EQ(doc.openFile(files.write(QStringLiteral("lines"), c.bytes)),
                  ViewDocument::OpenResult::Ok);
        ASSERT_TRUE(doc.countLines(doc.fileSize(), LineStarts::countDefault));
        EXPECT_EQ(doc.lineStarts().starts(), c.starts);
        EXPECT_EQ(doc.lineStarts().lineNumber(c.starts.back()), int(c.starts.size()) + 1);
        doc.close();
        EXPECT_EQ(doc.lineStarts().lineStartCount(), 0) << "numbers of a closed file";
        EXPECT_FALSE(doc.countLines(100, LineStarts::countDefault)) << "nothing to count";
    }
}

TEST(mulDiv64, ScalesPositionsWithoutOverflow)
{
    const qint64 max = std::numeric_limits<qint64>::max();
    const struct
    {
        const char *name;
        qint64 a, b, c, result;
    } cases[] = {
        {"small values", 7, 3, 2, 10},
        {"zero", 0, 32767, 5, 0},
        {"a petabyte position times a slider value", 1LL << 50, 16384, 32767,
         qint64(UINT64_MAX / 32767)},
        {"a position near the end times the scroll range", (1LL << 62) - 1, 32767, 1LL << 62,
         32766},
        {"the largest position", max, 32767, max, 32767},
        {"a result beyond 64 bits is clamped", max, max, 1, max},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(mulDiv64(c.a, c.b, c.c), c.result);
    }
}

TEST(ViewDocument, DecodeLineUsesTheCodePage)
{
    ViewDocument doc;
    doc.textEncoding = Encoding::codePage(45); // Windows-1251
    const char16_t bytes[] = {0xC0, 0xE1};
    EXPECT_EQ(doc.decodeLine(bytes, 2), QStringLiteral("Аб"));
    doc.textEncoding = encodingOem; // code page 437
    const char16_t box[] = {0xC9};
    EXPECT_EQ(doc.decodeLine(box, 1), QStringLiteral("╔"));
    doc.textOemSpecial = true; // converted as ANSI, drawn in the OEM font
    EXPECT_EQ(doc.decodeLine(box, 1), QStringLiteral("\uFFFD"));
}

} // namespace

// A reload with no widget: the owner reopens on reloadDue and reads what changed.
TEST(ViewDocumentReload, ReopenSaysWhatChanged)
{
    TempFiles files;
    const QString rotated = files.path(QStringLiteral("rotated"));
    const struct
    {
        const char *name;
        std::function<void(const QString &)> change;
        ReloadReason expected;
    } cases[] = {
        {"unchanged", [](const QString &) {}, ReloadReason::None},
        {"grown", [&](const QString &p) { files.append(p, "more\n"); }, ReloadReason::Appended},
        {"truncated", [&](const QString &p) { ASSERT_TRUE(QFile::resize(p, 2)); },
         ReloadReason::Truncated},
        // Another inode under the name, even at the same size.
        {"rotated",
         [&](const QString &p) {
             files.write(QStringLiteral("rotated"), "line\n");
             ASSERT_EQ(
                 ::rename(QFile::encodeName(rotated).constData(), QFile::encodeName(p).constData()),
                 0);
         },
         ReloadReason::Replaced},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = files.write(QStringLiteral("log"), "line\n");
        ViewDocument doc;
        int reloads = 0;
        QObject::connect(&doc, &ViewDocument::reloadDue, [&] {
            ++reloads;
            ASSERT_EQ(doc.openFile(path, true), ViewDocument::OpenResult::Ok);
        });
        ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
        EXPECT_EQ(doc.lastReloadReason(), ReloadReason::None) << "a fresh open";
        c.change(path);
        doc.reportChange();
        EXPECT_EQ(reloads, 1);
        EXPECT_EQ(doc.lastReloadReason(), c.expected);
    }
}

TEST(ViewDocumentReload, HeldReportsReloadOnceWhenReleased)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("log"), "a\n");
    ViewDocument doc;
    int reloads = 0;
    QObject::connect(&doc, &ViewDocument::reloadDue, [&] {
        ++reloads;
        doc.openFile(path, true);
    });
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    doc.setReloadsHeld(true);
    files.append(path, "b\n");
    doc.reportChange();
    doc.reportChange();
    EXPECT_EQ(reloads, 0) << "a job reads the document";
    EXPECT_TRUE(doc.reloadPending());
    doc.setReloadsHeld(false);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(doc.lastReloadReason(), ReloadReason::Appended);
    doc.setReloadsHeld(false);
    EXPECT_EQ(reloads, 1) << "nothing left pending";

    // A pending reload for a source no longer shown is dropped.
    doc.setReloadsHeld(true);
    doc.reportChange();
    doc.dropPendingReload();
    doc.setReloadsHeld(false);
    EXPECT_EQ(reloads, 1);
}

TEST(ViewDocumentReload, GoneClosesAndAppearedIsAnotherFile)
{
    TempFiles files;
    const QString path = files.write(QStringLiteral("log"), "a\n");
    ViewDocument doc;
    ASSERT_EQ(doc.openFile(path), ViewDocument::OpenResult::Ok);
    doc.fileGone();
    EXPECT_FALSE(doc.sourceAssigned());
    EXPECT_EQ(doc.lastReloadReason(), ReloadReason::Deleted);
    // Reopened from closed: no identity to compare, the size says grown.
    ASSERT_EQ(doc.openFile(path, true), ViewDocument::OpenResult::Ok);
    EXPECT_EQ(doc.lastReloadReason(), ReloadReason::Appended);
    doc.fileAppeared();
    EXPECT_EQ(doc.lastReloadReason(), ReloadReason::Replaced);
    doc.close();
    EXPECT_EQ(doc.lastReloadReason(), ReloadReason::None);
}
