#pragma once
// An explorer window: location combo, folder tree, file list and status bar.
#include "platform/Namespace.h"

#include <QStringList>
#include <array>
#include <QWidget>

class QLabel;
class QSplitter;

namespace corvane::shellctl {
class TShellTree;
class TShellList;
class TShellCombo;
class TShTreeNode;
} // namespace corvane::shellctl

namespace corvane::explorer {

class THistory;
class TStatusBar;

class TfrmChild : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmChild(QWidget* parent = nullptr);
    ~TfrmChild() override;

    QLabel* Label1;
    shellctl::TShellCombo* Combo1;
    QSplitter* Splitter1;
    shellctl::TShellTree* Tree1;
    shellctl::TShellList* List1;
    TStatusBar* Status1;
    bool chkUserTreeChange = false;
    THistory* lstHistory;
    QStringList Exclusions;
    // The list's include filter (set by the filter dialog).
    QString IncludeFilter;

    void FormActivate();
    void LayoutPanes();
    void UpdateCaption();
    void ShowDiskFree();
    void ApplyListingOptions();
    // A new or restored window opens at the user's home folder, expanded.
    void ShowStartFolder();
    QSize sizeHint() const override;

    // Total and free bytes of the volume that holds the path; both 0 when the query fails.
    static void GetDiskSpace(const QString& root, double& total, double& free);
    // Whether the volume's medium is present.
    static bool DriveReady(const QString& root);
    // The third panel's text for a number of free bytes.
    static QString DiskFreeText(double freeBytes);
    // The four column widths of the details view for a list client width.
    static std::array<int, 4> ColumnWidths(int clientWidth);
    // Panel widths: a quarter of the bar each, widened where a text needs more.
    static std::array<int, 4> PanelWidths(int barWidth, const std::array<int, 4>& textWidths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    bool m_diskFreeQueued = false;
    // Whether the focus is in the list as far as this window's own controls go: a menu or another
    // window taking the keyboard for a while does not move it.
    bool m_listFocused = false;
    QString m_totalsText;
    // Each window's own: another window's selection does not add to it.
    qint64 m_selectedBytes = 0;
    void ShowMenuHint(const QString& text);
    void fitPanels();
    // The details columns share the list's width, the Modified column wide enough for a date.
    void fitColumns();
    void Tree1Change(shellctl::TShTreeNode* node);
    void Tree1Enter();
    void Combo1Enter();
    void List1Enter();
    void List1Exit();
    void List1FillComplete();
    void List1AddItem(const platform::ShellFolderPtr& folder, const platform::PItemIDList& rel, bool& allow);
    void List1SelectItem(int row, bool selected);
    void List1DeleteItem();
    void ListColumnRightClick(int column);
};

} // namespace corvane::explorer
