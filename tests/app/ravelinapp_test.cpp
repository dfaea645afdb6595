// The general error handler, and the program ending on a signal. The test
// makes its own application objects, so it runs with the plain GoogleTest main.
#include "app/inifile.h"
#include "app/ravelinapp.h"

#include "text/contract.h"
#include "text/messages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include <signal.h>

namespace {

class Sink final : public MessageSink
{
public:
    MsgResult show(const QString &caption, const QString &text, MsgIcon icon, MsgButtons) override
    {
        captions << caption;
        texts << text;
        icons.push_back(icon);
        return MsgResult::Ok;
    }
    QStringList captions;
    QStringList texts;
    std::vector<MsgIcon> icons;
};

// Throws from its event handler, as a broken command would.
class Thrower final : public QObject
{
public:
    explicit Thrower(std::function<void()> fn) : m_fn(std::move(fn)) {}
    bool event(QEvent *event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        m_fn();
        return true;
    }

private:
    std::function<void()> m_fn;
};

TEST(RavelinApp, ExceptionsFromHandlersAreShownAndTheProgramGoesOn)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "ravelin";
    char *argv[] = {name, nullptr};
    RavelinApp app(argc, argv);
    EXPECT_EQ(QCoreApplication::applicationName(), "ravelin");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.ravelin.Ravelin");

    Sink sink;
    MessageSink *previous = setMessageSink(&sink);

    Thrower contract([] { require(false, "Buffer position out of range: GetChar", "QzBinHex"); });
    Thrower runtime([] { throw std::runtime_error("disk on fire"); });
    Thrower unknown([] { throw 42; });
    QEvent event(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&contract, &event));
    EXPECT_FALSE(QCoreApplication::sendEvent(&runtime, &event));
    EXPECT_FALSE(QCoreApplication::sendEvent(&unknown, &event));

    EXPECT_EQ(sink.texts, QStringList({"Buffer position out of range: GetChar (QzBinHex)",
                                       "disk on fire", "Unknown exception"}));
    EXPECT_EQ(sink.captions, QStringList({"Ravelin Pro", "Ravelin Pro", "Ravelin Pro"}));
    EXPECT_EQ(sink.icons, std::vector<MsgIcon>(3, MsgIcon::Error));

    // Events without trouble pass through unchanged.
    Thrower quiet([] {});
    EXPECT_TRUE(QCoreApplication::sendEvent(&quiet, &event));
    EXPECT_EQ(sink.texts.size(), 3);

    // A display name would be appended to every window title by the desktop;
    // message boxes show exactly their captions ("Ravelin", "Viewer").
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());

    setMessageSink(previous);
}

// Whether the process holds the file open: the program keeps a tab's file
// open, so this tells that the tab is there.
bool holdsOpen(qint64 pid, const QString &path)
{
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd :
         fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == QFileInfo(path).canonicalFilePath())
            return true;
    return false;
}

TEST(RavelinApp, EndsOnASignalAsOnExitWithoutAskingAndSavesItsSettings)
{
    int argc = 1;
    char name[] = "ravelinapp_test";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const struct
    {
        const char *name;
        int signal;
    } cases[] = {{"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString log = dir.filePath(QStringLiteral("app.log"));
        const QString ini = dir.filePath(QStringLiteral("Ravelin.ini"));
        for (const auto &[path, text] :
             {std::pair{log, QByteArray("a line\n")},
              // Exiting would ask first; told to end, the program must not.
              std::pair{ini, QByteArray("[Opt]\nCfmExit=1\n[Mine]\nKeep=1\n")}}) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        }

        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(RAVELIN_EXE), {QStringLiteral("--config"), ini, log});
        ASSERT_TRUE(program.waitForStarted());
        // Up and running once its tab holds the file open.
        const QDeadlineTimer deadline(120000);
        while (!holdsOpen(program.processId(), log) && program.state() == QProcess::Running &&
               !deadline.hasExpired())
            QThread::msleep(20);
        ASSERT_TRUE(holdsOpen(program.processId(), log)) << "the program did not come up";

        ASSERT_EQ(::kill(pid_t(program.processId()), c.signal), 0);
        ASSERT_TRUE(program.waitForFinished(120000)) << "still running: it asked or it hangs";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "killed by the signal";
        EXPECT_EQ(program.exitCode(), 0);

        IniFile saved(ini);
        ASSERT_TRUE(saved.load());
        EXPECT_EQ(saved.readInteger("Save", "Num", 0), 1);
        EXPECT_EQ(saved.readUtf8("Save", "1", QString()), log);
        EXPECT_TRUE(saved.keyExists("Window", "Width"));
        EXPECT_TRUE(saved.readBool("Opt", "CfmExit", false));
        EXPECT_EQ(saved.readInteger("Mine", "Keep", 0), 1);
    }
}

// A file opened while the window runs becomes a tab of it: the second start
// hands it over and ends at once.
TEST(RavelinApp, ASecondStartOpensItsFilesInTheRunningWindow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString first = dir.filePath(QStringLiteral("first.log"));
    const QString second = dir.filePath(QStringLiteral("second.log"));
    const QString ini = dir.filePath(QStringLiteral("Ravelin.ini"));
    for (const QString &path : {first, second}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("a line\n");
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess window;
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(QStringLiteral(RAVELIN_EXE), {QStringLiteral("--config"), ini, first});
    ASSERT_TRUE(window.waitForStarted());
    QDeadlineTimer deadline(120000);
    while (!holdsOpen(window.processId(), first) && window.state() == QProcess::Running &&
           !deadline.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(holdsOpen(window.processId(), first)) << "the window did not come up";

    QProcess start;
    start.setProcessEnvironment(env);
    start.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    start.start(QStringLiteral(RAVELIN_EXE), {QStringLiteral("--config"), ini, second});
    ASSERT_TRUE(start.waitForFinished(60000)) << "the second start should end at once";
    EXPECT_EQ(start.exitCode(), 0);
    deadline = QDeadlineTimer(60000);
    while (!holdsOpen(window.processId(), second) && !deadline.hasExpired())
        QThread::msleep(20);
    EXPECT_TRUE(holdsOpen(window.processId(), second)) << "a tab of the running window";

    ASSERT_EQ(::kill(pid_t(window.processId()), SIGTERM), 0);
    ASSERT_TRUE(window.waitForFinished(120000));
    IniFile saved(ini);
    ASSERT_TRUE(saved.load());
    EXPECT_EQ(saved.readInteger("Save", "Num", 0), 2) << "both files in one window";
}

} // namespace
