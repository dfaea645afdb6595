// Counting the line starts for the gutter over the largest range it may
// cover, from the page cache, side by side with `wc -l` on the same bytes.
#include "benchcommon.h"

#include "viewer/filesource.h"
#include "viewer/linecount.h"

#include <QFile>
#include <QProcess>

#include <cstdio>

namespace {

// Exactly `bytes` bytes of log lines of 120 to 380 bytes (250 on average, so
// the whole range fits the largest table), ending inside a line so that the
// starts found equal the breaks `wc -l` counts. Made once.
QString makeLog(const QString &name, qint64 bytes, const QByteArray &eol)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() == bytes)
        return path;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    QByteArray data;
    quint64 rng = 0x9E3779B97F4A7C15ull;
    for (int n = 0; data.size() < bytes; ++n) {
        rng ^= rng << 13;
        rng ^= rng >> 7;
        rng ^= rng << 17;
        const int length = 120 + int(rng % 261) - int(eol.size());
        QByteArray line = "2026-12-10 10:00:00.000 INFO  [http.server] request " +
                          QByteArray::number(n) + " completed ";
        while (line.size() < length)
            line += "key" + QByteArray::number(line.size()) + "=value ";
        line.truncate(length);
        data += line + eol;
    }
    data.truncate(int(bytes));
    data[data.size() - 1] = 'x';
    out.write(data);
    return out.error() == QFile::NoError ? path : QString();
}

// Median seconds of one `wc -l` process reading path `copies` times over.
double wcSeconds(int runs, const QString &path, int copies)
{
    const QStringList args = QStringList{QStringLiteral("-l")} + QStringList(copies, path);
    return bench::medianSeconds(runs, [&] {
        QProcess wc;
        wc.start(QStringLiteral("wc"), args);
        wc.waitForFinished(-1);
    });
}

// Copies of the file per peer process: its start-up, taken off by the
// difference to a single copy, then weighs 1/(copies - 1) of the noise. The
// tiny smoke file needs more of them to stand out of that noise.
int copies()
{
    return bench::smoke() ? 65 : 17;
}

// The first half of an 8-bit log as UTF-16 LE, `bytes` bytes. Made once.
QString makeWide(const QString &name, const QString &narrow, qint64 bytes)
{
    const QString path = bench::dataDir() + QLatin1Char('/') + name;
    if (QFile(path).size() == bytes)
        return path;
    QFile in(narrow);
    QFile out(path);
    if (narrow.isEmpty() || !in.open(QIODevice::ReadOnly) ||
        !out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    const QByteArray text = in.read(bytes / 2);
    QByteArray wide(int(bytes), '\0');
    for (int i = 0; i < text.size(); ++i)
        wide[2 * i] = text[i];
    out.write(wide);
    return out.error() == QFile::NoError ? path : QString();
}

void measure(const char *kind, const QString &path, qint64 bytes, int runs)
{
    if (path.isEmpty()) {
        bench::fail(QStringLiteral("cannot write the %1 log").arg(QLatin1String(kind)));
        return;
    }
    auto source = LocalFileSource::open(path);
    if (!source) {
        bench::fail(QStringLiteral("cannot open %1").arg(path));
        return;
    }
    // Warm the page cache and check both count the same breaks.
    LineStarts starts;
    const bool ok = starts.countLines(*source, bytes, LineCountUnit::Byte, LineStarts::countMax);
    const qint64 peerCount = bench::wcLines(path);
    if (!ok || starts.countedSize() != bytes || starts.lineStartCount() != peerCount) {
        bench::fail(QStringLiteral("%1: counted %2 starts over %3 bytes, wc -l says %4")
                        .arg(QLatin1String(kind))
                        .arg(starts.lineStartCount())
                        .arg(starts.countedSize())
                        .arg(peerCount));
    }
    const double ours = bench::medianSeconds(runs, [&] {
        starts.countLines(*source, bytes, LineCountUnit::Byte, LineStarts::countMax);
    });
    // The peer's start-up is not counting: one process reads the file many
    // times, and the run that reads it once is taken off.
    const double peer =
        (wcSeconds(runs, path, copies()) - wcSeconds(runs, path, 1)) / double(copies() - 1);
    const double mib = double(bytes) / double(1 << 20);
    bench::report({QStringLiteral("CountLines over %1 MiB, %2, page cache, median")
                       .arg(mib, 0, 'g', 3)
                       .arg(QLatin1String(kind)),
                   ours * 1e3, QStringLiteral("ms"), peer > 0 ? peer * 1e3 : 0,
                   QStringLiteral("wc -l"), 2, true,
                   QStringLiteral("<= 2x wc -l's time (>= 0.5 of its throughput)")});
    bench::report({QStringLiteral("CountLines throughput, %1").arg(QLatin1String(kind)), mib / ours,
                   QStringLiteral("MiB/s"), peer > 0 ? mib / peer : 0, QStringLiteral("wc -l"), 0,
                   false, QStringLiteral("(info)")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    const qint64 bytes = smoke ? (1 << 20) : LineStarts::bufSizeMax;
    const int runs = smoke ? 3 : 21;

    const QString tag = smoke ? QStringLiteral("smoke") : QStringLiteral("20m");
    const QString lf = makeLog(QStringLiteral("lines-lf-%1.log").arg(tag), bytes, "\n");
    measure("LF lines", lf, bytes, runs);
    measure("CR LF lines", makeLog(QStringLiteral("lines-crlf-%1.log").arg(tag), bytes, "\r\n"),
            bytes, runs);

    // UTF-16 has no peer at hand; its figure shows what the unit walk costs.
    const QString wide = makeWide(QStringLiteral("lines-utf16-%1.log").arg(tag), lf, bytes);
    auto source = wide.isEmpty() ? nullptr : LocalFileSource::open(wide);
    LineStarts starts;
    if (!source ||
        !starts.countLines(*source, bytes, LineCountUnit::Utf16Little, LineStarts::countMax) ||
        starts.lineStartCount() == 0) {
        bench::fail(QStringLiteral("cannot count the UTF-16 log"));
    } else {
        const double t = bench::medianSeconds(runs, [&] {
            starts.countLines(*source, bytes, LineCountUnit::Utf16Little, LineStarts::countMax);
        });
        bench::report({QStringLiteral("CountLines over %1 MiB, UTF-16 LE lines, page cache, median")
                           .arg(double(bytes) / double(1 << 20), 0, 'g', 3),
                       t * 1e3, QStringLiteral("ms"), 0, QString(), 0, false,
                       QStringLiteral("(info)")});
    }
    return bench::exitCode();
}
