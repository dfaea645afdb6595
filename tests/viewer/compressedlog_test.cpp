// A gzip log shown where it lies: decompressed through its index, growing
// as the index is built, searched, and indexed afresh when it changes.
#include "viewerfixture.h"

#include "viewer/backgroundjobs.h"
#include "viewer/documentsearch.h"

#include "common/gzipbytes.h"

#include <QCoreApplication>
#include <QSignalSpy>

namespace {

QByteArray logLines(int count, const QByteArray &last = "the last line\n")
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "2026-12-11 10:00:" + QByteArray::number(i % 60).rightJustified(2, '0') +
                " INFO request " + QByteArray::number(i * 7919 % 100003) + " served\n";
    return text + last;
}

QByteArray gz(const QByteArray &text, int level = 6)
{
    const std::string bytes = gzipBytes(text.toStdString(), level);
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

class CompressedLog : public ViewerFixture
{
protected:
    void SetUp() override
    {
        ViewerFixture::SetUp();
        m_view->setBackgroundJobs(&m_jobs);
        showLines(10, 80);
    }
    // Until the index has handed its last part over, the view read it and
    // the line index numbered it.
    void waitForIndex()
    {
        const GzipIndexer *index = m_view->compressedIndex();
        ASSERT_NE(index, nullptr) << "not shown as a gzip file";
        const auto busy = [&] { return index->running() || m_view->lineIndexer().running(); };
        for (int i = 0; i < 200 && busy(); ++i) {
            m_jobs.waitForDone();
            QCoreApplication::processEvents();
        }
        ASSERT_FALSE(busy());
    }
    QByteArray shown(qint64 position, qint64 count)
    {
        const std::unique_ptr<FileSource> source = m_view->document().source()->openAnother();
        QByteArray bytes(count, '\0');
        qint64 got = 0;
        EXPECT_EQ(source->read(bytes.data(), count, position, &got), FileSource::ReadResult::Ok);
        bytes.resize(got);
        return bytes;
    }

    BackgroundJobs m_jobs;
};

// Told by its bytes, not its name: a gzip file under any name shows its
// text, and plain text named .gz shows as it is.
TEST_F(CompressedLog, AGzipFileShowsItsTextWhateverItsName)
{
    const QByteArray text = logLines(30000);
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool compressed;
    } cases[] = {
        {"rotated.log.2.gz", gz(text), true},
        {"named-plain.log", gz(text, 1), true},
        {"two-members.gz", gz(text.left(1000000)) + gz(text.mid(1000000)), true},
        {"plain-text.gz", text, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(m_view->open(write(c.bytes, QString::fromLatin1(c.name))));
        if (!c.compressed) {
            EXPECT_EQ(m_view->compressedIndex(), nullptr);
            EXPECT_EQ(m_view->document().fileSize(), text.size());
            continue;
        }
        // Its start shows at once, before the job has handed anything over,
        // and the view stays there while the rest arrives.
        EXPECT_GE(m_view->document().fileSize(), std::min<qint64>(text.size(), 256 * 1024));
        m_view->redraw();
        const QString firstLine = QString::fromLatin1(text.left(text.indexOf('\n')));
        EXPECT_EQ(drawnTexts().front(), firstLine);
        waitForIndex();
        EXPECT_EQ(m_view->document().fileSize(), text.size());
        EXPECT_TRUE(shown(0, text.size()) == text);
        m_view->redraw();
        EXPECT_EQ(drawnTexts().front(), firstLine);
        m_view->scrollToEnd();
        m_view->redraw();
        EXPECT_EQ(drawnTexts().back(), QStringLiteral("the last line"));
        // The line index reads the text too.
        EXPECT_EQ(m_view->lineNumberAt(text.size() - 3), 30001);
    }
    EXPECT_TRUE(m_sink.messages().empty()) << m_sink.texts().join(u'\n').toStdString();
}

// A search runs through the index and lands on the decompressed offset.
TEST_F(CompressedLog, SearchFindsTheTextThroughTheIndex)
{
    const QByteArray text = logLines(60000, "ERROR needle found at the end\n");
    ASSERT_TRUE(m_view->open(write(gz(text), QStringLiteral("app.log.gz"))));
    waitForIndex();
    DocumentSearch &search = m_view->search();
    QSignalSpy finished(&search, &DocumentSearch::finished);
    ASSERT_TRUE(search.findFirst(m_jobs, m_view.get(), QStringLiteral("needle"), {}, 0));
    ASSERT_TRUE(finished.wait(60000));
    ASSERT_EQ(search.outcome(), DocumentSearch::Outcome::Found);
    EXPECT_EQ(search.resultStart(), text.indexOf("needle"));
}

// A cut archive shows what decoded and says that it stopped.
TEST_F(CompressedLog, ACutArchiveShowsWhatDecodedAndSaysSo)
{
    const QByteArray text = logLines(50000);
    const QByteArray whole = gz(text);
    ASSERT_TRUE(m_view->open(write(whole.left(whole.size() / 2), QStringLiteral("cut.gz"))));
    waitForIndex();
    const qint64 size = m_view->document().fileSize();
    EXPECT_GT(size, 0);
    EXPECT_LT(size, text.size());
    EXPECT_TRUE(shown(0, size) == text.left(size));
    ASSERT_EQ(m_sink.messages().size(), 1u);
    EXPECT_TRUE(m_sink.texts().front().contains(QStringLiteral("damaged or cut short")))
        << m_sink.texts().front().toStdString();
}

// Another archive under the name (a rotation) is indexed afresh.
TEST_F(CompressedLog, AnotherArchiveUnderTheNameIsIndexedAfresh)
{
    const QByteArray first = logLines(20000);
    const QString name = write(gz(first), QStringLiteral("syslog.1.gz"));
    ASSERT_TRUE(m_view->open(name));
    waitForIndex();
    ASSERT_EQ(m_view->document().fileSize(), first.size());

    const QByteArray second = logLines(5000, "rotated\n");
    ASSERT_TRUE(QFile::remove(name));
    write(gz(second), QStringLiteral("syslog.1.gz"));
    m_view->reload();
    waitForIndex();
    EXPECT_EQ(m_view->document().fileSize(), second.size());
    EXPECT_TRUE(shown(0, second.size()) == second);
}

} // namespace
