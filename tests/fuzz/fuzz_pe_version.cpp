// libFuzzer target for the version resource reader of program files: any bytes give either
// empty text or the eight version lines, never a crash or a read past the end.
#include "preview/engine/PeVersion.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = corvane::preview::VersionTextOf(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!text.isEmpty() && (!text.startsWith(u"Company Name: ") || !text.endsWith(u"\r\n")))
        std::abort();
    return 0;
}
