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

} // namespace corvane::explorer::texts
