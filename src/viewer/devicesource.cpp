#include "viewer/devicesource.h"

#include <QIODevice>

#include <cstring>

DeviceSource::DeviceSource(QIODevice *device) : m_device(device), m_size(device->size()) {}

FileSource::ReadResult DeviceSource::read(char *buffer, qint64 count, qint64 position,
                                          qint64 *bytesRead, std::stop_token stop) const
{
    if (bytesRead)
        *bytesRead = 0;
    if (count <= 0)
        return ReadResult::Ok;
    std::memset(buffer, 0, size_t(count));
    if (stop.stop_requested())
        return ReadResult::Cancelled;
    if (!m_device->seek(position))
        return ReadResult::Failed;
    const qint64 n = m_device->read(buffer, count);
    if (n < 0)
        return ReadResult::Failed;
    if (bytesRead)
        *bytesRead = n;
    return ReadResult::Ok;
}
