#pragma once
// The delete engine: deletes for good, also what the trash empties and prunes. Not for the user
// interface: it uses FileOperation.h and Trash.h.
#include "FileOperation.h"
#include "FileOperationNames.h"

#include <QByteArray>

#include <vector>

namespace corvane::platform::fileops {

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
