#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>
#include <stop_token>

// Where the bytes of a shown file come from. The display window reads through
// one; search, filtered logs, line counting and printing read through
// instances of their own (OpenAnother) on worker threads, so they never
// borrow the display's descriptor, which every reload closes and reopens.
// Compressed logs and standard input plug in behind the same interface.
class LocalFileSource;
class FileSource
{
public:
    enum class ReadResult { Ok, Failed, Cancelled };

    virtual ~FileSource() = default;

    // Size in bytes, taken when the source was opened.
    virtual qint64 size() const = 0;
    // Reads count bytes at a 64-bit position into buffer. Bytes past the end
    // of the data read as zeros and a short read at the end is Ok;
    // bytesRead gets the bytes that came from the source. Long reads go in
    // blocks and look at stop between them: a stop gives Cancelled.
    virtual ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                            std::stop_token stop = {}) const = 0;
    // Another instance over the same data with a descriptor of its own, for
    // use on another thread; null when the data cannot be opened twice.
    virtual std::unique_ptr<FileSource> openAnother() const = 0;
    // The file on disk the bytes come from, if any (also when they are
    // decompressed from it): what a rotation or a replacement is told by.
    virtual const LocalFileSource *localFile() const { return nullptr; }
    // A descriptor of a regular file holding the data at the same offsets,
    // which a scan may map instead of reading (ScanReader); -1 for data
    // that must be read.
    virtual int mappableDescriptor() const { return -1; }

protected:
    FileSource() = default;
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;
};

// A regular file opened for reading without any lock, so other programs keep
// writing, renaming and deleting it. Reads with pread, so one instance never
// moves a shared file offset.
class LocalFileSource final : public FileSource
{
public:
    enum class OpenError { None, CannotOpen, NoSize };
    // Bytes per read call: large, and the grain of a cancel.
    static constexpr qint64 blockSize = qint64(1) << 20;

    // Null when the file cannot be opened (missing, no access, not a regular
    // file) or its size cannot be taken; error tells which.
    static std::unique_ptr<LocalFileSource> open(const QString &fileName,
                                                 OpenError *error = nullptr);
    ~LocalFileSource() override;

    qint64 size() const override { return m_size; }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override;
    // Opens the very file of this descriptor again, also after it was
    // renamed or deleted; null when it cannot.
    std::unique_ptr<FileSource> openAnother() const override;
    const LocalFileSource *localFile() const override { return this; }
    int mappableDescriptor() const override { return m_fd; }

    const QString &fileName() const { return m_fileName; }
    int descriptor() const { return m_fd; }
    quint64 device() const { return m_device; }
    quint64 inode() const { return m_inode; }

private:
    LocalFileSource(int fd, const QString &fileName);

    int m_fd;
    QString m_fileName;
    qint64 m_size = 0;
    quint64 m_device = 0;
    quint64 m_inode = 0;
};
