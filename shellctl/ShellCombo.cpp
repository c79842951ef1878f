#include "ShellCombo.h"

#include "ShellList.h"
#include "ShellGuards.h"
#include "ShellTree.h"
#include "platform/IconTable.h"
#include "platform/IdListFormat.h"
#include "platform/MountWatch.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QWheelEvent>
#include <algorithm>
#include <array>

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr std::uint32_t LevelMask = 0xF00B0000;
constexpr std::uint32_t ChainMask = 0xB00B0000;

} // namespace

TCustomShellCombo::TCustomShellCombo(QWidget* parent)
    : TCustomImageCombo(parent)
{
    m_location.OnChange = [this](TShellLocator&) { locationChanged(); };
    connect(this, &QComboBox::activated, this, &TCustomShellCombo::chosen);
    connect(&TMountWatch::instance(), &TMountWatch::VolumesChanged, this, [this] {
        if (count() > 0)
            Rebuild();
    });
}

std::unique_ptr<TImageComboItem> TCustomShellCombo::CreateItem(int index)
{
    return std::make_unique<TShComboItem>(this, index);
}

TShComboData* TCustomShellCombo::EntryData(int i) const
{
    auto* item = static_cast<TShComboItem*>(Entry(i));
    return item ? item->Data.get() : nullptr;
}

void TCustomShellCombo::SetShellTree(TCustomShellTree* tree)
{
    if (m_list || m_tree == tree)
        return;
    if (m_tree)
        m_tree->SetShellCombo(nullptr);
    m_tree = tree;
    if (m_tree)
        m_tree->SetShellCombo(static_cast<TShellCombo*>(this));
}

void TCustomShellCombo::SetShellList(TCustomShellList* list)
{
    if (m_tree || m_list == list)
        return;
    m_list = list;
    if (m_list)
        m_list->SetLinkedCombo(this);
}

TShComboItem* TCustomShellCombo::addShellEntry(const ShellFolderPtr& folder, const PItemIDList& parentAbs,
                                               const PItemIDList& rel, const QString& caption, bool open, int indent,
                                               std::uint32_t attrs)
{
    auto data = std::make_unique<TShComboData>(folder, parentAbs, rel);
    IconTable::Overlay ov = (attrs & SFGAO_LINK) ? IconTable::LinkOverlay
                            : (attrs & SFGAO_SHARE) ? IconTable::ShareOverlay : IconTable::NoOverlay;
    QPixmap image = IconTable::instance().pixmap(SysIconIndex(data->AbsIdList, open ? 3 : 1), false, ov);
    auto* item = static_cast<TShComboItem*>(AddEntry(caption, image, indent));
    item->OverlayIndex = ov == IconTable::NoOverlay ? -1 : int(ov) - 1;
    item->Data = std::move(data);
    return item;
}

void TCustomShellCombo::Rebuild()
{
    Counter c(m_updating);
    setUpdatesEnabled(false);
    m_selected = -1;
    ClearEntries();
    PItemIDList loc = m_location.IdList();
    TIdListArray target(loc.isNull() ? EmptyIdList() : loc);
    bool done = false;
    ShellFolderPtr desktop = SHGetDesktopFolder();
    CheckResult(desktop ? S_OK : E_FAIL);
    addLevel(desktop, PItemIDList(), target, -1, done);
    setCurrentIndex(m_selected >= 0 ? m_selected : 0);
    setUpdatesEnabled(true);
}

void TCustomShellCombo::addLevel(const ShellFolderPtr& folder, const PItemIDList& parentAbs, TIdListArray& target,
                                 int level, bool& done)
{
    PItemIDList drives;
    CheckResult(SHGetSpecialFolderLocation(CSIDL_DRIVES, drives));
    PItemIDList parent = parentAbs;
    if (level == -1) {
        auto data = std::make_unique<TShComboData>(folder, PItemIDList(), EmptyIdList());
        QPixmap image = IconTable::instance().pixmap(SysIconIndex(EmptyIdList(), 1), false);
        auto* item = static_cast<TShComboItem*>(AddEntry(SHGetDisplayName(EmptyIdList()), image, 0));
        item->Data = std::move(data);
        if (target.Count() == 0 && !done) {
            m_selected = 0;
            done = true;
        }
        level = 1;
        parent = EmptyIdList();
    }
    std::unique_ptr<IEnumIDList> e;
    CheckResult(folder->EnumObjects(SHCONTF_FOLDERS, e));
    std::vector<PItemIDList> items;
    PItemIDList rel;
    HResult hr;
    while ((hr = e->Next(rel)) == S_OK)
        items.push_back(rel);
    if (hr != S_FALSE)
        CheckResult(hr);
    std::stable_sort(items.begin(), items.end(), [&](const PItemIDList& a, const PItemIDList& b) {
        return CompareResultOrder(folder->CompareIDs(0, a, b)) < 0;
    });
    for (const PItemIDList& item : items) {
        std::uint32_t attrs = LevelMask;
        std::array<PItemIDList, 1> one{item};
        folder->GetAttributesOf(one, attrs);
        if (!(m_options & scoNonFilesystemAncestors) && !(attrs & (SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR)))
            continue;
        PItemIDList abs = ConcatIdLists(parent, item);
        bool matches = !done && target.Count() >= level
                       && CompareResultOrder(folder->CompareIDs(0, target.Item(level - 1), item)) == 0;
        bool isLocation = matches && target.Count() == level;
        addShellEntry(folder, parent, item, GetDisplayName(folder, item, dnInFolder), isLocation, level, attrs);
        bool isDrives = level == 1 && CompareIdLists(abs, drives) == 0;
        if (matches) {
            if (isLocation) {
                m_selected = EntryCount() - 1;
                done = true;
            } else if (!isDrives) {
                addChain(folder, parent, item, target, level);
                done = true;
            }
        }
        if (isDrives) {
            ShellFolderPtr sub;
            if (Succeeded(folder->BindToObject(item, sub)))
                addLevel(sub, abs, target, 2, done);
        }
    }
}

void TCustomShellCombo::addChain(const ShellFolderPtr& folder, const PItemIDList& parentAbs, const PItemIDList& item,
                                 TIdListArray& target, int level)
{
    ShellFolderPtr current;
    if (Failed(folder->BindToObject(item, current)))
        return;
    PItemIDList abs = ConcatIdLists(parentAbs, item);
    for (int i = level; i < target.Count(); ++i) {
        PItemIDList step = target.Item(i);
        std::uint32_t attrs = ChainMask;
        std::array<PItemIDList, 1> one{step};
        current->GetAttributesOf(one, attrs);
        bool last = i == target.Count() - 1;
        addShellEntry(current, abs, step, GetDisplayName(current, step, dnInFolder), last, i + 1, attrs);
        ShellFolderPtr next;
        abs = ConcatIdLists(abs, step);
        if (!last && Failed(current->BindToObject(step, next)))
            break;
        current = next;
    }
    m_selected = EntryCount() - 1;
}

void TCustomShellCombo::TakeNode(TShTreeNode* node)
{
    if (node && node->Data() && m_tree && node == m_tree->SelectedNode())
        m_location.SetIdList(node->Data()->AbsIdList());
}

void TCustomShellCombo::locationChanged()
{
    if (m_updating > 0)
        return;
    {
        Counter c(m_updating);
        if (m_tree)
            m_tree->SetCurrentFolder(m_location);
        else if (m_list)
            m_list->Folder().SetIdList(m_location.IdList());
    }
    Rebuild();
}

void TCustomShellCombo::GoUp(int levels)
{
    int sel = currentIndex();
    TImageComboItem* item = Entry(sel);
    if (!item)
        return;
    int want = item->Indent - levels;
    int found = 0;
    for (int i = sel - 1; i >= 0; --i) {
        if (Entry(i)->Indent <= want) {
            found = i;
            break;
        }
    }
    if (found != sel)
        m_location.SetIdList(EntryData(found)->AbsIdList);
}

void TCustomShellCombo::FlushPendingChange(bool alsoLinked)
{
    if (!alsoLinked)
        return;
    if (m_tree)
        m_tree->FlushPendingChange(false);
    if (m_list)
        m_list->FlushPendingChange(false);
}

void TCustomShellCombo::focusInEvent(QFocusEvent* e)
{
    TCustomImageCombo::focusInEvent(e);
    if (OnEnter)
        OnEnter(this);
}

void TCustomShellCombo::keyPressEvent(QKeyEvent* e)
{
    // Closed, the box does not step through the folders: each step would open one. The down
    // arrow opens the list, where the arrows move freely until a choice is made.
    if (e->modifiers() == Qt::NoModifier || e->modifiers() == Qt::KeypadModifier) {
        switch (e->key()) {
        case Qt::Key_Down:
            showPopup();
            e->accept();
            return;
        case Qt::Key_Up:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            e->accept();
            return;
        default:
            break;
        }
    }
    TCustomImageCombo::keyPressEvent(e);
}

void TCustomShellCombo::wheelEvent(QWheelEvent* e)
{
    // Scrolling over the box scrolls what is around it, never the location.
    e->ignore();
}

void TCustomShellCombo::chosen(int index)
{
    if (m_updating > 0 || !EntryData(index))
        return;
    if (OnSelEndOk)
        OnSelEndOk(this);
    m_location.SetIdList(EntryData(index)->AbsIdList);
}

} // namespace corvane::shellctl
