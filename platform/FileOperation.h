#pragma once
// The file-operation engine behind paste, delete and the Trash: copy, move, delete for good and
// move to the trash, each a job (core/Job.h) on a worker thread of its own. A dialog polls
// progress(); questions (conflicts, errors) are asked on the user-interface thread while the
// worker waits for the answer.
//
// Paths are raw bytes (file names need not be UTF-8); see NameCodec.h for showing them.
#include "core/Job.h"

#include <QByteArray>
#include <QString>

#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace corvane::platform {

enum class FileOpKind { Copy, Move, Delete, Trash, Restore, DeleteFromTrash };

// Items count files, links and folders.
using FileOpProgress = core::JobProgress;

enum class ConflictAction { Replace, Skip, KeepBoth, Cancel };

// The target name is taken. A folder meeting a folder is a merge: "Replace" copies or moves the
// contents into the existing folder and asks again for each file there that clashes.
struct ConflictQuestion {
    QByteArray source;
    QByteArray target;
    bool sourceIsFolder = false;
    bool targetIsFolder = false;
    // False when a folder and a non-folder meet; "Replace" then keeps both instead.
    bool canReplace = true;
    qint64 sourceSize = 0;
    qint64 targetSize = 0;
    std::time_t sourceModified = 0;
    std::time_t targetModified = 0;
};

struct ConflictAnswer {
    ConflictAction action = ConflictAction::Skip;
    bool applyToAll = false;  // remembered separately for folder merges and for files
};

enum class ErrorAction { Retry, Skip, Cancel };

struct ErrorQuestion {
    QByteArray path;   // the file the error is about
    QString action;    // what failed, e.g. "Cannot copy"
    int errorCode = 0; // errno
    QString message;   // the system's text for errorCode
};

struct ErrorAnswer {
    ErrorAction action = ErrorAction::Skip;
    bool applyToAll = false;  // Skip for every later error; Retry and Cancel are not remembered
};

struct FileOpIssue {
    QByteArray path;
    QString message;
};

struct FileOpResult {
    enum Status { Completed, Cancelled, Refused };
    Status status = Completed;
    QString message;                    // why the job was refused (nothing was changed)
    std::vector<QByteArray> created;    // the new top-level items, to select after a paste
    std::vector<FileOpIssue> skipped;   // what was left out and why (skipped errors, special files)
    std::vector<QByteArray> noTrash;    // Trash: items whose volume has no usable trash; offer deleting
};

class FileOperation : public core::Job
{
    Q_OBJECT

public:
    using ConflictHandler = std::function<ConflictAnswer(const ConflictQuestion&)>;
    using ErrorHandler = std::function<ErrorAnswer(const ErrorQuestion&)>;

    FileOpKind kind() const { return m_kind; }

    // Handlers are called on the user-interface thread while the job waits for the answer (a
    // question not yet shown is dropped when the job is cancelled). Set them before the job
    // starts. Without a handler conflicts and errors are skipped, so nothing is ever overwritten
    // unasked.
    void setConflictHandler(ConflictHandler handler);
    void setErrorHandler(ErrorHandler handler);

    FileOpResult result() const;  // complete once finished

protected:
    explicit FileOperation(FileOpKind kind, QObject* parent = nullptr);

    void conclude() override;
    void failed(const QString& message) override;

    ConflictAnswer askConflict(const ConflictQuestion& q);
    // Asks what to do about errno `error` on `path`; honours an earlier "skip all".
    ErrorAction askError(const QByteArray& path, const QString& action, int error);
    void refuse(const QString& message);
    void addSkipped(const QByteArray& path, const QString& message);
    void addCreated(const QByteArray& path);
    void addNoTrash(const QByteArray& path);
    // The path a question or a report names: where the item will be, not a hidden working name.
    virtual QByteArray shownPath(const QByteArray& path) const { return path; }

private:
    const FileOpKind m_kind;

    ConflictHandler m_onConflict;
    ErrorHandler m_onError;

    bool m_rememberMerge = false;
    ConflictAction m_mergeAnswer = ConflictAction::Skip;
    bool m_rememberConflict = false;
    ConflictAction m_conflictAnswer = ConflictAction::Skip;
    bool m_skipAllErrors = false;

    FileOpResult m_result;  // guarded by resultMutex()
};

// Same-folder copies: "a.txt" -> "a (copy).txt", "a (copy 2).txt", ...; the "(copy)" part of a
// name that has one is replaced, so copying "a (copy).txt" gives "a (copy 2).txt". n >= 1.
QByteArray CopyName(const QByteArray& name, bool isFolder, int n);
// Keep both: "a.txt" -> "a (2).txt", "a (3).txt", ... n >= 2.
QByteArray NumberedName(const QByteArray& name, bool isFolder, int n);

// Copies (or moves) the sources into targetFolder. A source whose folder is targetFolder is
// copied as "name (copy)"; moved there, it stays as it is.
std::unique_ptr<FileOperation> CopyFiles(std::vector<QByteArray> sources, const QByteArray& targetFolder);
std::unique_ptr<FileOperation> MoveFiles(std::vector<QByteArray> sources, const QByteArray& targetFolder);
// Deletes for good.
std::unique_ptr<FileOperation> DeleteFiles(std::vector<QByteArray> paths);

} // namespace corvane::platform
