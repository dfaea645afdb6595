#pragma once

#include <QByteArray>

class IniFile;

// Point sizes a font dialog offers; anything else in the file is a typing error.
constexpr int kMinFontPoints = 1;
constexpr int kMaxFontPoints = 512;

// A font as the settings file stores it. Size is in points; Color is a
// 0x00BBGGRR value or a system colour (0xFF000000 + index); Charset is kept
// and written back only.
struct FontSpec
{
    QByteArray name;
    int size = 10;
    int style = 0; // 1 bold, 2 italic, 4 underline, 8 strike-out
    qint32 color = 0;
    int charset = 204;

    bool operator==(const FontSpec &) const = default;
};

// The shell's own keys of the settings file, with their defaults.
struct AppSettings
{
    FontSpec font{"Courier New", 10, 0, -16777208, 204};    // window-text colour
    FontSpec fontGutter{"Courier New", 9, 0, 8388608, 204}; // navy
    qint32 colorBack = -16777211;                           // window colour
    int maxLen = 300;
    int tabSize = 8;
    int lineSp = 0;
    int reloadTime = 1;
    bool gutter = true;
    bool gutterLines = false;
    int gutterLinesBuf = 500 * 1024; // bytes in memory, kilobytes in the file
    int gutterLinesCount = 2000;
    int gutterLinesStep = 5;
    // Most lines the matching-lines pane keeps (16 bytes each).
    int paneLimit = 10'000'000;
    bool toEnd = false;
    bool tail = true;
    bool wrap = false;
    // A file opened for the first time without a byte order mark gets the
    // encoding its first 64 KiB suggest.
    bool detectEncoding = true;
    bool tabs = false;
    bool tool = true;
    bool status = true;
    bool onTop = false;
    bool mLine = true;
    bool cfmExit = true;
    bool cfmClear = true;
    bool reopen = false;
    bool Goto = false;
    int gotoX = 394;
    int gotoY = 423;
    int marginLeft = 10;
    int marginTop = 10;
    int marginRight = 10;
    int marginBottom = 10;
    int windowLeft = 204;
    int windowTop = 255;
    int windowWidth = 664;
    int windowHeight = 379;
    bool windowMax = false;

    bool operator==(const AppSettings &) const = default;
};

// Each key's default is the value the struct holds on entry, so a missing or
// unreadable key leaves it unchanged. Every value read is bounded as
// BoundAppSettings does, so what is saved again is what the program used.
void loadAppSettings(const IniFile &ini, AppSettings &settings);

// Brings every value into the range the program works with: the options
// dialog's for what it edits, the viewers' where they would bound it
// themselves, and plain sanity for the rest. Sizes, counts and spacings go
// to the nearest bound; fonts, colours and window places that cannot be
// meant take the value of fallback.
void boundAppSettings(AppSettings &settings, const AppSettings &fallback = AppSettings());

// The normal window geometry is written only when the window is not
// maximised, so the geometry of an earlier run survives a maximised exit.
void saveAppSettings(IniFile &ini, const AppSettings &settings);

// The auto-reload interval for the ReloadTime option; an index outside the
// eight-entry table is clamped into it.
int reloadIntervalMs(int reloadTime);
