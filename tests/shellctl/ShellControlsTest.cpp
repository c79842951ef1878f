#include "platform/IdListFormat.h"
#include "shellctl/HeaderSortView.h"
#include "shellctl/ShellControls.h"
#include "shellctl/ShellKeys.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QApplication>
#include <QDir>
#include <QScrollBar>
#include <QWheelEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include "platform/NameCodec.h"
#include <QScrollBar>
#include <QSignalSpy>
#include <QTreeView>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace corvane::shellctl;
using corvane::test::TempDir;
using corvane::test::TmpfsMount;

namespace {

QStringList names(TCustomShellList& list)
{
    QStringList out;
    for (int i = 0; i < list.Count(); ++i)
        out << list.DataOfIndex(i)->DisplayName();
    return out;
}

void showIn(TCustomShellList& list, const QString& path)
{
    list.Folder().SetPath(path);
}

QLineEdit* openEditor(TCustomShellList& list)
{
    for (QLineEdit* e : list.CurrentView()->viewport()->findChildren<QLineEdit*>()) {
        if (e->isVisible())
            return e;
    }
    return nullptr;
}

} // namespace

TEST(ShellList, EmptyFolderFiresFillEventsAndFocusesNothing)
{
    TempDir dir;
    TShellList list;
    int starts = 0, completes = 0;
    list.OnFillStart = [&](QObject*) { ++starts; };
    list.OnFillComplete = [&](QObject*) { ++completes; };
    showIn(list, dir.path());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_GE(starts, 1);
    EXPECT_EQ(starts, completes);
    EXPECT_FALSE(list.currentIndex().isValid());
}

TEST(ShellList, FileFilterAdmitsMatchingFilesAndEveryFolder)
{
    TempDir dir{"A.TXT", "b.doc", "c.bmp", "x/"};
    TShellList list;
    showIn(list, dir.path());
    list.SetFileFilter("*.txt;*.doc");
    EXPECT_EQ(names(list), (QStringList{"x", "A.TXT", "b.doc"}));
    for (const char* all : {"*", "*.*", ""}) {
        list.SetFileFilter(all);
        EXPECT_EQ(list.Count(), 4) << all;
    }
    // Outside the file system a filter filters nothing.
    list.SetFileFilter("*.txt");
    list.Folder().SetIdList(corvane::platform::EmptyIdList());
    EXPECT_GE(list.Count(), 3);
}

TEST(ShellList, SortKeysAndHeaderClicks)
{
    TempDir dir;
    dir.addFile("b.txt", QByteArray(10, 'x'));
    dir.addFile("a.png", QByteArray(3000, 'x'));
    dir.addFile("c.doc", QByteArray(500, 'x'));
    dir.addFolder("z");
    TShellList list;
    showIn(list, dir.path());
    EXPECT_EQ(names(list), (QStringList{"z", "a.png", "b.txt", "c.doc"}));
    list.SetSortKey(2);
    EXPECT_EQ(names(list), (QStringList{"z", "b.txt", "c.doc", "a.png"}));
    list.SetSortKey(-2);
    EXPECT_EQ(names(list), (QStringList{"a.png", "c.doc", "b.txt", "z"}));

    // Clicks on the header as the mouse makes them.
    list.SetSortKey(3);
    list.SetViewStyle(vsReport);
    list.resize(500, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QHeaderView* header = list.Header();
    auto clickColumn = [&](int column) {
        ASSERT_TRUE(header->isVisible());
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    };
    clickColumn(2);
    EXPECT_EQ(list.SortKey(), -3);
    EXPECT_EQ(list.HeaderSortDirection(), Qt::DescendingOrder);
    clickColumn(2);
    EXPECT_EQ(list.SortKey(), 3);
    clickColumn(1);
    EXPECT_EQ(names(list), (QStringList{"z", "b.txt", "c.doc", "a.png"}));
    clickColumn(0);
    EXPECT_EQ(list.SortKey(), 1);
    EXPECT_EQ(list.HeaderSortColumn(), 0);

    // A key beyond the columns falls back to the name; a negative one stays.
    list.SetSortKey(7);
    list.FillList();
    EXPECT_EQ(list.SortKey(), 1);
    list.SetSortKey(-7);
    list.FillList();
    EXPECT_EQ(list.SortKey(), -7);
}

TEST(ShellList, RefreshKeepsSurvivorsAndAppendsNewItems)
{
    TempDir dir{"a", "b", "c"};
    TShellList list;
    showIn(list, dir.path());
    list.SelectionModel()->select(list.ShellModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dir.addFile("0-new");
    QFile::remove(dir.filePath("a"));
    int deleted = 0;
    list.OnDeleteItem = [&](QObject*, int, TShListData*) { ++deleted; };
    list.RefreshList();
    EXPECT_EQ(names(list), (QStringList{"b", "c", "0-new"}));  // new items at the end, not sorted
    EXPECT_EQ(deleted, 1);
    ASSERT_EQ(list.SelectedRows().size(), 1);
    EXPECT_EQ(list.SelectedData()->DisplayName(), "b");

    TempDir empty;
    TShellList other;
    showIn(other, empty.path());
    empty.addFile("late");
    other.RefreshList();  // an empty list fills instead
    EXPECT_EQ(names(other), QStringList{"late"});
}

// Widths the user sets carry over to the next folder and to lists opened later.
TEST(ShellList, ColumnWidthsCarryOverFromFolderToFolder)
{
    TempDir one{"a"}, two{"b"};
    {
        TShellList list;
        list.SetViewStyle(vsReport);
        showIn(list, one.path());
        ASSERT_EQ(list.ShellModel()->columnCount(), 4);
        list.ReportView()->setColumnWidth(0, 333);
        list.ReportView()->setColumnWidth(3, 144);
        showIn(list, two.path());
        EXPECT_EQ(list.ReportView()->columnWidth(0), 333);
        EXPECT_EQ(list.ReportView()->columnWidth(3), 144);
        list.ReportView()->setColumnWidth(1, 77);
    }
    TShellList later;
    later.SetViewStyle(vsReport);
    showIn(later, one.path());
    EXPECT_EQ(later.ReportView()->columnWidth(0), 333);
    EXPECT_EQ(later.ReportView()->columnWidth(1), 77);
}

// A rename made while a refresh reads the folder is neither undone nor shown twice.
TEST(ShellList, RefreshDiffTakesTheRowsAsTheyAreNow)
{
    TempDir dir{"a", "b"};
    TShellList list;
    showIn(list, dir.path());
    TShellListModel* model = list.ShellModel();
    corvane::platform::FolderListingRequest request;
    request.abs = list.CurrentIdList();
    for (int row = 0; row < list.Count(); ++row)
        request.known.push_back(list.DataOfIndex(row)->RelIdList());
    const int row = names(list).indexOf("a");
    ASSERT_TRUE(corvane::platform::Succeeded(model->Rename(row, "renamed")));
    dir.addFile("c");
    const std::atomic<bool> cancel{false};
    const corvane::platform::FolderListing listing = corvane::platform::ListFolder(request, cancel);
    ASSERT_EQ(listing.gone.size(), 1u);
    const TShellListModel::Diff diff = model->RefreshDiff(listing);
    EXPECT_TRUE(diff.goneRows.empty());
    ASSERT_EQ(diff.newItems.size(), 1u);
    EXPECT_EQ(corvane::platform::PathBytesFromIdList(corvane::platform::ConcatIdLists(request.abs, listing.items[size_t(diff.newItems[0])].rel)),
              dir.pathBytes() + "/c");
}

// Keyboard moves keep the current item in sight, and a new folder opens at its top.
TEST(ShellList, KeyboardMovesScrollToTheCurrentItem)
{
    TempDir big, other;
    for (int i = 0; i < 200; ++i)
        big.addFile(QByteArray("f") + QByteArray::number(1000 + i));
    for (int i = 0; i < 200; ++i)
        other.addFile(QByteArray("g") + QByteArray::number(1000 + i));
    TShellList list;
    list.SetViewStyle(vsReport);
    list.resize(500, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    showIn(list, big.path());
    QTreeView* view = list.ReportView();
    view->setFocus();
    auto currentInSight = [&] {
        return view->viewport()->rect().contains(view->visualRect(view->currentIndex()));
    };
    for (Qt::Key key : {Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown}) {
        QTest::keyClick(view, key);
        EXPECT_TRUE(currentInSight()) << key;
    }
    QTest::keyClick(view, Qt::Key_Home);
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(view->currentIndex().row(), 30);
    EXPECT_TRUE(currentInSight());
    QTest::keyClick(view, Qt::Key_End);
    showIn(list, other.path());
    EXPECT_EQ(view->verticalScrollBar()->value(), 0);
}

// Editing a caption selects a file's name without its extension and a folder's whole name;
// committing with Enter renames without complaints from the other view.
TEST(ShellList, CaptionEditorSelectsTheBaseName)
{
    TempDir dir{"report.final.txt", "folder.d/", ".profile"};
    TShellList list;
    list.SetViewStyle(vsReport);
    list.resize(500, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    showIn(list, dir.path());
    static QStringList warnings;
    warnings.clear();
    QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtWarningMsg)
            warnings << text;
    });
    const struct {
        const char* name;
        const char* selected;
    } cases[] = {{"report.final.txt", "report.final"}, {"folder.d", "folder.d"}, {".profile", ".profile"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int row = names(list).indexOf(c.name);
        ASSERT_GE(row, 0);
        ASSERT_TRUE(list.EditCaption(row));
        QLineEdit* editor = openEditor(list);
        ASSERT_TRUE(editor);
        QCoreApplication::processEvents();
        EXPECT_EQ(editor->selectedText(), c.selected);
        QTest::keyClick(editor, Qt::Key_Escape);
    }
    const int row = names(list).indexOf("report.final.txt");
    ASSERT_TRUE(list.EditCaption(row));
    QLineEdit* editor = openEditor(list);
    ASSERT_TRUE(editor);
    QCoreApplication::processEvents();
    QTest::keyClicks(editor, "summary");
    EXPECT_EQ(editor->text(), "summary.txt");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("summary.txt")));
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
}

TEST(ShellList, NavigationUpAndIntoLinksToFolders)
{
    TempDir dir{"target/inner"};
    dir.addSymlink("shortcut", "target");
    dir.addFile("zlink.desktop", "[Desktop Entry]\nType=Link\nURL=file://" + dir.pathBytes() + "/target\n");
    TShellList list;
    showIn(list, dir.path());
    ASSERT_EQ(names(list), (QStringList{"shortcut", "target", "zlink.desktop"}));
    // A symbolic link to a folder is a folder: the path keeps the link, as file managers here do.
    list.OpenItem(0);
    EXPECT_EQ(list.Folder().Path(), dir.filePath("shortcut"));
    EXPECT_EQ(names(list), QStringList{"inner"});
    // A link file is followed to its target.
    showIn(list, dir.path());
    list.OpenItem(2);
    EXPECT_EQ(list.Folder().Path(), dir.filePath("target"));
    QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QApplication::sendEvent(list.CurrentView(), &back);
    EXPECT_EQ(list.Folder().Path(), dir.path());

    // At the desktop there is nowhere further up.
    list.Folder().SetIdList(corvane::platform::EmptyIdList());
    list.GoUp(1);
    EXPECT_TRUE(list.Folder().IdList().isNull());

    // With sloDontChangeFolder neither double clicks on folders nor Backspace move.
    showIn(list, dir.path());
    list.SetOptions(list.Options() | sloDontChangeFolder);
    list.OpenItem(1);
    list.GoUp(1);
    EXPECT_EQ(list.Folder().Path(), dir.path());
}

TEST(ShellList, RenameInPlaceRenamesTheFile)
{
    TempDir dir{"old.txt", "taken.txt"};
    TShellList list;
    showIn(list, dir.path());
    QString warning;
    SetShellWarningHook([&](const QString& t) { warning = t; });
    QModelIndex index = list.ShellModel()->index(names(list).indexOf("old.txt"), 0);
    EXPECT_TRUE(list.ShellModel()->setData(index, "new.txt", Qt::EditRole));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("new.txt")));
    EXPECT_EQ(list.ShellModel()->data(index, Qt::DisplayRole).toString(), "new.txt");
    // A name that is taken leaves both files and the caption alone, with the system's reason.
    EXPECT_FALSE(list.ShellModel()->setData(index, "taken.txt", Qt::EditRole));
    EXPECT_FALSE(warning.isEmpty());
    EXPECT_EQ(list.ShellModel()->data(index, Qt::DisplayRole).toString(), "new.txt");
    SetShellWarningHook(nullptr);
}

TEST(ShellTree, SelectsPathsAddsHiddenNodesAndGoesUp)
{
    TempDir dir{".hidden/deep/", "a/b/c/"};
    TShellTree tree;
    tree.SetOptions(tree.Options() & ~stoShowHidden);
    tree.SelectPath(dir.filePath(".hidden/deep"));
    EXPECT_EQ(tree.SelectedPath(), dir.filePath(".hidden/deep"));
    tree.SelectPath(dir.filePath("a/b/c"));
    ASSERT_EQ(tree.SelectedPath(), dir.filePath("a/b/c"));
    tree.GoUp(2);
    EXPECT_EQ(tree.SelectedPath(), dir.filePath("a"));
    tree.GoUp(100);  // stops at the top-level node
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(0));

    // A folder that no longer exists leaves the tree at its top node.
    tree.SelectPath(dir.filePath("a/b/c"));
    tree.SelectPath(dir.filePath("a/missing"));
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(0));
}

TEST(ShellTree, NewFoldersGetUniqueNames)
{
    TempDir dir{"New Folder/", "New Folder (2)/"};
    EXPECT_EQ(TCustomShellTree::CreateUniqueFolder(dir.path(), nullptr), "New Folder (3)");
    EXPECT_TRUE(QFileInfo(dir.filePath("New Folder (3)")).isDir());
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* tree = new TShellTree(&window);
    auto* list = new TShellList(&window);
    auto* combo = new TShellCombo(&window);
    for (QWidget* w : std::initializer_list<QWidget*>{combo, tree, list})
        layout->addWidget(w);
    tree->SetShellList(list);
    combo->SetShellTree(tree);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    tree->SelectPath(dir.path());
    EXPECT_TRUE(tree->CreateNewFolder());
    EXPECT_TRUE(QFileInfo(dir.filePath("New Folder (4)")).isDir());
    ASSERT_TRUE(tree->Editing());
    // Naming the new folder leaves the whole window on the folder that holds it.
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : tree->viewport()->findChildren<QLineEdit*>())
        editor = e->isVisible() ? e : editor;
    ASSERT_TRUE(editor);
    editor->selectAll();
    QTest::keyClicks(editor, "named");
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(dir.filePath("named")).isDir(); }));
    EXPECT_EQ(tree->SelectedPath(), dir.path());
    EXPECT_EQ(list->Folder().Path(), dir.path());
    EXPECT_EQ(combo->Location().Path(), dir.path());
}

TEST(ShellTree, RefreshDropsVanishedFoldersAndSelectsTheParent)
{
    TempDir dir{"keep/", "gone/inner/"};
    TShellTree tree;
    tree.SelectPath(dir.filePath("gone/inner"));
    ASSERT_EQ(tree.SelectedPath(), dir.filePath("gone/inner"));
    QDir(dir.filePath("gone")).removeRecursively();
    dir.addFolder("added");
    tree.RefreshTree();
    EXPECT_EQ(tree.SelectedPath(), dir.path());
    QStringList kids;
    for (int i = 0; i < tree.currentItem()->childCount(); ++i)
        kids << tree.currentItem()->child(i)->text(0);
    EXPECT_EQ(kids, (QStringList{"added", "keep"}));
}

TEST(ShellTree, KeyboardMovesHandOverOnceAfterThePause)
{
    TempDir dir;
    for (int i = 0; i < 10; ++i)
        dir.addFolder(QByteArray("f") + QByteArray::number(i));
    TShellTree tree;
    TShellList list;
    tree.SetShellList(&list);
    tree.SelectPath(dir.path());
    tree.currentItem()->setExpanded(true);
    int fills = 0;
    list.OnFillStart = [&](QObject*) { ++fills; };
    tree.show();
    tree.setFocus();
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_EQ(fills, 0);
    // The hand-over waits for the keyboard to rest; then the list is filled once.
    EXPECT_TRUE(tree.DelayTimer()->isActive());
    EXPECT_EQ(tree.DelayTimer()->interval(), TCustomShellTree::HandOverDelay);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fills > 0; }, 30000));
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(list.Folder().Path(), tree.SelectedPath());
}

TEST(ShellCombo, ListsDesktopVolumesAndTheChain)
{
    // A volume of the test's own, with usr/share on it.
    TempDir dir{TempDir::InMediaPlace{}, {"vol/"}};
    TmpfsMount vol(dir.pathBytes() + "/vol", "1m");
    ASSERT_TRUE(vol.ok());
    ASSERT_TRUE(QDir().mkpath(dir.filePath("vol/usr/share")));
    TShellTree tree;
    TShellCombo combo;
    combo.SetShellTree(&tree);
    tree.SelectPath(dir.filePath("vol/usr/share"));
    int sel = combo.currentIndex();
    ASSERT_GE(sel, 0);
    EXPECT_EQ(combo.Entry(sel)->Caption, "share");
    EXPECT_EQ(combo.Entry(sel)->Indent, 4);  // Desktop 0, Computer 1, volume 2, usr 3, share 4
    EXPECT_EQ(combo.Entry(sel - 1)->Caption, "usr");
    EXPECT_EQ(combo.Entry(sel - 2)->Caption, "vol");
    EXPECT_EQ(combo.Entry(0)->Indent, 0);
    bool computer = false;
    for (int i = 0; i < combo.EntryCount(); ++i)
        computer = computer || (combo.Entry(i)->Caption == "Computer" && combo.Entry(i)->Indent == 1);
    EXPECT_TRUE(computer);
    // Closed, the arrows and the wheel leave the location alone; the down arrow opens the list.
    combo.show();
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_PageDown, Qt::Key_End})
        QTest::keyClick(&combo, key);
    QWheelEvent wheel(QPointF(5, 5), combo.mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&combo, &wheel);
    EXPECT_EQ(tree.SelectedPath(), dir.filePath("vol/usr/share"));
    QTest::keyClick(&combo, Qt::Key_Down);
    EXPECT_TRUE(combo.view()->isVisible());
    EXPECT_EQ(tree.SelectedPath(), dir.filePath("vol/usr/share"));
    combo.hidePopup();
    combo.GoUp(1);
    EXPECT_EQ(tree.SelectedPath(), dir.filePath("vol/usr"));
    combo.GoUp(5);
    EXPECT_EQ(combo.currentIndex(), 0);
    EXPECT_EQ(tree.currentItem(), tree.topLevelItem(0));
}

TEST(ShellTree, RenamingAFolderFlushesWhatItsDescendantsCached)
{
    TempDir dir{"old/child/grandchild/"};
    TShellTree tree;
    TShellList list;
    tree.SetShellList(&list);
    tree.SelectPath(dir.filePath("old/child/grandchild"));
    QTreeWidgetItem* grandchild = tree.currentItem();
    QTreeWidgetItem* old = grandchild->parent()->parent();
    ASSERT_EQ(TCustomShellTree::NodeData(grandchild)->Path(), dir.filePath("old/child/grandchild"));
    tree.show();
    tree.setCurrentItem(old);
    ASSERT_TRUE(tree.EditNode(old));
    auto* editor = tree.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText("renamed");
    QTest::keyClick(editor, Qt::Key_Return);
    // The editor commits from the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return old->text(0) == "renamed"; }, 30000));
    EXPECT_TRUE(QFileInfo(dir.filePath("renamed/child/grandchild")).isDir());
    EXPECT_EQ(TCustomShellTree::NodeData(grandchild)->Path(), dir.filePath("renamed/child/grandchild"));
    EXPECT_EQ(list.Folder().Path(), dir.filePath("renamed"));
}

TEST(ShellList, OddNamesAndLinkLoopsListAndRename)
{
    TempDir dir{"bad\xe9name", "line\nbreak"};
    dir.addSymlink("loop", "loop");
    TShellList list;
    showIn(list, dir.path());
    ASSERT_EQ(list.Count(), 3);
    int bad = names(list).indexOf(QString::fromUtf8("bad\xef\xbf\xbdname"));
    ASSERT_GE(bad, 0);
    EXPECT_EQ(corvane::platform::EncodeName(list.DataOfIndex(bad)->Path()), dir.pathBytes() + "/bad\xe9name");
    EXPECT_TRUE(list.ShellModel()->setData(list.ShellModel()->index(bad, 0), "good", Qt::EditRole));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("good")));
    int loop = names(list).indexOf("loop");
    ASSERT_GE(loop, 0);
    EXPECT_FALSE(list.DataOfIndex(loop)->IsFolder());
    list.OpenItem(loop);  // a loop is no folder to enter and nothing hangs
    EXPECT_EQ(list.Folder().Path(), dir.path());
}

TEST(ShellTree, AFolderThatCouldNotBeReadIsReadAgainOnTheNextExpand)
{
    TempDir dir{"a/"};
    TShellTree tree;
    tree.SelectPath(dir.filePath("a"));
    ASSERT_EQ(tree.SelectedPath(), dir.filePath("a"));
    auto* node = static_cast<TShTreeNode*>(tree.currentItem());
    ASSERT_TRUE(QDir(dir.path()).rmdir("a"));
    node->setExpanded(true);
    EXPECT_EQ(node->childCount(), 0);
    node->setExpanded(false);
    dir.addFolder("a/back");
    node->setExpanded(true);
    ASSERT_EQ(node->childCount(), 1);
    EXPECT_EQ(node->child(0)->text(0), "back");
}

TEST(ShellTree, PathsUnderHomeAreSelectedThroughHome)
{
    TempDir dir{"home/docs/deep/"};
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", dir.pathBytes() + "/home");
    TShellTree tree;
    tree.SelectPath(dir.filePath("home/docs/../docs/deep"));
    EXPECT_EQ(tree.SelectedPath(), dir.filePath("home/docs/deep"));
    QTreeWidgetItem* top = tree.currentItem();
    ASSERT_TRUE(top);
    while (top->parent() && top->parent()->parent())
        top = top->parent();
    EXPECT_EQ(top->text(0), "Home");
    // Outside it, the way is through the computer's volumes.
    tree.SelectPath(dir.path());
    EXPECT_EQ(tree.SelectedPath(), dir.path());
    qputenv("HOME", oldHome);
}

TEST(ShellTree, DeepNamesKeepTheirWidthAndTheTreeScrollsSideways)
{
    const QString longName(60, QLatin1Char('n'));
    TempDir dir{(longName + "/" + longName + "/").toUtf8()};
    TShellTree tree;
    tree.resize(200, 300);
    tree.show();
    tree.SelectPath(dir.filePath(longName + "/" + longName));
    ASSERT_TRUE(tree.currentItem());
    QTRY_VERIFY(tree.horizontalScrollBar()->maximum() > 0);
    const QRect rect = tree.visualItemRect(tree.currentItem());
    EXPECT_GE(rect.width(), tree.fontMetrics().horizontalAdvance(longName));
}
