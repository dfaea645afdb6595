#include "viewerfixture.h"

#include "text/contract.h"

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
    TQzBinHex &v = *m_view;
    v.SetMaxLengths(vbmodeText, 1);
    EXPECT_EQ(v.MaxLengths(vbmodeText), 2);
    v.SetMaxLengths(vbmodeText, 5000);
    EXPECT_EQ(v.MaxLengths(vbmodeText), 2048);
    v.SetTextWidthHex(18);
    EXPECT_EQ(v.TextWidthHex(), 16);
    v.SetTextWidthHex(3);
    EXPECT_EQ(v.TextWidthHex(), 2);
    v.SetTextTabSize(20);
    EXPECT_EQ(v.TextTabSize(), 16);
    v.SetTextTabSize(0);
    EXPECT_EQ(v.TextTabSize(), 2);
    v.SetTextGutterLinesStep(11);
    EXPECT_EQ(v.TextGutterLinesStep(), 10);
    v.SetTextSearchIndentVert(-3);
    EXPECT_EQ(v.TextSearchIndentVert(), 0);
    // A smaller maximal length re-clamps the dump widths.
    v.SetTextWidth(80);
    v.SetMaxLengths(vbmodeBinary, 40);
    EXPECT_EQ(v.TextWidth(), 40);
    v.SetTextWidthFitHex(true);
    v.SetTextWidthHex(8);
    v.SetTextWidthFitHex(false);
    EXPECT_EQ(v.TextWidthHex(), 16) << "switching fit off restores 16";
}

TEST_F(Viewer, OpenAndClose)
{
    const QString path = Write("one\ntwo\n");
    EXPECT_TRUE(m_view->Open(path));
    EXPECT_EQ(m_view->FileSize(), 8);
    const quint64 reads = m_view->Document().WindowReads();
    EXPECT_TRUE(m_view->Open(path)) << "the same name again";
    EXPECT_EQ(m_view->Document().WindowReads(), reads) << "is not read again";
    EXPECT_TRUE(m_view->Open(QString()));
    EXPECT_FALSE(m_view->SourceAssigned());
    EXPECT_EQ(m_view->FileSize(), 0);
    EXPECT_TRUE(m_sink.Messages().empty());
}

TEST_F(Viewer, OpenFailureShowsTheViewerMessage)
{
    const QString missing = m_files.Path(QStringLiteral("missing.log"));
    EXPECT_FALSE(m_view->Open(missing));
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Caption, QStringLiteral("Viewer"));
    EXPECT_EQ(m_sink.Messages()[0].Text, QStringLiteral("Cannot open file: \"%1\"").arg(missing));
    EXPECT_EQ(m_view->FileName(), missing) << "the name is kept";
    EXPECT_FALSE(m_view->SourceAssigned());
}

TEST_F(Viewer, StepFontSizeStopsAtItsLimits)
{
    QFont big(QStringLiteral("DejaVu Sans Mono"));
    big.setPointSize(72);
    m_view->SetFont({big, Qt::black});
    int changes = 0;
    m_view->OnOptionsChange = [&](TQzBinHex *) { ++changes; };
    EXPECT_FALSE(m_view->StepFontSize(true));
    EXPECT_EQ(m_view->Font().Font.pointSize(), 72);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(m_view->StepFontSize(false));
    EXPECT_LT(m_view->Font().Font.pointSize(), 72);
    EXPECT_EQ(changes, 1);
}

TEST_F(Viewer, FileCutShortWhileShownDrawsWithoutFailing)
{
    m_view->SetMaxLengths(vbmodeText, 10); // a small window, so moves read again
    const QString path = Write(NumberedLines(2000));
    m_view->Open(path);
    ShowLines(10);
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), 100), 0);
    m_view->ScrollTo(10000);
    m_view->ScrollToEnd();
    m_view->ScrollLinesUp(3);
    EXPECT_TRUE(m_view->ReadOK());
    EXPECT_GT(m_view->StrPositions().Count(), 0);
    ASSERT_EQ(unlink(QFile::encodeName(path).constData()), 0);
    m_view->ScrollToBegin();
    EXPECT_EQ(DrawnTexts().front(), QStringLiteral("line001")) << "the open file stays readable";
}

TEST_F(Viewer, SelectionStaysInsideTheFile)
{
    m_view->Open(Write("0123456789"));
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
        m_view->SetSelection(c.start, c.length, false, false, false);
        EXPECT_EQ(m_view->SelStart(), c.selStart);
        EXPECT_EQ(m_view->SelLength(), c.selLength);
    }
}

TEST_F(Viewer, ReloadNeedsASource)
{
    EXPECT_THROW(m_view->Reload(), ContractError);
}

TEST_F(Viewer, SettingTheSameModeReopensKeepingThePosition)
{
    m_view->Open(Write(NumberedLines(100)));
    ShowLines(10);
    m_view->ScrollTo(8 * 40 + 3);
    ASSERT_EQ(m_view->ViewPos(), 8 * 40);
    const quint64 reads = m_view->Document().WindowReads();
    m_view->SetMode(vbmodeText);
    EXPECT_GT(m_view->Document().WindowReads(), reads);
    EXPECT_EQ(m_view->ViewPos(), 8 * 40);
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
        m_view->Open(Write(c.bytes, QString::fromLatin1(c.name)));
        ShowLines(1);
        m_view->ScrollTo(c.scrollTo);
        EXPECT_EQ(m_view->ViewPos(), c.viewPos);
    }
}

TEST_F(Viewer, OverlongLineMovesUpToMaxLengthMinusOne)
{
    m_view->Open(Write(QByteArray(1000, 'x')));
    ShowLines(1);
    m_view->ScrollLinesDown(1);
    EXPECT_EQ(m_view->ViewPos(), 300);
    m_view->ScrollLinesUp(1);
    EXPECT_EQ(m_view->ViewPos(), 1);
    m_view->ScrollLinesUp(1);
    EXPECT_EQ(m_view->ViewPos(), 0);
    m_view->ScrollLinesUp(1);
    EXPECT_EQ(m_view->ViewPos(), 0) << "one line up at 0 stays at 0";
}

TEST_F(Viewer, EmptyLineBetweenLines)
{
    m_view->Open(Write("ab\n\ncd\n"));
    ShowLines(1);
    m_view->ScrollTo(4);
    ASSERT_EQ(m_view->ViewPos(), 4);
    m_view->ScrollLinesUp(1);
    EXPECT_EQ(m_view->ViewPos(), 3);
    m_view->ScrollLinesUp(1);
    EXPECT_EQ(m_view->ViewPos(), 0);
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
        m_view->Open(Write(NumberedLines(100, c.finalBreak), QString::fromLatin1(c.name)));
        ShowLines(visible);
        m_view->ScrollToEnd();
        EXPECT_EQ(m_view->ViewPos(), qint64(c.firstShown - 1) * 8);
        EXPECT_TRUE(m_view->ViewAtEnd());
        const qint64 pos = m_view->ViewPos();
        m_view->ScrollLinesDown(1);
        m_view->ScrollPageDown();
        EXPECT_EQ(m_view->ViewPos(), pos) << "no moving down while the end is visible";
    }
}

TEST_F(Viewer, PagesMoveByVisibleLines)
{
    m_view->Open(Write(NumberedLines(100)));
    ShowLines(10);
    m_view->ScrollPageDown();
    EXPECT_EQ(m_view->ViewPos(), 10 * 8);
    EXPECT_EQ(m_view->ViewPageSize(), 10 * 8);
    m_view->ScrollPageUp();
    EXPECT_EQ(m_view->ViewPos(), 0);
    m_view->ScrollTo(m_view->FileSize() + 100);
    EXPECT_TRUE(m_view->ViewAtEnd()) << "ScrollTo past MaxPos goes to the end";
}

TEST_F(Viewer, HorizontalPositionIsClamped)
{
    m_view->Open(Write(QByteArray(200, 'w') + "\nshort\n"));
    ShowLines(5, 40);
    const int hmax = m_view->HMaxPos();
    ASSERT_GT(hmax, 0);
    QScrollBar *bar = m_view->horizontalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    m_view->SetHViewPos(INT_MAX, true);
    EXPECT_EQ(m_view->HViewPos(), hmax);
    EXPECT_EQ(bar->value(), bar->maximum()) << "the thumb shows the position";
    m_view->SetHViewPos(-10, true);
    EXPECT_EQ(m_view->HViewPos(), 0);
    EXPECT_EQ(bar->value(), 0);
    m_view->SetTextWrap(true);
    m_view->SetHViewPos(50, true);
    EXPECT_EQ(m_view->HViewPos(), 0) << "wrapped text never scrolls sideways";
}

TEST_F(Viewer, HugeSparseFileOffsetsAreExact)
{
    const QString path = m_files.Path(QStringLiteral("sparse.log"));
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
    m_view->Open(path);
    ShowLines(5);
    m_view->ScrollToEnd();
    EXPECT_TRUE(m_view->ViewAtEnd());
    ASSERT_FALSE(DrawnTexts().empty());
    const auto texts = DrawnTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("last line")), texts.end());
    m_view->ScrollTo(eightGiB + 5);
    EXPECT_EQ(m_view->ViewPos(), eightGiB + 1);
    EXPECT_EQ(DrawnTexts().front(), QStringLiteral("hello world"));
}

TEST_F(Viewer, OneHundredMegabyteLineMovesWithoutScanningIt)
{
    const QString path = m_files.Path(QStringLiteral("oneline.log"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray chunk(1 << 20, 'z');
        for (int i = 0; i < 100; ++i)
            f.write(chunk);
    }
    m_view->Open(path);
    ShowLines(10);
    const quint64 reads = m_view->Document().WindowReads();
    m_view->ScrollToEnd();
    EXPECT_TRUE(m_view->ViewAtEnd());
    m_view->ScrollTo(50 << 20);
    m_view->ScrollPageUp();
    EXPECT_LE(m_view->Document().WindowReads() - reads, 3u) << "one window read per move";
    EXPECT_EQ(DrawnTexts().size(), 11u);
    EXPECT_EQ(DrawnTexts().front().size(), 300);
}

TEST_F(Viewer, AFullScreenOfLongCrLfLinesIsShownWhole)
{
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes += QByteArray(100, char('a' + i % 26)) + "\r\n";
    const QString path = Write(bytes);
    const struct
    {
        const char *name;
        int lines;
    } cases[] = {
        {"148 visible lines", 148},
        {"the most lines a screen shows", MaxScreenLines},
        {"a view taller than that", MaxScreenLines + 70},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->Open(QString());
        m_view->SetMaxLengths(vbmodeText, 100);
        m_view->Open(path);
        ShowLines(c.lines);
        const int visible = std::min(c.lines, MaxScreenLines);
        ASSERT_EQ(m_view->VisibleLines(), visible);
        m_view->ScrollTo(29993);
        EXPECT_EQ(m_view->ViewPos(), 294 * 102);
        EXPECT_FALSE(m_view->ViewAtEnd());
        const auto texts = DrawnTexts();
        EXPECT_EQ(int(texts.size()), std::min(visible + 1, MaxScreenLines));
        for (const QString &t : texts)
            EXPECT_EQ(t.size(), 100);
        m_view->ScrollLinesDown(1);
        EXPECT_EQ(m_view->ViewPos(), 295 * 102);
        m_view->ScrollPageDown();
        EXPECT_EQ(m_view->ViewPos(), (295 + visible) * 102);
        m_view->ScrollPageUp();
        EXPECT_EQ(m_view->ViewPos(), 295 * 102);
    }
}

TEST_F(Viewer, ScrollBarMathHoldsForPetabyteSources)
{
    const qint64 size = 1LL << 50;
    HugeDevice device(size);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    m_view->OpenStream(&device);
    ShowLines(10);
    // A line start at nine tenths of the source.
    const qint64 target = 29491LL << 35;
    m_view->ScrollTo(target + 5);
    EXPECT_EQ(m_view->ViewPos(), target);
    EXPECT_EQ(m_view->VScrollMax(), 32767);
    EXPECT_EQ(m_view->VScrollPos(), 29490) << "29491 * 32767 / 32768";

    QScrollBar *bar = m_view->verticalScrollBar();
    bar->setSliderPosition(16384);               // a tracking slider moves the view at once
    const qint64 p = qint64(UINT64_MAX / 32767); // 2^50 * 16384 / 32767
    EXPECT_EQ(m_view->ViewPos(), p - p % 64);
    m_view->OpenStream(nullptr);
}

TEST_F(Viewer, ChosenByteOrderSurvivesReloads)
{
    const QString path = Write(QByteArray("h\0i\0\n\0", 6), QStringLiteral("u16.log"));
    m_view->Open(path);
    m_view->SetMode(vbmodeUnicode);
    ShowLines(5);
    ASSERT_EQ(m_view->UnicodeOrder(), UnicodeOrderLittle) << "no mark: detected little-endian";
    m_view->SetUnicodeOrder(UnicodeOrderBig);
    m_view->Reload();
    EXPECT_EQ(m_view->UnicodeOrder(), UnicodeOrderBig) << "after Reload";
    m_files.Append(path, QByteArray("j\0\n\0", 4));
    m_view->HandleFileChange(nullptr);
    EXPECT_EQ(m_view->FileSize(), 10);
    EXPECT_EQ(m_view->UnicodeOrder(), UnicodeOrderBig) << "after an append was reloaded";
    // A fresh open detects the order again.
    m_view->Open(Write(QByteArray("h\0i\0", 4), QStringLiteral("other.log")));
    EXPECT_EQ(m_view->UnicodeOrder(), UnicodeOrderLittle);
}

TEST_F(Viewer, WrappedRowsMoveUpWhereDownWent)
{
    m_view->Open(Write("aaaa bbbb cccc dddd"));
    ShowLines(1, 10);
    m_view->SetTextWrap(true);
    m_view->ScrollLinesDown(1);
    ASSERT_EQ(m_view->ViewPos(), 10);
    m_view->ScrollLinesUp(1);
    EXPECT_EQ(m_view->ViewPos(), 0);
}

TEST_F(Viewer, KeysMoveTheView)
{
    m_view->Open(Write(NumberedLines(100)));
    ShowLines(10);
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
        EXPECT_EQ(m_view->ViewPos(), s.viewPos);
    }
}

TEST_F(Viewer, VerticalScrollBarMapsTheFileOnto16Bits)
{
    m_view->Open(Write(NumberedLines(999) + QByteArray(100000, 'x')));
    ShowLines(10);
    EXPECT_EQ(m_view->VScrollMax(), 32767);
    m_view->ScrollTo(50000);
    EXPECT_EQ(m_view->VScrollPos(), int(m_view->ViewPos() * 32767 / m_view->FileSize()));
    // A small file that fits on screen has no vertical range at all.
    m_view->Open(Write("a\nb\n", QStringLiteral("small")));
    EXPECT_EQ(m_view->VScrollMax(), 0);
    EXPECT_FALSE(m_view->verticalScrollBar()->isEnabled());
}

} // namespace
