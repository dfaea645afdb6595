#include "app/colorconv.h"

#include <QGuiApplication>
#include <QPalette>

#include <iterator>

namespace {

struct SystemRole
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Indexes of the classic system colours mapped to the palette role that
// plays the same part in a Qt theme.
bool roleOfIndex(int index, SystemRole *out)
{
    constexpr QPalette::ColorGroup A = QPalette::Active;
    constexpr QPalette::ColorGroup D = QPalette::Disabled;
    static const SystemRole kRoles[] = {
        {A, QPalette::Button},          // 0 scroll bar
        {A, QPalette::Window},          // 1 desktop
        {A, QPalette::Highlight},       // 2 active caption
        {A, QPalette::Mid},             // 3 inactive caption
        {A, QPalette::Window},          // 4 menu
        {A, QPalette::Base},            // 5 window
        {A, QPalette::Shadow},          // 6 window frame
        {A, QPalette::WindowText},      // 7 menu text
        {A, QPalette::Text},            // 8 window text
        {A, QPalette::HighlightedText}, // 9 caption text
        {A, QPalette::Window},          // 10 active border
        {A, QPalette::Window},          // 11 inactive border
        {A, QPalette::Dark},            // 12 application workspace
        {A, QPalette::Highlight},       // 13 highlight
        {A, QPalette::HighlightedText}, // 14 highlight text
        {A, QPalette::Button},          // 15 button face
        {A, QPalette::Dark},            // 16 button shadow
        {D, QPalette::Text},            // 17 grey text
        {A, QPalette::ButtonText},      // 18 button text
        {D, QPalette::WindowText},      // 19 inactive caption text
        {A, QPalette::Light},           // 20 button highlight
        {A, QPalette::Shadow},          // 21 3D dark shadow
        {A, QPalette::Midlight},        // 22 3D light
        {A, QPalette::ToolTipText},     // 23 info text
        {A, QPalette::ToolTipBase},     // 24 info background
        {A, QPalette::Button},          // 25 (unused)
        {A, QPalette::Link},            // 26 hot light
        {A, QPalette::Highlight},       // 27 active caption gradient
        {A, QPalette::Mid},             // 28 inactive caption gradient
        {A, QPalette::Highlight},       // 29 menu highlight
        {A, QPalette::Window},          // 30 menu bar
    };
    if (index < 0 || index >= int(std::size(kRoles)))
        return false;
    *out = kRoles[index];
    return true;
}

} // namespace

QColor colorFromInt(qint32 value)
{
    const quint32 bits = quint32(value);
    if (value < 0) {
        // Only the low byte selects the system colour, as the classic
        // conversion does; an index it does not know is black.
        SystemRole role{};
        if (!roleOfIndex(int(bits & 0xFF), &role))
            return QColor(Qt::black);
        return QGuiApplication::palette().color(role.group, role.role);
    }
    return QColor(int(bits & 0xFF), int((bits >> 8) & 0xFF), int((bits >> 16) & 0xFF));
}

qint32 colorToInt(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return qint32(quint32(rgb.red()) | (quint32(rgb.green()) << 8) | (quint32(rgb.blue()) << 16));
}
