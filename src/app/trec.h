#pragma once

#include <QByteArray>
#include <QString>

#include <array>

class QWidget;
class TQzBinHex;

// What the main window keeps for one open tab. Record i always describes page
// i of the tab control, so closing a tab moves the later records down.
struct TRec
{
    static constexpr qint64 kNoBookmark = -1;

    QWidget *Sheet = nullptr; // the page; owns View
    QString FileName;         // full path as it was opened
    QByteArray Caption;       // the tab's nick, UTF-8, without padding blanks
    TQzBinHex *View = nullptr;
    std::array<qint64, 3> Bookmarks{kNoBookmark, kNoBookmark, kNoBookmark}; // [0] is bookmark 1
    // The last search run in this tab; SROptions only means something while
    // SRText is not empty.
    QString SRText;
    qint64 SRPos = 0;
    quint8 SROptions = 0;
};
