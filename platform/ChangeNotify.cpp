#include "ChangeNotify.h"

#include "ChangeNotifyConsts.h"

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace corvane::platform {

namespace {

constexpr std::uint32_t NameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;

std::uint32_t inotifyMask(std::uint32_t filter)
{
    // Masks are shared by every handle on the same folder: only ever add to them.
    std::uint32_t mask = IN_DELETE_SELF | IN_ONLYDIR | IN_MASK_ADD | IN_EXCL_UNLINK;
    if (filter & (FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME))
        mask |= NameEvents;
    if (filter & FILE_NOTIFY_CHANGE_ATTRIBUTES)
        mask |= IN_ATTRIB;
    if (filter & (FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE))
        mask |= IN_MODIFY;
    if (filter & FILE_NOTIFY_CHANGE_LAST_WRITE)
        mask |= IN_CLOSE_WRITE;
    return mask;
}

// The filter bits an event answers to.
std::uint32_t matchingFilters(std::uint32_t mask)
{
    if (mask & NameEvents)
        return (mask & IN_ISDIR) ? FILE_NOTIFY_CHANGE_DIR_NAME : FILE_NOTIFY_CHANGE_FILE_NAME;
    if (mask & IN_ATTRIB)
        return FILE_NOTIFY_CHANGE_ATTRIBUTES;
    if (mask & IN_MODIFY)
        return FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;
    if (mask & IN_CLOSE_WRITE)
        return FILE_NOTIFY_CHANGE_LAST_WRITE;
    return 0;
}

// In the summary of early events of a watch: the folder went away.
constexpr std::uint32_t EarlyGone = 0x80000000u;

void signalFd(int fd)
{
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd, &one, sizeof one);
}

void drainFd(int fd)
{
    std::uint64_t value;
    [[maybe_unused]] ssize_t n = ::read(fd, &value, sizeof value);
}

// The process's one inotify instance and the thread that turns its events into signals
// of the handles concerned. It lives until the process ends.
class Dispatcher
{
public:
    static Dispatcher& instance()
    {
        static Dispatcher* d = new Dispatcher;
        return *d;
    }

    ChangeHandle add(const QByteArray& path, std::uint32_t filter)
    {
        int inotify;
        {
            std::lock_guard lock(m_mutex);
            if (m_inotify < 0) {
                m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
                if (m_inotify < 0) {
                    int err = errno;
                    // Retried at the next watch: another program may have given instances back.
                    noteLimit();
                    errno = err == ENFILE || err == ENOMEM ? err : EMFILE;
                    return INVALID_HANDLE_VALUE;
                }
                std::thread(&Dispatcher::run, this, m_inotify).detach();
            }
            inotify = m_inotify;
            ++m_addsInFlight;
        }
        int handle = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        // Not under the lock: looking the path up may wait for a volume that does not answer,
        // and every other watch of the process must go on reporting meanwhile.
        int wd = handle < 0 ? -1 : ::inotify_add_watch(inotify, path.constData(), inotifyMask(filter));
        const int err = errno;
        std::lock_guard lock(m_mutex);
        if (wd < 0) {
            if (handle >= 0)
                ::close(handle);
            if (err == ENOSPC)
                noteLimit();
            addDone();
            errno = err;
            return INVALID_HANDLE_VALUE;
        }
        Rec rec{wd, filter, false};
        // What the watch saw before it was ours to dispatch: a change says so at once.
        bool changed = m_earlyOverflow;
        if (auto early = m_early.find(wd); early != m_early.end()) {
            rec.gone = early->second & EarlyGone;
            changed = changed || (early->second & filter);
        }
        m_handles[handle] = rec;
        if (!rec.gone) {
            m_byWd[wd].push_back(handle);
            m_pathByWd.emplace(wd, path);
        }
        m_orphans.erase(wd);
        if (changed || rec.gone)
            signalFd(handle);
        addDone();
        return handle;
    }

    bool rearm(ChangeHandle handle)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_handles.find(handle);
        if (it == m_handles.end()) {
            errno = EBADF;
            return false;
        }
        if (it->second.gone) {
            errno = ENOENT;
            return false;
        }
        drainFd(handle);
        return true;
    }

    bool close(ChangeHandle handle)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_handles.find(handle);
        if (it == m_handles.end()) {
            errno = EBADF;
            return false;
        }
        const int wd = it->second.wd;
        m_handles.erase(it);
        if (auto w = m_byWd.find(wd); w != m_byWd.end()) {
            std::erase(w->second, handle);
            if (w->second.empty()) {
                // A watch being added may have been given this very watch: it goes only
                // when no add is on its way.
                if (m_addsInFlight > 0) {
                    m_orphans.insert(wd);
                } else {
                    ::inotify_rm_watch(m_inotify, wd);
                    m_byWd.erase(w);
                }
            }
        }
        ::close(handle);
        return true;
    }

    bool limitReached() const { return m_limitReached.load(); }

private:
    struct Rec {
        int wd;
        std::uint32_t filter;
        bool gone;
    };

    // Under the lock, when an add has got its answer.
    void addDone()
    {
        if (--m_addsInFlight > 0)
            return;
        m_early.clear();
        m_earlyOverflow = false;
        for (int wd : m_orphans) {
            auto w = m_byWd.find(wd);
            if (w != m_byWd.end() && w->second.empty()) {
                ::inotify_rm_watch(m_inotify, wd);
                m_byWd.erase(w);
            }
        }
        m_orphans.clear();
    }

    void noteLimit()
    {
        // One quiet line for the whole run, however many folders are refused.
        if (!m_limitReached.exchange(true))
            qWarning("%s", texts::WatchLimitNote);
    }

    void run(int fd)
    {
        alignas(inotify_event) char buffer[64 * 1024];
        std::unordered_set<int> toSignal;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, -1) < 0)
                continue;
            for (;;) {
                ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                std::vector<const inotify_event*> events;
                for (char* at = buffer; at < buffer + n;) {
                    events.push_back(reinterpret_cast<const inotify_event*>(at));
                    at += sizeof(inotify_event) + events.back()->len;
                }
                // New links are looked at without the lock: the disk may be slow, and adding or
                // re-arming a watch (the user-interface thread) must not wait for it.
                std::vector<QByteArray> made;
                {
                    std::lock_guard lock(m_mutex);
                    for (const inotify_event* ev : events)
                        made.push_back(madeEntry(*ev));
                }
                std::vector<char> linkToFolder(events.size(), 0);
                for (size_t i = 0; i < events.size(); ++i)
                    linkToFolder[i] = !made[i].isEmpty() && isLinkToFolder(made[i]);
                std::lock_guard lock(m_mutex);
                toSignal.clear();
                for (size_t i = 0; i < events.size(); ++i)
                    dispatch(*events[i], linkToFolder[i], toSignal);
                for (int h : toSignal)
                    signalFd(h);
            }
        }
    }

    void dispatch(const inotify_event& ev, bool linkToFolder, std::unordered_set<int>& toSignal)
    {
        if (m_addsInFlight > 0) {
            // A watch being added may have this number already: keep what it would have seen.
            if (ev.mask & IN_Q_OVERFLOW)
                m_earlyOverflow = true;
            else
                m_early[ev.wd] |= (ev.mask & (IN_IGNORED | IN_DELETE_SELF | IN_UNMOUNT)) ? EarlyGone : matchingFilters(ev.mask);
        }
        if (ev.mask & IN_Q_OVERFLOW) {
            // Events were lost: every folder may have changed.
            for (const auto& [h, rec] : m_handles)
                toSignal.insert(h);
            return;
        }
        auto w = m_byWd.find(ev.wd);
        if (w == m_byWd.end())
            return;
        const bool gone = ev.mask & (IN_IGNORED | IN_DELETE_SELF | IN_UNMOUNT);
        // A link to a folder is a folder to those watching folder names (a tree).
        std::uint32_t filters = matchingFilters(ev.mask);
        if (linkToFolder)
            filters |= FILE_NOTIFY_CHANGE_DIR_NAME;
        for (int h : w->second) {
            Rec& rec = m_handles[h];
            if (gone) {
                rec.gone = true;
                toSignal.insert(h);
            } else if (rec.filter & filters) {
                toSignal.insert(h);
            }
        }
        if (ev.mask & IN_IGNORED) {
            m_byWd.erase(w);
            m_pathByWd.erase(ev.wd);
        }
    }

    // inotify does not tell a new link from a new file: the path of an entry made that is not a
    // folder, to be looked at; empty for other events. Under the lock.
    QByteArray madeEntry(const inotify_event& ev) const
    {
        if (!(ev.mask & (IN_CREATE | IN_MOVED_TO)) || (ev.mask & IN_ISDIR) || ev.len == 0)
            return {};
        auto at = m_pathByWd.find(ev.wd);
        return at == m_pathByWd.end() ? QByteArray() : at->second + '/' + QByteArray(ev.name);
    }

    static bool isLinkToFolder(const QByteArray& entry)
    {
        struct stat st;
        if (::lstat(entry.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return false;
        return ::stat(entry.constData(), &st) == 0 && S_ISDIR(st.st_mode);
    }

    std::mutex m_mutex;
    int m_inotify = -1;
    std::unordered_map<int, QByteArray> m_pathByWd;  // the folder each watch was made for
    std::unordered_map<int, Rec> m_handles;          // by handle
    std::unordered_map<int, std::vector<int>> m_byWd;  // handles of each watch
    std::atomic<bool> m_limitReached{false};
    // Adds waiting for inotify_add_watch, the events seen meanwhile by watch, and watches
    // whose last handle closed meanwhile.
    int m_addsInFlight = 0;
    std::unordered_map<int, std::uint32_t> m_early;  // filter bits, EarlyGone
    bool m_earlyOverflow = false;
    std::unordered_set<int> m_orphans;
};

} // namespace

ChangeHandle FindFirstChangeNotification(const QByteArray& path, bool watchSubtree, std::uint32_t filter)
{
    if (path.isEmpty() || filter == 0) {
        errno = EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    // inotify watches single folders; a whole tree would need a watch per folder below.
    if (watchSubtree) {
        errno = EINVAL;
        return INVALID_HANDLE_VALUE;
    }
    return Dispatcher::instance().add(path, filter);
}

bool FindNextChangeNotification(ChangeHandle handle)
{
    return handle >= 0 && Dispatcher::instance().rearm(handle);
}

bool FindCloseChangeNotification(ChangeHandle handle)
{
    return handle >= 0 && Dispatcher::instance().close(handle);
}

bool ChangeNotificationLimitReached()
{
    return Dispatcher::instance().limitReached();
}

// ---- TAutoResetEvent ----

TAutoResetEvent::TAutoResetEvent()
    : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

TAutoResetEvent::~TAutoResetEvent()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TAutoResetEvent::Set()
{
    if (m_fd >= 0)
        signalFd(m_fd);
}

void TAutoResetEvent::Reset()
{
    if (m_fd >= 0)
        drainFd(m_fd);
}

bool TAutoResetEvent::Wait(int milliseconds)
{
    if (m_fd < 0)
        return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int timeout = -1;
        if (milliseconds >= 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout = int(std::max<decltype(left)>(left, 0));
        }
        pollfd p{m_fd, POLLIN, 0};
        int r = ::poll(&p, 1, timeout);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        std::uint64_t value;
        if (::read(m_fd, &value, sizeof value) == sizeof value)
            return true;
        // Someone else took it: wait on.
    }
}

} // namespace corvane::platform
