#include "text/contract.h"
#include "text/stringutil.h"

#include <gtest/gtest.h>

namespace {

TEST(SProc, formatStrW)
{
    struct Case
    {
        const char *name;
        QString format;
        QStringList args;
        QString expected;
    };
    const Case cases[] = {
        {"no placeholder", "plain text", {"x"}, "plain text"},
        {"quoted file name",
         "Cannot open file: \"%s\"",
         {"/tmp/a b.log"},
         "Cannot open file: \"/tmp/a b.log\""},
        {"in order", "%s of %s", {"3", "7"}, "3 of 7"},
        {"surplus dropped", "%s", {"a", "b"}, "a"},
        {"missing left", "%s and %s", {"a"}, "a and %s"},
        {"argument placeholder is filled next", "[%s] %s", {"x%sy", "z"}, "[xzy] %s"},
        {"only %s counts", "%d %s", {"a"}, "%d a"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(formatStrW(c.format, c.args), c.expected) << c.name;
}

TEST(SProc, ReplaceFirstAndAll)
{
    EXPECT_EQ(replaceFirstW("a-b-c", "-", "+"), "a+b-c");
    EXPECT_EQ(replaceFirstW("abc", "x", "+"), "abc");
    EXPECT_EQ(replaceFirstW("abc", "", "+"), "abc");
    EXPECT_EQ(replaceFirstW("abc", "abc", ""), "");

    EXPECT_EQ(replaceAllW("a b  c ", " ", QString(QChar(0xB7))), "a\u00B7b\u00B7\u00B7c\u00B7");
    EXPECT_EQ(replaceAllW("abc", "", "x"), "abc");
    // A replacement that forms a new occurrence with the text before it.
    EXPECT_EQ(replaceAllW("abb", "ab", "a"), "a");
    EXPECT_EQ(replaceAllW("aaaa", "aa", "a"), "a");
    // New text containing the old would never finish by repetition.
    EXPECT_EQ(replaceAllW("x.y", ".", ".."), "x..y");
}

TEST(SProc, LastDelimiterAndFileNameParts)
{
    EXPECT_EQ(lastDelimiterW("./", "dir/file.log"), 9);
    EXPECT_EQ(lastDelimiterW("./", "file"), 0);
    EXPECT_EQ(lastDelimiterW("", "a.b"), 0);

    struct Case
    {
        QString name, ext, fileName;
    };
    const Case cases[] = {
        {"/var/log/app.log", ".log", "app.log"},
        {"/var/a.b/file", "", "file"}, // the dot is in a folder
        {"archive.tar.gz", ".gz", "archive.tar.gz"},
        {"dir/.hidden", ".hidden", ".hidden"},
        {"name.", ".", "name."},
        {"/var/log/", "", ""},
        {"C:\\logs\\x.log", ".log", "C:\\logs\\x.log"}, // backslash is no separator here
        {"", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(extractFileExtW(c.name), c.ext);
        EXPECT_EQ(extractFileNameW(c.name), c.fileName);
    }
}

TEST(SProc, CaseAndRepeat)
{
    EXPECT_EQ(lowerCaseW("ÄBC Straße ΣΑ"), QString("äbc straße σα"));
    EXPECT_EQ(stringOfCharW('-', 3), "---");
    EXPECT_EQ(stringOfCharW('-', 0), "");
    EXPECT_EQ(stringOfCharW('-', -2), "");
}

TEST(SProc, tabSpaces)
{
    struct Case
    {
        const char *name;
        TabInfo info;
        QString expected;
    };
    const QChar m(0x2192);
    const auto marked = [&](int n, int at) {
        QString s(n, ' ');
        s[at] = m;
        return s;
    };
    const Case cases[] = {
        {"start of line", {8, 1, true, false}, QString(8, ' ')},
        {"after three characters", {8, 4, true, false}, QString(5, ' ')},
        {"last column before a stop", {8, 8, true, false}, QString(1, ' ')},
        {"next stop row", {8, 9, true, false}, QString(8, ' ')},
        {"fixed width", {8, 4, false, false}, QString(8, ' ')},
        {"marker in the middle of 8", {8, 1, true, true}, marked(8, 4)},
        {"marker in a single space", {8, 8, true, true}, marked(1, 0)},
        {"marker in 5", {8, 4, true, true}, marked(5, 2)},
        {"position below 1", {4, 0, true, false}, QString(1, ' ')},
    };
    for (const Case &c : cases)
        EXPECT_EQ(tabSpaces(c.info), c.expected) << c.name;

    for (int size : {0, -1}) {
        TabInfo info;
        info.tabSize = size;
        try {
            tabSpaces(info);
            ADD_FAILURE() << "no ContractError for size " << size;
        } catch (const ContractError &e) {
            EXPECT_EQ(e.message(), "Tab size too small");
            EXPECT_EQ(e.unit(), "QzxSProc");
        }
    }
}

TEST(SProc, expandTabs)
{
    struct Case
    {
        const char *name;
        QString text;
        bool optimal;
        QString expected;
    };
    const Case cases[] = {
        {"after three characters", "abc\tx", true, "abc     x"},
        {"at the start", "\tx", true, "        x"},
        {"fixed after three", "abc\tx", false, "abc        x"},
        {"fixed at the start", "\tx", false, "        x"},
        {"stops follow the expanded text", "a\tbcdefghij\tk", true,
         "a" + QString(7, ' ') + "bcdefghij" + QString(7, ' ') + "k"},
        {"two in a row", "\t\t", true, QString(16, ' ')},
        {"no tab", "plain", true, "plain"},
        {"empty", "", true, ""},
    };
    for (const Case &c : cases) {
        TabInfo info;
        info.tabOptimal = c.optimal;
        EXPECT_EQ(expandTabs(c.text, info), c.expected) << c.name;
    }

    TabInfo info;
    info.tabSize = 4;
    info.showTabMarker = true;
    EXPECT_EQ(expandTabs("ab\tc\t", info), "ab \u2192c \u2192 ");
    EXPECT_EQ(info.tabPos, 6); // the last tab expanded
}

TEST(SProc, ExpandTabsOnAMaximalLineOfTabs)
{
    TabInfo info;
    const QString expanded = expandTabs(QString(2048, '\t'), info);
    EXPECT_EQ(expanded, QString(2048 * 8, ' '));
    EXPECT_EQ(info.tabPos, 2047 * 8 + 1);
}

TEST(SProc, BlanksAndZeros)
{
    EXPECT_EQ(trimTrailingBlank("ab  "), "ab ");
    EXPECT_EQ(trimTrailingBlank("ab\t"), "ab");
    EXPECT_EQ(trimTrailingBlank("ab\t "), "ab\t");
    EXPECT_EQ(trimTrailingBlank("ab"), "ab");
    EXPECT_EQ(trimTrailingBlank(""), "");

    EXPECT_EQ(zerosToSpaces(QByteArray("a\0b\0", 4)), QByteArray("a b "));
    EXPECT_EQ(zerosToSpacesW(QString::fromUtf16(u"a\0b", 3)), "a b");
}

TEST(SProc, extensionInList)
{
    struct Case
    {
        QString file;
        QByteArray list;
        bool expected;
    };
    const Case cases[] = {
        {"/var/log/APP.LOG", "txt,log", true},
        {"/var/log/APP.LOG", "txt, log", false}, // entries carry no spaces
        {"app.log", "TXT,LOG", true},
        {"app.log2", "log", false},
        {"app.log", "log2", false},
        {"app.log", "", false},
        {"", "log", false},
        {"/var/log.d/app", "d,log", false}, // no extension
        {"app.", "log", false},
        {"app.LÖG", "lög", false}, // only ASCII letters fold
        {"app.löG", "LöG", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(extensionInList(c.file, c.list), c.expected)
            << c.file.toStdString() << " in " << c.list.constData();
}

TEST(SProc, LineBreaksMinMaxAndLimits)
{
    EXPECT_TRUE(isLineBreakChar(13));
    EXPECT_TRUE(isLineBreakChar(10));
    EXPECT_FALSE(isLineBreakChar(0x2028));
    EXPECT_FALSE(isLineBreakChar(13 + 256));

    EXPECT_EQ(min(-3, 2), -3);
    EXPECT_EQ(max(-3, 2), 2);
    EXPECT_EQ(min64(qint64(1) << 40, -1), -1);
    EXPECT_EQ(max64(qint64(1) << 40, -1), qint64(1) << 40);

    int v = 5;
    limitMin(v, 7);
    EXPECT_EQ(v, 7);
    limitMin(v, 2);
    EXPECT_EQ(v, 7);
    limitMax(v, 3);
    EXPECT_EQ(v, 3);
    limitMax(v, 9);
    EXPECT_EQ(v, 3);

    qint64 w = qint64(5) << 32;
    limitMax64(w, qint64(4) << 32);
    EXPECT_EQ(w, qint64(4) << 32);
    limitMin64(w, qint64(6) << 32);
    EXPECT_EQ(w, qint64(6) << 32);
    limitMin64(w, 0);
    EXPECT_EQ(w, qint64(6) << 32);
}

} // namespace
