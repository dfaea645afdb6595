#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class IniFile;

// One tab as a session file stores it.
struct SessionTab
{
    struct Pane;
    SessionTab() = default;
    SessionTab(QString path_, QByteArray caption_ = {});

    QString path;       // empty for a command's tab
    QByteArray caption; // UTF-8; empty: the tab shows its file name
    QString command;    // the command whose output the tab showed; run again only when asked
    // The encoding the tab showed its file in, as Encoding::storedCode; none
    // for a session written before encodings were kept.
    std::optional<qint32> encoding;
    // The matching-lines pane, when it was open: its text, how it is
    // matched, and its share of the tab in per mille.
    struct Pane
    {
        enum Flag { CaseSensitive = 1, WholeWords = 2, Regex = 4, Invert = 8 };
        QString text; // empty: no pane
        int flags = 0;
        int perMille = 250;
        bool operator==(const Pane &) const = default;
    };
    Pane pane;

    bool operator==(const SessionTab &) const = default;
};

inline SessionTab::SessionTab(QString path_, QByteArray caption_)
    : path(std::move(path_)), caption(std::move(caption_))
{}

// A session file: [Tabs] Num, Active and the paths 0..Num-1, [Nicks] the
// captions in the same order, [Panes] the open panes as Text<n>, Flags<n>
// and Ratio<n>, [Encodings] the encodings the files were shown in, [Commands]
// the command lines of the tabs that showed one,
// which have no path (so a program that knows no commands skips them). A path is stored as the
// bytes of the file's name, so a name that is not UTF-8 reopens the same file.
struct SessionData
{
    std::vector<SessionTab> tabs; // entries with neither path nor command are left out
    int active = -1;              // the stored index; -1 when none was active
};

// Reads the entries 0..Num-1 that hold a path, in order. Only keys present in
// the file are visited, so a huge or negative Num costs nothing; a duplicate
// key counts once (the first). Active defaults to Num - 1.
SessionData readSession(const IniFile &ini);

// Writes Num, Active and one entry per tab; keys beyond Num stay as they are
// and are never read. A tab whose path a line cannot hold is left out, the
// others close up, and Active follows its tab (-1 when that tab was left
// out). Returns the paths left out.
QStringList writeSession(IniFile &ini, const std::vector<SessionTab> &tabs, int active);

// The recent sessions list: most recent first, at most kMaxCount paths,
// compared without regard to case. Stored in [SessHistory] as keys 0..9.
class RecentSessions final
{
public:
    static constexpr int kMaxCount = 10;

    void add(const QString &path);
    void clear() { m_items.clear(); }
    const QStringList &items() const { return m_items; }
    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }

    void load(const IniFile &ini);
    // Writes the paths a line can hold, numbered from 0 without gaps, and
    // deletes the keys beyond them; returns the paths left out.
    QStringList save(IniFile &ini) const;

private:
    QStringList m_items;
};
