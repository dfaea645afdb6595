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

struct SpoolRun
{
    double seconds = 0;      // to the whole output in the spool; 0 when anything failed
    double firstSeconds = 0; // to the first 64 KiB in the spool: a first screen
};

// Runs program with its arguments into a pipe spooled as the application
// spools a command's output.
SpoolRun spoolRun(const std::vector<QByteArray> &arguments, qint64 size)
{
    SpoolRun run;
    QTemporaryDir folder(bench::dataDir() + QStringLiteral("/spool-XXXXXX"));
    int fds[2];
    if (!folder.isValid() || ::pipe2(fds, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<QByteArray> copies = arguments;
    std::vector<char *> argv;
    for (QByteArray &argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        return run;
    }
    {
        Spool spool{UniqueFd(fds[0]), folder.path()};
        while (spool.running()) {
            if (run.firstSeconds == 0 && spool.written() >= 65536)
                run.firstSeconds = since();
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        run.seconds = since();
        if (spool.written() != size) {
            std::fprintf(stderr, "spooled %lld of %lld bytes\n",
                         static_cast<long long>(spool.written()), static_cast<long long>(size));
            run.seconds = 0;
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return run;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A zstd archive of the log beside it, made once.
QString zstdOf(const QString &path)
{
    const QString zst = path + QStringLiteral(".zst");
    if (QFile(zst).size() > 0)
        return zst;
    const QString command =
        QStringLiteral("zstd -q -c '%1' > '%2.part' && mv '%2.part' '%2'").arg(path, zst);
    return bench::commandSeconds(command) > 0 && QFile(zst).size() > 0 ? zst : QString();
}

// A compressed format without an index of ours (zstd here) is decompressed
// by its tool into a spooled tab, as the application opens it.
void compressedFigures(const QString &path, qint64 size, const QString &name, int runs)
{
    const QString zst = zstdOf(path);
    if (zst.isEmpty()) {
        bench::fail(QStringLiteral("cannot make a zstd archive of %1").arg(path));
        return;
    }
    const QString quoted = QLatin1Char('\'') + zst + QLatin1Char('\'');
    std::vector<double> peers, ours, firsts;
    for (int i = 0; i < runs; ++i) {
        peers.push_back(
            bench::commandSeconds(QStringLiteral("zstd -dc %1 > /dev/null").arg(quoted)));
        const SpoolRun run =
            spoolRun({"zstd", "-d", "-c", "-q", "--", QFile::encodeName(zst)}, size);
        ours.push_back(run.seconds);
        firsts.push_back(run.firstSeconds);
    }
    const double peer = median(peers);
    const double whole = median(ours);
    const double first = median(firsts);
    std::fprintf(stderr,
                 ".zst of %s: first screen %.1f ms, whole %.1f ms, zstd -dc > /dev/null %.1f ms\n",
                 qPrintable(name), first * 1e3, whole * 1e3, peer * 1e3);
    bench::report({QStringLiteral(".zst of %1: first screen in the tab").arg(name), first * 1e3,
                   QStringLiteral("ms"), 0, QString(), 200, false, QStringLiteral("<= 200 ms")});
    // The spool writes what the tool gives; the disk sets the pace.
    bench::report({QStringLiteral(".zst of %1: decompressed into a spooled tab").arg(name),
                   whole * 1e3, QStringLiteral("ms"), peer * 1e3,
                   QStringLiteral("zstd -dc > /dev/null"), 0, false, QStringLiteral("(info)")});
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
        ours.push_back(spoolRun({"cat", QFile::encodeName(path)}, size).seconds);
    }
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
    compressedFigures(path, size, name, smoke ? 1 : 3);
    return bench::exitCode();
}
