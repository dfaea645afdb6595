#pragma once

#include <QWidget>

class QFrame;
class QToolButton;

// One button panel of the "Go to next" window: a swatch in the rule's
// background colour above a flat button that jumps to the rule's next line.
class RuleButtonPanel final : public QWidget
{
public:
    static constexpr int kWidth = 33;
    static constexpr int kSwatchHeight = 32;
    static constexpr int kButtonHeight = 33;

    explicit RuleButtonPanel(QWidget *parent = nullptr);
    RuleButtonPanel(const RuleButtonPanel &) = delete;
    RuleButtonPanel &operator=(const RuleButtonPanel &) = delete;

    // Shape1's fill.
    void setSwatchColor(const QColor &color);
    QColor swatchColor() const;

    QWidget *buttonArea = nullptr;
    QFrame *swatch = nullptr;
    QToolButton *jumpButton = nullptr; // its tag is the rule number
};
