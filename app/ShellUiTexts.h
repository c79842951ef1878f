#pragma once
// The main window's texts for expanding a tree, beside the shared shell dialogs' texts it uses.
#include "dialogs/ShellDialogTexts.h"

namespace corvane::app::shelltexts {

inline constexpr const char* ExpandingDrive = " Expanding drive";
inline constexpr const char* ExpandingFolder = " Expanding folder";

} // namespace corvane::app::shelltexts
