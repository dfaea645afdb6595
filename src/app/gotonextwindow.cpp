#include "app/gotonextwindow.h"

#include "app/rulebuttonpanel.h"
#include "app/shellmessages.h"
#include "text/guard.h"
#include "text/stringutil.h"

#include <QHBoxLayout>
#include <QToolButton>

#include <algorithm>

GoToNextWindow::GoToNextWindow(QWidget *parent)
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
        auto *panel = new RuleButtonPanel(this);
        panel->setObjectName(QStringLiteral("FormGo%1").arg(n));
        panel->jumpButton->setProperty("tag", n);
        connect(panel->jumpButton, &QToolButton::clicked, this,
                guarded([this, n] { buttonClick(n); }));
        m_layout->addWidget(panel);
        m_panels[size_t(n - 1)] = panel;
    }
    setFixedSize(kPanels * RuleButtonPanel::kWidth,
                 RuleButtonPanel::kSwatchHeight + RuleButtonPanel::kButtonHeight);
}

int GoToNextWindow::leastWidth() const
{
    // Room for the title and the frame's close button beside it.
    return fontMetrics().horizontalAdvance(windowTitle()) + 96;
}

void GoToNextWindow::refreshButtons(const std::array<RuleButton, kPanels> &buttons)
{
    int width = 0;
    for (int n = 1; n <= kPanels; ++n) {
        const RuleButton &button = buttons[size_t(n - 1)];
        RuleButtonPanel *shown = panel(n);
        shown->setVisible(button.visible);
        shown->jumpButton->setToolTip(
            plainToolTip(formatStrW(QStringLiteral("Go to next \"%s\""), {button.text})));
        shown->setSwatchColor(button.color);
        shown->setLabel(button.text);
        if (button.visible)
            width += shown->width();
    }
    // The window fits the visible panels and shows its title whole; without
    // any panel it keeps the room of one rather than shrinking to nothing.
    setFixedSize(std::max({width, RuleButtonPanel::kWidth, leastWidth()}),
                 RuleButtonPanel::kSwatchHeight + RuleButtonPanel::kButtonHeight);
}

void GoToNextWindow::buttonClick(int ruleNumber)
{
    if (onGoto)
        onGoto(ruleNumber);
}
