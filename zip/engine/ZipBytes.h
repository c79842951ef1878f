#pragma once
// Little-endian fields of zip records and a write that finishes what it starts; shared by the
// code that copies archives byte for byte.
#include <QtGlobal>

#include <cerrno>
#include <unistd.h>

namespace corvane::zip::bytes {

inline quint16 U16(const char* p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}
inline quint32 U32(const char* p)
{
    return quint32(U16(p)) | quint32(U16(p + 2)) << 16;
}
inline void Put16(char* p, quint32 v)
{
    p[0] = char(v & 0xFF);
    p[1] = char((v >> 8) & 0xFF);
}
inline void Put32(char* p, quint32 v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

// Writes all n bytes; false on an error (errno tells which).
inline bool WriteAll(int fd, const char* data, qint64 n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, data, size_t(n));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= w;
    }
    return true;
}

} // namespace corvane::zip::bytes
