#pragma once

#include <QtGlobal>

#include <span>

// Where the decoder of one Windows code page comes from. ICU is the main back
// end; glibc iconv fills in the pages ICU lacks. A few pages that neither has
// are derived from a close ICU table plus a short list of differences.

// Utf8 is ICU's UTF-8 converter behind a fast path for ASCII text.
enum class CodepageBackendKind { None, Utf8, Icu, Iconv };

// Byte -> character, applied to the derived 256-entry table.
struct ByteOverride
{
    quint8 Byte;
    char16_t character;
};

// Character -> character: every byte that decodes to From decodes to To instead.
struct CharSubstitution
{
    char16_t from;
    char16_t to;
};

// A two-byte sequence that the ICU table leaves unassigned but the page maps.
struct DoubleByteAddition
{
    quint8 lead;
    quint8 trail;
    char16_t character;
};

// The character that ch becomes under the substitutions. Each character is
// looked up once, so a list may rotate characters among themselves.
inline char16_t substitute(char16_t ch, std::span<const CharSubstitution> substitutions)
{
    for (const CharSubstitution &s : substitutions) {
        if (s.from == ch)
            return s.to;
    }
    return ch;
}

struct CodepageBackend
{
    CodepageBackendKind Kind = CodepageBackendKind::None;
    const char *name = nullptr; // ICU or iconv converter name
    // Decode through a 256-entry table built from the converter one byte at a
    // time. ICU pages with one byte per character get a table anyway; this
    // flag forces it for iconv pages and for the single-byte half of a mixed page.
    bool forceTable = false;
    std::span<const ByteOverride> overrides;
    // Applied to every unit the page decodes to, through a table or not.
    std::span<const CharSubstitution> substitutions;
    std::span<const DoubleByteAddition> additions; // ICU multi-byte pages only
};

// The back end of a Windows code page number (0, 1, 2: ANSI = UTF-8, OEM = 437,
// Mac = Mac Roman). Kind None when no converter is known for it.
CodepageBackend backendForCodepage(qint32 codepage);
