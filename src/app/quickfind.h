#pragma once

#include "viewer/matchcount.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <stop_token>

class BackgroundJobs;
class FindBar;
class LogView;
class MatchDecorator;
template <typename T>
class QFutureWatcher;

// The quick find of one tab: its bar under the viewer, the marks of every
// match on screen, the search as the user types and the count of the
// matches in the whole file, kept up as the file grows.
class QuickFind final : public QObject
{
    Q_OBJECT

public:
    // Puts the bar at the foot of the viewer's page (its parent).
    QuickFind(LogView *view, BackgroundJobs &jobs);
    ~QuickFind() override;

    FindBar *bar() const { return m_bar; }
    LogView *view() const;
    std::shared_ptr<MatchDecorator> decorator() const { return m_decorator; }

    void open();
    // Hides the bar and its marks; the keyboard goes back to the text.
    void close();
    bool isOpen() const;
    // The options the bar's searches run with.
    quint8 searchOptions() const;
    // At each key: the marks on screen follow the text at once. False when
    // there is nothing to look for.
    bool marksChanged();
    // The text and toggles settled: a search from the top of the view, then
    // the count, follow.
    void patternChanged();
    // The viewer read its file again: the count goes on over appended
    // bytes, or starts again.
    void sourceChanged();
    // Tells the number of the match the viewer stands on.
    void showCount();
    const MatchCount &count() const { return m_count; }
    bool counting() const { return m_countJob != nullptr || m_countPending; }

    // Called when a search typed into the bar found a match.
    std::function<void(const QString &text, quint8 options, qint64 position)> onFound;

    // "1 204": digits grouped by threes with a space.
    static QString groupDigits(qint64 value);
    // What the bar says of the count; empty while there is no text.
    static QString countText(bool hasText, bool counting, const MatchCount &count, qint64 current);

private:
    struct CountJob;
    void typedSearch();
    void typedSearchEnded();
    void startCount(bool appendedOnly);
    void stopCount();
    void countEnded(const std::shared_ptr<CountJob> &job);
    void viewOptionsChanged();
    bool regexAllowed() const;

    QPointer<LogView> m_view;
    BackgroundJobs &m_jobs;
    FindBar *m_bar = nullptr;
    std::shared_ptr<MatchDecorator> m_decorator;
    // Where searches typed into the bar start: the top of the view when
    // the typing began.
    qint64 m_anchor = -1;
    bool m_typedRunning = false;
    bool m_retype = false;
    bool m_countPending = false; // counted once the typed search ends
    bool m_moreAppended = false; // the file grew while it was counted
    MatchCount m_count;
    std::shared_ptr<CountJob> m_countJob;
    QString m_countedText; // the text and options m_count is of
    quint8 m_countedOptions = 0;
    Encoding m_countedEncoding;
};
