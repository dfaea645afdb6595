// Tabs over streams: standard input and the output of commands, spooled into
// the cache folder as they come and followed as growing files.
#include "app/mainwindow.h"

#include "app/appformat.h"
#include "app/messagebatch.h"
#include "app/ravelinapp.h"
#include "app/shellmessages.h"
#include "viewer/logview.h"
#include "text/guard.h"
#include "watch/commandprocess.h"
#include "watch/compression.h"
#include "watch/journalreader.h"
#include "watch/spool.h"

#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QPointer>
#include <QStatusBar>

#include <memory>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStatusMs = 10000;
constexpr qsizetype kErrorsShown = 2048;
constexpr qsizetype kCaptionLength = 24;

// A tab shows the start of its command; its tool tip the whole of it.
QByteArray shortCaption(const QString &command)
{
    const QString text = command.simplified();
    if (text.size() <= kCaptionLength)
        return text.toUtf8();
    return (text.left(kCaptionLength - 1) + QChar(0x2026)).toUtf8();
}

} // namespace

Spool *MainWindow::addSpooledTab(UniqueFd input, Tab rec, const QString &toolTip)
{
    if (tabCount() >= kMaxTabs) {
        msgWarning(QStringLiteral("Too many files opened (%1)").arg(kMaxTabs));
        return nullptr;
    }
    std::unique_ptr<Spool> spool;
    try {
        spool = std::make_unique<Spool>(std::move(input), Spool::cacheFolder());
    } catch (const SpoolError &e) {
        msgWarning(QString::fromLocal8Bit(e.what()));
        return nullptr;
    }
    // Kept out of the recent list and sessions: the spool goes with the tab.
    rec.fileName = spool->path();
    rec.spooled = true;
    LogView *view = addTab(rec, plainToolTip(toolTip));
    Spool *kept = spool.release();
    kept->setParent(view->parentWidget()); // goes with the sheet
    if (view->open(rec.fileName) && !m_settings.toEnd)
        view->scrollToEnd(); // a stream is watched as it comes
    m_tabs.focusActiveView();
    updateAll();
    return kept;
}

void MainWindow::openStreamTab(UniqueFd input, const QByteArray &caption)
{
    const MessageBatch messages(openFailuresHeading);
    Tab rec;
    rec.caption = caption;
    const QString name = QString::fromUtf8(caption);
    Spool *spool = addSpooledTab(std::move(input), rec, name);
    if (!spool)
        return;
    connect(spool, &Spool::ended, this, guarded([this, name](const QString &error) {
                if (!error.isEmpty())
                    msgWarning(name + QStringLiteral(": ") + error);
                else
                    statusBar()->showMessage(name + QStringLiteral(": end of input"), kStatusMs);
            }));
}

void MainWindow::openCommandTab(const QString &command, const QByteArray &caption)
{
    const MessageBatch messages(openFailuresHeading);
    if (command.trimmed().isEmpty())
        return;
    std::unique_ptr<CommandProcess> process;
    try {
        process = std::make_unique<CommandProcess>(command);
    } catch (const CommandError &e) {
        msgWarning(QString::fromLocal8Bit(e.what()));
        return;
    }
    m_sessions.recentFiles().touchCommand(command);
    Tab rec;
    rec.caption = caption.isEmpty() ? shortCaption(command) : caption;
    rec.command = command;
    Spool *spool = addSpooledTab(process->takeOutput(), rec, command);
    if (!spool)
        return; // the process goes, and its group with it
    watchCommand(std::move(process), spool, QString::fromUtf8(rec.caption),
                 QStringLiteral("The command \"%1\"").arg(command));
}

void MainWindow::watchCommand(std::unique_ptr<CommandProcess> owned, Spool *spool,
                              const QString &name, const QString &what)
{
    // Goes with the sheet, as the spool does.
    CommandProcess *process = owned.release();
    process->setParent(spool->parent());
    connect(process, &CommandProcess::errorLine, this, guarded([this, name](const QString &line) {
                statusBar()->showMessage(name + QStringLiteral(": ") + line, kStatusMs);
            }));
    // Told once both the command and its output have ended: a command that
    // failed without a line of output leaves no empty tab behind.
    const QPointer<QWidget> page(qobject_cast<QWidget *>(spool->parent()));
    // Told once, by whichever of the two ends comes last.
    const auto settled = std::make_shared<bool>(false);
    const auto settle = [this, page, process, spool, name, what, settled] {
        if (*settled || !page || process->running() || spool->running())
            return;
        *settled = true;
        const int status = process->status();
        const bool failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        if (failed && spool->written() == 0) {
            for (int i = 0; i < tabCount(); ++i)
                if (tabAt(i).sheet == page) {
                    closeTab(i, false); // nothing there to open again
                    break;
                }
            QString errors =
                QString::fromUtf8(process->errorOutput().right(kErrorsShown)).trimmed();
            msgWarning(what + QLatin1Char(' ') + CommandProcess::describe(status) +
                       QLatin1Char('.') +
                       (errors.isEmpty() ? QString() : QStringLiteral("\n\n") + errors));
            return;
        }
        statusBar()->showMessage(name + QStringLiteral(": ") + CommandProcess::describe(status),
                                 kStatusMs);
    };
    connect(process, &CommandProcess::finished, this, guarded(settle));
    connect(spool, &Spool::ended, this, guarded([this, settle, name](const QString &error) {
                if (!error.isEmpty())
                    msgWarning(name + QStringLiteral(": ") + error);
                settle();
            }));
}

void MainWindow::runCommandAgain(const QString &command, const QByteArray &caption)
{
    // Whoever wrote the session or the settings file chose the command.
    if (showMessage(RavelinApp::title(),
                    QStringLiteral("Run this command again to show its output?\n\n%1").arg(command),
                    MsgIcon::Question, MsgButtons::YesNo) != MsgResult::Yes)
        return;
    openCommandTab(command, caption);
}

void MainWindow::openCommandTriggered()
{
    bool ok = false;
    const QString command = QInputDialog::getText(
        this, QStringLiteral("Open command output"),
        QStringLiteral("Command line, run by /bin/sh -c; its output is shown as it comes:"),
        QLineEdit::Normal, m_lastCommand, &ok);
    if (!ok || command.trimmed().isEmpty())
        return;
    m_lastCommand = command;
    openCommandTab(command);
}

void MainWindow::openJournalTriggered()
{
    const MessageBatch messages(openFailuresHeading);
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        msgWarning(QStringLiteral("The system journal cannot be read: no pipe"));
        return;
    }
    UniqueFd input(fds[0]);
    std::unique_ptr<JournalReader> reader;
    try {
        reader = std::make_unique<JournalReader>(UniqueFd(fds[1]));
    } catch (const JournalError &e) {
        msgWarning(QString::fromLocal8Bit(e.what()));
        return;
    }
    Tab rec;
    rec.caption = "journal";
    Spool *spool = addSpooledTab(std::move(input), rec, QStringLiteral("The system journal"));
    if (spool)
        reader.release()->setParent(spool->parent());
}

bool MainWindow::openCompressedTab(const QString &fileName, const QString &shownName)
{
    // A gzip file is read where it lies, through the viewer's index.
    const Compression compression = compressionOf(fileName);
    if (compression == Compression::None || compression == Compression::Gzip)
        return false;
    // Decompressed into the cache folder as it comes: first make sure it fits.
    const qint64 needed = decompressedSize(compression, fileName);
    struct statvfs fs
    {
    };
    const QString folder = Spool::cacheFolder();
    QDir().mkpath(folder);
    if (needed > 0 && ::statvfs(QFile::encodeName(folder).constData(), &fs) == 0 &&
        qint64(fs.f_bavail) * qint64(fs.f_frsize) < needed) {
        msgWarning(QStringLiteral("There is not room enough in \"%1\" to decompress \"%2\": it "
                                  "needs %3, and %4 is free.")
                       .arg(folder, shownName, formatFileSize(needed),
                            formatFileSize(qint64(fs.f_bavail) * qint64(fs.f_frsize))));
        return true;
    }
    std::unique_ptr<CommandProcess> process;
    try {
        process = std::make_unique<CommandProcess>(decompressor(compression, fileName));
    } catch (const CommandError &e) {
        msgWarning(QStringLiteral("\"%1\" is compressed, and %2")
                       .arg(shownName, QString::fromLocal8Bit(e.what())));
        return true;
    }
    m_sessions.recentFiles().touch(fileName);
    Tab rec;
    rec.caption = TabSet::pathCaption(fileName);
    rec.source = fileName;
    Spool *spool = addSpooledTab(process->takeOutput(), rec, shownName);
    if (!spool)
        return true;
    watchCommand(std::move(process), spool, QString::fromUtf8(rec.caption),
                 QStringLiteral("Decompressing \"%1\"").arg(shownName));
    return true;
}
