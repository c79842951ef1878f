#include "SizeText.h"

#include <QLocale>

namespace corvane::core {

qint64 KilobytesRoundedUp(qint64 bytes)
{
    return bytes / 1024 + (bytes % 1024 ? 1 : 0);
}

QString SizeTextKB(qint64 bytes)
{
    QLocale loc;
    loc.setNumberOptions(loc.numberOptions() & ~QLocale::OmitGroupSeparator);
    return QString::fromLatin1(texts::SizeKB).arg(loc.toString(KilobytesRoundedUp(bytes)));
}

} // namespace corvane::core
