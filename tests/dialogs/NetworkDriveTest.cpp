#include "tests/support/DialogsFixture.h"

#include "app/Launchers.h"
#include "app/Utility.h"
#include "dialogs/NetworkDrive.h"
#include "platform/LaunchMount.h"
#include "tests/support/StallFs.h"
#include "tests/support/TmpfsMount.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace corvane;

TEST(NetworkAddress, OnlySmbSftpAndNfsWithAServer)
{
    for (const char* ok : {"smb://server/share", "sftp://user@host/folder", "nfs://host/export", "SMB://Server", " smb://10.0.0.1/x "})
        EXPECT_TRUE(platform::IsNetworkAddress(ok)) << ok;
    for (const char* bad : {"ftp://host/x", "smb://", "smb:/server/share", "server/share", "\\\\server\\share", "", "smb:///share"})
        EXPECT_FALSE(platform::IsNetworkAddress(bad)) << bad;
}

TEST(NetworkMount, AFailedMountReportsWhy)
{
    // Answers any question with cancel: nothing here may wait for a person.
    auto run = [](platform::NetworkMountJob* raw) {
        core::JobPtr<platform::NetworkMountJob> job(raw);
        job->AskPassword = [](const platform::MountPasswordRequest&) { return platform::MountPasswordAnswer{}; };
        job->AskQuestion = [](const QString&, const QStringList&) { return -1; };
        QSignalSpy finished(job.get(), &core::Job::finished);
        job->start();
        EXPECT_TRUE(finished.count() > 0 || finished.wait(30000));
        EXPECT_TRUE(job->isFinished());
        return std::pair(job->Ok(), job->Error());
    };
    // Nothing listens on the loopback address's SMB port: refused, or unsupported without GVfs.
    EXPECT_FALSE(run(platform::NetworkMountJob::Mount("smb://127.0.0.1/corvane-none")).first);

    const auto [ok, error] = run(platform::NetworkMountJob::Unmount("smb://127.0.0.1/never-mounted/"));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
}

namespace {
struct NetworkDrive : test::MainWindowTest {
    app::MsgBoxRecord box;
    void SetUp() override
    {
        MainWindowTest::SetUp();
        app::SetMsgBoxRecorder(&box);
    }
};
} // namespace

TEST_F(NetworkDrive, MapChecksTheAddressAndReportsAFailedConnection)
{
    app::TfrmMapNetworkDrive* dialog = main->Launchers->frmMapNetworkDrive;
    QTimer::singleShot(0, dialog, [&] {
        dialog->cboAddress->setEditText("\\\\server\\share");
        dialog->cmdOKClick();
        EXPECT_EQ(box.text, "Enter an address that starts with smb://, sftp:// or nfs:// followed by a server name.");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_TRUE(dialog->isVisible());
        box = {};
        dialog->cboAddress->setEditText("smb://127.0.0.1/corvane-none");
        dialog->cmdOKClick();
        EXPECT_FALSE(dialog->cmdOK->isEnabled());
    });
    QTimer stop;
    // The failure comes back as a message; the dialog stays for another try, then is cancelled.
    QObject::connect(&stop, &QTimer::timeout, dialog, [&] {
        if (!box.text.isEmpty() && dialog->isVisible())
            dialog->cmdCancelClick();
    });
    stop.start(50);
    QTimer::singleShot(40000, dialog, [&] { dialog->cmdCancelClick(); });
    main->MapNetworkDrive1->trigger();
    EXPECT_TRUE(box.text.startsWith("Unable to connect to smb://127.0.0.1/corvane-none:\n")) << box.text.toStdString();
    EXPECT_EQ(dialog->cboAddress->itemText(0), "smb://127.0.0.1/corvane-none");
}

TEST_F(NetworkDrive, DisconnectListsNetworkMountsOnly)
{
    // Where the desktop shows removable and network mounts: a share (sshfs, as far as the
    // mount table tells) and a local disk beside it.
    const bool madeMedia = !QFileInfo::exists(QStringLiteral("/run/media"));
    ASSERT_TRUE(QDir().mkpath(QStringLiteral("/run/media")));
    QTemporaryDir media(QStringLiteral("/run/media/corvane-XXXXXX"));
    ASSERT_TRUE(media.isValid());
    ASSERT_TRUE(QDir(media.path()).mkdir(QStringLiteral("share")) && QDir(media.path()).mkdir(QStringLiteral("stick")));
    const QString share = media.filePath(QStringLiteral("share"));
    std::optional<test::StallFs> fs(std::in_place, QFile::encodeName(share), std::initializer_list<QByteArray>{"docs/"}, "sshfs");
    ASSERT_TRUE(fs->ok());
    std::optional<test::TmpfsMount> stick(std::in_place, QFile::encodeName(media.filePath(QStringLiteral("stick"))), "1m");
    ASSERT_TRUE(stick->ok());
    auto shown = [&](const QString& path) {
        for (const platform::NetworkMountInfo& m : platform::NetworkMounts()) {
            if (m.path == path)
                return true;
        }
        return false;
    };
    // The desktop's list of mounts follows the mount table from the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown(share); }, 30000));

    app::TfrmDisconnectNetworkDrive* dialog = main->Launchers->frmDisconnectNetworkDrive;
    QTimer::singleShot(0, dialog, [&] {
        ASSERT_EQ(dialog->lstDrives->count(), 1);
        EXPECT_EQ(dialog->lstDrives->item(0)->text(), "share (" + share + ")");
        EXPECT_TRUE(dialog->lblStatus->text().isEmpty());
        EXPECT_TRUE(dialog->cmdOK->isEnabled());
        dialog->cmdCancelClick();
    });
    main->DisconnectNetworkDrive1->trigger();
    EXPECT_TRUE(box.text.isEmpty());

    // Without the share the list is empty and says so.
    fs.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown(share); }, 30000));
    QTimer::singleShot(0, dialog, [&] {
        EXPECT_EQ(dialog->lstDrives->count(), 0);
        EXPECT_EQ(dialog->lblStatus->text(), "No network drives are connected.");
        EXPECT_FALSE(dialog->cmdOK->isEnabled());
        dialog->cmdCancelClick();
    });
    main->DisconnectNetworkDrive1->trigger();
    EXPECT_TRUE(box.text.isEmpty());
    stick.reset();
    media.remove();
    if (madeMedia)
        QDir().rmdir(QStringLiteral("/run/media"));
}
