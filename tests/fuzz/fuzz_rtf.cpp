// libFuzzer target for the rich-text reader: any bytes must read without a crash, without
// recursion on the nesting depth, and never give more characters than the input had bytes.
#include "preview/engine/RtfReader.h"

#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QTextDocument doc;
    corvane::preview::ReadRtf(bytes, doc);
    if (doc.characterCount() > qsizetype(size) + 1)
        std::abort();
    return 0;
}
