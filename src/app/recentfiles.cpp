#include "app/recentfiles.h"

#include "app/inifile.h"
#include "text/fproc.h"

#include <algorithm>

namespace {

const QByteArray kSection("OpenHistory");

QByteArray PathKey(int i)
{
    return QByteArray::number(i);
}

QByteArray EncodingKey(int i)
{
    return QByteArray::number(i) + "enc";
}

} // namespace

std::vector<RecentFile>::iterator RecentFiles::Find(const QString &path)
{
    return std::find_if(m_items.begin(), m_items.end(), [&path](const RecentFile &item) {
        return item.Path.compare(path, Qt::CaseInsensitive) == 0;
    });
}

int RecentFiles::Touch(const QString &path)
{
    int encoding = 0;
    const auto found = Find(path);
    if (found != m_items.end()) {
        encoding = found->Encoding;
        m_items.erase(found);
    }
    m_items.insert(m_items.begin(), RecentFile{path, encoding});
    if (m_items.size() > size_t(kMaxCount))
        m_items.resize(size_t(kMaxCount));
    return encoding;
}

void RecentFiles::SetEncoding(const QString &path, int encoding)
{
    const auto found = Find(path);
    if (found != m_items.end())
        found->Encoding = encoding;
}

void RecentFiles::Load(const IniFile &ini)
{
    m_items.clear();
    for (int i = 0; i < kMaxCount; ++i) {
        const QString path = FileNameFromBytes(ini.ReadString(kSection, PathKey(i), {}));
        // A hand-edited file may name a path twice; the first one wins, as in Touch.
        if (path.isEmpty() || Find(path) != m_items.end())
            continue;
        m_items.push_back(RecentFile{path, ini.ReadInteger(kSection, EncodingKey(i), 0)});
    }
}

QStringList RecentFiles::Save(IniFile &ini) const
{
    QStringList leftOut;
    int count = 0;
    for (const RecentFile &item : m_items) {
        const QByteArray path = FileNameToBytes(item.Path);
        if (!IniFile::CanHoldValue(path)) {
            leftOut.append(item.Path);
            continue;
        }
        ini.WriteExact(kSection, PathKey(count), path);
        ini.WriteInteger(kSection, EncodingKey(count), item.Encoding);
        ++count;
    }
    for (int i = count; i < kMaxCount; ++i) {
        ini.DeleteKey(kSection, PathKey(i));
        ini.DeleteKey(kSection, EncodingKey(i));
    }
    return leftOut;
}
