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
constexpr int kMinPaneLimit = 1000;
constexpr int kMaxPaneLimit = 100'000'000;
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

void loadFont(const IniFile &ini, const QByteArray &section, FontSpec &font)
{
    font.name = ini.readString(section, "Name", font.name);
    font.size = ini.readInteger(section, "Size", font.size);
    font.style = ini.readInteger(section, "Style", font.style);
    font.color = ini.readInteger(section, "Color", font.color);
    font.charset = ini.readInteger(section, "Charset", font.charset);
}

void saveFont(IniFile &ini, const QByteArray &section, const FontSpec &font)
{
    ini.writeString(section, "Name", font.name);
    ini.writeInteger(section, "Size", font.size);
    ini.writeInteger(section, "Style", font.style);
    ini.writeInteger(section, "Color", font.color);
    ini.writeInteger(section, "Charset", font.charset);
}

// Kilobytes in the file, bytes in memory. A missing key keeps the default,
// which may be a byte count that is no whole kilobyte.
int readKilobytes(const IniFile &ini, const QByteArray &section, const QByteArray &key,
                  int defBytes)
{
    constexpr int kUnreadable = std::numeric_limits<int>::min();
    const int kb = ini.readInteger(section, key, kUnreadable);
    if (kb == kUnreadable)
        return defBytes;
    // Clamped before multiplying, so that no count wraps around.
    return std::clamp(kb, kMinGutterKb, kMaxGutterKb) * kKilobyte;
}

bool inRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

// The value when it lies in the range, else the fallback.
int orFallback(int value, int low, int high, int fallback)
{
    return inRange(value, low, high) ? value : fallback;
}

// 0x00BBGGRR, or a system colour the palette knows (0xFF000000 + index).
bool isUsableColor(qint32 value)
{
    const quint32 bits = quint32(value);
    if ((bits & 0xFF000000u) == 0)
        return true;
    return (bits & 0xFFFFFF00u) == 0xFF000000u && (bits & 0xFFu) < kSystemColors;
}

void boundFont(FontSpec &font, const FontSpec &fallback)
{
    // A name with a NUL names no font, and no line could save it.
    if (!IniFile::canHoldValue(font.name))
        font.name = fallback.name;
    font.size = orFallback(font.size, kMinFontPoints, kMaxFontPoints, fallback.size);
    font.style = orFallback(font.style, 0, kAllStyleBits, fallback.style);
    if (!isUsableColor(font.color))
        font.color = fallback.color;
    font.charset = orFallback(font.charset, 0, 255, fallback.charset);
}

struct GeometryKey
{
    const char *key;
    int AppSettings::*value;
};
constexpr GeometryKey kGeometry[] = {{"Width", &AppSettings::windowWidth},
                                     {"Height", &AppSettings::windowHeight},
                                     {"Left", &AppSettings::windowLeft},
                                     {"Top", &AppSettings::windowTop}};

void writeNormalGeometry(IniFile &ini, const AppSettings &s)
{
    for (const GeometryKey &g : kGeometry)
        ini.writeInteger("Window", g.key, s.*g.value);
}

// Maximised, the normal geometry of an earlier run stays in the file; only a
// value that loading would not take is replaced by the one used in its place.
void repairNormalGeometry(IniFile &ini)
{
    AppSettings normal;
    for (const GeometryKey &g : kGeometry)
        normal.*g.value = ini.readInteger("Window", g.key, normal.*g.value);
    boundAppSettings(normal);
    constexpr int kUnreadable = std::numeric_limits<int>::min();
    for (const GeometryKey &g : kGeometry) {
        if (ini.keyExists("Window", g.key) &&
            ini.readInteger("Window", g.key, kUnreadable) != normal.*g.value)
            ini.writeInteger("Window", g.key, normal.*g.value);
    }
}

} // namespace

void loadAppSettings(const IniFile &ini, AppSettings &s)
{
    // A value that cannot be meant gives what a missing key would.
    AppSettings fallback = s;
    boundAppSettings(fallback);
    loadFont(ini, "Font", s.font);
    s.colorBack = ini.readInteger("Opt", "ColorBack", s.colorBack);
    loadFont(ini, "FontGutter", s.fontGutter);

    s.maxLen = ini.readInteger("Opt", "MaxLen", s.maxLen);
    s.tabSize = ini.readInteger("Opt", "TabSize", s.tabSize);
    s.lineSp = ini.readInteger("Opt", "LineSp", s.lineSp);
    s.reloadTime = ini.readInteger("Opt", "ReloadTime", s.reloadTime);
    s.gutter = ini.readBool("Opt", "Gutter", s.gutter);
    s.gutterLines = ini.readBool("Opt", "GutterLines", s.gutterLines);
    s.gutterLinesBuf = readKilobytes(ini, "Opt", "GutterLinesBuf", s.gutterLinesBuf);
    s.gutterLinesCount = ini.readInteger("Opt", "GutterLinesCount", s.gutterLinesCount);
    s.gutterLinesStep = ini.readInteger("Opt", "GutterLinesStep", s.gutterLinesStep);
    s.paneLimit = ini.readInteger("Opt", "PaneLimit", s.paneLimit);
    s.toEnd = ini.readBool("Opt", "ToEnd", s.toEnd);
    s.tail = ini.readBool("Opt", "Tail", s.tail);
    s.wrap = ini.readBool("Opt", "Wrap", s.wrap);
    s.detectEncoding = ini.readBool("Opt", "DetectEncoding", s.detectEncoding);
    s.tabs = ini.readBool("Opt", "Tabs", s.tabs);
    s.tool = ini.readBool("Opt", "Tool", s.tool);
    s.status = ini.readBool("Opt", "Status", s.status);
    s.onTop = ini.readBool("Opt", "OnTop", s.onTop);
    s.mLine = ini.readBool("Opt", "MLine", s.mLine);
    s.cfmExit = ini.readBool("Opt", "CfmExit", s.cfmExit);
    s.cfmClear = ini.readBool("Opt", "CfmClear", s.cfmClear);
    s.reopen = ini.readBool("Opt", "Reopen", s.reopen);
    s.Goto = ini.readBool("Opt", "Goto", s.Goto);
    s.gotoX = ini.readInteger("Opt", "GotoX", s.gotoX);
    s.gotoY = ini.readInteger("Opt", "GotoY", s.gotoY);

    s.marginLeft = ini.readInteger("Margins", "Left", s.marginLeft);
    s.marginTop = ini.readInteger("Margins", "Top", s.marginTop);
    s.marginRight = ini.readInteger("Margins", "Right", s.marginRight);
    s.marginBottom = ini.readInteger("Margins", "Bottom", s.marginBottom);

    s.windowWidth = ini.readInteger("Window", "Width", s.windowWidth);
    s.windowHeight = ini.readInteger("Window", "Height", s.windowHeight);
    s.windowLeft = ini.readInteger("Window", "Left", s.windowLeft);
    s.windowTop = ini.readInteger("Window", "Top", s.windowTop);
    s.windowMax = ini.readBool("Window", "Max", s.windowMax);
    boundAppSettings(s, fallback);
}

void boundAppSettings(AppSettings &s, const AppSettings &fallback)
{
    boundFont(s.font, fallback.font);
    boundFont(s.fontGutter, fallback.fontGutter);
    if (!isUsableColor(s.colorBack))
        s.colorBack = fallback.colorBack;

    s.maxLen = std::clamp(s.maxLen, kMinMaxLen, kMaxMaxLen);
    s.tabSize = std::clamp(s.tabSize, kMinTabSize, kMaxTabSize);
    s.lineSp = std::clamp(s.lineSp, kMinLineSp, kMaxLineSp);
    s.reloadTime = std::clamp(s.reloadTime, 0, kReloadTimes - 1);
    s.gutterLinesBuf =
        std::clamp(s.gutterLinesBuf, kMinGutterKb * kKilobyte, kMaxGutterKb * kKilobyte);
    s.gutterLinesCount = std::clamp(s.gutterLinesCount, kMinGutterCount, kMaxGutterCount);
    s.gutterLinesStep = std::clamp(s.gutterLinesStep, kMinGutterStep, kMaxGutterStep);
    s.paneLimit = std::clamp(s.paneLimit, kMinPaneLimit, kMaxPaneLimit);
    s.gotoX = orFallback(s.gotoX, kMinCoordinate, kMaxCoordinate, fallback.gotoX);
    s.gotoY = orFallback(s.gotoY, kMinCoordinate, kMaxCoordinate, fallback.gotoY);

    for (int *margin : {&s.marginLeft, &s.marginTop, &s.marginRight, &s.marginBottom})
        *margin = std::clamp(*margin, 0, kMaxMarginMm);

    s.windowLeft = orFallback(s.windowLeft, kMinCoordinate, kMaxCoordinate, fallback.windowLeft);
    s.windowTop = orFallback(s.windowTop, kMinCoordinate, kMaxCoordinate, fallback.windowTop);
    s.windowWidth = orFallback(s.windowWidth, 1, kMaxCoordinate, fallback.windowWidth);
    s.windowHeight = orFallback(s.windowHeight, 1, kMaxCoordinate, fallback.windowHeight);
}

void saveAppSettings(IniFile &ini, const AppSettings &settings)
{
    AppSettings s = settings;
    boundAppSettings(s);
    saveFont(ini, "Font", s.font);
    ini.writeInteger("Opt", "ColorBack", s.colorBack);
    saveFont(ini, "FontGutter", s.fontGutter);

    ini.writeInteger("Opt", "MaxLen", s.maxLen);
    ini.writeInteger("Opt", "TabSize", s.tabSize);
    ini.writeInteger("Opt", "LineSp", s.lineSp);
    ini.writeInteger("Opt", "ReloadTime", s.reloadTime);
    ini.writeBool("Opt", "Gutter", s.gutter);
    ini.writeBool("Opt", "GutterLines", s.gutterLines);
    ini.writeInteger("Opt", "GutterLinesBuf", s.gutterLinesBuf / kKilobyte);
    ini.writeInteger("Opt", "GutterLinesCount", s.gutterLinesCount);
    ini.writeInteger("Opt", "GutterLinesStep", s.gutterLinesStep);
    ini.writeInteger("Opt", "PaneLimit", s.paneLimit);
    ini.writeBool("Opt", "ToEnd", s.toEnd);
    ini.writeBool("Opt", "Tail", s.tail);
    ini.writeBool("Opt", "Wrap", s.wrap);
    ini.writeBool("Opt", "DetectEncoding", s.detectEncoding);
    ini.writeBool("Opt", "Tabs", s.tabs);
    ini.writeBool("Opt", "Tool", s.tool);
    ini.writeBool("Opt", "Status", s.status);
    ini.writeBool("Opt", "OnTop", s.onTop);
    ini.writeBool("Opt", "MLine", s.mLine);
    ini.writeBool("Opt", "CfmExit", s.cfmExit);
    ini.writeBool("Opt", "CfmClear", s.cfmClear);
    ini.writeBool("Opt", "Reopen", s.reopen);
    ini.writeBool("Opt", "Goto", s.Goto);
    ini.writeInteger("Opt", "GotoX", s.gotoX);
    ini.writeInteger("Opt", "GotoY", s.gotoY);

    ini.writeInteger("Margins", "Left", s.marginLeft);
    ini.writeInteger("Margins", "Top", s.marginTop);
    ini.writeInteger("Margins", "Right", s.marginRight);
    ini.writeInteger("Margins", "Bottom", s.marginBottom);

    if (s.windowMax)
        repairNormalGeometry(ini);
    else
        writeNormalGeometry(ini, s);
    ini.writeBool("Window", "Max", s.windowMax);
}

int reloadIntervalMs(int reloadTime)
{
    static constexpr std::array<int, kReloadTimes> kIntervals = {500,   1000,  2000,  5000,
                                                                 10000, 30000, 60000, 300000};
    return kIntervals[size_t(std::clamp(reloadTime, 0, int(kIntervals.size()) - 1))];
}
