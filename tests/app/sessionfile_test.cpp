// Session files and the recent sessions list, through the INI module.
#include "app/sessionfile.h"

#include "app/inifile.h"
#include "settingsfixture.h"
#include "text/encoding.h"
#include "text/fileutil.h"

namespace {

using SessionFileTest = SettingsFixture;

IniFile loaded(const QString &path)
{
    IniFile ini(path);
    EXPECT_TRUE(ini.load());
    return ini;
}

TEST_F(SessionFileTest, TabsRoundTripWithTheirCaptionsAndActiveIndex)
{
    std::vector<SessionTab> tabs = {
        {QStringLiteral("/var/log/a.log"), "first"},
        {QStringLiteral("/var/log/my dir/\"quoted\" b.log"),
         QStringLiteral("Überwachung ").toUtf8()},
        {QStringLiteral("/var/log/журнал.log"), ""},
    };
    // Open matching-lines panes come back with their text, flags and share.
    tabs[0].pane = {QStringLiteral("ERROR.*timeout=[0-9]+"),
                    SessionTab::Pane::Regex | SessionTab::Pane::Invert, 300};
    tabs[2].pane = {QStringLiteral("ошибка \"x\""), SessionTab::Pane::WholeWords, 500};
    // The encodings the files were shown in come back with them.
    tabs[0].encoding = 45;
    tabs[1].encoding = Encoding::utf16(true).storedCode();
    const QString path = pathOf(QStringLiteral("s.ravelin-session"));
    IniFile ini = loaded(path);
    EXPECT_TRUE(writeSession(ini, tabs, 1).isEmpty());
    ASSERT_TRUE(ini.updateFile());

    const QByteArray text = readFile(path);
    EXPECT_TRUE(text.contains("[Tabs]\nNum=3\nActive=1\n0=/var/log/a.log\n"));
    EXPECT_TRUE(text.contains("[Nicks]\n0=first\n"));

    const SessionData read = readSession(loaded(path));
    EXPECT_EQ(read.tabs, tabs);
    EXPECT_EQ(read.active, 1);
}

// A command's tab keeps its command line and no path, so that a program
// that knows no commands skips it rather than opening a file of that name.
TEST_F(SessionFileTest, CommandTabsRoundTripWithoutAPath)
{
    std::vector<SessionTab> tabs = {{QStringLiteral("/var/log/a.log"), "first"},
                                    {QString(), ""},
                                    {QStringLiteral("/var/log/b.log"), ""}};
    tabs[1].command = QStringLiteral("ssh web1 tail -F /var/log/syslog | grep -v \"CRON\"");
    const QString path = pathOf(QStringLiteral("s.ravelin-session"));
    IniFile ini = loaded(path);
    EXPECT_TRUE(writeSession(ini, tabs, 1).isEmpty());
    ASSERT_TRUE(ini.updateFile());
    const IniFile again = loaded(path);
    EXPECT_EQ(again.readSectionKeys("Tabs"), QStringList({"Num", "Active", "0", "2"}));
    const SessionData read = readSession(again);
    EXPECT_EQ(read.tabs, tabs);
    EXPECT_EQ(read.active, 1);

    // Saved again as files only: no command is left behind to come back.
    tabs[1] = {QStringLiteral("/var/log/c.log"), ""};
    IniFile third = loaded(path);
    writeSession(third, tabs, 0);
    ASSERT_TRUE(third.updateFile());
    EXPECT_EQ(readSession(loaded(path)).tabs, tabs);
}

TEST_F(SessionFileTest, SavingASmallerSessionLeavesOldKeysThatAreNeverRead)
{
    const QString path = pathOf(QStringLiteral("s.ravelin-session"));
    {
        IniFile ini = loaded(path);
        std::vector<SessionTab> tabs{{"/a", "A"}, {"/b", "B"}, {"/c", "C"}};
        tabs[0].pane.text = QStringLiteral("old pane");
        writeSession(ini, tabs, 2);
        ASSERT_TRUE(ini.updateFile());
    }
    IniFile ini = loaded(path);
    writeSession(ini, {{"/x", ""}}, 0);
    ASSERT_TRUE(ini.updateFile());
    const IniFile again = loaded(path);
    EXPECT_EQ(again.readString("Tabs", "2", ""), "/c");
    const SessionData read = readSession(again);
    EXPECT_EQ(read.tabs, (std::vector<SessionTab>{{"/x", ""}}));
    EXPECT_EQ(read.active, 0);
}

TEST_F(SessionFileTest, DamagedFilesGiveWhatTheyHoldAndNeverMore)
{
    struct Case
    {
        const char *name;
        QByteArray text;
        std::vector<SessionTab> tabs;
        int active;
    };
    SessionTab top;
    top.command = QStringLiteral("top");
    const Case cases[] = {
        {"empty file", "", {}, -1},
        // Saving stores no encoding for a command, so none is read for one.
        {"a pane's flags and share without its text",
         "[Tabs]\nNum=1\n0=/a\n[Panes]\nFlags0=3\nRatio0=700\n",
         {{"/a", ""}},
         0},
        {"an encoding for a command's tab",
         "[Tabs]\nNum=1\n[Commands]\n0=top\n[Encodings]\n0=45\n",
         {top},
         0},
        {"no Num", "[Tabs]\n0=/a\n", {}, -1},
        {"negative Num", "[Tabs]\nNum=-5\n0=/a\n", {}, -6},
        {"Num not a number", "[Tabs]\nNum=lots\n0=/a\n", {}, -1},
        {"Active defaults to the last", "[Tabs]\nNum=2\n0=/a\n1=/b\n", {{"/a", ""}, {"/b", ""}}, 1},
        {"huge Num, two keys",
         "[Tabs]\nNum=2147483647\nActive=0\n7=/b\n0=/a\n[Nicks]\n7=B\n",
         {{"/a", ""}, {"/b", "B"}},
         0},
        {"keys beyond Num ignored", "[Tabs]\nNum=1\n0=/a\n1=/b\n", {{"/a", ""}}, 0},
        {"missing and empty entries skipped", "[Tabs]\nNum=4\n1=\n3=/d\n", {{"/d", ""}}, 3},
        {"duplicate keys count once",
         "[Tabs]\nNum=2\n0=/a\n0=/z\n1=/b\n",
         {{"/a", ""}, {"/b", ""}},
         1},
        {"keys that only look like numbers",
         "[Tabs]\nNum=3\n01=/x\n+1=/y\n 2 =/c\n-0=/w\n",
         {{"/c", ""}},
         2},
        {"binary garbage", QByteArray("\x00\xff\xfe[Tabs\x01\nNum=\x80\n=\n[\n", 18), {}, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = pathOf(QStringLiteral("damaged.ravelin-session"));
        writeFile(path, c.text);
        const SessionData read = readSession(loaded(path));
        EXPECT_EQ(read.tabs, c.tabs);
        EXPECT_EQ(read.active, c.active);
    }
}

TEST_F(SessionFileTest, PathsALineCannotHoldAreLeftOutAndActiveFollowsItsTab)
{
    const QString path = pathOf(QStringLiteral("s.ravelin-session"));
    IniFile ini = loaded(path);
    const QStringList leftOut =
        writeSession(ini, {{"/a", ""}, {"/bad\nname", "x"}, {"/c", "multi\nline"}}, 2);
    EXPECT_EQ(leftOut, QStringList{"/bad\nname"});
    const SessionData read = readSession(ini);
    EXPECT_EQ(read.tabs, (std::vector<SessionTab>{{"/a", ""}, {"/c", ""}}));
    EXPECT_EQ(read.active, 1);

    writeSession(ini, {{"/a", ""}, {"/bad\nname", ""}}, 1);
    EXPECT_EQ(readSession(ini).active, -1);
}

TEST_F(SessionFileTest, RecentSessionsKeepTheNewestTenWithoutRepeats)
{
    RecentSessions list;
    for (int i = 0; i < 12; ++i)
        list.add(QStringLiteral("/s/%1.ravelin-session").arg(i));
    ASSERT_EQ(list.count(), 10);
    EXPECT_EQ(list.items().front(), "/s/11.ravelin-session");
    EXPECT_EQ(list.items().back(), "/s/2.ravelin-session");
    list.add(QStringLiteral("/S/5.RAVELIN-SESSION"));
    EXPECT_EQ(list.count(), 10);
    EXPECT_EQ(list.items().front(), "/S/5.RAVELIN-SESSION");
    EXPECT_EQ(
        list.items().filter(QStringLiteral("/s/5.ravelin-session"), Qt::CaseInsensitive).size(), 1);
}

TEST_F(SessionFileTest, RecentSessionsGoThroughTheSettingsFile)
{
    const QString path = pathOf(QStringLiteral("Ravelin.ini"));
    writeFile(path, "[SessHistory]\nCurrent=/cur\n0=/a\n1=\n2=/A\n3=/b\n9=/z\n");
    IniFile ini = loaded(path);
    RecentSessions list;
    list.load(ini);
    EXPECT_EQ(list.items(), (QStringList{"/a", "/b", "/z"}));

    list.add(QStringLiteral("/line\nbreak"));
    EXPECT_EQ(list.save(ini), QStringList{"/line\nbreak"});
    EXPECT_EQ(ini.readString("SessHistory", "2", ""), "/z");
    EXPECT_FALSE(ini.keyExists("SessHistory", "3"));
    EXPECT_FALSE(ini.keyExists("SessHistory", "9"));
    EXPECT_EQ(ini.readString("SessHistory", "Current", ""), "/cur");
}

// A name that is not UTF-8 is stored as its bytes, so that it names the same
// file when read back; U+FFFD or "?" in its place would name another.
TEST_F(SessionFileTest, PathsAreStoredAsTheBytesOfTheirNames)
{
    const QByteArray raw = "/var/log/bad\xFFname.log";
    const QString name = fileNameFromBytes(raw);
    const QString path = pathOf(QStringLiteral("s.ravelin-session"));
    IniFile ini = loaded(path);
    writeSession(ini, {{name, "caption"}}, 0);
    RecentSessions sessions;
    sessions.add(name);
    sessions.save(ini);
    ASSERT_TRUE(ini.updateFile());
    const QByteArray text = readFile(path);
    EXPECT_TRUE(text.contains("[Tabs]\nNum=1\nActive=0\n0=" + raw + "\n"));
    EXPECT_TRUE(text.contains("[SessHistory]\n0=" + raw + "\n"));

    const IniFile again = loaded(path);
    EXPECT_EQ(readSession(again).tabs, (std::vector<SessionTab>{{name, "caption"}}));
    RecentSessions loaded;
    loaded.load(again);
    EXPECT_EQ(loaded.items(), QStringList{name});
}

} // namespace
