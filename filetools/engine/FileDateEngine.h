#pragma once
// Setting files' modification time without widgets.
#include <QString>
#include <QStringList>

#include <ctime>

namespace corvane::filetools {

class ToolJob;

// Sets the file's modification time to `when` (whole seconds), leaving its access time. The file
// is never opened: the owner may change a read-only file's time, and no content is touched. A
// time the file system cannot hold (it would store another) is undone: EOVERFLOW.
// Returns 0 or an errno value.
int SetModifiedTime(const QByteArray& path, std::time_t when);

struct DateRunInput {
    QString folder;
    QStringList names;  // the rows' file names, in order
    QStringList shown;  // the rows' names as shown, for the messages
    std::time_t when = 0;
};

// Sets each file's time in order; each failure is reported with "Unable to set date/time for
// file " and the shown name. Returns how many files changed.
int RunFileDate(const DateRunInput& input, ToolJob& job);

} // namespace corvane::filetools
