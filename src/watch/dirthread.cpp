#include "watch/dirthread.h"

#include "watch/oldtimer.h"
#include "watch/qzfilenotification.h"
#include "text/fproc.h"

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

constexpr quint32 NameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr quint32 WriteEvents = IN_MODIFY | IN_CLOSE_WRITE;

std::string JoinPath(const std::string &folder, const char *name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

bool IsFolderEntry(const std::string &folder, const dirent &entry)
{
    if (entry.d_type == DT_DIR)
        return true;
    if (entry.d_type != DT_UNKNOWN)
        return false; // symbolic links included: following them could loop
    struct stat st
    {
    };
    return ::lstat(JoinPath(folder, entry.d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// The error as the general error report shows it: what the watch was doing,
// then the exception's own text.
std::exception_ptr Described(std::exception_ptr error) noexcept
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

void TDirThreadLink::Cut()
{
    const std::lock_guard lock(m_lock);
    m_owner = nullptr;
    m_timer = nullptr;
}

void TDirThreadLink::SetActive(bool value)
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->SetActiveFromWorker(value);
}

void TDirThreadLink::WakeWaiter()
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->WakeWaiter();
}

void TDirThreadLink::ArmTimer()
{
    const std::lock_guard lock(m_lock);
    if (m_timer)
        m_timer->SetEnabled(true);
}

void TDirThreadLink::PostException(std::exception_ptr error)
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->PostException(std::move(error));
}

void TDirThreadLink::PostEnded(bool reported)
{
    const std::lock_guard lock(m_lock);
    if (m_owner)
        m_owner->PostWorkerEnded(m_generation, reported);
}

TDirThread::TDirThread(std::shared_ptr<TDirThreadLink> link, quint32 filter, bool subtree,
                       const QString &directory, const QString &fileName, TFileProbe probe)
    : m_link(std::move(link)), m_probe(probe ? std::move(probe) : TFileProbe(FileSnapshotByName)),
      m_filter(filter), m_subtree(subtree), m_folder(directory), m_fileName(fileName),
      m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!m_fileName.isEmpty()) {
        m_folder = FolderOfFile(m_fileName);
        m_filter &= ~quint32(foNotifyDirname | foNotifySecurity);
        m_subtree = false;
    }
    m_mask = WatchMask(m_filter, m_subtree);
}

TDirThread::~TDirThread()
{
    RequestStop();
    wait();
}

void TDirThread::Release(std::unique_ptr<TDirThread> thread, int waitMs)
{
    if (!thread)
        return;
    thread->RequestStop();
    if (thread->wait(QDeadlineTimer(waitMs)))
        return;
    TDirThread *left = thread.release();
    QObject::connect(left, &QThread::finished, left, &QObject::deleteLater);
    if (left->isFinished()) // it may have ended before the connection was made
        left->deleteLater();
}

void TDirThread::RequestStop()
{
    requestInterruption();
    if (m_stop.valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop.get(), &one, sizeof one);
    }
}

QString TDirThread::FolderOfFile(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    if (slash == 0)
        return QStringLiteral("/");
    return fileName.left(slash);
}

quint32 TDirThread::WatchMask(quint32 filter, bool subtree)
{
    quint32 mask = IN_DELETE_SELF | IN_MOVE_SELF;
    if (filter & (foNotifyFilename | foNotifyDirname))
        mask |= NameEvents;
    if (filter & foNotifyCreation)
        mask |= IN_CREATE;
    // touch and utimensat change the times with IN_ATTRIB alone.
    if (filter & (foNotifyAttributes | foNotifySecurity | foNotifyLastWrite | foNotifyLastAccess))
        mask |= IN_ATTRIB;
    if (filter & (foNotifySize | foNotifyLastWrite))
        mask |= WriteEvents;
    if (filter & foNotifyLastAccess)
        mask |= IN_ACCESS;
    if (subtree)
        mask |= IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO; // to follow new and moved subfolders
    return mask;
}

bool TDirThread::IsReported(quint32 eventMask, quint32 filter)
{
    const quint32 nameBit = (eventMask & IN_ISDIR) ? foNotifyDirname : foNotifyFilename;
    if ((eventMask & NameEvents) && (filter & nameBit))
        return true;
    if ((eventMask & IN_CREATE) && (filter & foNotifyCreation))
        return true;
    if ((eventMask & IN_ATTRIB) &&
        (filter & (foNotifyAttributes | foNotifySecurity | foNotifyLastWrite | foNotifyLastAccess)))
        return true;
    if ((eventMask & WriteEvents) && (filter & (foNotifySize | foNotifyLastWrite)))
        return true;
    return (eventMask & IN_ACCESS) && (filter & foNotifyLastAccess);
}

void TDirThread::run()
{
    // Nothing may leave run(): Qt would end the program. Even the report of
    // a failure may fail for want of memory; the thread ends all the same.
    bool ended = false; // by itself, while watching
    bool reported = false;
    try {
        if (WatchRoot()) {
            m_link->SetActive(true);
            WaitLoop();
            ended = !isInterruptionRequested();
        }
        // Otherwise Active stays false; Start notices the ended thread.
    } catch (...) {
        ended = reported = true;
        try {
            m_link->PostException(Described(std::current_exception()));
        } catch (...) {
        }
    }
    m_inotify.reset();
    try {
        m_link->WakeWaiter();
        if (ended)
            m_link->PostEnded(reported);
    } catch (...) {
    }
}

bool TDirThread::WatchRoot()
{
    if (!m_stop.valid() || m_folder.isEmpty())
        return false;
    m_inotify.reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!m_inotify.valid())
        return false;
    const std::string root = FileNameToBytes(m_folder).toStdString();
    m_rootWatch = ::inotify_add_watch(m_inotify.get(), root.c_str(), m_mask | IN_ONLYDIR);
    if (m_rootWatch < 0)
        return false;
    m_paths.emplace(m_rootWatch, root);
    if (m_subtree)
        WatchSubtree(root);
    // After the watch exists, so that no change falls between snapshot and watch.
    if (!m_fileName.isEmpty())
        m_snapshot = m_probe(m_fileName);
    return !isInterruptionRequested();
}

// Adds watches for every folder below top, which is watched already.
// Returns whether any entry was found below top.
bool TDirThread::WatchSubtree(const std::string &top)
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
            if (!IsFolderEntry(folder, *entry))
                continue;
            std::string child = JoinPath(folder, entry->d_name);
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

void TDirThread::ForgetSubtree(const std::string &path)
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

bool TDirThread::ReadEvents(bool *report)
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
                    const std::string child = JoinPath(it->second, event->name);
                    if (event->mask & IN_MOVED_FROM)
                        ForgetSubtree(child);
                    if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
                        const int wd = ::inotify_add_watch(m_inotify.get(), child.c_str(),
                                                           m_mask | IN_ONLYDIR | IN_DONT_FOLLOW);
                        // Whatever a new folder holds already came before its
                        // watch and was missed: count it as a change.
                        if (wd >= 0 && m_paths.emplace(wd, child).second && WatchSubtree(child) &&
                            (event->mask & IN_CREATE))
                            *report = true;
                    }
                }
            }
            if (IsReported(event->mask, m_filter))
                *report = true;
        }
    }
    return !rootGone;
}

bool TDirThread::FileChanged()
{
    const FileSnapshot now = m_probe(m_fileName);
    const FileSnapshot &was = m_snapshot;
    const bool changed = now.Exists != was.Exists ||
                         ((m_filter & foNotifyAttributes) && now.Attributes != was.Attributes) ||
                         ((m_filter & foNotifySize) && now.Size != was.Size) ||
                         ((m_filter & foNotifyLastWrite) && now.LastWrite != was.LastWrite) ||
                         ((m_filter & foNotifyLastAccess) && now.LastAccess != was.LastAccess) ||
                         ((m_filter & foNotifyCreation) && now.Creation != was.Creation);
    if (changed)
        m_snapshot = now;
    return changed;
}

void TDirThread::WaitLoop()
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
        const bool watching = ReadEvents(&report);
        // Enabling an enabled timer is a no-op, so a burst gives one tick.
        if (report && (m_fileName.isEmpty() || FileChanged()))
            m_link->ArmTimer();
        if (!watching)
            return;
    }
}
