#pragma once

#include <QElapsedTimer>

#include <functional>
#include <memory>

class QProgressBar;
class QProgressDialog;

// Progress of a long print run with a way out: a window with Cancel comes
// up once the run has taken longer than a second or passed 2000 pages.
class PrintProgress
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

    PrintProgress();
    ~PrintProgress();
    PrintProgress(const PrintProgress &) = delete;
    PrintProgress &operator=(const PrintProgress &) = delete;

    // Runs a print job: printPage prints the next page and tells whether
    // another follows; position says where the run stands. Until the window
    // is due the pages follow one another; from then on the window's own
    // loop prints one page per turn, so that it repaints and its Cancel is
    // heard between pages. False when the user cancelled. What printPage
    // throws comes out of run, once the window is closed.
    bool run(const std::function<Position()> &position, const std::function<bool()> &printPage);

    // Before each page: shows the window when it is due and where the run
    // stands in it. False once the user cancelled.
    bool step(int pages, double done);
    bool shown() const { return m_dialog != nullptr; }
    QProgressDialog *dialog() const { return m_dialog.get(); }

private:
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_dialog;
    QProgressBar *m_bar = nullptr; // the dialog's
};
