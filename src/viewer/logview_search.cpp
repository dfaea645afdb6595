// Finding text in the viewer's file: the start rules, the engine's own
// source, where a step goes on from, and running it with the message loop
// alive.
#include "viewer/logview.h"

#include "search/streamsearch.h"
#include "search/searcherror.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/stringutil.h"
#include "viewer/devicesource.h"
#include "viewer/searchrun.h"
#include "viewer/viewermsg.h"

namespace {
const QString kUnit = QStringLiteral("QzBinHex");
const QString kCannotLoad = QStringLiteral("Cannot load file: \"%s\"");
} // namespace

Encoding LogView::searchEncoding() const
{
    if (mode() == vbmodeUnicode || mode() == vbmodeUHex)
        return Encoding::utf16(isBigEndian());
    return textEncoding();
}

qint64 LogView::searchStart(SearchOptions options, qint64 startPos) const
{
    if (options.testFlag(soFromPosition) && startPos >= 0)
        return startPos;
    if (!options.testFlag(soFromPage))
        return 0; // backward from 0 runs from the end
    if (options.testFlag(soBackward))
        return m_viewPos + m_viewPageSize; // just after the last byte shown
    return m_viewPos;
}

bool LogView::takeSearchSource()
{
    // The engine reads through a source of its own: a reload closes the
    // display's, and a worker must not share it.
    std::unique_ptr<FileSource> source;
    m_searchOnWorker = true;
    if (m_doc.source())
        source = m_doc.source()->openAnother();
    if (!source && m_doc.kind() == ViewDocument::SourceKind::Stream) {
        // A device has one position: it is read here, on its owner's thread.
        source = std::make_unique<DeviceSource>(m_doc.stream());
        m_searchOnWorker = false;
    }
    if (!source) {
        ViewerMsg::show(formatStrW(kCannotLoad, {m_fileName}));
        return false;
    }
    m_search->setStream(std::move(source));
    m_searchStands = false;
    return true;
}

bool LogView::findFirst(const QString &text, SearchOptions options, qint64 startPos)
{
    require(sourceAssigned(), QStringLiteral("Source not assigned: FindFirst"), kUnit);
    // The running search reads through the engine: its source stays.
    if (m_searchRun->running())
        return false;
    const Encoding encoding = searchEncoding();
    const qint64 start = searchStart(options, startPos);
    if (!takeSearchSource())
        return false;
    m_searchStarted = true;
    // What the progress window names while the search runs, and what the
    // next step goes on with whatever this one meets.
    m_searchString = text;
    m_searchOptions = options;
    m_searchResultStart = -1;
    m_searchResultLength = 0;
    return runSearch([this, text, encoding, options, start] {
        return m_search->findFirst(text, encoding, options, start);
    });
}

bool LogView::findNext(bool findPrevious)
{
    require(sourceAssigned(), QStringLiteral("Source not assigned: FindNext"), kUnit);
    require(m_searchStarted, QStringLiteral("Search not started: FindNext"), kUnit);
    if (m_searchRun->running())
        return false;
    // Refused before anything runs, whatever the engine stands on.
    if (findPrevious && m_searchOptions.testFlag(soRegex))
        throw SearchError(QStringLiteral("FindPrevious not supported for Regex"));
    const bool backward = m_searchOptions.testFlag(soBackward) != findPrevious;
    if (m_searchStands) {
        // The engine may stand there through a forward search of its own.
        const bool flip = backward != m_search->savedOptions().testFlag(soBackward);
        return runSearch([this, flip] { return m_search->findNext(flip); });
    }

    // The engine lost its place (a step that failed or was stopped, a
    // reload): the step goes on from the viewer's.
    if (!m_search->stream() && !takeSearchSource())
        return false;
    const QString text = m_searchString;
    const Encoding encoding = searchEncoding();
    SearchOptions options = m_searchOptions;
    options &= ~SearchOptions(soBackward | soFromPage | soFromPosition);
    const qint64 at = m_searchResultStart;
    if (at < 0) {
        // No match to go on from: start again where the view is.
        options |= soFromPage;
        options.setFlag(soBackward, backward);
        const qint64 start = searchStart(options, -1);
        return runSearch([this, text, encoding, options, start] {
            return m_search->findFirst(text, encoding, options, start);
        });
    }
    const qint64 unit = charSize();
    return runSearch([this, text, encoding, options, at, backward, unit] {
        // Stand on the match again, then step as from any match.
        const bool there = m_search->findFirst(text, encoding, options, at);
        if (there && m_search->foundStart() == at)
            return m_search->findNext(backward);
        // The match is gone (the file changed in place). Forward, what
        // follows its place is the next; backward, what ends before it. A
        // start of 0 would mean the end, so a match of one character at the
        // very start is not looked for there.
        if (!backward)
            return there;
        return at > unit && m_search->findFirst(text, encoding, options | soBackward, at - unit);
    });
}

void LogView::resumeSearch(const QString &text, SearchOptions options, qint64 position)
{
    if (m_searchRun->running())
        return;
    m_searchStarted = true;
    m_searchString = text;
    m_searchOptions = options;
    m_searchResultStart = position < 0 ? -1 : position;
    m_searchResultLength = 0;
    m_searchStands = false;
}

void LogView::cancelSearch()
{
    m_searchRun->cancel();
}

bool LogView::runSearch(const std::function<bool()> &search)
{
    if (m_searchRun->running())
        return false;
    // Whatever ends the run, the engine lets go of it and a reload that
    // fell due meanwhile follows.
    struct Finish
    {
        LogView &view;
        ~Finish()
        {
            view.m_search->onProgress = nullptr;
            view.m_search->setStopToken({});
            // The result stands whatever the reload meets.
            runGuarded([this_view = &view] { this_view->setSearchRunning(false); });
        }
    };
    setSearchRunning(true);
    const Finish finish{*this};
    // Until it finds one, the engine stands on no match; the viewer's place
    // stays for the next step.
    m_searchStands = false;
    const SearchRun::Job job = [this, &search](const SearchRun::Report &report,
                                               std::stop_token stop) {
        m_search->setStopToken(stop);
        m_search->onProgress = [&report](qint64 current, qint64 maximal, bool &go) {
            go = report(current, maximal);
        };
        if (searchHook)
            searchHook();
        return search();
    };
    // Nobody can cancel a search without a progress handler: the user's
    // input waits until it is over.
    const auto flags =
        onSearchProgress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    const bool found = m_searchRun->run(job, onSearchProgress, m_searchOnWorker, flags);
    if (found) {
        m_searchResultStart = m_search->foundStart();
        m_searchResultLength = m_search->foundLength();
        m_searchStands = true;
    } else if (m_searchRun->stopped()) {
        // Cut short, it says nothing of the text: the next step starts
        // again where the view is then.
        m_searchResultStart = -1;
        m_searchResultLength = 0;
    }
    return found;
}

void LogView::releaseSearchSource()
{
    m_searchStarted = false;
    m_searchStands = false;
    // A reload during a run waits for it, so the source is never taken from
    // under a running search.
    if (!m_searchRun->running())
        m_search->setStream(static_cast<FileSource *>(nullptr));
}
