#include "DestroyEngine.h"

#include "FileToolsTexts.h"
#include "ToolJob.h"
#include "core/NameCodec.h"
#include "core/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace corvane::filetools {

namespace C = FileToolsConsts;

namespace {

// File systems that write a changed block elsewhere (copy-on-write or log-structured).
bool OverwritesElsewhere(const QByteArray& path)
{
    struct statfs fs {};
    if (::statfs(path.constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x9123683EUL:  // btrfs
    case 0x2FC12FC1UL:  // ZFS
    case 0xF2F52010UL:  // F2FS
    case 0x3434UL:      // NILFS
    case 0xCA451A4EUL:  // bcachefs
        return true;
    default:
        return false;
    }
}

// A lease break is signalled to the lease holder with SIGIO, which ends a process by default.
// Another program that opens the file meanwhile simply waits until the passes are over.
void IgnoreLeaseBreaks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGIO, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGIO, SIG_IGN);
    });
}

enum class Passes { Done, Failed, Cancelled };

Passes Overwrite(int fd, qint64 size, ToolJob& job)
{
    constexpr qint64 chunk = 1 << 20;
    static const QByteArray filler(chunk, char(DestroyFiller));
    for (int pass = 0; pass < DestroyPasses; ++pass) {
        for (qint64 at = 0; at < size;) {
            if (job.isCancelled())
                return Passes::Cancelled;
            const ssize_t n = ::pwrite(fd, filler.constData(), size_t(std::min(chunk, size - at)), at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return Passes::Failed;
            at += n;
            job.done(n, 0);
        }
        // Each pass reaches the disk before the next one rewrites the same blocks.
        if (::fdatasync(fd) != 0)
            return Passes::Failed;
    }
    return Passes::Done;
}

} // namespace

DestroySurvey SurveyDestroy(const std::vector<QByteArray>& paths)
{
    DestroySurvey s;
    s.files = int(paths.size());
    for (const QByteArray& path : paths) {
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0)
            continue;
        if (!S_ISREG(st.st_mode)) {
            ++s.notRegular;
            continue;
        }
        s.bytes += st.st_size;
        if (st.st_nlink > 1)
            ++s.hardLinked;
        if (OverwritesElsewhere(path))
            ++s.copyOnWrite;
    }
    return s;
}

QString DestroyConfirmText(const DestroySurvey& s)
{
    QString text = QString(C::sYouHaveSelected) + QString::number(s.files) + C::sFilesToDestroy + u'\n'
        + C::sNoWayToRecover + u'\n';
    if (s.hardLinked)
        text += QString::number(s.hardLinked) + C::sHardLinked + u'\n';
    if (s.copyOnWrite)
        text += QString::number(s.copyOnWrite) + C::sCopyOnWrite + u'\n';
    if (s.notRegular)
        text += QString::number(s.notRegular) + C::sNotRegular + u'\n';
    return text + C::sProceed;
}

DestroyOutcome DestroyFile(const QByteArray& path, ToolJob& job)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return DestroyOutcome::Failed;
    if (S_ISDIR(st.st_mode))
        return DestroyOutcome::Failed;
    if (!S_ISREG(st.st_mode))
        return ::unlink(path.constData()) == 0 ? DestroyOutcome::Destroyed : DestroyOutcome::Failed;

    // O_NONBLOCK: should the name have become a pipe since, opening it does not hang.
    core::UniqueFd fd(::open(path.constData(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return DestroyOutcome::Failed;
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != st.st_dev
        || opened.st_ino != st.st_ino)
        return DestroyOutcome::Failed;
    // A write lease is granted only while nobody else has the file open. Where the file system
    // or the file's owner allows no lease, the check cannot be made and the passes go on.
    IgnoreLeaseBreaks();
    if (::fcntl(fd.get(), F_SETLEASE, F_WRLCK) != 0 && (errno == EAGAIN || errno == EBUSY))
        return DestroyOutcome::Failed;

    const Passes passes = Overwrite(fd.get(), opened.st_size, job);
    ::fcntl(fd.get(), F_SETLEASE, F_UNLCK);
    fd.reset();
    if (passes == Passes::Cancelled)
        return DestroyOutcome::Cancelled;
    if (passes == Passes::Failed)
        return DestroyOutcome::Failed;
    return ::unlink(path.constData()) == 0 ? DestroyOutcome::Destroyed : DestroyOutcome::Failed;
}

int RunDestroy(const std::vector<QByteArray>& paths, ToolJob& job)
{
    job.scanningState(true);
    const DestroySurvey survey = SurveyDestroy(paths);
    job.scanningState(false);
    if (!job.confirm(DestroyConfirmText(survey)))
        return -1;
    job.totals(survey.bytes * DestroyPasses, qint64(paths.size()));
    int destroyed = 0;
    for (const QByteArray& path : paths) {
        if (job.isCancelled())
            break;
        job.current(path);
        const DestroyOutcome outcome = DestroyFile(path, job);
        if (outcome == DestroyOutcome::Cancelled)
            break;
        if (outcome == DestroyOutcome::Destroyed)
            ++destroyed;
        else
            job.report(QString(C::sUnableToDelete) + core::ReadableName(path));
        job.done(0, 1);
    }
    job.flush();
    return destroyed;
}

} // namespace corvane::filetools
