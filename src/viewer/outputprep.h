#pragma once

#include "viewer/viewtypes.h"

#include <QString>

#include <vector>

class TextMeasurer;

// The largest number of characters of one line that get an edge.
inline constexpr int maxEdgeChars = 2048;

// Prepares a display string for output and measuring: space markers, tab
// expansion and the end-of-line marker. When lastIndex is given, it receives
// for each character of text the index of the last prepared character it
// produced (a tab produces several).
QString prepareOutput(const QString &text, const OutputOptions &options,
                      std::vector<int> *lastIndex = nullptr);

// Right edges of the characters of text as drawn: edges[0] = 0 and edges[i]
// the right edge of character i (1-based), for at most MaxEdgeChars
// characters. False when the font cannot measure the text.
bool charEdges(const QString &text, const OutputOptions &options, const TextMeasurer &measurer,
               std::vector<int> &edges);
