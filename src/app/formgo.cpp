#include "app/formgo.h"

#include <QFrame>
#include <QPainter>
#include <QPixmap>
#include <QPolygon>
#include <QToolButton>

namespace {
// A black triangle pointing down, 16 by 16.
QIcon DownTriangle()
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

TFormGo::TFormGo(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormGo"));
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kWidth, kSwatchHeight + kButtonHeight);

    Shape1 = new QFrame(Panel1);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::NoFrame);
    Shape1->setAutoFillBackground(true);
    Shape1->setGeometry(0, 0, kWidth, kSwatchHeight);
    SetSwatchColor(QColor(192, 192, 192)); // silver until a rule colours it

    SpeedButton1 = new QToolButton(Panel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(DownTriangle());
    SpeedButton1->setIconSize(QSize(16, 16));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    SpeedButton1->setGeometry(0, kSwatchHeight, kWidth, kButtonHeight);

    setFixedSize(Panel1->size());
}

void TFormGo::SetSwatchColor(const QColor &color)
{
    QPalette palette = Shape1->palette();
    palette.setColor(QPalette::Window, color);
    Shape1->setPalette(palette);
}

QColor TFormGo::SwatchColor() const
{
    return Shape1->palette().color(QPalette::Window);
}
