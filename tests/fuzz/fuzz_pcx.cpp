// libFuzzer target for the PCX decoder: any picture a user previews may be hostile. What it
// decodes must survive a round trip through the encoder.
#include "imaging/Pcx.h"

#include <cstdint>
#include <cstdlib>

using namespace corvane::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QImage image = ReadPcx(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (image.isNull() || qint64(image.width()) * image.height() > (1 << 20))
        return 0;
    const int bits = image.format() == QImage::Format_Indexed8 ? 8 : 24;
    const QImage back = ReadPcx(WritePcx(image, bits));
    if (back.size() != image.size())
        std::abort();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((back.pixel(x, y) & 0xFFFFFF) != (image.pixel(x, y) & 0xFFFFFF))
                std::abort();
    return 0;
}
