#include "ShellList.h"

#include "ShellGuards.h"

#include "ChangeHandler.h"
#include "HeaderSortView.h"
#include "NameEdit.h"
#include "ShellCombo.h"
#include "ShellKeys.h"
#include "ShellMenu.h"
#include "ShellTree.h"
#include "UShConsts.h"
#include "platform/Clipboard.h"
#include "platform/FolderListing.h"
#include "platform/IconTable.h"
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"
#include "platform/Volumes.h"

#include <QApplication>
#include <QCollator>
#include <QContextMenuEvent>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <array>
#include <numeric>
#include <optional>
#include <sys/stat.h>

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr std::uint32_t AdmissionMask = 0xF20B0000;

// Column widths carried from list to list for the whole run; remembered once the standard
// defaults were applied, so that later fills take the widths users set.
struct ColumnWidthStream {
    std::vector<int> widths;
    bool remembered = false;
};

ColumnWidthStream& columnWidthStream()
{
    static ColumnWidthStream stream;
    return stream;
}

} // namespace

// ---- TShellListModel ----

TShellListModel::TShellListModel(TCustomShellList* list)
    : QAbstractTableModel(list), m_list(list)
{
}

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
        return index.column() == 0 ? NameToEditText(m_list->editableName(*d)) : d->ColumnText(index.column());
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
    default:
        return {};
    }
}

bool TShellListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0)
        return false;
    return m_list->renameItem(index.row(), value.toString());
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

// ---- TCustomShellList ----

TCustomShellList::TCustomShellList(QWidget* parent)
    : TCustomListView(parent), m_model(new TShellListModel(this)), m_timer(new QTimer(this))
{
    setModel(m_model);
    // Cut items are drawn dimmed until they are pasted.
    connect(&CutItems::instance(), &CutItems::changed, this, [this] { CurrentView()->viewport()->update(); });
    SetMultiSelect(true);
    SetViewStyle(vsIcon);
    SetDragDrop(m_options & sloOleDrag, m_options & sloOleDrop);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TCustomShellList::timerFired);
    m_folder.OnChange = [this](TShellLocator&) { folderChanged(); };
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(IconView()), static_cast<QAbstractItemView*>(ReportView())}) {
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->installEventFilter(this);
        v->viewport()->installEventFilter(this);
        connect(v, &QAbstractItemView::doubleClicked, this, [this] { OpenSelected(); });
    }
    Header()->installEventFilter(this);
    // A refresh that came due while a caption was edited runs once the editor is gone, however
    // the editing ended (a new name, a refused one, Escape).
    connect(IconView()->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
        if (!m_refreshDue)
            return;
        m_refreshDue = false;
        QTimer::singleShot(0, this, &TCustomShellList::RefreshList);
    });
    connect(SelectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection& deselected) {
                if (!OnSelectItem)
                    return;
                for (const QItemSelectionRange& r : deselected) {
                    for (int row = r.top(); row <= r.bottom(); ++row)
                        OnSelectItem(this, row, false);
                }
                for (const QItemSelectionRange& r : selected) {
                    for (int row = r.top(); row <= r.bottom(); ++row)
                        OnSelectItem(this, row, true);
                }
            });
}

TCustomShellList::~TCustomShellList()
{
    Counter c(m_updating);
    if (m_widthsGoBack && m_model->columnCount() > 0)
        columnWidthStream().widths = currentColumnWidths();
    removeAll();
}

void TCustomShellList::SetOptions(TShellListOptions o)
{
    TShellListOptions changed = o ^ m_options;
    m_options = o;
    if (changed & (sloOleDrag | sloOleDrop))
        SetDragDrop(m_options & sloOleDrag, m_options & sloOleDrop);
    if (changed & (sloHideFoldersWhenLinkedToTree | sloShowHidden))
        RefreshList();
    if (changed & sloDynamicRefresh) {
        if (m_options & sloDynamicRefresh)
            StartWatching();
        else
            StopWatching();
    }
}

void TCustomShellList::SetFileFilter(const QString& filter)
{
    if (filter == m_fileFilter)
        return;
    m_fileFilter = filter;
    m_filterPatterns.clear();
    for (const QString& p : filter.split(QLatin1Char(';'))) {
        if (!p.isEmpty())
            m_filterPatterns << p;
    }
    if (m_options & sloAutoFill)
        FillList();
}

void TCustomShellList::SetLinkedTree(TCustomShellTree* tree)
{
    m_tree = tree;
    if (tree)
        m_combo = nullptr;
}

void TCustomShellList::SetLinkedCombo(TCustomShellCombo* combo)
{
    m_combo = combo;
    if (combo)
        m_tree = nullptr;
}

int TCustomShellList::Count() const
{
    return m_model->rowCount();
}

TShListData* TCustomShellList::DataOfIndex(int row) const
{
    return row >= 0 && row < Count() ? m_model->At(row).Data.get() : nullptr;
}

TShListData* TCustomShellList::SelectedData() const
{
    QList<int> rows = SelectedRows();
    return rows.isEmpty() ? nullptr : DataOfIndex(rows.first());
}

int TCustomShellList::SelectedShellCount() const
{
    return int(SelectedRows().size());
}

std::vector<TShListData*> TCustomShellList::SelectedItems() const
{
    std::vector<TShListData*> out;
    for (int row : SelectedRows())
        out.push_back(DataOfIndex(row));
    return out;
}

void TCustomShellList::SelectAll()
{
    CurrentView()->selectAll();
}

void TCustomShellList::folderChanged()
{
    if (m_updating == 0) {
        Counter c(m_updating);
        PItemIDList id = m_folder.IdList();
        if (m_tree)
            m_tree->SelectIdList(id.isNull() ? EmptyIdList() : id);
        else if (m_combo)
            m_combo->Location().SetIdList(id);
        FillList();
    }
    if (OnFolderChanged)
        OnFolderChanged(this);
}

void TCustomShellList::SetFolderFromNode(TShTreeNode* node)
{
    if (node && node->Data() && m_tree && node == m_tree->SelectedNode())
        m_folder.SetIdList(node->Data()->AbsIdList());
}

void TCustomShellList::NavigateTo(const PItemIDList& abs)
{
    if (m_options & sloDontChangeFolder)
        return;
    removeAll();
    if (m_tree)
        m_tree->CurrentFolder().SetIdList(abs);
    else if (m_combo)
        m_combo->Location().SetIdList(abs);
    else
        m_folder.SetIdList(abs);
}

void TCustomShellList::removeAll()
{
    if (OnDeleteItem) {
        for (int row = 0; row < Count(); ++row)
            OnDeleteItem(this, row, DataOfIndex(row));
    }
    m_model->Reset({});
}

bool TCustomShellList::Editing() const
{
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(IconView()), static_cast<QAbstractItemView*>(ReportView())}) {
        for (QLineEdit* e : v->viewport()->findChildren<QLineEdit*>()) {
            if (e->isVisible())
                return true;
        }
    }
    return false;
}

namespace {

// How long a fill or refresh waits for its folder before the list shows itself busy: a folder
// that answers within a blink appears at once, without an empty flash.
int& listingWaitMs()
{
    static int ms = [] {
        bool ok = false;
        const int v = qEnvironmentVariableIntValue("CORVANE_LISTING_WAIT_MS", &ok);
        return ok && v >= 0 ? v : 150;
    }();
    return ms;
}

} // namespace

void TCustomShellList::SetListingWait(int msecs)
{
    listingWaitMs() = std::max(0, msecs);
}

bool TCustomShellList::Listing() const
{
    return m_listing != nullptr;
}

void TCustomShellList::FillList()
{
    if (m_drag.Postpone())
        return;
    if (Editing()) {
        m_refreshDue = true;
        return;
    }
    abandonListing();
    removeAll();
    PItemIDList id = m_folder.IdList();
    PItemIDList abs = id.isNull() ? EmptyIdList() : id;
    if (OnFillStart)
        OnFillStart(this);
    // The list is on the new folder from now on (a paste goes there), though its folder object
    // comes with the listing; the previous ones come back when the folder cannot be read.
    m_previousAbs = m_currentAbs;
    m_previousFolder = m_currentFolder;
    m_currentAbs = abs;
    m_currentFolder.reset();
    startListing(ListingKind::Fill, abs);
}

void TCustomShellList::startListing(ListingKind kind, const PItemIDList& abs)
{
    FolderListingRequest request;
    request.abs = abs;
    request.enumFlags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | ((m_options & sloShowHidden) ? std::uint32_t(SHCONTF_INCLUDEHIDDEN) : 0u);
    request.attributeMask = AdmissionMask;
    if (!(m_fileFilter.isEmpty() || m_fileFilter == QLatin1String("*") || m_fileFilter == QLatin1String("*.*")))
        request.patterns = m_filterPatterns;
    request.columns = kind == ListingKind::Fill;
    request.nameKeys = kind == ListingKind::Fill && m_sortKey != 0 && !PathFromIdList(abs).isEmpty();
    // Inside the file system an item's bytes are its name: the listing compares what it reads
    // with what is shown, so a refresh of a large folder reads details of the new items only.
    if (kind == ListingKind::Refresh && !PathFromIdList(abs).isEmpty()) {
        request.known.reserve(size_t(Count()));
        for (int row = 0; row < Count(); ++row)
            request.known.push_back(DataOfIndex(row)->RelIdList());
    }
    m_listingKind = kind;
    m_listing.reset(new FolderListingJob(std::move(request)));
    const quint64 generation = ++m_listingGeneration;
    connect(m_listing.get(), &core::Job::finished, this, [this, generation] {
        if (generation == m_listingGeneration && m_listing)
            finishListing();
    }, Qt::QueuedConnection);
    m_listing->start();
    if (m_listing->wait(listingWaitMs()))
        finishListing();
    else
        showBusy(true);
}

void TCustomShellList::abandonListing()
{
    if (!m_listing)
        return;
    ++m_listingGeneration;
    m_listing.reset();
    m_refreshAgain = false;
    showBusy(false);
    // Every fill start has its completion.
    if (OnFillComplete)
        OnFillComplete(this);
    emit fillFinished();
}

void TCustomShellList::finishListing()
{
    FolderListing listing = m_listing->TakeResult();
    const ListingKind kind = m_listingKind;
    m_listing.reset();
    showBusy(false);
    if (kind == ListingKind::Fill)
        applyFill(std::move(listing));
    else
        applyRefresh(std::move(listing));
    if (m_refreshAgain && !m_listing) {
        m_refreshAgain = false;
        RefreshList();
    }
}

void TCustomShellList::showBusy(bool busy)
{
    if (!busy) {
        if (m_busyLabel)
            m_busyLabel->hide();
        return;
    }
    if (!m_busyLabel) {
        m_busyLabel = new QLabel(QString::fromLatin1(texts::ReadingFolder), this);
        m_busyLabel->setAlignment(Qt::AlignCenter);
        m_busyLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_busyLabel->setCursor(Qt::BusyCursor);
    }
    QWidget* viewport = CurrentView()->viewport();
    const QPoint at = viewport->mapTo(this, QPoint(0, 0));
    m_busyLabel->setGeometry(at.x(), at.y(), viewport->width(), m_busyLabel->sizeHint().height() * 3);
    m_busyLabel->raise();
    m_busyLabel->show();
}

bool TCustomShellList::admit(TShListData& data, std::uint32_t& attrs)
{
    bool candidate = (m_options & sloNonFilesystemAncestors) || (attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR));
    // Every file-system folder is also a file-system ancestor here, so testing for "not an
    // ancestor" would hide nothing: the folders the tree shows are left out.
    if (candidate && (m_options & sloHideFoldersWhenLinkedToTree) && m_tree && (attrs & SFGAO_FOLDER)
        && (attrs & SFGAO_FILESYSTEM))
        candidate = false;
    if (!candidate)
        return false;
    // The include filter was applied by the listing.
    bool allow = true;
    if (OnAddItem)
        OnAddItem(this, m_currentFolder, m_currentAbs, data.RelIdList(), attrs, allow);
    return allow;
}

std::vector<TShellListModel::Item> TCustomShellList::admitListed(std::vector<ListedItem>& listed, const std::vector<int>* only,
                                                                 std::vector<std::optional<QCollatorSortKey>>* nameKeys)
{
    std::vector<TShellListModel::Item> items;
    items.reserve(only ? only->size() : listed.size());
    auto take = [&](ListedItem& li) {
        auto data = std::make_unique<TShListData>(m_listFolder, li.rel);
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

void TCustomShellList::applyColumns(const FolderListing& listing)
{
    // Columns: the folder's own when it describes them, with the widths it asks for; otherwise
    // the standard ones. Widths users set go to the shared stream before the columns change,
    // and come back from it at the next fill, in this list or another.
    ColumnWidthStream& stream = columnWidthStream();
    if (m_widthsGoBack && m_model->columnCount() > 0)
        stream.widths = currentColumnWidths();
    const std::vector<ShellDetails>& columns = listing.columns;
    m_model->SetColumns(columns);
    if (columns.empty()) {
        static constexpr int DefaultWidths[] = {200, 60, 100, 120};
        const bool fromStream = stream.remembered && !stream.widths.empty();
        for (int i = 0; i < m_model->columnCount(); ++i) {
            if (!fromStream)
                ReportView()->setColumnWidth(i, DefaultWidths[i % 4]);
            else if (size_t(i) < stream.widths.size())
                ReportView()->setColumnWidth(i, stream.widths[size_t(i)]);
        }
        stream.remembered = true;
        m_widthsGoBack = true;
    } else {
        for (size_t i = 0; i < columns.size(); ++i)
            ReportView()->setColumnWidth(int(i), columns[i].cxChar * 7);
        m_widthsGoBack = !PathBytesFromIdList(listing.abs).isEmpty() && !stream.widths.empty();
        for (size_t i = 0; m_widthsGoBack && i < stream.widths.size() && i < columns.size(); ++i)
            ReportView()->setColumnWidth(int(i), stream.widths[i]);
    }
    int k = m_sortKey;
    if (k > m_model->columnCount())
        k = 1;
    SetSortKey(k);
}

std::vector<int> TCustomShellList::currentColumnWidths() const
{
    std::vector<int> widths;
    for (int i = 0; i < m_model->columnCount(); ++i)
        widths.push_back(ReportView()->columnWidth(i));
    return widths;
}

void TCustomShellList::applyFill(FolderListing listing)
{
    setUpdatesEnabled(false);
    struct Done {
        TCustomShellList* l;
        ~Done()
        {
            l->setUpdatesEnabled(true);
            if (l->OnFillComplete)
                l->OnFillComplete(l);
            emit l->fillFinished();
        }
    } done{this};
    auto restorePrevious = [this] {
        m_currentAbs = m_previousAbs;
        m_currentFolder = m_previousFolder;
    };
    if (Failed(listing.bindResult)) {
        restorePrevious();
        CheckResult(listing.bindResult);
    }
    m_currentFolder = listing.folder;
    m_listFolder = std::make_shared<TShListFolder>(TShListFolder{listing.folder, listing.abs, listing.details});
    try {
        applyColumns(listing);
        if (Failed(listing.enumStartResult))
            return;  // a listing that cannot start leaves the list empty, without a word
        if (Failed(listing.enumResult))
            CheckResult(listing.enumResult);
        std::vector<std::optional<QCollatorSortKey>> nameKeys;
        m_model->Reset(admitListed(listing.items, nullptr, &nameKeys));
        listing.items = {};
        sort(&nameKeys);
        if (Count() > 0)
            SelectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::NoUpdate);
    } catch (...) {
        restorePrevious();
        throw;
    }
    m_previousFolder.reset();
    if (m_options & sloDynamicRefresh)
        StartWatching();
}

void TCustomShellList::SetSortKey(int key)
{
    SetHeaderSortColumn(key == 0 ? -1 : std::abs(key) - 1);
    SetHeaderSortDirection(key < 0 ? Qt::DescendingOrder : Qt::AscendingOrder);
    m_keyWasSet = true;
    if (key == m_sortKey)
        return;
    m_sortKey = key;
    sort();
}

void TCustomShellList::sort(const std::vector<std::optional<QCollatorSortKey>>* nameKeys)
{
    const int n = Count();
    if (n < 2)
        return;
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    const int k = m_sortKey;
    auto& items = m_model->Items();
    if (k == 0) {
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            TShListData* da = items[size_t(a)].Data.get();
            TShListData* db = items[size_t(b)].Data.get();
            if (OnCompare)
                return OnCompare(this, da, db) < 0;
            return da->DisplayName() < db->DisplayName();
        });
    } else if (PathFromIdList(m_currentAbs).isEmpty()) {
        // Few items outside the file system: the folder's own comparison.
        const int column = std::abs(k) - 1;
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            int r = CompareResultOrder(m_currentFolder->CompareIDs(column, items[size_t(a)].Data->RelIdList(), items[size_t(b)].Data->RelIdList()));
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
            keys.push_back({folder, number, nameKeys && (*nameKeys)[size_t(i)] ? *(*nameKeys)[size_t(i)] : col.sortKey(d->DisplayName()), std::move(text)});
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
    m_model->Reorder(order);
}

void TCustomShellList::ColClick(int column)
{
    m_keyWasSet = false;
    TCustomListView::ColClick(column);
    if (m_keyWasSet)
        return;
    SetSortKey(column + 1 == m_sortKey ? -m_sortKey : column + 1);
}

void TCustomShellList::RefreshList()
{
    if (m_drag.Postpone())
        return;
    if (Editing()) {
        m_refreshDue = true;
        return;
    }
    if (m_listing) {
        // The listing under way may have read the folder before this change.
        m_refreshAgain = true;
        return;
    }
    if (Count() == 0) {
        FillList();
        return;
    }
    if (OnFillStart)
        OnFillStart(this);
    startListing(ListingKind::Refresh, m_currentAbs);
}

void TCustomShellList::applyRefresh(FolderListing listing)
{
    // A folder that can no longer be read has no items left.
    if (Failed(listing.bindResult) || Failed(listing.enumStartResult))
        listing.items.clear();
    // The fresh folder object reads the folder as it is now; the items keep their records.
    if (listing.folder && m_listFolder) {
        m_currentFolder = listing.folder;
        m_listFolder->IShf = listing.folder;
    }
    if (listing.comparedWithKnown && Succeeded(listing.bindResult) && Succeeded(listing.enumStartResult)) {
        applyComparedRefresh(std::move(listing));
        return;
    }
    TPidlList known, fresh;
    known.SetCapacity(Count());
    fresh.SetCapacity(int(listing.items.size()));
    // Outside the file system the folder compares; inside, the bytes are the name.
    if (PathFromIdList(m_currentAbs).isEmpty())
        known.SetFolder(m_currentFolder);
    known.SetDuplicates(TPidlList::dupAccept);
    for (int row = 0; row < Count(); ++row)
        known.Add(DataOfIndex(row)->RelIdList(), reinterpret_cast<void*>(quintptr(row)));
    known.SetSorted(true);
    for (const ListedItem& li : listing.items)
        fresh.Add(li.rel);
    // Matched pairs are marked, not erased: erasing from the middle of 100,000 entries one by
    // one would cost quadratic time.
    std::vector<char> matched(size_t(known.Count()), 0);
    std::vector<int> freshRows;
    for (int n = 0; n < fresh.Count(); ++n) {
        int at = known.IndexOf(fresh.IdList(n));
        if (at >= 0 && !matched[size_t(at)])
            matched[size_t(at)] = 1;
        else
            freshRows.push_back(n);
    }
    setUpdatesEnabled(false);
    struct Done {
        TCustomShellList* l;
        ~Done()
        {
            l->setUpdatesEnabled(true);
            if (l->OnFillComplete)
                l->OnFillComplete(l);
            emit l->fillFinished();
        }
    } done{this};
    std::vector<int> gone;
    for (int i = 0; i < known.Count(); ++i) {
        if (!matched[size_t(i)])
            gone.push_back(int(reinterpret_cast<quintptr>(known.Data(i))));
    }
    std::sort(gone.begin(), gone.end());
    if (OnDeleteItem) {
        for (int row : gone)
            OnDeleteItem(this, row, DataOfIndex(row));
    }
    m_model->RemoveRows(gone);
    std::vector<TShellListModel::Item> added;
    try {
        added = admitListed(listing.items, &freshRows);
    } catch (const EShellError&) {
        ShellWarning(QString::fromLatin1(texts::AddNewShellItemFailed));
        throw;
    }
    m_model->Append(std::move(added));
}

void TCustomShellList::applyComparedRefresh(FolderListing listing)
{
    // The rows may have changed while the folder was read (a rename): gone and new items are
    // matched against the rows as they are now.
    QSet<QByteArray> gone(listing.gone.begin(), listing.gone.end());
    QSet<QByteArray> fresh;
    for (const ListedItem& li : listing.items)
        fresh.insert(li.rel);
    std::vector<int> goneRows;
    for (int row = 0; row < Count() && (!gone.isEmpty() || !fresh.isEmpty()); ++row) {
        const PItemIDList& rel = DataOfIndex(row)->RelIdList();
        if (gone.remove(rel))
            goneRows.push_back(row);
        else
            fresh.remove(rel);
    }
    std::vector<int> newRows;
    for (size_t n = 0; n < listing.items.size(); ++n) {
        if (fresh.contains(listing.items[n].rel))
            newRows.push_back(int(n));
    }
    setUpdatesEnabled(false);
    struct Done {
        TCustomShellList* l;
        ~Done()
        {
            l->setUpdatesEnabled(true);
            if (l->OnFillComplete)
                l->OnFillComplete(l);
            emit l->fillFinished();
        }
    } done{this};
    if (OnDeleteItem) {
        for (int row : goneRows)
            OnDeleteItem(this, row, DataOfIndex(row));
    }
    m_model->RemoveRows(goneRows);
    std::vector<TShellListModel::Item> added;
    try {
        added = admitListed(listing.items, &newRows);
    } catch (const EShellError&) {
        ShellWarning(QString::fromLatin1(texts::AddNewShellItemFailed));
        throw;
    }
    m_model->Append(std::move(added));
}

void TCustomShellList::GoUp(int levels)
{
    if (m_options & sloDontChangeFolder)
        return;
    if (m_tree) {
        m_tree->GoUp(levels);
        return;
    }
    if (m_combo) {
        m_combo->GoUp(levels);
        return;
    }
    PItemIDList id = m_folder.IdList();
    TIdListArray parts(id.isNull() ? EmptyIdList() : id);
    if (parts.Count() >= 1)
        m_folder.SetIdList(levels >= parts.Count() ? EmptyIdList() : parts.Head(levels));
}

void TCustomShellList::OpenItem(int row)
{
    FlushPendingChange(true);
    TShListData* d = DataOfIndex(row);
    bool handled = false;
    if (d) {
        BusyCursor busy;
        PItemIDList abs = ConcatIdLists(m_currentAbs, d->RelIdList());
        std::uint32_t attrs = SFGAO_FOLDER;
        std::array<PItemIDList, 1> one{d->RelIdList()};
        if (m_currentFolder && Succeeded(m_currentFolder->GetAttributesOf(one, attrs)) && (attrs & SFGAO_FOLDER)) {
            NavigateTo(abs);
            return;
        }
        TLinkData link;
        PItemIDList target;
        if (d->IsLink() && Succeeded(ReadShortcut(d->Path(), false, link)) && (link.FindData.Attributes & SFGAO_FOLDER)
            && Succeeded(IdListFromPath(link.Path, target))) {
            NavigateTo(target);
            return;
        }
    }
    if (OnDblClickOpen)
        OnDblClickOpen(this, handled);
    if (!handled && d)
        invokeDefaultCommand({d->RelIdList()});
}

void TCustomShellList::OpenSelected()
{
    FlushPendingChange(true);
    QList<int> rows = SelectedRows();
    if (rows.size() < 2) {
        if (!rows.isEmpty())
            OpenItem(rows.first());
        return;
    }
    bool handled = false;
    if (OnDblClickOpen)
        OnDblClickOpen(this, handled);
    if (!handled)
        invokeDefaultCommand(selectedRels());
}

bool TCustomShellList::invokeDefaultCommand(const std::vector<PItemIDList>& rels)
{
    std::unique_ptr<IContextMenu> cm;
    if (rels.empty() || Failed(GetUIObjectOf(window(), m_currentFolder, rels, cm)))
        return false;
    const int offset = DefaultCommandOffset(*cm);
    return offset >= 0 && Succeeded(InvokeOffset(window(), *cm, offset));
}

std::vector<PItemIDList> TCustomShellList::selectedRels() const
{
    std::vector<PItemIDList> rels;
    for (int row : SelectedRows()) {
        if (TShListData* d = DataOfIndex(row))
            rels.push_back(d->RelIdList());
    }
    return rels;
}

void TCustomShellList::FlushPendingChange(bool alsoLinked)
{
    if (alsoLinked) {
        if (m_tree)
            m_tree->FlushPendingChange(false);
        if (m_combo)
            m_combo->FlushPendingChange(false);
    }
    if (m_timer->isActive()) {
        m_timer->stop();
        timerFired();
    }
}

bool TCustomShellList::EditCaption(int row)
{
    TShListData* d = DataOfIndex(row);
    if (!d || !d->CanRename())
        return false;
    QModelIndex index = m_model->index(row, 0);
    CurrentView()->scrollTo(index);
    CurrentView()->edit(index);
    return true;
}

QString TCustomShellList::editableName(TShListData& data) const
{
    return EditableName(m_currentFolder, data.RelIdList(), data.DisplayName());
}

bool TCustomShellList::renameItem(int row, const QString& text)
{
    TShListData* d = DataOfIndex(row);
    if (!d || !m_currentFolder)
        return false;
    const QString original = editableName(*d);
    const QString name = NameFromEditText(text, original);
    if (name == original)
        return false;
    BusyCursor busy;
    m_ignoreNextChange = true;
    PItemIDList renamed;
    HResult hr = m_currentFolder->SetNameOf(d->RelIdList(), name.left(260), SHGDN_INFOLDER, renamed);
    if (Failed(hr)) {
        // Nothing changed: the next report is somebody else's.
        m_ignoreNextChange = false;
        ShellWarning(SystemMessage(hr));
        return false;
    }
    d->SetRelIdList(renamed);
    m_model->Items()[size_t(row)].Icon = -1;
    m_model->RowChanged(row);
    return true;
}

// Change watching sees neither network folders change nor folders outside the file system
// (the Trash): after a verb there, the list looks again itself.
bool TCustomShellList::unwatched()
{
    const QString path = m_folder.Path();
    return path.isEmpty() || path.startsWith(QLatin1String("//"));
}

void TCustomShellList::InvokeSelectionVerb(const QString& verb)
{
    InvokeSelectionVerbMask(verb, 0);
}

void TCustomShellList::InvokeSelectionVerbMask(const QString& verb, std::uint32_t mask)
{
    const std::vector<PItemIDList> rels = selectedRels();
    std::unique_ptr<IContextMenu> cm;
    if (rels.empty() || Failed(GetUIObjectOf(window(), m_currentFolder, rels, cm)))
        return;
    // The verb may ask first, and the list may go while it does.
    const QPointer<TCustomShellList> alive(this);
    InvokeVerbByName(window(), *cm, verb, mask);
    if (alive && unwatched())
        RefreshList();
}

void TCustomShellList::InvokeFolderVerb(const QString& verb)
{
    std::unique_ptr<IContextMenu> cm;
    const HResult hr = ItemUIObject(m_currentAbs, cm);
    if (Failed(hr))
        throw EShellError(SystemMessage(hr));
    InvokeVerbByName(window(), *cm, verb);
}

void TCustomShellList::ItemHook(const QModelIndex& item, const QPoint& point, QMenu*& menu)
{
    TCustomListView::ItemHook(item, point, menu);
    if (!(m_options & sloContextMenus))
        return;
    menu = nullptr;
    ShowContextMenu(point);
}

std::vector<int> TCustomShellList::RowsOf(const std::vector<PItemIDList>& rels) const
{
    std::vector<int> rows(rels.size(), -1);
    QHash<QByteArray, size_t> wanted;
    for (size_t i = 0; i < rels.size(); ++i)
        wanted.insert(rels[i], i);
    for (int row = 0; row < Count() && !wanted.isEmpty(); ++row) {
        const TShListData* d = DataOfIndex(row);
        if (!d)
            continue;
        const auto it = wanted.constFind(d->RelIdList());
        if (it == wanted.cend())
            continue;
        rows[it.value()] = row;
        wanted.erase(it);
    }
    return rows;
}

void TCustomShellList::ShowContextMenu(QPoint point)
{
    const std::vector<PItemIDList> rels = selectedRels();
    if (rels.empty())
        return;
    unsigned flags = CMF_EXPLORE;
    TShListData* focused = DataOfIndex(currentIndex().row());
    if (focused && !focused->Path().isEmpty())
        flags |= CMF_CANRENAME;
    std::unique_ptr<IContextMenu> cm;
    std::vector<ShellMenuItem> items;
    if (Failed(GetUIObjectOf(window(), m_currentFolder, rels, cm)))
        return;
    const HResult hr = cm->QueryContextMenu(items, FirstCommandId, LastCommandId, flags);
    if (Failed(hr))
        throw EShellError(SystemMessage(hr));
    auto hint = [this](const QString& text) {
        if (OnPopupHint)
            OnPopupHint(this, text);
    };
    // The menu runs its own event loop, where the list may be refilled or go: what it was opened
    // for is kept by ID list and looked up again afterwards.
    const PItemIDList folderAbs = m_currentAbs;
    const PItemIDList focusedRel = focused ? focused->RelIdList() : PItemIDList();
    const QPointer<TCustomShellList> alive(this);
    const int id = TrackShellMenu(*cm, items, this, CurrentView()->viewport()->mapToGlobal(point), hint);
    if (!alive || id == 0 || m_currentAbs != folderAbs)
        return;
    if (id == FirstCommandId + voRename) {
        const int row = focusedRel.isNull() ? -1 : RowsOf({focusedRel}).front();
        if (row >= 0)
            EditCaption(row);
        return;
    }
    // Items gone meanwhile drop out; with none left the command is dropped.
    std::vector<PItemIDList> present;
    const std::vector<int> rows = RowsOf(rels);
    for (size_t i = 0; i < rels.size(); ++i) {
        if (rows[i] >= 0)
            present.push_back(rels[i]);
    }
    if (present.empty())
        return;
    if (id >= FirstCommandId) {
        if (present.size() != rels.size() && Failed(GetUIObjectOf(window(), m_currentFolder, present, cm)))
            return;
        InvokeOffset(window(), *cm, id - FirstCommandId);
        if (alive && unwatched())
            RefreshList();
    } else if (id >= 1) {
        if (std::unique_ptr<QMimeData> data = ItemsDataObject(present))
            InvokeSendTo(window(), id - 1, data.get());
    }
}

bool TCustomShellList::KeyDown(QKeyEvent* event)
{
    if (TCustomListView::KeyDown(event))
        return true;
    if (OnKeyDown)
        OnKeyDown(this, event);
    if (!(m_options & sloDefaultKeyHandling) || Editing())
        return false;
    switch (MatchDefaultKey(event)) {
    case dkSelectAll:
        SelectAll();
        return true;
    case dkDelete:
        InvokeSelectionVerbMask(QStringLiteral("delete"), (event->modifiers() & Qt::ShiftModifier) ? CMIC_MASK_SHIFT_DOWN : 0);
        return true;
    case dkCopy:
        InvokeSelectionVerb(QStringLiteral("copy"));
        return true;
    case dkCut:
        InvokeSelectionVerb(QStringLiteral("cut"));
        return true;
    case dkPaste:
        InvokeFolderVerb(QStringLiteral("paste"));
        return true;
    case dkRefresh:
        FillList();
        return true;
    case dkRename:
        EditCaption(currentIndex().row());
        return true;
    default:
        break;
    }
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        if (event->key() == Qt::Key_Backspace) {
            GoUp(1);
            return true;
        }
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            OpenSelected();
            return true;
        }
    }
    return false;
}

void TCustomShellList::DoCustomDraw(TLvCustomDraw& aCD)
{
    int row = aCD.Item().isValid() ? aCD.Item().row() : -1;
    TShListData* d = DataOfIndex(row);
    if (OnCustomDrawShEx)
        OnCustomDrawShEx(this, aCD, row, d);
    if (OnCustomDrawSh && aCD.Stage() == TCustomDraw::cdItemPrePaint)
        OnCustomDrawSh(this, aCD, row, d);
}

bool TCustomShellList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Header() && event->type() == QEvent::ContextMenu) {
        auto* ce = static_cast<QContextMenuEvent*>(event);
        if (OnColumnRightClick)
            OnColumnRightClick(this, Header()->logicalIndexAt(ce->pos()));
        return true;
    }
    if (watched == IconView() || watched == ReportView()) {
        if (event->type() == QEvent::FocusIn && OnEnter)
            OnEnter(this);
        else if (event->type() == QEvent::FocusOut && OnExit)
            OnExit(this);
    }
    return TCustomListView::eventFilter(watched, event);
}

int TCustomShellList::ClientWidth() const
{
    return ReportView()->viewport()->width();
}

void TCustomShellList::SetColumnWidth(int column, int width)
{
    ReportView()->setColumnWidth(column, width);
}

int TCustomShellList::ColumnWidth(int column) const
{
    return ReportView()->columnWidth(column);
}

} // namespace corvane::shellctl
