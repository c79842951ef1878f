#pragma once
// Every text the main window and its small dialogs show.
namespace corvane::app::texts {

inline constexpr const char* ProductName = "Corvane";
inline constexpr const char* Version = "Version 1.1";
inline constexpr const char* About = "About";
inline constexpr const char* Error = "Error";
inline constexpr const char* RunLabel = " Run: ";
inline constexpr const char* Ok = "OK";
inline constexpr const char* Drives = "Drives:";
inline constexpr const char* HelpTitle = "Corvane Help";
inline constexpr const char* HelpMissing = "The help file could not be found.";
inline constexpr const char* HelpContents = "&Contents";
inline constexpr const char* DroppedMessage = "Read of address";

} // namespace corvane::app::texts
