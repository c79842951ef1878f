// Untrusted ID lists (from the clipboard or a drag), locator streams and mount tables must
// never be read past their end, and must never make the namespace touch anything but paths
// below the folders they name.
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"
#include "platform/Namespace.h"
#include "platform/Volumes.h"
#include "shellctl/ShellRecords.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>

using namespace corvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const platform::PItemIDList list(bytes);
    // The list as raw bytes: sizes, items and a copy stay inside the buffer.
    qsizetype n = platform::IdListByteSize(list);
    if (n > bytes.size() + 2)
        std::abort();
    for (QByteArrayView item : platform::IdListItems(list)) {
        if (item.data() < bytes.constData() || item.data() + item.size() > bytes.constData() + bytes.size())
            std::abort();
    }
    shellctl::TIdListArray arr(list);
    for (int i = 0; i < arr.Count() && i < 8; ++i) {
        const platform::PItemIDList& one = arr.Item(i);
        if (platform::IdListByteSize(one) != one.size())
            std::abort();
    }
    // Paths and names of arbitrary items: computed, never used to write.
    QByteArray path = platform::PathBytesFromIdList(list);
    if (path.contains('\0'))
        std::abort();
    (void)platform::SHGetDisplayName(list);
    // The stream form of a locator.
    shellctl::TShellLocator loc;
    if (loc.ReadData(bytes) && loc.Kind() == shellctl::TShellLocator::KindIdList) {
        QByteArray again = loc.WriteData();
        shellctl::TShellLocator back;
        if (!back.ReadData(again))
            std::abort();
    }
    // Names: decoding and encoding give the bytes back.
    if (platform::EncodeName(platform::DecodeName(bytes)) != bytes)
        std::abort();
    // A mount table.
    (void)platform::ParseMountInfo(bytes);
    return 0;
}
