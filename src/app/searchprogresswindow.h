#pragma once

#include "viewer/inputhold.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <exception>
#include <functional>

class BackgroundJobs;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class LogView;

// The window every interactive search runs under. It is made once and
// watches each search, which runs as a job of its viewer's document, and
// shows only once a search has run for kShowDelayMs (a step that cannot run
// shows its message alone): it fades in so that a short search is never
// seen, is modal and takes the keyboard so that Escape cancels, shows how
// far the search got, reports "not found" and errors, and selects the match
// found. Until it shows, the user's input is held off as a modal window
// would, and Escape already cancels.
class SearchProgressWindow final : public QDialog
{
public:
    // Called after a successful search with its text, its options (without
    // the start-at-position bit) and the start of the match.
    using FoundEvent = std::function<void(const QString &text, quint8 options, qint64 position)>;
    // Called once a run is over, with whether it found a match.
    using DoneEvent = std::function<void(bool found)>;

    static constexpr int kFadeStepMs = 100;
    // A window mapped and unmapped within a few milliseconds can leave the
    // keyboard with nobody under some window managers; the fade keeps it
    // invisible this long anyway.
    static constexpr int kShowDelayMs = 200;
    static constexpr int kLabelWidth = 360;

    explicit SearchProgressWindow(QWidget *parent = nullptr);
    SearchProgressWindow(const SearchProgressWindow &) = delete;
    SearchProgressWindow &operator=(const SearchProgressWindow &) = delete;

    // Where the searches run; set before the first run.
    BackgroundJobs *jobs = nullptr;
    QPointer<LogView> runView;
    QString runText;
    quint8 runOptions = 0;
    bool runFirst = true;
    bool runPrevious = false;
    // The user cancelled the last run.
    bool cancelled = false;
    FoundEvent onFound;
    // Where a FindFirst run starts (negative: from its options).
    qint64 runStartPos = -1;
    // A step of a longer command: nothing is selected or recorded and errors
    // go to the general error report after done; only a miss is reported.
    // Both reset after each run.
    bool runQuiet = false;

    // Starts the search and returns; done follows when it is over, at once
    // for a search that could not start. Nothing starts while a run is on.
    void run(DoneEvent done);
    bool running() const { return m_running; }

    // 0 (transparent) to 255 (opaque).
    int alphaBlendValue() const { return m_alpha; }
    void setAlphaBlendValue(int value);

    void fadeStep();
    void cancelClicked();
    // The viewer's progress event while the search runs.
    void searchProgress(qint64 currentPos, qint64 maximalPos, bool &continueSearching);

    QLabel *labSearch = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *labPercent = nullptr;
    QPushButton *btnCancel = nullptr;
    QTimer *fadeTimer = nullptr;
    QTimer *showTimer = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape: the same as Cancel; the window closes itself when the search ends.
    void reject() override;

private:
    void searchFinished();
    // Ends the run: the window goes, the outcome is told, done follows.
    void finish(bool found, const std::exception_ptr &error, bool abandoned);
    void prepare();
    void showUp();
    // Gives the keyboard back to the viewer's window once this one is gone.
    void handBackKeyboard();
    // Shows what the search threw; true when it was the search's own error.
    bool reportError(const std::exception_ptr &error);
    void reportNotFound();
    QString searchingCaption() const;

    int m_alpha = 0;
    bool m_running = false;
    bool m_quiet = false;
    InputHold m_hold;
    DoneEvent m_done;
    QMetaObject::Connection m_progressLink;
    QMetaObject::Connection m_finishedLink;
};
