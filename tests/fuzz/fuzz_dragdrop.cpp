// libFuzzer target for dropped data: any program can offer any bytes in a drag. Reading the
// files and the allowed effects must never crash, and every file read is an absolute path.
#include "platform/Clipboard.h"
#include "platform/DragDrop.h"

#include <QCoreApplication>
#include <QMimeData>
#include <cstdint>
#include <cstdlib>

using namespace corvane::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QMimeData mime;
    mime.setData(QString::fromLatin1(MimeIdListArray), bytes);
    if ((AllowedEffects(&mime) & ~std::uint32_t(DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK)) != 0)
        std::abort();
    for (const QByteArray& p : DroppedFiles(&mime)) {
        if (!p.startsWith('/'))
            std::abort();
    }
    std::unique_ptr<QMimeData> copy = CopyDropData(&mime);
    if (copy->data(QString::fromLatin1(MimeIdListArray)) != bytes)
        std::abort();
    return 0;
}
