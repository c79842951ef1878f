#pragma once
// Open With: the applications for the file's type, with "always use this application".
#include <QDialog>

class QCheckBox;
class QListWidget;

namespace corvane::app {

class TfrmOpenWith : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmOpenWith(const QByteArray& path, QWidget* parent = nullptr);

    QListWidget* lstApps;
    QCheckBox* chkAlways;

protected:
    void accept() override;

private:
    QByteArray m_path;
};

} // namespace corvane::app
