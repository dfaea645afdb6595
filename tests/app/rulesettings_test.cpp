#include "app/inifile.h"
#include "app/rulesettings.h"
#include "settingsfixture.h"

namespace {

class RuleSettingsTest : public SettingsFixture
{
protected:
    RuleSettings load(const QByteArray &ini)
    {
        const QString path = pathOf(QStringLiteral("r.ini"));
        writeFile(path, ini);
        IniFile file(path);
        EXPECT_TRUE(file.load());
        RuleSettings s;
        loadRuleSettings(file, s);
        return s;
    }

    // Saves, then reads the saved file back in a fresh object.
    RuleSettings roundTrip(const RuleSettings &s, QByteArray *bytes = nullptr)
    {
        const QString path = pathOf(QStringLiteral("rt.ini"));
        QFile::remove(path);
        IniFile out(path);
        EXPECT_TRUE(out.load());
        saveRuleSettings(out, s);
        EXPECT_TRUE(out.updateFile());
        if (bytes)
            *bytes = readFile(path);
        IniFile in(path);
        EXPECT_TRUE(in.load());
        RuleSettings back;
        loadRuleSettings(in, back);
        return back;
    }
};

TEST_F(RuleSettingsTest, AFileWithoutRulesGivesTheDefaults)
{
    const RuleSettings s = load("[Opt]\nMaxLen=100\n");
    EXPECT_EQ(s.rules, defaultColorRec());
    EXPECT_EQ(s.filter, SubstringsFilterValues{});
    EXPECT_TRUE(s.repFrom.isEmpty());
}

TEST_F(RuleSettingsTest, ReadsEveryKeyAndMendsTheFirstThreeRulesOnly)
{
    const RuleSettings s = load("[Color]\n"
                                "En1=0\nText1=\"\"\nColorF1=5\nColorB1=6\n"
                                "Text2=\"  spaced  \"\nCase2=1\nInv2=1\nRepl2=1\nRStr2=\" - \"\n"
                                "Text4=\"\"\nColorB4=-16777211\n"
                                "RepFrom=\"a b\"\nRepTo=\"c\"\n"
                                "[SFilters]\nFrom1=[0-9]\nTo1=#\nTo2=abc\nTo3=\n");
    const ColorRule &r1 = s.rules.rule(1);
    // A cleared rule 1 gets its default text and colours back, keeps the rest.
    EXPECT_EQ(r1.text, "Error");
    EXPECT_EQ(r1.colorF, 0xFFFFFF);
    EXPECT_EQ(r1.colorB, 0x0000FF);
    EXPECT_FALSE(r1.en);
    const ColorRule &r2 = s.rules.rule(2);
    EXPECT_EQ(r2.text, "  spaced  ");
    EXPECT_TRUE(r2.caseSensitive && r2.inv && r2.repl);
    EXPECT_EQ(r2.rStr, " - ");
    EXPECT_EQ(s.rules.rule(3).text, "Info");
    // Rule 4 has no default: cleared, it stays cleared.
    EXPECT_TRUE(s.rules.rule(4).text.isEmpty());
    EXPECT_EQ(s.rules.rule(4).colorB, qint32(0xFF000005));
    EXPECT_EQ(s.repFrom, "a b");
    EXPECT_EQ(s.repTo, "c");
    EXPECT_EQ(s.filter.repFrom[0], "[0-9]");
    EXPECT_EQ(s.filter.repTo, (std::array<QByteArray, 3>{"#", "a", "."}));
}

TEST_F(RuleSettingsTest, SavedRulesReadBackTheSame)
{
    RuleSettings s;
    s.rules.rule(1).text = " lead and trail ";
    s.rules.rule(4).text = "timeout";
    s.rules.rule(4).colorF = qint32(0xFF000008); // system colours stay codes
    s.rules.rule(4).colorB = qint32(0xFF00000F);
    s.rules.rule(4).en = false;
    s.rules.rule(4).repl = true;
    s.rules.rule(4).rStr = "  \xe2\x80\xa6 \"quoted\" ";
    s.rules.rule(20).inv = true;
    s.filter.repFrom = {"[0-9]", "", "pass=\\S+"};
    s.filter.repTo = {".", ".", "\xc2\xb7"};
    s.repFrom = "keep";
    s.repTo = " me ";
    QByteArray bytes;
    EXPECT_EQ(roundTrip(s, &bytes), s);
    EXPECT_TRUE(bytes.contains("ColorF4=-16777208\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("Text1=\" lead and trail \"\n"));
    EXPECT_TRUE(bytes.contains("Text20=\n"));
    EXPECT_TRUE(bytes.contains("RepTo=\" me \"\n"));
    EXPECT_TRUE(bytes.contains("From1=[0-9]\n"));
    EXPECT_TRUE(bytes.contains("To3=\xc2\xb7\n"));
}

} // namespace
