#pragma once
// The help window: the user manual, opened at its contents page.
#include <QDialog>

class QTextBrowser;
class QToolButton;

namespace corvane::app {

class THelpWindow : public QDialog
{
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* parent = nullptr);
    static void ShowContents(const QString& helpFile, QWidget* parent);
    QTextBrowser* Browser() const { return m_browser; }
    QToolButton* cmdBack;
    QToolButton* cmdHome;

private:
    QTextBrowser* m_browser;
};

} // namespace corvane::app
