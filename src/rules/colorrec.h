#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

// One colour rule. Text and RStr are 8-bit strings in the system code page
// (UTF-8 here); colours are 0x00BBGGRR or a system colour code.
struct TColorRecItem
{
    bool En = true;
    QByteArray Text; // regular expression; empty matches no line
    qint32 ColorF = 0;
    qint32 ColorB = 0xC0C0C0; // silver
    bool Case = false;
    bool Inv = false;
    bool Repl = false; // draw RStr in place of the line
    QByteArray RStr = "...";

    bool operator==(const TColorRecItem &) const = default;
};

// The 20 colour rules. A rule's number (1 to 20) is its position: its list
// place, its settings keys, its menu tag and its "go to next" button. A plain
// value: every holder has a copy of its own.
struct TColorRec
{
    static constexpr int Count = 20;
    std::array<TColorRecItem, Count> Items;

    // n is the rule's number, 1 to Count.
    TColorRecItem &Rule(int n) { return Items.at(size_t(n - 1)); }
    const TColorRecItem &Rule(int n) const { return Items.at(size_t(n - 1)); }

    bool operator==(const TColorRec &) const = default;
};

// Rules 1 to 3 that have no text get "Error" white on red, "Warning" black
// on yellow and "Info" black on light sky blue; their other fields stay.
void ApplyDefaultRules(TColorRec &rec);

// The rules of a first start: the defaults above, everything else empty.
TColorRec DefaultColorRec();
