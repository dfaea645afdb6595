#include "app/rulebuttonpanel.h"

#include <QFrame>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QToolButton>

namespace {
// A black triangle pointing down, 16 by 16.
QIcon downTriangle()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(QPolygon({QPoint(3, 5), QPoint(13, 5), QPoint(8, 11)}));
    return QIcon(pixmap);
}
} // namespace

RuleButtonPanel::RuleButtonPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormGo"));
    buttonArea = new QWidget(this);
    buttonArea->setObjectName(QStringLiteral("ButtonArea"));
    buttonArea->setGeometry(0, 0, kWidth, kSwatchHeight + kButtonHeight);

    swatch = new QFrame(buttonArea);
    swatch->setObjectName(QStringLiteral("Swatch"));
    swatch->setFrameShape(QFrame::NoFrame);
    swatch->setAutoFillBackground(true);
    swatch->setGeometry(0, 0, kWidth, kSwatchHeight);
    setSwatchColor(QColor(192, 192, 192)); // silver until a rule colours it

    jumpButton = new QToolButton(buttonArea);
    jumpButton->setObjectName(QStringLiteral("JumpButton"));
    jumpButton->setAutoRaise(true);
    jumpButton->setIcon(downTriangle());
    jumpButton->setIconSize(QSize(16, 16));
    jumpButton->setFocusPolicy(Qt::NoFocus);
    jumpButton->setGeometry(0, kSwatchHeight, kWidth, kButtonHeight);

    setFixedSize(buttonArea->size());
}

void RuleButtonPanel::setSwatchColor(const QColor &color)
{
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, color);
    swatch->setPalette(palette);
}

QColor RuleButtonPanel::swatchColor() const
{
    return swatch->palette().color(QPalette::Window);
}
