#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

// Helpers for strings: formatting, replacing, file name parts, tab expansion
// and clamping of numbers. Positions are 1-based; comparisons are exact and
// case-sensitive unless stated.

// The format with each argument, in order, put in place of the first "%s"
// still present. Surplus arguments are dropped; missing ones leave "%s".
QString formatStrW(const QString &format, const QStringList &args);

// The first occurrence of oldText replaced; unchanged when it does not occur
// (or is empty).
QString replaceFirstW(const QString &s, const QString &oldText, const QString &newText);

// ReplaceFirstW repeated until oldText no longer occurs, so an occurrence that
// a replacement forms with the text before it is replaced as well. When
// newText contains oldText that repetition would never end; then every
// occurrence of the original string is replaced once instead.
QString replaceAllW(const QString &s, const QString &oldText, const QString &newText);

// Index of the last character of s that is one of the delimiters; 0 when none.
int lastDelimiterW(const QString &delimiters, const QString &s);

// From the last "." to the end, dot included, when no "/" follows that dot;
// otherwise empty.
QString extractFileExtW(const QString &name);
// The part after the last "/".
QString extractFileNameW(const QString &name);

QString lowerCaseW(const QString &s);
QString stringOfCharW(QChar c, int count);

struct TabInfo
{
    int tabSize = 8;        // columns per tab
    int tabPos = 1;         // 1-based index of the tab, in the text as expanded so far
    bool tabOptimal = true; // to the next tab stop; false: always TabSize spaces
    bool showTabMarker = false;
    QChar tabMarker = QChar(0x2192);
};

// The replacement of one tab. ContractError "Tab size too small" when TabSize <= 0.
QString tabSpaces(const TabInfo &info);
// Every TAB replaced, left to right; info.TabPos ends at the last TAB expanded.
QString expandTabs(const QString &s, TabInfo &info);

// One final space or TAB removed, if there is one.
QString trimTrailingBlank(const QString &s);

QByteArray zerosToSpaces(const QByteArray &s);
QString zerosToSpacesW(const QString &s);

// Whether the file's extension is one of a comma-separated list (UTF-8, no
// spaces), compared without regard to the case of ASCII letters.
bool extensionInList(const QString &fileName, const QByteArray &list);

inline bool isLineBreakChar(char16_t c)
{
    return c == 13 || c == 10;
}

int min(int a, int b);
int max(int a, int b);
qint64 min64(qint64 a, qint64 b);
qint64 max64(qint64 a, qint64 b);

// In place: raise v to at least bound, or lower it to at most bound.
void limitMin(int &v, int bound);
void limitMax(int &v, int bound);
void limitMin64(qint64 &v, qint64 bound);
void limitMax64(qint64 &v, qint64 bound);
