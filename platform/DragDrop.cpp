#include "DragDrop.h"

#include "Clipboard.h"
#include "IdListFormat.h"
#include "NameCodec.h"
#include "ShellOpen.h"
#include "ShellVerbs.h"
#include "Trash.h"

#include <QMimeData>
#include <QPointer>
#include <QStringList>

#include <array>
#include <sys/stat.h>

namespace corvane::platform {

namespace {

IShellDropHandler* g_dropHandler = nullptr;

constexpr std::uint32_t AllEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

bool deviceOf(const QByteArray& path, dev_t* dev)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    *dev = st.st_dev;
    return true;
}

bool isInside(const QByteArray& folder, const QByteArray& item)
{
    return folder == item || (folder.startsWith(item) && (item.endsWith('/') || folder.at(item.size()) == '/'));
}

// Shared by the three kinds of target: the dragged files are read once, when the drag enters.
class DropTargetBase : public IDropTarget
{
public:
    explicit DropTargetBase(QObject* owner) : m_owner(owner) {}

    HResult DragEnter(const QMimeData* data, std::uint32_t keys, QPoint, std::uint32_t& effect) override
    {
        m_files = DroppedFiles(data);
        m_allowed = effect & AllEffects;
        effect = m_files.empty() ? DROPEFFECT_NONE : effectFor(m_files, keys, m_allowed);
        return S_OK;
    }
    HResult DragOver(std::uint32_t keys, QPoint, std::uint32_t& effect) override
    {
        effect = m_files.empty() ? DROPEFFECT_NONE : effectFor(m_files, keys, effect & m_allowed & AllEffects);
        return S_OK;
    }
    HResult DragLeave() override
    {
        m_files.clear();
        return S_OK;
    }
    HResult Drop(const QMimeData* data, std::uint32_t keys, QPoint point, std::uint32_t& effect) override
    {
        const std::vector<QByteArray> files = DroppedFiles(data);
        const std::uint32_t allowed = effect & AllEffects;
        std::uint32_t chosen = files.empty() ? DROPEFFECT_NONE : effectFor(files, keys, allowed);
        IShellDropHandler* handler = ShellDropHandler();
        if (!handler || files.empty()) {
            effect = DROPEFFECT_NONE;
            return S_FALSE;
        }
        if (keys & MK_RBUTTON) {
            std::uint32_t offered = 0;
            for (std::uint32_t e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK}) {
                if (effectFor(files, forcing(e), allowed & e) == e)
                    offered |= e;
            }
            chosen = offered ? handler->ChooseDropEffect(m_owner, offered, chosen, point) & offered : DROPEFFECT_NONE;
        }
        effect = chosen;
        if (chosen == DROPEFFECT_NONE)
            return S_FALSE;
        return perform(*handler, chosen, files);
    }

protected:
    virtual std::uint32_t effectFor(const std::vector<QByteArray>& files, std::uint32_t keys, std::uint32_t allowed) const = 0;
    virtual HResult perform(IShellDropHandler& handler, std::uint32_t effect, const std::vector<QByteArray>& files) = 0;
    QObject* owner() const { return m_owner.data(); }

private:
    // The keys that ask a folder for one effect.
    static std::uint32_t forcing(std::uint32_t effect)
    {
        return effect == DROPEFFECT_COPY ? MK_CONTROL : effect == DROPEFFECT_MOVE ? MK_SHIFT : MK_CONTROL | MK_SHIFT;
    }

    // Guarded: the drop's menu runs its own event loop, in which the owner may go.
    QPointer<QObject> m_owner;
    std::vector<QByteArray> m_files;
    std::uint32_t m_allowed = 0;
};

class FolderTarget final : public DropTargetBase
{
public:
    FolderTarget(QObject* owner, QByteArray path) : DropTargetBase(owner), m_path(std::move(path)) {}

protected:
    std::uint32_t effectFor(const std::vector<QByteArray>& files, std::uint32_t keys, std::uint32_t allowed) const override
    {
        return FolderDropEffect(files, m_path, keys, allowed);
    }
    HResult perform(IShellDropHandler& handler, std::uint32_t effect, const std::vector<QByteArray>& files) override
    {
        return handler.DropFiles(owner(), effect, files, m_path);
    }

private:
    QByteArray m_path;
};

class TrashTarget final : public DropTargetBase
{
public:
    using DropTargetBase::DropTargetBase;

protected:
    std::uint32_t effectFor(const std::vector<QByteArray>& files, std::uint32_t, std::uint32_t allowed) const override
    {
        for (const QByteArray& f : files) {
            if (TrashPlaceOf(f) != TrashPlace::Outside)
                return DROPEFFECT_NONE;
        }
        return allowed & DROPEFFECT_MOVE;
    }
    HResult perform(IShellDropHandler& handler, std::uint32_t, const std::vector<QByteArray>& files) override
    {
        return handler.DropOnTrash(owner(), files);
    }
};

class ProgramTarget final : public DropTargetBase
{
public:
    ProgramTarget(QObject* owner, QByteArray path) : DropTargetBase(owner), m_path(std::move(path)) {}

protected:
    // The program opens the files where they are, whatever the keys say.
    std::uint32_t effectFor(const std::vector<QByteArray>& files, std::uint32_t, std::uint32_t allowed) const override
    {
        for (const QByteArray& f : files) {
            if (f == m_path)
                return DROPEFFECT_NONE;
        }
        return allowed ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    }
    HResult perform(IShellDropHandler& handler, std::uint32_t, const std::vector<QByteArray>& files) override
    {
        return handler.DropOnProgram(owner(), m_path, files);
    }

private:
    QByteArray m_path;
};

HResult targetForPath(QObject* owner, const PItemIDList& abs, const QByteArray& path, std::unique_ptr<IDropTarget>& out)
{
    const PItemIDList trash = TrashIdList();
    const TrashPlace place = TrashPlaceOf(path);
    // A trash's files folder takes items only by trashing them, which writes their info.
    if ((!trash.isEmpty() && abs == trash) || place == TrashPlace::FilesFolder) {
        out = std::make_unique<TrashTarget>(owner);
        return S_OK;
    }
    // A trashed folder takes nothing in: what it holds comes back with it on restore.
    if (path.isEmpty() || place != TrashPlace::Outside)
        return E_FAIL;
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return HResultFromErrno(errno);
    if (S_ISDIR(st.st_mode)) {
        out = std::make_unique<FolderTarget>(owner, path);
        return S_OK;
    }
    if (IsProgram(path)) {
        out = std::make_unique<ProgramTarget>(owner, path);
        return S_OK;
    }
    return E_FAIL;
}

} // namespace

std::uint32_t KeyStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    std::uint32_t k = 0;
    if (buttons & Qt::LeftButton)
        k |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        k |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        k |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier)
        k |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        k |= MK_CONTROL;
    if (modifiers & Qt::AltModifier)
        k |= MK_ALT;
    return k;
}

std::uint32_t EffectsOf(Qt::DropActions actions)
{
    std::uint32_t e = 0;
    if (actions & Qt::CopyAction)
        e |= DROPEFFECT_COPY;
    if (actions & Qt::MoveAction)
        e |= DROPEFFECT_MOVE;
    if (actions & Qt::LinkAction)
        e |= DROPEFFECT_LINK;
    return e;
}

Qt::DropActions DropActionsOf(std::uint32_t effects)
{
    Qt::DropActions a;
    if (effects & DROPEFFECT_COPY)
        a |= Qt::CopyAction;
    if (effects & DROPEFFECT_MOVE)
        a |= Qt::MoveAction;
    if (effects & DROPEFFECT_LINK)
        a |= Qt::LinkAction;
    return a;
}

Qt::DropAction DropActionOf(std::uint32_t effect)
{
    if (effect & DROPEFFECT_COPY)
        return Qt::CopyAction;
    if (effect & DROPEFFECT_MOVE)
        return Qt::MoveAction;
    if (effect & DROPEFFECT_LINK)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

std::unique_ptr<QMimeData> MakeDragData(const PItemIDList& folderAbs, const std::vector<PItemIDList>& rels,
                                        const std::vector<QByteArray>& names)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(MimeIdListArray), MakeCida(folderAbs, rels));
    QByteArray uris;
    QByteArray text;
    for (const QByteArray& name : names) {
        // Items outside the file system have no URI; other programs cannot take them.
        if (name.startsWith('/'))
            uris += PathToFileUri(name) + "\r\n";
        text += ReadableName(name).toUtf8() + "\r\n";
    }
    if (!uris.isEmpty())
        data->setData(QString::fromLatin1(MimeUriList), uris);
    data->setData(QString::fromLatin1(MimePlainText), text);
    return data;
}

std::vector<QByteArray> DroppedFiles(const QMimeData* data)
{
    ClipboardFiles files;
    if (!data || !ReadClipboardFiles(data, &files))
        return {};
    return std::move(files.paths);
}

std::uint32_t AllowedEffects(const QMimeData* data)
{
    const QString ours = QString::fromLatin1(MimeIdListArray);
    if (!data || !data->hasFormat(ours))
        return AllEffects;
    PItemIDList folderAbs;
    std::vector<PItemIDList> rels;
    if (!ParseCida(data->data(ours), &folderAbs, &rels) || rels.empty())
        return DROPEFFECT_NONE;
    ShellFolderPtr desktop = SHGetDesktopFolder();
    ShellFolderPtr folder;
    if (IdListByteSize(folderAbs) <= 2)
        folder = desktop;
    else if (Failed(desktop->BindToObject(folderAbs, folder)))
        return DROPEFFECT_NONE;
    std::uint32_t a = AllEffects;
    if (Failed(folder->GetAttributesOf(rels, a)))
        return DROPEFFECT_NONE;
    return a & AllEffects;
}

std::unique_ptr<QMimeData> CopyDropData(const QMimeData* data)
{
    auto copy = std::make_unique<QMimeData>();
    if (!data)
        return copy;
    for (const char* type : {MimeIdListArray, MimeUriList, MimeGnomeCopiedFiles, MimeKdeCutSelection, MimePlainText}) {
        const QString t = QString::fromLatin1(type);
        if (data->hasFormat(t))
            copy->setData(t, data->data(t));
    }
    return copy;
}

void SetShellDropHandler(IShellDropHandler* handler)
{
    g_dropHandler = handler;
}

IShellDropHandler* ShellDropHandler()
{
    return g_dropHandler;
}

HResult GetDropTarget(QObject* owner, const ShellFolderPtr& folder, const PItemIDList& rel, std::unique_ptr<IDropTarget>& out)
{
    if (!folder || rel.isEmpty())
        return E_FAIL;
    const PItemIDList abs = ConcatIdLists(folder->AbsoluteIdList(), rel);
    return targetForPath(owner, abs, PathBytesFromIdList(abs), out);
}

HResult PathDropTarget(QObject* owner, const QByteArray& path, std::unique_ptr<IDropTarget>& out)
{
    return targetForPath(owner, PItemIDList(), path, out);
}

HResult FolderDropTarget(QObject* owner, const PItemIDList& folderAbs, std::unique_ptr<IDropTarget>& out)
{
    const PItemIDList abs = folderAbs.isEmpty() ? EmptyIdList() : folderAbs;
    return targetForPath(owner, abs, PathBytesFromIdList(abs), out);
}

std::uint32_t FolderDropEffect(const std::vector<QByteArray>& files, const QByteArray& folder, std::uint32_t keys,
                               std::uint32_t allowed)
{
    allowed &= AllEffects;
    if (files.empty() || folder.isEmpty() || !allowed)
        return DROPEFFECT_NONE;
    const bool ctrl = keys & MK_CONTROL;
    const bool shift = keys & MK_SHIFT;
    std::uint32_t effect;
    if ((ctrl && shift) || (keys & MK_ALT)) {
        effect = DROPEFFECT_LINK;
    } else if (ctrl) {
        effect = DROPEFFECT_COPY;
    } else if (shift) {
        effect = DROPEFFECT_MOVE;
    } else {
        dev_t target = 0, source = 0;
        const bool same = deviceOf(folder, &target) && deviceOf(ParentOf(files.front()), &source) && source == target;
        effect = same ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        if (!(allowed & effect)) {
            for (std::uint32_t e : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK}) {
                if (allowed & e) {
                    effect = e;
                    break;
                }
            }
        }
    }
    if (!(allowed & effect))
        return DROPEFFECT_NONE;
    if (effect == DROPEFFECT_LINK)
        return effect;
    bool allHere = true;
    for (const QByteArray& f : files) {
        // A folder never goes into itself.
        if (isInside(folder, f))
            return DROPEFFECT_NONE;
        allHere = allHere && ParentOf(f) == folder;
    }
    // Moving files to where they already are does nothing.
    if (effect == DROPEFFECT_MOVE && allHere)
        return DROPEFFECT_NONE;
    return effect;
}

} // namespace corvane::platform
