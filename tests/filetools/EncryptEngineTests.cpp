// The encrypted file format and the encrypt/decrypt run on real files.
#include "filetools/engine/CryptFormat.h"
#include "filetools/engine/EncryptEngine.h"
#include "filetools/engine/SHA1.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace corvane::filetools;
using corvane::test::TempDir;

namespace {

// Raw path bytes: QFile cannot open every name that is not UTF-8.
QByteArray ReadBytes(const QByteArray& path)
{
    return corvane::test::ReadFileBytes(path);
}

// Every entry of a folder, hidden ones (a left-over temporary file) included.
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray Pattern(qsizetype size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        b[i] = char((i * 7 + i / 251) & 0xFF);
    return b;
}

struct RunLog
{
    CryptRunResult result;
    std::vector<CryptMessage> messages;

    QStringList texts() const
    {
        QStringList t;
        for (const CryptMessage& m : messages)
            t << m.text;
        return t;
    }
};

// src/ and dst/ folders with a helper for whole runs.
class CryptTest : public ::testing::Test
{
protected:
    CryptTest() : dir({"src/", "dst/", "out/"}) { }

    QString src() const { return dir.path() + "/src"; }
    QString dst() const { return dir.path() + "/dst"; }
    QString out() const { return dir.path() + "/out"; }
    QByteArray bytes(const QString& path) const { return ReadBytes(QFile::encodeName(path)); }

    RunLog run(CryptMode mode, const QString& pass, const QString& from, const QString& to, const QStringList& names,
            const CryptProgress& progress = {})
    {
        RunLog r;
        r.result = RunCrypt(CryptRunInput{mode, pass, from, to, false, names},
                            [&r](const CryptMessage& m) { r.messages.push_back(m); }, progress);
        return r;
    }

    TempDir dir;
};

// K is the digest padded with 0xFF, the IV the encryption of 0xFF bytes under all 32
// bytes of K, and the check block K chained from that IV.
TEST(CryptFormat, CheckBlockFromPassPhrase)
{
    std::uint8_t key[32];
    const Sha1::Digest digest = Sha1::hash("abc", 3);
    std::copy(digest.begin(), digest.end(), key);
    std::fill(key + 20, key + 32, 0xFF);

    Blowfish bf;
    bf.init(key, 32);
    std::uint8_t iv[8];
    const std::uint8_t ff[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    bf.encryptBlock(ff, iv);
    std::uint8_t expected[32];
    const std::uint8_t* chain = iv;
    for (int b = 0; b < 4; ++b) {
        std::uint8_t block[8];
        for (int i = 0; i < 8; ++i)
            block[i] = key[8 * b + i] ^ chain[i];
        bf.encryptBlock(block, expected + 8 * b);
        chain = expected + 8 * b;
    }

    FileKey fileKey(QByteArray("abc"));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(fileKey.checkBlock().data()), 32),
              QByteArray(reinterpret_cast<const char*>(expected), 32));
    const Blowfish::Block ivBlock = fileKey.cipher().iv();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(ivBlock.data()), 8),
              QByteArray(reinterpret_cast<const char*>(iv), 8));
}

TEST(CryptFormat, PassPhraseBytes)
{
    struct Case
    {
        QString phrase;
        QByteArray bytes;
    } const cases[] = {
        {"Secret Key", "Secret Key"},
        {QString::fromUtf8("Schl\xc3\xbc" "ssel"), "Schl\xfcssel"},         // Latin-1 range
        {QString::fromUtf8("\xe2\x82\xac" "5"), "\x80" "5"},                   // euro sign, 1252 only
        {QString::fromUtf8("\xc3\xa9\xe4\xb8\xad"), "\xc3\xa9\xe4\xb8\xad"},   // one character without a code
    };
    for (const Case& c : cases)
        EXPECT_EQ(PassPhraseBytes(c.phrase).toHex(), c.bytes.toHex()) << qPrintable(c.phrase);
}

// Encrypted size, check block, chunking that matches one piece, and the way back.
TEST_F(CryptTest, EncryptsAndDecryptsEverySize)
{
    const qsizetype sizes[] = {0, 13, 8, 8192, 8192 * 3, 8192 + 13, 100003};
    QStringList names;
    for (qsizetype size : sizes) {
        names << QString("f%1.bin").arg(size);
        dir.addFile("src/" + names.last().toUtf8(), Pattern(size));
    }
    const RunLog enc = run(CryptMode::Encrypt, "pass phrase", src(), dst(), names);
    ASSERT_EQ(enc.result.status, CryptRunResult::Status::Completed);
    EXPECT_EQ(enc.texts(), QStringList{"7 files encrypted"});
    EXPECT_EQ(enc.messages.back().caption, "Corvane");
    EXPECT_EQ(enc.messages.back().icon, CryptMessage::Icon::Information);

    for (qsizetype size : sizes) {
        SCOPED_TRACE(size);
        const QString name = QString("f%1.bin").arg(size);
        const QByteArray plain = Pattern(size);
        const QByteArray encrypted = bytes(dst() + "/" + name);
        ASSERT_EQ(encrypted.size(), size + 32);

        FileKey key(PassPhraseBytes("pass phrase"));
        QByteArray expected(reinterpret_cast<const char*>(key.checkBlock().data()), 32);
        QByteArray body = plain;
        key.cipher().encryptChain(reinterpret_cast<std::uint8_t*>(body.data()), std::size_t(body.size()));
        EXPECT_EQ(encrypted, expected + body);
    }

    const RunLog dec = run(CryptMode::Decrypt, "pass phrase", dst(), out(), names);
    EXPECT_EQ(dec.texts(), QStringList{"7 files decrypted"});
    for (qsizetype size : sizes)
        EXPECT_EQ(bytes(out() + QString("/f%1.bin").arg(size)), Pattern(size)) << size;
    EXPECT_EQ(Entries(out()).size(), 7);
}

TEST_F(CryptTest, SamePassPhraseSameBytesAndCaseMatters)
{
    dir.addFile("src/a.txt", "attack at dawn");
    run(CryptMode::Encrypt, "Key", src(), dst(), {"a.txt"});
    const QByteArray first = bytes(dst() + "/a.txt");
    run(CryptMode::Encrypt, "Key", src(), out(), {"a.txt"});
    EXPECT_EQ(bytes(out() + "/a.txt"), first);
    run(CryptMode::Encrypt, "key", src(), out(), {"a.txt"});
    EXPECT_NE(bytes(out() + "/a.txt").left(32), first.left(32));
}

// A wrong pass phrase, a foreign file and one too short for a check block are all
// refused without touching the destination folder, and the run goes on.
TEST_F(CryptTest, WrongKeyOrForeignFileLeavesDestinationAsItWas)
{
    dir.addFile("src/a.txt", "attack at dawn");
    run(CryptMode::Encrypt, "right", src(), dst(), {"a.txt"});
    dir.addFile("dst/foreign.bin", Pattern(100));
    dir.addFile("dst/short.bin", Pattern(31));
    dir.addFile("out/a.txt", "keep me");

    const RunLog r = run(CryptMode::Decrypt, "wrong", dst(), out(), {"a.txt", "foreign.bin", "short.bin"});
    const QString tail = "\n\nEither it is not an encrypted file,\nor the decryption key is incorrect";
    EXPECT_EQ(r.texts(), (QStringList{"Unable to decrypt file " + dst() + "/a.txt" + tail,
                                      "Unable to decrypt file " + dst() + "/foreign.bin" + tail,
                                      "Unable to decrypt file " + dst() + "/short.bin" + tail, "0 files decrypted"}));
    EXPECT_EQ(r.messages.front().caption, "Error");
    EXPECT_EQ(r.messages.front().icon, CryptMessage::Icon::Warning);
    EXPECT_EQ(Entries(out()), QStringList{"a.txt"});
    EXPECT_EQ(bytes(out() + "/a.txt"), "keep me");
}

// Missing sources, a destination name taken by a folder, a FIFO and a name that would
// leave the folder are reported, and the run goes on; an existing file is replaced.
TEST_F(CryptTest, FailingFilesAreReportedAndSkipped)
{
    dir.addFile("src/a.txt", "one");
    dir.addFile("src/b.txt", "two");
    dir.addFile("src/c.txt", "three");
    dir.addFolder("dst/b.txt");
    dir.addFile("dst/c.txt", "old");
    ASSERT_EQ(::mkfifo(QFile::encodeName(src() + "/pipe"), 0644), 0);
    dir.addFile("secret", "outside");

    const RunLog r = run(CryptMode::Encrypt, "k", src(), dst(), {"a.txt", "missing", "b.txt", "pipe", "../secret", "c.txt"});
    EXPECT_EQ(r.texts(), (QStringList{"Unable to encrypt file " + src() + "/missing",
                                      "Unable to encrypt file " + src() + "/b.txt",
                                      "Unable to encrypt file " + src() + "/pipe",
                                      "Unable to encrypt file " + src() + "/../secret", "2 files encrypted"}));
    EXPECT_EQ(Entries(dst()), (QStringList{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(bytes(dst() + "/c.txt").size(), 32 + 5);
    EXPECT_EQ(Entries(dir.path()), (QStringList{"dst", "out", "secret", "src"}));
}

TEST_F(CryptTest, NamesThatAreNotUtf8)
{
    const QByteArray raw = "caf\xe9-\xff.txt";
    dir.addFile("src/" + raw, "bytes, not text");
    // The name as the file list carries it: invalid bytes as U+DC80 + byte.
    QString name = "caf";
    name += QChar(0xDCE9);
    name += "-";
    name += QChar(0xDCFF);
    name += ".txt";

    EXPECT_EQ(run(CryptMode::Encrypt, "k", src(), dst(), {name}).texts(), QStringList{"1 files encrypted"});
    EXPECT_EQ(run(CryptMode::Decrypt, "k", dst(), out(), {name}).texts(), QStringList{"1 files decrypted"});
    EXPECT_EQ(ReadBytes(dir.pathBytes() + "/out/" + raw), "bytes, not text");

    const RunLog missing = run(CryptMode::Encrypt, "k", src(), out(), {name + "x"});
    ASSERT_EQ(missing.messages.size(), 2u);
    EXPECT_EQ(missing.messages[0].text, "Unable to encrypt file " + src() + QString::fromUtf8("/caf\xef\xbf\xbd-\xef\xbf\xbd.txtx"));
    // The temporary folder's own clean-up goes through QString names.
    for (const char* folder : {"/src/", "/dst/", "/out/"})
        ::unlink((dir.pathBytes() + folder + raw).constData());
}

TEST_F(CryptTest, ChecksOfTheOkButtonInOrder)
{
    dir.addSymlink("link", "src");
    struct Case
    {
        CryptRunInput input;
        QString message;
    } const cases[] = {
        {{CryptMode::Encrypt, "", src(), "", false, {}}, "You must enter an encryption key"},
        {{CryptMode::Decrypt, "", src(), dst(), false, {}}, "You must enter a decryption key"},
        {{CryptMode::Encrypt, "k", src(), "", false, {}}, "You must select a folder as the destination"},
        {{CryptMode::Encrypt, "k", src(), dst(), true, {}}, "You must select a folder as the destination"},
        {{CryptMode::Encrypt, "k", src(), src() + "/", false, {}}, "Destination folder cannot be the same as source folder"},
        {{CryptMode::Encrypt, "k", "/", "/", false, {}}, "Destination folder cannot be the same as source folder"},
        {{CryptMode::Encrypt, "k", src(), dir.path() + "/link", false, {}},
         "Destination folder cannot be the same as source folder"},
        {{CryptMode::Encrypt, "k", src(), dst() + "/../src", false, {}},
         "Destination folder cannot be the same as source folder"},
        {{CryptMode::Decrypt, "k", src(), dst(), false, {}}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckCryptRun(c.input), c.message) << qPrintable(c.input.destFolder);
        std::vector<CryptMessage> messages;
        const CryptRunResult r = RunCrypt(c.input, [&](const CryptMessage& m) { messages.push_back(m); });
        if (c.message.isEmpty()) {
            EXPECT_EQ(r.status, CryptRunResult::Status::Completed);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].text, "0 files decrypted");
        } else {
            EXPECT_EQ(r.status, CryptRunResult::Status::Rejected);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].caption, "Error");
        }
    }
    EXPECT_EQ(CryptModeFromLetter("E"), CryptMode::Encrypt);
    EXPECT_EQ(CryptModeFromLetter("D"), CryptMode::Decrypt);
    EXPECT_EQ(CryptModeFromLetter("e"), CryptMode::Decrypt);
}

TEST_F(CryptTest, CancelRemovesThePartialFile)
{
    dir.addFile("src/big.bin", Pattern(3 << 20));
    dir.addFile("src/next.bin", "x");
    int calls = 0;
    const RunLog r = run(CryptMode::Encrypt, "k", src(), dst(), {"big.bin", "next.bin"},
                      [&calls](qsizetype, qint64 done, qint64 total) {
                          EXPECT_EQ(total, 3 << 20);
                          return ++calls == 1 || done < (2 << 20);
                      });
    EXPECT_EQ(r.result.status, CryptRunResult::Status::Cancelled);
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(Entries(dst()).isEmpty());
}

// A full disk midway ends the run with the system's message; the file finished before
// stays, the partial one is removed and an older file of its name is kept.
TEST_F(CryptTest, FullDiskLeavesNoPartialFile)
{
    const corvane::test::TmpfsMount mount(QFile::encodeName(dst()), "64k");
    ASSERT_TRUE(mount.ok()) << "mounting a tmpfs needs root: " << std::strerror(errno);

    dir.addFile("src/a.bin", Pattern(1000));
    dir.addFile("src/b.bin", Pattern(200000));
    dir.addFile("src/c.bin", Pattern(10));
    dir.addFile("dst/b.bin", "older");

    const RunLog r = run(CryptMode::Encrypt, "k", src(), dst(), {"a.bin", "b.bin", "c.bin"});
    EXPECT_EQ(r.result.status, CryptRunResult::Status::Aborted);
    EXPECT_EQ(r.result.filesDone, 1);
    EXPECT_EQ(r.texts(), QStringList{"No space left on device"});
    EXPECT_EQ(r.messages[0].icon, CryptMessage::Icon::Critical);
    EXPECT_EQ(Entries(dst()), (QStringList{"a.bin", "b.bin"}));
    EXPECT_EQ(bytes(dst() + "/a.bin").size(), 1032);
    EXPECT_EQ(bytes(dst() + "/b.bin"), "older");
}

// Permissions only bind other users: the engine runs as nobody. Reading is all the
// source needs, so a read-only file works and only an unreadable one is reported.
TEST_F(CryptTest, UnreadableSourceIsReportedReadOnlyWorks)
{
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0755), 0);
    // A copy beside the files: the build folder may lie where nobody cannot reach it.
    const QString runner = dir.path() + "/runner";
    ASSERT_TRUE(QFile::copy(CRYPT_RUNNER_PATH, runner));
    ASSERT_EQ(::chmod(QFile::encodeName(runner).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dst()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(out()).constData(), 0777), 0);
    dir.addFile("src/a.txt", "readable");
    dir.addFile("src/b.txt", "unreadable");
    dir.addFile("src/c.txt", "read-only");
    ASSERT_EQ(::chmod(QFile::encodeName(src() + "/b.txt").constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(src() + "/c.txt").constData(), 0444), 0);
    run(CryptMode::Encrypt, "k", src(), out(), {"a.txt", "b.txt", "c.txt"});
    ASSERT_EQ(::chmod(QFile::encodeName(out() + "/b.txt").constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(out() + "/c.txt").constData(), 0444), 0);

    struct Case
    {
        const char* mode;
        QString from;
        const char* prefix;
    } const cases[] = {{"E", src(), "Unable to encrypt file "}, {"D", out(), "Unable to decrypt file "}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        const QString to = dir.path() + "/to" + c.mode;
        dir.addFolder(QFile::encodeName(to.mid(dir.path().size() + 1)));
        ASSERT_EQ(::chmod(QFile::encodeName(to).constData(), 0777), 0);
        QProcess p;
        p.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", runner, c.mode, "k",
                            c.from, to, "a.txt", "b.txt", "c.txt"});
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QString expected = QString("Error|%1%2/b.txt\nCorvane|2 files %3crypted\nstatus 1 2\n")
                                     .arg(c.prefix, c.from, QString(c.mode) == "E" ? "en" : "de");
        EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()), expected);
        EXPECT_EQ(Entries(to), (QStringList{"a.txt", "c.txt"}));
    }
    EXPECT_EQ(bytes(dir.path() + "/toD/c.txt"), "read-only");
}

} // namespace
