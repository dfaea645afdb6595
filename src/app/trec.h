#pragma once

#include "viewer/viewtypes.h"

#include <QByteArray>
#include <QString>

#include <array>

class QWidget;
class TQzBinHex;

// What one tab is, as a plain value: it is copied and compared freely and
// moves with its tab when tabs close or change order.
struct TTabState
{
    static constexpr qint64 kNoBookmark = -1;

    QString FileName;   // full path as it was opened
    QByteArray Caption; // the tab's nick, UTF-8, without padding blanks
    std::array<qint64, 3> Bookmarks{kNoBookmark, kNoBookmark, kNoBookmark}; // [0] is bookmark 1
    // The last search run in this tab; SROptions only means something while
    // SRText is not empty.
    QString SRText;
    qint64 SRPos = 0;
    quint8 SROptions = 0;
    // Why the tab's viewer last reloaded its file.
    TQzReloadReason ReloadReason = TQzReloadReason::None;

    bool operator==(const TTabState &) const = default;
};

// The widgets that show one tab. The main window owns them; they hold no
// state of the tab beyond what the viewer shows.
struct TTabWidgets
{
    QWidget *Sheet = nullptr; // the page; owns View
    TQzBinHex *View = nullptr;
};

// What the main window keeps for one open tab: its state beside its widgets.
// Record i always describes page i of the tab control, so closing a tab moves
// the later records down.
struct TRec : TTabState, TTabWidgets
{
    TTabState &State() { return *this; }
    const TTabState &State() const { return *this; }
    const TTabWidgets &Widgets() const { return *this; }
};
