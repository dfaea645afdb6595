#pragma once

#include "viewer/textlayout.h"

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

// What the decorators make of one logical line. Every screen line of the
// logical line is drawn with it.
struct TQzLineDecoration
{
    // Colours of the whole band of each screen line; invalid: the viewer's.
    QColor BandFore;
    QColor BandBack;

    // The text to show and, per character, its first unit from the logical
    // line's Pos (one extra entry: the units covered). Starts as the line's
    // own; a decorator that rewrites it keeps the map exact, so hit testing
    // and the selection still land on the right bytes.
    QString Text;
    std::vector<int> Offsets;
    bool Rewritten = false;
    void Rewrite(QString text, std::vector<int> offsets)
    {
        Text = std::move(text);
        Offsets = std::move(offsets);
        Rewritten = true;
    }

    // Shows Replacement, unscrolled, on every screen line of the logical
    // line in place of its text; such lines get no marks and no record.
    bool ReplaceLine = false;
    QString Replacement;

    // Marks over file positions [From, To), drawn in order over the text.
    struct Mark
    {
        qint64 From = 0;
        qint64 To = 0;
        QColor Fore; // invalid: the text colour in force
        QColor Back; // invalid: the background in force
        bool Invert = false;
        bool Underline = false;
    };
    std::vector<Mark> Marks;
};

struct TQzDecorationContext
{
    bool Printing = false;
};

// Decorates logical lines at drawing time: colour rules, filters, search hits
// and the selection all act through this one seam. Called once per logical
// line of each drawing, in the order the decorators were given.
class TQzLineDecorator
{
public:
    virtual ~TQzLineDecorator() = default;
    virtual void Decorate(const TQzLogicalLine &line, const TQzDecorationContext &context,
                          TQzLineDecoration &decoration) const = 0;
};

using TQzLineDecorators = std::vector<std::shared_ptr<const TQzLineDecorator>>;

// The selection: the bytes [Start, Start + Length) shown inverted.
class TQzSelectionDecorator final : public TQzLineDecorator
{
public:
    TQzSelectionDecorator(qint64 start, qint64 length) : m_start(start), m_length(length) {}
    void Decorate(const TQzLogicalLine &, const TQzDecorationContext &,
                  TQzLineDecoration &decoration) const override
    {
        if (m_length > 0)
            decoration.Marks.push_back({m_start, m_start + m_length, {}, {}, true});
    }

private:
    qint64 m_start;
    qint64 m_length;
};
