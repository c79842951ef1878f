#include "app/Utility.h"
#include "dialogs/FileOpDialogs.h"
#include "dialogs/ShellVerbUi.h"
#include "platform/Clipboard.h"
#include "platform/DragDrop.h"
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"
#include "platform/ShellVerbs.h"
#include "platform/Trash.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellMenu.h"
#include "shellctl/ShellTree.h"
#include "tests/support/FileOpsTestSupport.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <sys/mount.h>

using namespace corvane;
using namespace corvane::platform;
using namespace corvane::shellctl;
using corvane::test::TempDir;
using corvane::test::Tmpfs;
using corvane::test::exists;

namespace {

class DragDrop : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app::InstallShellVerbs();
        app::SetMsgBoxRecorder(&box, app::IDYES);
        app::SetFileOpAnswerers({});
    }
    void TearDown() override
    {
        app::SetMsgBoxRecorder(nullptr);
        SetShellMenuChooser(nullptr);
    }

    // A shown list in details on the folder, with the named items selected.
    std::unique_ptr<TShellList> listOn(const QString& folder, const QStringList& select = {})
    {
        auto list = std::make_unique<TShellList>();
        list->SetViewStyle(vsReport);
        list->resize(500, 400);
        list->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(list.get()));
        list->Folder().SetPath(folder);
        list->RefreshList();
        for (int i = 0; i < list->Count(); ++i) {
            if (select.contains(list->DataOfIndex(i)->FileName()))
                list->SelectionModel()->select(list->Model()->index(i, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        return list;
    }
    static QPoint pointOf(TShellList& list, const QString& name)
    {
        for (int i = 0; i < list.Count(); ++i) {
            if (list.DataOfIndex(i)->FileName() == name)
                return list.CurrentView()->visualRect(list.Model()->index(i, 0)).center();
        }
        ADD_FAILURE() << "no item " << name.toStdString();
        return {};
    }
    static QPoint emptyArea(TShellList& list)
    {
        return QPoint(20, list.CurrentView()->viewport()->height() - 10);
    }
    static std::unique_ptr<QMimeData> filesData(const std::vector<QByteArray>& paths)
    {
        auto data = std::make_unique<QMimeData>();
        QByteArray uris;
        for (const QByteArray& p : paths)
            uris += PathToFileUri(p) + "\r\n";
        data->setData(QStringLiteral("text/uri-list"), uris);
        return data;
    }
    // Enters, moves and drops at the point as a drag from another window would; the effect the
    // view answered the last move with.
    static Qt::DropAction dragTo(QWidget* viewport, QPoint at, const QMimeData* data, Qt::MouseButtons buttons,
                                 Qt::KeyboardModifiers mods, Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
    {
        QDragEnterEvent enter(at, offered, data, buttons, mods);
        QCoreApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, offered, data, buttons, mods);
        QCoreApplication::sendEvent(viewport, &move);
        const Qt::DropAction answered = move.isAccepted() ? move.dropAction() : Qt::IgnoreAction;
        QDropEvent drop(at, offered, data, Qt::NoButton, mods);
        QCoreApplication::sendEvent(viewport, &drop);
        // The drop is carried out once the drag has ended: on the next pass of the event loop.
        QCoreApplication::processEvents();
        return answered;
    }

    app::MsgBoxRecord box;
};

QByteArray bytes(const QString& s)
{
    return EncodeName(s);
}

} // namespace

TEST_F(DragDrop, ThreeFilesGiveTheArrayTheUriListAndCrlfText)
{
    TempDir dir{"a.txt", "b c.txt", "x\xff.bin"};
    const QByteArray root = dir.pathBytes();
    auto list = listOn(dir.path(), {"a.txt", "b c.txt", DecodeName("x\xff.bin")});
    ASSERT_EQ(list->SelCount(), 3);
    std::unique_ptr<QMimeData> data = list->SelectionDataObject();
    ASSERT_TRUE(data);

    PItemIDList folder;
    std::vector<PItemIDList> rels;
    ASSERT_TRUE(ParseCida(data->data(QString::fromLatin1(MimeIdListArray)), &folder, &rels));
    EXPECT_EQ(folder, list->CurrentIdList());
    ASSERT_EQ(rels.size(), 3u);
    const std::vector<QByteArray> paths{root + "/a.txt", root + "/b c.txt", root + "/x\xff.bin"};
    for (size_t i = 0; i < rels.size(); ++i)
        EXPECT_EQ(PathBytesFromIdList(ConcatIdLists(folder, rels[i])), paths[i]);

    const QByteArray rootUri = PathToFileUri(root);
    EXPECT_EQ(data->data("text/uri-list"), rootUri + "/a.txt\r\n" + rootUri + "/b%20c.txt\r\n" + rootUri + "/x%FF.bin\r\n");
    EXPECT_EQ(QString::fromUtf8(data->data("text/plain")),
              dir.path() + "/a.txt\r\n" + dir.path() + "/b c.txt\r\n" + dir.path() + QString::fromUtf8("/x\uFFFD.bin\r\n"));
    // Another program gets the raw names back from the uri-list alone.
    auto foreign = std::make_unique<QMimeData>();
    foreign->setData("text/uri-list", data->data("text/uri-list"));
    EXPECT_EQ(DroppedFiles(foreign.get()), paths);
    EXPECT_EQ(DroppedFiles(data.get()), paths);

    // Nothing selected: no data, so no drag starts.
    list->SelectionModel()->clear();
    EXPECT_FALSE(list->SelectionDataObject());
}

TEST_F(DragDrop, ItemsOfAReadOnlyFolderNeverGiveTheMoveEffect)
{
    Tmpfs volume("1m");
    test::writeBytes(volume.path() + "/doc.txt", "x");
    TempDir dest{"in/"};
    ASSERT_EQ(::mount(nullptr, volume.path().constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    auto list = listOn(QString::fromLocal8Bit(volume.path()), {"doc.txt"});
    std::unique_ptr<QMimeData> data = list->SelectionDataObject();
    ASSERT_TRUE(data);
    const std::uint32_t allowed = AllowedEffects(data.get());
    EXPECT_EQ(allowed, DROPEFFECT_COPY | DROPEFFECT_LINK);
    const std::vector<QByteArray> files{volume.path() + "/doc.txt"};
    EXPECT_EQ(FolderDropEffect(files, bytes(dest.filePath("in")), MK_SHIFT, allowed), DROPEFFECT_NONE);
    EXPECT_EQ(FolderDropEffect(files, bytes(dest.filePath("in")), 0, allowed), DROPEFFECT_COPY);

    // Dropped with Shift, it is copied and stays where it was.
    auto target = listOn(dest.path());
    dragTo(target->CurrentView()->viewport(), pointOf(*target, "in"), data.get(), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_TRUE(exists(volume.path() + "/doc.txt"));
    EXPECT_FALSE(exists(bytes(dest.filePath("in/doc.txt"))));
    dragTo(target->CurrentView()->viewport(), pointOf(*target, "in"), data.get(), Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(exists(bytes(dest.filePath("in/doc.txt"))));
    EXPECT_TRUE(exists(volume.path() + "/doc.txt"));
}

TEST(DropEffect, FollowsKeysVolumesAndWhatIsAllowed)
{
    TempDir dir{"f/sub/", "g/", "a.txt"};
    Tmpfs other("1m");
    const QByteArray root = dir.pathBytes();
    const std::vector<QByteArray> file{root + "/a.txt"};
    const std::vector<QByteArray> folder{root + "/f"};
    constexpr std::uint32_t all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    const struct {
        const char* what;
        const std::vector<QByteArray>& files;
        QByteArray target;
        std::uint32_t keys, allowed, expected;
    } cases[] = {
        {"same volume", file, root + "/g", 0, all, DROPEFFECT_MOVE},
        {"ctrl copies", file, root + "/g", MK_CONTROL, all, DROPEFFECT_COPY},
        {"shift moves", file, root + "/g", MK_SHIFT, all, DROPEFFECT_MOVE},
        {"ctrl+shift links", file, root + "/g", MK_CONTROL | MK_SHIFT, all, DROPEFFECT_LINK},
        {"other volume copies", file, other.path(), 0, all, DROPEFFECT_COPY},
        {"other volume, shift moves", file, other.path(), MK_SHIFT, all, DROPEFFECT_MOVE},
        {"no move allowed falls back to copy", file, root + "/g", 0, DROPEFFECT_COPY | DROPEFFECT_LINK, DROPEFFECT_COPY},
        {"shift without move allowed", file, root + "/g", MK_SHIFT, DROPEFFECT_COPY, DROPEFFECT_NONE},
        {"folder into its own subfolder", folder, root + "/f/sub", MK_CONTROL, all, DROPEFFECT_NONE},
        {"folder onto itself", folder, root + "/f", 0, all, DROPEFFECT_NONE},
        {"moving to where it is", file, root, 0, all, DROPEFFECT_NONE},
        {"copying to where it is", file, root, MK_CONTROL, all, DROPEFFECT_COPY},
        {"nothing allowed", file, root + "/g", 0, 0, DROPEFFECT_NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FolderDropEffect(c.files, c.target, c.keys, c.allowed), c.expected) << c.what;
}

TEST_F(DragDrop, DropOnAFolderItemMovesCopiesOrAsks)
{
    TempDir dir{"dest/", "one.txt", "two.txt", "three.txt"};
    Tmpfs other("1m");
    test::writeBytes(other.path() + "/far.txt", "far");
    const QByteArray root = dir.pathBytes();
    auto list = listOn(dir.path());
    QWidget* vp = list->CurrentView()->viewport();

    // Left button on one volume: a move, answered as such while dragging.
    auto data = filesData({root + "/one.txt"});
    EXPECT_EQ(dragTo(vp, pointOf(*list, "dest"), data.get(), Qt::LeftButton, Qt::NoModifier), Qt::MoveAction);
    EXPECT_TRUE(exists(root + "/dest/one.txt"));
    EXPECT_FALSE(exists(root + "/one.txt"));
    EXPECT_EQ(list->DropHighlightRow(), -1);

    // Ctrl copies; across volumes the default is a copy.
    data = filesData({root + "/two.txt"});
    EXPECT_EQ(dragTo(vp, pointOf(*list, "dest"), data.get(), Qt::LeftButton, Qt::ControlModifier), Qt::CopyAction);
    EXPECT_TRUE(exists(root + "/dest/two.txt"));
    EXPECT_TRUE(exists(root + "/two.txt"));
    data = filesData({other.path() + "/far.txt"});
    EXPECT_EQ(dragTo(vp, pointOf(*list, "dest"), data.get(), Qt::LeftButton, Qt::NoModifier), Qt::CopyAction);
    EXPECT_TRUE(exists(root + "/dest/far.txt"));
    EXPECT_TRUE(exists(other.path() + "/far.txt"));

    // The right button asks; the menu offers all three with the move first.
    QStringList offered;
    SetShellMenuChooser([&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (!a->isSeparator())
                offered << a->text();
        }
        for (QAction* a : menu->actions()) {
            if (a->data().toInt() == int(DROPEFFECT_LINK))
                return a->data().toInt();
        }
        return 0;
    });
    data = filesData({root + "/three.txt"});
    dragTo(vp, pointOf(*list, "dest"), data.get(), Qt::RightButton, Qt::NoModifier);
    EXPECT_EQ(offered, (QStringList{"&Move Here", "&Copy Here", "Create &Links Here", "Cancel"}));
    struct stat st = test::statOf(root + "/dest/three.txt");
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(exists(root + "/three.txt"));

    // Cancelling the menu does nothing.
    SetShellMenuChooser([](QMenu*) { return 0; });
    test::writeBytes(root + "/four.txt", "4");
    data = filesData({root + "/four.txt"});
    dragTo(vp, pointOf(*list, "dest"), data.get(), Qt::RightButton, Qt::NoModifier);
    EXPECT_TRUE(exists(root + "/four.txt"));
    EXPECT_FALSE(exists(root + "/dest/four.txt"));
}

TEST_F(DragDrop, AFolderDroppedAsItsChildsParentGoesInUnderItsOwnName)
{
    // Another program drops ".../src/inner/..", which is "src". Taken as a name, ".." would be the
    // target's parent, and "Replace" would pour "src" into it.
    TempDir dir{"dest/", "src/inner/f"};
    const QByteArray root = dir.pathBytes();
    app::SetFileOpAnswerers({[](const ConflictQuestion&) { return ConflictAnswer{ConflictAction::Replace, true}; }, {}, {}});
    auto list = listOn(dir.path());
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/uri-list"), PathToFileUri(root + "/src/inner") + "/..\r\n");
    EXPECT_EQ(dragTo(list->CurrentView()->viewport(), pointOf(*list, "dest"), data.get(), Qt::LeftButton, Qt::ControlModifier),
              Qt::CopyAction);
    EXPECT_TRUE(exists(root + "/dest/src/inner/f"));
    EXPECT_EQ(test::namesIn(root), (std::vector<QByteArray>{"dest", "src"}));
    EXPECT_EQ(test::namesIn(root + "/dest"), std::vector<QByteArray>{"src"});
    EXPECT_TRUE(box.text.isEmpty()) << box.text.toStdString();
}

TEST_F(DragDrop, DropOnTheEmptyAreaGoesIntoTheListsFolder)
{
    TempDir dir{"src/a.txt", "here/"};
    auto list = listOn(dir.filePath("here"));
    auto data = filesData({bytes(dir.filePath("src/a.txt"))});
    dragTo(list->CurrentView()->viewport(), emptyArea(*list), data.get(), Qt::LeftButton, Qt::NoModifier);
    EXPECT_TRUE(exists(bytes(dir.filePath("here/a.txt"))));
    EXPECT_FALSE(exists(bytes(dir.filePath("src/a.txt"))));
}

TEST_F(DragDrop, DropOnAPlainFileIsRefusedAndOnAProgramStartsIt)
{
    TempDir dir{"plain.txt", "a file.txt"};
    const QByteArray root = dir.pathBytes();
    test::writeBytes(root + "/prog.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/out.tmp\"\nmv \"$(dirname \"$0\")/out.tmp\" \"$(dirname \"$0\")/args.out\"\n", 0755);
    auto list = listOn(dir.path());
    QWidget* vp = list->CurrentView()->viewport();
    auto data = filesData({root + "/a file.txt"});
    EXPECT_EQ(dragTo(vp, pointOf(*list, "plain.txt"), data.get(), Qt::LeftButton, Qt::NoModifier), Qt::IgnoreAction);
    EXPECT_EQ(dragTo(vp, pointOf(*list, "prog.sh"), data.get(), Qt::LeftButton, Qt::ShiftModifier), Qt::CopyAction);
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(root + "/args.out"); }, 5000));
    EXPECT_EQ(test::readBytes(root + "/args.out"), root + "/a file.txt\n");
    EXPECT_TRUE(exists(root + "/a file.txt"));
}

TEST_F(DragDrop, DropOnTheTrashMovesThereWithItsInfo)
{
    TempDir dir{"gone.txt"};
    std::unique_ptr<IDropTarget> trash;
    ASSERT_EQ(FolderDropTarget(nullptr, TrashIdList(), trash), S_OK);
    auto data = filesData({bytes(dir.filePath("gone.txt"))});
    std::uint32_t effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    trash->DragEnter(data.get(), MK_LBUTTON, {}, effect);
    EXPECT_EQ(effect, DROPEFFECT_MOVE);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    trash->Drop(data.get(), 0, {}, effect);
    EXPECT_FALSE(exists(bytes(dir.filePath("gone.txt"))));
    bool found = false;
    for (const TrashEntry& e : ListTrash(false))
        found = found || e.originalPath == bytes(dir.filePath("gone.txt"));
    EXPECT_TRUE(found);
}

// Nothing reaches a trash but by trashing (which writes the info), and nothing leaves it by a
// drag but a copy: a move would leave the info behind.
TEST_F(DragDrop, TrashFoldersOnDiskTakeItemsOnlyAsTheTrashDoes)
{
    TempDir dir{"in.txt", "d/inner.txt"};
    auto op = TrashFiles({bytes(dir.filePath("d"))});
    op->run();
    const QByteArray files = HomeTrashPath() + "/files";
    ASSERT_TRUE(exists(files + "/d"));

    std::unique_ptr<IDropTarget> target;
    ASSERT_EQ(PathDropTarget(nullptr, files, target), S_OK);
    auto data = filesData({bytes(dir.filePath("in.txt"))});
    std::uint32_t effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    target->DragEnter(data.get(), MK_LBUTTON | MK_CONTROL, {}, effect);
    EXPECT_EQ(effect, DROPEFFECT_MOVE);
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    target->Drop(data.get(), MK_CONTROL, {}, effect);
    TrashEntry entry;
    ASSERT_TRUE(TrashEntryOf(files + "/in.txt", &entry));
    EXPECT_EQ(entry.originalPath, bytes(dir.filePath("in.txt")));

    // A trashed folder is no drop target.
    EXPECT_TRUE(Failed(PathDropTarget(nullptr, files + "/d", target)));

    // Items of the Trash are dragged out as copies only.
    PItemIDList trashAbs = TrashIdList();
    ShellFolderPtr trash;
    ASSERT_EQ(SHGetDesktopFolder()->BindToObject(trashAbs, trash), S_OK);
    PItemIDList rel;
    ASSERT_EQ(trash->ParseDisplayName("d", rel), S_OK);
    auto dragged = MakeDragData(trashAbs, {rel}, {files + "/d"});
    EXPECT_EQ(AllowedEffects(dragged.get()), std::uint32_t(DROPEFFECT_COPY));
}

TEST_F(DragDrop, DropOnATreeNodeMovesAndRefreshesTheTree)
{
    TempDir dir{"f/sub/", "g/", "a.txt"};
    const QByteArray root = dir.pathBytes();
    TShellTree tree;
    tree.resize(300, 400);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    tree.BaseFolder().SetPath(dir.path());
    tree.SelectPath(dir.filePath("f/sub"));
    auto nodePoint = [&](const QString& path) {
        tree.SelectPath(path);
        return tree.visualItemRect(tree.currentItem()).center();
    };
    const QPoint g = nodePoint(dir.filePath("g"));
    const QPoint sub = nodePoint(dir.filePath("f/sub"));

    // A folder onto its own subfolder: refused while dragging, nothing happens on the drop.
    auto data = filesData({root + "/f"});
    EXPECT_EQ(dragTo(tree.viewport(), sub, data.get(), Qt::LeftButton, Qt::NoModifier), Qt::IgnoreAction);
    EXPECT_TRUE(exists(root + "/f/sub"));

    data = filesData({root + "/f"});
    EXPECT_EQ(dragTo(tree.viewport(), g, data.get(), Qt::LeftButton, Qt::NoModifier), Qt::MoveAction);
    EXPECT_TRUE(exists(root + "/g/f/sub"));
    EXPECT_EQ(tree.DropHighlight(), nullptr);
    // The tree shows the folder where it went.
    tree.SelectPath(dir.filePath("g/f"));
    EXPECT_EQ(tree.SelectedPath(), dir.filePath("g/f"));
}

TEST(DragScroll, NearTheTopTheTreeScrollsOneLineAboutEveryTenthOfASecond)
{
    TempDir dir;
    for (int i = 0; i < 100; ++i)
        dir.addFolder(QByteArray("d") + QByteArray::number(100 + i));
    TShellTree tree;
    tree.resize(250, 200);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    tree.BaseFolder().SetPath(dir.path());
    tree.topLevelItem(0)->setExpanded(true);
    QScrollBar* bar = tree.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    const int start = bar->value();
    auto data = std::make_unique<QMimeData>();
    data->setData("text/uri-list", PathToFileUri(dir.pathBytes() + "/d100") + "\r\n");
    // Each "not yet" holds only when the test itself ran within the 100 ms: a loaded machine
    // may stall longer, and then a step is right.
    QElapsedTimer since;
    since.start();
    QDragEnterEvent enter(QPoint(50, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree.viewport(), &enter);
    auto hover = [&] {
        QDragMoveEvent move(QPoint(50, 10), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(tree.viewport(), &move);
    };
    hover();
    if (since.elapsed() < 100) {
        EXPECT_EQ(bar->value(), start);
    }
    QTest::qWait(120);
    const int before = bar->value();
    since.start();
    hover();
    EXPECT_EQ(bar->value(), before - bar->singleStep());
    hover();
    if (since.elapsed() < 100) {
        EXPECT_EQ(bar->value(), before - bar->singleStep());
    }
    QTest::qWait(120);
    hover();
    EXPECT_LT(bar->value(), before - bar->singleStep());
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(tree.viewport(), &leave);
}
