#pragma once
// os-release(5): KEY=value lines describing the running system.
#include <QByteArray>
#include <QString>

namespace corvane::core {

// The value of the key, its quotes removed; empty when the key is missing.
QString OsReleaseValue(const QByteArray& text, const QByteArray& key);

} // namespace corvane::core
