#pragma once

#include "text/atomicfile.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// An INI file with profile-string semantics: section and key names match
// without regard to case, reads see the first of duplicate sections and keys,
// a value in double quotes reads without them, and every line the program
// does not write stays as it is. Writes change an in-memory copy; UpdateFile()
// replaces the file on disk in one atomic step, so a crash or a full disk
// leaves either the old or the new complete file.
//
// A line the program does not write is saved byte for byte, whatever its
// bytes (not UTF-8, control bytes); one longer than kMaxLineBytes is kept but
// never read. Runs of equal non-key lines are held once, so memory follows
// the distinct lines.
class IniFile final
{
public:
    // Points of UpdateFile() at which the save hook runs; a hook that throws
    // stands for a crash at that point.
    using SaveStep = AtomicWriteStep;
    using SaveHook = AtomicWriteHook;

    // Far beyond any settings or session file, low enough that a wrong file
    // cannot exhaust memory.
    static constexpr qsizetype kMaxLineBytes = 1 << 20;
    static constexpr qint64 kMaxFileBytes = qint64(64) << 20;
    static constexpr qsizetype kMaxLines = 1 << 16;

    explicit IniFile(const QString &path);

    // Reads the file; a missing file is an empty one. False (with LastError())
    // when the path exists but cannot be read as a settings file (unreadable,
    // no regular file, over kMaxFileBytes or kMaxLines); such a file is then
    // never overwritten by UpdateFile(). Never throws.
    bool load();
    // Takes data for the file's contents, as Load() takes what it reads.
    bool loadData(const QByteArray &data);
    // Whether the last Load() refused the file; TooLarge() tells whether for
    // its size (kMaxFileBytes or kMaxLines).
    bool readFailed() const { return m_readFailed; }
    bool tooLarge() const { return m_tooLarge; }
    QString fileName() const { return m_path; }

    QByteArray readString(const QByteArray &section, const QByteArray &key,
                          const QByteArray &def) const;
    // Decimal, or hexadecimal with a 0x or $ prefix (up to 32 bits, two's
    // complement); anything else, or a value out of range, gives def.
    int readInteger(const QByteArray &section, const QByteArray &key, int def) const;
    // Any integer other than 0 is true; a value that is no integer gives def.
    bool readBool(const QByteArray &section, const QByteArray &key, bool def) const;
    QString readUtf8(const QByteArray &section, const QByteArray &key, const QString &def) const;
    bool keyExists(const QByteArray &section, const QByteArray &key) const;
    // Keys of the section in file order, spelled as in the file, each once.
    QStringList readSectionKeys(const QByteArray &section) const;

    // Names are the program's own: a name that a line could not hold (empty,
    // padded, with a line break, "=" in a key, "]" in a section) throws
    // ContractError. A value that holds a line break or NUL cannot be stored
    // in a line: the key is deleted instead, so no stale value stays behind
    // and nothing foreign gets injected into the file.
    void writeString(const QByteArray &section, const QByteArray &key, const QByteArray &value);
    // Whether a line can hold the value: no line break, no NUL.
    static bool canHoldValue(const QByteArray &value);
    void writeInteger(const QByteArray &section, const QByteArray &key, int value);
    void writeBool(const QByteArray &section, const QByteArray &key, bool value);
    void writeUtf8(const QByteArray &section, const QByteArray &key, const QString &value);
    // Stores the value so that it reads back exactly, even one that begins
    // and ends with a quote (WriteUtf8 goes through it).
    void writeExact(const QByteArray &section, const QByteArray &key, const QByteArray &value);
    void deleteKey(const QByteArray &section, const QByteArray &key);
    void eraseSection(const QByteArray &section);

    // The bytes UpdateFile() would write.
    QByteArray serialize() const;

    // Replaces the file atomically, creating its folder when missing; a
    // symbolic link stays and its target is replaced. On failure shows
    // "Unable to write to %s" once, keeps the old file and returns false.
    // Requires a Load() first. Exceptions thrown by the save hook pass through.
    bool updateFile();
    QString lastError() const { return m_lastError; }

    void setSaveHook(SaveHook hook) { m_saveHook = std::move(hook); }

private:
    // Forgets what was read before: nothing loaded, no error yet.
    void startLoad();
    struct Line
    {
        QByteArray raw;     // without the line terminator
        QByteArray key;     // trimmed key of a key line, empty otherwise
        quint32 repeat = 1; // a run of equal lines
        bool cr = false;
        bool removed = false;
    };
    struct Section
    {
        QByteArray name;
        bool hasHeader = false;
        Line header;
        // New keys go at the end of body: after the last key line, before the
        // blank lines and comments that lead to the next section.
        std::vector<Line> body;
        std::vector<Line> trailer;
        QHash<QByteArray, qsizetype> keys; // folded key -> first live line in body
        bool erased = false;
    };

    const Line *findKey(const QByteArray &section, const QByteArray &key) const;
    std::optional<QByteArray> value(const QByteArray &section, const QByteArray &key) const;
    Section &sectionForWrite(const QByteArray &section);
    bool parse(const QByteArray &data);
    void finishSection(Section &section, std::vector<Line> &pending);
    void rebuildSectionIndex();
    void appendKeyLine(Section &section, const QByteArray &key, const QByteArray &value);
    bool fail(const QString &reason);

    QString m_path;
    QString m_lastError;
    std::vector<Section> m_sections;             // [0] holds the lines before the first header
    QHash<QByteArray, qsizetype> m_sectionIndex; // folded name -> first live section
    bool m_bom = false;
    bool m_crlf = false;
    bool m_loaded = false;
    bool m_readFailed = false;
    bool m_tooLarge = false;
    SaveHook m_saveHook;
};
