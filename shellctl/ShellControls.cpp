#include "ShellControls.h"

#include "UShConsts.h"
#include "platform/IconTable.h"
#include "platform/IdListFormat.h"

#include <QApplication>
#include <QCollator>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QPalette>
#include <QStackedLayout>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <array>

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr std::uint32_t TreeAdmissionMask = 0xF20B0000;
constexpr int IndentRole = Qt::UserRole + 1;

QIcon iconFor(const PItemIDList& abs, std::uint32_t attributes, bool open)
{
    IconTable& t = IconTable::instance();
    int index = SysIconIndex(abs, open ? 3 : 1);
    IconTable::Overlay ov = (attributes & SFGAO_LINK) ? IconTable::LinkOverlay
                            : (attributes & SFGAO_SHARE) ? IconTable::ShareOverlay : IconTable::NoOverlay;
    return QIcon(t.pixmap(index, false, ov));
}

std::uint32_t attributesOf(const ShellFolderPtr& folder, const PItemIDList& rel, std::uint32_t mask)
{
    std::array<PItemIDList, 1> one{rel};
    if (!folder || Failed(folder->GetAttributesOf(one, mask)))
        return 0;
    return mask;
}

} // namespace

// ---- TShellTree ----

TShellTree::TShellTree(QWidget* parent)
    : QTreeWidget(parent), m_handOver(new QTimer(this))
{
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setIndentation(19);
    setUniformRowHeights(true);
    m_baseFolder.SetSpecialFolder(CSIDL_DESKTOP);
    // Keyboard movement hands the folder over after a pause, so arrowing through is not slowed.
    m_handOver->setSingleShot(true);
    m_handOver->setInterval(500);
    connect(m_handOver, &QTimer::timeout, this, &TShellTree::handOver);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        auto* node = static_cast<TShTreeNode*>(item);
        FillNode(node);
        node->setIcon(0, iconFor(node->Data()->AbsIdList(), 0, true));
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
        auto* node = static_cast<TShTreeNode*>(item);
        node->setIcon(0, iconFor(node->Data()->AbsIdList(), 0, false));
    });
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { selectionMoved(); });
}

void TShellTree::FillTree()
{
    clear();
    PItemIDList base = m_baseFolder.IdList();
    auto data = std::make_unique<TShTreeData>(this, nullptr, base.isNull() ? EmptyIdList() : base);
    ShellFolderPtr f;
    CheckResult(BindToFolder(data->AbsIdList(), f));
    data->SetIShf(f);
    auto* root = new TShTreeNode(std::move(data));
    root->setText(0, SHGetDisplayName(root->Data()->AbsIdList()));
    root->setIcon(0, iconFor(root->Data()->AbsIdList(), 0, false));
    root->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    addTopLevelItem(root);
}

TShTreeNode* TShellTree::addNode(TShTreeNode* parent, const PItemIDList& rel)
{
    ShellFolderPtr folder = parent->Data()->IShf();
    std::uint32_t attrs = attributesOf(folder, rel, TreeAdmissionMask);
    auto* node = new TShTreeNode(std::make_unique<TShTreeData>(this, parent->Data(), rel));
    node->setText(0, GetDisplayName(folder, rel, dnInFolder));
    node->setIcon(0, iconFor(node->Data()->AbsIdList(), attrs, false));
    node->setChildIndicatorPolicy((attrs & SFGAO_HASSUBFOLDER) ? QTreeWidgetItem::ShowIndicator
                                                               : QTreeWidgetItem::DontShowIndicator);
    parent->addChild(node);
    return node;
}

void TShellTree::FillNode(TShTreeNode* node)
{
    if (!node || node->Filled)
        return;
    node->Filled = true;
    ShellFolderPtr folder = node->Data()->IShf();
    std::unique_ptr<IEnumIDList> e;
    // An unreadable folder simply has no children to show.
    if (!folder || Failed(folder->EnumObjects(SHCONTF_FOLDERS, e))) {
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
        return;
    }
    std::vector<PItemIDList> items;
    PItemIDList rel;
    while (e->Next(rel) == S_OK) {
        bool accept = true;
        if (OnAddItem)
            OnAddItem(this, folder, rel, accept);
        if (accept)
            items.push_back(rel);
    }
    std::sort(items.begin(), items.end(), [&](const PItemIDList& a, const PItemIDList& b) {
        return CompareResultOrder(folder->CompareIDs(0, a, b)) < 0;
    });
    for (const PItemIDList& item : items)
        addNode(node, item);
    if (items.empty())
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

bool TShellTree::SelectPath(const QString& path)
{
    PItemIDList abs;
    if (Failed(IdListFromPath(path, abs)))
        return false;
    return SelectIdList(abs);
}

bool TShellTree::SelectIdList(const PItemIDList& abs)
{
    if (topLevelItemCount() == 0)
        FillTree();
    auto* node = static_cast<TShTreeNode*>(topLevelItem(0));
    TIdListArray target(abs);
    TIdListArray base(node->Data()->AbsIdList());
    int baseCount = base.Count();
    if (target.Count() < baseCount)
        return false;
    for (int depth = baseCount; depth < target.Count(); ++depth) {
        FillNode(node);
        PItemIDList want = target.Item(depth);
        ShellFolderPtr folder = node->Data()->IShf();
        TShTreeNode* found = nullptr;
        for (int i = 0; i < node->childCount() && folder; ++i) {
            auto* child = static_cast<TShTreeNode*>(node->child(i));
            if (CompareResultOrder(folder->CompareIDs(0, child->Data()->RelIdList(), want)) == 0) {
                found = child;
                break;
            }
        }
        // Folders the fill left out (hidden ones) are added when asked for.
        if (!found)
            found = addNode(node, want);
        node = found;
    }
    m_mouseSelect = true;  // a selection by program hands over at once
    setCurrentItem(node);
    scrollToItem(node);
    return true;
}

TShTreeNode* TShellTree::SelectedNode() const
{
    return static_cast<TShTreeNode*>(currentItem());
}

QString TShellTree::SelectedPath() const
{
    TShTreeNode* n = SelectedNode();
    return n ? n->Data()->Path() : QString();
}

PItemIDList TShellTree::SelectedIdList() const
{
    TShTreeNode* n = SelectedNode();
    return n ? n->Data()->AbsIdList() : PItemIDList();
}

void TShellTree::ExpandSelected()
{
    if (TShTreeNode* n = SelectedNode())
        n->setExpanded(true);
}

void TShellTree::ScrollToTop()
{
    scrollToTop();
}

void TShellTree::focusInEvent(QFocusEvent* e)
{
    QTreeWidget::focusInEvent(e);
    if (OnEnter)
        OnEnter(this);
}

void TShellTree::mousePressEvent(QMouseEvent* e)
{
    m_mouseSelect = true;
    QTreeWidget::mousePressEvent(e);
    m_mouseSelect = false;
}

void TShellTree::selectionMoved()
{
    if (OnChange)
        OnChange(this, SelectedNode());
    if (m_mouseSelect) {
        m_mouseSelect = false;
        handOver();
    } else {
        m_handOver->start();
    }
}

void TShellTree::handOver()
{
    m_handOver->stop();
    TShTreeNode* n = SelectedNode();
    if (!n)
        return;
    PItemIDList abs = n->Data()->AbsIdList();
    if (m_list) {
        m_list->Folder().SetIdList(abs);
        m_list->FillList();
    }
    if (m_combo)
        m_combo->ShowIdList(abs);
}

// ---- TShellListModel ----

QVariant TShellListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_items.size()))
        return {};
    TShListData* item = m_items[size_t(index.row())].get();
    switch (role) {
    case Qt::DisplayRole:
        return index.column() == 0 ? item->DisplayName() : item->ColumnText(index.column());
    case Qt::DecorationRole: {
        if (index.column() != 0)
            return {};
        int& icon = m_icons[size_t(index.row())];
        if (icon < 0)
            icon = SysIconIndex(item->AbsIdList(), 1);
        std::uint32_t a = item->Attributes();
        IconTable::Overlay ov = (a & SFGAO_LINK) ? IconTable::LinkOverlay : IconTable::NoOverlay;
        return IconTable::instance().pixmap(icon, LargeIcons, ov);
    }
    case Qt::ForegroundRole:
        if (item->Attributes() & SFGAO_GHOSTED)
            return QApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::TextAlignmentRole:
        return index.column() == 1 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    default:
        return {};
    }
}

QVariant TShellListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[] = {texts::ColName, texts::ColSize, texts::ColType, texts::ColModified};
    return section >= 0 && section < 4 ? QString::fromLatin1(names[section]) : QVariant();
}

void TShellListModel::SetItems(std::vector<std::unique_ptr<TShListData>> items)
{
    beginResetModel();
    m_items = std::move(items);
    m_icons.assign(m_items.size(), -1);
    endResetModel();
}

// ---- TShellList ----

TShellList::TShellList(QWidget* parent)
    : QWidget(parent), m_model(new TShellListModel(this)), m_selection(new QItemSelectionModel(m_model, this)),
      m_details(new QTreeView(this)), m_icons(new QListView(this)), m_stack(new QStackedLayout(this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(m_details), static_cast<QAbstractItemView*>(m_icons)}) {
        v->setModel(m_model);
        v->setSelectionModel(m_selection);
        v->setSelectionMode(QAbstractItemView::ExtendedSelection);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->installEventFilter(this);
        connect(v, &QAbstractItemView::activated, this, &TShellList::openItem);
        m_stack->addWidget(v);
    }
    m_details->setRootIsDecorated(false);
    m_details->setUniformRowHeights(true);
    m_details->setAllColumnsShowFocus(true);
    m_details->header()->setStretchLastSection(false);
    m_icons->setUniformItemSizes(true);
    connect(m_selection, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& cur) {
        if (OnSelectItem && cur.isValid())
            OnSelectItem(this, m_model->Item(cur.row()), m_selection->isSelected(cur));
    });
    SetViewStyle(vsReport);
}

void TShellList::FillList()
{
    auto folder = std::make_shared<TShListFolder>();
    PItemIDList abs = m_folder.IdList();
    folder->AbsIdList = abs.isNull() ? EmptyIdList() : abs;
    std::vector<std::unique_ptr<TShListData>> items;
    std::unique_ptr<IEnumIDList> e;
    if (Succeeded(BindToFolder(folder->AbsIdList, folder->IShf))
        && Succeeded(folder->IShf->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | (ShowHidden ? std::uint32_t(SHCONTF_INCLUDEHIDDEN) : 0u), e))) {
        PItemIDList rel;
        while (e->Next(rel) == S_OK) {
            auto data = std::make_unique<TShListData>(folder, rel);
            bool accept = true;
            if (OnAddItem)
                OnAddItem(this, data.get(), accept);
            if (accept)
                items.push_back(std::move(data));
        }
        // Folders first, then names in natural order, through precomputed sort keys.
        QCollator col(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
        col.setNumericMode(true);
        col.setCaseSensitivity(Qt::CaseInsensitive);
        struct Key {
            bool folder;
            QCollatorSortKey key;
            size_t index;
        };
        std::vector<Key> keys;
        keys.reserve(items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            std::array<PItemIDList, 1> one{items[i]->RelIdList()};
            std::uint32_t a = SFGAO_FOLDER;
            folder->IShf->GetAttributesOf(one, a);
            keys.push_back({bool(a & SFGAO_FOLDER), col.sortKey(items[i]->DisplayName()), i});
        }
        std::sort(keys.begin(), keys.end(), [](const Key& x, const Key& y) {
            if (x.folder != y.folder)
                return x.folder;
            return x.key.compare(y.key) < 0;
        });
        std::vector<std::unique_ptr<TShListData>> sorted;
        sorted.reserve(items.size());
        for (const Key& k : keys)
            sorted.push_back(std::move(items[k.index]));
        items = std::move(sorted);
    }
    m_current = folder;
    m_model->SetItems(std::move(items));
    if (OnFillComplete)
        OnFillComplete(this);
}

void TShellList::SetViewStyle(TViewStyle style)
{
    m_style = style;
    m_model->LargeIcons = style == vsIcon;
    if (style == vsReport) {
        m_stack->setCurrentWidget(m_details);
        return;
    }
    switch (style) {
    case vsIcon:
        m_icons->setViewMode(QListView::IconMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setGridSize(QSize(IconTable::largeSize() * 3, IconTable::largeSize() * 2 + fontMetrics().height() * 2));
        m_icons->setWordWrap(true);
        break;
    case vsSmallIcon:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setWrapping(true);
        m_icons->setGridSize(QSize(IconTable::smallSize() * 10, IconTable::smallSize() + 6));
        break;
    default:
        m_icons->setViewMode(QListView::ListMode);
        m_icons->setFlow(QListView::TopToBottom);
        m_icons->setWrapping(true);
        m_icons->setGridSize(QSize(IconTable::smallSize() * 12, IconTable::smallSize() + 6));
        break;
    }
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setMovement(QListView::Static);
    m_icons->doItemsLayout();
    m_stack->setCurrentWidget(m_icons);
}

void TShellList::SetGridLines(bool on)
{
    m_details->setStyleSheet(on ? QStringLiteral("QTreeView::item { border-bottom: 1px solid palette(mid); border-right: 1px solid palette(mid); }")
                                : QString());
}

std::vector<TShListData*> TShellList::SelectedItems() const
{
    std::vector<TShListData*> out;
    QModelIndexList rows = m_selection->selectedRows();
    std::sort(rows.begin(), rows.end());
    for (const QModelIndex& i : rows)
        out.push_back(m_model->Item(i.row()));
    return out;
}

QAbstractItemView* TShellList::CurrentView() const
{
    return m_style == vsReport ? static_cast<QAbstractItemView*>(m_details) : m_icons;
}

int TShellList::ClientWidth() const
{
    return m_details->viewport()->width();
}

void TShellList::SetColumnWidth(int column, int width)
{
    m_details->setColumnWidth(column, width);
}

int TShellList::ColumnWidth(int column) const
{
    return m_details->columnWidth(column);
}

bool TShellList::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && OnEnter)
        OnEnter(this);
    else if (event->type() == QEvent::FocusOut && OnExit)
        OnExit(this);
    return QWidget::eventFilter(watched, event);
}

void TShellList::openItem(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    TShListData* item = m_model->Item(index.row());
    if (item->IsFolder()) {
        if (m_tree)
            m_tree->SelectIdList(item->AbsIdList());
        return;
    }
    TLinkData link;
    if (item->IsLink() && Succeeded(ReadShortcut(item->Path(), true, link)) && (link.FindData.Attributes & SFGAO_FOLDER)) {
        if (m_tree)
            m_tree->SelectIdList(link.IdList);
        return;
    }
    QString path = item->Path();
    if (!path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

// ---- TShellCombo ----

namespace {

class IndentDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem o = option;
        o.rect.adjust(index.data(IndentRole).toInt() * 10, 0, 0, 0);
        QStyledItemDelegate::paint(painter, o, index);
    }
};

} // namespace

TShellCombo::TShellCombo(QWidget* parent)
    : QComboBox(parent)
{
    setItemDelegate(new IndentDelegate(this));
    setMaxVisibleItems(20);
    connect(this, &QComboBox::activated, this, &TShellCombo::entryChosen);
}

void TShellCombo::SetShellTree(TShellTree* tree)
{
    m_tree = tree;
    if (tree)
        tree->SetShellCombo(this);
}

void TShellCombo::ShowIdList(const PItemIDList& abs)
{
    m_filling = true;
    clear();
    m_entries.clear();
    auto add = [&](ShellFolderPtr parent, const PItemIDList& parentAbs, const PItemIDList& rel, int indent) {
        auto data = std::make_unique<TShComboData>(parent, parentAbs, rel);
        addItem(iconFor(data->AbsIdList, 0, false), SHGetDisplayName(data->AbsIdList));
        setItemData(count() - 1, indent, IndentRole);
        m_entries.push_back(std::move(data));
    };
    ShellFolderPtr desktop = SHGetDesktopFolder();
    add(nullptr, PItemIDList(), EmptyIdList(), 0);
    TIdListArray chain(abs);
    PItemIDList first = chain.Count() > 0 ? chain.Item(0) : PItemIDList();
    std::unique_ptr<IEnumIDList> e;
    int current = 0;
    if (Succeeded(desktop->EnumObjects(SHCONTF_FOLDERS, e))) {
        PItemIDList rel;
        while (e->Next(rel) == S_OK) {
            add(desktop, EmptyIdList(), rel, 1);
            bool onChain = !first.isNull() && CompareResultOrder(desktop->CompareIDs(0, rel, first)) == 0;
            if (!onChain)
                continue;
            // Follow the chain down to the folder shown.
            ShellFolderPtr folder = desktop;
            PItemIDList parentAbs = EmptyIdList();
            current = count() - 1;
            for (int depth = 1; depth < chain.Count(); ++depth) {
                PItemIDList step = chain.Item(depth - 1);
                ShellFolderPtr next;
                if (Failed(folder->BindToObject(step, next)))
                    break;
                parentAbs = ConcatIdLists(parentAbs, step);
                folder = next;
                add(folder, parentAbs, chain.Item(depth), depth + 1);
                current = count() - 1;
            }
        }
    }
    setCurrentIndex(current);
    m_filling = false;
}

void TShellCombo::focusInEvent(QFocusEvent* e)
{
    QComboBox::focusInEvent(e);
    if (OnEnter)
        OnEnter(this);
}

void TShellCombo::entryChosen(int index)
{
    if (m_filling || index < 0 || index >= int(m_entries.size()) || !m_tree)
        return;
    m_tree->SelectIdList(m_entries[size_t(index)]->AbsIdList);
}

} // namespace corvane::shellctl
