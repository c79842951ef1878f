#include "FileOperationData.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace corvane::platform::fileops {

namespace {

// Large enough to keep the kernel busy, small enough to check for cancel a few times a second
// on a slow disk.
constexpr off_t CopyChunk = off_t(8) << 20;
constexpr size_t BufferSize = size_t(1) << 20;
// Writeback runs one window behind the copy so the final sync has little left to do.
constexpr qint64 WritebackStep = qint64(32) << 20;
constexpr off_t PreallocateFrom = off_t(1) << 20;

bool targetSideError(int e)
{
    return e == ENOSPC || e == EDQUOT || e == EFBIG || e == EROFS;
}

// Extended attributes, POSIX ACLs among them. Set before the mode: a read-only copy no longer
// takes them from its owner.
void copyXattrs(int in, int out)
{
    char small[1024];
    ssize_t len = ::flistxattr(in, small, sizeof small);
    std::vector<char> names;
    if (len < 0 && errno == ERANGE) {
        len = ::flistxattr(in, nullptr, 0);
        if (len > 0) {
            names.resize(size_t(len));
            len = ::flistxattr(in, names.data(), names.size());
        }
    } else if (len > 0) {
        names.assign(small, small + len);
    }
    for (ssize_t i = 0; len > 0 && i < len; i += ssize_t(std::strlen(names.data() + i)) + 1) {
        const char* name = names.data() + i;
        ssize_t vlen = ::fgetxattr(in, name, nullptr, 0);
        if (vlen < 0)
            continue;
        std::vector<char> value(size_t(vlen) + 1);
        vlen = ::fgetxattr(in, name, value.data(), value.size());
        if (vlen >= 0)
            ::fsetxattr(out, name, value.data(), size_t(vlen), 0);
    }
}

} // namespace

void CopyAttributes(int in, int out, const struct stat& st, mode_t createdMode, bool ownerMatches)
{
    bool owned = ownerMatches || ::fchown(out, st.st_uid, st.st_gid) == 0;
    if (!owned)
        owned = ::fchown(out, uid_t(-1), st.st_gid) == 0 && st.st_uid == ::geteuid();
    if (in >= 0)
        copyXattrs(in, out);
    mode_t mode = st.st_mode & 07777;
    // Set-id bits only stay with the owner and group they were meant for.
    if (!owned)
        mode &= ~mode_t(S_ISUID | S_ISGID);
    if (mode != createdMode)
        ::fchmod(out, mode);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
}

FileDataCopier::Result FileDataCopier::copy(int in, int out, const struct stat& st, qint64* copied)
{
    const off_t size = st.st_size;
    const bool sparse = size > 0 && off_t(st.st_blocks) * 512 < size;
    if (size >= PreallocateFrom && !sparse) {
        // Reserving the space first makes a full disk fail at once instead of after gigabytes.
        if (::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && (errno == ENOSPC || errno == EDQUOT))
            return {errno, false};
    }
    if (sparse) {
        // Only the data runs are copied, so holes stay holes.
        off_t pos = 0;
        for (;;) {
            off_t data = ::lseek(in, pos, SEEK_DATA);
            if (data < 0) {
                if (errno == ENXIO)
                    break;
                if (pos == 0) {
                    // No hole support: copy all.
                    Result e = copyRange(in, out, 0, -1, copied);
                    e.shrank = e.error == 0 && *copied < size;
                    return e;
                }
                return {errno, true};
            }
            off_t hole = ::lseek(in, data, SEEK_HOLE);
            if (hole < 0)
                return {errno, true};
            if (Result e = copyRange(in, out, data, hole - data, copied); e.error)
                return e;
            pos = hole;
        }
        // A source cut short ends its data early, and the copy would have a hole for its end.
        struct stat now;
        if (::fstat(in, &now) == 0 && now.st_size < size)
            return {0, true, true};
        if (::ftruncate(out, size) != 0)
            return {errno, false};
        return {};
    }
    // The size seen at opening bounds the copy: no extra call just to meet the end of the file.
    Result e = copyRange(in, out, 0, size > 0 ? size : -1, copied);
    if (e.error == 0 && size > 0 && *copied < size)
        e.shrank = true;
    return e;
}

FileDataCopier::Result FileDataCopier::copyRange(int in, int out, off_t offset, off_t length, qint64* copied)
{
    off_t inPos = offset;
    off_t outPos = offset;
    off_t kicked = offset;
    off_t waited = offset;
    bool useCfr = !m_noCopyFileRange;
    const off_t end = length < 0 ? -1 : offset + length;
    for (;;) {
        if (m_cancel.load(std::memory_order_relaxed))
            return {ECANCELED, false};
        off_t want = end < 0 ? CopyChunk : std::min(CopyChunk, end - inPos);
        if (want <= 0)
            break;
        ssize_t n;
        if (useCfr) {
            n = ::copy_file_range(in, &inPos, out, &outPos, size_t(want), 0);
            if (n < 0) {
                int e = errno;
                if (e == EINTR)
                    continue;
                // Not supported between these two files: plain reads and writes from here on.
                if (e == EXDEV || e == EINVAL || e == ENOSYS || e == EOPNOTSUPP || e == EBADF || e == EPERM) {
                    if (e == ENOSYS)
                        m_noCopyFileRange = true;
                    useCfr = false;
                    continue;
                }
                return {e, !targetSideError(e)};
            }
            // Some file systems report no data where there is some (/proc): check with read().
            if (n == 0 && inPos == 0) {
                useCfr = false;
                continue;
            }
        } else {
            if (m_buffer.empty())
                m_buffer.resize(BufferSize);
            n = ::pread(in, m_buffer.data(), size_t(std::min<off_t>(want, off_t(m_buffer.size()))), inPos);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return {errno, true};
            }
            for (ssize_t written = 0; written < n;) {
                ssize_t w = ::pwrite(out, m_buffer.data() + written, size_t(n - written), outPos + written);
                if (w < 0) {
                    if (errno == EINTR)
                        continue;
                    return {errno, false};
                }
                written += w;
            }
            inPos += n;
            outPos += n;
        }
        if (n == 0)
            break;  // end of the file
        *copied += n;
        if (outPos - kicked >= WritebackStep) {
            // Write this window out now and wait for the one before: a large file never piles up
            // gigabytes for the final sync, and the progress shows what the disk really takes.
            ::sync_file_range(out, kicked, outPos - kicked, SYNC_FILE_RANGE_WRITE);
            if (waited < kicked)
                ::sync_file_range(out, waited, kicked - waited,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
            waited = kicked;
            kicked = outPos;
        }
        m_onCopied(n);
    }
    return {};
}

} // namespace corvane::platform::fileops
