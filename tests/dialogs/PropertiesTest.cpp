// The properties dialog counts a folder's content beside the window; closing it never waits
// for the count, even when the count is stuck on a volume that does not answer.
#include "dialogs/Properties.h"
#include "tests/support/StallFs.h"
#include "tests/support/TempDir.h"

#include <QLabel>
#include <QTest>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace corvane;
using corvane::test::StallFs;
using corvane::test::TempDir;

TEST(Properties, CountsAFolderInTheBackground)
{
    TempDir dir;
    dir.addFile("top/a.txt", QByteArray(1000, 'x'));
    dir.addFile("top/sub/b.txt", QByteArray(24, 'y'));
    platform::VerbTarget target;
    target.paths = {dir.pathBytes() + "/top"};
    app::TfrmProperties dialog(target);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.CountDone(); }, 30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.lblSize->text().contains("counting"); }, 30000));
    EXPECT_EQ(dialog.lblContains->text(), "2 files, 1 folder");
    const QString size = dialog.lblSize->text();
    EXPECT_TRUE(size.endsWith("(1,024 bytes)") || size.endsWith("(1024 bytes)")) << size.toStdString();
}

TEST(Properties, CountsSayOneFileAndOneFolderInTheSingular)
{
    struct Case {
        std::vector<const char*> files;
        const char* contains;
    } cases[] = {
        {{"top/a.txt"}, "1 file, 0 folders"},
        {{"top/sub/a.txt", "top/sub/b.txt"}, "2 files, 1 folder"},
        {{"top/s1/a", "top/s2/b", "top/c"}, "3 files, 2 folders"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        for (const char* f : c.files)
            dir.addFile(f, "x");
        platform::VerbTarget target;
        target.paths = {dir.pathBytes() + "/top"};
        app::TfrmProperties dialog(target);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.lblContains->text().contains("counting"); }, 30000));
        EXPECT_EQ(dialog.lblContains->text(), c.contains);
    }
}

TEST(Properties, TheTypeIsDescribedRatherThanAMimeName)
{
    TempDir dir;
    dir.addFile("notes.txt", "hello");
    platform::VerbTarget target;
    target.paths = {dir.pathBytes() + "/notes.txt"};
    app::TfrmProperties dialog(target);
    QStringList texts;
    for (const QLabel* l : dialog.findChildren<QLabel*>())
        texts << l->text();
    EXPECT_TRUE(texts.contains("plain text document")) << texts.join(" | ").toStdString();
    EXPECT_FALSE(texts.contains("text/plain"));
}

TEST(Properties, ClosingDoesNotWaitForACountThatIsStuck)
{
    StallFs fs{"share/a/", "share/b.txt"};
    ASSERT_TRUE(fs.ok());
    // The dialog's own look at the folder is answered; the count behind it is not.
    fs.Stall();
    auto* dialog = new app::TfrmProperties(platform::VerbTarget{{}, {}, {fs.pathBytes("share")}, {}, false, false, false});
    ASSERT_TRUE(fs.WaitForBlocked(30000));
    EXPECT_FALSE(dialog->CountDone());
    // Should closing wait for the count, this lets the test end (and fail) rather than hang.
    std::mutex m;
    std::condition_variable cv;
    bool closed = false;
    std::thread guard([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(60), [&] { return closed; }))
            fs.Release();
    });
    delete dialog;
    EXPECT_EQ(fs.Blocked(), 1);  // closed while the count was still stuck
    {
        std::lock_guard lock(m);
        closed = true;
    }
    cv.notify_all();
    guard.join();
    // Once the volume answers, the count sees it was stopped and ends by itself.
    fs.Release();
}
