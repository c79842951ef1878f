// The rich-text reader: text, character and paragraph formats, damaged and hostile input, and a
// document written by LibreOffice.
#include "preview/engine/RtfReader.h"

#include "tests/support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

using namespace corvane::preview;
using namespace Qt::StringLiterals;

namespace {

// The document's text with its paragraphs joined by line feeds; other characters as read.
QString TextOf(const QTextDocument& doc)
{
    QStringList blocks;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        blocks << b.text();
    return blocks.join(u'\n');
}

QString Read(const QByteArray& rtf)
{
    QTextDocument doc;
    ReadRtf(rtf, doc);
    return TextOf(doc);
}

// The format of the first character of `word`, which must occur in the document.
QTextCharFormat FormatOf(const QTextDocument& doc, const QString& word)
{
    const QTextCursor found = doc.find(word, 0, QTextDocument::FindCaseSensitively);
    EXPECT_FALSE(found.isNull()) << qPrintable(word);
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(found.selectionStart() + 1);
    return c.charFormat();
}

Qt::Alignment AlignmentOf(const QTextDocument& doc, const QString& word)
{
    return doc.find(word, 0, QTextDocument::FindCaseSensitively).block().blockFormat().alignment();
}

QString Family(const QTextCharFormat& f)
{
    const QStringList families = f.fontFamilies().toStringList();
    return families.isEmpty() ? QString() : families.first();
}

} // namespace

TEST(RtfReader, RecognisesRichText)
{
    EXPECT_TRUE(IsRtf("{\\rtf1\\ansi x}"));
    EXPECT_FALSE(IsRtf(" {\\rtf1}"));
    EXPECT_FALSE(IsRtf("{\\rt"));
    EXPECT_FALSE(IsRtf({}));
}

TEST(RtfReader, ReadsText)
{
    struct Case
    {
        const char* name;
        QByteArray rtf;
        QString text;
    };
    const Case cases[] = {
        {"plain", "{\\rtf1\\ansi Hello world}", u"Hello world"_s},
        {"line breaks in the source are not text", "{\\rtf1 a\r\nb\nc}", u"abc"_s},
        {"paragraphs", "{\\rtf1 one\\par two\\par\n}", u"one\ntwo\n"_s},
        {"backslash before a line break ends a paragraph", "{\\rtf1 one\\\ntwo}", u"one\ntwo"_s},
        {"line, tab, cell and row", "{\\rtf1 a\\line b\\tab c\\cell d\\row e}", u"a\u2028b\tc\td\ne"_s},
        {"escapes", "{\\rtf1 \\{x\\} \\\\ a\\~b\\-c\\_d}", u"{x} \\ a\u00A0b\u00ADc\u2011d"_s},
        {"named characters", "{\\rtf1 \\lquote\\rquote\\ldblquote\\rdblquote\\emdash\\endash\\bullet}",
         u"‘’“”—–•"_s},
        {"hex bytes in the default page", "{\\rtf1\\ansi caf\\'e9 \\'80}", u"café €"_s},
        {"hex bytes in the document's page", "{\\rtf1\\ansi\\ansicpg1251 \\'c0\\'e1\\'e2}", u"Абв"_s},
        {"hex bytes in a page with lead bytes", "{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0\\'82\\'a2x}", u"あいx"_s},
        {"trail bytes in the ASCII range", "{\\rtf1\\ansicpg932 \\'83A\\'83\\\\x}", u"アソx"_s},
        {"hex bytes in the font's character set",
         "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset161 Arial Greek;}}\\f0 \\'e1{\\f1 \\'e1}}", u"áα"_s},
        {"uppercase and short hex", "{\\rtf1 \\'C9\\'4}", u"É"_s},
        {"unicode with one fallback", "{\\rtf1 a\\u8364?b}", u"a€b"_s},
        {"negative unicode", "{\\rtf1 \\u-3913?}", u"\uF0B7"_s},
        {"surrogate pair", "{\\rtf1 \\u-10179?\\u-8704?}", u"😀"_s},
        {"two fallback characters", "{\\rtf1\\uc2 \\u8364??b}", u"€b"_s},
        {"no fallback", "{\\rtf1\\uc0 \\u8364 b}", u"€b"_s},
        {"fallback as hex byte", "{\\rtf1 \\u8364\\'80b}", u"€b"_s},
        {"fallback as control word", "{\\rtf1 \\u8364\\emdash b}", u"€b"_s},
        {"fallback ends at a group", "{\\rtf1\\uc3 \\u8364{x}y}", u"€xy"_s},
        {"\\uc belongs to its group", "{\\rtf1 {\\uc2 \\u8364??}\\u8364?b}", u"€€b"_s},
        {"huge parameters", "{\\rtf1 \\u99999999999999?x\\fs-99999999999 y}", u"xy"_s},
        {"known destinations skipped",
         "{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}{\\header H}{\\footer F}"
         "{\\pict\\pngblip 89504e47}{\\object{\\objdata 00}{\\result R}}{\\footnote N}body}",
         u"body"_s},
        {"optional destinations skipped", "{\\rtf1 a{\\*\\unknown x{y}}{\\*\\bkmkstart m}b}", u"ab"_s},
        {"field shows its result",
         "{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} {\\field{\\fldinst PAGE}{\\fldrslt 3}}}",
         u"link 3"_s},
        {"binary data may hold braces", "{\\rtf1 a{\\pict\\bin5 }{\\}{}b}", u"ab"_s},
        {"binary data past the end", "{\\rtf1 a\\bin999 }", u"a"_s},
        {"hidden text", "{\\rtf1 a{\\v secret}\\v x\\v0 b}", u"ab"_s},
        {"font table and colour table are not text",
         "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1\\green2\\blue3;}x}", u"x"_s},
        {"text after the document", "{\\rtf1 a}b{c}", u"a"_s},
        {"truncated in a group", "{\\rtf1 abc{\\b de", u"abcde"_s},
        {"truncated in a control word", "{\\rtf1 a\\", u"a"_s},
        {"truncated in a hex byte", "{\\rtf1 a\\'", u"a"_s},
        {"truncated in a parameter", "{\\rtf1 a\\fs-1", u"a"_s},
        {"truncated in a lead byte", "{\\rtf1\\ansicpg932 a\\'82", u"a"_s},
        {"stray closing braces", "}}{\\rtf1 a}}}", u"a"_s},
        {"control characters dropped", QByteArray("{\\rtf1 a\0b\x01\tc}", 13), u"ab\tc"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(c.rtf), c.text) << c.name;
}

TEST(RtfReader, DeepNestingIsBoundedWithoutOverflowingTheStack)
{
    const QByteArray shallow = "{\\rtf1 a" + QByteArray(100, '{') + "x" + QByteArray(100, '}') + "b}";
    EXPECT_EQ(Read(shallow), u"axb"_s);

    // Groups this deep are dropped; the text around them stays.
    const QByteArray deep = "{\\rtf1 a" + QByteArray(100'000, '{') + "x" + QByteArray(100'000, '}') + "b}";
    EXPECT_EQ(Read(deep), u"ab"_s);
    EXPECT_EQ(Read("{\\rtf1 a" + QByteArray(100'000, '{')), u"a"_s);
}

TEST(RtfReader, ReadsCharacterFormats)
{
    QTextDocument doc;
    ReadRtf("{\\rtf1\\ansi\\deff1{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
            "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
            "plain \\f0\\fs30 times {\\b bold \\b0 unbold} {\\i italic} {\\ul under\\ulnone over} "
            "{\\ul u2\\ul0 u3} {\\strike gone\\strike0 back} {\\super up} {\\sub down} "
            "\\cf1 red \\cf2\\highlight1 blue \\cf0\\highlight0 auto \\cb2 shade \\plain reset}",
            doc);

    const QTextCharFormat plain = FormatOf(doc, u"plain"_s);
    EXPECT_EQ(Family(plain), u"Arial"_s) << "the default font";
    EXPECT_EQ(plain.fontPointSize(), 12);
    EXPECT_EQ(plain.fontStyleHint(), QFont::SansSerif);
    const QTextCharFormat times = FormatOf(doc, u"times"_s);
    EXPECT_EQ(Family(times), u"Times New Roman"_s);
    EXPECT_EQ(times.fontPointSize(), 15);
    EXPECT_EQ(times.fontStyleHint(), QFont::Serif);

    EXPECT_EQ(FormatOf(doc, u"bold"_s).fontWeight(), QFont::Bold);
    EXPECT_NE(FormatOf(doc, u"unbold"_s).fontWeight(), QFont::Bold);
    EXPECT_TRUE(FormatOf(doc, u"italic"_s).fontItalic());
    EXPECT_TRUE(FormatOf(doc, u"under"_s).fontUnderline());
    EXPECT_FALSE(FormatOf(doc, u"over"_s).fontUnderline());
    EXPECT_TRUE(FormatOf(doc, u"u2"_s).fontUnderline());
    EXPECT_FALSE(FormatOf(doc, u"u3"_s).fontUnderline());
    EXPECT_TRUE(FormatOf(doc, u"gone"_s).fontStrikeOut());
    EXPECT_FALSE(FormatOf(doc, u"back"_s).fontStrikeOut());
    EXPECT_EQ(FormatOf(doc, u"up"_s).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(FormatOf(doc, u"down"_s).verticalAlignment(), QTextCharFormat::AlignSubScript);
    // A group's formats end with it.
    EXPECT_EQ(Family(FormatOf(doc, u"up"_s)), u"Times New Roman"_s);
    EXPECT_FALSE(FormatOf(doc, u"up"_s).fontItalic());

    const QTextCharFormat red = FormatOf(doc, u"red"_s);
    EXPECT_EQ(red.foreground().color(), QColor(255, 0, 0));
    EXPECT_FALSE(red.hasProperty(QTextFormat::BackgroundBrush));
    const QTextCharFormat blue = FormatOf(doc, u"blue"_s);
    EXPECT_EQ(blue.foreground().color(), QColor(0, 0, 255));
    EXPECT_EQ(blue.background().color(), QColor(255, 0, 0));
    const QTextCharFormat automatic = FormatOf(doc, u"auto"_s);
    EXPECT_FALSE(automatic.hasProperty(QTextFormat::ForegroundBrush));
    EXPECT_FALSE(automatic.hasProperty(QTextFormat::BackgroundBrush));
    EXPECT_EQ(FormatOf(doc, u"shade"_s).background().color(), QColor(0, 0, 255));

    const QTextCharFormat reset = FormatOf(doc, u"reset"_s);
    EXPECT_EQ(Family(reset), u"Arial"_s);
    EXPECT_EQ(reset.fontPointSize(), 12);
    EXPECT_FALSE(reset.hasProperty(QTextFormat::BackgroundBrush));
}

TEST(RtfReader, ReadsParagraphAlignment)
{
    QTextDocument doc;
    ReadRtf("{\\rtf1 \\qc centre\\par \\pard left\\par \\qr right\\par {\\qj just\\par}\\qc last}", doc);
    EXPECT_EQ(AlignmentOf(doc, u"centre"_s), Qt::AlignHCenter);
    EXPECT_EQ(AlignmentOf(doc, u"left"_s), Qt::AlignLeft);
    EXPECT_EQ(AlignmentOf(doc, u"right"_s), Qt::AlignRight);
    EXPECT_EQ(AlignmentOf(doc, u"just"_s), Qt::AlignJustify);
    EXPECT_EQ(AlignmentOf(doc, u"last"_s), Qt::AlignHCenter);
}

TEST(RtfReader, ReplacesWhatTheDocumentHeld)
{
    QTextDocument doc;
    doc.setPlainText(u"old text"_s);
    ReadRtf("{\\rtf1 new}", doc);
    EXPECT_EQ(TextOf(doc), u"new"_s);
}

// A document saved as rich text by LibreOffice, with two fonts and two colours.
TEST(RtfReader, ReadsADocumentSavedByLibreOffice)
{
    corvane::test::TempDir dir;
    dir.addFile("doc.fodt", R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.text">
 <office:font-face-decls>
  <style:font-face style:name="Liberation Serif" svg:font-family="'Liberation Serif'"/>
  <style:font-face style:name="DejaVu Sans Mono" svg:font-family="'DejaVu Sans Mono'"/>
 </office:font-face-decls>
 <office:automatic-styles>
  <style:style style:name="T1" style:family="text"><style:text-properties style:font-name="Liberation Serif"
   fo:color="#c00000" fo:font-size="14pt" fo:font-weight="bold"/></style:style>
  <style:style style:name="T2" style:family="text"><style:text-properties style:font-name="DejaVu Sans Mono"
   fo:color="#0000c0" fo:font-style="italic"/></style:style>
  <style:style style:name="P1" style:family="paragraph"><style:paragraph-properties fo:text-align="center"/></style:style>
 </office:automatic-styles>
 <office:body><office:text>
  <text:p text:style-name="P1"><text:span text:style-name="T1">Crimson words</text:span> and <text:span text:style-name="T2">navy code</text:span></text:p>
  <text:p>Grüße € Ωmega</text:p>
 </office:text></office:body>
</office:document>
)");
    QProcess soffice;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"HOME"_s, dir.path());
    soffice.setProcessEnvironment(env);
    soffice.start(u"soffice"_s, {u"--headless"_s, u"--norestore"_s, u"--convert-to"_s, u"rtf"_s,
                                 u"--outdir"_s, dir.path(), dir.filePath(u"doc.fodt"_s)});
    ASSERT_TRUE(soffice.waitForFinished(180'000));
    QFile rtf(dir.filePath(u"doc.rtf"_s));
    ASSERT_TRUE(rtf.open(QIODevice::ReadOnly)) << soffice.readAllStandardError().constData();
    const QByteArray bytes = rtf.readAll();
    ASSERT_TRUE(IsRtf(bytes));

    QTextDocument doc;
    ReadRtf(bytes, doc);
    EXPECT_EQ(TextOf(doc), u"Crimson words and navy code\nGrüße € Ωmega\n"_s);

    const QTextCharFormat crimson = FormatOf(doc, u"Crimson"_s);
    EXPECT_EQ(Family(crimson), u"Liberation Serif"_s);
    EXPECT_EQ(crimson.foreground().color(), QColor(0xC0, 0, 0));
    EXPECT_EQ(crimson.fontPointSize(), 14);
    EXPECT_EQ(crimson.fontWeight(), QFont::Bold);
    const QTextCharFormat navy = FormatOf(doc, u"navy"_s);
    EXPECT_EQ(Family(navy), u"DejaVu Sans Mono"_s);
    EXPECT_EQ(navy.foreground().color(), QColor(0, 0, 0xC0));
    EXPECT_TRUE(navy.fontItalic());
    EXPECT_NE(navy.fontWeight(), QFont::Bold);
    EXPECT_EQ(AlignmentOf(doc, u"Crimson"_s), Qt::AlignHCenter);
    EXPECT_EQ(AlignmentOf(doc, u"Grüße"_s), Qt::AlignLeft);
}
