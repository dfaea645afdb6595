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
    QByteArray Name;
    int Size = 10;
    int Style = 0; // 1 bold, 2 italic, 4 underline, 8 strike-out
    qint32 Color = 0;
    int Charset = 204;

    bool operator==(const FontSpec &) const = default;
};

// The shell's own keys of the settings file, with their defaults.
struct AppSettings
{
    FontSpec Font{"Courier New", 10, 0, -16777208, 204};    // window-text colour
    FontSpec FontGutter{"Courier New", 9, 0, 8388608, 204}; // navy
    qint32 ColorBack = -16777211;                           // window colour
    int MaxLen = 300;
    int TabSize = 8;
    int LineSp = 0;
    int ReloadTime = 1;
    bool Gutter = true;
    bool GutterLines = false;
    int GutterLinesBuf = 500 * 1024; // bytes in memory, kilobytes in the file
    int GutterLinesCount = 2000;
    int GutterLinesStep = 5;
    bool ToEnd = false;
    bool Tail = true;
    bool Wrap = false;
    bool Tabs = false;
    bool Tool = true;
    bool Status = true;
    bool OnTop = false;
    bool MLine = true;
    bool CfmExit = true;
    bool CfmClear = true;
    bool Reopen = false;
    bool Goto = false;
    int GotoX = 394;
    int GotoY = 423;
    int MarginLeft = 10;
    int MarginTop = 10;
    int MarginRight = 10;
    int MarginBottom = 10;
    int WindowLeft = 204;
    int WindowTop = 255;
    int WindowWidth = 664;
    int WindowHeight = 379;
    bool WindowMax = false;

    bool operator==(const AppSettings &) const = default;
};

// Each key's default is the value the struct holds on entry, so a missing or
// unreadable key leaves it unchanged. Every value read is bounded as
// BoundAppSettings does, so what is saved again is what the program used.
void LoadAppSettings(const IniFile &ini, AppSettings &settings);

// Brings every value into the range the program works with: the options
// dialog's for what it edits, the viewers' where they would bound it
// themselves, and plain sanity for the rest. Sizes, counts and spacings go
// to the nearest bound; fonts, colours and window places that cannot be
// meant take the value of fallback.
void BoundAppSettings(AppSettings &settings, const AppSettings &fallback = AppSettings());

// The normal window geometry is written only when the window is not
// maximised, so the geometry of an earlier run survives a maximised exit.
void SaveAppSettings(IniFile &ini, const AppSettings &settings);

// The auto-reload interval for the ReloadTime option; an index outside the
// eight-entry table is clamped into it.
int ReloadIntervalMs(int reloadTime);
