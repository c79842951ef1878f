#include "app/Utility.h"
#include "dialogs/FileOpDialogs.h"
#include "dialogs/ShellVerbUi.h"
#include "platform/Clipboard.h"
#include "platform/IdListFormat.h"
#include "platform/ShellVerbs.h"
#include "platform/Trash.h"
#include "shellctl/ShellControls.h"
#include "shellctl/ShellMenu.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace corvane;
using namespace corvane::shellctl;
using corvane::test::TempDir;

namespace {

bool exists(const QString& path)
{
    struct stat st {};
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0;
}

class ShellVerbs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app::InstallShellVerbs();
        app::SetMsgBoxRecorder(&box, app::IDYES);
        app::SetFileOpAnswerers({});
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override
    {
        app::SetMsgBoxRecorder(nullptr);
        app::SetFileOpAnswerers({});
        SetShellMenuChooser(nullptr);
    }
    // Shows the folder and selects the named items.
    void select(TShellList& list, const QString& folder, const QStringList& names)
    {
        list.Folder().SetPath(folder);
        list.RefreshList();
        list.SelectionModel()->clear();
        for (int i = 0; i < list.Count(); ++i) {
            if (names.contains(list.DataOfIndex(i)->DisplayName())) {
                list.SelectionModel()->setCurrentIndex(list.Model()->index(i, 0), QItemSelectionModel::NoUpdate);
                list.SelectionModel()->select(list.Model()->index(i, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            }
        }
        ASSERT_EQ(list.SelCount(), names.size());
    }
    app::MsgBoxRecord box;
};

} // namespace

TEST_F(ShellVerbs, CutThenPasteMovesAndUndimsTheItems)
{
    TempDir dir{"src/a.txt", "src/b.txt", "dst/"};
    TShellList list;
    select(list, dir.filePath("src"), {"a.txt", "b.txt"});
    list.InvokeSelectionVerb("cut");
    EXPECT_TRUE(platform::CutItems::instance().contains(dir.filePath("src/a.txt").toLocal8Bit()));
    EXPECT_TRUE(exists(dir.filePath("src/a.txt")));

    list.Folder().SetPath(dir.filePath("dst"));
    list.InvokeFolderVerb("paste");
    EXPECT_TRUE(exists(dir.filePath("dst/a.txt")));
    EXPECT_TRUE(exists(dir.filePath("dst/b.txt")));
    EXPECT_FALSE(exists(dir.filePath("src/a.txt")));
    EXPECT_FALSE(exists(dir.filePath("src/b.txt")));
    EXPECT_TRUE(platform::CutItems::instance().isEmpty());
}

TEST_F(ShellVerbs, CopyPastedTwiceIntoItsOwnFolderMakesNumberedCopies)
{
    TempDir dir{"a.txt"};
    TShellList list;
    select(list, dir.path(), {"a.txt"});
    list.InvokeSelectionVerb("copy");
    list.InvokeFolderVerb("paste");
    list.InvokeFolderVerb("paste");
    EXPECT_TRUE(exists(dir.filePath("a (copy).txt")));
    EXPECT_TRUE(exists(dir.filePath("a (copy 2).txt")));
    EXPECT_TRUE(exists(dir.filePath("a.txt")));
}

TEST_F(ShellVerbs, FolderIntoItsOwnSubfolderIsRefusedWithAMessage)
{
    TempDir dir{"f/sub/x.txt"};
    TShellList list;
    select(list, dir.path(), {"f"});
    list.InvokeSelectionVerb("copy");
    list.Folder().SetPath(dir.filePath("f/sub"));
    list.InvokeFolderVerb("paste");
    EXPECT_EQ(box.caption, QStringLiteral("Error"));
    EXPECT_TRUE(box.text.contains(QStringLiteral("inside the source folder"))) << box.text.toStdString();
    EXPECT_EQ(QDir(dir.filePath("f/sub")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"x.txt"});
}

TEST_F(ShellVerbs, CancelledCopyLeavesNoPartialTarget)
{
    TempDir dir{"dst/"};
    dir.addFile("big.bin", QByteArray(32 << 20, 'x'));
    dir.addFile("folder/one", QByteArray(1 << 20, 'y'));
    TShellList list;
    select(list, dir.path(), {"big.bin", "folder"});
    list.InvokeSelectionVerb("copy");
    app::SetFileOpAnswerers({{}, {}, [](platform::FileOperation& op) { op.cancel(); }});
    list.Folder().SetPath(dir.filePath("dst"));
    list.InvokeFolderVerb("paste");
    EXPECT_EQ(QDir(dir.filePath("dst")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList{});
    EXPECT_TRUE(exists(dir.filePath("big.bin")));
}

TEST_F(ShellVerbs, ConflictAnswersReachTheEngine)
{
    TempDir dir{"src/a.txt", "dst/"};
    dir.addFile("dst/a.txt", "old");
    TShellList list;
    select(list, dir.filePath("src"), {"a.txt"});
    list.InvokeSelectionVerb("copy");
    int asked = 0;
    app::SetFileOpAnswerers({[&](const platform::ConflictQuestion& q) {
                                 ++asked;
                                 EXPECT_TRUE(q.target.endsWith("dst/a.txt"));
                                 return platform::ConflictAnswer{platform::ConflictAction::KeepBoth, false};
                             },
                             {},
                             {}});
    list.Folder().SetPath(dir.filePath("dst"));
    list.InvokeFolderVerb("paste");
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(exists(dir.filePath("dst/a (2).txt")));
    QFile old(dir.filePath("dst/a.txt"));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
}

TEST_F(ShellVerbs, DeleteMovesToTheTrashWithItsInfoAfterConfirmation)
{
    TempDir dir{"gone.txt", "kept.txt"};
    TShellList list;
    // Saying No keeps the file.
    app::SetMsgBoxRecorder(&box, app::IDNO);
    select(list, dir.path(), {"kept.txt"});
    list.InvokeSelectionVerb("delete");
    EXPECT_TRUE(box.text.contains(QStringLiteral("Trash")));
    EXPECT_TRUE(exists(dir.filePath("kept.txt")));

    app::SetMsgBoxRecorder(&box, app::IDYES);
    select(list, dir.path(), {"gone.txt"});
    list.InvokeSelectionVerb("delete");
    EXPECT_FALSE(exists(dir.filePath("gone.txt")));
    const QString trash = QString::fromLocal8Bit(platform::HomeTrashPath());
    EXPECT_TRUE(exists(trash + "/files/gone.txt"));
    EXPECT_TRUE(exists(trash + "/info/gone.txt.trashinfo"));
}

TEST_F(ShellVerbs, ShiftDeleteRemovesForGoodAfterItsOwnConfirmation)
{
    TempDir dir{"x.txt", "d/inner.txt"};
    TShellList list;
    select(list, dir.path(), {"x.txt", "d"});
    list.show();
    QTest::keyClick(list.CurrentView(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(box.text.contains(QStringLiteral("for good"))) << box.text.toStdString();
    EXPECT_FALSE(exists(dir.filePath("x.txt")));
    EXPECT_FALSE(exists(dir.filePath("d")));
    const QString trash = QString::fromLocal8Bit(platform::HomeTrashPath());
    EXPECT_FALSE(exists(trash + "/files/x.txt"));
}

TEST_F(ShellVerbs, PastesGnomeCopiedFilesFromAnotherProgram)
{
    TempDir dir{"other/o.txt", "dst/"};
    auto* data = new QMimeData;
    data->setData("x-special/gnome-copied-files",
                  "copy\n" + platform::PathToFileUri(dir.filePath("other/o.txt").toLocal8Bit()));
    QGuiApplication::clipboard()->setMimeData(data);
    TShellList list;
    list.Folder().SetPath(dir.filePath("dst"));
    list.InvokeFolderVerb("paste");
    EXPECT_TRUE(exists(dir.filePath("dst/o.txt")));
    EXPECT_TRUE(exists(dir.filePath("other/o.txt")));
}

TEST_F(ShellVerbs, VerbTheMenuLacksInvokesNothing)
{
    TempDir dir{"a.txt", "f/"};
    TShellList list;
    select(list, dir.path(), {"a.txt"});
    std::unique_ptr<platform::IContextMenu> cm;
    const std::vector<PItemIDList> rels{list.SelectedData()->RelIdList()};
    ASSERT_TRUE(platform::Succeeded(platform::GetUIObjectOf(nullptr, list.CurrentFolder(), rels, cm)));
    // A file's menu has no paste; "Paste" into it must not reach the handler.
    QGuiApplication::clipboard()->setText("x");
    EXPECT_TRUE(platform::Failed(platform::InvokeVerbByName(nullptr, *cm, "paste")));
    EXPECT_TRUE(platform::Failed(platform::InvokeVerbByName(nullptr, *cm, "frobnicate")));
    EXPECT_TRUE(box.text.isEmpty());
    // Verbs match case-insensitively.
    EXPECT_TRUE(platform::Succeeded(platform::InvokeVerbByName(nullptr, *cm, "COPY")));
    EXPECT_TRUE(platform::HasPasteableFiles(QGuiApplication::clipboard()->mimeData()));
}

TEST_F(ShellVerbs, MenusFollowTheItemsAndRenameBecomesEditing)
{
    TempDir dir{"a.txt", "b.txt"};
    TShellList list;
    list.show();
    select(list, dir.path(), {"a.txt", "b.txt"});
    QStringList captions;
    QStringList hints;
    list.OnPopupHint = [&](QObject*, const QString& h) { hints << h; };
    SetShellMenuChooser([&](QMenu* menu) {
        int rename = 0;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator())
                continue;
            captions << a->text();
            if (a->data().toInt() == platform::FirstCommandId + platform::voRename)
                rename = a->data().toInt();
            emit menu->hovered(a);
        }
        return rename;
    });
    list.ShowContextMenu(QPoint(1, 1));
    EXPECT_EQ(captions, (QStringList{"&Open", "Se&nd To", "Cu&t", "&Copy", "Create &Link", "&Delete", "Rena&me", "Create &Zip File...", "P&roperties"}));
    EXPECT_TRUE(hints.contains(QStringLiteral("Copies the selected items to the Clipboard.")));
    EXPECT_EQ(hints.last(), QString());
    EXPECT_TRUE(list.Editing());
}

TEST_F(ShellVerbs, LinkMakesASymbolicLinkBesideTheItem)
{
    TempDir dir{"a.txt"};
    TShellList list;
    select(list, dir.path(), {"a.txt"});
    list.InvokeSelectionVerb("link");
    list.InvokeSelectionVerb("link");
    EXPECT_EQ(QFile::symLinkTarget(dir.filePath("Link to a.txt")), dir.filePath("a.txt"));
    EXPECT_TRUE(exists(dir.filePath("Link to a.txt (2)")));
}

TEST_F(ShellVerbs, TreeVerbsSkipTheTopNode)
{
    TShellTree tree;
    tree.BaseFolder().SetIdList(platform::EmptyIdList());
    tree.RefreshTree();
    auto* top = static_cast<TShTreeNode*>(tree.topLevelItem(0));
    if (top) {
        EXPECT_EQ(tree.InvokeNodeVerb(top, "delete"), platform::S_FALSE);
    }
    EXPECT_EQ(tree.InvokeNodeVerb(nullptr, "delete"), platform::S_FALSE);
    EXPECT_TRUE(box.text.isEmpty());
}
