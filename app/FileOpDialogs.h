#pragma once
// The dialogs of a running file operation: progress (shown after about a second, with the current
// file, bytes, rate and Cancel), the conflict question and the error question. The job runs on
// its worker thread; its questions are asked here on the user-interface thread.
#include "platform/FileOperation.h"

#include <QDialog>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QProgressBar;
class QTimer;

namespace corvane::app {

class TfrmFileOpProgress : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFileOpProgress(platform::FileOperation& op, const QString& title, QWidget* parent = nullptr);
    void UpdateProgress();

    QLabel* lblFile;
    QLabel* lblBytes;
    QProgressBar* prgBytes;

protected:
    void reject() override;

private:
    platform::FileOperation& m_op;
};

// Answers the questions while a test or an unattended run is going on (instead of the dialogs).
struct FileOpAnswerers {
    std::function<platform::ConflictAnswer(const platform::ConflictQuestion&)> conflict;
    std::function<platform::ErrorAnswer(const platform::ErrorQuestion&)> error;
    // Called once the job has started (a test may cancel it here).
    std::function<void(platform::FileOperation&)> started;
};
void SetFileOpAnswerers(FileOpAnswerers answerers);

platform::ConflictAnswer AskConflict(const platform::ConflictQuestion& q, QWidget* parent);
platform::ErrorAnswer AskError(const platform::ErrorQuestion& q, QWidget* parent);

// Runs the job to its end, keeping the window alive, and reports refusals and skipped items.
platform::FileOpResult RunFileOperation(std::unique_ptr<platform::FileOperation> op, const QString& title,
                                        QWidget* parent = nullptr);

} // namespace corvane::app
