#include "ShellRecords.h"

#include "UShConsts.h"
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"
#include "platform/Volumes.h"

#include <QLocale>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <sys/stat.h>

namespace corvane::shellctl {

using namespace platform;

// ---- TShellLocator ----

PItemIDList TShellLocator::IdList()
{
    if (m_kind == KindSpecial && m_idList.isNull()) {
        PItemIDList id;
        if (Succeeded(SHGetSpecialFolderLocation(m_special, id)))
            m_idList = id;
    }
    return m_idList;
}

QString TShellLocator::Path()
{
    PItemIDList id = IdList();
    return PathFromIdList(id.isNull() ? EmptyIdList() : id);
}

void TShellLocator::SetIdList(const PItemIDList& list)
{
    quint8 oldKind = m_kind;
    m_kind = KindIdList;
    bool isChanged;
    if (!m_idList.isNull()) {
        int c = CompareIdLists(m_idList, list);
        isChanged = oldKind == KindSpecial || (c != 0 && c != CompareFailed);
        m_idList = PItemIDList();
    } else {
        isChanged = oldKind == KindSpecial || !list.isNull();
    }
    // The empty list is kept as null: both mean the desktop.
    if (IdListSize(list) > 2)
        m_idList = CopyIdList(list);
    if (isChanged)
        changed();
}

void TShellLocator::SetPath(const QString& path)
{
    PItemIDList id;
    if (Failed(IdListFromPath(path, id)))
        SetIdList(PItemIDList());
    else
        SetIdList(id);
}

void TShellLocator::SetSpecialFolder(quint8 csidl)
{
    if (m_kind == KindSpecial && m_special == csidl)
        return;
    m_kind = KindSpecial;
    m_special = csidl;
    m_idList = PItemIDList();
    changed();
}

void TShellLocator::Assign(const TShellLocator* other)
{
    if (!other) {
        if (!m_idList.isNull()) {
            m_idList = PItemIDList();
            m_kind = KindIdList;
            changed();
        }
        return;
    }
    if (SameLocation(*other))
        return;
    m_kind = other->m_kind;
    if (m_kind == KindSpecial) {
        m_special = other->m_special;
        m_idList = PItemIDList();
    } else {
        m_idList = other->m_idList.isNull() ? PItemIDList() : CopyIdList(other->m_idList);
    }
    changed();
}

bool TShellLocator::SameLocation(const TShellLocator& other) const
{
    if (m_kind != other.m_kind)
        return false;
    if (this == &other)
        return true;
    if (m_kind == KindIdList)
        return CompareIdLists(m_idList, other.m_idList) == 0;
    return m_special == other.m_special;
}

QByteArray TShellLocator::WriteData() const
{
    QByteArray out;
    out.append(char(m_kind));
    if (m_kind != KindIdList) {
        out.append(char(m_special));
        return out;
    }
    quint32 n = quint32(IdListSize(m_idList));
    std::array<char, 4> size;
    qToLittleEndian(n, size.data());
    out.append(size.data(), 4);
    out.append(m_idList.constData(), qsizetype(n));
    return out;
}

bool TShellLocator::ReadData(const QByteArray& data)
{
    if (data.isEmpty())
        return false;
    quint8 kind = quint8(data[0]);
    if (kind != KindIdList) {
        if (data.size() < 2)
            return false;
        m_kind = KindSpecial;
        m_special = quint8(data[1]);
        m_idList = PItemIDList();
        return true;
    }
    if (data.size() < 5)
        return false;
    quint32 n = qFromLittleEndian<quint32>(data.constData() + 1);
    if (n > quint32(data.size() - 5))
        return false;
    if (n == 0) {
        m_kind = KindSpecial;
        m_special = 0;
        m_idList = PItemIDList();
        return true;
    }
    const PItemIDList list(data.mid(5, qsizetype(n)));
    if (!IsWellFormedIdList(list.bytes()) || IdListByteSize(list) != list.size())
        return false;
    m_kind = KindIdList;
    m_idList = IdListSize(list) > 2 ? list : PItemIDList();
    return true;
}

void TShellLocator::changed()
{
    if (OnChange)
        OnChange(*this);
}

// ---- TIdListArray ----

int TIdListArray::Count() const
{
    return int(IdListItems(m_list).size());
}

const PItemIDList& TIdListArray::Item(int index)
{
    int count = Count();
    if (m_list.isNull() || index < 0 || (count > 0 && index >= count))
        throw EShellError(QString::fromLatin1(texts::IdListArrayIndex).replace(QLatin1String("%d"), QString::number(index)));
    if (count == 0) {
        m_last = EmptyIdList();
        return m_last;
    }
    m_last = MakeIdItem(IdListItems(m_list)[size_t(index)]);
    return m_last;
}

const PItemIDList& TIdListArray::Head(int n)
{
    std::vector<QByteArrayView> items = IdListItems(m_list);
    int count = int(items.size());
    if (n > count || n < 0 || m_list.isNull()) {
        m_last = PItemIDList();
        return m_last;
    }
    int keep = count - n;
    qsizetype bytes = keep == 0 ? 0 : (items[size_t(keep - 1)].data() + items[size_t(keep - 1)].size() - m_list.constData());
    m_last = PItemIDList(m_list.constData(), bytes);
    m_last.append(2, '\0');
    return m_last;
}

// ---- TPidlList ----

int TPidlList::compare(const PItemIDList& a, const PItemIDList& b) const
{
    if (m_folder)
        return CompareResultOrder(m_folder->CompareIDs(0, a, b));
    return BytewiseCompareIdLists(a, b);
}

bool TPidlList::search(const PItemIDList& key, int& pos) const
{
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = (lo + hi) / 2;
        int c = compare(m_items[size_t(mid)].IdList, key);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (m_duplicates != dupAccept)
                    lo = mid;
            }
        }
    }
    pos = lo;
    return found;
}

void TPidlList::SetSorted(bool sorted)
{
    if (sorted && !m_sorted) {
        std::stable_sort(m_items.begin(), m_items.end(),
                         [this](const Pair& a, const Pair& b) { return compare(a.IdList, b.IdList) < 0; });
    }
    m_sorted = sorted;
}

int TPidlList::Add(const PItemIDList& list, void* data)
{
    if (!m_sorted) {
        m_items.push_back({list, data});
        return Count() - 1;
    }
    int pos;
    if (search(list, pos)) {
        if (m_duplicates == dupIgnore)
            return pos;
        if (m_duplicates == dupError)
            throw EShellError(QString::fromLatin1(texts::DuplicatePidl));
    }
    m_items.insert(m_items.begin() + pos, Pair{list, data});
    return pos;
}

int TPidlList::IndexOf(const PItemIDList& list) const
{
    if (m_sorted) {
        int pos;
        return search(list, pos) ? pos : -1;
    }
    for (int i = 0; i < Count(); ++i) {
        if (compare(m_items[size_t(i)].IdList, list) == 0)
            return i;
    }
    return -1;
}

void TPidlList::Delete(int index)
{
    if (index >= 0 && index < Count())
        m_items.erase(m_items.begin() + index);
}

// ---- TShTreeData ----

TShTreeData::TShTreeData(QObject* owner, TShTreeData* parent, const PItemIDList& relIdList, bool initialised)
    : m_owner(owner), m_parent(parent), m_rel(relIdList), m_initialised(initialised)
{
}

const PItemIDList& TShTreeData::AbsIdList()
{
    if (m_abs.isNull())
        m_abs = m_parent ? ConcatIdLists(m_parent->AbsIdList(), m_rel) : CopyIdList(m_rel);
    return m_abs;
}

ShellFolderPtr TShTreeData::IShf()
{
    if (!m_ishf && !m_bindTried) {
        m_bindTried = true;
        if (!m_parent) {
            BindToFolder(AbsIdList(), m_ishf);
        } else if (ShellFolderPtr parent = m_parent->IShf()) {
            ShellFolderPtr f;
            if (Succeeded(parent->BindToObject(m_rel, f)))
                m_ishf = std::move(f);
        }
    }
    return m_ishf;
}

ShellFolderPtr TShTreeData::ParentIShf()
{
    return m_parent ? m_parent->IShf() : ShellFolderPtr();
}

QString TShTreeData::Path()
{
    if (!m_initialised)
        throw EShellError(QString::fromLatin1(texts::TreeDataNotInitialised));
    return PathFromIdList(AbsIdList());
}

bool TShTreeData::CanRename()
{
    if (!m_parent || IdListSize(m_rel) <= 2)
        return false;
    ShellFolderPtr parent = ParentIShf();
    if (!parent)
        return false;
    std::uint32_t attrs = 0x40000177;
    std::array<PItemIDList, 1> one{m_rel};
    if (Failed(parent->GetAttributesOf(one, attrs)))
        return false;
    return attrs & SFGAO_CANRENAME;
}

void TShTreeData::SetRelIdList(const PItemIDList& list)
{
    m_rel = list;
    m_ishf.reset();
    m_bindTried = false;
    m_abs = PItemIDList();
    AbsIdList();
}

void TShTreeData::FlushCache()
{
    m_abs = PItemIDList();
    m_ishf.reset();
    m_bindTried = false;
}

// ---- TShListData ----

const PItemIDList& TShListData::AbsIdList()
{
    if (m_abs.isNull())
        m_abs = ConcatIdLists(m_folder->AbsIdList, m_rel);
    return m_abs;
}

const QString& TShListData::DisplayName()
{
    if (!m_hasDisplayName) {
        m_hasDisplayName = true;
        m_displayName = GetDisplayName(m_folder->IShf, m_rel, dnInFolder);
    }
    return m_displayName;
}

std::uint32_t TShListData::Attributes() const
{
    std::uint32_t mask = 0xF00F0037;
    QByteArray path = PathBytesFromIdList(ConcatIdLists(m_folder->AbsIdList, m_rel));
    // Removable media answer the read-only question slowly; it is not asked there.
    if (path.size() > 1 && GetDriveType(VolumeRootOf(path)) == DRIVE_REMOVABLE)
        mask &= ~std::uint32_t(SFGAO_READONLY);
    std::array<PItemIDList, 1> one{m_rel};
    if (!m_folder->IShf || Failed(m_folder->IShf->GetAttributesOf(one, mask)))
        return 0;
    return mask;
}

QString TShListData::Path()
{
    return PathFromIdList(AbsIdList());
}

QString TShListData::FileName()
{
    QString p = Path();
    return p.mid(p.lastIndexOf(QLatin1Char('/')) + 1);
}

bool TShListData::IsLink()
{
    return (Attributes() & SFGAO_LINK) || Path().endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive);
}

QString TShListData::ColumnText(int column)
{
    if (column == 0)
        return {};
    if (m_folder->Details) {
        platform::ShellDetails d;
        return Succeeded(m_folder->Details->GetDetailsOf(m_rel, column, d)) ? d.text : QString();
    }
    switch (column) {
    case 1:
        return SizeText();
    case 2:
        return TypeText();
    case 3:
        return ModifiedText();
    default:
        return {};
    }
}

void TShListData::LoadDetails()
{
    if (m_detailsLoaded)
        return;
    m_detailsLoaded = true;
    if (m_hasDetails) {
        m_size = m_details.Size >= 0 ? FormatSizeKB(m_details.Size) : QString();
        m_modified = m_details.HasModified ? FormatFileTime(QDateTime::fromSecsSinceEpoch(m_details.Modified)) : QString();
        m_type = ItemTypeName(AbsIdList(), m_details.Attributes);
        return;
    }
    QByteArray path = PathBytesFromIdList(AbsIdList());
    // A volume root (the drive roots of other systems) shows neither size nor time.
    bool volumeRoot = !path.isEmpty() && VolumeRootOf(path) == path;
    if (!path.isEmpty() && !volumeRoot) {
        struct stat st;
        if (::stat(path.constData(), &st) == 0 || ::lstat(path.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                m_size = FormatSizeKB(qint64(st.st_size));
            qint64 secs = st.st_mtim.tv_sec != 0 ? st.st_mtim.tv_sec : st.st_ctim.tv_sec;
            m_modified = FormatFileTime(QDateTime::fromSecsSinceEpoch(secs));
        }
    }
    m_type = ItemTypeName(AbsIdList(), Attributes());
}

void TShListData::SetRelIdList(const PItemIDList& list)
{
    m_rel = list;
    FlushCache();
}

void TShListData::FlushCache()
{
    m_abs = PItemIDList();
    m_hasDisplayName = false;
    m_displayName.clear();
    m_detailsLoaded = false;
}

QString FormatFileTime(const QDateTime& t)
{
    QLocale loc;
    QDateTime local = t.toLocalTime();
    return loc.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ') + loc.toString(local.time(), QLocale::ShortFormat);
}

} // namespace corvane::shellctl
