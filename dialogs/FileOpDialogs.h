#pragma once
// Running a file operation with the shared progress window (dialogs/JobProgress.h), and the
// conflict and error questions it asks. The job runs on its worker thread; its questions are
// asked here on the user-interface thread.
#include "platform/FileOperation.h"

#include <functional>
#include <memory>

class QWidget;

namespace corvane::app {

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

// Runs the job to its end under the progress window, keeping the other windows alive, and reports
// refusals and skipped items.
platform::FileOpResult RunFileOperation(std::unique_ptr<platform::FileOperation> op, const QString& title,
                                        QWidget* parent = nullptr);

} // namespace corvane::app
