#include "app/commandline.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(CommandLineTest, SeparatesFilesFromOptions)
{
    const struct
    {
        const char *name;
        QStringList args;
        QStringList files;
        QString config;
        bool help, version, skipReopen, error;
    } cases[] = {
        {"empty", {}, {}, {}, false, false, false, false},
        {"files in order",
         {"b.log", "/var/log/a.log"},
         {"b.log", "/var/log/a.log"},
         {},
         false,
         false,
         true,
         false},
        {"unknown option is an error, not a file",
         {"-x", "a.log"},
         {"a.log"},
         {},
         false,
         false,
         true,
         true},
        {"double dash ends the options",
         {"--", "-x", "--help"},
         {"-x", "--help"},
         {},
         false,
         false,
         true,
         false},
        {"config with separate value",
         {"--config", "/etc/r.ini", "a.log"},
         {"a.log"},
         "/etc/r.ini",
         false,
         false,
         true,
         false},
        {"config with equals, alone keeps reopening",
         {"--config=/etc/r.ini"},
         {},
         "/etc/r.ini",
         false,
         false,
         false,
         false},
        {"config value may begin with a dash",
         {"--config", "-odd.ini"},
         {},
         "-odd.ini",
         false,
         false,
         false,
         false},
        {"config without value", {"a.log", "--config"}, {"a.log"}, {}, false, false, true, true},
        {"config with empty value", {"--config="}, {}, {}, false, false, false, true},
        {"help", {"--help"}, {}, {}, true, false, true, false},
        {"version", {"--version", "a.log"}, {"a.log"}, {}, false, true, true, false},
        {"lone dash reads standard input",
         {"-", "a.log"},
         {"a.log"},
         {},
         false,
         false,
         true,
         false},
        {"near miss is unknown", {"--configx=1"}, {}, {}, false, false, true, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine line = parseCommandLine(c.args);
        EXPECT_EQ(line.files, c.files);
        EXPECT_EQ(line.configPath, c.config);
        EXPECT_EQ(line.help, c.help);
        EXPECT_EQ(line.version, c.version);
        EXPECT_EQ(line.skipReopen, c.skipReopen);
        EXPECT_EQ(!line.error.isEmpty(), c.error) << qPrintable(line.error);
    }
    EXPECT_EQ(parseCommandLine({"-x"}).error, QStringLiteral("Unknown option: -x"));
    const CommandLine commands =
        parseCommandLine({"--command", "journalctl -f", "--command=ssh host tail -F x"});
    EXPECT_EQ(commands.commands, QStringList({"journalctl -f", "ssh host tail -F x"}));
    EXPECT_TRUE(commands.skipReopen);
    EXPECT_TRUE(commands.error.isEmpty());
    EXPECT_EQ(parseCommandLine({"--command"}).error,
              QStringLiteral("Option --command needs a command line"));
    EXPECT_TRUE(parseCommandLine({"-"}).standardInput);
    EXPECT_FALSE(parseCommandLine({"a.log"}).standardInput);
    const CommandLine named = parseCommandLine({"--", "-"});
    EXPECT_FALSE(named.standardInput) << "after --, a file named -";
    EXPECT_EQ(named.files, QStringList{"-"});
}

class ResolveSettingsPathTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_home = qgetenv("HOME");
        m_xdg = qgetenv("XDG_CONFIG_HOME");
        m_hadXdg = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        qputenv("HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("home"))));
    }
    void TearDown() override
    {
        qputenv("HOME", m_home);
        if (m_hadXdg)
            qputenv("XDG_CONFIG_HOME", m_xdg);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }

    QTemporaryDir m_dir;

private:
    QByteArray m_home, m_xdg;
    bool m_hadXdg = false;
};

TEST(CommandLineTest, ToolkitOptionsAreNotOursToCheck)
{
    const struct
    {
        const char *name;
        QStringList args;
        QStringList left;
        bool error; // what our own parser then says
    } cases[] = {
        {"style with its value", {"-style", "fusion", "a.log"}, {"a.log"}, false},
        {"double dash and inline value", {"--style=fusion", "-platform", "xcb"}, {}, false},
        {"flag", {"-reverse", "a.log"}, {"a.log"}, false},
        {"ours stay", {"--config", "x.ini", "--bogus"}, {"--config", "x.ini", "--bogus"}, true},
        {"a near miss is unknown", {"-styles", "fusion"}, {"-styles", "fusion"}, true},
        {"nothing after -- is an option", {"--", "-style", "f"}, {"--", "-style", "f"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(withoutToolkitOptions(c.args), c.left);
        EXPECT_EQ(!parseCommandLine(withoutToolkitOptions(c.args)).error.isEmpty(), c.error);
    }
}

TEST_F(ResolveSettingsPathTest, PrefersConfigThenPortableThenXdg)
{
    const QString program = m_dir.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(program));
    const QString home = m_dir.filePath(QStringLiteral("home"));

    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(resolveSettingsPath(QString(), program), home + "/.config/ravelin/Ravelin.ini");
    qputenv("XDG_CONFIG_HOME", "relative/dir"); // ignored, as the XDG rules ask
    EXPECT_EQ(resolveSettingsPath(QString(), program), home + "/.config/ravelin/Ravelin.ini");
    qputenv("XDG_CONFIG_HOME", "/xdg/conf");
    EXPECT_EQ(resolveSettingsPath(QString(), program),
              QStringLiteral("/xdg/conf/ravelin/Ravelin.ini"));

    // A folder named like the file does not make the program portable.
    ASSERT_TRUE(QDir().mkpath(program + "/Ravelin.ini"));
    EXPECT_EQ(resolveSettingsPath(QString(), program),
              QStringLiteral("/xdg/conf/ravelin/Ravelin.ini"));
    ASSERT_TRUE(QDir().rmdir(program + "/Ravelin.ini"));
    QFile portable(program + "/Ravelin.ini");
    ASSERT_TRUE(portable.open(QIODevice::WriteOnly));
    portable.close();
    EXPECT_EQ(resolveSettingsPath(QString(), program), program + "/Ravelin.ini");

    EXPECT_EQ(resolveSettingsPath(QStringLiteral("/etc/my.ini"), program),
              QStringLiteral("/etc/my.ini"));
    EXPECT_EQ(resolveSettingsPath(QStringLiteral("rel/my.ini"), program),
              QDir::current().absoluteFilePath(QStringLiteral("rel/my.ini")));
}

} // namespace
