// libFuzzer target for the GIF writer and the colour reduction before it: any picture a user
// converts may be odd (one pixel, one colour, extreme sizes). What is written must read back at
// its size with no more colours than its depth holds. The content recogniser reads the same bytes.
#include "imaging/Encode.h"
#include "imaging/Recognize.h"

#include <QBuffer>
#include <QImageReader>
#include <QSet>

#include <cstdint>
#include <cstdlib>

using namespace corvane::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)LooksLikePicture(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (size < 3)
        return 0;
    const int w = 1 + data[0] % 64, h = 1 + data[1] % 64;
    const int bits = 1 + data[2] % 8;
    data += 3;
    size -= 3;
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const size_t at = (size_t(y) * w + x) * 3;
            const uint8_t r = size ? data[at % size] : 0, g = size ? data[(at + 1) % size] : 0, b = size ? data[(at + 2) % size] : 0;
            image.setPixel(x, y, qRgb(r, g, b));
        }
    EncodeOptions options;
    options.bitsPerSample = bits;
    const QByteArray gif = EncodePicture(image, PictureFormat::Gif, options);
    if (gif.isEmpty())
        return 0;  // the quantizer may refuse a 2-colour palette; nothing written is fine
    QBuffer buffer;
    buffer.setData(gif);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    const QImage back = reader.read();
    if (back.size() != image.size())
        std::abort();
    QSet<QRgb> colours;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            colours.insert(back.pixel(x, y));
    if (colours.size() > (1 << bits))
        std::abort();
    return 0;
}
