#include "BatchCopyEngine.h"

#include "FileToolsTexts.h"
#include "GroupRenameEngine.h"
#include "ToolJob.h"
#include "core/NameCodec.h"
#include "core/UniqueFd.h"
#include "platform/FileOperation.h"
#include "platform/FileOperationNames.h"
#include "platform/FileOperationTransfer.h"
#include "platform/Volumes.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

namespace corvane::filetools {

namespace C = FileToolsConsts;

namespace {

QByteArray Join(const QByteArray& folder, const QByteArray& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QByteArray RealPath(const QByteArray& path)
{
    char* real = ::realpath(path.constData(), nullptr);
    if (!real)
        return {};
    QByteArray out(real);
    std::free(real);
    return out;
}

bool IsFolder(int dirFd, const dirent* e)
{
    if (e->d_type != DT_UNKNOWN)
        return e->d_type == DT_DIR;
    struct stat st {};
    return ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// Returns true when a folder is left out somewhere below `folder`.
bool Walk(const QByteArray& folder, const QByteArray& destRoot, const QByteArray& volumeRoot, BatchFolders& out,
          const std::atomic<bool>* stop)
{
    core::DirStream dir = core::DirStream::open(folder.constData());
    if (!dir)
        return true;
    bool dot = false;
    while (const dirent* e = dir.next()) {
        if (stop && stop->load(std::memory_order_relaxed))
            return true;
        if (!IsFolder(dir.fd(), e))
            continue;
        if (e->d_name[0] == '.') {
            dot = true;
            continue;
        }
        const QByteArray sub = Join(folder, e->d_name);
        const std::size_t at = out.sources.size();
        out.sources.push_back(sub);
        out.targets.push_back(BatchTargetFolder(sub, destRoot, volumeRoot));
        out.ends.push_back(0);
        out.dotBelow.push_back(false);
        const bool below = Walk(sub, destRoot, volumeRoot, out, stop);
        out.ends[at] = out.sources.size();
        out.dotBelow[at] = below;
        dot = dot || below;
    }
    return dot;
}

std::vector<QByteArray> FilesOf(const QByteArray& folder)
{
    std::vector<QByteArray> files;
    core::DirStream dir = core::DirStream::open(folder.constData());
    if (!dir)
        return files;
    while (const dirent* e = dir.next()) {
        if (!IsFolder(dir.fd(), e))
            files.push_back(Join(folder, e->d_name));
    }
    return files;
}

} // namespace

bool ShFileOperation(const std::vector<QByteArray>& sources, const std::vector<QByteArray>& destinations,
                     int kind, unsigned flags, ToolJob& host)
{
    if (kind < FO_MOVE || kind > FO_RENAME || sources.empty())
        return false;
    flags &= ~FOF_WANTMAPPINGHANDLE;
    if (kind == FO_RENAME) {
        bool all = true;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const QByteArray to = i < destinations.size() ? destinations[i] : QByteArray();
            if (to.isEmpty() || platform::fileops::RenameNoReplace(sources[i], to) != 0) {
                host.report(QString(C::sUnableToRename) + core::ReadableName(sources[i]));
                all = false;
            }
        }
        return all;
    }
    std::unique_ptr<platform::FileOperation> op;
    if (kind == FO_DELETE) {
        op = platform::DeleteFiles(sources);
    } else {
        if (destinations.empty() || destinations.front().isEmpty())
            return false;
        if (flags & FOF_MULTIDESTFILES) {
            if (destinations.size() != sources.size())
                return false;
            std::vector<platform::fileops::TransferItem> items(sources.size());
            for (std::size_t i = 0; i < sources.size(); ++i) {
                items[i].source = platform::fileops::CleanPath(sources[i]);
                items[i].targetDir = platform::fileops::CleanPath(destinations[i]);
                items[i].targetName = core::BaseName(items[i].source);
            }
            op = std::make_unique<platform::fileops::TransferOperation>(
                kind == FO_COPY ? platform::FileOpKind::Copy : platform::FileOpKind::Move, std::move(items));
        } else {
            op = kind == FO_COPY ? platform::CopyFiles(sources, destinations.front())
                                 : platform::MoveFiles(sources, destinations.front());
        }
    }
    if (flags & FOF_NOCONFIRMATION) {
        op->setConflictHandler([](const platform::ConflictQuestion&) {
            return platform::ConflictAnswer{platform::ConflictAction::Replace, true};
        });
    }
    // The operation's counters are added to the host's as they grow.
    core::JobProgress counted;
    const auto forward = [&host, &counted](const core::JobProgress& p) {
        host.totals(p.totalBytes - counted.totalBytes, 0);
        host.done(p.doneBytes - counted.doneBytes, p.doneItems - counted.doneItems);
        counted = p;
    };
    op->setProgressHandler([&host, &forward, raw = op.get()](const core::JobProgress& p) {
        if (host.isCancelled())
            raw->cancel();
        forward(p);
    });
    if (host.isCancelled())
        return false;
    op->run();
    forward(op->progress());
    const platform::FileOpResult result = op->result();
    for (const platform::FileOpIssue& issue : result.skipped)
        host.report(QString(C::sUnableToCopy) + core::ReadableName(issue.path) + u'\n' + issue.message);
    if (result.status == platform::FileOpResult::Refused && !result.message.isEmpty())
        host.report(result.message);
    return result.status == platform::FileOpResult::Completed && result.skipped.empty();
}

QByteArray BatchTargetFolder(const QByteArray& folder, const QByteArray& destRoot, const QByteArray& volumeRoot)
{
    QByteArray below = folder;
    if (volumeRoot != "/" && (below == volumeRoot || below.startsWith(volumeRoot + '/')))
        below = below.mid(volumeRoot.size());
    while (below.startsWith('/'))
        below.remove(0, 1);
    QByteArray target = destRoot;
    if (!target.endsWith('/'))
        target += '/';
    return target + below;
}

BatchFolders ListBatchFolders(const QByteArray& source, const QByteArray& destRoot, const QByteArray& volumeRoot,
                              const std::atomic<bool>* stop)
{
    BatchFolders out;
    out.sources.push_back(source);
    out.targets.push_back(BatchTargetFolder(source, destRoot, volumeRoot));
    out.ends.push_back(0);
    out.dotBelow.push_back(false);
    out.dotBelow[0] = Walk(source, destRoot, volumeRoot, out, stop);
    out.ends[0] = out.sources.size();
    return out;
}

QString CheckBatchCopy(const QByteArray& source, const QByteArray& destRoot)
{
    const QByteArray realSource = source.isEmpty() ? QByteArray() : RealPath(source);
    if (realSource.isEmpty())
        return QString(C::sSelectSource);
    const QByteArray realDest = destRoot.isEmpty() ? QByteArray() : RealPath(destRoot);
    if (realDest.isEmpty())
        return QString(C::sSelectDestination);
    // The copy would land in the tree it is reading.
    if (realDest == realSource || realDest.startsWith(realSource == "/" ? realSource : realSource + '/'))
        return QString(C::sDestInsideSource);
    return {};
}

bool RunBatchCopy(const QByteArray& source, const QByteArray& destRoot, ToolJob& job)
{
    job.scanningState(true);
    const QByteArray clean = source.size() > 1 && source.endsWith('/') ? source.chopped(1) : source;
    const BatchFolders folders = ListBatchFolders(clean, destRoot, platform::VolumeRootOf(clean), &job.cancelFlag());
    job.scanningState(false);
    // A folder whose whole subtree goes in as one item is left to the copy engine when it is new:
    // the engine fills it under a hidden name and places it when complete, much faster than
    // merging its files one by one into a folder made beforehand. Only the folders above it are
    // made here, and the folders of a tree that holds a left-out "." folder somewhere below.
    std::vector<QByteArray> files;
    std::vector<QByteArray> targets;
    for (std::size_t i = 0; i < folders.sources.size() && !job.isCancelled();) {
        const QByteArray& target = folders.targets[i];
        const bool wholeTree = !folders.dotBelow[i] && !target.endsWith('/');
        if (platform::fileops::MakePath(wholeTree ? core::ParentOf(target) : target, 0777) != 0) {
            job.report(QString(C::sUnableToCreateFolder) + core::ReadableName(target));
        } else if (wholeTree) {
            files.push_back(folders.sources[i]);
            targets.push_back(core::ParentOf(target));
        } else {
            for (QByteArray& file : FilesOf(folders.sources[i])) {
                files.push_back(std::move(file));
                targets.push_back(target);
            }
        }
        // A whole tree is one item; nothing below it is looked at again.
        i = wholeTree ? folders.ends[i] : i + 1;
    }
    job.totals(0, qint64(files.size()));
    if (!files.empty() && !job.isCancelled())
        ShFileOperation(files, targets, FO_COPY, FOF_NOCONFIRMATION | FOF_MULTIDESTFILES, job);
    job.flush();
    return !job.isCancelled();
}

} // namespace corvane::filetools
