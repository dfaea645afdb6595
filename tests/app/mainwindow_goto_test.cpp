// "Go to" from the main window: the dialog's round trip, each form of place,
// and what the user is told when the place is not where asked.
#include "formfixture.h"

#include "app/gotodialog.h"
#include "viewer/lineindex.h"
#include "viewer/lineindexer.h"
#include "viewer/logview.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTest>

#include <algorithm>

namespace {

// Line n (from 1) is "2026-12-09 10:MM:00 event n" for minutes n - 1, and
// every line after a multiple of 10 is followed by one without a time.
QByteArray makeLog(int lines, std::vector<qint64> *starts)
{
    QByteArray log;
    for (int i = 1; i <= lines; ++i) {
        starts->push_back(log.size());
        log += QStringLiteral("2026-12-09 %1:%2:00 event %3\n")
                   .arg(10 + (i - 1) / 60, 2, 10, QLatin1Char('0'))
                   .arg((i - 1) % 60, 2, 10, QLatin1Char('0'))
                   .arg(i)
                   .toLatin1();
    }
    return log;
}

class GoToTest : public FormFixture
{
protected:
    MainWindow &openLog(const QByteArray &bytes)
    {
        MainWindow &form = makeForm();
        form.openFileTab(writeFile(QStringLiteral("app.log"), bytes));
        EXPECT_EQ(form.tabCount(), 1);
        return form;
    }
    // A gigabyte without a line break after the first: going to line 3
    // counts long enough to be cancelled.
    QString slowFile()
    {
        const QString path = writeFile(QStringLiteral("big.log"), "first\nsecond");
        QFile file(path);
        EXPECT_TRUE(file.resize(qint64(1) << 30));
        return path;
    }
    static void goTo(MainWindow &form, const QString &typed)
    {
        form.goTo(typed);
        QTRY_VERIFY(!form.goToRunning());
    }
};

TEST_F(GoToTest, EachFormMovesToItsLineAndSelectsIt)
{
    std::vector<qint64> starts;
    const QByteArray log = makeLog(200, &starts);
    MainWindow &form = openLog(log);
    LogView *view = form.activeView();
    const struct
    {
        const char *typed;
        qint64 line; // index into starts; -1: the line holding byte
        qint64 byte = 0;
    } cases[] = {
        {"150", 149},
        {"1", 0},
        {"50%", -1, log.size() / 2},
        {"@0", 0},
        {"@0x1F5", -1, 0x1F5},
        {"2026-12-09 11:30", 90},
        {"11:30:30", 91},             // between two lines: the later
        {"2026-12-09T11:30:00Z", 90}, // a zone against lines without: their digits
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        goTo(form, QString::fromLatin1(c.typed));
        const qint64 start = c.line >= 0
                                 ? starts[size_t(c.line)]
                                 : *(std::upper_bound(starts.begin(), starts.end(), c.byte) - 1);
        if (c.line < 0) {
            ASSERT_NE(start, c.byte); // inside the line, not at its start
        }
        EXPECT_EQ(view->viewPos(), start);
        EXPECT_EQ(view->selStart(), start);
        EXPECT_GT(view->selLength(), 0);
    }
    EXPECT_TRUE(m_sink.texts().isEmpty()) << m_sink.texts().join(u'|').toStdString();
    EXPECT_TRUE(form.statusBar()->currentMessage().contains(QStringLiteral("reads")));
}

// Once the line index holds the file, a line is found at once, without a
// job; past the last line it still says so.
TEST_F(GoToTest, ALineTheIndexHoldsIsFoundWithoutAJob)
{
    QByteArray log;
    std::vector<qint64> starts;
    for (int i = 1; i <= 40000; ++i) {
        starts.push_back(log.size());
        log += "entry " + QByteArray::number(i) + (i % 3 ? "\n" : "\r\n");
    }
    MainWindow &form = openLog(log);
    LogView *view = form.activeView();
    for (int i = 0; i < 100 && (view->lineIndexer().running() || !view->lineIndexer().index());
         ++i) {
        form.jobs().waitForDone();
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(view->lineIndexer().index());
    ASSERT_EQ(view->lineIndexer().index()->indexedSize(), log.size());
    const struct
    {
        qint64 typed;
        qint64 lands; // line number
        bool pastEnd;
    } cases[] = {{30001, 30001, false}, {1, 1, false}, {40000, 40000, false}, {99999, 40000, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        m_sink.clear();
        form.goTo(QString::number(c.typed));
        EXPECT_FALSE(form.goToRunning());
        EXPECT_EQ(view->viewPos(), starts[size_t(c.lands - 1)]);
        EXPECT_EQ(m_sink.texts().size(), c.pastEnd ? 1 : 0);
        if (c.pastEnd && !m_sink.texts().isEmpty()) {
            EXPECT_TRUE(m_sink.texts().front().contains(QStringLiteral("40000 lines")))
                << m_sink.texts().front().toStdString();
        }
    }
}

TEST_F(GoToTest, DialogRoundTripOnCtrlL)
{
    std::vector<qint64> starts;
    MainWindow &form = openLog(makeLog(50, &starts));
    QAction *action = form.acts().goTo;
    ASSERT_TRUE(action);
    EXPECT_EQ(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    QStringList shown;
    form.execDialog = [&](QDialog &dialog) {
        auto *goToDialog = dynamic_cast<GoToDialog *>(&dialog);
        EXPECT_TRUE(goToDialog);
        if (!goToDialog)
            return int(QDialog::Rejected);
        shown << goToDialog->text();
        goToDialog->edit()->setText(QStringLiteral("40"));
        return int(QDialog::Accepted);
    };
    action->trigger();
    QTRY_VERIFY(!form.goToRunning());
    EXPECT_EQ(form.activeView()->viewPos(), starts[39]);
    // The dialog offers what was typed last.
    action->trigger();
    QTRY_VERIFY(!form.goToRunning());
    EXPECT_EQ(shown, QStringList({QString(), QStringLiteral("40")}));
}

TEST_F(GoToTest, WhatTheUserIsTold)
{
    std::vector<qint64> starts;
    const QByteArray log = makeLog(30, &starts);
    const struct
    {
        const char *name;
        QByteArray file;
        const char *typed;
        const char *says; // empty: nothing
        qint64 lands;     // -1: does not move
    } cases[] = {
        {"form not read", log, "half", "a line number (12345)", -1},
        {"line past the end", log, "31", "The file has 30 lines", starts[29]},
        {"offset past the end", log, "@99999", "going to its last line", starts[29]},
        {"time after every line", log, "2026-12-10 08:00", "Every time in the file is before",
         starts[29]},
        {"no timestamps", "just\ntext\n", "10:30", "No line of this file starts with a time", -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_form.reset();
        m_sink.clear();
        MainWindow &form = openLog(c.file);
        goTo(form, QString::fromLatin1(c.typed));
        ASSERT_EQ(m_sink.texts().size(), 1);
        EXPECT_TRUE(m_sink.texts().front().contains(QLatin1String(c.says)))
            << m_sink.texts().front().toStdString();
        EXPECT_EQ(form.activeView()->viewPos(), c.lands < 0 ? 0 : c.lands);
    }
}

TEST_F(GoToTest, CancelStopsTheCountAndStaysPut)
{
    MainWindow &form = makeForm();
    form.openFileTab(slowFile());
    form.goTo(QStringLiteral("3"));
    ASSERT_TRUE(form.goToRunning());
    auto *progress = form.findChild<QProgressDialog *>();
    ASSERT_TRUE(progress);
    QTest::keyClick(progress, Qt::Key_Escape);
    QTRY_VERIFY(!form.goToRunning());
    EXPECT_TRUE(m_sink.texts().isEmpty()) << m_sink.texts().join(u'|').toStdString();
    EXPECT_EQ(form.activeView()->viewPos(), 0);
}

TEST_F(GoToTest, BeforeTheProgressShowsKeysAreHeldAndEscapeCancels)
{
    MainWindow &form = makeForm();
    form.openFileTab(slowFile());
    form.show();
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    LogView *view = form.activeView();
    ASSERT_TRUE(view->hasFocus());
    // Escape on the main window is Exit: let it close if it gets there.
    m_sink.setAnswer(MsgResult::Ok);

    form.goTo(QStringLiteral("3"));
    ASSERT_TRUE(form.goToRunning());
    auto *progress = form.findChild<QProgressDialog *>();
    ASSERT_TRUE(progress);
    ASSERT_FALSE(progress->isVisible());
    QTest::keyClick(view, Qt::Key_W);
    QTest::keyClick(view, Qt::Key_Escape);
    QTRY_VERIFY(!form.goToRunning());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(m_sink.texts().isEmpty()) << m_sink.texts().join(u'|').toStdString();
    EXPECT_EQ(view->viewPos(), 0);
    EXPECT_FALSE(view->options().textWrap) << "a key reached the view during the run";

    QTest::keyClick(view, Qt::Key_W);
    EXPECT_TRUE(view->options().textWrap) << "the keys are free again after the run";
}

TEST_F(GoToTest, TimesGoingBackwardsAreSaidToBeApproximate)
{
    std::vector<qint64> starts;
    const QByteArray run = makeLog(3000, &starts);
    MainWindow &form = openLog(run + run);
    goTo(form, QStringLiteral("2026-12-09 20:00"));
    EXPECT_TRUE(m_sink.texts().isEmpty());
    EXPECT_TRUE(form.statusBar()->currentMessage().contains(QStringLiteral("Approximate")))
        << form.statusBar()->currentMessage().toStdString();
}

} // namespace
