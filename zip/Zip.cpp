#include "Zip.h"

#include "ZipFormTexts.h"
#include "ZipRun.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "core/NameCodec.h"
#include "engine/ZipJob.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <iterator>

namespace corvane::zip {

TfrmZip* frmZip = nullptr;

namespace {

QString T(const char* text)
{
    return QString::fromLatin1(text);
}

QString WithSlash(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// Whether the focus of the explorer window that holds the list is in the list.
bool ListHasFocus(QWidget* list)
{
    if (!list)
        return false;
    QWidget* focus = list->window()->focusWidget();
    return focus && (focus == list || list->isAncestorOf(focus));
}

} // namespace

TfrmZip::TfrmZip(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmZip"));
    setWindowTitle(T(texts::ZipCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label2 = new QLabel(T(texts::ZipFileLabel), this);
    txtZipFile = new QComboBox(this);
    txtZipFile->setEditable(true);
    txtZipFile->setInsertPolicy(QComboBox::NoInsert);
    Label2->setBuddy(txtZipFile);
    cmdBrowse = new QToolButton(this);
    cmdBrowse->setText(T(texts::Browse));
    Label1 = new QLabel(T(texts::SourceFolderLabel), this);
    lblSourceFolder = new QLabel(this);
    lblSourceFolder->setTextFormat(Qt::PlainText);
    grpSource = new QGroupBox(T(texts::FilesToZip), this);
    lstFiles = new QListWidget(grpSource);
    lblKey = new QLabel(T(texts::PasswordLabel), this);
    txtPassword = new QLineEdit(this);
    txtPassword->setMaxLength(255);
    lblKey->setBuddy(txtPassword);
    lblEncryption = new QLabel(T(texts::EncryptionLabel), this);
    cboEncryption = new QComboBox(this);
    cboEncryption->addItems({T(texts::EncryptionTraditional), T(texts::EncryptionAes)});
    lblEncryption->setBuddy(cboEncryption);
    grpNote = new QGroupBox(this);
    Label3 = new QLabel(T(texts::PasswordNote), grpNote);
    Label3->setWordWrap(true);
    grpAction = new QGroupBox(T(texts::Action), this);
    optAdd = new QRadioButton(T(texts::ActionAdd), grpAction);
    optFreshen = new QRadioButton(T(texts::ActionFreshen), grpAction);
    optUpdate = new QRadioButton(T(texts::ActionUpdate), grpAction);
    optAdd->setChecked(true);
    grpOptions = new QGroupBox(T(texts::Options), this);
    chkSubdirs = new QCheckBox(T(texts::ChkSubdirs), grpOptions);
    chkPaths = new QCheckBox(T(texts::ChkStorePaths), grpOptions);
    chkSpan = new QCheckBox(T(texts::ChkSpan), grpOptions);
    lblMaxVolume = new QLabel(T(texts::MaxVolumeLabel), grpOptions);
    txtMaxVolume = new QSpinBox(grpOptions);
    txtMaxVolume->setRange(0, 1024 * 1024);
    txtMaxVolume->setSuffix(T(texts::MaxVolumeSuffix));
    txtMaxVolume->setSpecialValueText(T(texts::MaxVolumeNoLimit));
    lblMaxVolume->setBuddy(txtMaxVolume);
    lblMaxVolume->setEnabled(false);
    txtMaxVolume->setEnabled(false);
    cmdOK = new QPushButton(T(texts::CreateZip), this);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(T(texts::Cancel), this);
    Status1 = new QStatusBar(this);
    Status1->setSizeGripEnabled(false);

    auto* sourceBox = new QVBoxLayout(grpSource);
    sourceBox->addWidget(lstFiles);
    auto* actionBox = new QVBoxLayout(grpAction);
    for (QWidget* w : {optAdd, optFreshen, optUpdate})
        actionBox->addWidget(w);
    auto* optionsBox = new QVBoxLayout(grpOptions);
    for (QWidget* w : {chkSubdirs, chkPaths, chkSpan})
        optionsBox->addWidget(w);
    auto* volumeRow = new QHBoxLayout;
    volumeRow->addWidget(lblMaxVolume);
    volumeRow->addWidget(txtMaxVolume, 1);
    optionsBox->addLayout(volumeRow);
    auto* noteBox = new QVBoxLayout(grpNote);
    noteBox->addWidget(Label3);

    auto* grid = new QGridLayout;
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(txtZipFile, 1);
    nameRow->addWidget(cmdBrowse);
    grid->addWidget(Label2, 0, 0, 1, 2);
    grid->addLayout(nameRow, 1, 0, 1, 2);
    auto* sourceRow = new QHBoxLayout;
    sourceRow->addWidget(Label1);
    sourceRow->addWidget(lblSourceFolder, 1);
    grid->addLayout(sourceRow, 2, 0, 1, 2);
    grid->addWidget(grpSource, 3, 0, 3, 1);
    grid->addWidget(grpAction, 3, 1);
    grid->addWidget(grpOptions, 4, 1);
    auto* keyBox = new QGridLayout;
    keyBox->addWidget(lblKey, 0, 0);
    keyBox->addWidget(txtPassword, 0, 1);
    keyBox->addWidget(lblEncryption, 1, 0);
    keyBox->addWidget(cboEncryption, 1, 1);
    grid->addLayout(keyBox, 6, 0);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    grid->addLayout(buttons, 6, 1, Qt::AlignTop);
    grid->addWidget(grpNote, 7, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(5, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* body = new QWidget(this);
    body->setLayout(grid);
    outer->addWidget(body, 1);
    outer->addWidget(Status1);
    setFixedSize(QSize(app::Scaled(608), app::Scaled(405)).expandedTo(sizeHint()));

    // Name, what to pack, password, then the choices and the buttons.
    QWidget* order[] = {txtZipFile, cmdBrowse, lstFiles, txtPassword, cboEncryption, optAdd, optFreshen, optUpdate,
                        chkSubdirs, chkPaths, chkSpan, txtMaxVolume, cmdOK, cmdCancel};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(cmdOK, &QPushButton::clicked, this, &TfrmZip::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmZip::cmdCancelClick);
    connect(cmdBrowse, &QToolButton::clicked, this, &TfrmZip::cmdBrowseClick);
    connect(chkSpan, &QCheckBox::toggled, this, [this](bool on) {
        lblMaxVolume->setEnabled(on);
        txtMaxVolume->setEnabled(on);
    });
}

TfrmZip::~TfrmZip()
{
    if (frmZip == this)
        frmZip = nullptr;
}

void TfrmZip::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

int TfrmZip::ExecFor(std::vector<Source> items, const QString& folder)
{
    m_given.emplace(std::move(items), folder);
    return exec();
}

void TfrmZip::FormShow()
{
    txtZipFile->setFocus();
    txtZipFile->setEditText(QString());
    txtPassword->clear();
    Status1->clearMessage();
    lstFiles->clear();
    m_sources.clear();

    if (m_given) {
        SourceKind = QStringLiteral("L");
        m_sources = std::move(m_given->first);
        m_sourceFolder = m_given->second;
        m_given.reset();
        lblSourceFolder->setText(m_sourceFolder);
        for (const Source& s : m_sources)
            lstFiles->addItem(core::ReadableName(core::BaseName(core::EncodeName(s.path))) + (s.folder ? T(texts::FolderSuffix) : QString()));
        return;
    }
    m_sourceFolder = app::CurShellTree ? app::CurShellTree->SelectedPath() : QString();
    lblSourceFolder->setText(m_sourceFolder);
    shellctl::TShellList* list = app::CurShellList;
    if (ListHasFocus(list)) {
        SourceKind = QStringLiteral("L");
        for (shellctl::TShListData* data : list->SelectedItems()) {
            const QString path = data->Path();
            // Items of a virtual folder (the trash, Computer) have no file to pack.
            if (path.isEmpty())
                continue;
            const bool folder = data->IsFolder();
            lstFiles->addItem(data->FileName() + (folder ? T(texts::FolderSuffix) : QString()));
            m_sources.push_back({path, folder});
        }
    } else {
        SourceKind = QStringLiteral("T");
        if (!m_sourceFolder.isEmpty())
            lstFiles->addItem(m_sourceFolder + T(texts::FolderSuffix));
    }
}

QStringList TfrmZip::FileSpecs() const
{
    static const QString all = QStringLiteral("*.*");
    QStringList patterns;
    if (SourceKind == QLatin1String("T")) {
        if (!m_sourceFolder.isEmpty())
            patterns << WithSlash(m_sourceFolder) + all;
        return patterns;
    }
    for (const Source& s : m_sources)
        patterns << (s.folder ? WithSlash(s.path) + all : s.path);
    return patterns;
}

QString TfrmZip::ArchivePath() const
{
    const QString name = txtZipFile->currentText();
    if (name.isEmpty() || QDir::isAbsolutePath(name) || m_sourceFolder.isEmpty())
        return name;
    return QDir(m_sourceFolder).filePath(name);
}

void TfrmZip::cmdOKClick()
{
    if (m_running)
        return;
    const QString archive = ArchivePath();
    ZipJob job(ZipJob::Operation::Add, archive);
    TZipComponent& zip = job.Zip;
    zip.Verbose = true;
    zip.Unattended = false;
    zip.AddCompLevel = 9;
    AddOpts options;
    if (!archive.isEmpty() && QFileInfo::exists(archive)) {
        if (optFreshen->isChecked())
            options |= AddFreshen;
        else if (optUpdate->isChecked())
            options |= AddUpdate;
    }
    if (chkSubdirs->isChecked())
        options |= AddRecurseDirs;
    if (chkPaths->isChecked())
        options |= AddDirNames;
    if (chkSpan->isChecked()) {
        // The component never erases a medium: parts go beside what it holds.
        options |= AddDiskSpanErase;
        zip.MaxVolumeSize = qint64(txtMaxVolume->value()) * 1024 * 1024;
    }
    if (!txtPassword->text().trimmed().isEmpty()) {
        zip.Password = txtPassword->text().left(255);
        zip.EncryptionMethod = cboEncryption->currentIndex() == 1 ? ZipEncryption::Aes256 : ZipEncryption::Traditional;
        options |= AddEncrypt;
    }
    zip.AddOptions = options;
    zip.FSpecArgs = FileSpecs();
    // The progress window shows only after a while: no second run meanwhile.
    m_running = true;
    cmdOK->setEnabled(false);
    cmdCancel->setEnabled(false);
    RunZipJob(job, {this, Status1, texts::AddingFile, windowTitle()});
    m_running = false;
    cmdOK->setEnabled(true);
    cmdCancel->setEnabled(true);
    accept();
}

void TfrmZip::cmdCancelClick()
{
    reject();
}

void TfrmZip::reject()
{
    // Closing while a run goes on would leave its progress window without its owner.
    if (!m_running)
        QDialog::reject();
}

void TfrmZip::cmdBrowseClick()
{
    QFileDialog dialog(this, T(texts::SaveTitle), m_sourceFolder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(T(texts::SaveFilter).split(QLatin1Char('\n')));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        txtZipFile->setEditText(dialog.selectedFiles().constFirst());
}

} // namespace corvane::zip
