#pragma once
// What the dialog tests share: a main window on an in-memory settings store, programs
// written as small scripts, and a default application that records what it was given.
#include "app/Mainform.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace corvane::test {

// The file that the test's default application (for text files and corvanetest:// addresses)
// appends its arguments to, one a line.
QString OpenedLog();

// Writes an executable shell script.
void WriteScript(const QString& path, const QByteArray& body);
// Waits until the file exists and is not empty; its text, or empty on time-out.
QString WaitForText(const QString& path, int timeoutMs = 10000);

// Puts a folder in front of PATH (or in its place) while it lives.
class PathGuard
{
public:
    explicit PathGuard(const QString& folder, bool only = false);
    ~PathGuard();

private:
    QByteArray m_old;
};

// A shown main window with one explorer window; settings live in memory.
struct MainWindowTest : ::testing::Test {
    std::unique_ptr<app::TfrmMain> main;
    void SetUp() override;
    void TearDown() override;
    // Shows a folder in the current explorer window.
    void ShowFolder(const QString& path);
};

} // namespace corvane::test
