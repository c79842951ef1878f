#include "OsRelease.h"

#include <QList>

namespace corvane::core {

QString OsReleaseValue(const QByteArray& text, const QByteArray& key)
{
    for (const QByteArray& line : text.split('\n')) {
        if (!line.startsWith(key + '='))
            continue;
        QByteArray v = line.mid(key.size() + 1).trimmed();
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
            v = v.mid(1, v.size() - 2);
        return QString::fromUtf8(v);
    }
    return {};
}

} // namespace corvane::core
