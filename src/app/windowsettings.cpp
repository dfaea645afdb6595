#include "app/windowsettings.h"

#include "app/colorconv.h"
#include "app/fontconv.h"
#include "app/tabset.h"
#include "app/windowplace.h"
#include "text/fileutil.h"
#include "viewer/logview.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
const QByteArray kSave = "Save";
const QByteArray kSessHistory = "SessHistory";
const QByteArray kWindow = "Window";

QByteArray numberKey(int i, const char *suffix = "")
{
    return QByteArray::number(i) + suffix;
}
} // namespace

void WindowSettings::load()
{
    loadAppSettings(m_ini, m_app);
    loadRuleSettings(m_ini, m_rules);
}

QString WindowSettings::readProblem() const
{
    if (!m_ini.readFailed())
        return QString();
    return m_ini.tooLarge()
               ? QStringLiteral("Settings file is too large; changes will not be saved")
               : QStringLiteral("Cannot read settings file \"%1\" (%2); changes will not be saved")
                     .arg(m_ini.fileName(), m_ini.lastError());
}

QStringList WindowSettings::store(const std::vector<Tab> &tabs, const QWidget &window)
{
    const QStringList tabsLeftOut = storeOpenTabs(tabs);
    storeWindowPlace(window);
    saveAppSettings(m_ini, m_app);
    saveRuleSettings(m_ini, m_rules);
    return tabsLeftOut;
}

ViewFont WindowSettings::textFont() const
{
    return {fontFromSpec(m_app.font, true), colorFromInt(m_app.font.color)};
}

ViewFont WindowSettings::gutterFont() const
{
    return {fontFromSpec(m_app.fontGutter, true), colorFromInt(m_app.fontGutter.color)};
}

ViewOptions WindowSettings::displayOptions(ViewOptions options) const
{
    options.font = textFont();
    options.fontGutter = gutterFont();
    options.color = colorFromInt(m_app.colorBack);
    options.textLineSpacing = m_app.lineSp;
    options.textTabSize = m_app.tabSize;
    options.textGutter = m_app.gutter;
    options.textGutterLines = m_app.gutterLines;
    options.textGutterLinesBufSize = m_app.gutterLinesBuf;
    options.textGutterLinesCount = m_app.gutterLinesCount;
    options.textGutterLinesStep = m_app.gutterLinesStep;
    return options;
}

void WindowSettings::applyDisplay(LogView *view, ViewOptions options) const
{
    view->setMaxLengths(vbmodeText, m_app.maxLen);
    view->setMaxLengths(vbmodeUnicode, m_app.maxLen);
    view->setOptions(displayOptions(std::move(options)));
    view->setPollInterval(reloadIntervalMs(m_app.reloadTime));
}

void WindowSettings::configureNewView(LogView *view) const
{
    ViewOptions options = view->options();
    options.textWrap = m_app.wrap;
    options.textUrlHilight = false;
    applyDisplay(view, std::move(options));
    view->setAutoReload(true);
    view->setReloadBeep(false);
    view->setFollowTail(m_app.tail);
    // Told of appends by the folder watch; the reload interval is the
    // fallback's poll.
    view->setPollForChanges(false);
}

void WindowSettings::applyToView(LogView *view) const
{
    applyDisplay(view, view->options());
    // A tab whose file never opened has nothing to reload.
    if (view->document().sourceAssigned())
        view->reload();
    else
        view->redraw();
}

void WindowSettings::restoreWindowPlace(QWidget &window) const
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    // The first start fits the screen, whatever its size and scale.
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (!m_ini.keyExists(kWindow, "Width") && !m_ini.keyExists(kWindow, "Left") && primary) {
        const QRect place = firstPlace(primary->availableGeometry());
        window.move(place.topLeft());
        window.resize(place.size());
        return;
    }
    const QRect place = placeOnScreens(QPoint(m_app.windowLeft, m_app.windowTop),
                                       QSize(m_app.windowWidth, m_app.windowHeight), screens);
    window.move(place.topLeft());
    window.resize(place.size());
    if (m_app.windowMax)
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void WindowSettings::storeWindowPlace(const QWidget &window)
{
    m_app.windowMax = window.isMaximized();
    // Maximised, the normal geometry of an earlier run stays in the file.
    if (m_app.windowMax)
        return;
    m_app.windowLeft = window.pos().x();
    m_app.windowTop = window.pos().y();
    m_app.windowWidth = window.width();
    m_app.windowHeight = window.height();
}

QStringList WindowSettings::storeOpenTabs(const std::vector<Tab> &tabs)
{
    // A tab whose path a line cannot hold is left out, and the rest close up.
    std::vector<const Tab *> kept;
    QStringList leftOut;
    for (const Tab &rec : tabs) {
        // A stream's spool goes when the program closes; a command can run
        // again and a compressed file be decompressed again.
        if (rec.spooled && rec.command.isEmpty() && rec.source.isEmpty())
            continue;
        const bool command = rec.spooled && rec.source.isEmpty();
        const QString &path = rec.spooled ? rec.source : rec.fileName;
        const QByteArray value = command ? rec.command.toUtf8() : fileNameToBytes(path);
        if (IniFile::canHoldValue(value))
            kept.push_back(&rec);
        else
            leftOut.append(command ? rec.command : path);
    }
    // Keys beyond the new count stay in place; only Num of them are read.
    m_ini.writeInteger(kSave, "Num", int(kept.size()));
    for (size_t i = 0; i < kept.size(); ++i) {
        const Tab &rec = *kept[i];
        const bool command = rec.spooled && rec.source.isEmpty();
        // A command's tab has no path: a program that knows no commands skips it.
        m_ini.writeExact(kSave, numberKey(int(i) + 1),
                         command ? QByteArray()
                                 : fileNameToBytes(rec.spooled ? rec.source : rec.fileName));
        m_ini.writeUtf8(kSave, numberKey(int(i) + 1, "tab"),
                        command ? QString() : QString::fromUtf8(TabSet::userCaption(rec)));
        if (command)
            m_ini.writeUtf8(kSave, numberKey(int(i) + 1, "cmd"), rec.command);
        else
            m_ini.deleteKey(kSave, numberKey(int(i) + 1, "cmd"));
    }
    return leftOut;
}

QString WindowSettings::lastSession() const
{
    return fileNameFromBytes(m_ini.readString(kSessHistory, "Current", {}));
}

std::vector<SessionTab> WindowSettings::lastTabs(int maxTabs) const
{
    std::vector<SessionTab> tabs;
    const int count = m_ini.readInteger(kSave, "Num", 0);
    for (int i = 1; i <= count && i <= maxTabs; ++i) {
        const QString path = fileNameFromBytes(m_ini.readString(kSave, numberKey(i), {}));
        const QString caption = m_ini.readUtf8(kSave, numberKey(i, "tab"), QString());
        const QString command =
            path.isEmpty() ? m_ini.readUtf8(kSave, numberKey(i, "cmd"), QString()) : QString();
        if (!path.isEmpty() || !command.trimmed().isEmpty()) {
            tabs.push_back({path, caption.toUtf8()});
            tabs.back().command = command;
        }
    }
    return tabs;
}
