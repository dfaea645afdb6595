#include "viewer/urldetect.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <utility>
#include <vector>

namespace {

using Found = std::vector<std::pair<std::string, qint64>>;

constexpr qint64 windowPos = 1000;

Found detect(UrlList &list, const QByteArray &bytes, qint64 count, bool utf16 = false,
             bool bigEndian = false)
{
    list.detect(bytes.constData(), count, windowPos, utf16, bigEndian);
    Found found;
    for (const UrlList::Url &url : list.urls())
        found.emplace_back(url.text.toStdString(), url.pos);
    return found;
}

struct ByteCase
{
    const char *name;
    QByteArray text;
    qint64 count; // -1: the whole text
    Found want;   // positions relative to the window
};

TEST(UrlDetect, FindsAddressesInRawBytes)
{
    const std::vector<ByteCase> cases = {
        {"at line start", "http://a.com/x rest\n", -1, {{"http://a.com/x", 0}}},
        {"at line end before CR LF",
         "see https://b.org/p?q=1&r=%20\r\nnext",
         -1,
         {{"https://b.org/p?q=1&r=%20", 4}}},
        {"on the last line without a break",
         "x\nftp://files.example.net/a.tgz",
         -1,
         {{"ftp://files.example.net/a.tgz", 2}}},
        {"trailing dot and comma belong to it",
         "(www.c.net/a.) and http://x.y/z, then",
         -1,
         {{"www.c.net/a.", 1}, {"http://x.y/z,", 19}}},
        {"brackets and quotes end it",
         "<http://x.y/z>'http://q.r/s'\"www.t.u\"",
         -1,
         {{"http://x.y/z", 1}, {"http://q.r/s", 15}, {"www.t.u", 29}}},
        {"e-mail without the closing dot",
         "mail john.doe@mail.example.com.",
         -1,
         {{"john.doe@mail.example.com", 5}}},
        {"e-mail with digits, dash and underscore",
         "to: user_1@host-2.example.io;",
         -1,
         {{"user_1@host-2.example.io", 4}}},
        {"several on one line",
         "a http://one.a b www.two.b c x@y.zz",
         -1,
         {{"http://one.a", 2}, {"www.two.b", 17}, {"x@y.zz", 29}}},
        {"letter case ignored",
         "HTTP://UP.COM WwW.Mixed.Org ME@HOST.DE",
         -1,
         {{"HTTP://UP.COM", 0}, {"WwW.Mixed.Org", 14}, {"ME@HOST.DE", 28}}},
        {"schemes of three and eight letters",
         "abc://x abcdefgh://y",
         -1,
         {{"abc://x", 0}, {"abcdefgh://y", 8}}},
        {"schemes of two and nine letters", "ab://x abcdefghi://y", -1, {}},
        {"nothing that looks like an address", "a@b, www, http:/x, www.\n", -1, {}},
        {"no word start before www", "xwww.a.b", -1, {}},
        {"empty window", "", -1, {}},
        {"UTF-8 around: offsets are bytes",
         "caf\xC3\xA9\xE2\x86\x92http://x.fr/\xC3\xBC mehr",
         -1,
         {{"http://x.fr/", 8}}},
        {"UTF-8 letters end an e-mail host", "a@b.c\xC3\xA9x", -1, {{"a@b.c", 0}}},
        {"cut by the window edge", "go http://example.com/path", 17, {{"http://example", 3}}},
        {"bytes past the count are not searched", "none here www.later.org", 10, {}},
        {"line break inside ends it", "www.a.b\nc/d", -1, {{"www.a.b", 0}}},
    };
    UrlList list;
    for (const ByteCase &c : cases) {
        const qint64 count = c.count < 0 ? c.text.size() : c.count;
        Found want = c.want;
        for (auto &w : want)
            w.second += windowPos;
        EXPECT_EQ(detect(list, c.text, count), want) << c.name;
    }
}

struct Utf16Case
{
    const char *name;
    QString text;
    Found want; // byte positions relative to the window
};

TEST(UrlDetect, FindsAddressesInUtf16OfEitherOrder)
{
    const std::vector<Utf16Case> cases = {
        {"at the start", QStringLiteral("http://a.com/x rest"), {{"http://a.com/x", 0}}},
        {"after accented letters",
         QStringLiteral(u"caf\u00e9 www.x.org/\u00fc"),
         {{"www.x.org/", 10}}},
        {"after a surrogate pair", QStringLiteral(u"\U0001F600 me@x.org"), {{"me@x.org", 6}}},
        {"after a lone surrogate",
         QString(QChar(0xD800)) + QStringLiteral("ftp://a.b"),
         {{"ftp://a.b", 2}}},
        {"several, e-mail last",
         QStringLiteral("a http://one.a\r\nb x@y.zz"),
         {{"http://one.a", 4}, {"x@y.zz", 36}}},
        {"short scheme", QStringLiteral("ab://x"), {}},
    };
    UrlList list;
    for (const bool bigEndian : {false, true}) {
        for (const Utf16Case &c : cases) {
            const QByteArray bytes = utf16(c.text, bigEndian);
            Found want = c.want;
            for (auto &w : want)
                w.second += windowPos;
            EXPECT_EQ(detect(list, bytes, bytes.size(), true, bigEndian), want)
                << c.name << (bigEndian ? " (BE)" : " (LE)");
        }
    }
}

TEST(UrlDetect, Utf16IgnoresAnOddTrailingByteAndIsCutByTheCount)
{
    UrlList list;
    const QByteArray le = utf16(QStringLiteral("www.a.bc"), false);
    EXPECT_EQ(detect(list, le, le.size() - 1, true), (Found{{"www.a.b", windowPos}}));
    EXPECT_EQ(detect(list, le, 12, true), (Found{{"www.a.", windowPos}}));
}

TEST(UrlDetect, KeepsTheFirst500InFileOrder)
{
    QByteArray text;
    for (int i = 0; i < 600; ++i)
        text += "www.host" + QByteArray::number(i) + ".org ";
    UrlList list;
    list.detect(text.constData(), text.size(), 0);
    ASSERT_EQ(list.urls().size(), size_t(UrlList::maxUrls));
    EXPECT_EQ(list.urls().front().text, "www.host0.org");
    EXPECT_EQ(list.urls().back().text, "www.host499.org");
    EXPECT_EQ(list.urls().back().pos, text.indexOf("www.host499.org"));
}

TEST(UrlDetect, EachDetectionReplacesTheList)
{
    UrlList list;
    list.detect("www.a.b", 7, 0);
    ASSERT_EQ(list.urls().size(), 1u);
    list.detect("plain", 5, 0);
    EXPECT_TRUE(list.urls().empty());
    list.detect("www.a.b", 7, 0);
    list.clear();
    EXPECT_TRUE(list.urlAt(0).isEmpty());
}

struct AtCase
{
    qint64 pos;
    const char *want;
};

TEST(UrlDetect, UrlAtCoversExactlyTheMatchedBytes)
{
    // Bytes: "ab http://x.y cd" at 100; the address spans 103..112.
    UrlList bytes;
    bytes.detect("ab http://x.y cd www.q.r", 24, 100);
    const std::vector<AtCase> byteCases = {
        {-1, ""},  {0, ""},   {102, ""},        {103, "http://x.y"}, {112, "http://x.y"},
        {113, ""}, {116, ""}, {117, "www.q.r"}, {123, "www.q.r"},    {124, ""},
    };
    for (const AtCase &c : byteCases)
        EXPECT_EQ(bytes.urlAt(c.pos), QByteArray(c.want)) << "bytes at " << c.pos;

    // UTF-16: two bytes per character, so the span doubles.
    UrlList wide;
    const QByteArray be = utf16(QStringLiteral(u"\u00e9b http://x.y"), true);
    wide.detect(be.constData(), be.size(), 100, true, true);
    const std::vector<AtCase> wideCases = {
        {105, ""},
        {106, "http://x.y"},
        {125, "http://x.y"},
        {126, ""},
    };
    for (const AtCase &c : wideCases)
        EXPECT_EQ(wide.urlAt(c.pos), QByteArray(c.want)) << "UTF-16 at " << c.pos;
}

TEST(UrlDetect, ClickTargetOpensOnlyWebFileTransferAndMailAddresses)
{
    const std::vector<std::pair<QByteArray, QByteArray>> cases = {
        {"http://a.b", "http://a.b"},
        {"https://a.b/p?q=1&r=2", "https://a.b/p?q=1&r=2"},
        {"ftp://files.a.b/x.tgz", "ftp://files.a.b/x.tgz"},
        {"HTTPS://UP.COM", "HTTPS://UP.COM"},
        {"mailto://me@x.org", "mailto://me@x.org"},
        {"me@x.org", "mailto:me@x.org"},
        {"www.a.b", "http://www.a.b"},
        {"WwW.Mixed.Org", "http://WwW.Mixed.Org"},
        // Local files, shares and whatever the desktop has a handler for.
        {"file:///etc/passwd", ""},
        {"FILE:///etc/passwd", ""},
        {"smb://server/share", ""},
        {"sftp://host/x", ""},
        {"abcdefgh://anything", ""},
        {"xhttp://a.b", ""},
        {"httpx://a.b", ""},
        {"", ""},
    };
    for (const auto &[url, want] : cases)
        EXPECT_EQ(UrlList::clickTarget(url).toStdString(), want.toStdString()) << url.toStdString();
}

} // namespace
