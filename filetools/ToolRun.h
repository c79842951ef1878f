#pragma once
// Runs a file tool's job with the one progress window: failures and questions are shown as
// message boxes while the worker waits, and the window comes up only for a long run.
#include <QString>

#include <functional>

class QWidget;

namespace corvane::core {
struct JobProgress;
}

namespace corvane::filetools {

class ToolJob;

// A run longer than this shows its progress.
inline constexpr int ToolProgressDelayMs = 500;

void RunToolJob(ToolJob& job, const QString& title, QWidget* parent,
                const std::function<void(const core::JobProgress&)>& onUpdate = {});

// The folder the selected items of the current explorer list are listed from (the tree names
// the same folder, except for a virtual folder or a hand-over still pending), and their file
// names in the list's order; folders are left out. `shown` gets the names as the list shows them.
QString SelectedFiles(QStringList* names, QStringList* shown = nullptr);

} // namespace corvane::filetools
