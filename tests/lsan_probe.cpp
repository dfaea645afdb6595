// Leaks from inside a timer's lambda on purpose. CTest expects the leak to
// be reported with the project's suppressions in force, so a suppression
// broad enough to hide our own leaks behind a Qt frame fails the suite.
#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>

static void *volatile g_sink;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        void *p = std::malloc(4096);
        g_sink = p;
        g_sink = nullptr; // the only reference is gone
        app.quit();
    });
    return app.exec();
}
