// Self-extracting archives: the header behind the program, archives the component makes that unzip
// tools accept and the program extracts byte-identical, and hostile archives behind the program.
#include "ZipTestSupport.h"
#include "core/NameCodec.h"
#include "sfx/SfxArchive.h"
#include "tests/support/TempDir.h"
#include "zip/engine/ZipComponent.h"
#include "zip/engine/ZipNameRule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace corvane::zip;
using namespace corvane::test;
using corvane::core::EncodeName;

namespace {

const QString kStub = QStringLiteral(CORVANE_SFX_STUB);

QString Q(const QString& s)
{
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

// Runs the program with its folder given, no terminal; returns its exit status.
int RunSfx(const QString& program, const QString& folder)
{
    return runShell(Q(program) + (folder.isEmpty() ? QString() : " -d " + Q(folder)) + " </dev/null >/dev/null 2>&1");
}

std::vector<std::pair<QByteArray, QByteArray>> Files(const QString& root)
{
    auto all = TreeContents(EncodeName(root));
    std::erase_if(all, [](const auto& e) { return e.first.endsWith('/'); });
    return all;
}

// The program, a header and an archive one after the other, as a hostile file would be.
QString MakeProgram(TempDir& dir, const QString& name, const SfxSettings& settings, const QByteArray& archive)
{
    const QString path = dir.filePath(name);
    WriteBytes(path, ReadBytes(kStub) + SfxHeader(settings) + archive);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

} // namespace

TEST(ZipSfx, HeaderBytesAndTheProgramReadsThem)
{
    const SfxSettings s{"Cap", "/tmp/x", "ls", SFXAskCmdLine | SFXAutoRun, SFXOverWriteModes::OvrAlways};
    QByteArray expected(256, '\0');
    expected.replace(0, 18, QByteArray("MPU\x69\x03\x06\x02" "Cap/tmp/xls", 18));
    EXPECT_EQ(SfxHeader(s), expected);
    // The defaults: SFXCheckSize among the options, confirm before overwriting.
    EXPECT_EQ(SfxHeader({"A", "", "", SFXCheckSize, SFXOverWriteModes::OvrConfirm}).left(8),
              QByteArray("MPU\x00\x01\x00\x00" "A", 8));
    EXPECT_EQ(quint8(SfxHeader({{}, {}, {}, SFXAskFiles | SFXHideOverWriteBox, SFXOverWriteModes::OvrNever})[3]),
              0x02 | 0x04 | 0x10 | 0x20);

    corvane::sfx::Header h;
    ASSERT_TRUE(corvane::sfx::ParseHeader(reinterpret_cast<const unsigned char*>(expected.constData()), 256, h));
    EXPECT_EQ(h.caption, "Cap");
    EXPECT_EQ(h.defaultDir, "/tmp/x");
    EXPECT_EQ(h.commandLine, "ls");
    EXPECT_TRUE(h.askCmdLine && h.autoRun && h.overwriteAlways && !h.checkSize && !h.askFiles && !h.overwriteNever);
}

TEST(ZipSfx, ComponentMessagesForTextsAndStub)
{
    TempDir dir;
    dir.addFile("a.txt", "a");
    TZipComponent zip;
    zip.Unattended = true;
    zip.SFXPath = kStub;
    zip.SFXCaption = QString(120, QLatin1Char('c'));
    zip.SFXDefaultDir = QString(130, QLatin1Char('d'));
    zip.SetZipFilename(dir.filePath("long.exe"));
    zip.FSpecArgs = QStringList{dir.filePath("a.txt")};
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10801);
    EXPECT_TRUE(zip.Message().endsWith("\r\nSFXCaption + SFXDefaultDir + SFXCommandLine = 250"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("long.exe")));

    zip.SFXCaption.clear();
    zip.SFXPath = dir.filePath("missing/CorvaneSFX.bin");
    zip.FSpecArgs = QStringList{dir.filePath("a.txt")};
    // The current folder is searched too: one without the program.
    const QString current = QDir::currentPath();
    QDir::setCurrent(dir.path());
    zip.Add();
    QDir::setCurrent(current);
    EXPECT_EQ(zip.ErrCode(), 10802);
    EXPECT_EQ(zip.Message(), "Error - CORVANESFX.BIN not found!");
    EXPECT_TRUE(zip.SFXPath.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("long.exe")));
}

TEST(ZipSfx, ProgramExtractsWhatTheComponentPackedAndToolsAcceptIt)
{
    TempDir dir;
    dir.addFile("src/text.txt", QByteArray("self-extracting\n").repeated(3000));
    dir.addFile("src/noise.bin", Noise(150'000, 4));
    dir.addFile("src/sub/empty.dat", {});
    dir.addFile("more/late.txt", "added later");
    const QString program = dir.filePath("setup.EXE");
    TZipComponent zip;
    zip.Unattended = true;
    zip.SFXPath = kStub;
    zip.SetZipFilename(program);
    zip.FSpecArgs = QStringList{dir.filePath("src/*.*")};
    zip.AddOptions = AddRecurseDirs | AddDirNames;
    zip.Add();
    ASSERT_GT(zip.SuccessCount(), 0) << zip.Message().toStdString();

    struct stat st {};
    ASSERT_EQ(::stat(EncodeName(program).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    const QByteArray stub = ReadBytes(kStub);
    const QByteArray whole = ReadBytes(program);
    EXPECT_TRUE(whole.startsWith(stub));
    EXPECT_EQ(whole.mid(stub.size(), 3), "MPU");

    EXPECT_EQ(runShell("unzip -tq " + Q(program) + " >/dev/null 2>&1"), 0);
    EXPECT_EQ(runShell("7z t " + Q(program) + " >/dev/null 2>&1"), 0);
    ASSERT_EQ(runShell("unzip -q " + Q(program) + " -d " + Q(dir.filePath("byunzip"))), 0);
    ASSERT_EQ(RunSfx(program, dir.filePath("out")), 0);
    const auto extracted = Files(dir.filePath("out"));
    EXPECT_FALSE(extracted.empty());
    EXPECT_EQ(extracted, Files(dir.filePath("byunzip")));

    // A second Add keeps the program in front and adds to the archive behind it.
    zip.SetZipFilename(program);
    zip.FSpecArgs = QStringList{dir.filePath("more/late.txt")};
    zip.AddOptions = {};
    zip.Add();
    ASSERT_GT(zip.SuccessCount(), 0) << zip.Message().toStdString();
    EXPECT_TRUE(ReadBytes(program).startsWith(stub));
    EXPECT_EQ(runShell("unzip -tq " + Q(program) + " >/dev/null 2>&1"), 0);
    ASSERT_EQ(RunSfx(program, dir.filePath("again")), 0);
    EXPECT_EQ(Files(dir.filePath("again")).size(), extracted.size() + 1);
    EXPECT_EQ(ReadBytes(dir.filePath("again/late.txt")), "added later");
}

TEST(ZipSfx, HostileArchiveBehindTheProgramWritesNothingOutside)
{
    TempDir dir;
    const QByteArray outside = EncodeName(dir.filePath("abs.txt"));
    RawEntry link{"link", "/etc"};
    link.externalAttributes = 0120777u << 16;
    RawArchive hostile{{{"../evil.txt", "x"},
                        {outside, "x"},
                        {"a/../../up.txt", "x"},
                        {"C:\\win.txt", "x"},
                        {"..\\back.txt", "x"},
                        link,
                        {"link/through.txt", "x"},
                        {"ok.txt", "fine"}},
                       {}};
    const QString program = MakeProgram(dir, "hostile.bin", {}, BuildZip(hostile));
    QDir(dir.path()).mkpath("inner/dest");
    RunSfx(program, dir.filePath("inner/dest"));
    std::vector<QByteArray> names;
    for (const auto& [name, bytes] : TreeContents(dir.pathBytes()))
        names.push_back(name);
    const std::vector<QByteArray> expected{"hostile.bin", "inner/", "inner/dest/", "inner/dest/link/",
                                           "inner/dest/link/through.txt", "inner/dest/ok.txt"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(ReadBytes(dir.filePath("inner/dest/ok.txt")), "fine");
}

TEST(ZipSfx, WithoutATerminalTheDefaultFolderTheCommandAndTheSizeCheck)
{
    TempDir dir;
    const QByteArray archive = BuildZip({{{"readme.txt", "unattended"}}, {}});
    SfxSettings settings;
    settings.defaultDir = dir.filePath("auto");
    settings.commandLine = "cat readme.txt > ran.txt";
    settings.options = SFXCheckSize | SFXAutoRun;
    const QString program = MakeProgram(dir, "auto.bin", settings, archive);
    EXPECT_EQ(RunSfx(program, {}), 0);
    EXPECT_EQ(ReadBytes(dir.filePath("auto/readme.txt")), "unattended");
    // The command runs in the folder extracted to.
    EXPECT_EQ(ReadBytes(dir.filePath("auto/ran.txt")), "unattended");

    // Bytes after the archive fail the size check: a damaged download extracts nothing.
    settings.defaultDir = dir.filePath("damaged");
    const QString damaged = MakeProgram(dir, "damaged.bin", settings, archive + "tail");
    EXPECT_NE(RunSfx(damaged, {}), 0);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("damaged")));
}

struct NameCase {
    const char* name;
    bool safe;
    std::vector<std::string> parts;
};

// The one rule of the component and of the self-extracting program.
TEST(ZipNameRule, HostileAndOrdinaryNames)
{
    const NameCase cases[] = {
        {"a/b.txt", true, {"a", "b.txt"}},
        {"./a//b/", true, {"a", "b"}},
        {"dir\\file.txt", true, {"dir", "file.txt"}},
        {"caf\xE9.txt", true, {"caf\xE9.txt"}},
        {"../x", false, {}},
        {"a/../../x", false, {}},
        {"a/..", false, {}},
        {"..\\x", false, {}},
        {"/etc/passwd", false, {}},
        {"\\etc\\passwd", false, {}},
        {"C:\\x.txt", false, {}},
        {"c:x", false, {}},
        {"", false, {}},
        {"./", false, {}},
    };
    for (const NameCase& c : cases) {
        std::vector<std::string> parts;
        EXPECT_EQ(SafeEntryParts(c.name, parts), c.safe) << c.name;
        if (c.safe) {
            EXPECT_EQ(parts, c.parts) << c.name;
        }
    }
    std::vector<std::string> parts;
    EXPECT_FALSE(SafeEntryParts(std::string("a\0b", 3), parts));
}
