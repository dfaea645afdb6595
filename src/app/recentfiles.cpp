#include "app/recentfiles.h"

#include "app/inifile.h"
#include "text/fileutil.h"

#include <algorithm>

namespace {

const QByteArray kSection("OpenHistory");

QByteArray pathKey(int i)
{
    return QByteArray::number(i);
}

QByteArray encodingKey(int i)
{
    return QByteArray::number(i) + "enc";
}

} // namespace

std::vector<RecentFile>::iterator RecentFiles::find(const QString &path)
{
    return std::find_if(m_items.begin(), m_items.end(), [&path](const RecentFile &item) {
        return item.path.compare(path, Qt::CaseInsensitive) == 0;
    });
}

Encoding RecentFiles::touch(const QString &path)
{
    Encoding encoding;
    const auto found = find(path);
    if (found != m_items.end()) {
        encoding = found->encoding;
        m_items.erase(found);
    }
    m_items.insert(m_items.begin(), RecentFile{path, encoding});
    if (m_items.size() > size_t(kMaxCount))
        m_items.resize(size_t(kMaxCount));
    return encoding;
}

void RecentFiles::setEncoding(const QString &path, Encoding encoding)
{
    const auto found = find(path);
    if (found != m_items.end())
        found->encoding = encoding;
}

void RecentFiles::load(const IniFile &ini)
{
    m_items.clear();
    for (int i = 0; i < kMaxCount; ++i) {
        const QString path = fileNameFromBytes(ini.readString(kSection, pathKey(i), {}));
        // A hand-edited file may name a path twice; the first one wins, as in Touch.
        if (path.isEmpty() || find(path) != m_items.end())
            continue;
        m_items.push_back(RecentFile{
            path, Encoding::fromStoredCode(ini.readInteger(kSection, encodingKey(i), 0))});
    }
}

QStringList RecentFiles::save(IniFile &ini) const
{
    QStringList leftOut;
    int count = 0;
    for (const RecentFile &item : m_items) {
        const QByteArray path = fileNameToBytes(item.path);
        if (!IniFile::canHoldValue(path)) {
            leftOut.append(item.path);
            continue;
        }
        ini.writeExact(kSection, pathKey(count), path);
        ini.writeInteger(kSection, encodingKey(count), item.encoding.storedCode());
        ++count;
    }
    for (int i = count; i < kMaxCount; ++i) {
        ini.deleteKey(kSection, pathKey(i));
        ini.deleteKey(kSection, encodingKey(i));
    }
    return leftOut;
}
