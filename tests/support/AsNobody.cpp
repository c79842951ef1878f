#include "AsNobody.h"

#include <QFileInfo>
#include <QProcess>

namespace corvane::test {

QString ChildMode()
{
    return qEnvironmentVariable("CORVANE_TEST_CHILD");
}

int RunTestAsNobody(const QString& test, const QString& mode, const QProcessEnvironment& extra, QString* output)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVANE_TEST_CHILD"), mode);
    env.insert(extra);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                            QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(),
                                            "--gtest_filter=" + test});
    if (!child.waitForFinished(60000))
        return -1;
    if (output)
        *output = QString::fromUtf8(child.readAll());
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}

} // namespace corvane::test
