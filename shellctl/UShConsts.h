#pragma once
// Every text the shell controls show or raise.
namespace corvane::shellctl::texts {

inline constexpr const char* SystemFolder = "System Folder";
inline constexpr const char* IdListArrayIndex = "TIdListArray - index %d out of range";
inline constexpr const char* DuplicatePidl = "TPidlList: Duplicate PIDL";
inline constexpr const char* TreeDataNotInitialised = "TShTreeData not initialised";
inline constexpr const char* TooManySubstitutions = "FormatStrPos: Too many substitution strings";
inline constexpr const char* NewFolder = "New Folder";
inline constexpr const char* CannotCreateFolder = "Unable to create the folder '%2'\n\n%1";
inline constexpr const char* AddNewShellItemFailed = "Exception in AddNewShellItem";
inline constexpr const char* ReadingFolder = "Reading the folder...";
inline constexpr const char* ColName = "Name";
inline constexpr const char* ColSize = "Size";
inline constexpr const char* ColType = "Type";
inline constexpr const char* ColModified = "Modified";

} // namespace corvane::shellctl::texts
