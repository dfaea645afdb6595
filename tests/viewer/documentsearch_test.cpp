// The search of a document with no widget at all: its steps run as jobs and
// end by signals, a stream is read on its own thread, and a document that
// goes away under a running step is never touched by it.
#include "viewer/documentsearch.h"

#include "testfiles.h"
#include "viewer/viewdocument.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>

#include <chrono>
#include <memory>
#include <stdexcept>

namespace {

using Outcome = DocumentSearch::Outcome;

// A buffer that notes the thread of every read.
class WatchedBuffer final : public QBuffer
{
public:
    explicit WatchedBuffer(QByteArray *bytes) : QBuffer(bytes) {}
    std::vector<QThread *> readers;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        readers.push_back(QThread::currentThread());
        return QBuffer::readData(data, maxSize);
    }
};

class DocumentSearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_document = std::make_unique<ViewDocument>();
        m_search = std::make_unique<DocumentSearch>(*m_document);
    }
    void open(const QString &path)
    {
        ASSERT_EQ(m_document->openFile(path), ViewDocument::OpenResult::Ok);
    }
    // Waits for the end of a step that started; false when none started.
    bool settle(bool started)
    {
        if (!started)
            return false;
        QSignalSpy finished(m_search.get(), &DocumentSearch::finished);
        EXPECT_TRUE(finished.wait(60000)) << "the step never ended";
        return m_search->outcome() == Outcome::Found;
    }
    bool findFirst(const QString &text)
    {
        return settle(m_search->findFirst(m_jobs, this, text, {}, -1));
    }

    BackgroundJobs m_jobs;
    TempFiles m_files;
    std::unique_ptr<ViewDocument> m_document;
    std::unique_ptr<DocumentSearch> m_search;
};

TEST_F(DocumentSearchTest, WhatTheJobThrowsIsTheStepsOutcome)
{
    open(m_files.write(QStringLiteral("a.log"), "one needle\n"));
    QThread *where = nullptr;
    m_search->hook = [&where] {
        where = QThread::currentThread();
        throw std::runtime_error("Read error at offset 65536");
    };
    EXPECT_FALSE(findFirst(QStringLiteral("needle")));
    EXPECT_NE(where, QThread::currentThread()) << "the step ran here";
    ASSERT_EQ(m_search->outcome(), Outcome::Failed);
    try {
        std::rethrow_exception(m_search->error());
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "Read error at offset 65536");
    }
    EXPECT_FALSE(m_search->running()) << "a failed step must not block the next";
    m_search->hook = nullptr;
    EXPECT_TRUE(findFirst(QStringLiteral("needle")));
    EXPECT_EQ(m_search->resultStart(), 4);
    EXPECT_EQ(m_search->error(), nullptr);
}

TEST_F(DocumentSearchTest, ProgressComesAtOnceThenAtMostEveryInterval)
{
    open(writeSparse(m_files.path(QStringLiteral("big.log")), qint64(128) << 20));
    QSignalSpy reports(m_search.get(), &DocumentSearch::progress);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(findFirst(QStringLiteral("needle")));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    ASSERT_GE(reports.count(), 1);
    EXPECT_EQ(reports.at(0).at(1).toLongLong(), qint64(128) << 20) << "the first, at the start";
    EXPECT_LE(reports.count(),
              elapsed / std::chrono::milliseconds(DocumentSearch::kReportIntervalMs) + 1);
}

// A step over before its first report reaches this thread reports nothing: a
// progress window shown for it would only flash and take the keyboard away.
TEST_F(DocumentSearchTest, AStepDoneBeforeItsFirstReportArrivesReportsNothing)
{
    open(writeSparse(m_files.path(QStringLiteral("big.log")), qint64(16) << 20));
    QSignalSpy reports(m_search.get(), &DocumentSearch::progress);
    QSignalSpy finished(m_search.get(), &DocumentSearch::finished);
    ASSERT_TRUE(m_search->findFirst(m_jobs, this, QStringLiteral("needle"), {}, -1));
    m_jobs.waitForDone(); // over before this thread looks at what was queued
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(m_search->outcome(), Outcome::Found);
    EXPECT_EQ(reports.count(), 0);
}

TEST_F(DocumentSearchTest, CancelStopsTheJobAndASecondStepIsRefusedMeanwhile)
{
    open(writeSparse(m_files.path(QStringLiteral("huge.log")), qint64(10) << 30));
    bool second = true;
    QObject::connect(m_search.get(), &DocumentSearch::progress, [&] {
        second = m_search->findFirst(m_jobs, this, QStringLiteral("other"), {}, -1);
        m_search->cancel();
    });
    // Not cancelled, the step would read 10 GiB and find the needle.
    EXPECT_FALSE(findFirst(QStringLiteral("needle")));
    EXPECT_EQ(m_search->outcome(), Outcome::Stopped);
    EXPECT_FALSE(second) << "a second step started under the first";
    EXPECT_EQ(m_search->text(), QStringLiteral("needle"));
    EXPECT_EQ(m_search->resultStart(), -1) << "a stopped step stands on no match";
    m_jobs.waitForDone();
}

TEST_F(DocumentSearchTest, AStreamIsReadOnItsOwnThread)
{
    QByteArray bytes(3 * StreamSearch::blockSize, 'x');
    bytes += "needle";
    WatchedBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    m_document->openStream(&buffer);
    buffer.readers.clear();
    EXPECT_TRUE(findFirst(QStringLiteral("needle")));
    EXPECT_EQ(m_search->resultStart(), 3 * StreamSearch::blockSize);
    ASSERT_FALSE(buffer.readers.empty());
    for (QThread *reader : buffer.readers)
        EXPECT_EQ(reader, QThread::currentThread());
}

TEST_F(DocumentSearchTest, ADocumentGoneUnderARunningStepIsNeverTouched)
{
    struct Case
    {
        const char *name;
        bool stream;
    };
    const Case cases[] = {{"file", false}, {"stream", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        auto bytes = std::make_unique<QByteArray>(64 * StreamSearch::blockSize, 'x');
        auto buffer = std::make_unique<QBuffer>(bytes.get());
        if (c.stream) {
            ASSERT_TRUE(buffer->open(QIODevice::ReadOnly));
            m_document->openStream(buffer.get());
        } else {
            open(writeSparse(m_files.path(QStringLiteral("huge.log")), qint64(10) << 30));
        }
        QSignalSpy finished(m_search.get(), &DocumentSearch::finished);
        ASSERT_TRUE(m_search->findFirst(m_jobs, this, QStringLiteral("needle"), {}, -1));
        QSignalSpy reports(m_search.get(), &DocumentSearch::progress);
        ASSERT_TRUE(reports.wait(10000));

        // The document closes its source: the step ends at once.
        m_search->release();
        ASSERT_EQ(finished.count(), 1);
        EXPECT_EQ(m_search->outcome(), Outcome::Abandoned);
        EXPECT_FALSE(m_search->running());
        EXPECT_FALSE(m_search->started());
        // Then all of it goes, the stream's device too, while the job may
        // still be asking for a block.
        m_search.reset();
        m_document.reset();
        buffer.reset();
        bytes.reset();
        QCoreApplication::processEvents();
        m_jobs.waitForDone();
        QCoreApplication::processEvents();
        EXPECT_TRUE(m_jobs.idle());
    }
}

} // namespace
