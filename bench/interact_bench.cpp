// Interaction as the application runs it (its tab, font and defaults):
// the hit test on the longest line a screen can hold, and Select All + Copy
// of a 10 GiB file beside a shell pipeline doing the same read and decode.
#include "benchcommon.h"

#include "app/mainwindow.h"
#include "text/messages.h"
#include "viewer/logview.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QTemporaryDir>
#include <QTextLayout>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace {

// Says what happened without waiting on a dialog.
class CountingSink final : public MessageSink
{
public:
    MsgResult show(const QString &, const QString &text, MsgIcon, MsgButtons) override
    {
        last = text;
        ++count;
        return MsgResult::Ok;
    }
    QString last;
    int count = 0;
};

// Windows-1252, where a line cut at 2048 bytes holds 2048 characters.
constexpr Encoding encodingWestern = Encoding::codePage(10);

// A line longer than the cut: words, tabs and accented letters.
QByteArray longLine()
{
    QByteArray line;
    for (int i = 0; line.size() < 4000; ++i)
        line += (i % 7 == 3 ? "\t" : "") + QByteArray("word") + QByteArray::number(i) +
                (i % 5 == 0 ? " \xe9t\xe9 " : " ");
    return line;
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The median of any figures (named for the hit test's microseconds).
double medianMicros(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void hitTest(MainWindow &form, const QString &path, bool smoke)
{
    form.openFileTab(path);
    LogView *view = form.activeView();
    if (!view || !view->document().sourceAssigned()) {
        bench::fail(QStringLiteral("no view for %1").arg(path));
        return;
    }
    view->setMaxLengths(vbmodeText, maxLengthMax);
    view->setTextEncoding(encodingWestern);
    view->reload();
    view->redraw();
    const DrawnLines &drawn = view->strPositions();
    if (drawn.count() == 0 || drawn.at(0).str.size() != maxLengthMax) {
        bench::fail(QStringLiteral("the first line is not %1 characters but %2 (wrap %3)")
                        .arg(maxLengthMax)
                        .arg(drawn.count() ? drawn.at(0).str.size() : -1)
                        .arg(view->options().textWrap));
        return;
    }
    // The worst case: the pointer beyond the middle of the last character.
    const int x = 1 << 30, y = drawn.at(0).Y + 1;
    const qint64 end = drawn.at(0).pos + drawn.at(0).offsets.back();
    const int runs = smoke ? 5 : 201;
    std::vector<double> cold, warm;
    for (int i = 0; i < runs; ++i) {
        const DrawnLines fresh = drawn; // edges not yet measured
        const auto t0 = std::chrono::steady_clock::now();
        const qint64 p = fresh.posFromCoord(x, y, false);
        const auto t1 = std::chrono::steady_clock::now();
        const qint64 q = fresh.posFromCoord(x, y, false);
        const auto t2 = std::chrono::steady_clock::now();
        if (p != end || q != end) {
            bench::fail(QStringLiteral("hit test gave %1, the line ends at %2").arg(p).arg(end));
            return;
        }
        cold.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        warm.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
    // The peer: Qt's own hit test of the same text and font, laid out anew
    // as a text widget does after a change (tabs at the same cells).
    const QFont font = view->currentFont().font;
    const QString text = drawn.at(0).str;
    std::vector<double> peer;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        QTextLayout layout(text, font);
        QTextOption option;
        option.setTabStopDistance(view->options().textTabSize *
                                  QFontMetricsF(font).horizontalAdvance(u' '));
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        const int cursor = line.xToCursor(line.naturalTextWidth() + 10);
        const auto t1 = std::chrono::steady_clock::now();
        if (cursor != text.size()) {
            bench::fail(QStringLiteral("the peer's hit test gave %1").arg(cursor));
            return;
        }
        peer.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    bench::report({QStringLiteral("PosFromCoord on a %1-character line (tabs, accents), first test "
                                  "after a repaint, median (peer: QTextLayout::xToCursor)")
                       .arg(maxLengthMax),
                   medianMicros(cold), QStringLiteral("us"), medianMicros(peer),
                   QStringLiteral("QTextLayout"), 50, false, QStringLiteral("<= 50 us")});
    bench::report({QStringLiteral("PosFromCoord on the same line, again (a drag), median"),
                   medianMicros(warm), QStringLiteral("us"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    form.closeAllTabs();
}

void selectAllAndCopy(MainWindow &form, const QString &path, qint64 size, CountingSink &sink,
                      bool smoke)
{
    form.openFileTab(path);
    LogView *view = form.activeView();
    if (!view || view->document().fileSize() != size) {
        bench::fail(QStringLiteral("no view of the %1-byte file").arg(size));
        return;
    }
    QClipboard *clipboard = QApplication::clipboard();
    // One copy first, so that the code, the converters and the font are in.
    view->selectAll();
    view->copyToClipboard(false);
    clipboard->clear();
    view->clearSelection(false);
    const qint64 before = bench::residentBytes();

    const qint64 copied = std::min(size, LogView::maxCopyBytes);
    const int runs = smoke ? 2 : 7;
    std::vector<double> ms, cpuMs;
    qint64 held = 0;
    for (int i = 0; i < runs; ++i) {
        sink.count = 0;
        const double c0 = threadCpuMs();
        const double s = bench::seconds([&] {
            view->selectAll();
            view->copyToClipboard(false);
        });
        cpuMs.push_back(threadCpuMs() - c0);
        ms.push_back(s * 1e3);
        if (view->selLength() != size || clipboard->text().size() != copied) {
            bench::fail(QStringLiteral("selected %1, copied %2 characters")
                            .arg(view->selLength())
                            .arg(clipboard->text().size()));
            return;
        }
        if ((size > LogView::maxCopyBytes) != (sink.count == 1))
            bench::fail(QStringLiteral("the partial copy was not told: %1").arg(sink.last));
        held = bench::residentBytes();
        clipboard->clear();
        view->clearSelection(false);
    }
    const qint64 after = bench::residentBytes();

    // The peer reads the same bytes and decodes them to UTF-16.
    const double peer = bench::medianSeconds(runs, [&] {
        bench::commandSeconds(QStringLiteral("head -c %1 '%2' | iconv -f UTF-8 -t UTF-16LE "
                                             "> /dev/null")
                                  .arg(copied)
                                  .arg(path));
    });
    bench::report({QStringLiteral("Select All + Copy of a %1 GiB file (%2 MiB copied), median "
                                  "(peer: head -c | iconv to UTF-16)")
                       .arg(double(size) / (1 << 30), 0, 'g', 3)
                       .arg(copied >> 20),
                   medianMicros(ms), QStringLiteral("ms"), peer * 1e3,
                   QStringLiteral("head | iconv"), 300, false, QStringLiteral("<= 300 ms")});
    bench::report({QStringLiteral("Select All + Copy, CPU time of this thread (page faults "
                                  "included), median"),
                   medianMicros(cpuMs), QStringLiteral("ms"), 0, QString(), 0, false,
                   QStringLiteral("(info: the wall time counts waits for a busy core)"), false});
    // Growth only: memory handed back below the start is no cost.
    bench::report({QStringLiteral("resident memory growth after the copies, clipboard emptied"),
                   double(std::max<qint64>(after - before, 0)) / (1 << 20), QStringLiteral("MiB"),
                   0, QString(), 2, false, QStringLiteral("<= 2 MiB"), true});
    bench::report({QStringLiteral("resident memory growth while the clipboard holds the copy"),
                   double(std::max<qint64>(held - before, 0)) / (1 << 20), QStringLiteral("MiB"), 0,
                   QString(), 0, false,
                   QStringLiteral("(info: the clipboard keeps the UTF-16 text)"), true});
    form.closeAllTabs();
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CountingSink sink;
    setMessageSink(&sink);

    QTemporaryDir dir;
    const QString linePath = dir.filePath(QStringLiteral("long.log"));
    const QString hugePath = dir.filePath(QStringLiteral("huge.log"));
    const qint64 hugeSize = smoke ? qint64(1) << 20 : qint64(10) << 30;
    {
        QFile line(linePath);
        QFile huge(hugePath);
        if (!line.open(QIODevice::WriteOnly) || line.write(longLine() + "\n") <= 0 ||
            !huge.open(QIODevice::WriteOnly) || huge.write("head\n") != 5) {
            bench::fail(QStringLiteral("cannot write into %1").arg(dir.path()));
            return bench::exitCode();
        }
    }
    // Sparse: the bytes past the head read as zeros and cost no disk.
    if (truncate(QFile::encodeName(hugePath).constData(), hugeSize) != 0) {
        bench::fail(QStringLiteral("cannot make a %1-byte sparse file").arg(hugeSize));
        return bench::exitCode();
    }

    MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")));
    form.resize(1280, 1024);
    form.show();
    QCoreApplication::processEvents();
    hitTest(form, linePath, smoke);
    selectAllAndCopy(form, hugePath, hugeSize, sink, smoke);
    setMessageSink(nullptr);
    return bench::exitCode();
}
