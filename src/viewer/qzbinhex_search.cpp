// Finding text in the viewer's file: the start rules, the engine's own
// source, where a step goes on from, and running it with the message loop
// alive.
#include "viewer/qzbinhex.h"

#include "search/qzstreamsearch.h"
#include "search/searcherror.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/sproc.h"
#include "viewer/devicesource.h"
#include "viewer/searchrun.h"
#include "viewer/viewermsg.h"

namespace {
const QString kUnit = QStringLiteral("QzBinHex");
const QString kCannotLoad = QStringLiteral("Cannot load file: \"%s\"");
} // namespace

TQzEncoding TQzBinHex::SearchEncoding() const
{
    if (Mode() == vbmodeUnicode || Mode() == vbmodeUHex)
        return IsBigEndian() ? TQzEncoding(-2) : TQzEncoding(-1);
    return TextEncoding();
}

qint64 TQzBinHex::SearchStart(TQzStreamSearchOptions options, qint64 startPos) const
{
    if (options.testFlag(soFromPosition) && startPos >= 0)
        return startPos;
    if (!options.testFlag(soFromPage))
        return 0; // backward from 0 runs from the end
    if (options.testFlag(soBackward))
        return m_viewPos + m_viewPageSize; // just after the last byte shown
    return m_viewPos;
}

bool TQzBinHex::TakeSearchSource()
{
    // The engine reads through a source of its own: a reload closes the
    // display's, and a worker must not share it.
    std::unique_ptr<FileSource> source;
    m_searchOnWorker = true;
    if (m_doc.Source())
        source = m_doc.Source()->OpenAnother();
    if (!source && m_doc.Kind() == ViewDocument::SourceKind::Stream) {
        // A device has one position: it is read here, on its owner's thread.
        source = std::make_unique<DeviceSource>(m_doc.Stream());
        m_searchOnWorker = false;
    }
    if (!source) {
        ViewerMsg::Show(FormatStrW(kCannotLoad, {m_fileName}));
        return false;
    }
    m_search->SetStream(std::move(source));
    m_searchStands = false;
    return true;
}

bool TQzBinHex::FindFirst(const QString &AText, TQzStreamSearchOptions AOptions, qint64 AStartPos)
{
    Require(SourceAssigned(), QStringLiteral("Source not assigned: FindFirst"), kUnit);
    // The running search reads through the engine: its source stays.
    if (m_searchRun->Running())
        return false;
    const TQzEncoding encoding = SearchEncoding();
    const qint64 start = SearchStart(AOptions, AStartPos);
    if (!TakeSearchSource())
        return false;
    m_searchStarted = true;
    // What the progress window names while the search runs, and what the
    // next step goes on with whatever this one meets.
    m_searchString = AText;
    m_searchOptions = AOptions;
    m_searchResultStart = -1;
    m_searchResultLength = 0;
    return RunSearch([this, AText, encoding, AOptions, start] {
        return m_search->FindFirst(AText, encoding, AOptions, start);
    });
}

bool TQzBinHex::FindNext(bool AFindPrevious)
{
    Require(SourceAssigned(), QStringLiteral("Source not assigned: FindNext"), kUnit);
    Require(m_searchStarted, QStringLiteral("Search not started: FindNext"), kUnit);
    if (m_searchRun->Running())
        return false;
    // Refused before anything runs, whatever the engine stands on.
    if (AFindPrevious && m_searchOptions.testFlag(soRegex))
        throw SearchError(QStringLiteral("FindPrevious not supported for Regex"));
    const bool backward = m_searchOptions.testFlag(soBackward) != AFindPrevious;
    if (m_searchStands) {
        // The engine may stand there through a forward search of its own.
        const bool flip = backward != m_search->SavedOptions().testFlag(soBackward);
        return RunSearch([this, flip] { return m_search->FindNext(flip); });
    }

    // The engine lost its place (a step that failed or was stopped, a
    // reload): the step goes on from the viewer's.
    if (!m_search->Stream() && !TakeSearchSource())
        return false;
    const QString text = m_searchString;
    const TQzEncoding encoding = SearchEncoding();
    TQzStreamSearchOptions options = m_searchOptions;
    options &= ~TQzStreamSearchOptions(soBackward | soFromPage | soFromPosition);
    const qint64 at = m_searchResultStart;
    if (at < 0) {
        // No match to go on from: start again where the view is.
        options |= soFromPage;
        options.setFlag(soBackward, backward);
        const qint64 start = SearchStart(options, -1);
        return RunSearch([this, text, encoding, options, start] {
            return m_search->FindFirst(text, encoding, options, start);
        });
    }
    const qint64 charSize = CharSize();
    return RunSearch([this, text, encoding, options, at, backward, charSize] {
        // Stand on the match again, then step as from any match.
        const bool there = m_search->FindFirst(text, encoding, options, at);
        if (there && m_search->FoundStart() == at)
            return m_search->FindNext(backward);
        // The match is gone (the file changed in place). Forward, what
        // follows its place is the next; backward, what ends before it. A
        // start of 0 would mean the end, so a match of one character at the
        // very start is not looked for there.
        if (!backward)
            return there;
        return at > charSize &&
               m_search->FindFirst(text, encoding, options | soBackward, at - charSize);
    });
}

void TQzBinHex::ResumeSearch(const QString &text, TQzStreamSearchOptions options, qint64 position)
{
    if (m_searchRun->Running())
        return;
    m_searchStarted = true;
    m_searchString = text;
    m_searchOptions = options;
    m_searchResultStart = position < 0 ? -1 : position;
    m_searchResultLength = 0;
    m_searchStands = false;
}

void TQzBinHex::CancelSearch()
{
    m_searchRun->Cancel();
}

bool TQzBinHex::RunSearch(const std::function<bool()> &search)
{
    if (m_searchRun->Running())
        return false;
    // Whatever ends the run, the engine lets go of it and a reload that
    // fell due meanwhile follows.
    struct Finish
    {
        TQzBinHex &view;
        ~Finish()
        {
            view.m_search->OnProgress = nullptr;
            view.m_search->SetStopToken({});
            // The result stands whatever the reload meets.
            RunGuarded([this_view = &view] { this_view->SetSearchRunning(false); });
        }
    };
    SetSearchRunning(true);
    const Finish finish{*this};
    // Until it finds one, the engine stands on no match; the viewer's place
    // stays for the next step.
    m_searchStands = false;
    const SearchRun::Job job = [this, &search](const SearchRun::Report &report,
                                               std::stop_token stop) {
        m_search->SetStopToken(stop);
        m_search->OnProgress = [&report](qint64 current, qint64 maximal, bool &go) {
            go = report(current, maximal);
        };
        if (SearchHook)
            SearchHook();
        return search();
    };
    // Nobody can cancel a search without a progress handler: the user's
    // input waits until it is over.
    const auto flags =
        OnSearchProgress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    const bool found = m_searchRun->Run(job, OnSearchProgress, m_searchOnWorker, flags);
    if (found) {
        m_searchResultStart = m_search->FoundStart();
        m_searchResultLength = m_search->FoundLength();
        m_searchStands = true;
    } else if (m_searchRun->Stopped()) {
        // Cut short, it says nothing of the text: the next step starts
        // again where the view is then.
        m_searchResultStart = -1;
        m_searchResultLength = 0;
    }
    return found;
}

void TQzBinHex::ReleaseSearchSource()
{
    m_searchStarted = false;
    m_searchStands = false;
    // A reload during a run waits for it, so the source is never taken from
    // under a running search.
    if (!m_searchRun->Running())
        m_search->SetStream(static_cast<FileSource *>(nullptr));
}
