// Searching a large log from the page cache, as the viewer runs it (with a
// progress handler like the progress window's), side by side with ripgrep
// and grep on the same file. The only match is on the last line.
#include "benchcommon.h"

#include "search/streamsearch.h"
#include "text/codepagelist.h"
#include "text/codepages.h"
#include "viewer/documentsearch.h"
#include "viewer/filesource.h"
#include "viewer/lineindex.h"
#include "viewer/scanreader.h"
#include "viewer/viewdocument.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <chrono>

namespace {

// The only line that holds the needle, a phone-like number, a mail address,
// and the word "error" in Russian (as UTF-8, then as Windows-1251) and in
// Greek (UTF-8), upper case.
const QByteArray kLastLine =
    "2026-12-10 23:59:59.999 ERROR   [http.server] NEEDLE-7f3a upstream timeout=30000 ms "
    "call 555-0199 ops@example.com "
    "\xD0\x9E\xD0\xA8\xD0\x98\xD0\x91\xD0\x9A\xD0\x90 \xCE\xD8\xC8\xC1\xCA\xC0 "
    "\xCE\xA3\xCE\xA6\xCE\x86\xCE\x9B\xCE\x9C\xCE\x91\n";
const QString kNeedle = QStringLiteral("NEEDLE-7f3a");
const QString kRussian = QStringLiteral("\u043e\u0448\u0438\u0431\u043a\u0430");
const QString kGreek = QStringLiteral("\u03c3\u03c6\u03ac\u03bb\u03bc\u03b1");

// A generated log of about `bytes` bytes that ends in kLastLine. Made once.
QString makeLog(const QString &name, qint64 bytes)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
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
QString makeWide(const QString &name, const QString &narrow, qint64 bytes)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
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
// every 20 ms reaches it from the document's search, as in the viewer.
struct ProgressWindow
{
    int percent = 0;
    int paints = 0;

    void show(qint64 current, qint64 maximal)
    {
        percent = maximal > 0 ? int(current * 100 / maximal) : 0;
        ++paints;
    }
};

// The most progress window updates per second any search of ours made.
double g_paintRate = 0;

struct Run
{
    QString path;
    qint64 size = 0;
    int runs = 3;
};

// Median seconds of one search of ours; -1 when it finds the wrong thing.
double ours(const Run &run, const QString &text, Encoding encoding, SearchOptions options,
            qint64 start, qint64 expect)
{
    ViewDocument document;
    if (document.openFile(run.path) != ViewDocument::OpenResult::Ok)
        return -1;
    if (encoding == encodingUtf16LE) {
        document.setModeValue(vbmodeUnicode);
        document.setUnicodeOrderValue(unicodeOrderLittle);
    } else {
        document.textEncoding = encoding;
    }
    // What the viewer does for one search: the document's search as a job,
    // its reports by signal to the window's handler.
    BackgroundJobs jobs;
    DocumentSearch search(document);
    ProgressWindow window;
    QObject::connect(&search, &DocumentSearch::progress,
                     [&window](qint64 current, qint64 maximal) { window.show(current, maximal); });
    QEventLoop loop;
    QObject::connect(&search, &DocumentSearch::finished, &loop, &QEventLoop::quit);
    const auto found = [&search] {
        return search.outcome() == DocumentSearch::Outcome::Found ? search.resultStart() : -1;
    };
    bool right = true;
    double total = 0;
    int runs = 0;
    const double t = bench::medianSeconds(run.runs, [&] {
        ++runs;
        const auto begin = std::chrono::steady_clock::now();
        if (search.findFirst(jobs, nullptr, text, options | soFromPosition, start))
            loop.exec();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        right = right && found() == expect;
    });
    // Only searches long enough to need a window say anything about its
    // rate; the first report of each search comes at once.
    if (total > 0.2)
        g_paintRate = std::max(g_paintRate, (window.paints - runs) / total);
    if (!right) {
        bench::fail(
            QStringLiteral("%1: found at %2, expected %3").arg(text).arg(found()).arg(expect));
        return -1;
    }
    return t;
}

// Median seconds of a peer command; -1 when it does not count one match.
double peer(const Run &run, const QString &program, const QStringList &args)
{
    QProcess check;
    check.start(program, args + QStringList{run.path});
    if (!check.waitForFinished(-1) || check.readAllStandardOutput().trimmed() != "1") {
        bench::fail(QStringLiteral("%1 %2 did not count one match").arg(program, args.join(' ')));
        return -1;
    }
    return bench::medianSeconds(run.runs, [&] {
        QProcess p;
        p.start(program, args + QStringList{run.path});
        p.waitForFinished(-1);
    });
}

double gBs(const Run &run, double seconds)
{
    return seconds > 0 ? double(run.size) / seconds / 1e9 : 0;
}

void info(const QString &figure, const Run &run, double ours, const QString &peerName, double peer)
{
    bench::report({figure, gBs(run, ours), QStringLiteral("GB/s"), gBs(run, peer), peerName, 0,
                   false, QStringLiteral("(info)")});
}

// Times are what the table compares (lower is better): a throughput goal of
// g times the peer's is a time of at most 1/g times the peer's.
void compare(const QString &figure, const Run &run, double ours, const QString &peerName,
             double peer, double goal)
{
    bench::report({figure, ours * 1e3, QStringLiteral("ms"), peer > 0 ? peer * 1e3 : 0, peerName,
                   1.0 / goal, true,
                   QStringLiteral("<= %1x %2's time (>= %3x its throughput)")
                       .arg(1.0 / goal, 0, 'g', 3)
                       .arg(peerName)
                       .arg(goal)});
    info(figure + QStringLiteral(", throughput"), run, ours, peerName, peer);
}

const QByteArray kHeadLine = "2026-12-10 00:00:00.000 INFO    [bench] HEADMARK-4c1e start\n";

// The log after kHeadLine, whose mark is found nowhere else. Made once.
QString makeHeaded(const QString &log)
{
    const QString path = log.chopped(4) + QStringLiteral("-head.log");
    const qint64 want = QFileInfo(log).size() + kHeadLine.size();
    if (QFileInfo(path).size() == want)
        return path;
    QFile in(log), out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    out.write(kHeadLine);
    for (QByteArray chunk; !(chunk = in.read(8 << 20)).isEmpty();)
        out.write(chunk);
    return out.error() == QFile::NoError && out.size() == want ? path : QString();
}

// Backward from the end to the match on the first line, against the forward
// run over the same bytes: from just after that match to the end, where
// nothing matches. One pattern stays in a line; the other, whose "\s" may
// take in a line break, cannot go back by line starts.
void measureRegexBackward(const QString &tag, const Run &log)
{
    Run run = log;
    run.path = makeHeaded(log.path);
    if (run.path.isEmpty()) {
        bench::fail(QStringLiteral("cannot write the %1 log with a first line").arg(tag));
        return;
    }
    run.size = QFileInfo(run.path).size();
    bench::commandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(run.path));
    const qint64 at = kHeadLine.indexOf("HEADMARK");
    const SearchOptions regex = soCaseSensitive | soRegex;
    for (const QString &pattern :
         {QStringLiteral("HEADMARK-[0-9a-f]{4}"), QStringLiteral("HEADMARK-[0-9a-f]{4}\\s+\\w+")}) {
        const double backward =
            ours(run, pattern, encodingAnsi, regex | soBackward, run.size - 1, at);
        const double forward = ours(run, pattern, encodingAnsi, regex, at + 1, -1);
        compare(QStringLiteral("%1 regex backward from the end to a match near the start, %2")
                    .arg(tag, pattern),
                run, backward, QStringLiteral("our forward"), forward, 0.5);
    }
}

Encoding codepage1251()
{
    for (const Encoding e : listedCodePages())
        if (codepageID(e) == 1251)
            return e;
    return encodingAnsi;
}

// Our time against rg in its default (map) mode and with --no-mmap, both
// with the goal, and grep beside them.
void againstPeers(const QString &figure, const Run &run, double ours, const QStringList &rgArgs,
                  const QStringList &grepArgs, double goal)
{
    compare(figure, run, ours, QStringLiteral("rg ") + rgArgs.join(' '),
            peer(run, QStringLiteral("rg"), rgArgs), goal);
    QStringList noMap = rgArgs;
    noMap.insert(noMap.size() - 1, QStringLiteral("--no-mmap"));
    compare(figure, run, ours, QStringLiteral("rg ") + noMap.join(' '),
            peer(run, QStringLiteral("rg"), noMap), goal);
    info(figure + QStringLiteral(", throughput"), run, ours,
         QStringLiteral("grep ") + grepArgs.join(' '), peer(run, QStringLiteral("grep"), grepArgs));
}

// The line index over the whole file against wc -l on it.
void measureLineCount(const QString &tag, const Run &run)
{
    const auto source = LocalFileSource::open(run.path);
    if (!source) {
        bench::fail(QStringLiteral("cannot open %1").arg(run.path));
        return;
    }
    qint64 lines = 0;
    const double ours = bench::medianSeconds(run.runs, [&] {
        LineIndex index;
        if (index.extend(*source, source->size()) == LineIndex::BuildResult::Complete)
            lines = index.lastLine();
    });
    // The log ends with a break, which wc -l counts and which ends the line
    // the index numbers last.
    if (lines != bench::wcLines(run.path)) {
        bench::fail(QStringLiteral("%1: the index counts %2 lines, wc -l %3")
                        .arg(tag)
                        .arg(lines)
                        .arg(bench::wcLines(run.path)));
        return;
    }
    const double wc = bench::medianSeconds(run.runs, [&] {
        QProcess p;
        p.start(QStringLiteral("wc"), {QStringLiteral("-l"), run.path});
        p.waitForFinished(-1);
    });
    compare(QStringLiteral("%1 line counting (the line index, whole file)").arg(tag), run, ours,
            QStringLiteral("wc -l"), wc, 1.0);
}

// Address space and resident memory while a search runs, sampled at each
// of its progress reports: a mapped window is page cache (resident file
// pages), not memory of ours (anonymous pages).
struct Memory
{
    qint64 size = 0, anon = 0, file = 0;

    static Memory now()
    {
        Memory m;
        QFile f(QStringLiteral("/proc/self/status"));
        if (!f.open(QIODevice::ReadOnly))
            return m;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() < 2)
                continue;
            const qint64 kb = parts[1].toLongLong() * 1024;
            if (parts[0] == "VmSize:")
                m.size = kb;
            else if (parts[0] == "RssAnon:")
                m.anon = kb;
            else if (parts[0] == "RssFile:")
                m.file = kb;
        }
        return m;
    }
};

void measureMemory(const QString &tag, const Run &run)
{
    ViewDocument document;
    if (document.openFile(run.path) != ViewDocument::OpenResult::Ok)
        return;
    BackgroundJobs jobs;
    DocumentSearch search(document);
    const Memory before = Memory::now();
    Memory most = before;
    QObject::connect(&search, &DocumentSearch::progress, [&most](qint64, qint64) {
        const Memory m = Memory::now();
        most = {std::max(most.size, m.size), std::max(most.anon, m.anon),
                std::max(most.file, m.file)};
    });
    QEventLoop loop;
    QObject::connect(&search, &DocumentSearch::finished, &loop, &QEventLoop::quit);
    if (search.findFirst(jobs, nullptr, kNeedle, soCaseSensitive | soFromPosition, 0))
        loop.exec();
    const double mib = double(1 << 20);
    const double window = double(ScanReader::defaultWindowBytes) / mib;
    bench::report({QStringLiteral("%1 plain search: address space growth, at most").arg(tag),
                   std::max(0.0, double(most.size - before.size) / mib), QStringLiteral("MiB"), 0,
                   QString(), window + 64, false,
                   QStringLiteral("<= the map window (%1 MiB) + 64").arg(window), true});
    bench::report({QStringLiteral("%1 plain search: anonymous resident growth, at most").arg(tag),
                   std::max(0.0, double(most.anon - before.anon) / mib), QStringLiteral("MiB"), 0,
                   QString(), 64, false, QStringLiteral("<= 64 MiB"), true});
    bench::report(
        {QStringLiteral("%1 plain search: resident file pages (the map), at most").arg(tag),
         std::max(0.0, double(most.file - before.file) / mib), QStringLiteral("MiB"), 0, QString(),
         0, false, QStringLiteral("(info)"), true});
}

void measureFile(const QString &tag, const Run &run)
{
    const qint64 lastLine = run.size - kLastLine.size();
    const qint64 at = lastLine + kLastLine.indexOf("NEEDLE");
    const SearchOptions cs = soCaseSensitive;
    const double plain = ours(run, kNeedle, encodingAnsi, cs, 0, at);
    againstPeers(QStringLiteral("%1 plain, case-sensitive").arg(tag), run, plain,
                 {"-F", "-c", kNeedle}, {"-F", "-c", kNeedle}, 1.0);
    const double caseless = ours(run, kNeedle.toLower(), encodingAnsi, {}, 0, at);
    againstPeers(QStringLiteral("%1 plain, case-insensitive").arg(tag), run, caseless,
                 {"-F", "-i", "-c", kNeedle.toLower()}, {"-F", "-i", "-c", kNeedle.toLower()}, 1.0);
    // Backward from just before the last line reads the whole file and finds nothing.
    const double backward = ours(run, kNeedle, encodingAnsi, cs | soBackward, lastLine - 1, -1);
    compare(QStringLiteral("%1 plain, backward").arg(tag), run, backward,
            QStringLiteral("our forward"), plain, 0.9);
    const struct
    {
        QString pattern;
        const char *first;
        double goal;
    } regexes[] = {
        // With a literal every match holds.
        {QStringLiteral("NEEDLE-[0-9a-f]{4}"), "NEEDLE", 1.0},
        {QStringLiteral("ERROR.*timeout=[0-9]+"), "ERROR", 1.0},
        // Without one.
        {QStringLiteral("[0-9]{3}-[0-9]{4}"), "555-", 0.5},
        {QStringLiteral("\\w+@\\w+\\.com"), "ops@", 0.5},
    };
    for (const auto &r : regexes) {
        const double regexTime = ours(run, r.pattern, encodingAnsi, cs | soRegex, 0,
                                      lastLine + kLastLine.indexOf(r.first));
        againstPeers(QStringLiteral("%1 regex %2").arg(tag, r.pattern), run, regexTime,
                     {"-c", r.pattern}, {"-E", "-c", r.pattern}, r.goal);
    }
    // Caseless non-ASCII against our caseless ASCII figure.
    const struct
    {
        QString name;
        QString text;
        Encoding encoding;
        qsizetype index;
    } words[] = {
        {QStringLiteral("Cyrillic, UTF-8"), kRussian, encodingUtf8, kLastLine.indexOf("\xD0\x9E")},
        {QStringLiteral("Greek, UTF-8"), kGreek, encodingUtf8, kLastLine.indexOf("\xCE\xA3")},
        {QStringLiteral("Cyrillic, Windows-1251"), kRussian, codepage1251(),
         kLastLine.indexOf("\xCE\xD8")},
    };
    for (const auto &w : words) {
        const double t = ours(run, w.text, w.encoding, {}, 0, lastLine + w.index);
        compare(QStringLiteral("%1 plain, case-insensitive %2").arg(tag, w.name), run, t,
                QStringLiteral("our ASCII caseless"), caseless, 0.5);
    }
    measureLineCount(tag, run);
    measureMemory(tag, run);
    // The 1 GB log is the one asked about; a copy of the larger would only
    // take the disk.
    if (run.size < 2'000'000'000)
        measureRegexBackward(tag, run);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    const qint64 rssBefore = bench::residentBytes();
    const QStringList only =
        qEnvironmentVariable("RAVELIN_BENCH_SEARCH_SIZES").split(',', Qt::SkipEmptyParts);
    struct Size
    {
        QString tag;
        qint64 bytes;
    };
    std::vector<Size> sizes;
    if (smoke)
        sizes = {{QStringLiteral("8 MB"), 8'000'000}};
    else
        sizes = {{QStringLiteral("1 GB"), 1'000'000'000}, {QStringLiteral("4 GB"), 4'000'000'000}};
    QString narrow1g;
    for (const Size &size : sizes) {
        if (!only.isEmpty() && !only.contains(size.tag.section(' ', 0, 0)))
            continue;
        Run run;
        run.path = makeLog(QStringLiteral("search-%1.log").arg(size.bytes), size.bytes);
        if (run.path.isEmpty()) {
            bench::fail(QStringLiteral("cannot write the %1 log").arg(size.tag));
            continue;
        }
        run.size = QFileInfo(run.path).size();
        run.runs = smoke ? 2 : 3;
        if (narrow1g.isEmpty())
            narrow1g = run.path;
        // Warm the page cache.
        bench::commandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(run.path));
        measureFile(size.tag, run);
    }

    // UTF-16 against our own 8-bit search of the same text.
    if (!narrow1g.isEmpty()) {
        Run wide;
        const qint64 bytes = QFileInfo(narrow1g).size();
        wide.path = makeWide(QStringLiteral("search-%1-utf16.log").arg(bytes), narrow1g, bytes);
        wide.size = QFileInfo(wide.path).size();
        wide.runs = smoke ? 2 : 3;
        Run narrow{narrow1g, bytes, wide.runs};
        if (wide.path.isEmpty()) {
            bench::fail(QStringLiteral("cannot write the UTF-16 log"));
        } else {
            bench::commandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(wide.path));
            const qint64 at = wide.size - 2 * kLastLine.size() + 2 * kLastLine.indexOf("NEEDLE");
            const double wideTime = ours(wide, kNeedle, encodingUtf16LE, soCaseSensitive, 0, at);
            const double eight = ours(narrow, kNeedle, encodingAnsi, soCaseSensitive, 0,
                                      bytes - kLastLine.size() + kLastLine.indexOf("NEEDLE"));
            // The same text in twice the bytes: compared per byte.
            const Run perGB{wide.path, qint64(1e9), 1};
            compare(QStringLiteral("UTF-16 plain, case-sensitive, per GB"), perGB,
                    wideTime / double(wide.size) * 1e9, QStringLiteral("our 8-bit"),
                    eight / double(bytes) * 1e9, 0.5);
        }
    }

    if (!smoke)
        bench::report({QStringLiteral("Progress window updates per second, at most"), g_paintRate,
                       QStringLiteral("/s"), 0, QString(), 50, false,
                       QStringLiteral("<= 50 (one per 20 ms)")});
    const double grown = double(bench::residentBytes() - rssBefore) / double(1 << 20);
    bench::report({QStringLiteral("Resident memory growth over all searches"), std::max(grown, 0.0),
                   QStringLiteral("MiB"), 0, QString(), 16, false, QStringLiteral("<= 16 MiB"),
                   true});
    return bench::exitCode();
}
