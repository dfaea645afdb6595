#include "app/appsettings.h"

#include "app/inifile.h"
#include "settingsfixture.h"

#include <QSet>

#include <climits>

namespace {

// The [Opt] keys from MaxLen to Reopen, in the order they are written, after ColorBack.
QStringList OptKeys()
{
    return {"ColorBack",
            "MaxLen",
            "TabSize",
            "LineSp",
            "ReloadTime",
            "Gutter",
            "GutterLines",
            "GutterLinesBuf",
            "GutterLinesCount",
            "GutterLinesStep",
            "ToEnd",
            "Tail",
            "Wrap",
            "Tabs",
            "Tool",
            "Status",
            "OnTop",
            "MLine",
            "CfmExit",
            "CfmClear",
            "Reopen"};
}

class AppSettingsTest : public SettingsFixture
{
protected:
    QString Path() const { return PathOf(QStringLiteral("Ravelin.ini")); }

    AppSettings LoadFrom(const QByteArray &text)
    {
        WriteFile(Path(), text);
        IniFile ini(Path());
        EXPECT_TRUE(ini.Load());
        AppSettings settings;
        LoadAppSettings(ini, settings);
        return settings;
    }

    // Saves the settings over the current file and reads them back.
    AppSettings SaveAndReload(const AppSettings &settings)
    {
        IniFile ini(Path());
        EXPECT_TRUE(ini.Load());
        SaveAppSettings(ini, settings);
        EXPECT_TRUE(ini.UpdateFile());
        IniFile again(Path());
        EXPECT_TRUE(again.Load());
        AppSettings read;
        LoadAppSettings(again, read);
        return read;
    }
};

TEST_F(AppSettingsTest, NoFileGivesEveryDefault)
{
    IniFile ini(PathOf(QStringLiteral("missing/Ravelin.ini")));
    ASSERT_TRUE(ini.Load());
    AppSettings s;
    LoadAppSettings(ini, s);

    EXPECT_EQ(s.Font, (FontSpec{"Courier New", 10, 0, -16777208, 204}));
    EXPECT_EQ(s.FontGutter, (FontSpec{"Courier New", 9, 0, 8388608, 204}));
    EXPECT_EQ(s.ColorBack, -16777211);
    EXPECT_EQ(s.MaxLen, 300);
    EXPECT_EQ(s.TabSize, 8);
    EXPECT_EQ(s.LineSp, 0);
    EXPECT_EQ(s.ReloadTime, 1);
    EXPECT_TRUE(s.Gutter);
    EXPECT_FALSE(s.GutterLines);
    EXPECT_EQ(s.GutterLinesBuf, 500 * 1024);
    EXPECT_EQ(s.GutterLinesCount, 2000);
    EXPECT_EQ(s.GutterLinesStep, 5);
    EXPECT_FALSE(s.ToEnd);
    EXPECT_TRUE(s.Tail);
    EXPECT_FALSE(s.Wrap);
    EXPECT_FALSE(s.Tabs);
    EXPECT_TRUE(s.Tool);
    EXPECT_TRUE(s.Status);
    EXPECT_FALSE(s.OnTop);
    EXPECT_TRUE(s.MLine);
    EXPECT_TRUE(s.CfmExit);
    EXPECT_TRUE(s.CfmClear);
    EXPECT_FALSE(s.Reopen);
    EXPECT_FALSE(s.Goto);
    EXPECT_EQ(s.GotoX, 394);
    EXPECT_EQ(s.GotoY, 423);
    EXPECT_EQ(s.MarginLeft, 10);
    EXPECT_EQ(s.MarginTop, 10);
    EXPECT_EQ(s.MarginRight, 10);
    EXPECT_EQ(s.MarginBottom, 10);
    EXPECT_EQ(s.WindowLeft, 204);
    EXPECT_EQ(s.WindowTop, 255);
    EXPECT_EQ(s.WindowWidth, 664);
    EXPECT_EQ(s.WindowHeight, 379);
    EXPECT_FALSE(s.WindowMax);
}

TEST_F(AppSettingsTest, SaveWritesEveryKeyAndReadsBackEveryValue)
{
    AppSettings s;
    s.Font = {"DejaVu Sans Mono", 12, 3, 0x00112233, 0};
    s.FontGutter = {"Liberation Mono", 7, 8, -16777198, 1};
    s.ColorBack = 0x00FFEEDD;
    s.MaxLen = 2000;
    s.TabSize = 4;
    s.LineSp = 2;
    s.ReloadTime = 7;
    s.Gutter = false;
    s.GutterLines = true;
    s.GutterLinesBuf = 64 * 1024;
    s.GutterLinesCount = 100;
    s.GutterLinesStep = 1;
    s.ToEnd = true;
    s.Tail = false;
    s.Wrap = true;
    s.Tabs = true;
    s.Tool = false;
    s.Status = false;
    s.OnTop = true;
    s.MLine = false;
    s.CfmExit = false;
    s.CfmClear = false;
    s.Reopen = true;
    s.Goto = true;
    s.GotoX = -5;
    s.GotoY = 3000;
    s.MarginLeft = 1;
    s.MarginTop = 2;
    s.MarginRight = 3;
    s.MarginBottom = 4;
    s.WindowLeft = -8;
    s.WindowTop = 0;
    s.WindowWidth = 1920;
    s.WindowHeight = 1080;
    s.WindowMax = false;
    EXPECT_EQ(SaveAndReload(s), s);

    IniFile ini(Path());
    ASSERT_TRUE(ini.Load());
    const QStringList font = {"Name", "Size", "Style", "Color", "Charset"};
    EXPECT_EQ(ini.ReadSectionKeys("Font"), font);
    EXPECT_EQ(ini.ReadSectionKeys("FontGutter"), font);
    EXPECT_EQ(ini.ReadSectionKeys("Opt"),
              QStringList(OptKeys() + QStringList{"Goto", "GotoX", "GotoY"}));
    EXPECT_EQ(ini.ReadSectionKeys("Margins"), QStringList({"Left", "Top", "Right", "Bottom"}));
    EXPECT_EQ(ini.ReadSectionKeys("Window"),
              QStringList({"Width", "Height", "Left", "Top", "Max"}));
    EXPECT_EQ(ini.ReadString("Font", "Color", ""), "1122867");
    EXPECT_EQ(ini.ReadString("Opt", "Gutter", ""), "0");
    EXPECT_EQ(ini.ReadString("Opt", "Tabs", ""), "1");
}

TEST_F(AppSettingsTest, UnreadableValuesGiveTheirDefaults)
{
    struct Case
    {
        QByteArray line;
        bool AppSettings::*field;
        bool expected;
    };
    const Case cases[] = {
        {"Gutter=yes", &AppSettings::Gutter, true}, // default true
        {"Wrap=yes", &AppSettings::Wrap, false},    // default false
        {"Gutter=0x0", &AppSettings::Gutter, false}, {"Wrap=$1F", &AppSettings::Wrap, true},
        {"Gutter=$1F", &AppSettings::Gutter, true},  {"Wrap=-1", &AppSettings::Wrap, true},
        {"Tail=\"0\"", &AppSettings::Tail, false},   {"Tail=", &AppSettings::Tail, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.constData());
        EXPECT_EQ(LoadFrom("[Opt]\n" + c.line + "\n").*c.field, c.expected);
    }
}

TEST_F(AppSettingsTest, GutterLinesBufIsKilobytesInTheFileAndBytesInMemory)
{
    AppSettings s = LoadFrom("[Opt]\nGutterLinesBuf=64\n");
    EXPECT_EQ(s.GutterLinesBuf, 65536);

    IniFile ini(Path());
    ASSERT_TRUE(ini.Load());
    SaveAppSettings(ini, s);
    EXPECT_EQ(ini.ReadString("Opt", "GutterLinesBuf", ""), "64");

    // A missing key leaves a byte count that is no whole kilobyte as it is.
    IniFile empty(PathOf(QStringLiteral("none.ini")));
    ASSERT_TRUE(empty.Load());
    AppSettings odd;
    odd.GutterLinesBuf = 1500;
    LoadAppSettings(empty, odd);
    EXPECT_EQ(odd.GutterLinesBuf, 1500);

    // Kilobytes that would overflow the byte count come to the bound, not
    // wrapped around.
    EXPECT_EQ(LoadFrom("[Opt]\nGutterLinesBuf=2097152\n").GutterLinesBuf, 20480 * 1024);
    EXPECT_EQ(LoadFrom("[Opt]\nGutterLinesBuf=-2097153\n").GutterLinesBuf, 1024);
}

TEST_F(AppSettingsTest, MaximisedSaveKeepsTheNormalGeometryOfTheFile)
{
    AppSettings s = LoadFrom("[Window]\nLeft=1\nTop=2\nWidth=300\nHeight=200\nMax=0\n");
    s.WindowMax = true;
    s.WindowLeft = -4;
    s.WindowTop = -4;
    s.WindowWidth = 1928;
    s.WindowHeight = 1048;
    const AppSettings read = SaveAndReload(s);
    EXPECT_TRUE(read.WindowMax);
    EXPECT_EQ(read.WindowLeft, 1);
    EXPECT_EQ(read.WindowTop, 2);
    EXPECT_EQ(read.WindowWidth, 300);
    EXPECT_EQ(read.WindowHeight, 200);
}

TEST_F(AppSettingsTest, DamagedFilesGiveDefaultsAndKeepTheirOtherLines)
{
    QByteArray garbage;
    quint32 state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += char(state >> 24);
    }
    QByteArray wrongTypes = "[Opt]\n";
    for (const QString &key : OptKeys())
        wrongTypes += key.toLatin1() + "=1.5e3\n";
    wrongTypes += "[Font]\nSize=ten\nStyle=bold\nColor=red\nCharset=\n"
                  "[Margins]\nLeft=0x\nTop=$\nRight=--1\nBottom=1,5\n"
                  "[Window]\nLeft=99999999999\nTop=-\nWidth=\"\"\nHeight=abc\nMax=true\n";

    struct Case
    {
        const char *name;
        QByteArray text;
        AppSettings expected;
        QByteArray kept; // lines the settings do not own, still there after a save
    };
    AppSettings maxLen777;
    maxLen777.MaxLen = 777;
    AppSettings tabSize3;
    tabSize3.TabSize = 3;
    const QByteArray longLines = "[Opt]\nMaxLen=" + QByteArray(10 << 20, '7') +
                                 "\n[Mine]\nKeep=1\n" + QByteArray(10 << 20, '[') + "\n";
    const Case cases[] = {
        {"binary garbage", garbage, AppSettings(), garbage},
        {"garbage around good lines",
         garbage + "\n[Mine]\nKeep=1\n" + garbage + "\n[Opt]\nMaxLen=777\n" + garbage, maxLen777,
         garbage + "\n[Mine]\nKeep=1\n" + garbage + "\n[Opt]\n"},
        {"ten megabyte lines", longLines + "[Opt]\nTabSize=3\n", AppSettings(),
         longLines.mid(longLines.indexOf("[Mine]"))},
        {"duplicate sections", "[Opt]\nTabSize=3\n[Mine]\nKeep=1\n[OPT]\nTabSize=5\nMaxLen=9\n",
         tabSize3, "[Mine]\nKeep=1\n[OPT]\nTabSize=5\nMaxLen=9\n"},
        {"values of the wrong type", wrongTypes + "[Mine]\nKeep=1\n", AppSettings(),
         "[Mine]\nKeep=1\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoadFrom(c.text), c.expected);

        IniFile ini(Path());
        ASSERT_TRUE(ini.Load());
        SaveAppSettings(ini, c.expected);
        ASSERT_TRUE(ini.UpdateFile());
        const QByteArray saved = ReadFile(Path());
        EXPECT_TRUE(saved.contains(c.kept));

        IniFile again(Path());
        ASSERT_TRUE(again.Load());
        AppSettings read;
        LoadAppSettings(again, read);
        EXPECT_EQ(read, c.expected);
        const bool hasMine = c.text.contains("[Mine]");
        EXPECT_EQ(again.ReadInteger("Mine", "Keep", 0), hasMine ? 1 : 0);
    }
}

// Every numeric key: a value the program would not use as it stands is read
// as the one it uses, and that is what the next save writes.
TEST_F(AppSettingsTest, NumbersOutsideTheirRangeAreReadAndWrittenAsUsed)
{
    using Get = int (*)(const AppSettings &);
    struct Case
    {
        const char *Section;
        const char *Key;
        const char *Stored;
        Get Used;
        int Expected;
    };
    const Case cases[] = {
        // Fonts: sizes a font dialog offers, style bits, colours the palette
        // knows; anything else is the key's default.
        {"Font", "Size", "10000", [](const AppSettings &s) { return s.Font.Size; }, 10},
        {"Font", "Size", "0", [](const AppSettings &s) { return s.Font.Size; }, 10},
        {"Font", "Size", "512", [](const AppSettings &s) { return s.Font.Size; }, 512},
        {"FontGutter", "Size", "-4", [](const AppSettings &s) { return s.FontGutter.Size; }, 9},
        {"Font", "Style", "16", [](const AppSettings &s) { return s.Font.Style; }, 0},
        {"FontGutter", "Style", "15", [](const AppSettings &s) { return s.FontGutter.Style; }, 15},
        {"Font", "Color", "16777216", [](const AppSettings &s) { return s.Font.Color; }, -16777208},
        {"Font", "Color", "16777215", [](const AppSettings &s) { return s.Font.Color; }, 16777215},
        {"FontGutter", "Color", "-16777185", // system colour 31: there is none
         [](const AppSettings &s) { return s.FontGutter.Color; }, 8388608},
        {"FontGutter", "Color", "-16777186",
         [](const AppSettings &s) { return s.FontGutter.Color; }, -16777186},
        {"Font", "Charset", "256", [](const AppSettings &s) { return s.Font.Charset; }, 204},
        {"FontGutter", "Charset", "0", [](const AppSettings &s) { return s.FontGutter.Charset; },
         0},
        {"Opt", "ColorBack", "2147483647", [](const AppSettings &s) { return s.ColorBack; },
         -16777211},
        // The options dialog's ranges, to the nearest bound.
        {"Opt", "MaxLen", "0", [](const AppSettings &s) { return s.MaxLen; }, 100},
        {"Opt", "MaxLen", "99999", [](const AppSettings &s) { return s.MaxLen; }, 2000},
        {"Opt", "TabSize", "-5", [](const AppSettings &s) { return s.TabSize; }, 2},
        {"Opt", "TabSize", "17", [](const AppSettings &s) { return s.TabSize; }, 16},
        {"Opt", "LineSp", "1000", [](const AppSettings &s) { return s.LineSp; }, 5},
        {"Opt", "LineSp", "-6", [](const AppSettings &s) { return s.LineSp; }, -5},
        {"Opt", "ReloadTime", "8", [](const AppSettings &s) { return s.ReloadTime; }, 7},
        {"Opt", "ReloadTime", "-1", [](const AppSettings &s) { return s.ReloadTime; }, 0},
        // The gutter's fields, to the bounds the viewers keep to.
        {"Opt", "GutterLinesBuf", "0", [](const AppSettings &s) { return s.GutterLinesBuf; }, 1024},
        {"Opt", "GutterLinesBuf", "99999", [](const AppSettings &s) { return s.GutterLinesBuf; },
         20480 * 1024},
        {"Opt", "GutterLinesCount", "0", [](const AppSettings &s) { return s.GutterLinesCount; },
         10},
        {"Opt", "GutterLinesCount", "1000000",
         [](const AppSettings &s) { return s.GutterLinesCount; }, 100000},
        {"Opt", "GutterLinesStep", "0", [](const AppSettings &s) { return s.GutterLinesStep; }, 1},
        {"Opt", "GutterLinesStep", "11", [](const AppSettings &s) { return s.GutterLinesStep; },
         10},
        // Places on the desktop: beyond its 16-bit coordinates is damage.
        {"Opt", "GotoX", "1000000000", [](const AppSettings &s) { return s.GotoX; }, 394},
        {"Opt", "GotoY", "-40000", [](const AppSettings &s) { return s.GotoY; }, 423},
        {"Opt", "GotoX", "-32768", [](const AppSettings &s) { return s.GotoX; }, -32768},
        {"Margins", "Left", "-3", [](const AppSettings &s) { return s.MarginLeft; }, 0},
        {"Margins", "Top", "100000", [](const AppSettings &s) { return s.MarginTop; }, 1000},
        {"Margins", "Right", "1000", [](const AppSettings &s) { return s.MarginRight; }, 1000},
        {"Margins", "Bottom", "-1", [](const AppSettings &s) { return s.MarginBottom; }, 0},
        {"Window", "Left", "1000000000", [](const AppSettings &s) { return s.WindowLeft; }, 204},
        {"Window", "Top", "-1000000000", [](const AppSettings &s) { return s.WindowTop; }, 255},
        {"Window", "Width", "-100", [](const AppSettings &s) { return s.WindowWidth; }, 664},
        {"Window", "Height", "0", [](const AppSettings &s) { return s.WindowHeight; }, 379},
        {"Window", "Width", "40000", [](const AppSettings &s) { return s.WindowWidth; }, 664},
        {"Window", "Left", "-32768", [](const AppSettings &s) { return s.WindowLeft; }, -32768},
    };
    for (const bool maximised : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(QStringLiteral("[%1] %2=%3%4")
                             .arg(c.Section, c.Key, c.Stored,
                                  maximised ? QStringLiteral(", maximised") : QString())
                             .toStdString());
            const QByteArray section(c.Section);
            QByteArray text = "[" + section + "]\n" + c.Key + "=" + c.Stored + "\n";
            if (maximised)
                text += section == "Window" ? "Max=1\n" : "[Window]\nMax=1\n";
            const AppSettings read = LoadFrom(text);
            EXPECT_EQ(c.Used(read), c.Expected);

            IniFile ini(Path());
            ASSERT_TRUE(ini.Load());
            SaveAppSettings(ini, read);
            const int kb = section == "Opt" && QByteArray(c.Key) == "GutterLinesBuf" ? 1024 : 1;
            EXPECT_EQ(ini.ReadString(section, c.Key, ""), QByteArray::number(c.Expected / kb))
                << "written back as used";
        }
    }
}

TEST(ReloadIntervalTest, IndexesTheTableAndClampsOutsideIt)
{
    const struct
    {
        int index, ms;
    } cases[] = {{0, 500},   {1, 1000},   {2, 2000},      {3, 5000},
                 {4, 10000}, {5, 30000},  {6, 60000},     {7, 300000},
                 {-1, 500},  {8, 300000}, {INT_MIN, 500}, {INT_MAX, 300000}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(ReloadIntervalMs(c.index), c.ms);
    }
}

} // namespace
