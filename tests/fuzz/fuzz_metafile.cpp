// libFuzzer target for the WMF and EMF renderer: records, object tables, bitmaps and text from
// a hostile file must neither crash nor run away.
#include "imaging/Metafile.h"

#include "tests/fuzz/FuzzGuiApp.h"

#include <cstdint>

using namespace corvane::imaging;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    StartFuzzGuiApp(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RenderMetafile(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), QSize(256, 256));
    return 0;
}
