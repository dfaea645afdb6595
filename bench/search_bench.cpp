// Searching a large log from the page cache, as the viewer runs it (with a
// progress handler like the progress window's), side by side with ripgrep
// and grep on the same file. The only match is on the last line.
#include "benchcommon.h"

#include "search/qzstreamsearch.h"
#include "viewer/filesource.h"
#include "viewer/searchrun.h"

#include <QCoreApplication>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <chrono>

namespace {

const QByteArray kLastLine =
    "2026-12-10 23:59:59.999 ERROR   [http.server] NEEDLE-7f3a upstream timeout=30000 ms\n";
const QString kNeedle = QStringLiteral("NEEDLE-7f3a");

// A generated log of about `bytes` bytes that ends in kLastLine. Made once.
QString MakeLog(const QString &name, qint64 bytes)
{
    const QString path = bench::DataDir() + QLatin1Char('/') + name;
    QFile f(path);
    if (f.size() >= bytes && f.open(QIODevice::ReadOnly)) {
        f.seek(f.size() - kLastLine.size());
        if (f.read(kLastLine.size()) == kLastLine)
            return path;
        f.close();
    }
    const QString gen = qEnvironmentVariable("RAVELIN_GENLOG", QStringLiteral("ravelin_genlog"));
    if (QProcess::execute(gen, {path, QString::number(bytes)}) != 0 || !f.open(QIODevice::Append))
        return QString();
    f.write(kLastLine);
    return f.error() == QFile::NoError ? path : QString();
}

// The first `bytes / 2` bytes of an 8-bit log and the last line as UTF-16 LE.
QString MakeWide(const QString &name, const QString &narrow, qint64 bytes)
{
    const QString path = bench::DataDir() + QLatin1Char('/') + name;
    const qint64 want = (bytes / 2 + kLastLine.size()) * 2;
    if (QFileInfo(path).size() == want)
        return path;
    QFile in(narrow), out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    qint64 left = bytes / 2;
    const auto put = [&](const QByteArray &text) {
        QByteArray wide(text.size() * 2, '\0');
        for (int i = 0; i < text.size(); ++i)
            wide[2 * i] = text[i];
        out.write(wide);
    };
    while (left > 0) {
        const QByteArray chunk = in.read(std::min<qint64>(left, 8 << 20));
        if (chunk.isEmpty())
            return QString();
        put(chunk);
        left -= chunk.size();
    }
    put(kLastLine);
    return out.error() == QFile::NoError ? path : QString();
}

// The progress window's handler: on the GUI thread, at most one report
// every 20 ms reaches it through SearchRun, as in the viewer.
struct ProgressWindow
{
    int Percent = 0;
    int Paints = 0;

    SearchRun::Progress Handler()
    {
        return [this](qint64 current, qint64 maximal, bool &go) {
            Percent = maximal > 0 ? int(current * 100 / maximal) : 0;
            ++Paints;
            go = true;
        };
    }
};

// The most progress window updates per second any search of ours made.
double g_paintRate = 0;

struct Run
{
    QString Path;
    qint64 Size = 0;
    int Runs = 3;
};

// Median seconds of one search of ours; -1 when it finds the wrong thing.
double Ours(const Run &run, const QString &text, TQzEncoding encoding,
            TQzStreamSearchOptions options, qint64 start, qint64 expect)
{
    auto source = LocalFileSource::Open(run.Path);
    if (!source)
        return -1;
    TQzStreamSearch search;
    search.SetStream(source.get());
    ProgressWindow window;
    SearchRun runner;
    // What the viewer does for one search: the engine on a worker, its
    // reports through SearchRun to the window's handler.
    const SearchRun::Job job = [&](const SearchRun::Report &report, std::stop_token stop) {
        search.SetStopToken(stop);
        search.OnProgress = [&report](qint64 current, qint64 maximal, bool &go) {
            go = report(current, maximal);
        };
        return search.FindFirst(text, encoding, options, start);
    };
    bool right = true;
    double total = 0;
    int runs = 0;
    const double t = bench::MedianSeconds(run.Runs, [&] {
        ++runs;
        const auto begin = std::chrono::steady_clock::now();
        runner.Run(job, window.Handler(), true);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        right = right && search.FoundStart() == expect;
    });
    // Only searches long enough to need a window say anything about its
    // rate; the first report of each search comes at once.
    if (total > 0.2)
        g_paintRate = std::max(g_paintRate, (window.Paints - runs) / total);
    if (!right) {
        bench::Fail(QStringLiteral("%1: found at %2, expected %3")
                        .arg(text)
                        .arg(search.FoundStart())
                        .arg(expect));
        return -1;
    }
    return t;
}

// Median seconds of a peer command; -1 when it does not count one match.
double Peer(const Run &run, const QString &program, const QStringList &args)
{
    QProcess check;
    check.start(program, args + QStringList{run.Path});
    if (!check.waitForFinished(-1) || check.readAllStandardOutput().trimmed() != "1") {
        bench::Fail(QStringLiteral("%1 %2 did not count one match").arg(program, args.join(' ')));
        return -1;
    }
    return bench::MedianSeconds(run.Runs, [&] {
        QProcess p;
        p.start(program, args + QStringList{run.Path});
        p.waitForFinished(-1);
    });
}

double GBs(const Run &run, double seconds)
{
    return seconds > 0 ? double(run.Size) / seconds / 1e9 : 0;
}

void Info(const QString &figure, const Run &run, double ours, const QString &peerName, double peer)
{
    bench::Report({figure, GBs(run, ours), QStringLiteral("GB/s"), GBs(run, peer), peerName, 0,
                   false, QStringLiteral("(info)")});
}

// Times are what the table compares (lower is better): a throughput goal of
// g times the peer's is a time of at most 1/g times the peer's.
void Compare(const QString &figure, const Run &run, double ours, const QString &peerName,
             double peer, double goal)
{
    bench::Report({figure, ours * 1e3, QStringLiteral("ms"), peer > 0 ? peer * 1e3 : 0, peerName,
                   1.0 / goal, true,
                   QStringLiteral("<= %1x %2's time (>= %3x its throughput)")
                       .arg(1.0 / goal, 0, 'g', 3)
                       .arg(peerName)
                       .arg(goal)});
    Info(figure + QStringLiteral(", throughput"), run, ours, peerName, peer);
}

void MeasureFile(const QString &tag, const Run &run)
{
    const qint64 at = run.Size - kLastLine.size() + kLastLine.indexOf("NEEDLE");
    const TQzStreamSearchOptions cs = soCaseSensitive;
    const double plain = Ours(run, kNeedle, 0, cs, 0, at);
    Compare(QStringLiteral("%1 plain, case-sensitive").arg(tag), run, plain,
            QStringLiteral("rg -F -c"), Peer(run, QStringLiteral("rg"), {"-F", "-c", kNeedle}),
            0.8);
    Info(QStringLiteral("%1 plain, case-sensitive, throughput").arg(tag), run, plain,
         QStringLiteral("grep -F -c"), Peer(run, QStringLiteral("grep"), {"-F", "-c", kNeedle}));
    // ripgrep maps a large file by default; where page faults are dear (a
    // virtual machine) reading it is several times faster, so both count.
    Compare(QStringLiteral("%1 plain, case-sensitive").arg(tag), run, plain,
            QStringLiteral("rg -F -c --no-mmap"),
            Peer(run, QStringLiteral("rg"), {"-F", "-c", "--no-mmap", kNeedle}), 0.8);
    const double caseless = Ours(run, kNeedle.toLower(), 0, {}, 0, at);
    Compare(QStringLiteral("%1 plain, case-insensitive").arg(tag), run, caseless,
            QStringLiteral("rg -F -i -c"),
            Peer(run, QStringLiteral("rg"), {"-F", "-i", "-c", kNeedle.toLower()}), 0.6);
    Compare(QStringLiteral("%1 plain, case-insensitive").arg(tag), run, caseless,
            QStringLiteral("rg -F -i -c --no-mmap"),
            Peer(run, QStringLiteral("rg"), {"-F", "-i", "-c", "--no-mmap", kNeedle.toLower()}),
            0.6);
    // Backward from just before the last line reads the whole file and finds nothing.
    const double backward =
        Ours(run, kNeedle, 0, cs | soBackward, run.Size - kLastLine.size() - 1, -1);
    Compare(QStringLiteral("%1 plain, backward").arg(tag), run, backward,
            QStringLiteral("our forward"), plain, 0.7);
    const QString regexes[] = {QStringLiteral("NEEDLE-[0-9a-f]{4}"),
                               QStringLiteral("ERROR.*timeout=[0-9]+")};
    const qint64 regexAt[] = {at, run.Size - kLastLine.size() + kLastLine.indexOf("ERROR")};
    for (int i = 0; i < 2; ++i) {
        const double ours = Ours(run, regexes[i], 0, cs | soRegex, 0, regexAt[i]);
        Compare(QStringLiteral("%1 regex %2").arg(tag, regexes[i]), run, ours,
                QStringLiteral("grep -E -c"),
                Peer(run, QStringLiteral("grep"), {"-E", "-c", regexes[i]}), 1.0);
        Info(QStringLiteral("%1 regex %2, throughput").arg(tag, regexes[i]), run, ours,
             QStringLiteral("rg -c"), Peer(run, QStringLiteral("rg"), {"-c", regexes[i]}));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bench::InitSmoke(argc, argv);
    const bool smoke = bench::Smoke();
    const qint64 rssBefore = bench::ResidentBytes();
    const QStringList only =
        qEnvironmentVariable("RAVELIN_BENCH_SEARCH_SIZES").split(',', Qt::SkipEmptyParts);
    struct Size
    {
        QString Tag;
        qint64 Bytes;
    };
    std::vector<Size> sizes;
    if (smoke)
        sizes = {{QStringLiteral("8 MB"), 8'000'000}};
    else
        sizes = {{QStringLiteral("1 GB"), 1'000'000'000}, {QStringLiteral("4 GB"), 4'000'000'000}};
    QString narrow1g;
    for (const Size &size : sizes) {
        if (!only.isEmpty() && !only.contains(size.Tag.section(' ', 0, 0)))
            continue;
        Run run;
        run.Path = MakeLog(QStringLiteral("search-%1.log").arg(size.Bytes), size.Bytes);
        if (run.Path.isEmpty()) {
            bench::Fail(QStringLiteral("cannot write the %1 log").arg(size.Tag));
            continue;
        }
        run.Size = QFileInfo(run.Path).size();
        run.Runs = smoke ? 2 : 3;
        if (narrow1g.isEmpty())
            narrow1g = run.Path;
        // Warm the page cache.
        bench::CommandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(run.Path));
        MeasureFile(size.Tag, run);
    }

    // UTF-16 against our own 8-bit search of the same text.
    if (!narrow1g.isEmpty()) {
        Run wide;
        const qint64 bytes = QFileInfo(narrow1g).size();
        wide.Path = MakeWide(QStringLiteral("search-%1-utf16.log").arg(bytes), narrow1g, bytes);
        wide.Size = QFileInfo(wide.Path).size();
        wide.Runs = smoke ? 2 : 3;
        Run narrow{narrow1g, bytes, wide.Runs};
        if (wide.Path.isEmpty()) {
            bench::Fail(QStringLiteral("cannot write the UTF-16 log"));
        } else {
            bench::CommandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(wide.Path));
            const qint64 at = wide.Size - 2 * kLastLine.size() + 2 * kLastLine.indexOf("NEEDLE");
            const double ours = Ours(wide, kNeedle, EncodingUtf16LE, soCaseSensitive, 0, at);
            const double eight = Ours(narrow, kNeedle, 0, soCaseSensitive, 0,
                                      bytes - kLastLine.size() + kLastLine.indexOf("NEEDLE"));
            // The same text in twice the bytes: compared per byte.
            const Run perGB{wide.Path, qint64(1e9), 1};
            Compare(QStringLiteral("UTF-16 plain, case-sensitive, per GB"), perGB,
                    ours / double(wide.Size) * 1e9, QStringLiteral("our 8-bit"),
                    eight / double(bytes) * 1e9, 0.5);
        }
    }

    if (!smoke)
        bench::Report({QStringLiteral("Progress window updates per second, at most"), g_paintRate,
                       QStringLiteral("/s"), 0, QString(), 50, false,
                       QStringLiteral("<= 50 (one per 20 ms)")});
    const double grown = double(bench::ResidentBytes() - rssBefore) / double(1 << 20);
    bench::Report({QStringLiteral("Resident memory growth over all searches"), std::max(grown, 0.0),
                   QStringLiteral("MiB"), 0, QString(), 16, false, QStringLiteral("<= 16 MiB"),
                   true});
    return bench::ExitCode();
}
