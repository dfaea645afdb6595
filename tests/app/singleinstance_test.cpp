#include "app/singleinstance.h"

#include "text/fileutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QUuid>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

QString uniqueName()
{
    return QStringLiteral("ravelin-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Runs the event loop until done holds; the limit only turns a hang into a failure.
bool runUntil(const std::function<bool()> &done, int limitMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// A second start hands its files to the window: any name a file may have.
TEST(SingleInstance, FilesReachTheRunningWindowWhole)
{
    const QString name = uniqueName();
    SingleInstance window;
    ASSERT_TRUE(window.listen(name));
    QStringList received;
    bool told = false;
    QObject::connect(&window, &SingleInstance::filesReceived, [&](const QStringList &files) {
        received = files;
        told = true;
    });
    const QStringList files = {
        QStringLiteral("/var/log/a b.log"), QStringLiteral("/tmp/line\nbreak.log"),
        fileNameFromBytes("/tmp/\xff\xfe.log"), QStringLiteral("/var/log/журнал.log")};
    std::atomic<bool> taken{false};
    std::thread second([&] { taken = SingleInstance::handOver(name, files); });
    EXPECT_TRUE(runUntil([&] { return told; }));
    second.join();
    EXPECT_TRUE(taken);
    EXPECT_EQ(received, files);
    EXPECT_EQ(fileNameToBytes(received[2]), QByteArray("/tmp/\xff\xfe.log"));

    // With nobody listening a start opens its own window.
    EXPECT_FALSE(SingleInstance::handOver(uniqueName(), files, 300));
}

// A window that crashed leaves its socket behind: the next start takes it over.
TEST(SingleInstance, ASocketLeftByACrashIsTakenOver)
{
    const QString name = uniqueName();
    const QByteArray path = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + name);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd); // bound, never listening, and gone: as a crash leaves it
    ASSERT_TRUE(QFile::exists(QFile::decodeName(path)));
    EXPECT_FALSE(SingleInstance::handOver(name, {}, 300)) << "nobody answers";
    SingleInstance window;
    EXPECT_TRUE(window.listen(name));

    // A second window on the same name does not steal the first one's socket.
    SingleInstance late;
    EXPECT_FALSE(late.listen(name));
}

// Whatever connects may send anything: too much is refused, the window goes on.
TEST(SingleInstance, AHostileClientIsCutOff)
{
    const QString name = uniqueName();
    SingleInstance window;
    ASSERT_TRUE(window.listen(name));
    int told = 0;
    QObject::connect(&window, &SingleInstance::filesReceived, [&] { ++told; });
    QLocalSocket socket;
    socket.connectToServer(name);
    ASSERT_TRUE(socket.waitForConnected(2000));
    socket.write(QByteArray("\xff\xff\xff\xff", 4) + QByteArray(64, 'x'));
    socket.flush();
    EXPECT_TRUE(runUntil([&] { return socket.state() != QLocalSocket::ConnectedState; }));
    EXPECT_EQ(told, 0);
    std::atomic<bool> taken{false};
    std::thread second([&] { taken = SingleInstance::handOver(name, {QStringLiteral("/a.log")}); });
    EXPECT_TRUE(runUntil([&] { return told == 1; })) << "still serving";
    second.join();
    EXPECT_TRUE(taken);
}

} // namespace
