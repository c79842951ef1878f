#pragma once
// Every text that the file-operation engine and the trash show to the user, in one place so they
// can be checked and translated. "%1" is the readable name of the file concerned.
namespace corvane::platform::texts {

// Name parts of new copies: "a (copy).txt", "a (copy 2).txt", and "a (2).txt" for "keep both".
inline constexpr const char* CopySuffix = " (copy)";
inline constexpr const char* CopySuffixN = " (copy %1)";
inline constexpr const char* NumberSuffixN = " (%1)";

// What failed; the error question adds the system's message.
inline constexpr const char* CannotRead = "Cannot read";
inline constexpr const char* CannotWrite = "Cannot write";
inline constexpr const char* CannotCreateFolder = "Cannot create the folder";
inline constexpr const char* CannotReadFolder = "Cannot read the folder";
inline constexpr const char* CannotMove = "Cannot move";
inline constexpr const char* CannotDelete = "Cannot delete";
inline constexpr const char* CannotTrash = "Cannot move to the Trash";
inline constexpr const char* CannotRestore = "Cannot restore";

// Refusals: nothing was changed.
inline constexpr const char* CopyIntoItself = "Cannot copy \"%1\": the target folder is inside the source folder.";
inline constexpr const char* MoveIntoItself = "Cannot move \"%1\": the target folder is inside the source folder.";
inline constexpr const char* NoTargetFolder = "The target folder \"%1\" does not exist.";
inline constexpr const char* NoItemName = "Cannot copy or move \"%1\": the path does not end in the name of a file or folder.";
inline constexpr const char* NotDeletable = "\"%1\" cannot be deleted.";

// Items left out.
inline constexpr const char* SpecialFile = "\"%1\" is a special file (a pipe, socket or device) and was not copied.";
inline constexpr const char* SourceKept = "\"%1\" was copied, but the original could not be removed: %2";
inline constexpr const char* ChangedWhileCopied = "\"%1\" changed while it was copied; the incomplete copy was removed.";
inline constexpr const char* ChangedWhileMoved = "\"%1\" changed while it was moved; the original was kept.";
inline constexpr const char* FolderLoop = "\"%1\" leads back into a folder that holds it and was left out.";
inline constexpr const char* HoldsTargetFolder = "\"%1\" holds the target folder and was left out: nothing goes into itself.";
inline constexpr const char* NoTrashOnVolume = "The volume that holds \"%1\" has no trash. It can only be deleted for good.";
inline constexpr const char* AlreadyInTrash = "\"%1\" is already in the Trash.";
inline constexpr const char* HoldsTrash = "\"%1\" holds the Trash and cannot be moved into it.";
inline constexpr const char* UnknownOrigin = "The original location of \"%1\" is not known.";

} // namespace corvane::platform::texts
