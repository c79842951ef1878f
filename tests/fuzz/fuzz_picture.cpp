// libFuzzer target for the picture reader on bytes: the first byte picks the extension (JPEG,
// TIFF, GIF, PNG, BMP, ICO), the rest is the file, read as the preview reads it.
#include "imaging/Picture.h"

#include "tests/fuzz/FuzzGuiApp.h"

#include <cstdint>
#include <cstdlib>

using namespace corvane::imaging;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzGuiApp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const char* const extensions[] = {".jpg", ".tif", ".gif", ".png", ".bmp", ".ico"};
    if (size < 1)
        return 0;
    const QString extension = QString::fromLatin1(extensions[data[0] % 6]);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const Picture p = DecodePicture(bytes, extension, QSize(256, 256));
    if (!p.isNull() && (p.size.isEmpty() || p.image.width() > p.size.width() || p.image.height() > p.size.height()))
        std::abort();
    return 0;
}
