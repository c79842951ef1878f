#include "ShellVerbUi.h"

#include "core/Text.h"

#include "FileOpDialogs.h"
#include "OpenWith.h"
#include "Properties.h"
#include "ShellDropUi.h"
#include "ShellDialogTexts.h"
#include "app/Utility.h"
#include "platform/Clipboard.h"
#include "platform/NameCodec.h"
#include "platform/ShellOpen.h"
#include "platform/ShellVerbTexts.h"
#include "platform/Trash.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::app {

using core::Text;

using namespace platform;

namespace {

QWidget* ownerWidget(const CMInvokeCommandInfo& info)
{
    auto* w = qobject_cast<QWidget*>(info.hwnd);
    return w ? w->window() : QApplication::activeWindow();
}

bool exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// The selected trashed items with their info; an item that is gone by now is left out.
std::vector<TrashEntry> trashEntriesOf(const VerbTarget& t)
{
    std::vector<TrashEntry> entries;
    for (const QByteArray& p : t.paths) {
        TrashEntry e;
        if (TrashEntryOf(p, &e))
            entries.push_back(std::move(e));
    }
    return entries;
}

} // namespace

FileOpResult TrashOrOfferDelete(const std::vector<QByteArray>& files, QWidget* owner)
{
    const FileOpResult r = RunFileOperation(TrashFiles(files), Text(shelltexts::Trashing), owner);
    if (!r.noTrash.empty()) {
        const QString text = r.noTrash.size() == 1
                                 ? QString::fromUtf8(shelltexts::NoTrash).arg(ReadableName(BaseName(r.noTrash.front())))
                                 : QString::fromUtf8(shelltexts::NoTrashMany).arg(r.noTrash.size());
        if (MsgBox(text, Text(shelltexts::ConfirmDelete), MB_YESNO | MB_ICONEXCLAMATION) == IDYES)
            RunFileOperation(DeleteFiles(r.noTrash), Text(shelltexts::Deleting), owner);
    }
    return r;
}

QByteArray NewLinkPath(const QByteArray& folder, const QByteArray& file)
{
    const QByteArray name = EncodeName(QString::fromUtf8(verbtexts::LinkName).arg(DecodeName(BaseName(file))));
    QByteArray path = folder + '/' + name;
    for (int n = 2; exists(path); ++n)
        path = folder + '/' + name + " (" + QByteArray::number(n) + ')';
    return path;
}

TShellVerbUi& ShellVerbUi()
{
    static TShellVerbUi ui;
    return ui;
}

void InstallShellVerbs()
{
    SetShellVerbHandler(&ShellVerbUi());
    InstallShellDrop();
    // Another program taking the clipboard ends the cut: its items are no longer dimmed.
    static bool connected = false;
    if (!connected && QGuiApplication::clipboard()) {
        connected = true;
        QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [] {
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            ClipboardFiles files;
            if (!ReadClipboardFiles(data, &files) || !files.cut)
                CutItems::instance().clear();
        });
    }
}

platform::HResult TShellVerbUi::InvokeVerb(const QByteArray& verb, const VerbTarget& target, const CMInvokeCommandInfo& info)
{
    QWidget* owner = ownerWidget(info);
    if (verb == "open")
        return open(target, owner);
    if (verb == "openas")
        return openWith(target, owner);
    if (verb == "cut" || verb == "copy")
        return toClipboard(target, verb == "cut");
    if (verb == "paste")
        return paste(target, owner);
    if (verb == "delete")
        return remove(target, target.inTrash || (info.fMask & CMIC_MASK_SHIFT_DOWN), owner);
    if (verb == "link")
        return link(target);
    if (verb == "properties")
        return properties(target, owner);
    if (verb == "restore")
        return restore(target, owner);
    if (verb == "emptytrash")
        return emptyTrash(owner);
    if (verb == "zip") {
        if (OnCreateZip && target.allHavePaths())
            OnCreateZip(target);
        return S_OK;
    }
    if (verb == "extract") {
        if (OnExtract && target.paths.size() == 1)
            OnExtract(target.paths.front());
        return S_OK;
    }
    if (verb == "find") {
        if (OnFind && !target.paths.empty())
            OnFind(target.paths.front());
        return S_OK;
    }
    return E_NOTIMPL;
}

platform::HResult TShellVerbUi::open(const VerbTarget& t, QWidget*)
{
    for (size_t i = 0; i < t.paths.size(); ++i) {
        const bool folder = t.background || t.isTrash || (i < t.attrs.size() && (t.attrs[i] & SFGAO_FOLDER));
        if (folder) {
            if (OnOpenFolder)
                OnOpenFolder(t.background ? t.folderAbs : ConcatIdLists(t.folderAbs, t.rels[i]));
            // One window shows one folder: the first folder wins.
            return S_OK;
        }
        QString error;
        if (!t.paths[i].isEmpty() && !OpenPath(t.paths[i], &error))
            MsgBox(QString::fromUtf8(shelltexts::CannotOpen).arg(ReadableName(BaseName(t.paths[i]))) + QStringLiteral("\n") + error,
                   Text(shelltexts::Error), MB_ICONEXCLAMATION);
    }
    return S_OK;
}

platform::HResult TShellVerbUi::toClipboard(const VerbTarget& t, bool cut)
{
    if (!t.allHavePaths())
        return E_FAIL;
    ClipboardFiles files;
    files.paths = t.paths;
    files.cut = cut;
    std::unique_ptr<QMimeData> data = MakeClipboardData(files, t.folderAbs, t.rels);
    QGuiApplication::clipboard()->setMimeData(data.release());
    if (cut)
        CutItems::instance().set(t.paths);
    else
        CutItems::instance().clear();
    return S_OK;
}

platform::HResult TShellVerbUi::paste(const VerbTarget& t, QWidget* owner)
{
    if (t.paths.size() != 1 || t.paths.front().isEmpty())
        return E_FAIL;
    const QByteArray target = t.paths.front();
    ClipboardFiles files;
    if (!ReadClipboardFiles(QGuiApplication::clipboard()->mimeData(), &files)) {
        MsgBox(Text(shelltexts::NothingToPaste), QString(), MB_ICONINFORMATION);
        return E_FAIL;
    }
    std::unique_ptr<FileOperation> op = files.cut ? MoveFilesWithTrashInfo(files.paths, target) : CopyFiles(files.paths, target);
    const FileOpResult r = RunFileOperation(std::move(op), Text(files.cut ? shelltexts::Moving : shelltexts::Copying), owner);
    if (files.cut && r.status == FileOpResult::Completed) {
        // What was cut is gone from where it was: pasting again would find nothing.
        CutItems::instance().clear();
        QGuiApplication::clipboard()->clear();
    }
    return r.status == FileOpResult::Completed ? S_OK : E_FAIL;
}

platform::HResult TShellVerbUi::remove(const VerbTarget& t, bool forGood, QWidget* owner)
{
    if (!t.allHavePaths())
        return E_FAIL;
    const size_t n = t.paths.size();
    const QString one = ReadableName(BaseName(t.paths.front()));
    const QString question = forGood ? (n == 1 ? QString::fromUtf8(shelltexts::DeleteOne).arg(one)
                                               : QString::fromUtf8(shelltexts::DeleteMany).arg(n))
                                     : (n == 1 ? QString::fromUtf8(shelltexts::TrashOne).arg(one)
                                               : QString::fromUtf8(shelltexts::TrashMany).arg(n));
    if (MsgBox(question, Text(shelltexts::ConfirmDelete), MB_YESNO | (forGood ? MB_ICONEXCLAMATION : MB_ICONQUESTION)) != IDYES)
        return S_FALSE;
    if (forGood && t.trashItems) {
        // With their info files: nothing of them is left in the trash.
        RunFileOperation(DeleteFromTrash(trashEntriesOf(t)), Text(shelltexts::Deleting), owner);
        return S_OK;
    }
    if (forGood) {
        RunFileOperation(DeleteFiles(t.paths), Text(shelltexts::Deleting), owner);
        return S_OK;
    }
    TrashOrOfferDelete(t.paths, owner);
    return S_OK;
}

platform::HResult TShellVerbUi::link(const VerbTarget& t)
{
    for (const QByteArray& path : t.paths) {
        if (path.isEmpty())
            continue;
        const QByteArray target = NewLinkPath(ParentOf(path), path);
        // Relative, so the link survives moving the folder that holds both.
        if (::symlink(BaseName(path).constData(), target.constData()) != 0) {
            MsgBox(QString::fromUtf8(shelltexts::CannotLink).arg(ReadableName(BaseName(path)), QString::fromLocal8Bit(std::strerror(errno))),
                   Text(shelltexts::Error), MB_ICONEXCLAMATION);
            return HResultFromErrno(errno);
        }
    }
    return S_OK;
}

platform::HResult TShellVerbUi::properties(const VerbTarget& t, QWidget* owner)
{
    auto* dlg = new TfrmProperties(t, owner);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
    return S_OK;
}

platform::HResult TShellVerbUi::restore(const VerbTarget& t, QWidget* owner)
{
    const std::vector<TrashEntry> entries = trashEntriesOf(t);
    if (entries.empty())
        return E_FAIL;
    RunFileOperation(RestoreFromTrash(entries), Text(shelltexts::Restoring), owner);
    return S_OK;
}

platform::HResult TShellVerbUi::emptyTrash(QWidget* owner)
{
    if (MsgBox(Text(shelltexts::EmptyTrashQuestion), Text(shelltexts::ConfirmDelete), MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
        return S_FALSE;
    RunFileOperation(EmptyTrash(), Text(shelltexts::Deleting), owner);
    return S_OK;
}

platform::HResult TShellVerbUi::openWith(const VerbTarget& t, QWidget* owner)
{
    if (t.paths.size() != 1 || t.paths.front().isEmpty())
        return E_FAIL;
    TfrmOpenWith dlg(t.paths.front(), owner);
    dlg.exec();
    return S_OK;
}

} // namespace corvane::app
