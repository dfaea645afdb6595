#include "search/qzstreamsearch.h"

#include "search/plainmatcher.h"
#include "search/regexsearchstream.h"
#include "search/searcherror.h"

#include "text/contract.h"
#include "text/fproc.h"
#include "viewer/filesource.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cerrno>
#include <limits>
#include <vector>

namespace {
const QString kUnit = QStringLiteral("QzStreamSearch");
} // namespace

// The plain engine's working storage, kept between searches.
class TQzStreamSearch::PlainEngine
{
public:
    PlainMatcher Matcher;
    std::vector<char> Block = std::vector<char>(size_t(BlockSize));
};

TQzStreamSearch::TQzStreamSearch() = default;
TQzStreamSearch::~TQzStreamSearch() = default;

void TQzStreamSearch::ReleaseSource()
{
    m_ownedSource.reset();
    m_source = nullptr;
    m_fileName.clear();
}

void TQzStreamSearch::ClearSaved()
{
    m_savedText.clear();
    m_savedEncoding = 0;
    m_savedOptions = {};
}

void TQzStreamSearch::SetFileName(const QString &fileName)
{
    ReleaseSource();
    if (fileName.isEmpty())
        return;
    ClearSaved();
    LocalFileSource::OpenError error = LocalFileSource::OpenError::None;
    errno = 0;
    auto source = LocalFileSource::Open(fileName, &error);
    if (!source) {
        const int code = errno;
        throw SearchError(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(fileName, ErrnoText(code ? code : EIO)));
    }
    m_source = source.get();
    m_ownedSource = std::move(source);
    m_fileName = fileName;
}

void TQzStreamSearch::SetStream(FileSource *source)
{
    ReleaseSource();
    ClearSaved();
    m_source = source;
}

void TQzStreamSearch::SetStream(std::unique_ptr<FileSource> source)
{
    ReleaseSource();
    ClearSaved();
    m_source = source.get();
    m_ownedSource = std::move(source);
}

bool TQzStreamSearch::RegexSupportsEncoding(TQzEncoding encoding)
{
    return encoding >= EncodingUtf16BE && encoding <= EncodingOem;
}

bool TQzStreamSearch::Progress(qint64 position)
{
    bool go = true;
    if (OnProgress)
        OnProgress(position, m_streamSize, go);
    return go && !m_stop.stop_requested();
}

bool TQzStreamSearch::PrepareSearch(TQzEncoding encoding, qint64 startPos)
{
    Require(m_source != nullptr, QStringLiteral("Stream object not initialized"), kUnit);
    m_streamStart = startPos;
    m_streamSize = m_source->Size();
    m_charSize = encoding == EncodingUtf16LE || encoding == EncodingUtf16BE ? 2 : 1;
    return m_streamSize >= m_charSize;
}

// Blocks of BlockSize bytes, forward from the start or backward so that a
// block ends just after the character at the start; neighbouring blocks
// share the matcher's overlap, so a match across a border is found whole.
bool TQzStreamSearch::PlainFind(const QString &text, TQzEncoding encoding,
                                TQzStreamSearchOptions options, qint64 startPos)
{
    m_foundStart = -1;
    m_foundLength = 0;
    if (text.isEmpty() || !PrepareSearch(encoding, startPos))
        return false;
    if (!m_plain)
        m_plain = std::make_unique<PlainEngine>();
    PlainMatcher &matcher = m_plain->Matcher;
    matcher.Prepare(text, encoding, bool(options & soCaseSensitive), bool(options & soWholeWords));

    const qint64 c = m_charSize;
    const bool forward = !(options & soBackward);
    const qint64 lastPos = std::max<qint64>(0, m_streamSize / c * c - c);
    qint64 q = startPos / c * c;
    if (q > lastPos) {
        if (forward)
            return false;
        q = lastPos;
    }
    if (q < 0) {
        if (!forward)
            return false;
        q = 0;
    }
    if (!Progress(q))
        return false;
    // A text longer than half a block could leave no step between blocks;
    // it cannot fit one anyway.
    const qint64 overlap = std::min<qint64>(matcher.OverlapBytes(), BlockSize / 2) / c * c;
    char *block = m_plain->Block.data();
    qint64 got = 0;
    bool firstBlock = true;
    do {
        qint64 s = q, n = BlockSize;
        if (!forward) {
            s = std::max<qint64>(0, q - (BlockSize - c));
            n = std::min<qint64>(q + c - s, BlockSize);
        }
        got = 0;
        const FileSource::ReadResult read = m_source->Read(block, n, s, &got, m_stop);
        if (read == FileSource::ReadResult::Cancelled)
            return false;
        if (read == FileSource::ReadResult::Failed)
            throw SearchError(QStringLiteral("Read error at offset %1").arg(s));
        // The size taken at the start bounds the search, also when the file grows.
        const qint64 inSize = std::min(got, std::max<qint64>(0, m_streamSize - s));
        const PlainMatcher::Hit hit =
            matcher.Find(block, inSize, forward, inSize < BlockSize || got < BlockSize, firstBlock);
        firstBlock = false;
        if (hit.Offset >= 0) {
            m_foundStart = s + hit.Offset;
            m_foundLength = hit.Length;
            return true;
        }
        if (!Progress(q))
            return false;
        q = forward ? q + n - overlap : q - n + overlap;
        q = q / c * c;
        if (inSize < got)
            break;
    } while (q >= 0 && q <= lastPos && got >= BlockSize);
    return false;
}

bool TQzStreamSearch::FindFirst(const QString &AText, TQzEncoding AEncoding,
                                TQzStreamSearchOptions AOptions, qint64 AStartPos)
{
    m_savedText = AText;
    m_savedEncoding = AEncoding;
    m_savedOptions = AOptions;
    if (!(AOptions & soRegex)) {
        if ((AOptions & soBackward) && AStartPos == 0)
            AStartPos = std::numeric_limits<qint64>::max();
        return PlainFind(AText, AEncoding, AOptions, AStartPos);
    }
    Require(!(AOptions & soBackward), QStringLiteral("Backward search not supported for Regex"),
            kUnit);
    m_streamStart = AStartPos;
    return RegexFindFirst();
}

bool TQzStreamSearch::FindNext(bool AFindPrevious)
{
    Require(!m_savedText.isEmpty(), QStringLiteral("Search text is empty"), kUnit);
    if (!(m_savedOptions & soRegex)) {
        TQzStreamSearchOptions options = m_savedOptions;
        if (AFindPrevious)
            options ^= soBackward;
        qint64 start = 0;
        if (!(options & soBackward)) {
            start = m_foundStart + m_charSize;
        } else {
            // Ends the block just before the current match's last character,
            // so the nearest match starting a character earlier is found.
            const qint64 length =
                m_foundStart >= 0 ? m_foundLength : qint64(m_savedText.size()) * m_charSize;
            start = m_foundStart + length - 2 * m_charSize;
        }
        return PlainFind(m_savedText, m_savedEncoding, options, start);
    }
    if (AFindPrevious)
        throw SearchError(QStringLiteral("FindPrevious not supported for Regex"));
    return RegexFindNext();
}

bool TQzStreamSearch::RegexFindFirst()
{
    if (m_savedText.isEmpty())
        return false;
    if (!m_regex) {
        m_regex = std::make_unique<TDIRegExSearchStream_Enc>();
        m_regex->MatchOptionBits &= ~PCRE2_NOTEMPTY; // empty matches are allowed
        m_regex->OnProgress = [this](bool &abort, qint64 rawRead) {
            abort = !Progress(m_streamStart + rawRead);
        };
    }
    Require(m_regex != nullptr, QStringLiteral("RegEx object not initialized"), kUnit);
    if (!PrepareSearch(m_savedEncoding, m_streamStart = std::max<qint64>(0, m_streamStart)))
        return false;
    TDIRegExSearchStream_Enc &regex = *m_regex;
    quint32 bits = regex.CompileOptionBits & ~(PCRE2_CASELESS | PCRE2_DOTALL | PCRE2_MULTILINE);
    if (!(m_savedOptions & soCaseSensitive))
        bits |= PCRE2_CASELESS;
    if (m_savedOptions & soRegexMultiLine)
        bits |= PCRE2_DOTALL;
    regex.CompileOptionBits = bits;

    regex.WholeWords = bool(m_savedOptions & soWholeWords);
    QString error;
    qsizetype offset = 0;
    if (!regex.SetMatchPattern(m_savedText.toUtf8(), &error, &offset))
        throw SearchError(QStringLiteral("Regular expression pattern error:\r\n\r\n%1 at offset %2")
                              .arg(error)
                              .arg(offset));
    if (regex.HasBackReferences())
        throw SearchError(QStringLiteral("The search cannot run this regular expression:\r\n\r\n"
                                         "back-references such as \\1 are not supported"));

    TDIRegExSearchStream_Enc::Encoding encoding;
    switch (m_savedEncoding) {
    case EncodingAnsi:
        encoding = TDIRegExSearchStream_Enc::Encoding::Ansi;
        break;
    case EncodingOem:
        encoding = TDIRegExSearchStream_Enc::Encoding::Oem;
        break;
    case EncodingUtf16LE:
        encoding = TDIRegExSearchStream_Enc::Encoding::Utf16LE;
        break;
    case EncodingUtf16BE:
        encoding = TDIRegExSearchStream_Enc::Encoding::Utf16BE;
        break;
    default:
        throw SearchError(QStringLiteral("Unknown encoding specified"));
    }
    regex.SetStream(m_source, m_streamStart, encoding, m_stop);
    return RegexFindNext();
}

bool TQzStreamSearch::RegexFindNext()
{
    Require(m_regex != nullptr, QStringLiteral("RegEx object not initialized"), kUnit);
    Require(m_source != nullptr, QStringLiteral("Stream object not initialized"), kUnit);
    TDIRegExSearchStream_Enc::Match match;
    const int rc = m_regex->FindNext(match);
    if (rc < 0) {
        m_foundStart = -1;
        m_foundLength = 0;
        // Only the end of the source and a stop are "not found"; a limit or
        // an item the matcher cannot run must not pass for one.
        if (rc == TDIRegExSearchStream_Enc::ResultReadError)
            throw SearchError(
                QStringLiteral("Read error at offset %1").arg(m_regex->ErrorOffset()));
        if (rc == TDIRegExSearchStream_Enc::ResultWorkspaceLimit)
            throw SearchError(
                QStringLiteral("The search cannot run this regular expression:\r\n\r\n"
                               "it needs more than 1 MiB of matching workspace near offset %1")
                    .arg(m_streamStart + m_regex->ErrorOffset()));
        if (rc != PCRE2_ERROR_NOMATCH && rc != TDIRegExSearchStream_Enc::ResultStopped) {
            PCRE2_UCHAR message[256];
            pcre2_get_error_message(rc, message, sizeof message);
            throw SearchError(
                QStringLiteral("The search cannot run this regular expression:\r\n\r\n%1")
                    .arg(QString::fromUtf8(reinterpret_cast<const char *>(message))));
        }
        return false;
    }
    m_foundStart = m_streamStart + match.RawStart;
    m_foundLength = match.RawLength;
    return true;
}
