#pragma once

#include "viewer/textlayout.h"

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

// What the decorators make of one logical line. Every screen line of the
// logical line is drawn with it.
struct LineDecoration
{
    // Colours of the whole band of each screen line; invalid: the viewer's.
    QColor bandFore;
    QColor bandBack;

    // The text to show and, per character, its first unit from the logical
    // line's Pos (one extra entry: the units covered). Starts as the line's
    // own; a decorator that rewrites it keeps the map exact, so hit testing
    // and the selection still land on the right bytes.
    QString text;
    std::vector<int> offsets;
    bool rewritten = false;
    void rewrite(QString newText, std::vector<int> newOffsets)
    {
        text = std::move(newText);
        offsets = std::move(newOffsets);
        rewritten = true;
    }

    // Shows Replacement, unscrolled, on every screen line of the logical
    // line in place of its text; such lines get no marks and no record.
    bool replaceLine = false;
    QString replacement;

    // Marks over file positions [From, To), drawn in order over the text.
    struct Mark
    {
        qint64 from = 0;
        qint64 to = 0;
        QColor fore; // invalid: the text colour in force
        QColor back; // invalid: the background in force
        bool invert = false;
        bool underline = false;
    };
    std::vector<Mark> marks;
};

struct DecorationContext
{
    bool printing = false;
};

// Decorates logical lines at drawing time: colour rules, filters, search hits
// and the selection all act through this one seam. Called once per logical
// line of each drawing, in the order the decorators were given.
class LineDecorator
{
public:
    virtual ~LineDecorator() = default;
    virtual void decorate(const LogicalLine &line, const DecorationContext &context,
                          LineDecoration &decoration) const = 0;
};

using LineDecorators = std::vector<std::shared_ptr<const LineDecorator>>;

// The selection: the bytes [Start, Start + Length) shown inverted.
class SelectionDecorator final : public LineDecorator
{
public:
    SelectionDecorator(qint64 start, qint64 length) : m_start(start), m_length(length) {}
    void decorate(const LogicalLine &, const DecorationContext &,
                  LineDecoration &decoration) const override
    {
        if (m_length > 0)
            decoration.marks.push_back({m_start, m_start + m_length, {}, {}, true});
    }

private:
    qint64 m_start;
    qint64 m_length;
};
