#pragma once
// The properties dialog of one or more items: name, type, location, size (a folder's content is
// counted in the background), times, permissions, owner and the default application.
#include "core/Job.h"
#include "platform/ShellVerbs.h"

#include <QDialog>

class QFormLayout;
class QLabel;
class QTimer;

namespace corvane::app {

class FolderCountJob;

class TfrmProperties : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmProperties(const platform::VerbTarget& target, QWidget* parent = nullptr);
    ~TfrmProperties() override;

    QLabel* lblSize;
    QLabel* lblContains;
    // True once the background count has finished.
    bool CountDone() const;

private:
    void showCount();

    QFormLayout* m_form;
    // Released on close: a count stuck on a volume that does not answer ends by itself later.
    core::JobPtr<FolderCountJob> m_job;
    QTimer* m_timer;
};

} // namespace corvane::app
