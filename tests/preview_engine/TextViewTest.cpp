// Filtered text and plain-text decoding of the text viewer.
#include "preview/engine/TextView.h"

#include <gtest/gtest.h>

using namespace corvane::preview;
using namespace Qt::StringLiterals;

TEST(FilteredText, KeepsPrintableCharactersAndPadsWithSpaces)
{
    const QByteArray bytes("\x41\x09\x42\x00\x0D\x0A\x43", 7);
    EXPECT_EQ(FilteredText(bytes), QString("AB\r\nC  "));

    EXPECT_EQ(FilteredText({}), QString());
    EXPECT_EQ(FilteredText(QByteArray("\x7F\x80\xFF\x1F", 4)), QString(4, u' '));
    EXPECT_EQ(FilteredText(" ~"), QString(" ~"));
}

TEST(DecodePlainText, ChoosesUtf8Windows1252OrUtf16)
{
    struct Case
    {
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"plain ascii", u"plain ascii"_s},
        {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", u"Grüße €"_s},
        // Not UTF-8: every byte is a Windows-1252 character, 0x80 the euro sign.
        {"Gr\xFC\xDF" "e \x80 \x93q\x94", u"Grüße € “q”"_s},
        // One bad sequence is enough to read the whole file as Windows-1252.
        {"\xC3\xBC and \xFC", u"Ã¼ and ü"_s},
        {"\xEF\xBB\xBFwith BOM \xC3\xA9", u"with BOM é"_s},
        {QByteArray("\xFF\xFEh\0i\0 \0\xAC\x20", 10), u"hi €"_s},
        {QByteArray("\xFE\xFF\0h\0i\0 \x20\xAC", 10), u"hi €"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodePlainText(c.bytes), c.text) << c.bytes.toHex().constData();
}
