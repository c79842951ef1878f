// Arbitrary bytes as a zip archive for our own central-directory reader (seeds in
// corpus_zip_directory/). The last input byte picks the file name, so the spanned-set rules
// that look at a part's number are reached too.
// Must never crash, read outside the file, or list more entries than the file can hold.
#include "zip/engine/ZipDirectory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace corvane::zip;

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_zip_directory: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const char* const names[] = {"a.zip", "set001.zip", "set007.zip", "a.ZIP"};
    const QString name = QString::fromLatin1(names[data[size - 1] % 4]);
    --size;
    const ZipReadAt readAt = [&](quint64 offset, char* buffer, qint64 n) -> qint64 {
        Check(offset <= size, "read past the end");
        const qint64 got = std::min<qint64>(n, qint64(size - offset));
        std::memcpy(buffer, data + offset, std::size_t(got));
        return got;
    };
    const ZipListing listing = ReadZipDirectory(readAt, size, name);
    if (listing.failed) {
        Check(listing.entries.empty(), "a failed listing kept entries");
        Check(!listing.messages.empty(), "a failed listing without a message");
    }
    Check(listing.entries.size() * 46 <= size, "more entries than the file holds");
    for (const ZipDirEntry& e : listing.entries) {
        Check(e.RawName.size() == e.FileNameLength, "name length");
        Check(!e.FileName.isEmpty() || e.FileNameLength == 0, "a name got lost");
    }
    return 0;
}
