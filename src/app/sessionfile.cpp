#include "app/sessionfile.h"

#include "app/inifile.h"
#include "text/fileutil.h"

#include <algorithm>

namespace {

const QByteArray kTabs("Tabs");
const QByteArray kNicks("Nicks");
const QByteArray kPanes("Panes");
const QByteArray kCommands("Commands");
const QByteArray kEncodings("Encodings");
const QByteArray kHistory("SessHistory");

QByteArray numberKey(int i)
{
    return QByteArray::number(i);
}

// The number a key names, when the key is exactly what NumberKey writes.
bool entryNumber(const QString &key, int count, int *number)
{
    bool ok = false;
    const int n = key.toInt(&ok);
    if (!ok || n < 0 || n >= count || key != QString::number(n))
        return false;
    *number = n;
    return true;
}

} // namespace

SessionData readSession(const IniFile &ini)
{
    SessionData data;
    const int count = ini.readInteger(kTabs, "Num", 0);
    data.active = ini.readInteger(kTabs, "Active", count - 1);
    if (count <= 0)
        return data;
    // The keys present bound the work, whatever Num claims.
    std::vector<int> numbers;
    for (const QByteArray &section : {kTabs, kCommands})
        for (const QString &key : ini.readSectionKeys(section)) {
            int n = 0;
            if (entryNumber(key, count, &n))
                numbers.push_back(n);
        }
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    for (const int n : numbers) {
        const QString path = fileNameFromBytes(ini.readString(kTabs, numberKey(n), {}));
        const QString command =
            path.isEmpty() ? ini.readUtf8(kCommands, numberKey(n), QString()) : QString();
        if (path.isEmpty() && command.trimmed().isEmpty())
            continue;
        SessionTab tab(path, ini.readString(kNicks, numberKey(n), QByteArray()));
        tab.command = command;
        // Only a file has an encoding; WriteSession stores none for a command.
        if (!path.isEmpty() && ini.keyExists(kEncodings, numberKey(n)))
            tab.encoding = ini.readInteger(kEncodings, numberKey(n), 0);
        // Without its text there is no pane, whatever flags and share are left.
        tab.pane.text = ini.readUtf8(kPanes, "Text" + numberKey(n), QString());
        if (!tab.pane.text.isEmpty()) {
            tab.pane.flags = ini.readInteger(kPanes, "Flags" + numberKey(n), 0) & 15;
            tab.pane.perMille =
                std::clamp(ini.readInteger(kPanes, "Ratio" + numberKey(n), 250), 50, 950);
        }
        data.tabs.push_back(std::move(tab));
    }
    return data;
}

QStringList writeSession(IniFile &ini, const std::vector<SessionTab> &tabs, int active)
{
    QStringList leftOut;
    std::vector<const SessionTab *> kept;
    int keptActive = -1;
    for (size_t i = 0; i < tabs.size(); ++i) {
        const bool command = !tabs[i].command.isEmpty();
        if (command ? !IniFile::canHoldValue(tabs[i].command.toUtf8())
                    : !IniFile::canHoldValue(fileNameToBytes(tabs[i].path))) {
            leftOut.append(command ? tabs[i].command : tabs[i].path);
            continue;
        }
        if (int(i) == active)
            keptActive = int(kept.size());
        kept.push_back(&tabs[i]);
    }
    ini.writeInteger(kTabs, "Num", int(kept.size()));
    ini.writeInteger(kTabs, "Active", keptActive);
    ini.eraseSection(kPanes);
    ini.eraseSection(kCommands);
    ini.eraseSection(kEncodings);
    for (size_t i = 0; i < kept.size(); ++i) {
        if (!kept[i]->command.isEmpty()) {
            ini.deleteKey(kTabs, numberKey(int(i)));
            ini.writeUtf8(kCommands, numberKey(int(i)), kept[i]->command);
        } else {
            ini.writeExact(kTabs, numberKey(int(i)), fileNameToBytes(kept[i]->path));
            if (kept[i]->encoding)
                ini.writeInteger(kEncodings, numberKey(int(i)), *kept[i]->encoding);
        }
        const SessionTab::Pane &pane = kept[i]->pane;
        if (!pane.text.isEmpty() && IniFile::canHoldValue(pane.text.toUtf8())) {
            ini.writeUtf8(kPanes, "Text" + numberKey(int(i)), pane.text);
            ini.writeInteger(kPanes, "Flags" + numberKey(int(i)), pane.flags);
            ini.writeInteger(kPanes, "Ratio" + numberKey(int(i)), pane.perMille);
        }
        // A caption with a line break cannot be stored: the tab comes back
        // with its file name rather than with an older caption.
        if (IniFile::canHoldValue(kept[i]->caption))
            ini.writeExact(kNicks, numberKey(int(i)), kept[i]->caption);
        else
            ini.writeString(kNicks, numberKey(int(i)), QByteArray());
    }
    return leftOut;
}

void RecentSessions::add(const QString &path)
{
    m_items.removeIf(
        [&path](const QString &item) { return item.compare(path, Qt::CaseInsensitive) == 0; });
    m_items.prepend(path);
    while (m_items.size() > kMaxCount)
        m_items.removeLast();
}

void RecentSessions::load(const IniFile &ini)
{
    m_items.clear();
    for (int i = 0; i < kMaxCount; ++i) {
        const QString path = fileNameFromBytes(ini.readString(kHistory, numberKey(i), {}));
        const bool known = std::any_of(m_items.begin(), m_items.end(), [&path](const QString &p) {
            return p.compare(path, Qt::CaseInsensitive) == 0;
        });
        if (!path.isEmpty() && !known)
            m_items.append(path);
    }
}

QStringList RecentSessions::save(IniFile &ini) const
{
    QStringList leftOut;
    int count = 0;
    for (const QString &path : m_items) {
        const QByteArray bytes = fileNameToBytes(path);
        if (!IniFile::canHoldValue(bytes)) {
            leftOut.append(path);
            continue;
        }
        ini.writeExact(kHistory, numberKey(count++), bytes);
    }
    for (int i = count; i < kMaxCount; ++i)
        ini.deleteKey(kHistory, numberKey(i));
    return leftOut;
}
