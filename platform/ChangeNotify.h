#pragma once
// Change notification handles on inotify. A handle watches one folder for the kinds of
// change its filter names; it is a file descriptor that polls readable once a change was
// seen, until it is re-armed. All handles share one inotify instance of the process, so
// the number of folders watched is bounded only by the system's watch limit.
#include <QByteArray>
#include <cstdint>

namespace corvane::platform {

// Filter bits, as the watching controls pass them.
enum : std::uint32_t {
    FILE_NOTIFY_CHANGE_FILE_NAME = 0x01,
    FILE_NOTIFY_CHANGE_DIR_NAME = 0x02,
    FILE_NOTIFY_CHANGE_ATTRIBUTES = 0x04,
    FILE_NOTIFY_CHANGE_SIZE = 0x08,
    FILE_NOTIFY_CHANGE_LAST_WRITE = 0x10,
};

using ChangeHandle = int;
inline constexpr ChangeHandle INVALID_HANDLE_VALUE = -1;

// Starts watching a folder (raw path bytes). Returns INVALID_HANDLE_VALUE with errno set
// when it cannot: ENOSPC when the system's watch limit is reached, EMFILE when inotify
// cannot be set up, EINVAL for a subtree watch (inotify watches one folder at a time),
// and the folder's own errors (ENOENT, ENOTDIR, EACCES).
ChangeHandle FindFirstChangeNotification(const QByteArray& path, bool watchSubtree, std::uint32_t filter);
// Re-arms a signalled handle. False when the folder is gone (deleted, moved away with its
// volume unmounted) or the handle is not valid: such a handle only waits to be closed.
bool FindNextChangeNotification(ChangeHandle handle);
bool FindCloseChangeNotification(ChangeHandle handle);
// Whether a watch was refused for a system limit since the program started.
bool ChangeNotificationLimitReached();

// An automatically resetting event that a poll can wait on (an eventfd).
class TAutoResetEvent
{
public:
    TAutoResetEvent();
    ~TAutoResetEvent();
    TAutoResetEvent(const TAutoResetEvent&) = delete;
    TAutoResetEvent& operator=(const TAutoResetEvent&) = delete;

    bool Valid() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    void Set();
    void Reset();
    // Waits until set (and resets it); false when the time ran out. A negative time waits for ever.
    bool Wait(int milliseconds);

private:
    int m_fd;
};

} // namespace corvane::platform
