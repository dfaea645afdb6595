#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QHBoxLayout;
class TFormGo;

// The "Go to next" tool window: one button per enabled colour rule, standing
// above every other window. Made once at start and kept while hidden.
class TFormGotoRegex final : public QWidget
{
public:
    static constexpr int kPanels = 20;
    static constexpr QPoint kDesignPos{394, 423};

    // What a panel shows of a colour rule.
    struct RuleButton
    {
        bool Visible = false;
        QString Text;
        QColor Color;
    };

    explicit TFormGotoRegex(QWidget *parent = nullptr);
    TFormGotoRegex(const TFormGotoRegex &) = delete;
    TFormGotoRegex &operator=(const TFormGotoRegex &) = delete;

    // Panel n (1 to 20) follows buttons[n - 1]; the window fits the visible ones.
    void RefreshButtons(const std::array<RuleButton, kPanels> &buttons);
    // Panel n, 1 to 20.
    TFormGo *Panel(int n) const { return m_panels[size_t(n - 1)]; }
    // Called with the rule number of a clicked button.
    std::function<void(int ruleNumber)> OnGoto;

private:
    void ButtonClick(int ruleNumber);

    std::array<TFormGo *, kPanels> m_panels{};
    QHBoxLayout *m_layout = nullptr;
};
