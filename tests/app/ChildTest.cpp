#include "explorer/Child.h"
#include "explorer/StatusBar.h"
#include "shellctl/ShellControls.h"
#include "tests/support/TmpfsMount.h"

#include <QLocale>
#include <QSplitter>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

using namespace corvane::explorer;

TEST(Child, ColumnAndPanelWidths)
{
    EXPECT_EQ(TfrmChild::ColumnWidths(1000), (std::array<int, 4>{350, 120, 250, 230}));
    EXPECT_EQ(TfrmChild::ColumnWidths(333), (std::array<int, 4>{117, 40, 83, 77}));
    EXPECT_EQ(TfrmChild::PanelWidths(800, {10, 10, 10, 10}), (std::array<int, 4>{200, 200, 200, 200}));
    // A text of at least the width less 5 widens its panel; the fourth panel never does.
    EXPECT_EQ(TfrmChild::PanelWidths(800, {195, 194, 300, 900}), (std::array<int, 4>{200, 200, 305, 200}));
}

TEST(Child, DiskFreeTexts)
{
    const std::pair<double, const char*> cases[] = {
        {0, "0.00 KB"},
        {1048575, "1024.00 KB"},
        {1048576, "1.00 MB "},
        {1073741823, "1024.00 MB "},
        {2147483648.0, "2.00 GB "},
        {5.5 * 1099511627776.0, "5632.00 GB "},
    };
    for (auto [bytes, text] : cases)
        EXPECT_EQ(TfrmChild::DiskFreeText(bytes), text) << bytes;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TfrmChild::DiskFreeText(1048576), "1,00 MB ");
    QLocale::setDefault(QLocale::c());
    QTemporaryDir dir;
    double total = 1, free = 1;
    TfrmChild::GetDiskSpace(dir.path() + "/no/such/volume", total, free);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(free, 0);
}

TEST(Child, CaptionDiskPanelAndLayout)
{
    // A one-megabyte volume of the test's own.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("vol"));
    const QString vol = dir.filePath("vol");
    corvane::test::TmpfsMount disk(QFile::encodeName(vol), "1m");
    ASSERT_TRUE(disk.ok());
    TfrmChild child;
    child.resize(800, 500);
    child.show();
    child.Tree1->SelectPath(vol);
    ASSERT_EQ(child.Tree1->SelectedPath(), vol);
    EXPECT_EQ(child.windowTitle(), vol);
    EXPECT_EQ(child.Status1->PanelText(2), " Disk free space: 1.00 MB ");
    child.IncludeFilter = "*.txt ";
    child.Exclusions = QStringList{"*.bak", "*.tmp"};
    child.UpdateCaption();
    EXPECT_EQ(child.windowTitle(), vol + " (*.txt ) (Excluded: *.bak; *.tmp)");
    child.IncludeFilter = "  ";
    child.Exclusions.clear();
    child.UpdateCaption();
    EXPECT_EQ(child.windowTitle(), vol);

    // The desktop: the node's text is the caption and no free space is shown.
    child.Tree1->setCurrentItem(child.Tree1->topLevelItem(0));
    EXPECT_EQ(child.windowTitle(), "Desktop");
    EXPECT_EQ(child.Status1->PanelText(2), "");

    EXPECT_EQ(child.Splitter1->y(), child.Combo1->height() + 1);
    EXPECT_EQ(child.Status1->y() + child.Status1->height(), child.height());
    EXPECT_EQ(child.Combo1->x() + child.Combo1->width(), child.width());
    EXPECT_EQ(child.Status1->PanelWidth(0), child.Status1->width() / 4);
}

TEST(Child, ListShowsFoldersAndFilesOfAFolder)
{
    QTemporaryDir dir;
    for (const char* folder : {"b", "a"})
        ASSERT_TRUE(QDir(dir.path()).mkdir(folder));
    for (const char* file : {"y.txt", "x.txt"}) {
        QFile f(dir.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    TfrmChild child;
    child.Tree1->SelectPath(dir.path());
    ASSERT_EQ(child.List1->Count(), 4);
    // Folders come first.
    QStringList names;
    for (int i = 0; i < 4; ++i)
        names << child.List1->DataOfIndex(i)->FileName();
    EXPECT_EQ(names, (QStringList{"a", "b", "x.txt", "y.txt"}));
    EXPECT_TRUE(child.List1->DataOfIndex(0)->IsFolder());
    EXPECT_TRUE(child.List1->DataOfIndex(1)->IsFolder());
    EXPECT_FALSE(child.List1->DataOfIndex(2)->IsFolder());
}

TEST(Child, VanishedOrUnreadableFoldersShowEmptyWithoutCrash)
{
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath("gone/deeper");
    TfrmChild child;
    child.Tree1->SelectPath(tmp.path() + "/gone");
    ASSERT_EQ(child.Tree1->SelectedPath(), tmp.path() + "/gone");
    child.Tree1->currentItem()->setExpanded(true);
    QDir(tmp.path() + "/gone").removeRecursively();
    // The list says why (the application's handler shows it) and stays empty.
    try {
        child.List1->FillList();
        ADD_FAILURE() << "no exception";
    } catch (const corvane::shellctl::EShellError& e) {
        EXPECT_EQ(e.message(), QString::fromLocal8Bit(strerror(ENOENT)));
    }
    EXPECT_EQ(child.List1->Count(), 0);
    // A folder that no longer exists leaves the tree at its top node.
    child.Tree1->SelectPath(tmp.path() + "/gone/deeper");
    EXPECT_EQ(child.Tree1->currentItem(), child.Tree1->topLevelItem(0));
    EXPECT_EQ(child.Status1->PanelText(2), "");
}
