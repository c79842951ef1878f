// Test entry: a QApplication exists for every test, so widget and model tests run alike.
#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Formatted numbers and dates are checked against the C locale's separators.
    QLocale::setDefault(QLocale::c());
    // Settings, trash and desktop of the tests live in a folder of their own, never the user's.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache").toLocal8Bit());
    // Lists fill before FillList returns unless a test asks otherwise: a loaded machine must not
    // turn a quick folder into a busy one.
    if (qEnvironmentVariableIsEmpty("CORVANE_LISTING_WAIT_MS"))
        qputenv("CORVANE_LISTING_WAIT_MS", "20000");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
