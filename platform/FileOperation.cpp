#include "FileOperation.h"

#include "FileOperationDelete.h"
#include "FileOperationNames.h"
#include "FileOperationTransfer.h"
#include "NameCodec.h"

namespace corvane::platform {

using namespace fileops;

// ---------------------------------------------------------------------------------------------
// The job's questions and results

FileOperation::FileOperation(FileOpKind kind, QObject* parent)
    : core::Job(parent)
    , m_kind(kind)
{
}

void FileOperation::setConflictHandler(ConflictHandler handler)
{
    m_onConflict = std::move(handler);
}

void FileOperation::setErrorHandler(ErrorHandler handler)
{
    m_onError = std::move(handler);
}

FileOpResult FileOperation::result() const
{
    std::lock_guard lock(resultMutex());
    return m_result;
}

void FileOperation::conclude()
{
    std::lock_guard lock(resultMutex());
    if (isCancelled() && m_result.status == FileOpResult::Completed)
        m_result.status = FileOpResult::Cancelled;
}

void FileOperation::failed(const QString& message)
{
    addSkipped({}, message);
}

ConflictAnswer FileOperation::askConflict(const ConflictQuestion& q)
{
    const bool merge = q.sourceIsFolder && q.targetIsFolder;
    if (merge && m_rememberMerge)
        return {m_mergeAnswer, true};
    if (!merge && m_rememberConflict)
        return {m_conflictAnswer, true};
    ConflictAnswer a;
    if (m_onConflict) {
        publishNow();
        a = ask([this, &q] { return m_onConflict(q); }, ConflictAnswer{});
        // Cancelled while the question waited: the question is void.
        if (isCancelled())
            a = {ConflictAction::Cancel, false};
    }
    if (a.action == ConflictAction::Cancel) {
        cancel();
    } else if (a.applyToAll) {
        (merge ? m_rememberMerge : m_rememberConflict) = true;
        (merge ? m_mergeAnswer : m_conflictAnswer) = a.action;
    }
    return a;
}

ErrorAction FileOperation::askError(const QByteArray& workPath, const QString& action, int error)
{
    const QByteArray path = shownPath(workPath);
    ErrorQuestion q{path, action, error, ErrnoMessage(error)};
    ErrorAnswer a;
    if (!m_skipAllErrors && m_onError) {
        publishNow();
        a = ask([this, &q] { return m_onError(q); }, ErrorAnswer{});
        if (isCancelled())
            a = {ErrorAction::Cancel, false};
    }
    if (a.action == ErrorAction::Skip) {
        addSkipped(path, q.action + QStringLiteral(" \"") + Shown(path) + QStringLiteral("\": ") + q.message);
        if (a.applyToAll)
            m_skipAllErrors = true;
    } else if (a.action == ErrorAction::Cancel) {
        cancel();
    }
    return a.action;
}

void FileOperation::refuse(const QString& message)
{
    std::lock_guard lock(resultMutex());
    m_result.status = FileOpResult::Refused;
    m_result.message = message;
}

void FileOperation::addSkipped(const QByteArray& path, const QString& message)
{
    std::lock_guard lock(resultMutex());
    m_result.skipped.push_back({shownPath(path), message});
}

void FileOperation::addCreated(const QByteArray& path)
{
    std::lock_guard lock(resultMutex());
    m_result.created.push_back(path);
}

void FileOperation::addNoTrash(const QByteArray& path)
{
    std::lock_guard lock(resultMutex());
    m_result.noTrash.push_back(path);
}

// ---------------------------------------------------------------------------------------------
// Factories

namespace {

std::vector<TransferItem> transferItems(std::vector<QByteArray> sources, const QByteArray& targetFolder)
{
    const QByteArray target = CleanPath(targetFolder);
    std::vector<TransferItem> items;
    items.reserve(sources.size());
    for (const QByteArray& s : sources) {
        TransferItem item;
        item.source = CleanPath(s);
        item.targetDir = target;
        item.targetName = BaseName(item.source);
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

std::unique_ptr<FileOperation> CopyFiles(std::vector<QByteArray> sources, const QByteArray& targetFolder)
{
    return std::make_unique<TransferOperation>(FileOpKind::Copy, transferItems(std::move(sources), targetFolder));
}

std::unique_ptr<FileOperation> MoveFiles(std::vector<QByteArray> sources, const QByteArray& targetFolder)
{
    return std::make_unique<TransferOperation>(FileOpKind::Move, transferItems(std::move(sources), targetFolder));
}

std::unique_ptr<FileOperation> DeleteFiles(std::vector<QByteArray> paths)
{
    std::vector<DeleteItem> items;
    for (const QByteArray& p : paths)
        items.push_back({CleanPath(p), {}});
    return std::make_unique<DeleteOperation>(FileOpKind::Delete, std::move(items));
}

} // namespace corvane::platform
