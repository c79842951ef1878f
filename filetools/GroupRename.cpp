#include "GroupRename.h"

#include "ToolRun.h"
#include "app/Utility.h"
#include "core/NameCodec.h"
#include "engine/FileToolsTexts.h"
#include "engine/ToolJob.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace corvane::filetools {

namespace C = FileToolsConsts;
using app::Scaled;

TfrmGroupRename* frmGroupRename = nullptr;

namespace {

QString Readable(const QString& name)
{
    return core::ReadableName(core::EncodeName(name));
}

} // namespace

TfrmGroupRename::TfrmGroupRename(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmGroupRename"));
    setWindowTitle(QString(C::sRenameWindow));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblFolder = new QLabel(this);
    lblFolder->setTextFormat(Qt::PlainText);
    grpFiles = new QGroupBox(QString(C::sRenameFiles), this);
    lstFiles = new QTreeWidget(grpFiles);
    lstFiles->setRootIsDecorated(false);
    lstFiles->setSelectionMode(QAbstractItemView::NoSelection);
    lstFiles->setHeaderLabels({QString(C::sRenameColumnName), QString(C::sRenameColumnNew)});
    lstFiles->header()->setSectionResizeMode(QHeaderView::Stretch);
    lblExt = new QLabel(QString(C::sNewExtension), this);
    txtExt = new QLineEdit(this);
    lblExt->setBuddy(txtExt);
    grpOptions = new QGroupBox(QString(C::sOptions), this);
    optReplace = new QRadioButton(QString(C::sReplaceExtension), grpOptions);
    optAdd = new QRadioButton(QString(C::sAddExtension), grpOptions);
    m_options = new QButtonGroup(this);
    m_options->addButton(optReplace, 0);
    m_options->addButton(optAdd, 1);
    optReplace->setChecked(true);
    cmdRename = new QPushButton(QString(C::sRename), this);
    cmdRename->setDefault(true);
    cmdCancel = new QPushButton(QString(C::sCancel), this);
    Status1 = new QStatusBar(this);
    Status1->setSizeGripEnabled(false);

    auto* files = new QVBoxLayout(grpFiles);
    files->addWidget(lstFiles);
    auto* options = new QVBoxLayout(grpOptions);
    options->addWidget(optReplace);
    options->addWidget(optAdd);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdRename);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto* grid = new QGridLayout;
    grid->addWidget(lblFolder, 0, 0, 1, 2);
    grid->addWidget(grpFiles, 1, 0, 1, 2);
    auto* ext = new QVBoxLayout;
    ext->addStretch();
    ext->addWidget(lblExt);
    ext->addWidget(txtExt);
    grid->addLayout(ext, 2, 0);
    grid->addWidget(grpOptions, 2, 1);
    grid->addLayout(buttons, 1, 2, 2, 1);
    auto* root = new QVBoxLayout(this);
    root->addLayout(grid);
    root->addWidget(Status1);
    resize(Scaled(560), Scaled(400));

    connect(txtExt, &QLineEdit::textChanged, this, &TfrmGroupRename::showNewNames);
    connect(m_options, &QButtonGroup::idToggled, this, [this] { showNewNames(); });
    connect(cmdRename, &QPushButton::clicked, this, &TfrmGroupRename::cmdRenameClick);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmGroupRename::~TfrmGroupRename()
{
    if (frmGroupRename == this)
        frmGroupRename = nullptr;
}

int TfrmGroupRename::ItemIndex() const
{
    return m_options->checkedId();
}

QStringList TfrmGroupRename::FileNames() const
{
    QStringList names;
    for (int i = 0; i < lstFiles->topLevelItemCount(); ++i)
        names << lstFiles->topLevelItem(i)->data(0, Qt::UserRole).toString();
    return names;
}

void TfrmGroupRename::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmGroupRename::FormShow()
{
    QStringList names;
    m_folder = SelectedFiles(&names);
    lblFolder->setText(Readable(m_folder));
    lblFolder->setToolTip(lblFolder->text());
    Status1->clearMessage();
    lstFiles->clear();
    for (const QString& name : names) {
        auto* item = new QTreeWidgetItem(lstFiles, {Readable(name)});
        item->setData(0, Qt::UserRole, name);
    }
    txtExt->clear();
    showNewNames();
    txtExt->setFocus();
}

void TfrmGroupRename::showNewNames()
{
    // Nothing to show until the extension would pass the checks.
    const bool valid = CheckNewExtension(txtExt->text()).isEmpty();
    const QString extension = UsedExtension(txtExt->text());
    const auto option = RenameOption(ItemIndex());
    for (int i = 0; i < lstFiles->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lstFiles->topLevelItem(i);
        const QString name = item->data(0, Qt::UserRole).toString();
        item->setText(1, valid ? Readable(NewFileName(name, extension, option)) : QString());
    }
}

void TfrmGroupRename::cmdRenameClick()
{
    const QString problem = CheckNewExtension(txtExt->text());
    if (!problem.isEmpty()) {
        app::MsgBox(problem, QString(C::sCaptionError), app::MB_ICONEXCLAMATION);
        return;
    }
    txtExt->setText(UsedExtension(txtExt->text()));
    const RenameRunInput input{m_folder, FileNames(), txtExt->text(), RenameOption(ItemIndex())};
    ToolJob job([&input](ToolJob& j) { RunGroupRename(input, j); });
    const auto showCount = [this](const core::JobProgress& p) {
        if (!p.text.isEmpty())
            Status1->showMessage(p.text);
    };
    RunToolJob(job, windowTitle(), this, showCount);
    showCount(job.progress());
    accept();
}

} // namespace corvane::filetools
