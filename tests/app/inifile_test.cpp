#include "app/inifile.h"

#include "settingsfixture.h"
#include "text/contract.h"

#include <QDir>
#include <QFileInfo>

#include <climits>
#include <stdexcept>

#include <sys/stat.h>

namespace {

class IniFileTest : public SettingsFixture
{
protected:
    IniFile LoadText(const QByteArray &text)
    {
        const QString path = PathOf(QStringLiteral("test.ini"));
        WriteFile(path, text);
        IniFile ini(path);
        EXPECT_TRUE(ini.Load());
        return ini;
    }
};

TEST_F(IniFileTest, MissingFileIsEmpty)
{
    IniFile ini(PathOf(QStringLiteral("none/Ravelin.ini")));
    EXPECT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("Opt", "MaxLen", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("Opt", "MaxLen", 7), 7);
    EXPECT_TRUE(ini.ReadSectionKeys("Opt").isEmpty());
    EXPECT_TRUE(ini.Serialize().isEmpty());
}

TEST_F(IniFileTest, ReadsStringsWithProfileSemantics)
{
    const IniFile ini = LoadText("Top=outside any section\n"
                                 "[Opt]\n"
                                 "  Plain = value with spaces  \n"
                                 "Quoted=\"  kept spaces  \"\n"
                                 "Half=\"open only\n"
                                 "Empty=\n"
                                 "Equals=a=b\n"
                                 ";Comment=1\n"
                                 "#Hash=1\n"
                                 "NoEquals\n"
                                 "Dup=first\n"
                                 "DUP=second\n"
                                 "[ opt ]\n"
                                 "Plain=second section\n"
                                 "Other=only in second\n"
                                 "[Пути]\n"
                                 "Ключ=значение\n");
    struct Case
    {
        const char *name;
        QByteArray section, key, expected;
    };
    const Case cases[] = {
        {"trims key and value", "Opt", "Plain", "value with spaces"},
        {"section and key ignore case", "OPT", "pLAIN", "value with spaces"},
        {"quotes removed, inner spaces kept", "Opt", "Quoted", "  kept spaces  "},
        {"a lone quote stays", "Opt", "Half", "\"open only"},
        {"empty value is not the default", "Opt", "Empty", ""},
        {"value may hold equals", "Opt", "Equals", "a=b"},
        {"comment is no key", "Opt", ";Comment", "<def>"},
        {"hash comment is no key", "Opt", "#Hash", "<def>"},
        {"line without equals is no key", "Opt", "NoEquals", "<def>"},
        {"first duplicate key wins", "Opt", "dup", "first"},
        {"second duplicate section is not read", "Opt", "Other", "<def>"},
        {"keys before a section are not read", "", "Top", "<def>"},
        {"non-ASCII names ignore case", "пути", "КЛЮЧ", "значение"},
        {"missing section", "Nope", "Plain", "<def>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<def>"), c.expected);
    }
    EXPECT_TRUE(ini.KeyExists("opt", "EMPTY"));
    EXPECT_FALSE(ini.KeyExists("opt", "NoEquals"));
    EXPECT_EQ(ini.ReadSectionKeys("OPT"),
              QStringList({"Plain", "Quoted", "Half", "Empty", "Equals", "Dup"}));
}

TEST_F(IniFileTest, ReadsIntegersAndBooleans)
{
    struct Case
    {
        QByteArray value;
        int integer; // kDef when the value is no integer
    };
    constexpr int kDef = 12345;
    const Case cases[] = {
        {"0", 0},
        {"300", 300},
        {"+5", 5},
        {"-16777211", -16777211},
        {"0x1F", 31},
        {"0X1f", 31},
        {"$1F", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"0xFF000005", -16777211},
        {"\"42\"", 42},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", kDef},
        {"-2147483649", kDef},
        {"0x100000000", kDef},
        {"99999999999999999999999", kDef},
        {"", kDef},
        {"yes", kDef},
        {"12a", kDef},
        {"1.5", kDef},
        {"1 2", kDef},
        {"0x", kDef},
        {"$", kDef},
        {"-", kDef},
        {"- 5", kDef},
        {"0x-5", kDef},
    };
    QByteArray text = "[S]\n";
    for (size_t i = 0; i < std::size(cases); ++i)
        text += "K" + QByteArray::number(qulonglong(i)) + "=" + cases[i].value + "\n";
    const IniFile ini = LoadText(text);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.value.constData());
        const QByteArray key = "K" + QByteArray::number(qulonglong(i));
        EXPECT_EQ(ini.ReadInteger("S", key, kDef), c.integer);
        if (c.integer == kDef) {
            EXPECT_TRUE(ini.ReadBool("S", key, true));
            EXPECT_FALSE(ini.ReadBool("S", key, false));
        } else {
            EXPECT_EQ(ini.ReadBool("S", key, c.integer == 0), c.integer != 0);
        }
    }
}

TEST_F(IniFileTest, WriteKeepsEveryOtherLineAsItIs)
{
    const QByteArray original = "; settings of a user\n"
                                "\n"
                                "[Opt]\n"
                                "MaxLen = 300\n"
                                "  TabSize=8 \n"
                                "Custom=keep me\n"
                                "\n"
                                "; about the next section\n"
                                "[Unknown]\n"
                                "Thing=\"quoted\"\n";
    IniFile ini = LoadText(original);
    EXPECT_EQ(ini.Serialize(), original);

    ini.WriteInteger("opt", "maxlen", 300); // unchanged value keeps the spacing
    ini.WriteInteger("OPT", "TABSIZE", 4);
    ini.WriteString("Opt", "New", "added");
    ini.WriteString("Fresh", "A", "1");
    ini.WriteString("Fresh", "B", "2");
    EXPECT_EQ(ini.Serialize(), "; settings of a user\n"
                               "\n"
                               "[Opt]\n"
                               "MaxLen = 300\n"
                               "TabSize=4\n"
                               "Custom=keep me\n"
                               "New=added\n"
                               "\n"
                               "; about the next section\n"
                               "[Unknown]\n"
                               "Thing=\"quoted\"\n"
                               "\n"
                               "[Fresh]\n"
                               "A=1\n"
                               "B=2\n");
}

TEST_F(IniFileTest, KeepsLineEndingsByteOrderMarkAndCommentOnlySections)
{
    IniFile crlf = LoadText("\xEF\xBB\xBF[A]\r\nX=1\r\n[C]\r\n; only a comment\r\n\r\n");
    EXPECT_EQ(crlf.ReadInteger("A", "X", 0), 1); // the mark is not part of the first name
    crlf.WriteInteger("A", "Y", 2);
    crlf.WriteInteger("C", "Z", 3);
    crlf.WriteInteger("D", "W", 4);
    EXPECT_EQ(crlf.Serialize(),
              "\xEF\xBB\xBF[A]\r\nX=1\r\nY=2\r\n[C]\r\n; only a comment\r\nZ=3\r\n"
              "\r\n[D]\r\nW=4\r\n");

    IniFile noFinalNewline = LoadText("[A]\nX=1");
    noFinalNewline.WriteInteger("A", "Y", 2);
    EXPECT_EQ(noFinalNewline.Serialize(), "[A]\nX=1\nY=2\n");
}

TEST_F(IniFileTest, DuplicatesAreWrittenInTheFirstAndRemovedEverywhereTheyWouldSurface)
{
    IniFile ini = LoadText("[S]\nK=1\nk=2\nOther=x\n[s]\nK=3\n[T]\nA=1\n");
    ini.WriteInteger("S", "K", 5);
    EXPECT_EQ(ini.Serialize(), "[S]\nK=5\nk=2\nOther=x\n[s]\nK=3\n[T]\nA=1\n");

    ini.DeleteKey("S", "K");
    EXPECT_EQ(ini.ReadInteger("S", "K", -1), -1);
    EXPECT_EQ(ini.Serialize(), "[S]\nOther=x\n[s]\nK=3\n[T]\nA=1\n");

    ini.EraseSection("S");
    EXPECT_FALSE(ini.KeyExists("S", "Other"));
    EXPECT_EQ(ini.Serialize(), "[T]\nA=1\n");
    ini.WriteInteger("S", "K", 9);
    EXPECT_EQ(ini.Serialize(), "[T]\nA=1\n\n[S]\nK=9\n");

    ini.DeleteKey("Missing", "K"); // no effect, no throw
    ini.EraseSection("Missing");
    EXPECT_EQ(ini.ReadInteger("s", "k", 0), 9);
}

TEST_F(IniFileTest, ValueWithLineBreakCannotInjectLines)
{
    IniFile ini = LoadText("[Opt]\nPath=old\n");
    ini.WriteString("Opt", "Path", "a\n[Opt]\nCfmExit=0");
    ini.WriteUtf8("Opt", "Other", QStringLiteral("b\r\nc"));
    ini.WriteString("Opt", "Nul", QByteArray("x\0y", 3));
    EXPECT_EQ(ini.Serialize(), "[Opt]\n");
    EXPECT_FALSE(ini.KeyExists("Opt", "Path"));
}

TEST_F(IniFileTest, InvalidNamesAreContractErrors)
{
    IniFile ini(PathOf(QStringLiteral("x.ini")));
    const QByteArray badSections[] = {"", "A]B", "A\nB", " A"};
    const QByteArray badKeys[] = {"", "A=B", "A\nB", ";A", "[A", "A "};
    for (const QByteArray &section : badSections) {
        SCOPED_TRACE(section.constData());
        EXPECT_THROW(ini.WriteString(section, "K", "v"), ContractError);
        EXPECT_THROW(ini.EraseSection(section), ContractError);
    }
    for (const QByteArray &key : badKeys) {
        SCOPED_TRACE(key.constData());
        EXPECT_THROW(ini.WriteString("S", key, "v"), ContractError);
        EXPECT_THROW(ini.DeleteKey("S", key), ContractError);
    }
    EXPECT_TRUE(ini.Serialize().isEmpty());
}

// The file is the user's: a line the program does not write stays as it is,
// whatever its bytes (a Latin-1 path or comment, control bytes, a huge line).
TEST_F(IniFileTest, LinesThatAreNotUtf8TextStayByteForByte)
{
    const QByteArray bigValue(IniFile::kMaxLineBytes - 4, 'a');  // "Big=" fills the limit
    const QByteArray hugeValue(IniFile::kMaxLineBytes - 4, 'b'); // "Huge=" is one byte over
    QByteArray text = "; r\xE9glages de l'utilisateur\n[S]\n";
    text += "Nul=" + QByteArray("a\0b", 3) + "\n";
    text += "Ctl=a\x01z\n";
    text += "Latin1=C:\\caf\xE9.log\n";
    text += "Overlong=\xC0\xAF\n";
    text += "Surrogate=\xED\xA0\x80\n";
    text += "Cr=a\rb\n";
    text += "Big=" + bigValue + "\n";
    text += "Huge=" + hugeValue + "\n";
    text += "Good=\xD0\x96\t\xF0\x9F\x98\x80\r\n";
    const QByteArray tail = "; \xA9 2009\n[\x80\x81]\nLost=\xFF\n";
    text += tail;
    IniFile ini = LoadText(text);
    EXPECT_EQ(ini.Serialize(), text);

    struct Case
    {
        const char *key;
        QByteArray expected;
    };
    const Case cases[] = {
        {"Nul", QByteArray("a\0b", 3)},
        {"Latin1", "C:\\caf\xE9.log"},
        {"Cr", "a\rb"},
        {"Big", bigValue},
        {"Huge", "<def>"}, // too long to be read, not too long to be kept
        {"Good", "\xD0\x96\t\xF0\x9F\x98\x80"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.ReadString("S", c.key, "<def>"), c.expected);
    }
    EXPECT_EQ(ini.ReadString("\x80\x81", "Lost", "<def>"), "\xFF");

    // Writing one key changes that line only.
    ini.WriteInteger("S", "Ctl", 7);
    ini.WriteInteger("S", "Added", 1);
    QByteArray expected = text;
    expected.replace("Ctl=a\x01z\n", "Ctl=7\n");
    expected.replace(tail, "Added=1\n" + tail);
    EXPECT_EQ(ini.Serialize(), expected);
}

TEST_F(IniFileTest, TenMegabyteLinesAndBinaryFilesStayAsTheyAre)
{
    const QByteArray tenMb(10 << 20, 'x');
    QByteArray binary;
    for (int i = 0; i < (1 << 20); ++i)
        binary += char((quint32(i) * 7919u + quint32(i >> 8)) & 0xFF); // every byte value
    struct Case
    {
        const char *name;
        QByteArray text;
        QByteArray saved;
    };
    const Case cases[] = {
        {"long value", "[S]\nA=1\nHuge=" + tenMb + "\nB=2\n",
         "[S]\nA=1\nHuge=" + tenMb + "\nB=2\nC=3\n"},
        {"long header", "[S]\nA=1\n[" + tenMb + "\nB=2\n", "[S]\nA=1\n[" + tenMb + "\nB=2\nC=3\n"},
        {"long equals run", "[S]\nA=1\n" + QByteArray(10 << 20, '=') + "\nB=2",
         "[S]\nA=1\n" + QByteArray(10 << 20, '=') + "\nB=2\nC=3\n"},
        {"ten million blank lines", "[S]\nA=1\n" + QByteArray(10 << 20, '\n') + "B=2\n",
         "[S]\nA=1\n" + QByteArray(10 << 20, '\n') + "B=2\nC=3\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        IniFile ini = LoadText(c.text);
        EXPECT_EQ(ini.ReadInteger("S", "A", 0), 1);
        EXPECT_EQ(ini.ReadInteger("S", "B", 0), 2);
        ini.WriteInteger("S", "C", 3);
        EXPECT_EQ(ini.Serialize(), c.saved);
    }

    const QByteArray text = "[S]\nA=1\n" + binary + "\n[S]\nB=0\n";
    IniFile ini = LoadText(text);
    EXPECT_EQ(ini.ReadInteger("S", "A", 0), 1);
    EXPECT_EQ(ini.Serialize(), text);
    ini.WriteInteger("S", "A", 2);
    QByteArray expected = text;
    expected.replace(0, 8, "[S]\nA=2\n");
    EXPECT_EQ(ini.Serialize(), expected);
}

TEST_F(IniFileTest, FileWithTooManyLinesIsNotLoadedNorReplaced)
{
    QByteArray atLimit = "[S]\n";
    for (qsizetype i = 1; i < IniFile::kMaxLines; ++i)
        atLimit += "K" + QByteArray::number(i) + "=1\n";
    const IniFile full = LoadText(atLimit);
    EXPECT_EQ(full.ReadInteger("S", "K" + QByteArray::number(IniFile::kMaxLines - 1), 0), 1);

    const QByteArray overLimit = atLimit + "Last=1\n";
    const QString path = PathOf(QStringLiteral("big.ini"));
    WriteFile(path, overLimit);
    IniFile ini(path);
    EXPECT_FALSE(ini.Load());
    EXPECT_FALSE(ini.KeyExists("S", "K1"));
    ini.WriteInteger("S", "K1", 2);
    EXPECT_FALSE(ini.UpdateFile());
    EXPECT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(ReadFile(path), overLimit);
}

TEST_F(IniFileTest, SaveCreatesTheFolderAndRoundTrips)
{
    const QString path = PathOf(QStringLiteral("a/b/Ravelin.ini"));
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    ini.WriteInteger("Opt", "MaxLen", 77);
    ini.WriteUtf8("OpenHistory", "0", QStringLiteral("/var/log/журнал.log"));
    ASSERT_TRUE(ini.UpdateFile()) << qPrintable(ini.LastError());
    EXPECT_TRUE(m_sink.Messages().empty());
    EXPECT_EQ(ReadFile(path), ini.Serialize());

    IniFile again(path);
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.ReadInteger("Opt", "MaxLen", 0), 77);
    EXPECT_EQ(again.ReadUtf8("OpenHistory", "0", QString()), QStringLiteral("/var/log/журнал.log"));
    EXPECT_EQ(QDir(PathOf(QStringLiteral("a/b")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"Ravelin.ini"}));
}

TEST_F(IniFileTest, ValuesThatReadingWouldTrimComeBackAsWritten)
{
    const QByteArray values[] = {
        "/logs/my app.log",
        " leading blank",
        "trailing blank ",
        "\"",
        "\"half",
        "say \"hi\"",
        "",
        "  ",
        "\t tab",
    };
    const QString path = PathOf(QStringLiteral("quotes.ini"));
    IniFile ini(path);
    ASSERT_TRUE(ini.Load());
    for (size_t i = 0; i < std::size(values); ++i)
        ini.WriteString("S", QByteArray::number(qulonglong(i)), values[i]);
    ASSERT_TRUE(ini.UpdateFile());
    IniFile again(path);
    ASSERT_TRUE(again.Load());
    for (size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(values[i].constData());
        EXPECT_EQ(again.ReadString("S", QByteArray::number(qulonglong(i)), "missing"), values[i]);
    }
    // Writing the same value again changes nothing in the file.
    for (size_t i = 0; i < std::size(values); ++i)
        again.WriteString("S", QByteArray::number(qulonglong(i)), values[i]);
    EXPECT_EQ(again.Serialize(), ReadFile(path));

    // A value the caller put in quotes is stored so, and reads back without
    // them; written again it gains no second pair.
    again.WriteString("S", "Caller", "\"quoted\"");
    ASSERT_TRUE(again.UpdateFile());
    EXPECT_TRUE(ReadFile(path).contains("\nCaller=\"quoted\"\n"));
    IniFile quoted(path);
    ASSERT_TRUE(quoted.Load());
    EXPECT_EQ(quoted.ReadString("S", "Caller", "missing"), "quoted");
    quoted.WriteString("S", "Caller", "\"quoted\"");
    EXPECT_EQ(quoted.Serialize(), ReadFile(path));

    // Paths and captions keep even their outer quotes.
    for (const QByteArray &value : {QByteArray("\"quoted\""), QByteArray("\" x \"")}) {
        SCOPED_TRACE(value.constData());
        quoted.WriteExact("S", "Exact", value);
        quoted.WriteUtf8("S", "Utf8", QString::fromUtf8(value));
        ASSERT_TRUE(quoted.UpdateFile());
        IniFile exact(path);
        ASSERT_TRUE(exact.Load());
        EXPECT_EQ(exact.ReadString("S", "Exact", "missing"), value);
        EXPECT_EQ(exact.ReadUtf8("S", "Utf8", QString()), QString::fromUtf8(value));
    }
}

TEST_F(IniFileTest, UnwritableLocationReportsOnceAndFails)
{
    WriteFile(PathOf(QStringLiteral("plainfile")), "not a folder");
    const QString paths[] = {
        PathOf(QStringLiteral("plainfile/Ravelin.ini")),
        QStringLiteral("/proc/self/ravelin-test/Ravelin.ini"),
        QStringLiteral("/proc/ravelin-test.ini"),
    };
    for (const QString &path : paths) {
        SCOPED_TRACE(qPrintable(path));
        m_sink.Clear();
        IniFile ini(path);
        ini.Load();
        ini.WriteInteger("Opt", "MaxLen", 1);
        EXPECT_FALSE(ini.UpdateFile());
        ASSERT_EQ(m_sink.Messages().size(), 1u);
        EXPECT_EQ(m_sink.Messages()[0].Caption, QStringLiteral("Ravelin"));
        EXPECT_EQ(m_sink.Messages()[0].Text, QStringLiteral("Unable to write to ") + path);
        EXPECT_EQ(m_sink.Messages()[0].Icon, MsgIcon::Error);
        EXPECT_FALSE(ini.LastError().isEmpty());
    }
    EXPECT_EQ(ReadFile(PathOf(QStringLiteral("plainfile"))), "not a folder");
}

TEST_F(IniFileTest, PathThatIsNoRegularFileIsNeitherReadNorReplaced)
{
    const QString folder = PathOf(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inner")));
    const QString fifo = PathOf(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    for (const QString &path : {folder, fifo}) {
        SCOPED_TRACE(qPrintable(path));
        m_sink.Clear();
        IniFile ini(path);
        EXPECT_FALSE(ini.Load()); // and does not block on the FIFO
        ini.WriteInteger("Opt", "MaxLen", 1);
        EXPECT_FALSE(ini.UpdateFile());
        EXPECT_EQ(m_sink.Messages().size(), 1u);
    }
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/inner")).isDir());
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(IniFileTest, SaveWithoutLoadIsAContractError)
{
    const QString path = PathOf(QStringLiteral("Ravelin.ini"));
    WriteFile(path, "[Keep]\nMe=1\n");
    IniFile ini(path);
    ini.WriteInteger("Opt", "MaxLen", 1);
    EXPECT_THROW(ini.UpdateFile(), ContractError);
    EXPECT_EQ(ReadFile(path), "[Keep]\nMe=1\n");
}

TEST_F(IniFileTest, InterruptedSaveLeavesTheOldOrTheNewFile)
{
    struct Case
    {
        IniFile::SaveStep step;
        bool expectNew;
    };
    const Case cases[] = {
        {IniFile::SaveStep::TempCreated, false}, {IniFile::SaveStep::PartWritten, false},
        {IniFile::SaveStep::Written, false},     {IniFile::SaveStep::Synced, false},
        {IniFile::SaveStep::Renamed, true},
    };
    const QString path = PathOf(QStringLiteral("cfg/Ravelin.ini"));
    const QByteArray oldText = "[Opt]\nMaxLen=300\n; a comment long enough to be cut in half\n";
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.step));
        ASSERT_TRUE(QDir().mkpath(PathOf(QStringLiteral("cfg"))));
        WriteFile(path, oldText);
        IniFile ini(path);
        ASSERT_TRUE(ini.Load());
        ini.WriteInteger("Opt", "MaxLen", 1000);
        ini.WriteString("Opt", "Added", "yes");
        const QByteArray newText = ini.Serialize();
        ini.SetSaveHook([&c](IniFile::SaveStep step) {
            if (step == c.step)
                throw std::runtime_error("crash");
        });
        EXPECT_THROW(ini.UpdateFile(), std::runtime_error);
        EXPECT_EQ(ReadFile(path), c.expectNew ? newText : oldText);
        EXPECT_EQ(QDir(PathOf(QStringLiteral("cfg")))
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({"Ravelin.ini"}));
    }
}

TEST_F(IniFileTest, ReplacementKeepsPermissionsAndSymbolicLinks)
{
    const QString real = PathOf(QStringLiteral("dotfiles/ravelin.ini"));
    ASSERT_TRUE(QDir().mkpath(PathOf(QStringLiteral("dotfiles"))));
    WriteFile(real, "[Opt]\nMaxLen=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    // A chain of two links, as dotfile managers make them.
    const QString middle = PathOf(QStringLiteral("middle.ini"));
    ASSERT_TRUE(QFile::link(real, middle));
    const QString link = PathOf(QStringLiteral("Ravelin.ini"));
    ASSERT_TRUE(QFile::link(middle, link));

    IniFile ini(link);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadInteger("Opt", "MaxLen", 0), 1);
    ini.WriteInteger("Opt", "MaxLen", 2);
    ASSERT_TRUE(ini.UpdateFile());

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(middle).isSymLink());
    EXPECT_EQ(ReadFile(real), "[Opt]\nMaxLen=2\n");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

} // namespace
