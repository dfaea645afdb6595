// The viewer's context menu and its two encoding menus.
#include "viewerfixture.h"
#include "common/encodingarg.h"
#include "common/viewoption.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>

#include <vector>

namespace {

class Menus : public ViewerFixture
{
protected:
    // Asks for the context menu as the mouse or the keyboard does, and
    // closes it again: only the item states are looked at.
    void requestMenu(const QPoint &at, bool keyboard = false)
    {
        QContextMenuEvent event(keyboard ? QContextMenuEvent::Keyboard : QContextMenuEvent::Mouse,
                                at, m_view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(m_view->viewport(), &event);
        m_view->popupMenu()->hide();
    }
    // The six commands in menu order: "on" enabled, "off" disabled, "-" hidden.
    std::string states() const
    {
        std::string out;
        for (int i = 0; i < popupCommandCount; ++i) {
            const QAction *a = m_view->popupAction(PopupCommand(i));
            if (i > 0)
                out += ' ';
            out += a->isVisible() ? (a->isEnabled() ? "on" : "off") : "-";
        }
        return out;
    }
    QPoint row(int row) const { return QPoint(m_view->textLeft() + 3, row * m_lineHeight + 2); }
};

TEST_F(Menus, ContextItemsFollowTheDocumentTheSelectionAndTheSet)
{
    const QString text = write("first line\nsecond\n");
    const QString empty = write("", QStringLiteral("empty.log"));
    const struct
    {
        const char *name;
        QString file;
        ViewMode mode;
        int commands;
        qint64 selStart, selLength;
        std::string states; // Copy, Copy as hex, Copy link, Select line, Select all, Encoding
    } cases[] = {
        {"text without a selection", text, vbmodeText, 63, 0, 0, "off off off on on on"},
        {"text with a selection", text, vbmodeText, 63, 2, 3, "on off off on on on"},
        {"everything selected", text, vbmodeText, 63, 0, 18, "on off off on off on"},
        {"hex mode", text, vbmodeHex, 63, 2, 3, "on on off on on on"},
        {"an empty file", empty, vbmodeText, 63, 0, 0, "off off off off off off"},
        {"only Copy in the set", text, vbmodeText, 1 << vpCmdCopy, 2, 3, "on - - - - -"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_view->setMode(c.mode);
        m_view->open(c.file);
        setOption(*m_view, &ViewOptions::textPopupCommands, c.commands);
        showLines(4);
        m_view->setSelection(c.selStart, c.selLength, false, false, true);
        requestMenu(row(0));
        EXPECT_EQ(states(), c.states);
    }
    // The two separators stay whatever the set.
    int separators = 0;
    for (const QAction *a : m_view->popupMenu()->actions())
        separators += a->isSeparator() && a->isVisible() ? 1 : 0;
    EXPECT_EQ(separators, 2);
}

TEST_F(Menus, SelectLineTakesTheLineUnderTheMenuPoint)
{
    m_view->open(write("first line\nsecond\n"));
    showLines(4);
    requestMenu(row(1));
    EXPECT_EQ(m_view->popupPoint(), row(1));
    m_view->popupAction(vpCmdSelectLine)->trigger();
    EXPECT_EQ(m_view->selStart(), 11);
    EXPECT_EQ(m_view->selLength(), 6);

    m_view->clearSelection(false);
    requestMenu(QPoint(40, 10), true);
    EXPECT_EQ(m_view->popupPoint(), QPoint(-1, -1));
    m_view->popupAction(vpCmdSelectLine)->trigger();
    EXPECT_EQ(m_view->selLength(), 0) << "from the keyboard there is no line to take";
    m_view->popupAction(vpCmdSelectAll)->trigger();
    EXPECT_EQ(m_view->selLength(), 18);
}

TEST_F(Menus, CodePageMenuListsTheGroupsAndMarksTheEncoding)
{
    m_view->open(write("text\n"));
    m_view->setTextEncoding(encodingUtf8);
    QMenu *menu = m_view->prepareEncodingMenu();
    std::vector<QString> top;
    int radios = 0, disabled = 0;
    const QAction *utf8 = nullptr;
    for (QAction *a : menu->actions()) {
        top.push_back(a->isSeparator() ? QStringLiteral("-") : a->text());
        const QList<QAction *> items = a->menu() ? a->menu()->actions() : QList<QAction *>{a};
        for (QAction *item : items) {
            if (!item->isCheckable())
                continue;
            ++radios;
            disabled += item->isEnabled() ? 0 : 1;
            if (item->isChecked()) {
                EXPECT_EQ(utf8, nullptr) << "one mark only";
                utf8 = item;
            }
        }
    }
    const std::vector<QString> want = {"System (UTF-8)",
                                       "DOS (437)",
                                       "Mac",
                                       "-",
                                       "Central European",
                                       "Western European",
                                       "Baltic",
                                       "Cyrillic",
                                       "Greek",
                                       "Turkey",
                                       "Indian",
                                       "Arabic",
                                       "Hebrew",
                                       "Chinese Simplified",
                                       "Chinese Traditional",
                                       "Japanese",
                                       "Korean",
                                       "Thai",
                                       "Vietnamese",
                                       "-",
                                       "Unicode"};
    EXPECT_EQ(top, want);
    EXPECT_EQ(radios, codepageCount);
    EXPECT_EQ(disabled, codepageCount - supportedCodepageCount());
    ASSERT_NE(utf8, nullptr);
    EXPECT_EQ(utf8->text(), QStringLiteral("Unicode (UTF-8)"));

    // Choosing an entry sets the encoding and tells the owner; the menu is
    // built anew each time, so the mark moves.
    int changes = 0;
    QObject::connect(m_view.get(), &LogView::optionsChanged, [&] { ++changes; });
    m_view->prepareEncodingMenu()->actions().at(1)->trigger();
    EXPECT_EQ(m_view->document().textEncoding, encodingOem);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(m_view->prepareEncodingMenu()->actions().at(1)->isChecked());
}

TEST_F(Menus, ByteOrderMenuSwapsTheBytesOfTheText)
{
    m_view->setMode(vbmodeUnicode);
    m_view->open(write(utf16(QStringLiteral("AB\n"), false)));
    showLines(3);
    ASSERT_EQ(drawnTexts().front(), QStringLiteral("AB"));
    QMenu *menu = m_view->prepareEncodingMenu();
    ASSERT_EQ(menu->actions().size(), 2);
    QAction *be = menu->actions().at(0);
    QAction *le = menu->actions().at(1);
    EXPECT_EQ(be->text(), QStringLiteral("Unicode (UTF-16 BE)"));
    EXPECT_EQ(le->text(), QStringLiteral("Unicode (UTF-16 LE)"));
    EXPECT_FALSE(be->isChecked());
    EXPECT_TRUE(le->isChecked());
    int changes = 0;
    QObject::connect(m_view.get(), &LogView::optionsChanged, [&] { ++changes; });
    be->trigger();
    EXPECT_EQ(m_view->document().unicodeOrder(), unicodeOrderBig);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(drawnTexts().front(), QStringLiteral("\u4100\u4200\u0a00"));
    EXPECT_EQ(m_view->currentEncoding(), encodingUtf16BE);
    EXPECT_TRUE(m_view->prepareEncodingMenu()->actions().at(0)->isChecked());
}

TEST_F(Menus, EncodingNames)
{
    const struct
    {
        EncodingArg encoding;
        const char *name;
    } cases[] = {{-2, "Unicode (UTF-16 BE)"},
                 {-1, "Unicode (UTF-16 LE)"},
                 {0, "System (UTF-8)"},
                 {130, "Unicode (UTF-8)"}};
    for (const auto &c : cases)
        EXPECT_EQ(LogView::encodingName(c.encoding), QByteArray(c.name)) << c.encoding;
}

TEST_F(Menus, CopyLinkTakesTheAddressUnderTheMenuPoint)
{
    m_view->open(write("see www.example.com now\n"));
    showLines(3);
    const int x0 = m_view->textLeft();
    const struct
    {
        const char *name;
        QPoint at;
        bool keyboard;
        QString copied; // empty: the item is disabled
    } cases[] = {
        {"on the address", QPoint(x0 + 6 * m_charWidth + 1, 2), false,
         QStringLiteral("www.example.com")},
        {"right half of its last character", QPoint(x0 + 19 * m_charWidth - 2, 2), false,
         QStringLiteral("www.example.com")},
        {"beside it", QPoint(x0 + 1, 2), false, QString()},
        {"from the keyboard", QPoint(x0 + 6 * m_charWidth + 1, 2), true, QString()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        requestMenu(c.at, c.keyboard);
        QAction *copyLink = m_view->popupAction(vpCmdCopyLink);
        EXPECT_EQ(copyLink->isEnabled(), !c.copied.isEmpty());
        if (copyLink->isEnabled())
            copyLink->trigger();
        EXPECT_EQ(QApplication::clipboard()->text(),
                  c.copied.isEmpty() ? QStringLiteral("before") : c.copied);
    }
}

} // namespace
