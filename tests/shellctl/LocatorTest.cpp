#include "platform/IdListFormat.h"
#include "shellctl/ShellRecords.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace corvane::shellctl;
using corvane::test::TempDir;

namespace {
struct Counted {
    TShellLocator loc;
    int changes = 0;
    Counted() { loc.OnChange = [this](TShellLocator&) { ++changes; }; }
};
} // namespace

TEST(ShellLocator, FiresOnlyOnEffectiveChanges)
{
    TempDir dir{"a/"};
    Counted c;
    c.loc.SetIdList(PItemIDList());
    EXPECT_EQ(c.changes, 0);  // null while null is held
    c.loc.SetIdList(corvane::platform::EmptyIdList());
    EXPECT_EQ(c.changes, 1);  // an empty list while null is held
    c.loc.SetPath(dir.filePath("a"));
    EXPECT_EQ(c.changes, 2);
    EXPECT_EQ(c.loc.Path(), dir.filePath("a"));
    c.loc.SetPath(dir.filePath("a"));
    EXPECT_EQ(c.changes, 2);  // the same folder again
    c.loc.SetPath(dir.filePath("missing"));
    EXPECT_EQ(c.changes, 3);
    EXPECT_TRUE(c.loc.IdList().isNull());  // a missing folder leaves the desktop
}

TEST(ShellLocator, AssignAndSameLocation)
{
    TempDir dir;
    Counted a, b;
    a.loc.SetPath(dir.path());
    b.loc.Assign(&a.loc);
    EXPECT_EQ(b.changes, 1);
    EXPECT_TRUE(b.loc.SameLocation(a.loc));
    b.loc.Assign(&a.loc);
    EXPECT_EQ(b.changes, 1);
    b.loc.SetSpecialFolder(17);
    EXPECT_FALSE(b.loc.SameLocation(a.loc));
    a.loc.Assign(&b.loc);
    EXPECT_EQ(a.loc.Kind(), TShellLocator::KindSpecial);
    EXPECT_TRUE(a.loc.SameLocation(b.loc));
    b.loc.Assign(nullptr);  // nothing held for a special folder: no change
    EXPECT_EQ(b.changes, 2);
}

TEST(ShellLocator, StreamForm)
{
    TShellLocator desk;
    ASSERT_TRUE(desk.ReadData(QByteArray("\0\0\0\0\0", 5)));
    EXPECT_EQ(desk.Kind(), TShellLocator::KindSpecial);
    EXPECT_EQ(desk.SpecialFolder(), 0);
    EXPECT_EQ(desk.WriteData(), QByteArray("\x01\x00", 2));

    TempDir dir;
    TShellLocator usr;
    usr.SetPath(dir.path());
    QByteArray bytes = usr.WriteData();
    EXPECT_EQ(bytes[0], '\0');
    EXPECT_EQ(quint8(bytes[1]) + 5, bytes.size());
    TShellLocator back;
    ASSERT_TRUE(back.ReadData(bytes));
    EXPECT_TRUE(back.SameLocation(usr));
    EXPECT_EQ(back.Path(), dir.path());

    TShellLocator none;
    EXPECT_FALSE(none.HasStoredValue());
    // Malformed input leaves the locator as it was.
    for (const QByteArray& bad : {QByteArray("\0\xff\0\0\0", 5), QByteArray("\0\x04\0\0\0\x09\0\0\0", 9), QByteArray("\x01", 1)})
        EXPECT_FALSE(back.ReadData(bad));
    EXPECT_EQ(back.Path(), dir.path());
}
