#include "FileOperationTransfer.h"

#include "FileOperationTexts.h"
#include "NameCodec.h"
#include "core/Clock.h"
#include "core/PathText.h"
#include "core/Text.h"
#include "core/TreeWalker.h"

#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace corvane::platform::fileops {

using core::JoinRawPath;
using core::Text;
using core::UniqueFd;

namespace {

// Batches of small files share one syncfs; a file is renamed into place only after it.
constexpr size_t BatchFiles = 2048;
constexpr qint64 BatchBytes = qint64(64) << 20;
constexpr qint64 BatchAgeNs = 1'000'000'000;
// A background sync starts this far ahead, so the sync before a folder is placed has little left.
constexpr qint64 SyncAheadBytes = qint64(8) << 20;
constexpr qint64 SyncAheadNs = 100'000'000;

bool isItemName(const QByteArray& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/');
}

// Gives an unnamed file its name; fails with EEXIST rather than replace anything.
int linkUnnamed(int fd, const QByteArray& target)
{
    char proc[64];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, proc, AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    int e = errno;
    if (e == ENOENT && ::access("/proc/self/fd", X_OK) != 0)
        e = ::linkat(fd, "", AT_FDCWD, target.constData(), AT_EMPTY_PATH) == 0 ? 0 : errno;
    return e;
}

} // namespace

TransferOperation::TransferOperation(FileOpKind kind, std::vector<TransferItem> items)
    : FileOperation(kind)
    , m_items(std::move(items))
    , m_move(kind == FileOpKind::Move || kind == FileOpKind::Restore)
    , m_createTargets(kind == FileOpKind::Restore)
    , m_data(cancelFlag(), [this](qint64 bytes) {
        addDone(bytes, 0);
        publishIfDue();
    })
{
}

void TransferOperation::execute()
{
    if (!validate())
        return;
    m_euid = ::geteuid();
    m_egid = ::getegid();
    // The umask decides the mode new files get; it can only be read without changing it here.
    const QByteArray status = [] {
        QFile f(QStringLiteral("/proc/self/status"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    if (qsizetype at = status.indexOf("\nUmask:\t"); at >= 0) {
        bool ok = false;
        m_umask = mode_t(status.mid(at + 8, status.indexOf('\n', at + 1) - at - 8).trimmed().toUInt(&ok, 8));
        m_umaskKnown = ok;
    }
    // A batch keeps its unnamed files open until they are synced: allow enough descriptors.
    struct rlimit lim;
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0) {
        if (lim.rlim_cur < lim.rlim_max && lim.rlim_cur < 8192) {
            lim.rlim_cur = std::min<rlim_t>(lim.rlim_max, 8192);
            ::setrlimit(RLIMIT_NOFILE, &lim);
            ::getrlimit(RLIMIT_NOFILE, &lim);
        }
        m_batchFiles = std::clamp<size_t>(lim.rlim_cur > 256 ? (lim.rlim_cur - 128) / 2 : 16, 16, BatchFiles);
    } else {
        m_batchFiles = 64;
    }
    scan();
    for (TransferItem& item : m_items) {
        if (isCancelled())
            break;
        m_item = &item;
        transferItem(item);
    }
    // What is pending now are whole files of items given one by one: they keep their copies.
    flush();
    finishFolders();
    m_syncer.stop();
}

bool TransferOperation::validate()
{
    // Each item goes in under a name of its own: a path ending in "." or ".." would name the
    // target after its parent, and a merge would pour a folder's contents into the parent.
    for (const TransferItem& item : m_items) {
        if (!isItemName(BaseName(item.source)) || !isItemName(item.targetName)) {
            refuse(Text(texts::NoItemName).arg(ReadableName(item.source)));
            return false;
        }
    }
    if (m_createTargets)
        return true;
    for (const TransferItem& item : m_items) {
        struct stat st;
        if (::stat(item.targetDir.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            refuse(WithName(texts::NoTargetFolder, item.targetDir));
            return false;
        }
    }
    // A folder never goes into itself or its own subfolder: refused before anything is written.
    // Folders are compared as the file system knows them, not by their paths: a bind mount shows
    // the same folder under another path.
    for (const TransferItem& item : m_items) {
        struct stat st;
        if (!Lstat(item.source, &st) || !S_ISDIR(st.st_mode))
            continue;
        if (Contains(FoldersUpFrom(item.targetDir), st)) {
            refuse(WithName(m_move ? texts::MoveIntoItself : texts::CopyIntoItself, item.source));
            return false;
        }
    }
    return true;
}

void TransferOperation::scan()
{
    setScanning(true);
    publishNow();
    for (TransferItem& item : m_items) {
        if (isCancelled())
            break;
        m_item = &item;
        struct stat st, dir;
        if (!Lstat(item.source, &st)) {
            addTotals(0, 1);
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            item.holdsSource = FoldersUpFrom(ParentOf(item.source));
            item.holdsTarget = FoldersUpFrom(item.targetDir);
        }
        // A move within one volume is a rename: one item, whatever it holds.
        QByteArray probe = item.targetDir;
        while (m_createTargets && ::stat(probe.constData(), &dir) != 0 && probe != "/")
            probe = ParentOf(probe);
        item.sameDevice = m_move && ::stat(probe.constData(), &dir) == 0 && dir.st_dev == st.st_dev;
        if (item.sameDevice) {
            addTotals(0, 1);
            continue;
        }
        qint64 bytes = 0, items = 0;
        measure(item.source, st, &bytes, &items);
        addTotals(bytes, items);
    }
    setScanning(false);
    publishNow();
}

void TransferOperation::measure(const QByteArray& path, const struct stat& st, qint64* bytes, qint64* items)
{
    ++*items;
    if (S_ISREG(st.st_mode))
        *bytes += st.st_size;
    if (!S_ISDIR(st.st_mode) || isCancelled())
        return;
    setCurrentFile(path);
    publishIfDue();
    // Counted as the copy will go: a folder that leads back is one item, its contents none.
    core::TreeWalker walker({}, &cancelFlag());
    walker.onProgress([this](const core::WalkProgress& p) {
        if (p.current)
            setCurrentFile(*p.current);
        publishIfDue();
    });
    walker.walk(path, [&](const core::WalkEntry& e) {
        ++*items;
        if (S_ISREG(e.st.st_mode))
            *bytes += e.st.st_size;
        return e.isFolder() && leadsBack(e.st) != nullptr ? core::WalkStep::Skip : core::WalkStep::Continue;
    });
}

const char* TransferOperation::leadsBack(const struct stat& folder) const
{
    // Entering a folder that holds the item, or one being copied, would copy the item into itself
    // again and again; entering the target folder would copy the copy.
    if (Contains(m_item->holdsSource, folder) || Contains(m_copying, folder))
        return texts::FolderLoop;
    if (Contains(m_item->holdsTarget, folder))
        return texts::HoldsTargetFolder;
    return nullptr;
}

void TransferOperation::countSkipped(const QByteArray& path, const struct stat& st)
{
    qint64 bytes = 0, items = 0;
    measure(path, st, &bytes, &items);
    addDone(bytes, items);
}

void TransferOperation::transferItem(TransferItem& item)
{
    struct stat st;
    while (!Lstat(item.source, &st)) {
        ErrorAction a = askError(item.source, Text(m_move ? texts::CannotMove : texts::CannotRead), errno);
        if (a != ErrorAction::Retry) {
            addDone(0, 1);
            return;
        }
    }
    setCurrentFile(item.source);

    if (m_createTargets) {
        while (int e = MakePath(item.targetDir, 0777)) {
            if (askError(item.targetDir, Text(texts::CannotCreateFolder), e) != ErrorAction::Retry)
                return;
        }
    }

    // A move from a folder the user may not change would copy and then fail to remove: ask first.
    if (m_move) {
        while (::access(ParentOf(item.source).constData(), W_OK | X_OK) != 0) {
            if (askError(item.source, Text(texts::CannotMove), errno) != ErrorAction::Retry) {
                addDone(0, 1);
                return;
            }
        }
    }

    struct stat parent {}, target {};
    const bool haveTarget = ::stat(item.targetDir.constData(), &target) == 0;
    const bool sameFolder = haveTarget && ::stat(ParentOf(item.source).constData(), &parent) == 0
        && parent.st_dev == target.st_dev && parent.st_ino == target.st_ino;
    QByteArray name = item.targetName;
    bool checkConflict = true;
    if (sameFolder && name == BaseName(item.source)) {
        if (m_move) {
            addDone(0, 1);  // already where it should go
            return;
        }
        name = FreeName(item.targetDir, name, S_ISDIR(st.st_mode), true);
        checkConflict = false;
    }

    m_tryRename = item.sameDevice;
    m_groupInherited = !haveTarget || (target.st_mode & S_ISGID);
    QByteArray placed;
    // Files copied one by one share a batch's sync with those of the next items (one sync per
    // file would cost more than the copy). A folder's batch is its own, as a cancel drops it; a
    // moved file is done only once its source is gone.
    const bool ownBatch = S_ISDIR(st.st_mode) || m_move;
    if (ownBatch)
        flush();
    Step step = transfer(item.source, st, item.targetDir, name, checkConflict, &placed);
    // A folder takes its name only once its contents are on the disk.
    if (ownBatch) {
        if (step != Step::Cancelled)
            flush();
        finishFolders();
    }
    if (step == Step::Ok && !placed.isEmpty())
        addCreated(placed);
    struct stat gone;
    if (!item.companion.isEmpty() && !Lstat(item.source, &gone) && errno == ENOENT)
        ::unlink(item.companion.constData());
    publishIfDue();
}

TransferOperation::Step TransferOperation::transfer(const QByteArray& src, const struct stat& st,
                                                    const QByteArray& dstDir, QByteArray name, bool checkConflict,
                                                    QByteArray* placed)
{
    if (isCancelled())
        return Step::Cancelled;
    setCurrentFile(src);
    publishIfDue();
    if (S_ISDIR(st.st_mode)) {
        if (const char* why = leadsBack(st)) {
            addSkipped(src, WithName(why, src));
            addDone(0, 1);
            return Step::Skipped;
        }
    }

    QByteArray dst = JoinRawPath(dstDir, name);
    bool replace = false;
    bool merge = false;
    struct stat tst;
    if (checkConflict && Lstat(dst, &tst)) {
        if (tst.st_dev == st.st_dev && tst.st_ino == st.st_ino) {
            addDone(0, 1);  // the same file reached through another path
            return Step::Skipped;
        }
        ConflictQuestion q;
        q.source = src;
        q.target = dst;
        q.sourceIsFolder = S_ISDIR(st.st_mode);
        q.targetIsFolder = S_ISDIR(tst.st_mode);
        q.canReplace = q.sourceIsFolder == q.targetIsFolder;
        q.sourceSize = st.st_size;
        q.targetSize = tst.st_size;
        q.sourceModified = st.st_mtime;
        q.targetModified = tst.st_mtime;
        ConflictAction action = askConflict(q).action;
        if (action == ConflictAction::Replace && !q.canReplace)
            action = ConflictAction::KeepBoth;
        switch (action) {
        case ConflictAction::Cancel:
            return Step::Cancelled;
        case ConflictAction::Skip:
            countSkipped(src, st);
            return Step::Skipped;
        case ConflictAction::KeepBoth:
            name = FreeName(dstDir, name, q.sourceIsFolder, false);
            dst = JoinRawPath(dstDir, name);
            break;
        case ConflictAction::Replace:
            (q.sourceIsFolder ? merge : replace) = true;
            break;
        }
    }
    *placed = dst;

    if (m_tryRename && !merge) {
        for (;;) {
            int e = replace ? (::rename(src.constData(), dst.constData()) == 0 ? 0 : errno) : RenameNoReplace(src, dst);
            if (e == 0) {
                addDone(0, 1);
                return Step::Ok;
            }
            if (e == EEXIST && !replace)
                return transfer(src, st, dstDir, name, true, placed);  // created meanwhile: ask
            if (e == EXDEV)
                break;
            ErrorAction a = askError(src, Text(texts::CannotMove), e);
            if (a == ErrorAction::Cancel)
                return Step::Cancelled;
            if (a == ErrorAction::Skip) {
                addDone(0, 1);
                return Step::Skipped;
            }
        }
        // Another volume after all (a bind mount): the move becomes a copy, counted now.
        qint64 bytes = 0, items = 0;
        measure(src, st, &bytes, &items);
        addTotals(bytes, items - 1);
    }

    if (S_ISDIR(st.st_mode)) {
        if (merge || m_direct > 0)
            return copyFolder(src, st, dst, merge);
        return copyNewFolder(src, st, dstDir, name, placed);
    }
    if (S_ISREG(st.st_mode))
        return copyFile(src, &st, dst, replace);
    if (S_ISLNK(st.st_mode))
        return copySymlink(src, st, dst, replace);
    addSkipped(src, WithName(texts::SpecialFile, src));
    addDone(0, 1);
    return Step::Skipped;
}

bool TransferOperation::listFolder(const QByteArray& src, const struct stat& st, Names* names, Step* step)
{
    for (;;) {
        if (core::DirStream d = core::DirStream::open(src.constData())) {
            while (dirent* e = d.next())
                names->emplace_back(QByteArray(e->d_name), e->d_type);
            return true;
        }
        ErrorAction a = askError(src, Text(texts::CannotReadFolder), errno);
        if (a == ErrorAction::Cancel) {
            *step = Step::Cancelled;
            return false;
        }
        if (a == ErrorAction::Skip) {
            countSkipped(src, st);
            *step = Step::Skipped;
            return false;
        }
    }
}

TransferOperation::Step TransferOperation::copyFolder(const QByteArray& src, const struct stat& st,
                                                      const QByteArray& dst, bool merge)
{
    // Read first: a folder that cannot be read is not copied as an empty one.
    Names names;
    Step step;
    if (!listFolder(src, st, &names, &step))
        return step;
    if (!merge) {
        // Owner-only while filling it; its own mode and times are set once it is complete.
        while (::mkdir(dst.constData(), 0700) != 0) {
            if (errno == EEXIST) {
                QByteArray placed;  // created meanwhile: ask
                return transfer(src, st, ParentOf(dst), BaseName(dst), true, &placed);
            }
            ErrorAction a = askError(dst, Text(texts::CannotCreateFolder), errno);
            if (a == ErrorAction::Cancel)
                return Step::Cancelled;
            if (a == ErrorAction::Skip) {
                countSkipped(src, st);
                return Step::Skipped;
            }
        }
    }
    m_copying.emplace_back(st.st_dev, st.st_ino);
    step = fillFolder(src, st, dst, merge, names);
    m_copying.pop_back();
    return step;
}

QByteArray TransferOperation::shownPath(const QByteArray& path) const
{
    for (auto it = m_hidden.rbegin(); it != m_hidden.rend(); ++it) {
        const QByteArray& hidden = it->first;
        if (path == hidden || (path.startsWith(hidden) && path.at(hidden.size()) == '/'))
            return it->second + path.mid(hidden.size());
    }
    return path;
}

TransferOperation::Step TransferOperation::copyNewFolder(const QByteArray& src, const struct stat& st,
                                                         const QByteArray& dstDir, QByteArray name, QByteArray* placed)
{
    // The new folder is filled under a hidden name and gets its own only when complete and on the
    // disk: it is never seen half-copied, and a cancelled copy leaves nothing behind.
    Names names;
    Step listed;
    if (!listFolder(src, st, &names, &listed))
        return listed;
    QByteArray tmp;
    for (;;) {
        tmp = JoinRawPath(dstDir, ".corvane-partial-XXXXXX");
        if (::mkdtemp(tmp.data()))
            break;
        ErrorAction a = askError(JoinRawPath(dstDir, name), Text(texts::CannotCreateFolder), errno);
        if (a == ErrorAction::Cancel)
            return Step::Cancelled;
        if (a == ErrorAction::Skip) {
            countSkipped(src, st);
            return Step::Skipped;
        }
    }
    const size_t folders = m_folders.size();
    const size_t sources = m_movedSources.size();
    auto drop = [&] {
        RemoveTree(tmp);
        m_folders.resize(folders);
        m_movedSources.resize(sources);
    };

    ++m_direct;
    m_hidden.emplace_back(tmp, JoinRawPath(dstDir, name));
    m_copying.emplace_back(st.st_dev, st.st_ino);
    Step step = fillFolder(src, st, tmp, false, names);
    m_copying.pop_back();
    m_hidden.pop_back();
    --m_direct;
    if (step == Step::Cancelled) {
        drop();
        return step;
    }
    int e = 0;
    {
        UniqueFd dir(::open(tmp.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dir.valid() || ::syncfs(dir.get()) != 0)
            e = errno;
    }
    if (e == 0) {
        finishFoldersFrom(folders);
        QByteArray dst = JoinRawPath(dstDir, name);
        while ((e = RenameNoReplace(tmp, dst)) == EEXIST) {
            // Someone took the name meanwhile: keep both.
            name = FreeName(dstDir, name, true, false);
            dst = JoinRawPath(dstDir, name);
        }
        *placed = dst;
    }
    if (e != 0) {
        drop();
        ErrorAction a = askError(JoinRawPath(dstDir, name), Text(texts::CannotWrite), e);
        if (a == ErrorAction::Retry)
            return copyNewFolder(src, st, dstDir, name, placed);
        return a == ErrorAction::Cancel ? Step::Cancelled : Step::Skipped;
    }
    if (m_move)
        removeMovedSources(dstDir, sources);
    return step;
}

TransferOperation::Step TransferOperation::fillFolder(const QByteArray& src, const struct stat& st,
                                                      const QByteArray& dst, bool merge, const Names& names)
{
    m_folders.push_back({dst, st, !merge, m_move && m_direct == 0 ? src : QByteArray(), src});
    if (m_move && m_direct > 0)
        m_movedSources.push_back({src, st});
    addDone(0, 1);
    struct stat here;
    const bool outerGroup = m_groupInherited;
    m_groupInherited = ::stat(dst.constData(), &here) != 0 || (here.st_mode & S_ISGID);
    struct RestoreGroup {
        bool& flag;
        bool value;
        ~RestoreGroup() { flag = value; }
    } restoreGroup{m_groupInherited, outerGroup};

    bool skippedAny = false;
    for (const auto& [name, type] : names) {
        if (isCancelled())
            return Step::Cancelled;
        QByteArray child = JoinRawPath(src, name);
        // A plain file in a new folder needs no lstat: opening it tells all.
        if (!merge && !m_tryRename && type == DT_REG) {
            setCurrentFile(child);
            publishIfDue();
            Step s = copyFile(child, nullptr, JoinRawPath(dst, name), false);
            if (s == Step::Cancelled)
                return s;
            skippedAny |= s == Step::Skipped;
            continue;
        }
        struct stat cst;
        bool found = Lstat(child, &cst);
        while (!found) {
            ErrorAction a = askError(child, Text(texts::CannotRead), errno);
            if (a == ErrorAction::Cancel)
                return Step::Cancelled;
            if (a == ErrorAction::Skip)
                break;
            found = Lstat(child, &cst);
        }
        if (!found) {
            skippedAny = true;
            continue;
        }
        QByteArray placed;
        Step s = transfer(child, cst, dst, name, merge, &placed);
        if (s == Step::Cancelled)
            return s;
        skippedAny |= s == Step::Skipped;
    }
    return skippedAny ? Step::Skipped : Step::Ok;
}

TransferOperation::Step TransferOperation::copyFile(const QByteArray& src, const struct stat* known,
                                                    const QByteArray& dst, bool replace)
{
    for (;;) {
        if (isCancelled())
            return Step::Cancelled;
        UniqueFd in(::open(src.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
        struct stat ist {};
        int e = 0;
        QByteArray errorPath = src;
        QString errorAction = Text(texts::CannotRead);
        if (!in.valid() || ::fstat(in.get(), &ist) != 0) {
            e = errno;
            if (known)
                ist = *known;
        } else if (!S_ISREG(ist.st_mode)) {
            addSkipped(src, WithName(texts::SpecialFile, src));
            addDone(0, 1);
            return Step::Skipped;
        }

        // The copy has no name until it is complete and on the disk: an unnamed file where the
        // file system allows, else a hidden temporary name. Neither is ever a partial target.
        QByteArray tmp;
        UniqueFd out;
        mode_t createdMode = 0600;
        if (e == 0 && m_direct > 0) {
            // Inside a folder that is itself still hidden: the final name at once. Writable by its
            // owner until its attributes are set; a read-only file is made so afterwards.
            tmp = dst;
            const mode_t mode = (ist.st_mode | S_IWUSR) & 0777;
            out.reset(::open(dst.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
            createdMode = mode & ~m_umask;
            if (!out.valid()) {
                e = errno;
                errorPath = dst;
                errorAction = Text(texts::CannotWrite);
            }
        }
        if (e == 0 && !out.valid() && !replace && m_unnamedTemps) {
            out.reset(::open(ParentOf(dst).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
            if (!out.valid() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                e = errno;
                errorPath = dst;
                errorAction = Text(texts::CannotWrite);
            } else if (!out.valid()) {
                m_unnamedTemps = false;
            }
        }
        if (e == 0 && !out.valid()) {
            tmp = JoinRawPath(ParentOf(dst), ".corvane-XXXXXX.part");
            out.reset(::mkostemps(tmp.data(), 5, O_CLOEXEC));
            if (!out.valid()) {
                e = errno;
                errorPath = dst;
                errorAction = Text(texts::CannotWrite);
            }
        }
        qint64 copied = 0;
        if (e == 0) {
            const FileDataCopier::Result ce = m_data.copy(in.get(), out.get(), ist, &copied);
            if (ce.error == ECANCELED) {
                out.reset();
                if (!tmp.isEmpty())
                    ::unlink(tmp.constData());
                addDone(-copied, 0);
                return Step::Cancelled;
            }
            if (ce.error != 0) {
                e = ce.error;
                if (!ce.onSource) {
                    errorPath = dst;
                    errorAction = Text(texts::CannotWrite);
                }
            } else if (ce.shrank) {
                // Never a short copy under the file's name: it goes, and the file is left out
                // (a move keeps the original).
                out.reset();
                if (!tmp.isEmpty())
                    ::unlink(tmp.constData());
                addDone(ist.st_size - copied, 1);
                addSkipped(src, WithName(m_move ? texts::ChangedWhileMoved : texts::ChangedWhileCopied, src));
                return Step::Skipped;
            }
        }
        if (e != 0) {
            // Nothing partial stays behind: the temporary file goes before the question.
            if (out.valid()) {
                out.reset();
                if (!tmp.isEmpty())
                    ::unlink(tmp.constData());
            }
            addDone(-copied, 0);
            ErrorAction a = askError(errorPath, errorAction, e);
            if (a == ErrorAction::Retry)
                continue;
            if (a == ErrorAction::Cancel)
                return Step::Cancelled;
            addDone(ist.st_size, 1);
            return Step::Skipped;
        }
        if (!m_umaskKnown)
            createdMode = mode_t(-1);
        CopyAttributes(in.get(), out.get(), ist, createdMode,
                       ist.st_uid == m_euid && ist.st_gid == m_egid && !m_groupInherited);
        addDone(0, 1);
        if (m_direct > 0) {
            if (m_move)
                m_movedSources.push_back({src, ist});
            m_unsyncedBytes += ist.st_size;
            if (m_unsyncedBytes >= SyncAheadBytes || core::MonotonicNs() - m_lastSyncKickNs >= SyncAheadNs) {
                m_syncer.kick(out.get());
                m_unsyncedBytes = 0;
                m_lastSyncKickNs = core::MonotonicNs();
            }
            return Step::Ok;
        }
        queue(tmp, dst, replace, src, ist, std::move(out), ist.st_size);
        return Step::Ok;
    }
}

TransferOperation::Step TransferOperation::copySymlink(const QByteArray& src, const struct stat& st,
                                                       const QByteArray& dst, bool replace)
{
    for (;;) {
        if (isCancelled())
            return Step::Cancelled;
        QByteArray target(qsizetype(std::max<off_t>(st.st_size, 64)) + 1, '\0');
        ssize_t n;
        while ((n = ::readlink(src.constData(), target.data(), size_t(target.size()))) == target.size())
            target.resize(target.size() * 2);
        int e = n < 0 ? errno : 0;
        QByteArray errorPath = src;
        QString errorAction = Text(texts::CannotRead);
        QByteArray tmp;
        if (e == 0) {
            target.truncate(n);
            for (int attempt = 0; attempt < 100; ++attempt) {
                if (m_direct > 0) {
                    tmp = dst;
                    e = ::symlink(target.constData(), tmp.constData()) == 0 ? 0 : errno;
                    break;
                }
                tmp = JoinRawPath(ParentOf(dst), ".corvane-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36)
                               + ".part");
                if (::symlink(target.constData(), tmp.constData()) == 0) {
                    e = 0;
                    break;
                }
                e = errno;
                if (e != EEXIST)
                    break;
            }
            if (e != 0) {
                errorPath = dst;
                errorAction = Text(texts::CannotWrite);
            }
        }
        if (e != 0) {
            ErrorAction a = askError(errorPath, errorAction, e);
            if (a == ErrorAction::Retry)
                continue;
            if (a == ErrorAction::Cancel)
                return Step::Cancelled;
            addDone(0, 1);
            return Step::Skipped;
        }
        ::lchown(tmp.constData(), st.st_uid, st.st_gid);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(AT_FDCWD, tmp.constData(), times, AT_SYMLINK_NOFOLLOW);
        addDone(0, 1);
        if (m_direct > 0) {
            if (m_move)
                m_movedSources.push_back({src, st});
            return Step::Ok;
        }
        queue(tmp, dst, replace, src, st, UniqueFd(), 0);
        return Step::Ok;
    }
}

void TransferOperation::queue(const QByteArray& tmp, const QByteArray& target, bool replace, const QByteArray& source,
                              const struct stat& sourceStat, UniqueFd out, qint64 bytes)
{
    Pending p;
    p.tmp = tmp;
    p.target = target;
    p.replace = replace;
    if (m_move) {
        p.source = source;
        p.sourceStat = sourceStat;
    }
    if (out.valid()) {
        struct stat ost;
        ::fstat(out.get(), &ost);
        auto known = std::find_if(m_syncFds.begin(), m_syncFds.end(), [&](const auto& s) { return s.first == ost.st_dev; });
        if (known == m_syncFds.end())
            m_syncFds.emplace_back(ost.st_dev, UniqueFd(::dup(out.get())));
        if (p.tmp.isEmpty())
            p.file = std::move(out);
    }
    if (m_pending.empty())
        m_pendingSinceNs = core::MonotonicNs();
    m_pending.push_back(std::move(p));
    m_pendingBytes += bytes;
    if (m_pending.size() >= m_batchFiles || m_pendingBytes >= BatchBytes || core::MonotonicNs() - m_pendingSinceNs >= BatchAgeNs)
        flush();
}

void TransferOperation::flush()
{
    if (m_pending.empty())
        return;
    // One sync for the batch; a file reaches its name only once its data is on the disk.
    std::vector<int> failed(m_pending.size(), 0);
    bool synced = true;
    for (auto& s : m_syncFds)
        synced &= ::syncfs(s.second.get()) == 0;
    m_syncFds.clear();
    if (!synced) {
        // Find out which files did not make it.
        for (size_t i = 0; i < m_pending.size(); ++i) {
            const Pending& p = m_pending[i];
            UniqueFd named(p.tmp.isEmpty() ? -1 : ::open(p.tmp.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
            const int fd = p.tmp.isEmpty() ? p.file.get() : named.get();
            if (fd >= 0 && ::fsync(fd) != 0)
                failed[i] = errno;
        }
    }

    std::vector<std::pair<dev_t, QByteArray>> targetDirs;
    for (size_t i = 0; i < m_pending.size(); ++i) {
        Pending& p = m_pending[i];
        int e = failed[i];
        if (e == 0 && p.file.valid()) {
            e = linkUnnamed(p.file.get(), p.target);
            if (e == EEXIST) {
                // Someone took the name since it was checked: keep both.
                p.target = JoinRawPath(ParentOf(p.target), FreeName(ParentOf(p.target), BaseName(p.target), false, false));
                e = linkUnnamed(p.file.get(), p.target);
            }
            p.file.reset();
        } else if (e == 0) {
            if (p.replace) {
                e = ::rename(p.tmp.constData(), p.target.constData()) == 0 ? 0 : errno;
            } else {
                e = RenameNoReplace(p.tmp, p.target);
                if (e == EEXIST) {
                    p.target = JoinRawPath(ParentOf(p.target), FreeName(ParentOf(p.target), BaseName(p.target), false, false));
                    e = RenameNoReplace(p.tmp, p.target);
                }
            }
        }
        if (e != 0) {
            p.file.reset();
            if (!p.tmp.isEmpty())
                ::unlink(p.tmp.constData());
            addSkipped(p.target, Text(texts::CannotWrite) + QStringLiteral(" \"") + Shown(p.target)
                                     + QStringLiteral("\": ") + ErrnoMessage(e));
            p.source.clear();  // the original stays
            continue;
        }
        if (!p.source.isEmpty()) {
            struct stat dst;
            QByteArray dir = ParentOf(p.target);
            if (::stat(dir.constData(), &dst) == 0
                && std::none_of(targetDirs.begin(), targetDirs.end(), [&](const auto& t) { return t.first == dst.st_dev; }))
                targetDirs.emplace_back(dst.st_dev, dir);
        }
    }

    if (m_move) {
        // The renames must be on the disk too before an original goes.
        for (const auto& t : targetDirs) {
            UniqueFd fd(::open(t.second.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (fd.valid())
                ::syncfs(fd.get());
        }
        for (const Pending& p : m_pending) {
            if (!p.source.isEmpty())
                removeSource(p.source, p.sourceStat);
        }
    }
    m_pending.clear();
    m_pendingBytes = 0;
}

void TransferOperation::Syncer::kick(int fd)
{
    std::lock_guard lock(m_mutex);
    m_fd.reset(::dup(fd));
    m_wanted = true;
    if (!m_thread.joinable())
        m_thread = std::thread([this] { loop(); });
    m_cv.notify_one();
}

void TransferOperation::Syncer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_cv.notify_one();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void TransferOperation::Syncer::loop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_wanted || m_stop; });
        if (m_stop)
            return;
        m_wanted = false;
        UniqueFd fd(::dup(m_fd.get()));
        lock.unlock();
        if (fd.valid())
            ::syncfs(fd.get());
        lock.lock();
    }
}

void TransferOperation::removeSource(const QByteArray& path, const struct stat& was)
{
    struct stat now;
    if (!Lstat(path, &now))
        return;
    if (S_ISDIR(was.st_mode)) {
        // A moved folder goes only once it is empty: whatever was skipped or added keeps it.
        if (::rmdir(path.constData()) != 0 && errno != ENOTEMPTY && errno != EEXIST)
            addSkipped(path, Text(texts::SourceKept).arg(Shown(path), ErrnoMessage(errno)));
        return;
    }
    // Only what was copied goes: a file changed since then stays.
    if (now.st_dev != was.st_dev || now.st_ino != was.st_ino || now.st_size != was.st_size
        || now.st_mtim.tv_sec != was.st_mtim.tv_sec || now.st_mtim.tv_nsec != was.st_mtim.tv_nsec) {
        addSkipped(path, WithName(texts::ChangedWhileMoved, path));
        return;
    }
    if (::unlink(path.constData()) != 0)
        addSkipped(path, Text(texts::SourceKept).arg(Shown(path), ErrnoMessage(errno)));
}

void TransferOperation::removeMovedSources(const QByteArray& targetDir, size_t from)
{
    // The copy's name must be on the disk too before an original goes.
    UniqueFd dir(::open(targetDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid())
        ::syncfs(dir.get());
    // Files first, then folders from the deepest up.
    for (size_t i = from; i < m_movedSources.size(); ++i) {
        if (!S_ISDIR(m_movedSources[i].second.st_mode))
            removeSource(m_movedSources[i].first, m_movedSources[i].second);
    }
    for (size_t i = m_movedSources.size(); i > from; --i) {
        if (S_ISDIR(m_movedSources[i - 1].second.st_mode))
            removeSource(m_movedSources[i - 1].first, m_movedSources[i - 1].second);
    }
    m_movedSources.resize(from);
}

void TransferOperation::discardPending()
{
    for (const Pending& p : m_pending) {
        if (!p.tmp.isEmpty())
            ::unlink(p.tmp.constData());
    }
    m_pending.clear();
    m_syncFds.clear();
    m_pendingBytes = 0;
}

void TransferOperation::finishFolders()
{
    if (!m_pending.empty()) {
        if (isCancelled())
            discardPending();
        else
            flush();
    }
    finishFoldersFrom(0);
}

void TransferOperation::finishFoldersFrom(size_t from)
{
    // Children were recorded after their parents: the reverse sets each folder's times after
    // everything inside it has been placed.
    for (size_t i = m_folders.size(); i > from; --i) {
        const FolderDone& f = m_folders[i - 1];
        if (f.created) {
            // The same as a file's: owner, extended attributes (and so ACLs), mode and times.
            const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
            UniqueFd in(::open(f.origin.constData(), flags));
            UniqueFd out(::open(f.target.constData(), flags));
            if (out.valid())
                CopyAttributes(in.get(), out.get(), f.sourceStat, mode_t(-1), false);
        }
        // A moved folder goes only once it is empty: whatever was skipped or added keeps it.
        if (!f.source.isEmpty() && ::rmdir(f.source.constData()) != 0 && errno != ENOTEMPTY && errno != EEXIST
            && errno != ENOENT)
            addSkipped(f.source, Text(texts::SourceKept).arg(Shown(f.source), ErrnoMessage(errno)));
    }
    m_folders.resize(from);
}

} // namespace corvane::platform::fileops
