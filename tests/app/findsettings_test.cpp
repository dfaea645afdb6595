#include "app/findsettings.h"

#include "app/inifile.h"
#include "settingsfixture.h"

namespace {

class FindSettingsTest : public SettingsFixture
{
protected:
    QString Path() const { return PathOf(QStringLiteral("Ravelin.ini")); }

    FindState LoadFrom(const QByteArray &text, FindState state = {})
    {
        WriteFile(Path(), text);
        IniFile ini(Path());
        EXPECT_TRUE(ini.Load());
        LoadFindSettings(ini, state);
        return state;
    }

    QByteArray SaveOver(const QByteArray &text, const FindState &state)
    {
        WriteFile(Path(), text);
        IniFile ini(Path());
        EXPECT_TRUE(ini.Load());
        SaveFindSettings(ini, state);
        EXPECT_TRUE(ini.UpdateFile());
        return ReadFile(Path());
    }
};

TEST(FindHistory, NewTextGoesOnTopAndCaseVariantsCollapse)
{
    struct Case
    {
        const char *name;
        QStringList before;
        QString text;
        QStringList after;
    };
    const Case cases[] = {
        {"first text", {}, "a", {"a"}},
        {"same text twice stays single", {"a", "b"}, "a", {"a", "b"}},
        {"older entry moves up", {"a", "b", "c"}, "c", {"c", "a", "b"}},
        {"letter case variant replaces the old entry", {"Error", "x"}, "ERROR", {"ERROR", "x"}},
        {"non-ASCII letters fold too", {"Ärger"}, "ärger", {"ärger"}},
        {"eleventh text pushes the oldest out",
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
         "new",
         {"new", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList history = c.before;
        AddToFindHistory(history, c.text);
        EXPECT_EQ(history, c.after);
    }
}

TEST_F(FindSettingsTest, LoadReadsFlagsAndSkipsEmptyHistoryValues)
{
    const FindState state = LoadFrom("[FindHistory]\n0=\n1=timeout\n3=Ошибка\n9=last\n"
                                     "[Find]\nWords=1\nCase=1\nBack=0\nRegex=1\nMLine=1\n"
                                     "Origin=1\n");
    EXPECT_EQ(state.FindHistory, (QStringList{"timeout", "Ошибка", "last"}));
    EXPECT_EQ(state.FindText, "timeout");
    EXPECT_TRUE(state.FindWords);
    EXPECT_TRUE(state.FindCase);
    EXPECT_FALSE(state.FindBack);
    EXPECT_TRUE(state.FindRegex);
    EXPECT_TRUE(state.FindMLine);
    EXPECT_TRUE(state.FindOrigin);
}

TEST_F(FindSettingsTest, LoadWithoutSectionsKeepsDefaultsAndClearsHistory)
{
    FindState before;
    before.FindText = "kept";
    before.FindHistory = {"stale"};
    before.FindBack = true;
    const FindState state = LoadFrom("[Opt]\nMaxLen=300\n", before);
    EXPECT_TRUE(state.FindHistory.isEmpty());
    EXPECT_EQ(state.FindText, "kept"); // no history: the text stays
    EXPECT_TRUE(state.FindBack);       // a missing key keeps its value
}

TEST_F(FindSettingsTest, SaveWritesItemsAndDeletesTheKeysPastThem)
{
    FindState state;
    state.FindHistory = {"one", "два"};
    state.FindBack = true;
    const QByteArray saved =
        SaveOver("[FindHistory]\n0=a\n1=b\n2=c\n9=z\n[Find]\nBack=0\nOther=5\n", state);
    IniFile ini(Path());
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadSectionKeys("FindHistory"), (QStringList{"0", "1"}));
    EXPECT_EQ(ini.ReadUtf8("FindHistory", "1", {}), QString("два"));
    EXPECT_TRUE(ini.ReadBool("Find", "Back", false));
    EXPECT_EQ(ini.ReadInteger("Find", "Other", 0), 5); // unknown keys stay
    EXPECT_TRUE(IsCleanText(saved));

    FindState again;
    LoadFindSettings(ini, again);
    state.FindText = "one";
    EXPECT_EQ(again, state);
}

} // namespace
