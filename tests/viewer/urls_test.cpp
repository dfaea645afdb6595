// Addresses in the viewer: found per window read, underlined when drawn,
// looked up under a point, handed on when clicked.
#include "viewerfixture.h"
#include "common/viewoption.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>

namespace {

using Urls = ViewerFixture;

// The columns of row `row` whose pixel on the underline has exactly the colour.
std::vector<int> columnsInColour(const QImage &img, int y, const QColor &colour)
{
    std::vector<int> xs;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) == colour)
            xs.push_back(x);
    return xs;
}

class UrlView : public Urls
{
protected:
    int underlineY(int row) const
    {
        const QFontMetrics fm(m_view->options().font.font);
        return row * m_lineHeight + fm.ascent() + fm.underlinePos();
    }
    // Characters [from, to) of a row, in pixels.
    std::pair<int, int> span(int from, int to) const
    {
        return {m_view->textLeft() + from * m_charWidth, m_view->textLeft() + to * m_charWidth};
    }
};

TEST_F(UrlView, AddressesAreUnderlinedInTheirColourAndNothingElseIs)
{
    // "see " 4, address 15 characters; row 2 has the e-mail address at 5.
    m_view->open(write("see www.example.com now\nmail bob@example.org.\n"));
    showLines(4);
    ASSERT_EQ(m_view->urls().urls().size(), 2u);
    const QImage &img = m_view->bitmap();
    const QColor blue = m_view->options().colors.url;
    for (const auto &[row, from, to] : {std::tuple{0, 4, 19}, std::tuple{1, 5, 20}}) {
        SCOPED_TRACE(row);
        const std::vector<int> xs = columnsInColour(img, underlineY(row), blue);
        ASSERT_FALSE(xs.empty());
        EXPECT_EQ(xs.front(), span(from, to).first);
        EXPECT_EQ(xs.back(), span(from, to).second - 1);
        EXPECT_EQ(int(xs.size()), (to - from) * m_charWidth); // one unbroken line
    }
}

TEST_F(UrlView, SwitchedOffNothingIsFoundOrUnderlinedAndSwitchingOnFindsThemAtOnce)
{
    setOption(*m_view, &ViewOptions::textUrlHilight, false);
    m_view->open(write("see www.example.com now\n"));
    showLines(3);
    EXPECT_TRUE(m_view->urls().urls().empty());
    EXPECT_TRUE(
        columnsInColour(m_view->bitmap(), underlineY(0), m_view->options().colors.url).empty());
    EXPECT_TRUE(m_view->urlAt(QPoint(span(8, 9).first, 2)).text.isEmpty());

    setOption(*m_view, &ViewOptions::textUrlHilight, true);
    EXPECT_EQ(m_view->urlAt(qint64(4)), QByteArray("www.example.com"));
    EXPECT_FALSE(
        columnsInColour(m_view->bitmap(), underlineY(0), m_view->options().colors.url).empty());
}

TEST_F(UrlView, APointFindsTheAddressOfTheCharacterUnderIt)
{
    m_view->open(write("see www.example.com now\n\nx\n"));
    showLines(5);
    const int half = m_charWidth / 2;
    const int y = m_lineHeight / 2;
    struct Case
    {
        const char *name;
        QPoint point;
        bool found;
    };
    const Case cases[] = {
        {"first character, left half", {span(4, 5).first + 1, y}, true},
        {"last character, right half", {span(18, 19).first + half + 1, y}, true},
        {"space before it, right half", {span(3, 4).first + half + 1, y}, false},
        {"space after it, left half", {span(19, 20).first + 1, y}, false},
        {"left of the text", {0, y}, false},
        {"an empty line below", {span(4, 5).first, m_lineHeight + y}, false},
        {"below every line", {span(4, 5).first, 4 * m_lineHeight + y}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const UrlList::Url url = m_view->urlAt(c.point);
        EXPECT_EQ(url.text, c.found ? QByteArray("www.example.com") : QByteArray());
        if (c.found) {
            EXPECT_EQ(url.pos, 4);
            EXPECT_EQ(url.length, 15);
        }
    }
}

TEST_F(UrlView, AClickHandsOnTheAddressWithMailtoBeforeAnEmailAddress)
{
    m_view->open(write("http://a.example/x bob@example.org\n"));
    showLines(3);
    std::vector<QByteArray> clicked;
    EXPECT_FALSE(m_view->clickUrlAt(0)); // nobody listens yet
    QObject::connect(m_view.get(), &LogView::urlClicked,
                     [&](const QByteArray &url) { clicked.push_back(url); });
    EXPECT_TRUE(m_view->clickUrlAt(0));
    EXPECT_TRUE(m_view->clickUrlAt(20));
    EXPECT_FALSE(m_view->clickUrlAt(18)); // the space between them
    EXPECT_EQ(clicked, (std::vector<QByteArray>{"http://a.example/x", "mailto:bob@example.org"}));
}

TEST_F(UrlView, OnlyWebFileTransferAndMailAddressesOpenButEveryAddressCopies)
{
    struct Case
    {
        const char *address;
        std::string opened; // empty: a click opens nothing and shows no hand
    };
    const Case cases[] = {
        {"http://ok.example/x", "http://ok.example/x"},
        {"ftp://files.example/a", "ftp://files.example/a"},
        {"www.example.com", "http://www.example.com"},
        {"bob@example.org", "mailto:bob@example.org"},
        {"file:///etc/passwd", ""},
        {"smb://server/share", ""},
        {"abcdefgh://run/this", ""},
    };
    QByteArray text;
    for (const Case &c : cases)
        text += QByteArray(c.address) + '\n';
    m_view->open(write(text));
    showLines(int(std::size(cases)) + 1);
    std::vector<std::string> clicked;
    QObject::connect(m_view.get(), &LogView::urlClicked,
                     [&](const QByteArray &url) { clicked.push_back(url.toStdString()); });
    QWidget *viewport = m_view->viewport();
    const auto send = [&](QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), viewport->mapToGlobal(QPointF(at)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };

    qint64 lineStart = 0;
    for (int row = 0; row < int(std::size(cases)); ++row) {
        const Case &c = cases[row];
        SCOPED_TRACE(c.address);
        const QPoint at(span(2, 3).first + 1, row * m_lineHeight + m_lineHeight / 2);
        const std::vector<std::string> opened =
            c.opened.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.opened};

        clicked.clear();
        EXPECT_EQ(m_view->clickUrlAt(lineStart + 2), !c.opened.empty());
        EXPECT_EQ(clicked, opened);

        clicked.clear();
        send(QEvent::MouseMove, at, Qt::NoButton);
        EXPECT_EQ(viewport->cursor().shape(),
                  c.opened.empty() ? Qt::IBeamCursor : Qt::PointingHandCursor);
        send(QEvent::MouseButtonPress, at, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, at, Qt::NoButton);
        EXPECT_EQ(clicked, opened) << "by the mouse";

        QApplication::clipboard()->setText(QStringLiteral("before"));
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &menu);
        m_view->popupMenu()->hide();
        QAction *copyLink = m_view->popupAction(vpCmdCopyLink);
        ASSERT_TRUE(copyLink->isEnabled());
        copyLink->trigger();
        EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1(c.address));

        lineStart += qint64(qstrlen(c.address)) + 1;
    }
}

TEST_F(UrlView, TheListFollowsTheWindowAndKeepsFileOffsets)
{
    // Far beyond the first read window.
    QByteArray bytes;
    const QByteArray filler(99, 'x');
    while (bytes.size() < 600000)
        bytes += filler + '\n';
    const qint64 at = bytes.size() + 4;
    bytes += "see www.far.example here\n" + filler + '\n';
    m_view->open(write(bytes));
    showLines(5);
    EXPECT_TRUE(m_view->urls().urls().empty());
    m_view->scrollTo(at);
    ASSERT_EQ(m_view->urls().urls().size(), 1u);
    EXPECT_EQ(m_view->urls().urls().front().pos, at);
    ASSERT_EQ(m_view->strPositions().at(0).pos, at - 4);
    EXPECT_EQ(m_view->urlAt(QPoint(span(6, 7).first, m_lineHeight / 2)).pos, at);
    m_view->scrollToBegin();
    EXPECT_TRUE(m_view->urls().urls().empty());
    // Closing forgets them.
    m_view->scrollTo(at);
    m_view->open(QString());
    EXPECT_TRUE(m_view->urls().urls().empty());
}

TEST_F(UrlView, Utf16TextOfEitherOrderIsSearchedAsCharacters)
{
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        const QString name = big ? QStringLiteral("be.txt") : QStringLiteral("le.txt");
        const QByteArray bom = big ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
        m_view->setMode(vbmodeUnicode);
        m_view->open(write(bom + utf16(QStringLiteral("go www.example.com\n"), big), name));
        if (big)
            m_view->setUnicodeOrder(unicodeOrderBig);
        showLines(3);
        EXPECT_EQ(m_view->urlAt(qint64(2 + 2 * 3)), QByteArray("www.example.com"));
        EXPECT_EQ(m_view->urlAt(QPoint(span(5, 6).first, m_lineHeight / 2)).pos, 2 + 2 * 3);
        EXPECT_FALSE(
            columnsInColour(m_view->bitmap(), underlineY(0), m_view->options().colors.url).empty());
    }
}

} // namespace
