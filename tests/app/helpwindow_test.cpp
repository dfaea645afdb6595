// The help page: handed to the desktop's browser, shown in a window of the
// program when none takes it, and reported missing only when it is.
#include "app/helpwindow.h"

#include "common/recordingsink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QUrl>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class HelpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QByteArray body = "<html><head><title>Ravelin help</title></head><body>"
                          "<p><a href=\"#printing\">Printing</a> "
                          "<a href=\"https://example.org/\">web</a> "
                          "<a href=\"mailto:a@example.org\">mail</a> "
                          "<a href=\"file:///etc/passwd\">disk</a> "
                          "<a href=\"other.html\">other page</a></p>";
        for (int i = 0; i < 200; ++i)
            body += "<p>filler line</p>";
        body += "<h2 id=\"printing\">Printing</h2><p>Paper is black on white.</p></body></html>";
        m_page = write(QStringLiteral("help.html"), body);
    }

    QString write(const QString &name, const QByteArray &data) const
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    // The desktop's answer, recording what it was given.
    OpenUrlFn desktop(bool works)
    {
        return [this, works](const QUrl &url) {
            m_opened << url;
            return works;
        };
    }

    QTemporaryDir m_dir;
    QString m_page;
    QList<QUrl> m_opened;
    RecordingSink m_sink;
};

TEST_F(HelpTest, ThePageGoesToTheBrowserElseIntoAWindowAndIsMissingOnlyWhenItIs)
{
    struct Case
    {
        const char *name;
        bool pageThere;
        bool browserWorks;
        HelpShown shown;
    };
    const Case cases[] = {
        {"a browser takes the page", true, true, HelpShown::Browser},
        {"no browser", true, false, HelpShown::Window},
        {"no page", false, true, HelpShown::Missing},
        {"neither", false, false, HelpShown::Missing},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        m_opened.clear();
        m_sink.clear();
        QWidget owner;
        const QString page = c.pageThere ? m_page : m_dir.filePath(QStringLiteral("gone.html"));
        EXPECT_EQ(showHelp(&owner, page, desktop(c.browserWorks)), c.shown);
        EXPECT_EQ(m_opened, c.pageThere ? QList<QUrl>{QUrl::fromLocalFile(page)} : QList<QUrl>());
        auto *window = HelpWindow::of(&owner);
        ASSERT_EQ(window != nullptr, c.shown == HelpShown::Window);
        if (window) {
            EXPECT_TRUE(window->isVisible());
            EXPECT_EQ(window->windowTitle(), "Ravelin help");
            EXPECT_TRUE(window->browser()->toPlainText().contains("Paper is black on white."));
        }
        EXPECT_EQ(m_sink.texts(), c.shown == HelpShown::Missing
                                      ? QStringList{"Could not find help file"}
                                      : QStringList());
    }
}

TEST_F(HelpTest, AgainWithNoBrowserRaisesTheSameWindow)
{
    QWidget owner;
    showHelp(&owner, m_page, desktop(false));
    QPointer<HelpWindow> first = HelpWindow::of(&owner);
    ASSERT_NE(first, nullptr);
    first->hide();
    showHelp(&owner, m_page, desktop(false));
    EXPECT_EQ(owner.findChildren<QDialog *>().size(), 1);
    EXPECT_TRUE(first->isVisible());
    // Closed, it is gone; the next F1 makes a new one.
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
}

TEST_F(HelpTest, LinksMoveInThePageOrGoToTheDesktopAndTheDiskStaysClosed)
{
    write(QStringLiteral("other.html"), "<html><body>elsewhere</body></html>");
    HelpWindow window(m_page, desktop(true));
    window.resize(400, 300);
    window.show();
    HelpBrowser *browser = window.browser();
    const QUrl page = browser->source();

    browser->followLink(QUrl(QStringLiteral("#printing")));
    EXPECT_GT(browser->verticalScrollBar()->value(), 0) << "moved to the heading";
    EXPECT_EQ(browser->source(), page);
    EXPECT_TRUE(m_opened.isEmpty());

    struct Case
    {
        const char *link;
        bool toDesktop;
    };
    const Case cases[] = {
        {"https://example.org/", true}, {"http://example.org/a", true},
        {"mailto:a@example.org", true}, {"file:///etc/passwd", false},
        {"other.html", false},          {"ftp://example.org/", false},
        {"javascript:alert(1)", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.link);
        m_opened.clear();
        browser->followLink(QUrl(QString::fromLatin1(c.link)));
        EXPECT_EQ(m_opened.size(), c.toDesktop ? 1 : 0);
        EXPECT_EQ(browser->source(), page) << "the window shows the help page only";
    }

    // Pictures and pages come from the help folder only.
    QTemporaryDir elsewhere;
    const QString secret = elsewhere.filePath(QStringLiteral("secret.png"));
    QFile(secret).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("img"))));
    write(QStringLiteral("img/shot.png"), "png");
    const struct
    {
        QUrl name;
        bool loads;
    } resources[] = {
        {QUrl(QStringLiteral("other.html")), true},
        {QUrl(QStringLiteral("img/shot.png")), true},
        {QUrl::fromLocalFile(secret), false},
        {QUrl(QStringLiteral("../") + QFileInfo(m_dir.path()).fileName() + "/other.html"), true},
        {QUrl(QStringLiteral("https://example.org/a.png")), false},
    };
    for (const auto &r : resources) {
        SCOPED_TRACE(r.name.toString().toStdString());
        EXPECT_EQ(browser->loadResource(QTextDocument::ImageResource, r.name).isValid(), r.loads);
    }
}

} // namespace
