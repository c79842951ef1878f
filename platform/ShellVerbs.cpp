#include "ShellVerbs.h"

#include "IdListFormat.h"
#include "ShellVerbTexts.h"
#include "Trash.h"

#include <array>

namespace corvane::platform {

namespace {

IShellVerbHandler* g_handler = nullptr;

struct VerbInfo {
    int offset;
    const char* verb;
    const char* caption;
    const char* help;
};

constexpr std::array<VerbInfo, 14> verbTable = {{
    {voOpen, "open", verbtexts::Open, verbtexts::OpenHelp},
    {voOpenWith, "openas", verbtexts::OpenWith, verbtexts::OpenWithHelp},
    {voCut, "cut", verbtexts::Cut, verbtexts::CutHelp},
    {voCopy, "copy", verbtexts::Copy, verbtexts::CopyHelp},
    {voPaste, "paste", verbtexts::Paste, verbtexts::PasteHelp},
    {voLink, "link", verbtexts::Link, verbtexts::LinkHelp},
    {voDelete, "delete", verbtexts::Delete, verbtexts::DeleteHelp},
    {voProperties, "properties", verbtexts::Properties, verbtexts::PropertiesHelp},
    {voFind, "find", verbtexts::Find, verbtexts::FindHelp},
    {voRestore, "restore", verbtexts::Restore, verbtexts::RestoreHelp},
    {voEmptyTrash, "emptytrash", verbtexts::EmptyTrash, verbtexts::EmptyTrashHelp},
    {voCreateZip, "zip", verbtexts::CreateZip, verbtexts::CreateZipHelp},
    {voExtract, "extract", verbtexts::Extract, verbtexts::ExtractHelp},
    {voRename, "rename", verbtexts::Rename, verbtexts::RenameHelp},
}};

const VerbInfo* infoOf(int offset)
{
    for (const VerbInfo& v : verbTable) {
        if (v.offset == offset)
            return &v;
    }
    return nullptr;
}

constexpr int Separator = -1;
constexpr int SendToSubmenu = -2;

} // namespace

PItemIDList TrashIdList()
{
    PItemIDList out;
    if (Failed(SHGetDesktopFolder()->ParseDisplayName(QString::fromLatin1(names::TrashParsing), out)))
        return {};
    return out;
}

bool VerbTarget::allHavePaths() const
{
    if (paths.empty())
        return false;
    for (const QByteArray& p : paths) {
        if (p.isEmpty())
            return false;
    }
    return true;
}

bool VerbTarget::allHave(std::uint32_t attr) const
{
    if (attrs.empty())
        return false;
    for (std::uint32_t a : attrs) {
        if ((a & attr) != attr)
            return false;
    }
    return true;
}

void SetShellVerbHandler(IShellVerbHandler* handler)
{
    g_handler = handler;
}

IShellVerbHandler* ShellVerbHandler()
{
    return g_handler;
}

QByteArray VerbOfOffset(int offset)
{
    const VerbInfo* v = infoOf(offset);
    return v ? QByteArray(v->verb) : QByteArray();
}

IContextMenu::IContextMenu(VerbTarget target) : m_target(std::move(target))
{
}

std::vector<int> IContextMenu::offsets(unsigned flags) const
{
    const VerbTarget& t = m_target;
    std::vector<int> out;
    if (t.background) {
        out.push_back(voOpen);
        if (t.isTrash) {
            out.insert(out.end(), {Separator, voEmptyTrash});
        } else if (t.allHavePaths()) {
            // What is pasted into a trash would lie there without its info.
            if (!t.inTrash)
                out.insert(out.end(), {Separator, voPaste});
            out.insert(out.end(), {Separator, voFind});
        }
        out.insert(out.end(), {Separator, voProperties});
        return out;
    }
    if (t.isTrash)
        return {voOpen, Separator, voEmptyTrash, Separator, voProperties};
    const bool files = t.allHavePaths();
    if (t.inTrash) {
        // Trashed items leave only by Restore, which takes their info along; Delete deletes for
        // good, as there is no other trash to move them to.
        if (files) {
            out.insert(out.end(), {t.trashItems ? voRestore : voOpen, Separator, voCopy, Separator, voDelete});
        }
        out.insert(out.end(), {Separator, voProperties});
        return out;
    }
    out.push_back(voOpen);
    const bool oneFile = t.paths.size() == 1 && files && !t.allHave(SFGAO_FOLDER);
    if (oneFile)
        out.push_back(voOpenWith);
    if (files) {
        out.insert(out.end(), {Separator, SendToSubmenu});
        out.push_back(Separator);
        if (t.allHave(SFGAO_CANMOVE))
            out.push_back(voCut);
        if (t.allHave(SFGAO_CANCOPY))
            out.push_back(voCopy);
        // Not into a trash's files folder: what is pasted there would lie without its info.
        if (t.paths.size() == 1 && t.allHave(SFGAO_FOLDER) && TrashPlaceOf(t.paths.front()) == TrashPlace::Outside)
            out.push_back(voPaste);
        out.push_back(Separator);
        if (t.allHave(SFGAO_CANLINK))
            out.push_back(voLink);
        if (t.allHave(SFGAO_CANDELETE))
            out.push_back(voDelete);
        if ((flags & CMF_CANRENAME) && t.allHave(SFGAO_CANRENAME))
            out.push_back(voRename);
        // Packing and unpacking, as file managers offer them beside the file commands. An archive is
        // known by its name here: reading it would wait on the disk while the menu opens.
        out.insert(out.end(), {Separator, voCreateZip});
        if (oneFile && t.paths.front().toLower().endsWith(".zip"))
            out.push_back(voExtract);
    }
    out.insert(out.end(), {Separator, voProperties});
    return out;
}

HResult IContextMenu::QueryContextMenu(std::vector<ShellMenuItem>& menu, int idFirst, int idLast, unsigned flags) const
{
    if (idFirst < 0 || idLast - idFirst < voRename)
        return E_INVALIDARG;
    menu.clear();
    for (int offset : offsets(flags)) {
        if (offset == Separator) {
            // No leading or doubled separators.
            if (!menu.empty() && menu.back().id != 0)
                menu.push_back({});
            continue;
        }
        if (offset == SendToSubmenu) {
            // One grayed entry: the program puts the send-to folder's entries in its place.
            ShellMenuItem sendTo;
            sendTo.id = NoCommandId;
            sendTo.caption = QString::fromLatin1(verbtexts::SendTo);
            ShellMenuItem empty;
            empty.id = NoCommandId;
            empty.caption = QString::fromLatin1(verbtexts::SendToEmpty);
            empty.grayed = true;
            sendTo.submenu.push_back(empty);
            menu.push_back(sendTo);
            continue;
        }
        const VerbInfo* v = infoOf(offset);
        ShellMenuItem item;
        item.id = idFirst + offset;
        item.caption = QString::fromLatin1(v->caption);
        item.isDefault = offset == (m_target.trashItems ? voRestore : voOpen);
        menu.push_back(item);
    }
    while (!menu.empty() && menu.back().id == 0)
        menu.pop_back();
    return S_OK;
}

HResult IContextMenu::GetCommandString(int offset, unsigned type, QString& out) const
{
    const VerbInfo* v = infoOf(offset);
    if (!v)
        return E_INVALIDARG;
    if (type == GCS_VERBA)
        out = QString::fromLatin1(v->verb);
    else if (type == GCS_HELPTEXTA)
        out = QString::fromLatin1(offset == voDelete && m_target.inTrash ? verbtexts::DeleteForGoodHelp : v->help);
    else
        return E_INVALIDARG;
    return S_OK;
}

HResult IContextMenu::InvokeCommand(const CMInvokeCommandInfo& info)
{
    const QByteArray verb = VerbOfOffset(info.verb);
    if (verb.isEmpty())
        return E_INVALIDARG;
    if (!g_handler)
        return E_NOTIMPL;
    return g_handler->InvokeVerb(verb, m_target, info);
}

HResult GetUIObjectOf(QObject*, const ShellFolderPtr& folder, std::span<const PItemIDList> items,
                      std::unique_ptr<IContextMenu>& out)
{
    if (!folder || items.empty())
        return E_FAIL;
    VerbTarget t;
    t.folderAbs = folder->AbsoluteIdList();
    const PItemIDList trash = TrashIdList();
    // The items of one folder all lie where it does: in the Trash or a trash's files folder
    // they are trashed items; deeper down they are inside trashed folders.
    const TrashPlace place = !trash.isEmpty() && t.folderAbs == trash ? TrashPlace::FilesFolder
                                                                      : TrashPlaceOf(PathBytesFromIdList(t.folderAbs));
    t.inTrash = place != TrashPlace::Outside;
    t.trashItems = place == TrashPlace::FilesFolder;
    for (const PItemIDList& rel : items) {
        const PItemIDList abs = ConcatIdLists(t.folderAbs, rel);
        std::uint32_t a = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANLINK | SFGAO_CANRENAME | SFGAO_CANDELETE | SFGAO_FOLDER;
        std::array<PItemIDList, 1> one{rel};
        if (Failed(folder->GetAttributesOf(one, a)))
            a = 0;
        t.rels.push_back(rel);
        t.paths.push_back(PathBytesFromIdList(abs));
        t.attrs.push_back(a);
        if (items.size() == 1 && !trash.isEmpty() && abs == trash)
            t.isTrash = true;
    }
    out = std::make_unique<IContextMenu>(std::move(t));
    return S_OK;
}

HResult ItemUIObject(const PItemIDList& folderAbs, std::unique_ptr<IContextMenu>& out)
{
    VerbTarget t;
    t.folderAbs = folderAbs.isEmpty() ? EmptyIdList() : folderAbs;
    t.background = true;
    const QByteArray path = PathBytesFromIdList(t.folderAbs);
    t.paths.push_back(path);
    t.attrs.push_back(SFGAO_FOLDER);
    const PItemIDList trash = TrashIdList();
    t.isTrash = !trash.isEmpty() && t.folderAbs == trash;
    t.inTrash = t.isTrash || (!path.isEmpty() && TrashPlaceOf(path) != TrashPlace::Outside);
    out = std::make_unique<IContextMenu>(std::move(t));
    return S_OK;
}

HResult InvokeOffset(QObject* window, IContextMenu& menu, int offset, std::uint32_t mask)
{
    CMInvokeCommandInfo info;
    info.fMask = mask;
    info.hwnd = window;
    info.verb = offset;
    return menu.InvokeCommand(info);
}

HResult InvokeVerbByName(QObject* window, IContextMenu& menu, const QString& verb, std::uint32_t mask)
{
    bool isNumber = false;
    const int number = verb.toInt(&isNumber);
    if (isNumber)
        return InvokeOffset(window, menu, number, mask);
    std::vector<ShellMenuItem> items;
    const HResult hr = menu.QueryContextMenu(items, FirstCommandId, LastCommandId, CMF_EXPLORE);
    if (Failed(hr))
        return hr;
    for (const ShellMenuItem& item : items) {
        if (item.id < FirstCommandId)
            continue;
        QString name;
        if (Succeeded(menu.GetCommandString(item.id - FirstCommandId, GCS_VERBA, name))
            && name.compare(verb, Qt::CaseInsensitive) == 0)
            return InvokeOffset(window, menu, item.id - FirstCommandId, mask);
    }
    return E_FAIL;
}

int DefaultCommandOffset(const IContextMenu& menu)
{
    std::vector<ShellMenuItem> items;
    if (Failed(menu.QueryContextMenu(items, FirstCommandId, LastCommandId, CMF_EXPLORE)))
        return -1;
    for (const ShellMenuItem& item : items) {
        if (item.isDefault && item.id >= FirstCommandId)
            return item.id - FirstCommandId;
    }
    return -1;
}

} // namespace corvane::platform
