#include "viewer/outputprep.h"

#include "viewer/textmeasurer.h"

#include <algorithm>

QString prepareOutput(const QString &text, const OutputOptions &options,
                      std::vector<int> *lastIndex)
{
    // Most log lines have no tab and nothing to mark: nothing to prepare.
    if (!options.showNonPrintable && !text.contains(QLatin1Char('\t'))) {
        if (lastIndex) {
            lastIndex->resize(size_t(text.size()));
            for (qsizetype i = 0; i < text.size(); ++i)
                (*lastIndex)[size_t(i)] = int(i);
        }
        return text;
    }
    const NonPrintableMarkers markers = markersFor(options.oemFont);
    const int tabSize = std::max(options.tabSize, 1);
    QString out;
    out.reserve(text.size() + 16);
    if (lastIndex)
        lastIndex->resize(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\t')) {
            // Tab stops fall every TabSize columns of the text as expanded so far.
            const int p = int(out.size()) + 1;
            const int n = options.fontMonospaced ? tabSize - ((p - 1) % tabSize) : tabSize;
            const qsizetype start = out.size();
            out.append(QString(n, QLatin1Char(' ')));
            if (options.showNonPrintable)
                out[start + n / 2] = markers.Tab;
        } else if (c == QLatin1Char(' ') && options.showNonPrintable) {
            out.append(markers.space);
        } else {
            out.append(c);
        }
        if (lastIndex)
            (*lastIndex)[size_t(i)] = int(out.size()) - 1;
    }
    if (options.showNonPrintable && options.showEol)
        out.append(markers.eol);
    return out;
}

bool charEdges(const QString &text, const OutputOptions &options, const TextMeasurer &measurer,
               std::vector<int> &edges)
{
    OutputOptions o = options;
    o.showEol = false;
    std::vector<int> lastIndex;
    const QString prepared = prepareOutput(text, o, &lastIndex);
    std::vector<int> extents;
    if (!measurer.extents(prepared, extents))
        return false;
    const size_t n = std::min<size_t>(size_t(text.size()), maxEdgeChars);
    edges.assign(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        edges[i + 1] = extents[size_t(lastIndex[i])];
    return true;
}
