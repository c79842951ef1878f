#include "CryptFormat.h"

#include "Burn.h"
#include "SHA1.h"

#include <algorithm>

namespace corvane::filetools {

namespace {

// Windows-1252 codes 0x80..0x9F; 0 marks the five codes that Windows maps to themselves.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178,
};

// The Windows-1252 byte of a character, or -1 when it has none.
int Cp1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i) {
        const char16_t mapped = kCp1252High[i] ? kCp1252High[i] : char16_t(0x80 + i);
        if (mapped == c)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

QByteArray PassPhraseBytes(const QString& passPhrase)
{
    QByteArray bytes(passPhrase.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < passPhrase.size(); ++i) {
        const int b = Cp1252Byte(passPhrase.at(i).unicode());
        if (b < 0) {
            BurnBytes(bytes.data(), std::size_t(bytes.size()));
            return passPhrase.toUtf8();
        }
        bytes[i] = char(b);
    }
    return bytes;
}

FileKey::FileKey(const QByteArray& passPhraseBytes)
{
    std::array<std::uint8_t, kCheckBlockSize> key;
    key.fill(0xFF);
    Sha1::Digest digest = Sha1::hash(passPhraseBytes.constData(), std::size_t(passPhraseBytes.size()));
    std::copy(digest.begin(), digest.end(), key.begin());
    BurnBytes(digest.data(), digest.size());

    m_cipher.init(key.data(), key.size());
    m_check = key;
    m_cipher.encryptChain(m_check.data(), m_check.size());
    m_cipher.reset();
    BurnBytes(key.data(), key.size());
}

FileKey::~FileKey()
{
    BurnBytes(m_check.data(), m_check.size(), 0xFF);
}

} // namespace corvane::filetools
