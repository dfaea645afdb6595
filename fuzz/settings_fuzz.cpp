// The settings and session files read, written and read again give the
// same values: the shell's settings, the tabs of a session with their
// captions, commands, encodings and panes, and the recent sessions.
//
// Input: one byte for the active tab to write, then the file.
#include "app/appsettings.h"
#include "app/inifile.h"
#include "app/sessionfile.h"
#include "text/fileutil.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s changed\n", what);
    std::abort();
}

// The bytes the ini would save, loaded again.
IniFile reloaded(const IniFile &ini)
{
    IniFile again(QStringLiteral("again.ini"));
    if (!again.loadData(ini.serialize())) {
        std::fprintf(stderr, "the saved file does not load\n");
        std::abort();
    }
    return again;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const int active = int(data[0]) - 2;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    IniFile file(QStringLiteral("file.ini"));
    if (!file.loadData(input))
        return 0;

    AppSettings settings;
    loadAppSettings(file, settings);
    IniFile written(QStringLiteral("written.ini"));
    written.loadData(input);
    saveAppSettings(written, settings);
    AppSettings again;
    loadAppSettings(reloaded(written), again);
    if (!(again == settings))
        fail("the settings");

    // A tab whose path or command a line cannot hold (a NUL read from the
    // file) is left out, and the active tab follows its tab.
    const SessionData session = readSession(file);
    std::vector<SessionTab> kept;
    int keptActive = -1;
    for (size_t i = 0; i < session.tabs.size(); ++i) {
        const SessionTab &tab = session.tabs[i];
        if (!IniFile::canHoldValue(tab.command.isEmpty() ? fileNameToBytes(tab.path)
                                                         : tab.command.toUtf8()))
            continue;
        if (int(i) == active)
            keptActive = int(kept.size());
        kept.push_back(tab);
        // A caption a line cannot hold comes back as none (the file name).
        if (!IniFile::canHoldValue(tab.caption))
            kept.back().caption.clear();
        // So does a pane whose text a line cannot hold.
        if (!IniFile::canHoldValue(tab.pane.text.toUtf8()))
            kept.back().pane = {};
    }
    IniFile sessionFile(QStringLiteral("session.ini"));
    sessionFile.loadData({});
    const QStringList leftOut = writeSession(sessionFile, session.tabs, active);
    const SessionData back = readSession(reloaded(sessionFile));
    if (back.tabs != kept || leftOut.size() != qsizetype(session.tabs.size() - kept.size()))
        fail("the tabs");
    if (back.active != keptActive)
        fail("the active tab");

    RecentSessions recent;
    recent.load(file);
    IniFile recentFile(QStringLiteral("recent.ini"));
    recentFile.loadData({});
    const QStringList recentLeftOut = recent.save(recentFile);
    QStringList recentKept = recent.items();
    for (const QString &path : recentLeftOut)
        recentKept.removeOne(path);
    RecentSessions recentBack;
    recentBack.load(reloaded(recentFile));
    if (recentBack.items() != recentKept)
        fail("the recent sessions");
    return 0;
}
