#include "app/Globals.h"
#include "app/Utility.h"
#include "dialogs/Find.h"
#include "platform/NameCodec.h"
#include "shellctl/ShellControls.h"
#include "tests/support/DialogsFixture.h"
#include "tests/support/StallFs.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <unistd.h>

using namespace corvane;
using namespace corvane::app;
using corvane::test::StallFs;
using corvane::test::TempDir;

namespace {

struct FindDialog : test::MainWindowTest {
    TfrmFind* open(const QString& folder)
    {
        ShowFolder(folder);
        main->Find1->trigger();
        return main->findChild<TfrmFind*>();
    }
    static bool search(TfrmFind* f)
    {
        QSignalSpy done(f, &TfrmFind::SearchFinished);
        f->cmdFindNow->click();
        return done.wait(20000);
    }
    static int rowNamed(TfrmFind* f, const QByteArray& name)
    {
        for (int row = 0; row < f->Results()->rowCount(); ++row) {
            if (f->Results()->Hit(row).name == name)
                return row;
        }
        return -1;
    }
    static QByteArray selectedName()
    {
        shellctl::TShListData* d = CurShellList->SelectedData();
        return d ? platform::EncodeName(d->FileName()) : QByteArray();
    }
};

} // namespace

TEST_F(FindDialog, ResultsOpenInTheExplorerWithTheItemSelected)
{
    const QByteArray odd = "caf\xe9.txt";
    TempDir dir{"notes.txt", "sub/deep.txt", "sub/other.md", "sub/inner/"};
    dir.addFile(odd, "text");
    ASSERT_TRUE(main->Find1->isEnabled());
    TfrmFind* f = open(dir.path());
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->isModal());
    EXPECT_EQ(f->txtLookIn->text(), dir.path());
    EXPECT_TRUE(f->chkSubfolders->isChecked());
    f->txtNamed->setText("*.txt;inner");
    ASSERT_TRUE(search(f));
    EXPECT_EQ(f->Results()->rowCount(), 4);
    EXPECT_EQ(f->lblStatus->text(), "4 file(s) found");
    EXPECT_TRUE(f->cmdFindNow->isEnabled());
    EXPECT_FALSE(f->cmdStop->isEnabled());

    // Enter on a file: its folder, with the file selected.
    const int deep = rowNamed(f, "deep.txt");
    ASSERT_GE(deep, 0);
    EXPECT_EQ(f->Results()->index(deep, 1).data().toString(), dir.path() + "/sub");
    f->lstResults->setCurrentIndex(f->Results()->index(deep, 0));
    QTest::keyClick(f->lstResults, Qt::Key_Return);
    EXPECT_EQ(CurShellTree->SelectedPath(), dir.path() + "/sub");
    EXPECT_EQ(selectedName(), "deep.txt");

    // A name that is not UTF-8: shown readably, selected byte for byte.
    const int row = rowNamed(f, odd);
    ASSERT_GE(row, 0);
    EXPECT_EQ(f->Results()->index(row, 0).data().toString(), QString::fromUtf8("caf\xef\xbf\xbd.txt"));
    const QRect r = f->lstResults->visualRect(f->Results()->index(row, 0));
    QTest::mouseClick(f->lstResults->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(f->lstResults->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(CurShellTree->SelectedPath(), dir.path());
    EXPECT_EQ(selectedName(), odd);

    // A folder opens itself.
    f->ShowResult(rowNamed(f, "inner"));
    EXPECT_EQ(CurShellTree->SelectedPath(), dir.path() + "/sub/inner");

    // Open starts the default application on the very bytes of the name.
    f->OpenResult(row);
    ASSERT_FALSE(test::WaitForText(test::OpenedLog()).isEmpty());
    QFile log(test::OpenedLog());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(dir.pathBytes() + "/" + odd));
    QFile::remove(test::OpenedLog());
    // The temporary folder cannot remove what is not UTF-8.
    ::unlink((dir.pathBytes() + "/" + odd).constData());
}

TEST_F(FindDialog, StopEndsTheSearchAndAMissingFolderIsReported)
{
    TempDir dir;
    TfrmFind* f = open(dir.path());
    ASSERT_NE(f, nullptr);
    MsgBoxRecord box;
    SetMsgBoxRecorder(&box);
    f->txtLookIn->setText(dir.path() + "/gone");
    QSignalSpy refused(f, &TfrmFind::SearchFinished);
    f->cmdFindNow->click();
    // The folder is looked at by the search itself: it may sit on a disk that is slow to answer.
    ASSERT_TRUE(refused.wait(20000));
    EXPECT_EQ(box.text, "The folder \"" + dir.path() + "/gone\" cannot be found.");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_FALSE(f->Searching());

    // A volume that stops answering holds the search: Stop is taken while it is stuck, and
    // the search ends as soon as the volume lets it go.
    StallFs fs{"a/b/", "a/c.txt"};
    ASSERT_TRUE(fs.ok());
    f->txtLookIn->setText(fs.path());
    f->txtContaining->setText("corvane-text-that-is-nowhere-\x01");
    fs.Stall();
    QSignalSpy done(f, &TfrmFind::SearchFinished);
    f->cmdFindNow->click();
    ASSERT_TRUE(fs.WaitForBlocked(30000));
    EXPECT_TRUE(f->Searching());
    EXPECT_FALSE(f->cmdFindNow->isEnabled());
    f->cmdStop->click();
    EXPECT_EQ(done.count(), 0);
    fs.Release();
    ASSERT_TRUE(done.wait(30000));
    EXPECT_TRUE(f->lblStatus->text().contains("the search was stopped")) << f->lblStatus->text().toStdString();
    EXPECT_TRUE(f->cmdFindNow->isEnabled());
}
