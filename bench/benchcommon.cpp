#include "benchcommon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace bench {

QString DataDir()
{
    QString dir = qEnvironmentVariable("RAVELIN_BENCH_DATA");
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.cache/ravelin-bench");
    QDir().mkpath(dir);
    return dir;
}

QString EnsureLog(const QString &name, qint64 bytes)
{
    const QString path = DataDir() + QLatin1Char('/') + name;
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

double Seconds(const std::function<void()> &fn)
{
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double MedianSeconds(int runs, const std::function<void()> &fn)
{
    std::vector<double> v;
    for (int i = 0; i < runs; ++i)
        v.push_back(Seconds(fn));
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

qint64 ResidentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    if (parts.size() < 2)
        return 0;
    return parts[1].toLongLong() * sysconf(_SC_PAGESIZE);
}

double CommandSeconds(const QString &command)
{
    return Seconds([&] {
        QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    });
}

void Report(const Row &row)
{
    QJsonObject o;
    o[QStringLiteral("figure")] = row.Figure;
    o[QStringLiteral("ours")] = row.Ours;
    o[QStringLiteral("unit")] = row.Unit;
    if (row.Peer > 0) {
        o[QStringLiteral("peer")] = row.Peer;
        o[QStringLiteral("peer_name")] = row.PeerName;
        o[QStringLiteral("ratio")] = row.Ours / row.Peer;
    }
    o[QStringLiteral("goal")] = row.GoalText;
    const double measured = row.RatioGoal ? (row.Peer > 0 ? row.Ours / row.Peer : 0) : row.Ours;
    o[QStringLiteral("met")] = row.Goal <= 0 || measured <= row.Goal;
    std::printf("BENCH %s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

} // namespace bench
