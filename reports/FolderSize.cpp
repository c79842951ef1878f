#include "FolderSize.h"

#include "app/Globals.h"
#include "app/Utility.h"
#include "core/NameCodec.h"
#include "core/Text.h"
#include "platform/Namespace.h"
#include "platform/Volumes.h"
#include "shellctl/ShellTree.h"
#include "reports/engine/ReportTexts.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane::reports {

TfrmFolderSize* frmFolderSize = nullptr;

namespace {

QString T(const char* text)
{
    return core::Text(text);
}

// Column widths at fewer than 120 pixels per inch and at 120 or more.
constexpr int NarrowWidths[] = {290, 50, 80, 80, 90};
constexpr int WideWidths[] = {410, 60, 100, 80, 100};
constexpr int TitleRowHeight = 42;

// The print layout in the grid's print units (1/120 inch).
constexpr int PrintLeftMargin = 100;
constexpr int PrintRightMargin = 50;
constexpr int PrintTitleSpacing = 40;
constexpr int PrintHeaderSize = 40;
constexpr int PrintFontPixels = 15;

} // namespace

// Grid1's rows: the report in its current order.
class TFolderSizeModel : public QAbstractTableModel
{
public:
    TFolderSizeModel(FolderReport& report, QObject* parent) : QAbstractTableModel(parent), m_report(report) {}

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() || !m_titled ? 0 : m_report.RowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() || !m_titled ? 0 : FolderColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return m_report.Cell(index.row(), index.column());
        if (role == Qt::TextAlignmentRole)
            return int((index.column() == ColFolder ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return FolderReport::ColumnTitle(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    void sort(int column, Qt::SortOrder order) override
    {
        emit layoutAboutToBeChanged();
        m_report.Sort(column, order == Qt::DescendingOrder);
        emit layoutChanged();
    }
    // Without rows and without the title row, or with both.
    void Reset(bool titled)
    {
        beginResetModel();
        m_titled = titled;
        endResetModel();
    }

private:
    FolderReport& m_report;
    bool m_titled = false;
};

TfrmFolderSize::TfrmFolderSize(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFolderSize"));
    setSizeGripEnabled(true);
    m_model = new TFolderSizeModel(m_report, this);

    Grid1 = new QTableView(this);
    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setModel(m_model);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setWordWrap(false);
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setDefaultSectionSize(Grid1->fontMetrics().height() + 6);
    Grid1->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    // Two-word titles wrap; with the sort indicator beside them a narrow column needs three lines.
    Grid1->horizontalHeader()->setFixedHeight(
        std::max(TitleRowHeight, 3 * Grid1->horizontalHeader()->fontMetrics().lineSpacing() + 6));
    Grid1->horizontalHeader()->setSortIndicator(ColFolder, Qt::AscendingOrder);
    Grid1->setSortingEnabled(true);
    connect(Grid1->horizontalHeader(), &QHeaderView::sortIndicatorChanged, Grid1, [this] { Grid1->scrollToTop(); });
    connect(Grid1->horizontalHeader(), &QHeaderView::sectionResized, this, &TfrmFolderSize::syncGrid2Widths);

    Grid2 = new QTableWidget(1, 4, this);
    Grid2->setObjectName(QStringLiteral("Grid2"));
    Grid2->horizontalHeader()->hide();
    Grid2->verticalHeader()->hide();
    Grid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid2->setSelectionMode(QAbstractItemView::NoSelection);
    Grid2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid2->setFixedHeight(Grid1->verticalHeader()->defaultSectionSize() + 2 * Grid2->frameWidth());
    Grid2->verticalHeader()->setDefaultSectionSize(Grid1->verticalHeader()->defaultSectionSize());
    for (int c = 0; c < 4; ++c) {
        auto* item = new QTableWidgetItem;
        item->setTextAlignment((c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        Grid2->setItem(0, c, item);
    }
    Grid2->hide();

    chkOneFileSystem = new QCheckBox(T(texts::OneFileSystem), this);
    chkOneFileSystem->setObjectName(QStringLiteral("chkOneFileSystem"));
    cmdPrint = new QPushButton(T(texts::Print), this);
    cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
    cmdExport = new QPushButton(T(texts::ExportCsv), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdClose = new QPushButton(T(texts::Close), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(cmdPrint, &QPushButton::clicked, this, &TfrmFolderSize::cmdPrintClick);
    connect(cmdExport, &QPushButton::clicked, this, &TfrmFolderSize::cmdExportClick);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    // The choice applies to the next run: the report is made again with it.
    connect(chkOneFileSystem, &QCheckBox::toggled, this, [this] {
        if (isVisible() && !Running())
            RunReport();
    });

    Status1 = new QWidget(this);
    Status1->setObjectName(QStringLiteral("Status1"));
    Status1Panel0 = new QLabel(Status1);
    Status1Panel1 = new QLabel(Status1);
    for (QLabel* panel : {Status1Panel0, Status1Panel1}) {
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        panel->setMinimumWidth(1);
    }
    Status1->installEventFilter(this);
    Status1Panel1->installEventFilter(this);
    auto* statusLayout = new QHBoxLayout(Status1);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(2);
    statusLayout->addWidget(Status1Panel0);
    statusLayout->addWidget(Status1Panel1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkOneFileSystem);
    buttons->addStretch(1);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Grid1, 1);
    layout->addWidget(Grid2);
    layout->addLayout(buttons);
    layout->addWidget(Status1);

    m_poll = new QTimer(this);
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, &TfrmFolderSize::pollProgress);

    resize(app::Scaled(900), app::Scaled(560));
    setWidths();
}

TfrmFolderSize::~TfrmFolderSize() = default;

void TfrmFolderSize::Prepare(const std::vector<QByteArray>& roots, const QString& folderText, bool volumes)
{
    m_roots = roots;
    m_volumes = volumes;
    chkOneFileSystem->setEnabled(!volumes);
    setWindowTitle(T(texts::FolderSizeCaption) + folderText);
    clearGrid();
    cmdClose->setEnabled(false);
}

void TfrmFolderSize::Execute(const std::vector<QByteArray>& roots, const QString& folderText, bool volumes)
{
    Prepare(roots, folderText, volumes);
    exec();
}

void TfrmFolderSize::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    sizeStatusPanels();
    // Once the window is on screen, so that its first paint does not wait for the scan.
    QTimer::singleShot(0, this, [this] {
        if (isVisible() && !Running() && !m_roots.empty())
            RunReport();
    });
}

void TfrmFolderSize::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    sizeStatusPanels();
}

void TfrmFolderSize::sizeStatusPanels()
{
    const int width = Status1->width();
    const int first = int(width * 0.85 + 0.5);
    Status1Panel0->setFixedWidth(std::max(1, first - 2));
    Status1Panel1->setFixedWidth(std::max(1, width - first));
}

void TfrmFolderSize::RunReport()
{
    m_job.reset();
    clearGrid();
    cmdClose->setEnabled(false);
    Status1Panel0->clear();
    Status1Panel1->setText(T(texts::CancelPanel));
    setCursor(Qt::BusyCursor);

    FolderScanOptions options;
    options.oneFileSystem = m_volumes || chkOneFileSystem->isChecked();
    // The walk waits on the disk more than on the processor; a few threads keep both cores busy.
    options.threads = std::clamp(QThread::idealThreadCount(), 2, 4);
    m_job.reset(new FolderSizeJob(m_roots, options));
    m_job->setProgressInterval(200);
    connect(m_job.get(), &core::Job::finished, this, &TfrmFolderSize::reportFinished, Qt::QueuedConnection);
    m_poll->start();
    m_job->start();
}

void TfrmFolderSize::pollProgress()
{
    if (m_job)
        Status1Panel0->setText(m_job->progress().text);
}

void TfrmFolderSize::CancelReport()
{
    if (!m_job)
        return;
    // The worker may be stuck on a disk that does not answer: it is let go of, not waited for.
    m_job.reset();
    endReport(true);
}

void TfrmFolderSize::reportFinished()
{
    if (!m_job || sender() != m_job.get())
        return;
    std::vector<FolderRow> rows = m_job->TakeRows();
    const bool canceled = m_job->isCancelled();
    m_job.reset();
    if (canceled) {
        endReport(true);
        return;
    }
    ShowRows(std::move(rows));
    endReport(false);
}

void TfrmFolderSize::ShowRows(std::vector<FolderRow> rows)
{
    m_report.SetRows(std::move(rows));
    m_model->Reset(true);
    Grid1->horizontalHeader()->show();
    Grid1->horizontalHeader()->setSortIndicator(ColFolder, Qt::AscendingOrder);
    Grid1->setColumnHidden(ColBytesDigits, true);
    Grid1->setColumnHidden(ColTreeBytesDigits, true);
    setWidths();
    Grid1->scrollToTop();

    const QStringList totals = m_report.TotalsLine();
    for (int c = 0; c < 4; ++c)
        Grid2->item(0, c)->setText(totals.value(c));
    Grid2->show();
}

void TfrmFolderSize::endReport(bool canceled)
{
    m_poll->stop();
    unsetCursor();
    Status1Panel0->setText(canceled ? T(texts::ReportCanceled) : QString());
    Status1Panel1->clear();
    cmdClose->setEnabled(true);
    if (canceled) {
        clearGrid();
    } else {
        cmdPrint->setEnabled(true);
        cmdExport->setEnabled(true);
    }
    emit ReportEnded();
}

void TfrmFolderSize::clearGrid()
{
    // No rows and no title row, as before a report.
    m_report.Clear();
    m_model->Reset(false);
    Grid1->horizontalHeader()->hide();
    Grid2->hide();
    cmdPrint->setEnabled(false);
    cmdExport->setEnabled(false);
}

void TfrmFolderSize::setWidths()
{
    const int* widths = logicalDpiX() < 120 ? NarrowWidths : WideWidths;
    // Wide enough for the longest word of the title beside the sort indicator, whatever the font.
    const QFontMetrics metrics = Grid1->horizontalHeader()->fontMetrics();
    const int indicator = Grid1->style()->pixelMetric(QStyle::PM_HeaderMarkSize) + 4 * metrics.averageCharWidth();
    for (int c = 0; c < 5; ++c) {
        int word = 0;
        for (const QString& w : FolderReport::ColumnTitle(c).split(QLatin1Char(' ')))
            word = std::max(word, metrics.horizontalAdvance(w));
        Grid1->setColumnWidth(c, std::max(widths[c], word + indicator));
    }
    syncGrid2Widths();
}

void TfrmFolderSize::syncGrid2Widths()
{
    for (int c = 0; c < 3; ++c)
        Grid2->setColumnWidth(c, Grid1->columnWidth(c));
    Grid2->setColumnWidth(3, Grid1->columnWidth(3) + Grid1->columnWidth(4));
}

bool TfrmFolderSize::eventFilter(QObject* watched, QEvent* event)
{
    // A press on the status bar right of the progress panel, where " Cancel" shows, cancels.
    if (event->type() == QEvent::MouseButtonPress && Running()) {
        const auto* e = static_cast<QMouseEvent*>(event);
        const QPoint at = static_cast<QWidget*>(watched)->mapTo(Status1, e->position().toPoint());
        if (watched == Status1Panel1 || (watched == Status1 && at.x() >= Status1Panel0->geometry().right())) {
            CancelReport();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmFolderSize::reject()
{
    CancelReport();
    QDialog::reject();
}

void TfrmFolderSize::cmdPrintClick()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        PrintReport(printer);
}

void TfrmFolderSize::PrintReport(QPrinter& printer)
{
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(windowTitle());
    QPainter p;
    if (!p.begin(&printer))
        return;

    // Columns as wide as on screen, in print units; the page is shrunk to fit them.
    int widths[5];
    int tableWidth = 0;
    for (int c = 0; c < 5; ++c) {
        widths[c] = std::max(1, Grid1->columnWidth(c) * 120 / std::max(1, logicalDpiX()));
        tableWidth += widths[c];
    }
    const double unit = printer.logicalDpiX() / 120.0;
    const double scale = std::min(unit, printer.width() / double(PrintLeftMargin + tableWidth + PrintRightMargin));
    p.scale(scale, scale);
    const double pageHeight = printer.height() / scale;

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(PrintFontPixels);
    p.setFont(font);
    const int lineHeight = p.fontMetrics().height() + 6;
    const int top = lineHeight + PrintTitleSpacing + PrintHeaderSize;
    const int footer = 2 * lineHeight;
    const int perPage = std::max(1, int((pageHeight - top - footer) / lineHeight));

    // The rows, then an empty one and the totals line.
    const int rows = m_report.RowCount() + 2;
    const QStringList totals = m_report.TotalsLine();
    auto cell = [&](int row, int column) -> QString {
        if (row < m_report.RowCount())
            return m_report.Cell(row, column);
        return row == m_report.RowCount() ? QString() : totals.value(column);
    };
    const int pages = (rows + perPage - 1) / perPage;
    const int width = PrintLeftMargin + tableWidth + PrintRightMargin;
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            printer.newPage();
        p.drawText(QRectF(PrintLeftMargin, 0, tableWidth, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                   windowTitle());
        int x = PrintLeftMargin;
        const int headerTop = lineHeight + PrintTitleSpacing;
        for (int c = 0; c < 5; ++c) {
            p.drawText(QRectF(x + 2, headerTop, widths[c] - 4, PrintHeaderSize),
                       Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, FolderReport::ColumnTitle(c));
            x += widths[c];
        }
        p.drawLine(QPointF(PrintLeftMargin, top), QPointF(PrintLeftMargin + tableWidth, top));
        int y = top;
        for (int row = page * perPage; row < std::min(rows, (page + 1) * perPage); ++row) {
            x = PrintLeftMargin;
            for (int c = 0; c < 5; ++c) {
                const QRectF box(x + 2, y, widths[c] - 4, lineHeight);
                const QString text = p.fontMetrics().elidedText(cell(row, c), Qt::ElideMiddle, int(box.width()));
                p.drawText(box, (c == ColFolder ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter, text);
                x += widths[c];
            }
            y += lineHeight;
        }
        p.drawText(QRectF(0, pageHeight - lineHeight, width, lineHeight), Qt::AlignCenter,
                   T(texts::PageNumber).arg(page + 1).arg(pages));
    }
    p.end();
}

QString TfrmFolderSize::ExportCsv(const QString& fileName)
{
    return WriteFileInPlace(core::EncodeName(fileName), CsvText(m_report.ExportTable()));
}

void TfrmFolderSize::cmdExportClick()
{
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(T(texts::CsvSuffix));
    dialog.setNameFilter(T(texts::CsvFilter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString error = ExportCsv(dialog.selectedFiles().constFirst());
    if (!error.isEmpty())
        app::MsgBox(error, T(texts::ErrorCaption), app::MB_ICONEXCLAMATION);
}

void FolderSizes1Click()
{
    shellctl::TShellTree* tree = app::CurShellTree;
    if (!tree || !frmFolderSize)
        return;
    const QString path = tree->SelectedPath();
    if (!path.isEmpty()) {
        const QByteArray raw = core::EncodeName(path);
        frmFolderSize->Execute({raw}, core::ReadableName(raw));
        return;
    }
    shellctl::TShTreeNode* node = tree->SelectedNode();
    if (!node || !node->Data())
        return;
    const platform::PItemIDList abs = node->Data()->AbsIdList();
    platform::PItemIDList desktop;
    platform::PItemIDList drives;
    platform::SHGetSpecialFolderLocation(platform::CSIDL_DESKTOP, desktop);
    platform::SHGetSpecialFolderLocation(platform::CSIDL_DRIVES, drives);
    if (abs == desktop) {
        const QByteArray home = platform::HomeFolderPath();
        frmFolderSize->Execute({home}, core::ReadableName(home));
    } else if (abs == drives) {
        std::vector<QByteArray> roots;
        for (const platform::Volume& v : platform::DisplayedVolumes())
            roots.push_back(v.mountPoint);
        frmFolderSize->Execute(roots, platform::SHGetDisplayName(abs), true);
    } else {
        app::MsgBox(T(texts::NoFolderOnDisk).arg(platform::SHGetDisplayName(abs)), QString(), app::MB_ICONINFORMATION);
    }
}

} // namespace corvane::reports
