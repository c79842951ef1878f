#include "platform/IdListFormat.h"
#include "shellctl/ShellRecords.h"
#include "shellctl/UShellUtils.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace corvane::shellctl;
using namespace corvane::platform;
using corvane::test::TempDir;

namespace {

PItemIDList item(int totalSize, char fill)
{
    return MakeIdItem(QByteArray(totalSize - 2, fill));
}

PItemIDList list(std::initializer_list<PItemIDList> items)
{
    PItemIDList out = EmptyIdList();
    for (const PItemIDList& i : items)
        out = ConcatIdLists(out, i);
    return out;
}

} // namespace

TEST(IdListHelpers, SizesCopiesAndJoins)
{
    EXPECT_EQ(IdListSize(EmptyIdList()), 2);
    EXPECT_EQ(IdListSize(PItemIDList()), 0);
    EXPECT_EQ(IdListSize(list({item(20, 'a'), item(14, 'b')})), 36);
    EXPECT_EQ(CopyIdList(PItemIDList()), EmptyIdList());
    PItemIDList x = list({item(5, 'x'), item(7, 'y')});
    EXPECT_EQ(ConcatIdLists(EmptyIdList(), x), x);
    EXPECT_EQ(CopyIdList(x), x);
    // A malformed size never reads past the end.
    PItemIDList broken("\x40\x00zz", 4);
    EXPECT_EQ(IdListSize(broken), 2);
    EXPECT_TRUE(IdListItems(broken).empty());
}

TEST(IdListHelpers, CompareNullEmptyAndBytewise)
{
    EXPECT_EQ(CompareIdLists(PItemIDList(), PItemIDList()), 0);
    EXPECT_EQ(CompareIdLists(PItemIDList(), EmptyIdList()), -1);
    EXPECT_EQ(CompareIdLists(EmptyIdList(), EmptyIdList()), 0);
    TempDir dir;
    PItemIDList root;
    ASSERT_EQ(IdListFromPath(dir.path(), root), S_OK);
    EXPECT_EQ(CompareIdLists(root, EmptyIdList()), -1);
    EXPECT_EQ(CompareIdLists(EmptyIdList(), root), -1);
    EXPECT_EQ(CompareIdLists(root, CopyIdList(root)), 0);
    EXPECT_EQ(BytewiseCompareIdLists(list({item(4, 'a')}), list({item(4, 'b')})), 'a' - 'b');
    EXPECT_EQ(BytewiseCompareIdLists(list({item(4, 'a')}), list({item(4, 'a'), item(3, 'c')})), -3);
}

TEST(IdListArray, ItemsHeadsAndRange)
{
    PItemIDList three = list({item(4, 'a'), item(5, 'b'), item(6, 'c')});
    TIdListArray arr(three);
    EXPECT_EQ(arr.Count(), 3);
    EXPECT_EQ(arr.Item(1), item(5, 'b'));
    EXPECT_EQ(IdListItems(arr.Head(1)).size(), 2u);
    EXPECT_EQ(arr.Head(3), EmptyIdList());
    EXPECT_TRUE(arr.Head(4).isNull());
    try {
        arr.Item(3);
        FAIL() << "no exception";
    } catch (const EShellError& e) {
        EXPECT_EQ(e.message(), "TIdListArray - index 3 out of range");
    }
    EXPECT_THROW(arr.Item(-1), EShellError);
    TIdListArray empty(EmptyIdList());
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_EQ(empty.Item(0), EmptyIdList());
    TIdListArray null{PItemIDList()};
    EXPECT_THROW(null.Item(0), EShellError);
}

TEST(PidlList, SortedAddSearchAndDuplicates)
{
    TPidlList l;
    l.Add(list({item(4, 'c')}));
    l.Add(list({item(4, 'a')}));
    l.Add(list({item(4, 'b')}));
    EXPECT_EQ(l.IndexOf(list({item(4, 'b')})), 2);  // unsorted: a linear search
    l.SetSorted(true);
    EXPECT_EQ(l.IdList(0), list({item(4, 'a')}));
    EXPECT_EQ(l.IndexOf(list({item(4, 'c')})), 2);
    EXPECT_EQ(l.IndexOf(list({item(4, 'z')})), -1);
    try {
        l.Add(list({item(4, 'b')}));
        FAIL() << "no exception";
    } catch (const EShellError& e) {
        EXPECT_EQ(e.message(), "TPidlList: Duplicate PIDL");
    }
    l.SetDuplicates(TPidlList::dupIgnore);
    EXPECT_EQ(l.Add(list({item(4, 'b')})), 1);
    EXPECT_EQ(l.Count(), 3);
    l.SetDuplicates(TPidlList::dupAccept);
    l.Add(list({item(4, 'b')}));
    EXPECT_EQ(l.Count(), 4);
    EXPECT_EQ(l.IndexOf(list({item(4, 'b')})), 1);  // the first of the equal ones
    l.Delete(0);
    EXPECT_EQ(l.IndexOf(list({item(4, 'a')})), -1);
}

TEST(PidlList, FolderComparisonSortsByName)
{
    TempDir dir{"share/", "bin/", "lib/"};
    ShellFolderPtr usr;
    PItemIDList abs;
    ASSERT_EQ(IdListFromPath(dir.path(), abs), S_OK);
    ASSERT_EQ(BindToFolder(abs, usr), S_OK);
    TPidlList l;
    l.SetFolder(usr);
    for (const char* n : {"share", "bin", "lib"}) {
        PItemIDList rel;
        ASSERT_EQ(usr->ParseDisplayName(n, rel), S_OK);
        l.Add(rel);
    }
    l.SetSorted(true);
    EXPECT_EQ(GetDisplayName(usr, l.IdList(0), dnInFolder), "bin");
    EXPECT_EQ(GetDisplayName(usr, l.IdList(2), dnInFolder), "share");
}
