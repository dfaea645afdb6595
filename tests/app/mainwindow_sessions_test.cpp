// Sessions: saving and opening them, the caption's session prefix, the
// recent sessions menu, the reopen at start-up and damaged session files.
#include "formfixture.h"

#include "app/inifile.h"
#include "viewer/logview.h"

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
    void answerFileDialogsWith(MainWindow &form, const QString &file)
    {
        form.execDialog = [file](QDialog &dialog) {
            auto *chooser = qobject_cast<QFileDialog *>(&dialog);
            if (!chooser)
                return int(QDialog::Rejected);
            chooser->setOption(QFileDialog::DontUseNativeDialog);
            chooser->selectFile(file);
            return int(QDialog::Accepted);
        };
    }

    QStringList tabTexts(const MainWindow &form) const
    {
        QStringList texts;
        for (int i = 0; i < form.tabs().pages()->count(); ++i)
            texts << form.tabs().pages()->tabText(i);
        return texts;
    }
};

TEST_F(SessionsTest, SavedTabsComeBackInOrderWithTheirCaptionsAndTheActiveTab)
{
    const QString a = writeFile("a.log", "a\n");
    const QString b = writeFile("with space \"q\".log", "b\n");
    const QString c = writeFile("журнал.log", "c\n");
    const QString session = pathOf("work.ravelin-session");
    {
        MainWindow &form = makeForm();
        for (const QString &file : {a, b, c})
            form.openFileTab(file);
        form.tabAt(0).caption = QStringLiteral("Größe").toUtf8();
        form.tabAt(2).caption = QByteArray(); // shows the file name again when reopened
        form.tabs().pages()->setCurrentIndex(1);
        ASSERT_TRUE(form.saveSession(session));
        EXPECT_EQ(form.sessions().current(), session);
        EXPECT_EQ(form.windowTitle(), "{work} with space \"q\".log - Ravelin Pro");
    }
    const IniFile ini = [&] {
        IniFile f(session);
        EXPECT_TRUE(f.load());
        return f;
    }();
    EXPECT_EQ(ini.readInteger("Tabs", "Num", 0), 3);
    EXPECT_EQ(ini.readInteger("Tabs", "Active", 0), 1);

    MainWindow &form = makeForm();
    form.openFileTab(writeFile("other.log", "o\n")); // closed by the open
    form.openSession(session);
    ASSERT_EQ(form.tabCount(), 3);
    EXPECT_EQ(form.tabAt(0).fileName, a);
    EXPECT_EQ(form.tabAt(1).fileName, b);
    EXPECT_EQ(form.tabAt(2).fileName, c);
    EXPECT_EQ(tabTexts(form), (QStringList{"Größe", "  with space \"q\".log  ", "  журнал.log  "}));
    EXPECT_EQ(form.tabAt(0).caption, QStringLiteral("Größe").toUtf8());
    EXPECT_EQ(form.tabs().pages()->currentIndex(), 1);
    EXPECT_EQ(form.sessions().current(), session);
    EXPECT_EQ(form.sessions().recentSessions().items(), QStringList{session});
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join(" | ").toStdString();
}

TEST_F(SessionsTest, OnlyCaptionsTheUserSetAreStoredAndOlderSessionsStopFreezingTheirs)
{
    // Shortened to "very_long_file_name…" when opened.
    const QString longName = writeFile("very_long_file_name_of_a_service.log", "l\n");
    const QString a = writeFile("a.log", "a\n");
    const QString b = writeFile("b.log", "b\n");
    const QString c = writeFile("c.log", "c\n");
    const QString shortened = QStringLiteral("very_long_file_name") + QChar(0x2026);
    const QString session = pathOf("s.ravelin-session");
    auto nicks = [](const QString &file, const QByteArray &section, int first) {
        IniFile ini(file);
        EXPECT_TRUE(ini.load());
        QStringList values;
        for (int i = first; i < first + 4; ++i)
            values << ini.readUtf8(section, QByteArray::number(i) + (first ? "tab" : ""), "-");
        return values;
    };
    writeSettings("[Opt]\nReopen=1\n");
    {
        MainWindow &form = makeForm();
        for (const QString &file : {longName, a, b, c})
            form.openFileTab(file);
        QString answer;
        form.execDialog = [&answer](QDialog &dialog) {
            if (auto *input = qobject_cast<QInputDialog *>(&dialog))
                input->setTextValue(answer);
            return int(QDialog::Accepted);
        };
        answer = "mine";
        form.renameTab(2); // F2 on b.log
        answer.clear();
        form.renameTab(3); // an empty caption shows the file name when reopened
        ASSERT_TRUE(form.saveSession(session));
        EXPECT_EQ(nicks(session, "Nicks", 0), (QStringList{"", "", "mine", ""}));
        ASSERT_TRUE(form.close());
        EXPECT_EQ(nicks(settingsPath(), "Save", 1), (QStringList{"", "", "mine", ""}))
            << "the tabs open at exit, the same";
    }
    MainWindow &form = makeForm();
    showForm(form); // reopens the session
    ASSERT_EQ(form.tabCount(), 4);
    EXPECT_EQ(tabTexts(form), (QStringList{shortened, "  a.log  ", "mine", "  c.log  "}));

    // A session of an earlier version holds every caption as it was shown.
    writeFile("s.ravelin-session", "[Tabs]\nNum=3\nActive=0\n0=" + longName.toUtf8() +
                                       "\n1=" + a.toUtf8() + "\n2=" + b.toUtf8() + "\n[Nicks]\n0=" +
                                       shortened.toUtf8() + "\n1=a.log\n2=mine\n");
    form.openSession(session);
    EXPECT_EQ(tabTexts(form), (QStringList{shortened, "  a.log  ", "mine"}));
    ASSERT_TRUE(form.saveSession(session));
    EXPECT_EQ(nicks(session, "Nicks", 0), (QStringList{"", "", "mine", "-"}));
}

TEST_F(SessionsTest, TabsOpenedBehindAreLaidOutAtThePageSizeWhenShown)
{
    QByteArray lines;
    for (int i = 0; i < 400; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    const QString a = writeFile("a.log", lines);
    const QString b = writeFile("b.log", lines);
    const QString c = writeFile("c.log", lines);
    writeFile("s.ravelin-session", "[Tabs]\nNum=3\nActive=1\n0=" + a.toUtf8() +
                                       "\n1=" + b.toUtf8() + "\n2=" + c.toUtf8() + "\n");
    MainWindow &form = makeForm();
    AppSettings settings = form.settings();
    settings.toEnd = true;
    form.setSettings(settings);
    form.resize(700, 400);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));

    form.openSession(pathOf("s.ravelin-session"));
    QCoreApplication::processEvents();
    ASSERT_EQ(form.tabCount(), 3);
    EXPECT_EQ(form.tabs().pages()->currentIndex(), 1);
    EXPECT_EQ(QApplication::focusWidget(), form.activeView());
    for (int index : {1, 0, 2}) {
        SCOPED_TRACE(index);
        form.tabs().pages()->setCurrentIndex(index);
        QCoreApplication::processEvents();
        LogView *view = form.activeView();
        ASSERT_EQ(view, form.tabAt(index).view);
        EXPECT_EQ(view->size(), form.tabs().pages()->currentWidget()->size());
        EXPECT_TRUE(view->viewAtEnd()) << "each tab starts at its end";
        EXPECT_EQ(QApplication::focusWidget(), view);
    }
}

TEST_F(SessionsTest, CloseSessionDropsTheCaptionPrefixAndCloseAllKeepsIt)
{
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    ASSERT_TRUE(form.saveSession(pathOf("s.ravelin-session")));
    form.acts().closeAll->trigger();
    EXPECT_EQ(form.tabCount(), 0);
    EXPECT_EQ(form.windowTitle(), "{s} Ravelin Pro");
    EXPECT_TRUE(form.acts().closeSession->isEnabled());
    EXPECT_FALSE(form.acts().saveSession->isEnabled()) << "no tab to save";

    form.openFileTab(pathOf("a.log"));
    form.acts().closeSession->trigger();
    EXPECT_EQ(form.tabCount(), 0);
    EXPECT_EQ(form.sessions().current(), QString());
    EXPECT_EQ(form.windowTitle(), "Ravelin Pro");
    EXPECT_FALSE(form.acts().closeSession->isEnabled());
}

TEST_F(SessionsTest, BadEntriesOpenAsEmptyTabsAndOneMessageListsThem)
{
    const QString fifo = pathOf("pipe.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString a = writeFile("a.log", "a\n");
    const QString c = writeFile("c.log", "c\n");
    const QString missing = pathOf("gone.log");
    writeFile("s.ravelin-session",
              "[Tabs]\nNum=6\nActive=5\n0=" + a.toUtf8() + "\n1=" + fifo.toUtf8() +
                  "\n2=" + missing.toUtf8() + "\n3=/dev/zero\n4=" + m_dir.path().toUtf8() +
                  "\n5=" + c.toUtf8() + "\n[Nicks]\n0=A\n1=P\n2=G\n3=Z\n4=D\n5=C\n");
    MainWindow &form = makeForm();
    form.openSession(pathOf("s.ravelin-session"));
    ASSERT_EQ(form.tabCount(), 6);
    EXPECT_EQ(tabTexts(form), (QStringList{"A", "P", "G", "Z", "D", "C"}));
    for (int i : {1, 2, 3, 4})
        EXPECT_FALSE(form.tabAt(i).view->document().sourceAssigned()) << i;
    EXPECT_TRUE(form.tabAt(2).view->waitingForFile()) << "the missing file's tab waits for it";
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_EQ(m_sink.texts()[0], "Some files could not be opened:\n"
                                 "Cannot open file: \"" +
                                     fifo + "\"\nCannot open file: \"" + missing +
                                     "\"\nCannot open file: \"/dev/zero\"\n"
                                     "Cannot open file: \"" +
                                     m_dir.path() + "\"");
    EXPECT_EQ(form.tabs().pages()->currentIndex(), 5);
}

TEST_F(SessionsTest, ActiveNamingNoOpenedTabShowsTheLastOne)
{
    const QString a = writeFile("a.log", "a\n");
    writeFile("s.ravelin-session",
              "[Tabs]\nNum=3\nActive=2\n0=" + a.toUtf8() + "\n2=" + a.toUtf8() + "\n");
    MainWindow &form = makeForm();
    form.openSession(pathOf("s.ravelin-session"));
    ASSERT_EQ(form.tabCount(), 2);
    EXPECT_EQ(form.tabs().pages()->currentIndex(), 1);
}

TEST_F(SessionsTest, AtMostThreeHundredTabsAndOneMessageForTheRest)
{
    const QString tiny = writeFile("tiny.log", "t\n");
    QByteArray text = "[Tabs]\nNum=2000000000\nActive=-1\n";
    for (int i = 0; i < 305; ++i)
        text += QByteArray::number(i) + '=' + tiny.toUtf8() + '\n';
    writeFile("big.ravelin-session", text);
    MainWindow &form = makeForm();
    form.openSession(pathOf("big.ravelin-session"));
    EXPECT_EQ(form.tabCount(), 300);
    EXPECT_EQ(form.tabs().pages()->currentIndex(), 299);
    EXPECT_EQ(
        m_sink.texts(),
        QStringList{"Too many files opened (300): 5 more files of the session were not opened"});
}

TEST_F(SessionsTest, SessionFilesThatCannotBeReadChangeNothing)
{
    const QString a = writeFile("a.log", "a\n");
    QDir(m_dir.path()).mkdir("folder.ravelin-session");
    struct Case
    {
        const char *name;
        QString path;
        QStringList messages;
    };
    const Case cases[] = {
        {"missing: only the beep", pathOf("none.ravelin-session"), {}},
        {"a folder",
         pathOf("folder.ravelin-session"),
         {"Cannot read session file: \"" + pathOf("folder.ravelin-session") +
          "\"\nIt is a folder"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MainWindow &form = makeForm();
        form.openFileTab(a);
        m_sink.clear();
        form.openSession(c.path);
        EXPECT_EQ(m_sink.texts(), c.messages);
        EXPECT_EQ(form.tabCount(), 1);
        EXPECT_EQ(form.sessions().current(), QString());
        EXPECT_TRUE(form.sessions().recentSessions().isEmpty());
    }
}

TEST_F(SessionsTest, AFailedSaveKeepsTheOldFileAndTheCurrentSession)
{
    writeFile("blocker", "not a folder");
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    const QString good = pathOf("good.ravelin-session");
    ASSERT_TRUE(form.saveSession(good));
    m_sink.clear();

    const QString bad = pathOf("blocker/s.ravelin-session");
    EXPECT_FALSE(form.saveSession(bad));
    EXPECT_EQ(m_sink.texts(), QStringList{"Unable to write to " + bad});
    EXPECT_EQ(form.sessions().current(), good);
    EXPECT_EQ(form.sessions().recentSessions().items(), QStringList{good});
    EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(SessionsTest, SaveAsAndOpenGoThroughTheDialogsAndTheirFolder)
{
    MainWindow &form = makeForm();
    const QString session = pathOf("sub/chosen.ravelin-session");
    QDir(m_dir.path()).mkdir("sub");
    answerFileDialogsWith(form, session);

    form.acts().saveSessionAs->trigger();
    EXPECT_FALSE(QFile::exists(session)) << "no tab: only the beep";

    form.openFileTab(writeFile("a.log", "a\n"));
    form.acts().saveSessionAs->trigger();
    EXPECT_TRUE(QFile::exists(session));
    EXPECT_EQ(form.sessions().lastDir(), pathOf("sub"));

    form.acts().closeSession->trigger();
    form.acts().openSession->trigger();
    EXPECT_EQ(form.tabCount(), 1);
    EXPECT_EQ(form.sessions().current(), session);
}

TEST_F(SessionsTest, RecentSessionsMenuShowsTheListAndOpensItsEntries)
{
    MainWindow &form = makeForm();
    form.openFileTab(writeFile("a.log", "a\n"));
    const QString one = pathOf("one.ravelin-session");
    const QString two = pathOf("two & more.ravelin-session");
    ASSERT_TRUE(form.saveSession(one));
    form.openFileTab(writeFile("b.log", "b\n"));
    ASSERT_TRUE(form.saveSession(two));

    const auto &items = form.acts().recentSessions;
    EXPECT_EQ(items[0]->text(), "&1 " + pathOf("two && more.ravelin-session"));
    EXPECT_EQ(items[1]->text(), "&2 " + one);
    EXPECT_TRUE(items[1]->isVisible());
    EXPECT_FALSE(items[2]->isVisible());
    EXPECT_TRUE(form.acts().clearRecentSessions->isEnabled());

    items[1]->trigger();
    EXPECT_EQ(form.tabCount(), 1);
    EXPECT_EQ(form.sessions().current(), one);
    EXPECT_EQ(form.sessions().recentSessions().items(), (QStringList{one, two}));

    form.acts().clearRecentSessions->trigger();
    EXPECT_FALSE(items[0]->isVisible());
    EXPECT_FALSE(form.acts().clearRecentSessions->isEnabled());
}

TEST_F(SessionsTest, TheSessionCurrentAtExitIsReopenedBeforeTheLastTabs)
{
    const QString a = writeFile("a.log", "a\n");
    const QString b = writeFile("b.log", "b\n");
    const QString session = pathOf("s.ravelin-session");
    writeSettings("[Opt]\nReopen=1\n");
    {
        MainWindow &form = makeForm();
        form.openFileTab(a);
        ASSERT_TRUE(form.saveSession(session));
        form.acts().closeAll->trigger();
        form.openFileTab(b); // in [Save], not in the session
        ASSERT_TRUE(form.close());
    }
    {
        MainWindow &form = makeForm();
        showForm(form);
        ASSERT_EQ(form.tabCount(), 1);
        EXPECT_EQ(form.tabAt(0).fileName, a);
        EXPECT_EQ(form.sessions().current(), session);
        EXPECT_EQ(form.sessions().lastDir(), QString());
        form.closeSession();
        ASSERT_TRUE(form.close());
    }
    {
        // No session current at exit: the tabs of [Save], none here.
        MainWindow &form = makeForm();
        showForm(form);
        EXPECT_EQ(form.tabCount(), 0);
        EXPECT_EQ(form.sessions().recentSessions().items(), QStringList{session});
    }
    // A missing session at start: the beep and no tabs.
    writeSettings("[Opt]\nReopen=1\n[SessHistory]\nCurrent=" + pathOf("gone").toUtf8() +
                  "\nLastDir=/x y\n[Save]\nNum=1\n1=" + a.toUtf8() + "\n");
    m_sink.clear();
    MainWindow &form = makeForm();
    showForm(form);
    EXPECT_EQ(form.tabCount(), 0);
    EXPECT_TRUE(m_sink.messages().empty());
    EXPECT_EQ(form.sessions().lastDir(), "/x y");
}

// A command comes back from a session or the last run only when the user
// says yes: whoever wrote the file chose it.
TEST_F(SessionsTest, CommandsRunAgainOnlyWhenTheUserSaysSo)
{
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(pathOf("cache")));
    const QString a = writeFile("a.log", "a\n");
    const QString session = pathOf("s.ravelin-session");
    writeSettings("[Opt]\nReopen=1\n");
    {
        MainWindow &form = makeForm();
        form.openFileTab(a);
        form.openCommandTab(QStringLiteral("echo from the command"));
        ASSERT_EQ(form.tabCount(), 2);
        ASSERT_TRUE(form.saveSession(session));
        form.closeSession();
        form.openCommandTab(QStringLiteral("echo in the saved tabs"));
        ASSERT_TRUE(form.close());
    }
    for (const MsgResult answer : {MsgResult::No, MsgResult::Yes}) {
        SCOPED_TRACE(answer == MsgResult::Yes ? "yes" : "no");
        m_sink.clear();
        m_sink.setAnswer(answer);
        MainWindow &form = makeForm();
        showForm(form);
        ASSERT_EQ(m_sink.texts().size(), 1);
        EXPECT_TRUE(m_sink.texts()[0].endsWith("echo in the saved tabs"));
        ASSERT_EQ(form.tabCount(), answer == MsgResult::Yes ? 1 : 0);
        m_sink.clear();
        form.openSession(session);
        ASSERT_EQ(m_sink.texts().size(), 1);
        EXPECT_TRUE(m_sink.texts()[0].endsWith("echo from the command"));
        ASSERT_EQ(form.tabCount(), answer == MsgResult::Yes ? 2 : 1);
        EXPECT_EQ(form.tabAt(0).fileName, a);
        if (answer == MsgResult::Yes)
            EXPECT_EQ(form.tabAt(1).command, QStringLiteral("echo from the command"));
        m_sink.setAnswer(MsgResult::Ok);
        form.closeSession();
        form.openCommandTab(QStringLiteral("echo in the saved tabs"));
        ASSERT_TRUE(form.close());
    }
    qputenv("XDG_CACHE_HOME", oldCache);
}

} // namespace
