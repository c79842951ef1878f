#pragma once
// Batch copy without widgets: a folder tree copied below a destination root that repeats the
// source's whole path under the root of its volume, and the shell file-operation routine that
// the copy uses, on the file-operation engine (no partial target is ever left).
//
// Paths are raw bytes (file names need not be UTF-8).
#include <QByteArray>
#include <QString>

#include <atomic>
#include <vector>

namespace corvane::filetools {

class ToolJob;

// The shell routine's kinds and the flags it knows.
enum ShellFileOpKind { FO_MOVE = 1, FO_COPY = 2, FO_DELETE = 3, FO_RENAME = 4 };
inline constexpr unsigned FOF_MULTIDESTFILES = 0x1;
inline constexpr unsigned FOF_NOCONFIRMATION = 0x10;
inline constexpr unsigned FOF_WANTMAPPINGHANDLE = 0x20;

// Runs one file operation on the calling thread as part of `host`, whose cancel stops it and
// whose progress it advances; each item it could not do is reported through `host`. The names
// travel as a list, so a name may hold any byte but NUL. Copy and move take one destination
// folder, or with FOF_MULTIDESTFILES one destination folder per source; rename takes one new path
// per source. Kinds outside 1..4 and an empty source list
// return false at once. True when every item was done and nothing was cancelled.
bool ShFileOperation(const std::vector<QByteArray>& sources, const std::vector<QByteArray>& destinations,
                     int kind, unsigned flags, ToolJob& host);

struct BatchFolders {
    std::vector<QByteArray> sources;  // the source and every folder below it, depth first
    std::vector<QByteArray> targets;  // the destination folder of each
    std::vector<std::size_t> ends;    // one past the last folder below each
    std::vector<bool> dotBelow;       // a folder left out lies somewhere below
};

// The destination folder of a source folder: the root, then the folder's path below the root of
// the volume that holds it.
QByteArray BatchTargetFolder(const QByteArray& folder, const QByteArray& destRoot, const QByteArray& volumeRoot);
// The folders of the copy, depth first; folders whose names begin with "." are left out, and a
// link to a folder is not followed (it is copied as a link).
BatchFolders ListBatchFolders(const QByteArray& source, const QByteArray& destRoot, const QByteArray& volumeRoot,
                              const std::atomic<bool>* stop = nullptr);
// The checks before a run: the message, or an empty text.
QString CheckBatchCopy(const QByteArray& source, const QByteArray& destRoot);

// The whole copy: folders first, then the files of every folder, each into its folder's
// destination, in one copy operation (so the data reaches the disk in few syncs) that replaces
// existing files without asking. A folder with no folder left out below it goes in as one item.
// Returns false when cancelled.
bool RunBatchCopy(const QByteArray& source, const QByteArray& destRoot, ToolJob& job);

} // namespace corvane::filetools
