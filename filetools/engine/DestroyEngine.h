#pragma once
// Destroy without widgets: every selected file is overwritten with the filler byte, pass after
// pass, each pass on the disk before the next begins, and then deleted.
//
// Paths are raw bytes (file names need not be UTF-8).
#include <QByteArray>
#include <QString>

#include <vector>

namespace corvane::filetools {

class ToolJob;

inline constexpr unsigned char DestroyFiller = 0x58;
inline constexpr int DestroyPasses = 10;

// What the confirmation tells about the selection.
struct DestroySurvey {
    int files = 0;
    int hardLinked = 0;   // regular files with other names
    int copyOnWrite = 0;  // on volumes where an overwrite lands on new blocks
    int notRegular = 0;   // links, pipes, devices, sockets: only the name goes
    qint64 bytes = 0;     // of the regular files
};

DestroySurvey SurveyDestroy(const std::vector<QByteArray>& paths);
QString DestroyConfirmText(const DestroySurvey& survey);

enum class DestroyOutcome { Destroyed, Failed, Cancelled };

// One file. A regular file is opened without following a link and only when no other program has
// it open (a write lease, where the file system grants one); a file whose passes fail is kept, so
// its contents are never left on the disk behind a deleted name. A link, pipe, device or socket is
// never opened: its name is removed. A cancel keeps the file.
DestroyOutcome DestroyFile(const QByteArray& path, ToolJob& job);

// The surveyed confirmation (on the user-interface thread through the job), then every path in
// order; each failure is reported with "Unable to delete file " and the path. Returns how many
// were destroyed; -1 when the user said No.
int RunDestroy(const std::vector<QByteArray>& paths, ToolJob& job);

} // namespace corvane::filetools
