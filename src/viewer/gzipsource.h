#pragma once

#include "viewer/backgroundjobs.h"
#include "viewer/filesource.h"
#include "viewer/gzipindex.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <memory>

// A gzip file read as its decompressed bytes through a checkpoint index,
// never expanded onto the disk. Its size is what the index covered when the
// source was made; a source made later from a grown index reads further.
class GzipSource final : public FileSource
{
public:
    GzipSource(std::shared_ptr<const GzipIndex> index, std::unique_ptr<FileSource> compressed);

    qint64 size() const override { return m_index->size(); }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override;
    std::unique_ptr<FileSource> openAnother() const override;
    const LocalFileSource *localFile() const override { return m_compressed->localFile(); }

private:
    std::shared_ptr<const GzipIndex> m_index;
    std::unique_ptr<FileSource> m_compressed;
    // Scans read in a row: each read goes on where the last one ended.
    mutable GzipIndex::Cursor m_cursor;
};

// Keeps the checkpoint index of one gzip file shown by a view. A job on the
// window's BackgroundJobs reads the file once and hands the index over as
// it grows (first after a screenful, then a few times a second), so the
// start shows at once and the rest arrives like a growing log. A file that
// changes on disk is indexed afresh.
class GzipIndexer final : public QObject
{
    Q_OBJECT

public:
    // Decompressed bytes between checkpoints: a read anywhere inflates at
    // most this much first. A checkpoint of log text keeps about 10 KiB.
    static constexpr qint64 spacing = qint64(4) << 20;

    explicit GzipIndexer(QObject *parent = nullptr);
    ~GzipIndexer() override;
    GzipIndexer(const GzipIndexer &) = delete;
    GzipIndexer &operator=(const GzipIndexer &) = delete;

    void setJobs(BackgroundJobs *jobs, const void *client);

    // Opens the file as a source over the index as far as it is built; a
    // file other than the one indexed (or changed since) is indexed afresh.
    // Null when the file cannot be opened.
    std::unique_ptr<FileSource> open(const QString &fileName, LocalFileSource::OpenError *error);
    // Stops the job and drops the index.
    void clear();

    bool running() const { return m_watcher != nullptr; }
    // Decompressed bytes indexed so far.
    qint64 indexedSize() const { return m_index->size(); }
    const GzipIndex &index() const { return *m_index; }

Q_SIGNALS:
    // A larger index was handed over: the view reads the file again.
    void grown();
    // The job ended; a damaged or unreadable file says why in text.
    void ended(GzipIndex::Result result, const QString &text);

private:
    void start(const LocalFileSource &file);
    void stopJob();
    bool takeHandover();
    void jobFinished();

    BackgroundJobs *m_jobs = nullptr;
    const void *m_client = nullptr;
    std::shared_ptr<const GzipIndex> m_index = std::make_shared<const GzipIndex>();
    // What was indexed: a change of any of these is another file.
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_compressedSize = -1;
    std::unique_ptr<QFutureWatcher<GzipIndex::Result>> m_watcher;
    std::stop_source m_stop;
    std::shared_ptr<Handover<std::shared_ptr<const GzipIndex>>> m_handover;
};
