#include "app/Utility.h"
#include "dialogs/FileOpDialogs.h"
#include "dialogs/JobProgress.h"
#include "tests/support/FileOpsTestSupport.h"
#include "tests/support/TempDir.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace corvane;
using namespace corvane::platform;
using namespace corvane::test;

TEST(FileOpDialog, TheSharedWindowShowsTheCopyAndItsCancelButtonLeavesNothingBehind)
{
    TempDir tmp;
    const QByteArray src = tmp.pathBytes() + "/src";
    const QByteArray dst = tmp.pathBytes() + "/dst";
    tmp.addFolder("src");
    tmp.addFolder("dst");
    writePattern(src + "/big.bin", qint64(16) << 20);
    tmp.addFile("src/after.txt", "never copied");

    auto op = CopyFiles({src}, dst);
    // The copy holds still once it is under way, until the window's Cancel is clicked, so the
    // window is up whatever the disk's speed.
    std::atomic<bool> giveUp{false};
    FileOperation* job = op.get();
    op->setProgressInterval(0);
    op->setProgressHandler([&](const FileOpProgress& pr) {
        if (pr.doneBytes >= (1 << 20) && pr.currentFile.endsWith("big.bin")) {
            while (!job->isCancelled() && !giveUp)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    QString file, bytes;
    bool clicked = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<dialogs::TfrmJobProgress*>(w);
            if (!window || !window->isVisible() || clicked)
                continue;
            window->UpdateProgress();
            if (window->prgBytes->value() <= 0)
                continue;
            file = window->lblFile->text();
            bytes = window->lblBytes->text();
            EXPECT_EQ(window->windowTitle(), QStringLiteral("Copying"));
            QTest::mouseClick(window->cmdCancel, Qt::LeftButton);
            clicked = true;
        }
    });
    watch.start(20);
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, [&] { giveUp = true; });
    timeout.start(60'000);
    app::MsgBoxRecord box;
    app::SetMsgBoxRecorder(&box);
    const FileOpResult r = app::RunFileOperation(std::move(op), QStringLiteral("Copying"));
    app::SetMsgBoxRecorder(nullptr);
    watch.stop();

    ASSERT_TRUE(clicked);
    EXPECT_EQ(file, QStringLiteral("big.bin\n") + QString::fromLocal8Bit(src));
    EXPECT_TRUE(bytes.contains(QStringLiteral(" of ")) && bytes.endsWith(QStringLiteral("/s)"))) << bytes.toStdString();
    EXPECT_EQ(r.status, FileOpResult::Cancelled);
    EXPECT_TRUE(r.skipped.empty());
    EXPECT_TRUE(box.text.isEmpty()) << box.text.toStdString();
    EXPECT_TRUE(namesIn(dst).empty());
    EXPECT_EQ(namesIn(src), (std::vector<QByteArray>{"after.txt", "big.bin"}));
}

// A question asked for no window opens over the window the user works in, not in a corner.
TEST(FileOpDialog, AQuestionWithoutOwnerOpensOverTheActiveWindow)
{
    QWidget main;
    main.resize(400, 300);
    main.show();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    ConflictQuestion q;
    q.source = "/tmp/a.txt";
    q.target = "/tmp/b/a.txt";
    QWidget* owner = nullptr;
    QTimer::singleShot(0, [&] {
        if (QWidget* dlg = QApplication::activeModalWidget()) {
            owner = dlg->parentWidget();
            dlg->close();
        }
    });
    app::AskConflict(q, nullptr);
    EXPECT_EQ(owner, &main);
}
