#include "FileOpDialogs.h"

#include "core/SizeText.h"
#include "core/Text.h"

#include "ShellDialogTexts.h"
#include "app/Utility.h"
#include "JobProgress.h"
#include "platform/NameCodec.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
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
    return core::SizeTextKB(bytes);
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

ConflictAnswer AskConflict(const ConflictQuestion& q, QWidget* parent)
{
    if (answerers().conflict)
        return answerers().conflict(q);
    // Without an owner a question would open in a corner of the screen, away from the work.
    QDialog dlg(parent ? parent : QApplication::activeWindow());
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
    // Without an owner a question would open in a corner of the screen, away from the work.
    QDialog dlg(parent ? parent : QApplication::activeWindow());
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
    dialogs::TfrmJobProgress progress(*op, title, parent);
    // The job asks on this thread and waits for the answer; a question comes before the progress
    // window while that is not shown yet.
    auto owner = [&progress, parent]() { return progress.isVisible() ? &progress : parent; };
    op->setConflictHandler([owner](const ConflictQuestion& q) { return AskConflict(q, owner()); });
    op->setErrorHandler([owner](const ErrorQuestion& q) { return AskError(q, owner()); });
    op->start();
    if (answerers().started)
        answerers().started(*op);
    progress.Run();
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
