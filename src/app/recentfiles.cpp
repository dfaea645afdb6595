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

QByteArray commandKey(int i)
{
    return QByteArray::number(i) + "cmd";
}

} // namespace

std::vector<RecentFile>::iterator RecentFiles::find(const QString &path, bool command)
{
    return std::find_if(m_items.begin(), m_items.end(), [&](const RecentFile &item) {
        return item.command == command &&
               (command ? item.path == path : item.path.compare(path, Qt::CaseInsensitive) == 0);
    });
}

void RecentFiles::touchCommand(const QString &command)
{
    const auto found = find(command, true);
    if (found != m_items.end())
        m_items.erase(found);
    m_items.insert(m_items.begin(), RecentFile{command, Encoding(), true});
    if (m_items.size() > size_t(kMaxCount))
        m_items.resize(size_t(kMaxCount));
}

Encoding RecentFiles::touch(const QString &path, bool *known)
{
    Encoding encoding;
    const auto found = find(path);
    if (known)
        *known = found != m_items.end();
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
        if (path.isEmpty()) {
            const QString command = ini.readUtf8(kSection, commandKey(i), QString());
            if (!command.trimmed().isEmpty() && find(command, true) == m_items.end())
                m_items.push_back(RecentFile{command, Encoding(), true});
            continue;
        }
        // A hand-edited file may name a path twice; the first one wins, as in Touch.
        if (find(path) != m_items.end())
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
        const QByteArray value = item.command ? item.path.toUtf8() : fileNameToBytes(item.path);
        if (!IniFile::canHoldValue(value)) {
            leftOut.append(item.path);
            continue;
        }
        if (item.command) {
            ini.writeString(kSection, pathKey(count), QByteArray());
            ini.deleteKey(kSection, encodingKey(count));
            ini.writeUtf8(kSection, commandKey(count), item.path);
        } else {
            ini.writeExact(kSection, pathKey(count), value);
            ini.writeInteger(kSection, encodingKey(count), item.encoding.storedCode());
            ini.deleteKey(kSection, commandKey(count));
        }
        ++count;
    }
    for (int i = count; i < kMaxCount; ++i) {
        ini.deleteKey(kSection, pathKey(i));
        ini.deleteKey(kSection, encodingKey(i));
        ini.deleteKey(kSection, commandKey(i));
    }
    return leftOut;
}
