#pragma once
// The freedesktop.org trash: the home trash ($XDG_DATA_HOME/Trash) for items on the home volume,
// $topdir/.Trash/$uid or $topdir/.Trash-$uid on other volumes. Each trashed item has a
// files/NAME and an info/NAME.trashinfo giving its original path and deletion time.
#include "FileOperation.h"

#include <QByteArray>
#include <QDateTime>
#include <memory>
#include <vector>

namespace corvane::platform {

struct TrashEntry {
    QByteArray trashFolder;   // the trash that holds it
    QByteArray name;          // its name in files/; the info file adds ".trashinfo"
    QByteArray originalPath;  // absolute raw path; empty when its info gives no usable one
    QDateTime deletionDate;   // local time; invalid when the info has none
    qint64 size = 0;          // bytes; a folder's files summed when listed with folder sizes
    bool isFolder = false;

    QByteArray filesPath() const;
    QByteArray infoPath() const;
};

// $XDG_DATA_HOME/Trash.
QByteArray HomeTrashPath();
// This user's trash folders that exist: the home trash, then those on local mounted volumes.
std::vector<QByteArray> TrashFolders();
// Everything in those trash folders: what Empty Trash would delete. An item whose info file is
// missing or unreadable has no original path. Folder sizes walk each folder.
std::vector<TrashEntry> ListTrash(bool folderSizes = true);

// Where a path lies among this user's trash folders (links on the way resolved, the last
// component itself not followed).
enum class TrashPlace {
    Outside,
    FilesFolder,  // the files folder of a trash
    Item,         // an item in the trash: its entry holds its info
    InsideItem,   // inside a trashed folder
};
TrashPlace TrashPlaceOf(const QByteArray& path);
// The entry of an item directly in a trash's files folder, its info read; false for any other path.
bool TrashEntryOf(const QByteArray& path, TrashEntry* out);
// The entry of files/NAME in the trash folder `root` as ListTrash() gives it, without checking
// that `root` is one of TrashFolders(): for showing items, never for acting on them.
bool ReadTrashEntry(const QByteArray& root, const QByteArray& name, TrashEntry* out);

// The trash that would take the item (created when missing); empty when its volume has none,
// so the UI can offer deleting for good.
QByteArray TrashFolderFor(const QByteArray& path);

// The .trashinfo format. `pathValue` is what the Path key holds before percent-encoding:
// absolute in the home trash, relative to the volume's top folder elsewhere. A relative value
// starts from the folder that holds the trash's own folder: $XDG_DATA_HOME for the home trash,
// the volume's top folder for $topdir/.Trash-$uid and $topdir/.Trash/$uid.
QByteArray FormatTrashInfo(const QByteArray& pathValue, const QDateTime& deletionDate);
// False when the text is no trash info (no [Trash Info] group or no Path).
bool ParseTrashInfo(const QByteArray& text, QByteArray* pathValue, QDateTime* deletionDate);

// Moves items to the trash. Items whose volume has no usable trash (none can be made, or it is
// a system or network volume whose trash the Trash folder does not show) are listed in the
// result's noTrash (and skipped) and stay where they are.
std::unique_ptr<FileOperation> TrashFiles(std::vector<QByteArray> paths);
// Moves entries back to their original paths, creating missing folders. A name clash there is a
// conflict question (replace, skip, keep both).
std::unique_ptr<FileOperation> RestoreFromTrash(std::vector<TrashEntry> entries);
// Moves files into a folder as MoveFiles() does. An item that is taken out of a trash (cut or
// dragged in another program) takes its info file along: it goes once the item is out.
std::unique_ptr<FileOperation> MoveFilesWithTrashInfo(std::vector<QByteArray> sources, const QByteArray& targetFolder);
// Deletes entries for good, with their info files.
std::unique_ptr<FileOperation> DeleteFromTrash(std::vector<TrashEntry> entries);
// Deletes everything in every trash folder of this user.
std::unique_ptr<FileOperation> EmptyTrash();

} // namespace corvane::platform
