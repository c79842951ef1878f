#pragma once
// Every text that group rename, the date/time dialog, Destroy and batch copy show, in one place.
#include <QLatin1String>

namespace corvane::filetools::FileToolsConsts {

inline constexpr QLatin1String sCaptionError{"Error"};
inline constexpr QLatin1String sCaptionConfirm{"Confirm"};
inline constexpr QLatin1String sCaptionProgram{"Corvane"};
inline constexpr QLatin1String sCancel{"&Cancel"};
inline constexpr QLatin1String sOK{"OK"};

// Group rename.
inline constexpr QLatin1String sRenameWindow{"Group Rename"};
inline constexpr QLatin1String sRenameFiles{" Files to be renamed "};
inline constexpr QLatin1String sRenameColumnName{"Name"};
inline constexpr QLatin1String sRenameColumnNew{"New name"};
inline constexpr QLatin1String sNewExtension{"New extension:"};
inline constexpr QLatin1String sOptions{" Options "};
inline constexpr QLatin1String sReplaceExtension{"Replace current extension"};
inline constexpr QLatin1String sAddExtension{"Add to current extension"};
inline constexpr QLatin1String sRename{"&Rename"};
inline constexpr QLatin1String sNoExtension{"No new extension specified"};
inline constexpr QLatin1String sBadExtension{"The extension cannot contain \"/\" or a null character"};
inline constexpr QLatin1String sFilesRenamed{"Files renamed: "};
inline constexpr QLatin1String sUnableToRename{"Unable to rename file "};

// Change date/time.
inline constexpr QLatin1String sDateWindow{"Change File Date/Time"};
inline constexpr QLatin1String sFolderPrefix{"Folder: "};
inline constexpr QLatin1String sSelectedFiles{" Selected Files/Folders "};
inline constexpr QLatin1String sColumnName{"Name"};
inline constexpr QLatin1String sColumnSize{"Size"};
inline constexpr QLatin1String sColumnDate{"Date"};
inline constexpr QLatin1String sDateLabel{"Date:"};
inline constexpr QLatin1String sTimeLabel{"Time:"};
inline constexpr QLatin1String sCancelPlain{"Cancel"};
inline constexpr QLatin1String sUnableToSetDate{"Unable to set date/time for file "};
inline constexpr QLatin1String sDateOutOfRange{"The file system cannot hold this date; the file keeps its date."};

// Destroy.
inline constexpr QLatin1String sDestroyWindow{"Destroy"};
inline constexpr QLatin1String sYouHaveSelected{"You have selected "};
inline constexpr QLatin1String sFilesToDestroy{" files to destroy."};
inline constexpr QLatin1String sNoWayToRecover{"There is NO WAY to recover destroyed files."};
inline constexpr QLatin1String sProceed{"Do you want to proceed?"};
inline constexpr QLatin1String sHardLinked{" of them have other names (hard links): the contents are overwritten under every name, but only the selected name is deleted."};
inline constexpr QLatin1String sCopyOnWrite{
    " of them are on a volume (btrfs, ZFS, F2FS or the like) where overwriting does not reach the old data."};
inline constexpr QLatin1String sNotRegular{
    " of them are links, pipes or devices: only their names are removed, nothing they point to."};
inline constexpr QLatin1String sUnableToDelete{"Unable to delete file "};

// Batch copy.
inline constexpr QLatin1String sBatchWindow{"Batch Copy"};
inline constexpr QLatin1String sSource{"Source folder:"};
inline constexpr QLatin1String sDestination{"Destination folder:"};
inline constexpr QLatin1String sDone{"done"};
inline constexpr QLatin1String sDestInsideSource{"The destination folder cannot be inside the source folder"};
inline constexpr QLatin1String sSelectSource{"You must select a folder as the source"};
inline constexpr QLatin1String sSelectDestination{"You must select a folder as the destination"};
inline constexpr QLatin1String sUnableToCreateFolder{"Unable to create folder "};
inline constexpr QLatin1String sUnableToCopy{"Unable to copy file "};

} // namespace corvane::filetools::FileToolsConsts
