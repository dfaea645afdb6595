#include "app/helpwindow.h"

#include "app/shellmessages.h"
#include "text/guard.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

HelpBrowser::HelpBrowser(const QString &page, OpenUrlFn openUrl, QWidget *parent)
    : QTextBrowser(parent), m_folder(QFileInfo(page).absoluteDir().canonicalPath()),
      m_openUrl(std::move(openUrl))
{
    setObjectName(QStringLiteral("HelpBrowser"));
    // Every click is decided below, never by the browser itself.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            guarded([this](const QUrl &link) { followLink(link); }));
    setSource(QUrl::fromLocalFile(page), QTextDocument::HtmlResource);
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    // The page and what lies beside it; nothing from elsewhere on the disk.
    const QUrl resolved = source().resolved(name);
    if (!resolved.isLocalFile())
        return {};
    const QString file = QFileInfo(resolved.toLocalFile()).canonicalFilePath();
    if (m_folder.isEmpty() || !file.startsWith(m_folder + u'/'))
        return {};
    return QTextBrowser::loadResource(type, resolved);
}

void HelpBrowser::followLink(const QUrl &link)
{
    const QUrl target = source().resolved(link);
    if (target.matches(source(), QUrl::RemoveFragment)) {
        if (link.hasFragment())
            scrollToAnchor(link.fragment());
        return;
    }
    const QString scheme = target.scheme().toLower();
    const bool outside = scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
                         scheme == QLatin1String("mailto");
    if (!outside || !m_openUrl || !m_openUrl(target))
        QApplication::beep();
}

HelpWindow::HelpWindow(const QString &page, OpenUrlFn openUrl, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
    m_browser = new HelpBrowser(page, std::move(openUrl), this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    const QString title = m_browser->documentTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Help") : title);
    resize(760, 640);
}

HelpWindow *HelpWindow::of(const QWidget *owner)
{
    // Without a meta-object of its own, findChild<HelpWindow *> would take any dialog.
    if (!owner)
        return nullptr;
    for (QDialog *dialog : owner->findChildren<QDialog *>(QString(), Qt::FindDirectChildrenOnly))
        if (auto *window = dynamic_cast<HelpWindow *>(dialog))
            return window;
    return nullptr;
}

HelpShown showHelp(QWidget *owner, const QString &page, const OpenUrlFn &openUrl)
{
    if (page.isEmpty() || !QFileInfo(page).isFile()) {
        msgError(QStringLiteral("Could not find help file"));
        return HelpShown::Missing;
    }
    if (openUrl && openUrl(QUrl::fromLocalFile(page)))
        return HelpShown::Browser;
    // No browser takes the page: it is there all the same.
    HelpWindow *window = HelpWindow::of(owner);
    if (!window) {
        window = new HelpWindow(page, openUrl, owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return HelpShown::Window;
}
