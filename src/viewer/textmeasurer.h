#pragma once

#include <QString>

#include <vector>

// Measures text in the font in use. Layout, wrapping and hit testing only
// talk to this interface, so they run headless with a fixed-width fake and on
// screen with real Qt fonts.
class TextMeasurer
{
public:
    virtual ~TextMeasurer() = default;

    // Width of the text in pixels.
    virtual int width(const QString &text) const = 0;
    // extents[i] = width of text[0..i], one entry per UTF-16 unit. False when
    // the extents cannot be obtained.
    virtual bool extents(const QString &text, std::vector<int> &extents) const = 0;
    // Character cell height without extra line spacing.
    virtual int cellHeight() const = 0;
    // First character code the font defines.
    virtual int firstChar() const { return 32; }
};

// Every character is `width` pixels wide: the fake used by layout tests.
class FixedWidthMeasurer final : public TextMeasurer
{
public:
    explicit FixedWidthMeasurer(int width = 8, int height = 16) : m_width(width), m_height(height)
    {}
    int width(const QString &text) const override { return int(text.size()) * m_width; }
    bool extents(const QString &text, std::vector<int> &extents) const override
    {
        extents.resize(size_t(text.size()));
        for (qsizetype i = 0; i < text.size(); ++i)
            extents[size_t(i)] = int(i + 1) * m_width;
        return true;
    }
    int cellHeight() const override { return m_height; }

private:
    int m_width;
    int m_height;
};
