#pragma once
// The one progress window of long work. It polls its job a few times a second, shows itself once
// the job has run for about a second (short jobs finish without a window flashing up), and its
// Cancel cancels the job; the window stays until the job has stopped.
#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace corvane::core {
class Job;
struct JobProgress;
}

namespace corvane::dialogs {

class TfrmJobProgress : public QDialog
{
    Q_OBJECT
public:
    TfrmJobProgress(core::Job& job, const QString& title, QWidget* parent = nullptr);

    // Reads the job's latest snapshot into the window.
    void UpdateProgress();
    // Runs the job to its end, keeping the other windows alive, with this window shown after
    // showAfterMs. Questions the job asks meanwhile are answered on this thread.
    void Run(int showAfterMs = 1000);

    // Called at every poll, shown or not, with the job's latest snapshot.
    std::function<void(const core::JobProgress&)> OnUpdate;

    QLabel* lblFile;
    QProgressBar* prgBytes;
    QLabel* lblBytes;
    QPushButton* cmdCancel;

    // Cancels the job; the window stays until the job has stopped.
    void reject() override;

private:
    core::Job& m_job;
};

} // namespace corvane::dialogs
