#include "watch/directorywatchthread.h"
#include "watch/directorywatcher.h"

#include <sys/inotify.h>

#include <gtest/gtest.h>

TEST(DirThread, folderOfFile)
{
    const struct
    {
        const char *fileName;
        const char *folder;
    } cases[] = {
        {"/var/log/app.log", "/var/log"},
        {"/app.log", "/"}, // directly under the root: the root itself, not ""
        {"logs/app.log", "logs"},
        {"app.log", "."}, // no folder part: the current folder, not ""
        {"/var/log/", "/var/log"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fileName);
        EXPECT_EQ(DirectoryWatchThread::folderOfFile(QString::fromUtf8(c.fileName)),
                  QString::fromUtf8(c.folder));
    }
}

TEST(DirThread, FilterDecidesWhichEventsAreReported)
{
    const quint32 defaults = foNotifyFilename | foNotifyDirname | foNotifyLastWrite;
    const struct
    {
        const char *name;
        quint32 event;
        quint32 filter;
        bool reported;
    } cases[] = {
        {"file created, file names", IN_CREATE, foNotifyFilename, true},
        {"folder created, file names only", IN_CREATE | IN_ISDIR, foNotifyFilename, false},
        {"folder renamed, folder names", IN_MOVED_FROM | IN_ISDIR, foNotifyDirname, true},
        {"file deleted, folder names only", IN_DELETE, foNotifyDirname, false},
        {"file created, creation time", IN_CREATE, foNotifyCreation, true},
        {"written, last write", IN_MODIFY, foNotifyLastWrite, true},
        {"written and closed, size", IN_CLOSE_WRITE, foNotifySize, true},
        {"written, names only", IN_MODIFY, foNotifyFilename | foNotifyDirname, false},
        {"times set by touch, last write", IN_ATTRIB, foNotifyLastWrite, true},
        {"mode changed, security", IN_ATTRIB, foNotifySecurity, true},
        {"mode changed, size only", IN_ATTRIB, foNotifySize, false},
        {"read, last access", IN_ACCESS, foNotifyLastAccess, true},
        {"read, defaults", IN_ACCESS, defaults, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DirectoryWatchThread::isReported(c.event, c.filter), c.reported);
        // The watch must ask the system for every event the filter reports.
        if (c.reported) {
            EXPECT_EQ(DirectoryWatchThread::watchMask(c.filter, false) & c.event & ~IN_ISDIR,
                      c.event & ~IN_ISDIR);
        }
    }
}
