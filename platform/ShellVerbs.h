#pragma once
// Context menus and verbs of namespace items, standing in for the shell's context menu objects.
// A context menu lists the commands that suit its items; each command has a fixed offset, a verb
// and a help text. Carrying a command out needs questions and dialogs, so the program installs a
// verb handler; without one no command does anything.
#include "IdListFormat.h"
#include "Namespace.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <span>
#include <vector>

class QObject;

namespace corvane::platform {

inline constexpr int FirstCommandId = 50;
inline constexpr int LastCommandId = 0x7FFF;

enum : unsigned {
    CMF_NORMAL = 0,
    CMF_EXPLORE = 4,
    CMF_CANRENAME = 16,
};
enum : unsigned {
    GCS_VERBA = 0,
    GCS_HELPTEXTA = 1,
};
// Set in the invocation's mask when Shift was held (delete then deletes for good).
inline constexpr std::uint32_t CMIC_MASK_SHIFT_DOWN = 0x10000000;

// Command offsets; rename sits at 18, where the controls turn it into in-place editing.
enum VerbOffset : int {
    voOpen = 0,
    voOpenWith = 1,
    voCut = 2,
    voCopy = 3,
    voPaste = 4,
    voLink = 5,
    voDelete = 6,
    voProperties = 7,
    voFind = 8,
    voRestore = 9,
    voEmptyTrash = 10,
    voCreateZip = 11,
    voExtract = 12,
    voRename = 18,
};

// One entry of a queried menu: a command (id >= idFirst), a separator (id 0), or a submenu or
// an entry without a command (id -1).
struct ShellMenuItem {
    int id = 0;
    QString caption;
    bool isDefault = false;
    bool grayed = false;
    std::vector<ShellMenuItem> submenu;
};
inline constexpr int NoCommandId = -1;

// What a context menu acts on.
struct VerbTarget {
    PItemIDList folderAbs;             // the items' folder; the folder itself for a folder menu
    std::vector<PItemIDList> rels;     // empty for a folder menu
    std::vector<QByteArray> paths;     // raw paths, one per item (or the folder); empty outside the file system
    std::vector<std::uint32_t> attrs;  // SFGAO bits, one per item
    bool background = false;           // the menu of the folder itself (paste into it, find in it)
    bool inTrash = false;              // the items (the folder, for a folder menu) lie in a trash
    bool trashItems = false;           // the items are trashed items themselves, each with its info
    bool isTrash = false;              // the one item (the folder, for a folder menu) is the Trash

    bool allHavePaths() const;
    bool allHave(std::uint32_t attr) const;
};

// The invocation record; verb is the command offset.
struct CMInvokeCommandInfo {
    std::uint32_t cbSize = 36;
    std::uint32_t fMask = 0;
    QObject* hwnd = nullptr;
    int verb = -1;
    int nShow = 1;
};

// Carries out verbs; the program installs one (its dialogs and questions live above the platform).
class IShellVerbHandler
{
public:
    virtual ~IShellVerbHandler() = default;
    virtual HResult InvokeVerb(const QByteArray& verb, const VerbTarget& target, const CMInvokeCommandInfo& info) = 0;
};
void SetShellVerbHandler(IShellVerbHandler* handler);
IShellVerbHandler* ShellVerbHandler();

class IContextMenu
{
public:
    explicit IContextMenu(VerbTarget target);

    // The commands for these items, ids idFirst + offset; fails when idLast leaves no room.
    HResult QueryContextMenu(std::vector<ShellMenuItem>& menu, int idFirst, int idLast, unsigned flags) const;
    HResult GetCommandString(int offset, unsigned type, QString& out) const;
    HResult InvokeCommand(const CMInvokeCommandInfo& info);
    const VerbTarget& Target() const { return m_target; }

private:
    std::vector<int> offsets(unsigned flags) const;
    VerbTarget m_target;
};

// The verb of an offset ("open", "cut", ...); empty for an unknown offset.
QByteArray VerbOfOffset(int offset);

// The context menu of items of `folder`; E_FAIL without items or folder.
HResult GetUIObjectOf(QObject* owner, const ShellFolderPtr& folder, std::span<const PItemIDList> items,
                      std::unique_ptr<IContextMenu>& out);
// The context menu of a folder itself, for paste and find.
HResult ItemUIObject(const PItemIDList& folderAbs, std::unique_ptr<IContextMenu>& out);

HResult InvokeOffset(QObject* window, IContextMenu& menu, int offset, std::uint32_t mask = 0);
// Looks the verb up among the top-level commands of the menu (case-insensitive); a verb that the
// menu lacks invokes nothing and gives E_FAIL. A number is taken as an offset.
HResult InvokeVerbByName(QObject* window, IContextMenu& menu, const QString& verb, std::uint32_t mask = 0);
// The menu's default command's offset, or -1.
int DefaultCommandOffset(const IContextMenu& menu);

// The Trash's own absolute list.
PItemIDList TrashIdList();

} // namespace corvane::platform
