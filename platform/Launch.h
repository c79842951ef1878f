#pragma once
// Starting other programs: the shell's "open" for programs, documents and addresses, the
// command interpreter in a terminal window, and the desktop's own utility programs.
// Nothing here waits for a started program.
#include <QString>
#include <QStringList>

namespace corvane::platform {

// A run text split at its first blank: the program before it, the parameters after it.
struct RunText {
    QString program;
    QString parameters;
};
RunText SplitRunText(const QString& text);

// Parameters split into arguments as a POSIX shell does it: blanks separate, '...' is taken
// literally, "..." and \ escape as in sh, an unquoted "~" or "~/" at a word's start is the home
// folder; nothing else is expanded. An unclosed quote runs to the end.
QStringList SplitArguments(const QString& parameters);

// "~" and "~/..." with the home folder; other texts unchanged.
QString ExpandHome(const QString& path);
// A typed path made absolute: "~" expanded, relative paths taken against folder, "." and
// ".." resolved, trailing slashes dropped (the root stays "/").
QString ResolveTypedPath(const QString& typed, const QString& folder);
// Whether the text starts with a URI scheme ("https://...", "mailto:...").
bool LooksLikeUri(const QString& text);

// The program that the shell would run for a name: a name without "/" is looked up on PATH;
// a path ("/", "./", "~/" ...) is taken against folder and must be an executable file.
// Empty when there is none.
QString FindProgram(const QString& name, const QString& folder);

// Starts a program on its own, in folder; false with the reason when it could not start.
bool StartDetached(const QString& program, const QStringList& arguments, const QString& folder, QString* error = nullptr);
// Opens an existing file or folder, or an address, with the user's default application.
bool OpenWithDefaultApplication(const QString& target, const QString& folder, QString* error = nullptr);

// The shell's "open": a program runs with the parameters (SplitArguments); a document, folder or address opens with its default application, a
// .desktop file starts its application. False when nothing could be started.
bool ShellOpen(const QString& file, const QString& parameters, const QString& folder, QString* error = nullptr);
// A user's command: the whole text as one item first, so paths with blanks work, then as a
// program followed by its arguments.
bool ShellOpenCommand(const QString& command, const QString& folder, QString* error = nullptr);

// The terminal emulator to use: x-terminal-emulator, then the common ones; empty when none
// is installed.
QString FindTerminal();
// A terminal window with an interactive shell in folder.
bool OpenTerminal(const QString& folder, QString* error = nullptr);
// The whole command line run by /bin/sh -c in folder, in a terminal window that stays open
// until a key is pressed.
bool RunInTerminal(const QString& commandLine, const QString& folder, QString* error = nullptr);
// The arguments given to the terminal: the wrapper script, then folder and command line.
QStringList TerminalWrapperArguments(const QString& commandLine, const QString& folder);

// The desktop's own programs that stand in for the system applets.
enum class DesktopProgram { Settings, Calculator, Disks };
// The installed program for the role (the current desktop's own first), or empty.
QString FindDesktopProgram(DesktopProgram role);

} // namespace corvane::platform
