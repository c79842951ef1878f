#include "platform/DesktopEntry.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace corvane::platform;
using corvane::test::TempDir;

TEST(DesktopEntry, ValuesAreReadAsKeyFileStrings)
{
    struct Case {
        const char* line;  // in the "Desktop Entry" group
        QString value;     // null: unreadable
    };
    const Case cases[] = {
        {"K=a,b;c", QStringLiteral("a,b;c")},
        {"K=x\\;y", QStringLiteral("x;y")},
        {"K=\\sfront\\tand\\\\back", QStringLiteral(" front\tand\\back")},
        {"K = spaced  ", QStringLiteral("spaced  ")},
        {"K=caf\xc3\xa9 %20", QString::fromUtf8("caf\xc3\xa9 %20")},
        {"K=cut\\", QString()},
        {"K=bad\\q", QString()},
        {"Other=1", QString()},
    };
    for (const Case& c : cases) {
        DesktopEntry entry;
        ASSERT_TRUE(entry.parse(QByteArray("# note\n[Desktop Entry]\n") + c.line + "\n[Other]\nK=no\n")) << c.line;
        EXPECT_EQ(entry.value("K"), c.value) << c.line;
        EXPECT_EQ(entry.value("K").isNull(), c.value.isNull()) << c.line;
    }
    DesktopEntry localized;
    ASSERT_TRUE(localized.parse("[Desktop Entry]\nName[xx_YY]=Other\nName=Plain\n"));
    EXPECT_EQ(localized.localeValue("Name"), QStringLiteral("Plain"));
}

TEST(DesktopEntry, OnlyRegularKeyFilesWithTheGroupAreRead)
{
    TempDir dir;
    dir.addFile("ok.desktop", "[Desktop Entry]\nType=Link\nURL=file:///tmp/a,b\nComment=Here, there\n");
    dir.addFile("nogroup.desktop", "Type=Link\nURL=file:///tmp\n");
    dir.addFile("othergroup.desktop", "[Desktop Action x]\nType=Link\nURL=file:///tmp\n");
    dir.addFile("app.desktop", "[Desktop Entry]\nType=Application\nExec=true\n");
    dir.addFile("nourl.desktop", "[Desktop Entry]\nType=Link\n");
    dir.addFile("binary.desktop", QByteArray("\xff\xfe\0[Desktop Entry]\n", 18));
    dir.addFile("huge.desktop", "[Desktop Entry]\nType=Link\nURL=file:///tmp\nX=" + QByteArray(DesktopEntry::MaxSize, 'x') + "\n");
    dir.addSymlink("link.desktop", "ok.desktop");
    ASSERT_EQ(::mkfifo((dir.pathBytes() + "/fifo.desktop").constData(), 0600), 0);

    DesktopLink link;
    ASSERT_TRUE(ReadDesktopLink(dir.pathBytes() + "/ok.desktop", &link));
    EXPECT_EQ(link.url, QStringLiteral("file:///tmp/a,b"));
    EXPECT_EQ(link.comment, QStringLiteral("Here, there"));
    for (const char* name : {"nogroup", "othergroup", "app", "nourl", "binary", "huge", "link", "fifo", "missing"})
        EXPECT_FALSE(ReadDesktopLink(dir.pathBytes() + '/' + name + ".desktop", &link)) << name;
}
