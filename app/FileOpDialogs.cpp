#include "FileOpDialogs.h"

#include "core/Text.h"

#include "ShellUiTexts.h"
#include "Utility.h"
#include "platform/NameCodec.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace corvane::app {

using core::Text;

using namespace platform;

namespace {

FileOpAnswerers& answerers()
{
    static FileOpAnswerers a;
    return a;
}

QString fileName(const QByteArray& path)
{
    return ReadableName(BaseName(path));
}

QString folderName(const QByteArray& path)
{
    return ReadableName(ParentOf(path));
}

QString sizeText(qint64 bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString timeText(std::time_t t)
{
    return QLocale::system().toString(QDateTime::fromSecsSinceEpoch(qint64(t)), QLocale::ShortFormat);
}

} // namespace

void SetFileOpAnswerers(FileOpAnswerers a)
{
    answerers() = std::move(a);
}

TfrmFileOpProgress::TfrmFileOpProgress(FileOperation& op, const QString& title, QWidget* parent)
    : QDialog(parent), m_op(op)
{
    setWindowTitle(title);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    lblFile = new QLabel(Text(shelltexts::Counting), this);
    lblFile->setMinimumWidth(Scaled(480));
    lblFile->setTextFormat(Qt::PlainText);
    prgBytes = new QProgressBar(this);
    prgBytes->setRange(0, 1000);
    lblBytes = new QLabel(this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cmdCancel = buttons->addButton(Text(shelltexts::Cancel), QDialogButtonBox::RejectRole);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmFileOpProgress::reject);
    layout->addWidget(lblFile);
    layout->addWidget(prgBytes);
    layout->addWidget(lblBytes);
    layout->addWidget(buttons);
}

void TfrmFileOpProgress::UpdateProgress()
{
    const FileOpProgress p = m_op.progress();
    if (p.scanning) {
        lblFile->setText(Text(shelltexts::Counting));
        prgBytes->setRange(0, 0);
        lblBytes->setText(QString::fromUtf8(shelltexts::ProgressItems).arg(p.doneItems).arg(p.totalItems));
        return;
    }
    prgBytes->setRange(0, 1000);
    if (!p.currentFile.isEmpty())
        lblFile->setText(fileName(p.currentFile) + QStringLiteral("\n") + folderName(p.currentFile));
    if (p.totalBytes > 0) {
        prgBytes->setValue(int(1000.0 * double(p.doneBytes) / double(p.totalBytes)));
        lblBytes->setText(QString::fromUtf8(shelltexts::ProgressBytes)
                              .arg(sizeText(p.doneBytes), sizeText(p.totalBytes), sizeText(qint64(p.bytesPerSecond))));
    } else {
        prgBytes->setValue(p.totalItems > 0 ? int(1000 * p.doneItems / p.totalItems) : 0);
        lblBytes->setText(QString::fromUtf8(shelltexts::ProgressItems).arg(p.doneItems).arg(p.totalItems));
    }
}

void TfrmFileOpProgress::reject()
{
    // The dialog stays until the job has stopped; the job removes what it had half done.
    m_op.cancel();
}

ConflictAnswer AskConflict(const ConflictQuestion& q, QWidget* parent)
{
    if (answerers().conflict)
        return answerers().conflict(q);
    QDialog dlg(parent);
    dlg.setWindowTitle(Text(shelltexts::ConflictCaption));
    auto* layout = new QVBoxLayout(&dlg);
    auto* lblText = new QLabel(QString::fromUtf8(q.targetIsFolder ? shelltexts::ConflictFolder : shelltexts::ConflictFile)
                                   .arg(fileName(q.target), folderName(q.target)),
                               &dlg);
    lblText->setTextFormat(Qt::PlainText);
    lblText->setWordWrap(true);
    auto* lblExisting = new QLabel(QString::fromUtf8(shelltexts::ConflictExisting)
                                       .arg(sizeText(q.targetSize), timeText(q.targetModified)),
                                   &dlg);
    auto* lblNew = new QLabel(QString::fromUtf8(shelltexts::ConflictNew).arg(sizeText(q.sourceSize), timeText(q.sourceModified)),
                              &dlg);
    auto* chkAll = new QCheckBox(Text(shelltexts::ApplyToAll), &dlg);
    auto* buttons = new QDialogButtonBox(&dlg);
    ConflictAction action = ConflictAction::Cancel;
    auto add = [&](const char* caption, ConflictAction a) {
        QPushButton* b = buttons->addButton(Text(caption), QDialogButtonBox::ActionRole);
        QObject::connect(b, &QPushButton::clicked, &dlg, [&dlg, &action, a] {
            action = a;
            dlg.accept();
        });
        return b;
    };
    if (q.canReplace)
        add(q.sourceIsFolder && q.targetIsFolder ? shelltexts::Merge : shelltexts::Replace, ConflictAction::Replace);
    add(shelltexts::Skip, ConflictAction::Skip)->setDefault(true);
    add(shelltexts::KeepBoth, ConflictAction::KeepBoth);
    add(shelltexts::Cancel, ConflictAction::Cancel);
    layout->addWidget(lblText);
    layout->addWidget(lblExisting);
    layout->addWidget(lblNew);
    layout->addWidget(chkAll);
    layout->addWidget(buttons);
    dlg.exec();
    return {action, chkAll->isChecked() && action != ConflictAction::Cancel};
}

ErrorAnswer AskError(const ErrorQuestion& q, QWidget* parent)
{
    if (answerers().error)
        return answerers().error(q);
    QDialog dlg(parent);
    dlg.setWindowTitle(Text(shelltexts::Error));
    auto* layout = new QVBoxLayout(&dlg);
    auto* lblText = new QLabel(QString::fromUtf8(shelltexts::ErrorQuestion).arg(q.action, ReadableName(q.path), q.message), &dlg);
    lblText->setTextFormat(Qt::PlainText);
    lblText->setWordWrap(true);
    auto* chkAll = new QCheckBox(Text(shelltexts::ApplyToAll), &dlg);
    auto* buttons = new QDialogButtonBox(&dlg);
    ErrorAction action = ErrorAction::Cancel;
    auto add = [&](const char* caption, ErrorAction a) {
        QPushButton* b = buttons->addButton(Text(caption), QDialogButtonBox::ActionRole);
        QObject::connect(b, &QPushButton::clicked, &dlg, [&dlg, &action, a] {
            action = a;
            dlg.accept();
        });
        return b;
    };
    add(shelltexts::Retry, ErrorAction::Retry)->setDefault(true);
    add(shelltexts::Skip, ErrorAction::Skip);
    add(shelltexts::Cancel, ErrorAction::Cancel);
    layout->addWidget(lblText);
    layout->addWidget(chkAll);
    layout->addWidget(buttons);
    dlg.exec();
    return {action, chkAll->isChecked() && action == ErrorAction::Skip};
}

FileOpResult RunFileOperation(std::unique_ptr<FileOperation> op, const QString& title, QWidget* parent)
{
    TfrmFileOpProgress dlg(*op, title, parent);
    // The job asks on this thread and waits for the answer.
    op->setConflictHandler([&dlg](const ConflictQuestion& q) { return AskConflict(q, &dlg); });
    op->setErrorHandler([&dlg](const ErrorQuestion& q) { return AskError(q, &dlg); });
    QEventLoop loop;
    QObject::connect(op.get(), &FileOperation::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer poll;
    poll.setInterval(250);
    QElapsedTimer since;
    since.start();
    QObject::connect(&poll, &QTimer::timeout, &dlg, [&] {
        // Short jobs finish without a dialog flashing up.
        if (!dlg.isVisible() && since.elapsed() >= 1000)
            dlg.show();
        if (dlg.isVisible())
            dlg.UpdateProgress();
    });
    op->start();
    if (answerers().started)
        answerers().started(*op);
    poll.start();
    if (!op->isFinished())
        loop.exec();
    op->wait();
    poll.stop();
    dlg.hide();
    FileOpResult result = op->result();
    if (result.status == FileOpResult::Refused && !result.message.isEmpty())
        MsgBox(result.message, Text(shelltexts::Error), MB_ICONEXCLAMATION);
    if (!result.skipped.empty()) {
        QStringList lines;
        for (size_t i = 0; i < result.skipped.size() && i < 10; ++i)
            lines << result.skipped[i].message;
        if (result.skipped.size() > 10)
            lines << QStringLiteral("...");
        MsgBox(QString::fromUtf8(shelltexts::SomeSkipped).arg(lines.join(QLatin1Char('\n'))), Text(shelltexts::Error),
               MB_ICONEXCLAMATION);
    }
    return result;
}

} // namespace corvane::app
