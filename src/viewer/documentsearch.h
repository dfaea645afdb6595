#pragma once

#include "search/streamsearch.h"
#include "viewer/backgroundjobs.h"

#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <memory>

class ViewDocument;
struct DeviceLoan;
template <typename T>
class QFutureWatcher;

// Finding text in one document: the engine, the text and options last asked
// for, the last match and whether the engine still stands on it.
//
// A step runs as a background job and the call that starts it returns at
// once; progress and the end come back as signals on this object's thread.
// The job holds the engine and the source it reads by shared ownership, so
// neither this object nor its document has to outlive it: going away, or
// losing the source, stops the job and nothing of it arrives any more.
//
// A document read from a device (which has one position and belongs to its
// owner's thread) is read on this thread all the same: the job asks for one
// block at a time and the event loop reads it between other events.
class DocumentSearch final : public QObject
{
    Q_OBJECT

public:
    // Progress reaches this thread at most this often, and at once the
    // first time.
    static constexpr int kReportIntervalMs = 20;

    // The bytes shown, where a step from the page starts: [start, end).
    struct Page
    {
        qint64 start = 0;
        qint64 end = 0;
    };
    using PageSource = std::function<Page()>;

    // How the last step ended.
    enum class Outcome {
        Found,
        NotFound,
        Stopped,   // cancel() or a stop of its jobs cut it short
        Failed,    // the job threw: error() tells what
        Abandoned, // the document lost its source while it ran
    };

    explicit DocumentSearch(const ViewDocument &document, QObject *parent = nullptr);
    ~DocumentSearch() override;
    DocumentSearch(const DocumentSearch &) = delete;
    DocumentSearch &operator=(const DocumentSearch &) = delete;

    // Where "from the page" starts; unset: the page is the start of the file.
    void setPageSource(PageSource source) { m_page = std::move(source); }
    // The name "Cannot load file" tells.
    void setNameSource(std::function<QString()> source) { m_name = std::move(source); }

    // Both start a step on jobs for client and tell whether it started;
    // finished() follows every step that started. A step that cannot start
    // throws (a contract) or shows
    // "Cannot load file" and returns false, as does one asked for while
    // another runs. Without soFromPosition, or with a negative startPos, the
    // start is 0, or with soFromPage the first byte shown (backward: just
    // after the last one).
    bool findFirst(BackgroundJobs &jobs, const void *client, const QString &text,
                   SearchOptions options, qint64 startPos);
    // Steps from the last match found, also after a step that failed; after
    // a stopped step, or before any match, it starts where the page is.
    bool findNext(BackgroundJobs &jobs, const void *client, bool findPrevious);
    // Stands the search on a match found before (a negative position: on
    // none) without reading anything; the next step goes on from there.
    void resume(const QString &text, SearchOptions options, qint64 position);
    // Stops the running step, which then ends as Stopped.
    void cancel();
    // The document closed or reopened its source: the search ends, and a
    // running step is abandoned at once (finished() comes before this
    // returns).
    void release();

    bool running() const { return m_run != nullptr; }
    // From findFirst or resume until the source is released.
    bool started() const { return m_started; }
    // The last match found, kept when a step fails; -1 when there is none.
    qint64 resultStart() const { return m_resultStart; }
    qint64 resultLength() const { return m_resultLength; }
    const QString &text() const { return m_text; }
    SearchOptions options() const { return m_options; }
    // How the last step ended, and what it threw when it failed.
    Outcome outcome() const { return m_outcome; }
    std::exception_ptr error() const { return m_error; }

    // Runs on the job's thread just before the engine; one that throws
    // stands for a failure inside the search.
    std::function<void()> hook;

Q_SIGNALS:
    // Where the running step reads; the bar of a progress window.
    void progress(qint64 current, qint64 maximal);
    // The step is over; outcome() says how.
    void finished();

private:
    struct Run;
    using Step = std::function<bool(StreamSearch &engine)>;

    bool takeSource();
    qint64 startOf(SearchOptions options, qint64 startPos) const;
    bool launch(BackgroundJobs &jobs, const void *client, Step step);
    void deliverProgress();
    void jobFinished();
    // Ends the run and tells; the pending state is already set.
    void endRun(Outcome outcome, std::exception_ptr error);

    const ViewDocument &m_document;
    PageSource m_page;
    std::function<QString()> m_name;
    std::shared_ptr<DeviceLoan> m_device; // the engine reads a device through it
    std::shared_ptr<StreamSearch> m_engine;
    std::shared_ptr<Run> m_run;
    QFutureWatcher<bool> *m_watcher = nullptr;
    bool m_started = false;
    bool m_stands = false; // the engine's last step found m_resultStart
    qint64 m_resultStart = -1;
    qint64 m_resultLength = 0;
    QString m_text;
    SearchOptions m_options;
    Outcome m_outcome = Outcome::NotFound;
    std::exception_ptr m_error;
};
