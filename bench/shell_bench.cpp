// Shell figures: start-up to the first painted frame, and 300 tabs of a 1 GB
// log beside 300 tabs of a 1 KB log (time and resident memory per tab).
//
// Each tab figure runs in a child process of its own: memory freed by one run
// would otherwise be reused by the next and hide its cost.
#include "benchcommon.h"

#include "app/mainwindow.h"
#include "printingsink.h"
#include "text/messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

// A smoke run opens a few tabs of a small log: the same path, in seconds.
int tabCount()
{
    return bench::smoke() ? 10 : MainWindow::kMaxTabs;
}

// Ends an event loop at the first paint of the watched window.
class FirstPaint final : public QObject
{
public:
    FirstPaint(QWidget *window, QEventLoop *loop) : m_window(window), m_loop(loop)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Paint)
            m_loop->quit();
        return false;
    }

private:
    QWidget *m_window;
    QEventLoop *m_loop;
};

void processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Child: opens kTabs tabs of the file and prints seconds and bytes per tab.
int measureTabs(int argc, char **argv, const QString &path)
{
    QApplication app(argc, argv);
    bench::PrintingSink sink;
    setMessageSink(&sink);
    QTemporaryDir dir;
    double seconds = 0;
    qint64 bytes = 0;
    {
        MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")));
        form.show();
        // One tab first, so fonts, caches and the tab bar's first layout are
        // not counted as the cost of every tab.
        form.openFileTab(path);
        processEvents();
        form.closeAllTabs();
        processEvents();

        const qint64 before = bench::residentBytes();
        const int tabs = tabCount();
        seconds = bench::seconds([&] {
            for (int i = 0; i < tabs; ++i)
                form.openFileTab(path);
        });
        processEvents();
        bytes = bench::residentBytes() - before;
        if (form.tabCount() != tabs) {
            std::fprintf(stderr, "only %d tabs opened\n", form.tabCount());
            return 1;
        }
    }
    setMessageSink(nullptr);
    std::printf("TABS %.9f %lld\n", seconds / tabCount(),
                static_cast<long long>(bytes / tabCount()));
    return 0;
}

struct TabFigures
{
    double seconds = 0;
    double bytes = 0;
};

// Runs this program with the arguments and returns the words of its
// answer line after the tag.
QList<QByteArray> runChild(const QStringList &arguments, const QByteArray &tag)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        bench::fail(QStringLiteral("child %1").arg(arguments.join(u' ')));
        return {};
    }
    QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
    if (parts.isEmpty() || parts[0] != tag) {
        std::fprintf(stderr, "child %s failed\n", qPrintable(arguments.join(u' ')));
        return {};
    }
    parts.removeFirst();
    return parts;
}

TabFigures runTabsChild(const QString &path)
{
    const QList<QByteArray> parts = runChild({QStringLiteral("--tabs"), path}, "TABS");
    if (parts.size() != 2)
        return {};
    return {parts[0].toDouble(), parts[1].toDouble()};
}

// Child: from the application object to the first paint of the window.
int measureStartup(int argc, char **argv)
{
    const auto start = std::chrono::steady_clock::now();
    QApplication app(argc, argv);
    QTemporaryDir dir;
    MainWindow form(dir.filePath(QStringLiteral("Ravelin.ini")));
    QEventLoop loop;
    FirstPaint filter(&form, &loop);
    form.show();
    loop.exec();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("STARTUP %.9f\n", seconds);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    bench::initSmoke(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--tabs") == 0)
        return measureTabs(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc == 2 && qstrcmp(argv[1], "--startup") == 0)
        return measureStartup(argc, argv);

    QCoreApplication app(argc, argv);
    std::vector<double> startups;
    const int runs = bench::smoke() ? 1 : 5;
    for (int i = 0; i < runs; ++i) {
        const QList<QByteArray> parts = runChild({QStringLiteral("--startup")}, "STARTUP");
        if (!parts.isEmpty())
            startups.push_back(parts[0].toDouble());
    }
    std::sort(startups.begin(), startups.end());
    const double startup = startups.empty() ? 0 : startups[startups.size() / 2];
    bench::report({QStringLiteral("start-up to first painted frame, no files (in process)"),
                   startup * 1e3, QStringLiteral("ms"), 0, QString(), 300, false,
                   QStringLiteral("<= 300 ms")});

    // The whole program: start, first frame, close sequence with the
    // settings save, exit.
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/app/ravelin");
    if (QFile::exists(program)) {
        QTemporaryDir dir;
        const QString command = QStringLiteral("QT_QPA_PLATFORM=offscreen '%1' --quit-after-show "
                                               "--config '%2' 2>/dev/null </dev/null")
                                    .arg(program, dir.filePath(QStringLiteral("Ravelin.ini")));
        int failures = 0;
        const double whole = bench::medianSeconds(runs, [&] {
            if (QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command}) != 0)
                ++failures;
        });
        if (failures > 0)
            bench::fail(QStringLiteral("the program exited with an error"));
        bench::report({QStringLiteral("program run: start, first frame, close, exit"), whole * 1e3,
                       QStringLiteral("ms"), 0, QString(), 300, false,
                       QStringLiteral("<= 300 ms")});
    } else {
        bench::fail(QStringLiteral("no program at %1").arg(program));
    }

    const QString huge = bench::smoke()
                             ? bench::ensureLog(QStringLiteral("smoke-app-16m.log"), 16LL << 20)
                             : bench::ensureLog(QStringLiteral("app-1g.log"), 1LL << 30);
    const QString small = bench::ensureHeadOf(huge, QStringLiteral("shell-1k.log"), 1024);
    const QString hugeName = bench::smoke() ? QStringLiteral("16 MB") : QStringLiteral("1 GB");
    const TabFigures big = runTabsChild(huge);
    const TabFigures tiny = runTabsChild(small);
    bench::report({QStringLiteral("open one tab of %1, %2 log").arg(tabCount()).arg(hugeName),
                   big.seconds * 1e3, QStringLiteral("ms"), tiny.seconds * 1e3,
                   QStringLiteral("1 KB log"), 5, false, QStringLiteral("<= 5 ms")});
    bench::report({QStringLiteral("resident memory per tab, %1 log").arg(hugeName),
                   big.bytes / 1048576.0, QStringLiteral("MB"), tiny.bytes / 1048576.0,
                   QStringLiteral("1 KB log"), 2, false, QStringLiteral("<= 2 MB")});
    bench::report({QStringLiteral("resident memory per tab, %1 vs 1 KB log").arg(hugeName),
                   big.bytes / 1048576.0, QStringLiteral("MB"), tiny.bytes / 1048576.0,
                   QStringLiteral("1 KB log"), 1.1, true, QStringLiteral("ratio <= 1.1")});
    return bench::exitCode();
}
