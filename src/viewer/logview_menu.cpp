// The context menu and the encoding menus.
#include "viewer/logview.h"

#include "text/codepages.h"
#include "text/guard.h"

#include <QActionGroup>
#include <QCursor>
#include <QMenu>

void LogView::buildPopupMenu()
{
    m_popupMenu = new QMenu(this);
    const auto add = [this](PopupCommand command, const QString &caption,
                            std::function<void()> action) {
        QAction *a = m_popupMenu->addAction(caption);
        connect(a, &QAction::triggered, this, guarded([action] { action(); }));
        m_popupActions[command] = a;
    };
    add(vpCmdCopy, QStringLiteral("&Copy"), [this] { copyToClipboard(false); });
    add(vpCmdCopyHex, QStringLiteral("Copy as &hex"), [this] { copyToClipboard(true); });
    add(vpCmdCopyLink, QStringLiteral("Copy &link"), [this] { copyLink(); });
    m_popupMenu->addSeparator();
    add(vpCmdSelectLine, QStringLiteral("Select li&ne"), [this] { popupSelectLine(); });
    add(vpCmdSelectAll, QStringLiteral("Select &all"), [this] { selectAll(); });
    m_popupMenu->addSeparator();
    add(vpCmdEncMenu, QStringLiteral("&Encoding..."), [this] {
        const QPoint at = QCursor::pos();
        showEncodingMenu(at.x(), at.y());
    });
}

void LogView::updatePopupItems()
{
    const bool empty = m_doc.fileSize() < m_doc.charSize();
    const bool someSelected = !empty && m_selLength > 0;
    const bool allSelected = m_selStart == 0 && m_selLength >= m_doc.alignDown(m_doc.fileSize());
    const bool enabled[popupCommandCount] = {
        someSelected,
        someSelected && m_doc.mode() == vbmodeHex,
        !empty && !linkAt(m_popupPoint).isEmpty(),
        !empty && m_opt.textEnableSel,
        !empty && m_opt.textEnableSel && !allSelected,
        !empty,
    };
    for (int i = 0; i < popupCommandCount; ++i) {
        m_popupActions[i]->setEnabled(enabled[i]);
        m_popupActions[i]->setVisible((m_opt.textPopupCommands & (1 << i)) != 0);
    }
}

void LogView::popupSelectLine()
{
    // From the keyboard there is no point to take a line from.
    if (m_popupPoint.x() < 0 || m_popupPoint.y() < 0)
        return;
    const qint64 p = m_strPositions.posFromCoord(m_popupPoint.x(), m_popupPoint.y(), false);
    if (p >= 0)
        selectLine(p);
}

QByteArray LogView::encodingName(Encoding encoding)
{
    return codepageName(encoding);
}

Encoding LogView::currentEncoding() const
{
    return m_doc.shownEncoding();
}

void LogView::rebuildCodepageMenu()
{
    if (!m_codepageMenu)
        m_codepageMenu = new QMenu(this);
    // Emptied whole: the submenus and the radio group of the last showing go too.
    for (QMenu *sub : m_codepageMenu->findChildren<QMenu *>(Qt::FindDirectChildrenOnly))
        delete sub;
    m_codepageMenu->clear();
    delete m_codepageGroup;
    m_codepageGroup = new QActionGroup(m_codepageMenu);
    m_codepageGroup->setExclusive(true);

    QMenu *sub = nullptr;
    QString previous;
    bool anyGroup = false;
    for (const Encoding i : listedCodePages()) {
        const CodepageInfo &rec = codepageList[i.codePageIndex()];
        if (!*rec.title)
            continue;
        const QString group = QString::fromUtf8(rec.group);
        QMenu *target = m_codepageMenu;
        if (!group.isEmpty()) {
            if (!anyGroup || group != previous) {
                if (!anyGroup || group == QLatin1String("Unicode"))
                    m_codepageMenu->addSeparator();
                sub = m_codepageMenu->addMenu(group);
                previous = group;
                anyGroup = true;
            }
            target = sub;
        }
        QAction *a = target->addAction(QString::fromUtf8(rec.title));
        a->setCheckable(true);
        a->setChecked(i == m_doc.textEncoding);
        a->setEnabled(group.isEmpty() || isCodepageSupported(i));
        m_codepageGroup->addAction(a);
        connect(a, &QAction::triggered, this, guarded([this, i] {
                    setTextEncoding(i);
                    Q_EMIT optionsChanged();
                }));
    }
}

void LogView::refreshByteOrderMenu()
{
    if (!m_byteOrderMenu) {
        m_byteOrderMenu = new QMenu(this);
        auto *group = new QActionGroup(m_byteOrderMenu);
        const struct
        {
            const char *caption;
            quint8 order;
        } items[] = {{"Unicode (UTF-16 BE)", unicodeOrderBig},
                     {"Unicode (UTF-16 LE)", unicodeOrderLittle}};
        for (int i = 0; i < 2; ++i) {
            QAction *a = m_byteOrderMenu->addAction(QString::fromLatin1(items[i].caption));
            a->setCheckable(true);
            group->addAction(a);
            const quint8 order = items[i].order;
            connect(a, &QAction::triggered, this, guarded([this, order] {
                        setUnicodeOrder(order);
                        Q_EMIT optionsChanged();
                    }));
            m_byteOrderActions[i] = a;
        }
    }
    m_byteOrderActions[0]->setChecked(m_doc.isBigEndian());
    m_byteOrderActions[1]->setChecked(!m_doc.isBigEndian());
}

QMenu *LogView::prepareEncodingMenu()
{
    if (m_doc.isUnicodeMode()) {
        refreshByteOrderMenu();
        return m_byteOrderMenu;
    }
    rebuildCodepageMenu();
    return m_codepageMenu;
}

void LogView::showEncodingMenu(int x, int y)
{
    QMenu *menu = prepareEncodingMenu();
    QPoint at(x, y);
    if (menu == m_byteOrderMenu)
        at -= QPoint(menu->sizeHint().width() / 2, menu->sizeHint().height() / 2);
    // The chosen entry has taken effect when exec returns: its action is
    // triggered from within the menu's own loop.
    menu->exec(at);
}
