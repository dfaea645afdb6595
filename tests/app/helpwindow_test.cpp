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
        m_page = Write(QStringLiteral("help.html"), body);
    }

    QString Write(const QString &name, const QByteArray &data) const
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    // The desktop's answer, recording what it was given.
    OpenUrlFn Desktop(bool works)
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
        const char *Name;
        bool PageThere;
        bool BrowserWorks;
        HelpShown Shown;
    };
    const Case cases[] = {
        {"a browser takes the page", true, true, HelpShown::Browser},
        {"no browser", true, false, HelpShown::Window},
        {"no page", false, true, HelpShown::Missing},
        {"neither", false, false, HelpShown::Missing},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        m_opened.clear();
        m_sink.Clear();
        QWidget owner;
        const QString page = c.PageThere ? m_page : m_dir.filePath(QStringLiteral("gone.html"));
        EXPECT_EQ(ShowHelp(&owner, page, Desktop(c.BrowserWorks)), c.Shown);
        EXPECT_EQ(m_opened, c.PageThere ? QList<QUrl>{QUrl::fromLocalFile(page)} : QList<QUrl>());
        auto *window = HelpWindow::Of(&owner);
        ASSERT_EQ(window != nullptr, c.Shown == HelpShown::Window);
        if (window) {
            EXPECT_TRUE(window->isVisible());
            EXPECT_EQ(window->windowTitle(), "Ravelin help");
            EXPECT_TRUE(window->Browser()->toPlainText().contains("Paper is black on white."));
        }
        EXPECT_EQ(m_sink.Texts(), c.Shown == HelpShown::Missing
                                      ? QStringList{"Could not find help file"}
                                      : QStringList());
    }
}

TEST_F(HelpTest, AgainWithNoBrowserRaisesTheSameWindow)
{
    QWidget owner;
    ShowHelp(&owner, m_page, Desktop(false));
    QPointer<HelpWindow> first = HelpWindow::Of(&owner);
    ASSERT_NE(first, nullptr);
    first->hide();
    ShowHelp(&owner, m_page, Desktop(false));
    EXPECT_EQ(owner.findChildren<QDialog *>().size(), 1);
    EXPECT_TRUE(first->isVisible());
    // Closed, it is gone; the next F1 makes a new one.
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
}

TEST_F(HelpTest, LinksMoveInThePageOrGoToTheDesktopAndTheDiskStaysClosed)
{
    Write(QStringLiteral("other.html"), "<html><body>elsewhere</body></html>");
    HelpWindow window(m_page, Desktop(true));
    window.resize(400, 300);
    window.show();
    HelpBrowser *browser = window.Browser();
    const QUrl page = browser->source();

    browser->FollowLink(QUrl(QStringLiteral("#printing")));
    EXPECT_GT(browser->verticalScrollBar()->value(), 0) << "moved to the heading";
    EXPECT_EQ(browser->source(), page);
    EXPECT_TRUE(m_opened.isEmpty());

    struct Case
    {
        const char *Link;
        bool ToDesktop;
    };
    const Case cases[] = {
        {"https://example.org/", true}, {"http://example.org/a", true},
        {"mailto:a@example.org", true}, {"file:///etc/passwd", false},
        {"other.html", false},          {"ftp://example.org/", false},
        {"javascript:alert(1)", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Link);
        m_opened.clear();
        browser->FollowLink(QUrl(QString::fromLatin1(c.Link)));
        EXPECT_EQ(m_opened.size(), c.ToDesktop ? 1 : 0);
        EXPECT_EQ(browser->source(), page) << "the window shows the help page only";
    }

    // Pictures and pages come from the help folder only.
    QTemporaryDir elsewhere;
    const QString secret = elsewhere.filePath(QStringLiteral("secret.png"));
    QFile(secret).open(QIODevice::WriteOnly);
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("img"))));
    Write(QStringLiteral("img/shot.png"), "png");
    const struct
    {
        QUrl Name;
        bool Loads;
    } resources[] = {
        {QUrl(QStringLiteral("other.html")), true},
        {QUrl(QStringLiteral("img/shot.png")), true},
        {QUrl::fromLocalFile(secret), false},
        {QUrl(QStringLiteral("../") + QFileInfo(m_dir.path()).fileName() + "/other.html"), true},
        {QUrl(QStringLiteral("https://example.org/a.png")), false},
    };
    for (const auto &r : resources) {
        SCOPED_TRACE(r.Name.toString().toStdString());
        EXPECT_EQ(browser->loadResource(QTextDocument::ImageResource, r.Name).isValid(), r.Loads);
    }
}

} // namespace
