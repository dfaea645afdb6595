#pragma once

#include "viewer/filesource.h"

class QIODevice;

// A caller's seekable QIODevice as a source. The caller keeps ownership: the
// device must stay open and alive for as long as this source exists. A
// device has one position, so it is read on its owner's thread only and
// cannot be opened again for a worker.
class DeviceSource final : public FileSource
{
public:
    explicit DeviceSource(QIODevice *device);

    qint64 size() const override { return m_size; }
    ReadResult read(char *buffer, qint64 count, qint64 position, qint64 *bytesRead,
                    std::stop_token stop = {}) const override;
    std::unique_ptr<FileSource> openAnother() const override { return nullptr; }

    QIODevice *device() const { return m_device; }

private:
    QIODevice *m_device;
    qint64 m_size;
};
