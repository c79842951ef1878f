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
inline constexpr const char* HelpBack = "&Back";
inline constexpr const char* HelpHome = "&Home";
inline constexpr const char* DroppedMessage = "Read of address";

// Run box and launchers.
inline constexpr const char* UnableToRunCommand = "Unable to run command";
inline constexpr const char* UnableToRunDosPrompt = "Unable to run DOS prompt";
inline constexpr const char* UnableToRunCalculator = "Unable to run Calculator";
inline constexpr const char* UnableToExecute = "Unable to execute command ";

// User tools.
inline constexpr char UserToolSeparator = '\x08';
inline constexpr const char* UserToolsCaption = "User Tools";
inline constexpr const char* Description = "Description";
inline constexpr const char* Command = "Command";
inline constexpr const char* CancelAccel = "&Cancel";
inline constexpr const char* Browse = "&Browse";
inline constexpr const char* Delete = "&Delete";
inline constexpr const char* BlankToolCells = "You have entered one or more tools with\neither the description or command blank";
// A user tool's menu item: "&", its number, a blank and its description.
inline constexpr const char* UserToolItem = "&%1 %2";

// Clipboard viewer.
inline constexpr const char* ClipboardViewerCaption = "Clipboard Viewer";
inline constexpr const char* ClipboardFormats = "Formats:";
inline constexpr const char* ClipboardEmpty = "The clipboard is empty.";
inline constexpr const char* ClipboardNoPreview = "This format cannot be shown.";
inline constexpr const char* ClipboardPicture = "Picture, %1 x %2 pixels";

inline constexpr const char* Cancel = "Cancel";

} // namespace corvane::app::texts
