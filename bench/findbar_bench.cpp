// The quick find bar as the user runs it: a key typed into the bar to the
// marks of the matches on screen painted; and, for a text not on screen,
// the search the pause starts to its answer, beside the same engine alone
// over the same bytes; then the count of the matches of the whole file.
#include "benchcommon.h"
#include "benchui.h"

#include "app/findbar.h"
#include "app/mainwindow.h"
#include "app/quickfind.h"
#include "search/streamsearch.h"
#include "text/messages.h"
#include "viewer/documentsearch.h"
#include "viewer/filesource.h"
#include "viewer/logview.h"
#include "viewer/matchdecorator.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const QString kAbsent = QStringLiteral("NEEDLE-none");

double least(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A word of the first line: on screen once the file opens.
QString wordOnScreen(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> words = file.readLine(4096).simplified().split(' ');
    for (const QByteArray &word : words)
        if (word.size() >= 4)
            return QString::fromLatin1(word.left(6));
    return {};
}

void keystrokeToPaint(QuickFind *find, const QString &word, int rounds)
{
    LogView *view = find->view();
    QLineEdit *edit = find->bar()->edText;
    bench::PaintSeen paints;
    view->viewport()->installEventFilter(&paints);
    std::vector<double> ms;
    bool marked = true;
    for (int round = 0; round < rounds; ++round) {
        edit->clear();
        QCoreApplication::processEvents();
        for (const QChar c : word) {
            paints.seen = false;
            const auto start = Clock::now();
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(edit, &press);
            QCoreApplication::sendEvent(edit, &release);
            while (!paints.seen && Clock::now() - start < std::chrono::seconds(5))
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            marked = marked && paints.seen;
        }
        marked = marked && find->decorator()->matcher().pattern().text == word;
        // The search the pause starts is not part of this figure.
        find->bar()->typingTimer->stop();
    }
    view->viewport()->removeEventFilter(&paints);
    edit->clear();
    find->bar()->typingTimer->stop();
    if (!marked)
        bench::fail(QStringLiteral("a key did not bring the marks of \"%1\"").arg(word));
    bench::report({QStringLiteral("Find bar: key to the marks on screen painted, median"),
                   median(ms), QStringLiteral("ms"), 0, QString(), 16, false,
                   QStringLiteral("<= 16 ms")});
    bench::report({QStringLiteral("Find bar: key to the marks on screen painted, slowest"),
                   *std::max_element(ms.begin(), ms.end()), QStringLiteral("ms"), 0, QString(), 0,
                   false, QStringLiteral("(info)")});
}

void waitFor(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

void searchOffScreen(QuickFind *find, const QString &path, const QString &tag, int runs)
{
    LogView *view = find->view();
    DocumentSearch &search = view->search();
    auto source = LocalFileSource::open(path);
    if (!source) {
        bench::fail(QStringLiteral("cannot open %1").arg(path));
        return;
    }
    StreamSearch engine;
    engine.setStream(source.get());
    bench::commandSeconds(QStringLiteral("cat '%1' > /dev/null").arg(path));
    const Encoding encoding = view->document().shownEncoding();
    std::vector<double> bar, alone, count;
    bool wrong = false;
    for (int i = 0; i < runs; ++i) {
        find->bar()->edText->setText(kAbsent);
        find->bar()->typingTimer->stop();
        // What the pause starts, to the answer of its search.
        const double started = bench::seconds([&] {
            find->patternChanged();
            waitFor([&] { return !search.running(); });
        });
        bar.push_back(started);
        wrong = wrong || search.outcome() != DocumentSearch::Outcome::NotFound;
        // Then the count of the whole file, which waits for the search.
        count.push_back(bench::seconds([&] { waitFor([&] { return !find->counting(); }); }));
        wrong = wrong || find->count().count != 0 || find->count().scannedTo != source->size();
        // In the encoding the view shows, as the bar's search reads it.
        alone.push_back(
            bench::seconds([&] { engine.findFirst(kAbsent, encoding, SearchOptions(), 0); }));
        find->bar()->edText->clear();
        find->bar()->typingTimer->stop();
        find->patternChanged();
    }
    if (wrong)
        bench::fail(QStringLiteral("the bar's search or count went wrong on %1").arg(path));
    bench::report({QStringLiteral("Find bar, %1: text not on screen, pause to the answer").arg(tag),
                   least(bar) * 1e3, QStringLiteral("ms"), least(alone) * 1e3,
                   QStringLiteral("the plain search alone"), 1.1, true,
                   QStringLiteral("<= 1.1x the plain search (about 1)")});
    bench::report({QStringLiteral("Find bar, %1: count of the whole file after it").arg(tag),
                   least(count) * 1e3, QStringLiteral("ms"), least(alone) * 1e3,
                   QStringLiteral("the plain search alone"), 0, true, QStringLiteral("(info)")});
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    const bool smoke = bench::smoke();
    QApplication app(argc, argv);
    bench::QuietSink sink;
    setMessageSink(&sink);
    QTemporaryDir dir;
    const QString path =
        smoke ? bench::ensureLog(QStringLiteral("smoke-app-16m.log"), 16LL << 20)
              : bench::ensureHeadOf(bench::ensureLog(QStringLiteral("app-8g.log"), 1LL << 30),
                                    QStringLiteral("findbar-512m.log"), 512LL << 20);
    {
        MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")), CommandLine{});
        form.resize(1200, 900);
        form.show();
        form.openFileTab(path);
        form.openQuickFind();
        QCoreApplication::processEvents();
        QuickFind *find = form.quickFindOf(form.activeView());
        const QString word = wordOnScreen(path);
        if (!find || word.isEmpty()) {
            bench::fail(QStringLiteral("no find bar or no word on %1").arg(path));
            return bench::exitCode();
        }
        keystrokeToPaint(find, word, smoke ? 2 : 20);
        searchOffScreen(find, path, smoke ? QStringLiteral("16 MiB") : QStringLiteral("512 MiB"),
                        smoke ? 2 : 5);
    }
    setMessageSink(nullptr);
    return bench::exitCode();
}
