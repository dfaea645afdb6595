#include "app/commandline.h"
#include "app/formview.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "text/fproc.h"
#include "text/guard.h"

#include <QDir>
#include <QIcon>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {

// Undocumented: shows the window once, then closes it through the normal
// close sequence. Used by the smoke test and the start-up benchmark.
const QString kQuitAfterShow = QStringLiteral("--quit-after-show");

// Answers every question with OK and prints the text, so that an unattended
// run never waits on a dialog.
class UnattendedSink final : public MessageSink
{
public:
    MsgResult Show(const QString &caption, const QString &text, MsgIcon, MsgButtons) override
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
            QTimer::singleShot(0, window, Guarded([window] { window->close(); }));
        }
        return false;
    }

private:
    QWidget *m_window;
    bool m_done = false;
};

// The arguments after the program name, without the undocumented switch.
QStringList ProgramArguments(int argc, char **argv, bool *quitAfterShow)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        // A file name is bytes: kept whole, also when they are not UTF-8.
        const QString arg = FileNameFromBytes(QByteArray(argv[i]));
        if (arg == kQuitAfterShow)
            *quitAfterShow = true;
        else
            arguments << arg;
    }
    return arguments;
}

} // namespace

int main(int argc, char **argv)
{
    bool quitAfterShow = false;
    {
        // Answered before the application object exists, so that --help,
        // --version and a mistyped option work without a display.
        const CommandLine early =
            ParseCommandLine(WithoutToolkitOptions(ProgramArguments(argc, argv, &quitAfterShow)));
        if (early.Help) {
            std::fputs(qUtf8Printable(CommandLineHelp()), stdout);
            return 0;
        }
        if (early.Version) {
            std::printf("%s %s\n", qUtf8Printable(TRavelinApp::Title()), RAVELIN_VERSION);
            return 0;
        }
        if (!early.Error.isEmpty()) {
            std::fprintf(stderr, "ravelin: %s\n%s", qUtf8Printable(early.Error),
                         qUtf8Printable(CommandLineHelp()));
            return 2;
        }
    }

    // Takes Qt's own options (-style, -platform, ...) out of argv.
    TRavelinApp app(argc, argv);
    const CommandLine commandLine = ParseCommandLine(ProgramArguments(argc, argv, &quitAfterShow));
    if (!commandLine.Error.isEmpty()) {
        std::fprintf(stderr, "ravelin: %s\n%s", qUtf8Printable(commandLine.Error),
                     qUtf8Printable(CommandLineHelp()));
        return 2;
    }
    app.setWindowIcon(QIcon(QStringLiteral(":/icons/ravelin.svg")));
    MessageBoxSink boxes;
    UnattendedSink unattended;
    SetMessageSink(quitAfterShow ? static_cast<MessageSink *>(&unattended) : &boxes);

    const QString settingsPath =
        ResolveSettingsPath(commandLine.ConfigPath, QCoreApplication::applicationDirPath());
    int result = 0;
    {
        TFormView form(settingsPath, commandLine);
        app.SetEndHandler([&form] { form.CloseWithoutAsking(); });
        if (quitAfterShow)
            new QuitAfterPaint(&form);
        form.show();
        result = app.exec();
        app.SetEndHandler(nullptr);
    }
    SetMessageSink(nullptr);
    return result;
}
