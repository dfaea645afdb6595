// Address detection over one read window, as the viewer runs it after every
// window read: the default text window, then the same text as UTF-16.
#include "benchcommon.h"

#include "viewer/urldetect.h"
#include "viewer/viewtypes.h"

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Log lines of about 270 bytes, each with one address, so that a full window
// holds close to the 500 the list keeps and is searched to its end.
QByteArray denseText(qint64 size)
{
    QByteArray text;
    for (int i = 0; text.size() < size; ++i) {
        QByteArray line = "2026-12-10 06:00:" + QByteArray::number(i % 60).rightJustified(2, '0') +
                          ".123 INFO  [worker-" + QByteArray::number(i % 8) + "] ";
        if (i % 3 == 2)
            line += "notify ops" + QByteArray::number(i) + "@mail.example.org about job " +
                    QByteArray::number(i);
        else
            line += "GET https://host" + QByteArray::number(i % 97) +
                    ".example.com/api/v2/items?id=" + QByteArray::number(i) + "&page=3 done";
        line += " in " + QByteArray::number(i % 977) +
                " ms; status=200, bytes=" + QByteArray::number(i * 37 % 100000) +
                ", client=10.0.0.1, agent=\"probe/1.0 (linux)\", queue=default, retries=0";
        text += line.leftJustified(268, ' ') + "\r\n";
    }
    text.truncate(qsizetype(size));
    return text;
}

QByteArray toUtf16Le(const QByteArray &ascii)
{
    QByteArray out(ascii.size() * 2, '\0');
    for (qsizetype i = 0; i < ascii.size(); ++i)
        out[2 * i] = ascii[i];
    return out;
}

// grep's line count of addresses, run as a child over the file.
QByteArray grepOutput(const QString &path)
{
    QProcess grep;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    grep.setProcessEnvironment(env);
    grep.start(QStringLiteral("grep"),
               {QStringLiteral("-oiE"),
                QStringLiteral("\\b([a-z]{3,8}://|www\\.)[[:alnum:]_.?#+{}=~$%;:&@,/-]+|"
                               "\\b[a-z0-9._-]+@[a-z0-9.-]+\\.[a-z]+\\b"),
                path});
    if (!grep.waitForFinished(-1) || grep.exitStatus() != QProcess::NormalExit)
        return {};
    return grep.readAllStandardOutput();
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    // The viewer's default text window: three screens of the longest lines.
    const qint64 window = smoke ? 2048 : 3LL * (maxLengthDefault + 2) * (maxScreenLines + 1);
    const int runs = smoke ? 3 : 101;
    const QByteArray text = denseText(window);

    UrlList list;
    list.detect(text.constData(), text.size(), 0);
    const size_t found = list.urls().size();
    if (found == 0)
        bench::fail(QStringLiteral("no address found"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("window.log"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            bench::fail(QStringLiteral("cannot write %1").arg(path));
    }
    const QByteArray grepped = grepOutput(path);
    const qsizetype grepCount = grepped.count('\n');
    // grep keeps every address, the list at most 500.
    if (qsizetype(found) != qMin<qsizetype>(grepCount, UrlList::maxUrls))
        bench::fail(QStringLiteral("%1 addresses found, grep finds %2").arg(found).arg(grepCount));
    const double peer = bench::medianSeconds(smoke ? 3 : 21, [&] { grepOutput(path); });

    const bench::Times t =
        bench::medianTimes(runs, [&] { list.detect(text.constData(), text.size(), 0); });
    bench::report({QStringLiteral("address detection over a full %1-byte window, %2 addresses, "
                                  "median (peer: grep -oiE child on the same bytes)")
                       .arg(text.size())
                       .arg(found),
                   t.wall * 1e3, QStringLiteral("ms"), peer * 1e3, QStringLiteral("grep -oiE"), 2,
                   false, QStringLiteral("<= 2 ms")});

    const QByteArray wide = toUtf16Le(text);
    const bench::Times w =
        bench::medianTimes(runs, [&] { list.detect(wide.constData(), wide.size(), 0, true); });
    if (list.urls().size() != found)
        bench::fail(QStringLiteral("UTF-16 window: %1 addresses, %2 in bytes")
                        .arg(list.urls().size())
                        .arg(found));
    bench::report(
        {QStringLiteral("address detection over the same text as UTF-16, %1 bytes, median")
             .arg(wide.size()),
         w.wall * 1e3, QStringLiteral("ms"), 0, QString(), 0, false, QStringLiteral("(info)")});
    return bench::exitCode();
}
