#include "print/printprogress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <exception>

PrintProgress::PrintProgress()
{
    m_clock.start();
}

PrintProgress::~PrintProgress() = default;

bool PrintProgress::step(int pages, double done)
{
    if (!m_dialog) {
        if (m_clock.elapsed() <= showAfterMs && pages <= showAfterPages)
            return true;
        m_dialog = std::make_unique<QProgressDialog>(QStringLiteral("Printing..."),
                                                     QStringLiteral("Cancel"), 0, 1000,
                                                     QApplication::activeWindow());
        m_dialog->setWindowTitle(QStringLiteral("Print"));
        auto *label = new QLabel; // the dialog takes it over
        label->setTextFormat(Qt::PlainText);
        m_dialog->setLabel(label);
        m_bar = new QProgressBar; // taken over as well
        m_bar->setRange(0, 1000);
        m_dialog->setBar(m_bar);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->show();
    }
    m_dialog->setLabelText(QStringLiteral("Printing page %1...").arg(pages + 1));
    // On the bar itself: a modal dialog's own setter would run the event
    // loop from inside the page.
    m_bar->setValue(int(std::lround(std::clamp(done, 0.0, 1.0) * 1000)));
    return !m_dialog->wasCanceled();
}

bool PrintProgress::run(const std::function<Position()> &position,
                        const std::function<bool()> &printPage)
{
    for (;;) {
        const Position at = position();
        if (!step(at.pages, at.done))
            return false;
        if (m_dialog)
            break;
        if (!printPage())
            return true;
    }
    // The window is up and the page it announces is still to print.
    bool over = false;
    std::exception_ptr error;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, m_dialog.get(), [&] {
        // Nothing may leave the handler: it is rethrown below.
        try {
            if (!printPage()) {
                over = true;
            } else {
                const Position at = position();
                if (step(at.pages, at.done))
                    return;
            }
        } catch (...) {
            error = std::current_exception();
        }
        turn.stop();
        m_dialog->hide(); // ends exec
    });
    turn.start(0);
    m_dialog->exec();
    turn.stop();
    if (error)
        std::rethrow_exception(error);
    return over;
}
