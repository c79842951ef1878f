// The verbs of items in the Trash: restore, copy and delete for good; nothing that would take an
// item out of its trash and leave its .trashinfo behind.
#include "app/Utility.h"
#include "dialogs/FileOpDialogs.h"
#include "dialogs/ShellVerbUi.h"
#include "platform/Clipboard.h"
#include "platform/ShellVerbs.h"
#include "platform/Trash.h"
#include "shellctl/HeaderSortView.h"
#include "shellctl/ShellControls.h"
#include "shellctl/ShellMenu.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
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

bool exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

class TrashVerbs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dir.pathBytes() + "/xdg");
        trash = dir.pathBytes() + "/xdg/Trash";
        app::InstallShellVerbs();
        app::SetMsgBoxRecorder(&box, app::IDYES);
        app::SetFileOpAnswerers({});
        QGuiApplication::clipboard()->clear();
        dir.addFile("docs/a.txt", "a");
        dir.addFile("docs/b.txt", "b");
        dir.addFile("docs/f/inner.txt", "inner");
        auto op = platform::TrashFiles({p("docs/a.txt"), p("docs/b.txt"), p("docs/f")});
        op->run();
        ASSERT_EQ(op->result().status, platform::FileOpResult::Completed);
    }
    void TearDown() override
    {
        app::SetMsgBoxRecorder(nullptr);
        app::SetFileOpAnswerers({});
        SetShellMenuChooser(nullptr);
        qputenv("XDG_DATA_HOME", m_oldDataHome);
    }
    QByteArray p(const QByteArray& rel) const { return dir.pathBytes() + '/' + rel; }

    void showTrash(TShellList& list)
    {
        PItemIDList abs;
        ASSERT_EQ(platform::SHGetSpecialFolderLocation(platform::CSIDL_BITBUCKET, abs), platform::S_OK);
        list.Folder().SetIdList(abs);
        list.RefreshList();
    }
    void select(TShellList& list, const QStringList& names)
    {
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
    // The items the list shows from this test's trash (other volumes' trashes may hold anything).
    int ownCount(TShellList& list) const
    {
        int n = 0;
        for (int i = 0; i < list.Count(); ++i)
            n += list.DataOfIndex(i)->Path().startsWith(dir.path() + QLatin1Char('/'));
        return n;
    }
    // The captions of the selection's context menu.
    static QStringList menuOf(TShellList& list)
    {
        QStringList captions;
        SetShellMenuChooser([&](QMenu* menu) {
            for (QAction* a : menu->actions()) {
                if (!a->isSeparator())
                    captions << a->text();
            }
            return 0;
        });
        list.ShowContextMenu(QPoint(1, 1));
        SetShellMenuChooser(nullptr);
        return captions;
    }

    TempDir dir;
    QByteArray trash;
    app::MsgBoxRecord box;

private:
    QByteArray m_oldDataHome;
};

} // namespace

TEST_F(TrashVerbs, TrashItemsOfferRestoreAndDeleteForGoodButNoCut)
{
    TShellList list;
    list.show();
    showTrash(list);
    select(list, {"a.txt"});
    EXPECT_EQ(menuOf(list), (QStringList{"&Restore", "&Copy", "&Delete", "P&roperties"}));

    // Cut is no command here: nothing goes to the clipboard and the item stays with its info.
    list.InvokeSelectionVerb("cut");
    EXPECT_TRUE(platform::CutItems::instance().isEmpty());
    EXPECT_FALSE(platform::HasPasteableFiles(QGuiApplication::clipboard()->mimeData()));

    // Delete asks once and deletes for good, item and info together.
    list.InvokeSelectionVerb("delete");
    EXPECT_TRUE(box.text.contains(QStringLiteral("for good"))) << box.text.toStdString();
    EXPECT_FALSE(exists(trash + "/files/a.txt"));
    EXPECT_FALSE(exists(trash + "/info/a.txt.trashinfo"));
    EXPECT_TRUE(exists(trash + "/info/b.txt.trashinfo"));
    // Nothing watches the Trash: the list looks again after the verb.
    EXPECT_EQ(ownCount(list), 2);

    // Restore brings an item back and takes its info away.
    select(list, {"f"});
    list.InvokeSelectionVerb("restore");
    EXPECT_TRUE(exists(p("docs/f/inner.txt")));
    EXPECT_FALSE(exists(trash + "/files/f"));
    EXPECT_FALSE(exists(trash + "/info/f.trashinfo"));
    EXPECT_EQ(ownCount(list), 1);
}

TEST_F(TrashVerbs, TheTrashsOwnFolderOnDiskActsAsTheTrash)
{
    // Browsing to the files folder itself must not open a way around the Trash's rules.
    TShellList list;
    list.show();
    list.Folder().SetPath(QString::fromLocal8Bit(trash + "/files"));
    select(list, {"b.txt"});
    EXPECT_EQ(menuOf(list), (QStringList{"&Restore", "&Copy", "&Delete", "P&roperties"}));
    std::unique_ptr<platform::IContextMenu> background;
    ASSERT_EQ(platform::ItemUIObject(list.CurrentIdList(), background), platform::S_OK);
    QGuiApplication::clipboard()->setText("x");
    EXPECT_TRUE(platform::Failed(platform::InvokeVerbByName(nullptr, *background, "paste")));

    list.InvokeSelectionVerb("restore");
    EXPECT_EQ(QDir(QString::fromLocal8Bit(p("docs"))).entryList(QDir::Files), QStringList{"b.txt"});
    EXPECT_FALSE(exists(trash + "/info/b.txt.trashinfo"));
}

TEST_F(TrashVerbs, InsideATrashedFolderDeleteIsForGood)
{
    TShellList list;
    list.show();
    list.Folder().SetPath(QString::fromLocal8Bit(trash + "/files/f"));
    select(list, {"inner.txt"});
    EXPECT_FALSE(menuOf(list).contains(QStringLiteral("Cu&t")));
    list.InvokeSelectionVerb("delete");
    EXPECT_TRUE(box.text.contains(QStringLiteral("for good"))) << box.text.toStdString();
    EXPECT_FALSE(exists(trash + "/files/f/inner.txt"));
    // The trashed folder keeps its info: it can still be restored.
    EXPECT_TRUE(exists(trash + "/files/f"));
    EXPECT_TRUE(exists(trash + "/info/f.trashinfo"));
}

TEST_F(TrashVerbs, DetailsViewShowsWhereItemsCameFromAndSortsByIt)
{
    // By name it would come first among the files, by where it came from last.
    dir.addFile("other/0.txt", "00");
    auto op = platform::TrashFiles({p("other/0.txt")});
    op->run();
    TShellList list;
    list.SetViewStyle(vsReport);
    list.resize(900, 400);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    showTrash(list);
    QAbstractItemModel* model = list.Model();
    QStringList headers;
    for (int i = 0; i < model->columnCount(); ++i)
        headers << model->headerData(i, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"Name", "Original Location", "Deletion Date", "Size", "Type"}));
    EXPECT_EQ(model->headerData(3, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_GT(list.ColumnWidth(1), list.ColumnWidth(3));

    // Click the Original Location header: "docs" before "other", then the other way round.
    auto ownRows = [&] {
        std::vector<int> rows;
        for (int i = 0; i < list.Count(); ++i) {
            if (list.DataOfIndex(i)->Path().startsWith(dir.path() + QLatin1Char('/')))
                rows.push_back(i);
        }
        return rows;
    };
    auto originAt = [&](int row) { return model->index(row, 1).data().toString(); };
    const QRect section(list.Header()->sectionViewportPosition(1), 0, list.Header()->sectionSize(1), list.Header()->height());
    QTest::mouseClick(list.Header()->viewport(), Qt::LeftButton, {}, section.center());
    EXPECT_EQ(list.SortKey(), 2);
    std::vector<int> rows = ownRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(originAt(rows[0]), QString::fromLocal8Bit(p("docs")));  // the folder f comes first
    EXPECT_EQ(originAt(rows[3]), QString::fromLocal8Bit(p("other")));
    EXPECT_EQ(model->index(rows[3], 0).data().toString(), "0.txt");
    EXPECT_EQ(model->index(rows[3], 3).data().toString(), "1KB");
    EXPECT_FALSE(model->index(rows[3], 2).data().toString().isEmpty());
    // Away from the first click, so the two do not make a double click.
    QTest::mouseClick(list.Header()->viewport(), Qt::LeftButton, {}, section.center() + QPoint(30, 0));
    EXPECT_EQ(list.SortKey(), -2);
    rows = ownRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(originAt(rows[0]), QString::fromLocal8Bit(p("other")));

    // Back in an ordinary folder the standard columns return.
    list.Folder().SetPath(dir.path());
    list.RefreshList();
    headers.clear();
    for (int i = 0; i < model->columnCount(); ++i)
        headers << model->headerData(i, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"Name", "Size", "Type", "Modified"}));
}

// Another program's cut of a trashed item: pasting it here takes the item out of the trash and
// its info with it; the trash's own folder takes no paste.
TEST_F(TrashVerbs, ItemsCutElsewhereLeaveTheTrashWithTheirInfo)
{
    dir.addFolder("dst");
    auto* data = new QMimeData;
    data->setData("x-special/gnome-copied-files", "cut\n" + platform::PathToFileUri(trash + "/files/a.txt"));
    QGuiApplication::clipboard()->setMimeData(data);
    TShellList list;
    list.Folder().SetPath(QString::fromLocal8Bit(p("dst")));
    list.InvokeFolderVerb("paste");
    EXPECT_TRUE(exists(p("dst/a.txt")));
    EXPECT_FALSE(exists(trash + "/files/a.txt"));
    EXPECT_FALSE(exists(trash + "/info/a.txt.trashinfo"));

    // The files folder as an item of its trash folder: no paste into it.
    list.Folder().SetPath(QString::fromLocal8Bit(trash));
    select(list, {"files"});
    EXPECT_FALSE(menuOf(list).contains(QStringLiteral("&Paste")));
}
