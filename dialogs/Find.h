#pragma once
// The find dialog: searches a folder by name and text on a worker thread while the results fill
// its list. Non-modal; each invocation opens one of its own.
#include "core/FindEngine.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class QTreeView;

namespace corvane::app {

using core::FindCounts;
using core::FindHit;

// The hits in the order they came, or sorted by a column.
class TFindResultsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_hits.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

    const FindHit& Hit(int row) const { return m_hits[size_t(row)]; }
    void Append(std::vector<FindHit>&& hits);
    void Clear();

private:
    std::vector<FindHit> m_hits;
};

class TfrmFind : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFind(const QByteArray& folder, QWidget* parent = nullptr);
    ~TfrmFind() override;

    // Shows an item in an explorer window: its folder, with the item selected (an empty name
    // opens the folder itself).
    std::function<void(const QByteArray& folder, const QByteArray& name)> OnShowItem;

    void cmdFindNowClick();
    void cmdStopClick();
    void cmdBrowseClick();
    bool Searching() const { return m_job != nullptr; }
    // Double-click or Enter on a result.
    void ShowResult(int row);
    // Starts the result with its default application.
    void OpenResult(int row);
    TFindResultsModel* Results() const { return m_model; }

    QLineEdit* txtNamed;
    QLineEdit* txtContaining;
    QLineEdit* txtLookIn;
    QPushButton* cmdBrowse;
    QCheckBox* chkSubfolders;
    QPushButton* cmdFindNow;
    QPushButton* cmdStop;
    QPushButton* cmdClose;
    QTreeView* lstResults;
    QLabel* lblStatus;

signals:
    void SearchFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // However the window closes, a running search stops.
    void done(int result) override;

private:
    void poll();
    void finishSearch();
    void showContextMenu(const QPoint& pos);
    QString statusText(const FindCounts& counts, bool stopped) const;

    TFindResultsModel* m_model;
    QTimer* m_poll;
    // Let go of without waiting when the window closes: a read stuck on a slow disk ends on its own.
    core::JobPtr<core::FindJob> m_job;
};

} // namespace corvane::app
