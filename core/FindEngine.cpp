#include "FindEngine.h"

#include "NameCodec.h"
#include "PathText.h"
#include "TreeWalker.h"
#include "UniqueFd.h"

#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace corvane::core {

namespace {

constexpr size_t ChunkSize = 256 * 1024;
constexpr size_t BatchSize = 512;
constexpr auto BatchInterval = std::chrono::milliseconds(100);

// Kernel views whose files may block on reading or never end, and whose trees are not the user's.
// The trash folders: the home one and the ".Trash-$uid" or ".Trash/$uid" at a volume's top. What
// is in them was thrown away; a search that starts inside one still looks there.
bool isTrashFolder(const QByteArray& path, const QByteArray& homeTrash)
{
    if (path == homeTrash)
        return true;
    const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    return name == ".Trash" || name.startsWith(".Trash-");
}

bool isPseudoFs(int fd)
{
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case SELINUX_MAGIC:
    case EFIVARFS_MAGIC:
        return true;
    default:
        return false;
    }
}

// Reads an open file through the matcher; the descriptor is closed here.
int searchOpenFile(int fd, TextMatcher& matcher, const std::atomic<bool>& cancel)
{
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return 0;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    matcher.reset();
    static thread_local std::vector<char> buffer(ChunkSize);
    int result = 0;
    for (;;) {
        if (cancel.load(std::memory_order_relaxed))
            break;
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result = -1;
            break;
        }
        if (n == 0)
            break;
        if (matcher.feed(buffer.data(), size_t(n))) {
            result = 1;
            break;
        }
    }
    ::close(fd);
    return result;
}

} // namespace

QStringList SplitFindPatterns(const QString& text)
{
    QStringList out;
    for (const QString& piece : text.split(QLatin1Char(';'))) {
        const QString p = piece.trimmed();
        if (!p.isEmpty())
            out << p;
    }
    if (out.isEmpty())
        out << QStringLiteral("*");
    return out;
}

bool FindNameMatches(const QByteArray& name, const QStringList& patterns)
{
    const QString n = DecodeName(name);
    for (const QString& p : patterns) {
        const bool wild = p.contains(QLatin1Char('*')) || p.contains(QLatin1Char('?'));
        if (wild ? FileSpecMatches(n, p) : n.contains(p, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

TextMatcher::TextMatcher(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        std::vector<QByteArray> spellings;
        for (const QString& s : {one, one.toLower(), one.toUpper()}) {
            const QByteArray bytes = EncodeName(s);
            if (!bytes.isEmpty() && std::find(spellings.begin(), spellings.end(), bytes) == spellings.end())
                spellings.push_back(bytes);
        }
        if (spellings.empty())
            continue;
        size_t longest = 0;
        for (const QByteArray& s : spellings)
            longest = std::max(longest, size_t(s.size()));
        m_maxBytes += longest;
        if (m_units.empty()) {
            for (const QByteArray& s : spellings)
                m_first[static_cast<unsigned char>(s.front())] = true;
        }
        m_units.push_back(std::move(spellings));
    }
}

bool TextMatcher::matchAt(const unsigned char* p, const unsigned char* end, size_t unit) const
{
    if (unit == m_units.size())
        return true;
    for (const QByteArray& s : m_units[unit]) {
        const size_t n = size_t(s.size());
        if (size_t(end - p) >= n && std::memcmp(p, s.constData(), n) == 0 && matchAt(p + n, end, unit + 1))
            return true;
    }
    return false;
}

bool TextMatcher::feed(const char* data, size_t size)
{
    if (m_units.empty())
        return true;
    const size_t keep = m_maxBytes - 1;
    // A match that began in the previous chunk: its start lies in the kept tail.
    if (!m_tail.isEmpty()) {
        m_work = m_tail;
        m_work.append(data, qsizetype(std::min(size, keep)));
        const auto* begin = reinterpret_cast<const unsigned char*>(m_work.constData());
        const auto* end = begin + m_work.size();
        for (qsizetype i = 0; i < m_tail.size(); ++i) {
            if (m_first[begin[i]] && matchAt(begin + i, end, 0))
                return true;
        }
    }
    const auto* begin = reinterpret_cast<const unsigned char*>(data);
    const auto* end = begin + size;
    for (const unsigned char* p = begin; p < end; ++p) {
        if (m_first[*p] && matchAt(p, end, 0))
            return true;
    }
    if (keep == 0) {
        m_tail.clear();
    } else if (size >= keep) {
        m_tail = QByteArray(data + size - keep, qsizetype(keep));
    } else {
        m_tail.append(data, qsizetype(size));
        m_tail = m_tail.right(qsizetype(keep));
    }
    return false;
}

int FileContains(const QByteArray& path, TextMatcher& matcher, const std::atomic<bool>& cancel)
{
    return searchOpenFile(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC), matcher, cancel);
}

FindCounts RunFind(const FindCriteria& criteria, const std::atomic<bool>& cancel,
                   const std::function<void(std::vector<FindHit>&&)>& onHits,
                   const std::function<void(const QByteArray&)>& onFolder)
{
    using Clock = std::chrono::steady_clock;
    FindCounts counts;
    const QStringList patterns = criteria.patterns.isEmpty() ? QStringList{QStringLiteral("*")} : criteria.patterns;
    TextMatcher matcher(criteria.text);
    std::vector<FindHit> batch;
    auto lastFlush = Clock::now();
    auto flush = [&] {
        if (!batch.empty())
            onHits(std::move(batch));
        batch.clear();
        lastFlush = Clock::now();
    };

    QByteArray start = criteria.folder;
    while (start.size() > 1 && start.endsWith('/'))
        start.chop(1);
    // Only the type from the listing is needed to walk; matches are examined one by one.
    TreeWalker::Options options;
    options.stat = false;
    TreeWalker walker(options, &cancel);
    bool pseudo = false;
    bool first = true;
    const QByteArray homeTrash =
        QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) + "/Trash";
    walker.onEnter([&](const QByteArray& folder, int fd) {
        if (Clock::now() - lastFlush >= BatchInterval)
            flush();
        if (onFolder)
            onFolder(folder);
        pseudo = isPseudoFs(fd);
        // Searching inside a kernel view is the user's choice; walking into one is not.
        const bool enter = first || (!pseudo && !isTrashFolder(folder, homeTrash));
        first = false;
        if (enter)
            ++counts.foldersSearched;
        return enter;
    });
    walker.onError([&](const QByteArray&, int, bool listing) {
        if (listing)
            ++counts.unreadable;
    });
    walker.walk(start, [&](const WalkEntry& e) {
        const QByteArray rawName(e.name);
        if (!FindNameMatches(rawName, patterns))
            return criteria.subfolders ? WalkStep::Continue : WalkStep::Skip;
        // Size and time of what a link points to, or of the link itself when it dangles.
        struct stat st {};
        if (::fstatat(e.dirFd, e.name, &st, 0) != 0 && ::fstatat(e.dirFd, e.name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return criteria.subfolders ? WalkStep::Continue : WalkStep::Skip;
        if (!matcher.empty()) {
            if (!S_ISREG(st.st_mode) || pseudo)
                return criteria.subfolders ? WalkStep::Continue : WalkStep::Skip;
            const int r = searchOpenFile(::openat(e.dirFd, e.name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC), matcher, cancel);
            if (r < 0)
                ++counts.unreadableFiles;
            if (r <= 0)
                return criteria.subfolders ? WalkStep::Continue : WalkStep::Skip;
        }
        FindHit hit;
        hit.folder = e.path.left(e.path.size() - qsizetype(std::strlen(e.name)) - 1);
        if (hit.folder.isEmpty())
            hit.folder = "/";
        hit.name = rawName;
        hit.isFolder = S_ISDIR(st.st_mode);
        hit.size = hit.isFolder ? 0 : qint64(st.st_size);
        hit.modified = st.st_mtim.tv_sec;
        batch.push_back(std::move(hit));
        ++counts.found;
        if (batch.size() >= BatchSize || Clock::now() - lastFlush >= BatchInterval)
            flush();
        return criteria.subfolders ? WalkStep::Continue : WalkStep::Skip;
    });
    flush();
    return counts;
}

std::vector<FindHit> FindJob::TakeHits()
{
    std::lock_guard lock(resultMutex());
    return std::exchange(m_hits, {});
}

FindCounts FindJob::Counts() const
{
    std::lock_guard lock(resultMutex());
    return m_counts;
}

bool FindJob::NoFolder() const
{
    std::lock_guard lock(resultMutex());
    return m_noFolder;
}

void FindJob::execute()
{
    struct stat st {};
    if (m_criteria.folder.isEmpty() || ::stat(m_criteria.folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::lock_guard lock(resultMutex());
        m_noFolder = true;
        return;
    }
    const FindCounts counts = RunFind(
        m_criteria, cancelFlag(),
        [this](std::vector<FindHit>&& hits) {
            std::lock_guard lock(resultMutex());
            m_hits.insert(m_hits.end(), std::make_move_iterator(hits.begin()), std::make_move_iterator(hits.end()));
        },
        [this](const QByteArray& folder) {
            setCurrentFile(folder);
            publishIfDue();
        });
    std::lock_guard lock(resultMutex());
    m_counts = counts;
}

} // namespace corvane::core
