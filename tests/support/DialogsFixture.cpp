#include "DialogsFixture.h"

#include "app/Globals.h"
#include "app/Utility.h"
#include "platform/Registry.h"
#include "shellctl/ShellControls.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace corvane::test {

namespace {

// Before any test starts GIO: default applications of the test's own, in the data and
// configuration folders that the test program gave itself.
struct Environment : ::testing::Environment {
    QTemporaryDir dir;
    QString log;
    void SetUp() override
    {
        const QString data = qEnvironmentVariable("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")));
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")));
        QDir().mkpath(data + QStringLiteral("/applications"));
        QDir().mkpath(config);
        log = dir.filePath(QStringLiteral("opened.log"));
        const QString viewer = dir.filePath(QStringLiteral("viewer.sh"));
        WriteScript(viewer, "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + log.toUtf8() + "'; done\n");
        auto write = [](const QString& path, const QByteArray& text) {
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write(text);
        };
        write(data + QStringLiteral("/applications/corvane-test-viewer.desktop"),
              "[Desktop Entry]\nType=Application\nName=Test viewer\nExec=" + viewer.toUtf8() + " %f\nMimeType=text/plain;\n");
        write(data + QStringLiteral("/applications/corvane-test-handler.desktop"),
              "[Desktop Entry]\nType=Application\nName=Test handler\nExec=" + viewer.toUtf8()
                  + " %u\nMimeType=x-scheme-handler/corvanetest;\n");
        write(config + QStringLiteral("/mimeapps.list"),
              "[Default Applications]\ntext/plain=corvane-test-viewer.desktop\n"
              "x-scheme-handler/corvanetest=corvane-test-handler.desktop\n");
        qputenv("XDG_DATA_HOME", data.toUtf8());
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        // The applets' stand-ins are looked for in a fixed order, whatever the desktop.
        qputenv("XDG_CURRENT_DESKTOP", "");
    }
};

Environment* const environment = static_cast<Environment*>(::testing::AddGlobalTestEnvironment(new Environment));

} // namespace

QString OpenedLog()
{
    return environment->log;
}

void WriteScript(const QString& path, const QByteArray& body)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString());
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                     | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther);
}

QString WaitForText(const QString& path, int timeoutMs)
{
    QString text;
    (void)QTest::qWaitFor(
        [&] {
            QFile f(path);
            if (f.open(QIODevice::ReadOnly))
                text = QString::fromUtf8(f.readAll());
            return !text.isEmpty();
        },
        timeoutMs);
    return text;
}

PathGuard::PathGuard(const QString& folder, bool only)
    : m_old(qgetenv("PATH"))
{
    qputenv("PATH", only ? folder.toUtf8() : folder.toUtf8() + ':' + m_old);
}

PathGuard::~PathGuard()
{
    qputenv("PATH", m_old);
}

void MainWindowTest::SetUp()
{
    platform::setCurrentUserHive(platform::Hive::inMemory());
    main = std::make_unique<app::TfrmMain>();
    main->resize(1000, 700);
    main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
}

void MainWindowTest::TearDown()
{
    app::SetMsgBoxRecorder(nullptr);
    main.reset();
}

void MainWindowTest::ShowFolder(const QString& path)
{
    ASSERT_TRUE(app::CurShellTree);
    app::CurShellTree->SelectPath(path);
    app::CurShellTree->FlushPendingChange(true);
    ASSERT_EQ(app::CurShellTree->SelectedPath(), path);
}

} // namespace corvane::test
