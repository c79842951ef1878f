#pragma once
// Every text the preview window shows.
namespace corvane::preview::texts {

inline constexpr const char* Caption = "Preview";
inline constexpr const char* CaptionWithFile = "Preview - ";

// The picture toolbar.
inline constexpr const char* ZoomLabel = "  Zoom %  ";
inline constexpr const char* ZoomFit = "Fit";
inline constexpr const char* ZoomEntries[] = {"Fit", "25", "50", "75", "100", "150", "200", "300", "400", "500"};
inline constexpr const char* ImageSize = "Size: %1 x %2";
inline constexpr const char* PrintWidthLabel = " Print Width (Inches)";
inline constexpr const char* GraphicPrint = "Print";
inline constexpr const char* Convert = "Convert";

// The text toolbar.
inline constexpr const char* FindLabel = "  Find text: ";
inline constexpr const char* FindButton = "Fi&nd";
inline constexpr const char* TextPrint = "&Print";

// The zip toolbar.
inline constexpr const char* PrintZip = "&Print List";
inline constexpr const char* Unzip = "&Unzip";

// The media toolbar.
inline constexpr const char* MediaLabel = "  Multimedia Control ";
inline constexpr const char* Play = "Play";
inline constexpr const char* Pause = "Pause";
inline constexpr const char* Stop = "Stop";

// Word-processor documents.
inline constexpr const char* Converting = "Converting the document...";

// The file word-processor documents are converted into, in the user's own runtime folder.
inline constexpr const char* TempFolder = "corvane";
inline constexpr const char* TempFileName = "corvane.tmp";

} // namespace corvane::preview::texts
