#include "PeVersion.h"

namespace corvane::preview {

QString GetVersionText(const QString&)
{
    return {};
}

QString VersionTextOf(QByteArrayView)
{
    return {};
}

} // namespace corvane::preview
