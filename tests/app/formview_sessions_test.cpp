// Sessions: saving and opening them, the caption's session prefix, the
// recent sessions menu, the reopen at start-up and damaged session files.
#include "formfixture.h"

#include "app/inifile.h"
#include "viewer/qzbinhex.h"

#include <QAction>
#include <QApplication>
#include <QTest>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QTabWidget>

#include <sys/stat.h>

namespace {

class SessionsTest : public FormFixture
{
protected:
    // Answers every file dialog with the given file.
    void AnswerFileDialogsWith(TFormView &form, const QString &file)
    {
        form.ExecDialog = [file](QDialog &dialog) {
            auto *chooser = qobject_cast<QFileDialog *>(&dialog);
            if (!chooser)
                return int(QDialog::Rejected);
            chooser->setOption(QFileDialog::DontUseNativeDialog);
            chooser->selectFile(file);
            return int(QDialog::Accepted);
        };
    }

    QStringList TabTexts(const TFormView &form) const
    {
        QStringList texts;
        for (int i = 0; i < form.Pages()->count(); ++i)
            texts << form.Pages()->tabText(i);
        return texts;
    }
};

TEST_F(SessionsTest, SavedTabsComeBackInOrderWithTheirCaptionsAndTheActiveTab)
{
    const QString a = WriteFile("a.log", "a\n");
    const QString b = WriteFile("with space \"q\".log", "b\n");
    const QString c = WriteFile("журнал.log", "c\n");
    const QString session = PathOf("work.ravelin-session");
    {
        TFormView &form = MakeForm();
        for (const QString &file : {a, b, c})
            form.OpenFileTab(file);
        form.Rec(0).Caption = QStringLiteral("Größe").toUtf8();
        form.Rec(2).Caption = QByteArray(); // shows the file name again when reopened
        form.Pages()->setCurrentIndex(1);
        ASSERT_TRUE(form.SaveSession(session));
        EXPECT_EQ(form.SessionFile(), session);
        EXPECT_EQ(form.windowTitle(), "{work} with space \"q\".log - Ravelin Pro");
    }
    const IniFile ini = [&] {
        IniFile f(session);
        EXPECT_TRUE(f.Load());
        return f;
    }();
    EXPECT_EQ(ini.ReadInteger("Tabs", "Num", 0), 3);
    EXPECT_EQ(ini.ReadInteger("Tabs", "Active", 0), 1);

    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("other.log", "o\n")); // closed by the open
    form.OpenSession(session);
    ASSERT_EQ(form.RecCount(), 3);
    EXPECT_EQ(form.Rec(0).FileName, a);
    EXPECT_EQ(form.Rec(1).FileName, b);
    EXPECT_EQ(form.Rec(2).FileName, c);
    EXPECT_EQ(TabTexts(form),
              (QStringList{"Größe", "  with space \"q\".log  ", "  журнал.log  "}));
    EXPECT_EQ(form.Rec(0).Caption, QStringLiteral("Größe").toUtf8());
    EXPECT_EQ(form.Pages()->currentIndex(), 1);
    EXPECT_EQ(form.SessionFile(), session);
    EXPECT_EQ(form.SessHistory().Items(), QStringList{session});
    EXPECT_TRUE(m_sink.Messages().empty()) << m_sink.Texts().join(" | ").toStdString();
}

TEST_F(SessionsTest, OnlyCaptionsTheUserSetAreStoredAndOlderSessionsStopFreezingTheirs)
{
    // Shortened to "very_long_file_name…" when opened.
    const QString longName = WriteFile("very_long_file_name_of_a_service.log", "l\n");
    const QString a = WriteFile("a.log", "a\n");
    const QString b = WriteFile("b.log", "b\n");
    const QString c = WriteFile("c.log", "c\n");
    const QString shortened = QStringLiteral("very_long_file_name") + QChar(0x2026);
    const QString session = PathOf("s.ravelin-session");
    auto nicks = [](const QString &file, const QByteArray &section, int first) {
        IniFile ini(file);
        EXPECT_TRUE(ini.Load());
        QStringList values;
        for (int i = first; i < first + 4; ++i)
            values << ini.ReadUtf8(section, QByteArray::number(i) + (first ? "tab" : ""), "-");
        return values;
    };
    WriteSettings("[Opt]\nReopen=1\n");
    {
        TFormView &form = MakeForm();
        for (const QString &file : {longName, a, b, c})
            form.OpenFileTab(file);
        QString answer;
        form.ExecDialog = [&answer](QDialog &dialog) {
            if (auto *input = qobject_cast<QInputDialog *>(&dialog))
                input->setTextValue(answer);
            return int(QDialog::Accepted);
        };
        answer = "mine";
        form.RenameTab(2); // F2 on b.log
        answer.clear();
        form.RenameTab(3); // an empty caption shows the file name when reopened
        ASSERT_TRUE(form.SaveSession(session));
        EXPECT_EQ(nicks(session, "Nicks", 0), (QStringList{"", "", "mine", ""}));
        ASSERT_TRUE(form.close());
        EXPECT_EQ(nicks(SettingsPath(), "Save", 1), (QStringList{"", "", "mine", ""}))
            << "the tabs open at exit, the same";
    }
    TFormView &form = MakeForm();
    ShowForm(form); // reopens the session
    ASSERT_EQ(form.RecCount(), 4);
    EXPECT_EQ(TabTexts(form), (QStringList{shortened, "  a.log  ", "mine", "  c.log  "}));

    // A session of an earlier version holds every caption as it was shown.
    WriteFile("s.ravelin-session", "[Tabs]\nNum=3\nActive=0\n0=" + longName.toUtf8() +
                                       "\n1=" + a.toUtf8() + "\n2=" + b.toUtf8() + "\n[Nicks]\n0=" +
                                       shortened.toUtf8() + "\n1=a.log\n2=mine\n");
    form.OpenSession(session);
    EXPECT_EQ(TabTexts(form), (QStringList{shortened, "  a.log  ", "mine"}));
    ASSERT_TRUE(form.SaveSession(session));
    EXPECT_EQ(nicks(session, "Nicks", 0), (QStringList{"", "", "mine", "-"}));
}

TEST_F(SessionsTest, TabsOpenedBehindAreLaidOutAtThePageSizeWhenShown)
{
    QByteArray lines;
    for (int i = 0; i < 400; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    const QString a = WriteFile("a.log", lines);
    const QString b = WriteFile("b.log", lines);
    const QString c = WriteFile("c.log", lines);
    WriteFile("s.ravelin-session", "[Tabs]\nNum=3\nActive=1\n0=" + a.toUtf8() +
                                       "\n1=" + b.toUtf8() + "\n2=" + c.toUtf8() + "\n");
    TFormView &form = MakeForm();
    AppSettings settings = form.Settings();
    settings.ToEnd = true;
    form.SetSettings(settings);
    form.resize(700, 400);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    form.OpenSession(PathOf("s.ravelin-session"));
    QCoreApplication::processEvents();
    ASSERT_EQ(form.RecCount(), 3);
    EXPECT_EQ(form.Pages()->currentIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), form.ActiveView());
    for (int index : {1, 0, 2}) {
        SCOPED_TRACE(index);
        form.Pages()->setCurrentIndex(index);
        QCoreApplication::processEvents();
        TQzBinHex *view = form.ActiveView();
        ASSERT_EQ(view, form.Rec(index).View);
        EXPECT_EQ(view->size(), form.Pages()->currentWidget()->size());
        EXPECT_TRUE(view->ViewAtEnd()) << "each tab starts at its end";
        EXPECT_EQ(QApplication::focusWidget(), view);
    }
}

TEST_F(SessionsTest, CloseSessionDropsTheCaptionPrefixAndCloseAllKeepsIt)
{
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    ASSERT_TRUE(form.SaveSession(PathOf("s.ravelin-session")));
    form.Acts().Closeall1->trigger();
    EXPECT_EQ(form.RecCount(), 0);
    EXPECT_EQ(form.windowTitle(), "{s} Ravelin Pro");
    EXPECT_TRUE(form.Acts().mnuSessClose->isEnabled());
    EXPECT_FALSE(form.Acts().mnuSessSave->isEnabled()) << "no tab to save";

    form.OpenFileTab(PathOf("a.log"));
    form.Acts().mnuSessClose->trigger();
    EXPECT_EQ(form.RecCount(), 0);
    EXPECT_EQ(form.SessionFile(), QString());
    EXPECT_EQ(form.windowTitle(), "Ravelin Pro");
    EXPECT_FALSE(form.Acts().mnuSessClose->isEnabled());
}

TEST_F(SessionsTest, BadEntriesOpenAsEmptyTabsAndOneMessageListsThem)
{
    const QString fifo = PathOf("pipe.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString a = WriteFile("a.log", "a\n");
    const QString c = WriteFile("c.log", "c\n");
    const QString missing = PathOf("gone.log");
    WriteFile("s.ravelin-session",
              "[Tabs]\nNum=6\nActive=5\n0=" + a.toUtf8() + "\n1=" + fifo.toUtf8() +
                  "\n2=" + missing.toUtf8() + "\n3=/dev/zero\n4=" + m_dir.path().toUtf8() +
                  "\n5=" + c.toUtf8() + "\n[Nicks]\n0=A\n1=P\n2=G\n3=Z\n4=D\n5=C\n");
    TFormView &form = MakeForm();
    form.OpenSession(PathOf("s.ravelin-session"));
    ASSERT_EQ(form.RecCount(), 6);
    EXPECT_EQ(TabTexts(form), (QStringList{"A", "P", "G", "Z", "D", "C"}));
    for (int i : {1, 2, 3, 4})
        EXPECT_FALSE(form.Rec(i).View->SourceAssigned()) << i;
    EXPECT_TRUE(form.Rec(2).View->WaitingForFile()) << "the missing file's tab waits for it";
    ASSERT_EQ(m_sink.Messages().size(), 1u);
    EXPECT_EQ(m_sink.Texts()[0], "Some files could not be opened:\n"
                                 "Cannot open file: \"" +
                                     fifo + "\"\nCannot open file: \"" + missing +
                                     "\"\nCannot open file: \"/dev/zero\"\n"
                                     "Cannot open file: \"" +
                                     m_dir.path() + "\"");
    EXPECT_EQ(form.Pages()->currentIndex(), 5);
}

TEST_F(SessionsTest, ActiveNamingNoOpenedTabShowsTheLastOne)
{
    const QString a = WriteFile("a.log", "a\n");
    WriteFile("s.ravelin-session",
              "[Tabs]\nNum=3\nActive=2\n0=" + a.toUtf8() + "\n2=" + a.toUtf8() + "\n");
    TFormView &form = MakeForm();
    form.OpenSession(PathOf("s.ravelin-session"));
    ASSERT_EQ(form.RecCount(), 2);
    EXPECT_EQ(form.Pages()->currentIndex(), 1);
}

TEST_F(SessionsTest, AtMostThreeHundredTabsAndOneMessageForTheRest)
{
    const QString tiny = WriteFile("tiny.log", "t\n");
    QByteArray text = "[Tabs]\nNum=2000000000\nActive=-1\n";
    for (int i = 0; i < 305; ++i)
        text += QByteArray::number(i) + '=' + tiny.toUtf8() + '\n';
    WriteFile("big.ravelin-session", text);
    TFormView &form = MakeForm();
    form.OpenSession(PathOf("big.ravelin-session"));
    EXPECT_EQ(form.RecCount(), 300);
    EXPECT_EQ(form.Pages()->currentIndex(), 299);
    EXPECT_EQ(
        m_sink.Texts(),
        QStringList{"Too many files opened (300): 5 more files of the session were not opened"});
}

TEST_F(SessionsTest, SessionFilesThatCannotBeReadChangeNothing)
{
    const QString a = WriteFile("a.log", "a\n");
    QDir(m_dir.path()).mkdir("folder.ravelin-session");
    struct Case
    {
        const char *Name;
        QString Path;
        QStringList Messages;
    };
    const Case cases[] = {
        {"missing: only the beep", PathOf("none.ravelin-session"), {}},
        {"a folder",
         PathOf("folder.ravelin-session"),
         {"Cannot read session file: \"" + PathOf("folder.ravelin-session") +
          "\"\nIt is a folder"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TFormView &form = MakeForm();
        form.OpenFileTab(a);
        m_sink.Clear();
        form.OpenSession(c.Path);
        EXPECT_EQ(m_sink.Texts(), c.Messages);
        EXPECT_EQ(form.RecCount(), 1);
        EXPECT_EQ(form.SessionFile(), QString());
        EXPECT_TRUE(form.SessHistory().IsEmpty());
    }
}

TEST_F(SessionsTest, AFailedSaveKeepsTheOldFileAndTheCurrentSession)
{
    WriteFile("blocker", "not a folder");
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    const QString good = PathOf("good.ravelin-session");
    ASSERT_TRUE(form.SaveSession(good));
    m_sink.Clear();

    const QString bad = PathOf("blocker/s.ravelin-session");
    EXPECT_FALSE(form.SaveSession(bad));
    EXPECT_EQ(m_sink.Texts(), QStringList{"Unable to write to " + bad});
    EXPECT_EQ(form.SessionFile(), good);
    EXPECT_EQ(form.SessHistory().Items(), QStringList{good});
    EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(SessionsTest, SaveAsAndOpenGoThroughTheDialogsAndTheirFolder)
{
    TFormView &form = MakeForm();
    const QString session = PathOf("sub/chosen.ravelin-session");
    QDir(m_dir.path()).mkdir("sub");
    AnswerFileDialogsWith(form, session);

    form.Acts().mnuSessSaveAs->trigger();
    EXPECT_FALSE(QFile::exists(session)) << "no tab: only the beep";

    form.OpenFileTab(WriteFile("a.log", "a\n"));
    form.Acts().mnuSessSaveAs->trigger();
    EXPECT_TRUE(QFile::exists(session));
    EXPECT_EQ(form.LastDir(), PathOf("sub"));

    form.Acts().mnuSessClose->trigger();
    form.Acts().mnuSessOpen->trigger();
    EXPECT_EQ(form.RecCount(), 1);
    EXPECT_EQ(form.SessionFile(), session);
}

TEST_F(SessionsTest, RecentSessionsMenuShowsTheListAndOpensItsEntries)
{
    TFormView &form = MakeForm();
    form.OpenFileTab(WriteFile("a.log", "a\n"));
    const QString one = PathOf("one.ravelin-session");
    const QString two = PathOf("two & more.ravelin-session");
    ASSERT_TRUE(form.SaveSession(one));
    form.OpenFileTab(WriteFile("b.log", "b\n"));
    ASSERT_TRUE(form.SaveSession(two));

    const auto &items = form.Acts().mnuSess;
    EXPECT_EQ(items[0]->text(), "&1 " + PathOf("two && more.ravelin-session"));
    EXPECT_EQ(items[1]->text(), "&2 " + one);
    EXPECT_TRUE(items[1]->isVisible());
    EXPECT_FALSE(items[2]->isVisible());
    EXPECT_TRUE(form.Acts().mnuSessRecentClear->isEnabled());

    items[1]->trigger();
    EXPECT_EQ(form.RecCount(), 1);
    EXPECT_EQ(form.SessionFile(), one);
    EXPECT_EQ(form.SessHistory().Items(), (QStringList{one, two}));

    form.Acts().mnuSessRecentClear->trigger();
    EXPECT_FALSE(items[0]->isVisible());
    EXPECT_FALSE(form.Acts().mnuSessRecentClear->isEnabled());
}

TEST_F(SessionsTest, TheSessionCurrentAtExitIsReopenedBeforeTheLastTabs)
{
    const QString a = WriteFile("a.log", "a\n");
    const QString b = WriteFile("b.log", "b\n");
    const QString session = PathOf("s.ravelin-session");
    WriteSettings("[Opt]\nReopen=1\n");
    {
        TFormView &form = MakeForm();
        form.OpenFileTab(a);
        ASSERT_TRUE(form.SaveSession(session));
        form.Acts().Closeall1->trigger();
        form.OpenFileTab(b); // in [Save], not in the session
        ASSERT_TRUE(form.close());
    }
    {
        TFormView &form = MakeForm();
        ShowForm(form);
        ASSERT_EQ(form.RecCount(), 1);
        EXPECT_EQ(form.Rec(0).FileName, a);
        EXPECT_EQ(form.SessionFile(), session);
        EXPECT_EQ(form.LastDir(), QString());
        form.CloseSession();
        ASSERT_TRUE(form.close());
    }
    {
        // No session current at exit: the tabs of [Save], none here.
        TFormView &form = MakeForm();
        ShowForm(form);
        EXPECT_EQ(form.RecCount(), 0);
        EXPECT_EQ(form.SessHistory().Items(), QStringList{session});
    }
    // A missing session at start: the beep and no tabs.
    WriteSettings("[Opt]\nReopen=1\n[SessHistory]\nCurrent=" + PathOf("gone").toUtf8() +
                  "\nLastDir=/x y\n[Save]\nNum=1\n1=" + a.toUtf8() + "\n");
    m_sink.Clear();
    TFormView &form = MakeForm();
    ShowForm(form);
    EXPECT_EQ(form.RecCount(), 0);
    EXPECT_TRUE(m_sink.Messages().empty());
    EXPECT_EQ(form.LastDir(), "/x y");
}

} // namespace
