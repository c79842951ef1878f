#pragma once
// The location value and the ID list containers and item records of the shell controls.
#include "UShellUtils.h"

#include <QIODevice>
#include <functional>
#include <memory>
#include <vector>

class QObject;

namespace corvane::shellctl {

// A location that a control publishes (the tree's BaseFolder, the list's Folder).
class TShellLocator
{
public:
    enum : quint8 { KindIdList = 0, KindSpecial = 1 };

    TShellLocator() = default;
    TShellLocator(const TShellLocator&) = delete;
    TShellLocator& operator=(const TShellLocator&) = delete;

    quint8 Kind() const { return m_kind; }
    quint8 SpecialFolder() const { return m_special; }
    // For the special kind the list is asked for once and kept.
    PItemIDList IdList();
    QString Path();

    void SetIdList(const PItemIDList& list);
    void SetPath(const QString& path);
    void SetSpecialFolder(quint8 csidl);
    void Clear() { SetIdList(PItemIDList()); }
    void Assign(const TShellLocator* other);
    bool SameLocation(const TShellLocator& other) const;

    // The persistent "Pidl" property.
    bool HasStoredValue() const { return m_kind == KindSpecial || !m_idList.isNull(); }
    QByteArray WriteData() const;
    // False (and the locator unchanged) when the bytes are malformed.
    bool ReadData(const QByteArray& data);

    std::function<void(TShellLocator&)> OnChange;

private:
    void changed();

    quint8 m_kind = KindIdList;
    quint8 m_special = 0;
    PItemIDList m_idList;
};

// An indexed view over the items of an absolute list. Results stay valid until the next call.
class TIdListArray
{
public:
    explicit TIdListArray(const PItemIDList& list) : m_list(list) {}
    int Count() const;
    const PItemIDList& Item(int index);
    const PItemIDList& Head(int n);

private:
    PItemIDList m_list;
    PItemIDList m_last;
};

// Pairs of (ID list, data), sorted on request through a folder's CompareIDs or bytewise.
class TPidlList
{
public:
    enum TDuplicates { dupIgnore = 0, dupAccept = 1, dupError = 2 };
    struct Pair {
        PItemIDList IdList;
        void* Data = nullptr;
    };

    int Count() const { return int(m_items.size()); }
    const PItemIDList& IdList(int i) const { return m_items[size_t(i)].IdList; }
    void* Data(int i) const { return m_items[size_t(i)].Data; }

    bool Sorted() const { return m_sorted; }
    void SetSorted(bool sorted);
    const ShellFolderPtr& Folder() const { return m_folder; }
    void SetFolder(ShellFolderPtr folder) { m_folder = std::move(folder); }
    TDuplicates Duplicates() const { return m_duplicates; }
    void SetDuplicates(TDuplicates d) { m_duplicates = d; }
    void SetCapacity(int n) { m_items.reserve(size_t(n)); }

    int Add(const PItemIDList& list, void* data = nullptr);
    int IndexOf(const PItemIDList& list) const;
    void Delete(int index);
    void Clear() { m_items.clear(); }

private:
    int compare(const PItemIDList& a, const PItemIDList& b) const;
    // Position of the key (found or where it belongs).
    bool search(const PItemIDList& key, int& pos) const;

    std::vector<Pair> m_items;
    bool m_sorted = false;
    ShellFolderPtr m_folder;
    TDuplicates m_duplicates = dupError;
};

// The folder a file list shows, shared by its item records.
struct TShListFolder {
    ShellFolderPtr IShf;
    PItemIDList AbsIdList;
    // The folder's own columns, when it describes them (asked once per folder).
    std::shared_ptr<platform::IShellDetails> Details;
};

class TShTreeData
{
public:
    TShTreeData(QObject* owner, TShTreeData* parent, const PItemIDList& relIdList, bool initialised = true);

    QObject* Owner() const { return m_owner; }
    TShTreeData* ParentData() const { return m_parent; }
    const PItemIDList& RelIdList() const { return m_rel; }
    const PItemIDList& AbsIdList();
    // The folder of this node, bound on first use; null when binding failed.
    ShellFolderPtr IShf();
    void SetIShf(ShellFolderPtr f) { m_ishf = std::move(f); }
    ShellFolderPtr ParentIShf();
    QString Path();
    bool CanRename();
    void SetRelIdList(const PItemIDList& list);
    void FlushCache();

private:
    QObject* m_owner;
    TShTreeData* m_parent;
    PItemIDList m_rel;
    PItemIDList m_abs;
    ShellFolderPtr m_ishf;
    bool m_bindTried = false;
    bool m_initialised;
};

// What a list reads about an item once, when it is listed; texts are made from it later.
struct TShItemDetails {
    qint64 Size = -1;  // bytes; -1 for folders and items without a size
    qint64 Modified = 0;  // seconds since the epoch
    bool HasModified = false;
    std::uint32_t Attributes = 0;  // as the list admitted the item
};

class TShListData
{
public:
    TShListData(std::shared_ptr<const TShListFolder> folder, const PItemIDList& relIdList)
        : m_folder(std::move(folder)), m_rel(relIdList) {}

    const PItemIDList& RelIdList() const { return m_rel; }
    const PItemIDList& AbsIdList();
    const QString& DisplayName();
    std::uint32_t Attributes() const;
    bool IsFolder() const { return (m_hasDetails ? m_details.Attributes : Attributes()) & platform::SFGAO_FOLDER; }
    bool CanRename() const { return Attributes() & platform::SFGAO_CANRENAME; }
    QString Path();
    QString FileName();
    bool IsLink();
    QString ColumnText(int column);
    void LoadDetails();
    const QString& SizeText() { LoadDetails(); return m_size; }
    const QString& TypeText() { LoadDetails(); return m_type; }
    const QString& ModifiedText() { LoadDetails(); return m_modified; }
    void SetRelIdList(const PItemIDList& list);
    void FlushCache();
    // With details given, the detail texts come from them and never from the disk.
    void SetDetails(const TShItemDetails& details)
    {
        m_details = details;
        m_hasDetails = true;
        m_detailsLoaded = false;
    }
    const TShItemDetails* Details() const { return m_hasDetails ? &m_details : nullptr; }

private:
    std::shared_ptr<const TShListFolder> m_folder;
    TShItemDetails m_details;
    bool m_hasDetails = false;
    PItemIDList m_rel;
    PItemIDList m_abs;
    QString m_displayName;
    bool m_hasDisplayName = false;
    bool m_detailsLoaded = false;
    QString m_size, m_type, m_modified;
};

class TShComboData
{
public:
    TShComboData(ShellFolderPtr parentIShf, const PItemIDList& parentAbs, const PItemIDList& rel)
        : ParentIShf(std::move(parentIShf)), ParentAbsIdList(parentAbs), RelIdList(rel),
          AbsIdList(ConcatIdLists(parentAbs, rel)) {}

    ShellFolderPtr ParentIShf;
    PItemIDList ParentAbsIdList;
    PItemIDList RelIdList;
    PItemIDList AbsIdList;
};

// Short date, a blank, short time, in the user's locale.
QString FormatFileTime(const QDateTime& t);

} // namespace corvane::shellctl
