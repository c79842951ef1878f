#pragma once
// The application object that fonts and image plugins need, made once for a fuzz target.
#include <QGuiApplication>

inline void StartFuzzGuiApp(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings about broken input would drown the fuzzer's own output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QGuiApplication app(*argc, *argv);
}
