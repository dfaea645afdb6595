#pragma once

#include "text/encoding.h"
#include "viewer/viewtypes.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <vector>

class QWidget;
class LogView;

// What one tab is, as a plain value: it is copied and compared freely and
// moves with its tab when tabs close or change order.
struct TabState
{
    static constexpr qint64 kNoBookmark = -1;

    QString fileName;   // full path as it was opened
    QByteArray caption; // the tab's nick, UTF-8, without padding blanks
    std::array<qint64, 3> bookmarks{kNoBookmark, kNoBookmark, kNoBookmark}; // [0] is bookmark 1
    // The last search run in this tab; SROptions only means something while
    // SRText is not empty.
    QString srText;
    qint64 srPos = 0;
    quint8 srOptions = 0;
    // Why the tab's viewer last reloaded its file.
    ReloadReason reloadReason = ReloadReason::None;
    // The file is a spool of a stream, made for this tab and gone with it.
    bool spooled = false;
    QString command; // the command whose output the spool holds, if any
    QString source;  // the compressed file the spool holds decompressed, if any
    // What the status bar adds to the encoding's name while the tab shows the
    // encoding detection chose (" (detected)"), and that encoding.
    QString encodingNote;
    Encoding noted;
    std::vector<Encoding> candidates; // the detector's next choices, best first

    bool operator==(const TabState &) const = default;
};

// The widgets that show one tab. The main window owns them; they hold no
// state of the tab beyond what the viewer shows.
struct TabWidgets
{
    QWidget *sheet = nullptr; // the page; owns View
    LogView *view = nullptr;
};

// What the main window keeps for one open tab: its state beside its widgets.
// Record i always describes page i of the tab control, so closing a tab moves
// the later records down.
struct Tab : TabState, TabWidgets
{
    TabState &state() { return *this; }
    const TabState &state() const { return *this; }
    const TabWidgets &widgets() const { return *this; }
};
