#include "BatchCopy.h"

#include "ToolRun.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "core/NameCodec.h"
#include "engine/BatchCopyEngine.h"
#include "engine/FileToolsTexts.h"
#include "engine/ToolJob.h"
#include "shellctl/ShellTree.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace corvane::filetools {

namespace C = FileToolsConsts;
using app::Scaled;

TfrmBatchCopy* frmBatchCopy = nullptr;

TfrmBatchCopy::TfrmBatchCopy(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBatchCopy"));
    setWindowTitle(QString(C::sBatchWindow));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    lblSourceCaption = new QLabel(QString(C::sSource), this);
    lblSource = new QLabel(this);
    lblSource->setTextFormat(Qt::PlainText);
    lblDest = new QLabel(QString(C::sDestination), this);
    treeDest = new shellctl::TShellTree(this);
    // The destination tree is for picking a folder, not for working on it.
    treeDest->SetOptions(treeDest->Options() & ~(shellctl::stoOleDrag | shellctl::stoOleDrop));
    lblDest->setBuddy(treeDest);
    cmdOK = new QPushButton(QString(C::sOK), this);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QString(C::sCancel), this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* root = new QVBoxLayout(this);
    root->addWidget(lblSourceCaption);
    root->addWidget(lblSource);
    root->addWidget(lblDest);
    root->addWidget(treeDest, 1);
    root->addLayout(buttons);
    resize(Scaled(480), Scaled(520));

    connect(treeDest, &QTreeWidget::currentItemChanged, this, [this] { updateOK(); });
    connect(cmdOK, &QPushButton::clicked, this, &TfrmBatchCopy::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmBatchCopy::~TfrmBatchCopy()
{
    if (frmBatchCopy == this)
        frmBatchCopy = nullptr;
}

void TfrmBatchCopy::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmBatchCopy::FormShow()
{
    m_source = app::CurShellTree ? app::CurShellTree->SelectedPath() : QString();
    lblSource->setText(core::ReadableName(core::EncodeName(m_source)));
    // Folders made since the dialog was last open must be there to pick.
    treeDest->RefreshTree();
    if (QTreeWidgetItem* first = treeDest->topLevelItem(0))
        treeDest->setCurrentItem(first);
    updateOK();
    treeDest->setFocus();
}

void TfrmBatchCopy::updateOK()
{
    cmdOK->setEnabled(!m_source.isEmpty() && !treeDest->SelectedPath().isEmpty());
}

void TfrmBatchCopy::cmdOKClick()
{
    const QByteArray source = core::EncodeName(m_source);
    const QByteArray dest = core::EncodeName(treeDest->SelectedPath());
    const QString problem = CheckBatchCopy(source, dest);
    if (!problem.isEmpty()) {
        app::MsgBox(problem, QString(C::sCaptionError), app::MB_ICONEXCLAMATION);
        return;
    }
    ToolJob job([&](ToolJob& j) { RunBatchCopy(source, dest, j); });
    RunToolJob(job, windowTitle(), this);
    if (job.isCancelled()) {
        reject();
        return;
    }
    app::MsgBox(QString(C::sDone), QString(C::sCaptionProgram), app::MB_ICONINFORMATION);
    accept();
}

} // namespace corvane::filetools
