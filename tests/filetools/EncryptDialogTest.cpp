#include "filetools/Encrypt.h"

#include "app/Globals.h"
#include "app/Mainform.h"
#include "app/Utility.h"
#include "dialogs/JobProgress.h"
#include "explorer/Child.h"
#include "platform/NameCodec.h"
#include "platform/Registry.h"
#include "platform/Volumes.h"
#include "shellctl/ShellControls.h"
#include "BrowseSelection.h"
#include "tests/support/ListTexts.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace corvane;
using corvane::filetools::TfrmEncrypt;
using corvane::test::TempDir;

namespace {

QByteArray Pattern(qsizetype n, int seed = 1)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 31 + seed * 7) & 0xFF);
    return b;
}

QByteArray ReadAll(const QByteArray& path)
{
    return test::ReadFileBytes(path);
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every message box shown while it lives, answered with OK: for runs that show several.
class MessageBoxes
{
public:
    struct Box {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
    };
    MessageBoxes()
    {
        app::SetMsgBoxRecorder(nullptr);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown.push_back({box->windowTitle(), box->text(), box->icon()});
                box->button(QMessageBox::Ok)->click();
            }
        });
        m_timer.start(10);
    }
    std::vector<Box> shown;

private:
    QTimer m_timer;
};

// An explorer window on a folder with some of its items selected, and the dialog.
struct EncryptDialog : ::testing::Test {
    TempDir dir;
    explorer::TfrmChild child;
    TfrmEncrypt dlg;
    app::MsgBoxRecord last;

    QByteArray src() const { return dir.pathBytes() + "/src"; }
    QByteArray dst() const { return dir.pathBytes() + "/dst"; }

    void SetUp() override
    {
        dir.addFolder("src");
        dir.addFolder("dst");
        app::SetMsgBoxRecorder(&last);
    }
    void TearDown() override
    {
        app::SetMsgBoxRecorder(nullptr);
        // QTemporaryDir cannot remove names that are not UTF-8.
        test::runShell("rm -rf '" + dir.path() + "'/*");
    }

    void browse(const QByteArray& folder, const QList<QByteArray>& names)
    {
        test::BrowseAndSelect(child, folder, names);
    }
    void open(const char* mode)
    {
        dlg.Mode = QString::fromLatin1(mode);
        dlg.show();
    }
    void run(const QByteArray& destFolder, const QString& key)
    {
        dlg.treeDest->SelectPath(platform::DecodeName(destFolder));
        dlg.txtKey->setText(key);
        dlg.cmdOK->click();
    }
    QStringList listed() const { return test::ListTexts(dlg.lstFiles); }
};

} // namespace

// What each showing prepares, in both modes; any letter but "E" decrypts.
TEST_F(EncryptDialog, CaptionsLayoutAndContentsFollowTheMode)
{
    dir.addFile("src/b.txt", "b");
    dir.addFile("src/A.txt", "a");
    dir.addFile("src/c.dat", "c");
    dir.addFile("src/unselected.txt", "u");
    dir.addFolder("src/sub");
    browse(src(), {"b.txt", "A.txt", "c.dat", "sub"});

    struct Case {
        const char* mode;
        const char* window;
        const char* ok;
        const char* key;
        const char* files;
        bool note;
    };
    const Case cases[] = {
        {"E", "Encrypt Files", "&Encrypt", "Encryption key:", " Files to be encrypted ", true},
        {"D", "Decrypt Files", "&Decrypt", "Decryption key:", " Files to be decrypted ", false},
        {"e", "Decrypt Files", "&Decrypt", "Decryption key:", " Files to be decrypted ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        open(c.mode);
        EXPECT_EQ(dlg.windowTitle(), c.window);
        EXPECT_EQ(dlg.cmdOK->text(), c.ok);
        EXPECT_EQ(dlg.cmdCancel->text(), "&Cancel");
        EXPECT_EQ(dlg.lblKey->text(), c.key);
        EXPECT_EQ(dlg.grpFiles->title(), c.files);
        EXPECT_EQ(dlg.grpNote->isVisible(), c.note);
        EXPECT_EQ(dlg.lblNote->text(),
                  "NOTE: You must keep a record of this key, as it will be necessary in order to decrypt the files.");
        // The window ends 12 pixels (at 120 per inch) below the note or below the button.
        const QRect bottom = c.note ? dlg.grpNote->geometry() : dlg.cmdOK->geometry();
        EXPECT_EQ(dlg.height(), bottom.bottom() + 1 + app::Scaled(12));
        EXPECT_LT(dlg.cmdOK->geometry().bottom(), dlg.grpNote->geometry().top());

        EXPECT_EQ(dlg.lblSourceFolder->toolTip(), platform::DecodeName(src()));
        // A path too long for the label loses its middle.
        EXPECT_TRUE(dlg.lblSourceFolder->text() == dlg.lblSourceFolder->toolTip()
                    || dlg.lblSourceFolder->text().contains(QChar(0x2026)));
        EXPECT_TRUE(dlg.lblSourceFolder->text().endsWith("/src"));
        // Folders are left out; the list is sorted without regard to case.
        EXPECT_EQ(listed(), (QStringList{"A.txt", "b.txt", "c.dat"}));
        EXPECT_EQ(dlg.treeDest->SelectedPath(), platform::DecodeName(platform::VolumeRootOf(src())));
        EXPECT_TRUE(dlg.treeDest->currentItem()->isExpanded());
        EXPECT_EQ(dlg.focusWidget(), dlg.treeDest);
        EXPECT_EQ(dlg.txtKey->text(), "");

        dlg.txtKey->setText("left over");
        dlg.cmdCancel->click();
        EXPECT_FALSE(dlg.isVisible());
        EXPECT_EQ(last.text, "");
    }
    EXPECT_TRUE(Entries(platform::DecodeName(dst())).isEmpty());

    // The dialog is made once: a folder made while it was closed is there when it opens again.
    open("E");
    dlg.treeDest->SelectPath(dir.path());
    ASSERT_EQ(dlg.treeDest->SelectedPath(), dir.path());
    dlg.treeDest->currentItem()->setExpanded(true);
    const int children = dlg.treeDest->currentItem()->childCount();
    dlg.cmdCancel->click();
    dir.addFolder("later");
    open("E");
    dlg.treeDest->SelectPath(dir.path());
    EXPECT_EQ(dlg.treeDest->currentItem()->childCount(), children + 1);
    dlg.cmdCancel->click();
}

// The OK button's checks, in their order; a failure leaves the dialog open and writes nothing.
TEST_F(EncryptDialog, ChecksStopAtTheFirstFailure)
{
    dir.addFile("src/a.txt", "plain");
    browse(src(), {"a.txt"});
    const auto topItem = [this] { dlg.treeDest->setCurrentItem(dlg.treeDest->topLevelItem(0)); };
    // A folder of the namespace that has no path, such as the trash.
    const auto noPath = [this] {
        QTreeWidgetItem* top = dlg.treeDest->topLevelItem(0);
        top->setExpanded(true);
        for (int i = 0; i < top->childCount(); ++i) {
            dlg.treeDest->setCurrentItem(top->child(i));
            if (dlg.treeDest->SelectedPath().isEmpty())
                return;
        }
        dlg.treeDest->setCurrentItem(nullptr);
    };
    const auto sameFolder = [this] { dlg.treeDest->SelectPath(platform::DecodeName(src())); };
    const auto sameFolderWithSlash = [this] { dlg.treeDest->SelectPath(platform::DecodeName(src()) + "/"); };
    const auto otherFolder = [this] { dlg.treeDest->SelectPath(platform::DecodeName(dst())); };

    struct Case {
        const char* mode;
        const char* key;
        std::function<void()> destination;
        const char* message;
    };
    const Case cases[] = {
        {"E", "", otherFolder, "You must enter an encryption key"},
        {"D", "", otherFolder, "You must enter a decryption key"},
        {"E", "", sameFolder, "You must enter an encryption key"},
        {"E", "k", noPath, "You must select a folder as the destination"},
        {"D", "k", topItem, "You must select a folder as the destination"},
        {"E", "k", sameFolder, "Destination folder cannot be the same as source folder"},
        {"D", "k", sameFolderWithSlash, "Destination folder cannot be the same as source folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        open(c.mode);
        c.destination();
        dlg.txtKey->setText(c.key);
        last = {};
        dlg.cmdOK->click();
        EXPECT_EQ(last.text, c.message);
        EXPECT_EQ(last.caption, "Error");
        EXPECT_EQ(last.style, unsigned(app::MB_ICONEXCLAMATION));
        EXPECT_TRUE(dlg.isVisible());
        dlg.cmdCancel->click();
    }
    EXPECT_EQ(Entries(platform::DecodeName(src())), QStringList{"a.txt"});
    EXPECT_TRUE(Entries(platform::DecodeName(dst())).isEmpty());
}

// Encrypting the selection and decrypting it again through the dialog gives the files back;
// names that are not UTF-8 keep their bytes. Each run ends with its count and closes.
TEST_F(EncryptDialog, RoundTripWritesTheFilesAndReportsTheCount)
{
    const QByteArray odd = "caf\xe9.bin";
    dir.addFile("src/empty.txt", "");
    dir.addFile("src/thirteen.txt", "thirteen byte");
    dir.addFile("src/" + odd, Pattern(2 * 8192 + 5));
    dir.addFolder("plain");
    browse(src(), {"empty.txt", "thirteen.txt", odd});

    open("E");
    EXPECT_EQ(listed().size(), 3);
    run(dst(), "Pass Phrase");
    EXPECT_EQ(last.text, "3 files encrypted");
    EXPECT_EQ(last.caption, "Corvane");
    EXPECT_EQ(last.style, unsigned(app::MB_ICONINFORMATION));
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.txtKey->text(), "");
    EXPECT_EQ(ReadAll(dst() + "/empty.txt").size(), 32);
    EXPECT_EQ(ReadAll(dst() + "/thirteen.txt").size(), 45);
    EXPECT_EQ(ReadAll(dst() + "/" + odd).size(), 2 * 8192 + 5 + 32);
    EXPECT_NE(ReadAll(dst() + "/" + odd).mid(32), Pattern(2 * 8192 + 5));

    browse(dst(), {"empty.txt", "thirteen.txt", odd});
    open("D");
    run(dir.pathBytes() + "/plain", "Pass Phrase");
    EXPECT_EQ(last.text, "3 files decrypted");
    EXPECT_EQ(last.style, unsigned(app::MB_ICONINFORMATION));
    EXPECT_EQ(ReadAll(dir.pathBytes() + "/plain/empty.txt"), "");
    EXPECT_EQ(ReadAll(dir.pathBytes() + "/plain/thirteen.txt"), "thirteen byte");
    EXPECT_EQ(ReadAll(dir.pathBytes() + "/plain/" + odd), Pattern(2 * 8192 + 5));

    // No selected file: nothing to do, and the count says so.
    browse(src(), {});
    open("E");
    EXPECT_TRUE(listed().isEmpty());
    run(dir.pathBytes() + "/plain", "k");
    EXPECT_EQ(last.text, "0 files encrypted");
    EXPECT_FALSE(dlg.isVisible());
}

// A wrong pass phrase is reported per file, the run goes on, and a file of the same name in
// the destination stays as it was.
TEST_F(EncryptDialog, WrongPassPhraseLeavesTheDestinationAlone)
{
    dir.addFile("src/a.txt", "first");
    dir.addFile("src/b.txt", "second");
    browse(src(), {"a.txt", "b.txt"});
    open("E");
    run(dst(), "right");
    ASSERT_EQ(last.text, "2 files encrypted");

    dir.addFolder("out");
    dir.addFile("out/a.txt", "keep me");
    browse(dst(), {"a.txt", "b.txt"});
    MessageBoxes boxes;
    open("D");
    run(dir.pathBytes() + "/out", "Right");
    ASSERT_EQ(boxes.shown.size(), 3u);
    const QString path = platform::DecodeName(dst());
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(boxes.shown[i].text, "Unable to decrypt file " + path + (i ? "/b.txt" : "/a.txt")
                                           + "\n\nEither it is not an encrypted file,\nor the decryption key is incorrect");
        EXPECT_EQ(boxes.shown[i].caption, "Error");
        EXPECT_EQ(boxes.shown[i].icon, QMessageBox::Warning);
    }
    EXPECT_EQ(boxes.shown[2].text, "0 files decrypted");
    EXPECT_EQ(boxes.shown[2].icon, QMessageBox::Information);
    EXPECT_EQ(Entries(QString::fromLocal8Bit(dir.pathBytes()) + "/out"), QStringList{"a.txt"});
    EXPECT_EQ(ReadAll(dir.pathBytes() + "/out/a.txt"), "keep me");
}

// A full disk ends the run with the system's message as an error; the dialog stays open
// for another destination and no partial file is left.
TEST_F(EncryptDialog, FullDiskShowsTheSystemErrorAndKeepsTheDialogOpen)
{
    const test::TmpfsMount mount(dst(), "64k");
    ASSERT_TRUE(mount.ok()) << "mounting a tmpfs needs root: " << std::strerror(errno);

    dir.addFile("src/a.bin", Pattern(1000));
    dir.addFile("src/b.bin", Pattern(200000));
    dir.addFile("src/c.bin", Pattern(10));
    browse(src(), {"a.bin", "b.bin", "c.bin"});
    MessageBoxes boxes;
    open("E");
    run(dst(), "k");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "No space left on device");
    EXPECT_EQ(boxes.shown[0].caption, "Corvane");
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.cmdOK->isEnabled());
    EXPECT_EQ(Entries(platform::DecodeName(dst())), QStringList{"a.bin"});
    dlg.cmdCancel->click();
}

// A long run shows its progress while the window keeps working; cancelling it removes the
// unfinished file, reports what was done and closes the dialog.
TEST_F(EncryptDialog, LongRunShowsProgressAndCancels)
{
    dir.addFile("src/a.txt", "small");
    dir.addFile("src/big.bin");
    // A sparse gigabyte: quick to make, long to encrypt.
    ASSERT_EQ(::truncate((src() + "/big.bin").constData(), 1LL << 30), 0);
    browse(src(), {"a.txt", "big.bin"});
    open("E");

    bool sawProgress = false;
    bool controlsLocked = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        dialogs::TfrmJobProgress* progress = dlg.ProgressWindow();
        if (!progress || !progress->isVisible() || dlg.lstFiles->currentRow() != 1 || progress->prgBytes->value() <= 0)
            return;
        // The bar counts bytes: five bytes done and a gigabyte begun is far from half-way.
        EXPECT_LT(progress->prgBytes->value(), progress->prgBytes->maximum() / 2);
        sawProgress = true;
        controlsLocked = !dlg.cmdOK->isEnabled() && !dlg.txtKey->isEnabled() && dlg.cmdCancel->isEnabled();
        EXPECT_EQ(progress->lblFile->text(), "big.bin");
        QTest::mouseClick(progress->cmdCancel, Qt::LeftButton);
        watcher.stop();
    });
    watcher.start(20);
    run(dst(), "k");

    EXPECT_TRUE(sawProgress);
    EXPECT_TRUE(controlsLocked);
    EXPECT_FALSE(dlg.Running());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(last.text, "1 files encrypted");
    EXPECT_EQ(Entries(platform::DecodeName(dst())), QStringList{"a.txt"});

    // Closing the window during a run stops the run the same way.
    open("E");
    QTimer::singleShot(TfrmEncrypt::ProgressDelayMs, &dlg, [this] { dlg.close(); });
    run(dst(), "k");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(last.text, "1 files encrypted");
    EXPECT_EQ(Entries(platform::DecodeName(dst())), QStringList{"a.txt"});
}

// The File menu's two commands open the one dialog made at start-up in their mode.
TEST(EncryptCommands, MenuOpensTheDialogInItsMode)
{
    platform::setCurrentUserHive(platform::Hive::inMemory());
    app::TfrmMain main;
    main.show();
    ASSERT_NE(filetools::frmEncrypt, nullptr);
    for (auto [action, title] : {std::pair{main.Encrypt1, "Encrypt Files"}, std::pair{main.Decrypt1, "Decrypt Files"}}) {
        main.SetSelectionCommandsEnabled(true);
        QString seen;
        QTimer::singleShot(50, [&seen] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                seen = w == filetools::frmEncrypt ? w->windowTitle() : QStringLiteral("other window");
                w->close();
            }
        });
        ASSERT_TRUE(action->isEnabled());
        action->trigger();
        EXPECT_EQ(seen, title);
    }
}
