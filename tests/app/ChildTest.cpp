#include "explorer/Child.h"
#include "explorer/StatusBar.h"
#include "shellctl/ShellControls.h"
#include "tests/support/StallFs.h"
#include "tests/support/TmpfsMount.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLocale>
#include <QTest>
#include <QTimer>
#include <QMouseEvent>
#include <QSplitter>
#include <QTreeView>
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

TEST(Child, SelectionTotalAndFolderTotalSurviveMenusAndWindowSwitches)
{
    QTemporaryDir dir;
    for (auto [name, size] : {std::pair{"a.txt", 1024}, {"b.txt", 1024}, {"c.txt", 2048}}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    }
    TfrmChild child;
    child.resize(800, 500);
    child.show();
    QApplication::setActiveWindow(&child);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&child));
    child.Tree1->SelectPath(dir.path());
    ASSERT_EQ(child.List1->Count(), 3);
    const QString folderTotal = child.Status1->PanelText(0);
    QAbstractItemView* view = child.List1->CurrentView();
    const QRect first = view->visualRect(view->model()->index(0, 0));
    const QRect last = view->visualRect(view->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first.center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, last.center());
    const std::string selected = " Selected: 3 items, 4KB";
    ASSERT_EQ(child.Status1->PanelText(1).toStdString(), selected);

    // A context menu closed with Escape.
    bool popped = false;
    QTimer::singleShot(0, [&popped] {
        QWidget* popup = QApplication::activePopupWidget();
        popped = popup;
        if (popup)
            QTest::keyClick(popup, Qt::Key_Escape);
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, last.center(), view->viewport()->mapToGlobal(last.center()));
    QApplication::sendEvent(view->viewport(), &menu);
    ASSERT_TRUE(popped);
    EXPECT_EQ(child.Status1->PanelText(0).toStdString(), folderTotal.toStdString());

    // Another window takes the focus and gives it back.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    QApplication::setActiveWindow(&child);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&child));
    ASSERT_TRUE(view->hasFocus());

    // Deselecting one file takes exactly its bytes off the total.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, first.center());
    EXPECT_EQ(child.Status1->PanelText(1).toStdString(), " Selected: 2 items, 3KB");
}

// The status bar's totals come with the listing: selecting on a volume that stopped answering
// asks it nothing, and while a folder is read the last folder's total is not shown.
TEST(Child, TotalsDoNotAskAVolumeThatStoppedAnswering)
{
    corvane::test::StallFs fs{"one.txt", "two.txt"};
    ASSERT_TRUE(fs.ok());
    TfrmChild child;
    child.resize(800, 500);
    child.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&child));
    child.Tree1->SelectPath(fs.path());
    ASSERT_EQ(child.List1->Count(), 2);
    EXPECT_EQ(child.Status1->PanelText(0).toStdString(), "Total: 2 items, 1KB");
    fs.Stall();
    QAbstractItemView* view = child.List1->CurrentView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(0, 0)).center());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, view->visualRect(view->model()->index(1, 0)).center());
    EXPECT_EQ(child.Status1->PanelText(1).toStdString(), " Selected: 2 items, 1KB");
    corvane::shellctl::TShellList::SetListingWait(0);
    child.List1->FillList();
    EXPECT_TRUE(child.List1->Listing());
    EXPECT_EQ(child.Status1->PanelText(0), QString());
    EXPECT_EQ(fs.GuardedTouches(), 0);
    fs.Release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !child.List1->Listing(); }, 10000));
    corvane::shellctl::TShellList::SetListingWait(20000);
    EXPECT_EQ(child.Status1->PanelText(0).toStdString(), "Total: 2 items, 1KB");
}

// Dates fit their column, and dragging the splitter keeps every column in sight.
TEST(Child, ModifiedColumnFitsItsDatesAndFollowsTheSplitter)
{
    QTemporaryDir dir;
    QFile f(dir.filePath("file.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    TfrmChild child;
    child.resize(700, 400);
    child.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&child));
    child.Tree1->SelectPath(dir.path());
    child.List1->SetViewStyle(corvane::shellctl::vsReport);
    ASSERT_EQ(child.List1->Count(), 1);
    QTreeView* view = child.List1->ReportView();
    const QString date = child.List1->ShellModel()->index(0, 3).data().toString();
    EXPECT_GT(view->columnWidth(3), view->fontMetrics().horizontalAdvance(date));

    QSplitter* splitter = child.findChild<QSplitter*>();
    ASSERT_TRUE(splitter);
    QSplitterHandle* handle = splitter->handle(1);
    const QPoint grab = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grab);
    QMouseEvent drag(QEvent::MouseMove, QPointF(grab + QPoint(150, 0)), handle->mapToGlobal(QPointF(grab + QPoint(150, 0))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(handle, &drag);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grab + QPoint(150, 0));
    int total = 0;
    for (int i = 0; i < 4; ++i)
        total += view->columnWidth(i);
    EXPECT_LE(total, child.List1->ClientWidth() + 4);
}
