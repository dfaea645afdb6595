#pragma once

#include <QByteArray>

#include <memory>
#include <vector>

// Web and e-mail addresses in the bytes of the viewer's read window, kept as
// file offsets so that scrolling within the window needs no new search.
class UrlList final
{
public:
    struct Url
    {
        QByteArray text;   // UTF-8; in UTF-16 windows the decoded match
        qint64 pos = 0;    // file offset of the first byte
        qint64 length = 0; // bytes the match spans in the file
    };

    static constexpr int maxUrls = 500;

    UrlList();
    ~UrlList();
    UrlList(const UrlList &) = delete;
    UrlList &operator=(const UrlList &) = delete;

    void clear() { m_urls.clear(); }

    // Replaces the list with the addresses in data[0, count), which was read
    // from file offset bufferPos. With utf16 the bytes are UTF-16 units in the
    // given byte order (a trailing odd byte is ignored); otherwise they are
    // searched as they are, so only ASCII letters make up an address.
    void detect(const char *data, qint64 count, qint64 bufferPos, bool utf16 = false,
                bool bigEndian = false);

    // The first address covering file offset pos, or empty.
    QByteArray urlAt(qint64 pos) const;

    const std::vector<Url> &urls() const { return m_urls; }

    // What a click hands on to the system, or empty when a click must not
    // open it. Only web, file transfer and mail addresses are opened: other
    // schemes (file://, smb://, whatever a desktop registers) could run or
    // reveal anything, so they are only ever copied. An e-mail address gets
    // "mailto:" in front, an address beginning with "www." gets "http://".
    static QByteArray clickTarget(const QByteArray &url);

private:
    void detectBytes(const char *data, qint64 count, qint64 bufferPos);
    void detectUtf16(const char *data, qint64 count, qint64 bufferPos, bool bigEndian);

    struct MatchData;
    std::unique_ptr<MatchData> m_match;
    std::vector<Url> m_urls;
    // Reused between windows: the UTF-8 text of a UTF-16 window and, per
    // byte of it, the window offset of the unit it came from.
    QByteArray m_utf8;
    std::vector<qint64> m_offsets;
};
