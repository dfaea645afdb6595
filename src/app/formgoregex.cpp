#include "app/formgoregex.h"

#include "app/formgo.h"
#include "app/shellmessages.h"
#include "text/guard.h"
#include "text/sproc.h"

#include <QHBoxLayout>
#include <QToolButton>

#include <algorithm>

TFormGotoRegex::TFormGotoRegex(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FormGotoRegex"));
    setWindowTitle(QStringLiteral("Go to next"));
    // Clicking a button must leave the focus with the viewer.
    setAttribute(Qt::WA_ShowWithoutActivating);
    move(kDesignPos);

    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->setAlignment(Qt::AlignLeft);
    for (int n = 1; n <= kPanels; ++n) {
        auto *panel = new TFormGo(this);
        panel->setObjectName(QStringLiteral("FormGo%1").arg(n));
        panel->SpeedButton1->setProperty("tag", n);
        connect(panel->SpeedButton1, &QToolButton::clicked, this,
                Guarded([this, n] { ButtonClick(n); }));
        m_layout->addWidget(panel);
        m_panels[size_t(n - 1)] = panel;
    }
    setFixedSize(kPanels * TFormGo::kWidth, TFormGo::kSwatchHeight + TFormGo::kButtonHeight);
}

void TFormGotoRegex::RefreshButtons(const std::array<RuleButton, kPanels> &buttons)
{
    int visible = 0;
    for (int n = 1; n <= kPanels; ++n) {
        const RuleButton &button = buttons[size_t(n - 1)];
        visible += button.Visible ? 1 : 0;
        TFormGo *panel = Panel(n);
        panel->setVisible(button.Visible);
        panel->SpeedButton1->setToolTip(
            PlainToolTip(FormatStrW(QStringLiteral("Go to next \"%s\""), {button.Text})));
        panel->SetSwatchColor(button.Color);
    }
    // The window fits the visible panels; without any it keeps the room of
    // one rather than shrinking to nothing.
    setFixedSize(std::max(visible, 1) * TFormGo::kWidth,
                 TFormGo::kSwatchHeight + TFormGo::kButtonHeight);
}

void TFormGotoRegex::ButtonClick(int ruleNumber)
{
    if (OnGoto)
        OnGoto(ruleNumber);
}
