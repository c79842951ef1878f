#pragma once
// Overwrites key material so that it does not outlive its use. A plain memset before the
// memory goes out of scope is a dead store the optimiser may drop; the empty asm that
// takes the pointer and clobbers memory keeps it.
#include <cstddef>
#include <cstring>

namespace corvane::filetools {

inline void BurnBytes(void* data, std::size_t size, unsigned char value = 0)
{
    std::memset(data, value, size);
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

} // namespace corvane::filetools
