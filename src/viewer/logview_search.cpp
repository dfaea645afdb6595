// The viewer's side of its document's search: reloads wait for a step.
#include "viewer/logview.h"

#include "viewer/documentsearch.h"

void LogView::cancelSearch()
{
    m_search->cancel();
}

bool LogView::isSearchRunning() const
{
    return m_searchRunning || m_search->running();
}

void LogView::searchFinished()
{
    // An abandoned step belonged to a source already closed.
    if (m_search->outcome() == DocumentSearch::Outcome::Abandoned)
        m_doc.dropPendingReload();
    // A reload held back for the step follows now.
    m_doc.setReloadsHeld(isSearchRunning());
}
