#pragma once
// The copy engine: copy, move and restore from the trash. Files are copied under no name (or a
// hidden one) and take their names only once their data is on the disk; a new folder is filled
// under a hidden name and takes its own once complete. Not for the user interface: it uses
// FileOperation.h and Trash.h.
#include "FileOperation.h"
#include "FileOperationData.h"
#include "FileOperationNames.h"
#include "core/UniqueFd.h"

#include <QByteArray>

#include <sys/stat.h>
#include <sys/types.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace corvane::platform::fileops {

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
    QByteArray shownPath(const QByteArray& path) const override;

private:
    enum class Step { Ok, Skipped, Cancelled };
    struct Pending {
        QByteArray tmp;       // a named temporary file; empty for an unnamed one held in `file`
        core::UniqueFd file;  // an unnamed file (O_TMPFILE), linked to its name once durable
        QByteArray target;
        bool replace = false;
        QByteArray source;    // removed once the copy is durable (moves)
        struct stat sourceStat {};
    };
    struct FolderDone {
        QByteArray target;
        struct stat sourceStat {};
        bool created = false;  // merged folders keep their own attributes
        QByteArray source;     // removed when empty (moves)
        QByteArray origin;     // the folder copied, whose attributes a created one takes
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
    FileDataCopier m_data;
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
    // The hidden folders being filled, each with the path it will take.
    std::vector<std::pair<QByteArray, QByteArray>> m_hidden;
    // Moves into new folders: the originals that go once the copy is in place (files and
    // folders in the order they were copied).
    std::vector<std::pair<QByteArray, struct stat>> m_movedSources;
    size_t m_batchFiles = 0;
};

} // namespace corvane::platform::fileops
