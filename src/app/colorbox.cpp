#include "app/colorbox.h"

#include "app/colorconv.h"
#include "text/guard.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace {

struct Named
{
    const char *Name;
    qint32 Value;
};

const Named kColors[] = {
    {"Black", 0x000000},    {"Maroon", 0x000080},     {"Green", 0x008000},
    {"Olive", 0x008080},    {"Navy", 0x800000},       {"Purple", 0x800080},
    {"Teal", 0x808000},     {"Gray", 0x808080},       {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},      {"Lime", 0x00FF00},       {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},     {"Fuchsia", 0xFF00FF},    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},    {"Money Green", 0xC0DCC0}, {"Sky Blue", 0xF0CAA6},
    {"Cream", 0xF0FBFF},    {"Medium Gray", 0xA4A0A0},
    {"Window", SystemColor(5)},          {"Window Text", SystemColor(8)},
    {"Button Face", SystemColor(15)},    {"Button Text", SystemColor(18)},
    {"Highlight", SystemColor(13)},      {"Highlight Text", SystemColor(14)},
    {"Gray Text", SystemColor(17)},      {"Info Background", SystemColor(24)},
    {"Info Text", SystemColor(23)},
};

QPixmap Swatch(qint32 value)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(ColorFromInt(value));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 15, 11);
    return pixmap;
}

} // namespace

TColorBox::TColorBox(QWidget *parent) : QComboBox(parent)
{
    for (const Named &c : kColors)
        addItem(Swatch(c.Value), QString::fromLatin1(c.Name), c.Value);
    m_customIndex = count();
    addItem(Swatch(0), QStringLiteral("Custom..."), 0);
    ChooseCustom = [this](qint32 &value) {
        const QColor chosen = QColorDialog::getColor(ColorFromInt(value), this);
        if (!chosen.isValid())
            return false;
        value = ColorToInt(chosen);
        return true;
    };
    setCurrentIndex(0);
    m_lastIndex = 0;
    connect(this, &QComboBox::activated, this, Guarded([this](int index) { Picked(index); }));
}

qint32 TColorBox::Color() const
{
    return currentData().toInt();
}

void TColorBox::SetCustom(qint32 value)
{
    setItemData(m_customIndex, value);
    setItemIcon(m_customIndex, Swatch(value));
}

void TColorBox::SetColor(qint32 value)
{
    int index = findData(value);
    if (index < 0 || index == m_customIndex) {
        SetCustom(value);
        index = m_customIndex;
    }
    setCurrentIndex(index);
    m_lastIndex = index;
}

void TColorBox::Picked(int index)
{
    if (index == m_customIndex) {
        qint32 value = itemData(m_lastIndex).toInt();
        if (!ChooseCustom || !ChooseCustom(value)) {
            setCurrentIndex(m_lastIndex);
            return;
        }
        SetCustom(value);
    }
    m_lastIndex = index;
    if (OnChange)
        OnChange();
}
