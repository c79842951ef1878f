#define FUSE_USE_VERSION 31
#include "StallFs.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <fuse.h>
#include <fuse_lowlevel.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/mount.h>
#include <thread>
#include <unistd.h>

namespace corvane::test {

namespace {

// Enough for several stuck requests while the guarded thread is still answered.
constexpr int Workers = 8;

} // namespace

struct StallFs::Impl {
    std::unique_ptr<QTemporaryDir> ownDir;
    QByteArray at;
    std::map<QByteArray, QByteArray> files;  // "/a/x" -> content
    std::map<QByteArray, int> folders;       // "/a" -> number of subfolders
    fuse* f = nullptr;
    bool mounted = false;
    int stopFd = -1;
    std::vector<std::thread> workers;

    mutable std::mutex m;
    mutable std::condition_variable cv;
    bool stalled = false;
    bool closing = false;
    pid_t guarded = 0;
    int blocked = 0;
    int guardedTouches = 0;
    std::vector<Request> log;

    static Impl* self() { return static_cast<Impl*>(fuse_get_context()->private_data); }

    void addEntry(QByteArray rel)
    {
        const bool folder = rel.endsWith('/');
        while (rel.endsWith('/'))
            rel.chop(1);
        if (rel.isEmpty())
            return;
        QByteArray path = '/' + rel;
        if (folder)
            folders.try_emplace(path, 0);
        else
            files[path] = rel.mid(rel.lastIndexOf('/') + 1) + '\n';
        // Every ancestor is a folder.
        for (qsizetype slash = path.lastIndexOf('/'); slash > 0; slash = path.lastIndexOf('/')) {
            path.truncate(slash);
            folders.try_emplace(path, 0);
        }
    }

    void countSubfolders()
    {
        folders.try_emplace("/", 0);
        for (auto& [p, n] : folders)
            n = 0;
        for (const auto& [p, n] : folders) {
            if (p == "/")
                continue;
            const qsizetype slash = p.lastIndexOf('/');
            ++folders[slash == 0 ? QByteArray("/") : p.left(slash)];
        }
    }

    // Records a request; while stalled it waits for Release(), unless it comes from the guarded thread.
    void gate(const char* op, const char* path)
    {
        const pid_t thread = fuse_get_context()->pid;
        std::unique_lock lock(m);
        const bool stall = stalled && !closing;
        log.push_back({op, path, thread, stall});
        if (!stall)
            return;
        if (guarded != 0 && thread == guarded) {
            ++guardedTouches;
            return;
        }
        ++blocked;
        cv.notify_all();
        cv.wait(lock, [this] { return !stalled || closing; });
        --blocked;
        cv.notify_all();
    }

    bool isFolder(const QByteArray& p) const { return folders.count(p) > 0; }

    static QByteArray parentOf(const QByteArray& p)
    {
        const qsizetype slash = p.lastIndexOf('/');
        return slash <= 0 ? QByteArray("/") : p.left(slash);
    }

    void serve()
    {
        fuse_session* se = fuse_get_session(f);
        const int fd = fuse_session_fd(se);
        fuse_buf buf{};
        for (;;) {
            pollfd p[2] = {{fd, POLLIN, 0}, {stopFd, POLLIN, 0}};
            if (::poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (p[1].revents)
                break;
            if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL))
                break;  // the connection is gone
            const int res = fuse_session_receive_buf(se, &buf);
            if (res == -EAGAIN || res == -EINTR)
                continue;
            if (res <= 0)
                break;
            fuse_session_process_buf(se, &buf);
        }
        std::free(buf.mem);
    }

    void mount(const QByteArray& subtype)
    {
        static const fuse_operations ops = [] {
            fuse_operations o{};
            o.init = [](fuse_conn_info* conn, fuse_config* cfg) -> void* {
                // Every question reaches the volume: nothing is answered from the kernel's caches.
                cfg->entry_timeout = 0;
                cfg->attr_timeout = 0;
                cfg->negative_timeout = 0;
                conn->want &= ~unsigned(FUSE_CAP_READDIRPLUS | FUSE_CAP_READDIRPLUS_AUTO);
                return fuse_get_context()->private_data;
            };
            o.getattr = [](const char* path, struct stat* st, fuse_file_info*) -> int {
                Impl* s = self();
                s->gate("getattr", path);
                std::memset(st, 0, sizeof *st);
                const QByteArray p(path);
                std::lock_guard lock(s->m);
                if (auto dir = s->folders.find(p); dir != s->folders.end()) {
                    st->st_mode = S_IFDIR | 0755;
                    st->st_nlink = nlink_t(2 + dir->second);
                } else if (auto file = s->files.find(p); file != s->files.end()) {
                    st->st_mode = S_IFREG | 0644;
                    st->st_nlink = 1;
                    st->st_size = off_t(file->second.size());
                } else {
                    return -ENOENT;
                }
                st->st_mtim.tv_sec = 1700000000;
                st->st_ctim.tv_sec = 1700000000;
                st->st_atim.tv_sec = 1700000000;
                return 0;
            };
            o.access = [](const char* path, int) -> int {
                self()->gate("access", path);
                return 0;
            };
            o.opendir = [](const char* path, fuse_file_info*) -> int {
                Impl* s = self();
                s->gate("opendir", path);
                std::lock_guard lock(s->m);
                return s->isFolder(path) ? 0 : -ENOTDIR;
            };
            o.readdir = [](const char* path, void* buf, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags) -> int {
                Impl* s = self();
                s->gate("readdir", path);
                std::vector<QByteArray> names;
                {
                    std::lock_guard lock(s->m);
                    const QByteArray p(path);
                    if (!s->isFolder(p))
                        return -ENOTDIR;
                    for (const auto& [child, n] : s->folders) {
                        if (child != "/" && parentOf(child) == p)
                            names.push_back(child.mid(child.lastIndexOf('/') + 1));
                    }
                    for (const auto& [child, content] : s->files) {
                        if (parentOf(child) == p)
                            names.push_back(child.mid(child.lastIndexOf('/') + 1));
                    }
                }
                fill(buf, ".", nullptr, 0, fuse_fill_dir_flags(0));
                fill(buf, "..", nullptr, 0, fuse_fill_dir_flags(0));
                for (const QByteArray& n : names)
                    fill(buf, n.constData(), nullptr, 0, fuse_fill_dir_flags(0));
                return 0;
            };
            o.open = [](const char* path, fuse_file_info* fi) -> int {
                Impl* s = self();
                s->gate("open", path);
                if ((fi->flags & O_ACCMODE) != O_RDONLY)
                    return -EROFS;
                std::lock_guard lock(s->m);
                return s->files.count(path) ? 0 : -ENOENT;
            };
            o.read = [](const char* path, char* buf, size_t size, off_t offset, fuse_file_info*) -> int {
                Impl* s = self();
                s->gate("read", path);
                std::lock_guard lock(s->m);
                auto file = s->files.find(path);
                if (file == s->files.end())
                    return -ENOENT;
                const QByteArray& c = file->second;
                if (offset >= c.size())
                    return 0;
                const size_t n = std::min(size, size_t(c.size() - offset));
                std::memcpy(buf, c.constData() + offset, n);
                return int(n);
            };
            o.statfs = [](const char* path, struct statvfs* st) -> int {
                self()->gate("statfs", path);
                std::memset(st, 0, sizeof *st);
                st->f_bsize = 4096;
                st->f_frsize = 4096;
                st->f_blocks = 25600;
                st->f_bfree = 12800;
                st->f_bavail = 12800;
                st->f_namemax = 255;
                return 0;
            };
            return o;
        }();

        std::string opts = "fsname=stallfs,subtype=" + subtype.toStdString();
        char prog[] = "stallfs";
        char dashO[] = "-o";
        std::vector<char> optBuf(opts.begin(), opts.end());
        optBuf.push_back('\0');
        char* argv[] = {prog, dashO, optBuf.data(), nullptr};
        fuse_args args = FUSE_ARGS_INIT(3, argv);
        f = fuse_new(&args, &ops, sizeof ops, this);
        fuse_opt_free_args(&args);
        if (!f)
            return;
        if (fuse_mount(f, at.constData()) != 0) {
            fuse_destroy(f);
            f = nullptr;
            return;
        }
        mounted = true;
        const int fd = fuse_session_fd(fuse_get_session(f));
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        stopFd = ::eventfd(0, EFD_CLOEXEC);
        for (int i = 0; i < Workers; ++i)
            workers.emplace_back([this] { serve(); });
    }

    bool listedInMountTable() const
    {
        QFile info(QStringLiteral("/proc/self/mountinfo"));
        if (!info.open(QIODevice::ReadOnly))
            return false;
        const QByteArray needle = ' ' + at + ' ';
        return info.readAll().contains(needle);
    }

    void unmount()
    {
        {
            std::lock_guard lock(m);
            closing = true;
            stalled = false;
        }
        cv.notify_all();
        if (!f)
            return;
        // A clean unmount ends the connection; something still using the volume leaves it
        // detached, and closing the device below ends the connection then.
        if (::umount2(at.constData(), 0) != 0)
            ::umount2(at.constData(), MNT_DETACH);
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(stopFd, &one, sizeof one);
        for (std::thread& t : workers)
            t.join();
        workers.clear();
        fuse_unmount(f);
        fuse_destroy(f);
        f = nullptr;
        ::close(stopFd);
        if (listedInMountTable())
            ::umount2(at.constData(), MNT_DETACH);
        mounted = false;
    }
};

StallFs::StallFs(std::initializer_list<QByteArray> entries, const QByteArray& subtype)
    : d(std::make_unique<Impl>())
{
    d->ownDir = std::make_unique<QTemporaryDir>();
    d->at = QFile::encodeName(d->ownDir->path());
    for (const QByteArray& e : entries)
        d->addEntry(e);
    d->countSubfolders();
    d->guarded = ::gettid();
    d->mount(subtype);
}

StallFs::StallFs(const QByteArray& mountPoint, std::initializer_list<QByteArray> entries, const QByteArray& subtype)
    : d(std::make_unique<Impl>())
{
    d->at = mountPoint;
    for (const QByteArray& e : entries)
        d->addEntry(e);
    d->countSubfolders();
    d->guarded = ::gettid();
    d->mount(subtype);
}

StallFs::~StallFs()
{
    d->unmount();
}

bool StallFs::ok() const
{
    return d->mounted;
}

QByteArray StallFs::mountPoint() const
{
    return d->at;
}

QByteArray StallFs::pathBytes(const QByteArray& rel) const
{
    return rel.isEmpty() ? d->at : d->at + '/' + rel;
}

QString StallFs::path(const QString& rel) const
{
    return QFile::decodeName(pathBytes(QFile::encodeName(rel)));
}

void StallFs::Stall()
{
    std::lock_guard lock(d->m);
    d->stalled = true;
}

void StallFs::Release()
{
    {
        std::lock_guard lock(d->m);
        d->stalled = false;
    }
    d->cv.notify_all();
}

void StallFs::SetGuardedThread(pid_t thread)
{
    std::lock_guard lock(d->m);
    d->guarded = thread;
}

int StallFs::GuardedTouches() const
{
    std::lock_guard lock(d->m);
    return d->guardedTouches;
}

int StallFs::Blocked() const
{
    std::lock_guard lock(d->m);
    return d->blocked;
}

bool StallFs::WaitForBlocked(int timeoutMs) const
{
    std::unique_lock lock(d->m);
    return d->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return d->blocked > 0; });
}

std::vector<StallFs::Request> StallFs::Requests() const
{
    std::lock_guard lock(d->m);
    return d->log;
}

int StallFs::CountOf(const QByteArray& op, const QByteArray& path) const
{
    std::lock_guard lock(d->m);
    int n = 0;
    for (const Request& r : d->log)
        n += r.op == op && r.path == path;
    return n;
}

void StallFs::ClearRequests()
{
    std::lock_guard lock(d->m);
    d->log.clear();
    d->guardedTouches = 0;
}

} // namespace corvane::test
