#include "platform/Registry.h"
#include "platform/RegistryConsts.h"
#include "tests/support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <csignal>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

using namespace corvane::platform;
using corvane::test::TempDir;

namespace {

const QString kFrmMain = QStringLiteral("Software\\Corvane\\frmMain");

class RegistryTest : public ::testing::Test
{
protected:
    QString dbPath() const { return m_dir.filePath(QStringLiteral("Corvane/registry.sqlite3")); }
    void TearDown() override { setCurrentUserHive(Hive::inMemory()); }

    TempDir m_dir;
};

std::string integrity(const QString& path)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
    std::string result = sqlite3_step(st) == SQLITE_ROW ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0)) : "no row";
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

TEST_F(RegistryTest, KeysAndValuesIgnoreCaseAndKeepTheFirstSpelling)
{
    auto hive = Hive::open(dbPath());
    ASSERT_TRUE(hive->problem().isEmpty()) << hive->problem().toStdString();
    ASSERT_TRUE(hive->isPersistent());
    const RegKey key = hive->root().openSubKey(kFrmMain + QStringLiteral("\\frmMain\\Font"), true);
    ASSERT_TRUE(key.isOpen());

    EXPECT_EQ(key.setValue(QStringLiteral("Name"), RegValue::fromString(QStringLiteral("Arial"))), RegStatus::Ok);
    EXPECT_EQ(key.setValue(QStringLiteral("Size"), RegValue::fromDword(0xFFFFFFFBu)), RegStatus::Ok);
    EXPECT_EQ(key.setValue(QStringLiteral("Blob"), RegValue::fromBinary(QByteArray("\x00\x01\xff", 3))), RegStatus::Ok);
    EXPECT_EQ(key.setValue(QStringLiteral("Empty"), RegValue::fromBinary({})), RegStatus::Ok);
    EXPECT_EQ(key.setValue(QStringLiteral("NAME"), RegValue::fromString(QStringLiteral("Verdana"))), RegStatus::Ok);

    const RegKey again = hive->root().openSubKey(QStringLiteral("SOFTWARE\\corvane\\FRMMAIN\\frmmain\\font"), false);
    ASSERT_TRUE(again.isOpen());
    EXPECT_EQ(again.name(), QStringLiteral("Font"));
    EXPECT_EQ(again.valueNames(), (QStringList {"Name", "Size", "Blob", "Empty"}));
    EXPECT_EQ(again.value(QStringLiteral("name"))->toString(), QStringLiteral("Verdana"));
    EXPECT_EQ(again.value(QStringLiteral("size"))->type, RegType::Dword);
    EXPECT_EQ(again.value(QStringLiteral("size"))->toDword(), 0xFFFFFFFBu);
    EXPECT_EQ(again.value(QStringLiteral("blob"))->data, QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(again.value(QStringLiteral("empty"))->type, RegType::Binary);
    EXPECT_TRUE(again.value(QStringLiteral("empty"))->data.isEmpty());
    EXPECT_FALSE(again.value(QStringLiteral("Missing")).has_value());

    EXPECT_EQ(again.deleteValue(QStringLiteral("BLOB")), RegStatus::Ok);
    EXPECT_EQ(again.deleteValue(QStringLiteral("Blob")), RegStatus::NotFound);

    // The file keeps everything once the hive is gone.
    hive.reset();
    auto reopened = Hive::open(dbPath());
    const RegKey font = reopened->root().openSubKey(kFrmMain + QStringLiteral("\\frmMain\\Font"), false);
    EXPECT_EQ(font.valueNames(), (QStringList {"Name", "Size", "Empty"}));
    EXPECT_EQ(reopened->root().openSubKey(kFrmMain, false).subKeyNames(), QStringList {"frmMain"});
}

TEST_F(RegistryTest, DeletingKeys)
{
    auto hive = Hive::open(dbPath());
    const RegKey base = hive->root().openSubKey(kFrmMain, true);
    const RegKey deep = base.openSubKey(QStringLiteral("A\\B"), true);
    deep.setValue(QStringLiteral("V"), RegValue::fromDword(1));

    EXPECT_EQ(base.deleteSubKey(QStringLiteral("A")), RegStatus::HasSubKeys);
    EXPECT_TRUE(base.subKeyExists(QStringLiteral("a\\b")));
    EXPECT_EQ(base.deleteSubKey(QStringLiteral("A\\B")), RegStatus::Ok);
    EXPECT_FALSE(deep.exists());
    // A handle to a deleted key must not write values that nothing can reach.
    EXPECT_EQ(deep.setValue(QStringLiteral("V"), RegValue::fromDword(2)), RegStatus::KeyDeleted);

    base.openSubKey(QStringLiteral("A\\C\\D"), true).setValue(QStringLiteral("V"), RegValue::fromDword(1));
    EXPECT_EQ(base.deleteSubKeyTree(QStringLiteral("A")), RegStatus::Ok);
    EXPECT_TRUE(base.subKeyNames().isEmpty());
    EXPECT_EQ(base.deleteSubKeyTree(QStringLiteral("A")), RegStatus::NotFound);
}

TEST_F(RegistryTest, TwoCopiesWritingTheSameFileKeepEachOthersValues)
{
    auto first = Hive::open(dbPath());
    auto second = Hive::open(dbPath());
    const RegKey a = first->root().openSubKey(kFrmMain, true);
    const RegKey b = second->root().openSubKey(kFrmMain, true);
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(a.setValue(QStringLiteral("A%1").arg(i), RegValue::fromDword(std::uint32_t(i))), RegStatus::Ok);
        ASSERT_EQ(b.setValue(QStringLiteral("B%1").arg(i), RegValue::fromDword(std::uint32_t(i))), RegStatus::Ok);
    }
    EXPECT_EQ(a.valueNames().size(), 100);
    EXPECT_EQ(b.value(QStringLiteral("a49"))->toDword(), 49u);
}

TEST_F(RegistryTest, TheSystemViewIsReadOnly)
{
    const RegKey lm = rootKey(RootKey::LocalMachine);
    const RegKey cv = lm.openSubKey(QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"), false);
    ASSERT_TRUE(cv.isOpen());
    EXPECT_FALSE(cv.value(QStringLiteral("ProductName"))->toString().isEmpty());
    EXPECT_FALSE(cv.value(QStringLiteral("CurrentVersion"))->toString().isEmpty());
    EXPECT_TRUE(lm.subKeyExists(QStringLiteral("HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0")));
    EXPECT_EQ(cv.setValue(QStringLiteral("X"), RegValue::fromDword(1)), RegStatus::AccessDenied);
    RegStatus st = RegStatus::Ok;
    EXPECT_FALSE(lm.openSubKey(QStringLiteral("SOFTWARE\\New"), true, &st).isOpen());
    EXPECT_EQ(st, RegStatus::AccessDenied);
    // No organisation: it would add a level to every settings path.
    EXPECT_FALSE(lm.openSubKey(QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion"), false)
                     .value(QStringLiteral("RegisteredOrganization")));
}

TEST_F(RegistryTest, ADamagedFileStartsOnDefaultsAndSaysSoOnce)
{
    const QByteArray garbage = QByteArray("this is not a database, ").repeated(200);
    m_dir.addFile("Corvane/registry.sqlite3", garbage);
    setCurrentUserHive(Hive::open(dbPath()));

    const QString problem = takeRegistryProblem();
    EXPECT_TRUE(problem.contains(dbPath())) << problem.toStdString();
    EXPECT_TRUE(problem.contains(consts::SRegistryDamaged()));
    EXPECT_TRUE(takeRegistryProblem().isEmpty());

    // The program runs on: values live in memory, and the damaged file is left as it was.
    const RegKey key = rootKey(RootKey::CurrentUser).openSubKey(kFrmMain, true);
    EXPECT_EQ(key.setValue(QStringLiteral("NumChildren"), RegValue::fromDword(2)), RegStatus::Ok);
    EXPECT_EQ(key.value(QStringLiteral("NumChildren"))->toDword(), 2u);
    QFile f(dbPath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), garbage);
}

TEST_F(RegistryTest, AFileLockedForLongStartsOnDefaults)
{
    Hive::open(dbPath()).reset();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(dbPath()).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    auto hive = Hive::open(dbPath(), 200);
    EXPECT_FALSE(hive->isPersistent());
    EXPECT_TRUE(hive->problem().contains(consts::SRegistryLocked())) << hive->problem().toStdString();

    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

TEST_F(RegistryTest, AnUnwritableFileStartsOnDefaultsForAnotherUser)
{
    {
        auto hive = Hive::open(dbPath());
        hive->root().openSubKey(kFrmMain, true).setValue(QStringLiteral("Existing"), RegValue::fromDword(1));
    }
    // Root ignores permissions: the helper runs as nobody, who may read but not write.
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.filePath(QStringLiteral("Corvane"))).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dbPath()).constData(), 0644), 0);

    // A copy of the helper beside the file, so nobody can run it wherever the build lives.
    const QString helper = m_dir.filePath(QStringLiteral("registry_helper"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(REGISTRY_HELPER), helper));
    ASSERT_EQ(::chmod(QFile::encodeName(helper).constData(), 0755), 0);

    QProcess p;
    p.start(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", helper, "open", dbPath()});
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    ASSERT_EQ(p.exitCode(), 0) << out.toStdString() << p.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("problems: 1"))) << out.toStdString();
    EXPECT_TRUE(out.contains(consts::SRegistryReadOnly())) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("existing: absent"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("write: ok"))) << out.toStdString();
    EXPECT_EQ(integrity(dbPath()), "ok");
}

TEST_F(RegistryTest, KillingACopyWhileItSavesLeavesTheStoreIntact)
{
    for (int round = 0; round < 3; ++round) {
        QProcess p;
        p.start(QStringLiteral(REGISTRY_HELPER), {"loop", dbPath()});
        ASSERT_TRUE(p.waitForReadyRead(30000)) << p.readAllStandardError().toStdString();
        ASSERT_TRUE(p.readLine().startsWith("ready"));
        // Killed further into its writing each round.
        const std::uint32_t until = 10 + 40 * std::uint32_t(round);
        std::uint32_t wrote = 0;
        while (wrote < until) {
            if (!p.canReadLine()) {
                ASSERT_TRUE(p.waitForReadyRead(30000)) << p.readAllStandardError().toStdString();
            }
            const QByteArray line = p.readLine().trimmed();
            if (line.startsWith("wrote "))
                wrote = line.mid(6).toUInt();
        }
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished(30000);
        ASSERT_EQ(p.exitStatus(), QProcess::CrashExit);

        EXPECT_EQ(integrity(dbPath()), "ok");
        auto hive = Hive::open(dbPath());
        ASSERT_TRUE(hive->problem().isEmpty()) << hive->problem().toStdString();
        const RegKey key = hive->root().openSubKey(kFrmMain, false);
        ASSERT_TRUE(key.isOpen());
        const auto counter = key.value(QStringLiteral("Counter"));
        const auto blob = key.value(QStringLiteral("Blob"));
        ASSERT_TRUE(counter && blob);
        EXPECT_GT(counter->toDword(), 0u);
        ASSERT_EQ(blob->data.size(), 4096);
        std::uint32_t n = 0;
        std::memcpy(&n, blob->data.constData(), sizeof n);
        // The blob is written just before the counter: equal, or one ahead when the kill fell between.
        EXPECT_TRUE(n == counter->toDword() || n == counter->toDword() + 1) << n << " " << counter->toDword();
        EXPECT_EQ(blob->data.mid(4), QByteArray(4092, char(n & 0xFF)));
        // The store stays writable after the kill.
        EXPECT_EQ(key.setValue(QStringLiteral("After"), RegValue::fromDword(1)), RegStatus::Ok);
    }
}

} // namespace
