#include "app/matchpane.h"

#include "app/quickfind.h"
#include "search/searcherror.h"
#include "text/guard.h"
#include "viewer/backgroundjobs.h"
#include "viewer/linescanner.h"
#include "viewer/logview.h"
#include "viewer/matchdecorator.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>
#include <mutex>

// Bands the row of the log's place.
class PaneMarker final : public LineDecorator
{
public:
    static inline const QColor kFore{Qt::white};
    static inline const QColor kBack{0x2a, 0x5d, 0xb0};
    qint64 pos = -1;
    void decorate(const LogicalLine &line, const DecorationContext &context,
                  LineDecoration &decoration) const override
    {
        if (!context.printing && pos >= 0 && line.pos == pos) {
            decoration.bandFore = kFore;
            decoration.bandBack = kBack;
        }
    }
};

namespace {
using Rows = std::vector<std::pair<qint64, qint64>>;
// Rows reach the pane this often while a job lists them.
constexpr auto kHandoverEvery = std::chrono::milliseconds(100);
constexpr size_t kHandoverRows = 65536;
// The pane's view reads its rows again at most this often while they come.
constexpr int kRefreshMs = 100;

QString quoted(const QString &text)
{
    return u'\u201C' + text + u'\u201D';
}
} // namespace

struct MatchPane::Job
{
    struct Shared
    {
        std::mutex mutex;
        Rows rows;
        qint64 leftOut = 0;
        int percent = 0;
    };
    struct Outcome
    {
        MatchingLinesScanner::Result result;
        QString error;
    };
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    BackgroundJobs::Job<Outcome> job;
    std::unique_ptr<QFutureWatcher<Outcome>> watcher;
    bool appended = false;
};

MatchPane::MatchPane(LogView *log, BackgroundJobs &jobs)
    : m_log(log), m_jobs(jobs), m_marker(std::make_shared<PaneMarker>()),
      m_matches(std::make_shared<MatchDecorator>())
{
    QWidget *sheet = log->parentWidget();
    m_splitter = new QSplitter(Qt::Vertical, sheet);
    m_splitter->setChildrenCollapsible(false);
    if (sheet->layout())
        delete sheet->layout()->replaceWidget(log, m_splitter); // the log's old item
    m_splitter->addWidget(log);

    m_box = new QWidget;
    auto *column = new QVBoxLayout(m_box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto *header = new QHBoxLayout;
    header->setContentsMargins(4, 1, 2, 1);
    m_status = new QLabel(m_box);
    m_status->setTextFormat(Qt::PlainText);
    m_invert = new QToolButton(m_box);
    m_invert->setText(QStringLiteral("Invert"));
    m_invert->setCheckable(true);
    m_invert->setToolTip(QStringLiteral("List the lines without the text (Alt+I)"));
    m_invert->setShortcut(QKeySequence(QStringLiteral("Alt+I")));
    m_cancel = new QToolButton(m_box);
    m_cancel->setText(QStringLiteral("Cancel"));
    m_cancel->hide();
    auto *closer = new QToolButton(m_box);
    closer->setText(QStringLiteral("\u2715"));
    closer->setAutoRaise(true);
    closer->setToolTip(QStringLiteral("Close the pane"));
    header->addWidget(m_status, 1);
    header->addWidget(m_invert);
    header->addWidget(m_cancel);
    header->addWidget(closer);
    column->addLayout(header);
    m_view = new LogView(m_box);
    column->addWidget(m_view, 1);
    m_splitter->addWidget(m_box);
    m_box->hide(); // until the first listing
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 1);
    // Gone with the page.
    setParent(m_splitter);

    m_refresh = new QTimer(this);
    m_refresh->setSingleShot(true);
    m_refresh->setInterval(kRefreshMs);
    connect(m_refresh, &QTimer::timeout, this, guarded([this] { refreshView(true); }));
    m_view->setFollowTail(true);
    m_view->setGutterLabels([this](qint64 pos) { return labelAt(pos); }, QStringLiteral("@0"));
    m_viewport = m_view->viewport();
    m_viewport->installEventFilter(this);
    m_view->installEventFilter(this);

    connect(m_invert, &QToolButton::toggled, this, guarded([this](bool on) {
                LineFilter filter = m_filter;
                filter.invert = on;
                list(filter);
            }));
    connect(m_cancel, &QToolButton::clicked, this, guarded([this] { cancel(); }));
    connect(closer, &QToolButton::clicked, this, guarded([this] { close(); }));
    connect(log, &LogView::fileReloaded, this, guarded([this] { logReloaded(); }));
    connect(log, &LogView::scrolled, this, guarded([this] { updateMarker(); }));
    connect(log, &LogView::selectionChanged, this, guarded([this] { updateMarker(); }));
}

MatchPane::~MatchPane()
{
    // The widgets may be gone already: only the job is stopped.
    if (m_job) {
        m_job->job.stop.request_stop();
        m_job->watcher->disconnect(this);
    }
}

LogView *MatchPane::log() const
{
    return m_log;
}

QWidget *MatchPane::sheetOf(LogView *log)
{
    QWidget *parent = log ? log->parentWidget() : nullptr;
    if (auto *splitter = qobject_cast<QSplitter *>(parent))
        return splitter->parentWidget();
    return parent;
}

MatchPane *MatchPane::of(LogView *log)
{
    if (!log)
        return nullptr;
    auto *splitter = qobject_cast<QSplitter *>(log->parentWidget());
    return splitter ? splitter->findChild<MatchPane *>(QString(), Qt::FindDirectChildrenOnly)
                    : nullptr;
}

bool MatchPane::isOpen() const
{
    return m_box->isVisible() || !m_box->isHidden();
}

void MatchPane::close()
{
    cancel();
    m_box->hide();
    if (m_log)
        m_log->setFocus(Qt::OtherFocusReason);
    Q_EMIT changed();
}

double MatchPane::ratio() const
{
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    return total > 0 ? double(sizes.value(1)) / total : 0.25;
}

void MatchPane::setRatio(double ratio)
{
    m_ratioSet = true;
    ratio = std::clamp(ratio, 0.05, 0.95);
    const int total = 10000;
    m_splitter->setSizes({int(total * (1 - ratio)), int(total * ratio)});
}

void MatchPane::applyLogFormat()
{
    const ViewDocument &doc = m_log->document();
    ViewOptions options = m_log->options();
    m_view->setOptions(options);
    m_view->setMode(doc.isUnicodeMode() ? vbmodeUnicode : vbmodeText);
    m_view->setUnicodeOrder(doc.isBigEndian() ? unicodeOrderBig : unicodeOrderLittle);
    m_view->setTextEncoding(doc.textEncoding);
    QuickMatcher::Pattern pattern = m_filter.invert ? QuickMatcher::Pattern{} : m_filter.pattern;
    m_matches->setPattern(pattern);
    LineDecorators decorators = m_log->lineDecorators();
    // The log's own marks of the bar stand for the bar's text: the pane marks its own.
    std::erase_if(decorators, [](const std::shared_ptr<const LineDecorator> &d) {
        return dynamic_cast<const MatchDecorator *>(d.get()) != nullptr;
    });
    // The log's place over the rule colours, the matches over it.
    decorators.push_back(m_marker);
    decorators.push_back(m_matches);
    m_view->setLineDecorators(std::move(decorators));
}

void MatchPane::list(const LineFilter &filter)
{
    if (!m_log)
        return;
    cancel();
    m_filter = filter;
    {
        const QSignalBlocker block(m_invert);
        m_invert->setChecked(filter.invert);
    }
    m_lines = MatchedLines();
    m_tail = {};
    m_resumeAt = 0;
    m_leftOut = 0;
    m_error.clear();
    m_cancelled = false;
    // A first opening takes a third of the page, unless a session said otherwise.
    if (m_box->isHidden() && !m_ratioSet)
        setRatio(0.3);
    m_box->show();
    applyLogFormat();
    refreshView(false);
    start(false);
}

void MatchPane::cancel()
{
    if (!m_job)
        return;
    m_job->job.stop.request_stop();
    m_job->watcher->disconnect(this);
    takeRows();
    std::shared_ptr<Job> job = std::move(m_job);
    m_cancelled = !job->appended;
    m_cancel->hide();
    Q_EMIT changed();
    m_status->setText(statusText());
}

void MatchPane::start(bool appended)
{
    const FileSource *logSource = m_log->document().source();
    std::shared_ptr<FileSource> source(logSource ? logSource->openAnother() : nullptr);
    if (!source || m_filter.pattern.text.isEmpty()) {
        m_status->setText(statusText());
        return;
    }
    auto job = std::make_shared<Job>();
    job->appended = appended;
    const qint64 room = std::max<qint64>(0, m_limit - m_lines.count());
    auto work = [source, filter = m_filter, from = m_resumeAt, room,
                 shared = job->shared](QPromise<Job::Outcome> &promise, std::stop_token stop) {
        Job::Outcome outcome;
        Rows pending;
        qint64 kept = 0;
        qint64 left = 0;
        int handed = 0;
        auto last = std::chrono::steady_clock::now();
        const qint64 size = source->size();
        const auto handOver = [&](int percent) {
            {
                const std::lock_guard lock(shared->mutex);
                shared->rows.insert(shared->rows.end(), pending.begin(), pending.end());
                shared->leftOut += left;
                shared->percent = percent;
            }
            pending.clear();
            left = 0;
            last = std::chrono::steady_clock::now();
            promise.setProgressValue(++handed);
        };
        try {
            MatchingLinesScanner scanner(*source, filter);
            outcome.result = scanner.scan(
                from,
                [&](qint64 start, qint64 length) {
                    if (kept < room) {
                        pending.emplace_back(start, length);
                        ++kept;
                        // Bounded, so that what waits costs little beside the rows.
                        if (pending.size() >= kHandoverRows)
                            handOver(size > 0 ? int(start * 100 / size) : 100);
                    } else {
                        ++left;
                    }
                },
                stop,
                [&](qint64 position) {
                    // The first rows at once, then a few times a second.
                    if (handed == 0 || std::chrono::steady_clock::now() - last >= kHandoverEvery)
                        handOver(size > 0 ? int(position * 100 / size) : 100);
                });
            handOver(100);
        } catch (const SearchError &e) {
            outcome.error = e.message();
        }
        promise.addResult(outcome);
    };
    job->watcher = std::make_unique<QFutureWatcher<Job::Outcome>>();
    connect(job->watcher.get(), &QFutureWatcherBase::progressValueChanged, this,
            guarded([this] { takeRows(); }));
    connect(job->watcher.get(), &QFutureWatcherBase::finished, this,
            guarded([this] { jobEnded(); }));
    job->job = m_jobs.start<Job::Outcome>(m_log.data(), std::move(work));
    job->watcher->setFuture(job->job.future);
    m_job = job;
    m_percent = 0;
    if (!appended)
        m_cancel->show();
    m_status->setText(statusText());
}

void MatchPane::takeRows()
{
    if (!m_job)
        return;
    Rows rows;
    qint64 leftOut = 0;
    {
        const std::lock_guard lock(m_job->shared->mutex);
        rows.swap(m_job->shared->rows);
        leftOut = std::exchange(m_job->shared->leftOut, 0);
        m_percent = m_job->shared->percent;
    }
    for (const auto &[start, length] : rows)
        m_lines.append(start, length);
    m_leftOut += leftOut;
    if (!rows.empty()) {
        // The first rows at once, then a few times a second.
        if (m_view->document().fileSize() == 0)
            refreshView(true);
        else if (!m_refresh->isActive())
            m_refresh->start();
    }
    m_status->setText(statusText());
}

void MatchPane::jobEnded()
{
    if (!m_job)
        return;
    takeRows();
    std::shared_ptr<Job> job = std::move(m_job);
    const QFuture<Job::Outcome> future = job->watcher->future();
    job->watcher.release()->deleteLater();
    m_cancel->hide();
    if (future.resultCount() > 0) {
        const Job::Outcome outcome = future.result();
        m_error = outcome.error;
        if (outcome.result.status == MatchingLinesScanner::Result::Status::Done &&
            m_error.isEmpty()) {
            m_resumeAt = outcome.result.resumeAt;

            m_tail = outcome.result.tail;
        }
    }
    m_refresh->stop();
    if (m_lines.count() != rowsShown() || m_tail.length != shownTail().length ||
        m_tail.source != shownTail().source)
        refreshView(true);
    // Listed whole beside a log that follows its end: the pane follows too.
    if (!job->appended && m_log && m_log->viewAtEnd())
        m_view->scrollToEnd();
    m_status->setText(statusText());
    Q_EMIT changed();
    if (std::exchange(m_moreAppended, false))
        start(true);
}

void MatchPane::logReloaded()
{
    if (!m_log || !isOpen() || m_filter.pattern.text.isEmpty())
        return;
    if (m_log->document().lastReloadReason() == ReloadReason::Appended && m_error.isEmpty() &&
        !m_cancelled) {
        if (m_job)
            m_moreAppended = true;
        else
            start(true);
        return;
    }
    // Truncated, replaced, gone or read again: what was listed means nothing now.
    list(m_filter);
}

void MatchPane::refreshView(bool keepPosition)
{
    const FileSource *logSource = m_log ? m_log->document().source() : nullptr;
    std::unique_ptr<FileSource> reader = logSource ? logSource->openAnother() : nullptr;
    auto source =
        std::make_unique<MatchedLinesSource>(m_lines.snapshot(), m_tail, std::move(reader));
    const qint64 widest = m_log ? std::max<qint64>(m_log->document().fileSize(), 1) : 1;
    m_view->setGutterLabels([this](qint64 pos) { return labelAt(pos); },
                            u'@' + QString::number(widest));
    // While the first listing runs, its first rows stay in view.
    const bool atTop = m_job && !m_job->appended && m_view->viewPos() == 0;
    m_view->showSource(std::move(source), keepPosition);
    if (atTop)
        m_view->scrollToBegin();
    updateMarker();
}

qint64 MatchPane::rowsShown() const
{
    const auto *source = dynamic_cast<const MatchedLinesSource *>(m_view->document().source());
    return source ? source->rows().count() : 0;
}

MatchedLinesSource::Tail MatchPane::shownTail() const
{
    const auto *source = dynamic_cast<const MatchedLinesSource *>(m_view->document().source());
    return source ? source->tail() : MatchedLinesSource::Tail{};
}

QString MatchPane::labelAt(qint64 panePos) const
{
    const auto *source = dynamic_cast<const MatchedLinesSource *>(m_view->document().source());
    if (!source || !m_log)
        return {};
    const qint64 logPos = source->sourceOf(panePos);
    if (logPos < 0)
        return {};
    if (const qint64 line = m_log->lineNumberAt(logPos))
        return QString::number(line);
    return u'@' + QString::number(logPos);
}

void MatchPane::updateMarker()
{
    const auto *source = dynamic_cast<const MatchedLinesSource *>(m_view->document().source());
    if (!source || !m_log)
        return;
    const qint64 logPos = m_log->selLength() > 0 ? m_log->selStart() : m_log->viewPos();
    const qint64 mark = source->paneLineAt(logPos);
    if (mark == m_marker->pos)
        return;
    m_marker->pos = mark;
    m_view->redraw();
}

void MatchPane::goToRow(qint64 panePos)
{
    const auto *source = dynamic_cast<const MatchedLinesSource *>(m_view->document().source());
    if (!source || !m_log || !m_log->document().source())
        return;
    const qint64 row = panePos >= source->rows().paneSize()
                           ? source->rows().paneSize()
                           : source->rows().row(source->rows().rowAt(panePos)).pane;
    const qint64 lineStart = source->sourceOf(row);
    if (lineStart < 0)
        return;
    // The match on the line's first screen row, or that row whole.
    const ViewDocument &doc = m_log->document();
    const LineScanner scanner(*doc.source(), doc.format());
    const ScreenLine first = scanner.readForward(lineStart);
    const int cs = doc.charSize();
    qint64 start = lineStart;
    qint64 length = first.offsets.empty() ? 0 : qint64(first.offsets.back()) * cs;
    if (!m_filter.invert && !first.offsets.empty()) {
        const QuickMatcher::Ranges ranges = QuickMatcher(m_filter.pattern).find(first.text);
        if (!ranges.empty()) {
            start = lineStart + qint64(first.offsets[size_t(ranges[0].first)]) * cs;
            length = qint64(first.offsets[size_t(ranges[0].second)] -
                            first.offsets[size_t(ranges[0].first)]) *
                     cs;
        }
    }
    m_log->setSelection(start, length, true, true, true);
    updateMarker();
}

bool MatchPane::eventFilter(QObject *watched, QEvent *event)
{
    bool handled = false;
    runGuarded([&] {
        // Type first: events also come while the view is being destroyed.
        if (event->type() == QEvent::KeyPress && watched == m_view) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                key->modifiers() == Qt::NoModifier) {
                goToRow(m_view->selLength() > 0 ? m_view->selStart() : m_view->viewPos());
                handled = true;
            }
        } else if (event->type() == QEvent::MouseButtonRelease && watched == m_viewport) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const qint64 pos = m_view->mouseDownPos();
            // A click, not a drag that selected text.
            if (mouse->button() == Qt::LeftButton && pos >= 0 && m_view->selLength() == 0)
                goToRow(pos);
        }
    });
    return handled || QObject::eventFilter(watched, event);
}

QString MatchPane::statusText() const
{
    if (!m_error.isEmpty())
        return m_error;
    const QString what = m_filter.invert ? QStringLiteral("without") : QStringLiteral("with");
    const QString count = QuickFind::groupDigits(m_lines.count() + (m_tail.length > 0 ? 1 : 0));
    QString text;
    if (m_job && !m_job->appended)
        text = QStringLiteral("Listing lines %1 %2... %3 so far (%4%)")
                   .arg(what, quoted(m_filter.pattern.text), count)
                   .arg(m_percent);
    else
        text = QStringLiteral("%1 lines %2 %3").arg(count, what, quoted(m_filter.pattern.text));
    if (m_cancelled)
        text += QStringLiteral(" (cancelled)");
    if (m_leftOut > 0)
        text += QStringLiteral("; %1 more left out (the pane holds at most %2)")
                    .arg(QuickFind::groupDigits(m_leftOut), QuickFind::groupDigits(m_limit));
    return text;
}
