#pragma once

#include "viewer/inputhold.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>

class QProgressBar;
class QProgressDialog;

// Drives a print run from the event loop, one page per turn, so that the
// program stays responsive while it prints. A window with Cancel comes up
// once the run has taken longer than a second or passed 2000 pages; until
// then the user's input is held off as the modal window holds it later.
class PrintProgress final : public QObject
{
public:
    static constexpr int showAfterMs = 1000;
    static constexpr int showAfterPages = 2000;

    // Where a run stands before a page: pages printed so far and the share
    // of the data done (0..1).
    struct Position
    {
        int pages = 0;
        double done = 0;
    };
    // The end of a run: whether it went to its last page (false: cancelled)
    // and what a page threw.
    using Done = std::function<void(bool completed, const std::exception_ptr &error)>;

    PrintProgress();
    ~PrintProgress() override;
    PrintProgress(const PrintProgress &) = delete;
    PrintProgress &operator=(const PrintProgress &) = delete;

    // Where set, asked before each page in place of the window; false cancels.
    std::function<bool(int pages, double done)> ask;

    // Starts the run and returns: printPage prints the next page and tells
    // whether another follows; position says where the run stands. done
    // follows once the run is over, with the window gone.
    void start(std::function<Position()> position, std::function<bool()> printPage, Done done);
    bool running() const { return m_turn.isActive(); }
    // Ends a running run before its next page, as Cancel does.
    void cancel();

    // Before each page: shows the window when it is due and where the run
    // stands in it. False once the user cancelled.
    bool step(int pages, double done);
    bool shown() const { return m_dialog != nullptr; }
    QProgressDialog *dialog() const { return m_dialog.get(); }

private:
    void printOnePage();
    void end(bool completed, const std::exception_ptr &error);

    QElapsedTimer m_clock;
    QTimer m_turn;
    std::unique_ptr<QProgressDialog> m_dialog;
    QProgressBar *m_bar = nullptr; // the dialog's
    std::function<Position()> m_position;
    std::function<bool()> m_printPage;
    Done m_done;
    bool m_cancelled = false;
    InputHold m_hold;
};
