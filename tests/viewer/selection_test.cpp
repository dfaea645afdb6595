// The selection: its invariants, word and line scans, reading the selected
// bytes and copying them.
#include "viewerfixture.h"
#include "common/encodingarg.h"

#include "text/contract.h"
#include "common/viewoption.h"

#include <QClipboard>
#include <QGuiApplication>

#include <unistd.h>

namespace {

using Selection = ViewerFixture;

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

TEST_F(Selection, RequestsKeepTheSelectionInsideTheFile)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        ViewMode mode;
        qint64 start, length;
        qint64 selStart, selLength;
    } cases[] = {
        {"UTF-16: odd start and length are lowered", QByteArray(10, 'a'), vbmodeUnicode, 3, 5, 2,
         4},
        {"UTF-16: a length past the end stops at the last unit", QByteArray(9, 'a'), vbmodeUnicode,
         4, 100, 4, 4},
        {"empty file: nothing to select", QByteArray(), vbmodeText, 0, 5, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->setMode(c.mode);
        m_view->open(write(c.bytes, QString::fromLatin1(c.name)));
        m_view->setSelection(c.start, c.length, false, false, false);
        EXPECT_EQ(m_view->selStart(), c.selStart);
        EXPECT_EQ(m_view->selLength(), c.selLength);
    }
}

TEST_F(Selection, SelectAllCoversTheFileAndFiresOnce)
{
    int changes = 0;
    QObject::connect(m_view.get(), &LogView::selectionChanged, [&] { ++changes; });
    const struct
    {
        const char *name;
        QByteArray bytes;
        ViewMode mode;
        qint64 length;
        int changes;
    } cases[] = {
        {"empty", QByteArray(), vbmodeText, 0, 0},
        {"text", QByteArray(7, 'a'), vbmodeText, 7, 1},
        {"odd UTF-16", QByteArray(7, 'a'), vbmodeUnicode, 6, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->setMode(c.mode);
        m_view->open(write(c.bytes, QString::fromLatin1(c.name)));
        changes = 0;
        m_view->selectAll();
        EXPECT_EQ(m_view->selStart(), 0);
        EXPECT_EQ(m_view->selLength(), c.length);
        EXPECT_EQ(changes, c.changes);
        m_view->selectAll();
        EXPECT_EQ(changes, c.changes) << "the same selection again fires nothing";
    }

    setOption(*m_view, &ViewOptions::textEnableSel, false);
    m_view->selectAll();
    EXPECT_EQ(m_view->selLength(), 0) << "selection switched off";
}

TEST_F(Selection, WordAndLineScansStopAtDelimiters)
{
    //              0         1          2
    //              0123456789012 3 456789012345
    m_view->open(write("one_two-three\r\nfour, five\nsix"));
    const struct
    {
        const char *name;
        bool line;
        qint64 at;
        qint64 start, length;
    } cases[] = {
        {"underscore joins, hyphen ends", false, 1, 0, 7},
        {"word after a hyphen", false, 10, 8, 5},
        {"a scan from a delimiter runs on through the words beside it", false, 7, 0, 13},
        {"a comma ends a word", false, 17, 15, 4},
        {"last word of the file", false, 27, 26, 3},
        {"line without its CR LF", true, 4, 0, 13},
        {"middle line", true, 20, 15, 10},
        {"a scan from a line break runs through it", true, 14, 14, 11},
        {"last line without a break", true, 26, 26, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.line)
            m_view->selectLine(c.at);
        else
            m_view->selectWord(c.at);
        EXPECT_EQ(m_view->selStart(), c.start);
        EXPECT_EQ(m_view->selLength(), c.length);
    }
}

TEST_F(Selection, ScansGoAtMost8192CharactersEitherWay)
{
    m_view->open(write(QByteArray(20000, 'x')));
    m_view->selectWord(10000);
    EXPECT_EQ(m_view->selStart(), 10000 - 8192);
    EXPECT_EQ(m_view->selLength(), 2 * 8192 + 1);
}

TEST_F(Selection, SelTextReadsTheFileUpToItsCap)
{
    const QString path = write("0123456789");
    m_view->open(path);
    m_view->setSelection(2, 5, false, false, false);
    EXPECT_EQ(m_view->selText(0), QByteArray("23456"));
    EXPECT_EQ(m_view->selText(3), QByteArray("234"));
    // A file cut short under the selection gives what is left, no more.
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), 4), 0);
    EXPECT_EQ(m_view->selText(0), QByteArray("23"));
    m_view->copyToClipboard(false);
    EXPECT_EQ(clipboardText(), QStringLiteral("23")) << "the copy is cut with the file";
    m_view->clearSelection(false);
    EXPECT_TRUE(m_view->selText(0).isEmpty());
    EXPECT_TRUE(m_sink.messages().empty());
    EXPECT_THROW(m_view->selTextW(), ContractError) << "text mode has no UTF-16 selection";
}

TEST_F(Selection, CopyPutsTheExactCharactersOnTheClipboard)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        ViewMode mode;
        EncodingArg encoding;
        bool hex;
        QString clipboard;
    } cases[] = {
        {"UTF-8, zero bytes as spaces", QByteArray("a\xc3\xa9\0b", 5), vbmodeText, 130, false,
         QStringLiteral("a\u00e9 b")},
        {"ANSI, ASCII only", QByteArray("x\0y", 3), vbmodeText, 0, false, QStringLiteral("x y")},
        {"UTF-8 after ASCII and a zero byte", QByteArray("a\0\xc3\xa9\0", 5), vbmodeText, 0, false,
         QStringLiteral("a \u00e9 ")},
        {"UTF-8 past a block of eight ASCII bytes", QByteArray("01234567\08\xc3\xa9xyz", 15),
         vbmodeText, 130, false, QStringLiteral("01234567 8\u00e9xyz")},
        {"UTF-8, a cut sequence at the end", QByteArray("ab\xc3", 3), vbmodeText, 130, false,
         QStringLiteral("ab\ufffd")},
        {"OEM page 437", QByteArray("\x80\x9b\0", 3), vbmodeText, 1, false,
         QStringLiteral("\u00c7\u00a2 ")},
        {"Windows-1251", "\xc0\xff", vbmodeText, entryOf(1251), false,
         QStringLiteral("\u0410\u044f")},
        {"as hex", QByteArray("A\0\n", 3), vbmodeText, 0, true, QStringLiteral("41 00 0A")},
        {"UTF-16 BE, an odd last byte dropped", utf16(QStringLiteral("\u4e2dA"), true) + "x",
         vbmodeUnicode, encodingUtf16BE, false, QStringLiteral("\u4e2dA")},
        {"UTF-16 LE, hex ignored", utf16(QStringLiteral("\u00e9x"), false) + QByteArray(2, '\0'),
         vbmodeUnicode, encodingUtf16LE, true, QStringLiteral("\u00e9x ")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QGuiApplication::clipboard()->clear();
        m_view->setMode(c.mode);
        if (!c.encoding.value.isUtf16())
            m_view->setTextEncoding(c.encoding);
        m_view->open(write(c.bytes, QString::fromLatin1(c.name)));
        if (c.encoding.value.isUtf16()) // the byte order, in the Unicode modes
            m_view->setUnicodeOrder(c.encoding == encodingUtf16BE ? unicodeOrderBig
                                                                  : unicodeOrderLittle);
        m_view->selectAll();
        m_view->copyToClipboard(c.hex);
        EXPECT_EQ(clipboardText(), c.clipboard);
    }
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    m_view->clearSelection(false);
    m_view->copyToClipboard(false);
    EXPECT_EQ(clipboardText(), QStringLiteral("kept")) << "nothing selected, nothing copied";
    EXPECT_TRUE(m_sink.messages().empty());
}

TEST_F(Selection, AHugeSelectionIsInstantAndCopiesItsFirst16MiBSayingSo)
{
    const QString path = write("head");
    const qint64 size = qint64(10) << 30;
    ASSERT_EQ(truncate(QFile::encodeName(path).constData(), size), 0);
    m_view->open(path);
    m_view->selectAll();
    EXPECT_EQ(m_view->selLength(), size);
    m_view->copyToClipboard(false);
    const QString text = clipboardText();
    EXPECT_EQ(text.size(), 16 * 1024 * 1024);
    EXPECT_EQ(text.left(6), QStringLiteral("head  ")) << "the sparse zeros arrive as spaces";
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Information);
    EXPECT_TRUE(m_sink.messages()[0].text.contains(QStringLiteral("16 MiB")));
    QGuiApplication::clipboard()->clear();
}

} // namespace

namespace {

TEST_F(Selection, AScrolledSelectionKeepsItsIndentLinesAndColumnsBeforeIt)
{
    m_view->setMaxLengths(vbmodeText, 1000);
    QByteArray lines;
    for (int i = 0; i < 100; ++i)
        lines += QByteArray(400, char('a' + i % 26)) + '\n';
    m_view->open(write(lines));
    showLines(10);
    ASSERT_EQ(m_view->options().textSearchIndentVert, 5);
    ASSERT_EQ(m_view->options().textSearchIndentHorz, 5);
    const struct
    {
        const char *name;
        qint64 start;
        qint64 viewPos;
        int hViewPos;
    } cases[] = {
        {"far right on line 60", 60 * 401 + 300, 55 * 401, 295 * m_charWidth},
        {"inside the shown columns: no sideways move", 62 * 401 + 320, 57 * 401, 295 * m_charWidth},
        {"near the top of the file", 2 * 401 + 10, 0, 5 * m_charWidth},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->setSelection(c.start, 4, true, true, true);
        EXPECT_EQ(m_view->viewPos(), c.viewPos);
        EXPECT_EQ(m_view->hViewPos(), c.hViewPos);
        QPoint at;
        ASSERT_TRUE(m_view->strPositions().coordFromPos(c.start, &at)) << "in view";
    }
}

} // namespace
