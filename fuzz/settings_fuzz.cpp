// The settings and session files read, written and read again give the
// same values: the shell's settings, the tabs of a session with their
// captions, commands, encodings and panes, and the recent sessions.
//
// Input: one byte for the active tab to write, then the file.
#include "app/appsettings.h"
#include "app/inifile.h"
#include "app/sessionfile.h"

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

    const SessionData session = readSession(file);
    IniFile sessionFile(QStringLiteral("session.ini"));
    sessionFile.loadData({});
    if (!writeSession(sessionFile, session.tabs, active).isEmpty())
        fail("a tab that was read cannot be written:");
    const SessionData back = readSession(reloaded(sessionFile));
    if (back.tabs != session.tabs)
        fail("the tabs");
    if (back.active != (active >= 0 && size_t(active) < session.tabs.size() ? active : -1))
        fail("the active tab");

    RecentSessions recent;
    recent.load(file);
    IniFile recentFile(QStringLiteral("recent.ini"));
    recentFile.loadData({});
    recent.save(recentFile);
    RecentSessions recentBack;
    recentBack.load(reloaded(recentFile));
    if (recentBack.items() != recent.items())
        fail("the recent sessions");
    return 0;
}
