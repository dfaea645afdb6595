// Settings: reading them into the window and its viewers, applying the
// options, and writing them back when the window closes.
#include "formfixture.h"

#include "app/inifile.h"
#include "app/wraptabbar.h"
#include "viewer/qzbinhex.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>

namespace {

using SettingsTest = FormFixture;

const QByteArray kCustom = "; kept as it is\n"
                           "[Font]\nName=DejaVu Sans Mono\nSize=12\nStyle=3\nColor=255\nCharset=0\n"
                           "[FontGutter]\nName=Liberation Mono\nSize=7\nStyle=4\nColor=65280\n"
                           "[Opt]\nColorBack=16711680\nMaxLen=500\nTabSize=4\nLineSp=2\n"
                           "ReloadTime=3\nGutter=0\nGutterLines=1\nGutterLinesBuf=64\n"
                           "GutterLinesCount=300\nGutterLinesStep=2\nToEnd=1\nTail=0\nWrap=1\n"
                           "CfmExit=0\nFoo=bar\n"
                           "[Margins]\nLeft=15\n"
                           "[Window]\nLeft=100\nTop=120\nWidth=800\nHeight=500\nMax=0\n"
                           "[Mine]\nanswer=42\n";

TEST_F(SettingsTest, StoredValuesReachWindowAndViewers)
{
    WriteSettings(kCustom);
    TFormView &form = MakeForm();
    EXPECT_EQ(form.pos(), QPoint(100, 120));
    EXPECT_EQ(form.size(), QSize(800, 500));

    form.OpenFileTab(WriteFile("a.log", QByteArray(100000, 'x')));
    const TQzBinHex *view = form.ActiveView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Font().Font.family(), "DejaVu Sans Mono");
    EXPECT_EQ(view->Font().Font.pointSize(), 12);
    EXPECT_TRUE(view->Font().Font.bold());
    EXPECT_TRUE(view->Font().Font.italic());
    EXPECT_FALSE(view->Font().Font.underline());
    EXPECT_EQ(view->Font().Color, QColor(255, 0, 0));
    EXPECT_EQ(view->FontGutter().Font.pointSize(), 7);
    EXPECT_TRUE(view->FontGutter().Font.underline());
    EXPECT_EQ(view->FontGutter().Color, QColor(0, 255, 0));
    EXPECT_EQ(view->Color(), QColor(0, 0, 255));
    EXPECT_EQ(view->MaxLengths(vbmodeText), 500);
    EXPECT_EQ(view->MaxLengths(vbmodeUnicode), 500);
    EXPECT_EQ(view->TextTabSize(), 4);
    EXPECT_EQ(view->TextLineSpacing(), 2);
    EXPECT_EQ(view->AutoReloadSimpleTime, 5000);
    EXPECT_FALSE(view->TextGutter());
    EXPECT_TRUE(view->TextGutterLines());
    EXPECT_EQ(view->TextGutterLinesBufSize(), 65536);
    EXPECT_EQ(view->TextGutterLinesCount(), 300);
    EXPECT_EQ(view->TextGutterLinesStep(), 2);
    EXPECT_TRUE(view->TextWrap());
    EXPECT_FALSE(view->AutoReloadFollowTail);
    EXPECT_TRUE(view->AutoReload());
    EXPECT_TRUE(view->AutoReloadSimple);
    EXPECT_FALSE(view->TextUrlHilight());
    EXPECT_GT(view->ViewPos(), 0) << "ToEnd scrolls a new tab to the end";
}

TEST_F(SettingsTest, CloseWritesEverythingBackAndKeepsForeignLines)
{
    WriteSettings(kCustom);
    TFormView &form = MakeForm();
    const QString path = WriteFile("a.log", "a\n");
    form.OpenFileTab(path);
    ASSERT_TRUE(form.close());
    EXPECT_TRUE(m_sink.Messages().empty()) << "CfmExit=0 asks nothing";

    const QByteArray written = ReadFile(SettingsPath());
    EXPECT_TRUE(written.startsWith("; kept as it is\n"));
    IniFile ini(SettingsPath());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("Font", "Name", ""), "DejaVu Sans Mono");
    EXPECT_EQ(ini.ReadInteger("Font", "Size", 0), 12);
    EXPECT_EQ(ini.ReadInteger("Font", "Style", 0), 3);
    EXPECT_EQ(ini.ReadInteger("Font", "Color", 0), 255);
    EXPECT_EQ(ini.ReadInteger("Font", "Charset", -1), 0);
    EXPECT_EQ(ini.ReadString("FontGutter", "Name", ""), "Liberation Mono");
    EXPECT_EQ(ini.ReadInteger("FontGutter", "Charset", -1), 204) << "default written";
    EXPECT_EQ(ini.ReadInteger("Opt", "GutterLinesBuf", 0), 64);
    EXPECT_EQ(ini.ReadInteger("Opt", "ReloadTime", 0), 3);
    EXPECT_FALSE(ini.ReadBool("Opt", "Tail", true));
    EXPECT_TRUE(ini.ReadBool("Opt", "MLine", false));
    EXPECT_EQ(ini.ReadString("Opt", "Foo", ""), "bar");
    EXPECT_EQ(ini.ReadInteger("Margins", "Left", 0), 15);
    EXPECT_EQ(ini.ReadInteger("Margins", "Top", 0), 10);
    EXPECT_EQ(ini.ReadString("Mine", "answer", ""), "42");
    EXPECT_EQ(ini.ReadInteger("Window", "Left", 0), 100);
    EXPECT_EQ(ini.ReadInteger("Window", "Top", 0), 120);
    EXPECT_EQ(ini.ReadInteger("Window", "Width", 0), 800);
    EXPECT_EQ(ini.ReadInteger("Window", "Height", 0), 500);
    EXPECT_FALSE(ini.ReadBool("Window", "Max", true));
    EXPECT_EQ(ini.ReadInteger("Save", "Num", 0), 1);
    EXPECT_EQ(ini.ReadUtf8("Save", "1", ""), path);
    EXPECT_EQ(ini.ReadString("Save", "1tab", "-"), "") << "the caption the path gives";
    EXPECT_EQ(ini.ReadUtf8("OpenHistory", "0", ""), path);

    // A second window reads back what the first one wrote.
    const AppSettings first = form.Settings();
    TFormView &again = MakeForm();
    EXPECT_EQ(again.Settings(), first);
}

// A path with a line break cannot be stored: the user hears so once, and the
// numbered keys that are written stay without gaps.
TEST_F(SettingsTest, PathWithALineBreakIsLeftOutOfTheSavedListsWithOneWarning)
{
    WriteSettings("[Opt]\nCfmExit=0\n");
    TFormView &form = MakeForm();
    const QString broken = WriteFile(QStringLiteral("two\nlines.log"), "b\n");
    const QString plain = WriteFile(QStringLiteral("plain.log"), "a\n");
    form.OpenFileTab(broken);
    form.OpenFileTab(plain);
    ASSERT_EQ(form.RecCount(), 2);
    m_sink.Clear();
    ASSERT_TRUE(form.close());

    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Warning);
    EXPECT_TRUE(m_sink.Messages()[0].Text.contains(broken));
    IniFile ini(SettingsPath());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadInteger("Save", "Num", 0), 1);
    EXPECT_EQ(ini.ReadUtf8("Save", "1", ""), plain);
    EXPECT_EQ(ini.ReadSectionKeys("Save"), QStringList({"Num", "1", "1tab"}));
    EXPECT_EQ(ini.ReadUtf8("OpenHistory", "0", ""), plain);
    EXPECT_EQ(ini.ReadSectionKeys("OpenHistory"), QStringList({"0", "0enc"}));
}

TEST_F(SettingsTest, NoSettingsFileGivesTheDefaults)
{
    TFormView &form = MakeForm();
    EXPECT_EQ(form.Settings(), AppSettings());
    EXPECT_EQ(form.pos(), QPoint(204, 255));
    EXPECT_EQ(form.size(), QSize(664, 379));
}

TEST_F(SettingsTest, WindowOffEveryScreenComesBackOntoOne)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case
    {
        const char *Name;
        QByteArray Window;
        QRect Expected;
    };
    const Case cases[] = {
        {"on the screen", "Left=100\nTop=120\nWidth=500\nHeight=300\n", {100, 120, 500, 300}},
        {"garbage left",
         "Left=-29490\nTop=120\nWidth=500\nHeight=300\n",
         {screen.left(), 120, 500, 300}},
        {"screen gone to the right",
         "Left=30000\nTop=120\nWidth=500\nHeight=300\n",
         {screen.right() + 1 - 500, 120, 500, 300}},
        {"bigger than the screen, far off", "Left=-9000\nTop=-9000\nWidth=9000\nHeight=9000\n",
         screen},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteSettings("[Window]\n" + c.Window);
        TFormView &form = MakeForm();
        EXPECT_EQ(QRect(form.pos(), form.size()), c.Expected);
    }
}

TEST_F(SettingsTest, MaximisedWindowSavesOnlyMax)
{
    WriteSettings(kCustom);
    TFormView &form = MakeForm();
    form.move(10, 10);
    form.resize(300, 200);
    form.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(form.close());

    IniFile ini(SettingsPath());
    ASSERT_TRUE(ini.Load());
    EXPECT_TRUE(ini.ReadBool("Window", "Max", false));
    EXPECT_EQ(ini.ReadInteger("Window", "Left", 0), 100);
    EXPECT_EQ(ini.ReadInteger("Window", "Width", 0), 800);

    TFormView &again = MakeForm();
    EXPECT_TRUE(again.windowState().testFlag(Qt::WindowMaximized));
}

TEST_F(SettingsTest, ExitConfirmationCanKeepTheProgramRunning)
{
    TFormView &form = MakeForm(); // CfmExit is on by default
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    m_sink.SetAnswer(MsgResult::Cancel);
    EXPECT_FALSE(form.close());
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Messages()[0].Caption, "Ravelin");
    EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Warning);
    EXPECT_EQ(form.RecCount(), 1);
    EXPECT_TRUE(ReadFile(SettingsPath()).isEmpty()) << "nothing saved";

    m_sink.SetAnswer(MsgResult::Ok);
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(ReadFile(SettingsPath()).isEmpty());
}

TEST_F(SettingsTest, EscClosesTheWindow)
{
    TFormView &form = MakeForm();
    EXPECT_EQ(form.Acts().acFileExit->shortcut(), QKeySequence(Qt::Key_Escape));
    m_sink.SetAnswer(MsgResult::Cancel);
    form.show();
    form.Acts().acFileExit->trigger();
    EXPECT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(SettingsTest, UnwritableLocationIsReportedOnceAndTheWindowStillCloses)
{
    // The settings folder would have to be created where a file is.
    WriteFile("blocker", "not a folder");
    const QString path = PathOf("blocker/Ravelin.ini");
    TFormView form(path);
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    m_sink.Clear();
    EXPECT_TRUE(form.close());
    const QStringList texts = m_sink.Texts();
    ASSERT_EQ(texts.size(), 2) << texts.join(" | ").toStdString();
    EXPECT_EQ(texts[1], "Unable to write to " + path);
}

TEST_F(SettingsTest, OptionsShapeTheWindow)
{
    struct Case
    {
        const char *Name;
        QByteArray Opt;
        QTabWidget::TabPosition Position;
        bool DocumentMode;
        bool MultiRow;
        bool ToolBar;
        bool StatusBar;
        bool OnTop;
    };
    const Case cases[] = {
        {"defaults", "", QTabWidget::North, true, true, true, true, false},
        {"bottom tabs", "Tabs=1", QTabWidget::South, false, true, true, true, false},
        {"one row", "MLine=0", QTabWidget::North, true, false, true, true, false},
        {"bare", "Tool=0\nStatus=0", QTabWidget::North, true, true, false, false, false},
        {"on top", "OnTop=1", QTabWidget::North, true, true, true, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        WriteSettings("[Opt]\n" + c.Opt + "\n");
        TFormView &form = MakeForm();
        EXPECT_EQ(form.Pages()->tabPosition(), c.Position);
        EXPECT_EQ(form.Pages()->documentMode(), c.DocumentMode);
        // Captions are never shortened; one row scrolls, several rows wrap.
        EXPECT_EQ(form.Pages()->elideMode(), Qt::ElideNone);
        EXPECT_EQ(form.TabBar()->MultiRow(), c.MultiRow);
        EXPECT_EQ(form.Pages()->usesScrollButtons(), !c.MultiRow);
        EXPECT_EQ(!form.findChild<QToolBar *>("ToolBar1")->isHidden(), c.ToolBar);
        EXPECT_EQ(!form.statusBar()->isHidden(), c.StatusBar);
        EXPECT_EQ(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.OnTop);
    }
}

TEST_F(SettingsTest, ApplyOptionsReachesOpenTabs)
{
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    form.OpenFileTab(PathOf("missing.log"));
    m_sink.Clear();

    AppSettings settings = form.Settings();
    settings.TabSize = 3;
    settings.MaxLen = 1000;
    settings.Wrap = true; // only for new tabs
    form.SetSettings(settings);
    form.ApplyOptions();

    for (int i = 0; i < form.RecCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(form.Rec(i).View->TextTabSize(), 3);
        EXPECT_EQ(form.Rec(i).View->MaxLengths(vbmodeText), 1000);
        EXPECT_FALSE(form.Rec(i).View->TextWrap());
    }
    EXPECT_TRUE(m_sink.Messages().empty()) << "the tab without a file is not reloaded";
}

// Options from the dialog that the viewers would bound are saved as they are
// used, as those read from the file are.
TEST_F(SettingsTest, OptionsOutsideTheirRangeAreSavedAsUsed)
{
    WriteSettings("[Opt]\nCfmExit=0\nLineSp=1000\n");
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    TQzBinHex *view = form.ActiveView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->TextLineSpacing(), 5);

    AppSettings edited = form.Settings();
    edited.GutterLinesBuf = 0; // typed into the dialog's field
    edited.GutterLinesStep = 50;
    form.SetSettings(edited);
    form.ApplyOptions();
    EXPECT_EQ(view->TextGutterLinesBufSize(), 1024);
    EXPECT_EQ(view->TextGutterLinesStep(), 10);
    ASSERT_TRUE(form.close());

    IniFile ini(SettingsPath());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadInteger("Opt", "LineSp", 0), 5);
    EXPECT_EQ(ini.ReadInteger("Opt", "GutterLinesBuf", 0), 1);
    EXPECT_EQ(ini.ReadInteger("Opt", "GutterLinesStep", 0), 10);
}

// A settings file that cannot be read is said to be so once, at the start,
// and the exit leaves it as it is without another word about it.
TEST_F(SettingsTest, UnreadableSettingsFileIsReportedOnceAndKept)
{
    QByteArray big = "[Opt]\nCfmExit=0\n";
    for (int i = 0; i <= IniFile::kMaxLines; ++i)
        big += "k" + QByteArray::number(i) + "=1\n";
    struct Case
    {
        const char *Name;
        QString Path;
        QString Text;
    };
    const QString folder = PathOf("folder.ini");
    ASSERT_TRUE(QDir().mkpath(folder));
    WriteSettings(big);
    const Case cases[] = {
        {"too large", SettingsPath(), "Settings file is too large; changes will not be saved"},
        {"a folder", folder,
         "Cannot read settings file \"" + folder +
             "\" (Not a regular file); changes will not be saved"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        m_sink.Clear();
        m_form = std::make_unique<TFormView>(c.Path);
        ShowForm(*m_form);
        ASSERT_EQ(m_sink.Texts(), QStringList{c.Text});
        EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Warning);
        m_form->OpenFileTab(WriteFile("a.log", "a\n"));
        m_sink.Clear();
        ASSERT_TRUE(m_form->close());
        // Its options were never read: the exit asks as by default, and that is all.
        EXPECT_EQ(m_sink.Texts(), QStringList{"Do you want to exit Ravelin?"});
        m_form.reset();
    }
    EXPECT_EQ(ReadFile(SettingsPath()), big);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

} // namespace
