#pragma once
// The shell controls of an explorer window: folder tree, file list and location combo.
#include "ShellRecords.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QPointer>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QListView;
class QStackedLayout;
class QTimer;
class QTreeView;
class QItemSelectionModel;

namespace corvane::shellctl {

class TShellList;
class TShellCombo;

// One node of the folder tree; it owns its record.
class TShTreeNode : public QTreeWidgetItem
{
public:
    TShTreeNode(std::unique_ptr<TShTreeData> data) : m_data(std::move(data)) {}
    TShTreeData* Data() const { return m_data.get(); }
    bool Filled = false;

private:
    std::unique_ptr<TShTreeData> m_data;
};

class TShellTree : public QTreeWidget
{
    Q_OBJECT
public:
    explicit TShellTree(QWidget* parent = nullptr);

    TShellLocator& BaseFolder() { return m_baseFolder; }
    TShellList* ShellList() const { return m_list; }
    void SetShellList(TShellList* list) { m_list = list; }
    void SetShellCombo(TShellCombo* combo) { m_combo = combo; }

    // Fills the tree from the base folder (the desktop when none is set).
    void FillTree();
    bool SelectPath(const QString& path);
    bool SelectIdList(const PItemIDList& abs);
    TShTreeNode* SelectedNode() const;
    QString SelectedPath() const;
    PItemIDList SelectedIdList() const;
    void ExpandSelected();
    void ScrollToTop();
    void FillNode(TShTreeNode* node);

    // (Sender, parent folder, relative item, var accept)
    std::function<void(QObject*, const ShellFolderPtr&, const PItemIDList&, bool&)> OnAddItem;
    std::function<void(QObject*, TShTreeNode*)> OnChange;
    std::function<void(QObject*)> OnEnter;

protected:
    void focusInEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    TShTreeNode* addNode(TShTreeNode* parent, const PItemIDList& rel);
    void selectionMoved();
    void handOver();

    TShellLocator m_baseFolder;
    TShellList* m_list = nullptr;
    TShellCombo* m_combo = nullptr;
    QTimer* m_handOver;
    bool m_mouseSelect = false;
};

enum TViewStyle { vsIcon = 0, vsSmallIcon = 1, vsList = 2, vsReport = 3 };

class TShellListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_items.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void SetItems(std::vector<std::unique_ptr<TShListData>> items);
    TShListData* Item(int row) const { return m_items[size_t(row)].get(); }
    bool LargeIcons = false;

private:
    std::vector<std::unique_ptr<TShListData>> m_items;
    mutable std::vector<int> m_icons;
};

class TShellList : public QWidget
{
    Q_OBJECT
public:
    explicit TShellList(QWidget* parent = nullptr);

    TShellLocator& Folder() { return m_folder; }
    void FillList();
    TViewStyle ViewStyle() const { return m_style; }
    void SetViewStyle(TViewStyle style);
    void SetGridLines(bool on);
    bool ShowHidden = true;
    int Count() const { return m_model->rowCount(); }
    TShListData* Item(int row) const { return m_model->Item(row); }
    std::vector<TShListData*> SelectedItems() const;
    QTreeView* DetailsView() const { return m_details; }
    QAbstractItemView* CurrentView() const;
    // The width the four columns share (the details view's client width).
    int ClientWidth() const;
    void SetColumnWidth(int column, int width);
    int ColumnWidth(int column) const;
    void SetTree(TShellTree* tree) { m_tree = tree; }

    std::function<void(QObject*, TShListData*, bool&)> OnAddItem;
    std::function<void(QObject*)> OnFillComplete;
    std::function<void(QObject*, TShListData*, bool)> OnSelectItem;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openItem(const QModelIndex& index);

    TShellLocator m_folder;
    TShellListModel* m_model;
    QItemSelectionModel* m_selection;
    QTreeView* m_details;
    QListView* m_icons;
    QStackedLayout* m_stack;
    TViewStyle m_style = vsReport;
    TShellTree* m_tree = nullptr;
    std::shared_ptr<TShListFolder> m_current;
};

class TShellCombo : public QComboBox
{
    Q_OBJECT
public:
    explicit TShellCombo(QWidget* parent = nullptr);
    TShellTree* ShellTree() const { return m_tree; }
    void SetShellTree(TShellTree* tree);
    // Rebuilds the entries: the desktop, its folders, the volumes and the chain to the folder.
    void ShowIdList(const PItemIDList& abs);
    std::function<void(QObject*)> OnEnter;

protected:
    void focusInEvent(QFocusEvent* e) override;

private:
    void entryChosen(int index);
    TShellTree* m_tree = nullptr;
    std::vector<std::unique_ptr<TShComboData>> m_entries;
    bool m_filling = false;
};

} // namespace corvane::shellctl
