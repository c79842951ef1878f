#pragma once
// The scan behind the folder sizes report: every folder below the chosen roots with the files
// directly in it and in its whole subtree. It runs as a job in three passes (the folder list,
// the files of each folder, the subfolder totals), spreads the first two over the cores, never
// follows a symbolic link, never loops through a bind mount, and leaves out folders whose names
// begin with "." together with everything below them. A folder that cannot be read counts
// nothing.
#include "core/Job.h"

#include <QByteArray>

#include <sys/types.h>

#include <vector>

namespace corvane::reports {

struct FolderRow {
    QByteArray path;   // raw bytes, without a trailing "/" except for "/" itself
    int parent = -1;   // the row of the folder holding it; -1 for a root
    qint64 files = 0;  // entries directly in the folder that are not folders
    qint64 bytes = 0;
    qint64 treeFiles = 0;  // the same for the folder and everything below it
    qint64 treeBytes = 0;
    dev_t dev = 0;
    ino_t ino = 0;
};

struct FolderScanOptions {
    // Off by default, as with du: a volume mounted inside the tree is part of it.
    bool oneFileSystem = false;
    int threads = 2;
};

class FolderSizeJob : public core::Job
{
    Q_OBJECT
public:
    explicit FolderSizeJob(std::vector<QByteArray> roots, FolderScanOptions options = {}, QObject* parent = nullptr);

    // The rows in the order found (a folder before its subfolders), once the job has finished
    // without being cancelled; empty otherwise.
    std::vector<FolderRow> TakeRows();

protected:
    void execute() override;

private:
    void listFolders();
    void totalFolders();
    void subtotal();

    std::vector<QByteArray> m_roots;
    FolderScanOptions m_options;
    std::vector<FolderRow> m_rows;
    bool m_complete = false;
};

// Opens a folder for reading without following a link in its last part; paths longer than the
// system takes in one call are opened a piece at a time.
int OpenFolder(const QByteArray& path, bool followLink = false);

} // namespace corvane::reports
