#pragma once
// Byte forms of setting values in binary registry values, and the scrambled form of
// encrypted settings. Stored bytes are untrusted: decoding never reads past the data and
// never throws.
#include "PSetting.h"

#include <QByteArray>
#include <cstdint>

namespace corvane::settings {

// The REG_BINARY data of a value kept in binary form: the type code as a 32-bit
// little-endian integer, then the payload (floats: 10 bytes; booleans: 1 byte; variants and
// string lists: a text field; hidden properties and collections: their streamed bytes).
QByteArray EncodeBinary(const TPSetting& Setting);
// The stream that is scrambled: the text field "TPSOK", the type code, the payload.
QByteArray PlainStream(const TPSetting& Setting);
QByteArray Scramble(const QByteArray& Plain, const QByteArray& Key, std::uint8_t Seed);
QByteArray Unscramble(const QByteArray& Stored, const QByteArray& Key);
QByteArray EncodeScrambled(const TPSetting& Setting, std::uint8_t Seed);

// Restores from REG_BINARY data; codes 1, 2 and unknown codes change nothing; a short or
// malformed payload leaves the setting as it was at that point.
void DecodeBinary(TPSetting& Setting, const QByteArray& Data);
// Clears the setting, then restores it when the header reads "TPSOK".
void DecodeScrambled(TPSetting& Setting, const QByteArray& Stored);

} // namespace corvane::settings
