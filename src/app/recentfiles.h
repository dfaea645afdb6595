#pragma once

#include "text/encoding.h"

#include <QString>
#include <QStringList>

#include <vector>

class IniFile;

struct RecentFile
{
    QString path; // the command line when command is set
    Encoding encoding;
    bool command = false;
};

// The recent files list: most recent first, at most kMaxCount entries, paths
// compared without regard to case. Stored in [OpenHistory] as keys 0..9
// (the paths' bytes: UTF-8, or whatever bytes a name holds) and 0enc..9enc
// (the encodings' stored codes, kept as read even when no entry has them).
// A command is stored under 0cmd..9cmd with its path key empty, which a
// program that knows no commands skips.
class RecentFiles final
{
public:
    static constexpr int kMaxCount = 10;

    // Moves the path to the top, or inserts it there with ANSI, and returns
    // the encoding remembered for it.
    Encoding touch(const QString &path, bool *known = nullptr);
    // Moves the command line to the top, or inserts it there.
    void touchCommand(const QString &command);
    // Sets the encoding of the path's entry, when the path is in the list.
    void setEncoding(const QString &path, Encoding encoding);
    void clear() { m_items.clear(); }

    const std::vector<RecentFile> &items() const { return m_items; }
    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }

    void load(const IniFile &ini);
    // Writes the entries whose path a settings line can hold, numbered from 0
    // without gaps, and deletes the keys of the numbers beyond them. Returns
    // the paths left out (those with a line break), most recent first.
    QStringList save(IniFile &ini) const;

private:
    std::vector<RecentFile>::iterator find(const QString &path, bool command = false);

    std::vector<RecentFile> m_items;
};
