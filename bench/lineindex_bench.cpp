// The sparse line index as a view gets it: built on the window's background
// jobs from a file opened, side by side with `wc -l` on the same bytes; its
// memory per GB; and a line number at 90% of a 10 GiB file once built.
#include "benchcommon.h"

#include "viewer/backgroundjobs.h"
#include "viewer/filesource.h"
#include "viewer/lineindexer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>

namespace {

// Builds the index of source as a view does and returns it once handed over.
std::optional<LineIndex> buildAsTheViewDoes(BackgroundJobs &jobs, const FileSource &source)
{
    LineIndexer indexer;
    indexer.setJobs(&jobs, &indexer);
    QEventLoop loop;
    QObject::connect(&indexer, &LineIndexer::updated, &loop, [&] {
        if (!indexer.running())
            loop.quit();
    });
    indexer.restart(source, LineCountUnit::Byte);
    if (indexer.running())
        loop.exec();
    if (!indexer.index())
        return std::nullopt;
    return *indexer.index();
}

// A sparse file of `bytes` bytes: holes, with a MiB of log lines every
// `every` bytes and one at 90%. Made once.
QString makeSparse(const QString &name, qint64 bytes, qint64 every)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() == bytes)
        return path;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || !out.resize(bytes))
        return QString();
    QByteArray lines;
    for (int n = 0; lines.size() < (1 << 20); ++n)
        lines += "2026-12-11 09:00:00.000 INFO [worker] step " + QByteArray::number(n) + " done\n";
    lines.truncate(1 << 20);
    for (qint64 at = 0; at + lines.size() <= bytes; at += every) {
        out.seek(at);
        out.write(lines);
    }
    out.seek(bytes / 10 * 9);
    out.write(lines);
    out.close();
    return out.error() == QFile::NoError && QFile(path).size() == bytes ? path : QString();
}

void measureBuild(BackgroundJobs &jobs, const QString &path, int runs)
{
    auto source = LocalFileSource::open(path);
    if (!source) {
        bench::fail(QStringLiteral("cannot open %1").arg(path));
        return;
    }
    const qint64 bytes = source->size();
    // Warms the page cache and checks the count against the peer's.
    const std::optional<LineIndex> index = buildAsTheViewDoes(jobs, *source);
    const qint64 breaks = bench::wcLines(path);
    QFile file(path);
    char last = 0;
    if (file.open(QIODevice::ReadOnly) && file.seek(bytes - 1))
        file.getChar(&last);
    const qint64 expected = breaks + (last == '\n' ? 0 : 1);
    if (!index || index->indexedSize() != bytes || index->lastLine() != expected) {
        bench::fail(QStringLiteral("indexed %1 of %2 bytes, %3 lines; wc -l says %4")
                        .arg(index ? index->indexedSize() : 0)
                        .arg(bytes)
                        .arg(index ? index->lastLine() : 0)
                        .arg(breaks));
        return;
    }
    const double ours = bench::medianSeconds(runs, [&] { buildAsTheViewDoes(jobs, *source); });
    const double peer = bench::medianSeconds(runs, [&] { bench::wcLines(path); });
    const double mib = double(bytes) / double(1 << 20);
    bench::report({QStringLiteral("Line index build over %1 MiB as a view runs it, page cache, "
                                  "median")
                       .arg(mib, 0, 'f', 0),
                   ours * 1e3, QStringLiteral("ms"), peer * 1e3, QStringLiteral("wc -l"), 2, true,
                   QStringLiteral("<= 2x wc -l's time (>= 0.5 of its throughput)")});
    bench::report({QStringLiteral("Line index build throughput"), mib / ours,
                   QStringLiteral("MiB/s"), peer > 0 ? mib / peer : 0, QStringLiteral("wc -l"), 0,
                   false, QStringLiteral("(info)")});
    const double perGb = double(index->memoryBytes()) * double(qint64(1) << 30) / double(bytes);
    bench::report({QStringLiteral("Line index memory per GiB of log"), perGb / double(1 << 20),
                   QStringLiteral("MiB"), 0, QString(), 1, false, QStringLiteral("<= 1 MiB")});
}

void measureLookup(BackgroundJobs &jobs, const QString &path, int runs)
{
    auto source = path.isEmpty() ? nullptr : LocalFileSource::open(path);
    if (!source) {
        bench::fail(QStringLiteral("cannot make the sparse file %1").arg(path));
        return;
    }
    const qint64 bytes = source->size();
    const std::optional<LineIndex> index = buildAsTheViewDoes(jobs, *source);
    if (!index || index->indexedSize() != bytes) {
        bench::fail(QStringLiteral("the sparse file was not indexed whole"));
        return;
    }
    // A line start at 90%, as the gutter asks; each run from a fresh copy,
    // so nothing is kept from the run before.
    const qint64 at = bytes / 10 * 9 + 4096;
    qint64 number = 0;
    const double ours = bench::medianSeconds(runs, [&] {
        const LineIndex fresh = *index;
        number = fresh.lineNumberAt(*source, at);
    });
    if (number <= 1)
        bench::fail(QStringLiteral("no line number at 90% of the sparse file"));
    bench::report({QStringLiteral("Line number at 90% of a %1 GiB sparse log, once indexed")
                       .arg(double(bytes) / double(qint64(1) << 30), 0, 'g', 3),
                   ours * 1e3, QStringLiteral("ms"), 0, QString(), 50, false,
                   QStringLiteral("<= 50 ms")});
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    BackgroundJobs jobs;
    const qint64 gib = qint64(1) << 30;
    measureBuild(
        jobs,
        bench::ensureLog(smoke ? QStringLiteral("app-64m.log") : QStringLiteral("filter-1g.log"),
                         smoke ? qint64(64) << 20 : gib),
        smoke ? 3 : 5);
    measureLookup(
        jobs,
        smoke ? makeSparse(QStringLiteral("index-sparse-smoke.log"), qint64(64) << 20,
                           qint64(8) << 20)
              : makeSparse(QStringLiteral("index-sparse-10g.log"), 10 * gib, qint64(256) << 20),
        smoke ? 3 : 21);
    return bench::exitCode();
}
