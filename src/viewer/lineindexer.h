#pragma once

#include "viewer/backgroundjobs.h"
#include "viewer/lineindex.h"

#include <QFutureWatcher>
#include <QObject>

#include <memory>
#include <optional>

// Keeps a view's line index: builds it on a background job when a file
// opens, extends it as the file grows and builds it afresh when the file is
// reloaded, rotated or read in another unit. The job works on a copy and
// hands over what it indexed (every few hundred MiB and at its end) through
// its future's queued signals, so the view numbers the start of a large file
// while the rest is still read. The jobs belong to the window's
// BackgroundJobs, which outlives the view; going away stops them.
class LineIndexer final : public QObject
{
    Q_OBJECT

public:
    // Bytes indexed between two hand-overs.
    static constexpr qint64 defaultStep = qint64(512) << 20;

    explicit LineIndexer(QObject *parent = nullptr);
    ~LineIndexer() override;
    LineIndexer(const LineIndexer &) = delete;
    LineIndexer &operator=(const LineIndexer &) = delete;

    // Where jobs run and whom they serve; without jobs nothing is indexed.
    void setJobs(BackgroundJobs *jobs, const void *client);
    void setStep(qint64 bytes) { m_step = bytes; }

    // Drops the index and indexes source afresh, read on a source of its own.
    void restart(const FileSource &source, LineCountUnit unit);
    // The file grew: the index goes on from where it ended (afresh when
    // there is none of that unit).
    void extend(const FileSource &source, LineCountUnit unit);
    // Drops the index and stops its job.
    void clear();

    // The index handed over last; null before the first hand-over.
    const LineIndex *index() const { return m_index ? &*m_index : nullptr; }
    // The unit the index is (being) built in, if any.
    std::optional<LineCountUnit> unit() const { return m_unit; }
    bool running() const { return m_watcher != nullptr; }

Q_SIGNALS:
    // A newer index was handed over, the index was dropped, or a job ended
    // (running() is then false unless growth started the next one).
    void updated();

private:
    void start(LineIndex from, const FileSource &source);
    void stopJob();
    // Takes the job's latest index; false when it has handed none since.
    bool takeHandover();
    void jobFinished();

    BackgroundJobs *m_jobs = nullptr;
    const void *m_client = nullptr;
    qint64 m_step = defaultStep;
    std::optional<LineIndex> m_index;
    std::optional<LineCountUnit> m_unit;
    std::unique_ptr<QFutureWatcher<LineIndex::BuildResult>> m_watcher;
    std::stop_source m_stop;
    std::shared_ptr<Handover<LineIndex>> m_handover;
    // Growth reported while a job ran: the source to go on with after it.
    std::unique_ptr<FileSource> m_grownSource;
};
