#pragma once

#include "text/codepagelist.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Code page numbers, names and conversion of 8-bit text to UTF-16.
// Thread-safe: shared tables are built once, stateful converters are per thread.

// The Windows code page number of a list entry. ContractError for UTF-16 or
// an index outside the list.
qint32 codepageID(Encoding encoding);

// Display name as UTF-8: "Unicode (UTF-16 BE)", "Unicode (UTF-16 LE)", else
// the entry's title. ContractError for an index outside the list.
QByteArray codepageName(Encoding encoding);
// The short name the encoding goes by, as a status bar shows it: "UTF-8"
// for the system's own, "Windows-1251", "UTF-16 LE", "Shift-JIS"; the
// list's title where a page has no better-known name.
QByteArray encodingLabel(Encoding encoding);

// Whether a converter exists for the entry; false for UTF-16 and outside the list.
bool isCodepageSupported(Encoding encoding);
// Whether the encoding reads its bytes as UTF-8 (the system page, UTF-8).
bool isUtf8Page(Encoding encoding);
// Whether the page's bytes read by a state that earlier bytes set (the
// ISO-2022 shifts and designations, HZ, ISCII, UTF-7), so that a line may
// read otherwise alone than in the middle of a block.
bool isStatefulPage(Encoding encoding);

// Whether every byte of the entry is one character whatever surrounds it,
// so that a table of 256 characters decodes it; false for multi-byte and
// stateful pages and outside the list.
bool isSingleByteCodepage(Encoding encoding);

// Decodes 8-bit text of the entry. An undecodable sequence becomes U+FFFD for
// that sequence only. A page without converter (or a non-empty text that
// decodes to nothing) gives "?". Empty text gives an empty string.
// ContractError for UTF-16.
QString codepageToUnicode(const QByteArray &text, Encoding encoding);
QString codepageToUnicode(const char *data, qsizetype size, Encoding encoding);

// As CodepageToUnicode; offsets receives one entry per UTF-16 unit of the
// result: the index of the first byte of the text that unit came from (both
// units of a surrogate pair get the pair's first byte; a U+FFFD gets the first
// byte of the bad sequence). Where the result is "?" offsets is {0}.
// The offsets never decrease and stay below size; bytes that only switch state,
// such as an escape sequence, own no unit. A null offsets is the plain call,
// at no extra cost. ContractError also for a size of 2^31 or more.
QString codepageToUnicode(const char *data, qsizetype size, Encoding encoding,
                          std::vector<int> *offsets);

// Where decoding may begin so that it reads the text from there on as
// decoding the whole text does, and reads the character that holds pos: the
// last such position at or before pos (an index into data, below size).
// Multi-byte pages find one after a control, space or ASCII punctuation
// byte, which no character continues through; UTF-8 at any byte
// but a continuation byte; the stateful pages after a line break, or at a
// shift (ISO-2022-KR) or designation (ISO-2022-JP), that sets the state.
// Bytes that only switch state count with the character before them.
// Single-byte pages and UTF-16 (data starting at an even offset)
// need no context: pos itself, or the even position at or below it. -1 when
// the data before pos shows no such place (the start of a file always is one).
qsizetype decodeSyncBefore(const char *data, qsizetype size, qsizetype pos, Encoding encoding);

// How many of the 132 entries have a converter.
int supportedCodepageCount();
