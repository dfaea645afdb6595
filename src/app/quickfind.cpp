#include "app/quickfind.h"

#include "app/findbar.h"
#include "app/matchpane.h"
#include "search/regexstreamsearcher.h"
#include "text/guard.h"
#include "viewer/backgroundjobs.h"
#include "viewer/documentsearch.h"
#include "viewer/filesource.h"
#include "viewer/logview.h"
#include "viewer/matchdecorator.h"

#include <QFutureWatcher>
#include <QLayout>
#include <QToolButton>

struct QuickFind::CountJob
{
    BackgroundJobs::Job<MatchCount> job;
    QFutureWatcher<MatchCount> *watcher = nullptr;
};

QuickFind::QuickFind(LogView *view, BackgroundJobs &jobs)
    : m_view(view), m_jobs(jobs), m_decorator(std::make_shared<MatchDecorator>())
{
    QWidget *sheet = MatchPane::sheetOf(view);
    m_bar = new FindBar(sheet);
    m_bar->hide();
    if (sheet->layout())
        sheet->layout()->addWidget(m_bar);
    // Gone with the page, like the viewer.
    setParent(m_bar);

    connect(m_bar, &FindBar::patternTyped, this, guarded([this] { marksChanged(); }));
    connect(m_bar, &FindBar::patternChanged, this, guarded([this] { patternChanged(); }));
    connect(m_bar, &FindBar::closeRequested, this, guarded([this] { close(); }));
    connect(&view->search(), &DocumentSearch::finished, this, guarded([this] {
        if (m_typedRunning)
            typedSearchEnded();
        else
            showCount();
    }));
    connect(view, &LogView::fileReloaded, this, guarded([this] { sourceChanged(); }));
    connect(view, &LogView::optionsChanged, this, guarded([this] { viewOptionsChanged(); }));
}

QuickFind::~QuickFind()
{
    stopCount();
}

LogView *QuickFind::view() const
{
    return m_view;
}

bool QuickFind::regexAllowed() const
{
    switch (m_view->document().mode()) {
    case vbmodeUnicode:
        return true;
    case vbmodeText:
    case vbmodeBinary:
    case vbmodeHex:
        return StreamSearch::regexSupportsEncoding(m_view->document().textEncoding);
    default:
        return false;
    }
}

void QuickFind::open()
{
    if (!m_view)
        return;
    m_bar->setRegexAllowed(regexAllowed());
    m_anchor = m_view->viewPos();
    m_bar->open();
    if (!m_bar->text().isEmpty())
        patternChanged();
}

void QuickFind::close()
{
    stopCount();
    m_countPending = false;
    m_countedText.clear();
    m_bar->hide();
    m_decorator->setPattern({});
    if (!m_view)
        return;
    if (m_typedRunning) {
        m_retype = false;
        m_view->cancelSearch();
    }
    m_view->redraw();
    m_view->setFocus(Qt::OtherFocusReason);
}

bool QuickFind::isOpen() const
{
    return !m_bar->isHidden();
}

quint8 QuickFind::searchOptions() const
{
    const QuickMatcher::Pattern pattern = m_bar->pattern();
    SearchOptions options;
    options.setFlag(soCaseSensitive, pattern.caseSensitive);
    options.setFlag(soWholeWords, pattern.wholeWords);
    options.setFlag(soRegex, pattern.regex);
    return quint8(options.toInt());
}

bool QuickFind::marksChanged()
{
    if (!m_view || !isOpen())
        return false;
    QuickMatcher::Pattern pattern = m_bar->pattern();
    QString error;
    if (pattern.regex && !pattern.text.isEmpty()) {
        // Checked by the engine the search runs, so the field tells what a
        // search would.
        RegexStreamSearcher check;
        check.wholeWords = pattern.wholeWords;
        if (!check.setMatchPattern(pattern.text.toUtf8(), &error) && error.isEmpty())
            error = QStringLiteral("Invalid regular expression");
    }
    m_bar->setPatternError(error);
    if (!error.isEmpty())
        pattern.text.clear();
    if (pattern == m_decorator->matcher().pattern())
        return !pattern.text.isEmpty();
    m_decorator->setPattern(pattern);
    m_view->redraw();
    return !pattern.text.isEmpty();
}

void QuickFind::patternChanged()
{
    const bool usable = marksChanged();
    if (!m_view || !isOpen())
        return;
    stopCount();
    m_countPending = false;
    m_count = {};
    if (!usable) {
        m_countedText.clear();
        m_anchor = -1;
        showCount();
        return;
    }
    if (m_anchor < 0)
        m_anchor = m_view->viewPos();
    // The count reads the whole file: it waits until the search has found
    // its match, so that the two never share the disk and the cores.
    m_countedText = m_bar->text();
    m_countPending = true;
    typedSearch();
    if (!m_typedRunning)
        startCount(false);
    showCount();
}

void QuickFind::typedSearch()
{
    // A tab waiting for its file has nothing to search yet.
    if (!m_view->document().sourceAssigned())
        return;
    DocumentSearch &search = m_view->search();
    if (search.running()) {
        // A search of an older text gives way; one of the find dialog's
        // runs ends first.
        if (m_typedRunning) {
            m_retype = true;
            search.cancel();
        }
        return;
    }
    const SearchOptions options = SearchOptions::fromInt(searchOptions()) | soFromPosition;
    m_typedRunning = search.findFirst(m_jobs, m_view, m_bar->text(), options, m_anchor);
}

void QuickFind::typedSearchEnded()
{
    m_typedRunning = false;
    if (std::exchange(m_retype, false)) {
        if (isOpen() && !m_bar->text().isEmpty() && !m_bar->hasPatternError())
            typedSearch();
        if (!m_typedRunning && m_countPending)
            startCount(false);
        return;
    }
    if (m_countPending)
        startCount(false);
    const DocumentSearch &search = m_view->search();
    showCount();
    if (search.outcome() == DocumentSearch::Outcome::Failed && search.error())
        std::rethrow_exception(search.error());
    if (search.outcome() != DocumentSearch::Outcome::Found)
        return;
    m_view->setSelection(search.resultStart(), search.resultLength(), true, true, true);
    if (onFound)
        onFound(search.text(), quint8((search.options() & ~soFromPosition).toInt()),
                search.resultStart());
    showCount();
}

void QuickFind::startCount(bool appendedOnly)
{
    stopCount();
    m_countPending = false;
    const QString text = m_bar->text();
    const quint8 options = searchOptions();
    const Encoding encoding = m_view->document().shownEncoding();
    if (!appendedOnly || text != m_countedText || options != m_countedOptions ||
        encoding != m_countedEncoding)
        m_count = {};
    m_countedText = text;
    m_countedOptions = options;
    m_countedEncoding = encoding;
    const FileSource *shown = m_view->document().source();
    std::shared_ptr<FileSource> source(shown ? shown->openAnother() : nullptr);
    // A stream has no second reader: its matches are not counted.
    if (!source) {
        m_countedText.clear();
        return;
    }
    auto job = std::make_shared<CountJob>();
    job->job =
        m_jobs.start<MatchCount>(m_view, [source, text, encoding, options, base = m_count](
                                             QPromise<MatchCount> &promise, std::stop_token stop) {
            MatchCount count = base;
            if (countMatches(*source, text, encoding, SearchOptions::fromInt(options), stop, count))
                promise.addResult(std::move(count));
        });
    job->watcher = new QFutureWatcher<MatchCount>(this);
    connect(job->watcher, &QFutureWatcherBase::finished, this,
            guarded([this, job] { countEnded(job); }));
    job->watcher->setFuture(job->job.future);
    m_countJob = job;
}

void QuickFind::stopCount()
{
    if (!m_countJob)
        return;
    m_countJob->job.stop.request_stop();
    m_countJob->watcher->disconnect(this);
    m_countJob->watcher->deleteLater();
    m_countJob.reset();
}

void QuickFind::countEnded(const std::shared_ptr<CountJob> &job)
{
    if (job != m_countJob)
        return;
    QFuture<MatchCount> future = job->job.future;
    stopCount();
    try {
        future.waitForFinished();
        if (future.resultCount() > 0)
            m_count = future.result();
    } catch (...) {
        // A count that cannot read the file says nothing; the searches
        // tell the user what is wrong with it.
        m_countedText.clear();
    }
    if (std::exchange(m_moreAppended, false) && !m_countedText.isEmpty())
        startCount(true);
    showCount();
}

void QuickFind::sourceChanged()
{
    if (!m_view || !isOpen() || m_countedText.isEmpty())
        return;
    // Appended bytes are counted on from the last count; anything else
    // may have changed every match.
    const ViewDocument &document = m_view->document();
    const bool appended = document.lastReloadReason() == ReloadReason::Appended &&
                          document.fileSize() >= m_count.scannedTo;
    if (appended && counting())
        m_moreAppended = true;
    else
        startCount(appended);
    showCount();
}

void QuickFind::viewOptionsChanged()
{
    if (!m_view)
        return;
    const bool allowed = regexAllowed();
    const bool changed = allowed != m_bar->btnRegex->isEnabled() ||
                         m_view->document().shownEncoding() != m_countedEncoding;
    m_bar->setRegexAllowed(allowed);
    if (changed && isOpen() && !m_countedText.isEmpty())
        patternChanged();
}

void QuickFind::showCount()
{
    if (!m_view)
        return;
    const DocumentSearch &search = m_view->search();
    const QString text = m_bar->hasPatternError() ? QString() : m_bar->text();
    const qint64 current =
        search.started() && search.text() == text && !search.running() ? search.resultStart() : -1;
    const bool known = !m_countedText.isEmpty() && (m_count.scannedTo > 0 || !counting());
    m_bar->setCountText(
        m_countedText.isEmpty() ? QString() : countText(!text.isEmpty(), !known, m_count, current));
}

QString QuickFind::groupDigits(qint64 value)
{
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

QString QuickFind::countText(bool hasText, bool counting, const MatchCount &count, qint64 current)
{
    if (!hasText)
        return {};
    if (counting)
        return QStringLiteral("counting\u2026");
    if (count.count == 0)
        return QStringLiteral("no matches");
    const qint64 ordinal = current >= 0 ? count.ordinalOf(current) : 0;
    if (ordinal > 0)
        return QStringLiteral("match %1 of %2").arg(groupDigits(ordinal), groupDigits(count.count));
    if (count.count == 1)
        return QStringLiteral("1 match");
    return QStringLiteral("%1 matches").arg(groupDigits(count.count));
}
