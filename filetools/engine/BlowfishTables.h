#pragma once
// Initial contents of the Blowfish key schedule (the hex digits of pi).
#include <cstdint>

namespace corvane::filetools::detail {

extern const std::uint32_t kBlowfishInitP[18];
extern const std::uint32_t kBlowfishInitS[4 * 256];

} // namespace corvane::filetools::detail
