#include "print/printprogress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QProgressDialog>

#include <algorithm>
#include <cmath>
#include <utility>

PrintProgress::PrintProgress()
{
    m_clock.start();
    m_turn.setInterval(0);
    connect(&m_turn, &QTimer::timeout, this, [this] { printOnePage(); });
    m_hold.onEscape = [this] { m_cancelled = true; };
    m_hold.holdCloses = true;
}

PrintProgress::~PrintProgress() = default;

bool PrintProgress::step(int pages, double done)
{
    if (m_cancelled)
        return false;
    if (ask)
        return ask(pages, done);
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
        // Modal from here on: it holds the input off itself.
        m_hold.set(false);
        m_dialog->show();
    }
    m_dialog->setLabelText(QStringLiteral("Printing page %1...").arg(pages + 1));
    // On the bar itself: a modal dialog's own setter would run the event
    // loop from inside the page.
    m_bar->setValue(int(std::lround(std::clamp(done, 0.0, 1.0) * 1000)));
    return !m_dialog->wasCanceled();
}

void PrintProgress::start(std::function<Position()> position, std::function<bool()> printPage,
                          Done done)
{
    m_position = std::move(position);
    m_printPage = std::move(printPage);
    m_done = std::move(done);
    m_cancelled = false;
    m_clock.restart();
    m_hold.set(true);
    m_turn.start();
}

void PrintProgress::cancel()
{
    m_cancelled = true;
}

void PrintProgress::printOnePage()
{
    // Nothing may leave the handler: a page's error goes to done.
    try {
        const Position at = m_position();
        if (!step(at.pages, at.done)) {
            end(false, nullptr);
            return;
        }
        if (!m_printPage())
            end(true, nullptr);
    } catch (...) {
        end(false, std::current_exception());
    }
}

void PrintProgress::end(bool completed, const std::exception_ptr &error)
{
    m_turn.stop();
    m_hold.set(false);
    if (m_dialog)
        m_dialog->hide();
    m_position = nullptr;
    m_printPage = nullptr;
    if (const Done done = std::exchange(m_done, nullptr))
        done(completed, error);
}
