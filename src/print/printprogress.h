#pragma once

#include <QElapsedTimer>

#include <memory>

class QProgressDialog;

// Progress of a long print run with a way out: a window with Cancel comes
// up once the run has taken longer than a second or passed 2000 pages.
class PrintProgress
{
public:
    static constexpr int showAfterMs = 1000;
    static constexpr int showAfterPages = 2000;

    PrintProgress();
    ~PrintProgress();
    PrintProgress(const PrintProgress &) = delete;
    PrintProgress &operator=(const PrintProgress &) = delete;

    // Before each page: pages printed so far and the share of the data done
    // (0..1). False once the user cancelled.
    bool step(int pages, double done);
    bool shown() const { return m_dialog != nullptr; }
    QProgressDialog *dialog() const { return m_dialog.get(); }

private:
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_dialog;
};
