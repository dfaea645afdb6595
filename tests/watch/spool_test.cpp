#include "watch/spool.h"

#include "text/fileutil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

QByteArray randomBytes(int size, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(rng());
    return bytes;
}

// Writes bytes to fd in pieces of random size, now and then pausing, then
// closes fd: the way a command's output comes.
void writeInPieces(int fd, const QByteArray &bytes, unsigned seed)
{
    std::mt19937 rng(seed);
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype piece = std::min<qsizetype>(bytes.size() - at, 1 + rng() % 70000);
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(piece));
        if (n <= 0)
            break;
        at += n;
        if (rng() % 8 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 2000));
    }
    ::close(fd);
}

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The ended signal's text once it came; the limit only turns a missing
// signal into a failure.
std::optional<QString> waitForEnd(Spool &spool, int limitMs = 60000)
{
    std::optional<QString> result;
    QEventLoop loop;
    QObject::connect(&spool, &Spool::ended, &loop, [&](const QString &error) {
        result = error;
        loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    // Told through the event loop, also when the input ended before now.
    loop.exec();
    QCoreApplication::processEvents(); // a signal queued before the connection
    return result;
}

class SpoolTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString folder() const { return m_dir.filePath(QStringLiteral("cache/ravelin")); }
    QTemporaryDir m_dir;
};

// Whatever the input is, the spool holds exactly what came, in a file the
// user alone can read, and goes with its tab.
TEST_F(SpoolTest, AStreamCutIntoPiecesIsSpooledWhole)
{
    enum class Kind { Pipe, Socket, File };
    const struct
    {
        const char *what;
        Kind kind;
    } cases[] = {{"pipe", Kind::Pipe}, {"socket", Kind::Socket}, {"regular file", Kind::File}};
    unsigned seed = 1;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray bytes = randomBytes(3 * 1024 * 1024 + 17, seed++);
        int fds[2] = {-1, -1};
        std::thread writer;
        if (c.kind == Kind::File) {
            const QString input = m_dir.filePath(QStringLiteral("input.bin"));
            QFile file(input);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(bytes);
            file.close();
            fds[0] = ::open(QFile::encodeName(input).constData(), O_RDONLY | O_CLOEXEC);
        } else {
            ASSERT_EQ(c.kind == Kind::Pipe ? ::pipe2(fds, O_CLOEXEC)
                                           : ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds),
                      0);
            writer = std::thread(writeInPieces, fds[1], bytes, seed);
        }
        QString path;
        {
            Spool spool(UniqueFd(fds[0]), folder());
            path = spool.path();
            const std::optional<QString> error = waitForEnd(spool);
            if (writer.joinable())
                writer.join();
            ASSERT_TRUE(error.has_value());
            EXPECT_TRUE(error->isEmpty()) << qPrintable(*error);
            EXPECT_EQ(spool.written(), bytes.size());
            QFile spooled(path);
            ASSERT_TRUE(spooled.open(QIODevice::ReadOnly));
            EXPECT_TRUE(spooled.readAll() == bytes);
            EXPECT_EQ(modeOf(path), 0600u);
            EXPECT_EQ(modeOf(folder()), 0700u);
        }
        EXPECT_FALSE(QFile::exists(path)) << "the spool goes with its tab";
    }
}

// A spool closed while its input still flows stops at once.
TEST_F(SpoolTest, ClosingWhileTheInputFlowsEndsTheCopy)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    QString path;
    {
        Spool spool(UniqueFd(fds[0]), folder());
        path = spool.path();
        ASSERT_EQ(::write(fds[1], "partial line", 12), 12);
        QElapsedTimer clock;
        clock.start();
        while (spool.written() < 12 && clock.elapsed() < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_TRUE(spool.running());
    }
    EXPECT_FALSE(QFile::exists(path));
    // The reader is gone: the writer learns it.
    std::signal(SIGPIPE, SIG_IGN);
    EXPECT_EQ(::write(fds[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(fds[1]);
}

// A full disk stops the copy and says so; what came before stays.
TEST_F(SpoolTest, AFullDiskStopsTheCopyAndKeepsWhatWasWritten)
{
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    const QByteArray bytes = randomBytes(256 * 1024, 7);
    {
        Spool spool(UniqueFd(fds[0]), folder());
        rlimit small = old;
        small.rlim_cur = 64 * 1024; // every file of this process: only while the copy runs
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        std::thread writer(writeInPieces, fds[1], bytes, 3u);
        const std::optional<QString> error = waitForEnd(spool);
        ::setrlimit(RLIMIT_FSIZE, &old);
        writer.join();
        ASSERT_TRUE(error.has_value());
        EXPECT_TRUE(error->startsWith(QStringLiteral("No room left on the disk")))
            << qPrintable(*error);
        EXPECT_EQ(spool.written(), 64 * 1024);
        QFile spooled(spool.path());
        ASSERT_TRUE(spooled.open(QIODevice::ReadOnly));
        EXPECT_TRUE(spooled.readAll() == bytes.left(64 * 1024)) << "what came before is kept";
    }
    std::signal(SIGXFSZ, oldHandler);
}

// Only spools no living program holds are removed, and never one just made.
TEST_F(SpoolTest, StaleSpoolsAreRemovedAtTheNextStart)
{
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    Spool held(UniqueFd(fds[0]), folder());
    const auto write = [this](const char *name) {
        const QString path = folder() + QLatin1Char('/') + QLatin1String(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    };
    const auto age = [](const QString &path) {
        const timeval old[2] = {{1000000000, 0}, {1000000000, 0}};
        EXPECT_EQ(::utimes(QFile::encodeName(path).constData(), old), 0);
    };
    const QString dead = write("spool-dead01");
    const QString fresh = write("spool-fresh1");
    const QString other = write("notes.txt");
    age(dead);
    age(other);
    age(held.path());
    EXPECT_EQ(Spool::removeStale(folder()), 1);
    EXPECT_FALSE(QFile::exists(dead));
    EXPECT_TRUE(QFile::exists(held.path())) << "its program lives";
    EXPECT_TRUE(QFile::exists(fresh)) << "may be about to be locked";
    EXPECT_TRUE(QFile::exists(other)) << "not a spool";
    EXPECT_EQ(Spool::removeStale(m_dir.filePath(QStringLiteral("missing"))), 0);
    ::close(fds[1]);
}

TEST_F(SpoolTest, TheCacheFolderIsMadePrivate)
{
    const QString open = m_dir.filePath(QStringLiteral("open"));
    ASSERT_EQ(::mkdir(QFile::encodeName(open).constData(), 0755), 0);
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    {
        Spool spool(UniqueFd(fds[0]), open);
        EXPECT_EQ(modeOf(open), 0700u) << "closed to other users";
    }
    ::close(fds[1]);

    const QString file = m_dir.filePath(QStringLiteral("a-file"));
    QFile(file).open(QIODevice::WriteOnly);
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    ::close(fds[1]);
    EXPECT_THROW(Spool(UniqueFd(fds[0]), file), SpoolError);
}

TEST(SpoolFolder, FollowsXdgCacheHome)
{
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("XDG_CACHE_HOME", "/srv/cache");
    EXPECT_EQ(Spool::cacheFolder(), QStringLiteral("/srv/cache/ravelin"));
    qputenv("XDG_CACHE_HOME", "relative/is/ignored");
    qputenv("HOME", "/home/ann");
    EXPECT_EQ(Spool::cacheFolder(), QStringLiteral("/home/ann/.cache/ravelin"));
    qputenv("XDG_CACHE_HOME", oldCache);
    qputenv("HOME", oldHome);
}

} // namespace
