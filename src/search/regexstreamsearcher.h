#pragma once

#include "text/encoding.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <limits>
#include <memory>
#include <stop_token>
#include <vector>

class FileSource;
struct pcre2_real_match_data_8;
struct PatternInfo;

// Finds the matches of a PCRE2 pattern in a source of any size and input
// encoding without loading it: the source is decoded into UTF-8 fills of
// SearchBufferSize bytes, each behind the text kept from the one before, and
// PCRE2's DFA matcher reports the longest match at the leftmost start.
//
// The results equal one DFA run over the whole decoded text, whatever the
// sizes: a match still open at the end of a fill (a partial match) keeps its
// text and is run again over the next fill, and every fill keeps at least
// OverlapBufferSize bytes, and as much as the pattern looks behind, in front
// of where the next attempt starts. Only a match candidate longer than
// MaxCarryBytes continues by DFA restart without its text; when it fails,
// the search reads the source again from the character after its start.
// Memory is bounded by these sizes, never by the source.
//
//   m_text: [ kept context | carried partial match | new fill ]
//           0              ^ attempt                         m_len
//
// Positions count from where the source was attached: in UTF-8 bytes, in
// characters (code points) and in the source's raw bytes.
class RegexStreamSearcher final
{
public:
    struct Match
    {
        qint64 start = 0, length = 0;           // UTF-8 bytes
        qint64 startChars = 0, lengthChars = 0; // characters
        qint64 rawStart = 0, rawLength = 0;     // bytes of the source
    };
    // FindNext results besides PCRE2's own codes.
    static constexpr int resultStopped = -1000;
    static constexpr int resultReadError = -1001;
    static constexpr int resultWorkspaceLimit = -1002;

    RegexStreamSearcher();
    ~RegexStreamSearcher();
    RegexStreamSearcher(const RegexStreamSearcher &) = delete;
    RegexStreamSearcher &operator=(const RegexStreamSearcher &) = delete;

    quint32 searchBufferSize = 32768;
    quint32 overlapBufferSize = 2048;
    // Raw bytes asked of the source at once; large reads cost fewer calls.
    quint32 readSize = 1 << 18;
    char32_t replacementCharacter = U'?';
    quint32 workSpaceSize = 64; // integers; grows on demand up to WorkSpaceLimitBytes
    qint64 workSpaceLimitBytes = qint64(1) << 20;
    quint32 outputVectorSize = 64; // integers
    // PCRE2 bits; PCRE2_UTF is always added to the compile options.
    quint32 compileOptionBits;
    quint32 matchOptionBits = 0;
    // UTF-8 bytes of a match candidate kept in memory at most.
    qint64 maxCarryBytes = qint64(1) << 20;
    // Matches are whole words: no letter, digit, underscore or code above 127
    // right before or after them. Read by SetMatchPattern.
    bool wholeWords = false;

    // Compiles; on failure false with PCRE2's message and the byte offset
    // in the pattern as given.
    bool setMatchPattern(const QByteArray &utf8, QString *error = nullptr,
                         qsizetype *errorOffset = nullptr);
    bool hasBackReferences() const;
    // What the pattern as typed holds; valid once setMatchPattern succeeded.
    const PatternInfo &patternInfo() const { return *m_info; }

    // Reads source from start on; resets the position state, keeps buffers.
    // The encoding is UTF-16 or one of the list's first two entries
    // (ContractError otherwise).
    void setStream(FileSource *source, qint64 start, Encoding encoding, std::stop_token stop = {});
    // After SetStream: the search begins at the raw offset from (a character
    // start, counted from the attach point) as a run that had passed
    // contextFrom would, with that text in front for what the pattern looks
    // behind at; the UTF-8 and character positions then count from
    // contextFrom. False when stopped or on a read error.
    bool startAt(qint64 from, qint64 contextFrom);
    // Matches that start at this raw offset (from the attach point) or
    // later are not looked for: FindNext reports PCRE2_ERROR_NOMATCH, and
    // reads no further than a match starting before it needs.
    qint64 startLimit = std::numeric_limits<qint64>::max();
    // Bytes in front of an attempt that a fill keeps.
    qsizetype contextBytes() const { return m_context; }

    // For a pattern that stays in its line, over text that is all ASCII and
    // ends at a line break or at the end of the source: where the first match
    // starts, found by the JIT over the whole text at once; -1 when there is
    // none, -2 when the JIT cannot tell (it does not run this pattern, or
    // gave up on a limit).
    static constexpr qsizetype unknownMatch = -2;
    qsizetype firstMatchInLines(const char *text, qsizetype size) const;

    // The next match after the previous one: PCRE2's result (0 or more for a
    // match), PCRE2_ERROR_NOMATCH at the end, or one of the Result codes.
    int findNext(Match &match);
    // The source offset of a failed read, or of the workspace limit.
    qint64 errorOffset() const { return m_errorOffset; }

    // Before each fill but the first, with the raw bytes decoded so far.
    std::function<void(bool &abort, qint64 rawRead)> onProgress;

private:
    struct Pcre;
    enum class Input : quint8 { Ansi, Oem, Utf16LE, Utf16BE };

    bool compile(const QByteArray &utf8, QString *error, qsizetype *errorOffset);
    bool loadFirst();
    bool rewind(const Match &keepFrom, qsizetype attempt);
    bool load(qsizetype keepFrom);
    bool decode(qsizetype want);
    bool decodeFill(qsizetype want);
    bool fillRaw();
    void Emit(char32_t ch);
    qsizetype countChars(qsizetype from, qsizetype to) const;
    qint64 rawBytes(qsizetype from, qsizetype to) const;
    Match positionOf(qsizetype offset) const;
    int run(quint32 options, std::vector<int> &workspace, qsizetype length,
            pcre2_real_match_data_8 *data = nullptr);
    int runLong(quint32 options, qsizetype *end);
    qsizetype charStartAt(qsizetype offset) const;
    qint64 rawDecoded() const { return m_rawRead - (m_rawLen - m_rawPos); }
    bool prefilter(quint32 options);

    std::unique_ptr<Pcre> m_pcre;
    std::unique_ptr<const PatternInfo> m_info;
    qsizetype m_context = 2048; // bytes kept in front of an attempt
    // Bytes after a match that its end may assert about.
    qsizetype m_lookAhead = 4;

    FileSource *m_source = nullptr;
    qint64 m_attachPos = 0;
    Input m_input = Input::Ansi;
    std::stop_token m_stop;
    qint64 m_filePos = 0; // next raw byte to read
    qint64 m_fileEnd = 0;
    qint64 m_rawRead = 0;
    std::vector<unsigned char> m_raw;
    qsizetype m_rawPos = 0, m_rawLen = 0;
    bool m_rawEof = false;

    std::vector<char> m_text;
    qsizetype m_len = 0;
    qsizetype m_attempt = 0;
    qsizetype m_lastHigh = -1; // the last byte of m_text above 127, or -1
    // Where m_text[0] lies, counted from the attach point.
    qint64 m_base = 0, m_baseChars = 0, m_baseRaw = 0;
    bool m_loaded = false;
    bool m_eof = false;
    bool m_skipChar = false;     // the last match was empty
    bool m_restart = false;      // continuing a long candidate by DFA restart
    bool m_restartFresh = false; // the long candidate is taken up from its start
    Match m_restartStart;
    // Where the search reads again after a failed long candidate: its text
    // from the context in front of it, the attempt at its second character.
    Match m_retryFrom;
    qsizetype m_retryAttempt = 0;
    // The longest match the long candidate completed so far, with the
    // context in front of its end; Start -1 when none.
    Match m_restartEnd, m_restartEndFrom;
    std::vector<int> m_workspaceCopy;
    qint64 m_errorOffset = -1;
};
