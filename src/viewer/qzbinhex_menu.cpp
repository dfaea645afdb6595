// The context menu and the encoding menus.
#include "viewer/qzbinhex.h"

#include "text/codepages.h"
#include "text/guard.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>

void TQzBinHex::BuildPopupMenu()
{
    m_popupMenu = new QMenu(this);
    const auto add = [this](TQzPopupCommand command, const QString &caption,
                            std::function<void()> action) {
        QAction *a = m_popupMenu->addAction(caption);
        connect(a, &QAction::triggered, this, Guarded([action] { action(); }));
        m_popupActions[command] = a;
    };
    add(vpCmdCopy, QStringLiteral("&Copy"), [this] { CopyToClipboard(false); });
    add(vpCmdCopyHex, QStringLiteral("Copy as &hex"), [this] { CopyToClipboard(true); });
    add(vpCmdCopyLink, QStringLiteral("Copy &link"), [this] { CopyLink(); });
    m_popupMenu->addSeparator();
    add(vpCmdSelectLine, QStringLiteral("Select li&ne"), [this] { PopupSelectLine(); });
    add(vpCmdSelectAll, QStringLiteral("Select &all"), [this] { SelectAll(); });
    m_popupMenu->addSeparator();
    add(vpCmdEncMenu, QStringLiteral("&Encoding..."), [this] {
        const QPoint at = QCursor::pos();
        ShowEncodingMenu(at.x(), at.y());
    });
}

void TQzBinHex::UpdatePopupItems()
{
    const bool empty = FileSize() < CharSize();
    const bool someSelected = !empty && m_selLength > 0;
    const bool allSelected = m_selStart == 0 && m_selLength >= m_doc.AlignDown(FileSize());
    const bool enabled[PopupCommandCount] = {
        someSelected,
        someSelected && Mode() == vbmodeHex,
        !empty && !LinkAt(m_popupPoint).isEmpty(),
        !empty && m_textEnableSel,
        !empty && m_textEnableSel && !allSelected,
        !empty,
    };
    for (int i = 0; i < PopupCommandCount; ++i) {
        m_popupActions[i]->setEnabled(enabled[i]);
        m_popupActions[i]->setVisible((TextPopupCommands & (1 << i)) != 0);
    }
}

void TQzBinHex::PopupSelectLine()
{
    // From the keyboard there is no point to take a line from.
    if (m_popupPoint.x() < 0 || m_popupPoint.y() < 0)
        return;
    const qint64 p = m_strPositions.PosFromCoord(m_popupPoint.x(), m_popupPoint.y(), false);
    if (p >= 0)
        SelectLine(p);
}

QByteArray TQzBinHex::EncodingName(TQzEncoding encoding)
{
    return CodepageName(encoding);
}

TQzEncoding TQzBinHex::CurrentEncoding() const
{
    if (IsUnicodeMode())
        return IsBigEndian() ? EncodingUtf16BE : EncodingUtf16LE;
    return TextEncoding();
}

void TQzBinHex::RebuildCodepageMenu()
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
    for (TQzEncoding i = 0; i < CodepageCount; ++i) {
        const TQzCodepageRec &rec = CodepageList[i];
        if (!*rec.Title)
            continue;
        const QString group = QString::fromUtf8(rec.Group);
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
        QAction *a = target->addAction(QString::fromUtf8(rec.Title));
        a->setCheckable(true);
        a->setChecked(i == TextEncoding());
        a->setEnabled(group.isEmpty() || IsCodepageSupported(i));
        m_codepageGroup->addAction(a);
        connect(a, &QAction::triggered, this, Guarded([this, i] {
                    SetTextEncoding(i);
                    if (OnOptionsChange)
                        OnOptionsChange(this);
                }));
    }
}

void TQzBinHex::RefreshByteOrderMenu()
{
    if (!m_byteOrderMenu) {
        m_byteOrderMenu = new QMenu(this);
        auto *group = new QActionGroup(m_byteOrderMenu);
        const struct
        {
            const char *caption;
            quint8 order;
        } items[] = {{"Unicode (UTF-16 BE)", UnicodeOrderBig},
                     {"Unicode (UTF-16 LE)", UnicodeOrderLittle}};
        for (int i = 0; i < 2; ++i) {
            QAction *a = m_byteOrderMenu->addAction(QString::fromLatin1(items[i].caption));
            a->setCheckable(true);
            group->addAction(a);
            const quint8 order = items[i].order;
            connect(a, &QAction::triggered, this, Guarded([this, order] {
                        SetUnicodeOrder(order);
                        if (OnOptionsChange)
                            OnOptionsChange(this);
                    }));
            m_byteOrderActions[i] = a;
        }
    }
    m_byteOrderActions[0]->setChecked(IsBigEndian());
    m_byteOrderActions[1]->setChecked(!IsBigEndian());
}

QMenu *TQzBinHex::PrepareEncodingMenu()
{
    if (IsUnicodeMode()) {
        RefreshByteOrderMenu();
        return m_byteOrderMenu;
    }
    RebuildCodepageMenu();
    return m_codepageMenu;
}

void TQzBinHex::ShowEncodingMenu(int x, int y)
{
    QMenu *menu = PrepareEncodingMenu();
    QPoint at(x, y);
    if (menu == m_byteOrderMenu)
        at -= QPoint(menu->sizeHint().width() / 2, menu->sizeHint().height() / 2);
    menu->exec(at);
    QCoreApplication::processEvents();
}
