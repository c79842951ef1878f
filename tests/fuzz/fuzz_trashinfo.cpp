// libFuzzer target for the .trashinfo reader: info files in a volume's trash are written by
// anyone who can write there. Reading must never crash, and what it reads must survive a round
// trip through the writer.
#include "platform/Trash.h"

#include <cstdint>
#include <cstdlib>

using namespace corvane::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray path;
    QDateTime date;
    if (!ParseTrashInfo(text, &path, &date))
        return 0;
    QByteArray again;
    QDateTime dateAgain;
    const QDateTime when = date.isValid() ? date : QDateTime(QDate(2000, 1, 1), QTime(0, 0));
    if (!ParseTrashInfo(FormatTrashInfo(path, when), &again, &dateAgain) || again != path)
        std::abort();
    return 0;
}
