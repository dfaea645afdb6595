#include "viewer/documentsearch.h"

#include "search/searcherror.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/stringutil.h"
#include "viewer/devicesource.h"
#include "viewer/viewdocument.h"
#include "viewer/viewermsg.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

// What a job reading a device shares with the device's thread.
struct DeviceLoan
{
    std::mutex mutex;
    std::condition_variable_any answered;
    std::unique_ptr<DeviceSource> device; // lent for a run; its thread only
    quint64 asked = 0;
    quint64 answer = 0;
    QByteArray data;
    qint64 got = 0;
    FileSource::ReadResult result = FileSource::ReadResult::Failed;
};

namespace {

const QString kUnit = QStringLiteral("QzBinHex");
const QString kCannotLoad = QStringLiteral("Cannot load file: \"%s\"");
using Clock = std::chrono::steady_clock;
constexpr auto kInterval = std::chrono::milliseconds(DocumentSearch::kReportIntervalMs);

// A device read for a job: each read is asked of the device's own thread,
// which reads it from its event loop. The device is reached only there, and
// only while its document still lends it (cleared when the run ends).
class DeviceReads final : public FileSource
{
public:
    using Shared = DeviceLoan;

    DeviceReads(std::shared_ptr<Shared> shared, qint64 size)
        : m_shared(std::move(shared)), m_size(size)
    {}

    qint64 size() const override { return m_size; }
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop) const override
    {
        if (bytesRead)
            *bytesRead = 0;
        if (count <= 0)
            return ReadResult::Ok;
        std::memset(buffer, 0, size_t(count));
        std::unique_lock lock(m_shared->mutex);
        const quint64 ticket = ++m_shared->asked;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [shared = m_shared, ticket, count, position] {
                serve(*shared, ticket, count, position);
            },
            Qt::QueuedConnection);
        if (!m_shared->answered.wait(lock, stop, [&] { return m_shared->answer == ticket; }))
            return ReadResult::Cancelled;
        std::memcpy(buffer, m_shared->data.constData(), size_t(m_shared->got));
        if (bytesRead)
            *bytesRead = m_shared->got;
        return m_shared->result;
    }

private:
    static void serve(Shared &shared, quint64 ticket, qint64 count, qint64 position)
    {
        const std::lock_guard lock(shared.mutex);
        // A read given up (the job stopped) is not answered any more.
        if (ticket != shared.asked)
            return;
        shared.got = 0;
        shared.result = ReadResult::Cancelled;
        if (shared.device) {
            shared.data.resize(count);
            shared.result = shared.device->read(shared.data.data(), count, position, &shared.got);
        }
        shared.answer = ticket;
        shared.answered.notify_all();
    }

    std::shared_ptr<Shared> m_shared;
    qint64 m_size;
};

} // namespace

// What one step shares with its job.
struct DocumentSearch::Run
{
    BackgroundJobs::Job<bool> job;
    std::atomic<qint64> current{0};
    std::atomic<qint64> maximal{0};
    std::atomic<bool> posted{false};
    Clock::time_point lastReport;       // the job's thread only
    std::shared_ptr<DeviceLoan> device; // a device lent to the job
};

DocumentSearch::DocumentSearch(const ViewDocument &document, QObject *parent)
    : QObject(parent), m_document(document), m_engine(std::make_shared<StreamSearch>())
{}

DocumentSearch::~DocumentSearch()
{
    // Nobody hears the end of a run cut short here.
    QSignalBlocker blocker(this);
    release();
}

qint64 DocumentSearch::startOf(SearchOptions options, qint64 startPos) const
{
    if (options.testFlag(soFromPosition) && startPos >= 0)
        return startPos;
    if (!options.testFlag(soFromPage))
        return 0; // backward from 0 runs from the end
    const Page page = m_page ? m_page() : Page();
    return options.testFlag(soBackward) ? page.end : page.start;
}

bool DocumentSearch::takeSource()
{
    // The engine reads through a source of its own: a reload closes the
    // document's, and a worker must not share it.
    std::unique_ptr<FileSource> source;
    std::shared_ptr<DeviceLoan> device;
    if (m_document.source())
        source = m_document.source()->openAnother();
    if (!source && m_document.kind() == ViewDocument::SourceKind::Stream) {
        // Lent to each run only (see launch).
        device = std::make_shared<DeviceLoan>();
        source = std::make_unique<DeviceReads>(device, m_document.fileSize());
    }
    if (!source) {
        ViewerMsg::show(formatStrW(kCannotLoad, {m_name ? m_name() : QString()}));
        return false;
    }
    // A fresh engine: the last one may still be held by a job that stops.
    m_engine = std::make_shared<StreamSearch>();
    m_engine->setStream(std::move(source));
    m_device = std::move(device);
    m_stands = false;
    return true;
}

bool DocumentSearch::findFirst(BackgroundJobs &jobs, const void *client, const QString &text,
                               SearchOptions options, qint64 startPos)
{
    require(m_document.sourceAssigned(), QStringLiteral("Source not assigned: FindFirst"), kUnit);
    // The running step reads through the engine: its source stays.
    if (running())
        return false;
    const Encoding code = m_document.shownEncoding();
    const qint64 from = startOf(options, startPos);
    if (!takeSource())
        return false;
    m_started = true;
    // What a progress window names while the step runs, and what the next
    // step goes on with whatever this one meets.
    m_text = text;
    m_options = options;
    m_resultStart = -1;
    m_resultLength = 0;
    return launch(jobs, client, [text, code, options, from](StreamSearch &engine) {
        return engine.findFirst(text, code, options, from);
    });
}

bool DocumentSearch::findNext(BackgroundJobs &jobs, const void *client, bool findPrevious)
{
    require(m_document.sourceAssigned(), QStringLiteral("Source not assigned: FindNext"), kUnit);
    require(m_started, QStringLiteral("Search not started: FindNext"), kUnit);
    if (running())
        return false;
    const bool backward = m_options.testFlag(soBackward) != findPrevious;
    if (m_stands) {
        // The engine may stand there through a forward search of its own.
        const bool flip = backward != m_engine->savedOptions().testFlag(soBackward);
        return launch(jobs, client, [flip](StreamSearch &engine) { return engine.findNext(flip); });
    }

    // The engine lost its place (a step that failed or was stopped, a
    // reload): the step goes on from the page.
    if (!m_engine->stream() && !takeSource())
        return false;
    const QString text = m_text;
    const Encoding code = m_document.shownEncoding();
    SearchOptions options = m_options;
    options &= ~SearchOptions(soBackward | soFromPage | soFromPosition);
    const qint64 at = m_resultStart;
    if (at < 0) {
        // No match to go on from: start again where the page is.
        options |= soFromPage;
        options.setFlag(soBackward, backward);
        const qint64 from = startOf(options, -1);
        return launch(jobs, client, [text, code, options, from](StreamSearch &engine) {
            return engine.findFirst(text, code, options, from);
        });
    }
    const qint64 unit = m_document.charSize();
    return launch(jobs, client, [text, code, options, at, backward, unit](StreamSearch &engine) {
        // Stand on the match again, then step as from any match.
        const bool there = engine.findFirst(text, code, options, at);
        if (there && engine.foundStart() == at)
            return engine.findNext(backward);
        // The match is gone (the file changed in place). Forward, what
        // follows its place is the next; backward, what ends before it. A
        // start of 0 would mean the end, so a match of one character at the
        // very start is not looked for there.
        if (!backward)
            return there;
        return at > unit && engine.findFirst(text, code, options | soBackward, at - unit);
    });
}

void DocumentSearch::resume(const QString &text, SearchOptions options, qint64 position)
{
    if (running())
        return;
    m_started = true;
    m_text = text;
    m_options = options;
    m_resultStart = position < 0 ? -1 : position;
    m_resultLength = 0;
    m_stands = false;
}

void DocumentSearch::cancel()
{
    if (m_run)
        m_run->job.stop.request_stop();
}

bool DocumentSearch::launch(BackgroundJobs &jobs, const void *client, Step step)
{
    // Until it finds one, the engine stands on no match; the last match
    // stays for the next step.
    m_stands = false;
    auto run = std::make_shared<Run>();
    run->device = m_device;
    if (m_device) {
        const std::lock_guard lock(m_device->mutex);
        m_device->device = std::make_unique<DeviceSource>(m_document.stream());
    }
    QPointer<DocumentSearch> self(this);
    // Reports go to this object through a queued call, one at a time and
    // none sooner than the interval after the last.
    const auto report = [run, self](qint64 current, qint64 maximal) {
        run->current = current;
        run->maximal = maximal;
        const auto now = Clock::now();
        if (now - run->lastReport >= kInterval && !run->posted.exchange(true)) {
            run->lastReport = now;
            // self is only followed on its own thread, by the queued call.
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [run, self] {
                    run->posted = false;
                    if (self && self->m_run == run)
                        self->deliverProgress();
                },
                Qt::QueuedConnection);
        }
    };
    m_run = run;
    m_error = nullptr;
    run->job = jobs.start<bool>(client, [engine = m_engine, hook = hook, step = std::move(step),
                                         report](QPromise<bool> &promise, std::stop_token stop) {
        engine->setStopToken(stop);
        engine->onProgress = [&report](qint64 current, qint64 maximal, bool &) {
            report(current, maximal);
        };
        struct Clear
        {
            StreamSearch &engine;
            ~Clear()
            {
                engine.onProgress = nullptr;
                engine.setStopToken({});
            }
        } clear{*engine};
        if (hook)
            hook();
        promise.addResult(step(*engine));
    });
    m_watcher = new QFutureWatcher<bool>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, [this] { jobFinished(); });
    m_watcher->setFuture(run->job.future);
    return true;
}

void DocumentSearch::deliverProgress()
{
    // A job that is done has nothing left to report: its end follows at
    // once, and a progress window shown for it now would only flash and take
    // the keyboard away from the viewer.
    if (m_run->job.future.isFinished())
        return;
    Q_EMIT progress(m_run->current, m_run->maximal);
}

void DocumentSearch::jobFinished()
{
    QFuture<bool> future = m_run->job.future;
    const bool stopped = m_run->job.stop.get_token().stop_requested();
    bool found = false;
    std::exception_ptr error;
    try {
        // Rethrows what the job threw.
        future.waitForFinished();
        found = future.resultCount() > 0 && future.result();
    } catch (...) {
        error = std::current_exception();
    }
    if (found) {
        m_resultStart = m_engine->foundStart();
        m_resultLength = m_engine->foundLength();
        m_stands = true;
        endRun(Outcome::Found, nullptr);
    } else if (error) {
        endRun(Outcome::Failed, error);
    } else if (stopped) {
        // Cut short, it says nothing of the text: the next step starts
        // again where the page is then.
        m_resultStart = -1;
        m_resultLength = 0;
        endRun(Outcome::Stopped, nullptr);
    } else {
        endRun(Outcome::NotFound, nullptr);
    }
}

void DocumentSearch::endRun(Outcome outcome, std::exception_ptr error)
{
    if (m_run->device) {
        // The device is its document's alone again.
        const std::lock_guard lock(m_run->device->mutex);
        m_run->device->device.reset();
    }
    m_run->job.stop.request_stop();
    m_run.reset();
    if (m_watcher) {
        m_watcher->disconnect(this);
        m_watcher->deleteLater();
        m_watcher = nullptr;
    }
    m_outcome = outcome;
    m_error = std::move(error);
    Q_EMIT finished();
}

void DocumentSearch::release()
{
    m_started = false;
    m_stands = false;
    if (m_run) {
        // The job reads its own source and stops by itself; what it finds
        // is of a source no longer shown.
        m_engine = std::make_shared<StreamSearch>();
        m_device.reset();
        endRun(Outcome::Abandoned, nullptr);
        return;
    }
    m_engine->setStream(static_cast<FileSource *>(nullptr));
    m_device.reset();
}
