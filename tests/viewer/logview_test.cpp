#include "viewerfixture.h"

#include "text/contract.h"
#include "common/viewoption.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>

#include <algorithm>
#include <climits>
#include <cstdint>

#include <unistd.h>

namespace {

using Viewer = ViewerFixture;

// A seekable device of any size whose every 64th byte is a line feed.
class HugeDevice final : public QIODevice
{
public:
    explicit HugeDevice(qint64 size) : m_size(size) {}
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_size; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::clamp<qint64>(m_size - pos(), 0, maxSize);
        for (qint64 i = 0; i < n; ++i)
            data[i] = (pos() + i) % 64 == 63 ? '\n' : 'a';
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_size;
};

TEST_F(Viewer, SettersClampToTheirBounds)
{
    LogView &v = *m_view;
    v.setMaxLengths(vbmodeText, 1);
    EXPECT_EQ(v.document().maxLengths[vbmodeText], 2);
    v.setMaxLengths(vbmodeText, 5000);
    EXPECT_EQ(v.document().maxLengths[vbmodeText], 2048);
    setOption(v, &ViewOptions::textWidthHex, 18);
    EXPECT_EQ(v.options().textWidthHex, 16);
    setOption(v, &ViewOptions::textWidthHex, 3);
    EXPECT_EQ(v.options().textWidthHex, 2);
    setOption(v, &ViewOptions::textTabSize, 20);
    EXPECT_EQ(v.options().textTabSize, 16);
    setOption(v, &ViewOptions::textTabSize, 0);
    EXPECT_EQ(v.options().textTabSize, 2);
    setOption(v, &ViewOptions::textGutterLinesStep, 11);
    EXPECT_EQ(v.options().textGutterLinesStep, 10);
    setOption(v, &ViewOptions::textSearchIndentVert, -3);
    EXPECT_EQ(v.options().textSearchIndentVert, 0);
    // A smaller maximal length re-clamps the dump widths.
    setOption(v, &ViewOptions::textWidth, 80);
    v.setMaxLengths(vbmodeBinary, 40);
    EXPECT_EQ(v.options().textWidth, 40);
    setOption(v, &ViewOptions::textWidthFitHex, true);
    setOption(v, &ViewOptions::textWidthHex, 8);
    setOption(v, &ViewOptions::textWidthFitHex, false);
    EXPECT_EQ(v.options().textWidthHex, 16) << "switching fit off restores 16";
}

TEST_F(Viewer, OpenAndClose)
{
    const QString path = write("one\ntwo\n");
    EXPECT_TRUE(m_view->open(path));
    EXPECT_EQ(m_view->document().fileSize(), 8);
    const quint64 reads = m_view->document().windowReads();
    EXPECT_TRUE(m_view->open(path)) << "the same name again";
    EXPECT_EQ(m_view->document().windowReads(), reads) << "is not read again";
    EXPECT_TRUE(m_view->open(QString()));
    EXPECT_FALSE(m_view->document().sourceAssigned());
    EXPECT_EQ(m_view->document().fileSize(), 0);
    EXPECT_TRUE(m_sink.messages().empty());
}

TEST_F(Viewer, OpenFailureShowsTheViewerMessage)
{
    const QString missing = m_files.path(QStringLiteral("missing.log"));
    EXPECT_FALSE(m_view->open(missing));
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].caption, QStringLiteral("Viewer"));
    EXPECT_EQ(m_sink.messages()[0].text, QStringLiteral("Cannot open file: \"%1\"").arg(missing));
    EXPECT_EQ(m_view->fileName(), missing) << "the name is kept";
    EXPECT_FALSE(m_view->document().sourceAssigned());
}

TEST_F(Viewer, StepFontSizeStopsAtItsLimits)
{
    QFont big(QStringLiteral("DejaVu Sans Mono"));
    big.setPointSize(72);
    setOption(*m_view, &ViewOptions::font, {big, Qt::black});
    int changes = 0;
    QObject::connect(m_view.get(), &LogView::optionsChanged, [&] { ++changes; });
    EXPECT_FALSE(m_view->stepFontSize(true));
    EXPECT_EQ(m_view->options().font.font.pointSize(), 72);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(m_view->stepFontSize(false));
    EXPECT_LT(m_view->options().font.font.pointSize(), 72);
    EXPECT_EQ(changes, 1);
}

TEST_F(Viewer, FileCutShortWhileShownDrawsWithoutFailing)
{
    m_view->setMaxLengths(vbmodeText, 10); // a small window, so moves read again
    const QString path = write(numberedLines(2000));
    m_view->open(path);
    showLines(10);
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), 100), 0);
    m_view->scrollTo(10000);
    m_view->scrollToEnd();
    m_view->scrollLinesUp(3);
    EXPECT_TRUE(m_view->document().readOK());
    EXPECT_GT(m_view->strPositions().count(), 0);
    ASSERT_EQ(unlink(QFile::encodeName(path).constData()), 0);
    m_view->scrollToBegin();
    EXPECT_EQ(drawnTexts().front(), QStringLiteral("line001")) << "the open file stays readable";
}

TEST_F(Viewer, SelectionStaysInsideTheFile)
{
    m_view->open(write("0123456789"));
    const struct
    {
        const char *name;
        qint64 start, length;
        qint64 selStart, selLength;
    } cases[] = {
        {"inside", 2, 3, 2, 3},
        {"a length past the end is cut", 8, 100, 8, 2},
        {"a start past the last character changes nothing", 10, 1, 8, 2},
        {"a negative length changes nothing", 1, -1, 8, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->setSelection(c.start, c.length, false, false, false);
        EXPECT_EQ(m_view->selStart(), c.selStart);
        EXPECT_EQ(m_view->selLength(), c.selLength);
    }
}

TEST_F(Viewer, ReloadNeedsASource)
{
    EXPECT_THROW(m_view->reload(), ContractError);
}

TEST_F(Viewer, SettingTheSameModeReopensKeepingThePosition)
{
    m_view->open(write(numberedLines(100)));
    showLines(10);
    m_view->scrollTo(8 * 40 + 3);
    ASSERT_EQ(m_view->viewPos(), 8 * 40);
    const quint64 reads = m_view->document().windowReads();
    m_view->setMode(vbmodeText);
    EXPECT_GT(m_view->document().windowReads(), reads);
    EXPECT_EQ(m_view->viewPos(), 8 * 40);
}

TEST_F(Viewer, LineMovesInSmallFiles)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        qint64 scrollTo;
        qint64 viewPos;
    } cases[] = {
        {"ScrollTo the LF of CR LF starts at its line", "a\r\nb", 2, 0},
        {"ScrollTo mid-line starts at the line", "abc\ndefgh\nij\n", 6, 4},
        {"ScrollTo a negative position starts at 0", "abc\ndef\n", -5, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->open(write(c.bytes, QString::fromLatin1(c.name)));
        showLines(1);
        m_view->scrollTo(c.scrollTo);
        EXPECT_EQ(m_view->viewPos(), c.viewPos);
    }
}

TEST_F(Viewer, OverlongLineMovesUpToMaxLengthMinusOne)
{
    m_view->open(write(QByteArray(1000, 'x')));
    showLines(1);
    m_view->scrollLinesDown(1);
    EXPECT_EQ(m_view->viewPos(), 300);
    m_view->scrollLinesUp(1);
    EXPECT_EQ(m_view->viewPos(), 1);
    m_view->scrollLinesUp(1);
    EXPECT_EQ(m_view->viewPos(), 0);
    m_view->scrollLinesUp(1);
    EXPECT_EQ(m_view->viewPos(), 0) << "one line up at 0 stays at 0";
}

TEST_F(Viewer, EmptyLineBetweenLines)
{
    m_view->open(write("ab\n\ncd\n"));
    showLines(1);
    m_view->scrollTo(4);
    ASSERT_EQ(m_view->viewPos(), 4);
    m_view->scrollLinesUp(1);
    EXPECT_EQ(m_view->viewPos(), 3);
    m_view->scrollLinesUp(1);
    EXPECT_EQ(m_view->viewPos(), 0);
}

TEST_F(Viewer, ScrollToEndPutsTheLastLineAtTheBottom)
{
    const int visible = 10;
    const struct
    {
        const char *name;
        bool finalBreak;
        int firstShown; // 1-based line number at the top
    } cases[] = {
        {"with a final line break", true, 100 - visible + 1},
        {"without one, one row higher", false, 100 - visible + 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->open(write(numberedLines(100, c.finalBreak), QString::fromLatin1(c.name)));
        showLines(visible);
        m_view->scrollToEnd();
        EXPECT_EQ(m_view->viewPos(), qint64(c.firstShown - 1) * 8);
        EXPECT_TRUE(m_view->viewAtEnd());
        const qint64 pos = m_view->viewPos();
        m_view->scrollLinesDown(1);
        m_view->scrollPageDown();
        EXPECT_EQ(m_view->viewPos(), pos) << "no moving down while the end is visible";
    }
}

TEST_F(Viewer, PagesMoveByVisibleLines)
{
    m_view->open(write(numberedLines(100)));
    showLines(10);
    m_view->scrollPageDown();
    EXPECT_EQ(m_view->viewPos(), 10 * 8);
    EXPECT_EQ(m_view->viewPageSize(), 10 * 8);
    m_view->scrollPageUp();
    EXPECT_EQ(m_view->viewPos(), 0);
    m_view->scrollTo(m_view->document().fileSize() + 100);
    EXPECT_TRUE(m_view->viewAtEnd()) << "ScrollTo past MaxPos goes to the end";
}

TEST_F(Viewer, HorizontalPositionIsClamped)
{
    m_view->open(write(QByteArray(200, 'w') + "\nshort\n"));
    showLines(5, 40);
    const int hmax = m_view->hMaxPos();
    ASSERT_GT(hmax, 0);
    QScrollBar *bar = m_view->horizontalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    m_view->setHViewPos(INT_MAX, true);
    EXPECT_EQ(m_view->hViewPos(), hmax);
    EXPECT_EQ(bar->value(), bar->maximum()) << "the thumb shows the position";
    m_view->setHViewPos(-10, true);
    EXPECT_EQ(m_view->hViewPos(), 0);
    EXPECT_EQ(bar->value(), 0);
    setOption(*m_view, &ViewOptions::textWrap, true);
    m_view->setHViewPos(50, true);
    EXPECT_EQ(m_view->hViewPos(), 0) << "wrapped text never scrolls sideways";
}

TEST_F(Viewer, HugeSparseFileOffsetsAreExact)
{
    const QString path = m_files.path(QStringLiteral("sparse.log"));
    const qint64 eightGiB = 8LL << 30;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(10LL << 30));
        ASSERT_TRUE(f.seek(eightGiB));
        f.write("\nhello world\n");
        ASSERT_TRUE(f.seek((10LL << 30) - 11));
        f.write("\nlast line\n");
    }
    m_view->open(path);
    showLines(5);
    m_view->scrollToEnd();
    EXPECT_TRUE(m_view->viewAtEnd());
    ASSERT_FALSE(drawnTexts().empty());
    const auto texts = drawnTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("last line")), texts.end());
    m_view->scrollTo(eightGiB + 5);
    EXPECT_EQ(m_view->viewPos(), eightGiB + 1);
    EXPECT_EQ(drawnTexts().front(), QStringLiteral("hello world"));
}

TEST_F(Viewer, OneHundredMegabyteLineMovesWithoutScanningIt)
{
    const QString path = m_files.path(QStringLiteral("oneline.log"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray chunk(1 << 20, 'z');
        for (int i = 0; i < 100; ++i)
            f.write(chunk);
    }
    m_view->open(path);
    showLines(10);
    const quint64 reads = m_view->document().windowReads();
    m_view->scrollToEnd();
    EXPECT_TRUE(m_view->viewAtEnd());
    m_view->scrollTo(50 << 20);
    m_view->scrollPageUp();
    EXPECT_LE(m_view->document().windowReads() - reads, 3u) << "one window read per move";
    EXPECT_EQ(drawnTexts().size(), 11u);
    EXPECT_EQ(drawnTexts().front().size(), 300);
}

TEST_F(Viewer, AFullScreenOfLongCrLfLinesIsShownWhole)
{
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += QByteArray(100, char('a' + i % 26)) + "\r\n";
    const QString path = write(bytes);
    const struct
    {
        const char *name;
        int lines;
    } cases[] = {
        {"148 visible lines", 148},
        {"the most lines a screen shows", maxScreenLines},
        {"a view taller than that", maxScreenLines + 70},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->open(QString());
        m_view->setMaxLengths(vbmodeText, 100);
        m_view->open(path);
        showLines(c.lines);
        const int visible = std::min(c.lines, maxScreenLines);
        ASSERT_EQ(m_view->visibleLines(), visible);
        m_view->scrollTo(29993);
        EXPECT_EQ(m_view->viewPos(), 294 * 102);
        EXPECT_FALSE(m_view->viewAtEnd());
        const auto texts = drawnTexts();
        EXPECT_EQ(int(texts.size()), std::min(visible + 1, maxScreenLines));
        for (const QString &t : texts)
            EXPECT_EQ(t.size(), 100);
        m_view->scrollLinesDown(1);
        EXPECT_EQ(m_view->viewPos(), 295 * 102);
        m_view->scrollPageDown();
        EXPECT_EQ(m_view->viewPos(), (295 + visible) * 102);
        m_view->scrollPageUp();
        EXPECT_EQ(m_view->viewPos(), 295 * 102);
    }
}

TEST_F(Viewer, ScrollBarMathHoldsForPetabyteSources)
{
    const qint64 size = 1LL << 50;
    HugeDevice device(size);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    m_view->openStream(&device);
    showLines(10);
    // A line start at nine tenths of the source.
    const qint64 target = 29491LL << 35;
    m_view->scrollTo(target + 5);
    EXPECT_EQ(m_view->viewPos(), target);
    EXPECT_EQ(m_view->vScrollMax(), 32767);
    EXPECT_EQ(m_view->vScrollPos(), 29490) << "29491 * 32767 / 32768";

    QScrollBar *bar = m_view->verticalScrollBar();
    bar->setSliderPosition(16384);               // a tracking slider moves the view at once
    const qint64 p = qint64(UINT64_MAX / 32767); // 2^50 * 16384 / 32767
    EXPECT_EQ(m_view->viewPos(), p - p % 64);
    m_view->openStream(nullptr);
}

TEST_F(Viewer, ChosenByteOrderSurvivesReloads)
{
    const QString path = write(QByteArray("h\0i\0\n\0", 6), QStringLiteral("u16.log"));
    m_view->open(path);
    m_view->setMode(vbmodeUnicode);
    showLines(5);
    ASSERT_EQ(m_view->document().unicodeOrder(), unicodeOrderLittle)
        << "no mark: detected little-endian";
    m_view->setUnicodeOrder(unicodeOrderBig);
    m_view->reload();
    EXPECT_EQ(m_view->document().unicodeOrder(), unicodeOrderBig) << "after Reload";
    m_files.append(path, QByteArray("j\0\n\0", 4));
    m_view->handleFileChange(nullptr);
    EXPECT_EQ(m_view->document().fileSize(), 10);
    EXPECT_EQ(m_view->document().unicodeOrder(), unicodeOrderBig) << "after an append was reloaded";
    // A fresh open detects the order again.
    m_view->open(write(QByteArray("h\0i\0", 4), QStringLiteral("other.log")));
    EXPECT_EQ(m_view->document().unicodeOrder(), unicodeOrderLittle);
}

TEST_F(Viewer, WrappedRowsMoveUpWhereDownWent)
{
    m_view->open(write("aaaa bbbb cccc dddd"));
    showLines(1, 10);
    setOption(*m_view, &ViewOptions::textWrap, true);
    m_view->scrollLinesDown(1);
    ASSERT_EQ(m_view->viewPos(), 10);
    m_view->scrollLinesUp(1);
    EXPECT_EQ(m_view->viewPos(), 0);
}

TEST_F(Viewer, KeysMoveTheView)
{
    m_view->open(write(numberedLines(100)));
    showLines(10);
    const struct
    {
        int key;
        Qt::KeyboardModifiers mods;
        qint64 viewPos;
    } steps[] = {
        {Qt::Key_Down, Qt::NoModifier, 8},          {Qt::Key_PageDown, Qt::NoModifier, 88},
        {Qt::Key_Up, Qt::NoModifier, 80},           {Qt::Key_PageUp, Qt::NoModifier, 0},
        {Qt::Key_End, Qt::ControlModifier, 90 * 8}, {Qt::Key_Home, Qt::ControlModifier, 0},
        {Qt::Key_Down, Qt::ShiftModifier, 0}, // no keyboard selection: not handled
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.key);
        QKeyEvent press(QEvent::KeyPress, s.key, s.mods);
        QCoreApplication::sendEvent(m_view.get(), &press);
        EXPECT_EQ(m_view->viewPos(), s.viewPos);
    }
}

TEST_F(Viewer, VerticalScrollBarMapsTheFileOnto16Bits)
{
    m_view->open(write(numberedLines(999) + QByteArray(100000, 'x')));
    showLines(10);
    EXPECT_EQ(m_view->vScrollMax(), 32767);
    m_view->scrollTo(50000);
    EXPECT_EQ(m_view->vScrollPos(), int(m_view->viewPos() * 32767 / m_view->document().fileSize()));
    // A small file that fits on screen has no vertical range at all.
    m_view->open(write("a\nb\n", QStringLiteral("small")));
    EXPECT_EQ(m_view->vScrollMax(), 0);
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());
}

} // namespace
