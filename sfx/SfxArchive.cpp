#include "SfxArchive.h"

#include "zip/engine/ZipBytes.h"
#include "zip/engine/ZipNameRule.h"

#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace corvane::sfx {

using namespace zip::bytes;

namespace {

constexpr uint64_t kLongestComment = 65535;

bool ReadExact(const ReadAt& readAt, uint64_t offset, void* buffer, size_t n)
{
    return readAt(offset, buffer, n) == int64_t(n);
}

} // namespace

ReadAt FileReadAt(int fd)
{
    return [fd](uint64_t offset, void* buffer, size_t n) { return ReadFully(fd, offset, buffer, n); };
}

bool ParseHeader(const unsigned char* d, size_t size, Header& h)
{
    if (size < kHeaderSize || d[0] != 'M' || d[1] != 'P' || d[2] != 'U')
        return false;
    const unsigned flags = d[3];
    h.askCmdLine = flags & 1;
    h.askFiles = flags & 2;
    h.hideOverwriteBox = flags & 4;
    h.overwriteAlways = flags & 8;
    h.overwriteNever = flags & 16;
    h.checkSize = !(flags & 32);
    h.autoRun = flags & 64;
    size_t at = 7;
    std::string* texts[] = {&h.caption, &h.defaultDir, &h.commandLine};
    for (int k = 0; k < 3; ++k) {
        const size_t n = d[4 + k];
        if (at + n > kHeaderSize)
            return false;
        texts[k]->assign(reinterpret_cast<const char*>(d + at), n);
        at += n;
    }
    return true;
}

uint64_t ElfEnd(const unsigned char* d, size_t size, uint64_t fileSize)
{
    if (size < 64 || std::memcmp(d, "\x7F" "ELF", 4) != 0 || d[4] != 2 || d[5] != 1)
        return 0;
    const uint64_t phoff = U64(d + 0x20), shoff = U64(d + 0x28);
    const uint64_t phentsize = U16(d + 0x36), phnum = U16(d + 0x38);
    const uint64_t shentsize = U16(d + 0x3A), shnum = U16(d + 0x3C);
    uint64_t end = shoff + shentsize * shnum;
    if (phoff + phentsize * phnum <= size) {
        for (uint64_t k = 0; k < phnum; ++k) {
            const unsigned char* ph = d + phoff + k * phentsize;
            if (phentsize < 0x28)
                break;
            end = std::max(end, U64(ph + 0x08) + U64(ph + 0x20));
        }
    }
    return end <= fileSize ? end : 0;
}

bool Archive::open(const ReadAt& readAt, uint64_t start, uint64_t fileSize, bool checkSize, std::string& error)
{
    m_readAt = readAt;
    m_start = start;
    m_entries.clear();
    error = "this program carries no readable archive";
    if (start > fileSize || fileSize - start < kEndSize)
        return false;
    const uint64_t blockLen = std::min<uint64_t>(fileSize - start, kEndSize + kLongestComment);
    std::vector<unsigned char> block(blockLen);
    const uint64_t blockStart = fileSize - blockLen;
    if (!ReadExact(readAt, blockStart, block.data(), blockLen))
        return false;
    int64_t found = -1;
    for (int64_t pos = int64_t(blockLen - kEndSize); pos >= 0; --pos) {
        if (U32(&block[size_t(pos)]) == kEndSig) {
            found = pos;
            break;
        }
    }
    if (found < 0)
        return false;
    const unsigned char* r = &block[size_t(found)];
    const uint64_t endPos = blockStart + uint64_t(found);
    const uint64_t count = U16(r + 10), dirSize = U32(r + 12), dirOffset = U32(r + 16);
    if (U16(r + 4) != 0 || U16(r + 6) != 0) {
        error = "the archive is part of a spanned set";
        return false;
    }
    if (checkSize && endPos + kEndSize + U16(r + 20) != fileSize) {
        error = "the program file is damaged or incomplete (its size is wrong)";
        return false;
    }
    error = "the archive's directory is damaged";
    if (dirSize > endPos - start)
        return false;
    const uint64_t dirStart = endPos - dirSize;
    // Offsets may count from the start of the file or from the start of the archive.
    const int64_t shift = int64_t(dirStart) - int64_t(dirOffset);
    m_dataEnd = dirStart;
    std::vector<unsigned char> dir(dirSize);
    if (!ReadExact(readAt, dirStart, dir.data(), dirSize))
        return false;
    uint64_t pos = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (pos + kCentralSize > dirSize || U32(&dir[pos]) != kCentralSig)
            return false;
        const unsigned char* h = &dir[pos];
        Entry e;
        e.host = h[5];
        e.flags = U16(h + 8);
        e.method = U16(h + 10);
        e.crc = U32(h + 16);
        e.compressedSize = U32(h + 20);
        e.size = U32(h + 24);
        const uint64_t n = U16(h + 28), x = U16(h + 30), c = U16(h + 32);
        e.externalAttributes = U32(h + 38);
        const int64_t local = int64_t(U32(h + 42)) + shift;
        if (pos + kCentralSize + n + x + c > dirSize || local < int64_t(start) || uint64_t(local) >= dirStart)
            return false;
        e.localOffset = uint64_t(local);
        e.name.assign(reinterpret_cast<const char*>(h + kCentralSize), n);
        m_entries.push_back(std::move(e));
        pos += kCentralSize + n + x + c;
    }
    error.clear();
    return true;
}

bool Archive::extract(const Entry& e, int outFd, std::string& error) const
{
    unsigned char h[kLocalSize];
    if (!ReadExact(m_readAt, e.localOffset, h, kLocalSize) || U32(h) != kLocalSig) {
        error = "its local header is damaged";
        return false;
    }
    if (e.flags & 1) {
        error = "it is encrypted, which this program cannot read";
        return false;
    }
    if (e.method != 0 && e.method != 8) {
        error = "it is compressed with a method this program cannot read";
        return false;
    }
    const uint64_t data = e.localOffset + kLocalSize + U16(h + 26) + U16(h + 28);
    if (data > m_dataEnd || e.compressedSize > m_dataEnd - data || (e.method == 0 && e.compressedSize != e.size)) {
        error = "its data lies outside the archive";
        return false;
    }
    z_stream z{};
    if (e.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK) {
        error = "out of memory";
        return false;
    }
    std::vector<unsigned char> in(1 << 16), out(1 << 16);
    uint32_t crc = uint32_t(crc32(0, nullptr, 0));
    uint64_t read = 0, written = 0;
    bool ok = true, done = e.method == 0 && e.size == 0;
    error = "its data is damaged";
    while (ok && !done) {
        const size_t n = size_t(std::min<uint64_t>(in.size(), e.compressedSize - read));
        if (n > 0 && !ReadExact(m_readAt, data + read, in.data(), n)) {
            ok = false;
            break;
        }
        read += n;
        if (e.method == 0) {
            crc = uint32_t(crc32(crc, in.data(), uInt(n)));
            if (!WriteAll(outFd, in.data(), n)) {
                error = std::strerror(errno);
                ok = false;
            }
            written += n;
            done = read == e.compressedSize;
            continue;
        }
        z.next_in = in.data();
        z.avail_in = uInt(n);
        do {
            z.next_out = out.data();
            z.avail_out = uInt(out.size());
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
                ok = false;
                break;
            }
            const size_t got = out.size() - z.avail_out;
            // Never more than the directory promised: a bomb stops at its claimed size.
            if (written + got > e.size) {
                ok = false;
                break;
            }
            crc = uint32_t(crc32(crc, out.data(), uInt(got)));
            if (got > 0 && !WriteAll(outFd, out.data(), got)) {
                error = std::strerror(errno);
                ok = false;
                break;
            }
            written += got;
            if (rc == Z_STREAM_END) {
                done = true;
                break;
            }
            if (rc == Z_BUF_ERROR && n == 0) {
                ok = false;
                break;
            }
        } while (z.avail_out == 0 || z.avail_in > 0);
        if (ok && !done && read == e.compressedSize && n == 0)
            ok = false;
    }
    if (e.method == 8)
        inflateEnd(&z);
    if (ok && (written != e.size || crc != e.crc))
        ok = false;
    if (ok)
        error.clear();
    return ok;
}

ExtractResult ExtractAll(const Archive& archive, const ExtractOptions& o)
{
    ExtractResult result;
    const auto say = [&](const std::string& line) {
        if (o.say)
            o.say(line);
    };
    const int base = ::open(o.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (base < 0) {
        say("cannot open the folder " + o.folder + ": " + std::strerror(errno));
        result.failed = int(archive.entries().size());
        return result;
    }
    unsigned counter = 0;
    for (const Entry& e : archive.entries()) {
        if (o.wanted && !o.wanted(e))
            continue;
        std::vector<std::string> parts;
        if (!zip::SafeEntryParts(e.name, parts)) {
            say("skipped " + e.name + ": its name leads outside the folder");
            ++result.skipped;
            continue;
        }
        if (e.isLink()) {
            say("skipped " + e.name + ": links are not extracted");
            ++result.skipped;
            continue;
        }
        const size_t folders = e.isFolder() ? parts.size() : parts.size() - 1;
        const int dir = zip::OpenEntryFolders(base, parts, folders);
        if (dir < 0) {
            say("skipped " + e.name + ": its folder cannot be made (" + std::strerror(errno) + ")");
            ++result.failed;
            continue;
        }
        if (e.isFolder()) {
            ::close(dir);
            continue;
        }
        const std::string& last = parts.back();
        struct stat st {};
        if (::fstatat(dir, last.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            const bool replace = S_ISREG(st.st_mode)
                && (o.overwrite == Overwrite::Always
                    || (o.overwrite == Overwrite::Ask && o.askOverwrite && o.askOverwrite(e.name)));
            if (!replace) {
                say("kept " + e.name + ": a file of that name exists");
                ++result.skipped;
                ::close(dir);
                continue;
            }
        }
        // Written under a name of its own and renamed into place once complete: a failure or a
        // full disk leaves no partial file under the real name.
        const std::string temp = ".sfx-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".part";
        const int out = ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        std::string error = std::strerror(errno);
        bool ok = out >= 0 && archive.extract(e, out, error);
        if (ok) {
            mode_t mode = e.host == 3 ? mode_t((e.externalAttributes >> 16) & 0777) : 0644;
            ::fchmod(out, mode ? mode : 0644);
            ok = ::close(out) == 0 && ::renameat(dir, temp.c_str(), dir, last.c_str()) == 0;
            if (!ok)
                error = std::strerror(errno);
        } else if (out >= 0) {
            ::close(out);
        }
        if (!ok) {
            ::unlinkat(dir, temp.c_str(), 0);
            say("could not extract " + e.name + ": " + error);
            ++result.failed;
        } else {
            say("  inflating: " + e.name);
            ++result.extracted;
        }
        ::close(dir);
    }
    ::close(base);
    return result;
}

} // namespace corvane::sfx
