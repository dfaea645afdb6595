#include "app/appsettings.h"

#include "app/inifile.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr int kKilobyte = 1024;

// The ranges the options dialog offers.
constexpr int kMinMaxLen = 100;
constexpr int kMaxMaxLen = 2000;
constexpr int kMinTabSize = 2;
constexpr int kMaxTabSize = 16;
constexpr int kMinLineSp = -5;
constexpr int kMaxLineSp = 5;
constexpr int kReloadTimes = 8;
// The gutter fields take any number; these are the bounds the viewers keep to.
constexpr int kMinGutterKb = 1;
constexpr int kMaxGutterKb = 20480;
constexpr int kMinGutterCount = 10;
constexpr int kMaxGutterCount = 100000;
constexpr int kMinGutterStep = 1;
constexpr int kMaxGutterStep = 10;
// No paper has a margin of a metre; more would overflow the page maths.
constexpr int kMaxMarginMm = 1000;
// Window coordinates are 16-bit on the desktop: anything beyond is damage.
constexpr int kMinCoordinate = -32768;
constexpr int kMaxCoordinate = 32767;
constexpr int kAllStyleBits = 15;
// The classic system colours the palette maps (window 5, window text 8, ...).
constexpr quint32 kSystemColors = 31;

void LoadFont(const IniFile &ini, const QByteArray &section, FontSpec &font)
{
    font.Name = ini.ReadString(section, "Name", font.Name);
    font.Size = ini.ReadInteger(section, "Size", font.Size);
    font.Style = ini.ReadInteger(section, "Style", font.Style);
    font.Color = ini.ReadInteger(section, "Color", font.Color);
    font.Charset = ini.ReadInteger(section, "Charset", font.Charset);
}

void SaveFont(IniFile &ini, const QByteArray &section, const FontSpec &font)
{
    ini.WriteString(section, "Name", font.Name);
    ini.WriteInteger(section, "Size", font.Size);
    ini.WriteInteger(section, "Style", font.Style);
    ini.WriteInteger(section, "Color", font.Color);
    ini.WriteInteger(section, "Charset", font.Charset);
}

// Kilobytes in the file, bytes in memory. A missing key keeps the default,
// which may be a byte count that is no whole kilobyte.
int ReadKilobytes(const IniFile &ini, const QByteArray &section, const QByteArray &key,
                  int defBytes)
{
    constexpr int kUnreadable = std::numeric_limits<int>::min();
    const int kb = ini.ReadInteger(section, key, kUnreadable);
    if (kb == kUnreadable)
        return defBytes;
    // Clamped before multiplying, so that no count wraps around.
    return std::clamp(kb, kMinGutterKb, kMaxGutterKb) * kKilobyte;
}

bool InRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

// The value when it lies in the range, else the fallback.
int OrFallback(int value, int low, int high, int fallback)
{
    return InRange(value, low, high) ? value : fallback;
}

// 0x00BBGGRR, or a system colour the palette knows (0xFF000000 + index).
bool IsUsableColor(qint32 value)
{
    const quint32 bits = quint32(value);
    if ((bits & 0xFF000000u) == 0)
        return true;
    return (bits & 0xFFFFFF00u) == 0xFF000000u && (bits & 0xFFu) < kSystemColors;
}

void BoundFont(FontSpec &font, const FontSpec &fallback)
{
    font.Size = OrFallback(font.Size, kMinFontPoints, kMaxFontPoints, fallback.Size);
    font.Style = OrFallback(font.Style, 0, kAllStyleBits, fallback.Style);
    if (!IsUsableColor(font.Color))
        font.Color = fallback.Color;
    font.Charset = OrFallback(font.Charset, 0, 255, fallback.Charset);
}

struct GeometryKey
{
    const char *key;
    int AppSettings::*value;
};
constexpr GeometryKey kGeometry[] = {{"Width", &AppSettings::WindowWidth},
                                     {"Height", &AppSettings::WindowHeight},
                                     {"Left", &AppSettings::WindowLeft},
                                     {"Top", &AppSettings::WindowTop}};

void WriteNormalGeometry(IniFile &ini, const AppSettings &s)
{
    for (const GeometryKey &g : kGeometry)
        ini.WriteInteger("Window", g.key, s.*g.value);
}

// Maximised, the normal geometry of an earlier run stays in the file; only a
// value that loading would not take is replaced by the one used in its place.
void RepairNormalGeometry(IniFile &ini)
{
    AppSettings normal;
    for (const GeometryKey &g : kGeometry)
        normal.*g.value = ini.ReadInteger("Window", g.key, normal.*g.value);
    BoundAppSettings(normal);
    constexpr int kUnreadable = std::numeric_limits<int>::min();
    for (const GeometryKey &g : kGeometry) {
        if (ini.KeyExists("Window", g.key) &&
            ini.ReadInteger("Window", g.key, kUnreadable) != normal.*g.value)
            ini.WriteInteger("Window", g.key, normal.*g.value);
    }
}

} // namespace

void LoadAppSettings(const IniFile &ini, AppSettings &s)
{
    // A value that cannot be meant gives what a missing key would.
    AppSettings fallback = s;
    BoundAppSettings(fallback);
    LoadFont(ini, "Font", s.Font);
    s.ColorBack = ini.ReadInteger("Opt", "ColorBack", s.ColorBack);
    LoadFont(ini, "FontGutter", s.FontGutter);

    s.MaxLen = ini.ReadInteger("Opt", "MaxLen", s.MaxLen);
    s.TabSize = ini.ReadInteger("Opt", "TabSize", s.TabSize);
    s.LineSp = ini.ReadInteger("Opt", "LineSp", s.LineSp);
    s.ReloadTime = ini.ReadInteger("Opt", "ReloadTime", s.ReloadTime);
    s.Gutter = ini.ReadBool("Opt", "Gutter", s.Gutter);
    s.GutterLines = ini.ReadBool("Opt", "GutterLines", s.GutterLines);
    s.GutterLinesBuf = ReadKilobytes(ini, "Opt", "GutterLinesBuf", s.GutterLinesBuf);
    s.GutterLinesCount = ini.ReadInteger("Opt", "GutterLinesCount", s.GutterLinesCount);
    s.GutterLinesStep = ini.ReadInteger("Opt", "GutterLinesStep", s.GutterLinesStep);
    s.ToEnd = ini.ReadBool("Opt", "ToEnd", s.ToEnd);
    s.Tail = ini.ReadBool("Opt", "Tail", s.Tail);
    s.Wrap = ini.ReadBool("Opt", "Wrap", s.Wrap);
    s.Tabs = ini.ReadBool("Opt", "Tabs", s.Tabs);
    s.Tool = ini.ReadBool("Opt", "Tool", s.Tool);
    s.Status = ini.ReadBool("Opt", "Status", s.Status);
    s.OnTop = ini.ReadBool("Opt", "OnTop", s.OnTop);
    s.MLine = ini.ReadBool("Opt", "MLine", s.MLine);
    s.CfmExit = ini.ReadBool("Opt", "CfmExit", s.CfmExit);
    s.CfmClear = ini.ReadBool("Opt", "CfmClear", s.CfmClear);
    s.Reopen = ini.ReadBool("Opt", "Reopen", s.Reopen);
    s.Goto = ini.ReadBool("Opt", "Goto", s.Goto);
    s.GotoX = ini.ReadInteger("Opt", "GotoX", s.GotoX);
    s.GotoY = ini.ReadInteger("Opt", "GotoY", s.GotoY);

    s.MarginLeft = ini.ReadInteger("Margins", "Left", s.MarginLeft);
    s.MarginTop = ini.ReadInteger("Margins", "Top", s.MarginTop);
    s.MarginRight = ini.ReadInteger("Margins", "Right", s.MarginRight);
    s.MarginBottom = ini.ReadInteger("Margins", "Bottom", s.MarginBottom);

    s.WindowWidth = ini.ReadInteger("Window", "Width", s.WindowWidth);
    s.WindowHeight = ini.ReadInteger("Window", "Height", s.WindowHeight);
    s.WindowLeft = ini.ReadInteger("Window", "Left", s.WindowLeft);
    s.WindowTop = ini.ReadInteger("Window", "Top", s.WindowTop);
    s.WindowMax = ini.ReadBool("Window", "Max", s.WindowMax);
    BoundAppSettings(s, fallback);
}

void BoundAppSettings(AppSettings &s, const AppSettings &fallback)
{
    BoundFont(s.Font, fallback.Font);
    BoundFont(s.FontGutter, fallback.FontGutter);
    if (!IsUsableColor(s.ColorBack))
        s.ColorBack = fallback.ColorBack;

    s.MaxLen = std::clamp(s.MaxLen, kMinMaxLen, kMaxMaxLen);
    s.TabSize = std::clamp(s.TabSize, kMinTabSize, kMaxTabSize);
    s.LineSp = std::clamp(s.LineSp, kMinLineSp, kMaxLineSp);
    s.ReloadTime = std::clamp(s.ReloadTime, 0, kReloadTimes - 1);
    s.GutterLinesBuf =
        std::clamp(s.GutterLinesBuf, kMinGutterKb * kKilobyte, kMaxGutterKb * kKilobyte);
    s.GutterLinesCount = std::clamp(s.GutterLinesCount, kMinGutterCount, kMaxGutterCount);
    s.GutterLinesStep = std::clamp(s.GutterLinesStep, kMinGutterStep, kMaxGutterStep);
    s.GotoX = OrFallback(s.GotoX, kMinCoordinate, kMaxCoordinate, fallback.GotoX);
    s.GotoY = OrFallback(s.GotoY, kMinCoordinate, kMaxCoordinate, fallback.GotoY);

    for (int *margin : {&s.MarginLeft, &s.MarginTop, &s.MarginRight, &s.MarginBottom})
        *margin = std::clamp(*margin, 0, kMaxMarginMm);

    s.WindowLeft = OrFallback(s.WindowLeft, kMinCoordinate, kMaxCoordinate, fallback.WindowLeft);
    s.WindowTop = OrFallback(s.WindowTop, kMinCoordinate, kMaxCoordinate, fallback.WindowTop);
    s.WindowWidth = OrFallback(s.WindowWidth, 1, kMaxCoordinate, fallback.WindowWidth);
    s.WindowHeight = OrFallback(s.WindowHeight, 1, kMaxCoordinate, fallback.WindowHeight);
}

void SaveAppSettings(IniFile &ini, const AppSettings &settings)
{
    AppSettings s = settings;
    BoundAppSettings(s);
    SaveFont(ini, "Font", s.Font);
    ini.WriteInteger("Opt", "ColorBack", s.ColorBack);
    SaveFont(ini, "FontGutter", s.FontGutter);

    ini.WriteInteger("Opt", "MaxLen", s.MaxLen);
    ini.WriteInteger("Opt", "TabSize", s.TabSize);
    ini.WriteInteger("Opt", "LineSp", s.LineSp);
    ini.WriteInteger("Opt", "ReloadTime", s.ReloadTime);
    ini.WriteBool("Opt", "Gutter", s.Gutter);
    ini.WriteBool("Opt", "GutterLines", s.GutterLines);
    ini.WriteInteger("Opt", "GutterLinesBuf", s.GutterLinesBuf / kKilobyte);
    ini.WriteInteger("Opt", "GutterLinesCount", s.GutterLinesCount);
    ini.WriteInteger("Opt", "GutterLinesStep", s.GutterLinesStep);
    ini.WriteBool("Opt", "ToEnd", s.ToEnd);
    ini.WriteBool("Opt", "Tail", s.Tail);
    ini.WriteBool("Opt", "Wrap", s.Wrap);
    ini.WriteBool("Opt", "Tabs", s.Tabs);
    ini.WriteBool("Opt", "Tool", s.Tool);
    ini.WriteBool("Opt", "Status", s.Status);
    ini.WriteBool("Opt", "OnTop", s.OnTop);
    ini.WriteBool("Opt", "MLine", s.MLine);
    ini.WriteBool("Opt", "CfmExit", s.CfmExit);
    ini.WriteBool("Opt", "CfmClear", s.CfmClear);
    ini.WriteBool("Opt", "Reopen", s.Reopen);
    ini.WriteBool("Opt", "Goto", s.Goto);
    ini.WriteInteger("Opt", "GotoX", s.GotoX);
    ini.WriteInteger("Opt", "GotoY", s.GotoY);

    ini.WriteInteger("Margins", "Left", s.MarginLeft);
    ini.WriteInteger("Margins", "Top", s.MarginTop);
    ini.WriteInteger("Margins", "Right", s.MarginRight);
    ini.WriteInteger("Margins", "Bottom", s.MarginBottom);

    if (s.WindowMax)
        RepairNormalGeometry(ini);
    else
        WriteNormalGeometry(ini, s);
    ini.WriteBool("Window", "Max", s.WindowMax);
}

int ReloadIntervalMs(int reloadTime)
{
    static constexpr std::array<int, kReloadTimes> kIntervals = {500,   1000,  2000,  5000,
                                                                 10000, 30000, 60000, 300000};
    return kIntervals[size_t(std::clamp(reloadTime, 0, int(kIntervals.size()) - 1))];
}
