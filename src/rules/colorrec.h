#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// One colour rule. Text and RStr are 8-bit strings in the system code page
// (UTF-8 here); colours are 0x00BBGGRR or a system colour code.
struct ColorRule
{
    bool en = true;
    QByteArray text; // regular expression; empty matches no line
    qint32 colorF = 0;
    qint32 colorB = 0xC0C0C0; // silver
    bool caseSensitive = false;
    bool inv = false;
    bool repl = false; // draw RStr in place of the line
    QByteArray rStr = "...";

    bool operator==(const ColorRule &) const = default;
};

// The 20 colour rules. A rule's number (1 to 20) is its position: its list
// place, its settings keys, its menu tag and its "go to next" button. A plain
// value: every holder has a copy of its own.
struct ColorRules
{
    static constexpr int count = 20;
    std::array<ColorRule, count> items;

    // n is the rule's number, 1 to Count.
    ColorRule &rule(int n) { return items.at(size_t(n - 1)); }
    const ColorRule &rule(int n) const { return items.at(size_t(n - 1)); }

    bool operator==(const ColorRules &) const = default;
};

// Rules 1 to 3 that have no text get "Error" white on red, "Warning" black
// on yellow and "Info" black on light sky blue; their other fields stay.
void applyDefaultRules(ColorRules &rec);

// The rules of a first start: the defaults above, everything else empty.
ColorRules defaultColorRec();
