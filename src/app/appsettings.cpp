#include "app/appsettings.h"

#include "app/inifile.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr int kKilobyte = 1024;

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

// Kilobytes that do not fit in bytes would overflow; they count as unreadable.
// The default stays in bytes, so a byte count that is no whole kilobyte survives.
int ReadKilobytes(const IniFile &ini, const QByteArray &section, const QByteArray &key,
                  int defBytes)
{
    constexpr int kUnreadable = std::numeric_limits<int>::min();
    const int kb = ini.ReadInteger(section, key, kUnreadable);
    if (kb > std::numeric_limits<int>::max() / kKilobyte ||
        kb < std::numeric_limits<int>::min() / kKilobyte)
        return defBytes;
    return kb * kKilobyte;
}

} // namespace

void LoadAppSettings(const IniFile &ini, AppSettings &s)
{
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
}

void SaveAppSettings(IniFile &ini, const AppSettings &s)
{
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

    if (!s.WindowMax) {
        ini.WriteInteger("Window", "Width", s.WindowWidth);
        ini.WriteInteger("Window", "Height", s.WindowHeight);
        ini.WriteInteger("Window", "Left", s.WindowLeft);
        ini.WriteInteger("Window", "Top", s.WindowTop);
    }
    ini.WriteBool("Window", "Max", s.WindowMax);
}

int ReloadIntervalMs(int reloadTime)
{
    static constexpr std::array<int, 8> kIntervals = {500,   1000,  2000,  5000,
                                                      10000, 30000, 60000, 300000};
    return kIntervals[size_t(std::clamp(reloadTime, 0, int(kIntervals.size()) - 1))];
}
