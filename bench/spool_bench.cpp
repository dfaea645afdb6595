// Standard input spooled into the cache folder, fed by `cat` of a cached
// log, side by side with `cat > /dev/null` of the same file.
#include "benchcommon.h"

#include "watch/spool.h"
#include "watch/uniquefd.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// Seconds from starting `cat path` into a pipe to the spool holding all of
// it; 0 when anything failed.
double spoolSeconds(const QString &path, qint64 size)
{
    QTemporaryDir folder(bench::dataDir() + QStringLiteral("/spool-XXXXXX"));
    int fds[2];
    if (!folder.isValid() || ::pipe2(fds, O_CLOEXEC) != 0)
        return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    const QByteArray file = QFile::encodeName(path);
    char cat[] = "cat";
    char *argv[] = {cat, const_cast<char *>(file.constData()), nullptr};
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, "cat", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return 0;
    }
    double seconds = 0;
    {
        Spool spool{UniqueFd(fds[0]), folder.path()};
        while (spool.running())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (spool.written() != size) {
            std::fprintf(stderr, "spooled %lld of %lld bytes\n",
                         static_cast<long long>(spool.written()), static_cast<long long>(size));
            seconds = 0;
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    const QString path = smoke ? bench::ensureLog(QStringLiteral("smoke-spool-16m.log"), 16LL << 20)
                               : bench::ensureLog(QStringLiteral("app-1g.log"), 1LL << 30);
    const qint64 size = QFile(path).size();
    const QString quoted = QLatin1Char('\'') + path + QLatin1Char('\'');
    bench::commandSeconds(QStringLiteral("cat ") + quoted + QStringLiteral(" > /dev/null"));
    const int runs = smoke ? 1 : 5;
    const QString copy = bench::dataDir() + QStringLiteral("/spool-peer-copy");
    const QString toFile = QStringLiteral("cat %1 > '%2'").arg(quoted, copy);
    const QString throughPipe = QStringLiteral("cat %1 | cat > /dev/null").arg(quoted);
    std::vector<double> cats, files, pipes, ours;
    for (int i = 0; i < runs; ++i) {
        pipes.push_back(bench::commandSeconds(throughPipe));
        cats.push_back(bench::commandSeconds(QStringLiteral("cat ") + quoted +
                                             QStringLiteral(" > /dev/null")));
        files.push_back(bench::commandSeconds(toFile));
        QFile::remove(copy);
        ours.push_back(spoolSeconds(path, size));
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double cat = median(cats);
    const double file = median(files);
    const double spool = median(ours);
    const double pipe = median(pipes);
    const double gb = double(size) / 1e9;
    std::fprintf(stderr,
                 "spool %.1f ms (%.2f GB/s), cat > /dev/null %.1f ms (%.2f GB/s), cat > file %.1f "
                 "ms (%.2f GB/s)\n",
                 spool * 1e3, spool > 0 ? gb / spool : 0, cat * 1e3, cat > 0 ? gb / cat : 0,
                 file * 1e3, file > 0 ? gb / file : 0);
    const QString name = smoke ? QStringLiteral("16 MiB") : QStringLiteral("1 GiB");
    // 1 GB/s: the time of size/1e9 seconds at most.
    bench::report({QStringLiteral("spool standard input from cat, %1").arg(name), spool * 1e3,
                   QStringLiteral("ms"), cat * 1e3, QStringLiteral("cat > /dev/null"), gb * 1e3,
                   false, QStringLiteral("<= %1 ms (1 GB/s)").arg(gb * 1e3, 0, 'f', 0)});
    // Like for like: the same bytes written into a file of the same disk.
    bench::report({QStringLiteral("spool standard input from cat, %1, vs cat > file").arg(name),
                   spool * 1e3, QStringLiteral("ms"), file * 1e3, QStringLiteral("cat > file"), 0,
                   false, QStringLiteral("(info)")});
    // What a pipe alone carries here, read by a program that writes nothing.
    bench::report(
        {QStringLiteral("spool standard input from cat, %1, vs cat | cat > /dev/null").arg(name),
         spool * 1e3, QStringLiteral("ms"), pipe * 1e3, QStringLiteral("cat | cat > /dev/null"), 0,
         false, QStringLiteral("(info)")});
    return bench::exitCode();
}
