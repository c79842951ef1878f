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
#include "platform/IdListFormat.h"
#include "platform/MountWatch.h"
#include "platform/NameCodec.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QScopeGuard>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <array>

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

// ---- TCustomShellList ----

TCustomShellList::TCustomShellList(QWidget* parent)
    : TCustomListView(parent), m_model(new TShellListModel(this)), m_timer(new QTimer(this))
{
    setModel(m_model);
    m_model->OnEdited = [this](int row, const QString& text) { return renameItem(row, text); };
    // Cut items are drawn dimmed until they are pasted.
    connect(&CutItems::instance(), &CutItems::changed, this, [this] { CurrentView()->viewport()->update(); });
    // Computer is no folder on disk: no folder watch sees its volumes come and go.
    connect(&TMountWatch::instance(), &TMountWatch::VolumesChanged, this, [this] {
        PItemIDList computer;
        if (!m_currentAbs.isNull() && Succeeded(SHGetSpecialFolderLocation(CSIDL_DRIVES, computer))
            && IdListBody(computer) == IdListBody(m_currentAbs))
            RefreshList();
    });
    SetMultiSelect(true);
    SetViewStyle(vsIcon);
    ViewStyleChanged();
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
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(IconView()), static_cast<QAbstractItemView*>(ReportView())}) {
        connect(v->itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] {
            if (!m_refreshDue)
                return;
            m_refreshDue = false;
            QTimer::singleShot(0, this, &TCustomShellList::RefreshList);
        });
    }
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

void TCustomShellList::ViewStyleChanged()
{
    // Large icons draw the large pictures of the same icons.
    const bool large = ViewStyle() == vsIcon;
    if (large == m_model->LargeIcons)
        return;
    m_model->LargeIcons = large;
    if (Count() > 0)
        emit m_model->dataChanged(m_model->index(0, 0), m_model->index(Count() - 1, 0), {Qt::DecorationRole});
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

qint64 TCustomShellList::FileBytes() const
{
    qint64 bytes = 0;
    for (int row = 0; row < Count(); ++row) {
        const TShellListModel::Item& item = m_model->At(row);
        const TShItemDetails* d = item.Data->Details();
        if (d && !(item.Attributes & SFGAO_FOLDER) && d->Size > 0)
            bytes += d->Size;
    }
    return bytes;
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
    endFill();
}

void TCustomShellList::endFill()
{
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
    const auto done = qScopeGuard([this] {
        setUpdatesEnabled(true);
        endFill();
    });
    auto restorePrevious = [this] {
        m_currentAbs = m_previousAbs;
        m_currentFolder = m_previousFolder;
    };
    if (Failed(listing.bindResult)) {
        restorePrevious();
        CheckResult(listing.bindResult);
    }
    m_currentFolder = listing.folder;
    m_model->SetFolder(std::make_shared<TShListFolder>(TShListFolder{listing.folder, listing.abs, listing.details}));
    try {
        applyColumns(listing);
        if (Failed(listing.enumStartResult))
            return;  // a listing that cannot start leaves the list empty, without a word
        if (Failed(listing.enumResult))
            CheckResult(listing.enumResult);
        TShellListModel::NameKeys nameKeys;
        m_model->Reset(m_model->MakeItems(listing.items, nullptr, admitter(), &nameKeys));
        listing.items = {};
        sort(&nameKeys);
        if (Count() > 0)
            SelectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::NoUpdate);
    } catch (...) {
        restorePrevious();
        throw;
    }
    m_previousFolder.reset();
    m_watchPaths = std::move(listing.watchPaths);
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

void TCustomShellList::sort(const TShellListModel::NameKeys* nameKeys)
{
    TShellListModel::Compare compare;
    if (OnCompare)
        compare = [this](TShListData* a, TShListData* b) { return OnCompare(this, a, b); };
    m_model->Sort(m_sortKey, compare, nameKeys);
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

TShellListModel::Admit TCustomShellList::admitter()
{
    return [this](TShListData& data, std::uint32_t& attrs) { return admit(data, attrs); };
}

void TCustomShellList::applyRefresh(FolderListing listing)
{
    // A folder that can no longer be read has no items left.
    if (Failed(listing.bindResult) || Failed(listing.enumStartResult)) {
        listing.items.clear();
        listing.comparedWithKnown = false;
    }
    // The fresh folder object reads the folder as it is now; the items keep their records.
    if (listing.folder && m_model->Folder()) {
        m_currentFolder = listing.folder;
        m_model->Folder()->IShf = listing.folder;
    }
    const TShellListModel::Diff diff = m_model->RefreshDiff(listing);
    setUpdatesEnabled(false);
    const auto done = qScopeGuard([this] {
        setUpdatesEnabled(true);
        endFill();
    });
    if (OnDeleteItem) {
        for (int row : diff.goneRows)
            OnDeleteItem(this, row, DataOfIndex(row));
    }
    m_model->RemoveRows(diff.goneRows);
    std::vector<TShellListModel::Item> added;
    try {
        added = m_model->MakeItems(listing.items, &diff.newItems, admitter(), nullptr);
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

bool TCustomShellList::renameItem(int row, const QString& text)
{
    if (!DataOfIndex(row) || !m_currentFolder)
        return false;
    const QString original = m_model->EditableName(row);
    const QString name = NameFromEditText(text, original);
    if (name == original)
        return false;
    BusyCursor busy;
    m_ignoreNextChange = true;
    const HResult hr = m_model->Rename(row, name);
    if (Failed(hr)) {
        // Nothing changed: the next report is somebody else's.
        m_ignoreNextChange = false;
        ShellWarning(SystemMessage(hr));
        return false;
    }
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
    QHash<PItemIDList, size_t> wanted;
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
    // From the view's own size, which is kept while another view style is shown (its viewport
    // is laid out only when shown).
    QTreeView* view = ReportView();
    int width = view->maximumViewportSize().width();
    if (view->verticalScrollBar()->isVisible())
        width -= view->verticalScrollBar()->width();
    return width;
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
