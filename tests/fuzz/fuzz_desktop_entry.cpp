// libFuzzer target for the desktop-entry reader: .desktop files arrive from downloads, archives
// and other users' desktops. Reading one must never crash, and a value read must be text that a
// link can be followed by.
#include "platform/DesktopEntry.h"

#include <cstdint>
#include <cstdlib>

using namespace corvane::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    DesktopEntry entry;
    if (!entry.parse(text))
        return 0;
    for (const char* key : {"Type", "URL", "Name", "Comment", "Icon", "Exec"}) {
        const QString plain = entry.value(key);
        const QString localized = entry.localeValue(key);
        // A key that has a value has it in every language.
        if (!plain.isNull() && localized.isNull())
            std::abort();
    }
    return 0;
}
