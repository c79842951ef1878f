#pragma once
// The shell namespace on Linux: a tree of folders rooted at the Desktop, whose items are
// addressed by item identifier lists. The Desktop holds Home, Computer (the mounted
// volumes), Trash and the entries of the XDG desktop folder.
//
// Item payloads are our own bytes: a kind byte, then the raw name bytes. Nothing outside
// this unit reads them.
#include "ShellTypes.h"

#include <QString>
#include <memory>
#include <span>

namespace corvane::platform {

class IEnumIDList
{
public:
    virtual ~IEnumIDList() = default;
    // S_OK with one relative one-item list, S_FALSE at the end, a failure code otherwise.
    virtual HResult Next(PItemIDList& item) = 0;
};

// The columns a folder describes itself (the Trash: where an item came from, when it was
// deleted), in place of the standard Name, Size, Type and Modified.
enum : int {
    LVCFMT_LEFT = 0,
    LVCFMT_RIGHT = 1,
    LVCFMT_CENTER = 2,
};
struct ShellDetails {
    QString text;
    int fmt = LVCFMT_LEFT;
    int cxChar = 0;  // width in average characters
};

class IShellDetails
{
public:
    virtual ~IShellDetails() = default;
    // A null or empty rel: the header of the column. Fails past the last column.
    virtual HResult GetDetailsOf(const PItemIDList& rel, int column, ShellDetails& out) = 0;
};

class IShellFolder
{
public:
    virtual ~IShellFolder() = default;

    // A display path relative to this folder (absolute paths at the desktop) -> relative list.
    virtual HResult ParseDisplayName(const QString& displayName, PItemIDList& out) = 0;
    virtual HResult EnumObjects(std::uint32_t shcontf, std::unique_ptr<IEnumIDList>& out) = 0;
    // The list may hold several items; it is bound one level after the other.
    virtual HResult BindToObject(const PItemIDList& rel, std::shared_ptr<IShellFolder>& out) = 0;
    // Lists may hold several items. Column 0 name (folders first), 1 size, 2 type, 3 modified.
    virtual HResult CompareIDs(int column, const PItemIDList& a, const PItemIDList& b) = 0;
    // In: the requested bits. Out: those of them that every item has.
    virtual HResult GetAttributesOf(std::span<const PItemIDList> items, std::uint32_t& inOut) = 0;
    virtual HResult GetDisplayNameOf(const PItemIDList& rel, std::uint32_t shgdn, QString& out) = 0;
    virtual HResult SetNameOf(const PItemIDList& rel, const QString& newName, std::uint32_t shgdn, PItemIDList& out) = 0;
    // The folder's own columns; E_NOINTERFACE for folders that show the standard ones.
    virtual HResult CreateViewObject(std::shared_ptr<IShellDetails>& out)
    {
        out.reset();
        return E_NOINTERFACE;
    }

    // The folder's own absolute ID list.
    virtual PItemIDList AbsoluteIdList() const = 0;
};

using ShellFolderPtr = std::shared_ptr<IShellFolder>;

// The root of the namespace.
ShellFolderPtr SHGetDesktopFolder();
HResult SHGetSpecialFolderLocation(int csidl, PItemIDList& out);
// The file-system path of an absolute list (names with invalid bytes escaped, see NameCodec);
// false for items outside the file system.
bool SHGetPathFromIDList(const PItemIDList& abs, QString& path);
// As above, as raw bytes for the system calls.
QByteArray PathBytesFromIdList(const PItemIDList& abs);

// Information that SHGetFileInfo gives for an absolute list.
enum : std::uint32_t {
    SHGFI_SMALLICON = 0x1,
    SHGFI_OPENICON = 0x2,
};
// Index into the shared icon table (IconTable.h).
int SHGetIconIndex(const PItemIDList& abs, std::uint32_t flags);
// The icon of a file or folder by its name, for lists of paths (Find): nothing is read.
int SHGetFileIconIndex(const QString& fileName, bool folder);
QString SHGetDisplayName(const PItemIDList& abs);
QString SHGetTypeName(const PItemIDList& abs);

// Folder locations on this system (they follow the XDG user directories).
QByteArray HomeFolderPath();
QByteArray DesktopFolderPath();   // empty when the desktop folder is the home folder or missing
QByteArray TrashFilesPath();
QByteArray SendToFolderPath();

// Display names of the Desktop's own items.
namespace names {
inline constexpr const char* Desktop = "Desktop";
inline constexpr const char* Home = "Home";
inline constexpr const char* Computer = "Computer";
inline constexpr const char* Trash = "Trash";
inline constexpr const char* ComputerParsing = "computer:///";
inline constexpr const char* TrashParsing = "trash:///";
// The Trash's columns.
inline constexpr const char* TrashColName = "Name";
inline constexpr const char* TrashColOrigin = "Original Location";
inline constexpr const char* TrashColDeleted = "Deletion Date";
inline constexpr const char* TrashColSize = "Size";
inline constexpr const char* TrashColType = "Type";
} // namespace names

} // namespace corvane::platform
