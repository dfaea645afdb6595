// Finding text in the viewer's file: the start rules, the engine's own
// source and running it with the message loop alive.
#include "viewer/qzbinhex.h"

#include "search/qzstreamsearch.h"
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

bool TQzBinHex::FindFirst(const QString &AText, TQzStreamSearchOptions AOptions, qint64 AStartPos)
{
    Require(SourceAssigned(), QStringLiteral("Source not assigned: FindFirst"), kUnit);
    // The running search reads through the engine: its source stays.
    if (m_searchRun->Running())
        return false;
    const TQzEncoding encoding = Mode() == vbmodeUnicode || Mode() == vbmodeUHex
                                     ? (IsBigEndian() ? TQzEncoding(-2) : TQzEncoding(-1))
                                     : TextEncoding();
    qint64 start = AStartPos;
    if (!AOptions.testFlag(soFromPosition) || AStartPos < 0) {
        if (!AOptions.testFlag(soFromPage))
            start = 0; // backward from 0 runs from the end
        else if (AOptions.testFlag(soBackward))
            start = m_viewPos + m_viewPageSize; // just after the last byte shown
        else
            start = m_viewPos;
    }

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
    m_searchStarted = true;
    // What the progress window names while the search runs.
    m_searchString = AText;
    m_searchOptions = AOptions;
    return RunSearch([this, AText, encoding, AOptions, start] {
        return m_search->FindFirst(AText, encoding, AOptions, start);
    });
}

bool TQzBinHex::FindNext(bool AFindPrevious)
{
    Require(SourceAssigned(), QStringLiteral("Source not assigned: FindNext"), kUnit);
    Require(m_searchStarted, QStringLiteral("Search not started: FindNext"), kUnit);
    return RunSearch([this, AFindPrevious] { return m_search->FindNext(AFindPrevious); });
}

void TQzBinHex::CancelSearch()
{
    m_searchRun->Cancel();
}

bool TQzBinHex::RunSearch(const std::function<bool()> &search)
{
    if (m_searchRun->Running())
        return false;
    // Whatever ends the run, the results are kept here and a reload that
    // fell due meanwhile follows.
    struct Finish
    {
        TQzBinHex &view;
        ~Finish()
        {
            view.m_search->OnProgress = nullptr;
            view.m_search->SetStopToken({});
            view.m_searchResultStart = view.m_search->FoundStart();
            view.m_searchResultLength = view.m_search->FoundLength();
            view.m_searchString = view.m_search->SavedText();
            view.m_searchOptions = view.m_search->SavedOptions();
            // The result stands whatever the reload meets.
            RunGuarded([this_view = &view] { this_view->SetSearchRunning(false); });
        }
    };
    SetSearchRunning(true);
    const Finish finish{*this};
    const SearchRun::Job job = [this, &search](const SearchRun::Report &report,
                                               std::stop_token stop) {
        m_search->SetStopToken(stop);
        m_search->OnProgress = [&report](qint64 current, qint64 maximal, bool &go) {
            go = report(current, maximal);
        };
        return search();
    };
    // Nobody can cancel a search without a progress handler: the user's
    // input waits until it is over.
    const auto flags =
        OnSearchProgress ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents;
    return m_searchRun->Run(job, OnSearchProgress, m_searchOnWorker, flags);
}

void TQzBinHex::ReleaseSearchSource()
{
    m_searchStarted = false;
    // A reload during a run waits for it, so the source is never taken from
    // under a running search.
    if (!m_searchRun->Running())
        m_search->SetStream(static_cast<FileSource *>(nullptr));
}
