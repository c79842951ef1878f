#include "Unzip.h"

#include "ZipFormTexts.h"
#include "ZipGrid.h"
#include "ZipRun.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "dialogs/JobProgress.h"
#include "engine/ZipJob.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace corvane::zip {

TfrmUnzip* frmUnzip = nullptr;

namespace {

QString T(const char* text)
{
    return QString::fromLatin1(text);
}

enum Column { ColCheck = 0, ColName = 1, ColDate = 2, ColSize = 3, ColPath = 4 };

} // namespace

TfrmUnzip::TfrmUnzip(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmUnzip"));
    setWindowTitle(T(texts::UnzipCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    grpZipFile = new QGroupBox(T(texts::ContentsOfZipFile), this);
    Grid1 = new QTableWidget(0, 5, grpZipFile);
    Grid1->setHorizontalHeaderLabels({QString(), T(texts::FileNameColumn), T(texts::DateColumn),
                                      T(texts::OrigSizeColumn), T(texts::PathColumn)});
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setDefaultSectionSize(Grid1->fontMetrics().height() + app::Scaled(6));
    Grid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->horizontalHeader()->setSortIndicatorShown(true);
    Grid1->setWordWrap(false);
    cmdSelectAll = new QPushButton(T(texts::SelectAll), grpZipFile);
    cmdDeselectAll = new QPushButton(T(texts::DeselectAll), grpZipFile);
    grpFiles = new QGroupBox(T(texts::FilesToExtract), this);
    optAllFiles = new QRadioButton(T(texts::AllFiles), grpFiles);
    optSelectedFiles = new QRadioButton(T(texts::SelectedFilesOnly), grpFiles);
    optAllFiles->setChecked(true);
    GroupBox1 = new QGroupBox(T(texts::SelectDestination), this);
    treeDest = new shellctl::TShellTree(GroupBox1);
    // The tree is for picking a folder, not for working on it.
    treeDest->SetOptions(treeDest->Options() & ~(shellctl::stoOleDrag | shellctl::stoOleDrop));
    treeDest->setRootIsDecorated(false);
    treeDest->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeDest->setIndentation(app::Scaled(19));
    grpOptions = new QGroupBox(T(texts::Options), this);
    chkOverwrite = new QCheckBox(T(texts::ChkOverwrite), grpOptions);
    chkSkipOlder = new QCheckBox(T(texts::ChkSkipOlder), grpOptions);
    chkPaths = new QCheckBox(T(texts::ChkPaths), grpOptions);
    chkPaths->setChecked(true);
    cmdExtract = new QPushButton(T(texts::Extract), this);
    cmdExtract->setDefault(true);
    cmdCancel = new QPushButton(T(texts::Cancel), this);
    Status1 = new QStatusBar(this);
    Status1->setSizeGripEnabled(false);

    auto* zipBox = new QGridLayout(grpZipFile);
    zipBox->addWidget(Grid1, 0, 0, 1, 3);
    zipBox->addWidget(cmdSelectAll, 1, 0);
    zipBox->addWidget(cmdDeselectAll, 1, 1);
    zipBox->setColumnStretch(2, 1);
    auto* filesBox = new QVBoxLayout(grpFiles);
    filesBox->addWidget(optAllFiles);
    filesBox->addWidget(optSelectedFiles);
    auto* destBox = new QVBoxLayout(GroupBox1);
    destBox->addWidget(treeDest);
    auto* optionsBox = new QVBoxLayout(grpOptions);
    for (QWidget* w : {chkOverwrite, chkSkipOlder, chkPaths})
        optionsBox->addWidget(w);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdExtract);
    buttons->addWidget(cmdCancel);

    auto* grid = new QGridLayout;
    grid->addWidget(grpZipFile, 0, 0, 3, 1);
    grid->addWidget(GroupBox1, 0, 1);
    grid->addWidget(grpFiles, 1, 1);
    grid->addWidget(grpOptions, 2, 1);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
    auto* body = new QWidget(this);
    body->setLayout(grid);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->addWidget(body, 1);
    outer->addWidget(Status1);
    setFixedSize(QSize(app::Scaled(643), app::Scaled(427)).expandedTo(sizeHint()));

    connect(cmdExtract, &QPushButton::clicked, this, &TfrmUnzip::cmdExtractClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmUnzip::cmdCancelClick);
    connect(cmdSelectAll, &QPushButton::clicked, this, &TfrmUnzip::cmdSelectAllClick);
    connect(cmdDeselectAll, &QPushButton::clicked, this, &TfrmUnzip::cmdDeselectAllClick);
}

TfrmUnzip::~TfrmUnzip()
{
    if (frmUnzip == this)
        frmUnzip = nullptr;
}

void TfrmUnzip::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmUnzip::FormShow()
{
    Status1->clearMessage();
    Grid1->setSortingEnabled(false);
    Grid1->setRowCount(0);
    m_entryCount = 0;
    m_archive.clear();
    if (LaunchedFromPreview) {
        m_archive = PreviewFile;
    } else if (app::CurShellList) {
        const std::vector<shellctl::TShListData*> selected = app::CurShellList->SelectedItems();
        if (!selected.empty())
            m_archive = selected.front()->Path();
    }
    const QFileInfo info(m_archive);
    const QString name = info.fileName();
    setWindowTitle(T(texts::UnzipCaptionHead) + name + QLatin1Char(' '));
    grpZipFile->setTitle(T(texts::ContentsHead) + name + T(texts::ContentsCount).arg(0));
    if (!m_archive.isEmpty()) {
        treeDest->RefreshTree();
        treeDest->SelectPath(info.absolutePath() + QLatin1Char('/'));
        if (QTreeWidgetItem* node = treeDest->currentItem())
            node->setExpanded(true);
    }
    // The directory is read on a worker: a big archive or a slow disk does not hold the window.
    cmdExtract->setEnabled(false);
    m_list.reset(new ZipJob(ZipJob::Operation::List, m_archive));
    m_list->Zip.Unattended = true;
    connect(m_list.get(), &core::Job::finished, this, [this, job = m_list.get()] {
        if (m_list.get() == job)
            fillGrid();
    }, Qt::QueuedConnection);
    m_list->start();
}

void TfrmUnzip::fillGrid()
{
    const core::JobPtr<ZipJob> job = std::move(m_list);
    const std::vector<ZipDirEntry>& entries = job->Zip.DirEntries();
    const int n = int(entries.size());
    m_entryCount = n;
    grpZipFile->setTitle(T(texts::ContentsHead) + QFileInfo(m_archive).fileName() + T(texts::ContentsCount).arg(n));
    Grid1->setRowCount(n);
    for (int k = 0; k < n; ++k) {
        auto* check = new QTableWidgetItem;
        check->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        check->setCheckState(Qt::Unchecked);
        Grid1->setItem(k, ColCheck, check);
        // The listing's cells less the compressed size and the ratio.
        std::vector<TZipGridItem*> cells = ZipListingRow(entries[size_t(k)]);
        Grid1->setItem(k, ColName, cells[0]);
        Grid1->setItem(k, ColDate, cells[1]);
        Grid1->setItem(k, ColSize, cells[2]);
        Grid1->setItem(k, ColPath, cells[5]);
        delete cells[3];
        delete cells[4];
    }
    Grid1->resizeColumnsToContents();
    Grid1->setColumnWidth(ColCheck, app::Scaled(21));
    // Room for the sort indicator beside the name column's title.
    Grid1->setColumnWidth(ColName, Grid1->columnWidth(ColName) + app::Scaled(16));
    Grid1->setSortingEnabled(true);
    Grid1->sortByColumn(ColName, Qt::AscendingOrder);
    if (n > 0) {
        Grid1->setCurrentCell(0, ColName);
        Grid1->scrollToTop();
    }
    Grid1->horizontalScrollBar()->setValue(0);
    Grid1->setFocus();
    cmdExtract->setEnabled(true);
    m_encrypted = std::any_of(entries.begin(), entries.end(), [](const ZipDirEntry& e) { return e.IsEncrypted(); });
    m_spanned = job->Zip.Spanned();
    emit Listed();
}

int TfrmUnzip::checkedCount() const
{
    int count = 0;
    for (int row = 0; row < Grid1->rowCount(); ++row)
        count += Grid1->item(row, ColCheck)->checkState() == Qt::Checked;
    return count;
}

QStringList TfrmUnzip::FilesToExtract() const
{
    QStringList files;
    if (optAllFiles->isChecked())
        return files;
    for (int row = 0; row < Grid1->rowCount(); ++row) {
        if (Grid1->item(row, ColCheck)->checkState() == Qt::Checked)
            files << Grid1->item(row, ColPath)->text() + Grid1->item(row, ColName)->text();
    }
    return files;
}

void TfrmUnzip::cmdSelectAllClick()
{
    for (int row = 0; row < Grid1->rowCount(); ++row)
        Grid1->item(row, ColCheck)->setCheckState(Qt::Checked);
}

void TfrmUnzip::cmdDeselectAllClick()
{
    for (int row = 0; row < Grid1->rowCount(); ++row)
        Grid1->item(row, ColCheck)->setCheckState(Qt::Unchecked);
}

void TfrmUnzip::cmdExtractClick()
{
    if (m_running || m_list)
        return;
    const QString dest = treeDest->SelectedPath();
    // A virtual folder (the trash, Computer) has no place on disk to extract to.
    if (dest.isEmpty()) {
        ShowZipError(T(texts::NoDestination));
        return;
    }
    QString password;
    if (m_encrypted) {
        bool ok = false;
        password = QInputDialog::getText(this, T(texts::PasswordCaption), T(texts::PasswordPrompt),
                                         QLineEdit::Password, QString(), &ok);
        if (!ok)
            return;
    }
    const QStringList files = FilesToExtract();
    const int tested = optAllFiles->isChecked() ? m_entryCount : checkedCount();
    m_running = true;
    cmdExtract->setEnabled(false);
    cmdCancel->setEnabled(false);
    const auto finish = [this] {
        m_running = false;
        cmdExtract->setEnabled(true);
        cmdCancel->setEnabled(true);
    };

    // A spanned set is read from its parts once, and both passes work on the copy.
    QString archive = m_archive;
    std::optional<SpanTempArchive> rebuilt;
    if (m_spanned) {
        rebuilt.emplace(QString());
        ZipJob rebuild(ZipJob::Operation::Rebuild, m_archive);
        rebuild.RebuiltArchive = rebuilt->file();
        RunZipJob(rebuild, {this, Status1, texts::ExtractingFile, T(texts::ReadingParts)});
        if (rebuild.isCancelled() || !QFileInfo::exists(rebuilt->file())) {
            finish();
            return;
        }
        archive = rebuilt->file();
    }

    // The test pass: its messages are not shown, the count tells.
    ZipJob test(ZipJob::Operation::Extract, archive);
    test.Zip.FSpecArgs = files;
    test.Zip.ExtrOptions = ExtrTest;
    test.Zip.Password = password;
    RunZipJob(test, {this, Status1, texts::ExtractingFile, T(texts::Testing), false});
    if (test.isCancelled()) {
        finish();
        return;
    }
    if (test.Zip.SuccessCount() < tested) {
        ShowZipError(T(texts::IntegrityFailed));
        finish();
        accept();
        return;
    }

    ZipJob extract(ZipJob::Operation::Extract, archive);
    ExtrOpts options;
    if (chkOverwrite->isChecked())
        options |= ExtrOverWrite;
    if (chkSkipOlder->isChecked())
        options |= ExtrUpdate;
    if (chkPaths->isChecked())
        options |= ExtrDirNames;
    extract.Zip.ExtrOptions = options;
    extract.Zip.ExtrBaseDir = dest;
    extract.Zip.FSpecArgs = files;
    extract.Zip.Password = password;
    RunZipJob(extract, {this, Status1, texts::ExtractingFile, T(texts::Extracting)});
    finish();
    accept();
}

void TfrmUnzip::cmdCancelClick()
{
    reject();
}

void TfrmUnzip::reject()
{
    // Closing while a run goes on would leave its progress window without its owner.
    if (m_running)
        return;
    m_list.reset();
    QDialog::reject();
}

void UnzipSelectedFile(const QString& path, QWidget* parent)
{
    ZipJob job(ZipJob::Operation::List, path);
    job.Zip.Unattended = true;
    dialogs::TfrmJobProgress progress(job, T(texts::Listing), parent);
    progress.Run();
    if (job.isCancelled())
        return;
    if (job.Zip.ErrCode() != 0) {
        ShowZipError(job.Zip.ErrCode() == 11036 ? T(texts::NotAZipFile) : job.Zip.Message());
        return;
    }
    if (!frmUnzip)
        return;
    // It works on the explorer selection, not on the previewed file.
    frmUnzip->LaunchedFromPreview = false;
    frmUnzip->exec();
}

} // namespace corvane::zip
