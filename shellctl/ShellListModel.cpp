#include "ShellListModel.h"

#include "NameEdit.h"
#include "ShellRecords.h"
#include "UShConsts.h"
#include "UShellUtils.h"
#include "UTreeListDraw.h"
#include "platform/Clipboard.h"
#include "platform/IconTable.h"
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"

#include <QApplication>
#include <QPalette>
#include <QSet>

#include <algorithm>
#include <numeric>

namespace corvane::shellctl {

using namespace platform;

TShellListModel::TShellListModel(QObject* parent) : QAbstractTableModel(parent) {}

QVariant TShellListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_items.size()))
        return {};
    const Item& item = m_items[size_t(index.row())];
    TShListData* d = item.Data.get();
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? d->DisplayName() : d->ColumnText(index.column());
    case Qt::EditRole:
        return index.column() == 0 ? NameToEditText(EditableName(index.row())) : d->ColumnText(index.column());
    case Qt::DecorationRole: {
        if (index.column() != 0)
            return {};
        int& icon = const_cast<Item&>(item).Icon;
        if (icon < 0)
            icon = SysIconIndex(d->AbsIdList(), 1);
        IconTable::Overlay ov = (item.Attributes & SFGAO_LINK) ? IconTable::LinkOverlay
                                : (item.Attributes & SFGAO_SHARE) ? IconTable::ShareOverlay : IconTable::NoOverlay;
        return IconTable::instance().pixmap(icon, LargeIcons, ov);
    }
    case Qt::ForegroundRole:
        if ((item.Attributes & SFGAO_GHOSTED) || (!CutItems::instance().isEmpty() && CutItems::instance().contains(EncodeName(d->Path()))))
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == 0 ? QVariant() : QVariant(alignment(index.column()));
    case EditSelectionRole: {
        // A file's name is edited with its extension left out of the selection, as users
        // usually keep it; folders and names that are all extension (".profile") select all.
        if (index.column() != 0 || (item.Attributes & SFGAO_FOLDER))
            return {};
        const QString text = NameToEditText(EditableName(index.row()));
        const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
        return dot > 0 ? QVariant(int(dot)) : QVariant();
    }
    default:
        return {};
    }
}

bool TShellListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0)
        return false;
    return OnEdited && OnEdited(index.row(), value.toString());
}

Qt::ItemFlags TShellListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == 0)
        f |= Qt::ItemIsEditable;
    if (index.isValid())
        f |= Qt::ItemIsDragEnabled;
    return f;
}

QVariant TShellListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant(alignment(section));
    if (role != Qt::DisplayRole)
        return {};
    if (!m_columns.empty())
        return section >= 0 && section < int(m_columns.size()) ? QVariant(m_columns[size_t(section)].text) : QVariant();
    static const char* const names[] = {texts::ColName, texts::ColSize, texts::ColType, texts::ColModified};
    return section >= 0 && section < 4 ? QString::fromLatin1(names[section]) : QVariant();
}

Qt::Alignment TShellListModel::alignment(int column) const
{
    int fmt = column == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    if (!m_columns.empty())
        fmt = column >= 0 && column < int(m_columns.size()) ? m_columns[size_t(column)].fmt : LVCFMT_LEFT;
    const Qt::Alignment h = fmt == LVCFMT_RIGHT ? Qt::AlignRight : fmt == LVCFMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft;
    return h | Qt::AlignVCenter;
}

void TShellListModel::SetColumns(std::vector<ShellDetails> columns)
{
    const bool same = columns.size() == m_columns.size()
                      && std::equal(columns.begin(), columns.end(), m_columns.begin(), [](const ShellDetails& a, const ShellDetails& b) {
                             return a.text == b.text && a.fmt == b.fmt;
                         });
    if (same)
        return;
    beginResetModel();
    m_columns = std::move(columns);
    endResetModel();
}

void TShellListModel::Reset(std::vector<Item> items)
{
    beginResetModel();
    m_items = std::move(items);
    endResetModel();
}

void TShellListModel::Append(std::vector<Item> items)
{
    if (items.empty())
        return;
    int first = int(m_items.size());
    beginInsertRows({}, first, first + int(items.size()) - 1);
    for (Item& i : items)
        m_items.push_back(std::move(i));
    endInsertRows();
}

void TShellListModel::RemoveRows(const std::vector<int>& rows)
{
    // From the end, one run of consecutive rows at a time.
    size_t k = rows.size();
    while (k > 0) {
        size_t end = k - 1, start = end;
        while (start > 0 && rows[start - 1] == rows[start] - 1)
            --start;
        beginRemoveRows({}, rows[start], rows[end]);
        m_items.erase(m_items.begin() + rows[start], m_items.begin() + rows[end] + 1);
        endRemoveRows();
        k = start;
    }
}

void TShellListModel::Reorder(const std::vector<int>& order)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        newRowOf[size_t(order[i])] = int(i);
    std::vector<Item> sorted;
    sorted.reserve(m_items.size());
    for (int old : order)
        sorted.push_back(std::move(m_items[size_t(old)]));
    m_items = std::move(sorted);
    QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to.append(index(newRowOf[size_t(i.row())], i.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TShellListModel::RowChanged(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

std::vector<TShellListModel::Item> TShellListModel::MakeItems(std::vector<ListedItem>& listed, const std::vector<int>* only,
                                                            const Admit& admit, NameKeys* nameKeys) const
{
    std::vector<Item> items;
    items.reserve(only ? only->size() : listed.size());
    auto take = [&](ListedItem& li) {
        auto data = std::make_unique<TShListData>(m_folder, li.rel);
        std::uint32_t attrs = li.attributes;
        if (!admit(*data, attrs))
            return;
        TShItemDetails details;
        details.Attributes = attrs;
        details.Size = li.size;
        details.Modified = li.modified;
        details.HasModified = li.hasModified;
        data->SetDetails(details);
        items.push_back({std::move(data), attrs, -1});
        if (nameKeys)
            nameKeys->push_back(std::move(li.nameKey));
    };
    if (only) {
        for (int n : *only)
            take(listed[size_t(n)]);
    } else {
        for (ListedItem& li : listed)
            take(li);
    }
    return items;
}

void TShellListModel::Sort(int k, const Compare& compare, const NameKeys* nameKeys)
{
    const int n = rowCount();
    if (n < 2 || !m_folder)
        return;
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    auto& items = m_items;
    if (k == 0) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            TShListData* da = items[size_t(a)].Data.get();
            TShListData* db = items[size_t(b)].Data.get();
            if (compare)
                return compare(da, db) < 0;
            return da->DisplayName() < db->DisplayName();
        });
    } else if (PathFromIdList(m_folder->AbsIdList).isEmpty()) {
        // Few items outside the file system: the folder's own comparison.
        const int column = std::abs(k) - 1;
        const ShellFolderPtr& folder = m_folder->IShf;
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            int r = CompareResultOrder(folder->CompareIDs(column, items[size_t(a)].Data->RelIdList(), items[size_t(b)].Data->RelIdList()));
            return k < 0 ? r > 0 : r < 0;
        });
    } else {
        // The folder's order for its columns, from keys computed once per item.
        const int column = std::abs(k) - 1;
        QCollator col = NameCollator();
        struct Key {
            bool folder;
            qint64 number = 0;
            QCollatorSortKey name;
            std::optional<QCollatorSortKey> text;
        };
        std::vector<Key> keys;
        keys.reserve(size_t(n));
        for (int i = 0; i < n; ++i) {
            TShListData* d = items[size_t(i)].Data.get();
            bool folder = items[size_t(i)].Attributes & SFGAO_FOLDER;
            qint64 number = 0;
            std::optional<QCollatorSortKey> text;
            // Sizes and times were read with the listing: sorting never asks the disk.
            if (const TShItemDetails* det = d->Details(); det && (column == 1 || column == 3)) {
                number = column == 1 ? (folder ? 0 : std::max<qint64>(det->Size, 0)) : det->Modified;
            } else if (column == 2) {
                text = col.sortKey(folder ? QString() : d->TypeText());
            }
            const bool given = nameKeys && size_t(i) < nameKeys->size() && (*nameKeys)[size_t(i)];
            keys.push_back({folder, number, given ? *(*nameKeys)[size_t(i)] : col.sortKey(d->DisplayName()), std::move(text)});
        }
        auto cmp = [&](int a, int b) {
            const Key& x = keys[size_t(a)];
            const Key& y = keys[size_t(b)];
            if (x.folder != y.folder)
                return x.folder ? -1 : 1;
            if (x.number != y.number)
                return x.number < y.number ? -1 : 1;
            if (x.text && y.text) {
                int t = x.text->compare(*y.text);
                if (t != 0)
                    return t;
            }
            int r = x.name.compare(y.name);
            if (r != 0)
                return r;
            // Names equal to the collator (case only) are still different files.
            QByteArrayView ra = IdListBody(items[size_t(a)].Data->RelIdList());
            QByteArrayView rb = IdListBody(items[size_t(b)].Data->RelIdList());
            return ra == rb ? 0 : (ra < rb ? -1 : 1);
        };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            int r = cmp(a, b);
            return k < 0 ? r > 0 : r < 0;
        });
    }
    Reorder(order);
}

TShellListModel::Diff TShellListModel::RefreshDiff(const FolderListing& listing) const
{
    Diff diff;
    const int count = rowCount();
    if (listing.comparedWithKnown) {
        // The listing compared with the rows as they were when it started; a rename since then
        // is matched against the rows as they are now.
        QSet<PItemIDList> gone(listing.gone.begin(), listing.gone.end());
        QSet<PItemIDList> fresh;
        for (const ListedItem& li : listing.items)
            fresh.insert(li.rel);
        for (int row = 0; row < count && (!gone.isEmpty() || !fresh.isEmpty()); ++row) {
            const PItemIDList& rel = m_items[size_t(row)].Data->RelIdList();
            if (gone.remove(rel))
                diff.goneRows.push_back(row);
            else
                fresh.remove(rel);
        }
        for (size_t n = 0; n < listing.items.size(); ++n) {
            if (fresh.contains(listing.items[n].rel))
                diff.newItems.push_back(int(n));
        }
        return diff;
    }
    TPidlList known;
    known.SetCapacity(count);
    // Outside the file system the folder compares; inside, the bytes are the name.
    if (m_folder && PathFromIdList(m_folder->AbsIdList).isEmpty())
        known.SetFolder(m_folder->IShf);
    known.SetDuplicates(TPidlList::dupAccept);
    for (int row = 0; row < count; ++row)
        known.Add(m_items[size_t(row)].Data->RelIdList(), reinterpret_cast<void*>(quintptr(row)));
    known.SetSorted(true);
    // Matched pairs are marked, not erased: erasing from the middle of 100,000 entries one by
    // one would cost quadratic time.
    std::vector<char> matched(size_t(known.Count()), 0);
    for (size_t n = 0; n < listing.items.size(); ++n) {
        int at = known.IndexOf(listing.items[n].rel);
        if (at >= 0 && !matched[size_t(at)])
            matched[size_t(at)] = 1;
        else
            diff.newItems.push_back(int(n));
    }
    for (int i = 0; i < known.Count(); ++i) {
        if (!matched[size_t(i)])
            diff.goneRows.push_back(int(reinterpret_cast<quintptr>(known.Data(i))));
    }
    std::sort(diff.goneRows.begin(), diff.goneRows.end());
    return diff;
}

QString TShellListModel::EditableName(int row) const
{
    TShListData* d = m_items[size_t(row)].Data.get();
    return shellctl::EditableName(m_folder ? m_folder->IShf : nullptr, d->RelIdList(), d->DisplayName());
}

HResult TShellListModel::Rename(int row, const QString& name)
{
    TShListData* d = m_items[size_t(row)].Data.get();
    if (!m_folder || !m_folder->IShf)
        return E_FAIL;
    PItemIDList renamed;
    HResult hr = m_folder->IShf->SetNameOf(d->RelIdList(), name.left(260), SHGDN_INFOLDER, renamed);
    if (Failed(hr))
        return hr;
    d->SetRelIdList(renamed);
    m_items[size_t(row)].Icon = -1;
    RowChanged(row);
    return S_OK;
}

} // namespace corvane::shellctl
