// A file cut while it is searched through its map, a thousand times: half
// of the cuts come between two blocks (from the progress report), half at
// any moment from another thread, so many land while the pages are looked
// at. No run may crash, each must end at the file's new end without
// finding the needle that was cut off, and the maps and the memory must come
// back to where they were.
#include "benchcommon.h"

#include "search/streamsearch.h"
#include "viewer/filesource.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include <unistd.h>

namespace {

const QByteArray kNeedle = "NEEDLE-7f3a";

// The mapped windows of this process: the lines of /proc/self/maps that
// name the file.
int mapsOf(const QString &path)
{
    QFile f(QStringLiteral("/proc/self/maps"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    return int(f.readAll().count(QFile::encodeName(path)));
}

// The file as a hole of `bytes` with the needle at its very end: no
// writes but the needle's, whatever the number of runs.
bool refill(const QString &path, qint64 bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.resize(bytes - kNeedle.size()) ||
        !f.seek(bytes - kNeedle.size()))
        return false;
    return f.write(kNeedle) == kNeedle.size() && f.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bench::initSmoke(argc, argv);
    const int runs = bench::smoke() ? 50 : 1000;
    const qint64 bytes = qint64(48) << 20;
    const QString path = bench::dataDir() + QStringLiteral("/truncate-stress.log");
    QDir().mkpath(bench::dataDir());
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            bench::fail(QStringLiteral("cannot write %1").arg(path));
    }
    std::mt19937_64 random(20261211);
    std::atomic<int> wrong = 0;
    int runsDone = 0;
    qint64 before = 0;
    for (int run = 0; run < runs; ++run) {
        if (!refill(path, bytes)) {
            bench::fail(QStringLiteral("cannot write %1").arg(path));
            break;
        }
        const qint64 newSize = qint64(random() % quint64(bytes - 1));
        const bool fromProgress = run % 2 == 0;
        StreamSearch search;
        search.setFileName(path);
        int reports = 0;
        search.onProgress = [&](qint64, qint64, bool &) {
            if (fromProgress && ++reports == 2 && ::truncate(QFile::encodeName(path), newSize) != 0)
                ++wrong;
        };
        std::thread cut;
        if (!fromProgress) {
            const auto delay = std::chrono::microseconds(random() % 3000);
            cut = std::thread([&, delay] {
                std::this_thread::sleep_for(delay);
                if (::truncate(QFile::encodeName(path), newSize) != 0)
                    ++wrong;
            });
        }
        const bool found =
            search.findFirst(QString::fromLatin1(kNeedle), encodingAnsi, soCaseSensitive, 0);
        if (cut.joinable())
            cut.join();
        // Only a search done before the cut finds the needle, over the whole
        // size; one the cut came under ends at the new end.
        const bool right =
            found ? !fromProgress && search.streamSize() == bytes : search.streamSize() == newSize;
        if (!right)
            ++wrong;
        ++runsDone;
        if (run == 0)
            before = bench::residentBytes();
    }
    const qint64 grown = bench::residentBytes() - before;
    const int maps = mapsOf(path);
    QFile::remove(path);
    // Counts whose only right value is 0: any other fails the run.
    if (wrong > 0)
        bench::fail(QStringLiteral("%1 searches did not end at the new end").arg(wrong.load()));
    if (maps != 0)
        bench::fail(QStringLiteral("%1 maps of the file were left").arg(maps));
    bench::report(
        {QStringLiteral("Searches of a file cut under them (%1 runs): wrong results").arg(runsDone),
         double(wrong.load() + (runs - runsDone)), QStringLiteral("runs"), 0, QString(), 0, false,
         QStringLiteral("0 (and no crash)"), true});
    bench::report({QStringLiteral("Maps of the file left after the runs"),
                   double(std::max(maps, 0)), QStringLiteral("maps"), 0, QString(), 0, false,
                   QStringLiteral("0"), true});
    bench::report({QStringLiteral("Resident memory growth from the first run to the last"),
                   std::max(0.0, double(grown) / double(1 << 20)), QStringLiteral("MiB"), 0,
                   QString(), 4, false, QStringLiteral("<= 4 MiB"), true});
    return bench::exitCode();
}
