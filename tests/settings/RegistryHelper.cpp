// registry_helper loop PATH   writes values in a loop until it is killed, telling every tenth
// registry_helper open PATH   opens the store once and reports what it finds
#include "platform/Registry.h"

#include <QByteArray>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

using namespace corvane::platform;

namespace {

const QString kKey = QStringLiteral("Software\\Corvane\\frmMain");

int loop(const QString& path)
{
    auto hive = Hive::open(path);
    if (!hive->problem().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(hive->problem()));
        return 2;
    }
    const RegKey key = hive->root().openSubKey(kKey, true);
    for (std::uint32_t i = 1;; ++i) {
        // Every value is written whole: a torn write would show as a blob of mixed bytes.
        QByteArray blob(4096, char(i & 0xFF));
        std::memcpy(blob.data(), &i, sizeof i);
        if (key.setValue(QStringLiteral("Blob"), RegValue::fromBinary(blob)) != RegStatus::Ok
            || key.setValue(QStringLiteral("Counter"), RegValue::fromDword(i)) != RegStatus::Ok)
            return 3;
        if (i % 8 == 0) {
            key.openSubKey(QStringLiteral("Temp\\A\\B"), true).setValue(QStringLiteral("X"), RegValue::fromString(QStringLiteral("x")));
            key.deleteSubKeyTree(QStringLiteral("Temp"));
        }
        if (i == 1) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
        // Progress, so a test can kill it at different points without watching the clock.
        if (i % 10 == 0) {
            std::printf("wrote %u\n", i);
            std::fflush(stdout);
        }
    }
}

int openOnce(const QString& path)
{
    setCurrentUserHive(Hive::open(path, 500));
    int problems = 0;
    for (int i = 0; i < 3; ++i) {
        const QString p = takeRegistryProblem();
        if (!p.isEmpty()) {
            ++problems;
            std::printf("problem: %s\n", qPrintable(p.section(QLatin1Char('\n'), 0, 0)));
        }
    }
    std::printf("problems: %d\n", problems);
    const RegKey root = rootKey(RootKey::CurrentUser);
    std::printf("existing: %s\n", root.openSubKey(kKey, false).value(QStringLiteral("Existing")) ? "present" : "absent");
    const RegKey k = root.openSubKey(kKey, true);
    const bool wrote = k.setValue(QStringLiteral("New"), RegValue::fromDword(7)) == RegStatus::Ok
        && k.value(QStringLiteral("New")).has_value();
    std::printf("write: %s\n", wrote ? "ok" : "failed");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 1;
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (std::strcmp(argv[1], "loop") == 0)
        return loop(path);
    if (std::strcmp(argv[1], "open") == 0)
        return openOnce(path);
    return 1;
}
