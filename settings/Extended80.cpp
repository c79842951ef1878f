#include "Extended80.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace corvane::settings {

namespace {

constexpr int kExtBias = 16383;
constexpr int kDblBias = 1023;
constexpr std::uint64_t kIntegerBit = std::uint64_t(1) << 63;

// Shifts right by sh (1..64) rounding to nearest, ties to even.
std::uint64_t shiftRound(std::uint64_t m, int sh)
{
    if (sh > 64)
        return 0;
    const std::uint64_t q = sh == 64 ? 0 : m >> sh;
    const std::uint64_t rem = sh == 64 ? m : m & ((std::uint64_t(1) << sh) - 1);
    const std::uint64_t half = std::uint64_t(1) << (sh - 1);
    if (rem > half || (rem == half && (q & 1)))
        return q + 1;
    return q;
}

} // namespace

std::uint64_t Extended80::significand() const
{
    std::uint64_t m = 0;
    for (int i = 7; i >= 0; --i)
        m = (m << 8) | bytes[std::size_t(i)];
    return m;
}

std::uint16_t Extended80::signAndExponent() const
{
    return std::uint16_t(bytes[8] | (bytes[9] << 8));
}

Extended80 Extended80::fromParts(std::uint16_t signAndExponent, std::uint64_t significand)
{
    Extended80 e;
    for (int i = 0; i < 8; ++i)
        e.bytes[std::size_t(i)] = std::uint8_t(significand >> (8 * i));
    e.bytes[8] = std::uint8_t(signAndExponent);
    e.bytes[9] = std::uint8_t(signAndExponent >> 8);
    return e;
}

Extended80 Extended80::fromDouble(double value)
{
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    const std::uint16_t sign = (bits >> 63) ? 0x8000 : 0;
    const int exp = int((bits >> 52) & 0x7FF);
    const std::uint64_t frac = bits & ((std::uint64_t(1) << 52) - 1);

    if (exp == 0x7FF) {
        if (frac == 0)
            return fromParts(sign | 0x7FFF, kIntegerBit);
        // Keep the payload; the x87 quiet bit is the top fraction bit, as in a double.
        return fromParts(sign | 0x7FFF, kIntegerBit | (frac << 11));
    }
    if (exp == 0) {
        if (frac == 0)
            return fromParts(sign, 0);
        // Subnormal double: normalise, the extended range holds it easily.
        const int lz = std::countl_zero(frac);
        const std::uint64_t m = frac << lz;
        const int e = 63 - lz - 1074 + kExtBias;
        return fromParts(std::uint16_t(sign | e), m);
    }
    return fromParts(std::uint16_t(sign | (exp - kDblBias + kExtBias)), kIntegerBit | (frac << 11));
}

double Extended80::toDouble() const
{
    const std::uint16_t se = signAndExponent();
    const std::uint64_t signBit = (se & 0x8000) ? (std::uint64_t(1) << 63) : 0;
    const int exp = se & 0x7FFF;
    const std::uint64_t m = significand();
    const double nan = std::numeric_limits<double>::quiet_NaN();

    if (exp == 0x7FFF) {
        if (!(m & kIntegerBit))
            return nan; // pseudo-infinity or pseudo-NaN
        const std::uint64_t frac = m & ~kIntegerBit;
        if (frac == 0)
            return std::bit_cast<double>(signBit | (std::uint64_t(0x7FF) << 52));
        std::uint64_t dfrac = (frac >> 11) | (std::uint64_t(1) << 51);
        return std::bit_cast<double>(signBit | (std::uint64_t(0x7FF) << 52) | dfrac);
    }
    if (exp == 0) {
        // Denormals and pseudo-denormals lie far below the smallest double.
        return std::bit_cast<double>(signBit);
    }
    if (!(m & kIntegerBit))
        return nan; // unnormal

    int e = exp - kExtBias;
    if (e >= -1022) {
        std::uint64_t q = shiftRound(m, 11);
        if (q == (std::uint64_t(1) << 53)) {
            q >>= 1;
            ++e;
        }
        if (e > 1023)
            return std::bit_cast<double>(signBit | (std::uint64_t(0x7FF) << 52));
        return std::bit_cast<double>(signBit | (std::uint64_t(e + kDblBias) << 52)
                                     | (q & ((std::uint64_t(1) << 52) - 1)));
    }
    // Subnormal result in units of 2^-1074; a carry into bit 52 yields the smallest normal.
    const std::uint64_t q = shiftRound(m, -(e + 1011));
    return std::bit_cast<double>(signBit | q);
}

bool operator==(const Extended80& a, const Extended80& b)
{
    const double da = a.toDouble();
    const double db = b.toDouble();
    if (std::isnan(da) || std::isnan(db))
        return false;
    if (da == 0 && db == 0)
        return true;
    return a.bytes == b.bytes;
}

} // namespace corvane::settings
