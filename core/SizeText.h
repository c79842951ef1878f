#pragma once
// How a file's size reads wherever Corvane shows it: whole kilobytes, any remainder counting as
// one more (0 bytes 0KB, 1 to 1024 bytes 1KB, 1025 bytes 2KB), with the locale's digit grouping.
#include <QString>

namespace corvane::core {

namespace texts {
inline constexpr const char* SizeKB = "%1KB";
} // namespace texts

qint64 KilobytesRoundedUp(qint64 bytes);
QString SizeTextKB(qint64 bytes);

} // namespace corvane::core
