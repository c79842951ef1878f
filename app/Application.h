#pragma once
// The application object; it holds the handler for exceptions that escape an event handler.
#include <QApplication>
#include <exception>

namespace corvane::app {

class TApplication : public QApplication
{
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Shows the exception in the standard error box, except invalid-address reads, which are dropped.
    static void HandleException(const QString& message);
};

} // namespace corvane::app
