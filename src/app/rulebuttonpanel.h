#pragma once

#include <QColor>
#include <QWidget>

class QToolButton;

// One button of the "Go to next" window: the whole panel is a button in the
// rule's colours, labelled with the start of the rule's text, that jumps to
// the rule's next line wherever it is clicked.
class RuleButtonPanel final : public QWidget
{
public:
    static constexpr int kWidth = 33; // the least width, for a short label
    static constexpr int kSwatchHeight = 32;
    static constexpr int kButtonHeight = 33;
    static constexpr int kLabelLength = 12; // characters of the rule's text shown

    explicit RuleButtonPanel(QWidget *parent = nullptr);
    RuleButtonPanel(const RuleButtonPanel &) = delete;
    RuleButtonPanel &operator=(const RuleButtonPanel &) = delete;

    // The rule's background colour, which the button is painted in.
    void setSwatchColor(const QColor &color);
    QColor swatchColor() const { return m_color; }
    // The rule's text, cut short; the panel widens to show it.
    void setLabel(const QString &text);

    QToolButton *jumpButton = nullptr; // its tag is the rule number

private:
    QColor m_color;
};
