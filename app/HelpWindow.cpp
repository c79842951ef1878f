#include "HelpWindow.h"

#include "AppTexts.h"
#include "Utility.h"

#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace corvane::app {

THelpWindow::THelpWindow(QWidget* parent)
    : QDialog(parent), m_browser(new QTextBrowser(this))
{
    setWindowTitle(QString::fromLatin1(texts::HelpTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    m_browser->setOpenExternalLinks(true);
    resize(Scaled(640), Scaled(560));
}

void THelpWindow::ShowContents(const QString& helpFile, QWidget* parent)
{
    static QPointer<THelpWindow> window;
    if (!QFileInfo::exists(helpFile)) {
        MsgBox(QString::fromLatin1(texts::HelpMissing), QString::fromLatin1(texts::Error), MB_ICONEXCLAMATION);
        return;
    }
    if (!window)
        window = new THelpWindow(parent);
    window->m_browser->setSource(QUrl::fromLocalFile(helpFile));
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace corvane::app
