// One window for every file: from the start of a second `ravelin FILE` to
// the running window holding FILE open in a new tab.
#include "benchcommon.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

bool holdsOpen(qint64 pid, const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo &fd :
         fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (fd.symLinkTarget() == target)
            return true;
    return false;
}

bool waitHeld(const QProcess &process, const QString &path, int limitMs)
{
    const QDeadlineTimer deadline(limitMs);
    while (!holdsOpen(process.processId(), path) && !deadline.hasExpired())
        QThread::usleep(500);
    return holdsOpen(process.processId(), path);
}

QString writeLog(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("a line\n");
    return path;
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    QCoreApplication app(argc, argv);
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/app/ravelin");
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Ravelin.ini"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess window;
    window.setProcessEnvironment(env);
    window.setStandardInputFile(QProcess::nullDevice());
    const QString first = writeLog(dir, QStringLiteral("first.log"));
    window.start(program, {QStringLiteral("--config"), ini, first});
    if (!window.waitForStarted() || !waitHeld(window, first, 60000)) {
        bench::fail(QStringLiteral("the window did not come up"));
        return bench::exitCode();
    }
    std::vector<double> times;
    const int runs = bench::smoke() ? 3 : 21;
    for (int i = 0; i < runs; ++i) {
        const QString path = writeLog(dir, QStringLiteral("f%1.log").arg(i));
        QProcess start;
        start.setProcessEnvironment(env);
        start.setStandardInputFile(QProcess::nullDevice());
        const auto t0 = std::chrono::steady_clock::now();
        start.start(program, {QStringLiteral("--config"), ini, path});
        if (!waitHeld(window, path, 10000)) {
            bench::fail(QStringLiteral("the running window never opened %1").arg(path));
            break;
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
        start.waitForFinished(10000);
    }
    window.terminate();
    window.waitForFinished(30000);
    std::sort(times.begin(), times.end());
    const double median = times.empty() ? 0 : times[times.size() / 2];
    std::fprintf(stderr, "hand-over: median %.1f ms, max %.1f ms\n", median,
                 times.empty() ? 0 : times.back());
    bench::report({QStringLiteral("a file handed to the running window, start to tab, median"),
                   median, QStringLiteral("ms"), 0, QString(), 100, false,
                   QStringLiteral("<= 100 ms")});
    return bench::exitCode();
}
