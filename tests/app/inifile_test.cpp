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
    IniFile loadText(const QByteArray &text)
    {
        const QString path = pathOf(QStringLiteral("test.ini"));
        writeFile(path, text);
        IniFile ini(path);
        EXPECT_TRUE(ini.load());
        return ini;
    }
};

TEST_F(IniFileTest, MissingFileIsEmpty)
{
    IniFile ini(pathOf(QStringLiteral("none/Ravelin.ini")));
    EXPECT_TRUE(ini.load());
    EXPECT_EQ(ini.readString("Opt", "MaxLen", "def"), "def");
    EXPECT_EQ(ini.readInteger("Opt", "MaxLen", 7), 7);
    EXPECT_TRUE(ini.readSectionKeys("Opt").isEmpty());
    EXPECT_TRUE(ini.serialize().isEmpty());
}

TEST_F(IniFileTest, ReadsStringsWithProfileSemantics)
{
    const IniFile ini = loadText("Top=outside any section\n"
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
        EXPECT_EQ(ini.readString(c.section, c.key, "<def>"), c.expected);
    }
    EXPECT_TRUE(ini.keyExists("opt", "EMPTY"));
    EXPECT_FALSE(ini.keyExists("opt", "NoEquals"));
    EXPECT_EQ(ini.readSectionKeys("OPT"),
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
    const IniFile ini = loadText(text);
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.value.constData());
        const QByteArray key = "K" + QByteArray::number(qulonglong(i));
        EXPECT_EQ(ini.readInteger("S", key, kDef), c.integer);
        if (c.integer == kDef) {
            EXPECT_TRUE(ini.readBool("S", key, true));
            EXPECT_FALSE(ini.readBool("S", key, false));
        } else {
            EXPECT_EQ(ini.readBool("S", key, c.integer == 0), c.integer != 0);
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
    IniFile ini = loadText(original);
    EXPECT_EQ(ini.serialize(), original);

    ini.writeInteger("opt", "maxlen", 300); // unchanged value keeps the spacing
    ini.writeInteger("OPT", "TABSIZE", 4);
    ini.writeString("Opt", "New", "added");
    ini.writeString("Fresh", "A", "1");
    ini.writeString("Fresh", "B", "2");
    EXPECT_EQ(ini.serialize(), "; settings of a user\n"
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
    IniFile crlf = loadText("\xEF\xBB\xBF[A]\r\nX=1\r\n[C]\r\n; only a comment\r\n\r\n");
    EXPECT_EQ(crlf.readInteger("A", "X", 0), 1); // the mark is not part of the first name
    crlf.writeInteger("A", "Y", 2);
    crlf.writeInteger("C", "Z", 3);
    crlf.writeInteger("D", "W", 4);
    EXPECT_EQ(crlf.serialize(),
              "\xEF\xBB\xBF[A]\r\nX=1\r\nY=2\r\n[C]\r\n; only a comment\r\nZ=3\r\n"
              "\r\n[D]\r\nW=4\r\n");

    IniFile noFinalNewline = loadText("[A]\nX=1");
    noFinalNewline.writeInteger("A", "Y", 2);
    EXPECT_EQ(noFinalNewline.serialize(), "[A]\nX=1\nY=2\n");
}

TEST_F(IniFileTest, DuplicatesAreWrittenInTheFirstAndRemovedEverywhereTheyWouldSurface)
{
    IniFile ini = loadText("[S]\nK=1\nk=2\nOther=x\n[s]\nK=3\n[T]\nA=1\n");
    ini.writeInteger("S", "K", 5);
    EXPECT_EQ(ini.serialize(), "[S]\nK=5\nk=2\nOther=x\n[s]\nK=3\n[T]\nA=1\n");

    ini.deleteKey("S", "K");
    EXPECT_EQ(ini.readInteger("S", "K", -1), -1);
    EXPECT_EQ(ini.serialize(), "[S]\nOther=x\n[s]\nK=3\n[T]\nA=1\n");

    ini.eraseSection("S");
    EXPECT_FALSE(ini.keyExists("S", "Other"));
    EXPECT_EQ(ini.serialize(), "[T]\nA=1\n");
    ini.writeInteger("S", "K", 9);
    EXPECT_EQ(ini.serialize(), "[T]\nA=1\n\n[S]\nK=9\n");

    ini.deleteKey("Missing", "K"); // no effect, no throw
    ini.eraseSection("Missing");
    EXPECT_EQ(ini.readInteger("s", "k", 0), 9);
}

TEST_F(IniFileTest, ValueWithLineBreakCannotInjectLines)
{
    IniFile ini = loadText("[Opt]\nPath=old\n");
    ini.writeString("Opt", "Path", "a\n[Opt]\nCfmExit=0");
    ini.writeUtf8("Opt", "Other", QStringLiteral("b\r\nc"));
    ini.writeString("Opt", "Nul", QByteArray("x\0y", 3));
    EXPECT_EQ(ini.serialize(), "[Opt]\n");
    EXPECT_FALSE(ini.keyExists("Opt", "Path"));
}

TEST_F(IniFileTest, InvalidNamesAreContractErrors)
{
    IniFile ini(pathOf(QStringLiteral("x.ini")));
    const QByteArray badSections[] = {"", "A]B", "A\nB", " A"};
    const QByteArray badKeys[] = {"", "A=B", "A\nB", ";A", "[A", "A "};
    for (const QByteArray &section : badSections) {
        SCOPED_TRACE(section.constData());
        EXPECT_THROW(ini.writeString(section, "K", "v"), ContractError);
        EXPECT_THROW(ini.eraseSection(section), ContractError);
    }
    for (const QByteArray &key : badKeys) {
        SCOPED_TRACE(key.constData());
        EXPECT_THROW(ini.writeString("S", key, "v"), ContractError);
        EXPECT_THROW(ini.deleteKey("S", key), ContractError);
    }
    EXPECT_TRUE(ini.serialize().isEmpty());
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
    IniFile ini = loadText(text);
    EXPECT_EQ(ini.serialize(), text);

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
        EXPECT_EQ(ini.readString("S", c.key, "<def>"), c.expected);
    }
    EXPECT_EQ(ini.readString("\x80\x81", "Lost", "<def>"), "\xFF");

    // Writing one key changes that line only.
    ini.writeInteger("S", "Ctl", 7);
    ini.writeInteger("S", "Added", 1);
    QByteArray expected = text;
    expected.replace("Ctl=a\x01z\n", "Ctl=7\n");
    expected.replace(tail, "Added=1\n" + tail);
    EXPECT_EQ(ini.serialize(), expected);
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
        IniFile ini = loadText(c.text);
        EXPECT_EQ(ini.readInteger("S", "A", 0), 1);
        EXPECT_EQ(ini.readInteger("S", "B", 0), 2);
        ini.writeInteger("S", "C", 3);
        EXPECT_EQ(ini.serialize(), c.saved);
    }

    const QByteArray text = "[S]\nA=1\n" + binary + "\n[S]\nB=0\n";
    IniFile ini = loadText(text);
    EXPECT_EQ(ini.readInteger("S", "A", 0), 1);
    EXPECT_EQ(ini.serialize(), text);
    ini.writeInteger("S", "A", 2);
    QByteArray expected = text;
    expected.replace(0, 8, "[S]\nA=2\n");
    EXPECT_EQ(ini.serialize(), expected);
}

TEST_F(IniFileTest, FileWithTooManyLinesIsNotLoadedNorReplaced)
{
    QByteArray atLimit = "[S]\n";
    for (qsizetype i = 1; i < IniFile::kMaxLines; ++i)
        atLimit += "K" + QByteArray::number(i) + "=1\n";
    const IniFile full = loadText(atLimit);
    EXPECT_EQ(full.readInteger("S", "K" + QByteArray::number(IniFile::kMaxLines - 1), 0), 1);

    const QByteArray overLimit = atLimit + "Last=1\n";
    const QString path = pathOf(QStringLiteral("big.ini"));
    writeFile(path, overLimit);
    IniFile ini(path);
    EXPECT_FALSE(ini.load());
    EXPECT_FALSE(ini.keyExists("S", "K1"));
    ini.writeInteger("S", "K1", 2);
    EXPECT_FALSE(ini.updateFile());
    EXPECT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(readFile(path), overLimit);
}

TEST_F(IniFileTest, SaveCreatesTheFolderAndRoundTrips)
{
    const QString path = pathOf(QStringLiteral("a/b/Ravelin.ini"));
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    ini.writeInteger("Opt", "MaxLen", 77);
    ini.writeUtf8("OpenHistory", "0", QStringLiteral("/var/log/журнал.log"));
    ASSERT_TRUE(ini.updateFile()) << qPrintable(ini.lastError());
    EXPECT_TRUE(m_sink.messages().empty());
    EXPECT_EQ(readFile(path), ini.serialize());

    IniFile again(path);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readInteger("Opt", "MaxLen", 0), 77);
    EXPECT_EQ(again.readUtf8("OpenHistory", "0", QString()), QStringLiteral("/var/log/журнал.log"));
    EXPECT_EQ(QDir(pathOf(QStringLiteral("a/b")))
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
    const QString path = pathOf(QStringLiteral("quotes.ini"));
    IniFile ini(path);
    ASSERT_TRUE(ini.load());
    for (size_t i = 0; i < std::size(values); ++i)
        ini.writeString("S", QByteArray::number(qulonglong(i)), values[i]);
    ASSERT_TRUE(ini.updateFile());
    IniFile again(path);
    ASSERT_TRUE(again.load());
    for (size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(values[i].constData());
        EXPECT_EQ(again.readString("S", QByteArray::number(qulonglong(i)), "missing"), values[i]);
    }
    // Writing the same value again changes nothing in the file.
    for (size_t i = 0; i < std::size(values); ++i)
        again.writeString("S", QByteArray::number(qulonglong(i)), values[i]);
    EXPECT_EQ(again.serialize(), readFile(path));

    // A value the caller put in quotes is stored so, and reads back without
    // them; written again it gains no second pair.
    again.writeString("S", "Caller", "\"quoted\"");
    ASSERT_TRUE(again.updateFile());
    EXPECT_TRUE(readFile(path).contains("\nCaller=\"quoted\"\n"));
    IniFile quoted(path);
    ASSERT_TRUE(quoted.load());
    EXPECT_EQ(quoted.readString("S", "Caller", "missing"), "quoted");
    quoted.writeString("S", "Caller", "\"quoted\"");
    EXPECT_EQ(quoted.serialize(), readFile(path));

    // Paths and captions keep even their outer quotes.
    for (const QByteArray &value : {QByteArray("\"quoted\""), QByteArray("\" x \"")}) {
        SCOPED_TRACE(value.constData());
        quoted.writeExact("S", "Exact", value);
        quoted.writeUtf8("S", "Utf8", QString::fromUtf8(value));
        ASSERT_TRUE(quoted.updateFile());
        IniFile exact(path);
        ASSERT_TRUE(exact.load());
        EXPECT_EQ(exact.readString("S", "Exact", "missing"), value);
        EXPECT_EQ(exact.readUtf8("S", "Utf8", QString()), QString::fromUtf8(value));
    }
}

TEST_F(IniFileTest, UnwritableLocationReportsOnceAndFails)
{
    writeFile(pathOf(QStringLiteral("plainfile")), "not a folder");
    const QString paths[] = {
        pathOf(QStringLiteral("plainfile/Ravelin.ini")),
        QStringLiteral("/proc/self/ravelin-test/Ravelin.ini"),
        QStringLiteral("/proc/ravelin-test.ini"),
    };
    for (const QString &path : paths) {
        SCOPED_TRACE(qPrintable(path));
        m_sink.clear();
        IniFile ini(path);
        ini.load();
        ini.writeInteger("Opt", "MaxLen", 1);
        EXPECT_FALSE(ini.updateFile());
        ASSERT_EQ(m_sink.messages().size(), 1u);
        EXPECT_EQ(m_sink.messages()[0].caption, QStringLiteral("Ravelin"));
        EXPECT_EQ(m_sink.messages()[0].text, QStringLiteral("Unable to write to ") + path);
        EXPECT_EQ(m_sink.messages()[0].icon, MsgIcon::Error);
        EXPECT_FALSE(ini.lastError().isEmpty());
    }
    EXPECT_EQ(readFile(pathOf(QStringLiteral("plainfile"))), "not a folder");
}

TEST_F(IniFileTest, PathThatIsNoRegularFileIsNeitherReadNorReplaced)
{
    const QString folder = pathOf(QStringLiteral("folder.ini"));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inner")));
    const QString fifo = pathOf(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    for (const QString &path : {folder, fifo}) {
        SCOPED_TRACE(qPrintable(path));
        m_sink.clear();
        IniFile ini(path);
        EXPECT_FALSE(ini.load()); // and does not block on the FIFO
        ini.writeInteger("Opt", "MaxLen", 1);
        EXPECT_FALSE(ini.updateFile());
        EXPECT_EQ(m_sink.messages().size(), 1u);
    }
    EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/inner")).isDir());
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(IniFileTest, SaveWithoutLoadIsAContractError)
{
    const QString path = pathOf(QStringLiteral("Ravelin.ini"));
    writeFile(path, "[Keep]\nMe=1\n");
    IniFile ini(path);
    ini.writeInteger("Opt", "MaxLen", 1);
    EXPECT_THROW(ini.updateFile(), ContractError);
    EXPECT_EQ(readFile(path), "[Keep]\nMe=1\n");
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
    const QString path = pathOf(QStringLiteral("cfg/Ravelin.ini"));
    const QByteArray oldText = "[Opt]\nMaxLen=300\n; a comment long enough to be cut in half\n";
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.step));
        ASSERT_TRUE(QDir().mkpath(pathOf(QStringLiteral("cfg"))));
        writeFile(path, oldText);
        IniFile ini(path);
        ASSERT_TRUE(ini.load());
        ini.writeInteger("Opt", "MaxLen", 1000);
        ini.writeString("Opt", "Added", "yes");
        const QByteArray newText = ini.serialize();
        ini.setSaveHook([&c](IniFile::SaveStep step) {
            if (step == c.step)
                throw std::runtime_error("crash");
        });
        EXPECT_THROW(ini.updateFile(), std::runtime_error);
        EXPECT_EQ(readFile(path), c.expectNew ? newText : oldText);
        EXPECT_EQ(QDir(pathOf(QStringLiteral("cfg")))
                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList({"Ravelin.ini"}));
    }
}

TEST_F(IniFileTest, ReplacementKeepsPermissionsAndSymbolicLinks)
{
    const QString real = pathOf(QStringLiteral("dotfiles/ravelin.ini"));
    ASSERT_TRUE(QDir().mkpath(pathOf(QStringLiteral("dotfiles"))));
    writeFile(real, "[Opt]\nMaxLen=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    // A chain of two links, as dotfile managers make them.
    const QString middle = pathOf(QStringLiteral("middle.ini"));
    ASSERT_TRUE(QFile::link(real, middle));
    const QString link = pathOf(QStringLiteral("Ravelin.ini"));
    ASSERT_TRUE(QFile::link(middle, link));

    IniFile ini(link);
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("Opt", "MaxLen", 0), 1);
    ini.writeInteger("Opt", "MaxLen", 2);
    ASSERT_TRUE(ini.updateFile());

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo(middle).isSymLink());
    EXPECT_EQ(readFile(real), "[Opt]\nMaxLen=2\n");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

} // namespace
