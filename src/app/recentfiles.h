#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class IniFile;

struct RecentFile
{
    QString path;
    int encoding = 0; // -1 UTF-16 LE, -2 UTF-16 BE, otherwise a code page index
};

// The recent files list: most recent first, at most kMaxCount entries, paths
// compared without regard to case. Stored in [OpenHistory] as keys 0..9
// (the paths' bytes: UTF-8, or whatever bytes a name holds) and 0enc..9enc
// (encoding codes).
class RecentFiles final
{
public:
    static constexpr int kMaxCount = 10;

    // Moves the path to the top, or inserts it there with code 0, and returns
    // the encoding code remembered for it.
    int touch(const QString &path);
    // Sets the code of the path's entry, when the path is in the list.
    void setEncoding(const QString &path, int encoding);
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
    std::vector<RecentFile>::iterator find(const QString &path);

    std::vector<RecentFile> m_items;
};
