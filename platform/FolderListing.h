#pragma once
// Reading one shell folder for a file list, off the user-interface thread: the folder is bound,
// enumerated and its items admitted by the include filter in one pass, with their attributes,
// size and time captured as numbers once. Showing the items later never asks the disk again,
// which may be a share that stopped answering.
#include "Namespace.h"
#include "core/Job.h"

#include <QCollator>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::platform {

// The folder of an absolute list, bound from the desktop.
HResult BindToFolder(const PItemIDList& abs, ShellFolderPtr& out);

struct FolderListingRequest {
    PItemIDList abs;
    std::uint32_t enumFlags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS;
    std::uint32_t attributeMask = 0;
    // Include patterns for files (folders always pass); empty admits every file.
    QStringList patterns;
    // Also the folder's own column headers.
    bool columns = true;
    // The items a list shows already, compared by their bytes (inside the file system the bytes
    // are the name): the listing then holds only the items not among them, and names those of
    // them that are gone.
    std::vector<PItemIDList> known;
    // Also each item's sort key of its name, in the list's natural order.
    bool nameKeys = false;
};

struct ListedItem {
    PItemIDList rel;
    std::uint32_t attributes = 0;  // of the requested mask
    qint64 size = -1;              // -1 for folders and what shows no size
    qint64 modified = 0;           // seconds since the epoch, when hasModified
    bool hasModified = false;
    std::optional<QCollatorSortKey> nameKey;
};

struct FolderListing {
    PItemIDList abs;
    HResult bindResult = S_OK;       // a failure: nothing else was read
    HResult enumStartResult = S_OK;  // the enumeration could not start: no items
    HResult enumResult = S_OK;       // the enumeration failed part-way: the items read so far
    ShellFolderPtr folder;           // bound by the listing, for the list to keep
    std::shared_ptr<IShellDetails> details;
    std::vector<ShellDetails> columns;
    std::vector<ListedItem> items;  // with known items: only the new ones
    std::vector<PItemIDList> gone;  // known items no longer there
    // The folders on disk whose changes change this listing: the folder itself, or for the
    // Trash the trash folders of the mounted volumes; none outside the file system.
    std::vector<QByteArray> watchPaths;
    bool comparedWithKnown = false;
    bool cancelled = false;
};

// Names in the order users expect: numbers by value, case ignored, natural for the C locale too.
QCollator NameCollator();

// Reads the folder on the calling thread; stops early when `cancel` is set.
FolderListing ListFolder(const FolderListingRequest& request, const std::atomic<bool>& cancel);

class FolderListingJob : public core::Job
{
    Q_OBJECT
public:
    explicit FolderListingJob(FolderListingRequest request) : m_request(std::move(request)) {}
    // The listing, once finished; taken once.
    FolderListing TakeResult();

protected:
    void execute() override;

private:
    const FolderListingRequest m_request;
    FolderListing m_result;  // guarded by resultMutex()
};

} // namespace corvane::platform
