// "Go to": a line, a share of the file, a byte offset or a time.
#include "app/mainwindow.h"

#include "app/gotodialog.h"
#include "app/shellmessages.h"
#include "text/guard.h"
#include "viewer/gototarget.h"
#include "viewer/inputhold.h"
#include "viewer/lineindex.h"
#include "viewer/lineindexer.h"
#include "viewer/linelocator.h"
#include "viewer/logview.h"
#include "viewer/timeseek.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QPointer>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimeZone>

#include <functional>
#include <optional>

// What a go-to job found: the line or the time, by the target's kind.
struct GoToFound
{
    bool isTime = false;
    LineLocator::Result line;
    TimeSeek::Result time;
};

namespace {

constexpr int kStatusMs = 10000;
constexpr int kProgressDelayMs = 400;

QString timeText(const LogTime &time)
{
    const qint64 ms = time.wallMs;
    QString text = QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc())
                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (ms % 1000)
        text += QStringLiteral(".%1").arg(ms % 1000, 3, 10, QLatin1Char('0'));
    return text;
}

// Where line starts, from the view's line index; false when the index
// cannot tell yet.
bool lineFromIndex(const LogView *view, qint64 line, LineLocator::Result &found)
{
    const ViewDocument &doc = view->document();
    const LineIndex *index = view->lineIndexer().index();
    const std::optional<LineCountUnit> unit = view->lineIndexer().unit();
    if (!index || !doc.source() || !unit || *unit != index->unit())
        return false;
    if (line > index->lastLine()) {
        // Past the last line only when the index covers the whole file.
        if (index->indexedSize() < doc.fileSize())
            return false;
        line = index->lastLine();
        found.status = LineLocator::Result::Status::PastEnd;
    } else {
        found.status = LineLocator::Result::Status::Found;
    }
    const qint64 start = index->lineStartOf(*doc.source(), line);
    if (start < 0)
        return false;
    found.line = line;
    found.position = start;
    return true;
}

// Shows only once the look takes a while. Until then the user's input is
// held off, as the dialog holds it once up, and Escape cancels as it does.
class GoToProgress final : public QProgressDialog
{
public:
    GoToProgress(QWidget *parent, std::function<void()> cancel)
        : QProgressDialog(QStringLiteral("Looking for the place..."), QStringLiteral("Cancel"), 0,
                          100, parent)
    {
        m_hold.onEscape = std::move(cancel);
        m_hold.set(true);
    }
    void release() { m_hold.set(false); }

protected:
    void showEvent(QShowEvent *event) override
    {
        m_hold.set(false);
        QProgressDialog::showEvent(event);
    }

private:
    InputHold m_hold;
};

} // namespace

void MainWindow::goToTriggered()
{
    if (!activeView() || m_goToBusy)
        return;
    GoToDialog dialog(this);
    dialog.setText(m_goToText);
    if (runDialog(dialog) != QDialog::Accepted)
        return;
    m_goToText = dialog.text();
    goTo(m_goToText);
}

void MainWindow::goTo(const QString &typed)
{
    LogView *view = activeView();
    if (!view || m_goToBusy || !view->document().sourceAssigned())
        return;
    const GoToTarget target = parseGoToTarget(typed);
    if (target.kind == GoToTarget::Kind::Invalid) {
        msgError(target.error);
        return;
    }
    const ViewDocument &doc = view->document();
    if (target.kind == GoToTarget::Kind::Percent || target.kind == GoToTarget::Kind::Offset) {
        if (target.kind == GoToTarget::Kind::Offset && target.offset >= doc.fileSize())
            msgWarning(QStringLiteral("The file has %1 bytes; going to its last line.")
                           .arg(doc.fileSize()));
        goToPosition(view, target.byteIn(doc.fileSize(), doc.charSize()));
        return;
    }

    // A line the index already holds is found at once, with one short read.
    if (target.kind == GoToTarget::Kind::Line) {
        GoToFound found;
        if (lineFromIndex(view, target.line, found.line)) {
            goToFound(view, target, found);
            return;
        }
    }

    // Lines and times are looked for on a job, through a source of its own.
    std::shared_ptr<FileSource> source(doc.source() ? doc.source()->openAnother() : nullptr);
    if (!source) {
        msgError(QStringLiteral("This file cannot be read a second time to look for the place."));
        return;
    }
    const Encoding encoding = doc.shownEncoding();
    const LineCountUnit unit = doc.lineUnit();
    std::vector<qint32> known = doc.lineStarts().starts();
    // A line past what the index holds yet is counted from its last checkpoint.
    LineIndex::Start indexed;
    const LineIndex *index = view->lineIndexer().index();
    if (target.kind == GoToTarget::Kind::Line && index && index->unit() == unit &&
        view->lineIndexer().unit() == unit)
        indexed = index->checkpointAtOrBefore(target.line);
    // Syslog lines carry no year: the file's date gives it.
    QDate fileDate = QFileInfo(view->fileName()).lastModified().date();
    if (!fileDate.isValid())
        fileDate = QDate::currentDate();
    const TimeContext context{fileDate.year(), fileDate.month()};
    const qint64 from = view->viewPos();

    auto job = jobs().start<GoToFound>(view, [source, target, encoding, unit,
                                              known = std::move(known), indexed, context,
                                              from](QPromise<GoToFound> &promise,
                                                    std::stop_token stop) {
        GoToFound found;
        promise.setProgressRange(0, 100);
        if (target.kind == GoToTarget::Kind::Line) {
            found.line = LineLocator(*source, unit, known, indexed)
                             .find(target.line, stop,
                                   [&promise](int percent) { promise.setProgressValue(percent); });
        } else {
            found.isTime = true;
            found.time =
                TimeSeek(*source, encoding, context, stop).find(target.time, target.dateless, from);
        }
        promise.addResult(found);
    });
    m_goToBusy = true;

    // Its Cancel button and Esc both stop the job.
    const auto cancel = guarded([stop = job.stop]() mutable { stop.request_stop(); });
    auto *progress = new GoToProgress(this, cancel);
    progress->setWindowTitle(QStringLiteral("Go to"));
    progress->setMinimumDuration(kProgressDelayMs);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, cancel);
    connect(progress, &QDialog::rejected, this, cancel);

    auto *watcher = new QFutureWatcher<GoToFound>(this);
    connect(watcher, &QFutureWatcherBase::progressValueChanged, progress,
            guarded([progress](int value) { progress->setValue(value); }));
    QPointer<LogView> shown(view);
    connect(watcher, &QFutureWatcherBase::finished, this,
            guarded([this, watcher, progress, shown, target] {
                m_goToBusy = false;
                watcher->deleteLater();
                progress->release();
                progress->deleteLater();
                progress->hide();
                QFuture<GoToFound> future = watcher->future();
                if (future.resultCount() == 0) {
                    future.waitForFinished(); // rethrows what the job threw
                    return;
                }
                // The tab may have closed meanwhile: nothing to move.
                if (shown)
                    goToFound(shown, target, future.result());
            }));
    watcher->setFuture(job.future);
}

void MainWindow::goToPosition(LogView *view, qint64 position)
{
    view->scrollTo(position);
    // The line gone to is selected, so that it shows and Ctrl+C copies it.
    view->selectLine(
        std::clamp<qint64>(position, 0, std::max<qint64>(0, view->document().maxPos())));
    view->setFocus();
}

void MainWindow::goToFound(LogView *view, const GoToTarget &target, const GoToFound &found)
{
    if (!found.isTime) {
        const LineLocator::Result &line = found.line;
        switch (line.status) {
        case LineLocator::Result::Status::Found:
            goToPosition(view, line.position);
            statusBar()->showMessage(QStringLiteral("Line %1").arg(line.line), kStatusMs);
            return;
        case LineLocator::Result::Status::PastEnd:
            goToPosition(view, line.position);
            msgWarning(
                QStringLiteral("The file has %1 lines; going to the last one.").arg(line.line));
            return;
        case LineLocator::Result::Status::Failed:
            msgError(QStringLiteral("The file could not be read."));
            return;
        case LineLocator::Result::Status::Cancelled:
            return;
        }
        return;
    }
    const TimeSeek::Result &time = found.time;
    using Status = TimeSeek::Result::Status;
    switch (time.status) {
    case Status::Found:
    case Status::AfterLast: {
        goToPosition(view, time.position);
        QString text = QStringLiteral("Line of %1, found in %2 reads.")
                           .arg(timeText(time.lineTime))
                           .arg(time.reads);
        // First, so that a narrow status bar still shows it.
        if (time.approximate)
            text = QStringLiteral("Approximate: the times in this file do not always go "
                                  "forward. ") +
                   text;
        statusBar()->showMessage(text, kStatusMs);
        if (time.status == Status::AfterLast)
            msgWarning(
                QStringLiteral("Every time in the file is before %1; going to the last "
                               "line with a time.")
                    .arg(target.dateless ? QStringLiteral("that time") : timeText(target.time)));
        return;
    }
    case Status::NoTimestamps:
        msgWarning(QStringLiteral("No line of this file starts with a time Ravelin reads "
                                  "(ISO 8601, syslog, Apache or nginx, Unix seconds or "
                                  "milliseconds)."));
        return;
    case Status::Failed:
        msgError(QStringLiteral("The file could not be read."));
        return;
    case Status::Cancelled:
        return;
    }
}
