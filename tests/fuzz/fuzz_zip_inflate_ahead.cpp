// Arbitrary bytes as a zip archive for the extraction's inflating ahead (seeds in
// corpus_zip_directory/): every entry the directory lists is prepared straight from the bytes.
// Must never crash or read outside the file, and hands over only data of the listed size and CRC.
#include "zip/engine/ZipDirectory.h"
#include "zip/engine/ZipInflateAhead.h"

#include <zlib.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace corvane::zip;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ZipReadAt readAt = [&](quint64 offset, char* buffer, qint64 n) -> qint64 {
        const qint64 got = offset >= size ? 0 : std::min<qint64>(n, qint64(size - offset));
        std::memcpy(buffer, data + offset, std::size_t(got));
        return got;
    };
    const ZipListing listing = ReadZipDirectory(readAt, size, QStringLiteral("a.zip"));
    if (listing.entries.empty())
        return 0;
    static const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size))
        std::abort();
    for (const ZipDirEntry& e : listing.entries) {
        const auto out = TZipInflateAhead::Prepare(fd, qint64(size), e);
        if (!out)
            continue;
        const uLong crc = crc32_z(0, reinterpret_cast<const Bytef*>(out->data()), out->size());
        if (out->size() != e.UncompressedSize || crc != e.Crc32) {
            std::fprintf(stderr, "fuzz_zip_inflate_ahead: handed over data that does not match\n");
            std::abort();
        }
    }
    return 0;
}
