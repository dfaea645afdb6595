#include "viewerfixture.h"

#include "search/streamsearch.h"
#include "text/contract.h"
#include "viewer/documentsearch.h"

#include <QBuffer>
#include <QFile>
#include <QSignalSpy>
#include <QThread>

#include <new>

namespace {

// 100 lines "lineNNN"; lines 5, 40, 45 and 90 read "needleNNN" instead.
QByteArray markedLines()
{
    QByteArray bytes;
    for (int i = 1; i <= 100; ++i) {
        const bool marked = i == 5 || i == 40 || i == 45 || i == 90;
        bytes += (marked ? "needle" : "line") + QByteArray::number(i).rightJustified(3, '0') + '\n';
    }
    return bytes;
}

qint64 lineStart(const QByteArray &bytes, int line)
{
    qint64 at = 0;
    for (int i = 1; i < line; ++i)
        at = bytes.indexOf('\n', at) + 1;
    return at;
}

// Runs each step to its end, as a caller that waits for its result does.
class ViewerSearch : public ViewerFixture
{
protected:
    void SetUp() override
    {
        ViewerFixture::SetUp();
        // The handler may stop the step, as a progress window does.
        QObject::connect(&search(), &DocumentSearch::progress,
                         [this](qint64 current, qint64 maximal) {
                             bool go = true;
                             if (onProgress)
                                 onProgress(current, maximal, go);
                             if (!go)
                                 search().cancel();
                         });
    }
    DocumentSearch &search() { return m_view->search(); }
    // What the step threw comes out here.
    bool settle(bool started)
    {
        if (!started)
            return false;
        QSignalSpy finished(&search(), &DocumentSearch::finished);
        EXPECT_TRUE(finished.wait(120000)) << "the step never ended";
        if (search().outcome() == DocumentSearch::Outcome::Failed)
            std::rethrow_exception(search().error());
        return search().outcome() == DocumentSearch::Outcome::Found;
    }
    bool findFirst(const QString &text, SearchOptions options, qint64 startPos)
    {
        return settle(search().findFirst(m_jobs, m_view.get(), text, options, startPos));
    }
    bool findNext(bool findPrevious)
    {
        return settle(search().findNext(m_jobs, m_view.get(), findPrevious));
    }

    SearchProgress onProgress;
    BackgroundJobs m_jobs;
};

TEST_F(ViewerSearch, StartComesFromOriginDirectionAndPosition)
{
    const QByteArray bytes = markedLines();
    ASSERT_TRUE(m_view->open(write(bytes)));
    showLines(10);
    m_view->scrollTo(lineStart(bytes, 38));
    ASSERT_EQ(m_view->viewPos(), lineStart(bytes, 38));
    ASSERT_EQ(m_view->viewPos() + m_view->viewPageSize(), lineStart(bytes, 48));

    struct Case
    {
        const char *name;
        SearchOptions options;
        qint64 startPos;
        int line; // where the match lies
    };
    const Case cases[] = {
        {"entire file forward starts at 0", {}, -1, 5},
        {"entire file backward starts at the end", soBackward, -1, 90},
        {"page forward starts at the first byte shown", soFromPage, -1, 40},
        {"page backward starts after the last byte shown", soFromPage | soBackward, -1, 45},
        {"a given position wins over the page", soFromPage | soFromPosition, lineStart(bytes, 41),
         45},
        {"a given position backward", soBackward | soFromPosition, lineStart(bytes, 44), 40},
        {"a negative position falls back to the page", soFromPage | soFromPosition, -1, 40},
        {"a position is ignored without its bit", {}, lineStart(bytes, 41), 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(findFirst(QStringLiteral("needle"), c.options, c.startPos));
        EXPECT_EQ(search().resultStart(), lineStart(bytes, c.line));
        EXPECT_EQ(search().resultLength(), 6);
        EXPECT_TRUE(search().started());
        EXPECT_EQ(search().text(), QStringLiteral("needle"));
        EXPECT_EQ(search().options(), c.options);
    }
    // The search itself moves nothing: selecting is its caller's business.
    EXPECT_EQ(m_view->viewPos(), lineStart(bytes, 38));
    EXPECT_EQ(m_view->selLength(), 0);
}

TEST_F(ViewerSearch, FindNextStepsBothWaysAndEndsAtTheLastMatch)
{
    const QByteArray bytes = markedLines();
    ASSERT_TRUE(m_view->open(write(bytes)));
    ASSERT_TRUE(findFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_TRUE(findNext(false));
    EXPECT_EQ(search().resultStart(), lineStart(bytes, 40));
    EXPECT_TRUE(findNext(false));
    EXPECT_EQ(search().resultStart(), lineStart(bytes, 45));
    EXPECT_TRUE(findNext(true));
    EXPECT_EQ(search().resultStart(), lineStart(bytes, 40));
    EXPECT_TRUE(findNext(false));
    EXPECT_TRUE(findNext(false));
    EXPECT_EQ(search().resultStart(), lineStart(bytes, 90));
    EXPECT_FALSE(findNext(false));
    EXPECT_EQ(search().resultStart(), lineStart(bytes, 90)) << "a failed step stays put";
    EXPECT_TRUE(search().started()) << "a failed step keeps the search";
}

TEST_F(ViewerSearch, AfterAFailedStepBothDirectionsGoOnFromTheLastMatch)
{
    // Neither a jump back to the first match nor one past a neighbour.
    const QByteArray bytes = markedLines();
    ASSERT_TRUE(m_view->open(write(bytes)));
    struct Case
    {
        const char *name;
        SearchOptions options;
        int first, last; // the match found first and the one the search ends on
        bool previous;   // the step after the miss
        int next;
    };
    const Case cases[] = {
        {"forward, then back", {}, 5, 90, true, 45},
        {"forward, then on", {}, 5, 90, false, 0},
        {"backward, then back", soBackward, 90, 5, true, 40},
        {"backward, then on", soBackward, 90, 5, false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(findFirst(QStringLiteral("needle"), c.options, -1));
        ASSERT_EQ(search().resultStart(), lineStart(bytes, c.first));
        while (search().resultStart() != lineStart(bytes, c.last))
            ASSERT_TRUE(findNext(false));
        ASSERT_FALSE(findNext(false));
        EXPECT_EQ(findNext(c.previous), c.next != 0);
        EXPECT_EQ(search().resultStart(), lineStart(bytes, c.next ? c.next : c.last));
    }
}

TEST_F(ViewerSearch, AStoppedStepStartsAgainWhereTheViewIs)
{
    // A stream is read on this thread between events: the first report
    // comes before the next block and can stop the step.
    const QByteArray bytes = markedLines();
    QByteArray data = bytes;
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    m_view->openStream(&buffer);
    showLines(10);
    ASSERT_TRUE(findFirst(QStringLiteral("needle"), {}, -1));
    onProgress = [](qint64, qint64, bool &go) { go = false; };
    EXPECT_FALSE(findNext(false));
    EXPECT_EQ(search().resultStart(), -1) << "a stopped step stands on no match";
    onProgress = nullptr;

    // Lines 46 to 55 shown, none of them marked.
    m_view->scrollTo(lineStart(bytes, 46));
    ASSERT_EQ(m_view->viewPos(), lineStart(bytes, 46));
    struct Case
    {
        const char *name;
        bool previous;
        int line;
    };
    // Forward from the first byte shown, backward from the last.
    const Case cases[] = {{"on", false, 90}, {"back", true, 45}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        onProgress = [](qint64, qint64, bool &go) { go = false; };
        findNext(false);
        onProgress = nullptr;
        ASSERT_TRUE(findNext(c.previous));
        EXPECT_EQ(search().resultStart(), lineStart(bytes, c.line));
    }
}

TEST_F(ViewerSearch, AResumedSearchGoesOnFromItsMatchInItsDirection)
{
    // After a reload the search is stood where it was, and the step reads
    // from there: backward it must not pass over the match before it.
    const QByteArray bytes = markedLines();
    ASSERT_TRUE(m_view->open(write(bytes)));
    struct Case
    {
        const char *name;
        SearchOptions options;
        int at;
        bool previous;
        int line; // 0: none
    };
    const Case cases[] = {
        {"forward", {}, 40, false, 45},
        {"forward, previous", {}, 40, true, 5},
        {"backward", soBackward, 45, false, 40},
        {"backward, previous", soBackward, 45, true, 90},
        {"backward from the first", soBackward, 5, false, 0},
        {"a regular expression", soRegex, 40, false, 45},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->reload();
        ASSERT_FALSE(search().started());
        search().resume(QStringLiteral("needle"), c.options, lineStart(bytes, c.at));
        ASSERT_TRUE(search().started());
        EXPECT_EQ(findNext(c.previous), c.line != 0);
        EXPECT_EQ(search().resultStart(), lineStart(bytes, c.line ? c.line : c.at));
        EXPECT_EQ(search().options(), c.options) << "the search keeps its own direction";
    }
}

TEST_F(ViewerSearch, AFaultInsideTheSearchReachesTheCallerAndFreesTheViewer)
{
    const QByteArray bytes = markedLines();
    ASSERT_TRUE(m_view->open(write(bytes)));
    QThread *where = nullptr;
    search().hook = [&where] {
        where = QThread::currentThread();
        throw std::bad_alloc();
    };
    EXPECT_THROW(findFirst(QStringLiteral("needle"), {}, -1), std::bad_alloc);
    EXPECT_NE(where, nullptr);
    EXPECT_NE(where, QThread::currentThread()) << "a file is searched on a worker";
    EXPECT_FALSE(m_view->isSearchRunning());
    search().hook = nullptr;
    EXPECT_TRUE(findFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_EQ(search().resultStart(), lineStart(bytes, 5));
}

TEST_F(ViewerSearch, Utf16ViewsSearchInTheirByteOrder)
{
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        const QByteArray bom = big ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
        const QByteArray bytes = bom + utf16(QStringLiteral("one\r\ntwo Ärger\r\n"), big);
        ASSERT_TRUE(m_view->open(write(bytes, big ? "be.log" : "le.log")));
        m_view->setMode(vbmodeUnicode);
        ASSERT_EQ(m_view->document().isBigEndian(), big);
        ASSERT_TRUE(findFirst(QStringLiteral("ärger"), {}, -1));
        EXPECT_EQ(search().resultStart(), 2 + 2 * 9);
        EXPECT_EQ(search().resultLength(), 2 * 5);
    }
}

TEST_F(ViewerSearch, ContractsNameTheOperation)
{
    struct Case
    {
        const char *name;
        std::function<void()> call;
        QString message;
    };
    const Case cases[] = {
        {"find first without a source", [this] { findFirst(QStringLiteral("x"), {}, -1); },
         QStringLiteral("Source not assigned: FindFirst")},
        {"find next without a source", [this] { findNext(false); },
         QStringLiteral("Source not assigned: FindNext")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.call();
            ADD_FAILURE() << "no contract error";
        } catch (const ContractError &error) {
            EXPECT_EQ(error.message(), c.message);
        }
    }
    ASSERT_TRUE(m_view->open(write("abc\n")));
    try {
        findNext(false);
        ADD_FAILURE() << "no contract error";
    } catch (const ContractError &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Search not started: FindNext"));
    }
}

TEST_F(ViewerSearch, AReloadEndsTheSearch)
{
    const QString path = write(markedLines());
    ASSERT_TRUE(m_view->open(path));
    ASSERT_TRUE(findFirst(QStringLiteral("needle"), {}, -1));
    m_view->reload();
    EXPECT_FALSE(search().started());
    // What was found stays readable for the caller that started it.
    EXPECT_EQ(search().text(), QStringLiteral("needle"));
}

TEST_F(ViewerSearch, AReloadDueDuringTheSearchFollowsIt)
{
    // Reports reach the viewer only while the search runs: it must run a while.
    const qint64 size = qint64(64) << 20;
    const QString path = writeSparse(m_files.path(QStringLiteral("big.log")), size);
    ASSERT_TRUE(m_view->open(path));
    m_view->setAutoReload(true);
    int reloads = 0;
    QObject::connect(m_view.get(), &LogView::fileReloaded, [&reloads] { ++reloads; });
    qint64 sizeDuringSearch = -1;
    bool searchStartedDuring = false;
    onProgress = [&](qint64, qint64, bool &) {
        if (sizeDuringSearch >= 0)
            return;
        m_files.append(path, "needle-late\n");
        m_view->handleFileChange(); // the watcher's report, now
        sizeDuringSearch = m_view->document().fileSize();
        searchStartedDuring = search().started();
    };
    EXPECT_TRUE(findFirst(QStringLiteral("needle"), {}, -1));
    ASSERT_GE(sizeDuringSearch, 0) << "no progress report reached the viewer";
    EXPECT_EQ(sizeDuringSearch, size) << "reloaded under the running search";
    EXPECT_TRUE(searchStartedDuring);
    EXPECT_EQ(search().resultStart(), size - 6);
    EXPECT_EQ(m_view->document().fileSize(), size + 12);
    EXPECT_EQ(reloads, 1);
    EXPECT_FALSE(search().started());
}

TEST_F(ViewerSearch, ProgressHandlerCancelsAStreamSearch)
{
    // A stream is read on this thread between events, so the first report
    // comes back through the handler before another block is read.
    QByteArray bytes(3 * StreamSearch::blockSize, 'x');
    bytes += "needle";
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    m_view->openStream(&buffer);
    int reports = 0;
    onProgress = [&reports](qint64, qint64 maximal, bool &go) {
        ++reports;
        EXPECT_EQ(maximal, 3 * StreamSearch::blockSize + 6);
        go = false;
    };
    EXPECT_FALSE(findFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_EQ(reports, 1);
    onProgress = nullptr;
    EXPECT_TRUE(findFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_EQ(search().resultStart(), 3 * StreamSearch::blockSize);
}

TEST_F(ViewerSearch, AFileChangedUnderTheSearchEndsItAndTheViewFollows)
{
    // The file is changed at the first progress report, far from its end:
    // cut to a megabyte the needle at the end is gone, deleted the search
    // still reads its own descriptor to the end. Either way the search ends,
    // and the reload it held back follows.
    struct Case
    {
        const char *name;
        qint64 size;
        std::function<void(const QString &)> change;
        bool found;
        bool sourceAfter;
    };
    const Case cases[] = {
        {"truncated", qint64(8) << 30, [](const QString &p) { QFile::resize(p, 1 << 20); }, false,
         true},
        {"deleted", qint64(64) << 20, [](const QString &p) { QFile::remove(p); }, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = writeSparse(m_files.path(QString::fromLatin1(c.name)), c.size);
        ASSERT_TRUE(m_view->open(path));
        m_view->setAutoReload(true);
        bool changed = false;
        onProgress = [&](qint64, qint64, bool &) {
            if (changed)
                return;
            changed = true;
            c.change(path);
            m_view->handleFileChange();
        };
        EXPECT_EQ(findFirst(QStringLiteral("needle"), {}, -1), c.found);
        EXPECT_TRUE(changed) << "no progress report reached the viewer";
        if (c.found) {
            EXPECT_EQ(search().resultStart(), c.size - 6);
        }
        EXPECT_EQ(m_view->document().sourceAssigned(), c.sourceAfter);
        EXPECT_FALSE(search().started()) << "the reload ended the search";
        onProgress = nullptr;
    }
}

TEST_F(ViewerSearch, NoSecondSearchStartsWhileOneRuns)
{
    const QString path = writeSparse(m_files.path(QStringLiteral("big.log")), qint64(64) << 20);
    ASSERT_TRUE(m_view->open(path));
    bool nested = true;
    onProgress = [&](qint64, qint64, bool &) {
        nested = nested && !findFirst(QStringLiteral("other"), {}, -1);
    };
    EXPECT_TRUE(findFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_TRUE(nested) << "a nested search replaced the running one";
    EXPECT_EQ(search().text(), QStringLiteral("needle"));
    EXPECT_EQ(search().resultStart(), (qint64(64) << 20) - 6);
}

TEST_F(ViewerSearch, TheRunningSearchIsNamedWhileItRuns)
{
    ASSERT_TRUE(m_view->open(writeSparse(m_files.path(QStringLiteral("big.log")), 1 << 24)));
    findFirst(QStringLiteral("old"), {}, -1); // the name to be replaced
    QString named;
    onProgress = [&](qint64, qint64, bool &) { named = search().text(); };
    findFirst(QStringLiteral("needle"), soCaseSensitive, -1);
    EXPECT_EQ(named, QStringLiteral("needle"));
}

} // namespace
