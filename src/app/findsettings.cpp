#include "app/findsettings.h"

#include "app/inifile.h"

#include <algorithm>

namespace {
const QByteArray kFind = "Find";
const QByteArray kHistory = "FindHistory";
} // namespace

void addToFindHistory(QStringList &history, const QString &text)
{
    history.removeIf(
        [&text](const QString &item) { return item.compare(text, Qt::CaseInsensitive) == 0; });
    history.prepend(text);
    while (history.size() > FindState::kHistoryItems)
        history.removeLast();
}

void loadFindSettings(const IniFile &ini, FindState &state)
{
    state.findHistory.clear();
    for (int i = 0; i < FindState::kHistoryItems; ++i) {
        const QString item = ini.readUtf8(kHistory, QByteArray::number(i), QString());
        if (!item.isEmpty())
            state.findHistory.append(item);
    }
    if (!state.findHistory.isEmpty())
        state.findText = state.findHistory.first();
    state.findWords = ini.readBool(kFind, "Words", state.findWords);
    state.findCase = ini.readBool(kFind, "Case", state.findCase);
    state.findBack = ini.readBool(kFind, "Back", state.findBack);
    state.findRegex = ini.readBool(kFind, "Regex", state.findRegex);
    state.findMLine = ini.readBool(kFind, "MLine", state.findMLine);
    state.findOrigin = ini.readBool(kFind, "Origin", state.findOrigin);
    state.barCase = ini.readBool(kFind, "BarCase", state.barCase);
    state.barWords = ini.readBool(kFind, "BarWords", state.barWords);
    state.barRegex = ini.readBool(kFind, "BarRegex", state.barRegex);
}

void saveFindSettings(IniFile &ini, const FindState &state)
{
    const int count = int(std::min<qsizetype>(state.findHistory.size(), FindState::kHistoryItems));
    for (int i = 0; i < count; ++i)
        ini.writeUtf8(kHistory, QByteArray::number(i), state.findHistory[i]);
    for (int i = count; i < FindState::kHistoryItems; ++i)
        ini.deleteKey(kHistory, QByteArray::number(i));
    ini.writeBool(kFind, "Words", state.findWords);
    ini.writeBool(kFind, "Case", state.findCase);
    ini.writeBool(kFind, "Back", state.findBack);
    ini.writeBool(kFind, "Regex", state.findRegex);
    ini.writeBool(kFind, "MLine", state.findMLine);
    ini.writeBool(kFind, "Origin", state.findOrigin);
    ini.writeBool(kFind, "BarCase", state.barCase);
    ini.writeBool(kFind, "BarWords", state.barWords);
    ini.writeBool(kFind, "BarRegex", state.barRegex);
}
