#include "viewer/lineindexer.h"

#include "viewer/filesource.h"

#include "text/guard.h"

LineIndexer::LineIndexer(QObject *parent) : QObject(parent) {}

LineIndexer::~LineIndexer()
{
    stopJob();
}

void LineIndexer::setJobs(BackgroundJobs *jobs, const void *client)
{
    m_jobs = jobs;
    m_client = client;
}

void LineIndexer::restart(const FileSource &source, LineCountUnit unit)
{
    clear();
    m_unit = unit;
    start(LineIndex(unit), source);
}

void LineIndexer::extend(const FileSource &source, LineCountUnit unit)
{
    if (m_unit != unit) {
        restart(source, unit);
        return;
    }
    if (running()) {
        // Gone on with once the running job has handed its end over.
        m_grownSource = source.openAnother();
        return;
    }
    start(m_index ? *m_index : LineIndex(unit), source);
}

void LineIndexer::clear()
{
    stopJob();
    m_unit.reset();
    if (m_index) {
        m_index.reset();
        Q_EMIT updated();
    }
}

void LineIndexer::stopJob()
{
    m_stop.request_stop();
    // Its late signals and hand-overs go with the watcher and the old
    // hand-over: a job stopped here never reaches the index.
    m_watcher.reset();
    m_handover.reset();
    m_grownSource.reset();
}

void LineIndexer::start(LineIndex from, const FileSource &source)
{
    if (!m_jobs)
        return;
    std::shared_ptr<FileSource> own(source.openAnother());
    if (!own)
        return;
    auto handover = std::make_shared<Handover<LineIndex>>();
    const qint64 step = m_step;
    auto work = [handover, own, step, index = std::move(from)](
                    QPromise<LineIndex::BuildResult> &promise, std::stop_token stop) mutable {
        const qint64 size = own->size();
        LineIndex::BuildResult result = LineIndex::BuildResult::Complete;
        int handed = 0;
        while (result == LineIndex::BuildResult::Complete) {
            const qint64 to = std::min(size, index.indexedSize() + step);
            result = index.extend(*own, to, stop);
            handover->put(index);
            promise.setProgressValue(++handed);
            if (to >= size)
                break;
        }
        promise.addResult(result);
    };
    m_handover = handover;
    const auto handedOver = guarded([this] {
        if (takeHandover())
            Q_EMIT updated();
    });
    m_stop = m_jobs->startWatched<LineIndex::BuildResult>(
        m_client, std::move(work), m_watcher, this, handedOver, guarded([this] { jobFinished(); }));
}

bool LineIndexer::takeHandover()
{
    std::optional<LineIndex> latest = m_handover ? m_handover->take() : std::nullopt;
    if (!latest)
        return false;
    m_index = std::move(latest);
    return true;
}

void LineIndexer::jobFinished()
{
    const QFuture<LineIndex::BuildResult> future = m_watcher->future();
    const bool complete = future.resultCount() > 0 && !future.isCanceled() &&
                          future.result() == LineIndex::BuildResult::Complete;
    // Deleted after the signal's return: this slot runs inside it. Gone
    // before the last hand-over, which then tells that the job ended.
    m_watcher.release()->deleteLater();
    takeHandover();
    m_handover.reset();
    std::unique_ptr<FileSource> grown = std::move(m_grownSource);
    if (complete && grown && m_index && m_unit)
        start(*m_index, *grown);
    Q_EMIT updated();
}
