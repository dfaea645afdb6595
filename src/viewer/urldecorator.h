#pragma once

#include "viewer/linedecoration.h"
#include "viewer/urldetect.h"

#include <QColor>

#include <algorithm>

// Underlines the addresses of the read window that fall on a line, in their
// colour. Holds the list by reference: it lives as long as the viewer and
// changes only at window reads, never during a drawing.
class TQzUrlDecorator final : public TQzLineDecorator
{
public:
    TQzUrlDecorator(const TQzUrlList &urls, const QColor &color) : m_urls(urls), m_color(color) {}

    void Decorate(const TQzLogicalLine &line, const TQzDecorationContext &,
                  TQzLineDecoration &decoration) const override
    {
        const qint64 end =
            line.Pos + qint64(line.Offsets.empty() ? 0 : line.Offsets.back()) * line.CharSize;
        const auto &urls = m_urls.Urls();
        // The list is in file order and its entries do not overlap.
        auto it = std::partition_point(urls.begin(), urls.end(), [&](const TQzUrlList::Url &u) {
            return u.Pos + u.Length <= line.Pos;
        });
        for (; it != urls.end() && it->Pos < end; ++it)
            decoration.Marks.push_back({it->Pos, it->Pos + it->Length, m_color, {}, false, true});
    }

private:
    const TQzUrlList &m_urls;
    QColor m_color;
};
