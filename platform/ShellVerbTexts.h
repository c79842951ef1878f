#pragma once
// Every text of the shell verbs, their menus and their questions, in one place so they can be
// checked and translated. "%1" is a readable item name or a count.
namespace corvane::platform::verbtexts {

// Menu captions and the help texts shown in the status bar while a command is highlighted.
inline constexpr const char* Open = "&Open";
inline constexpr const char* OpenHelp = "Opens the selected items.";
inline constexpr const char* OpenWith = "Open &With...";
inline constexpr const char* OpenWithHelp = "Opens the selected file with an application of your choice.";
inline constexpr const char* Cut = "Cu&t";
inline constexpr const char* CutHelp = "Removes the selected items and copies them onto the Clipboard.";
inline constexpr const char* Copy = "&Copy";
inline constexpr const char* CopyHelp = "Copies the selected items to the Clipboard.";
inline constexpr const char* Paste = "&Paste";
inline constexpr const char* PasteHelp = "Inserts the items you have copied or cut into the selected location.";
inline constexpr const char* Link = "Create &Link";
inline constexpr const char* LinkHelp = "Creates a link to the selected item in the same folder.";
inline constexpr const char* Delete = "&Delete";
inline constexpr const char* DeleteHelp = "Moves the selected items to the Trash (Shift+Del deletes them for good).";
inline constexpr const char* DeleteForGoodHelp = "Deletes the selected items for good.";
inline constexpr const char* Rename = "Rena&me";
inline constexpr const char* RenameHelp = "Renames the selected item.";
inline constexpr const char* Properties = "P&roperties";
inline constexpr const char* PropertiesHelp = "Shows the properties of the selected items.";
inline constexpr const char* Find = "&Find...";
inline constexpr const char* FindHelp = "Finds files in this folder and its subfolders.";
inline constexpr const char* Restore = "&Restore";
inline constexpr const char* RestoreHelp = "Moves the selected items back to where they were deleted from.";
inline constexpr const char* EmptyTrash = "&Empty Trash";
inline constexpr const char* EmptyTrashHelp = "Deletes everything in the Trash for good.";
inline constexpr const char* CreateZip = "Create &Zip File...";
inline constexpr const char* CreateZipHelp = "Packs the selected items into a zip archive.";
inline constexpr const char* Extract = "E&xtract...";
inline constexpr const char* ExtractHelp = "Extracts the files of this zip archive.";

// The send-to submenu, filled by the program when it opens.
inline constexpr const char* SendTo = "Se&nd To";
inline constexpr const char* SendToEmpty = "(empty)";

// The name of a new link.
inline constexpr const char* LinkName = "Link to %1";

} // namespace corvane::platform::verbtexts
