// Out of inotify watches or instances: the controls keep working without live refresh for
// what they could not watch, and say so once, quietly.
#include "platform/ChangeNotifyConsts.h"

#include <QProcess>
#include <gtest/gtest.h>

TEST(WatchLimit, ControlsKeepWorkingWithoutLiveRefresh)
{
    for (const char* mode : {"watches", "instances"}) {
        SCOPED_TRACE(mode);
        QProcess child;
        child.start(QStringLiteral("unshare"), {QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                                QStringLiteral(WATCH_LIMIT_CHILD), QString::fromLatin1(mode)});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QByteArray out = child.readAllStandardOutput();
        const QByteArray err = child.readAllStandardError();
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << out.constData() << err.constData();
        EXPECT_EQ(err.count(corvane::platform::texts::WatchLimitNote), 1) << err.constData();
    }
}
