#pragma once

#include "viewer/viewtypes.h"

#include <QByteArray>
#include <QColor>
#include <QFont>

// A font with the colour its text is drawn in.
struct ViewFont
{
    QFont font;
    QColor color;

    bool operator==(const ViewFont &) const = default;
};

// The colours of what the viewer draws besides the text.
struct ViewColors
{
    QColor hex = QColor(0, 0, 128);
    QColor hex2 = QColor(0, 0, 255);
    QColor hexBack = QColor(236, 237, 236);
    QColor lines = QColor(128, 128, 128);
    QColor error = QColor(255, 0, 0);
    QColor gutter = QColor(192, 192, 192);
    QColor url = QColor(0, 0, 255);
    QColor highlight = QColor(255, 255, 0);

    bool operator==(const ViewColors &) const = default;
};

// Commands of the viewer's context menu; textPopupCommands holds them as
// bits (1 << command), all six by default.
enum PopupCommand {
    vpCmdCopy = 0,
    vpCmdCopyHex,
    vpCmdCopyLink,
    vpCmdSelectLine,
    vpCmdSelectAll,
    vpCmdEncMenu
};
inline constexpr int popupCommandCount = 6;

// A hex row width: within 2..maxLength, a multiple of 4, at least 2.
int hexRowWidth(int value, int maxLength);

// How a viewer shows its file: fonts, colours, widths, wrapping, gutter.
// A plain value, so the settings and a viewer copy it whole.
struct ViewOptions
{
    // Fonts and colours from the application's palette; the rest as declared.
    static ViewOptions defaults();

    ViewFont font;
    ViewFont fontOEM;
    ViewFont fontFooter;
    ViewFont fontGutter;
    QColor color; // background
    ViewColors colors;

    int textLineSpacing = 0;
    bool textEnableSel = true;
    int textWidth = 80;
    int textWidthHex = 16;
    int textWidthUHex = 8;
    bool textWidthFit = false;
    bool textWidthFitHex = false;
    bool textWidthFitUHex = false;
    bool textWrap = false;
    bool textNonPrintable = false;
    bool textOemSpecial = false;
    bool textUrlHilight = true;
    bool textGutter = false;
    bool textGutterLines = true;
    int textGutterLinesStep = 5;
    int textGutterLinesCount = 2000;
    int textGutterLinesBufSize = 307200;
    bool textGutterLinesExtUse = false;
    QByteArray textGutterLinesExtList;
    int textSearchIndentVert = 5;
    int textSearchIndentHorz = 5;
    int textTabSize = 8;
    int textPopupCommands = (1 << popupCommandCount) - 1;

    // Every number within its range; the row widths within the longest line
    // of their mode (maxLengths, indexed by ViewMode), a hex row a multiple
    // of 4. A fit switched off since 'before' resets its row width unless the
    // width was changed too.
    ViewOptions normalized(const int (&maxLengths)[modeCount], const ViewOptions &before) const;

    bool operator==(const ViewOptions &) const = default;
};
