#pragma once
// The properties dialog of one or more items: name, type, location, size (a folder's content is
// counted in the background), times, permissions, owner and the default application.
#include "platform/ShellVerbs.h"

#include <QDialog>
#include <atomic>
#include <memory>

class QFormLayout;
class QLabel;
class QTimer;

namespace corvane::app {

class TfrmProperties : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmProperties(const platform::VerbTarget& target, QWidget* parent = nullptr);
    ~TfrmProperties() override;

    QLabel* lblSize;
    QLabel* lblContains;
    // True once the background count has finished.
    bool CountDone() const { return m_count->done.load(); }

private:
    struct Count {
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
        std::atomic<qint64> bytes{0};
        std::atomic<qint64> files{0};
        std::atomic<qint64> folders{0};
    };
    void showCount();

    QFormLayout* m_form;
    // Shared with the counting thread, which may outlive the dialog: a count stuck on a
    // volume that does not answer must not hold up closing it.
    std::shared_ptr<Count> m_count;
    QTimer* m_timer;
};

} // namespace corvane::app
