#pragma once
// Internals shared by the file-operation jobs and the trash: the transfer (copy, move, restore)
// and delete engines, and small POSIX helpers. Not for the UI: it uses FileOperation.h and Trash.h.
#include "FileOperation.h"
#include "core/PathText.h"
#include "core/UniqueFd.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane::platform::fileops {

// The trash's code still spells the core's descriptor owner and path joining this way.
using Fd = core::UniqueFd;
inline QByteArray JoinPath(const QByteArray& dir, QByteArrayView name)
{
    return core::JoinRawPath(dir, name);
}

// The names in a folder without "." and ".."; false when it cannot be read.
bool EntryNames(const QByteArray& dir, std::vector<QByteArray>& names);
// Absolute, without trailing slashes.
QByteArray CleanPath(const QByteArray& path);
QString ErrnoMessage(int error);
QString Shown(const QByteArray& path);  // readable file name for messages
// A name in `dir` that is free: numbered ("a (2).txt") or, with copyStyle, "a (copy).txt".
QByteArray FreeName(const QByteArray& dir, const QByteArray& name, bool isFolder, bool copyStyle);
// The name cut to `limit` bytes, keeping its extension.
QByteArray ShortenName(const QByteArray& name, bool isFolder, qsizetype limit);
// rename(2) that never replaces; falls back where the file system lacks RENAME_NOREPLACE.
int RenameNoReplace(const QByteArray& from, const QByteArray& to);
// Removes a tree this job made itself (a hidden partial folder); no questions.
void RemoveTree(const QByteArray& path);
// Creates the folder and its missing parents.
int MakePath(const QByteArray& path, mode_t mode);

// Folders as the file system knows them (device and inode), whatever path shows them.
using FolderIds = std::vector<std::pair<dev_t, ino_t>>;
bool Contains(const FolderIds& ids, const struct stat& st);
// The folder and every folder above it; for a folder that does not exist yet (a restore's
// target), the nearest one that does and those above it.
FolderIds FoldersUpFrom(QByteArray dir);

struct TransferItem {
    QByteArray source;
    QByteArray targetDir;
    QByteArray targetName;
    QByteArray companion;  // removed once the source is gone (a restored item's .trashinfo)
    // Found by the job: whether a move is a rename, and the folders that hold the source and
    // the target folder (a copy of a folder never enters them again).
    bool sameDevice = false;
    FolderIds holdsSource;
    FolderIds holdsTarget;
};

// Copy and move (also a restore from the trash, which is a move that creates missing folders).
class TransferOperation : public FileOperation
{
public:
    TransferOperation(FileOpKind kind, std::vector<TransferItem> items);

protected:
    void execute() override;

private:
    enum class Step { Ok, Skipped, Cancelled };
    struct Pending {
        QByteArray tmp;  // a named temporary file; empty for an unnamed one held in `file`
        core::UniqueFd file;  // an unnamed file (O_TMPFILE), linked to its name once durable
        QByteArray target;
        bool replace = false;
        QByteArray source;   // removed once the copy is durable (moves)
        struct stat sourceStat {};
    };
    struct FolderDone {
        QByteArray target;
        struct stat sourceStat {};
        bool created = false;  // merged folders keep their own attributes
        QByteArray source;     // removed when empty (moves)
        QByteArray origin;     // the folder copied, whose attributes a created one takes
    };
    struct CopyError {
        int error = 0;
        bool onSource = false;
        bool shrank = false;  // the source became shorter while it was read: the copy is short
    };

    bool validate();
    void scan();
    void transferItem(TransferItem& item);
    Step transfer(const QByteArray& src, const struct stat& st, const QByteArray& dstDir, QByteArray name,
                  bool checkConflict, QByteArray* placed);
    Step copyFolder(const QByteArray& src, const struct stat& st, const QByteArray& dst, bool merge);
    Step copyNewFolder(const QByteArray& src, const struct stat& st, const QByteArray& dstDir, QByteArray name,
                       QByteArray* placed);
    using Names = std::vector<std::pair<QByteArray, unsigned char>>;  // name and d_type
    bool listFolder(const QByteArray& src, const struct stat& st, Names* names, Step* step);
    Step fillFolder(const QByteArray& src, const struct stat& st, const QByteArray& dst, bool merge,
                    const Names& names);
    // `known` is the source's lstat when the caller has it.
    Step copyFile(const QByteArray& src, const struct stat* known, const QByteArray& dst, bool replace);
    Step copySymlink(const QByteArray& src, const struct stat& st, const QByteArray& dst, bool replace);
    CopyError copyData(int in, int out, const struct stat& st, qint64* copied);
    CopyError copyRange(int in, int out, off_t offset, off_t length, qint64* copied);
    // Waits for the batch's sync: the copy (named tmp, or the unnamed `out`) and, for a move,
    // the source that goes once the copy is on the disk.
    void queue(const QByteArray& tmp, const QByteArray& target, bool replace, const QByteArray& source,
               const struct stat& sourceStat, core::UniqueFd out, qint64 bytes);
    void flush();
    void finishFolders();
    void finishFoldersFrom(size_t from);
    void removeSource(const QByteArray& path, const struct stat& was);
    void removeMovedSources(const QByteArray& targetDir, size_t from);
    void discardPending();
    void measure(const QByteArray& path, const struct stat& st, qint64* bytes, qint64* items);
    void countSkipped(const QByteArray& path, const struct stat& st);
    // Why a folder below the item must not be entered (a text), or null.
    const char* leadsBack(const struct stat& folder) const;

    std::vector<TransferItem> m_items;
    const TransferItem* m_item = nullptr;  // the one being worked on
    FolderIds m_copying;                   // the source folders being copied, outermost first
    const bool m_move;
    const bool m_createTargets;
    std::vector<Pending> m_pending;
    std::vector<std::pair<dev_t, core::UniqueFd>> m_syncFds;
    qint64 m_pendingBytes = 0;
    qint64 m_pendingSinceNs = 0;
    std::vector<FolderDone> m_folders;
    std::vector<char> m_buffer;
    bool m_noCopyFileRange = false;
    bool m_tryRename = false;  // a move within one volume
    bool m_unnamedTemps = true;
    uid_t m_euid = 0;
    gid_t m_egid = 0;
    mode_t m_umask = 022;
    bool m_umaskKnown = false;
    bool m_groupInherited = false;  // new files take the folder's group (set-group-id folder)
    qint64 m_unsyncedBytes = 0;
    qint64 m_lastSyncKickNs = 0;

    // Starts writing finished files to the disk while the copy goes on; one thread per job.
    class Syncer
    {
    public:
        ~Syncer() { stop(); }
        void kick(int fd);
        void stop();

    private:
        void loop();
        std::mutex m_mutex;
        std::condition_variable m_cv;
        core::UniqueFd m_fd;
        bool m_wanted = false;
        bool m_stop = false;
        std::thread m_thread;
    } m_syncer;
    int m_direct = 0;  // depth inside a new folder that is still hidden
    // Moves into new folders: the originals that go once the copy is in place (files and
    // folders in the order they were copied).
    std::vector<std::pair<QByteArray, struct stat>> m_movedSources;
    size_t m_batchFiles = 0;
};

struct DeleteItem {
    QByteArray path;
    QByteArray companion;  // removed after the item (a trashed item's .trashinfo)
};

// Delete for good; also empties and prunes the trash.
class DeleteOperation : public FileOperation
{
public:
    // forceWritable: folders the user owns but cannot write are opened up so they can be emptied
    // (the trash holds whatever was thrown in, read-only folders too).
    DeleteOperation(FileOpKind kind, std::vector<DeleteItem> items, bool forceWritable = false);

protected:
    void execute() override;
    // Runs on the job's thread before anything is deleted; may add items.
    virtual void collect() {}
    std::vector<DeleteItem> m_items;

private:
    enum class Step { Ok, Skipped, Cancelled };
    Step remove(const QByteArray& path);
    qint64 count(const QByteArray& path);  // items, the path's own included

    const bool m_forceWritable;
    std::vector<FolderIds> m_holders;      // per item: the folders above it
    const FolderIds* m_holding = nullptr;  // the current item's
    FolderIds m_emptying;                  // the folders being emptied, outermost first
};

} // namespace corvane::platform::fileops
