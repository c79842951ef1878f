#pragma once
// The default keys of the shell tree and list, and the warning hook of the shell controls.
#include <QKeyEvent>
#include <QString>
#include <functional>

namespace corvane::shellctl {

// Indexes into the default key table.
enum TShellControlDefKey { dkSelectAll, dkDelete, dkCopy, dkCut, dkPaste, dkRefresh, dkRename, dkCount };

// The table entry the key event matches, or -1. "Del" matches with Shift held too.
int MatchDefaultKey(const QKeyEvent* e);
// The key names of the table, as written.
const char* DefaultKeyName(int index);

// Messages of the shell controls go through this hook (a warning box by default), so the
// program can route them through its own message box and tests can record them.
using ShellMessageHook = std::function<void(const QString& text)>;
void SetShellWarningHook(ShellMessageHook hook);
void ShellWarning(const QString& text);
// A short system beep.
void ShellBeep();

} // namespace corvane::shellctl
