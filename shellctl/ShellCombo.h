#pragma once
// The location box: the desktop, its folders, the volumes and the chain to the current folder.
#include "ShellRecords.h"
#include "UImageCombo.h"

namespace corvane::shellctl {

class TCustomShellTree;
class TCustomShellList;
class TShTreeNode;

enum TShellComboOption : unsigned { scoAutofill = 1u << 0, scoNonFilesystemAncestors = 1u << 1 };

class TShComboItem : public TImageComboItem
{
public:
    using TImageComboItem::TImageComboItem;
    std::unique_ptr<TShComboData> Data;
};

class TCustomShellCombo : public TCustomImageCombo
{
    Q_OBJECT
public:
    explicit TCustomShellCombo(QWidget* parent = nullptr);

    TShellLocator& Location() { return m_location; }
    TCustomShellTree* ShellTree() const { return m_tree; }
    void SetShellTree(TCustomShellTree* tree);
    TCustomShellList* ShellList() const { return m_list; }
    void SetShellList(TCustomShellList* list);
    unsigned Options() const { return m_options; }
    void SetOptions(unsigned o) { m_options = o; }

    void Rebuild();
    void TakeNode(TShTreeNode* node);
    void GoUp(int levels);
    void FlushPendingChange(bool alsoLinked);
    TShComboData* EntryData(int i) const;

    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnSelEndOk;

protected:
    std::unique_ptr<TImageComboItem> CreateItem(int index) override;
    void focusInEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    void addLevel(const ShellFolderPtr& folder, const PItemIDList& parentAbs, TIdListArray& target, int level, bool& done);
    void addChain(const ShellFolderPtr& folder, const PItemIDList& parentAbs, const PItemIDList& item, TIdListArray& target,
                  int level);
    TShComboItem* addShellEntry(const ShellFolderPtr& folder, const PItemIDList& parentAbs, const PItemIDList& rel,
                                const QString& caption, bool open, int indent, std::uint32_t attrs);
    void locationChanged();
    void chosen(int index);

    TShellLocator m_location;
    TCustomShellTree* m_tree = nullptr;
    TCustomShellList* m_list = nullptr;
    unsigned m_options = scoAutofill | scoNonFilesystemAncestors;
    int m_updating = 0;
    int m_selected = -1;
};

class TShellCombo : public TCustomShellCombo
{
    Q_OBJECT
public:
    using TCustomShellCombo::TCustomShellCombo;
};

} // namespace corvane::shellctl
