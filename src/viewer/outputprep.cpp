#include "viewer/outputprep.h"

#include "viewer/textmeasurer.h"

#include <algorithm>

QString PrepareOutput(const QString &text, const TQzBinHexOutputOptions &options,
                      std::vector<int> *lastIndex)
{
    // Most log lines have no tab and nothing to mark: nothing to prepare.
    if (!options.ShowNonPrintable && !text.contains(QLatin1Char('\t'))) {
        if (lastIndex) {
            lastIndex->resize(size_t(text.size()));
            for (qsizetype i = 0; i < text.size(); ++i)
                (*lastIndex)[size_t(i)] = int(i);
        }
        return text;
    }
    const NonPrintableMarkers markers = MarkersFor(options.OemFont);
    const int tabSize = std::max(options.TabSize, 1);
    QString out;
    out.reserve(text.size() + 16);
    if (lastIndex)
        lastIndex->resize(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\t')) {
            // Tab stops fall every TabSize columns of the text as expanded so far.
            const int p = int(out.size()) + 1;
            const int n = options.FontMonospaced ? tabSize - ((p - 1) % tabSize) : tabSize;
            const qsizetype start = out.size();
            out.append(QString(n, QLatin1Char(' ')));
            if (options.ShowNonPrintable)
                out[start + n / 2] = markers.Tab;
        } else if (c == QLatin1Char(' ') && options.ShowNonPrintable) {
            out.append(markers.Space);
        } else {
            out.append(c);
        }
        if (lastIndex)
            (*lastIndex)[size_t(i)] = int(out.size()) - 1;
    }
    if (options.ShowNonPrintable && options.ShowEol)
        out.append(markers.Eol);
    return out;
}

bool CharEdges(const QString &text, const TQzBinHexOutputOptions &options,
               const TextMeasurer &measurer, std::vector<int> &edges)
{
    TQzBinHexOutputOptions o = options;
    o.ShowEol = false;
    std::vector<int> lastIndex;
    const QString prepared = PrepareOutput(text, o, &lastIndex);
    std::vector<int> extents;
    if (!measurer.Extents(prepared, extents))
        return false;
    const size_t n = std::min<size_t>(size_t(text.size()), MaxEdgeChars);
    edges.assign(n + 1, 0);
    for (size_t i = 0; i < n; ++i)
        edges[i + 1] = extents[size_t(lastIndex[i])];
    return true;
}
