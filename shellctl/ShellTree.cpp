#include "ShellTree.h"

#include "ShellMenu.h"

#include "ChangeHandler.h"
#include "ShellCombo.h"
#include "ShellKeys.h"
#include "ShellList.h"
#include "NameEdit.h"
#include "ShellGuards.h"
#include "UShConsts.h"
#include "platform/MountWatch.h"
#include "platform/Volumes.h"
#include "platform/IconTable.h"
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMimeData>
#include <QPointer>
#include <QHeaderView>
#include <QSet>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cerrno>
#include <sys/stat.h>

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr std::uint32_t AdmissionMask = 0xF20B0000;
constexpr std::uint32_t RefreshMask = 0xF3000000;
constexpr int TagHandOver = 1;
constexpr int TagRefresh = 2;

QPixmap nodeIcon(const PItemIDList& abs, bool open, std::uint32_t attrs)
{
    IconTable::Overlay ov = (attrs & SFGAO_LINK) ? IconTable::LinkOverlay
                            : (attrs & SFGAO_SHARE) ? IconTable::ShareOverlay : IconTable::NoOverlay;
    return IconTable::instance().pixmap(SysIconIndex(abs, open ? 3 : 1), false, ov);
}

} // namespace

QString TShTreeNode::EditableName() const
{
    if (!m_data)
        return text(0);
    return shellctl::EditableName(m_data->ParentIShf(), m_data->RelIdList(), text(0));
}

QVariant TShTreeNode::data(int column, int role) const
{
    if (role == Qt::EditRole && column == 0 && m_data)
        return NameToEditText(EditableName());
    return QTreeWidgetItem::data(column, role);
}

void TShTreeNode::setData(int column, int role, const QVariant& value)
{
    // An edited text is a rename request: the text changes only when the folder accepts it.
    auto* tree = dynamic_cast<TCustomShellTree*>(treeWidget());
    if (role == Qt::EditRole && tree && tree->m_editing && !tree->m_settingText) {
        tree->nodeEdited(this, value.toString());
        return;
    }
    QTreeWidgetItem::setData(column, role, value);
}

TCustomShellTree::TCustomShellTree(QWidget* parent)
    : TCustomTreeView(parent), m_timer(new QTimer(this))
{
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    // Deep names keep their width and the tree scrolls sideways, instead of cutting them to "…".
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    SetDragDrop(m_options & stoOleDrag, m_options & stoOleDrop);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &TCustomShellTree::timerFired);
    m_baseFolder.SetSpecialFolder(CSIDL_DESKTOP);
    m_baseFolder.OnChange = [this](TShellLocator&) { baseFolderChanged(); };
    m_current.OnChange = [this](TShellLocator& loc) {
        if (topLevelItemCount() > 0 || (m_options & stoAutoFill))
            SelectIdList(loc.IdList().isNull() ? EmptyIdList() : loc.IdList());
    };
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        auto* node = static_cast<TShTreeNode*>(item);
        if (!node->Filled && node->Data()) {
            BusyCursor busy;
            FillNode(node->Data()->IShf(), node);
        }
    });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* cur) { selectionChanged(cur); });
    // Computer is no folder on disk, so no folder watch sees a volume come or go.
    connect(&TMountWatch::instance(), &TMountWatch::VolumesChanged, this, &TCustomShellTree::volumesChanged);
}

TCustomShellTree::~TCustomShellTree()
{
    endExpand(false, false);
    Counter c(m_updating);
    while (topLevelItemCount() > 0)
        deleteNode(topLevelItem(0));
}

void TCustomShellTree::SetOptions(TShellTreeOptions o)
{
    const TShellTreeOptions changed = o ^ m_options;
    m_options = o;
    if (changed & (stoOleDrag | stoOleDrop))
        SetDragDrop(m_options & stoOleDrag, m_options & stoOleDrop);
    if (changed & stoDynamicRefresh) {
        if (m_options & stoDynamicRefresh)
            StartWatching();
        else
            StopWatching();
    }
}

void TCustomShellTree::SetShellList(TCustomShellList* list)
{
    if (m_list == list)
        return;
    if (m_list)
        m_list->SetLinkedTree(nullptr);
    m_list = list;
    if (m_list) {
        m_list->SetLinkedTree(this);
        PItemIDList cur = m_current.IdList();
        m_list->Folder().SetIdList(cur.isNull() ? EmptyIdList() : cur);
    }
}

TShTreeData* TCustomShellTree::NodeData(QTreeWidgetItem* node)
{
    return node ? static_cast<TShTreeNode*>(node)->Data() : nullptr;
}

TShTreeNode* TCustomShellTree::RootNode() const
{
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (NodeData(topLevelItem(i)))
            return static_cast<TShTreeNode*>(topLevelItem(i));
    }
    return nullptr;
}

TShTreeNode* TCustomShellTree::SelectedNode() const
{
    return static_cast<TShTreeNode*>(currentItem());
}

QString TCustomShellTree::SelectedPath() const
{
    TShTreeData* d = NodeData(currentItem());
    return d ? d->Path() : QString();
}

void TCustomShellTree::ensureIcons(TShTreeNode* node)
{
    if (node->IconsSet || !node->Data())
        return;
    node->IconsSet = true;
    QIcon icon(nodeIcon(node->Data()->AbsIdList(), false, node->Attributes));
    icon.addPixmap(nodeIcon(node->Data()->AbsIdList(), true, node->Attributes), QIcon::Selected);
    node->setIcon(0, icon);
}

HResult TCustomShellTree::AddShellNode(const ShellFolderPtr& folder, const PItemIDList& rel, TShTreeNode* parent,
                                       const PItemIDList& parentAbs)
{
    std::uint32_t attrs = AdmissionMask;
    std::array<PItemIDList, 1> one{rel};
    HResult hr = folder ? folder->GetAttributesOf(one, attrs) : E_FAIL;
    if (Failed(hr))
        return hr;
    bool candidate = (m_options & stoVirtualFolders) || (attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR));
    if (!candidate)
        return S_OK;
    bool allow = true;
    if (OnAddItem)
        OnAddItem(this, folder, parentAbs, rel, attrs, allow);
    if (!allow)
        return S_OK;
    auto* node = new TShTreeNode(std::make_unique<TShTreeData>(this, parent ? parent->Data() : nullptr, rel));
    node->Attributes = attrs;
    node->setText(0, GetDisplayName(folder, rel, dnInFolder));
    bool expandable = (m_options & stoIncludeNonFolders) ? (attrs & (SFGAO_HASSUBFOLDER | SFGAO_FOLDER)) != 0
                                                          : (attrs & SFGAO_HASSUBFOLDER) && (attrs & SFGAO_FOLDER);
    node->setChildIndicatorPolicy(expandable ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    if (attrs & SFGAO_GHOSTED)
        node->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    if (parent)
        parent->addChild(node);
    else
        addTopLevelItem(node);
    ensureIcons(node);
    m_lastInserted = node;
    if (OnInsertItem)
        OnInsertItem(this, node);
    return S_OK;
}

void TCustomShellTree::sortChildren(TShTreeNode* node)
{
    ShellFolderPtr folder = node ? node->Data()->IShf() : SHGetDesktopFolder();
    QList<QTreeWidgetItem*> kids = node ? node->takeChildren() : QList<QTreeWidgetItem*>();
    if (!node)
        return;
    std::stable_sort(kids.begin(), kids.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        TShTreeData* da = NodeData(a);
        TShTreeData* db = NodeData(b);
        if (!da || !db || !folder)
            return false;
        HResult hr = folder->CompareIDs(0, da->RelIdList(), db->RelIdList());
        return Succeeded(hr) && CompareResultOrder(hr) < 0;
    });
    node->addChildren(kids);
}

void TCustomShellTree::FillNode(const ShellFolderPtr& folder, TShTreeNode* node)
{
    if (OnFillStart)
        OnFillStart(this);
    struct Done {
        TCustomShellTree* t;
        ~Done()
        {
            if (t->OnFillComplete)
                t->OnFillComplete(t);
        }
    } done{this};

    if (!node) {
        PItemIDList base = m_baseFolder.IdList();
        PItemIDList list = IdListSize(base) > 2 ? CopyIdList(base) : EmptyIdList();
        auto data = std::make_unique<TShTreeData>(this, nullptr, list);
        data->SetIShf(folder);
        node = new TShTreeNode(std::move(data));
        node->setText(0, SHGetDisplayName(list));
        node->Attributes = SFGAO_FOLDER;
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        addTopLevelItem(node);
        ensureIcons(node);
        FillNode(folder, node);
        node->setExpanded(true);
        return;
    }
    std::uint32_t flags = SHCONTF_FOLDERS | ((m_options & stoIncludeNonFolders) ? std::uint32_t(SHCONTF_NONFOLDERS) : 0u)
                          | ((m_options & stoShowHidden) ? std::uint32_t(SHCONTF_INCLUDEHIDDEN) : 0u);
    std::unique_ptr<IEnumIDList> e;
    // A folder whose listing cannot start keeps its expand button, shows nothing and is read again
    // the next time it is expanded.
    if (!folder || Failed(folder->EnumObjects(flags, e))) {
        if (node->Data())
            node->Data()->FlushCache();
        return;
    }
    node->Filled = true;
    PItemIDList abs = node->Data()->AbsIdList();
    PItemIDList rel;
    HResult hr;
    setUpdatesEnabled(false);
    while ((hr = e->Next(rel)) == S_OK)
        AddShellNode(folder, rel, node, abs);
    sortChildren(node);
    setUpdatesEnabled(true);
    if (node->childCount() == 0)
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
    if (hr != S_FALSE)
        CheckResult(hr);
}

TShTreeNode* TCustomShellTree::FindChildNode(TShTreeNode* node, const PItemIDList& rel) const
{
    if (!node)
        return RootNode();
    ShellFolderPtr folder = node->Data() ? node->Data()->IShf() : nullptr;
    if (!folder)
        return nullptr;
    for (int i = 0; i < node->childCount(); ++i) {
        TShTreeData* d = NodeData(node->child(i));
        if (!d)
            continue;
        HResult hr = folder->CompareIDs(0, d->RelIdList(), rel);
        if (Succeeded(hr) && CompareResultOrder(hr) == 0)
            return static_cast<TShTreeNode*>(node->child(i));
    }
    return nullptr;
}

void TCustomShellTree::SelectIdList(const PItemIDList& target)
{
    if (m_updating > 0)
        return;
    m_immediate = true;
    if (topLevelItemCount() == 0)
        ResetTree();
    TIdListArray base(m_baseFolder.IdList().isNull() ? EmptyIdList() : m_baseFolder.IdList());
    TIdListArray path(target);
    TShTreeNode* root = RootNode();
    if (!root)
        return;
    if (path.Count() == 0) {
        setCurrentItem(root);
        return;
    }
    int i = base.Count();
    if (i >= path.Count()) {
        setCurrentItem(root);
        root->setExpanded(true);
        return;
    }
    bool hideFolders = m_list && (m_list->Options() & sloHideFoldersWhenLinkedToTree);
    TShTreeNode* node = root;
    node->setExpanded(true);
    if (!node->Filled)
        FillNode(node->Data()->IShf(), node);
    while (i < path.Count()) {
        PItemIDList item = path.Item(i);
        TShTreeNode* child = FindChildNode(node, item);
        if (!child) {
            m_lastInserted = nullptr;
            // Folders the fill left out (hidden ones) are added on the way.
            if (Failed(AddShellNode(node->Data()->IShf(), item, node, node->Data()->AbsIdList())) || !m_lastInserted
                || m_lastInserted->parent() != node) {
                ShellBeep();
                break;
            }
            child = m_lastInserted;
        }
        if (i < path.Count() - 1 || hideFolders) {
            child->setExpanded(true);
            if (!child->Filled && child->Data()->IShf())
                FillNode(child->Data()->IShf(), child);
        }
        ++i;
        node = child;
    }
    setCurrentItem(node);
    scrollToItem(node);
}

void TCustomShellTree::SelectPath(const QString& path)
{
    if (m_updating > 0)
        return;
    // A hand-over still waiting would leave the current folder one step behind.
    FlushPendingChange(false);
    m_current.SetPath(path);
}

void TCustomShellTree::SetCurrentFolder(const TShellLocator& locator)
{
    if (m_updating > 0) {
        if (m_list)
            m_list->Folder().Assign(&locator);
        return;
    }
    m_current.Assign(&locator);
}

void TCustomShellTree::GoUp(int levels)
{
    QTreeWidgetItem* node = currentItem();
    if (!node || !node->parent())
        return;
    for (int i = 0; i < levels && node->parent(); ++i)
        node = node->parent();
    m_immediate = true;
    setCurrentItem(node);
}

void TCustomShellTree::selectionChanged(QTreeWidgetItem* current)
{
    auto* node = static_cast<TShTreeNode*>(current);
    if (m_updating > 0) {
        if (node && node->Data()) {
            Counter c(m_updating);
            m_current.SetIdList(node->Data()->AbsIdList());
        }
        return;
    }
    if (OnChange)
        OnChange(this, node);
    if (!node || !node->Data() || node != currentItem())
        return;
    if (m_immediate || !m_list) {
        handOver(node);
    } else {
        m_timerTag = TagHandOver;
        m_timer->start(HandOverDelay);
    }
}

void TCustomShellTree::handOver(TShTreeNode* node)
{
    if (node && node->Data()) {
        Counter c(m_updating);
        m_current.SetIdList(node->Data()->AbsIdList());
        if (m_list)
            m_list->SetFolderFromNode(node);
        if (m_combo)
            m_combo->TakeNode(node);
    }
    m_immediate = false;
}

void TCustomShellTree::timerFired()
{
    int tag = m_timerTag;
    m_timerTag = 0;
    if (tag == TagHandOver)
        handOver(SelectedNode());
    else if (tag == TagRefresh)
        RefreshTree();
    watchTimerFired(tag);
}

void TCustomShellTree::FlushPendingChange(bool alsoLinked)
{
    if (alsoLinked) {
        if (m_list)
            m_list->FlushPendingChange(false);
        if (m_combo)
            m_combo->FlushPendingChange(false);
    }
    if (m_timer->isActive()) {
        m_timer->stop();
        timerFired();
    }
}

void TCustomShellTree::deleteNode(QTreeWidgetItem* node)
{
    deleteChildren(node);
    if (TShTreeData* d = NodeData(node); d && OnDeleteItem)
        OnDeleteItem(this, static_cast<TShTreeNode*>(node), d);
    delete node;
}

void TCustomShellTree::deleteChildren(QTreeWidgetItem* node)
{
    while (node->childCount() > 0)
        deleteNode(node->child(node->childCount() - 1));
}

void TCustomShellTree::ResetTree()
{
    if (m_drag.Postpone())
        return;
    if (m_editing) {
        m_refreshDue = true;
        return;
    }
    BusyCursor busy;
    {
        Counter c(m_updating);
        setCurrentItem(nullptr);
        while (topLevelItemCount() > 0)
            deleteNode(topLevelItem(0));
    }
    ShellFolderPtr folder;
    PItemIDList base = m_baseFolder.IdList();
    CheckResult(BindToFolder(IdListSize(base) > 2 ? base : EmptyIdList(), folder));
    FillNode(folder, nullptr);
    PItemIDList cur = m_current.IdList();
    if (!cur.isNull())
        SelectIdList(cur);
    else if (topLevelItemCount() > 0)
        setCurrentItem(topLevelItem(0));
    FlushPendingChange(false);
    if (m_options & stoDynamicRefresh)
        StartWatching();
}

void TCustomShellTree::baseFolderChanged()
{
    {
        Counter c(m_updating);
        m_current.Clear();
    }
    if (m_options & stoAutoFill) {
        m_immediate = true;
        ResetTree();
    }
}

void TCustomShellTree::rereadNode(TShTreeNode* node, TShTreeNode*& remembered)
{
    ShellFolderPtr folder = node->Data()->IShf();
    if (!folder)
        return;
    // A volume mounted here that may not answer is not asked whether it is still there: the
    // mount table says so, and the tree would wait on it.
    QSet<QByteArray> silentMounts;
    for (const Volume& v : MountedVolumes()) {
        if (v.mayStall)
            silentMounts.insert(v.mountPoint);
    }
    std::vector<PItemIDList> known;
    for (int i = node->childCount() - 1; i >= 0; --i) {
        auto* child = static_cast<TShTreeNode*>(node->child(i));
        if (!child->Data())
            continue;
        if (!silentMounts.isEmpty() && silentMounts.contains(PathBytesFromIdList(child->Data()->AbsIdList()))) {
            known.push_back(child->Data()->RelIdList());
            continue;
        }
        std::uint32_t attrs = RefreshMask;
        std::array<PItemIDList, 1> one{child->Data()->RelIdList()};
        if (Succeeded(folder->GetAttributesOf(one, attrs))) {
            known.push_back(child->Data()->RelIdList());
            if (!child->Filled && (attrs & SFGAO_HASSUBFOLDER) && (attrs & SFGAO_FOLDER))
                child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
            continue;
        }
        // The folder is gone: the selection moves to its parent.
        for (QTreeWidgetItem* up = remembered; up; up = up->parent()) {
            if (up == child) {
                remembered = node;
                break;
            }
        }
        if (node->childCount() == 1) {
            deleteChildren(node);
            node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
        } else {
            deleteNode(child);
        }
    }
    std::unique_ptr<IEnumIDList> e;
    bool added = false;
    if (Succeeded(folder->EnumObjects(SHCONTF_FOLDERS, e))) {
        PItemIDList rel;
        while (e->Next(rel) == S_OK) {
            bool isKnown = std::any_of(known.begin(), known.end(), [&](const PItemIDList& k) {
                return CompareResultOrder(folder->CompareIDs(0, k, rel)) == 0;
            });
            if (isKnown)
                continue;
            int before = node->childCount();
            AddShellNode(folder, rel, node, node->Data()->AbsIdList());
            added = added || node->childCount() > before;
            known.push_back(rel);
        }
    }
    if (added) {
        sortChildren(node);
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
}

void TCustomShellTree::refreshNode(TShTreeNode* node, TShTreeNode*& remembered, bool shown,
                                   const QSet<QByteArray>& reported)
{
    if (!node || !node->Data())
        return;
    // What the user sees is read again, and folders reported changed; a loaded folder out of
    // sight waits until it is expanded again, so a change never costs a read of every folder
    // the tree has loaded.
    const bool open = shown && node->isExpanded();
    if (node->Filled) {
        const bool reread = open || node == remembered
                            || (!reported.isEmpty() && reported.contains(PathBytesFromIdList(node->Data()->AbsIdList())));
        node->Stale = !reread;
        if (reread)
            rereadNode(node, remembered);
    }
    for (int i = 0; i < node->childCount(); ++i)
        refreshNode(static_cast<TShTreeNode*>(node->child(i)), remembered, open, reported);
}

void TCustomShellTree::refreshStale(QTreeWidgetItem* item)
{
    auto* node = static_cast<TShTreeNode*>(item);
    if (!node || !node->Stale || !node->Filled || !node->Data() || m_editing || m_drag.Running())
        return;
    node->Stale = false;
    BusyCursor busy;
    TShTreeNode* remembered = SelectedNode();
    {
        Counter c(m_updating);
        rereadNode(node, remembered);
    }
    if (remembered && remembered != currentItem()) {
        m_immediate = true;
        setCurrentItem(remembered);
    }
}

void TCustomShellTree::hookStale()
{
    if (!m_staleHooked) {
        m_staleHooked = true;
        connect(this, &QTreeWidget::itemExpanded, this, &TCustomShellTree::refreshStale);
    }
}

void TCustomShellTree::volumesChanged()
{
    PItemIDList computer;
    if (Failed(SHGetSpecialFolderLocation(CSIDL_DRIVES, computer)))
        return;
    TShTreeNode* node = NodeOfIdList(computer);
    if (!node || !node->Filled)
        return;
    node->Stale = true;
    hookStale();
    // Read now when it shows; a collapsed Computer is read when opened again.
    if (node->isExpanded())
        refreshStale(node);
}

void TCustomShellTree::RefreshTree()
{
    if (m_drag.Postpone())
        return;
    if (m_editing) {
        m_refreshDue = true;
        return;
    }
    if (topLevelItemCount() == 0) {
        ResetTree();
        return;
    }
    hookStale();
    BusyCursor busy;
    if (OnFillStart)
        OnFillStart(this);
    TShTreeNode* remembered = SelectedNode();
    const QSet<QByteArray> reported = m_watches ? m_watches->TakeReported() : QSet<QByteArray>();
    {
        Counter c(m_updating);
        setUpdatesEnabled(false);
        refreshNode(static_cast<TShTreeNode*>(topLevelItem(0)), remembered, true, reported);
        setUpdatesEnabled(true);
    }
    m_immediate = true;
    if (remembered && remembered != currentItem())
        setCurrentItem(remembered);
    else
        m_immediate = false;
    if (OnFillComplete)
        OnFillComplete(this);
}

QString TCustomShellTree::CreateUniqueFolder(const QString& dir, QString* error)
{
    QString base = dir.isEmpty() ? QStringLiteral(".") : dir;
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    auto attempt = [&](const QString& stem, bool numberInParens, QString& failure) -> QString {
        for (int n = 1; n <= 50; ++n) {
            QString name = n == 1 ? stem : numberInParens ? stem + QStringLiteral(" (%1)").arg(n) : stem + QString::number(n);
            if (::mkdir(EncodeName(base + name).constData(), 0777) == 0)
                return name;
            if (errno != EEXIST) {
                failure = QString::fromLatin1(texts::CannotCreateFolder)
                              .replace(QLatin1String("%1"), SystemMessage(HResultFromErrno(errno)))
                              .replace(QLatin1String("%2"), name);
                return {};
            }
        }
        return {};
    };
    QString failure;
    QString name = attempt(QString::fromLatin1(texts::NewFolder), true, failure);
    if (!name.isEmpty())
        return name;
    if (!failure.isEmpty())
        ShellWarning(failure);
    failure.clear();
    name = attempt(QStringLiteral("fldr"), false, failure);
    if (!name.isEmpty())
        return name;
    if (!failure.isEmpty())
        ShellWarning(failure);
    QString last = QString::fromLatin1(texts::CannotCreateFolder)
                       .replace(QLatin1String("%1"), SystemMessage(HResultFromErrno(EEXIST)))
                       .replace(QLatin1String("%2"), QString::fromLatin1(texts::NewFolder));
    ShellWarning(last);
    if (error)
        *error = last;
    return {};
}

bool TCustomShellTree::CreateNewFolder()
{
    QString dir = SelectedPath();
    m_ignoreNextChange = true;
    QString name = CreateUniqueFolder(dir, nullptr);
    if (name.isEmpty()) {
        m_ignoreNextChange = false;
        return false;
    }
    RefreshTree();
    TShTreeNode* node = SelectedNode();
    if (!node)
        return true;
    if (!node->Filled && node->Data())
        FillNode(node->Data()->IShf(), node);
    node->setExpanded(true);
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == name) {
            scrollToItem(node->child(i));
            EditNode(node->child(i));
            break;
        }
    }
    return true;
}

bool TCustomShellTree::EditNode(QTreeWidgetItem* node)
{
    if (!node)
        return false;
    QModelIndex index = indexFromItem(node);
    return edit(index, QAbstractItemView::AllEditTriggers, nullptr);
}

bool TCustomShellTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    TShTreeData* d = NodeData(itemFromIndex(index));
    if (trigger != QAbstractItemView::AllEditTriggers || (d && !d->CanRename()))
        return false;
    m_editing = TCustomTreeView::edit(index, trigger, event);
    return m_editing;
}

void TCustomShellTree::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    TCustomTreeView::closeEditor(editor, hint);
    m_editing = false;
    if (m_refreshDue) {
        m_refreshDue = false;
        QTimer::singleShot(0, this, &TCustomShellTree::RefreshTree);
    }
}

void TCustomShellTree::nodeEdited(TShTreeNode* node, const QString& text)
{
    TShTreeData* d = node->Data();
    if (!d) {
        m_settingText = true;
        node->setText(0, text);
        m_settingText = false;
        return;
    }
    const QString original = node->EditableName();
    const QString name = NameFromEditText(text, original);
    if (name == original)
        return;
    BusyCursor busy;
    m_ignoreNextChange = true;
    ShellFolderPtr parent = d->ParentIShf();
    PItemIDList renamed;
    HResult hr = parent ? parent->SetNameOf(d->RelIdList(), name.left(260), SHGDN_INFOLDER, renamed) : E_FAIL;
    if (Failed(hr)) {
        m_ignoreNextChange = false;
        ShellWarning(SystemMessage(hr));
        return;
    }
    Counter c(m_updating);
    std::function<void(QTreeWidgetItem*)> flush = [&](QTreeWidgetItem* n) {
        for (int i = 0; i < n->childCount(); ++i) {
            if (TShTreeData* cd = NodeData(n->child(i)))
                cd->FlushCache();
            flush(n->child(i));
        }
    };
    flush(node);
    d->SetRelIdList(renamed);
    m_settingText = true;
    node->setText(0, GetDisplayName(parent, renamed, dnInFolder));
    m_settingText = false;
    // The window follows only when the renamed folder is the selected one or holds it; a new
    // folder named below the selection leaves the window where it is.
    TShTreeNode* selected = SelectedNode();
    bool holdsSelection = false;
    for (QTreeWidgetItem* up = selected; up && !holdsSelection; up = up->parent())
        holdsSelection = up == node;
    if (!holdsSelection || !selected->Data())
        return;
    const PItemIDList abs = selected->Data()->AbsIdList();
    m_current.SetIdList(abs);
    if (m_list)
        m_list->Folder().SetIdList(abs);
    if (m_combo)
        m_combo->Location().SetIdList(abs);
}

HResult TCustomShellTree::InvokeNodeVerb(TShTreeNode* node, const QString& verb)
{
    return invokeNodeVerbMask(node, verb, 0);
}

HResult TCustomShellTree::invokeNodeVerbMask(TShTreeNode* node, const QString& verb, std::uint32_t mask)
{
    TShTreeData* data = NodeData(node);
    if (!node || !node->parent() || !data)
        return S_FALSE;
    std::unique_ptr<IContextMenu> cm;
    const std::array<PItemIDList, 1> one{data->RelIdList()};
    HResult hr = GetUIObjectOf(window(), data->ParentIShf(), one, cm);
    if (Failed(hr))
        throw EShellError(SystemMessage(hr));
    // The verb may ask first, and the tree may go while it does.
    const QPointer<TCustomShellTree> alive(this);
    hr = InvokeVerbByName(window(), *cm, verb, mask);
    if (alive)
        RefreshTree();
    return hr;
}

void TCustomShellTree::NodeHook(QTreeWidgetItem* node, QPoint& point, QMenu*& menu)
{
    TCustomTreeView::NodeHook(node, point, menu);
    if (!(m_options & stoContextMenus))
        return;
    menu = nullptr;
    ShowContextMenu(static_cast<TShTreeNode*>(node), point);
}

void TCustomShellTree::ShowContextMenu(TShTreeNode* node, QPoint point)
{
    TShTreeData* data = NodeData(node);
    // The desktop at the top gets no menu.
    if (!data || !data->ParentIShf() || IdListItems(data->AbsIdList()).empty())
        return;
    std::unique_ptr<IContextMenu> cm;
    std::vector<ShellMenuItem> items;
    const std::array<PItemIDList, 1> one{data->RelIdList()};
    if (Failed(CreateContextMenu(window(), data->ParentIShf(), one, CMF_EXPLORE | CMF_CANRENAME, cm, items)))
        return;
    auto hint = [this](const QString& text) {
        if (OnPopupHint)
            OnPopupHint(this, text);
    };
    // The menu runs its own event loop, where a refresh may delete the node or the tree may go:
    // the node is kept by its ID list and looked up again afterwards.
    const PItemIDList abs = data->AbsIdList();
    const QPointer<TCustomShellTree> alive(this);
    const int id = TrackShellMenu(*cm, items, this, viewport()->mapToGlobal(point), hint);
    if (!alive || id == 0)
        return;
    TShTreeNode* target = NodeOfIdList(abs);
    if (!target)
        return;
    if (id == FirstCommandId + voRename) {
        EditNode(target);
    } else if (id >= FirstCommandId) {
        InvokeOffset(window(), *cm, id - FirstCommandId);
        if (alive)
            RefreshTree();
    } else if (std::unique_ptr<QMimeData> dropped = NodeDataObject(target)) {
        InvokeSendTo(window(), id - 1, dropped.get());
    }
}

TShTreeNode* TCustomShellTree::NodeOfIdList(const PItemIDList& abs) const
{
    // Item IDs are canonical bytes, so the nodes on the way have lists that are prefixes of it.
    auto items = [](const PItemIDList& list) {
        return list.size() >= 2 ? QByteArrayView(list.bytes()).first(list.size() - 2) : QByteArrayView();
    };
    const QByteArrayView want = items(abs);
    TShTreeNode* node = RootNode();
    while (node) {
        const QByteArrayView have = items(node->Data()->AbsIdList());
        if (have == want)
            return node;
        if (!want.startsWith(have))
            return nullptr;
        TShTreeNode* next = nullptr;
        for (int i = 0; i < node->childCount() && !next; ++i) {
            auto* child = static_cast<TShTreeNode*>(node->child(i));
            if (child->Data() && want.startsWith(items(child->Data()->AbsIdList())))
                next = child;
        }
        node = next;
    }
    return nullptr;
}

void TCustomShellTree::showEvent(QShowEvent* e)
{
    TCustomTreeView::showEvent(e);
    if ((m_options & stoAutoFill) && topLevelItemCount() == 0) {
        QTimer::singleShot(0, this, [this] {
            if (topLevelItemCount() == 0)
                ResetTree();
        });
    }
}

void TCustomShellTree::focusInEvent(QFocusEvent* e)
{
    TCustomTreeView::focusInEvent(e);
    if (OnEnter)
        OnEnter(this);
}

void TCustomShellTree::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && itemAt(e->position().toPoint()))
        m_immediate = true;
    TCustomTreeView::mousePressEvent(e);
}

bool TCustomShellTree::KeyDown(QKeyEvent* e)
{
    if (TCustomTreeView::KeyDown(e))
        return true;
    if ((m_options & stoDefaultKeyHandling) && !m_editing) {
        switch (MatchDefaultKey(e)) {
        case dkRename:
            EditNode(currentItem());
            return true;
        case dkRefresh:
            RefreshTree();
            return true;
        case dkCut:
            InvokeNodeVerb(SelectedNode(), QStringLiteral("cut"));
            return true;
        case dkCopy:
            InvokeNodeVerb(SelectedNode(), QStringLiteral("copy"));
            return true;
        case dkPaste:
            InvokeNodeVerb(SelectedNode(), QStringLiteral("paste"));
            return true;
        case dkDelete:
            invokeNodeVerbMask(SelectedNode(), QStringLiteral("delete"), (e->modifiers() & Qt::ShiftModifier) ? CMIC_MASK_SHIFT_DOWN : 0);
            return true;
        default:
            break;
        }
    }
    if (OnKeyDown)
        OnKeyDown(this, e);
    return false;
}

} // namespace corvane::shellctl
