#include "watch/folderwatchhub.h"

#include "text/fileutil.h"
#include "text/guard.h"

#include <QMetaObject>

#include <linux/magic.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/statfs.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr quint32 kMask = IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                          IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr quint32 kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

std::atomic<bool> g_disabled{false};

bool disabledByEnvironment()
{
    const char *value = std::getenv("RAVELIN_NO_INOTIFY");
    return value && *value && std::strcmp(value, "0") != 0;
}

// Writes from other machines raise no inotify events on these.
bool isRemote(const std::string &folder)
{
    struct statfs fs
    {
    };
    if (::statfs(folder.c_str(), &fs) != 0)
        return true; // cannot tell: the timer is always right
    switch (static_cast<unsigned long>(fs.f_type)) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case 0xFF534D42UL: // CIFS
    case 0xFE534D42UL: // SMB2
    case 0x65735546UL: // FUSE (sshfs and the like)
    case CODA_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
    case 0x00C36400UL: // Ceph
    case V9FS_MAGIC:
        return true;
    default:
        return false;
    }
}

std::pair<std::string, std::string> splitPath(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace

std::shared_ptr<FolderWatchHub> FolderWatchHub::instance()
{
    static std::mutex lock;
    static std::weak_ptr<FolderWatchHub> current;
    const std::lock_guard guard(lock);
    std::shared_ptr<FolderWatchHub> hub = current.lock();
    if (!hub) {
        hub.reset(new FolderWatchHub);
        current = hub;
    }
    return hub;
}

FolderWatchHub::FolderWatchHub()
    : m_inotify(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    m_clock.start();
    m_frame.setSingleShot(true);
    m_frame.setTimerType(Qt::PreciseTimer);
    connect(&m_frame, &QTimer::timeout, this, guarded([this] { deliver(); }));
    if (m_inotify.valid() && m_stop.valid())
        m_thread = std::thread([this] { run(); });
    else
        m_inotify.reset();
}

FolderWatchHub::~FolderWatchHub()
{
    if (m_thread.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop.get(), &one, sizeof one);
        m_thread.join();
    }
}

void FolderWatchHub::setDisabled(bool disabled)
{
    g_disabled = disabled;
}

bool FolderWatchHub::disabled()
{
    static const bool byEnvironment = disabledByEnvironment();
    return g_disabled || byEnvironment;
}

int FolderWatchHub::watchedFolders() const
{
    const std::lock_guard lock(m_lock);
    return int(m_folderRefs.size());
}

quint64 FolderWatchHub::subscribe(const QString &fileName, Callback callback)
{
    if (disabled() || fileName.isEmpty())
        return 0;
    const std::string path = fileNameToBytes(fileName).toStdString();
    std::vector<Key> keys;
    bool ok = addKey(path, keys);
    // A link's target changes in its own folder, which raises no event in the link's.
    char resolved[PATH_MAX];
    if (ok && ::realpath(path.c_str(), resolved) && path != resolved)
        ok = addKey(resolved, keys);
    if (!ok) {
        releaseKeys(keys);
        return 0;
    }
    const std::lock_guard lock(m_lock);
    const quint64 id = m_nextId++;
    m_subscribers.emplace(id, Subscriber{std::move(keys), std::move(callback)});
    return id;
}

bool FolderWatchHub::addKey(const std::string &path, std::vector<Key> &keys)
{
    auto [folder, name] = splitPath(path);
    if (name.empty() || isRemote(folder))
        return false;
    const std::lock_guard lock(m_lock);
    if (!m_inotify.valid() || m_failed)
        return false;
    const int wd = ::inotify_add_watch(m_inotify.get(), folder.c_str(), kMask);
    if (wd < 0)
        return false; // no such folder, no permission, or the watch limit reached
    ++m_folderRefs[wd];
    keys.push_back({wd, std::move(name)});
    return true;
}

void FolderWatchHub::releaseKeys(const std::vector<Key> &keys)
{
    const std::lock_guard lock(m_lock);
    for (const Key &key : keys) {
        const auto it = m_folderRefs.find(key.wd);
        if (it == m_folderRefs.end())
            continue; // the folder's watch ended by itself
        if (--it->second == 0) {
            ::inotify_rm_watch(m_inotify.get(), key.wd);
            m_folderRefs.erase(it);
        }
    }
}

void FolderWatchHub::unsubscribe(quint64 id)
{
    std::vector<Key> keys;
    {
        const std::lock_guard lock(m_lock);
        const auto it = m_subscribers.find(id);
        if (it == m_subscribers.end())
            return;
        keys = std::move(it->second.keys);
        m_subscribers.erase(it);
    }
    releaseKeys(keys);
}

void FolderWatchHub::run()
{
    // Nothing may leave a worker thread; a failure hands every follower to the timer.
    try {
        for (;;) {
            pollfd fds[2] = {{m_stop.get(), POLLIN, 0}, {m_inotify.get(), POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (fds[0].revents != 0)
                return;
            if (fds[1].revents & (POLLERR | POLLHUP | POLLNVAL))
                break;
            if (fds[1].revents & POLLIN)
                readEvents();
        }
    } catch (...) {
    }
    const std::lock_guard lock(m_lock);
    m_failed = true;
    for (auto &entry : m_subscribers)
        entry.second.ended = true;
    m_folderRefs.clear();
    postLocked();
}

void FolderWatchHub::readEvents()
{
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_inotify.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return; // drained (EAGAIN), or the poll's error shows next turn
        const std::lock_guard lock(m_lock);
        for (const char *p = buffer; p < buffer + got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            p += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: every follower looks at its file again.
                for (auto &entry : m_subscribers)
                    entry.second.changed = true;
                postLocked();
            } else if (event->mask & kFolderGone) {
                markLocked(event->wd, nullptr, true);
                if (m_folderRefs.erase(event->wd) && !(event->mask & IN_IGNORED))
                    ::inotify_rm_watch(m_inotify.get(), event->wd);
            } else if (event->len > 0) {
                markLocked(event->wd, event->name, false);
            }
        }
    }
}

void FolderWatchHub::markLocked(int wd, const char *name, bool ended)
{
    bool any = false;
    for (auto &entry : m_subscribers) {
        for (const Key &key : entry.second.keys) {
            if (key.wd == wd && (ended || key.name == name)) {
                (ended ? entry.second.ended : entry.second.changed) = true;
                any = true;
            }
        }
    }
    if (any)
        postLocked();
}

void FolderWatchHub::postLocked()
{
    if (m_posted)
        return;
    m_posted = true;
    QMetaObject::invokeMethod(this, guarded([this] { deliver(); }), Qt::QueuedConnection);
}

void FolderWatchHub::deliver()
{
    constexpr qint64 frameNs = qint64(frameMs) * 1000 * 1000;
    const qint64 since = m_clock.nsecsElapsed() - m_lastDelivery;
    if (since < frameNs) {
        // Within a frame of the last report: the rest waits for the next frame.
        if (!m_frame.isActive())
            m_frame.start(int((frameNs - since + 999'999) / 1'000'000));
        return;
    }
    std::vector<std::pair<quint64, Report>> due;
    {
        const std::lock_guard lock(m_lock);
        m_posted = false;
        for (auto &[id, subscriber] : m_subscribers) {
            if (subscriber.ended)
                due.emplace_back(id, Report::Ended);
            else if (subscriber.changed)
                due.emplace_back(id, Report::Changed);
            subscriber.changed = subscriber.ended = false;
        }
    }
    if (due.empty())
        return;
    m_lastDelivery = m_clock.nsecsElapsed();
    for (const auto &[id, report] : due) {
        Callback callback;
        {
            // An earlier callback may have ended this subscription.
            const std::lock_guard lock(m_lock);
            const auto it = m_subscribers.find(id);
            if (it == m_subscribers.end())
                continue;
            callback = it->second.callback;
        }
        if (callback)
            callback(report);
    }
}
