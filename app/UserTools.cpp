#include "UserTools.h"

#include "AppTexts.h"
#include "Globals.h"
#include "Mainform.h"
#include "Utility.h"
#include "platform/Launch.h"
#include "settings/PFormSettings.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace corvane::app {

QPointer<TfrmUserTools> frmUserTools;

namespace {

const QChar kSeparator = QLatin1Char(texts::UserToolSeparator);

// A separator typed or pasted into a cell would split the stored value in the wrong place.
QString cleanCell(const QString& text)
{
    QString t = text;
    t.remove(kSeparator);
    return t.trimmed();
}

} // namespace

TUserTool SplitUserTool(const QString& value)
{
    const qsizetype at = value.indexOf(kSeparator);
    if (at < 0)
        return {QString(), value};
    return {value.left(at), value.mid(at + 1)};
}

QString JoinUserTool(const QString& description, const QString& command)
{
    return description + kSeparator + command;
}

bool UserToolConfigured(const QString& value)
{
    return value.size() >= 2;
}

QString UserToolCaption(int number, const QString& description)
{
    return QString::fromLatin1(texts::UserToolItem).arg(number).arg(description);
}

QString UserToolSetting(int number)
{
    return QStringLiteral("UserTool%1").arg(number);
}

void BuildUserToolsMenu(QMenu* tools, settings::TPSettings& store)
{
    for (int n = 1; n <= UserToolCount; ++n) {
        const QString value = store.SettingByName(UserToolSetting(n)).AsString();
        for (QAction* item : tools->actions()) {
            if (item->data().toInt() != n)
                continue;
            if (!UserToolConfigured(value)) {
                item->setVisible(false);
            } else {
                item->setText(UserToolCaption(n, SplitUserTool(value).Description));
                item->setVisible(true);
            }
        }
    }
}

void mnuUserToolClick(QAction* item, settings::TPSettings& store)
{
    const int n = item->data().toInt();
    if (n < 1 || n > UserToolCount)
        return;
    const QString command = SplitUserTool(store.SettingByName(UserToolSetting(n)).AsString()).Command;
    // Tools start in the home folder: the selection is not passed to them.
    if (!platform::ShellOpenCommand(command, QDir::homePath()))
        MsgBox(QString::fromLatin1(texts::UnableToExecute) + command, QString::fromLatin1(texts::Error), MB_ICONEXCLAMATION);
}

TfrmUserTools::TfrmUserTools(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint),
      Grid1(new QTableWidget(UserToolCount, 2, this)), cmdOK(new QPushButton(QString::fromLatin1(texts::Ok), this)),
      cmdCancel(new QPushButton(QString::fromLatin1(texts::CancelAccel), this)),
      cmdBrowse(new QPushButton(QString::fromLatin1(texts::Browse), this)),
      cmdDelete(new QPushButton(QString::fromLatin1(texts::Delete), this)), OpenDialog1(new QFileDialog(this))
{
    setObjectName(QStringLiteral("frmUserTools"));
    setWindowTitle(QString::fromLatin1(texts::UserToolsCaption));
    setModal(true);
    Grid1->setHorizontalHeaderLabels({QString::fromLatin1(texts::Description), QString::fromLatin1(texts::Command)});
    // Row n is tool n: no row numbers, as the columns share the grid's width.
    Grid1->verticalHeader()->hide();
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid1->verticalHeader()->setMinimumSectionSize(1);
    Grid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid1->horizontalHeader()->setStretchLastSection(false);
    Grid1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Always editing: the cell that becomes current opens its editor.
    Grid1->setEditTriggers(QAbstractItemView::AllEditTriggers | QAbstractItemView::CurrentChanged);
    Grid1->setTabKeyNavigation(true);
    Grid1->setFixedSize(Scaled(525), Scaled(229));
    for (int r = 0; r < UserToolCount; ++r)
        for (int c = 0; c < 2; ++c)
            SetCell(r, c, QString());
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdOK, cmdCancel, cmdBrowse, cmdDelete})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Grid1, 0, Qt::AlignTop);
    layout->addLayout(buttons);
    setFixedSize(QSize(Scaled(611), Scaled(300)).expandedTo(sizeHint()));

    connect(cmdOK, &QPushButton::clicked, this, &TfrmUserTools::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmUserTools::cmdCancelClick);
    connect(cmdBrowse, &QPushButton::clicked, this, &TfrmUserTools::cmdBrowseClick);
    connect(cmdDelete, &QPushButton::clicked, this, &TfrmUserTools::cmdDeleteClick);
}

QString TfrmUserTools::Cell(int row, int column) const
{
    const QTableWidgetItem* item = Grid1->item(row, column);
    return item ? cleanCell(item->text()) : QString();
}

void TfrmUserTools::SetCell(int row, int column, const QString& text)
{
    if (QTableWidgetItem* item = Grid1->item(row, column))
        item->setText(text);
    else
        Grid1->setItem(row, column, new QTableWidgetItem(text));
}

void TfrmUserTools::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TfrmUserTools::FormActivate()
{
    const int width = Grid1->width() - Scaled(5);
    Grid1->setColumnWidth(0, int(std::lround(width * 0.4)));
    Grid1->setColumnWidth(1, int(std::lround(width * 0.6)));
    // Ten rows, the header among them, share the height.
    const int rowHeight = (Grid1->height() - Scaled(15)) / 10;
    Grid1->verticalHeader()->setDefaultSectionSize(rowHeight);
    Grid1->horizontalHeader()->setFixedHeight(rowHeight);
    settings::TPSettings& store = *frmMain->PFormSettings1;
    for (int n = 1; n <= UserToolCount; ++n) {
        const QString value = store.SettingByName(UserToolSetting(n)).AsString();
        // Rows of tools never stored keep what they hold from earlier in the run.
        if (value.isEmpty())
            continue;
        const TUserTool tool = SplitUserTool(value);
        SetCell(n - 1, 0, tool.Description);
        SetCell(n - 1, 1, tool.Command);
    }
    if (!Grid1->currentIndex().isValid())
        Grid1->setCurrentCell(0, 0);
    Grid1->setFocus();
    Grid1->edit(Grid1->currentIndex());
}

void TfrmUserTools::commitEditor()
{
    const QModelIndex current = Grid1->currentIndex();
    // Leaving the cell commits its editor.
    Grid1->setCurrentIndex(QModelIndex());
    Grid1->setCurrentIndex(current);
}

void TfrmUserTools::cmdOKClick()
{
    commitEditor();
    for (int r = 0; r < UserToolCount; ++r) {
        if (Cell(r, 0).isEmpty() != Cell(r, 1).isEmpty()) {
            MsgBox(QString::fromLatin1(texts::BlankToolCells), QString::fromLatin1(texts::Error), MB_ICONEXCLAMATION);
            return;
        }
    }
    settings::TPSettings& store = *frmMain->PFormSettings1;
    for (int n = 1; n <= UserToolCount; ++n)
        store.SettingByName(UserToolSetting(n)).SetAsString(JoinUserTool(Cell(n - 1, 0), Cell(n - 1, 1)));
    frmMain->BuildUserToolsMenu();
    accept();
}

void TfrmUserTools::cmdCancelClick()
{
    reject();
}

void TfrmUserTools::cmdBrowseClick()
{
    const int row = Grid1->currentRow();
    if (row < 0)
        return;
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty())
        return;
    commitEditor();
    SetCell(row, 1, OpenDialog1->selectedFiles().first());
}

void TfrmUserTools::cmdDeleteClick()
{
    const int row = Grid1->currentRow();
    if (row < 0)
        return;
    // The rows below move up and an empty row takes the last place.
    Grid1->setCurrentIndex(QModelIndex());
    Grid1->removeRow(row);
    Grid1->insertRow(UserToolCount - 1);
    for (int c = 0; c < 2; ++c)
        SetCell(UserToolCount - 1, c, QString());
    Grid1->setCurrentCell(qMin(row, UserToolCount - 1), 0);
}

} // namespace corvane::app
