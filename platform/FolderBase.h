#pragma once
// The folders of the shell namespace and what they share: the item kinds and their payloads, and
// the base every folder builds on. Only the namespace's own files include this.
#include "Namespace.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <dirent.h>
#include <memory>
#include <vector>

class QCollator;

namespace corvane::platform {
struct TrashEntry;
}

namespace corvane::platform::folders {

// Item kinds: the first payload byte.
enum Kind : char {
    KindHome = 'H',
    KindComputer = 'C',
    KindTrash = 'T',
    KindVolume = 'V',
    KindDir = 'D',
    KindFile = 'F',
    KindDirLink = 'd',   // symbolic link to a folder
    KindFileLink = 'f',  // any other symbolic link, broken ones and loops included
    // An item of the Trash: then the kind of what it is (one of the four above), the trash
    // folder that holds it, a NUL byte and its name in that trash's files folder.
    KindTrashItem = 'e',
};

inline bool isFsKind(char k) { return k == KindDir || k == KindFile || k == KindDirLink || k == KindFileLink; }
inline bool isFolderKind(char k) { return k == KindDir || k == KindDirLink || k == KindHome || k == KindComputer || k == KindTrash || k == KindVolume; }
inline bool isLinkKind(char k) { return k == KindDirLink || k == KindFileLink; }

struct ItemRef {
    char kind = 0;
    QByteArray name;
    bool valid = false;
    // Trash items: what the item is and the trash folder that holds it.
    char fsKind = 0;
    QByteArray trashRoot;
};

// Item bytes can come from the clipboard or a drag: a name that is no plain name of one
// folder entry (empty, ".", "..", a slash or a NUL byte) would lead outside its folder.
bool plainName(QByteArrayView name);
bool plainMountPoint(QByteArrayView mp);
// The parts of a trash item's payload after its kind byte; false when they are malformed.
bool splitTrashItem(QByteArrayView rest, char* fsKind, QByteArray* root, QByteArray* name);
bool validItem(char kind, QByteArrayView name);
ItemRef firstItem(const PItemIDList& list);
// The items after the first, as their own list (null when there are none).
PItemIDList restOf(const PItemIDList& list);
PItemIDList makeItem(char kind, QByteArrayView name);
PItemIDList makeTrashItem(char fsKind, const QByteArray& root, QByteArrayView name);
PItemIDList concat(const PItemIDList& a, const PItemIDList& b);
QByteArray joinPath(const QByteArray& dir, QByteArrayView name);
bool isHiddenName(QByteArrayView name);
char kindOfPath(const QByteArray& path, int* err);
// Whether a folder holds at least one folder. Counting links is enough where the file system
// keeps them (a folder's link count is 2 plus its subfolders); otherwise a bounded scan.
bool hasSubfolder(const QByteArray& path);
std::uint32_t fsAttributes(char kind, QByteArrayView name, const QByteArray& path, std::uint32_t mask, HResult& hr);
QCollator& nameCollator();
int compareNames(const QByteArray& a, const QByteArray& b);
// The kind of a folder entry, from readdir where it says so.
char kindOfEntry(DIR* dir, const dirent* e);
// Lists a folder of the file system.
HResult enumFs(const QByteArray& dir, std::uint32_t flags, std::unique_ptr<IEnumIDList>& out);

// The names and types the Trash and the computer show, also for the display names of their items.
QByteArray trashItemPath(const ItemRef& it);
QString shownTrashName(const ItemRef& it, const TrashEntry& e);
QString typeNameOf(char kind, const QByteArray& name);
QString volumeLabel(const QByteArray& mountPoint);

ShellFolderPtr NewFsFolder(QByteArray path, PItemIDList abs);
ShellFolderPtr NewComputerFolder();
ShellFolderPtr NewTrashFolder();
ShellFolderPtr NewDesktopFolder();

// Serves a fixed list of items first, then (optionally) a folder's entries.
class ListEnum final : public IEnumIDList
{
public:
    ListEnum(std::vector<PItemIDList> items, std::unique_ptr<IEnumIDList> tail)
        : m_items(std::move(items)), m_tail(std::move(tail)) {}

    HResult Next(PItemIDList& item) override
    {
        if (m_pos < m_items.size()) {
            item = m_items[m_pos++];
            return S_OK;
        }
        return m_tail ? m_tail->Next(item) : S_FALSE;
    }

private:
    std::vector<PItemIDList> m_items;
    size_t m_pos = 0;
    std::unique_ptr<IEnumIDList> m_tail;
};

// Shared behaviour of every folder: items are handled one level at a time.
class FolderBase : public IShellFolder
{
public:
    explicit FolderBase(PItemIDList abs) : m_abs(std::move(abs)) {}

    PItemIDList AbsoluteIdList() const override { return m_abs; }

    HResult BindToObject(const PItemIDList& rel, std::shared_ptr<IShellFolder>& out) override;

    HResult CompareIDs(int column, const PItemIDList& a, const PItemIDList& b) override;

    HResult GetAttributesOf(std::span<const PItemIDList> items, std::uint32_t& inOut) override;

    HResult GetDisplayNameOf(const PItemIDList& rel, std::uint32_t shgdn, QString& out) override;

    HResult SetNameOf(const PItemIDList& rel, const QString& newName, std::uint32_t, PItemIDList& out) override;

protected:
    virtual HResult bindChild(const ItemRef& it, ShellFolderPtr& out) = 0;
    // The folder that holds this folder's file-system children; null when it has none.
    virtual QByteArray childFolderPath(const ItemRef& it) const = 0;
    virtual std::uint32_t childAttributes(const ItemRef& it, std::uint32_t mask, HResult& hr);
    virtual HResult childDisplayName(const ItemRef& it, std::uint32_t shgdn, QString& out);
    // The rank of a kind ahead of any name: the Desktop's own items come first.
    virtual int kindRank(char) const { return 0; }

    HResult bindFs(const ItemRef& it, ShellFolderPtr& out);

    virtual int compareItems(int column, const ItemRef& a, const ItemRef& b);

    PItemIDList m_abs;
};

} // namespace corvane::platform::folders
