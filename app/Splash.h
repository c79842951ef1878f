#pragma once
#include <QWidget>

namespace corvane::app {

// The start-up picture, shown while the main window is built.
class TfrmSplash : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmSplash(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* e) override;
};

} // namespace corvane::app
