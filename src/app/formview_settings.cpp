// Settings: reading and writing them in their fixed order, putting the
// options into effect, window geometry and the tabs of the last run.
#include "app/formview.h"

#include "app/colorconv.h"
#include "app/fontconv.h"
#include "app/shellmessages.h"
#include "app/windowplace.h"
#include "app/wraptabbar.h"
#include "viewer/qzbinhex.h"
#include "text/fproc.h"
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

QByteArray NumberKey(int i, const char *suffix = "")
{
    return QByteArray::number(i) + suffix;
}
} // namespace

TQzFont TFormView::TextFont() const
{
    return {FontFromSpec(m_settings.Font, true), ColorFromInt(m_settings.Font.Color)};
}

TQzFont TFormView::GutterFont() const
{
    return {FontFromSpec(m_settings.FontGutter, true), ColorFromInt(m_settings.FontGutter.Color)};
}

void TFormView::SetSettings(const AppSettings &settings)
{
    m_settings = settings;
    BoundAppSettings(m_settings);
}

void TFormView::LoadSettings()
{
    if (m_ini.ReadFailed()) {
        // Said once, as the window comes up; the exit then saves nothing.
        const QString text =
            m_ini.TooLarge()
                ? QStringLiteral("Settings file is too large; changes will not be saved")
                : QStringLiteral("Cannot read settings file \"%1\" (%2); changes will not be saved")
                      .arg(m_ini.FileName(), m_ini.LastError());
        QTimer::singleShot(0, this, Guarded([text] { MsgWarning(text); }));
    }
    // Every key's default is the value held now, so a missing key keeps it.
    LoadAppSettings(m_ini, m_settings);
    LoadRuleSettings(m_ini, m_rules);
    ApplyRuleSettings();
    RestoreGeometry();
    m_openHistory.Load(m_ini);
    m_sessHistory.Load(m_ini);
    // Read whether or not the last logs are reopened: otherwise the folder
    // of the session dialogs would be lost at the next exit.
    m_lastDir = FileNameFromBytes(m_ini.ReadString(kSessHistory, "LastDir", {}));
    LoadFindSettings(m_ini, m_find);
}

bool TFormView::SaveSettings()
{
    // A file that could not be read is left as it is; the start said so.
    if (m_ini.ReadFailed())
        return false;
    const QStringList tabsLeftOut = SaveOpenTabs();
    StoreGeometry();
    SaveAppSettings(m_ini, m_settings);
    SaveRuleSettings(m_ini, m_rules);
    SaveFindSettings(m_ini, m_find);
    QStringList leftOut = m_openHistory.Save(m_ini) + tabsLeftOut;
    m_ini.WriteExact(kSessHistory, "Current", FileNameToBytes(m_sessionFile));
    m_ini.WriteExact(kSessHistory, "LastDir", FileNameToBytes(m_lastDir));
    leftOut += m_sessHistory.Save(m_ini);
    leftOut.removeDuplicates();
    if (!leftOut.isEmpty())
        MsgWarning(QStringLiteral("A path with a line break cannot be kept in the settings; "
                                  "it is left out of the recent files and the tabs to reopen:\n") +
                   leftOut.join(QLatin1Char('\n')));
    return m_ini.UpdateFile();
}

void TFormView::CloseWithoutAsking()
{
    m_closeUnasked = true;
    // Saved at once: the desktop may end the process before the close is done.
    if (!m_settingsSaved) {
        FormClose();
        FormDestroy();
    }
    for (const TRec &rec : m_recs)
        if (rec.View && rec.View->IsSearchRunning())
            rec.View->CancelSearch();
    if (isVisible())
        close();
}

void TFormView::RestoreGeometry()
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    const QRect place =
        PlaceOnScreens(QPoint(m_settings.WindowLeft, m_settings.WindowTop),
                       QSize(m_settings.WindowWidth, m_settings.WindowHeight), screens);
    move(place.topLeft());
    resize(place.size());
    if (m_settings.WindowMax)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TFormView::StoreGeometry()
{
    m_settings.WindowMax = isMaximized();
    // Maximised, the normal geometry of an earlier run stays in the file.
    if (m_settings.WindowMax)
        return;
    m_settings.WindowLeft = pos().x();
    m_settings.WindowTop = pos().y();
    m_settings.WindowWidth = width();
    m_settings.WindowHeight = height();
}

QStringList TFormView::SaveOpenTabs()
{
    // A tab whose path a line cannot hold is left out, and the rest close up.
    std::vector<const TRec *> kept;
    QStringList leftOut;
    for (const TRec &rec : m_recs) {
        if (IniFile::CanHoldValue(FileNameToBytes(rec.FileName)))
            kept.push_back(&rec);
        else
            leftOut.append(rec.FileName);
    }
    // Keys beyond the new count stay in place; only Num of them are read.
    m_ini.WriteInteger(kSave, "Num", int(kept.size()));
    for (size_t i = 0; i < kept.size(); ++i) {
        m_ini.WriteExact(kSave, NumberKey(int(i) + 1), FileNameToBytes(kept[i]->FileName));
        m_ini.WriteUtf8(kSave, NumberKey(int(i) + 1, "tab"),
                        QString::fromUtf8(UserCaption(*kept[i])));
    }
    return leftOut;
}

void TFormView::ReopenLastLogs()
{
    const QString current = FileNameFromBytes(m_ini.ReadString(kSessHistory, "Current", {}));
    if (!current.isEmpty()) {
        OpenSession(current);
        return;
    }
    const int count = m_ini.ReadInteger(kSave, "Num", 0);
    for (int i = 1; i <= count && i <= kMaxTabs; ++i) {
        const QString path = FileNameFromBytes(m_ini.ReadString(kSave, NumberKey(i), {}));
        const QString caption = m_ini.ReadUtf8(kSave, NumberKey(i, "tab"), QString());
        if (!path.isEmpty())
            OpenFileTabWithCaption(path, caption.toUtf8());
    }
}

void TFormView::ApplyOptions()
{
    // What is saved is what the window and the viewers use.
    BoundAppSettings(m_settings);
    m_tabBar->SetMultiRow(m_settings.MLine);
    for (const TRec &rec : m_recs)
        if (rec.View)
            ApplyViewOptions(rec.View);
    m_pages->setTabPosition(m_settings.Tabs ? QTabWidget::South : QTabWidget::North);
    m_pages->setDocumentMode(!m_settings.Tabs);
    m_toolBar->setVisible(m_settings.Tool);
    statusBar()->setVisible(m_settings.Status);
    if (IsFormOnTop(this) != m_settings.OnTop)
        SetFormOnTop(this, m_settings.OnTop);
}

void TFormView::ApplyViewOptions(TQzBinHex *view)
{
    view->SetFont(TextFont());
    view->SetFontGutter(GutterFont());
    view->SetColor(ColorFromInt(m_settings.ColorBack));
    view->SetMaxLengths(vbmodeText, m_settings.MaxLen);
    view->SetMaxLengths(vbmodeUnicode, m_settings.MaxLen);
    view->AutoReloadSimpleTime = ReloadIntervalMs(m_settings.ReloadTime);
    view->SetTextTabSize(m_settings.TabSize);
    view->SetTextLineSpacing(m_settings.LineSp);
    view->SetTextGutter(m_settings.Gutter);
    view->SetTextGutterLines(m_settings.GutterLines);
    view->SetTextGutterLinesBufSize(m_settings.GutterLinesBuf);
    view->SetTextGutterLinesCount(m_settings.GutterLinesCount);
    view->SetTextGutterLinesStep(m_settings.GutterLinesStep);
    // A tab whose file never opened has nothing to reload.
    if (view->SourceAssigned())
        view->Reload();
    else
        view->Redraw();
}
