#include "benchcommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <time.h>
#include <unistd.h>

namespace bench {

namespace {
bool g_failed = false;
} // namespace

void initSmoke(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--smoke") == 0)
            qputenv("RAVELIN_BENCH_SMOKE", "1");
    }
}

bool smoke()
{
    return qEnvironmentVariableIntValue("RAVELIN_BENCH_SMOKE") != 0;
}

void fail(const QString &what)
{
    std::fprintf(stderr, "FAILED: %s\n", qUtf8Printable(what));
    g_failed = true;
}

int exitCode()
{
    return g_failed ? 1 : 0;
}

QString dataDir()
{
    QString dir = qEnvironmentVariable("RAVELIN_BENCH_DATA");
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.cache/ravelin-bench");
    QDir().mkpath(dir);
    return dir;
}

QString ensureHeadOf(const QString &source, const QString &name, qint64 bytes)
{
    const QString path = dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() != bytes) {
        QFile in(source);
        QFile out(path);
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        out.write(in.read(bytes));
    }
    return path;
}

QString ensureLog(const QString &name, qint64 bytes)
{
    const QString path = dataDir() + QLatin1Char('/') + name;
    if (QFileInfo(path).size() >= bytes)
        return path;
    const QString gen = qEnvironmentVariable("RAVELIN_GENLOG", QStringLiteral("ravelin_genlog"));
    const int rc = QProcess::execute(gen, {path, QString::number(bytes)});
    if (rc != 0) {
        std::fprintf(stderr, "cannot generate %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

double seconds(const std::function<void()> &fn)
{
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double medianSeconds(int runs, const std::function<void()> &fn)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i)
        v.push_back(seconds(fn));
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

namespace {
double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
} // namespace

Times medianTimes(int runs, const std::function<void()> &fn)
{
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        const double c0 = threadCpuSeconds();
        wall.push_back(seconds(fn));
        cpu.push_back(threadCpuSeconds() - c0);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

qint64 residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    if (parts.size() < 2)
        return 0;
    return parts[1].toLongLong() * sysconf(_SC_PAGESIZE);
}

qint64 wcLines(const QString &path)
{
    QProcess wc;
    wc.start(QStringLiteral("wc"), {QStringLiteral("-l"), path});
    if (!wc.waitForFinished(-1) || wc.exitCode() != 0)
        return -1;
    bool ok = false;
    const qint64 n = wc.readAllStandardOutput().trimmed().split(' ').value(0).toLongLong(&ok);
    return ok ? n : -1;
}

double commandSeconds(const QString &command)
{
    return seconds([&] {
        QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    });
}

void report(const Row &row)
{
    QJsonObject o;
    o[QStringLiteral("figure")] = row.figure;
    o[QStringLiteral("ours")] = row.ours;
    o[QStringLiteral("unit")] = row.unit;
    if (row.peer > 0) {
        o[QStringLiteral("peer")] = row.peer;
        o[QStringLiteral("peer_name")] = row.peerName;
        o[QStringLiteral("ratio")] = row.ours / row.peer;
    }
    o[QStringLiteral("goal")] = row.goalText;
    const bool ours =
        std::isfinite(row.ours) && (row.ours > 0 || (row.zeroAllowed && row.ours == 0));
    const bool peer = !row.ratioGoal || (std::isfinite(row.peer) && row.peer > 0);
    const bool valid = ours && peer;
    const double measured = row.ratioGoal ? row.ours / row.peer : row.ours;
    o[QStringLiteral("valid")] = valid;
    o[QStringLiteral("info")] = row.goal <= 0;
    o[QStringLiteral("met")] = valid && (row.goal <= 0 || measured <= row.goal);
    if (!valid)
        fail(QStringLiteral("no figure for \"%1\"").arg(row.figure));
    std::printf("BENCH %s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

} // namespace bench
