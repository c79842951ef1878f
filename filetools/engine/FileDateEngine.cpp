#include "FileDateEngine.h"

#include "FileToolsTexts.h"
#include "GroupRenameEngine.h"
#include "ToolJob.h"
#include "core/NameCodec.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace corvane::filetools {

namespace C = FileToolsConsts;

int SetModifiedTime(const QByteArray& path, std::time_t when)
{
    struct stat before {};
    if (::stat(path.constData(), &before) != 0)
        return errno;
    if (S_ISDIR(before.st_mode))
        return EISDIR;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    if (::utimensat(AT_FDCWD, path.constData(), times, 0) != 0)
        return errno;
    // Some file systems clamp a time they cannot hold (ext4 with small inodes stops at 2038,
    // FAT at 1980) instead of failing: read it back and put the old time back when it differs.
    struct stat after {};
    if (::stat(path.constData(), &after) == 0 && after.st_mtim.tv_sec != when) {
        const struct timespec undo[2] = {{0, UTIME_OMIT}, before.st_mtim};
        ::utimensat(AT_FDCWD, path.constData(), undo, 0);
        return EOVERFLOW;
    }
    return 0;
}

int RunFileDate(const DateRunInput& input, ToolJob& job)
{
    job.totals(0, input.names.size());
    int changed = 0;
    for (qsizetype i = 0; i < input.names.size() && !job.isCancelled(); ++i) {
        const QByteArray path = core::EncodeName(JoinToolPath(input.folder, input.names[i]));
        job.current(path);
        const int error = SetModifiedTime(path, input.when);
        if (error == 0) {
            ++changed;
        } else {
            QString message = QString(C::sUnableToSetDate) + input.shown.value(i, input.names[i]);
            if (error == EOVERFLOW)
                message += u'\n' + QString(C::sDateOutOfRange);
            job.report(message);
        }
        job.done(0, 1);
    }
    job.flush();
    return changed;
}

} // namespace corvane::filetools
