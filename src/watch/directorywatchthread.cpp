#include "watch/directorywatchthread.h"

#include "watch/crossthreadtimer.h"
#include "watch/directorywatcher.h"
#include "text/fileutil.h"

#include <QDeadlineTimer>
#include <QFile>

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr quint32 nameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr quint32 writeEvents = IN_MODIFY | IN_CLOSE_WRITE;

std::string joinPath(const std::string &folder, const char *name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

bool isFolderEntry(const std::string &folder, const dirent &entry)
{
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_UNKNOWN)
        return false; // symbolic links included: following them could loop
    struct stat st
    {
    };
    return ::lstat(joinPath(folder, entry.d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// The error as the general error report shows it: what the watch was doing,
// then the exception's own text.
std::exception_ptr described(std::exception_ptr error) noexcept
{
    try {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception &e) {
            return std::make_exception_ptr(std::runtime_error(
                std::string("Exception while waiting for notification: ") + e.what()));
        } catch (...) {
            return std::make_exception_ptr(
                std::runtime_error("Exception while waiting for notification"));
        }
    } catch (...) {
        return error; // no memory for the words: the bare exception
    }
}

} // namespace

void WatchThreadLink::cut()
{
    const std::lock_guard lock(m_lock);
    m_owner = nullptr;
    m_timer = nullptr;
}

void WatchThreadLink::setActive(bool value)
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->setActiveFromWorker(value);
}

void WatchThreadLink::wakeWaiter()
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->wakeWaiter();
}

void WatchThreadLink::armTimer()
{
    const std::lock_guard lock(m_lock);
    if (m_timer)
        m_timer->setEnabled(true);
}

void WatchThreadLink::postException(std::exception_ptr error)
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->postException(std::move(error));
}

void WatchThreadLink::postEnded(bool reported)
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->postWorkerEnded(m_generation, reported);
}

DirectoryWatchThread::DirectoryWatchThread(std::shared_ptr<WatchThreadLink> link, quint32 filter,
                                           bool subtree, const QString &directory,
                                           const QString &fileName, FileProbe probe)
    : m_link(std::move(link)), m_probe(probe ? std::move(probe) : FileProbe(fileSnapshotByName)),
      m_filter(filter), m_subtree(subtree), m_folder(directory), m_fileName(fileName),
      m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!m_fileName.isEmpty()) {
        m_folder = folderOfFile(m_fileName);
        m_filter &= ~quint32(foNotifyDirname | foNotifySecurity);
        m_subtree = false;
    }
    m_mask = watchMask(m_filter, m_subtree);
}

DirectoryWatchThread::~DirectoryWatchThread()
{
    requestStop();
    wait();
}

void DirectoryWatchThread::release(std::unique_ptr<DirectoryWatchThread> thread, int waitMs)
{
    if (!thread)
        return;
    thread->requestStop();
    if (thread->wait(QDeadlineTimer(waitMs)))
        return;
    DirectoryWatchThread *left = thread.release();
    QObject::connect(left, &QThread::finished, left, &QObject::deleteLater);
    if (left->isFinished()) // it may have ended before the connection was made
        left->deleteLater();
}

void DirectoryWatchThread::requestStop()
{
    requestInterruption();
    if (m_stop.valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop.get(), &one, sizeof one);
    }
}

QString DirectoryWatchThread::folderOfFile(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return fileName.left(slash);
}

quint32 DirectoryWatchThread::watchMask(quint32 filter, bool subtree)
{
    quint32 mask = IN_DELETE_SELF | IN_MOVE_SELF;
    if (filter & (foNotifyFilename | foNotifyDirname))
        mask |= nameEvents;
    if (filter & foNotifyCreation)
        mask |= IN_CREATE;
    // touch and utimensat change the times with IN_ATTRIB alone.
    if (filter & (foNotifyAttributes | foNotifySecurity | foNotifyLastWrite | foNotifyLastAccess))
        mask |= IN_ATTRIB;
    if (filter & (foNotifySize | foNotifyLastWrite))
        mask |= writeEvents;
    if (filter & foNotifyLastAccess)
        mask |= IN_ACCESS;
    if (subtree)
        mask |= IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO; // to follow new and moved subfolders
    return mask;
}

bool DirectoryWatchThread::isReported(quint32 eventMask, quint32 filter)
{
    const quint32 nameBit = (eventMask & IN_ISDIR) ? foNotifyDirname : foNotifyFilename;
    if ((eventMask & nameEvents) && (filter & nameBit))
        return true;
    if ((eventMask & IN_CREATE) && (filter & foNotifyCreation))
        return true;
    if ((eventMask & IN_ATTRIB) &&
        (filter & (foNotifyAttributes | foNotifySecurity | foNotifyLastWrite | foNotifyLastAccess)))
        return true;
    if ((eventMask & writeEvents) && (filter & (foNotifySize | foNotifyLastWrite)))
        return true;
    return (eventMask & IN_ACCESS) && (filter & foNotifyLastAccess);
}

void DirectoryWatchThread::run()
{
    // Nothing may leave run(): Qt would end the program. Even the report of
    // a failure may fail for want of memory; the thread ends all the same.
    bool ended = false; // by itself, while watching
    bool reported = false;
    try {
        if (watchRoot()) {
            m_link->setActive(true);
            waitLoop();
            ended = !isInterruptionRequested();
        }
        // Otherwise Active stays false; Start notices the ended thread.
    } catch (...) {
        ended = reported = true;
        try {
            m_link->postException(described(std::current_exception()));
        } catch (...) {
        }
    }
    m_inotify.reset();
    try {
        m_link->wakeWaiter();
        if (ended)
            m_link->postEnded(reported);
    } catch (...) {
    }
}

bool DirectoryWatchThread::watchRoot()
{
    if (!m_stop.valid() || m_folder.isEmpty())
        return false;
    m_inotify.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!m_inotify.valid())
        return false;
    const std::string root = fileNameToBytes(m_folder).toStdString();
    m_rootWatch = ::inotify_add_watch(m_inotify.get(), root.c_str(), m_mask | IN_ONLYDIR);
    if (m_rootWatch < 0)
        return false;
    m_paths.emplace(m_rootWatch, root);
    if (m_subtree)
        watchSubtree(root);
    // After the watch exists, so that no change falls between snapshot and watch.
    if (!m_fileName.isEmpty())
        m_snapshot = m_probe(m_fileName);
    return !isInterruptionRequested();
}

// Adds watches for every folder below top, which is watched already.
// Returns whether any entry was found below top.
bool DirectoryWatchThread::watchSubtree(const std::string &top)
{
    bool found = false;
    std::vector<std::string> pending{top};
    while (!pending.empty()) {
        if (isInterruptionRequested())
            return found;
        const std::string folder = std::move(pending.back());
        pending.pop_back();
        const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
        if (!dir)
            continue;
        while (const dirent *entry = ::readdir(dir.get())) {
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            found = true;
            if (!isFolderEntry(folder, *entry))
                continue;
            std::string child = joinPath(folder, entry->d_name);
            const int wd = ::inotify_add_watch(m_inotify.get(), child.c_str(),
                                               m_mask | IN_ONLYDIR | IN_DONT_FOLLOW);
            // A folder watched already is reached a second time (a bind mount): do not loop.
            if (wd < 0 || !m_paths.emplace(wd, child).second)
                continue;
            pending.push_back(std::move(child));
        }
    }
    return found;
}

void DirectoryWatchThread::forgetSubtree(const std::string &path)
{
    const std::string below = path + '/';
    for (auto it = m_paths.begin(); it != m_paths.end();) {
        if (it->first != m_rootWatch &&
            (it->second == path || it->second.compare(0, below.size(), below) == 0)) {
            ::inotify_rm_watch(m_inotify.get(), it->first);
            it = m_paths.erase(it);
        } else {
            ++it;
        }
    }
}

bool DirectoryWatchThread::readEvents(bool *report)
{
    alignas(inotify_event) char buffer[16 * 1024];
    bool rootGone = false;
    for (;;) {
        const ssize_t got = ::read(m_inotify.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (got <= 0)
            return false; // the notification cannot be re-armed: end quietly
        for (const char *p = buffer; p < buffer + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            p += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                *report = true; // events were lost
                continue;
            }
            if (event->wd == m_rootWatch &&
                (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED))) {
                // The folder left its path: nothing more can arrive for it.
                *report = true;
                rootGone = true;
                continue;
            }
            if (event->mask & IN_IGNORED) {
                m_paths.erase(event->wd);
                continue;
            }
            if (m_subtree && (event->mask & IN_ISDIR) && event->len > 0) {
                const auto it = m_paths.find(event->wd);
                if (it != m_paths.end()) {
                    const std::string child = joinPath(it->second, event->name);
                    if (event->mask & IN_MOVED_FROM)
                        forgetSubtree(child);
                    if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
                        const int wd = ::inotify_add_watch(m_inotify.get(), child.c_str(),
                                                           m_mask | IN_ONLYDIR | IN_DONT_FOLLOW);
                        // Whatever a new folder holds already came before its
                        // watch and was missed: count it as a change.
                        if (wd >= 0 && m_paths.emplace(wd, child).second && watchSubtree(child) &&
                            (event->mask & IN_CREATE))
                            *report = true;
                    }
                }
            }
            if (isReported(event->mask, m_filter))
                *report = true;
        }
    }
    return !rootGone;
}

bool DirectoryWatchThread::fileChanged()
{
    const FileSnapshot now = m_probe(m_fileName);
    const FileSnapshot &was = m_snapshot;
    const bool changed = now.exists != was.exists ||
                         ((m_filter & foNotifyAttributes) && now.attributes != was.attributes) ||
                         ((m_filter & foNotifySize) && now.size != was.size) ||
                         ((m_filter & foNotifyLastWrite) && now.lastWrite != was.lastWrite) ||
                         ((m_filter & foNotifyLastAccess) && now.lastAccess != was.lastAccess) ||
                         ((m_filter & foNotifyCreation) && now.creation != was.creation);
    if (changed)
        m_snapshot = now;
    return changed;
}

void DirectoryWatchThread::waitLoop()
{
    for (;;) {
        pollfd fds[2] = {{m_stop.get(), POLLIN, 0}, {m_inotify.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (fds[0].revents != 0 || isInterruptionRequested())
            return;
        if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL))
            return;
        if (!(fds[1].revents & POLLIN))
            continue;
        bool report = false;
        const bool watching = readEvents(&report);
        // Enabling an enabled timer is a no-op, so a burst gives one tick.
        if (report && (m_fileName.isEmpty() || fileChanged()))
            m_link->armTimer();
        if (!watching)
            return;
    }
}
