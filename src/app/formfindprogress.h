#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include <exception>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TQzBinHex;

// The window every interactive search runs under. It is made once and
// shown for each search as soon as that search has started (a step that
// cannot run shows its message alone): it fades in so that a short search
// is never seen, takes the keyboard so that Escape cancels, shows how far
// the search got, reports "not found" and errors, and selects the match
// found.
class TFormViewFindProgress final : public QDialog
{
public:
    // Called after a successful search with its text, its options (without
    // the start-at-position bit) and the start of the match.
    using FoundEvent = std::function<void(const QString &text, quint8 options, qint64 position)>;

    static constexpr int kFadeStepMs = 100;
    static constexpr int kLabelWidth = 360;

    explicit TFormViewFindProgress(QWidget *parent = nullptr);
    TFormViewFindProgress(const TFormViewFindProgress &) = delete;
    TFormViewFindProgress &operator=(const TFormViewFindProgress &) = delete;

    QPointer<TQzBinHex> RunView;
    QString RunText;
    quint8 RunOptions = 0;
    bool RunFirst = true;
    bool RunPrevious = false;
    // The user cancelled the last run.
    bool Cancelled = false;
    FoundEvent OnFound;
    // Where a FindFirst run starts (negative: from its options).
    qint64 RunStartPos = -1;
    // A step of a longer command: nothing is selected or recorded and errors
    // are thrown from Run; only a miss is reported. Both reset after each run.
    bool RunQuiet = false;

    // Runs the search, modal while the window shows; returns once the search
    // is over. True when it found a match.
    bool Run();

    // 0 (transparent) to 255 (opaque).
    int AlphaBlendValue() const { return m_alpha; }
    void SetAlphaBlendValue(int value);

    void Timer2Timer();
    void btnCancelClick();
    // The viewer's progress event while the search runs.
    void SearchProgress(qint64 currentPos, qint64 maximalPos, bool &continueSearching);

    QLabel *labSearch = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *labPercent = nullptr;
    QPushButton *btnCancel = nullptr;
    QTimer *Timer2 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape: the same as Cancel; the window closes itself when the search ends.
    void reject() override;

private:
    void Prepare();
    void ShowUp();
    // Shows what the search threw; true when it was the search's own error.
    bool ReportError(const std::exception_ptr &error);
    void ReportNotFound();
    QString SearchingCaption() const;

    int m_alpha = 0;
    bool m_running = false;
};
