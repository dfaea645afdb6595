// "Go to" as the window runs it, a job on the pool reading through a source
// of its own. A time in a huge log: byte offsets bisected, side by side with
// grep finding the same first line from the top. A line the index does not
// hold yet: counted from the top, side by side with head reading as far.
#include "benchcommon.h"

#include "viewer/backgroundjobs.h"
#include "viewer/filesource.h"
#include "viewer/linelocator.h"
#include "viewer/timeseek.h"

#include <QFile>
#include <QProcess>

namespace {

constexpr qint64 kStride = 64 * 1024;

// A sparse log of `bytes` bytes: at the end of every 64 KiB a line with a
// time, one second after the one before from 2026-12-09 00:00:00; between
// them a line of holes without one. Made once.
QString makeLog(const QString &name, qint64 bytes)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() == bytes)
        return path;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || !out.resize(bytes))
        return QString();
    for (qint64 n = 0; (n + 1) * kStride <= bytes; ++n) {
        const qint64 s = n % 86400, day = 9 + n / 86400;
        const QByteArray line = QStringLiteral("\n2026-12-%1 %2:%3:%4.000 INFO request %5 done\n")
                                    .arg(day, 2, 10, QLatin1Char('0'))
                                    .arg(s / 3600, 2, 10, QLatin1Char('0'))
                                    .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                                    .arg(s % 60, 2, 10, QLatin1Char('0'))
                                    .arg(n)
                                    .toLatin1();
        if (!out.seek((n + 1) * kStride - line.size()) || out.write(line) != line.size())
            return QString();
    }
    return out.error() == QFile::NoError ? path : QString();
}

void measureLine(BackgroundJobs &jobs, bool smoke)
{
    const QString path =
        bench::ensureLog(smoke ? QStringLiteral("app-64m.log") : QStringLiteral("filter-1g.log"),
                         smoke ? qint64(64) << 20 : qint64(1) << 30);
    auto shown = LocalFileSource::open(path);
    const qint64 lines = bench::wcLines(path);
    if (!shown || lines < 10) {
        bench::fail(QStringLiteral("cannot open or count %1").arg(path));
        return;
    }
    const qint64 target = lines / 10 * 9;
    LineLocator::Result result;
    const auto goTo = [&] {
        std::shared_ptr<FileSource> source(shown->openAnother());
        auto job = jobs.start<LineLocator::Result>(
            nullptr,
            [source, target](QPromise<LineLocator::Result> &promise, std::stop_token stop) {
                promise.addResult(LineLocator(*source, LineCountUnit::Byte).find(target, stop));
            });
        result = job.future.result();
    };
    goTo(); // warms the pages
    const int runs = smoke ? 3 : 5;
    const double ours = bench::medianSeconds(runs, goTo);
    if (result.status != LineLocator::Result::Status::Found || result.line != target)
        bench::fail(QStringLiteral("go to line %1 did not find it").arg(target));

    const QString head = QStringLiteral("head -n %1 '%2' > /dev/null").arg(target).arg(path);
    const double peer = bench::medianSeconds(runs, [&] { bench::commandSeconds(head); });
    bench::report({QStringLiteral("Go to line at 90% of a %1 MiB log, not indexed yet, page "
                                  "cache, median")
                       .arg(QFile(path).size() >> 20),
                   ours * 1e3, QStringLiteral("ms"), peer * 1e3, QStringLiteral("head -n"), 0,
                   false, QStringLiteral("(info)")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    const qint64 bytes = smoke ? qint64(64) << 20 : qint64(8) << 30;
    const int runs = smoke ? 3 : 21;
    const QString path =
        makeLog(smoke ? QStringLiteral("goto-smoke.log") : QStringLiteral("goto-8g.log"), bytes);
    auto shown = path.isEmpty() ? nullptr : LocalFileSource::open(path);
    if (!shown) {
        bench::fail(QStringLiteral("cannot write or open the go-to log"));
        return bench::exitCode();
    }
    // 00:10:30 lies inside the smoke file, 10:30 inside the large one.
    const char *typed = smoke ? "2026-12-09 00:10:30" : "2026-12-09 10:30";
    const LogTime target{*daysFromCivil(2026, 12, 9) * 86400000 +
                             (smoke ? 630000 : (10 * 60 + 30) * 60000),
                         false, 0};

    BackgroundJobs jobs;
    TimeSeek::Result result;
    const auto goTo = [&] {
        std::shared_ptr<FileSource> source(shown->openAnother());
        auto job = jobs.start<TimeSeek::Result>(
            nullptr, [source, target](QPromise<TimeSeek::Result> &promise, std::stop_token stop) {
                promise.addResult(TimeSeek(*source, encodingUtf8, TimeContext{2026, 12}, stop)
                                      .find(target, false, 0));
            });
        result = job.future.result();
    };
    goTo(); // warms the pages it reads
    const double ours = bench::medianSeconds(runs, goTo);
    // The line of second n ends block n.
    const qint64 second = (target.wallMs % 86400000) / 1000;
    if (result.status != TimeSeek::Result::Status::Found || result.position / kStride != second)
        bench::fail(
            QStringLiteral("go to %1 landed at %2").arg(QLatin1String(typed)).arg(result.position));

    const QString grep =
        QStringLiteral("grep -a -m1 -b '^%1' '%2' > /dev/null").arg(QLatin1String(typed), path);
    bench::commandSeconds(grep); // the same pages warm for the peer
    const double peer = bench::medianSeconds(smoke ? 3 : 5, [&] { bench::commandSeconds(grep); });

    const QString size = smoke ? QStringLiteral("64 MiB") : QStringLiteral("8 GiB");
    bench::report({QStringLiteral("Go to time in a %1 log, page cache, median").arg(size),
                   ours * 1e3, QStringLiteral("ms"), peer * 1e3, QStringLiteral("grep -m1 -b"), 20,
                   false, QStringLiteral("<= 20 ms")});
    bench::report({QStringLiteral("Go to time in a %1 log, reads").arg(size), double(result.reads),
                   QStringLiteral("reads"), 0, QString(), 0, false, QStringLiteral("(info)")});
    measureLine(jobs, smoke);
    return bench::exitCode();
}
