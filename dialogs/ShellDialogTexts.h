#pragma once
// Every text of the shared shell dialogs: file operations, delete questions, dropping, Open With,
// properties, find and new shortcut. "%1", "%2" are names, counts or sizes.
namespace corvane::app::shelltexts {

inline constexpr const char* Error = "Error";
inline constexpr const char* ConfirmDelete = "Confirm Delete";
inline constexpr const char* TrashOne = "Are you sure you want to move \"%1\" to the Trash?";
inline constexpr const char* TrashMany = "Are you sure you want to move these %1 items to the Trash?";
inline constexpr const char* DeleteOne = "Are you sure you want to delete \"%1\" for good?\nThis cannot be undone.";
inline constexpr const char* DeleteMany = "Are you sure you want to delete these %1 items for good?\nThis cannot be undone.";
inline constexpr const char* NoTrash = "\"%1\" cannot be moved to the Trash: its volume has no Trash.\nDo you want to delete it for good?";
inline constexpr const char* NoTrashMany = "%1 items cannot be moved to the Trash: their volume has no Trash.\nDo you want to delete them for good?";
inline constexpr const char* EmptyTrashQuestion = "Are you sure you want to delete everything in the Trash for good?";
inline constexpr const char* SomeSkipped = "Some items were left out:\n%1";
inline constexpr const char* NothingToPaste = "There is nothing on the Clipboard to paste.";
inline constexpr const char* CannotLink = "Cannot create a link to \"%1\": %2";
inline constexpr const char* CannotOpen = "Cannot open \"%1\".";

// Dropping.
inline constexpr const char* DropMoveHere = "&Move Here";
inline constexpr const char* DropCopyHere = "&Copy Here";
inline constexpr const char* DropLinkHere = "Create &Links Here";
inline constexpr const char* DropCancel = "Cancel";
inline constexpr const char* CannotRunWith = "Cannot start \"%1\" with the dropped files.\n%2";

// Progress.
inline constexpr const char* Copying = "Copying";
inline constexpr const char* Moving = "Moving";
inline constexpr const char* Deleting = "Deleting";
inline constexpr const char* Trashing = "Moving to the Trash";
inline constexpr const char* Restoring = "Restoring";
inline constexpr const char* Cancel = "Cancel";

// Conflict question.
inline constexpr const char* ConflictCaption = "Name Conflict";
inline constexpr const char* ConflictFile = "The folder \"%2\" already has a file named \"%1\".";
inline constexpr const char* ConflictFolder = "The folder \"%2\" already has a folder named \"%1\".";
inline constexpr const char* ConflictExisting = "Existing: %1, modified %2";
inline constexpr const char* ConflictNew = "New: %1, modified %2";
inline constexpr const char* Replace = "&Replace";
inline constexpr const char* Merge = "&Merge";
inline constexpr const char* Skip = "&Skip";
inline constexpr const char* KeepBoth = "&Keep Both";
inline constexpr const char* ApplyToAll = "&Apply to all";

// Error question.
inline constexpr const char* ErrorQuestion = "%1 \"%2\":\n%3";
inline constexpr const char* Retry = "&Retry";

// Open With.
inline constexpr const char* OpenWithCaption = "Open With";
inline constexpr const char* OpenWithText = "Choose the application to open \"%1\":";
inline constexpr const char* AlwaysUse = "&Always use this application to open this kind of file";

// Properties.
inline constexpr const char* PropertiesCaption = "%1 Properties";
inline constexpr const char* PropName = "Name:";
inline constexpr const char* PropType = "Type:";
inline constexpr const char* PropLocation = "Location:";
inline constexpr const char* PropSize = "Size:";
inline constexpr const char* PropContains = "Contains:";
inline constexpr const char* PropModified = "Modified:";
inline constexpr const char* PropAccessed = "Accessed:";
inline constexpr const char* PropChanged = "Changed:";
inline constexpr const char* PropPermissions = "Permissions:";
inline constexpr const char* PropOwner = "Owner:";
inline constexpr const char* PropOpensWith = "Opens with:";
inline constexpr const char* PropLinkTarget = "Link target:";
inline constexpr const char* SizeBytes = "%1 (%2 bytes)";
inline constexpr const char* ContainsCount = "%1, %2";
inline constexpr const char* OneFile = "1 file";
inline constexpr const char* ManyFiles = "%1 files";
inline constexpr const char* OneFolder = "1 folder";
inline constexpr const char* ManyFolders = "%1 folders";
inline constexpr const char* StillCounting = " (counting...)";
inline constexpr const char* MultipleItems = "%1 items";
inline constexpr const char* NoApplication = "(none)";
inline constexpr const char* Close = "Close";

// Find.
inline constexpr const char* FindCaption = "Find";
inline constexpr const char* FindNamed = "&Named:";
inline constexpr const char* FindContaining = "Containing &text:";
inline constexpr const char* FindLookIn = "&Look in:";
inline constexpr const char* FindBrowse = "&Browse...";
inline constexpr const char* FindSubfolders = "Include &subfolders";
inline constexpr const char* FindNow = "Find &Now";
inline constexpr const char* FindStop = "&Stop";
inline constexpr const char* FindColName = "Name";
inline constexpr const char* FindColFolder = "In Folder";
inline constexpr const char* FindColSize = "Size";
inline constexpr const char* FindColModified = "Modified";
inline constexpr const char* FindFound = "%1 file(s) found";
inline constexpr const char* FindSearching = "Searching %1 - %2 file(s) found";
inline constexpr const char* FindStopped = "%1 file(s) found; the search was stopped";
inline constexpr const char* FindUnreadableFolders = "; %1 folder(s) could not be read";
inline constexpr const char* FindUnreadableFiles = "; %1 file(s) could not be read";
inline constexpr const char* FindNoFolder = "The folder \"%1\" cannot be found.";
inline constexpr const char* FindOpen = "&Open";
inline constexpr const char* FindShowInFolder = "Show in &Folder";

// New Shortcut.
inline constexpr const char* ShortcutCaption = "Create Shortcut";
inline constexpr const char* ShortcutTarget = "&Target (a file, a folder or an Internet address):";
inline constexpr const char* ShortcutName = "&Name of the shortcut:";
inline constexpr const char* ShortcutBrowse = "&Browse...";
inline constexpr const char* ShortcutNoTarget = "Type the location of the item or the Internet address the shortcut leads to.";
inline constexpr const char* ShortcutNoName = "Type a name for the shortcut.";
inline constexpr const char* ShortcutBadName = "A name cannot be \".\" or \"..\" or contain \"/\".";
inline constexpr const char* ShortcutBadUrl = "\"%1\" is not a valid Internet address.";
inline constexpr const char* ShortcutMissingTarget = "The target \"%1\" cannot be found.";
inline constexpr const char* ShortcutExists = "\"%1\" already exists in \"%2\". Choose another name.";
inline constexpr const char* ShortcutCannotCreate = "Cannot create the shortcut \"%1\" in \"%2\":\n%3";
inline constexpr const char* OK = "OK";

} // namespace corvane::app::shelltexts
