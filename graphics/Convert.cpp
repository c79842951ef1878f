#include "Convert.h"

#include "GraphicsTexts.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "dialogs/JobProgress.h"
#include "core/Job.h"
#include "imaging/ConvertJob.h"
#include "platform/NameCodec.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

#include <QButtonGroup>
#include <QCollator>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QStatusBar>

#include <algorithm>

namespace corvane::graphics {

using app::Scaled;

TfrmConvert* frmConvert = nullptr;

namespace {

QString Text(const char* text)
{
    return QString::fromLatin1(text).replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

constexpr imaging::PictureFormat kFormats[] = {imaging::PictureFormat::Bmp, imaging::PictureFormat::Gif,
                                               imaging::PictureFormat::Jpeg, imaging::PictureFormat::Pcx,
                                               imaging::PictureFormat::Png, imaging::PictureFormat::Tiff};

QString FolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? QString() : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

TfrmConvert::TfrmConvert(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmConvert"));
    setWindowTitle(Text(texts::ConvertCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    GroupBox1 = new QGroupBox(Text(texts::SelectDestination), this);
    treeDest = new shellctl::TShellTree(GroupBox1);
    treeDest->SetOptions(treeDest->Options() & ~(shellctl::stoOleDrag | shellctl::stoOleDrop | shellctl::stoContextMenus));
    treeDest->setRootIsDecorated(false);
    treeDest->setIndentation(Scaled(19));
    treeDest->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Label1 = new QLabel(Text(texts::SourceFolder), this);
    lblSourceFolder = new QLabel(this);
    lblSourceFolder->setTextFormat(Qt::PlainText);
    grpSource = new QGroupBox(Text(texts::FilesToConvert), this);
    lstFiles = new QListWidget(grpSource);

    grpFormat = new QGroupBox(Text(texts::ConvertTo), this);
    m_formats = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        optFormat[i] = new QRadioButton(Text(texts::Formats[i]), grpFormat);
        m_formats->addButton(optFormat[i], i);
    }
    connect(m_formats, &QButtonGroup::idClicked, this, [this] { grpFormatClick(); });

    grpColors = new QGroupBox(Text(texts::Colors), this);
    QRadioButton** colors[] = {&optColors4, &optColors8, &optColors16, &optColors256, &optColors16M};
    for (int i = 0; i < 5; ++i)
        *colors[i] = new QRadioButton(Text(texts::ColorChoices[i]), grpColors);

    grpJPEGQuality = new QGroupBox(Text(texts::JpegQuality), this);
    grpJPEGQuality->setEnabled(false);
    trkJPEGQuality = new QSlider(Qt::Horizontal, grpJPEGQuality);
    trkJPEGQuality->setRange(0, 100);
    trkJPEGQuality->setSingleStep(10);
    trkJPEGQuality->setPageStep(10);
    trkJPEGQuality->setTickInterval(10);
    trkJPEGQuality->setTickPosition(QSlider::TicksBelow);
    // Steps of 10: a drag lands on a tick as well.
    connect(trkJPEGQuality, &QSlider::valueChanged, this, [this](int v) {
        const int snapped = (v + 5) / 10 * 10;
        if (snapped != v)
            trkJPEGQuality->setValue(snapped);
    });
    lblLow = new QLabel(Text(texts::QualityLow), grpJPEGQuality);
    lblHigh = new QLabel(Text(texts::QualityHigh), grpJPEGQuality);
    lblHigh->setAlignment(Qt::AlignRight | Qt::AlignTop);

    cmdConvert = new QPushButton(Text(texts::Convert), this);
    cmdConvert->setDefault(true);
    cmdCancel = new QPushButton(Text(texts::Cancel), this);
    Status1 = new QStatusBar(this);
    Status1->setSizeGripEnabled(false);

    connect(cmdConvert, &QPushButton::clicked, this, &TfrmConvert::cmdConvertClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmConvert::cmdCancelClick);
    layoutControls();
}

TfrmConvert::~TfrmConvert()
{
    if (frmConvert == this)
        frmConvert = nullptr;
}

void TfrmConvert::layoutControls()
{
    // The form's own positions at 120 pixels per inch, client area 537 x 425.
    auto at = [](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(Scaled(x), Scaled(y), Scaled(width), Scaled(height));
    };
    at(Label1, 10, 8, 250, 20);
    at(lblSourceFolder, 10, 28, 250, 20);
    at(grpSource, 8, 52, 254, 170);
    at(lstFiles, 10, 24, 234, 136);
    at(grpFormat, 8, 228, 120, 164);
    for (int i = 0; i < 6; ++i)
        at(optFormat[i], 12, 24 + i * 22, 100, 20);
    at(grpColors, 136, 228, 126, 164);
    QRadioButton* colors[] = {optColors4, optColors8, optColors16, optColors256, optColors16M};
    for (int i = 0; i < 5; ++i)
        at(colors[i], 12, 24 + i * 22, 110, 20);
    at(GroupBox1, 272, 8, 257, 262);
    at(treeDest, 8, 24, 241, 230);
    at(grpJPEGQuality, 272, 276, 257, 86);
    at(trkJPEGQuality, 8, 22, 241, 30);
    at(lblLow, 8, 52, 110, 32);
    at(lblHigh, 139, 52, 110, 32);
    at(cmdConvert, 330, 366, 96, 28);
    at(cmdCancel, 433, 366, 96, 28);
    const int statusH = std::max(Scaled(22), Status1->sizeHint().height());
    setFixedSize(Scaled(537), Scaled(400) + statusH);
    Status1->setGeometry(0, height() - statusH, width(), statusH);
}

int TfrmConvert::ExecuteForFile(const QString& path)
{
    LaunchedFromPreview = true;
    CurrentFile = path;
    const int result = exec();
    LaunchedFromPreview = false;
    return result;
}

void TfrmConvert::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmConvert::FormShow()
{
    const bool changed = !optFormat[0]->isChecked();
    optFormat[0]->setChecked(true);
    if (changed || !optColors16M->isChecked())
        grpFormatClick();
    Status1->clearMessage();

    fillFiles();
    // The dialog has a fixed width: a long path loses its middle, never the folder's name.
    const QString shown = platform::ReadableName(platform::EncodeName(m_sourceFolder));
    lblSourceFolder->setText(lblSourceFolder->fontMetrics().elidedText(shown, Qt::ElideMiddle, lblSourceFolder->width()));
    lblSourceFolder->setToolTip(shown);
    // Folders made since the dialog was last open must be there to pick.
    treeDest->RefreshTree();
    treeDest->SelectPath(m_sourceFolder);
    treeDest->setFocus();
    trkJPEGQuality->setValue(100);
}

void TfrmConvert::fillFiles()
{
    lstFiles->clear();
    m_sourceFolder = app::CurShellTree ? app::CurShellTree->SelectedPath() : QString();
    QStringList names;
    if (LaunchedFromPreview) {
        // The previewed file is read where it is, whichever folder the explorer shows by now.
        if (!CurrentFile.isEmpty()) {
            m_sourceFolder = FolderOf(CurrentFile);
            names << CurrentFile.mid(CurrentFile.lastIndexOf(u'/') + 1);
        }
    } else if (app::CurShellList) {
        const QString extensions = QString::fromLatin1(texts::ConvertExtensions);
        for (shellctl::TShListData* data : app::CurShellList->SelectedItems()) {
            const QString path = data->Path();
            if (data->IsFolder() || !app::ExtensionInList(path, extensions))
                continue;
            // The files are read from the folder they are listed from.
            if (names.isEmpty())
                m_sourceFolder = FolderOf(path);
            names << path.mid(path.lastIndexOf(u'/') + 1);
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), [&collator](const QString& a, const QString& b) {
        const int c = collator.compare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(platform::ReadableName(platform::EncodeName(name)), lstFiles);
        item->setData(Qt::UserRole, name);
    }
}

void TfrmConvert::grpFormatClick()
{
    QRadioButton* colors[] = {optColors4, optColors8, optColors16, optColors256, optColors16M};
    for (QRadioButton* o : colors)
        o->setEnabled(false);
    grpJPEGQuality->setEnabled(false);
    struct Row {
        bool enabled[5];
        int checked;
    };
    // Per format: which of 4, 8, 16, 256, 16 Million may be chosen, and which is checked.
    static constexpr Row kRows[] = {
        {{false, false, true, true, true}, 4},   // BMP
        {{true, true, true, true, false}, 3},    // GIF
        {{false, false, false, false, true}, 4}, // JPEG
        {{false, false, true, true, true}, 4},   // PCX
        {{false, false, false, true, true}, 4},  // PNG
        {{false, false, true, true, true}, 4},   // TIFF
    };
    const int format = FormatIndex();
    if (format < 0)
        return;
    for (int i = 0; i < 5; ++i)
        colors[i]->setEnabled(kRows[format].enabled[i]);
    colors[kRows[format].checked]->setChecked(true);
    if (kFormats[format] == imaging::PictureFormat::Jpeg)
        grpJPEGQuality->setEnabled(true);
}

int TfrmConvert::FormatIndex() const
{
    return m_formats->checkedId();
}

int TfrmConvert::ColorCode() const
{
    const QRadioButton* colors[] = {optColors4, optColors8, optColors16, optColors256, optColors16M};
    for (int i = 0; i < 5; ++i)
        if (colors[i]->isChecked())
            return i;
    return 4;
}

void TfrmConvert::cmdConvertClick()
{
    if (m_running || FormatIndex() < 0)
        return;
    imaging::ConvertInput input;
    input.sourceFolder = m_sourceFolder;
    for (int i = 0; i < lstFiles->count(); ++i)
        input.names << lstFiles->item(i)->data(Qt::UserRole).toString();
    input.destFolder = treeDest->SelectedPath();
    input.format = kFormats[FormatIndex()];
    input.colors = imaging::ColorChoice(ColorCode());
    input.jpegQuality = trkJPEGQuality->value();

    m_running = true;
    for (QWidget* w : std::initializer_list<QWidget*>{treeDest, grpFormat, grpColors, grpJPEGQuality, cmdConvert})
        w->setEnabled(false);
    imaging::ConvertJob job(input);
    {
        dialogs::TfrmJobProgress progress(job, windowTitle(), this);
        m_progress = &progress;
        progress.OnUpdate = [this](const core::JobProgress& p) { showStatus(p); };
        progress.Run();
        m_progress = nullptr;
    }
    showStatus(job.progress());
    m_running = false;
    for (QWidget* w : std::initializer_list<QWidget*>{treeDest, grpFormat, grpColors, cmdConvert})
        w->setEnabled(true);
    grpFormatClick();

    // Failures in list order, each naming its file; the others were converted meanwhile.
    const auto outcomes = job.Outcomes();
    for (size_t i = 0; i < outcomes.size(); ++i)
        if (outcomes[i] == imaging::ConvertJob::Outcome::Failed)
            app::MsgBox(Text(texts::UnableToConvert) + platform::ReadableName(platform::EncodeName(job.SourcePath(int(i)))),
                        Text(texts::Error), app::MB_ICONEXCLAMATION);
    if (app::CurShellList)
        app::CurShellList->RefreshList();
    accept();
}

void TfrmConvert::showStatus(const core::JobProgress& p)
{
    if (!p.text.isEmpty())
        Status1->showMessage(Text(texts::Converting) + p.text);
}

void TfrmConvert::cmdCancelClick()
{
    reject();
}

void TfrmConvert::done(int result)
{
    if (m_running) {
        // Closing the window while files are converted stops after the current ones.
        if (m_progress)
            m_progress->reject();
        return;
    }
    QDialog::done(result);
}

} // namespace corvane::graphics

namespace corvane::app {

void ConvertGraphic(const QString& currentFile)
{
    if (graphics::frmConvert)
        graphics::frmConvert->ExecuteForFile(currentFile);
}

} // namespace corvane::app
