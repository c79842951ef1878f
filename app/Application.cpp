#include "Application.h"

#include "AppTexts.h"
#include "Utility.h"


namespace corvane::app {

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(texts::ProductName));
    setOrganizationName(QString::fromLatin1(texts::ProductName));
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        HandleException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        HandleException(QStringLiteral("Unknown error."));
    }
    return false;
}

void TApplication::HandleException(const QString& message)
{
    if (message.contains(QLatin1String(texts::DroppedMessage)))
        return;
    MsgBox(message, QString(), MB_ICONERROR);
}

} // namespace corvane::app
