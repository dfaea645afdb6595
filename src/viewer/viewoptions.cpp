#include "viewer/viewoptions.h"

#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace {
QFont makeFont(const QString &family, int points, bool fixedPitch)
{
    QFont f(family, points);
    if (fixedPitch) {
        // fontconfig may have no such face: ask for a fixed-pitch stand-in.
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
    }
    return f;
}
} // namespace

int hexRowWidth(int value, int maxLength)
{
    value = std::clamp(value, 2, std::max(2, maxLength));
    value -= value % 4;
    return std::max(value, 2);
}

ViewOptions ViewOptions::defaults()
{
    const QPalette pal = QGuiApplication::palette();
    ViewOptions o;
    o.color = pal.color(QPalette::Base);
    o.font = {makeFont(QStringLiteral("Courier New"), 10, true), pal.color(QPalette::Text)};
    o.fontOEM = {makeFont(QStringLiteral("Terminal"), 9, true), pal.color(QPalette::Text)};
    o.fontFooter = {makeFont(QStringLiteral("Arial"), 9, false), Qt::black};
    o.fontGutter = {makeFont(QStringLiteral("Courier New"), 9, true), Qt::black};
    return o;
}

ViewOptions ViewOptions::normalized(const int (&maxLengths)[modeCount],
                                    const ViewOptions &before) const
{
    ViewOptions o = *this;
    if (before.textWidthFitHex && !o.textWidthFitHex && o.textWidthHex == before.textWidthHex)
        o.textWidthHex = 16;
    if (before.textWidthFitUHex && !o.textWidthFitUHex && o.textWidthUHex == before.textWidthUHex)
        o.textWidthUHex = 8;
    o.textWidth = std::clamp(o.textWidth, 2, std::max(2, maxLengths[vbmodeBinary]));
    o.textWidthHex = hexRowWidth(o.textWidthHex, maxLengths[vbmodeHex]);
    o.textWidthUHex = hexRowWidth(o.textWidthUHex, maxLengths[vbmodeUHex]);
    o.textGutterLinesStep = std::clamp(o.textGutterLinesStep, 1, 10);
    o.textGutterLinesCount = std::clamp(o.textGutterLinesCount, 10, 100000);
    o.textGutterLinesBufSize = std::clamp(o.textGutterLinesBufSize, 1024, 20971520);
    o.textSearchIndentVert = std::clamp(o.textSearchIndentVert, 0, 80);
    o.textSearchIndentHorz = std::clamp(o.textSearchIndentHorz, 0, 80);
    o.textTabSize = std::clamp(o.textTabSize, 2, 16);
    return o;
}
