#include "FileOperationDelete.h"

#include "FileOperationTexts.h"
#include "NameCodec.h"
#include "Namespace.h"
#include "core/PathText.h"
#include "core/Text.h"
#include "core/TreeWalker.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace corvane::platform::fileops {

using core::JoinRawPath;
using core::Text;

DeleteOperation::DeleteOperation(FileOpKind kind, std::vector<DeleteItem> items, bool forceWritable)
    : FileOperation(kind)
    , m_items(std::move(items))
    , m_forceWritable(forceWritable)
{
}

void DeleteOperation::execute()
{
    collect();
    const QByteArray home = CleanPath(HomeFolderPath());
    for (const DeleteItem& item : m_items) {
        if (item.path == "/" || item.path == home || item.path.isEmpty()) {
            refuse(WithName(texts::NotDeletable, item.path.isEmpty() ? QByteArray("/") : item.path));
            return;
        }
    }
    setScanning(true);
    publishNow();
    m_holders.resize(m_items.size());
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (isCancelled())
            return;
        struct stat st;
        if (Lstat(m_items[i].path, &st) && S_ISDIR(st.st_mode))
            m_holders[i] = FoldersUpFrom(ParentOf(m_items[i].path));
        m_holding = &m_holders[i];
        addTotals(0, std::max<qint64>(count(m_items[i].path), 1));
    }
    setScanning(false);
    publishNow();
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (isCancelled())
            return;
        m_holding = &m_holders[i];
        Step s = remove(m_items[i].path);
        if (s == Step::Ok && !m_items[i].companion.isEmpty())
            ::unlink(m_items[i].companion.constData());
        if (s == Step::Cancelled)
            return;
    }
}

qint64 DeleteOperation::count(const QByteArray& path)
{
    struct stat st;
    if (!Lstat(path, &st))
        return 0;
    if (!S_ISDIR(st.st_mode) || isCancelled())
        return 1;
    setCurrentFile(path);
    publishIfDue();
    // Counted as the delete will go: a folder that leads back is one item, its contents none.
    qint64 items = 1;
    core::TreeWalker walker({.stat = false}, &cancelFlag());
    walker.onEnter([this](const QByteArray&, int fd) {
        struct stat folder;
        return ::fstat(fd, &folder) != 0 || !Contains(*m_holding, folder);
    });
    walker.onProgress([this](const core::WalkProgress& p) {
        if (p.current)
            setCurrentFile(*p.current);
        publishIfDue();
    });
    walker.walk(path, [&items](const core::WalkEntry&) {
        ++items;
        return core::WalkStep::Continue;
    });
    return items;
}

DeleteOperation::Step DeleteOperation::remove(const QByteArray& path)
{
    if (isCancelled())
        return Step::Cancelled;
    setCurrentFile(path);
    publishIfDue();
    struct stat st;
    if (!Lstat(path, &st)) {
        addDone(0, 1);
        return Step::Ok;  // already gone, which is what was asked
    }
    if (S_ISDIR(st.st_mode)) {
        // A folder that holds the item, or one being emptied, reached again through a mount: its
        // contents are not this item's, and going on would never end.
        if (Contains(*m_holding, st) || Contains(m_emptying, st)) {
            addSkipped(path, WithName(texts::FolderLoop, path));
            addDone(0, 1);
            return Step::Skipped;
        }
        if (m_forceWritable && st.st_uid == ::geteuid() && (st.st_mode & S_IRWXU) != S_IRWXU)
            ::chmod(path.constData(), (st.st_mode & 07777) | S_IRWXU);
        std::vector<QByteArray> names;
        while (!EntryNames(path, names)) {
            ErrorAction a = askError(path, Text(texts::CannotDelete), errno);
            if (a == ErrorAction::Cancel)
                return Step::Cancelled;
            if (a == ErrorAction::Skip)
                return Step::Skipped;
        }
        bool skipped = false;
        Step s = Step::Ok;
        m_emptying.emplace_back(st.st_dev, st.st_ino);
        for (const QByteArray& name : names) {
            s = remove(JoinRawPath(path, name));
            if (s == Step::Cancelled)
                break;
            skipped |= s == Step::Skipped;
        }
        m_emptying.pop_back();
        if (s == Step::Cancelled)
            return s;
        if (skipped)
            return Step::Skipped;  // the folder keeps what could not go; that was reported
    }
    for (;;) {
        int r = S_ISDIR(st.st_mode) ? ::rmdir(path.constData()) : ::unlink(path.constData());
        if (r == 0 || errno == ENOENT)
            break;
        ErrorAction a = askError(path, Text(texts::CannotDelete), errno);
        if (a == ErrorAction::Cancel)
            return Step::Cancelled;
        if (a == ErrorAction::Skip)
            return Step::Skipped;
    }
    addDone(0, 1);
    return Step::Ok;
}

} // namespace corvane::platform::fileops
