// Renaming in place changes only what the user typed: bytes that are not UTF-8 and control
// characters in a name survive an edit.
#include "shellctl/ShellControls.h"
#include "tests/support/TempDir.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::shellctl;
using corvane::test::TempDir;

namespace {

struct OddName {
    QByteArray bytes;
    QString shown;  // what the editor shows
};

const OddName oddNames[] = {
    {"bad\xff" "name", QStringLiteral("bad") + QChar(0xDCFF) + QStringLiteral("name")},
    {"tab\there", QStringLiteral("tab\u2409here")},
    {"line\nbreak", QStringLiteral("line\u240Abreak")},
};

bool exists(const QByteArray& path)
{
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

QLineEdit* openEditor(QAbstractItemView* view)
{
    for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>()) {
        if (e->isVisible())
            return e;
    }
    return nullptr;
}

// Appends "2" as a user does: End, the key, Enter.
void appendTwo(QLineEdit* editor)
{
    QTest::keyClick(editor, Qt::Key_End);
    QTest::keyClicks(editor, "2");
    QTest::keyClick(editor, Qt::Key_Return);
}

} // namespace

TEST(RenameEdit, ListKeepsTheBytesItDoesNotShow)
{
    for (const OddName& c : oddNames) {
        SCOPED_TRACE(c.bytes.toStdString());
        TempDir dir;
        dir.addFile(c.bytes, "x");
        TShellList list;
        list.SetViewStyle(vsReport);
        list.resize(400, 300);
        list.show();
        list.Folder().SetPath(dir.path());
        ASSERT_EQ(list.Count(), 1);
        list.setCurrentIndex(list.Model()->index(0, 0));
        ASSERT_TRUE(list.EditCaption(0));
        QLineEdit* editor = openEditor(list.CurrentView());
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), c.shown);
        appendTwo(editor);
        ASSERT_TRUE(QTest::qWaitFor([&] { return exists(dir.pathBytes() + '/' + c.bytes + '2'); }));
        EXPECT_FALSE(exists(dir.pathBytes() + '/' + c.bytes));
        // The temporary folder cannot remove names that are not UTF-8 itself.
        ::unlink((dir.pathBytes() + '/' + c.bytes + '2').constData());
    }
}

TEST(RenameEdit, TreeKeepsTheBytesItDoesNotShow)
{
    for (const OddName& c : oddNames) {
        SCOPED_TRACE(c.bytes.toStdString());
        TempDir dir;
        dir.addFolder(c.bytes + "/inner");
        TShellTree tree;
        tree.resize(300, 400);
        tree.show();
        tree.SelectPath(dir.path());
        QTreeWidgetItem* parent = tree.currentItem();
        ASSERT_NE(parent, nullptr);
        parent->setExpanded(true);
        ASSERT_EQ(parent->childCount(), 1);
        ASSERT_TRUE(tree.EditNode(parent->child(0)));
        QLineEdit* editor = openEditor(&tree);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->text(), c.shown);
        appendTwo(editor);
        ASSERT_TRUE(QTest::qWaitFor([&] { return exists(dir.pathBytes() + '/' + c.bytes + "2/inner"); }));
        EXPECT_FALSE(exists(dir.pathBytes() + '/' + c.bytes));
        ::rmdir((dir.pathBytes() + '/' + c.bytes + "2/inner").constData());
        ::rmdir((dir.pathBytes() + '/' + c.bytes + '2').constData());
    }
}

// The stand-ins for control characters are not applied to a name that has them as characters.
TEST(RenameEdit, PicturesInANameStayPictures)
{
    TempDir dir;
    const QByteArray name = QStringLiteral("tab\t and \u2409").toUtf8();
    dir.addFile(name);
    TShellList list;
    list.show();
    list.Folder().SetPath(dir.path());
    ASSERT_EQ(list.Count(), 1);
    ASSERT_TRUE(list.EditCaption(0));
    QLineEdit* editor = openEditor(list.CurrentView());
    ASSERT_NE(editor, nullptr);
    appendTwo(editor);
    ASSERT_TRUE(QTest::qWaitFor([&] { return exists(dir.pathBytes() + '/' + name + '2'); }));
}
