#pragma once
// Names and paths for the file-operation jobs and the trash: free names for new items, clean
// paths, a file's name in messages, and the small POSIX steps they share. Not for the user
// interface: it uses FileOperation.h and Trash.h.
#include "core/PathText.h"
#include "core/UniqueFd.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

#include <utility>
#include <vector>

namespace corvane::platform::fileops {

// The trash's code still spells the core's descriptor owner and path joining this way.
using Fd = core::UniqueFd;
inline QByteArray JoinPath(const QByteArray& dir, QByteArrayView name)
{
    return core::JoinRawPath(dir, name);
}

inline bool Lstat(const QByteArray& path, struct stat* st)
{
    return ::lstat(path.constData(), st) == 0;
}

// The names in a folder without "." and ".."; false when it cannot be read (errno says why).
bool EntryNames(const QByteArray& dir, std::vector<QByteArray>& names);
// Absolute, without trailing slashes.
QByteArray CleanPath(const QByteArray& path);
QString ErrnoMessage(int error);
QString Shown(const QByteArray& path);  // readable file name for messages
// A text of FileOperationTexts.h with the file's readable name for "%1".
QString WithName(const char* text, const QByteArray& path);
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

} // namespace corvane::platform::fileops
