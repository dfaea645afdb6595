#include "app/findsettings.h"

#include "app/inifile.h"

#include <algorithm>

namespace {
const QByteArray kFind = "Find";
const QByteArray kHistory = "FindHistory";
} // namespace

void AddToFindHistory(QStringList &history, const QString &text)
{
    history.removeIf(
        [&text](const QString &item) { return item.compare(text, Qt::CaseInsensitive) == 0; });
    history.prepend(text);
    while (history.size() > FindState::kHistoryItems)
        history.removeLast();
}

void LoadFindSettings(const IniFile &ini, FindState &state)
{
    state.FindHistory.clear();
    for (int i = 0; i < FindState::kHistoryItems; ++i) {
        const QString item = ini.ReadUtf8(kHistory, QByteArray::number(i), QString());
        if (!item.isEmpty())
            state.FindHistory.append(item);
    }
    if (!state.FindHistory.isEmpty())
        state.FindText = state.FindHistory.first();
    state.FindWords = ini.ReadBool(kFind, "Words", state.FindWords);
    state.FindCase = ini.ReadBool(kFind, "Case", state.FindCase);
    state.FindBack = ini.ReadBool(kFind, "Back", state.FindBack);
    state.FindRegex = ini.ReadBool(kFind, "Regex", state.FindRegex);
    state.FindMLine = ini.ReadBool(kFind, "MLine", state.FindMLine);
    state.FindOrigin = ini.ReadBool(kFind, "Origin", state.FindOrigin);
}

void SaveFindSettings(IniFile &ini, const FindState &state)
{
    const int count = int(std::min<qsizetype>(state.FindHistory.size(), FindState::kHistoryItems));
    for (int i = 0; i < count; ++i)
        ini.WriteUtf8(kHistory, QByteArray::number(i), state.FindHistory[i]);
    for (int i = count; i < FindState::kHistoryItems; ++i)
        ini.DeleteKey(kHistory, QByteArray::number(i));
    ini.WriteBool(kFind, "Words", state.FindWords);
    ini.WriteBool(kFind, "Case", state.FindCase);
    ini.WriteBool(kFind, "Back", state.FindBack);
    ini.WriteBool(kFind, "Regex", state.FindRegex);
    ini.WriteBool(kFind, "MLine", state.FindMLine);
    ini.WriteBool(kFind, "Origin", state.FindOrigin);
}
