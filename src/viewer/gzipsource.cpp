#include "viewer/gzipsource.h"

#include "text/guard.h"

#include <chrono>
#include <cstring>

namespace {

// The first hand-over comes once a screen or two decoded, the next ones at
// most this often: each makes the view read the file again.
constexpr qint64 kFirstHandover = 256 * 1024;
constexpr auto kHandoverEvery = std::chrono::milliseconds(200);

} // namespace

GzipSource::GzipSource(std::shared_ptr<const GzipIndex> index,
                       std::unique_ptr<FileSource> compressed)
    : m_index(std::move(index)), m_compressed(std::move(compressed))
{}

FileSource::ReadResult GzipSource::read(char *buffer, qint64 count, qint64 position,
                                        qint64 *bytesRead, std::stop_token stop) const
{
    *bytesRead = 0;
    if (count <= 0)
        return ReadResult::Ok;
    qint64 got = 0;
    if (position >= 0 &&
        !m_index->read(*m_compressed, buffer, count, position, &got, stop, &m_cursor)) {
        m_cursor.reset();
        return stop.stop_requested() ? ReadResult::Cancelled : ReadResult::Failed;
    }
    if (got < count)
        std::memset(buffer + got, 0, size_t(count - got));
    *bytesRead = got;
    return ReadResult::Ok;
}

std::unique_ptr<FileSource> GzipSource::openAnother() const
{
    std::unique_ptr<FileSource> compressed = m_compressed->openAnother();
    if (!compressed)
        return nullptr;
    return std::make_unique<GzipSource>(m_index, std::move(compressed));
}

GzipIndexer::GzipIndexer(QObject *parent) : QObject(parent) {}

GzipIndexer::~GzipIndexer()
{
    stopJob();
}

void GzipIndexer::setJobs(BackgroundJobs *jobs, const void *client)
{
    m_jobs = jobs;
    m_client = client;
}

std::unique_ptr<FileSource> GzipIndexer::open(const QString &fileName,
                                              LocalFileSource::OpenError *error)
{
    std::unique_ptr<LocalFileSource> file = LocalFileSource::open(fileName, error);
    if (!file)
        return nullptr;
    if (file->device() != m_device || file->inode() != m_inode ||
        file->size() != m_compressedSize) {
        clear();
        m_device = file->device();
        m_inode = file->inode();
        m_compressedSize = file->size();
        // Its first screens read here and now, so that it opens as a file
        // does, at its start; the job reads it again from there on.
        GzipIndex first;
        std::stop_source enough;
        first.build(*file, spacing, enough.get_token(), [&enough](const GzipIndex &partial) {
            if (partial.size() >= kFirstHandover)
                enough.request_stop();
        });
        m_index = std::make_shared<const GzipIndex>(std::move(first));
        start(*file);
    }
    return std::make_unique<GzipSource>(m_index, std::move(file));
}

void GzipIndexer::clear()
{
    stopJob();
    m_index = std::make_shared<const GzipIndex>();
    m_device = 0;
    m_inode = 0;
    m_compressedSize = -1;
}

void GzipIndexer::stopJob()
{
    m_stop.request_stop();
    // A stopped job's late signals and hand-overs go with these.
    m_watcher.reset();
    m_handover.reset();
}

void GzipIndexer::start(const LocalFileSource &file)
{
    if (!m_jobs)
        return;
    std::shared_ptr<FileSource> own(file.openAnother());
    if (!own)
        return;
    auto handover = std::make_shared<Handover<std::shared_ptr<const GzipIndex>>>();
    auto work = [handover, own](QPromise<GzipIndex::Result> &promise, std::stop_token stop) {
        using Clock = std::chrono::steady_clock;
        Clock::time_point last = Clock::now();
        int handed = 0;
        const auto handOver = [&](const GzipIndex &index) {
            handover->put(std::make_shared<const GzipIndex>(index));
            promise.setProgressValue(++handed);
        };
        GzipIndex index;
        const GzipIndex::Result result =
            index.build(*own, spacing, stop, [&](const GzipIndex &partial) {
                const Clock::time_point now = Clock::now();
                if (handed == 0 ? partial.size() < kFirstHandover : now - last < kHandoverEvery)
                    return;
                last = now;
                handOver(partial);
            });
        if (result != GzipIndex::Result::Cancelled)
            handOver(index);
        promise.addResult(result);
    };
    m_handover = handover;
    const auto handedOver = guarded([this] {
        if (takeHandover())
            Q_EMIT grown();
    });
    m_stop = m_jobs->startWatched<GzipIndex::Result>(
        m_client, std::move(work), m_watcher, this, handedOver, guarded([this] { jobFinished(); }));
}

bool GzipIndexer::takeHandover()
{
    std::optional<std::shared_ptr<const GzipIndex>> latest =
        m_handover ? m_handover->take() : std::nullopt;
    if (!latest)
        return false;
    m_index = std::move(*latest);
    return true;
}

void GzipIndexer::jobFinished()
{
    const QFuture<GzipIndex::Result> future = m_watcher->future();
    const GzipIndex::Result result =
        future.resultCount() > 0 ? future.result() : GzipIndex::Result::Cancelled;
    // Deleted after the signal's return: this slot runs inside it.
    m_watcher.release()->deleteLater();
    const bool grew = takeHandover();
    m_handover.reset();
    if (grew)
        Q_EMIT grown();
    // The last hand-over is the whole index, with where a damaged file stopped.
    Q_EMIT ended(result, QString::fromStdString(m_index->error()));
}
