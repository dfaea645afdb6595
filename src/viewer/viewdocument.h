#pragma once

#include "viewer/filesource.h"
#include "viewer/linecount.h"
#include "viewer/textformat.h"
#include "viewer/viewtypes.h"
#include "text/codepagelist.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QIODevice;

// The document model of one viewer: the source, its 64-bit size and a window
// of it held in a fixed-size read buffer. Nothing here loads the file whole.
//
//   file:   0 ........ BufferPos ......................... BufferPos+BufferSize ...... FileSize
//   buffer:            [ BufMaxOffset | BufMaxOffset      | BufMaxOffset       ]
//                        one screen     the view may start  one screen after the
//                        before         anywhere in here    latest view start
//
// ReadBuffer moves the window only when a position leaves its first two thirds,
// and then places it one third before that position. A "screen" is the most
// lines one view shows plus the partly visible one under them, each of
// MaxLength characters and a CR LF: whatever the view's height, the lines it
// draws from any start in the middle third lie inside the window.
class ViewDocument final : public QObject
{
    Q_OBJECT

public:
    // Other: data the program makes (the lines another view lists), read
    // through a source handed over whole.
    enum class SourceKind { None, File, Stream, Other };
    enum class OpenResult { Ok, CannotOpen, NoSize };

    ViewDocument();
    ~ViewDocument();
    ViewDocument(const ViewDocument &) = delete;
    ViewDocument &operator=(const ViewDocument &) = delete;

    // Source. A fresh open detects the UTF-16 byte order from the data; a
    // reopen (a reload of the file shown) keeps an order set by
    // SetUnicodeOrderValue since the last fresh open, so a reload does not
    // undo the user's choice. A fresh open whose first read fails is
    // CannotOpen: a file that cannot be read at all (/proc/self/mem) would
    // otherwise ask for a Retry that never helps. A reopen hands such a
    // failure to OnReadError as any later read does. A reopen records how the
    // file differs from the one open before (lastReloadReason).
    OpenResult openFile(const QString &fileName, bool reopen = false);
    // How openFile makes its source from the name; unset, it reads the file
    // as it is. A compressed log sets one that reads it decompressed.
    using SourceOpener = std::function<std::unique_ptr<FileSource>(
        const QString &fileName, LocalFileSource::OpenError *error)>;
    void setSourceOpener(SourceOpener opener) { m_opener = std::move(opener); }
    bool hasSourceOpener() const { return bool(m_opener); }
    // Reads from a caller's seekable device. The caller keeps ownership: the
    // device must stay open and alive until Close or the next open; the
    // document never deletes it. A null device just closes.
    void openStream(QIODevice *stream, bool keepChosenOrder = false);
    // Shows the data of a source of the caller's making; a null one just
    // closes. Its reopen (a mode change) reads source->openAnother().
    void openSource(std::unique_ptr<FileSource> source, bool keepChosenOrder = false);
    void close();
    bool sourceAssigned() const { return m_source != nullptr; }
    SourceKind kind() const { return m_kind; }
    QIODevice *stream() const { return m_stream; }
    // The display window's source. Workers never read through it: they take
    // OpenAnother() and read on their own descriptor.
    const FileSource *source() const { return m_source.get(); }
    qint64 fileSize() const { return m_fileSize; }
    bool readOK() const { return m_readOK; }
    // Device and inode of the open file: a rotated log is a different file
    // under the same name. Zero when no file is open.
    struct Identity
    {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const Identity &) const = default;
    };
    Identity fileIdentity() const { return m_identity; }

    // --- Reload
    // What the last reopen found: the file grew, shrank, is another file
    // under the name, or is gone; None after a fresh open or a close.
    ReloadReason lastReloadReason() const { return m_reloadReason; }
    // The file shown is gone (deleted, moved away): the document closes.
    void fileGone();
    // A file appeared under a name that was waited for: whatever stands
    // there now is another file than the one shown before.
    void fileAppeared() { m_reloadReason = ReloadReason::Replaced; }
    // A change of the file was reported. reloadDue follows at once, or, while
    // reloads are held (a job reads the document), once the hold ends.
    void reportChange();
    void setReloadsHeld(bool held);
    bool reloadPending() const { return m_reloadPending; }
    // The source a held reload was for is no longer shown.
    void dropPendingReload() { m_reloadPending = false; }

    // Asked when a window read fails; returns true to retry. Without a
    // handler a failed read is given up at once.
    using RetryQuestion = std::function<bool()>;
    void setReadErrorHandler(RetryQuestion ask) { m_askRetry = std::move(ask); }

    bool readSource(char *buffer, qint64 count, qint64 *bytesRead, qint64 position) const;
    void readBuffer(qint64 position);
    bool isOutOfWindow(qint64 position) const
    {
        return position < 0 || position > maxPos() || position < m_bufferPos ||
               position >= m_bufferPos + m_bufferSize;
    }

    // Modes and text
    ViewMode mode() const { return m_mode; }
    void setModeValue(ViewMode mode) { m_mode = mode; }
    int charSize() const { return isUnicodeMode() ? 2 : 1; }
    bool isTextMode() const { return m_mode == vbmodeText || m_mode == vbmodeUnicode; }
    bool isUnicodeMode() const { return m_mode == vbmodeUnicode || m_mode == vbmodeUHex; }
    bool isBigEndian() const { return m_unicodeOrder == unicodeOrderBig; }
    quint8 unicodeOrder() const { return m_unicodeOrder; }
    // An order chosen by the user: it holds until the next fresh open.
    void setUnicodeOrderValue(quint8 order) { m_unicodeOrder = m_chosenOrder = order; }
    qint64 maxPos() const;
    qint64 alignDown(qint64 position) const
    {
        return isUnicodeMode() ? position & ~qint64(1) : position;
    }

    Encoding textEncoding;
    bool textOemSpecial = false;
    int firstPrintable = 32;

    int maxLengths[modeCount];
    int maxLength() const { return m_maxLength; }
    // The current text settings as a value (for line rules and workers).
    TextFormat format() const;
    int offsetDigits() const { return m_offsetDigits; }

    // Window
    qint64 bufferPos() const { return m_bufferPos; }
    qint64 bufferSize() const { return m_bufferSize; }
    qint64 bufMaxOffset() const { return m_bufMaxOffset; }
    const char *buffer() const { return m_buffer.data(); }
    // Window reads since the document was created (benchmarks and tests).
    quint64 windowReads() const { return m_windowReads; }

    // The displayable character at a file offset (0 past the data).
    char16_t getChar(qint64 position) const
    {
        if (m_fileSize < charSize())
            return 0;
        return displayableUnit(rawChar(position), m_mode, firstPrintable, textEncoding);
    }
    // The unit at a file offset without the display substitutions.
    char16_t rawChar(qint64 position) const;
    QString getHex(qint64 position) const;
    bool isNonPrintable(char16_t c) const { return isNonPrintableUnit(c, m_mode, firstPrintable); }
    // The encoding its bytes are read in now: UTF-16 in the Unicode modes.
    Encoding shownEncoding() const
    {
        return isUnicodeMode() ? Encoding::utf16(isBigEndian()) : textEncoding;
    }
    bool usesOemSpecial() const
    {
        return !isUnicodeMode() && textEncoding == encodingOem && textOemSpecial;
    }

    // Turns fetched units (bytes in the 8-bit modes) into display text. When
    // offsets is given it receives, per resulting character, the index of the
    // first unit it came from, so positions map back to exact byte offsets.
    QString decodeLine(const char16_t *units, int count, std::vector<int> *offsets = nullptr) const;

    // Line starts of the first bytes of the file, for the gutter's numbers;
    // empty once the document closes.
    const LineStarts &lineStarts() const { return m_lineStarts; }
    // Counts them afresh over the first size bytes, in the mode's unit (see
    // LineStarts::countLines).
    bool countLines(qint64 size, int maxCount);
    // How a line break looks in the bytes the document shows.
    LineCountUnit lineUnit() const;

    // Sizes the buffer from MaxLengths and reads the first window; false
    // when that read failed and mayRetry was off, or the user gave up.
    bool prepareAfterOpen(bool mayRetry = true);

Q_SIGNALS:
    // After every successful window read (line numbers, addresses follow it).
    void windowRead();
    // The file should be read again: its owner reopens it (openFile with
    // reopen), which records what changed.
    void reloadDue();

private:
    RetryQuestion m_askRetry;
    SourceOpener m_opener;
    bool readWindow(qint64 position, bool mayRetry);
    void detectByteOrder();
    void computeOffsetDigits();

    SourceKind m_kind = SourceKind::None;
    std::unique_ptr<FileSource> m_source;
    QIODevice *m_stream = nullptr; // not owned
    qint64 m_fileSize = 0;
    bool m_readOK = true;
    Identity m_identity;
    ReloadReason m_reloadReason = ReloadReason::None;
    bool m_reloadsHeld = false;
    bool m_reloadPending = false;

    std::vector<char> m_buffer;
    qint64 m_bufMaxOffset = 0;
    qint64 m_bufferSize = 0;
    qint64 m_bufferPos = 0;

    ViewMode m_mode = vbmodeText;
    quint8 m_unicodeOrder = unicodeOrderUndetected;
    quint8 m_chosenOrder = unicodeOrderUndetected; // survives Close, not a fresh open
    int m_maxLength = maxLengthDefault;
    int m_offsetDigits = 8;
    quint64 m_windowReads = 0;
    LineStarts m_lineStarts;
};
