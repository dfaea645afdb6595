#pragma once

#include "rules/matchline.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>
#include <vector>

// The sub-strings filter: three expressions whose matches every viewer shows
// overwritten, character by character, with a chosen character. Values are
// 8-bit strings in the system code page (UTF-8 here).
struct SubstringsFilterValues
{
    std::array<QByteArray, 3> repFrom;              // empty: skipped
    std::array<QByteArray, 3> repTo{".", ".", "."}; // one character each

    bool operator==(const SubstringsFilterValues &) const = default;
};

// The filter compiled once. Immutable; shared by every viewer's drawing.
class SubstringsFilter
{
public:
    SubstringsFilter() = default;
    explicit SubstringsFilter(const SubstringsFilterValues &values);

    const SubstringsFilterValues &values() const { return m_values; }
    bool isActive() const { return m_active; }

    // The three passes in order, each on the result of the one before.
    QByteArray apply(const QByteArray &text) const;
    // The same for display text. Characters keep their places: when offsets
    // is given (one entry per UTF-16 unit of text, and one more) it becomes
    // the map of the result, each character keeping its source's entry.
    // Returns whether anything changed.
    bool apply(const QString &text, QString &result, std::vector<int> *offsets = nullptr) const;

private:
    SubstringsFilterValues m_values;
    std::array<SubstringReplacer, 3> m_passes;
    bool m_active = false;
};

// The program-wide filter that every viewer's text output applies. Set and
// read on the GUI thread; a reader keeps the one it got even if it changes.
std::shared_ptr<const SubstringsFilter> currentSubstringsFilter();
void setCurrentSubstringsFilter(const SubstringsFilterValues &values);

// A string the viewer outputs (a line, an offset, hex cells, a text column)
// as the current filter shows it.
QString filterDisplayText(const QString &text);
