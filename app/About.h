#pragma once
#include <QDialog>

namespace corvane::app {

class TfrmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);
};

} // namespace corvane::app
