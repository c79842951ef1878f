#include "Blowfish.h"

#include "BlowfishTables.h"
#include "Burn.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace corvane::filetools {

namespace {

inline std::uint32_t LoadBE(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap32(v);
    return v;
}

inline void StoreBE(std::uint8_t* p, std::uint32_t v)
{
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

// The rounds must be inlined into the chaining loops: a call per block would send the two
// halves through memory.
#define CORVANE_ALWAYS_INLINE inline __attribute__((always_inline))

CORVANE_ALWAYS_INLINE std::uint32_t F(const std::uint32_t* s, std::uint32_t x)
{
    return ((s[x >> 24] + s[256 + ((x >> 16) & 0xFF)]) ^ s[512 + ((x >> 8) & 0xFF)]) + s[768 + (x & 0xFF)];
}

// Sixteen rounds, unrolled; the word swap of each round is folded into the order.
CORVANE_ALWAYS_INLINE void Encrypt(const std::uint32_t* p, const std::uint32_t* s, std::uint32_t& left, std::uint32_t& right)
{
    std::uint32_t l = left ^ p[0];
    std::uint32_t r = right;
    r ^= F(s, l) ^ p[1];
    l ^= F(s, r) ^ p[2];
    r ^= F(s, l) ^ p[3];
    l ^= F(s, r) ^ p[4];
    r ^= F(s, l) ^ p[5];
    l ^= F(s, r) ^ p[6];
    r ^= F(s, l) ^ p[7];
    l ^= F(s, r) ^ p[8];
    r ^= F(s, l) ^ p[9];
    l ^= F(s, r) ^ p[10];
    r ^= F(s, l) ^ p[11];
    l ^= F(s, r) ^ p[12];
    r ^= F(s, l) ^ p[13];
    l ^= F(s, r) ^ p[14];
    r ^= F(s, l) ^ p[15];
    l ^= F(s, r) ^ p[16];
    left = r ^ p[17];
    right = l;
}

CORVANE_ALWAYS_INLINE void Decrypt(const std::uint32_t* p, const std::uint32_t* s, std::uint32_t& left, std::uint32_t& right)
{
    std::uint32_t l = left ^ p[17];
    std::uint32_t r = right;
    r ^= F(s, l) ^ p[16];
    l ^= F(s, r) ^ p[15];
    r ^= F(s, l) ^ p[14];
    l ^= F(s, r) ^ p[13];
    r ^= F(s, l) ^ p[12];
    l ^= F(s, r) ^ p[11];
    r ^= F(s, l) ^ p[10];
    l ^= F(s, r) ^ p[9];
    r ^= F(s, l) ^ p[8];
    l ^= F(s, r) ^ p[7];
    r ^= F(s, l) ^ p[6];
    l ^= F(s, r) ^ p[5];
    r ^= F(s, l) ^ p[4];
    l ^= F(s, r) ^ p[3];
    r ^= F(s, l) ^ p[2];
    l ^= F(s, r) ^ p[1];
    left = r ^ p[0];
    right = l;
}

} // namespace

void Blowfish::init(const std::uint8_t* key, std::size_t keySize, const Block* iv)
{
    std::memcpy(m_p, detail::kBlowfishInitP, sizeof m_p);
    std::memcpy(m_s, detail::kBlowfishInitS, sizeof m_s);
    keySize = std::min(keySize, MaxKeySize);
    if (keySize) {
        std::size_t k = 0;
        for (std::uint32_t& word : m_p) {
            std::uint32_t data = 0;
            for (int i = 0; i < 4; ++i) {
                data = (data << 8) | key[k];
                k = (k + 1) % keySize;
            }
            word ^= data;
        }
    }
    std::uint32_t l = 0, r = 0;
    for (std::size_t i = 0; i < 18; i += 2) {
        Encrypt(m_p, m_s, l, r);
        m_p[i] = l;
        m_p[i + 1] = r;
    }
    for (std::size_t i = 0; i < 4 * 256; i += 2) {
        Encrypt(m_p, m_s, l, r);
        m_s[i] = l;
        m_s[i + 1] = r;
    }

    if (iv) {
        m_ivLeft = LoadBE(iv->data());
        m_ivRight = LoadBE(iv->data() + 4);
    } else {
        m_ivLeft = m_ivRight = 0xFFFFFFFF;
        Encrypt(m_p, m_s, m_ivLeft, m_ivRight);
    }
    reset();
}

void Blowfish::reset()
{
    m_chainLeft = m_ivLeft;
    m_chainRight = m_ivRight;
}

void Blowfish::burn()
{
    BurnBytes(m_p, sizeof m_p, 0xFF);
    BurnBytes(m_s, sizeof m_s, 0xFF);
    m_ivLeft = m_ivRight = m_chainLeft = m_chainRight = 0xFFFFFFFF;
    __asm__ __volatile__("" : : "r"(this) : "memory");
}

Blowfish::Block Blowfish::iv() const
{
    Block b;
    StoreBE(b.data(), m_ivLeft);
    StoreBE(b.data() + 4, m_ivRight);
    return b;
}

void Blowfish::encryptBlock(std::uint32_t& left, std::uint32_t& right) const
{
    Encrypt(m_p, m_s, left, right);
}

void Blowfish::decryptBlock(std::uint32_t& left, std::uint32_t& right) const
{
    Decrypt(m_p, m_s, left, right);
}

void Blowfish::encryptBlock(const std::uint8_t* in, std::uint8_t* out) const
{
    std::uint32_t l = LoadBE(in), r = LoadBE(in + 4);
    Encrypt(m_p, m_s, l, r);
    StoreBE(out, l);
    StoreBE(out + 4, r);
}

void Blowfish::decryptBlock(const std::uint8_t* in, std::uint8_t* out) const
{
    std::uint32_t l = LoadBE(in), r = LoadBE(in + 4);
    Decrypt(m_p, m_s, l, r);
    StoreBE(out, l);
    StoreBE(out + 4, r);
}

void Blowfish::xorTail(std::uint8_t* data, std::size_t size) const
{
    std::uint32_t l = m_chainLeft, r = m_chainRight;
    Encrypt(m_p, m_s, l, r);
    std::uint8_t pad[BlockSize];
    StoreBE(pad, l);
    StoreBE(pad + 4, r);
    for (std::size_t i = 0; i < size; ++i)
        data[i] ^= pad[i];
    BurnBytes(pad, sizeof pad);
}

void Blowfish::encryptChain(std::uint8_t* data, std::size_t size)
{
    const std::uint32_t* p = m_p;
    const std::uint32_t* s = m_s;
    std::uint32_t cl = m_chainLeft, cr = m_chainRight;
    std::uint8_t* const end = data + (size & ~std::size_t(BlockSize - 1));
    for (; data != end; data += BlockSize) {
        cl ^= LoadBE(data);
        cr ^= LoadBE(data + 4);
        Encrypt(p, s, cl, cr);
        StoreBE(data, cl);
        StoreBE(data + 4, cr);
    }
    m_chainLeft = cl;
    m_chainRight = cr;
    if (size % BlockSize)
        xorTail(data, size % BlockSize);
}

void Blowfish::decryptChain(std::uint8_t* data, std::size_t size)
{
    const std::uint32_t* p = m_p;
    const std::uint32_t* s = m_s;
    std::uint32_t cl = m_chainLeft, cr = m_chainRight;
    std::uint8_t* const end = data + (size & ~std::size_t(BlockSize - 1));
    // Blocks decrypt independently of each other: two at a time keep the core busy while
    // each one waits on its S-box loads.
    for (; end - data >= std::ptrdiff_t(2 * BlockSize); data += 2 * BlockSize) {
        const std::uint32_t al = LoadBE(data), ar = LoadBE(data + 4);
        const std::uint32_t bl = LoadBE(data + 8), br = LoadBE(data + 12);
        std::uint32_t l0 = al ^ p[17], r0 = ar, l1 = bl ^ p[17], r1 = br;
        for (int i = 16; i > 0; i -= 2) {
            r0 ^= F(s, l0) ^ p[i];
            r1 ^= F(s, l1) ^ p[i];
            l0 ^= F(s, r0) ^ p[i - 1];
            l1 ^= F(s, r1) ^ p[i - 1];
        }
        StoreBE(data, r0 ^ p[0] ^ cl);
        StoreBE(data + 4, l0 ^ cr);
        StoreBE(data + 8, r1 ^ p[0] ^ al);
        StoreBE(data + 12, l1 ^ ar);
        cl = bl;
        cr = br;
    }
    for (; data != end; data += BlockSize) {
        const std::uint32_t nl = LoadBE(data), nr = LoadBE(data + 4);
        std::uint32_t l = nl, r = nr;
        Decrypt(p, s, l, r);
        StoreBE(data, l ^ cl);
        StoreBE(data + 4, r ^ cr);
        cl = nl;
        cr = nr;
    }
    m_chainLeft = cl;
    m_chainRight = cr;
    if (size % BlockSize)
        xorTail(data, size % BlockSize);
}

} // namespace corvane::filetools
