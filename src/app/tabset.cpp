#include "app/tabset.h"

#include "app/appformat.h"
#include "app/wraptabbar.h"
#include "text/contract.h"
#include "text/fileutil.h"
#include "app/shellmessages.h"
#include "text/stringutil.h"
#include "viewer/logview.h"

#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>

namespace {

QIcon followIcon(bool following)
{
    constexpr int kSide = 16;
    QIcon icon;
    for (const int ratio : {1, 2}) {
        QPixmap pixmap(kSide * ratio, kSide * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        if (following) {
            QPainter painter(&pixmap);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0x2e, 0x9d, 0x3a));
            painter.drawEllipse(QRectF(4, 4, 8, 8));
        }
        icon.addPixmap(pixmap);
    }
    return icon;
}

const QIcon &followingIcon()
{
    static const QIcon icon = followIcon(true);
    return icon;
}

const QIcon &pausedIcon()
{
    static const QIcon icon = followIcon(false);
    return icon;
}

const QString kUnit = QStringLiteral("FormView");
const QString kNotOpened = QStringLiteral("(File not opened)");
constexpr int kCaptionLength = 20;

int codePoints(const QString &text)
{
    int count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count)
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    return count;
}

QString sheetText(const QByteArray &caption, bool padShort)
{
    QString text = QString::fromUtf8(caption);
    if (padShort && codePoints(text) < kCaptionLength)
        text = QStringLiteral("  ") + text + QStringLiteral("  ");
    return plainMenuText(text);
}

} // namespace

QWidget *TabSet::createPanel(QWidget *parent)
{
    m_panel = new QStackedWidget(parent);
    m_panel->setObjectName(QStringLiteral("CentralPanel"));
    m_panelCaption = new QLabel(kNotOpened, m_panel);
    m_panelCaption->setAlignment(Qt::AlignCenter);
    auto *pages = new WrapTabWidget(m_panel);
    m_pages = pages;
    m_tabBar = pages->wrapBar();
    m_pages->setObjectName(QStringLiteral("Pages"));
    // Keys belong to the active viewer: a clicked tab must not keep the focus
    // (Right would switch tabs, Ctrl+End would reach nothing).
    m_pages->setFocusPolicy(Qt::NoFocus);
    m_pages->tabBar()->setFocusPolicy(Qt::NoFocus);
    m_panel->addWidget(m_panelCaption);
    m_panel->addWidget(m_pages);
    connect(m_pages, &QTabWidget::currentChanged, this, [this] { Q_EMIT currentChanged(); });
    connect(m_tabBar, &QTabBar::tabCloseRequested, this,
            [this](int index) { Q_EMIT closeRequested(index); });
    return m_panel;
}

Tab &TabSet::at(int index)
{
    require(index >= 0 && index < count(), QStringLiteral("Tab index out of range: Rec"), kUnit);
    return m_recs[size_t(index)];
}

const Tab &TabSet::at(int index) const
{
    require(index >= 0 && index < count(), QStringLiteral("Tab index out of range: Rec"), kUnit);
    return m_recs[size_t(index)];
}

int TabSet::activeIndex() const
{
    const int index = m_pages->currentIndex();
    return index >= 0 && index < count() ? index : -1;
}

LogView *TabSet::activeView() const
{
    const int index = activeIndex();
    return index >= 0 ? m_recs[size_t(index)].view : nullptr;
}

int TabSet::add(const Tab &rec, const QString &toolTip, bool behind)
{
    m_recs.push_back(rec);
    const int index = count() - 1;
    // Records and pages agree again only at the end of this block.
    const QSignalBlocker blocker(m_pages);
    // With its text at once: every change of a tab lays out all of them.
    m_pages->addTab(rec.sheet, pausedIcon(), sheetText(rec.caption, true));
    m_pages->setTabToolTip(index, toolTip);
    if (!behind)
        m_pages->setCurrentIndex(index);
    return index;
}

void TabSet::markFollowing(int index, bool following)
{
    if (index < 0 || index >= count() || markedFollowing(index) == following)
        return; // a change of icon lays out every tab
    m_pages->setTabIcon(index, following ? followingIcon() : pausedIcon());
}

bool TabSet::markedFollowing(int index) const
{
    return m_pages->tabIcon(index).cacheKey() == followingIcon().cacheKey();
}

void TabSet::remove(int index, bool keepWidgets)
{
    const TabWidgets widgets = at(index).widgets();
    {
        const QSignalBlocker blocker(m_pages);
        m_pages->removeTab(index);
    }
    widgets.sheet->hide();
    if (!keepWidgets)
        widgets.sheet->deleteLater();
    m_recs.erase(m_recs.begin() + index);
}

void TabSet::move(int from, int to)
{
    if (from == to || from < 0 || to < 0 || from >= count() || to >= count())
        return;
    const Tab moved = m_recs[size_t(from)];
    m_recs.erase(m_recs.begin() + from);
    m_recs.insert(m_recs.begin() + to, moved);
    const QSignalBlocker blocker(m_pages);
    m_pages->tabBar()->moveTab(from, to);
}

void TabSet::setActiveQuietly(int index)
{
    const QSignalBlocker blocker(m_pages);
    m_pages->setCurrentIndex(index);
}

void TabSet::showPages(bool show)
{
    m_panel->setCurrentWidget(show ? static_cast<QWidget *>(m_pages)
                                   : static_cast<QWidget *>(m_panelCaption));
}

void TabSet::focusActiveView()
{
    if (LogView *view = activeView())
        view->setFocus(Qt::OtherFocusReason);
}

void TabSet::setCaption(int index, const QByteArray &caption, bool padShort)
{
    m_pages->setTabText(index, sheetText(caption, padShort));
}

void TabSet::fillList(QListWidget *list) const
{
    const int selected = list->currentRow();
    list->setUpdatesEnabled(false);
    list->clear();
    for (const Tab &rec : m_recs) {
        QString line = displayFileName(rec.fileName);
        if (!rec.caption.isEmpty())
            line = QString::fromUtf8(rec.caption) + QStringLiteral("   [") +
                   displayFileName(rec.fileName) + u']';
        list->addItem(line);
    }
    list->setCurrentRow(selected >= 0 && selected < list->count() ? selected : 0);
    list->setUpdatesEnabled(true);
}

QByteArray TabSet::pathCaption(const QString &fileName)
{
    return shortenText(extractFileNameW(displayFileName(fileName)), kCaptionLength).toUtf8();
}

QByteArray TabSet::userCaption(const Tab &rec)
{
    // A decompressed log is named by its compressed file, not by its spool.
    const QString &path = rec.source.isEmpty() ? rec.fileName : rec.source;
    return rec.caption == pathCaption(path) ? QByteArray() : rec.caption;
}
