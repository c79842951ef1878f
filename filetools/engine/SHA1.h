#pragma once
// SHA-1 message digest (FIPS 180), incremental.
#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane::filetools {

class Sha1
{
public:
    static constexpr std::size_t DigestSize = 20;
    using Digest = std::array<std::uint8_t, DigestSize>;

    Sha1() { reset(); }
    ~Sha1() { burn(); }
    Sha1(const Sha1&) = delete;
    Sha1& operator=(const Sha1&) = delete;

    void reset();
    void update(const void* data, std::size_t size);
    // Pads, returns the digest and burns the state; call reset() to hash again.
    Digest finish();
    void burn();

    static Digest hash(const void* data, std::size_t size);

private:
    void compress(const std::uint8_t* block);

    std::uint32_t m_h[5];
    std::uint64_t m_length; // bytes hashed so far
    std::uint8_t m_buffer[64];
    std::size_t m_used;
};

} // namespace corvane::filetools
