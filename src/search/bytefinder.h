#pragma once

#include "text/asciifold.h"

#include <QByteArray>

#include <array>
#include <cstdint>

// Finds a byte string in a block, forward or backward, with an optional fold
// of the text's bytes (case, or several bytes that stand for one character).
//
// Two bytes of the pattern, the rarest by a fixed table of how often bytes
// occur in text, are compared at 16 or 32 positions at once; only positions
// where both agree are compared whole. The idea is the "packed pair" filter
// of fast grep tools; glibc's memmem alone is several times slower.
class ByteFinder final
{
public:
    using FoldTable = ByteFoldTable;

    // pattern is already folded; fold maps every text byte to the pattern's
    // alphabet, null for exact bytes. An empty pattern finds nothing.
    void prepare(const QByteArray &pattern, const FoldTable *fold);

    qsizetype length() const { return m_pattern.size(); }
    // First start p >= from with the pattern inside [0, size), or -1.
    qsizetype findForward(const uint8_t *data, qsizetype size, qsizetype from) const;
    // Last start p <= last with the pattern inside [0, size), or -1.
    qsizetype findBackward(const uint8_t *data, qsizetype size, qsizetype last) const;
    bool matchesAt(const uint8_t *data, qsizetype p) const;

private:
    struct Probe
    {
        int offset = 0;
        uint8_t mask = 0; // a candidate has (byte | Mask) == Value
        uint8_t value = 0;
    };

    QByteArray m_pattern;
    FoldTable m_fold{};
    bool m_folded = false;
    // Without a usable probe every position is a candidate.
    int m_probeCount = 0;
    Probe m_probe[2];
};
