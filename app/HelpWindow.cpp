#include "HelpWindow.h"

#include "AppTexts.h"
#include "Utility.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QPointer>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace corvane::app {

THelpWindow::THelpWindow(QWidget* parent)
    : QDialog(parent), m_browser(new QTextBrowser(this))
{
    setWindowTitle(QString::fromLatin1(texts::HelpTitle));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Back to the page before and Home to the contents page, as the browser remembers them.
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(Scaled(4), Scaled(4), Scaled(4), Scaled(4));
    cmdBack = new QToolButton(this);
    cmdBack->setText(QString::fromLatin1(texts::HelpBack));
    cmdBack->setIcon(QIcon::fromTheme(QStringLiteral("go-previous")));
    cmdBack->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    cmdBack->setEnabled(false);
    cmdHome = new QToolButton(this);
    cmdHome->setText(QString::fromLatin1(texts::HelpHome));
    cmdHome->setIcon(QIcon::fromTheme(QStringLiteral("go-home")));
    cmdHome->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdHome);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    connect(cmdBack, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(cmdHome, &QToolButton::clicked, m_browser, &QTextBrowser::home);
    connect(m_browser, &QTextBrowser::backwardAvailable, cmdBack, &QToolButton::setEnabled);
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
    // A fresh history, so that Home is the contents page.
    window->m_browser->clearHistory();
    window->m_browser->setSource(QUrl::fromLocalFile(helpFile));
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace corvane::app
