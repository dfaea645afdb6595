#include "viewer/mappedwindow.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>

#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The listed windows. The handler may run on any thread at any moment, so
// the list is lock-free: a slot is taken by swapping its begin from 0 to a
// mark, filled, then published by storing the real begin.
struct Slot
{
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> faulted{false};
};
constexpr int kSlots = 64;
constexpr std::uintptr_t kTaken = 1;
Slot g_slots[kSlots];
struct sigaction g_previous
{
};
std::once_flag g_installed;

void passOn(int signal, siginfo_t *info, void *context)
{
    if (g_previous.sa_flags & SA_SIGINFO) {
        g_previous.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous.sa_handler == SIG_IGN)
        return;
    if (g_previous.sa_handler != SIG_DFL) {
        g_previous.sa_handler(signal);
        return;
    }
    // Returning re-runs the touch, which faults again with the default in
    // place and ends the program as it would have without us.
    struct sigaction fallback
    {
    };
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
}

void onBusError(int signal, siginfo_t *info, void *context)
{
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot &slot : g_slots) {
        const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
        const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
        if (begin <= kTaken || address < begin || address >= end)
            continue;
        const std::uintptr_t page = address & ~std::uintptr_t(MappedWindow::pageSize() - 1);
        // The raw call: no interposed wrapper runs inside the handler. Every
        // page past the faulting one lies past the new end as well.
        const long mapped = syscall(SYS_mmap, page, end - page, PROT_READ,
                                    MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (mapped == long(page)) {
            slot.faulted.store(true, std::memory_order_release);
            return;
        }
        break;
    }
    passOn(signal, info, context);
}

void install()
{
    struct sigaction action
    {
    };
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGBUS, &action, &g_previous);
}

int takeSlot(std::uintptr_t begin, std::uintptr_t end)
{
    for (int i = 0; i < kSlots; ++i) {
        std::uintptr_t free = 0;
        if (!g_slots[i].begin.compare_exchange_strong(free, kTaken))
            continue;
        g_slots[i].faulted.store(false, std::memory_order_relaxed);
        g_slots[i].end.store(end, std::memory_order_relaxed);
        g_slots[i].begin.store(begin, std::memory_order_release);
        return i;
    }
    return -1;
}

} // namespace

qint64 MappedWindow::pageSize()
{
    static const qint64 size = qint64(sysconf(_SC_PAGESIZE));
    return size;
}

MappedWindow::MappedWindow(int fd, qint64 offset, qint64 length, bool forward)
    : m_offset(offset), m_length(length)
{
    if (fd < 0 || length <= 0 || offset % pageSize() != 0)
        return;
    std::call_once(g_installed, install);
    void *map = mmap(nullptr, size_t(length), PROT_READ, MAP_SHARED, fd, off_t(offset));
    if (map == MAP_FAILED)
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(map);
    m_slot = takeSlot(begin, begin + std::uintptr_t(length));
    if (m_slot < 0) {
        munmap(map, size_t(length));
        return;
    }
    // Sequential read-ahead suits a scan forward; the pages a scan is about
    // to reach are asked for by the owner (willNeed), not the whole window.
    if (forward)
        madvise(map, size_t(length), MADV_SEQUENTIAL);
    m_data = static_cast<const char *>(map);
}

void MappedWindow::willNeed(qint64 from, qint64 to) const
{
    const qint64 page = pageSize();
    from = std::max<qint64>(from - m_offset, 0) / page * page;
    to = std::min(to - m_offset, m_length);
    if (m_data && from < to)
        madvise(const_cast<char *>(m_data) + from, size_t(to - from), MADV_WILLNEED);
}

MappedWindow::~MappedWindow()
{
    if (!m_data)
        return;
    g_slots[m_slot].begin.store(kTaken, std::memory_order_release);
    munmap(const_cast<char *>(m_data), size_t(m_length));
    g_slots[m_slot].end.store(0, std::memory_order_relaxed);
    g_slots[m_slot].begin.store(0, std::memory_order_release);
}

bool MappedWindow::faulted() const
{
    return m_slot >= 0 && g_slots[m_slot].faulted.load(std::memory_order_acquire);
}
