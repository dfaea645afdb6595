#include "app/rulebuttonpanel.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QToolButton>

#include <algorithm>

namespace {
// A triangle pointing down, 16 by 16, in the given colour.
QIcon downTriangle(const QColor &color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPolygon(QPolygon({QPoint(3, 5), QPoint(13, 5), QPoint(8, 11)}));
    return QIcon(pixmap);
}

// Black or white, whichever reads on the background.
QColor textOn(const QColor &background)
{
    const int luma =
        (299 * background.red() + 587 * background.green() + 114 * background.blue()) / 1000;
    return luma >= 128 ? Qt::black : Qt::white;
}
} // namespace

RuleButtonPanel::RuleButtonPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormGo"));
    jumpButton = new QToolButton(this);
    jumpButton->setObjectName(QStringLiteral("JumpButton"));
    jumpButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    jumpButton->setIconSize(QSize(16, 16));
    jumpButton->setFocusPolicy(Qt::NoFocus);
    jumpButton->setGeometry(0, 0, kWidth, kSwatchHeight + kButtonHeight);
    setFixedSize(jumpButton->size());
    setSwatchColor(QColor(192, 192, 192)); // silver until a rule colours it
}

void RuleButtonPanel::setSwatchColor(const QColor &color)
{
    m_color = color;
    const QColor text = textOn(color);
    // Numbers only: nothing of the rule's text goes into the style sheet.
    jumpButton->setStyleSheet(
        QStringLiteral("QToolButton { background-color: %1; color: %2; border: 1px solid %3; }"
                       "QToolButton:hover { border: 2px solid %2; }")
            .arg(color.name(), text.name(), color.darker(140).name()));
    jumpButton->setIcon(downTriangle(text));
}

void RuleButtonPanel::setLabel(const QString &text)
{
    const QString simple = text.simplified();
    const QString label =
        simple.size() <= kLabelLength ? simple : simple.left(kLabelLength - 1) + QChar(0x2026);
    jumpButton->setText(label);
    const int width = std::max(kWidth, jumpButton->fontMetrics().horizontalAdvance(label) + 12);
    jumpButton->setFixedWidth(width);
    setFixedSize(width, kSwatchHeight + kButtonHeight);
}
