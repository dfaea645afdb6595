#include "viewer/qttextmeasurer.h"

#include <QTextLayout>

QtTextMeasurer::QtTextMeasurer(const QFont &font) : m_font(font), m_metrics(font)
{
    m_fixedPitch = m_metrics.horizontalAdvance(QLatin1Char('W')) ==
                   m_metrics.horizontalAdvance(QLatin1Char('.'));
    for (size_t c = 0; c < m_advance.size(); ++c)
        m_advance[c] = m_metrics.horizontalAdvance(QChar(char16_t(c)));
}

bool QtTextMeasurer::SimpleText(const QString &text) const
{
    // Latin text in a fixed-pitch font has no kerning or shaping: advances add up.
    if (!m_fixedPitch)
        return false;
    for (QChar c : text) {
        if (c.unicode() >= m_advance.size())
            return false;
    }
    return true;
}

int QtTextMeasurer::Width(const QString &text) const
{
    if (SimpleText(text)) {
        int w = 0;
        for (QChar c : text)
            w += m_advance[c.unicode()];
        return w;
    }
    return m_metrics.horizontalAdvance(text);
}

bool QtTextMeasurer::Extents(const QString &text, std::vector<int> &extents) const
{
    extents.resize(size_t(text.size()));
    if (SimpleText(text)) {
        int w = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            w += m_advance[text.at(i).unicode()];
            extents[size_t(i)] = w;
        }
        return true;
    }
    QTextLayout layout(text, m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid()) {
        layout.endLayout();
        return text.isEmpty();
    }
    line.setLineWidth(1e9);
    layout.endLayout();
    for (qsizetype i = 0; i < text.size(); ++i)
        extents[size_t(i)] = int(line.cursorToX(int(i + 1)) + 0.5);
    return true;
}
