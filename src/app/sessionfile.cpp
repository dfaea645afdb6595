#include "app/sessionfile.h"

#include "app/inifile.h"
#include "text/fproc.h"

#include <algorithm>

namespace {

const QByteArray kTabs("Tabs");
const QByteArray kNicks("Nicks");
const QByteArray kHistory("SessHistory");

QByteArray NumberKey(int i)
{
    return QByteArray::number(i);
}

// The number a key names, when the key is exactly what NumberKey writes.
bool EntryNumber(const QString &key, int count, int *number)
{
    bool ok = false;
    const int n = key.toInt(&ok);
    if (!ok || n < 0 || n >= count || key != QString::number(n))
        return false;
    *number = n;
    return true;
}

} // namespace

SessionData ReadSession(const IniFile &ini)
{
    SessionData data;
    const int count = ini.ReadInteger(kTabs, "Num", 0);
    data.Active = ini.ReadInteger(kTabs, "Active", count - 1);
    if (count <= 0)
        return data;
    // The keys present bound the work, whatever Num claims.
    std::vector<int> numbers;
    for (const QString &key : ini.ReadSectionKeys(kTabs)) {
        int n = 0;
        if (EntryNumber(key, count, &n))
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const int n : numbers) {
        const QString path = FileNameFromBytes(ini.ReadString(kTabs, NumberKey(n), {}));
        if (path.isEmpty())
            continue;
        data.Tabs.push_back({path, ini.ReadString(kNicks, NumberKey(n), QByteArray())});
    }
    return data;
}

QStringList WriteSession(IniFile &ini, const std::vector<SessionTab> &tabs, int active)
{
    QStringList leftOut;
    std::vector<const SessionTab *> kept;
    int keptActive = -1;
    for (size_t i = 0; i < tabs.size(); ++i) {
        if (!IniFile::CanHoldValue(FileNameToBytes(tabs[i].Path))) {
            leftOut.append(tabs[i].Path);
            continue;
        }
        if (int(i) == active)
            keptActive = int(kept.size());
        kept.push_back(&tabs[i]);
    }
    ini.WriteInteger(kTabs, "Num", int(kept.size()));
    ini.WriteInteger(kTabs, "Active", keptActive);
    for (size_t i = 0; i < kept.size(); ++i) {
        ini.WriteExact(kTabs, NumberKey(int(i)), FileNameToBytes(kept[i]->Path));
        // A caption with a line break cannot be stored: the tab comes back
        // with its file name rather than with an older caption.
        if (IniFile::CanHoldValue(kept[i]->Caption))
            ini.WriteExact(kNicks, NumberKey(int(i)), kept[i]->Caption);
        else
            ini.WriteString(kNicks, NumberKey(int(i)), QByteArray());
    }
    return leftOut;
}

void RecentSessions::Add(const QString &path)
{
    m_items.removeIf(
        [&path](const QString &item) { return item.compare(path, Qt::CaseInsensitive) == 0; });
    m_items.prepend(path);
    while (m_items.size() > kMaxCount)
        m_items.removeLast();
}

void RecentSessions::Load(const IniFile &ini)
{
    m_items.clear();
    for (int i = 0; i < kMaxCount; ++i) {
        const QString path = FileNameFromBytes(ini.ReadString(kHistory, NumberKey(i), {}));
        const bool known = std::any_of(m_items.begin(), m_items.end(), [&path](const QString &p) {
            return p.compare(path, Qt::CaseInsensitive) == 0;
        });
        if (!path.isEmpty() && !known)
            m_items.append(path);
    }
}

QStringList RecentSessions::Save(IniFile &ini) const
{
    QStringList leftOut;
    int count = 0;
    for (const QString &path : m_items) {
        const QByteArray bytes = FileNameToBytes(path);
        if (!IniFile::CanHoldValue(bytes)) {
            leftOut.append(path);
            continue;
        }
        ini.WriteExact(kHistory, NumberKey(count++), bytes);
    }
    for (int i = count; i < kMaxCount; ++i)
        ini.DeleteKey(kHistory, NumberKey(i));
    return leftOut;
}
