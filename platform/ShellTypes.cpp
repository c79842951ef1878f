#include "ShellTypes.h"

#include <cstring>

namespace corvane::platform {

QString SystemMessage(HResult hr)
{
    if (Succeeded(hr))
        return QStringLiteral("The operation completed successfully.");
    if ((std::uint32_t(hr) & 0xFFFF0000u) == 0x80070000u && hr != E_INVALIDARG)
        return QString::fromLocal8Bit(std::strerror(int(hr & 0xFFFF)));
    switch (hr) {
    case E_INVALIDARG:
        return QStringLiteral("The parameter is incorrect.");
    case E_NOTIMPL:
        return QStringLiteral("Not implemented.");
    case E_NOINTERFACE:
        return QStringLiteral("No such interface supported.");
    default:
        return QStringLiteral("Unspecified error.");
    }
}

} // namespace corvane::platform
