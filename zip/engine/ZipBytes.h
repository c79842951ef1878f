#pragma once
// Record signatures and sizes of the zip format, little-endian fields, and reads and writes that
// finish what they start. Plain C++ without Qt, shared with the self-extracting program.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <unistd.h>

namespace corvane::zip::bytes {

constexpr std::uint32_t kLocalSig = 0x04034B50;
constexpr std::uint32_t kCentralSig = 0x02014B50;
constexpr std::uint32_t kEndSig = 0x06054B50;
constexpr std::uint32_t kSpanSig = 0x08074B50;  // also the optional data descriptor's
constexpr std::int64_t kLocalSize = 30;
constexpr std::int64_t kCentralSize = 46;
constexpr std::int64_t kEndSize = 22;

template <typename Byte>
std::uint16_t U16(const Byte* p)
{
    return std::uint16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8);
}
template <typename Byte>
std::uint32_t U32(const Byte* p)
{
    return std::uint32_t(U16(p)) | std::uint32_t(U16(p + 2)) << 16;
}
template <typename Byte>
std::uint64_t U64(const Byte* p)
{
    return std::uint64_t(U32(p)) | std::uint64_t(U32(p + 4)) << 32;
}
inline void Put16(char* p, std::uint32_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}
inline void Put32(char* p, std::uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// Reads up to n bytes at offset, retrying short reads until the file ends; -1 on an error.
inline std::int64_t ReadFully(int fd, std::uint64_t offset, void* buffer, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, static_cast<char*>(buffer) + done, n - done, off_t(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        done += std::size_t(r);
    }
    return std::int64_t(done);
}

// Writes all n bytes; false on an error (errno tells which).
inline bool WriteAll(int fd, const void* data, std::int64_t n)
{
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        const ssize_t w = ::write(fd, p, std::size_t(n));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= w;
    }
    return true;
}

} // namespace corvane::zip::bytes
