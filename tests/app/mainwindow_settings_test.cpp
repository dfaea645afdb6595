// Settings: reading them into the window and its viewers, applying the
// options, and writing them back when the window closes.
#include "formfixture.h"

#include "app/windowplace.h"

#include "app/inifile.h"
#include "app/wraptabbar.h"
#include "viewer/logview.h"
#include "watch/filefollower.h"

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
    writeSettings(kCustom);
    MainWindow &form = makeForm();
    EXPECT_EQ(form.pos(), QPoint(100, 120));
    EXPECT_EQ(form.size(), QSize(800, 500));

    form.openFileTab(writeFile("a.log", QByteArray(100000, 'x')));
    const LogView *view = form.activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->options().font.font.family(), "DejaVu Sans Mono");
    EXPECT_EQ(view->options().font.font.pointSize(), 12);
    EXPECT_TRUE(view->options().font.font.bold());
    EXPECT_TRUE(view->options().font.font.italic());
    EXPECT_FALSE(view->options().font.font.underline());
    EXPECT_EQ(view->options().font.color, QColor(255, 0, 0));
    EXPECT_EQ(view->options().fontGutter.font.pointSize(), 7);
    EXPECT_TRUE(view->options().fontGutter.font.underline());
    EXPECT_EQ(view->options().fontGutter.color, QColor(0, 255, 0));
    EXPECT_EQ(view->options().color, QColor(0, 0, 255));
    EXPECT_EQ(view->document().maxLengths[vbmodeText], 500);
    EXPECT_EQ(view->document().maxLengths[vbmodeUnicode], 500);
    EXPECT_EQ(view->options().textTabSize, 4);
    EXPECT_EQ(view->options().textLineSpacing, 2);
    EXPECT_EQ(view->follower().pollIntervalMs(), 5000);
    EXPECT_FALSE(view->options().textGutter);
    EXPECT_TRUE(view->options().textGutterLines);
    EXPECT_EQ(view->options().textGutterLinesBufSize, 65536);
    EXPECT_EQ(view->options().textGutterLinesCount, 300);
    EXPECT_EQ(view->options().textGutterLinesStep, 2);
    EXPECT_TRUE(view->options().textWrap);
    EXPECT_FALSE(view->followTail());
    EXPECT_TRUE(view->autoReload());
    EXPECT_TRUE(view->follower().notified()) << "told of changes by the folder watch";
    EXPECT_FALSE(view->follower().polls());
    EXPECT_FALSE(view->options().textUrlHilight);
    EXPECT_GT(view->viewPos(), 0) << "ToEnd scrolls a new tab to the end";
}

TEST_F(SettingsTest, CloseWritesEverythingBackAndKeepsForeignLines)
{
    writeSettings(kCustom);
    MainWindow &form = makeForm();
    const QString path = writeFile("a.log", "a\n");
    form.openFileTab(path);
    ASSERT_TRUE(form.close());
    EXPECT_TRUE(m_sink.messages().empty()) << "CfmExit=0 asks nothing";

    const QByteArray written = readFile(settingsPath());
    EXPECT_TRUE(written.startsWith("; kept as it is\n"));
    IniFile ini(settingsPath());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readString("Font", "Name", ""), "DejaVu Sans Mono");
    EXPECT_EQ(ini.readInteger("Font", "Size", 0), 12);
    EXPECT_EQ(ini.readInteger("Font", "Style", 0), 3);
    EXPECT_EQ(ini.readInteger("Font", "Color", 0), 255);
    EXPECT_EQ(ini.readInteger("Font", "Charset", -1), 0);
    EXPECT_EQ(ini.readString("FontGutter", "Name", ""), "Liberation Mono");
    EXPECT_EQ(ini.readInteger("FontGutter", "Charset", -1), 204) << "default written";
    EXPECT_EQ(ini.readInteger("Opt", "GutterLinesBuf", 0), 64);
    EXPECT_EQ(ini.readInteger("Opt", "ReloadTime", 0), 3);
    EXPECT_FALSE(ini.readBool("Opt", "Tail", true));
    EXPECT_TRUE(ini.readBool("Opt", "MLine", false));
    EXPECT_EQ(ini.readString("Opt", "Foo", ""), "bar");
    EXPECT_EQ(ini.readInteger("Margins", "Left", 0), 15);
    EXPECT_EQ(ini.readInteger("Margins", "Top", 0), 10);
    EXPECT_EQ(ini.readString("Mine", "answer", ""), "42");
    EXPECT_EQ(ini.readInteger("Window", "Left", 0), 100);
    EXPECT_EQ(ini.readInteger("Window", "Top", 0), 120);
    EXPECT_EQ(ini.readInteger("Window", "Width", 0), 800);
    EXPECT_EQ(ini.readInteger("Window", "Height", 0), 500);
    EXPECT_FALSE(ini.readBool("Window", "Max", true));
    EXPECT_EQ(ini.readInteger("Save", "Num", 0), 1);
    EXPECT_EQ(ini.readUtf8("Save", "1", ""), path);
    EXPECT_EQ(ini.readString("Save", "1tab", "-"), "") << "the caption the path gives";
    EXPECT_EQ(ini.readUtf8("OpenHistory", "0", ""), path);

    // A second window reads back what the first one wrote.
    const AppSettings first = form.settings();
    MainWindow &again = makeForm();
    EXPECT_EQ(again.settings(), first);
}

// A path with a line break cannot be stored: the user hears so once, and the
// numbered keys that are written stay without gaps.
TEST_F(SettingsTest, PathWithALineBreakIsLeftOutOfTheSavedListsWithOneWarning)
{
    writeSettings("[Opt]\nCfmExit=0\n");
    MainWindow &form = makeForm();
    const QString broken = writeFile(QStringLiteral("two\nlines.log"), "b\n");
    const QString plain = writeFile(QStringLiteral("plain.log"), "a\n");
    form.openFileTab(broken);
    form.openFileTab(plain);
    ASSERT_EQ(form.tabCount(), 2);
    m_sink.clear();
    ASSERT_TRUE(form.close());

    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Warning);
    EXPECT_TRUE(m_sink.messages()[0].text.contains(broken));
    IniFile ini(settingsPath());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("Save", "Num", 0), 1);
    EXPECT_EQ(ini.readUtf8("Save", "1", ""), plain);
    EXPECT_EQ(ini.readSectionKeys("Save"), QStringList({"Num", "1", "1tab"}));
    EXPECT_EQ(ini.readUtf8("OpenHistory", "0", ""), plain);
    EXPECT_EQ(ini.readSectionKeys("OpenHistory"), QStringList({"0", "0enc"}));
}

TEST_F(SettingsTest, NoSettingsFileGivesTheDefaults)
{
    MainWindow &form = makeForm();
    EXPECT_EQ(form.settings(), AppSettings());
    // The first start fits the screen: two thirds of it, centred.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(QRect(form.pos(), form.size()), firstPlace(screen));
    EXPECT_TRUE(screen.contains(QRect(form.pos(), form.size())));
}

TEST_F(SettingsTest, WindowOffEveryScreenComesBackOntoOne)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case
    {
        const char *name;
        QByteArray window;
        QRect expected;
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
        SCOPED_TRACE(c.name);
        writeSettings("[Window]\n" + c.window);
        MainWindow &form = makeForm();
        EXPECT_EQ(QRect(form.pos(), form.size()), c.expected);
    }
}

TEST_F(SettingsTest, MaximisedWindowSavesOnlyMax)
{
    writeSettings(kCustom);
    MainWindow &form = makeForm();
    form.move(10, 10);
    form.resize(300, 200);
    form.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(form.close());

    IniFile ini(settingsPath());
    ASSERT_TRUE(ini.load());
    EXPECT_TRUE(ini.readBool("Window", "Max", false));
    EXPECT_EQ(ini.readInteger("Window", "Left", 0), 100);
    EXPECT_EQ(ini.readInteger("Window", "Width", 0), 800);

    MainWindow &again = makeForm();
    EXPECT_TRUE(again.windowState().testFlag(Qt::WindowMaximized));
}

TEST_F(SettingsTest, ExitConfirmationCanKeepTheProgramRunning)
{
    MainWindow &form = makeForm(); // CfmExit is on by default
    form.openFileTab(writeFile("a.log", "a\n"));
    m_sink.setAnswer(MsgResult::Cancel);
    EXPECT_FALSE(form.close());
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.messages()[0].caption, "Ravelin");
    EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Warning);
    EXPECT_EQ(form.tabCount(), 1);
    EXPECT_TRUE(readFile(settingsPath()).isEmpty()) << "nothing saved";

    m_sink.setAnswer(MsgResult::Ok);
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(readFile(settingsPath()).isEmpty());
}

TEST_F(SettingsTest, EscClosesTheWindow)
{
    MainWindow &form = makeForm();
    EXPECT_EQ(form.acts().fileExit->shortcut(), QKeySequence(Qt::Key_Escape));
    m_sink.setAnswer(MsgResult::Cancel);
    form.show();
    form.acts().fileExit->trigger();
    EXPECT_EQ(m_sink.messages().size(), 1u);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(SettingsTest, UnwritableLocationIsReportedOnceAndTheWindowStillCloses)
{
    // The settings folder would have to be created where a file is.
    writeFile("blocker", "not a folder");
    const QString path = pathOf("blocker/Ravelin.ini");
    MainWindow form(path);
    form.openFileTab(writeFile("a.log", "a\n"));
    m_sink.clear();
    EXPECT_TRUE(form.close());
    const QStringList texts = m_sink.texts();
    ASSERT_EQ(texts.size(), 2) << texts.join(" | ").toStdString();
    EXPECT_EQ(texts[1], "Unable to write to " + path);
}

TEST_F(SettingsTest, OptionsShapeTheWindow)
{
    struct Case
    {
        const char *name;
        QByteArray opt;
        QTabWidget::TabPosition position;
        bool documentMode;
        bool multiRow;
        bool toolBar;
        bool statusBar;
        bool onTop;
    };
    const Case cases[] = {
        {"defaults", "", QTabWidget::North, true, true, true, true, false},
        {"bottom tabs", "Tabs=1", QTabWidget::South, false, true, true, true, false},
        {"one row", "MLine=0", QTabWidget::North, true, false, true, true, false},
        {"bare", "Tool=0\nStatus=0", QTabWidget::North, true, true, false, false, false},
        {"on top", "OnTop=1", QTabWidget::North, true, true, true, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeSettings("[Opt]\n" + c.opt + "\n");
        MainWindow &form = makeForm();
        EXPECT_EQ(form.tabs().pages()->tabPosition(), c.position);
        EXPECT_EQ(form.tabs().pages()->documentMode(), c.documentMode);
        // Captions are never shortened; one row scrolls, several rows wrap.
        EXPECT_EQ(form.tabs().pages()->elideMode(), Qt::ElideNone);
        EXPECT_EQ(form.tabs().tabBar()->multiRow(), c.multiRow);
        EXPECT_EQ(form.tabs().pages()->usesScrollButtons(), !c.multiRow);
        EXPECT_EQ(!form.findChild<QToolBar *>("ToolBar1")->isHidden(), c.toolBar);
        EXPECT_EQ(!form.statusBar()->isHidden(), c.statusBar);
        EXPECT_EQ(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint), c.onTop);
    }
}

TEST_F(SettingsTest, ApplyOptionsReachesOpenTabs)
{
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    form.openFileTab(pathOf("missing.log"));
    m_sink.clear();

    AppSettings settings = form.settings();
    settings.tabSize = 3;
    settings.maxLen = 1000;
    settings.wrap = true; // only for new tabs
    form.setSettings(settings);
    form.applyOptions();

    for (int i = 0; i < form.tabCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(form.tabAt(i).view->options().textTabSize, 3);
        EXPECT_EQ(form.tabAt(i).view->document().maxLengths[vbmodeText], 1000);
        EXPECT_FALSE(form.tabAt(i).view->options().textWrap);
    }
    EXPECT_TRUE(m_sink.messages().empty()) << "the tab without a file is not reloaded";
}

// Options from the dialog that the viewers would bound are saved as they are
// used, as those read from the file are.
TEST_F(SettingsTest, OptionsOutsideTheirRangeAreSavedAsUsed)
{
    writeSettings("[Opt]\nCfmExit=0\nLineSp=1000\n");
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    LogView *view = form.activeView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->options().textLineSpacing, 5);

    AppSettings edited = form.settings();
    edited.gutterLinesBuf = 0; // typed into the dialog's field
    edited.gutterLinesStep = 50;
    form.setSettings(edited);
    form.applyOptions();
    EXPECT_EQ(view->options().textGutterLinesBufSize, 1024);
    EXPECT_EQ(view->options().textGutterLinesStep, 10);
    ASSERT_TRUE(form.close());

    IniFile ini(settingsPath());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("Opt", "LineSp", 0), 5);
    EXPECT_EQ(ini.readInteger("Opt", "GutterLinesBuf", 0), 1);
    EXPECT_EQ(ini.readInteger("Opt", "GutterLinesStep", 0), 10);
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
        const char *name;
        QString path;
        QString text;
    };
    const QString folder = pathOf("folder.ini");
    ASSERT_TRUE(QDir().mkpath(folder));
    writeSettings(big);
    const Case cases[] = {
        {"too large", settingsPath(), "Settings file is too large; changes will not be saved"},
        {"a folder", folder,
         "Cannot read settings file \"" + folder +
             "\" (Not a regular file); changes will not be saved"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_sink.clear();
        m_form = std::make_unique<MainWindow>(c.path);
        showForm(*m_form);
        ASSERT_EQ(m_sink.texts(), QStringList{c.text});
        EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Warning);
        m_form->openFileTab(writeFile("a.log", "a\n"));
        m_sink.clear();
        ASSERT_TRUE(m_form->close());
        // Its options were never read: the exit asks as by default, and that is all.
        EXPECT_EQ(m_sink.texts(), QStringList{"Do you want to exit Ravelin?"});
        m_form.reset();
    }
    EXPECT_EQ(readFile(settingsPath()), big);
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

} // namespace
