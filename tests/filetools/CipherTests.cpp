// SHA-1 and Blowfish against their published test vectors, and the chaining mode.
#include "filetools/engine/Blowfish.h"
#include "filetools/engine/SHA1.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace corvane::filetools;

namespace {

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

const std::uint8_t* Bytes(const QByteArray& b)
{
    return reinterpret_cast<const std::uint8_t*>(b.constData());
}

QByteArray ToBytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// FIPS 180 examples plus the empty message and the two padding boundaries (55 and 56
// bytes, where the length still fits or spills into a second block).
struct ShaCase
{
    std::string message;
    const char* digest;
};

const ShaCase kShaCases[] = {
    {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {"abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
     "a49b2446a02c645bf419f995b67091253a04a259"},
    {"The quick brown fox jumps over the lazy dog", "2fd4e1c67a2d28fced849ee1bb76e7391b93eb12"},
    {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
};

TEST(Sha1, PublishedVectorsInOnePieceAndInOddPieces)
{
    for (const ShaCase& c : kShaCases) {
        SCOPED_TRACE(c.message.substr(0, 60));
        const Sha1::Digest whole = Sha1::hash(c.message.data(), c.message.size());
        EXPECT_EQ(ToBytes(whole.data(), whole.size()).toHex(), QByteArray(c.digest));

        // Pieces of 1, 2, ..., 97 bytes cross the 64-byte block boundary everywhere.
        Sha1 sha;
        std::size_t at = 0;
        for (std::size_t piece = 1; at < c.message.size(); piece = piece % 97 + 1) {
            const std::size_t n = std::min(piece, c.message.size() - at);
            sha.update(c.message.data() + at, n);
            at += n;
        }
        const Sha1::Digest pieces = sha.finish();
        EXPECT_EQ(ToBytes(pieces.data(), pieces.size()).toHex(), QByteArray(c.digest));
    }
}

// The cipher author's reference vectors: key, plain block, cipher block.
struct EcbCase
{
    const char* key;
    const char* plain;
    const char* cipher;
};

const EcbCase kEcbCases[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

TEST(Blowfish, ReferenceVectorsEncryptAndDecrypt)
{
    for (const EcbCase& c : kEcbCases) {
        SCOPED_TRACE(c.key);
        const QByteArray key = Hex(c.key), plain = Hex(c.plain), cipher = Hex(c.cipher);
        Blowfish bf;
        bf.init(Bytes(key), std::size_t(key.size()));
        std::uint8_t out[8];
        bf.encryptBlock(Bytes(plain), out);
        EXPECT_EQ(ToBytes(out, 8), cipher);
        bf.decryptBlock(Bytes(cipher), out);
        EXPECT_EQ(ToBytes(out, 8), plain);
    }
}

// The variable-key-length set: prefixes of one 24-byte key, all on the same block.
TEST(Blowfish, ReferenceVectorsOfEveryKeyLength)
{
    const QByteArray key = Hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
    const QByteArray plain = Hex("FEDCBA9876543210");
    const char* const expected[24] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
        "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
        "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
    };
    for (int length = 1; length <= 24; ++length) {
        SCOPED_TRACE(length);
        Blowfish bf;
        bf.init(Bytes(key), std::size_t(length));
        std::uint8_t out[8];
        bf.encryptBlock(Bytes(plain), out);
        EXPECT_EQ(ToBytes(out, 8), Hex(expected[length - 1]));
    }
}

// Whole blocks are plain CBC (the reference CBC vector); a tail is XORed with the
// encryption of the chain block, which stays put; decryption undoes both; and any split
// into whole-block pieces gives the bytes of one piece.
TEST(Blowfish, ChainingModeWithTail)
{
    const QByteArray key = Hex("0123456789ABCDEFF0E1D2C3B4A59687");
    const Blowfish::Block iv = {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};
    const QByteArray plain("7654321 Now is the time for \0", 29);

    Blowfish bf;
    bf.init(Bytes(key), std::size_t(key.size()), &iv);
    QByteArray data = plain;
    bf.encryptChain(reinterpret_cast<std::uint8_t*>(data.data()), std::size_t(data.size()));
    EXPECT_EQ(data.left(24), Hex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D9"));

    std::uint8_t pad[8];
    bf.encryptBlock(Bytes(data.mid(16, 8)), pad);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::uint8_t(data[24 + i]), std::uint8_t(plain[24 + i] ^ pad[i])) << i;

    // A second tail right after the first uses the same chain block.
    std::uint8_t again[3] = {0, 0, 0};
    bf.encryptChain(again, 3);
    EXPECT_EQ(ToBytes(again, 3), ToBytes(pad, 3));

    for (const std::vector<int>& pieces : std::vector<std::vector<int>>{{29}, {8, 21}, {16, 8, 5}, {24, 5}}) {
        bf.reset();
        QByteArray split = plain;
        int at = 0;
        for (int n : pieces) {
            bf.encryptChain(reinterpret_cast<std::uint8_t*>(split.data()) + at, std::size_t(n));
            at += n;
        }
        EXPECT_EQ(split, data);
        bf.reset();
        at = 0;
        for (int n : pieces) {
            bf.decryptChain(reinterpret_cast<std::uint8_t*>(split.data()) + at, std::size_t(n));
            at += n;
        }
        EXPECT_EQ(split, plain);
    }
}

TEST(Blowfish, BurnOverwritesWithFF)
{
    const QByteArray key = Hex("0123456789ABCDEF");
    Blowfish bf;
    bf.init(Bytes(key), 8);
    bf.burn();
    const Blowfish::Block ff = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(bf.iv(), ff);
    // With every P entry and S-box word 0xFFFFFFFF, a round is a fixed function of the data;
    // the key is gone.
    Blowfish other;
    other.init(Bytes(Hex("FEDCBA9876543210")), 8);
    other.burn();
    std::uint8_t a[8], b[8];
    bf.encryptBlock(ff.data(), a);
    other.encryptBlock(ff.data(), b);
    EXPECT_EQ(ToBytes(a, 8), ToBytes(b, 8));
}

} // namespace
