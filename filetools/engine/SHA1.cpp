#include "SHA1.h"

#include "Burn.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace corvane::filetools {

namespace {

inline std::uint32_t LoadBE(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

inline void StoreBE(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v >> 24);
    p[1] = std::uint8_t(v >> 16);
    p[2] = std::uint8_t(v >> 8);
    p[3] = std::uint8_t(v);
}

} // namespace

void Sha1::reset()
{
    m_h[0] = 0x67452301;
    m_h[1] = 0xEFCDAB89;
    m_h[2] = 0x98BADCFE;
    m_h[3] = 0x10325476;
    m_h[4] = 0xC3D2E1F0;
    m_length = 0;
    m_used = 0;
}

void Sha1::burn()
{
    BurnBytes(m_h, sizeof m_h);
    BurnBytes(m_buffer, sizeof m_buffer);
    m_length = 0;
    m_used = 0;
}

void Sha1::compress(const std::uint8_t* block)
{
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = LoadBE(block + 4 * i);
    for (int i = 16; i < 80; ++i)
        w[i] = std::rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    std::uint32_t a = m_h[0], b = m_h[1], c = m_h[2], d = m_h[3], e = m_h[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const std::uint32_t t = std::rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = std::rotl(b, 30);
        b = a;
        a = t;
    }
    m_h[0] += a;
    m_h[1] += b;
    m_h[2] += c;
    m_h[3] += d;
    m_h[4] += e;
    // The schedule holds words of the message, which may be a pass phrase.
    BurnBytes(w, sizeof w);
}

void Sha1::update(const void* data, std::size_t size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    m_length += size;
    if (m_used) {
        const std::size_t take = std::min(size, sizeof m_buffer - m_used);
        std::memcpy(m_buffer + m_used, p, take);
        m_used += take;
        p += take;
        size -= take;
        if (m_used < sizeof m_buffer)
            return;
        compress(m_buffer);
        m_used = 0;
    }
    for (; size >= 64; p += 64, size -= 64)
        compress(p);
    if (size) {
        std::memcpy(m_buffer, p, size);
        m_used = size;
    }
}

Sha1::Digest Sha1::finish()
{
    const std::uint64_t bits = m_length * 8;
    m_buffer[m_used++] = 0x80;
    if (m_used > 56) {
        std::memset(m_buffer + m_used, 0, sizeof m_buffer - m_used);
        compress(m_buffer);
        m_used = 0;
    }
    std::memset(m_buffer + m_used, 0, 56 - m_used);
    StoreBE(m_buffer + 56, std::uint32_t(bits >> 32));
    StoreBE(m_buffer + 60, std::uint32_t(bits));
    compress(m_buffer);

    Digest digest;
    for (int i = 0; i < 5; ++i)
        StoreBE(digest.data() + 4 * i, m_h[i]);
    burn();
    return digest;
}

Sha1::Digest Sha1::hash(const void* data, std::size_t size)
{
    Sha1 sha;
    sha.update(data, size);
    return sha.finish();
}

} // namespace corvane::filetools
