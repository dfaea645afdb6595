// Session files and the recent sessions list, through the INI module.
#include "app/sessionfile.h"

#include "app/inifile.h"
#include "settingsfixture.h"
#include "text/fproc.h"

namespace {

using SessionFileTest = SettingsFixture;

IniFile Loaded(const QString &path)
{
    IniFile ini(path);
    EXPECT_TRUE(ini.Load());
    return ini;
}

TEST_F(SessionFileTest, TabsRoundTripWithTheirCaptionsAndActiveIndex)
{
    const std::vector<SessionTab> tabs = {
        {QStringLiteral("/var/log/a.log"), "first"},
        {QStringLiteral("/var/log/my dir/\"quoted\" b.log"),
         QStringLiteral("Überwachung ").toUtf8()},
        {QStringLiteral("/var/log/журнал.log"), ""},
    };
    const QString path = PathOf(QStringLiteral("s.ravelin-session"));
    IniFile ini = Loaded(path);
    EXPECT_TRUE(WriteSession(ini, tabs, 1).isEmpty());
    ASSERT_TRUE(ini.UpdateFile());

    const QByteArray text = ReadFile(path);
    EXPECT_TRUE(text.contains("[Tabs]\nNum=3\nActive=1\n0=/var/log/a.log\n"));
    EXPECT_TRUE(text.contains("[Nicks]\n0=first\n"));

    const SessionData read = ReadSession(Loaded(path));
    EXPECT_EQ(read.Tabs, tabs);
    EXPECT_EQ(read.Active, 1);
}

TEST_F(SessionFileTest, SavingASmallerSessionLeavesOldKeysThatAreNeverRead)
{
    const QString path = PathOf(QStringLiteral("s.ravelin-session"));
    {
        IniFile ini = Loaded(path);
        WriteSession(ini, {{"/a", "A"}, {"/b", "B"}, {"/c", "C"}}, 2);
        ASSERT_TRUE(ini.UpdateFile());
    }
    IniFile ini = Loaded(path);
    WriteSession(ini, {{"/x", ""}}, 0);
    ASSERT_TRUE(ini.UpdateFile());
    const IniFile again = Loaded(path);
    EXPECT_EQ(again.ReadString("Tabs", "2", ""), "/c");
    const SessionData read = ReadSession(again);
    EXPECT_EQ(read.Tabs, (std::vector<SessionTab>{{"/x", ""}}));
    EXPECT_EQ(read.Active, 0);
}

TEST_F(SessionFileTest, DamagedFilesGiveWhatTheyHoldAndNeverMore)
{
    struct Case
    {
        const char *Name;
        QByteArray Text;
        std::vector<SessionTab> Tabs;
        int Active;
    };
    const Case cases[] = {
        {"empty file", "", {}, -1},
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
        SCOPED_TRACE(c.Name);
        const QString path = PathOf(QStringLiteral("damaged.ravelin-session"));
        WriteFile(path, c.Text);
        const SessionData read = ReadSession(Loaded(path));
        EXPECT_EQ(read.Tabs, c.Tabs);
        EXPECT_EQ(read.Active, c.Active);
    }
}

TEST_F(SessionFileTest, PathsALineCannotHoldAreLeftOutAndActiveFollowsItsTab)
{
    const QString path = PathOf(QStringLiteral("s.ravelin-session"));
    IniFile ini = Loaded(path);
    const QStringList leftOut =
        WriteSession(ini, {{"/a", ""}, {"/bad\nname", "x"}, {"/c", "multi\nline"}}, 2);
    EXPECT_EQ(leftOut, QStringList{"/bad\nname"});
    const SessionData read = ReadSession(ini);
    EXPECT_EQ(read.Tabs, (std::vector<SessionTab>{{"/a", ""}, {"/c", ""}}));
    EXPECT_EQ(read.Active, 1);

    WriteSession(ini, {{"/a", ""}, {"/bad\nname", ""}}, 1);
    EXPECT_EQ(ReadSession(ini).Active, -1);
}

TEST_F(SessionFileTest, RecentSessionsKeepTheNewestTenWithoutRepeats)
{
    RecentSessions list;
    for (int i = 0; i < 12; ++i)
        list.Add(QStringLiteral("/s/%1.ravelin-session").arg(i));
    ASSERT_EQ(list.Count(), 10);
    EXPECT_EQ(list.Items().front(), "/s/11.ravelin-session");
    EXPECT_EQ(list.Items().back(), "/s/2.ravelin-session");
    list.Add(QStringLiteral("/S/5.RAVELIN-SESSION"));
    EXPECT_EQ(list.Count(), 10);
    EXPECT_EQ(list.Items().front(), "/S/5.RAVELIN-SESSION");
    EXPECT_EQ(
        list.Items().filter(QStringLiteral("/s/5.ravelin-session"), Qt::CaseInsensitive).size(), 1);
}

TEST_F(SessionFileTest, RecentSessionsGoThroughTheSettingsFile)
{
    const QString path = PathOf(QStringLiteral("Ravelin.ini"));
    WriteFile(path, "[SessHistory]\nCurrent=/cur\n0=/a\n1=\n2=/A\n3=/b\n9=/z\n");
    IniFile ini = Loaded(path);
    RecentSessions list;
    list.Load(ini);
    EXPECT_EQ(list.Items(), (QStringList{"/a", "/b", "/z"}));

    list.Add(QStringLiteral("/line\nbreak"));
    EXPECT_EQ(list.Save(ini), QStringList{"/line\nbreak"});
    EXPECT_EQ(ini.ReadString("SessHistory", "2", ""), "/z");
    EXPECT_FALSE(ini.KeyExists("SessHistory", "3"));
    EXPECT_FALSE(ini.KeyExists("SessHistory", "9"));
    EXPECT_EQ(ini.ReadString("SessHistory", "Current", ""), "/cur");
}

// A name that is not UTF-8 is stored as its bytes, so that it names the same
// file when read back; U+FFFD or "?" in its place would name another.
TEST_F(SessionFileTest, PathsAreStoredAsTheBytesOfTheirNames)
{
    const QByteArray raw = "/var/log/bad\xFFname.log";
    const QString name = FileNameFromBytes(raw);
    const QString path = PathOf(QStringLiteral("s.ravelin-session"));
    IniFile ini = Loaded(path);
    WriteSession(ini, {{name, "caption"}}, 0);
    RecentSessions sessions;
    sessions.Add(name);
    sessions.Save(ini);
    ASSERT_TRUE(ini.UpdateFile());
    const QByteArray text = ReadFile(path);
    EXPECT_TRUE(text.contains("[Tabs]\nNum=1\nActive=0\n0=" + raw + "\n"));
    EXPECT_TRUE(text.contains("[SessHistory]\n0=" + raw + "\n"));

    const IniFile again = Loaded(path);
    EXPECT_EQ(ReadSession(again).Tabs, (std::vector<SessionTab>{{name, "caption"}}));
    RecentSessions loaded;
    loaded.Load(again);
    EXPECT_EQ(loaded.Items(), QStringList{name});
}

} // namespace
