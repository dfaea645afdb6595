#include "watch/compression.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class CompressionTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString write(const char *name, const QByteArray &bytes)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // The bytes through the real tool, from a file as a rotated log is made
    // (so that zstd records the size, which it cannot from a stream).
    QString compressed(const char *tool, const char *name, const QByteArray &bytes)
    {
        const QString plain = write("plain-input", bytes);
        const QString path = write(name, {});
        QProcess process;
        process.setStandardOutputFile(path);
        process.start(QString::fromLatin1(tool), {QStringLiteral("-c"), plain});
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0) << tool;
        QFile::remove(plain);
        return path;
    }
    QTemporaryDir m_dir;
};

// Told by the first bytes, never by the name.
TEST_F(CompressionTest, TheFirstBytesTellTheFormat)
{
    const QByteArray text = "2026-12-09 10:30:15 INFO started\n";
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.gz"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const struct
    {
        const char *what;
        QString path;
        Compression expected;
    } cases[] = {
        {"gzip", compressed("gzip", "a.log.1.gz", text), Compression::Gzip},
        {"zstd", compressed("zstd", "a.log.zst", text), Compression::Zstd},
        {"xz", compressed("xz", "a.log.xz", text), Compression::Xz},
        {"bzip2", compressed("bzip2", "a.log.bz2", text), Compression::Bzip2},
        {"gzip named .log", compressed("gzip", "rotated.log", text), Compression::Gzip},
        {"plain text named .gz", write("plain.gz", text), Compression::None},
        {"empty", write("empty.gz", ""), Compression::None},
        {"BZ but no level", write("bz.log", "BZh"), Compression::None},
        {"missing", m_dir.filePath("missing.gz"), Compression::None},
        // Opened to look, it would wait for a writer forever.
        {"a FIFO", fifo, Compression::None},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(compressionOf(c.path), c.expected);
    }
}

// What encoding detection looks at: a gzip log's text, anything else's bytes.
TEST_F(CompressionTest, TheHeadIsTheText)
{
    QByteArray text;
    for (int i = 0; i < 5000; ++i)
        text += "2026-12-09 10:30:15 INFO line " + QByteArray::number(i) + "\n";
    const QString gz = compressed("gzip", "a.log.gz", text);
    QFile file(gz);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    const QString cut = write("cut.gz", whole.left(whole.size() / 2));
    EXPECT_EQ(textHead(gz, 1000), text.left(1000));
    EXPECT_EQ(textHead(write("plain.log", text), 1000), text.left(1000));
    const QByteArray partial = textHead(cut, text.size());
    EXPECT_GT(partial.size(), 0);
    EXPECT_LT(partial.size(), text.size());
    EXPECT_EQ(partial, text.left(partial.size())) << "what decoded before the cut";
}

TEST_F(CompressionTest, TheDecompressedSizeWhereTheFormatSaysIt)
{
    QByteArray text;
    for (int i = 0; i < 20000; ++i)
        text += "2026-12-09 10:30:15 INFO request " + QByteArray::number(i) + " served\n";
    EXPECT_EQ(decompressedSize(Compression::Gzip, compressed("gzip", "a.gz", text)), text.size());
    EXPECT_EQ(decompressedSize(Compression::Zstd, compressed("zstd", "a.zst", text)), text.size());
    EXPECT_EQ(decompressedSize(Compression::Xz, compressed("xz", "a.xz", text)), -1);
    EXPECT_EQ(decompressedSize(Compression::Gzip, write("short.gz", "\x1f\x8b")), -1);
    EXPECT_EQ(decompressor(Compression::Gzip, QStringLiteral("/var/log/x.gz")),
              QList<QByteArray>({"gzip", "-d", "-c", "-q", "--", "/var/log/x.gz"}));
    EXPECT_TRUE(decompressor(Compression::None, QStringLiteral("/x")).isEmpty());
}

} // namespace
