#pragma once

#include <QElapsedTimer>

#include <memory>

class QProgressDialog;

// Progress of a long print run with a way out: a window with Cancel comes
// up once the run has taken longer than a second or passed 2000 pages.
class TQzPrintProgress
{
public:
    static constexpr int ShowAfterMs = 1000;
    static constexpr int ShowAfterPages = 2000;

    TQzPrintProgress();
    ~TQzPrintProgress();
    TQzPrintProgress(const TQzPrintProgress &) = delete;
    TQzPrintProgress &operator=(const TQzPrintProgress &) = delete;

    // Before each page: pages printed so far and the share of the data done
    // (0..1). False once the user cancelled.
    bool Step(int pages, double done);
    bool Shown() const { return m_dialog != nullptr; }
    QProgressDialog *Dialog() const { return m_dialog.get(); }

private:
    QElapsedTimer m_clock;
    std::unique_ptr<QProgressDialog> m_dialog;
};
