#include "filetools/BatchCopy.h"
#include "filetools/Destroy.h"
#include "filetools/FileDate.h"
#include "filetools/GroupRename.h"

#include "app/Utility.h"
#include "explorer/Child.h"
#include "platform/NameCodec.h"
#include "shellctl/ShellControls.h"
#include "BrowseSelection.h"
#include "tests/support/TempDir.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

using namespace corvane;
using corvane::test::TempDir;

namespace {

bool Exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QStringList Column(const QTreeWidget* list, int column)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(column);
    return out;
}

void Click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
}

// An explorer window on a folder with some of its items selected.
struct FileTools : ::testing::Test {
    TempDir dir;
    explorer::TfrmChild child;
    app::MsgBoxRecord last;

    QByteArray path(const char* name) const { return dir.pathBytes() + '/' + name; }

    void SetUp() override { app::SetMsgBoxRecorder(&last); }
    void TearDown() override { app::SetMsgBoxRecorder(nullptr); }

    void browse(const QByteArray& folder, const QList<QByteArray>& names)
    {
        test::BrowseAndSelect(child, folder, names);
    }
};

} // namespace

TEST_F(FileTools, GroupRenameShowsTheNewNamesAndRenamesOnTheClick)
{
    dir.addFile("photo.jpeg", "p");
    dir.addFile("archive.tar.gz", "a");
    dir.addFolder("folder.old");
    browse(dir.pathBytes(), {"photo.jpeg", "archive.tar.gz", "folder.old"});

    filetools::TfrmGroupRename dlg;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Group Rename");
    EXPECT_EQ(dlg.lblFolder->text(), dir.path());
    EXPECT_EQ(Column(dlg.lstFiles, 0), (QStringList{"archive.tar.gz", "photo.jpeg"}));
    EXPECT_TRUE(dlg.optReplace->isChecked());

    // Blanks are refused and the dialog stays.
    QTest::keyClicks(dlg.txtExt, "   ");
    Click(dlg.cmdRename);
    EXPECT_EQ(last.text, "No new extension specified");
    EXPECT_EQ(last.caption, "Error");
    EXPECT_TRUE(dlg.isVisible());

    dlg.txtExt->clear();
    QTest::keyClicks(dlg.txtExt, ".zip");
    EXPECT_EQ(Column(dlg.lstFiles, 1), (QStringList{"archive.tar.zip", "photo.zip"}));
    Click(dlg.optAdd);
    EXPECT_EQ(Column(dlg.lstFiles, 1), (QStringList{"archive.tar.gz.zip", "photo.jpeg.zip"}));
    Click(dlg.optReplace);
    last = {};
    Click(dlg.cmdRename);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(last.text, "");
    EXPECT_EQ(dlg.txtExt->text(), "zip");
    EXPECT_EQ(dlg.Status1->currentMessage(), "Files renamed: 2");
    EXPECT_TRUE(Exists(path("photo.zip")));
    EXPECT_TRUE(Exists(path("archive.tar.zip")));
    EXPECT_TRUE(Exists(path("folder.old")));

    // The option is kept between openings; the extension is not.
    dlg.show();
    Click(dlg.optAdd);
    Click(dlg.cmdCancel);
    dlg.show();
    EXPECT_TRUE(dlg.optAdd->isChecked());
    EXPECT_EQ(dlg.txtExt->text(), "");
    dlg.reject();
}

TEST_F(FileTools, ChangeDateTimeListsTheFilesAndSetsTheirTime)
{
    dir.addFile("a.txt", "a");
    dir.addFile("b.txt", "bb");
    dir.addFolder("sub");
    const struct timespec old[2] = {{86'400, 0}, {86'400, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path("sub").constData(), old, 0), 0);
    browse(dir.pathBytes(), {"a.txt", "b.txt", "sub"});

    filetools::TfrmFileDate dlg;
    dlg.Prepare();
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), "Change File Date/Time");
    EXPECT_EQ(dlg.lblFolder->text(), "Folder: " + dir.path());
    EXPECT_EQ(Column(dlg.lstFiles, 0), (QStringList{"a.txt", "b.txt"}));
    EXPECT_EQ(dlg.lstFiles->headerItem()->text(1), "Size");
    EXPECT_EQ(dlg.lstFiles->topLevelItem(0)->textAlignment(1) & Qt::AlignRight, Qt::AlignRight);
    EXPECT_EQ(dlg.txtDate->date(), QDate::currentDate());
    EXPECT_EQ(dlg.txtDate->calendarWidget()->firstDayOfWeek(), Qt::Sunday);
    EXPECT_TRUE(dlg.txtDate->displayFormat().contains("yyyy"));

    dlg.txtDate->setDate(QDate(1969, 7, 20));
    dlg.txtTime->setTime(QTime(20, 17, 41));
    Click(dlg.cmdOK);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(last.text, "");
    const qint64 expected = QDateTime(QDate(1969, 7, 20), QTime(20, 17, 41)).toSecsSinceEpoch();
    for (const char* name : {"a.txt", "b.txt"}) {
        struct stat st {};
        ASSERT_EQ(::stat(path(name).constData(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, expected) << name;
    }
    struct stat st {};
    ASSERT_EQ(::stat(path("sub").constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 86'400);
}

// A selection that vanished while the dialog was open: one message per file, the rest go on.
TEST_F(FileTools, ChangeDateTimeReportsAFileThatVanished)
{
    dir.addFile("a.txt", "a");
    dir.addFile("gone.txt", "g");
    browse(dir.pathBytes(), {"a.txt", "gone.txt"});
    filetools::TfrmFileDate dlg;
    dlg.Prepare();
    dlg.show();
    ASSERT_EQ(::unlink(path("gone.txt").constData()), 0);
    Click(dlg.cmdOK);
    EXPECT_EQ(last.text, "Unable to set date/time for file gone.txt");
    EXPECT_EQ(last.caption, "Error");
    EXPECT_EQ(last.style, app::MB_ICONEXCLAMATION);
}

TEST_F(FileTools, DestroyConfirmsThenOverwritesAndDeletes)
{
    dir.addFile("a.txt", "secret");
    dir.addFile("keep.txt", "k");
    dir.addFolder("sub");
    browse(dir.pathBytes(), {"a.txt", "sub"});
    app::SetMsgBoxRecorder(&last, app::IDNO);
    filetools::Destroy1Click(nullptr);
    EXPECT_EQ(last.caption, "Confirm");
    EXPECT_EQ(last.text, "You have selected 1 files to destroy.\nThere is NO WAY to recover destroyed files.\n"
                         "Do you want to proceed?");
    EXPECT_EQ(last.style, app::MB_YESNO | app::MB_ICONEXCLAMATION);
    EXPECT_TRUE(Exists(path("a.txt")));

    app::SetMsgBoxRecorder(&last, app::IDYES);
    filetools::Destroy1Click(nullptr);
    EXPECT_FALSE(Exists(path("a.txt")));
    EXPECT_TRUE(Exists(path("keep.txt")));
    EXPECT_TRUE(Exists(path("sub")));
}

TEST_F(FileTools, BatchCopyCopiesTheCurrentFolderBelowTheChosenOne)
{
    dir.addFile("src/a.txt", "a");
    dir.addFile("src/sub/b.txt", "b");
    dir.addFolder("dst");
    browse(path("src"), {});
    filetools::TfrmBatchCopy dlg;
    dlg.show();
    EXPECT_EQ(dlg.lblSource->text(), QString::fromUtf8(path("src")));
    dlg.treeDest->SelectPath(QString::fromUtf8(path("src/sub")));
    Click(dlg.cmdOK);
    EXPECT_EQ(last.text, "The destination folder cannot be inside the source folder");
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(Exists(path("src/sub") + path("src")));

    dlg.treeDest->SelectPath(QString::fromUtf8(path("dst")));
    ASSERT_TRUE(dlg.cmdOK->isEnabled());
    Click(dlg.cmdOK);
    EXPECT_EQ(last.text, "done");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_TRUE(Exists(path("dst") + path("src/a.txt")));
    EXPECT_TRUE(Exists(path("dst") + path("src/sub/b.txt")));
}
