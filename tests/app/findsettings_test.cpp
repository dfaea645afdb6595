#include "app/findsettings.h"

#include "app/inifile.h"
#include "settingsfixture.h"

namespace {

class FindSettingsTest : public SettingsFixture
{
protected:
    QString path() const { return pathOf(QStringLiteral("Ravelin.ini")); }

    FindState loadFrom(const QByteArray &text, FindState state = {})
    {
        writeFile(path(), text);
        IniFile ini(path());
        EXPECT_TRUE(ini.load());
        loadFindSettings(ini, state);
        return state;
    }

    QByteArray saveOver(const QByteArray &text, const FindState &state)
    {
        writeFile(path(), text);
        IniFile ini(path());
        EXPECT_TRUE(ini.load());
        saveFindSettings(ini, state);
        EXPECT_TRUE(ini.updateFile());
        return readFile(path());
    }
};

TEST(findHistory, NewTextGoesOnTopAndCaseVariantsCollapse)
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
        addToFindHistory(history, c.text);
        EXPECT_EQ(history, c.after);
    }
}

TEST_F(FindSettingsTest, LoadReadsFlagsAndSkipsEmptyHistoryValues)
{
    const FindState state = loadFrom("[FindHistory]\n0=\n1=timeout\n3=Ошибка\n9=last\n"
                                     "[Find]\nWords=1\nCase=1\nBack=0\nRegex=1\nMLine=1\n"
                                     "Origin=1\n");
    EXPECT_EQ(state.findHistory, (QStringList{"timeout", "Ошибка", "last"}));
    EXPECT_EQ(state.findText, "timeout");
    EXPECT_TRUE(state.findWords);
    EXPECT_TRUE(state.findCase);
    EXPECT_FALSE(state.findBack);
    EXPECT_TRUE(state.findRegex);
    EXPECT_TRUE(state.findMLine);
    EXPECT_TRUE(state.findOrigin);
}

TEST_F(FindSettingsTest, LoadWithoutSectionsKeepsDefaultsAndClearsHistory)
{
    FindState before;
    before.findText = "kept";
    before.findHistory = {"stale"};
    before.findBack = true;
    const FindState state = loadFrom("[Opt]\nMaxLen=300\n", before);
    EXPECT_TRUE(state.findHistory.isEmpty());
    EXPECT_EQ(state.findText, "kept"); // no history: the text stays
    EXPECT_TRUE(state.findBack);       // a missing key keeps its value
}

TEST_F(FindSettingsTest, SaveWritesItemsAndDeletesTheKeysPastThem)
{
    FindState state;
    state.findHistory = {"one", "два"};
    state.findBack = true;
    const QByteArray saved =
        saveOver("[FindHistory]\n0=a\n1=b\n2=c\n9=z\n[Find]\nBack=0\nOther=5\n", state);
    IniFile ini(path());
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readSectionKeys("FindHistory"), (QStringList{"0", "1"}));
    EXPECT_EQ(ini.readUtf8("FindHistory", "1", {}), QString("два"));
    EXPECT_TRUE(ini.readBool("Find", "Back", false));
    EXPECT_EQ(ini.readInteger("Find", "Other", 0), 5); // unknown keys stay
    EXPECT_TRUE(isCleanText(saved));

    FindState again;
    loadFindSettings(ini, again);
    state.findText = "one";
    EXPECT_EQ(again, state);
}

// The bar's toggles are keys of their own: the dialog's stay as they were.
TEST_F(FindSettingsTest, BarTogglesLoadAndSaveApartFromTheDialogs)
{
    struct Case
    {
        const char *key;
        bool FindState::*field;
    };
    const Case cases[] = {
        {"BarCase", &FindState::barCase},
        {"BarWords", &FindState::barWords},
        {"BarRegex", &FindState::barRegex},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        const FindState loaded = loadFrom("[Find]\n" + QByteArray(c.key) + "=1\n");
        FindState expected;
        expected.*c.field = true;
        EXPECT_EQ(loaded, expected);

        saveOver("", loaded);
        IniFile ini(path());
        ASSERT_TRUE(ini.load());
        EXPECT_TRUE(ini.readBool("Find", c.key, false));
        FindState again;
        loadFindSettings(ini, again);
        EXPECT_EQ(again, loaded);
    }
}

} // namespace
