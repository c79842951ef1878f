#pragma once
// Every text an explorer window shows.
namespace corvane::explorer::texts {

inline constexpr const char* Location = "Location:";
inline constexpr const char* DiskFree = " Disk free space: ";
inline constexpr const char* KB = "%1 KB";
inline constexpr const char* MB = "%1 MB ";
inline constexpr const char* GB = "%1 GB ";
inline constexpr const char* Excluded = " (Excluded: ";
inline constexpr const char* Total = "Total: ";
inline constexpr const char* Selected = " Selected: ";
inline constexpr const char* Item = " item";
inline constexpr const char* RefusedTreeItem = "PerfectFit Document Management";

// File filter dialog.
inline constexpr const char* FileFiltersCaption = "Select File Filters";
inline constexpr const char* IncludeLabel = "Include only files matching these specs:";
inline constexpr const char* ExcludeLabel = "Exclude files matching these specs:";
inline constexpr const char* FilterNoteSpecs = "To enter mutliple file specs,separate with semicolons (example: *.exe;*.dll).";
inline constexpr const char* FilterNoteAll = "To include all files, leave both blank.";
inline constexpr const char* Ok = "OK";
inline constexpr const char* Cancel = "Cancel";

// Go-to-folder dialog.
inline constexpr const char* GoToFolderCaption = "GoToFolder";
inline constexpr const char* GoToFolderLabel = "Enter the full path of the folder to go to\r\n(i.e., c:\\windows):";
inline constexpr const char* FolderMissing = "This folder does not exist";
inline constexpr const char* Error = "Error";

// Options dialog.
inline constexpr const char* OptionsCaption = "Options";
inline constexpr const char* GeneralGroup = " General ";
inline constexpr const char* GridLinesCheck = "Show grid lines on file listing";
inline constexpr const char* ExcludeFoldersCheck = "Exclude folders from file listing";
inline constexpr const char* MaxPreviewLabel = "Maximum file size to preview (KB)";
inline constexpr const char* FontsGroup = " Fonts ";
inline constexpr const char* ListingFontLabel = "File && folder listings";
inline constexpr const char* PreviewFontLabel = "Preview window";
inline constexpr const char* Change = "Change";
inline constexpr const char* Save = "&Save";
inline constexpr const char* CancelAccel = "&Cancel";
// A font label: name, size in points.
inline constexpr const char* FontCaption = "%1, %2 points";
inline constexpr const char* DefaultPreviewFont = "MS Sans Serif";
inline constexpr const char* FontDialogCaption = "Font";
inline constexpr const char* FontColor = "Colo&r...";

} // namespace corvane::explorer::texts
