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
    char16_t Char;
};

// Character -> character: every byte that decodes to From decodes to To instead.
struct CharSubstitution
{
    char16_t From;
    char16_t To;
};

struct CodepageBackend
{
    CodepageBackendKind Kind = CodepageBackendKind::None;
    const char *Name = nullptr; // ICU or iconv converter name
    // Decode through a 256-entry table built from the converter one byte at a
    // time. ICU pages with one byte per character get a table anyway; this
    // flag forces it for iconv pages and for the single-byte half of a mixed page.
    bool ForceTable = false;
    std::span<const ByteOverride> Overrides;
    std::span<const CharSubstitution> Substitutions;
};

// The back end of a Windows code page number (0, 1, 2: ANSI = UTF-8, OEM = 437,
// Mac = Mac Roman). Kind None when no converter is known for it.
CodepageBackend BackendForCodepage(qint32 codepage);
