#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QHBoxLayout;
class RuleButtonPanel;

// The "Go to next" tool window: one button per enabled colour rule, standing
// above every other window. Made once at start and kept while hidden.
class GoToNextWindow final : public QWidget
{
public:
    static constexpr int kPanels = 20;
    static constexpr QPoint kDesignPos{394, 423};

    // What a panel shows of a colour rule.
    struct RuleButton
    {
        bool visible = false;
        QString text;
        QColor color;
    };

    explicit GoToNextWindow(QWidget *parent = nullptr);
    GoToNextWindow(const GoToNextWindow &) = delete;
    GoToNextWindow &operator=(const GoToNextWindow &) = delete;

    // Panel n (1 to 20) follows buttons[n - 1]; the window fits the visible ones.
    void refreshButtons(const std::array<RuleButton, kPanels> &buttons);
    // Panel n, 1 to 20.
    RuleButtonPanel *panel(int n) const { return m_panels[size_t(n - 1)]; }
    // Called with the rule number of a clicked button.
    std::function<void(int ruleNumber)> onGoto;

private:
    void buttonClick(int ruleNumber);
    int leastWidth() const;

    std::array<RuleButtonPanel *, kPanels> m_panels{};
    QHBoxLayout *m_layout = nullptr;
};
