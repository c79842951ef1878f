#pragma once
// Real files for the file-operation tests: raw-byte file helpers, a tmpfs the test mounts as a
// second volume, and scripted answers to the engine's questions.
#include "platform/FileOperation.h"

#include <QByteArray>
#include <sys/stat.h>
#include <vector>

namespace corvane::test {

void writeBytes(const QByteArray& path, const QByteArray& content, mode_t mode = 0644);
QByteArray readBytes(const QByteArray& path);
// A file of `size` bytes whose every 4 KiB block differs, so misplaced blocks show.
void writePattern(const QByteArray& path, qint64 size);
bool exists(const QByteArray& path);
struct stat statOf(const QByteArray& path);  // lstat; fails the test when missing
// Sorted names in a folder, "." and ".." left out.
std::vector<QByteArray> namesIn(const QByteArray& dir);
// Removes everything in the folder, whatever the names and permissions.
void clearFolder(const QByteArray& dir);
// Sets a path's modification and access time (seconds since the epoch), links not followed.
void setTime(const QByteArray& path, time_t seconds);

// A tmpfs mounted for the test's lifetime: another volume, or a small disk that fills up.
class Tmpfs
{
public:
    explicit Tmpfs(const QByteArray& size);
    ~Tmpfs();
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    const QByteArray& path() const { return m_path; }

private:
    QByteArray m_path;
};

// Answers the engine's questions from a script and records them.
struct Asker {
    std::vector<platform::ConflictAnswer> conflictAnswers;  // the last one repeats
    std::vector<platform::ErrorAnswer> errorAnswers;        // the last one repeats
    std::vector<platform::ConflictQuestion> conflicts;
    std::vector<platform::ErrorQuestion> errors;

    void attach(platform::FileOperation& op);
};

} // namespace corvane::test
