#pragma once
// Drag and drop of namespace items without widgets: the data a drag carries, the effects its
// items allow, and the drop targets of folders, the Trash and programs. A drop target decides
// what a drop would do; carrying it out needs dialogs, so the program installs a drop handler.
#include "Namespace.h"

#include <QByteArray>
#include <QPoint>
#include <Qt>
#include <cstdint>
#include <memory>
#include <vector>

class QMimeData;
class QObject;

namespace corvane::platform {

enum : std::uint32_t {
    DROPEFFECT_NONE = 0,
    DROPEFFECT_COPY = 1,
    DROPEFFECT_MOVE = 2,
    DROPEFFECT_LINK = 4,
    DROPEFFECT_SCROLL = 0x80000000u,
};
// Key state of a drag: the buttons and modifiers held.
enum : std::uint32_t {
    MK_LBUTTON = 0x01,
    MK_RBUTTON = 0x02,
    MK_SHIFT = 0x04,
    MK_CONTROL = 0x08,
    MK_MBUTTON = 0x10,
    MK_ALT = 0x20,
};

std::uint32_t KeyStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
std::uint32_t EffectsOf(Qt::DropActions actions);
Qt::DropActions DropActionsOf(std::uint32_t effects);
// The one action of an effect (copy before move before link); IgnoreAction for none.
Qt::DropAction DropActionOf(std::uint32_t effect);

// The data of dragged items: our ID-list array, the files as text/uri-list and the names as plain
// text, each followed by "\r\n". names are the items' for-parsing names (raw paths for files).
std::unique_ptr<QMimeData> MakeDragData(const PItemIDList& folderAbs, const std::vector<PItemIDList>& rels,
                                        const std::vector<QByteArray>& names);
// The files a drop carries: from our array, else the local files of a uri-list.
std::vector<QByteArray> DroppedFiles(const QMimeData* data);
// The effects every dragged item allows (copy, move, link), from our array; all three when the
// data has no array (it came from another program).
std::uint32_t AllowedEffects(const QMimeData* data);
// A copy of the formats a drop reads, for carrying out a drop after the drag has ended.
std::unique_ptr<QMimeData> CopyDropData(const QMimeData* data);

class IDropTarget
{
public:
    virtual ~IDropTarget() = default;
    // effect: in, what the source allows; out, what a drop here would do. point is global.
    virtual HResult DragEnter(const QMimeData* data, std::uint32_t keys, QPoint point, std::uint32_t& effect) = 0;
    virtual HResult DragOver(std::uint32_t keys, QPoint point, std::uint32_t& effect) = 0;
    virtual HResult DragLeave() = 0;
    // With the right button in keys, the handler asks which effect to carry out.
    virtual HResult Drop(const QMimeData* data, std::uint32_t keys, QPoint point, std::uint32_t& effect) = 0;
};

// Carries out drops for the program (questions, progress and messages live above the platform).
class IShellDropHandler
{
public:
    virtual ~IShellDropHandler() = default;
    // The right-button menu: the effect chosen among the allowed ones, none when cancelled.
    virtual std::uint32_t ChooseDropEffect(QObject* owner, std::uint32_t allowed, std::uint32_t preferred, QPoint point) = 0;
    // Copies, moves or links the files into the folder.
    virtual HResult DropFiles(QObject* owner, std::uint32_t effect, const std::vector<QByteArray>& files,
                              const QByteArray& folder) = 0;
    virtual HResult DropOnTrash(QObject* owner, const std::vector<QByteArray>& files) = 0;
    virtual HResult DropOnProgram(QObject* owner, const QByteArray& program, const std::vector<QByteArray>& files) = 0;
};
void SetShellDropHandler(IShellDropHandler* handler);
IShellDropHandler* ShellDropHandler();

// The drop target of an item of a folder: a folder (or a link to one), the Trash, a program or a
// launcher; E_FAIL for anything else.
HResult GetDropTarget(QObject* owner, const ShellFolderPtr& folder, const PItemIDList& rel, std::unique_ptr<IDropTarget>& out);
// The drop target of a file-system path: a folder, a program or a launcher.
HResult PathDropTarget(QObject* owner, const QByteArray& path, std::unique_ptr<IDropTarget>& out);
// The drop target of a folder itself.
HResult FolderDropTarget(QObject* owner, const PItemIDList& folderAbs, std::unique_ptr<IDropTarget>& out);

// What a drop of the files into a folder does by default: Ctrl+Shift links, Ctrl copies, Shift
// moves; otherwise a move on the same volume and a copy across volumes. Limited to allowed;
// none when nothing allowed fits or the drop would put a folder into itself.
std::uint32_t FolderDropEffect(const std::vector<QByteArray>& files, const QByteArray& folder, std::uint32_t keys,
                               std::uint32_t allowed);

} // namespace corvane::platform
