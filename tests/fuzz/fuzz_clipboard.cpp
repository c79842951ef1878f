// libFuzzer target for the clipboard readers: any program can put any bytes on the clipboard.
// Reading must never crash, an ID-list array that parses must survive a round trip, and every
// path read from a URI names an entry by its own name.
#include "platform/Clipboard.h"

#include <QMimeData>
#include <cstdint>
#include <cstdlib>

using namespace corvane::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    PItemIDList folder;
    std::vector<PItemIDList> rels;
    if (ParseCida(bytes, &folder, &rels)) {
        PItemIDList f2;
        std::vector<PItemIDList> r2;
        if (!ParseCida(MakeCida(folder, rels), &f2, &r2) || f2 != folder || r2 != rels)
            std::abort();
    }
    QMimeData mime;
    mime.setData(QString::fromLatin1(MimeGnomeCopiedFiles), bytes);
    mime.setData(QString::fromLatin1(MimeUriList), bytes);
    ClipboardFiles files;
    if (ReadClipboardFiles(&mime, &files)) {
        for (const QByteArray& p : files.paths) {
            if (FileUriToPath(PathToFileUri(p)) != p)
                std::abort();
            // An absolute path whose every part is a name: never "", "." or "..", which a paste
            // would turn into the name of what it writes.
            if (!p.startsWith('/') || (p != "/" && p.endsWith('/')))
                std::abort();
            for (const QByteArray& part : p.mid(1).split('/')) {
                if (p != "/" && (part.isEmpty() || part == "." || part == ".."))
                    std::abort();
            }
        }
    }
    return 0;
}
