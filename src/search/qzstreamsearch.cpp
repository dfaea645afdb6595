#include "search/qzstreamsearch.h"

#include "search/searcherror.h"

#include "text/contract.h"
#include "text/fproc.h"
#include "viewer/filesource.h"

#include <cerrno>

namespace {
const QString kUnit = QStringLiteral("QzStreamSearch");
} // namespace

class TDIRegExSearchStream_Enc
{
};

class TQzStreamSearch::PlainEngine
{
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

bool TQzStreamSearch::FindFirst(const QString &AText, TQzEncoding AEncoding,
                                TQzStreamSearchOptions AOptions, qint64 AStartPos)
{
    m_savedText = AText;
    m_savedEncoding = AEncoding;
    m_savedOptions = AOptions;
    Require(!(AOptions & soRegex) || !(AOptions & soBackward),
            QStringLiteral("Backward search not supported for Regex"), kUnit);
    Require(m_source != nullptr, QStringLiteral("Stream object not initialized"), kUnit);
    (void)AStartPos;
    m_foundStart = -1;
    m_foundLength = 0;
    return false;
}

bool TQzStreamSearch::FindNext(bool AFindPrevious)
{
    Require(!m_savedText.isEmpty(), QStringLiteral("Search text is empty"), kUnit);
    if ((m_savedOptions & soRegex) && AFindPrevious)
        throw SearchError(QStringLiteral("FindPrevious not supported for Regex"));
    Require(m_source != nullptr, QStringLiteral("Stream object not initialized"), kUnit);
    m_foundStart = -1;
    m_foundLength = 0;
    return false;
}
