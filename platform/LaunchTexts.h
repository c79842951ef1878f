#pragma once
// Texts that the launching layer shows or passes to started programs.
namespace corvane::platform::texts {

// Shown in the terminal window after a command has run, until a key is pressed.
inline constexpr const char* PressAnyKey = "Press any key to continue . . .";
inline constexpr const char* NothingToRun = "Nothing to run.";
inline constexpr const char* NotFound = "\"%1\" was not found.";
inline constexpr const char* NoTerminal = "No terminal emulator is installed.";
inline constexpr const char* FolderMissing = "The folder \"%1\" cannot be opened.";
inline constexpr const char* NeedGvfs = "Network locations need the GVfs backends (the gvfs-backends package) and a desktop session.";
inline constexpr const char* NotMounted = "This location is not mounted.";

} // namespace corvane::platform::texts
