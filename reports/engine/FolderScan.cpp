#include "FolderScan.h"

#include "ReportTexts.h"
#include "core/PathText.h"
#include "core/Text.h"
#include "core/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace corvane::reports {

using core::DirStream;
using core::UniqueFd;

int OpenFolder(const QByteArray& path, bool followLink)
{
    const int last = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    if (path.size() < PATH_MAX)
        return ::open(path.constData(), last);
    // A tree deeper than PATH_MAX allows: open the path in pieces, each one a folder.
    UniqueFd at;
    qsizetype start = 0;
    while (path.size() - start >= PATH_MAX) {
        const qsizetype cut = path.lastIndexOf('/', start + PATH_MAX - 2);
        if (cut <= start) {
            errno = ENAMETOOLONG;
            return -1;
        }
        const QByteArray piece = path.mid(start, cut - start);
        const int fd = ::openat(at ? at.get() : AT_FDCWD, piece.constData(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return -1;
        at.reset(fd);
        start = cut + 1;
    }
    return ::openat(at ? at.get() : AT_FDCWD, path.mid(start).constData(), last);
}

FolderSizeJob::FolderSizeJob(std::vector<QByteArray> roots, FolderScanOptions options, QObject* parent)
    : core::Job(parent), m_roots(std::move(roots)), m_options(options)
{
    if (m_options.threads < 1)
        m_options.threads = 1;
}

std::vector<FolderRow> FolderSizeJob::TakeRows()
{
    std::lock_guard lock(resultMutex());
    if (!m_complete)
        return {};
    return std::move(m_rows);
}

void FolderSizeJob::execute()
{
    setScanning(true);
    listFolders();
    setScanning(false);
    if (!isCancelled())
        totalFolders();
    if (!isCancelled())
        subtotal();
    std::lock_guard lock(resultMutex());
    m_complete = !isCancelled();
    if (!m_complete)
        m_rows.clear();
}

namespace {

// Runs work(index) on `threads` threads, the calling one included; only the calling one reports.
template <typename Work, typename Report>
void RunOnThreads(int threads, Work work, Report report)
{
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back([&work, i] { work(i); });
    work(0);
    for (std::thread& t : helpers)
        t.join();
    report();
}

} // namespace

// Pass 1: every folder below the roots, found by a shared queue that the threads drain. A child
// is always appended after its parent, which the subtotals rely on.
void FolderSizeJob::listFolders()
{
    struct Work {
        int row;
        dev_t rootDev;
    };
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Work> pending;
    int busy = 0;

    for (const QByteArray& root : m_roots) {
        FolderRow row;
        row.path = root;
        while (row.path.size() > 1 && row.path.endsWith('/'))
            row.path.chop(1);
        struct stat st {};
        if (::stat(row.path.constData(), &st) == 0) {
            row.dev = st.st_dev;
            row.ino = st.st_ino;
        }
        pending.push_back({int(m_rows.size()), row.dev});
        m_rows.push_back(std::move(row));
    }

    const QString label = core::Text(texts::GettingFolderList);
    auto report = [&] {
        std::lock_guard lock(mutex);
        setText(label + QString::number(m_rows.size()));
        publishNow();
    };

    auto work = [&](int thread) {
        struct Found {
            QByteArray path;
            dev_t dev;
            ino_t ino;
        };
        std::vector<std::pair<dev_t, ino_t>> chain;
        std::vector<Found> found;
        std::unique_lock lock(mutex);
        for (;;) {
            if (thread == 0) {
                setText(label + QString::number(m_rows.size()));
                publishIfDue();
            }
            if (isCancelled())
                break;
            if (pending.empty()) {
                if (busy == 0)
                    break;
                cv.wait_for(lock, std::chrono::milliseconds(50));
                continue;
            }
            const Work w = pending.back();
            pending.pop_back();
            ++busy;
            const QByteArray path = m_rows[w.row].path;
            const bool isRoot = m_rows[w.row].parent < 0;
            chain.clear();
            for (int r = w.row; r >= 0; r = m_rows[r].parent)
                chain.emplace_back(m_rows[r].dev, m_rows[r].ino);
            lock.unlock();

            found.clear();
            DirStream dir = DirStream::fromFd(UniqueFd(OpenFolder(path, isRoot)));
            while (dir && !isCancelled()) {
                const dirent* e = dir.next();
                if (!e)
                    break;
                if (e->d_name[0] == '.' || (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN))
                    continue;
                struct stat st {};
                if (::fstatat(dir.fd(), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
                    continue;
                if (m_options.oneFileSystem && st.st_dev != w.rootDev)
                    continue;
                bool loop = false;
                for (const auto& [dev, ino] : chain)
                    loop = loop || (dev == st.st_dev && ino == st.st_ino);
                if (!loop)
                    found.push_back({core::JoinRawPath(path, e->d_name), st.st_dev, st.st_ino});
            }
            dir.reset();

            lock.lock();
            for (Found& f : found) {
                FolderRow row;
                row.path = std::move(f.path);
                row.parent = w.row;
                row.dev = f.dev;
                row.ino = f.ino;
                pending.push_back({int(m_rows.size()), w.rootDev});
                m_rows.push_back(std::move(row));
            }
            --busy;
            cv.notify_all();
        }
        cv.notify_all();
    };
    RunOnThreads(m_options.threads, work, report);
}

// Pass 2: the files directly in each folder; folders are handed out one at a time.
void FolderSizeJob::totalFolders()
{
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    const int count = int(m_rows.size());
    const QString label = core::Text(texts::TotalingFolderSizes);
    auto work = [&](int thread) {
        for (int i = next++; i < count && !isCancelled(); i = next++) {
            FolderRow& row = m_rows[i];
            DirStream dir = DirStream::fromFd(UniqueFd(OpenFolder(row.path, row.parent < 0)));
            qint64 files = 0;
            qint64 bytes = 0;
            while (dir && !isCancelled()) {
                const dirent* e = dir.next();
                if (!e)
                    break;
                if (e->d_type == DT_DIR)
                    continue;
                struct stat st {};
                if (::fstatat(dir.fd(), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
                    continue;
                ++files;
                bytes += st.st_size;
            }
            row.files = files;
            row.bytes = bytes;
            const int n = ++done;
            if (thread == 0) {
                setText(label + QString::number(n));
                publishIfDue();
            }
        }
    };
    RunOnThreads(m_options.threads, work, [&] {
        setText(label + QString::number(done.load()));
        publishNow();
    });
}

// Pass 3: each folder's figures with its subfolders. Children come after their parents, so one
// pass from the end adds every finished subtree into its parent.
void FolderSizeJob::subtotal()
{
    setText(core::Text(texts::CalculatingSubfolderTotals) + QString::number(m_rows.size()));
    for (FolderRow& row : m_rows) {
        row.treeFiles = row.files;
        row.treeBytes = row.bytes;
    }
    for (qsizetype i = qsizetype(m_rows.size()) - 1; i >= 0; --i) {
        const FolderRow& row = m_rows[i];
        if (row.parent >= 0) {
            m_rows[row.parent].treeFiles += row.treeFiles;
            m_rows[row.parent].treeBytes += row.treeBytes;
        }
    }
    publishNow();
}

} // namespace corvane::reports
