#pragma once

#include <QDialog>
#include <QTextBrowser>

#include <functional>

class QUrl;

// Opens an address in the desktop's program; false when none took it.
using OpenUrlFn = std::function<bool(const QUrl &url)>;

// The help page as a plain local document: resources come only from the
// page's own folder, links within the page move in it, links to the web or
// to mail go to the desktop, and any other link goes nowhere.
class HelpBrowser final : public QTextBrowser
{
public:
    HelpBrowser(const QString &page, OpenUrlFn openUrl, QWidget *parent = nullptr);

    QVariant loadResource(int type, const QUrl &name) override;
    // What a click on the link does.
    void followLink(const QUrl &link);

private:
    QString m_folder;
    OpenUrlFn m_openUrl;
};

// A window of the program that shows the help page when no browser takes it.
class HelpWindow final : public QDialog
{
public:
    HelpWindow(const QString &page, OpenUrlFn openUrl, QWidget *parent = nullptr);
    HelpBrowser *browser() const { return m_browser; }
    // The help window owner holds, if any.
    static HelpWindow *of(const QWidget *owner);

private:
    HelpBrowser *m_browser = nullptr;
};

enum class HelpShown { Browser, Window, Missing };

// Shows the help page: handed to the desktop's browser, else in a help
// window owned by owner (one at a time, raised when open already). An empty
// or missing page says "Could not find help file".
HelpShown showHelp(QWidget *owner, const QString &page, const OpenUrlFn &openUrl);
