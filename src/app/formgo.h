#pragma once

#include <QWidget>

class QFrame;
class QToolButton;

// One button panel of the "Go to next" window: a swatch in the rule's
// background colour above a flat button that jumps to the rule's next line.
class TFormGo final : public QWidget
{
public:
    static constexpr int kWidth = 33;
    static constexpr int kSwatchHeight = 32;
    static constexpr int kButtonHeight = 33;

    explicit TFormGo(QWidget *parent = nullptr);
    TFormGo(const TFormGo &) = delete;
    TFormGo &operator=(const TFormGo &) = delete;

    // Shape1's fill.
    void SetSwatchColor(const QColor &color);
    QColor SwatchColor() const;

    QWidget *Panel1 = nullptr;
    QFrame *Shape1 = nullptr;
    QToolButton *SpeedButton1 = nullptr; // its tag is the rule number
};
