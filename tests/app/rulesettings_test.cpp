#include "app/inifile.h"
#include "app/rulesettings.h"
#include "settingsfixture.h"

namespace {

class RuleSettingsTest : public SettingsFixture
{
protected:
    TRuleSettings Load(const QByteArray &ini)
    {
        const QString path = PathOf(QStringLiteral("r.ini"));
        WriteFile(path, ini);
        IniFile file(path);
        EXPECT_TRUE(file.Load());
        TRuleSettings s;
        LoadRuleSettings(file, s);
        return s;
    }

    // Saves, then reads the saved file back in a fresh object.
    TRuleSettings RoundTrip(const TRuleSettings &s, QByteArray *bytes = nullptr)
    {
        const QString path = PathOf(QStringLiteral("rt.ini"));
        QFile::remove(path);
        IniFile out(path);
        EXPECT_TRUE(out.Load());
        SaveRuleSettings(out, s);
        EXPECT_TRUE(out.UpdateFile());
        if (bytes)
            *bytes = ReadFile(path);
        IniFile in(path);
        EXPECT_TRUE(in.Load());
        TRuleSettings back;
        LoadRuleSettings(in, back);
        return back;
    }
};

TEST_F(RuleSettingsTest, AFileWithoutRulesGivesTheDefaults)
{
    const TRuleSettings s = Load("[Opt]\nMaxLen=100\n");
    EXPECT_EQ(s.Rules, DefaultColorRec());
    EXPECT_EQ(s.Filter, TSubstringsFilterValues{});
    EXPECT_TRUE(s.RepFrom.isEmpty());
}

TEST_F(RuleSettingsTest, ReadsEveryKeyAndMendsTheFirstThreeRulesOnly)
{
    const TRuleSettings s = Load("[Color]\n"
                                 "En1=0\nText1=\"\"\nColorF1=5\nColorB1=6\n"
                                 "Text2=\"  spaced  \"\nCase2=1\nInv2=1\nRepl2=1\nRStr2=\" - \"\n"
                                 "Text4=\"\"\nColorB4=-16777211\n"
                                 "RepFrom=\"a b\"\nRepTo=\"c\"\n"
                                 "[SFilters]\nFrom1=[0-9]\nTo1=#\nTo2=abc\nTo3=\n");
    const TColorRecItem &r1 = s.Rules.Rule(1);
    // A cleared rule 1 gets its default text and colours back, keeps the rest.
    EXPECT_EQ(r1.Text, "Error");
    EXPECT_EQ(r1.ColorF, 0xFFFFFF);
    EXPECT_EQ(r1.ColorB, 0x0000FF);
    EXPECT_FALSE(r1.En);
    const TColorRecItem &r2 = s.Rules.Rule(2);
    EXPECT_EQ(r2.Text, "  spaced  ");
    EXPECT_TRUE(r2.Case && r2.Inv && r2.Repl);
    EXPECT_EQ(r2.RStr, " - ");
    EXPECT_EQ(s.Rules.Rule(3).Text, "Info");
    // Rule 4 has no default: cleared, it stays cleared.
    EXPECT_TRUE(s.Rules.Rule(4).Text.isEmpty());
    EXPECT_EQ(s.Rules.Rule(4).ColorB, qint32(0xFF000005));
    EXPECT_EQ(s.RepFrom, "a b");
    EXPECT_EQ(s.RepTo, "c");
    EXPECT_EQ(s.Filter.RepFrom[0], "[0-9]");
    EXPECT_EQ(s.Filter.RepTo, (std::array<QByteArray, 3>{"#", "a", "."}));
}

TEST_F(RuleSettingsTest, SavedRulesReadBackTheSame)
{
    TRuleSettings s;
    s.Rules.Rule(1).Text = " lead and trail ";
    s.Rules.Rule(4).Text = "timeout";
    s.Rules.Rule(4).ColorF = qint32(0xFF000008); // system colours stay codes
    s.Rules.Rule(4).ColorB = qint32(0xFF00000F);
    s.Rules.Rule(4).En = false;
    s.Rules.Rule(4).Repl = true;
    s.Rules.Rule(4).RStr = "  \xe2\x80\xa6 \"quoted\" ";
    s.Rules.Rule(20).Inv = true;
    s.Filter.RepFrom = {"[0-9]", "", "pass=\\S+"};
    s.Filter.RepTo = {".", ".", "\xc2\xb7"};
    s.RepFrom = "keep";
    s.RepTo = " me ";
    QByteArray bytes;
    EXPECT_EQ(RoundTrip(s, &bytes), s);
    EXPECT_TRUE(bytes.contains("ColorF4=-16777208\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("Text1=\" lead and trail \"\n"));
    EXPECT_TRUE(bytes.contains("Text20=\n"));
    EXPECT_TRUE(bytes.contains("RepTo=\" me \"\n"));
    EXPECT_TRUE(bytes.contains("From1=[0-9]\n"));
    EXPECT_TRUE(bytes.contains("To3=\xc2\xb7\n"));
}

} // namespace
