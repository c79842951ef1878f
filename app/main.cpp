#include "app/Application.h"
#include "app/Mainform.h"
#include "app/Splash.h"

int main(int argc, char** argv)
{
    // The preview's web view draws through OpenGL contexts shared with the windows.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    corvane::app::TApplication app(argc, argv);
    auto* splash = new corvane::app::TfrmSplash;
    splash->show();
    splash->repaint();
    app.processEvents();

    corvane::app::TfrmMain frmMain;
    frmMain.show();
    // The splash window goes once the main window has restored its explorer windows.
    splash->close();
    delete splash;
    return app.exec();
}
