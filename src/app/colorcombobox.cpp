#include "app/colorcombobox.h"

#include "app/colorconv.h"
#include "text/guard.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace {

struct Named
{
    const char *name;
    qint32 value;
};

const Named kColors[] = {
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
    {"Money Green", 0xC0DCC0},
    {"Sky Blue", 0xF0CAA6},
    {"Cream", 0xF0FBFF},
    {"Medium Gray", 0xA4A0A0},
    {"Window", systemColor(5)},
    {"Window Text", systemColor(8)},
    {"Button Face", systemColor(15)},
    {"Button Text", systemColor(18)},
    {"Highlight", systemColor(13)},
    {"Highlight Text", systemColor(14)},
    {"Gray Text", systemColor(17)},
    {"Info Background", systemColor(24)},
    {"Info Text", systemColor(23)},
};

QPixmap swatch(qint32 value)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(colorFromInt(value));
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 15, 11);
    return pixmap;
}

} // namespace

ColorComboBox::ColorComboBox(QWidget *parent) : QComboBox(parent)
{
    for (const Named &c : kColors)
        addItem(swatch(c.value), QString::fromLatin1(c.name), c.value);
    m_customIndex = count();
    addItem(swatch(0), QStringLiteral("Custom..."), 0);
    chooseCustom = [this](qint32 &value) {
        const QColor chosen = QColorDialog::getColor(colorFromInt(value), this);
        if (!chosen.isValid())
            return false;
        value = colorToInt(chosen);
        return true;
    };
    setCurrentIndex(0);
    m_lastIndex = 0;
    connect(this, &QComboBox::activated, this, guarded([this](int index) { picked(index); }));
}

qint32 ColorComboBox::color() const
{
    return currentData().toInt();
}

void ColorComboBox::setCustom(qint32 value)
{
    setItemData(m_customIndex, value);
    setItemIcon(m_customIndex, swatch(value));
}

void ColorComboBox::setColor(qint32 value)
{
    int index = findData(value);
    if (index < 0 || index == m_customIndex) {
        setCustom(value);
        index = m_customIndex;
    }
    setCurrentIndex(index);
    m_lastIndex = index;
}

void ColorComboBox::picked(int index)
{
    if (index == m_customIndex) {
        qint32 value = itemData(m_lastIndex).toInt();
        if (!chooseCustom || !chooseCustom(value)) {
            setCurrentIndex(m_lastIndex);
            return;
        }
        setCustom(value);
    }
    m_lastIndex = index;
    if (onChange)
        onChange();
}
