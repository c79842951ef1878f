#pragma once
// Blowfish block cipher (64-bit blocks, keys of 1 to 56 bytes) with the chaining mode of
// Corvane's encrypted files: CBC over whole blocks, and a tail shorter than a block XORed
// with the encryption of the chain block, which stays unchanged. Blocks are two big-endian
// 32-bit words.
#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane::filetools {

class Blowfish
{
public:
    static constexpr std::size_t BlockSize = 8;
    static constexpr std::size_t MaxKeySize = 56;
    using Block = std::array<std::uint8_t, BlockSize>;

    Blowfish() = default;
    ~Blowfish() { burn(); }
    Blowfish(const Blowfish&) = delete;
    Blowfish& operator=(const Blowfish&) = delete;

    // Expands the key (bytes beyond MaxKeySize are ignored). Without an initial vector the
    // IV is the encryption of eight 0xFF bytes. The chain block starts at the IV.
    void init(const std::uint8_t* key, std::size_t keySize, const Block* iv = nullptr);
    // Chain block := IV.
    void reset();
    // Overwrites the key schedule, the IV and the chain block with 0xFF bytes.
    void burn();

    Block iv() const;

    void encryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void decryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void encryptBlock(const std::uint8_t* in, std::uint8_t* out) const;
    void decryptBlock(const std::uint8_t* in, std::uint8_t* out) const;

    // The chaining mode, in place, continuing from the chain block.
    void encryptChain(std::uint8_t* data, std::size_t size);
    void decryptChain(std::uint8_t* data, std::size_t size);

private:
    void xorTail(std::uint8_t* data, std::size_t size) const;

    std::uint32_t m_p[18] = {};
    std::uint32_t m_s[4 * 256] = {}; // the four S-boxes, one after the other
    std::uint32_t m_ivLeft = 0, m_ivRight = 0;
    std::uint32_t m_chainLeft = 0, m_chainRight = 0;
};

} // namespace corvane::filetools
