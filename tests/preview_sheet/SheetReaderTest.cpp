#include "preview/engine/Sheet.h"
#include "preview/engine/SheetBuild.h"
#include "tests/preview_sheet/SheetFiles.h"

#include <QDate>
#include <QFile>
#include <QLocale>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

// Texts in failure messages as text.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace corvane;
using namespace corvane::preview;

namespace {

QString cellAt(const TSheet& sheet, int row, int column)
{
    for (const TSheetCell& c : sheet.cells) {
        if (c.row == row && c.column == column)
            return c.text;
    }
    return QStringLiteral("<none>");
}

bool numberAt(const TSheet& sheet, int row, int column)
{
    for (const TSheetCell& c : sheet.cells) {
        if (c.row == row && c.column == column)
            return c.number;
    }
    return false;
}

std::optional<TSheet> readFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::optional<TSheet> sheet = ReadSheetFile(fd, *SheetFormatOf(path));
    ::close(fd);
    return sheet;
}

QString shortDate(int y, int m, int d)
{
    return QLocale::system().toString(QDate(y, m, d), QLocale::ShortFormat);
}

} // namespace

TEST(SheetReader, ColumnLetters)
{
    const std::pair<int, const char*> cases[] = {{0, "A"},   {25, "Z"},  {26, "AA"},  {29, "AD"},  {51, "AZ"},
                                                 {52, "BA"}, {255, "IV"}, {701, "ZZ"}, {702, "AAA"}, {16383, "XFD"}};
    for (auto [index, letters] : cases)
        EXPECT_EQ(ColumnLetters(index), QString::fromLatin1(letters)) << index;
}

// The same CSV made into each format by LibreOffice reads alike: its used range from A1, texts,
// a number and a date standing right, a boolean.
TEST(SheetReader, FilesMadeByLibreOffice)
{
    for (const char* format : {"xls", "xlsx", "ods"}) {
        SCOPED_TRACE(format);
        const QString path = test::ConvertedSheet(QString::fromLatin1(format));
        ASSERT_FALSE(path.isEmpty());
        const std::optional<TSheet> sheet = readFile(path);
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->rows, 4);
        EXPECT_EQ(sheet->columns, 30);
        EXPECT_EQ(cellAt(*sheet, 0, 0), "r1c1");
        EXPECT_EQ(cellAt(*sheet, 2, 29), "r3c30");
        EXPECT_EQ(cellAt(*sheet, 3, 0), "12.5");
        EXPECT_TRUE(numberAt(*sheet, 3, 0));
        // LibreOffice keeps the layout of a date it recognised; FreeXL knows only that it is a date.
        EXPECT_EQ(cellAt(*sheet, 3, 1), QString::fromLatin1(format) == "xls" ? shortDate(2024, 3, 5) : "2024-03-05");
        EXPECT_TRUE(numberAt(*sheet, 3, 1));
        EXPECT_EQ(cellAt(*sheet, 3, 2), "TRUE");
        EXPECT_EQ(cellAt(*sheet, 3, 3), "key in text");
        EXPECT_FALSE(numberAt(*sheet, 3, 3));
        EXPECT_EQ(cellAt(*sheet, 3, 4), "<none>");
    }
}

// A workbook written by hand: the active tab's sheet through an absolute relationship, rich and
// phonetic shared strings, inline strings, booleans, formulas, errors, cells and rows without a
// reference, and numbers in their styles' formats.
TEST(SheetReader, XlsxCellsAndNumberFormats)
{
    const QByteArray workbook = R"(<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:rel="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<bookViews><workbookView activeTab="1"/></bookViews>
<sheets><sheet name="First" sheetId="1" rel:id="rId1"/><sheet name="Second" sheetId="2" rel:id="rId7"/></sheets></workbook>)";
    const QByteArray rels = R"(<?xml version="1.0"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Target="worksheets/sheet1.xml"/><Relationship Id="rId7" Target="/xl/worksheets/../worksheets/sheet2.xml"/>
</Relationships>)";
    const QByteArray shared = R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<si><t>plain</t></si><si><r><t xml:space="preserve">rich </t></r><r><rPr><b/></rPr><t>runs</t></r><rPh><t>hint</t></rPh></si></sst>)";
    const QByteArray styles = R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts><numFmt numFmtId="164" formatCode="0.000"/><numFmt numFmtId="165" formatCode="dd/mm/yyyy\ hh:mm"/>
<numFmt numFmtId="166" formatCode="[Red]&quot;EUR &quot;#,##0.00"/></numFmts>
<cellStyleXfs><xf numFmtId="164"/></cellStyleXfs>
<cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="165"/><xf numFmtId="10"/><xf numFmtId="14"/><xf numFmtId="3"/><xf numFmtId="166"/></cellXfs></styleSheet>)";
    const QByteArray first = R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>
<row r="1"><c r="A1" t="inlineStr"><is><t>wrong sheet</t></is></c></row></sheetData></worksheet>)";
    const QByteArray second = R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<dimension ref="A1:XFD1048576"/><sheetData>
<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c><c r="C1" t="inlineStr"><is><t>inline</t></is></c>
<c r="D1" t="b"><v>1</v></c><c r="E1" t="s"><v>99</v></c></row>
<row r="2"><c r="A2" s="1"><v>3.14159</v></c><c r="B2" s="2"><v>45356.5</v></c><c r="C2" s="3"><v>0.256</v></c>
<c r="D2" s="4"><v>45356</v></c><c r="E2" s="5"><v>1234567</v></c><c r="F2"><v>0.1</v></c><c><v>7</v></c>
<c r="H2" s="6"><v>1234.5</v></c></row>
<row><c r="A3"><f>1+2</f><v>3</v></c><c r="B3" t="str"><f>"a"&amp;"b"</f><v>ab</v></c><c r="C3" t="e"><v>#DIV/0!</v></c></row>
<row r="10"><c r="B10" t="inlineStr"><is><t>last</t></is></c><c r="ZZZZ10"><v>1</v></c></row>
</sheetData></worksheet>)";
    const QByteArray zip = test::ZipOf({{"xl/workbook.xml", workbook},
                                        {"xl/_rels/workbook.xml.rels", rels},
                                        {"xl/sharedStrings.xml", shared},
                                        {"xl/styles.xml", styles},
                                        {"xl/worksheets/sheet1.xml", first},
                                        {"xl/worksheets/sheet2.xml", second}});
    ASSERT_FALSE(zip.isEmpty());
    const std::optional<TSheet> sheet = ReadSheetBytes(zip, TSheetFormat::Xlsx);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->rows, 10);
    EXPECT_EQ(sheet->columns, 8);
    const std::tuple<int, int, QString, bool> cells[] = {
        {0, 0, "plain", false},
        {0, 1, "rich runs", false},
        {0, 2, "inline", false},
        {0, 3, "TRUE", false},
        {0, 4, "<none>", false},
        {1, 0, "3.142", true},
        {1, 1, "05/03/2024 12:00", true},
        {1, 2, "25.60%", true},
        {1, 3, shortDate(2024, 3, 5), true},
        {1, 4, "1,234,567", true},
        {1, 5, "0.1", true},
        {1, 6, "7", true},
        {1, 7, "EUR 1,234.50", true},
        {2, 0, "3", true},
        {2, 1, "ab", false},
        {2, 2, "#DIV/0!", false},
        {9, 1, "last", false},
    };
    for (const auto& [row, column, text, number] : cells) {
        EXPECT_EQ(cellAt(*sheet, row, column), text) << row << "," << column;
        EXPECT_EQ(numberAt(*sheet, row, column), number) << row << "," << column;
    }
}

// Numbers in the formats a sheet names; what is too elaborate shows as General.
TEST(SheetReader, NumberFormats)
{
    using namespace corvane::preview::sheet;
    const std::tuple<const char*, double, bool, QString> cases[] = {
        {"General", 0.1 + 0.2, false, "0.3"},
        {"General", 1e20, false, "1E+20"},
        {"0", 2.5, false, "3"},
        {"0.00", -1.005, false, "-1.00"},
        {"#,##0.0;[Red]-#,##0.0", 9876543.21, false, "9,876,543.2"},
        {"\\$#,##0_);(\\$#,##0)", 1500, false, "$1,500 "},
        {"0.0\" kg\"", 3, false, "3.0 kg"},
        {"0%", 0.125, false, "13%"},
        {"0.00E+00", 12345, false, "1.23E+04"},
        {"@", 5, false, "5"},
        {"yyyy-mm-dd", 1, false, "1900-01-01"},
        {"yyyy-mm-dd", 61, false, "1900-03-01"},
        {"yyyy-mm-dd", 0, true, "1904-01-01"},
        {"d mmm yy", 45356, false, "5 Mar 24"},
        {"h:mm", 0.75, false, "18:00"},
        {"hh:mm:ss AM/PM", 0.75, false, "06:00:00 PM"},
        {"mm:ss", 1.0 / 24 / 60 * 1.5, false, "01:30"},
        {"[h]:mm", 1.5, false, QLocale::system().toString(QTime(12, 0), QLocale::ShortFormat)},
        {"yyyy-mm-dd", -5, false, "-5"},
    };
    for (const auto& [code, value, date1904, text] : cases)
        EXPECT_EQ(FormatNumber(value, ParseFormatCode(QString::fromLatin1(code)), date1904), text) << code << " " << value;
}

// The table that was active when saved, the text each cell shows, and repeats: a million empty
// rows and a wide run of empty cells cost nothing, repeated cells with text each count.
TEST(SheetReader, OdsActiveTableAndRepeats)
{
    const QByteArray settings = R"(<office:document-settings xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:config="urn:oasis:names:tc:opendocument:xmlns:config:1.0"><office:settings><config:config-item-set config:name="ooo:view-settings">
<config:config-item config:name="ActiveTable" config:type="string">Second</config:config-item></config:config-item-set></office:settings></office:document-settings>)";
    const QByteArray content = R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0">
<office:body><office:spreadsheet>
<table:table table:name="First"><table:table-row><table:table-cell office:value-type="string"><text:p>wrong table</text:p></table:table-cell></table:table-row></table:table>
<table:table table:name="Second"><table:table-column table:number-columns-repeated="1024"/>
<table:table-row><table:table-cell office:value-type="float" office:value="1234.5"><text:p>1,234.50</text:p></table:table-cell>
<table:table-cell office:value-type="string"><office:annotation><text:p>a comment</text:p></office:annotation><text:p>a<text:s text:c="3"/>b<text:tab/>c<text:span>d</text:span><text:line-break/>e</text:p><text:p>second</text:p></table:table-cell>
<table:table-cell table:number-columns-repeated="3" office:value-type="string"><text:p>x</text:p></table:table-cell>
<table:table-cell table:number-columns-repeated="16000"/></table:table-row>
<table:table-row table:number-rows-repeated="100000"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
<table:table-row-group><table:table-row><table:covered-table-cell/><table:table-cell><text:p>end</text:p></table:table-cell></table:table-row></table:table-row-group>
<table:table-row table:number-rows-repeated="1048000"><table:table-cell table:number-columns-repeated="1024"/></table:table-row>
</table:table></office:spreadsheet></office:body></office:document-content>)";
    const QByteArray zip = test::ZipOf({{"content.xml", content}, {"settings.xml", settings}});
    ASSERT_FALSE(zip.isEmpty());
    const std::optional<TSheet> sheet = ReadSheetBytes(zip, TSheetFormat::Ods);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->rows, 100002);
    EXPECT_EQ(sheet->columns, 5);
    EXPECT_EQ(sheet->cells.size(), 6u);
    EXPECT_EQ(cellAt(*sheet, 0, 0), "1,234.50");
    EXPECT_TRUE(numberAt(*sheet, 0, 0));
    EXPECT_EQ(cellAt(*sheet, 0, 1), "a   b\tcd\ne\nsecond");
    EXPECT_EQ(cellAt(*sheet, 0, 4), "x");
    EXPECT_EQ(cellAt(*sheet, 100001, 1), "end");
}

// Files that hold more than a grid can show keep within the limits instead of exhausting memory.
TEST(SheetReader, HugeSheetsStayWithinTheLimits)
{
    const QByteArray content = R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0">
<office:body><office:spreadsheet><table:table table:name="T">
<table:table-row table:number-rows-repeated="2000000000"><table:table-cell table:number-columns-repeated="2000000000"><text:p>y</text:p></table:table-cell></table:table-row>
</table:table></office:spreadsheet></office:body></office:document-content>)";
    const std::optional<TSheet> sheet = ReadSheetBytes(test::ZipOf({{"content.xml", content}}), TSheetFormat::Ods);
    ASSERT_TRUE(sheet);
    EXPECT_LE(qsizetype(sheet->cells.size()), kSheetMaxCells);
    EXPECT_LE(qint64(sheet->rows) * sheet->columns, kSheetMaxArea);
    EXPECT_EQ(sheet->columns, kSheetMaxColumns);
}

// Damaged files, and files of another kind under a spreadsheet's name, read as nothing.
TEST(SheetReader, DamagedFilesReadAsNothing)
{
    QFile xlsx(test::ConvertedSheet(QStringLiteral("xlsx")));
    ASSERT_TRUE(xlsx.open(QIODevice::ReadOnly));
    const QByteArray good = xlsx.readAll();
    const QByteArray noWorkbook = test::ZipOf({{"xl/other.xml", "<a/>"}});
    const QByteArray badXml = test::ZipOf({{"xl/workbook.xml", "<workbook><sheets><sheet"}});
    const std::pair<QByteArray, TSheetFormat> cases[] = {
        {"", TSheetFormat::Xls},
        {"plain text, no workbook", TSheetFormat::Xls},
        {QByteArray::fromHex("d0cf11e0a1b11ae1") + QByteArray(600, '\xff'), TSheetFormat::Xls},
        {good.left(good.size() / 2), TSheetFormat::Xlsx},
        {noWorkbook, TSheetFormat::Xlsx},
        {badXml, TSheetFormat::Xlsx},
        {noWorkbook, TSheetFormat::Ods},
        {"PK\x03\x04 not really", TSheetFormat::Ods},
    };
    int k = 0;
    for (const auto& [bytes, format] : cases)
        EXPECT_FALSE(ReadSheetBytes(bytes, format)) << "case " << k++;
}

// FreeXL reads this file out of bounds: its fault ends a child process of its own, never the
// program, and the file reads as nothing or as what could be read.
TEST(SheetReader, FreeXlFaultsStayInTheirOwnProcess)
{
    QFile crafted(QStringLiteral(SHEET_TEST_DATA "/freexl-overread.xls"));
    ASSERT_TRUE(crafted.open(QIODevice::ReadOnly));
    const std::optional<TSheet> sheet = ReadSheetBytes(crafted.readAll(), TSheetFormat::Xls);
    if (sheet) {
        EXPECT_LE(qsizetype(sheet->cells.size()), kSheetMaxCells);
    }
    // The reader goes on working after it.
    EXPECT_TRUE(readFile(test::ConvertedSheet(QStringLiteral("xls"))));
}
