// Finding text and going to the next line of a rule.
#include "app/mainwindow.h"

#include "app/colorconv.h"
#include "app/searchprogresswindow.h"
#include "app/finddialog.h"
#include "app/findbar.h"
#include "app/matchpane.h"
#include "app/quickfind.h"
#include "app/gotonextwindow.h"
#include "app/windowplace.h"
#include "viewer/matchdecorator.h"
#include "rules/colorrec.h"
#include "search/streamsearch.h"
#include "text/guard.h"
#include "viewer/documentsearch.h"
#include "viewer/logview.h"

#include <QCheckBox>
#include <QLayout>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QRadioButton>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

static_assert(ColorRules::count == GoToNextWindow::kPanels);

namespace {
// How long the status bar says that a search was cancelled.
constexpr int kCancelledNoteMs = 5000;

// Whether the regex engine can search what the viewer shows. The UTF-16 dump
// keeps to plain text, as the find dialog always has.
bool regexAllowed(const LogView *view)
{
    switch (view->document().mode()) {
    case vbmodeUnicode:
        return true;
    case vbmodeText:
    case vbmodeBinary:
    case vbmodeHex:
        return StreamSearch::regexSupportsEncoding(view->document().textEncoding);
    default:
        return false;
    }
}

SearchOptions optionsOf(const FindState &find)
{
    SearchOptions options;
    options.setFlag(soCaseSensitive, find.findCase);
    options.setFlag(soWholeWords, find.findWords);
    options.setFlag(soBackward, find.findBack);
    options.setFlag(soRegex, find.findRegex);
    options.setFlag(soRegexMultiLine, find.findMLine);
    options.setFlag(soFromPage, find.findOrigin);
    return options;
}
} // namespace

void MainWindow::createSearchWindows()
{
    m_findProgress = new SearchProgressWindow(this);
    m_findProgress->jobs = &m_jobs;
    m_gotoWindow = new GoToNextWindow(this);
    auto *quickFind = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")), this);
    connect(quickFind, &QShortcut::activated, this, guarded([this] { openQuickFind(); }));
}

void MainWindow::installQuickFindKey(LogView *view)
{
    // less's key; only while the text has the keyboard, so that fields
    // elsewhere still type it.
    auto *slash = new QShortcut(QKeySequence(Qt::Key_Slash), view);
    slash->setContext(Qt::WidgetWithChildrenShortcut);
    connect(slash, &QShortcut::activated, this, guarded([this] { openQuickFind(); }));
    // less's key for the lines that match.
    auto *ampersand = new QShortcut(QKeySequence(Qt::Key_Ampersand), view);
    ampersand->setContext(Qt::WidgetShortcut);
    connect(ampersand, &QShortcut::activated, this,
            guarded([this, view] { listMatchingLines(view); }));
}

QuickFind *MainWindow::quickFindOf(LogView *view, bool create)
{
    QWidget *sheet = MatchPane::sheetOf(view);
    if (!sheet)
        return nullptr;
    if (auto *find = sheet->findChild<QuickFind *>())
        return find;
    if (!create)
        return nullptr;
    auto *find = new QuickFind(view, m_jobs);
    FindBar *bar = find->bar();
    bar->setToggles(m_find.barCase, m_find.barWords, m_find.barRegex);
    connect(bar, &FindBar::togglesChanged, this, [this, bar] {
        m_find.barCase = bar->btnCase->isChecked();
        m_find.barWords = bar->btnWords->isChecked();
        m_find.barRegex = bar->btnRegex->isChecked();
    });
    connect(bar, &FindBar::stepRequested, this,
            guarded([this, find](bool previous) { quickFindStep(find, previous); }));
    connect(bar, &FindBar::linesRequested, this,
            guarded([this, view] { listMatchingLines(view); }));
    connect(bar, &FindBar::closeRequested, this, [this, bar] {
        if (!bar->text().isEmpty() && !bar->hasPatternError())
            addToFindHistory(m_find.findHistory, bar->text());
    });
    find->onFound = [this, view](const QString &text, quint8 options, qint64 position) {
        for (Tab &rec : m_recs)
            if (rec.view == view) {
                rec.srText = text;
                rec.srOptions = options;
                rec.srPos = position;
            }
    };
    // Over the rule colours, under the addresses and the selection.
    LineDecorators decorators = ruleDecorators();
    decorators.push_back(find->decorator());
    view->setLineDecorators(std::move(decorators));
    return find;
}

void MainWindow::listMatchingLines(LogView *view)
{
    if (!view)
        return;
    QuickFind *find = quickFindOf(view, true);
    const QuickMatcher::Pattern pattern = find->bar()->pattern();
    if (pattern.text.isEmpty() || find->bar()->hasPatternError()) {
        // Nothing to list yet: the text is typed first, then Alt+M.
        find->open();
        return;
    }
    addToFindHistory(m_find.findHistory, pattern.text);
    MatchPane *pane = matchPaneOf(view, true);
    LineFilter filter{pattern, view->document().shownEncoding(), false};
    if (pane->isOpen() && pane->filter().pattern == pattern)
        filter.invert = pane->filter().invert;
    pane->list(filter);
}

MatchPane *MainWindow::matchPaneOf(LogView *view, bool create)
{
    if (MatchPane *pane = MatchPane::of(view))
        return pane;
    if (!create || !view)
        return nullptr;
    auto *pane = new MatchPane(view, m_jobs);
    pane->setLimit(m_settings.paneLimit);
    m_config.configureNewView(pane->view());
    pane->view()->setAutoReload(false);
    pane->view()->setBackgroundJobs(&m_jobs);
    return pane;
}

void MainWindow::openQuickFind()
{
    if (QuickFind *find = quickFindOf(activeView(), true))
        find->open();
}

void MainWindow::quickFindStep(QuickFind *find, bool previous)
{
    LogView *view = find->view();
    const QString text = find->bar()->text();
    if (!view || text.isEmpty() || find->bar()->hasPatternError() || m_findProgress->running())
        return;
    addToFindHistory(m_find.findHistory, text);
    m_find.findText = text;
    const quint8 options = find->searchOptions();
    const auto backToBar = [find = QPointer<QuickFind>(find)](bool) {
        if (!find || !find->isOpen())
            return;
        find->bar()->edText->setFocus(Qt::OtherFocusReason);
        find->showCount();
    };
    const DocumentSearch &search = view->search();
    const quint8 kinds = soCaseSensitive | soWholeWords | soRegex;
    if (search.started() && search.text() == text &&
        (quint8(search.options().toInt()) & kinds) == options && search.resultStart() >= 0) {
        // A search that runs backward steps forward as its "previous".
        runProgress(view, text, quint8(search.options().toInt()), false,
                    previous != search.options().testFlag(soBackward), backToBar);
        return;
    }
    SearchOptions first = SearchOptions::fromInt(options) | soFromPage;
    first.setFlag(soBackward, previous);
    runProgress(view, text, quint8(first.toInt()), true, false, backToBar);
}

void MainWindow::showGotoWindowAtStart()
{
    refreshGotoButtons();
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    // A place stored on a screen that is gone comes back onto one.
    const QRect place = placeOnScreens(QPoint(m_settings.gotoX, m_settings.gotoY),
                                       m_gotoWindow->frameGeometry().size(), screens);
    m_gotoWindow->move(place.topLeft());
    m_gotoWindow->setVisible(m_settings.Goto);
    m_gotoWindow->onGoto = [this](int n) {
        gotoRule(n);
        updateAll();
    };
}

void MainWindow::storeGotoWindow()
{
    // Never placed (the window was not shown): the stored keys stay.
    if (!m_gotoWindow->onGoto)
        return;
    m_settings.Goto = m_gotoWindow->isVisible();
    m_settings.gotoX = m_gotoWindow->x();
    m_settings.gotoY = m_gotoWindow->y();
}

bool MainWindow::searchRunning() const
{
    return std::any_of(m_recs.begin(), m_recs.end(),
                       [](const Tab &rec) { return rec.view && rec.view->isSearchRunning(); });
}

void MainWindow::findTriggered()
{
    showFindDialog();
    updateAll();
}

void MainWindow::findNextTriggered()
{
    runFindNext(false);
    updateAll();
}

void MainWindow::findPreviousTriggered()
{
    runFindNext(true);
    updateAll();
}

void MainWindow::goToNextTriggered()
{
    m_gotoWindow->setVisible(!m_gotoWindow->isVisible());
}

void MainWindow::saveSR(const QString &text, quint8 options, qint64 position)
{
    const int index = activeIndex();
    if (index < 0)
        return;
    Tab &rec = m_recs[size_t(index)];
    rec.srText = text;
    rec.srPos = position;
    rec.srOptions = options;
}

void MainWindow::showFindDialog()
{
    bool accepted = false;
    {
        FindDialog form(this);
        const ColorRules &rules = colorRules();
        for (int n = 1; n <= ColorRules::count; ++n)
            form.rules[size_t(n - 1)] = {QString::fromUtf8(rules.rule(n).text),
                                         rules.rule(n).caseSensitive};
        form.edText->addItems(m_find.findHistory);
        form.edText->setEditText(m_find.findText);
        form.chkWords->setChecked(m_find.findWords);
        form.chkCase->setChecked(m_find.findCase);
        form.chkRegex->setChecked(m_find.findRegex);
        form.chkMLine->setChecked(m_find.findMLine);
        form.chkDirBackward->setChecked(m_find.findBack);
        form.chkDirForward->setChecked(!m_find.findBack);
        form.chkOriginCursor->setChecked(m_find.findOrigin);
        form.chkOriginEntire->setChecked(!m_find.findOrigin);
        form.allowDirection = true;
        form.allowOrigin = true;
        const LogView *view = activeView();
        form.allowRegex = view && regexAllowed(view);

        accepted = runFindDialog ? runFindDialog(form) : form.exec() == QDialog::Accepted;
        accepted = accepted && !form.edText->currentText().isEmpty();
        if (accepted) {
            m_find.findText = form.edText->currentText();
            m_find.findWords = form.chkWords->isChecked();
            m_find.findCase = form.chkCase->isChecked();
            m_find.findRegex = form.chkRegex->isChecked();
            m_find.findMLine = form.chkMLine->isChecked();
            m_find.findBack = form.chkDirBackward->isChecked();
            m_find.findOrigin = form.chkOriginCursor->isChecked();
        }
    }
    if (accepted)
        runFindFirst();
}

void MainWindow::runFindFirst()
{
    addToFindHistory(m_find.findHistory, m_find.findText);
    runProgress(activeView(), m_find.findText, quint8(optionsOf(m_find).toInt()), true, false);
}

void MainWindow::runFindNext(bool findPrevious)
{
    LogView *view = activeView();
    if (!view)
        return;
    const Tab &rec = m_recs[size_t(activeIndex())];
    // Stand the search where this tab's last one stood (typically after a
    // reload ended it); the step itself reads, under the window.
    DocumentSearch &search = view->search();
    if (!search.started() && !rec.srText.isEmpty())
        search.resume(rec.srText, SearchOptions::fromInt(rec.srOptions), rec.srPos);
    if (search.started())
        runProgress(view, search.text(), quint8(search.options().toInt()), false, findPrevious);
    else
        showFindDialog();
}

void MainWindow::runProgress(LogView *view, const QString &text, quint8 options, bool first,
                             bool previous, std::function<void(bool found)> then)
{
    if (!view) {
        m_findProgress->runQuiet = false;
        m_findProgress->runStartPos = -1;
        return;
    }
    m_findProgress->runView = view;
    m_findProgress->runText = text;
    m_findProgress->runOptions = options;
    m_findProgress->runFirst = first;
    m_findProgress->runPrevious = previous;
    m_findProgress->onFound = [this](const QString &foundText, quint8 foundOptions,
                                     qint64 position) {
        saveSR(foundText, foundOptions, position);
    };
    // Whatever the run meets, the tab keeps the text last asked for and
    // where its search stands, so that "Find next" goes on with them. A tab
    // closed meanwhile has no record left to find.
    const QPointer<LogView> searched(view);
    m_findProgress->run([this, searched, then = std::move(then)](bool found) {
        for (Tab &rec : m_recs) {
            if (!searched || rec.view != searched)
                continue;
            const DocumentSearch &search = searched->search();
            rec.srText = search.text();
            rec.srOptions = quint8((search.options() & ~soFromPosition).toInt());
            rec.srPos = search.resultStart();
        }
        if (!found && m_findProgress->cancelled)
            statusBar()->showMessage(QStringLiteral("Search cancelled"), kCancelledNoteMs);
        if (then)
            then(found);
        updateAll();
    });
}

void MainWindow::gotoRule(int n)
{
    const QPointer<LogView> view = activeView();
    if (!view || n < 1 || n > ColorRules::count)
        return;
    const ColorRule &rule = colorRules().rule(n);
    const QString text = QString::fromUtf8(rule.text);
    SearchOptions options = soRegex;
    options.setFlag(soCaseSensitive, rule.caseSensitive);
    const quint8 step = quint8(options.toInt());
    // A new search stands on the first match from the first byte shown, so
    // the step after it moves on to the next one. It may read far in a big
    // file, so it runs under the window too, which lets it be cancelled.
    const DocumentSearch &search = view->search();
    if (!search.started() || search.text() != text) {
        m_findProgress->runQuiet = true;
        m_findProgress->runStartPos = view->viewPos();
        runProgress(view, text, quint8((options | soFromPosition).toInt()), true, false,
                    [this, view, text, step](bool) {
                        // A miss is told already; nothing to step from.
                        if (!view || m_findProgress->cancelled || !view->search().started() ||
                            view->search().resultStart() < 0)
                            return;
                        runProgress(view, text, step, false, false);
                    });
        return;
    }
    runProgress(view, text, step, false, false);
}

void MainWindow::refreshGotoButtons()
{
    std::array<GoToNextWindow::RuleButton, GoToNextWindow::kPanels> buttons;
    const ColorRules &rules = colorRules();
    for (int n = 1; n <= ColorRules::count; ++n) {
        const ColorRule &rule = rules.rule(n);
        buttons[size_t(n - 1)] = {rule.en && !rule.text.isEmpty(), QString::fromUtf8(rule.text),
                                  colorFromInt(rule.colorB)};
    }
    m_gotoWindow->refreshButtons(buttons);
}

const ColorRules &MainWindow::colorRules() const
{
    return m_rules.rules;
}
