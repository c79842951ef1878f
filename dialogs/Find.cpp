#include "Find.h"

#include "core/Text.h"

#include "ShellDialogTexts.h"
#include "app/Utility.h"
#include "platform/IconTable.h"
#include "platform/NameCodec.h"
#include "platform/ShellOpen.h"
#include "shellctl/ShellRecords.h"
#include "shellctl/UShellUtils.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

namespace corvane::app {

using core::Text;

using platform::DecodeName;
using platform::EncodeName;
using platform::ReadableName;

namespace {

// The "Look in" box's folder, with "~" for the home folder.
QString lookInFolder(const QString& text)
{
    QString lookIn = text.trimmed();
    if (lookIn == QLatin1String("~") || lookIn.startsWith(QLatin1String("~/")))
        lookIn = QDir::homePath() + lookIn.mid(1);
    return lookIn;
}

} // namespace

// --- Results ---

QVariant TFindResultsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const FindHit& h = m_hits[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return ReadableName(h.name);
        case 1:
            return ReadableName(h.folder);
        case 2:
            return h.isFolder ? QString() : shellctl::FormatSizeKB(h.size);
        case 3:
            return shellctl::FormatFileTime(QDateTime::fromSecsSinceEpoch(qint64(h.modified)));
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == 0)
            return platform::IconTable::instance().pixmap(platform::SHGetFileIconIndex(ReadableName(h.name), h.isFolder), false);
        return {};
    case Qt::ToolTipRole:
        return ReadableName(h.path());
    case Qt::TextAlignmentRole:
        if (index.column() == 2)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant TFindResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const captions[] = {shelltexts::FindColName, shelltexts::FindColFolder, shelltexts::FindColSize,
                                           shelltexts::FindColModified};
    return section >= 0 && section < 4 ? Text(captions[section]) : QVariant();
}

void TFindResultsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > 3 || m_hits.empty())
        return;
    auto names = [](const QByteArray& a, const QByteArray& b) {
        return DecodeName(a).compare(DecodeName(b), Qt::CaseInsensitive);
    };
    auto less = [&](const FindHit& a, const FindHit& b) {
        int c = 0;
        switch (column) {
        case 0:
            c = names(a.name, b.name);
            break;
        case 1:
            c = names(a.folder, b.folder);
            if (c == 0)
                c = names(a.name, b.name);
            break;
        case 2:
            c = a.isFolder != b.isFolder ? (a.isFolder ? -1 : 1) : (a.size < b.size ? -1 : a.size > b.size ? 1 : 0);
            break;
        default:
            c = a.modified < b.modified ? -1 : a.modified > b.modified ? 1 : 0;
            break;
        }
        return order == Qt::AscendingOrder ? c < 0 : c > 0;
    };
    beginResetModel();
    std::stable_sort(m_hits.begin(), m_hits.end(), less);
    endResetModel();
}

void TFindResultsModel::Append(std::vector<FindHit>&& hits)
{
    if (hits.empty())
        return;
    beginInsertRows({}, rowCount(), rowCount() + int(hits.size()) - 1);
    m_hits.insert(m_hits.end(), std::make_move_iterator(hits.begin()), std::make_move_iterator(hits.end()));
    endInsertRows();
}

void TFindResultsModel::Clear()
{
    beginResetModel();
    m_hits.clear();
    m_hits.shrink_to_fit();
    endResetModel();
}

// --- Dialog ---

TfrmFind::TfrmFind(const QByteArray& folder, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(Text(shelltexts::FindCaption));
    setModal(false);
    setSizeGripEnabled(true);

    auto* grid = new QGridLayout;
    txtNamed = new QLineEdit(QStringLiteral("*"), this);
    txtContaining = new QLineEdit(this);
    txtLookIn = new QLineEdit(folder.isEmpty() ? QDir::homePath() : DecodeName(folder), this);
    cmdBrowse = new QPushButton(Text(shelltexts::FindBrowse), this);
    chkSubfolders = new QCheckBox(Text(shelltexts::FindSubfolders), this);
    chkSubfolders->setChecked(true);
    auto label = [this](const char* text, QWidget* buddy) {
        auto* l = new QLabel(Text(text), this);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label(shelltexts::FindNamed, txtNamed), 0, 0);
    grid->addWidget(txtNamed, 0, 1, 1, 2);
    grid->addWidget(label(shelltexts::FindContaining, txtContaining), 1, 0);
    grid->addWidget(txtContaining, 1, 1, 1, 2);
    grid->addWidget(label(shelltexts::FindLookIn, txtLookIn), 2, 0);
    grid->addWidget(txtLookIn, 2, 1);
    grid->addWidget(cmdBrowse, 2, 2);
    grid->addWidget(chkSubfolders, 3, 1, 1, 2);

    auto* buttons = new QVBoxLayout;
    cmdFindNow = new QPushButton(Text(shelltexts::FindNow), this);
    cmdFindNow->setDefault(true);
    cmdStop = new QPushButton(Text(shelltexts::FindStop), this);
    cmdStop->setEnabled(false);
    cmdClose = new QPushButton(Text(shelltexts::Close), this);
    buttons->addWidget(cmdFindNow);
    buttons->addWidget(cmdStop);
    buttons->addWidget(cmdClose);
    buttons->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(grid, 1);
    top->addLayout(buttons);

    m_model = new TFindResultsModel(this);
    lstResults = new QTreeView(this);
    lstResults->setModel(m_model);
    lstResults->setRootIsDecorated(false);
    lstResults->setUniformRowHeights(true);
    lstResults->setAllColumnsShowFocus(true);
    // Both ends of a long path tell more than its start alone.
    lstResults->setTextElideMode(Qt::ElideMiddle);
    lstResults->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstResults->setContextMenuPolicy(Qt::CustomContextMenu);
    lstResults->header()->setSortIndicator(-1, Qt::AscendingOrder);
    lstResults->setSortingEnabled(true);
    lstResults->header()->resizeSection(0, Scaled(200));
    lstResults->header()->resizeSection(1, Scaled(260));
    lstResults->header()->resizeSection(2, Scaled(80));
    lstResults->installEventFilter(this);

    lblStatus = new QLabel(this);
    lblStatus->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lstResults, 1);
    layout->addWidget(lblStatus);
    resize(Scaled(720), Scaled(480));

    m_poll = new QTimer(this);
    m_poll->setInterval(100);
    connect(m_poll, &QTimer::timeout, this, &TfrmFind::poll);
    connect(cmdFindNow, &QPushButton::clicked, this, &TfrmFind::cmdFindNowClick);
    connect(cmdStop, &QPushButton::clicked, this, &TfrmFind::cmdStopClick);
    connect(cmdClose, &QPushButton::clicked, this, &TfrmFind::close);
    connect(cmdBrowse, &QPushButton::clicked, this, &TfrmFind::cmdBrowseClick);
    connect(lstResults, &QTreeView::doubleClicked, this, [this](const QModelIndex& i) { ShowResult(i.row()); });
    connect(lstResults, &QTreeView::customContextMenuRequested, this, &TfrmFind::showContextMenu);
}

TfrmFind::~TfrmFind() = default;

void TfrmFind::cmdFindNowClick()
{
    if (m_job)
        return;
    core::FindCriteria criteria;
    criteria.folder = EncodeName(lookInFolder(txtLookIn->text()));
    criteria.patterns = core::SplitFindPatterns(txtNamed->text());
    criteria.text = txtContaining->text();
    criteria.subfolders = chkSubfolders->isChecked();

    m_model->Clear();
    lstResults->header()->setSortIndicator(-1, Qt::AscendingOrder);
    m_job.reset(new core::FindJob(criteria));
    connect(m_job.get(), &core::Job::finished, this, &TfrmFind::poll, Qt::QueuedConnection);
    m_job->start();
    cmdFindNow->setEnabled(false);
    cmdStop->setEnabled(true);
    cmdStop->setDefault(true);
    lblStatus->setText(Text(shelltexts::FindSearching).arg(ReadableName(criteria.folder)).arg(0));
    m_poll->start();
}

void TfrmFind::cmdStopClick()
{
    if (m_job)
        m_job->cancel();
}

void TfrmFind::done(int result)
{
    cmdStopClick();
    QDialog::done(result);
}

void TfrmFind::cmdBrowseClick()
{
    const QString dir = QFileDialog::getExistingDirectory(this, Text(shelltexts::FindCaption), txtLookIn->text());
    if (!dir.isEmpty())
        txtLookIn->setText(dir);
}

void TfrmFind::poll()
{
    if (!m_job)
        return;
    // Whether it is done is read before the hits are taken, so no hit is left behind.
    const bool done = m_job->isFinished();
    std::vector<FindHit> hits = m_job->TakeHits();
    if (!hits.empty()) {
        // New rows come at the end: an earlier sort no longer holds.
        if (lstResults->header()->sortIndicatorSection() >= 0)
            lstResults->header()->setSortIndicator(-1, Qt::AscendingOrder);
        m_model->Append(std::move(hits));
    }
    if (!done) {
        const QByteArray folder = m_job->progress().currentFile;
        lblStatus->setText(Text(shelltexts::FindSearching).arg(ReadableName(folder)).arg(m_model->rowCount()));
        return;
    }
    const bool stopped = m_job->isCancelled();
    const bool noFolder = m_job->NoFolder();
    const FindCounts counts = m_job->Counts();
    m_job.reset();
    m_poll->stop();
    if (noFolder) {
        lblStatus->clear();
        finishSearch();
        MsgBox(Text(shelltexts::FindNoFolder).arg(lookInFolder(txtLookIn->text())), Text(shelltexts::Error), MB_ICONEXCLAMATION);
        txtLookIn->setFocus();
        return;
    }
    lblStatus->setText(statusText(counts, stopped));
    finishSearch();
}

void TfrmFind::finishSearch()
{
    cmdFindNow->setEnabled(true);
    cmdStop->setEnabled(false);
    cmdFindNow->setDefault(true);
    emit SearchFinished();
}

QString TfrmFind::statusText(const FindCounts& counts, bool stopped) const
{
    QString text = Text(stopped ? shelltexts::FindStopped : shelltexts::FindFound).arg(m_model->rowCount());
    if (counts.unreadable > 0)
        text += Text(shelltexts::FindUnreadableFolders).arg(counts.unreadable);
    if (counts.unreadableFiles > 0)
        text += Text(shelltexts::FindUnreadableFiles).arg(counts.unreadableFiles);
    return text;
}

void TfrmFind::ShowResult(int row)
{
    if (row < 0 || row >= m_model->rowCount() || !OnShowItem)
        return;
    const FindHit& h = m_model->Hit(row);
    if (h.isFolder)
        OnShowItem(h.path(), QByteArray());
    else
        OnShowItem(h.folder, h.name);
}

void TfrmFind::OpenResult(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    const FindHit& h = m_model->Hit(row);
    QString error;
    if (!platform::OpenPath(h.path(), &error))
        MsgBox(Text(shelltexts::CannotOpen).arg(ReadableName(h.name)) + QStringLiteral("\n") + error, Text(shelltexts::Error),
               MB_ICONEXCLAMATION);
}

void TfrmFind::showContextMenu(const QPoint& pos)
{
    const QModelIndex index = lstResults->indexAt(pos);
    if (!index.isValid())
        return;
    const int row = index.row();
    QMenu menu(this);
    QAction* open = menu.addAction(Text(shelltexts::FindOpen));
    QAction* show = menu.addAction(Text(shelltexts::FindShowInFolder));
    menu.setDefaultAction(show);
    QAction* chosen = menu.exec(lstResults->viewport()->mapToGlobal(pos));
    if (chosen == open)
        OpenResult(row);
    else if (chosen == show)
        ShowResult(row);
}

bool TfrmFind::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstResults && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && lstResults->currentIndex().isValid()) {
            ShowResult(lstResults->currentIndex().row());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace corvane::app
