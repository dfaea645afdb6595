#pragma once

#include <QString>
#include <QStringList>

class IniFile;

// The program-wide search state: the text and flags of the last search
// started from the find dialog, and the texts searched before it. Shared by
// all tabs.
struct FindState
{
    static constexpr int kHistoryItems = 10;

    QString findText;
    bool findWords = false;
    bool findCase = false;
    bool findBack = false;
    bool findRegex = false;
    bool findMLine = false;
    bool findOrigin = false; // true: from the current page; false: the entire file
    QStringList findHistory; // most recent first
    // The quick find bar's own toggles.
    bool barCase = false;
    bool barWords = false;
    bool barRegex = false;

    bool operator==(const FindState &) const = default;
};

// Puts text at the top of the history: an entry equal to it without regard
// to letter case goes, and the oldest entries beyond the limit fall out.
void addToFindHistory(QStringList &history, const QString &text);

// [Find] (the bar's toggles too) and [FindHistory]. Loading clears the history, skips empty values
// and, when any text is left, makes the first one the search text.
void loadFindSettings(const IniFile &ini, FindState &state);
// Writes the history items and deletes the keys past them.
void saveFindSettings(IniFile &ini, const FindState &state);
