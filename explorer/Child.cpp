#include "Child.h"

#include "ExplorerTexts.h"
#include "History.h"
#include "ListingRules.h"
#include "StatusBar.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "platform/NameCodec.h"
#include "platform/Namespace.h"
#include "platform/Volumes.h"
#include "settings/PFormSettings.h"
#include "shellctl/ShellControls.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLocale>
#include <QSplitter>
#include <QTreeView>
#include <QStyle>
#include <QDateTime>
#include <cmath>

namespace corvane::explorer {

using namespace shellctl;

namespace {

app::TMainFrame* frame()
{
    return app::MainFrame();
}

} // namespace

TfrmChild::TfrmChild(QWidget* parent)
    : QWidget(parent), Label1(new QLabel(QString::fromLatin1(texts::Location), this)), Combo1(new TShellCombo(this)),
      Splitter1(new QSplitter(Qt::Horizontal, this)), Tree1(new TShellTree(Splitter1)), List1(new TShellList(Splitter1)),
      Status1(new TStatusBar(4, this)), lstHistory(new THistory(this))
{
    setUpdatesEnabled(false);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(app::Scaled(710), app::Scaled(493));
    Label1->move(app::Scaled(6), app::Scaled(5));
    Label1->adjustSize();
    Combo1->move(app::Scaled(72), 0);
    Combo1->setFixedHeight(qMax(app::Scaled(24), Combo1->sizeHint().height()));
    Combo1->SetShellTree(Tree1);
    Combo1->OnEnter = [this](QObject*) { Combo1Enter(); };
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setSizes({app::Scaled(215), app::Scaled(710 - 215)});
    Splitter1->setStretchFactor(1, 1);
    // Whatever changes the list's width (the window, the splitter) keeps every column in sight.
    List1->installEventFilter(this);
    Tree1->setRootIsDecorated(false);
    Tree1->setIndentation(19);
    Tree1->OnChange = [this](QObject*, TShTreeNode* node) { Tree1Change(node); };
    Tree1->OnEnter = [this](QObject*) { Tree1Enter(); };
    Tree1->OnAddItem = [](QObject*, const ShellFolderPtr& folder, const PItemIDList&, const PItemIDList& rel, std::uint32_t,
                          bool& accept) { accept = GetDisplayName(folder, rel, dnNormal) != QLatin1String(texts::RefusedTreeItem); };
    List1->SetOptions(List1->Options() | sloDesignInteractive);
    List1->SetViewStyle(vsReport);
    List1->SetMultiSelect(true);
    List1->OnEnter = [this](QObject*) { List1Enter(); };
    List1->OnExit = [this](QObject*) { List1Exit(); };
    List1->OnAddItem = [this](QObject*, const ShellFolderPtr& folder, const PItemIDList&, const PItemIDList& rel,
                              std::uint32_t, bool& allow) { List1AddItem(folder, rel, allow); };
    List1->OnCompare = [](QObject*, TShListData* a, TShListData* b) { return CompareExtensions(a->Path(), b->Path()); };
    List1->OnFillComplete = [this](QObject*) { List1FillComplete(); };
    // While a folder is still being read, the last folder's total would be wrong.
    List1->OnFillStart = [this](QObject*) { Status1->SetPanelText(0, QString()); };
    List1->OnSelectItem = [this](QObject*, int row, bool selected) { List1SelectItem(row, selected); };
    List1->OnDeleteItem = [this](QObject*, int, TShListData*) { List1DeleteItem(); };
    List1->OnColumnRightClick = [this](QObject*, int column) { ListColumnRightClick(column); };
    // A context menu's help texts borrow the totals panel while it is open.
    List1->OnPopupHint = [this](QObject*, const QString& text) { ShowMenuHint(text); };
    Tree1->OnPopupHint = List1->OnPopupHint;
    Tree1->SetShellList(List1);
    LayoutPanes();
    ShowDiskFree();
    ApplyListingOptions();
    setUpdatesEnabled(true);
}

TfrmChild::~TfrmChild()
{
    // The controls go after this part of the window: emptying them must not call back into it.
    Combo1->OnEnter = nullptr;
    Tree1->OnChange = nullptr;
    Tree1->OnEnter = nullptr;
    List1->OnEnter = nullptr;
    List1->OnExit = nullptr;
    List1->OnAddItem = nullptr;
    List1->OnFillComplete = nullptr;
    List1->OnFillStart = nullptr;
    List1->OnSelectItem = nullptr;
    List1->OnDeleteItem = nullptr;
    List1->OnColumnRightClick = nullptr;
    List1->OnPopupHint = nullptr;
    Tree1->OnPopupHint = nullptr;
}

void TfrmChild::FormActivate()
{
    UpdateCaption();
    app::CurShellTree = Tree1;
    app::CurShellList = List1;
    app::CurShellCombo = Combo1;
    app::CurHistory = lstHistory;
    app::CurStatusBar = Status1;
    chkUserTreeChange = true;
    if (frame()) {
        frame()->ShowViewStyle(List1->ViewStyle());
        frame()->UpdatePasteState();
    }
}

QSize TfrmChild::sizeHint() const
{
    return {app::Scaled(710), app::Scaled(493)};
}

bool TfrmChild::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == List1 && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}

void TfrmChild::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    LayoutPanes();
}

void TfrmChild::closeEvent(QCloseEvent* e)
{
    e->accept();
    if (app::CurShellTree == Tree1) {
        app::CurShellTree = nullptr;
        app::CurShellList = nullptr;
        app::CurShellCombo = nullptr;
        app::CurHistory = nullptr;
        app::CurStatusBar = nullptr;
    }
    if (frame())
        frame()->ChildClosed(this);
}

std::array<int, 4> TfrmChild::ColumnWidths(int clientWidth)
{
    static constexpr double shares[] = {0.35, 0.12, 0.25, 0.23};
    std::array<int, 4> w{};
    for (size_t i = 0; i < 4; ++i)
        w[i] = int(std::lround(clientWidth * shares[i]));
    return w;
}

std::array<int, 4> TfrmChild::PanelWidths(int barWidth, const std::array<int, 4>& textWidths)
{
    std::array<int, 4> w{};
    for (size_t i = 0; i < 4; ++i) {
        w[i] = int(barWidth * 0.25);
        if (i < 3 && textWidths[i] >= w[i] - 5)
            w[i] = textWidths[i] + 5;
    }
    return w;
}

void TfrmChild::LayoutPanes()
{
    setUpdatesEnabled(false);
    const int statusHeight = Status1->sizeHint().height();
    const int splitterTop = Combo1->height() + 1;
    Status1->setGeometry(0, height() - statusHeight, width(), statusHeight);
    Splitter1->setGeometry(0, splitterTop, width(), qMax(0, height() - splitterTop - statusHeight - 1));
    Combo1->resize(qMax(0, width() - Combo1->x()), Combo1->height());
    fitColumns();
    fitPanels();
    setUpdatesEnabled(true);
}

void TfrmChild::fitColumns()
{
    std::array<int, 4> cols = ColumnWidths(List1->ClientWidth());
    // A date cut short says nothing: the Modified column takes what the longest date needs,
    // from the Name column, as long as names keep a useful width.
    const QDateTime widest(QDate(2026, 12, 28), QTime(23, 58, 58));
    const int needed = List1->ReportView()->fontMetrics().horizontalAdvance(shellctl::FormatFileTime(widest))
                       + 4 * List1->ReportView()->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 12;
    const int spare = cols[0] - 8 * List1->ReportView()->fontMetrics().averageCharWidth();
    if (cols[3] < needed && spare > 0) {
        const int moved = std::min(needed - cols[3], spare);
        cols[3] += moved;
        cols[0] -= moved;
    }
    for (int i = 0; i < 4; ++i)
        List1->SetColumnWidth(i, cols[size_t(i)]);
}

void TfrmChild::fitPanels()
{
    std::array<int, 4> texts{};
    for (int i = 0; i < 4; ++i)
        texts[size_t(i)] = Status1->TextWidth(Status1->PanelText(i));
    std::array<int, 4> panels = PanelWidths(Status1->width(), texts);
    for (int i = 0; i < 4; ++i)
        Status1->SetPanelWidth(i, panels[size_t(i)]);
}

void TfrmChild::UpdateCaption()
{
    QString caption = Tree1->SelectedPath();
    if (caption.isEmpty() && Tree1->SelectedNode())
        caption = Tree1->SelectedNode()->text(0);
    if (!IncludeFilter.trimmed().isEmpty())
        caption += QStringLiteral(" (") + IncludeFilter + QLatin1Char(')');
    if (!Exclusions.isEmpty()) {
        caption += QString::fromLatin1(texts::Excluded);
        for (const QString& e : Exclusions)
            caption += e + QStringLiteral("; ");
        caption.chop(2);
        caption += QLatin1Char(')');
    }
    setWindowTitle(platform::ReadableName(platform::EncodeName(caption)));
}

void TfrmChild::GetDiskSpace(const QString& root, double& total, double& free)
{
    if (!platform::GetDiskFreeSpace(platform::EncodeName(root), total, free)) {
        total = 0;
        free = 0;
    }
}

bool TfrmChild::DriveReady(const QString& root)
{
    return platform::VolumeReady(platform::EncodeName(root));
}

QString TfrmChild::DiskFreeText(double f)
{
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    if (f < 1048576.0)
        return QString::fromLatin1(texts::KB).arg(loc.toString(f / 1024.0, 'f', 2));
    if (f < 1073741824.0)
        return QString::fromLatin1(texts::MB).arg(loc.toString(f / 1048576.0, 'f', 2));
    return QString::fromLatin1(texts::GB).arg(loc.toString(f / 1073741824.0, 'f', 2));
}

void TfrmChild::ShowDiskFree()
{
    QString path = Tree1->SelectedPath();
    if (path.isEmpty()) {
        Status1->SetPanelText(2, {});
        return;
    }
    QString root = platform::DecodeName(platform::VolumeRootOf(platform::EncodeName(path)));
    double total = 0, free = 0;
    GetDiskSpace(root, total, free);
    Status1->SetPanelText(2, QString::fromLatin1(texts::DiskFree) + DiskFreeText(free));
    // The panel widens for its new text at once, not only at the next resize.
    fitPanels();
}

void TfrmChild::ApplyListingOptions()
{
    if (!frame())
        return;
    settings::TPSettings& store = frame()->Settings();
    const shellctl::TShellListOptions options = List1->Options();
    List1->SetOptions(store.SettingByName(QStringLiteral("ExcludeFolders")).AsBoolean()
                          ? (options | sloHideFoldersWhenLinkedToTree)
                          : (options & ~sloHideFoldersWhenLinkedToTree));
    List1->SetGridLines(store.SettingByName(QStringLiteral("GridLines")).AsBoolean());
    Combo1->setFont(frame()->Window()->font());
    Tree1->setFont(frame()->Window()->font());
    List1->setFont(frame()->Window()->font());
}

void TfrmChild::ShowStartFolder()
{
    Tree1->SelectPath(platform::DecodeName(platform::HomeFolderPath()));
    if (QTreeWidgetItem* node = Tree1->currentItem())
        node->setExpanded(true);
}

void TfrmChild::Tree1Change(TShTreeNode* node)
{
    if (!node)
        return;
    QString path = Tree1->SelectedPath();
    if (!path.isEmpty()) {
        QByteArray root = platform::VolumeRootOf(platform::EncodeName(path));
        platform::DriveType type = platform::GetDriveType(root);
        // A removable drive without its medium is not entered: move on to the next node.
        if ((type == platform::DRIVE_REMOVABLE || type == platform::DRIVE_CDROM) && !DriveReady(platform::DecodeName(root))) {
            if (QTreeWidgetItem* below = Tree1->itemBelow(node)) {
                Tree1->setCurrentItem(below);
                return;
            }
        }
    }
    if (chkUserTreeChange) {
        lstHistory->Record(path);
        if (frame())
            frame()->HistoryRecorded(lstHistory->Count());
    }
    UpdateCaption();
    if (frame())
        frame()->SetNewFolderEnabled(!path.isEmpty());
    ShowDiskFree();
}

void TfrmChild::Tree1Enter()
{
    if (frame())
        frame()->SetSelectionCommandsEnabled(false);
    Status1->SetPanelText(1, {});
    m_selectedBytes = 0;
}

void TfrmChild::Combo1Enter()
{
    if (frame())
        frame()->SetSelectionCommandsEnabled(false);
    Status1->SetPanelText(1, {});
}

void TfrmChild::List1Enter()
{
    if (m_listFocused)
        return;
    m_listFocused = true;
    if (frame())
        frame()->SetSelectionCommandsEnabled(true);
    m_selectedBytes = 0;
}

void TfrmChild::List1Exit()
{
    // A popup or a switch to another window leaves the list this window's focus widget: the
    // selection and its byte total stay as they are.
    QWidget* stays = focusWidget();
    if (stays && (stays == List1 || List1->isAncestorOf(stays)))
        return;
    m_listFocused = false;
    m_selectedBytes = 0;
    if (app::TPreviewHost* preview = app::PreviewHost())
        preview->ClearPreview();
}

void TfrmChild::ShowMenuHint(const QString& text)
{
    Status1->SetPanelText(0, text.isEmpty() ? m_totalsText : text);
}

void TfrmChild::List1AddItem(const ShellFolderPtr& folder, const PItemIDList& rel, bool& allow)
{
    if (Exclusions.isEmpty())
        return;
    QString parsing = GetDisplayName(folder, rel, dnForParsing);
    QString name = parsing.mid(parsing.lastIndexOf(QLatin1Char('/')) + 1);
    for (const QString& pattern : Exclusions) {
        if (MatchesWildcard(name, pattern)) {
            allow = false;
            return;
        }
    }
}

void TfrmChild::ListColumnRightClick(int column)
{
    // The Name column's right click sorts by extension.
    if (column == 0)
        List1->SetSortKey(0);
}

void TfrmChild::List1FillComplete()
{
    // The sizes came with the listing: the total never reads the folder again, which may be
    // large or on a volume that stopped answering. The list admitted by the same rules.
    m_totalsText = TotalsText(List1->Count(), List1->FileBytes());
    Status1->SetPanelText(0, m_totalsText);
    ShowDiskFree();
}

void TfrmChild::List1SelectItem(int row, bool selected)
{
    TShListData* d = List1->DataOfIndex(row);
    if (!d)
        return;
    QString path = d->Path();
    bool folder = d->IsFolder();
    if (selected && frame())
        frame()->SelectionNarrowed(!folder, app::FileExtension(path) == QLatin1String(".ZIP"),
                                   app::ExtensionInList(path, QString::fromLatin1(app::GraphicExtensions)));
    // The size read with the listing, never the disk again.
    qint64 size = 0;
    if (!folder) {
        if (const shellctl::TShItemDetails* details = d->Details())
            size = std::max<qint64>(0, details->Size);
    }
    m_selectedBytes = qMax<qint64>(0, m_selectedBytes + (selected ? size : -size));
    Status1->SetPanelText(1, SelectionText(List1->SelCount(), m_selectedBytes));
    fitPanels();
    if (app::TPreviewHost* preview = selected ? app::PreviewHost() : nullptr)
        preview->PreviewFile(path, folder, size);
}

void TfrmChild::List1DeleteItem()
{
    if (app::TPreviewHost* preview = app::PreviewHost()) {
        preview->PreviewItemDeleted();
        Status1->SetPanelText(1, {});
    }
    // Emptying a list of 100,000 items asks once, not once per item.
    if (!m_diskFreeQueued) {
        m_diskFreeQueued = true;
        QMetaObject::invokeMethod(this, [this] {
            m_diskFreeQueued = false;
            ShowDiskFree();
        }, Qt::QueuedConnection);
    }
}

} // namespace corvane::explorer
