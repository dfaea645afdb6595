// Interaction as the application runs it (its tab, font and defaults):
// the hit test on the longest line a screen can hold, and Select All + Copy
// of a 10 GiB file beside a shell pipeline doing the same read and decode.
#include "benchcommon.h"

#include "app/formview.h"
#include "text/messages.h"
#include "viewer/qzbinhex.h"

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
    MsgResult Show(const QString &, const QString &text, MsgIcon, MsgButtons) override
    {
        Last = text;
        ++Count;
        return MsgResult::Ok;
    }
    QString Last;
    int Count = 0;
};

// Windows-1252, where a line cut at 2048 bytes holds 2048 characters.
constexpr TQzEncoding EncodingWestern = 10;

// A line longer than the cut: words, tabs and accented letters.
QByteArray LongLine()
{
    QByteArray line;
    for (int i = 0; line.size() < 4000; ++i)
        line += (i % 7 == 3 ? "\t" : "") + QByteArray("word") + QByteArray::number(i) +
                (i % 5 == 0 ? " \xe9t\xe9 " : " ");
    return line;
}

double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// The median of any figures (named for the hit test's microseconds).
double MedianMicros(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void HitTest(TFormView &form, const QString &path, bool smoke)
{
    form.OpenFileTab(path);
    TQzBinHex *view = form.ActiveView();
    if (!view || !view->SourceAssigned()) {
        bench::Fail(QStringLiteral("no view for %1").arg(path));
        return;
    }
    view->SetMaxLengths(vbmodeText, MaxLengthMax);
    view->SetTextEncoding(EncodingWestern);
    view->Reload();
    view->Redraw();
    const TStrPositions &drawn = view->StrPositions();
    if (drawn.Count() == 0 || drawn.At(0).Str.size() != MaxLengthMax) {
        bench::Fail(QStringLiteral("the first line is not %1 characters but %2 (wrap %3)")
                        .arg(MaxLengthMax)
                        .arg(drawn.Count() ? drawn.At(0).Str.size() : -1)
                        .arg(view->TextWrap()));
        return;
    }
    // The worst case: the pointer beyond the middle of the last character.
    const int x = 1 << 30, y = drawn.At(0).Y + 1;
    const qint64 end = drawn.At(0).Pos + drawn.At(0).Offsets.back();
    const int runs = smoke ? 5 : 201;
    std::vector<double> cold, warm;
    for (int i = 0; i < runs; ++i) {
        const TStrPositions fresh = drawn; // edges not yet measured
        const auto t0 = std::chrono::steady_clock::now();
        const qint64 p = fresh.PosFromCoord(x, y, false);
        const auto t1 = std::chrono::steady_clock::now();
        const qint64 q = fresh.PosFromCoord(x, y, false);
        const auto t2 = std::chrono::steady_clock::now();
        if (p != end || q != end) {
            bench::Fail(QStringLiteral("hit test gave %1, the line ends at %2").arg(p).arg(end));
            return;
        }
        cold.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        warm.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    }
    // The peer: Qt's own hit test of the same text and font, laid out anew
    // as a text widget does after a change (tabs at the same cells).
    const QFont font = view->CurrentFont().Font;
    const QString text = drawn.At(0).Str;
    std::vector<double> peer;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        QTextLayout layout(text, font);
        QTextOption option;
        option.setTabStopDistance(view->TextTabSize() *
                                  QFontMetricsF(font).horizontalAdvance(u' '));
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        const int cursor = line.xToCursor(line.naturalTextWidth() + 10);
        const auto t1 = std::chrono::steady_clock::now();
        if (cursor != text.size()) {
            bench::Fail(QStringLiteral("the peer's hit test gave %1").arg(cursor));
            return;
        }
        peer.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    bench::Report({QStringLiteral("PosFromCoord on a %1-character line (tabs, accents), first test "
                                  "after a repaint, median (peer: QTextLayout::xToCursor)")
                       .arg(MaxLengthMax),
                   MedianMicros(cold), QStringLiteral("us"), MedianMicros(peer),
                   QStringLiteral("QTextLayout"), 50, false, QStringLiteral("<= 50 us")});
    bench::Report({QStringLiteral("PosFromCoord on the same line, again (a drag), median"),
                   MedianMicros(warm), QStringLiteral("us"), 0, QString(), 0, false,
                   QStringLiteral("(info)")});
    form.CloseAllTabs();
}

void SelectAllAndCopy(TFormView &form, const QString &path, qint64 size, CountingSink &sink,
                      bool smoke)
{
    form.OpenFileTab(path);
    TQzBinHex *view = form.ActiveView();
    if (!view || view->FileSize() != size) {
        bench::Fail(QStringLiteral("no view of the %1-byte file").arg(size));
        return;
    }
    QClipboard *clipboard = QApplication::clipboard();
    // One copy first, so that the code, the converters and the font are in.
    view->SelectAll();
    view->CopyToClipboard(false);
    clipboard->clear();
    view->ClearSelection(false);
    const qint64 before = bench::ResidentBytes();

    const qint64 copied = std::min(size, TQzBinHex::MaxCopyBytes);
    const int runs = smoke ? 2 : 7;
    std::vector<double> ms, cpuMs;
    qint64 held = 0;
    for (int i = 0; i < runs; ++i) {
        sink.Count = 0;
        const double c0 = ThreadCpuMs();
        const double s = bench::Seconds([&] {
            view->SelectAll();
            view->CopyToClipboard(false);
        });
        cpuMs.push_back(ThreadCpuMs() - c0);
        ms.push_back(s * 1e3);
        if (view->SelLength() != size || clipboard->text().size() != copied) {
            bench::Fail(QStringLiteral("selected %1, copied %2 characters")
                            .arg(view->SelLength())
                            .arg(clipboard->text().size()));
            return;
        }
        if ((size > TQzBinHex::MaxCopyBytes) != (sink.Count == 1))
            bench::Fail(QStringLiteral("the partial copy was not told: %1").arg(sink.Last));
        held = bench::ResidentBytes();
        clipboard->clear();
        view->ClearSelection(false);
    }
    const qint64 after = bench::ResidentBytes();

    // The peer reads the same bytes and decodes them to UTF-16.
    const double peer = bench::MedianSeconds(runs, [&] {
        bench::CommandSeconds(QStringLiteral("head -c %1 '%2' | iconv -f UTF-8 -t UTF-16LE "
                                             "> /dev/null")
                                  .arg(copied)
                                  .arg(path));
    });
    bench::Report({QStringLiteral("Select All + Copy of a %1 GiB file (%2 MiB copied), median "
                                  "(peer: head -c | iconv to UTF-16)")
                       .arg(double(size) / (1 << 30), 0, 'g', 3)
                       .arg(copied >> 20),
                   MedianMicros(ms), QStringLiteral("ms"), peer * 1e3,
                   QStringLiteral("head | iconv"), 300, false, QStringLiteral("<= 300 ms")});
    bench::Report({QStringLiteral("Select All + Copy, CPU time of this thread (page faults "
                                  "included), median"),
                   MedianMicros(cpuMs), QStringLiteral("ms"), 0, QString(), 0, false,
                   QStringLiteral("(info: the wall time counts waits for a busy core)"), false});
    // Growth only: memory handed back below the start is no cost.
    bench::Report({QStringLiteral("resident memory growth after the copies, clipboard emptied"),
                   double(std::max<qint64>(after - before, 0)) / (1 << 20), QStringLiteral("MiB"),
                   0, QString(), 2, false, QStringLiteral("<= 2 MiB"), true});
    bench::Report({QStringLiteral("resident memory growth while the clipboard holds the copy"),
                   double(std::max<qint64>(held - before, 0)) / (1 << 20), QStringLiteral("MiB"), 0,
                   QString(), 0, false,
                   QStringLiteral("(info: the clipboard keeps the UTF-16 text)"), true});
    form.CloseAllTabs();
}

} // namespace

int main(int argc, char **argv)
{
    bench::InitSmoke(argc, argv);
    const bool smoke = bench::Smoke();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CountingSink sink;
    SetMessageSink(&sink);

    QTemporaryDir dir;
    const QString linePath = dir.filePath(QStringLiteral("long.log"));
    const QString hugePath = dir.filePath(QStringLiteral("huge.log"));
    const qint64 hugeSize = smoke ? qint64(1) << 20 : qint64(10) << 30;
    {
        QFile line(linePath);
        QFile huge(hugePath);
        if (!line.open(QIODevice::WriteOnly) || line.write(LongLine() + "\n") <= 0 ||
            !huge.open(QIODevice::WriteOnly) || huge.write("head\n") != 5) {
            bench::Fail(QStringLiteral("cannot write into %1").arg(dir.path()));
            return bench::ExitCode();
        }
    }
    // Sparse: the bytes past the head read as zeros and cost no disk.
    if (truncate(QFile::encodeName(hugePath).constData(), hugeSize) != 0) {
        bench::Fail(QStringLiteral("cannot make a %1-byte sparse file").arg(hugeSize));
        return bench::ExitCode();
    }

    TFormView form(dir.filePath(QStringLiteral("Ravelin.ini")));
    form.resize(1280, 1024);
    form.show();
    QCoreApplication::processEvents();
    HitTest(form, linePath, smoke);
    SelectAllAndCopy(form, hugePath, hugeSize, sink, smoke);
    SetMessageSink(nullptr);
    return bench::ExitCode();
}
