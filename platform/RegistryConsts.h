#pragma once
// User-facing texts of the registry store.
#include <QString>

namespace corvane::platform::consts {

// %1 the file, %2 what SQLite or the system said.
inline QString SRegistryUnusable()
{
    return QStringLiteral("Corvane cannot use its settings file \"%1\": %2.\n"
                          "It starts with its default settings, and the changes made in this "
                          "session will not be kept.");
}
inline QString SRegistryDamaged() { return QStringLiteral("the file is damaged"); }
inline QString SRegistryLocked() { return QStringLiteral("another program keeps it locked"); }
inline QString SRegistryReadOnly() { return QStringLiteral("it cannot be written"); }
inline QString SRegistryNoFolder() { return QStringLiteral("its folder cannot be created"); }

} // namespace corvane::platform::consts
