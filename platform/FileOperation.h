#pragma once
// The file-operation engine behind paste, delete and the Trash: copy, move, delete for good and
// move to the trash, each run as one job on a worker thread. A dialog polls progress(); questions
// (conflicts, errors) reach the user through handlers that the worker calls and waits on.
//
// Paths are raw bytes (file names need not be UTF-8); see NameCodec.h for showing them.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace corvane::platform {

enum class FileOpKind { Copy, Move, Delete, Trash, Restore, DeleteFromTrash };

// A snapshot of a job's counters, published at most every progress interval.
struct FileOpProgress {
    qint64 totalBytes = 0;
    qint64 doneBytes = 0;
    qint64 totalItems = 0;   // files, links and folders
    qint64 doneItems = 0;
    QByteArray currentFile;  // raw path of the item being worked on
    double bytesPerSecond = 0;
    bool scanning = false;   // still counting what there is to do
};

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

class FileOperation : public QObject
{
    Q_OBJECT

public:
    using ConflictHandler = std::function<ConflictAnswer(const ConflictQuestion&)>;
    using ErrorHandler = std::function<ErrorAnswer(const ErrorQuestion&)>;
    using ProgressHandler = std::function<void(const FileOpProgress&)>;

    ~FileOperation() override;  // cancels and waits for a running job

    FileOpKind kind() const { return m_kind; }

    // Handlers are called on the job's thread, which waits for the answer. A UI posts the question
    // to its own thread and blocks until the user answers. Without a handler conflicts and errors
    // are skipped, so nothing is ever overwritten unasked.
    void setConflictHandler(ConflictHandler handler);
    void setErrorHandler(ErrorHandler handler);
    // Called on the job's thread whenever the counters are published (every intervalMs, default 250).
    void setProgressHandler(ProgressHandler handler);
    void setProgressInterval(int intervalMs);

    void start();          // runs the job on a worker thread; finished() is emitted from it
    void run();            // runs the job on the calling thread
    bool wait(int msecs = -1);
    void cancel();         // safe from any thread; the job stops at the next file or block
    bool isCancelled() const { return m_cancel.load(std::memory_order_relaxed); }
    bool isFinished() const;

    FileOpProgress progress() const;
    FileOpResult result() const;  // complete once finished

signals:
    void finished();

protected:
    FileOperation(FileOpKind kind, QObject* parent = nullptr);

    virtual void execute() = 0;

    ConflictAnswer askConflict(const ConflictQuestion& q);
    // Asks what to do about errno `error` on `path`; honours an earlier "skip all".
    ErrorAction askError(const QByteArray& path, const QString& action, int error);
    void refuse(const QString& message);
    void addSkipped(const QByteArray& path, const QString& message);
    void addCreated(const QByteArray& path);
    void addNoTrash(const QByteArray& path);

    // Counters live in the job's own thread and are copied under the mutex only when published.
    void setScanning(bool scanning);
    void addTotals(qint64 bytes, qint64 items);
    void addDone(qint64 bytes, qint64 items);
    void setCurrentFile(const QByteArray& path);
    void publishIfDue();  // cheap enough to call per block and per file
    void publishNow();

private:
    const FileOpKind m_kind;
    std::atomic<bool> m_cancel{false};

    ConflictHandler m_onConflict;
    ErrorHandler m_onError;
    ProgressHandler m_onProgress;
    qint64 m_intervalNs = 250'000'000;

    bool m_rememberMerge = false;
    ConflictAction m_mergeAnswer = ConflictAction::Skip;
    bool m_rememberConflict = false;
    ConflictAction m_conflictAnswer = ConflictAction::Skip;
    bool m_skipAllErrors = false;

    FileOpProgress m_work;            // the job thread's own counters
    qint64 m_nextPublishNs = 0;
    qint64 m_rateSampleNs = 0;
    qint64 m_rateSampleBytes = 0;

    mutable std::mutex m_mutex;       // guards m_published, m_result and m_state
    FileOpProgress m_published;
    FileOpResult m_result;
    enum class State { Idle, Running, Finished } m_state = State::Idle;
    std::condition_variable m_finishedCv;
    std::thread m_thread;
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
