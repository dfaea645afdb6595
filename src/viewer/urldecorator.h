#pragma once

#include "viewer/linedecoration.h"
#include "viewer/urldetect.h"

#include <QColor>

#include <algorithm>

// Underlines the addresses of the read window that fall on a line, in their
// colour. Holds the list by reference: it lives as long as the viewer and
// changes only at window reads, never during a drawing.
class UrlDecorator final : public LineDecorator
{
public:
    UrlDecorator(const UrlList &urls, const QColor &color) : m_urls(urls), m_color(color) {}

    void decorate(const LogicalLine &line, const DecorationContext &,
                  LineDecoration &decoration) const override
    {
        const qint64 end =
            line.pos + qint64(line.offsets.empty() ? 0 : line.offsets.back()) * line.charSize;
        const auto &urls = m_urls.urls();
        // The list is in file order and its entries do not overlap.
        auto it = std::partition_point(urls.begin(), urls.end(), [&](const UrlList::Url &u) {
            return u.pos + u.length <= line.pos;
        });
        for (; it != urls.end() && it->pos < end; ++it)
            decoration.marks.push_back({it->pos, it->pos + it->length, m_color, {}, false, true});
    }

private:
    const UrlList &m_urls;
    QColor m_color;
};
