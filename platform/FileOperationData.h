#pragma once
// The contents and attributes of one file, for the copy engine. Bytes go by copy_file_range where
// the kernel can (the file system may then share or copy them itself), by reads and writes
// elsewhere; holes stay holes, and written data goes to the disk one window behind the copy.
#include <QtGlobal>

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <functional>
#include <vector>

namespace corvane::platform::fileops {

class FileDataCopier
{
public:
    struct Result {
        int error = 0;  // errno; ECANCELED when the cancel flag stopped the copy
        bool onSource = false;
        bool shrank = false;  // the source became shorter while it was read: the copy is short
    };

    // `copied` hears every block's bytes as they are written; `cancel` is seen between blocks.
    FileDataCopier(const std::atomic<bool>& cancel, std::function<void(qint64)> copied)
        : m_cancel(cancel), m_onCopied(std::move(copied))
    {
    }

    // Copies the file open as `in`, whose status is `st`, into the empty `out`. `copied` counts
    // the bytes written, also when the copy fails.
    Result copy(int in, int out, const struct stat& st, qint64* copied);

private:
    Result copyRange(int in, int out, off_t offset, off_t length, qint64* copied);

    const std::atomic<bool>& m_cancel;
    std::function<void(qint64)> m_onCopied;
    std::vector<char> m_buffer;
    bool m_noCopyFileRange = false;
};

// Owner, extended attributes, mode and times of the source `st`, whose extended attributes are
// read from `in` (none when it is -1). `createdMode` is the mode the new file or folder already
// has and `ownerMatches` says it already has the right owner: each call spared counts when
// copying many small files.
void CopyAttributes(int in, int out, const struct stat& st, mode_t createdMode, bool ownerMatches);

} // namespace corvane::platform::fileops
