#include "app/recentfiles.h"

#include "app/inifile.h"
#include "settingsfixture.h"
#include "text/fileutil.h"

namespace {

QStringList paths(const RecentFiles &recent)
{
    QStringList paths;
    for (const RecentFile &item : recent.items())
        paths.append(item.path);
    return paths;
}

QString logPath(int i)
{
    return QStringLiteral("/var/log/app%1.log").arg(i);
}

TEST(RecentFilesTest, TouchKeepsTheNewestTenOnTop)
{
    RecentFiles recent;
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(recent.touch(logPath(i)), encodingAnsi);
    QStringList expected;
    for (int i = 12; i >= 3; --i)
        expected.append(logPath(i));
    EXPECT_EQ(paths(recent), expected);

    // A file that dropped out of the list has lost its code.
    recent.setEncoding(logPath(1), Encoding::codePage(130));
    EXPECT_EQ(recent.touch(logPath(1)), encodingAnsi);
    EXPECT_EQ(recent.count(), RecentFiles::kMaxCount);
    EXPECT_EQ(paths(recent).last(), logPath(4));
}

TEST(RecentFilesTest, TouchMovesAnEntryWithItsCodeIgnoringCase)
{
    RecentFiles recent;
    recent.touch(QStringLiteral("/logs/a.log"));
    recent.touch(QStringLiteral("/logs/b.log"));
    recent.touch(QStringLiteral("/logs/c.log"));
    recent.setEncoding(QStringLiteral("/LOGS/A.LOG"), Encoding::codePage(130));
    recent.setEncoding(QStringLiteral("/logs/absent.log"),
                       encodingUtf16BE); // not in the list: no effect

    EXPECT_EQ(recent.touch(QStringLiteral("/Logs/A.log")), encodingUtf8);
    EXPECT_EQ(paths(recent), QStringList({"/Logs/A.log", "/logs/c.log", "/logs/b.log"}));
    EXPECT_EQ(recent.items().front().encoding, encodingUtf8);

    EXPECT_EQ(recent.touch(QStringLiteral("/logs/c.log")), encodingAnsi);
    EXPECT_EQ(paths(recent), QStringList({"/logs/c.log", "/Logs/A.log", "/logs/b.log"}));

    recent.clear();
    EXPECT_TRUE(recent.isEmpty());
}

class RecentFilesFileTest : public SettingsFixture
{
};

TEST_F(RecentFilesFileTest, SaveAndLoadThroughTheFile)
{
    const QString path = pathOf(QStringLiteral("Ravelin.ini"));
    writeFile(path, "[OpenHistory]\n0=/old/0\n0enc=1\n1=/old/1\n2=/old/2\n3=/old/3\n3enc=-1\n"
                    "4=/old/4\n9=/old/9\n9enc=5\nOther=kept\n");
    const QString cyrillic = QStringLiteral("/home/пользователь/журнал.log");
    RecentFiles recent;
    recent.touch(QStringLiteral("/tmp/b.log"));
    recent.setEncoding(QStringLiteral("/tmp/b.log"), encodingUtf16BE);
    recent.touch(QStringLiteral("/tmp/a b.log"));
    recent.touch(cyrillic);
    recent.setEncoding(cyrillic, Encoding::codePage(130));

    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    recent.save(ini);
    ASSERT_TRUE(ini.updateFile());

    IniFile again(path);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readSectionKeys("OpenHistory"),
              QStringList({"0", "0enc", "1", "2", "Other", "1enc", "2enc"}));
    RecentFiles loaded;
    loaded.load(again);
    ASSERT_EQ(loaded.count(), 3);
    EXPECT_EQ(loaded.items()[0].path, cyrillic);
    EXPECT_EQ(loaded.items()[0].encoding, encodingUtf8);
    EXPECT_EQ(loaded.items()[1].path, QStringLiteral("/tmp/a b.log"));
    EXPECT_EQ(loaded.items()[1].encoding, encodingAnsi);
    EXPECT_EQ(loaded.items()[2].path, QStringLiteral("/tmp/b.log"));
    EXPECT_EQ(loaded.items()[2].encoding, encodingUtf16BE);
}

// Commands are kept apart from paths: a command "a.log" is not the file a.log.
TEST_F(RecentFilesFileTest, CommandsAreRememberedAsCommands)
{
    const QString path = pathOf(QStringLiteral("Ravelin.ini"));
    RecentFiles recent;
    recent.touch(QStringLiteral("/var/log/a.log"));
    recent.touchCommand(QStringLiteral("journalctl -f -o short-iso"));
    recent.touchCommand(QStringLiteral("/var/log/a.log"));
    recent.touchCommand(QStringLiteral("journalctl -f -o short-iso"));
    ASSERT_EQ(recent.count(), 3) << "the same command once";
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    recent.save(ini);
    ASSERT_TRUE(ini.updateFile());

    IniFile again(path);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readString("OpenHistory", "0", "x"), "") << "no path for a command";
    RecentFiles loaded;
    loaded.load(again);
    ASSERT_EQ(loaded.count(), 3);
    EXPECT_TRUE(loaded.items()[0].command);
    EXPECT_EQ(loaded.items()[0].path, QStringLiteral("journalctl -f -o short-iso"));
    EXPECT_TRUE(loaded.items()[1].command);
    EXPECT_FALSE(loaded.items()[2].command);
    EXPECT_EQ(loaded.items()[2].path, QStringLiteral("/var/log/a.log"));

    // Files again: the command keys go.
    RecentFiles files;
    files.touch(QStringLiteral("/b.log"));
    IniFile third(path);
    ASSERT_TRUE(third.load());
    files.save(third);
    EXPECT_FALSE(third.readSectionKeys("OpenHistory").contains("0cmd"));
}

TEST_F(RecentFilesFileTest, LoadSkipsGapsAndRepeatsAndDefaultsTheCode)
{
    const QString path = pathOf(QStringLiteral("Ravelin.ini"));
    writeFile(path, "[openhistory]\n1=/a.log\n1enc=x\n3=\n4=/B.log\n4enc=-1\n6=/b.LOG\n6enc=2\n"
                    "9=/c.log\n9enc=0x82\n10=/beyond.log\n");
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    RecentFiles recent;
    recent.touch(QStringLiteral("/replaced.log"));
    recent.load(ini);
    ASSERT_EQ(recent.count(), 3);
    EXPECT_EQ(paths(recent), QStringList({"/a.log", "/B.log", "/c.log"}));
    EXPECT_EQ(recent.items()[0].encoding, encodingAnsi);
    EXPECT_EQ(recent.items()[1].encoding, encodingUtf16LE);
    EXPECT_EQ(recent.items()[2].encoding, encodingUtf8);
}

// A path with a line break cannot be a value of a settings line: it is left
// out, the others close up so that the numbers stay without gaps, and the
// caller learns which paths were left out.
TEST_F(RecentFilesFileTest, SaveLeavesOutPathsWithALineBreak)
{
    const QString path = pathOf(QStringLiteral("Ravelin.ini"));
    writeFile(path, "[OpenHistory]\n0=/old/0\n1=/old/1\n2=/old/2\n2enc=5\n");
    const QString broken = QStringLiteral("/tmp/a\nb.log");
    const QString returned = QStringLiteral("/tmp/c\r.log");
    RecentFiles recent;
    recent.touch(QStringLiteral("/tmp/last.log"));
    recent.touch(broken);
    recent.touch(QStringLiteral("/tmp/first.log"));
    recent.setEncoding(QStringLiteral("/tmp/first.log"), Encoding::codePage(45));
    recent.touch(returned);

    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(recent.save(ini), QStringList({returned, broken}));
    EXPECT_EQ(recent.count(), 4) << "the list in memory keeps them";
    EXPECT_EQ(ini.serialize(),
              "[OpenHistory]\n0=/tmp/first.log\n1=/tmp/last.log\n0enc=45\n1enc=0\n");

    RecentFiles clean;
    clean.touch(QStringLiteral("/tmp/x.log"));
    EXPECT_TRUE(clean.save(ini).isEmpty());
}

// A name that is not UTF-8 is stored as its bytes, so that it names the same
// file when read back.
TEST_F(RecentFilesFileTest, PathsAreStoredAsTheBytesOfTheirNames)
{
    const QByteArray raw = "/var/log/bad\xFFname.log";
    const QString name = fileNameFromBytes(raw);
    const QString path = pathOf(QStringLiteral("Ravelin.ini"));
    RecentFiles recent;
    recent.touch(name);
    recent.setEncoding(name, Encoding::codePage(130));
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    recent.save(ini);
    ASSERT_TRUE(ini.updateFile());
    EXPECT_TRUE(readFile(path).contains("\n0=" + raw + "\n"));

    IniFile again(path);
    ASSERT_TRUE(again.load());
    RecentFiles loaded;
    loaded.load(again);
    ASSERT_EQ(loaded.count(), 1);
    EXPECT_EQ(loaded.items()[0].path, name);
    EXPECT_EQ(loaded.items()[0].encoding, encodingUtf8);
}

} // namespace
