#pragma once

#include <QComboBox>

#include <functional>

// A drop-down of colours by name: the standard, extended and system colours
// and one custom colour, chosen with the colour dialog. Values are the
// settings' 0x00BBGGRR integers or system colour codes.
class ColorComboBox final : public QComboBox
{
public:
    explicit ColorComboBox(QWidget *parent = nullptr);

    qint32 color() const;
    // A value that is not listed becomes the custom entry.
    void setColor(qint32 value);

    // Called after the user picked a colour (not after SetColor).
    std::function<void()> onChange;
    // Asks for a custom colour; replaceable so that tests never block.
    std::function<bool(qint32 &value)> chooseCustom;

private:
    void picked(int index);
    void setCustom(qint32 value);

    int m_customIndex = -1;
    int m_lastIndex = -1;
};
