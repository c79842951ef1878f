#include "platform/NameCodec.h"

#include <gtest/gtest.h>

using namespace corvane::platform;

TEST(NameCodec, RoundTripsEveryByteString)
{
    const QByteArray cases[] = {
        "plain.txt",
        "caf\xc3\xa9",          // valid UTF-8
        "bad\xe9name",          // Latin-1 byte
        "\xff\xfe",             // no UTF-8 at all
        "trunc\xe2\x82",        // cut multi-byte sequence
        "over\xc0\xaflong",     // overlong slash
        "surr\xed\xa0\x80",     // encoded surrogate
        "emoji\xf0\x9f\x98\x80", // four-byte sequence
        "line\nbreak",
    };
    for (const QByteArray& c : cases)
        EXPECT_EQ(EncodeName(DecodeName(c)), c) << c.toHex().constData();
}

TEST(NameCodec, ReadableNameReplacesWhatCannotBeShown)
{
    EXPECT_EQ(ReadableName("bad\xe9name"), QString::fromUtf8("bad\xef\xbf\xbdname"));
    EXPECT_EQ(ReadableName("a\nb"), QString::fromUtf8("a\xef\xbf\xbd" "b"));
    EXPECT_EQ(ReadableName("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_TRUE(HasEscapedBytes(DecodeName("x\xe9")));
    EXPECT_FALSE(HasEscapedBytes(DecodeName("caf\xc3\xa9")));
}
