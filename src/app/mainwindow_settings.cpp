// Settings: reading and writing them in their fixed order, putting the
// options into effect, window geometry and the tabs of the last run.
#include "app/mainwindow.h"

#include "app/colorconv.h"
#include "app/fontconv.h"
#include "app/shellmessages.h"
#include "app/windowplace.h"
#include "app/wraptabbar.h"
#include "viewer/logview.h"
#include "text/fileutil.h"
#include "text/guard.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

namespace {
const QByteArray kSave = "Save";
const QByteArray kSessHistory = "SessHistory";

QByteArray numberKey(int i, const char *suffix = "")
{
    return QByteArray::number(i) + suffix;
}
} // namespace

ViewFont MainWindow::textFont() const
{
    return {fontFromSpec(m_settings.font, true), colorFromInt(m_settings.font.color)};
}

ViewFont MainWindow::gutterFont() const
{
    return {fontFromSpec(m_settings.fontGutter, true), colorFromInt(m_settings.fontGutter.color)};
}

void MainWindow::setSettings(const AppSettings &settings)
{
    m_settings = settings;
    boundAppSettings(m_settings);
}

void MainWindow::loadSettings()
{
    if (m_ini.readFailed()) {
        // Said once, as the window comes up; the exit then saves nothing.
        const QString text =
            m_ini.tooLarge()
                ? QStringLiteral("Settings file is too large; changes will not be saved")
                : QStringLiteral("Cannot read settings file \"%1\" (%2); changes will not be saved")
                      .arg(m_ini.fileName(), m_ini.lastError());
        QTimer::singleShot(0, this, guarded([text] { msgWarning(text); }));
    }
    // Every key's default is the value held now, so a missing key keeps it.
    loadAppSettings(m_ini, m_settings);
    loadRuleSettings(m_ini, m_rules);
    applyRuleSettings();
    restoreWindowPlace();
    m_openHistory.load(m_ini);
    m_sessHistory.load(m_ini);
    // Read whether or not the last logs are reopened: otherwise the folder
    // of the session dialogs would be lost at the next exit.
    m_lastDir = fileNameFromBytes(m_ini.readString(kSessHistory, "LastDir", {}));
    loadFindSettings(m_ini, m_find);
}

bool MainWindow::saveSettings()
{
    // A file that could not be read is left as it is; the start said so.
    if (m_ini.readFailed())
        return false;
    const QStringList tabsLeftOut = saveOpenTabs();
    storeWindowPlace();
    saveAppSettings(m_ini, m_settings);
    saveRuleSettings(m_ini, m_rules);
    saveFindSettings(m_ini, m_find);
    QStringList leftOut = m_openHistory.save(m_ini) + tabsLeftOut;
    m_ini.writeExact(kSessHistory, "Current", fileNameToBytes(m_sessionFile));
    m_ini.writeExact(kSessHistory, "LastDir", fileNameToBytes(m_lastDir));
    leftOut += m_sessHistory.save(m_ini);
    leftOut.removeDuplicates();
    if (!leftOut.isEmpty())
        msgWarning(QStringLiteral("A path with a line break cannot be kept in the settings; "
                                  "it is left out of the recent files and the tabs to reopen:\n") +
                   leftOut.join(QLatin1Char('\n')));
    return m_ini.updateFile();
}

void MainWindow::closeWithoutAsking()
{
    m_closeUnasked = true;
    // Saved at once: the desktop may end the process before the close is done.
    if (!m_settingsSaved) {
        formClose();
        formDestroy();
    }
    for (const Tab &rec : m_recs)
        if (rec.view && rec.view->isSearchRunning())
            rec.view->cancelSearch();
    if (isVisible())
        close();
}

void MainWindow::restoreWindowPlace()
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    const QRect place =
        placeOnScreens(QPoint(m_settings.windowLeft, m_settings.windowTop),
                       QSize(m_settings.windowWidth, m_settings.windowHeight), screens);
    move(place.topLeft());
    resize(place.size());
    if (m_settings.windowMax)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::storeWindowPlace()
{
    m_settings.windowMax = isMaximized();
    // Maximised, the normal geometry of an earlier run stays in the file.
    if (m_settings.windowMax)
        return;
    m_settings.windowLeft = pos().x();
    m_settings.windowTop = pos().y();
    m_settings.windowWidth = width();
    m_settings.windowHeight = height();
}

QStringList MainWindow::saveOpenTabs()
{
    // A tab whose path a line cannot hold is left out, and the rest close up.
    std::vector<const Tab *> kept;
    QStringList leftOut;
    for (const Tab &rec : m_recs) {
        if (IniFile::canHoldValue(fileNameToBytes(rec.fileName)))
            kept.push_back(&rec);
        else
            leftOut.append(rec.fileName);
    }
    // Keys beyond the new count stay in place; only Num of them are read.
    m_ini.writeInteger(kSave, "Num", int(kept.size()));
    for (size_t i = 0; i < kept.size(); ++i) {
        m_ini.writeExact(kSave, numberKey(int(i) + 1), fileNameToBytes(kept[i]->fileName));
        m_ini.writeUtf8(kSave, numberKey(int(i) + 1, "tab"),
                        QString::fromUtf8(userCaption(*kept[i])));
    }
    return leftOut;
}

void MainWindow::reopenLastLogs()
{
    const QString current = fileNameFromBytes(m_ini.readString(kSessHistory, "Current", {}));
    if (!current.isEmpty()) {
        openSession(current);
        return;
    }
    const int count = m_ini.readInteger(kSave, "Num", 0);
    for (int i = 1; i <= count && i <= kMaxTabs; ++i) {
        const QString path = fileNameFromBytes(m_ini.readString(kSave, numberKey(i), {}));
        const QString caption = m_ini.readUtf8(kSave, numberKey(i, "tab"), QString());
        if (!path.isEmpty())
            openFileTabWithCaption(path, caption.toUtf8());
    }
}

void MainWindow::applyOptions()
{
    // What is saved is what the window and the viewers use.
    boundAppSettings(m_settings);
    m_tabBar->setMultiRow(m_settings.mLine);
    for (const Tab &rec : m_recs)
        if (rec.view)
            applyViewOptions(rec.view);
    m_pages->setTabPosition(m_settings.tabs ? QTabWidget::South : QTabWidget::North);
    m_pages->setDocumentMode(!m_settings.tabs);
    m_toolBar->setVisible(m_settings.tool);
    statusBar()->setVisible(m_settings.status);
    if (isFormOnTop(this) != m_settings.onTop)
        setFormOnTop(this, m_settings.onTop);
}

void MainWindow::applyViewOptions(LogView *view)
{
    view->setTextFont(textFont());
    view->setFontGutter(gutterFont());
    view->setColor(colorFromInt(m_settings.colorBack));
    view->setMaxLengths(vbmodeText, m_settings.maxLen);
    view->setMaxLengths(vbmodeUnicode, m_settings.maxLen);
    view->setPollInterval(reloadIntervalMs(m_settings.reloadTime));
    view->setTextTabSize(m_settings.tabSize);
    view->setTextLineSpacing(m_settings.lineSp);
    view->setTextGutter(m_settings.gutter);
    view->setTextGutterLines(m_settings.gutterLines);
    view->setTextGutterLinesBufSize(m_settings.gutterLinesBuf);
    view->setTextGutterLinesCount(m_settings.gutterLinesCount);
    view->setTextGutterLinesStep(m_settings.gutterLinesStep);
    // A tab whose file never opened has nothing to reload.
    if (view->sourceAssigned())
        view->reload();
    else
        view->redraw();
}
