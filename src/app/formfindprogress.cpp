#include "app/formfindprogress.h"

#include "search/qzstreamsearch.h"
#include "search/searcherror.h"
#include "text/contract.h"
#include "text/guard.h"
#include "text/messages.h"
#include "text/sproc.h"
#include "viewer/qzbinhex.h"

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

TFormViewFindProgress::TFormViewFindProgress(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormViewFindProgress"));
    setWindowTitle(QStringLiteral("Search"));
    // A title bar without a close box: the window goes when the search ends.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);

    labSearch = new QLabel(QStringLiteral("Searching:"), this);
    labSearch->setObjectName(QStringLiteral("labSearch"));
    labSearch->setTextFormat(Qt::PlainText);
    // A long search text is elided, not allowed to widen the window past
    // the screen.
    labSearch->setFixedWidth(kLabelWidth);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    labPercent = new QLabel(QStringLiteral("100%"), this);
    labPercent->setObjectName(QStringLiteral("labPercent"));
    labPercent->setMinimumWidth(
        labPercent->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
    labPercent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);

    auto *bar = new QHBoxLayout;
    bar->addWidget(ProgressBar1, 1);
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

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(kFadeStepMs);
    connect(Timer2, &QTimer::timeout, this, Guarded([this] { Timer2Timer(); }));
    connect(btnCancel, &QPushButton::clicked, this, Guarded([this] { btnCancelClick(); }));
    SetAlphaBlendValue(0);
}

bool TFormViewFindProgress::Run()
{
    // Whatever ends this run, the next one starts as the caller sets it.
    const bool quiet = std::exchange(RunQuiet, false);
    const qint64 startPos = std::exchange(RunStartPos, -1);
    Cancelled = false;
    if (!RunView)
        return false;
    Prepare();
    RunView->OnSearchProgress = [this](qint64 current, qint64 maximal, bool &go) {
        // The first report: the search has really started.
        if (!isVisible())
            ShowUp();
        SearchProgress(current, maximal, go);
    };
    m_running = true;
    bool found = false;
    std::exception_ptr error;
    try {
        found = RunFirst ? RunView->FindFirst(RunText, TQzStreamSearchOptions::fromInt(RunOptions),
                                              startPos)
                         : RunView->FindNext(RunPrevious);
    } catch (...) {
        error = std::current_exception();
    }
    m_running = false;
    // The viewer may have gone while the loop ran (its file deleted and the
    // tab closed): nothing left to select.
    TQzBinHex *view = RunView;
    if (view)
        view->OnSearchProgress = nullptr;
    Timer2->stop();
    hide();

    if (error) {
        if (quiet)
            std::rethrow_exception(error);
        // A fault of the program is not a miss.
        if (ReportError(error))
            ReportNotFound();
        return false;
    }
    if (found && view) {
        if (!quiet) {
            const qint64 start = view->SearchResultStart();
            if (OnFound)
                OnFound(RunText, quint8(RunOptions & ~quint8(soFromPosition)), start);
            view->SetSelection(start, view->SearchResultLength(), true, true, true);
        }
        return true;
    }
    // Cut short, the search says nothing of the text.
    if (!Cancelled)
        ReportNotFound();
    return false;
}

void TFormViewFindProgress::SetAlphaBlendValue(int value)
{
    m_alpha = std::clamp(value, 0, 255);
    setWindowOpacity(m_alpha / 255.0);
}

void TFormViewFindProgress::Prepare()
{
    labSearch->setText(SearchingCaption());
    labPercent->setText(QStringLiteral("0%"));
    ProgressBar1->setValue(0);
    ProgressBar1->setEnabled(true);
    btnCancel->setEnabled(true);
    SetAlphaBlendValue(0);
}

void TFormViewFindProgress::ShowUp()
{
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
    Timer2->start();
}

QString TFormViewFindProgress::SearchingCaption() const
{
    const QString caption = FormatStrW(QStringLiteral("Searching: \"%s\""),
                                       {RunView ? RunView->SearchString() : QString()});
    return labSearch->fontMetrics().elidedText(caption, Qt::ElideMiddle, kLabelWidth);
}

void TFormViewFindProgress::Timer2Timer()
{
    int alpha = m_alpha + (m_alpha > 4 ? 50 : 1);
    if (alpha >= 250) {
        alpha = 255;
        Timer2->stop();
    }
    SetAlphaBlendValue(alpha);
}

bool TFormViewFindProgress::ReportError(const std::exception_ptr &error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const SearchError &e) {
        text = e.message();
    } catch (const ContractError &e) {
        text = e.message();
    } catch (...) {
        ReportCurrentException();
        return false;
    }
    if (text.isEmpty())
        text = QStringLiteral("Error occured");
    ShowMessage(kSearchError, text, MsgIcon::Warning);
    return true;
}

void TFormViewFindProgress::ReportNotFound()
{
    ShowMessage(kSearchError,
                FormatStrW(QStringLiteral("Cannot find text: \"%s\""),
                           {RunView ? RunView->SearchString() : QString()}),
                MsgIcon::Warning);
}

void TFormViewFindProgress::SearchProgress(qint64 currentPos, qint64 maximalPos,
                                           bool &continueSearching)
{
    const qint64 percent =
        maximalPos > 0 ? std::clamp<qint64>(currentPos * 100 / maximalPos, 0, 100) : 0;
    labSearch->setText(SearchingCaption());
    labPercent->setText(QStringLiteral("%1%").arg(percent));
    ProgressBar1->setValue(int(percent));
    continueSearching = !Cancelled;
}

void TFormViewFindProgress::btnCancelClick()
{
    Cancelled = true;
    if (RunView)
        RunView->CancelSearch();
}

void TFormViewFindProgress::reject()
{
    if (m_running)
        RunGuarded([this] { btnCancelClick(); });
}

void TFormViewFindProgress::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}
