// Finding text and going to the next line of a rule.
#include "app/formview.h"

#include "app/colorconv.h"
#include "app/formfindprogress.h"
#include "app/formfindtext.h"
#include "app/formgoregex.h"
#include "app/windowplace.h"
#include "rules/colorrec.h"
#include "search/qzstreamsearch.h"
#include "text/guard.h"
#include "viewer/qzbinhex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QRadioButton>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

static_assert(TColorRec::Count == TFormGotoRegex::kPanels);

namespace {
// How long the status bar says that a search was cancelled.
constexpr int kCancelledNoteMs = 5000;

// Whether the regex engine can search what the viewer shows. The UTF-16 dump
// keeps to plain text, as the find dialog always has.
bool RegexAllowed(const TQzBinHex *view)
{
    switch (view->Mode()) {
    case vbmodeUnicode:
        return true;
    case vbmodeText:
    case vbmodeBinary:
    case vbmodeHex:
        return TQzStreamSearch::RegexSupportsEncoding(view->TextEncoding());
    default:
        return false;
    }
}

TQzStreamSearchOptions OptionsOf(const FindState &find)
{
    TQzStreamSearchOptions options;
    options.setFlag(soCaseSensitive, find.FindCase);
    options.setFlag(soWholeWords, find.FindWords);
    options.setFlag(soBackward, find.FindBack);
    options.setFlag(soRegex, find.FindRegex);
    options.setFlag(soRegexMultiLine, find.FindMLine);
    options.setFlag(soFromPage, find.FindOrigin);
    return options;
}
} // namespace

void TFormView::CreateSearchWindows()
{
    m_findProgress = new TFormViewFindProgress(this);
    m_gotoWindow = new TFormGotoRegex(this);
}

void TFormView::ShowGotoWindowAtStart()
{
    RefreshGotoButtons();
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    // A place stored on a screen that is gone comes back onto one.
    const QRect place = PlaceOnScreens(QPoint(m_settings.GotoX, m_settings.GotoY),
                                       m_gotoWindow->frameGeometry().size(), screens);
    m_gotoWindow->move(place.topLeft());
    m_gotoWindow->setVisible(m_settings.Goto);
    m_gotoWindow->OnGoto = [this](int n) {
        GotoRule(n);
        UpdateAll();
    };
}

void TFormView::StoreGotoWindow()
{
    // Never placed (the window was not shown): the stored keys stay.
    if (!m_gotoWindow->OnGoto)
        return;
    m_settings.Goto = m_gotoWindow->isVisible();
    m_settings.GotoX = m_gotoWindow->x();
    m_settings.GotoY = m_gotoWindow->y();
}

bool TFormView::SearchRunning() const
{
    return std::any_of(m_recs.begin(), m_recs.end(),
                       [](const TRec &rec) { return rec.View && rec.View->IsSearchRunning(); });
}

void TFormView::acEditFindExecute()
{
    ShowFindDialog();
    UpdateAll();
}

void TFormView::acEditFindNextExecute()
{
    RunFindNext(false);
    UpdateAll();
}

void TFormView::acEditFindPrevExecute()
{
    RunFindNext(true);
    UpdateAll();
}

void TFormView::mnuSrGotoClick()
{
    m_gotoWindow->setVisible(!m_gotoWindow->isVisible());
}

void TFormView::SaveSR(const QString &text, quint8 options, qint64 position)
{
    const int index = ActiveIndex();
    if (index < 0)
        return;
    TRec &rec = m_recs[size_t(index)];
    rec.SRText = text;
    rec.SRPos = position;
    rec.SROptions = options;
}

void TFormView::ShowFindDialog()
{
    bool accepted = false;
    {
        TFormViewFindText form(this);
        const TColorRec &rules = ColorRules();
        for (int n = 1; n <= TColorRec::Count; ++n)
            form.Rules[size_t(n - 1)] = {QString::fromUtf8(rules.Rule(n).Text), rules.Rule(n).Case};
        form.edText->addItems(m_find.FindHistory);
        form.edText->setEditText(m_find.FindText);
        form.chkWords->setChecked(m_find.FindWords);
        form.chkCase->setChecked(m_find.FindCase);
        form.chkRegex->setChecked(m_find.FindRegex);
        form.chkMLine->setChecked(m_find.FindMLine);
        form.chkDirBackward->setChecked(m_find.FindBack);
        form.chkDirForward->setChecked(!m_find.FindBack);
        form.chkOriginCursor->setChecked(m_find.FindOrigin);
        form.chkOriginEntire->setChecked(!m_find.FindOrigin);
        form.AllowDirection = true;
        form.AllowOrigin = true;
        const TQzBinHex *view = ActiveView();
        form.AllowRegex = view && RegexAllowed(view);

        accepted = RunFindDialog ? RunFindDialog(form) : form.exec() == QDialog::Accepted;
        accepted = accepted && !form.edText->currentText().isEmpty();
        if (accepted) {
            m_find.FindText = form.edText->currentText();
            m_find.FindWords = form.chkWords->isChecked();
            m_find.FindCase = form.chkCase->isChecked();
            m_find.FindRegex = form.chkRegex->isChecked();
            m_find.FindMLine = form.chkMLine->isChecked();
            m_find.FindBack = form.chkDirBackward->isChecked();
            m_find.FindOrigin = form.chkOriginCursor->isChecked();
        }
    }
    if (accepted)
        RunFindFirst();
}

void TFormView::RunFindFirst()
{
    AddToFindHistory(m_find.FindHistory, m_find.FindText);
    RunProgress(ActiveView(), m_find.FindText, quint8(OptionsOf(m_find).toInt()), true, false);
}

void TFormView::RunFindNext(bool findPrevious)
{
    TQzBinHex *view = ActiveView();
    if (!view)
        return;
    const TRec &rec = m_recs[size_t(ActiveIndex())];
    // Stand the search where this tab's last one stood (typically after a
    // reload ended it); the step itself reads, under the window.
    if (!view->SearchStarted() && !rec.SRText.isEmpty())
        view->ResumeSearch(rec.SRText, TQzStreamSearchOptions::fromInt(rec.SROptions), rec.SRPos);
    if (view->SearchStarted())
        RunProgress(view, view->SearchString(), quint8(view->SearchOptions().toInt()), false,
                    findPrevious);
    else
        ShowFindDialog();
}

void TFormView::RunProgress(TQzBinHex *view, const QString &text, quint8 options, bool first,
                            bool previous)
{
    if (!view) {
        m_findProgress->RunQuiet = false;
        m_findProgress->RunStartPos = -1;
        return;
    }
    m_findProgress->RunView = view;
    m_findProgress->RunText = text;
    m_findProgress->RunOptions = options;
    m_findProgress->RunFirst = first;
    m_findProgress->RunPrevious = previous;
    m_findProgress->OnFound = [this](const QString &foundText, quint8 foundOptions,
                                     qint64 position) {
        SaveSR(foundText, foundOptions, position);
    };
    // Whatever the run meets, the tab keeps the text last asked for and
    // where its search stands, so that "Find next" goes on with them.
    const QPointer<TQzBinHex> searched(view);
    const auto record = [this, &searched] {
        for (TRec &rec : m_recs) {
            if (!searched || rec.View != searched)
                continue;
            rec.SRText = searched->SearchString();
            rec.SROptions = quint8((searched->SearchOptions() & ~soFromPosition).toInt());
            rec.SRPos = searched->SearchResultStart();
        }
    };
    bool found = false;
    try {
        found = m_findProgress->Run();
    } catch (...) {
        record();
        throw;
    }
    record();
    if (!found && m_findProgress->Cancelled)
        statusBar()->showMessage(QStringLiteral("Search cancelled"), kCancelledNoteMs);
}

void TFormView::GotoRule(int n)
{
    const QPointer<TQzBinHex> view = ActiveView();
    if (!view || n < 1 || n > TColorRec::Count)
        return;
    const TColorRecItem &rule = ColorRules().Rule(n);
    const QString text = QString::fromUtf8(rule.Text);
    TQzStreamSearchOptions options = soRegex;
    options.setFlag(soCaseSensitive, rule.Case);
    // A new search stands on the first match from the first byte shown, so
    // the window below moves on to the next one. It may read far in a big
    // file, so it runs under the window too, which lets it be cancelled.
    if (!view->SearchStarted() || view->SearchString() != text) {
        m_findProgress->RunQuiet = true;
        m_findProgress->RunStartPos = view->ViewPos();
        RunProgress(view, text, quint8((options | soFromPosition).toInt()), true, false);
        // A miss is told already; nothing to step from.
        if (!view || m_findProgress->Cancelled || !view->SearchStarted() ||
            view->SearchResultStart() < 0)
            return;
    }
    RunProgress(view, text, quint8(options.toInt()), false, false);
}

void TFormView::RefreshGotoButtons()
{
    std::array<TFormGotoRegex::RuleButton, TFormGotoRegex::kPanels> buttons;
    const TColorRec &rules = ColorRules();
    for (int n = 1; n <= TColorRec::Count; ++n) {
        const TColorRecItem &rule = rules.Rule(n);
        buttons[size_t(n - 1)] = {rule.En && !rule.Text.isEmpty(), QString::fromUtf8(rule.Text),
                                  ColorFromInt(rule.ColorB)};
    }
    m_gotoWindow->RefreshButtons(buttons);
}

const TColorRec &TFormView::ColorRules() const
{
    return m_rules.Rules;
}
