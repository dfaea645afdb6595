#pragma once

#include "watch/uniquefd.h"

#include "text/fileutil.h"

#include <QString>
#include <QThread>

#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

class CrossThreadTimer;
class DirectoryWatcher;

// All the worker may reach of its owner. The owner cuts it before it goes, so
// a worker left to finish on its own (stuck in a lookup on a dead network
// mount) touches nothing that was freed.
class WatchThreadLink final
{
public:
    WatchThreadLink(DirectoryWatcher *owner, CrossThreadTimer *timer, quint64 generation)
        : m_owner(owner), m_timer(timer), m_generation(generation)
    {}
    void cut();
    void setActive(bool value);
    void wakeWaiter();
    void armTimer();
    // What the worker threw, for the general error report on the GUI thread.
    void postException(std::exception_ptr error);
    // The watch ended without being asked to; reported: a message was posted.
    void postEnded(bool reported);

private:
    std::mutex m_lock;
    DirectoryWatcher *m_owner;
    CrossThreadTimer *m_timer;
    const quint64 m_generation;
};

using FileProbe = std::function<FileSnapshot(const QString &)>;

// The worker of DirectoryWatcher: watches one folder (with its subfolders
// in subtree mode) through inotify and, for every reported change, enables
// the owner's timer. It never calls OnChanged and never touches the GUI; a
// message it must show is queued to the owner on the GUI thread. Whatever
// it throws ends the watch and goes to the general error report.
//
// In single-file mode it watches the file's folder and reports only when a
// fresh snapshot of the file differs from the last one in a watched field.
class DirectoryWatchThread final : public QThread
{
public:
    // Everything is copied here; the thread reaches its owner only through
    // the link. probe looks a file up (FileSnapshotByName when empty).
    DirectoryWatchThread(std::shared_ptr<WatchThreadLink> link, quint32 filter, bool subtree,
                         const QString &directory, const QString &fileName, FileProbe probe = {});
    // Asks the thread to stop and joins it.
    ~DirectoryWatchThread() override;

    // Stops the thread and waits at most waitMs for it; one still running
    // then is left to finish and delete itself.
    static void release(std::unique_ptr<DirectoryWatchThread> thread, int waitMs);

    // Any thread; the worker leaves its wait at once (and a subtree scan soon).
    void requestStop();

    // The folder watched for a single file: the part before the last "/",
    // "/" for a file directly under the root, "." for a name without a folder.
    static QString folderOfFile(const QString &fileName);
    // The inotify events that serve a filter of NotifyFilter bits.
    static quint32 watchMask(quint32 filter, bool subtree);
    // Whether one inotify event is a change the filter asks for.
    static bool isReported(quint32 eventMask, quint32 filter);

protected:
    void run() override;

private:
    bool watchRoot();
    bool watchSubtree(const std::string &top);
    void forgetSubtree(const std::string &path);
    // Handles one read's worth of events; false once the root watch is gone.
    bool readEvents(bool *report);
    bool fileChanged();
    void waitLoop();

    std::shared_ptr<WatchThreadLink> m_link;
    FileProbe m_probe;
    quint32 m_filter;
    bool m_subtree;
    QString m_folder;
    QString m_fileName;

    UniqueFd m_stop; // eventfd, readable once a stop is requested
    UniqueFd m_inotify;
    int m_rootWatch = -1;
    std::unordered_map<int, std::string> m_paths; // watch descriptor -> folder
    quint32 m_mask = 0;
    FileSnapshot m_snapshot;
};
