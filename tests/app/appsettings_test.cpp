#include "app/appsettings.h"

#include "app/inifile.h"
#include "settingsfixture.h"

#include <QSet>

#include <climits>

namespace {

// The [Opt] keys from MaxLen to Reopen, in the order they are written, after ColorBack.
QStringList optKeys()
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
            "PaneLimit",
            "ToEnd",
            "Tail",
            "Wrap",
            "DetectEncoding",
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
    QString path() const { return pathOf(QStringLiteral("Ravelin.ini")); }

    AppSettings loadFrom(const QByteArray &text)
    {
        writeFile(path(), text);
        IniFile ini(path());
        EXPECT_TRUE(ini.load());
        AppSettings settings;
        loadAppSettings(ini, settings);
        return settings;
    }

    // Saves the settings over the current file and reads them back.
    AppSettings saveAndReload(const AppSettings &settings)
    {
        IniFile ini(path());
        EXPECT_TRUE(ini.load());
        saveAppSettings(ini, settings);
        EXPECT_TRUE(ini.updateFile());
        IniFile again(path());
        EXPECT_TRUE(again.load());
        AppSettings read;
        loadAppSettings(again, read);
        return read;
    }
};

TEST_F(AppSettingsTest, NoFileGivesEveryDefault)
{
    IniFile ini(pathOf(QStringLiteral("missing/Ravelin.ini")));
    ASSERT_TRUE(ini.load());
    AppSettings s;
    loadAppSettings(ini, s);

    EXPECT_EQ(s.font, (FontSpec{"Courier New", 10, 0, -16777208, 204}));
    EXPECT_EQ(s.fontGutter, (FontSpec{"Courier New", 9, 0, 8388608, 204}));
    EXPECT_EQ(s.colorBack, -16777211);
    EXPECT_EQ(s.maxLen, 300);
    EXPECT_EQ(s.tabSize, 8);
    EXPECT_EQ(s.lineSp, 0);
    EXPECT_EQ(s.reloadTime, 1);
    EXPECT_TRUE(s.gutter);
    EXPECT_FALSE(s.gutterLines);
    EXPECT_EQ(s.gutterLinesBuf, 500 * 1024);
    EXPECT_EQ(s.gutterLinesCount, 2000);
    EXPECT_EQ(s.gutterLinesStep, 5);
    EXPECT_FALSE(s.toEnd);
    EXPECT_TRUE(s.tail);
    EXPECT_FALSE(s.wrap);
    EXPECT_FALSE(s.tabs);
    EXPECT_TRUE(s.tool);
    EXPECT_TRUE(s.status);
    EXPECT_FALSE(s.onTop);
    EXPECT_TRUE(s.mLine);
    EXPECT_TRUE(s.cfmExit);
    EXPECT_TRUE(s.cfmClear);
    EXPECT_FALSE(s.reopen);
    EXPECT_FALSE(s.Goto);
    EXPECT_EQ(s.gotoX, 394);
    EXPECT_EQ(s.gotoY, 423);
    EXPECT_EQ(s.marginLeft, 10);
    EXPECT_EQ(s.marginTop, 10);
    EXPECT_EQ(s.marginRight, 10);
    EXPECT_EQ(s.marginBottom, 10);
    EXPECT_EQ(s.windowLeft, 204);
    EXPECT_EQ(s.windowTop, 255);
    EXPECT_EQ(s.windowWidth, 664);
    EXPECT_EQ(s.windowHeight, 379);
    EXPECT_FALSE(s.windowMax);
}

TEST_F(AppSettingsTest, SaveWritesEveryKeyAndReadsBackEveryValue)
{
    AppSettings s;
    s.font = {"DejaVu Sans Mono", 12, 3, 0x00112233, 0};
    s.fontGutter = {"Liberation Mono", 7, 8, -16777198, 1};
    s.colorBack = 0x00FFEEDD;
    s.maxLen = 2000;
    s.tabSize = 4;
    s.lineSp = 2;
    s.reloadTime = 7;
    s.gutter = false;
    s.gutterLines = true;
    s.gutterLinesBuf = 64 * 1024;
    s.gutterLinesCount = 100;
    s.gutterLinesStep = 1;
    s.toEnd = true;
    s.tail = false;
    s.wrap = true;
    s.detectEncoding = false;
    s.tabs = true;
    s.tool = false;
    s.status = false;
    s.onTop = true;
    s.mLine = false;
    s.cfmExit = false;
    s.cfmClear = false;
    s.reopen = true;
    s.Goto = true;
    s.gotoX = -5;
    s.gotoY = 3000;
    s.marginLeft = 1;
    s.marginTop = 2;
    s.marginRight = 3;
    s.marginBottom = 4;
    s.windowLeft = -8;
    s.windowTop = 0;
    s.windowWidth = 1920;
    s.windowHeight = 1080;
    s.windowMax = false;
    EXPECT_EQ(saveAndReload(s), s);

    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    const QStringList font = {"Name", "Size", "Style", "Color", "Charset"};
    EXPECT_EQ(ini.readSectionKeys("Font"), font);
    EXPECT_EQ(ini.readSectionKeys("FontGutter"), font);
    EXPECT_EQ(ini.readSectionKeys("Opt"),
              QStringList(optKeys() + QStringList{"Goto", "GotoX", "GotoY"}));
    EXPECT_EQ(ini.readSectionKeys("Margins"), QStringList({"Left", "Top", "Right", "Bottom"}));
    EXPECT_EQ(ini.readSectionKeys("Window"),
              QStringList({"Width", "Height", "Left", "Top", "Max"}));
    EXPECT_EQ(ini.readString("Font", "Color", ""), "1122867");
    EXPECT_EQ(ini.readString("Opt", "Gutter", ""), "0");
    EXPECT_EQ(ini.readString("Opt", "Tabs", ""), "1");
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
        {"Gutter=yes", &AppSettings::gutter, true}, // default true
        {"Wrap=yes", &AppSettings::wrap, false},    // default false
        {"Gutter=0x0", &AppSettings::gutter, false}, {"Wrap=$1F", &AppSettings::wrap, true},
        {"Gutter=$1F", &AppSettings::gutter, true},  {"Wrap=-1", &AppSettings::wrap, true},
        {"Tail=\"0\"", &AppSettings::tail, false},   {"Tail=", &AppSettings::tail, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.constData());
        EXPECT_EQ(loadFrom("[Opt]\n" + c.line + "\n").*c.field, c.expected);
    }
}

TEST_F(AppSettingsTest, GutterLinesBufIsKilobytesInTheFileAndBytesInMemory)
{
    AppSettings s = loadFrom("[Opt]\nGutterLinesBuf=64\n");
    EXPECT_EQ(s.gutterLinesBuf, 65536);

    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    saveAppSettings(ini, s);
    EXPECT_EQ(ini.readString("Opt", "GutterLinesBuf", ""), "64");

    // A missing key leaves a byte count that is no whole kilobyte as it is.
    IniFile empty(pathOf(QStringLiteral("none.ini")));
    ASSERT_TRUE(empty.load());
    AppSettings odd;
    odd.gutterLinesBuf = 1500;
    loadAppSettings(empty, odd);
    EXPECT_EQ(odd.gutterLinesBuf, 1500);

    // Kilobytes that would overflow the byte count come to the bound, not
    // wrapped around.
    EXPECT_EQ(loadFrom("[Opt]\nGutterLinesBuf=2097152\n").gutterLinesBuf, 20480 * 1024);
    EXPECT_EQ(loadFrom("[Opt]\nGutterLinesBuf=-2097153\n").gutterLinesBuf, 1024);
}

TEST_F(AppSettingsTest, MaximisedSaveKeepsTheNormalGeometryOfTheFile)
{
    AppSettings s = loadFrom("[Window]\nLeft=1\nTop=2\nWidth=300\nHeight=200\nMax=0\n");
    s.windowMax = true;
    s.windowLeft = -4;
    s.windowTop = -4;
    s.windowWidth = 1928;
    s.windowHeight = 1048;
    const AppSettings read = saveAndReload(s);
    EXPECT_TRUE(read.windowMax);
    EXPECT_EQ(read.windowLeft, 1);
    EXPECT_EQ(read.windowTop, 2);
    EXPECT_EQ(read.windowWidth, 300);
    EXPECT_EQ(read.windowHeight, 200);
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
    for (const QString &key : optKeys())
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
    maxLen777.maxLen = 777;
    AppSettings tabSize3;
    tabSize3.tabSize = 3;
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
        EXPECT_EQ(loadFrom(c.text), c.expected);

        IniFile ini(path());
        ASSERT_TRUE(ini.load());
        saveAppSettings(ini, c.expected);
        ASSERT_TRUE(ini.updateFile());
        const QByteArray saved = readFile(path());
        EXPECT_TRUE(saved.contains(c.kept));

        IniFile again(path());
        ASSERT_TRUE(again.load());
        AppSettings read;
        loadAppSettings(again, read);
        EXPECT_EQ(read, c.expected);
        const bool hasMine = c.text.contains("[Mine]");
        EXPECT_EQ(again.readInteger("Mine", "Keep", 0), hasMine ? 1 : 0);
    }
}

// Every numeric key: a value the program would not use as it stands is read
// as the one it uses, and that is what the next save writes.
// A NUL read from the file names no font and cannot be written back: the
// name used, and saved, is the default.
TEST_F(AppSettingsTest, AFontNameWithANulIsTheDefault)
{
    const char text[] = "[Font]\nName=DejaVu\0Sans\n[FontGutter]\nName=Liberation Mono\n";
    const AppSettings read = loadFrom(QByteArray(text, sizeof text - 1));
    EXPECT_EQ(read.font.name, AppSettings().font.name);
    EXPECT_EQ(read.fontGutter.name, "Liberation Mono");
    EXPECT_EQ(saveAndReload(read), read);
}

TEST_F(AppSettingsTest, NumbersOutsideTheirRangeAreReadAndWrittenAsUsed)
{
    using Get = int (*)(const AppSettings &);
    struct Case
    {
        const char *section;
        const char *key;
        const char *stored;
        Get used;
        int expected;
    };
    const Case cases[] = {
        // Fonts: sizes a font dialog offers, style bits, colours the palette
        // knows; anything else is the key's default.
        {"Font", "Size", "10000", [](const AppSettings &s) { return s.font.size; }, 10},
        {"Font", "Size", "0", [](const AppSettings &s) { return s.font.size; }, 10},
        {"Font", "Size", "512", [](const AppSettings &s) { return s.font.size; }, 512},
        {"FontGutter", "Size", "-4", [](const AppSettings &s) { return s.fontGutter.size; }, 9},
        {"Font", "Style", "16", [](const AppSettings &s) { return s.font.style; }, 0},
        {"FontGutter", "Style", "15", [](const AppSettings &s) { return s.fontGutter.style; }, 15},
        {"Font", "Color", "16777216", [](const AppSettings &s) { return s.font.color; }, -16777208},
        {"Font", "Color", "16777215", [](const AppSettings &s) { return s.font.color; }, 16777215},
        {"FontGutter", "Color", "-16777185", // system colour 31: there is none
         [](const AppSettings &s) { return s.fontGutter.color; }, 8388608},
        {"FontGutter", "Color", "-16777186",
         [](const AppSettings &s) { return s.fontGutter.color; }, -16777186},
        {"Font", "Charset", "256", [](const AppSettings &s) { return s.font.charset; }, 204},
        {"FontGutter", "Charset", "0", [](const AppSettings &s) { return s.fontGutter.charset; },
         0},
        {"Opt", "ColorBack", "2147483647", [](const AppSettings &s) { return s.colorBack; },
         -16777211},
        // The options dialog's ranges, to the nearest bound.
        {"Opt", "MaxLen", "0", [](const AppSettings &s) { return s.maxLen; }, 100},
        {"Opt", "MaxLen", "99999", [](const AppSettings &s) { return s.maxLen; }, 2000},
        {"Opt", "TabSize", "-5", [](const AppSettings &s) { return s.tabSize; }, 2},
        {"Opt", "TabSize", "17", [](const AppSettings &s) { return s.tabSize; }, 16},
        {"Opt", "LineSp", "1000", [](const AppSettings &s) { return s.lineSp; }, 5},
        {"Opt", "LineSp", "-6", [](const AppSettings &s) { return s.lineSp; }, -5},
        {"Opt", "ReloadTime", "8", [](const AppSettings &s) { return s.reloadTime; }, 7},
        {"Opt", "ReloadTime", "-1", [](const AppSettings &s) { return s.reloadTime; }, 0},
        // The gutter's fields, to the bounds the viewers keep to.
        {"Opt", "GutterLinesBuf", "0", [](const AppSettings &s) { return s.gutterLinesBuf; }, 1024},
        {"Opt", "GutterLinesBuf", "99999", [](const AppSettings &s) { return s.gutterLinesBuf; },
         20480 * 1024},
        {"Opt", "GutterLinesCount", "0", [](const AppSettings &s) { return s.gutterLinesCount; },
         10},
        {"Opt", "GutterLinesCount", "1000000",
         [](const AppSettings &s) { return s.gutterLinesCount; }, 100000},
        {"Opt", "GutterLinesStep", "0", [](const AppSettings &s) { return s.gutterLinesStep; }, 1},
        {"Opt", "GutterLinesStep", "11", [](const AppSettings &s) { return s.gutterLinesStep; },
         10},
        // The pane's rows: 16 bytes each, so the top is 1.6 GB.
        {"Opt", "PaneLimit", "5", [](const AppSettings &s) { return s.paneLimit; }, 1000},
        {"Opt", "PaneLimit", "2000000000", [](const AppSettings &s) { return s.paneLimit; },
         100'000'000},
        // Places on the desktop: beyond its 16-bit coordinates is damage.
        {"Opt", "GotoX", "1000000000", [](const AppSettings &s) { return s.gotoX; }, 394},
        {"Opt", "GotoY", "-40000", [](const AppSettings &s) { return s.gotoY; }, 423},
        {"Opt", "GotoX", "-32768", [](const AppSettings &s) { return s.gotoX; }, -32768},
        {"Margins", "Left", "-3", [](const AppSettings &s) { return s.marginLeft; }, 0},
        {"Margins", "Top", "100000", [](const AppSettings &s) { return s.marginTop; }, 1000},
        {"Margins", "Right", "1000", [](const AppSettings &s) { return s.marginRight; }, 1000},
        {"Margins", "Bottom", "-1", [](const AppSettings &s) { return s.marginBottom; }, 0},
        {"Window", "Left", "1000000000", [](const AppSettings &s) { return s.windowLeft; }, 204},
        {"Window", "Top", "-1000000000", [](const AppSettings &s) { return s.windowTop; }, 255},
        {"Window", "Width", "-100", [](const AppSettings &s) { return s.windowWidth; }, 664},
        {"Window", "Height", "0", [](const AppSettings &s) { return s.windowHeight; }, 379},
        {"Window", "Width", "40000", [](const AppSettings &s) { return s.windowWidth; }, 664},
        {"Window", "Left", "-32768", [](const AppSettings &s) { return s.windowLeft; }, -32768},
    };
    for (const bool maximised : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(QStringLiteral("[%1] %2=%3%4")
                             .arg(c.section, c.key, c.stored,
                                  maximised ? QStringLiteral(", maximised") : QString())
                             .toStdString());
            const QByteArray section(c.section);
            QByteArray text = "[" + section + "]\n" + c.key + "=" + c.stored + "\n";
            if (maximised)
                text += section == "Window" ? "Max=1\n" : "[Window]\nMax=1\n";
            const AppSettings read = loadFrom(text);
            EXPECT_EQ(c.used(read), c.expected);

            IniFile ini(path());
            ASSERT_TRUE(ini.load());
            saveAppSettings(ini, read);
            const int kb = section == "Opt" && QByteArray(c.key) == "GutterLinesBuf" ? 1024 : 1;
            EXPECT_EQ(ini.readString(section, c.key, ""), QByteArray::number(c.expected / kb))
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
        EXPECT_EQ(reloadIntervalMs(c.index), c.ms);
    }
}

} // namespace
