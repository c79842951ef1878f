#pragma once
// Texts of the program are UTF-8 literals in each subsystem's texts header; this turns one into
// a QString, the one way every subsystem does it.
#include <QString>

namespace corvane::core {

inline QString Text(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace corvane::core
