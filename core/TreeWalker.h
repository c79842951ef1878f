#pragma once
// One walk over a folder tree for every tool that measures, searches or copies trees. It never
// follows symbolic links below the root, never enters a folder that is one of its own ancestors
// (a bind mount can make a tree contain itself), stops at a flag, and reports progress a few
// times a second. A folder's entries are visited first, then its subfolders are entered in name
// order, so one folder's items come together and only one folder is open per level.
//
// Paths are raw bytes; names need not be UTF-8.
#include <QByteArray>

#include <sys/stat.h>

#include <atomic>
#include <functional>

namespace corvane::core {

struct WalkEntry {
    const QByteArray& path;  // the root joined with the names below it
    const char* name;        // the last part of path
    int depth;               // 1 for the root's own entries
    int dirFd;               // the open folder that holds it, for the *at calls
    const struct stat& st;   // lstat of the entry (zeroed but for st_mode when stats are off)
    bool isFolder() const { return S_ISDIR(st.st_mode); }
};

enum class WalkStep { Continue, Skip, Stop };  // Skip: do not enter this folder

struct WalkProgress {
    qint64 folders = 0;
    qint64 files = 0;  // everything that is not a folder
    qint64 bytes = 0;  // sizes of what is not a folder
    const QByteArray* current = nullptr;
};

class TreeWalker
{
public:
    struct Options {
        bool stat = true;          // lstat every entry; off, only the type from readdir is known
        bool sameDevice = false;   // do not cross into other volumes
        bool leaveFolders = false; // also call leave() after a folder's contents
        int progressMs = 250;
    };
    using Visit = std::function<WalkStep(const WalkEntry&)>;
    using Leave = std::function<void(const WalkEntry&)>;
    // errno and whether a folder could not be listed (else an entry could not be examined).
    using Error = std::function<void(const QByteArray& path, int error, bool listing)>;
    // Called when a folder is opened for listing (the root too); false leaves its contents out.
    using Enter = std::function<bool(const QByteArray& path, int fd)>;
    using Progress = std::function<void(const WalkProgress&)>;

    explicit TreeWalker(Options options, const std::atomic<bool>* stop = nullptr)
        : m_options(options), m_stop(stop)
    {
    }

    void onLeave(Leave leave) { m_leave = std::move(leave); }
    void onError(Error error) { m_error = std::move(error); }
    void onEnter(Enter enter) { m_enter = std::move(enter); }
    void onProgress(Progress progress) { m_progress = std::move(progress); }

    // Visits everything below root, a folder before its contents. False when stopped (by the
    // flag or a visit) or when root itself cannot be read.
    bool walk(const QByteArray& root, const Visit& visit);

    const WalkProgress& totals() const { return m_totals; }

private:
    struct Level;
    bool walkFolder(int fd, QByteArray& path, int depth, const Level* up, const Visit& visit);
    void error(const QByteArray& path, int error, bool listing);
    bool stopped() const { return m_stopped || (m_stop && m_stop->load(std::memory_order_relaxed)); }
    void count(const struct stat& st, const QByteArray& path);

    Options m_options;
    const std::atomic<bool>* m_stop;
    Leave m_leave;
    Error m_error;
    Enter m_enter;
    Progress m_progress;
    WalkProgress m_totals;
    qint64 m_nextProgressNs = 0;
    dev_t m_rootDev = 0;
    bool m_stopped = false;
};

} // namespace corvane::core
