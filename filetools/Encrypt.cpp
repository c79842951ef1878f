#include "Encrypt.h"

#include "engine/EncryptTexts.h"
#include "app/Globals.h"
#include "dialogs/JobProgress.h"
#include "engine/CryptJob.h"
#include "app/Utility.h"
#include "platform/NameCodec.h"
#include "platform/Volumes.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

#include <QApplication>
#include <QCollator>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>
#include <optional>

namespace corvane::filetools {

namespace C = EncryptConsts;
using app::Scaled;

TfrmEncrypt* frmEncrypt = nullptr;

namespace {

QString Concat(QLatin1String a, QLatin1String b)
{
    return QString(a) + b;
}

QString Readable(const QString& name)
{
    return platform::ReadableName(platform::EncodeName(name));
}

unsigned MsgBoxStyle(CryptMessage::Icon icon)
{
    switch (icon) {
    case CryptMessage::Icon::Information:
        return app::MB_ICONINFORMATION;
    case CryptMessage::Icon::Warning:
        return app::MB_ICONEXCLAMATION;
    case CryptMessage::Icon::Critical:
        return app::MB_ICONERROR;
    }
    return app::MB_ICONEXCLAMATION;
}

} // namespace

TfrmEncrypt::TfrmEncrypt(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEncrypt"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    grpFiles = new QGroupBox(this);
    lblSourceFolder = new QLabel(grpFiles);
    lblSourceFolder->setTextFormat(Qt::PlainText);
    lstFiles = new QListWidget(grpFiles);
    lstFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    treeDest = new shellctl::TShellTree(this);
    // The destination tree is for picking a folder, not for working on it.
    treeDest->SetOptions(treeDest->Options() & ~(shellctl::stoOleDrag | shellctl::stoOleDrop));
    lblKey = new QLabel(this);
    txtKey = new QLineEdit(this);
    lblKey->setBuddy(txtKey);
    cmdOK = new QPushButton(this);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QString(C::sCancel), this);
    grpNote = new QGroupBox(this);
    lblNote = new QLabel(QString(C::sNote), grpNote);
    lblNote->setWordWrap(true);

    setTabOrder(treeDest, txtKey);
    setTabOrder(txtKey, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    setTabOrder(cmdCancel, lstFiles);

    connect(cmdOK, &QPushButton::clicked, this, &TfrmEncrypt::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmEncrypt::cmdCancelClick);
    layoutControls();
}

TfrmEncrypt::~TfrmEncrypt()
{
    if (frmEncrypt == this)
        frmEncrypt = nullptr;
}

int TfrmEncrypt::Execute(const QString& mode)
{
    Mode = mode;
    return exec();
}

void TfrmEncrypt::layoutControls()
{
    // Positions are the form's own, at 120 pixels per inch; heights of text controls follow
    // the font so that nothing is clipped.
    const int w = Scaled(600);
    const int m = Scaled(12);
    const int fh = fontMetrics().height();
    const int colW = (w - 3 * m) / 2;

    const int grpTop = Scaled(6);
    const int grpH = Scaled(300);
    grpFiles->setGeometry(m, grpTop, colW, grpH);
    const int pad = Scaled(10);
    const int labelTop = fh + Scaled(4);
    lblSourceFolder->setGeometry(pad, labelTop, colW - 2 * pad, fh + Scaled(4));
    const int listTop = lblSourceFolder->geometry().bottom() + 1 + Scaled(4);
    lstFiles->setGeometry(pad, listTop, colW - 2 * pad, grpH - listTop - pad);
    // The tree lines up with the frame of the group box, not with its title.
    treeDest->setGeometry(2 * m + colW, grpTop + fh / 2, colW, grpH - fh / 2);

    const int keyTop = grpTop + grpH + Scaled(10);
    lblKey->setGeometry(m, keyTop, colW, lblKey->sizeHint().height());
    const int buttonW = Scaled(100);
    const int gap = Scaled(8);
    const int editH = txtKey->sizeHint().height();
    const int buttonH = std::max(cmdOK->sizeHint().height(), editH);
    const int editTop = lblKey->geometry().bottom() + 1 + Scaled(4);
    txtKey->setGeometry(m, editTop, w - 2 * m - 2 * (buttonW + gap), editH);
    const int buttonTop = editTop + (editH - buttonH) / 2;
    cmdOK->setGeometry(w - m - 2 * buttonW - gap, buttonTop, buttonW, buttonH);
    cmdCancel->setGeometry(w - m - buttonW, buttonTop, buttonW, buttonH);

    const int noteW = w - 2 * m;
    const int noteTextW = noteW - 2 * pad;
    const int noteTextH = lblNote->heightForWidth(noteTextW);
    grpNote->setGeometry(m, std::max(editTop + editH, buttonTop + buttonH) + Scaled(12), noteW, noteTextH + 2 * pad);
    lblNote->setGeometry(pad, pad, noteTextW, noteTextH);

    const bool encrypting = mode() == CryptMode::Encrypt;
    const QRect last = encrypting ? grpNote->geometry() : cmdOK->geometry();
    setFixedSize(w, last.bottom() + 1 + m);
}

void TfrmEncrypt::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmEncrypt::FormShow()
{
    const bool encrypting = mode() == CryptMode::Encrypt;
    setWindowTitle(Concat(encrypting ? C::sWindowEn : C::sWindowDe, C::sWindowStem));
    cmdOK->setText(Concat(encrypting ? C::sOkEn : C::sOkDe, C::sOkStem));
    lblKey->setText(Concat(encrypting ? C::sKeyEn : C::sKeyDe, C::sKeyStem));
    grpFiles->setTitle(QString(C::sFilesHead) + (encrypting ? C::sFilesEn : C::sFilesDe) + C::sFilesTail);
    grpNote->setVisible(encrypting);
    layoutControls();

    fillFiles();
    // The dialog has a fixed width: a long path loses its middle, never the folder's name.
    const QString source = Readable(m_sourceFolder);
    lblSourceFolder->setText(lblSourceFolder->fontMetrics().elidedText(source, Qt::ElideMiddle, lblSourceFolder->width()));
    lblSourceFolder->setToolTip(source);

    const QString root = platform::DecodeName(platform::VolumeRootOf(platform::EncodeName(m_sourceFolder)));
    // The dialog lives for the whole run of the program: folders made since it was last
    // open must be there to pick.
    treeDest->RefreshTree();
    treeDest->SelectPath(root);
    if (QTreeWidgetItem* node = treeDest->currentItem())
        node->setExpanded(true);
    if (QTreeWidgetItem* first = treeDest->topLevelItem(0))
        treeDest->scrollToItem(first);
    treeDest->setFocus();

    txtKey->clear();
}

void TfrmEncrypt::fillFiles()
{
    lstFiles->clear();
    m_sourceFolder = app::CurShellTree ? app::CurShellTree->SelectedPath() : QString();
    struct Entry {
        QString shown;
        QString name;
    };
    std::vector<Entry> entries;
    if (app::CurShellList) {
        for (shellctl::TShListData* data : app::CurShellList->SelectedItems()) {
            if (data->IsFolder())
                continue;
            const QString path = data->Path();
            const qsizetype slash = path.lastIndexOf(u'/');
            // The files are read from the folder they are listed from. The tree names the
            // same folder, except for a virtual folder (no path) or a hand-over still pending.
            if (entries.empty() && slash >= 0)
                m_sourceFolder = slash == 0 ? QStringLiteral("/") : path.left(slash);
            const QString name = path.mid(slash + 1);
            entries.push_back({Readable(name), name});
        }
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(entries.begin(), entries.end(), [&collator](const Entry& a, const Entry& b) {
        const int c = collator.compare(a.shown, b.shown);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    for (const Entry& e : entries) {
        auto* item = new QListWidgetItem(e.shown, lstFiles);
        item->setData(Qt::UserRole, e.name);
    }
}

QStringList TfrmEncrypt::FileNames() const
{
    QStringList names;
    names.reserve(lstFiles->count());
    for (int i = 0; i < lstFiles->count(); ++i)
        names.append(lstFiles->item(i)->data(Qt::UserRole).toString());
    return names;
}

void TfrmEncrypt::cmdOKClick()
{
    if (m_running)
        return;
    CryptRunInput input;
    input.mode = mode();
    input.passPhrase = txtKey->text();
    input.sourceFolder = m_sourceFolder;
    input.destFolder = treeDest->SelectedPath();
    QTreeWidgetItem* const selected = treeDest->currentItem();
    input.destIsTopItem = selected && selected == treeDest->topLevelItem(0);
    input.names = FileNames();

    const QString problem = CheckCryptRun(input);
    if (!problem.isEmpty()) {
        app::MsgBox(problem, QString(C::sCaptionError), app::MB_ICONEXCLAMATION);
        return;
    }
    const CryptRunResult result = runOnWorker(input);
    // An input/output error leaves the dialog open, as a failed check does; its message
    // came during the run.
    if (result.status == CryptRunResult::Status::Completed)
        accept();
    else if (result.status == CryptRunResult::Status::Cancelled)
        reject();
}

void TfrmEncrypt::cmdCancelClick()
{
    reject();
}

void TfrmEncrypt::done(int result)
{
    if (m_running) {
        // Closing the window while a run goes on stops the run; the dialog closes after it.
        if (m_progress)
            m_progress->reject();
        return;
    }
    txtKey->clear();
    QDialog::done(result);
}

CryptRunResult TfrmEncrypt::runOnWorker(const CryptRunInput& input)
{
    m_running = true;
    setControlsEnabled(false);

    CryptJob job(input);
    job.OnMessage = [this](const CryptMessage& message) { showMessage(message); };
    dialogs::TfrmJobProgress progress(job, windowTitle(), this);
    m_progress = &progress;
    progress.OnUpdate = [this](const core::JobProgress& p) {
        const int row = int(std::min<qint64>(p.doneItems, lstFiles->count() - 1));
        if (row >= 0 && lstFiles->currentRow() != row)
            lstFiles->setCurrentRow(row);
    };
    progress.Run(ProgressDelayMs);
    m_progress = nullptr;
    const CryptRunResult result = job.Result();
    std::optional<CryptMessage> finalMessage = job.FinalMessage();

    m_running = false;
    setControlsEnabled(true);
    lstFiles->clearSelection();
    lstFiles->setCurrentRow(-1);
    if (result.status == CryptRunResult::Status::Cancelled)
        finalMessage = CryptMessage{CryptMessage::Icon::Information, QString(C::sCaptionProgram),
                                    CryptCountMessage(input.mode, result.filesDone)};
    if (finalMessage)
        showMessage(*finalMessage);
    return result;
}

void TfrmEncrypt::showMessage(const CryptMessage& message)
{
    app::MsgBox(message.text, message.caption, MsgBoxStyle(message.icon));
}

dialogs::TfrmJobProgress* TfrmEncrypt::ProgressWindow() const
{
    return m_progress;
}

void TfrmEncrypt::setControlsEnabled(bool on)
{
    for (QWidget* w : std::initializer_list<QWidget*>{treeDest, txtKey, cmdOK})
        w->setEnabled(on);
}

} // namespace corvane::filetools
