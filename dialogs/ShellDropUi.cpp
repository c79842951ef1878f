#include "ShellDropUi.h"

#include "FileOpDialogs.h"
#include "ShellDialogTexts.h"
#include "ShellVerbUi.h"
#include "app/Utility.h"
#include "platform/NameCodec.h"
#include "platform/ShellOpen.h"
#include "platform/Trash.h"
#include "shellctl/ShellMenu.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::app {

using namespace platform;

namespace {

QWidget* ownerWidget(QObject* owner)
{
    auto* w = qobject_cast<QWidget*>(owner);
    return w ? w->window() : QApplication::activeWindow();
}

bool exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// The file's own name when it is free, else "Link to NAME", then numbered.
QByteArray linkPath(const QByteArray& folder, const QByteArray& file)
{
    const QByteArray own = folder + '/' + BaseName(file);
    return exists(own) ? NewLinkPath(folder, file) : own;
}

} // namespace

void InstallShellDrop()
{
    static TShellDropUi ui;
    SetShellDropHandler(&ui);
}

std::uint32_t TShellDropUi::ChooseDropEffect(QObject* owner, std::uint32_t allowed, std::uint32_t preferred, QPoint point)
{
    // The menu runs its own event loop, in which its owner window may close and take it along.
    const QPointer<QMenu> guarded(new QMenu(ownerWidget(owner)));
    QMenu& menu = *guarded;
    const struct {
        std::uint32_t effect;
        const char* caption;
    } entries[] = {
        {DROPEFFECT_MOVE, shelltexts::DropMoveHere},
        {DROPEFFECT_COPY, shelltexts::DropCopyHere},
        {DROPEFFECT_LINK, shelltexts::DropLinkHere},
    };
    for (const auto& e : entries) {
        if (!(allowed & e.effect))
            continue;
        QAction* a = menu.addAction(QString::fromUtf8(e.caption));
        a->setData(int(e.effect));
        if (e.effect == preferred) {
            QFont f = a->font();
            f.setBold(true);
            a->setFont(f);
            menu.setDefaultAction(a);
        }
    }
    menu.addSeparator();
    menu.addAction(QString::fromUtf8(shelltexts::DropCancel))->setData(0);
    const int chosen = shellctl::ExecShellMenu(guarded, point);
    delete guarded;
    return std::uint32_t(chosen) & allowed;
}

HResult TShellDropUi::DropFiles(QObject* owner, std::uint32_t effect, const std::vector<QByteArray>& files, const QByteArray& folder)
{
    QWidget* parent = ownerWidget(owner);
    if (effect == DROPEFFECT_LINK) {
        for (const QByteArray& f : files) {
            // Absolute: the link lives elsewhere than what it points to.
            if (::symlink(f.constData(), linkPath(folder, f).constData()) != 0) {
                MsgBox(QString::fromUtf8(shelltexts::CannotLink).arg(ReadableName(BaseName(f)), QString::fromLocal8Bit(std::strerror(errno))),
                       QString::fromUtf8(shelltexts::Error), MB_ICONEXCLAMATION);
                return HResultFromErrno(errno);
            }
        }
        return S_OK;
    }
    const bool move = effect == DROPEFFECT_MOVE;
    const FileOpResult r = RunFileOperation(move ? MoveFilesWithTrashInfo(files, folder) : CopyFiles(files, folder),
                                            QString::fromUtf8(move ? shelltexts::Moving : shelltexts::Copying), parent);
    return r.status == FileOpResult::Completed ? S_OK : E_FAIL;
}

HResult TShellDropUi::DropOnTrash(QObject* owner, const std::vector<QByteArray>& files)
{
    const FileOpResult r = TrashOrOfferDelete(files, ownerWidget(owner));
    return r.status == FileOpResult::Completed ? S_OK : E_FAIL;
}

HResult TShellDropUi::DropOnProgram(QObject*, const QByteArray& program, const std::vector<QByteArray>& files)
{
    QString error;
    if (RunWithFiles(program, files, &error))
        return S_OK;
    MsgBox(QString::fromUtf8(shelltexts::CannotRunWith).arg(ReadableName(BaseName(program)), error),
           QString::fromUtf8(shelltexts::Error), MB_ICONEXCLAMATION);
    return E_FAIL;
}

} // namespace corvane::app
