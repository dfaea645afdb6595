#include "app/commandline.h"
#include "app/mainwindow.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "text/fileutil.h"
#include "text/guard.h"
#include "watch/spool.h"
#include "app/singleinstance.h"

#include <QDir>
#include <QIcon>
#include <QPointer>
#include <QTimer>

#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Undocumented: shows the window once, then closes it through the normal
// close sequence. Used by the smoke test and the start-up benchmark.
const QString kQuitAfterShow = QStringLiteral("--quit-after-show");

// Answers every question with OK and prints the text, so that an unattended
// run never waits on a dialog.
class UnattendedSink final : public MessageSink
{
public:
    MsgResult show(const QString &caption, const QString &text, MsgIcon, MsgButtons) override
    {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(caption), qUtf8Printable(text));
        return MsgResult::Ok;
    }
};

// Closes the window once its first frame has been painted.
class QuitAfterPaint final : public QObject
{
public:
    explicit QuitAfterPaint(QWidget *window) : QObject(window), m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QPointer<QWidget> window = m_window;
            QTimer::singleShot(0, window, guarded([window] { window->close(); }));
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_done = false;
};

// The arguments after the program name, without the undocumented switch.
QStringList programArguments(int argc, char **argv, bool *quitAfterShow)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        // A file name is bytes: kept whole, also when they are not UTF-8.
        const QString arg = fileNameFromBytes(QByteArray(argv[i]));
        if (arg == kQuitAfterShow)
            *quitAfterShow = true;
        else
            arguments << arg;
    }
    return arguments;
}

// Standard input moved to a descriptor of its own, with /dev/null left in
// its place: once the tab closes, nothing here keeps the pipe open and its
// writer learns that nobody reads any more.
UniqueFd takeStandardInput()
{
    UniqueFd input(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3));
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) {
        ::dup2(null, STDIN_FILENO);
        ::close(null);
    }
    return input;
}

bool standardInputIsPipe()
{
    struct stat st
    {
    };
    return ::fstat(STDIN_FILENO, &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

int main(int argc, char **argv)
{
    bool quitAfterShow = false;
    {
        // Answered before the application object exists, so that --help,
        // --version and a mistyped option work without a display.
        const CommandLine early =
            parseCommandLine(withoutToolkitOptions(programArguments(argc, argv, &quitAfterShow)));
        if (early.help) {
            std::fputs(qUtf8Printable(commandLineHelp()), stdout);
            return 0;
        }
        if (early.version) {
            std::printf("%s %s\n", qUtf8Printable(RavelinApp::title()), RAVELIN_VERSION);
            return 0;
        }
        if (!early.error.isEmpty()) {
            std::fprintf(stderr, "ravelin: %s\n%s", qUtf8Printable(early.error),
                         qUtf8Printable(commandLineHelp()));
            return 2;
        }
    }

    // Takes Qt's own options (-style, -platform, ...) out of argv.
    RavelinApp app(argc, argv);
    CommandLine commandLine = parseCommandLine(programArguments(argc, argv, &quitAfterShow));
    // `journalctl | ravelin`: the pipe is what the user wants to see.
    if (commandLine.files.isEmpty() && !commandLine.standardInput && standardInputIsPipe())
        commandLine.standardInput = commandLine.skipReopen = true;
    if (!commandLine.error.isEmpty()) {
        std::fprintf(stderr, "ravelin: %s\n%s", qUtf8Printable(commandLine.error),
                     qUtf8Printable(commandLineHelp()));
        return 2;
    }
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/ravelin.svg")));
    MessageBoxSink boxes;
    UnattendedSink unattended;
    setMessageSink(quitAfterShow ? static_cast<MessageSink *>(&unattended) : &boxes);

    // Spools of a run that died; those of a running instance are locked.
    Spool::removeStale(Spool::cacheFolder());
    const QString settingsPath =
        resolveSettingsPath(commandLine.configPath, QCoreApplication::applicationDirPath());
    // Files opened while a window runs go to it as tabs; a stream or a
    // command is read by the start that was given it.
    const bool joins = !commandLine.newWindow && !quitAfterShow && !commandLine.standardInput &&
                       commandLine.commands.isEmpty();
    const QString socket = SingleInstance::socketName(settingsPath);
    QStringList files;
    for (const QString &file : commandLine.files)
        files << absoluteFileName(file);
    if (joins && SingleInstance::handOver(socket, files))
        return 0;
    int result = 0;
    {
        SingleInstance instance;
        // Another start became the window a moment ago: it takes the files.
        const bool listening = joins && instance.listen(socket);
        if (joins && !listening && SingleInstance::handOver(socket, files))
            return 0;
        MainWindow form(settingsPath, commandLine);
        if (listening)
            QObject::connect(&instance, &SingleInstance::filesReceived, &form,
                             guarded([&form](const QStringList &received) {
                                 form.openFiles(received);
                                 form.setWindowState(form.windowState() & ~Qt::WindowMinimized);
                                 form.raise();
                                 form.activateWindow();
                             }));
        if (commandLine.standardInput)
            form.setStandardInput(takeStandardInput());
        app.setEndHandler([&form] { form.closeWithoutAsking(); });
        if (quitAfterShow)
            new QuitAfterPaint(&form);
        form.show();
        result = app.exec();
        app.setEndHandler(nullptr);
    }
    setMessageSink(nullptr);
    return result;
}
