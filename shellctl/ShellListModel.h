#pragma once
// The file list's model: widget-free apart from the texts, icons and colours the views ask for.
#include "ShellRecords.h"
#include "platform/FolderListing.h"

#include <QAbstractTableModel>
#include <QCollator>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace corvane::shellctl {

// The items of a file list, in view order: their records, the folder they belong to, their
// order, what a refresh changes and renaming. Texts and icons are computed when first shown.
class TShellListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    struct Item {
        std::unique_ptr<TShListData> Data;
        std::uint32_t Attributes = 0;
        int Icon = -1;
    };
    // Sort keys of the items' names made with the listing, one per item (empty where none).
    using NameKeys = std::vector<std::optional<QCollatorSortKey>>;
    // Whether a listed item joins the list; may change its attributes.
    using Admit = std::function<bool(TShListData&, std::uint32_t&)>;
    using Compare = std::function<int(TShListData*, TShListData*)>;

    explicit TShellListModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_items.size()); }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : m_columns.empty() ? 4 : int(m_columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    std::vector<Item>& Items() { return m_items; }
    const Item& At(int row) const { return m_items[size_t(row)]; }
    void Reset(std::vector<Item> items);
    void Append(std::vector<Item> items);
    // Removes rows given ascending, in runs.
    void RemoveRows(const std::vector<int>& rows);
    void Reorder(const std::vector<int>& order);
    void RowChanged(int row);
    // The columns a folder describes itself; none for the standard Name, Size, Type, Modified.
    void SetColumns(std::vector<platform::ShellDetails> columns);
    bool HasOwnColumns() const { return !m_columns.empty(); }
    bool LargeIcons = false;

    // The folder the items belong to; a new one for every fill.
    const std::shared_ptr<TShListFolder>& Folder() const { return m_folder; }
    void SetFolder(std::shared_ptr<TShListFolder> folder) { m_folder = std::move(folder); }
    // Records for the listed items (those at `only`, when given) that `admit` lets in, with
    // the details the listing read; their name keys go to `nameKeys` when given.
    std::vector<Item> MakeItems(std::vector<platform::ListedItem>& listed, const std::vector<int>* only, const Admit& admit,
                                NameKeys* nameKeys) const;
    // Orders the rows by a sort key: 0 by `compare` (or by name), otherwise by the folder's
    // column |key| - 1, descending when negative.
    void Sort(int key, const Compare& compare, const NameKeys* nameKeys = nullptr);
    // What a refresh changes: the rows gone (ascending) and the listed items that are new, in
    // listing order. Rows renamed since the listing started count as they are now.
    struct Diff {
        std::vector<int> goneRows;
        std::vector<int> newItems;
    };
    Diff RefreshDiff(const platform::FolderListing& listing) const;
    // Renames the row's file; the record and the row follow. Changes nothing on failure.
    platform::HResult Rename(int row, const QString& name);
    // The lossless name an editor of the row starts from.
    QString EditableName(int row) const;
    // A name typed into the row's editor: the list decides and renames.
    std::function<bool(int, const QString&)> OnEdited;

private:
    Qt::Alignment alignment(int column) const;

    std::vector<Item> m_items;
    std::vector<platform::ShellDetails> m_columns;
    std::shared_ptr<TShListFolder> m_folder;
};

} // namespace corvane::shellctl
