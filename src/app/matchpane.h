#pragma once

#include "viewer/matchedlines.h"
#include "viewer/matchinglines.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <stop_token>

class BackgroundJobs;
class LogView;
class QLabel;
class QSplitter;
class QTimer;
class QToolButton;
class QWidget;
class PaneMarker;
class MatchDecorator;

// The matching-lines pane of one tab: below the log, a view of its own over
// the lines that hold the quick find text (or, inverted, none). A job lists
// them from the top; appended lines are listed as the log grows, and a log
// truncated, replaced or read again is listed afresh. A row leads the log
// to its line; the row of the log's place is marked.
class MatchPane final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kDefaultLimit = 10'000'000;

    // Splits the log's page: the log above, the pane below.
    MatchPane(LogView *log, BackgroundJobs &jobs);
    ~MatchPane() override;

    LogView *log() const;
    LogView *view() const { return m_view; }
    QWidget *box() const { return m_box; }
    QSplitter *splitter() const { return m_splitter; }
    // The page a log's widgets sit on, split or not.
    static QWidget *sheetOf(LogView *log);
    static MatchPane *of(LogView *log);

    // Lists the lines that pass filter afresh and shows the pane.
    void list(const LineFilter &filter);
    const LineFilter &filter() const { return m_filter; }
    void setLimit(qint64 lines) { m_limit = std::max<qint64>(1, lines); }
    // Rows kept, and passing lines left out past the limit.
    qint64 rowCount() const { return m_lines.count(); }
    qint64 leftOut() const { return m_leftOut; }
    bool running() const { return m_job != nullptr; }
    void cancel();
    void close();
    bool isOpen() const;
    // The pane's share of the split, 0 to 1.
    double ratio() const;
    void setRatio(double ratio);
    QString statusText() const;

    // Moves the log to the line of a pane position and selects its match.
    void goToRow(qint64 panePos);

Q_SIGNALS:
    // The rows, the count or the state changed.
    void changed();

private:
    struct Job;
    void start(bool appended);
    void takeRows();
    void jobEnded();
    void logReloaded();
    void refreshView(bool keepPosition);
    void updateMarker();
    void applyLogFormat();
    QString labelAt(qint64 panePos) const;
    // What the pane's view reads now.
    qint64 rowsShown() const;
    MatchedLinesSource::Tail shownTail() const;
    bool eventFilter(QObject *watched, QEvent *event) override;

    QPointer<LogView> m_log;
    BackgroundJobs &m_jobs;
    QSplitter *m_splitter = nullptr;
    QWidget *m_box = nullptr;
    LogView *m_view = nullptr;
    QWidget *m_viewport = nullptr;
    QLabel *m_status = nullptr;
    QToolButton *m_invert = nullptr;
    QToolButton *m_cancel = nullptr;
    QTimer *m_refresh = nullptr;
    std::shared_ptr<PaneMarker> m_marker;
    std::shared_ptr<MatchDecorator> m_matches;

    LineFilter m_filter;
    qint64 m_limit = kDefaultLimit;
    MatchedLines m_lines;
    MatchedLinesSource::Tail m_tail;
    qint64 m_resumeAt = 0;
    qint64 m_leftOut = 0;
    int m_percent = 0;
    bool m_cancelled = false;
    bool m_moreAppended = false;
    bool m_ratioSet = false;
    QString m_error;
    std::shared_ptr<Job> m_job;
};
