#include "app/recentfiles.h"

#include "app/inifile.h"
#include "settingsfixture.h"
#include "text/fproc.h"

namespace {

QStringList Paths(const RecentFiles &recent)
{
    QStringList paths;
    for (const RecentFile &item : recent.Items())
        paths.append(item.Path);
    return paths;
}

QString LogPath(int i)
{
    return QStringLiteral("/var/log/app%1.log").arg(i);
}

TEST(RecentFilesTest, TouchKeepsTheNewestTenOnTop)
{
    RecentFiles recent;
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(recent.Touch(LogPath(i)), 0);
    QStringList expected;
    for (int i = 12; i >= 3; --i)
        expected.append(LogPath(i));
    EXPECT_EQ(Paths(recent), expected);

    // A file that dropped out of the list has lost its code.
    recent.SetEncoding(LogPath(1), 130);
    EXPECT_EQ(recent.Touch(LogPath(1)), 0);
    EXPECT_EQ(recent.Count(), RecentFiles::kMaxCount);
    EXPECT_EQ(Paths(recent).last(), LogPath(4));
}

TEST(RecentFilesTest, TouchMovesAnEntryWithItsCodeIgnoringCase)
{
    RecentFiles recent;
    recent.Touch(QStringLiteral("/logs/a.log"));
    recent.Touch(QStringLiteral("/logs/b.log"));
    recent.Touch(QStringLiteral("/logs/c.log"));
    recent.SetEncoding(QStringLiteral("/LOGS/A.LOG"), 130);
    recent.SetEncoding(QStringLiteral("/logs/absent.log"), -2); // not in the list: no effect

    EXPECT_EQ(recent.Touch(QStringLiteral("/Logs/A.log")), 130);
    EXPECT_EQ(Paths(recent), QStringList({"/Logs/A.log", "/logs/c.log", "/logs/b.log"}));
    EXPECT_EQ(recent.Items().front().Encoding, 130);

    EXPECT_EQ(recent.Touch(QStringLiteral("/logs/c.log")), 0);
    EXPECT_EQ(Paths(recent), QStringList({"/logs/c.log", "/Logs/A.log", "/logs/b.log"}));

    recent.Clear();
    EXPECT_TRUE(recent.IsEmpty());
}

class RecentFilesFileTest : public SettingsFixture
{
};

TEST_F(RecentFilesFileTest, SaveAndLoadThroughTheFile)
{
    const QString path = PathOf(QStringLiteral("Ravelin.ini"));
    WriteFile(path, "[OpenHistory]\n0=/old/0\n0enc=1\n1=/old/1\n2=/old/2\n3=/old/3\n3enc=-1\n"
                    "4=/old/4\n9=/old/9\n9enc=5\nOther=kept\n");
    const QString cyrillic = QStringLiteral("/home/пользователь/журнал.log");
    RecentFiles recent;
    recent.Touch(QStringLiteral("/tmp/b.log"));
    recent.SetEncoding(QStringLiteral("/tmp/b.log"), -2);
    recent.Touch(QStringLiteral("/tmp/a b.log"));
    recent.Touch(cyrillic);
    recent.SetEncoding(cyrillic, 130);

    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    recent.Save(ini);
    ASSERT_TRUE(ini.UpdateFile());

    IniFile again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.ReadSectionKeys("OpenHistory"),
              QStringList({"0", "0enc", "1", "2", "Other", "1enc", "2enc"}));
    RecentFiles loaded;
    loaded.Load(again);
    ASSERT_EQ(loaded.Count(), 3);
    EXPECT_EQ(loaded.Items()[0].Path, cyrillic);
    EXPECT_EQ(loaded.Items()[0].Encoding, 130);
    EXPECT_EQ(loaded.Items()[1].Path, QStringLiteral("/tmp/a b.log"));
    EXPECT_EQ(loaded.Items()[1].Encoding, 0);
    EXPECT_EQ(loaded.Items()[2].Path, QStringLiteral("/tmp/b.log"));
    EXPECT_EQ(loaded.Items()[2].Encoding, -2);
}

TEST_F(RecentFilesFileTest, LoadSkipsGapsAndRepeatsAndDefaultsTheCode)
{
    const QString path = PathOf(QStringLiteral("Ravelin.ini"));
    WriteFile(path, "[openhistory]\n1=/a.log\n1enc=x\n3=\n4=/B.log\n4enc=-1\n6=/b.LOG\n6enc=2\n"
                    "9=/c.log\n9enc=0x82\n10=/beyond.log\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    RecentFiles recent;
    recent.Touch(QStringLiteral("/replaced.log"));
    recent.Load(ini);
    ASSERT_EQ(recent.Count(), 3);
    EXPECT_EQ(Paths(recent), QStringList({"/a.log", "/B.log", "/c.log"}));
    EXPECT_EQ(recent.Items()[0].Encoding, 0);
    EXPECT_EQ(recent.Items()[1].Encoding, -1);
    EXPECT_EQ(recent.Items()[2].Encoding, 130);
}

// A path with a line break cannot be a value of a settings line: it is left
// out, the others close up so that the numbers stay without gaps, and the
// caller learns which paths were left out.
TEST_F(RecentFilesFileTest, SaveLeavesOutPathsWithALineBreak)
{
    const QString path = PathOf(QStringLiteral("Ravelin.ini"));
    WriteFile(path, "[OpenHistory]\n0=/old/0\n1=/old/1\n2=/old/2\n2enc=5\n");
    const QString broken = QStringLiteral("/tmp/a\nb.log");
    const QString returned = QStringLiteral("/tmp/c\r.log");
    RecentFiles recent;
    recent.Touch(QStringLiteral("/tmp/last.log"));
    recent.Touch(broken);
    recent.Touch(QStringLiteral("/tmp/first.log"));
    recent.SetEncoding(QStringLiteral("/tmp/first.log"), 45);
    recent.Touch(returned);

    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(recent.Save(ini), QStringList({returned, broken}));
    EXPECT_EQ(recent.Count(), 4) << "the list in memory keeps them";
    EXPECT_EQ(ini.Serialize(),
              "[OpenHistory]\n0=/tmp/first.log\n1=/tmp/last.log\n0enc=45\n1enc=0\n");

    RecentFiles clean;
    clean.Touch(QStringLiteral("/tmp/x.log"));
    EXPECT_TRUE(clean.Save(ini).isEmpty());
}

// A name that is not UTF-8 is stored as its bytes, so that it names the same
// file when read back.
TEST_F(RecentFilesFileTest, PathsAreStoredAsTheBytesOfTheirNames)
{
    const QByteArray raw = "/var/log/bad\xFFname.log";
    const QString name = FileNameFromBytes(raw);
    const QString path = PathOf(QStringLiteral("Ravelin.ini"));
    RecentFiles recent;
    recent.Touch(name);
    recent.SetEncoding(name, 130);
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    recent.Save(ini);
    ASSERT_TRUE(ini.UpdateFile());
    EXPECT_TRUE(ReadFile(path).contains("\n0=" + raw + "\n"));

    IniFile again(path);
    ASSERT_TRUE(again.Load());
    RecentFiles loaded;
    loaded.Load(again);
    ASSERT_EQ(loaded.Count(), 1);
    EXPECT_EQ(loaded.Items()[0].Path, name);
    EXPECT_EQ(loaded.Items()[0].Encoding, 130);
}

} // namespace
