#include "viewerfixture.h"

#include "search/qzstreamsearch.h"
#include "text/contract.h"

#include <QBuffer>
#include <QFile>
#include <QThread>

#include <new>

namespace {

// 100 lines "lineNNN"; lines 5, 40, 45 and 90 read "needleNNN" instead.
QByteArray MarkedLines()
{
    QByteArray bytes;
    for (int i = 1; i <= 100; ++i) {
        const bool marked = i == 5 || i == 40 || i == 45 || i == 90;
        bytes += (marked ? "needle" : "line") + QByteArray::number(i).rightJustified(3, '0') + '\n';
    }
    return bytes;
}

qint64 LineStart(const QByteArray &bytes, int line)
{
    qint64 at = 0;
    for (int i = 1; i < line; ++i)
        at = bytes.indexOf('\n', at) + 1;
    return at;
}

// A sparse file of `size` bytes that holds "needle" only at its very end.
QString WriteSparse(const QString &path, qint64 size)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    EXPECT_TRUE(file.resize(size - 6));
    EXPECT_TRUE(file.seek(size - 6));
    EXPECT_EQ(file.write("needle"), 6);
    return path;
}

class ViewerSearch : public ViewerFixture
{
};

TEST_F(ViewerSearch, StartComesFromOriginDirectionAndPosition)
{
    const QByteArray bytes = MarkedLines();
    ASSERT_TRUE(m_view->Open(Write(bytes)));
    ShowLines(10);
    m_view->ScrollTo(LineStart(bytes, 38));
    ASSERT_EQ(m_view->ViewPos(), LineStart(bytes, 38));
    ASSERT_EQ(m_view->ViewPos() + m_view->ViewPageSize(), LineStart(bytes, 48));

    struct Case
    {
        const char *name;
        TQzStreamSearchOptions options;
        qint64 startPos;
        int line; // where the match lies
    };
    const Case cases[] = {
        {"entire file forward starts at 0", {}, -1, 5},
        {"entire file backward starts at the end", soBackward, -1, 90},
        {"page forward starts at the first byte shown", soFromPage, -1, 40},
        {"page backward starts after the last byte shown", soFromPage | soBackward, -1, 45},
        {"a given position wins over the page", soFromPage | soFromPosition, LineStart(bytes, 41),
         45},
        {"a given position backward", soBackward | soFromPosition, LineStart(bytes, 44), 40},
        {"a negative position falls back to the page", soFromPage | soFromPosition, -1, 40},
        {"a position is ignored without its bit", {}, LineStart(bytes, 41), 5},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_view->FindFirst(QStringLiteral("needle"), c.options, c.startPos));
        EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, c.line));
        EXPECT_EQ(m_view->SearchResultLength(), 6);
        EXPECT_TRUE(m_view->SearchStarted());
        EXPECT_EQ(m_view->SearchString(), QStringLiteral("needle"));
        EXPECT_EQ(m_view->SearchOptions(), c.options);
    }
    // The search itself moves nothing: selecting is its caller's business.
    EXPECT_EQ(m_view->ViewPos(), LineStart(bytes, 38));
    EXPECT_EQ(m_view->SelLength(), 0);
}

TEST_F(ViewerSearch, FindNextStepsBothWaysAndEndsAtTheLastMatch)
{
    const QByteArray bytes = MarkedLines();
    ASSERT_TRUE(m_view->Open(Write(bytes)));
    ASSERT_TRUE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_TRUE(m_view->FindNext(false));
    EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, 40));
    EXPECT_TRUE(m_view->FindNext(false));
    EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, 45));
    EXPECT_TRUE(m_view->FindNext(true));
    EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, 40));
    EXPECT_TRUE(m_view->FindNext(false));
    EXPECT_TRUE(m_view->FindNext(false));
    EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, 90));
    EXPECT_FALSE(m_view->FindNext(false));
    EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, 90)) << "a failed step stays put";
    EXPECT_TRUE(m_view->SearchStarted()) << "a failed step keeps the search";
}

TEST_F(ViewerSearch, AfterAFailedStepBothDirectionsGoOnFromTheLastMatch)
{
    // Neither a jump back to the first match nor one past a neighbour.
    const QByteArray bytes = MarkedLines();
    ASSERT_TRUE(m_view->Open(Write(bytes)));
    struct Case
    {
        const char *name;
        TQzStreamSearchOptions options;
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
        ASSERT_TRUE(m_view->FindFirst(QStringLiteral("needle"), c.options, -1));
        ASSERT_EQ(m_view->SearchResultStart(), LineStart(bytes, c.first));
        while (m_view->SearchResultStart() != LineStart(bytes, c.last))
            ASSERT_TRUE(m_view->FindNext(false));
        ASSERT_FALSE(m_view->FindNext(false));
        EXPECT_EQ(m_view->FindNext(c.previous), c.next != 0);
        EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, c.next ? c.next : c.last));
    }
}

TEST_F(ViewerSearch, AStoppedStepStartsAgainWhereTheViewIs)
{
    // A stream is searched on this thread: the first report can stop it.
    const QByteArray bytes = MarkedLines();
    QByteArray data = bytes;
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    m_view->OpenStream(&buffer);
    ShowLines(10);
    ASSERT_TRUE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    m_view->OnSearchProgress = [](qint64, qint64, bool &go) { go = false; };
    EXPECT_FALSE(m_view->FindNext(false));
    EXPECT_EQ(m_view->SearchResultStart(), -1) << "a stopped step stands on no match";
    m_view->OnSearchProgress = nullptr;

    // Lines 46 to 55 shown, none of them marked.
    m_view->ScrollTo(LineStart(bytes, 46));
    ASSERT_EQ(m_view->ViewPos(), LineStart(bytes, 46));
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
        m_view->OnSearchProgress = [](qint64, qint64, bool &go) { go = false; };
        m_view->FindNext(false);
        m_view->OnSearchProgress = nullptr;
        ASSERT_TRUE(m_view->FindNext(c.previous));
        EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, c.line));
    }
}

TEST_F(ViewerSearch, AResumedSearchGoesOnFromItsMatchInItsDirection)
{
    // After a reload the search is stood where it was, and the step reads
    // from there: backward it must not pass over the match before it.
    const QByteArray bytes = MarkedLines();
    ASSERT_TRUE(m_view->Open(Write(bytes)));
    struct Case
    {
        const char *name;
        TQzStreamSearchOptions options;
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
        m_view->Reload();
        ASSERT_FALSE(m_view->SearchStarted());
        m_view->ResumeSearch(QStringLiteral("needle"), c.options, LineStart(bytes, c.at));
        ASSERT_TRUE(m_view->SearchStarted());
        EXPECT_EQ(m_view->FindNext(c.previous), c.line != 0);
        EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, c.line ? c.line : c.at));
        EXPECT_EQ(m_view->SearchOptions(), c.options) << "the search keeps its own direction";
    }
}

TEST_F(ViewerSearch, AFaultInsideTheSearchReachesTheCallerAndFreesTheViewer)
{
    const QByteArray bytes = MarkedLines();
    ASSERT_TRUE(m_view->Open(Write(bytes)));
    QThread *where = nullptr;
    m_view->SearchHook = [&where] {
        where = QThread::currentThread();
        throw std::bad_alloc();
    };
    EXPECT_THROW(m_view->FindFirst(QStringLiteral("needle"), {}, -1), std::bad_alloc);
    EXPECT_NE(where, nullptr);
    EXPECT_NE(where, QThread::currentThread()) << "a file is searched on a worker";
    EXPECT_FALSE(m_view->IsSearchRunning());
    m_view->SearchHook = nullptr;
    EXPECT_TRUE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_EQ(m_view->SearchResultStart(), LineStart(bytes, 5));
}

TEST_F(ViewerSearch, Utf16ViewsSearchInTheirByteOrder)
{
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        const QByteArray bom = big ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
        const QByteArray bytes = bom + Utf16(QStringLiteral("one\r\ntwo Ärger\r\n"), big);
        ASSERT_TRUE(m_view->Open(Write(bytes, big ? "be.log" : "le.log")));
        m_view->SetMode(vbmodeUnicode);
        ASSERT_EQ(m_view->IsBigEndian(), big);
        ASSERT_TRUE(m_view->FindFirst(QStringLiteral("ärger"), {}, -1));
        EXPECT_EQ(m_view->SearchResultStart(), 2 + 2 * 9);
        EXPECT_EQ(m_view->SearchResultLength(), 2 * 5);
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
        {"find first without a source", [this] { m_view->FindFirst(QStringLiteral("x"), {}, -1); },
         QStringLiteral("Source not assigned: FindFirst")},
        {"find next without a source", [this] { m_view->FindNext(false); },
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
    ASSERT_TRUE(m_view->Open(Write("abc\n")));
    try {
        m_view->FindNext(false);
        ADD_FAILURE() << "no contract error";
    } catch (const ContractError &error) {
        EXPECT_EQ(error.message(), QStringLiteral("Search not started: FindNext"));
    }
}

TEST_F(ViewerSearch, AReloadEndsTheSearch)
{
    const QString path = Write(MarkedLines());
    ASSERT_TRUE(m_view->Open(path));
    ASSERT_TRUE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    m_view->Reload();
    EXPECT_FALSE(m_view->SearchStarted());
    // What was found stays readable for the caller that started it.
    EXPECT_EQ(m_view->SearchString(), QStringLiteral("needle"));
}

TEST_F(ViewerSearch, AReloadDueDuringTheSearchFollowsIt)
{
    // Reports reach the viewer only while the search runs: it must run a while.
    const qint64 size = qint64(64) << 20;
    const QString path = WriteSparse(m_files.Path(QStringLiteral("big.log")), size);
    ASSERT_TRUE(m_view->Open(path));
    m_view->SetAutoReload(true);
    int reloads = 0;
    m_view->OnFileReload = [&reloads](TQzBinHex *) { ++reloads; };
    qint64 sizeDuringSearch = -1;
    bool searchStartedDuring = false;
    m_view->OnSearchProgress = [&](qint64, qint64, bool &) {
        if (sizeDuringSearch >= 0)
            return;
        m_files.Append(path, "needle-late\n");
        m_view->HandleFileChange(); // the watcher's report, now
        sizeDuringSearch = m_view->FileSize();
        searchStartedDuring = m_view->SearchStarted();
    };
    EXPECT_TRUE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    ASSERT_GE(sizeDuringSearch, 0) << "no progress report reached the viewer";
    EXPECT_EQ(sizeDuringSearch, size) << "reloaded under the running search";
    EXPECT_TRUE(searchStartedDuring);
    EXPECT_EQ(m_view->SearchResultStart(), size - 6);
    EXPECT_EQ(m_view->FileSize(), size + 12);
    EXPECT_EQ(reloads, 1);
    EXPECT_FALSE(m_view->SearchStarted());
}

TEST_F(ViewerSearch, ProgressHandlerCancelsAStreamSearch)
{
    // A stream is searched on this thread, so the first report already
    // comes back through the handler.
    QByteArray bytes(3 * TQzStreamSearch::BlockSize, 'x');
    bytes += "needle";
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    m_view->OpenStream(&buffer);
    int reports = 0;
    m_view->OnSearchProgress = [&reports](qint64, qint64 maximal, bool &go) {
        ++reports;
        EXPECT_EQ(maximal, 3 * TQzStreamSearch::BlockSize + 6);
        go = false;
    };
    EXPECT_FALSE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_EQ(reports, 1);
    m_view->OnSearchProgress = nullptr;
    EXPECT_TRUE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_EQ(m_view->SearchResultStart(), 3 * TQzStreamSearch::BlockSize);
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
        const QString path = WriteSparse(m_files.Path(QString::fromLatin1(c.name)), c.size);
        ASSERT_TRUE(m_view->Open(path));
        m_view->SetAutoReload(true);
        bool changed = false;
        m_view->OnSearchProgress = [&](qint64, qint64, bool &) {
            if (changed)
                return;
            changed = true;
            c.change(path);
            m_view->HandleFileChange();
        };
        EXPECT_EQ(m_view->FindFirst(QStringLiteral("needle"), {}, -1), c.found);
        EXPECT_TRUE(changed) << "no progress report reached the viewer";
        if (c.found) {
            EXPECT_EQ(m_view->SearchResultStart(), c.size - 6);
        }
        EXPECT_EQ(m_view->SourceAssigned(), c.sourceAfter);
        EXPECT_FALSE(m_view->SearchStarted()) << "the reload ended the search";
        m_view->OnSearchProgress = nullptr;
    }
}

TEST_F(ViewerSearch, NoSecondSearchStartsWhileOneRuns)
{
    const QString path = WriteSparse(m_files.Path(QStringLiteral("big.log")), qint64(64) << 20);
    ASSERT_TRUE(m_view->Open(path));
    bool nested = true;
    m_view->OnSearchProgress = [&](qint64, qint64, bool &) {
        nested = nested && !m_view->FindFirst(QStringLiteral("other"), {}, -1);
    };
    EXPECT_TRUE(m_view->FindFirst(QStringLiteral("needle"), {}, -1));
    EXPECT_TRUE(nested) << "a nested search replaced the running one";
    EXPECT_EQ(m_view->SearchString(), QStringLiteral("needle"));
    EXPECT_EQ(m_view->SearchResultStart(), (qint64(64) << 20) - 6);
}

TEST_F(ViewerSearch, TheRunningSearchIsNamedWhileItRuns)
{
    ASSERT_TRUE(m_view->Open(WriteSparse(m_files.Path(QStringLiteral("big.log")), 1 << 24)));
    m_view->FindFirst(QStringLiteral("old"), {}, -1); // the name to be replaced
    QString named;
    m_view->OnSearchProgress = [&](qint64, qint64, bool &) { named = m_view->SearchString(); };
    m_view->FindFirst(QStringLiteral("needle"), soCaseSensitive, -1);
    EXPECT_EQ(named, QStringLiteral("needle"));
}

} // namespace
