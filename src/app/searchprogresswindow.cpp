#include "app/searchprogresswindow.h"

#include "search/streamsearch.h"
#include "search/searcherror.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/messages.h"
#include "text/stringutil.h"
#include "viewer/documentsearch.h"
#include "viewer/logview.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <utility>

namespace {
const QString kSearchError = QStringLiteral("Search error");
} // namespace

SearchProgressWindow::SearchProgressWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormViewFindProgress"));
    setWindowTitle(QStringLiteral("Search"));
    // A title bar without a close box: the window goes when the search ends.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    // Escape cancels before the window shows as it does after.
    m_hold.onEscape = [this] {
        if (m_running)
            cancelClicked();
    };

    labSearch = new QLabel(QStringLiteral("Searching:"), this);
    labSearch->setObjectName(QStringLiteral("labSearch"));
    labSearch->setTextFormat(Qt::PlainText);
    // A long search text is elided, not allowed to widen the window past
    // the screen.
    labSearch->setFixedWidth(kLabelWidth);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("ProgressBar"));
    progressBar->setRange(0, 100);
    progressBar->setTextVisible(false);
    labPercent = new QLabel(QStringLiteral("100%"), this);
    labPercent->setObjectName(QStringLiteral("labPercent"));
    labPercent->setMinimumWidth(
        labPercent->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
    labPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);

    auto *bar = new QHBoxLayout;
    bar->addWidget(progressBar, 1);
    bar->addWidget(labPercent);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnCancel);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(labSearch);
    layout->addLayout(bar);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    fadeTimer = new QTimer(this);
    fadeTimer->setObjectName(QStringLiteral("FadeTimer"));
    fadeTimer->setInterval(kFadeStepMs);
    connect(fadeTimer, &QTimer::timeout, this, guarded([this] { fadeStep(); }));
    showTimer = new QTimer(this);
    showTimer->setObjectName(QStringLiteral("ShowTimer"));
    showTimer->setSingleShot(true);
    showTimer->setInterval(kShowDelayMs);
    connect(showTimer, &QTimer::timeout, this, guarded([this] {
                if (m_running && !isVisible())
                    showUp();
            }));
    connect(btnCancel, &QPushButton::clicked, this, guarded([this] { cancelClicked(); }));
    setAlphaBlendValue(0);
}

void SearchProgressWindow::run(DoneEvent done)
{
    if (m_running)
        return;
    // Whatever ends this run, the next one starts as the caller sets it.
    m_quiet = std::exchange(runQuiet, false);
    const qint64 startPos = std::exchange(runStartPos, -1);
    cancelled = false;
    m_done = std::move(done);
    if (!runView || !jobs) {
        finish(false, nullptr, false);
        return;
    }
    prepare();
    LogView *view = runView;
    DocumentSearch *search = &view->search();
    m_progressLink = connect(search, &DocumentSearch::progress, this,
                             guarded([this](qint64 current, qint64 maximal) {
                                 bool go = true;
                                 searchProgress(current, maximal, go);
                                 if (!go && runView)
                                     runView->cancelSearch();
                             }));
    m_finishedLink =
        connect(search, &DocumentSearch::finished, this, guarded([this] { searchFinished(); }));
    m_running = true;
    bool started = false;
    std::exception_ptr error;
    try {
        started = runFirst ? search->findFirst(*jobs, view, runText,
                                               SearchOptions::fromInt(runOptions), startPos)
                           : search->findNext(*jobs, view, runPrevious);
    } catch (...) {
        error = std::current_exception();
    }
    if (!started) {
        finish(false, error, false);
        return;
    }
    m_hold.set(true);
    showTimer->start();
}

void SearchProgressWindow::searchFinished()
{
    const DocumentSearch *search = runView ? &runView->search() : nullptr;
    using Outcome = DocumentSearch::Outcome;
    const Outcome outcome = search ? search->outcome() : Outcome::Abandoned;
    if (outcome == Outcome::Abandoned) {
        // The viewer lost its file while the search ran (its tab closed):
        // nothing to tell, nothing to select.
        runView = nullptr;
        finish(false, nullptr, true);
        return;
    }
    finish(outcome == Outcome::Found, search->error(), false);
}

void SearchProgressWindow::finish(bool found, const std::exception_ptr &error, bool abandoned)
{
    disconnect(m_progressLink);
    disconnect(m_finishedLink);
    m_hold.set(false);
    m_running = false;
    fadeTimer->stop();
    showTimer->stop();
    const bool shown = isVisible();
    hide();
    if (shown)
        handBackKeyboard();
    const DoneEvent done = std::exchange(m_done, nullptr);
    const auto tell = [&done](bool result) {
        if (done)
            done(result);
    };
    LogView *view = runView;

    if (error) {
        if (m_quiet) {
            tell(false);
            std::rethrow_exception(error);
        }
        // A fault of the program is not a miss.
        if (reportError(error))
            reportNotFound();
        tell(false);
        return;
    }
    if (found && view) {
        if (!m_quiet) {
            const DocumentSearch &search = view->search();
            const qint64 start = search.resultStart();
            if (onFound)
                onFound(runText, quint8(runOptions & ~quint8(soFromPosition)), start);
            view->setSelection(start, search.resultLength(), true, true, true);
        }
        tell(true);
        return;
    }
    // Cut short, the search says nothing of the text; its viewer gone, there
    // is nobody to tell.
    if (!cancelled && !abandoned)
        reportNotFound();
    tell(false);
}

void SearchProgressWindow::handBackKeyboard()
{
    // The keyboard this window took goes back to the viewer: a window
    // manager may otherwise leave it with nobody, and the next F3 would be
    // lost. Asked again a moment later, for a manager that handles the
    // unmap after the first request.
    const QPointer<LogView> view = runView;
    const auto activate = [view] {
        if (!view)
            return;
        view->window()->activateWindow();
        view->setFocus(Qt::OtherFocusReason);
    };
    activate();
    QTimer::singleShot(kFadeStepMs, this, guarded([activate] {
                           if (!QApplication::activeWindow() && !QApplication::activeModalWidget())
                               activate();
                       }));
}

void SearchProgressWindow::setAlphaBlendValue(int value)
{
    m_alpha = std::clamp(value, 0, 255);
    setWindowOpacity(m_alpha / 255.0);
}

void SearchProgressWindow::prepare()
{
    labSearch->setText(searchingCaption());
    labPercent->setText(QStringLiteral("0%"));
    progressBar->setValue(0);
    progressBar->setEnabled(true);
    btnCancel->setEnabled(true);
    setAlphaBlendValue(0);
}

void SearchProgressWindow::showUp()
{
    // Modal from here on: it holds the input off itself.
    m_hold.set(false);
    show();
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // The keyboard comes here at once, so that Escape cancels from the
    // start; left with the main window it would be lost there.
    raise();
    activateWindow();
    btnCancel->setFocus(Qt::ActiveWindowFocusReason);
    fadeTimer->start();
}

QString SearchProgressWindow::searchingCaption() const
{
    const QString caption = formatStrW(QStringLiteral("Searching: \"%s\""),
                                       {runView ? runView->search().text() : QString()});
    return labSearch->fontMetrics().elidedText(caption, Qt::ElideMiddle, kLabelWidth);
}

void SearchProgressWindow::fadeStep()
{
    int alpha = m_alpha + (m_alpha > 4 ? 50 : 1);
    if (alpha >= 250) {
        alpha = 255;
        fadeTimer->stop();
    }
    setAlphaBlendValue(alpha);
}

bool SearchProgressWindow::reportError(const std::exception_ptr &error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const SearchError &e) {
        text = e.message();
    } catch (const ContractError &e) {
        text = e.message();
    } catch (...) {
        reportCurrentException();
        return false;
    }
    if (text.isEmpty())
        text = QStringLiteral("Error occured");
    showMessage(kSearchError, text, MsgIcon::Warning);
    return true;
}

void SearchProgressWindow::reportNotFound()
{
    showMessage(kSearchError,
                formatStrW(QStringLiteral("Cannot find text: \"%s\""),
                           {runView ? runView->search().text() : QString()}),
                MsgIcon::Warning);
}

void SearchProgressWindow::searchProgress(qint64 currentPos, qint64 maximalPos,
                                          bool &continueSearching)
{
    const qint64 percent =
        maximalPos > 0 ? std::clamp<qint64>(currentPos * 100 / maximalPos, 0, 100) : 0;
    labSearch->setText(searchingCaption());
    labPercent->setText(QStringLiteral("%1%").arg(percent));
    progressBar->setValue(int(percent));
    continueSearching = !cancelled;
}

void SearchProgressWindow::cancelClicked()
{
    cancelled = true;
    if (runView)
        runView->cancelSearch();
}

void SearchProgressWindow::reject()
{
    if (m_running)
        runGuarded([this] { cancelClicked(); });
}

void SearchProgressWindow::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}
