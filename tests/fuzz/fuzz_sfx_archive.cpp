// Arbitrary bytes as what follows the self-extracting program: its header and the archive, read
// by the program's own reader (seeds in corpus_sfx_archive/). Every entry is extracted into
// /dev/null. Must never crash nor read outside the bytes.
#include "sfx/SfxArchive.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace corvane::sfx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const int sink = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    Header header;
    if (size >= kHeaderSize)
        ParseHeader(data, kHeaderSize, header);
    const ReadAt readAt = [&](uint64_t offset, void* buffer, size_t n) -> int64_t {
        if (offset > size)
            std::abort();
        const size_t got = std::min<size_t>(n, size - size_t(offset));
        std::memcpy(buffer, data + offset, got);
        return int64_t(got);
    };
    Archive archive;
    std::string error;
    const uint64_t start = size >= kHeaderSize ? kHeaderSize : 0;
    if (!archive.open(readAt, start, size, header.checkSize, error))
        return 0;
    for (const Entry& e : archive.entries()) {
        if (e.size > (1u << 24))
            continue;  // a claimed size this large only costs the fuzzer time
        archive.extract(e, sink, error);
    }
    return 0;
}
