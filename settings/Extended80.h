#pragma once
// The x87 80-bit extended float as ten little-endian bytes: a 64-bit significand with an
// explicit integer bit, then 15 exponent bits and the sign. Stored setting values use this
// layout whatever the compiler's long double is, so conversions are done by hand.
#include <array>
#include <cstdint>

namespace corvane::settings {

struct Extended80
{
    std::array<std::uint8_t, 10> bytes {};

    // Exact: every double is representable.
    static Extended80 fromDouble(double value);
    // Rounded to nearest, ties to even; out of range gives an infinity or zero; encodings
    // that the x87 treats as invalid (unnormals, pseudo-infinities, pseudo-NaNs) give a NaN.
    double toDouble() const;

    std::uint64_t significand() const;
    std::uint16_t signAndExponent() const;
    static Extended80 fromParts(std::uint16_t signAndExponent, std::uint64_t significand);
};

// Numeric equality: NaN never equals, +0 equals -0.
bool operator==(const Extended80& a, const Extended80& b);

} // namespace corvane::settings
