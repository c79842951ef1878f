#pragma once
// Texts of the progress window that every long job shows.

namespace corvane::dialogs::texts {

inline constexpr const char* Counting = "Counting the items...";
inline constexpr const char* ProgressBytes = "%1 of %2 (%3/s)";
inline constexpr const char* ProgressItems = "%1 of %2 items";
inline constexpr const char* Cancel = "Cancel";

} // namespace corvane::dialogs::texts
