// The version lines of program files built here with the MinGW cross tools.
#include "preview/engine/PeVersion.h"

#include "tests/support/TempDir.h"

#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <utility>
#include <vector>

using namespace corvane::preview;
using namespace Qt::StringLiterals;

namespace {

using Values = std::vector<std::pair<QString, QString>>;
struct Table
{
    QString key;
    Values values;
};

// Writes a program with one VERSIONINFO resource holding the tables; `prefix` names the cross
// tools ("x86_64-w64-mingw32" for a 64-bit program, "i686-w64-mingw32" for a 32-bit one).
QString BuildProgram(const corvane::test::TempDir& dir, const QString& name, const std::vector<Table>& tables,
                     const QString& prefix = u"x86_64-w64-mingw32"_s)
{
    QString rc = u"1 VERSIONINFO\nFILEVERSION 1,2,3,4\nPRODUCTVERSION 1,2,0,0\nBEGIN\n"
                 "  BLOCK \"StringFileInfo\"\n  BEGIN\n"_s;
    for (const Table& t : tables) {
        rc += u"    BLOCK \"%1\"\n    BEGIN\n"_s.arg(t.key);
        for (const auto& [key, value] : t.values)
            rc += u"      VALUE \"%1\", \"%2\"\n"_s.arg(key, value);
        rc += u"    END\n"_s;
    }
    rc += u"  END\n  BLOCK \"VarFileInfo\"\n  BEGIN\n    VALUE \"Translation\", 0x409, 1252\n  END\nEND\n"_s;

    const QString base = dir.filePath(name);
    QFile rcFile(base + u".rc"_s);
    QFile cFile(base + u".c"_s);
    if (!rcFile.open(QIODevice::WriteOnly) || !cFile.open(QIODevice::WriteOnly))
        return {};
    rcFile.write(rc.toUtf8());
    cFile.write("int main(void) { return 0; }\n");
    rcFile.close();
    cFile.close();
    const QString command = u"%1-windres -c 65001 '%2.rc' -O coff -o '%2.res.o' && %1-gcc -o '%2.exe' '%2.c' '%2.res.o'"_s
                                .arg(prefix, base);
    return corvane::test::runShell(command) == 0 ? base + u".exe"_s : QString();
}

QByteArray Contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const Values kLong = {
    {u"CompanyName"_s, u"Corvane Test Ltd"_s}, // 16 characters
    {u"FileDescription"_s, u"Sample"_s},
    {u"FileVersion"_s, u"1.2.3.4"_s},
    {u"InternalName"_s, u"sample"_s},
    {u"LegalCopyright"_s, u"Copyright © 2024"_s},
    {u"OriginalFilename"_s, u"sample.exe"_s},
    {u"ProductName"_s, u"Corvane Sample"_s},
    {u"ProductVersion"_s, u"1.2"_s},
};
const QString kLongText = u"Company Name: Corvane Test Ltd\r\n"
                          "File Description: Sample\r\n"
                          "File Version: 1.2.3.4\r\n"
                          "Internal Name: sample\r\n"
                          "Legal Copyright: Copyright © 2024\r\n"
                          "Original File Name: sample.exe\r\n"
                          "Product Name: Corvane Sample\r\n"
                          "Product Version: 1.2\r\n"_s;

} // namespace

class PeVersion : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { s_dir = new corvane::test::TempDir; }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    // Both readers, from the file and from its bytes, must agree.
    static void ExpectText(const QString& program, const QString& text, const char* what)
    {
        ASSERT_FALSE(program.isEmpty()) << what << ": the MinGW tools could not build the program";
        EXPECT_EQ(GetVersionText(program), text) << what;
        EXPECT_EQ(VersionTextOf(Contents(program)), text) << what;
    }
    static corvane::test::TempDir* s_dir;
};
corvane::test::TempDir* PeVersion::s_dir = nullptr;

TEST_F(PeVersion, ChoosesTheStringTable)
{
    const Values shortValues = {{u"CompanyName"_s, u"Corvane"_s}, {u"FileDescription"_s, u"12345678"_s},
                                {u"ProductName"_s, u"a very long product name"_s}};
    const Values unicodeValues = {{u"CompanyName"_s, u"Ünïcødé Co"_s}, {u"FileDescription"_s, u"Tool"_s},
                                  {u"FileVersion"_s, u"9.0"_s}};
    const Values descriptionOnly = {{u"FileDescription"_s, u"123456789"_s}};
    const QString unicodeText = u"Company Name: Ünïcødé Co\r\nFile Description: Tool\r\nFile Version: 9.0\r\n"
                                "Internal Name: \r\nLegal Copyright: \r\nOriginal File Name: \r\n"
                                "Product Name: \r\nProduct Version: \r\n"_s;
    const QString descriptionText = u"Company Name: \r\nFile Description: 123456789\r\nFile Version: \r\n"
                                    "Internal Name: \r\nLegal Copyright: \r\nOriginal File Name: \r\n"
                                    "Product Name: \r\nProduct Version: \r\n"_s;
    struct Case
    {
        const char* what;
        std::vector<Table> tables;
        QString text;
    };
    const Case cases[] = {
        {"the Latin-1 table with a long company name", {{u"040904E4"_s, kLong}}, kLongText},
        {"the Latin-1 table wins over the Unicode one", {{u"040904B0"_s, unicodeValues}, {u"040904E4"_s, kLong}},
         kLongText},
        {"only the Unicode table", {{u"040904B0"_s, unicodeValues}}, unicodeText},
        {"a short Latin-1 table falls back to the Unicode one", {{u"040904E4"_s, shortValues}, {u"040904b0"_s, unicodeValues}},
         unicodeText},
        {"a description of nine characters is enough", {{u"040904E4"_s, descriptionOnly}}, descriptionText},
        {"both tables short", {{u"040904E4"_s, shortValues}, {u"040904B0"_s, shortValues}}, QString()},
        {"only another language's table", {{u"040704B0"_s, kLong}}, QString()},
    };
    int n = 0;
    for (const Case& c : cases)
        ExpectText(BuildProgram(*s_dir, u"case%1"_s.arg(n++), c.tables), c.text, c.what);
}

TEST_F(PeVersion, Reads32BitPrograms)
{
    ExpectText(BuildProgram(*s_dir, u"pe32"_s, {{u"040904E4"_s, kLong}}, u"i686-w64-mingw32"_s), kLongText, "PE32");
    const QByteArray header = Contents(s_dir->filePath(u"pe32.exe"_s));
    const qsizetype pe = qFromLittleEndian<quint32>(header.constData() + 0x3C);
    EXPECT_EQ(qFromLittleEndian<quint16>(header.constData() + pe + 24), 0x10B) << "a PE32 optional header";
}

TEST_F(PeVersion, ProgramsWithoutVersionResourceGiveEmptyText)
{
    const QString plain = s_dir->filePath(u"plain"_s);
    ASSERT_EQ(corvane::test::runShell(u"printf 'int main(void){return 0;}' > '%1.c' && x86_64-w64-mingw32-gcc -o '%1.exe' '%1.c'"_s.arg(plain)), 0);
    EXPECT_EQ(GetVersionText(plain + u".exe"_s), QString());
}

TEST_F(PeVersion, DamagedFilesGiveEmptyText)
{
    const QString program = BuildProgram(*s_dir, u"whole"_s, {{u"040904E4"_s, kLong}});
    ASSERT_FALSE(program.isEmpty());
    const QByteArray whole = Contents(program);
    ASSERT_EQ(VersionTextOf(whole), kLongText);

    // Cut inside the headers, the section table, and the version resource up to its last byte.
    const qsizetype version = whole.indexOf(QByteArray("V\0S\0_\0V\0E\0R", 10)) - 6;
    ASSERT_GT(version, 0);
    const qsizetype versionEnd = version + qFromLittleEndian<quint16>(whole.constData() + version);
    for (const qsizetype size : {qsizetype(0), qsizetype(2), qsizetype(0x3E), qsizetype(0x100), qsizetype(0x200),
                                 version, version + 200, versionEnd - 1}) {
        const QString cut = s_dir->filePath(u"cut%1.exe"_s.arg(size));
        QFile f(cut);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(whole.left(size));
        f.close();
        EXPECT_EQ(GetVersionText(cut), QString()) << size;
        EXPECT_EQ(VersionTextOf(whole.left(size)), QString()) << size;
    }
}

TEST_F(PeVersion, OnlyRegularFilesAreRead)
{
    // A FIFO named like a program must not block the reader, which would wait for a writer.
    const QString fifo = s_dir->filePath(u"pipe.exe"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(GetVersionText(fifo), QString());
    EXPECT_EQ(GetVersionText(s_dir->path()), QString());
    EXPECT_EQ(GetVersionText(u"/dev/zero"_s), QString());
    EXPECT_EQ(GetVersionText(s_dir->filePath(u"missing.exe"_s)), QString());
}
