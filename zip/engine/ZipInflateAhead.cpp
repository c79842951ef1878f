#include "ZipInflateAhead.h"

#include <zlib.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace corvane::zip {

namespace {

constexpr quint32 kLocalSignature = 0x04034b50;
constexpr int kLocalHeaderSize = 30;

quint32 Le16(const unsigned char* p)
{
    return quint32(p[0]) | quint32(p[1]) << 8;
}

quint32 Le32(const unsigned char* p)
{
    return Le16(p) | Le16(p + 2) << 16;
}

bool ReadAt(int fd, char* into, std::size_t size, qint64 at)
{
    while (size > 0) {
        const ssize_t n = ::pread(fd, into, size, off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        into += n;
        size -= std::size_t(n);
        at += n;
    }
    return true;
}

bool Wanted(const ZipDirEntry& e)
{
    return !e.IsFolder() && !e.IsEncrypted() && (e.CompressionMethod == 0 || e.CompressionMethod == 8)
        && e.UncompressedSize <= quint64(TZipInflateAhead::EntryMax) && e.CompressedSize <= quint64(TZipInflateAhead::EntryMax);
}

} // namespace

std::optional<std::vector<char>> TZipInflateAhead::Prepare(int fd, qint64 fileSize, const ZipDirEntry& e)
{
    if (!Wanted(e) || e.RelativeOffset > quint64(fileSize))
        return std::nullopt;
    // The local header and its name in one read: the name must be this entry's.
    const qint64 at = qint64(e.RelativeOffset);
    const qint64 headerSize = kLocalHeaderSize + e.RawName.size();
    QByteArray header(qsizetype(headerSize), '\0');
    if (fileSize - at < headerSize || !ReadAt(fd, header.data(), std::size_t(headerSize), at))
        return std::nullopt;
    const auto* h = reinterpret_cast<const unsigned char*>(header.constData());
    const quint32 nameLength = Le16(h + 26), extraLength = Le16(h + 28);
    if (Le32(h) != kLocalSignature || nameLength != quint32(e.RawName.size())
        || QByteArrayView(header).sliced(kLocalHeaderSize) != e.RawName)
        return std::nullopt;
    const qint64 dataAt = at + kLocalHeaderSize + nameLength + extraLength;
    if (dataAt > fileSize || quint64(fileSize - dataAt) < e.CompressedSize)
        return std::nullopt;

    std::vector<char> out(std::size_t(e.UncompressedSize));
    if (e.CompressionMethod == 0) {
        if (e.CompressedSize != e.UncompressedSize || !ReadAt(fd, out.data(), out.size(), dataAt))
            return std::nullopt;
    } else {
        std::vector<char> in(std::size_t(e.CompressedSize));
        if (!ReadAt(fd, in.data(), in.size(), dataAt))
            return std::nullopt;
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return std::nullopt;
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = uInt(in.size());
        // One spare byte tells a stream that would give more than the directory says.
        char spare;
        z.next_out = out.empty() ? reinterpret_cast<Bytef*>(&spare) : reinterpret_cast<Bytef*>(out.data());
        z.avail_out = out.empty() ? 1 : uInt(out.size());
        int r = inflate(&z, Z_FINISH);
        if (r != Z_STREAM_END && z.avail_out == 0 && !out.empty()) {
            z.next_out = reinterpret_cast<Bytef*>(&spare);
            z.avail_out = 1;
            r = inflate(&z, Z_FINISH);
        }
        const bool whole = r == Z_STREAM_END && z.total_out == e.UncompressedSize;
        inflateEnd(&z);
        if (!whole)
            return std::nullopt;
    }
    const uLong crc = crc32_z(0, reinterpret_cast<const Bytef*>(out.data()), out.size());
    if (crc != e.Crc32)
        return std::nullopt;
    return out;
}

TZipInflateAhead::TZipInflateAhead(int fd, const std::vector<ZipDirEntry>& entries, std::vector<std::size_t> order)
    : m_fd(fd), m_entries(entries), m_order(std::move(order)), m_slots(m_order.size())
{
    m_thread = std::thread([this] { loop(); });
}

TZipInflateAhead::~TZipInflateAhead()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

std::optional<std::vector<char>> TZipInflateAhead::take(std::size_t k)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_slots[k].done; });
    std::optional<std::vector<char>> data = std::move(m_slots[k].data);
    m_slots[k].data.reset();
    if (data)
        m_ahead -= qint64(data->size());
    m_taken = k + 1;
    lock.unlock();
    m_changed.notify_all();
    return data;
}

void TZipInflateAhead::loop()
{
    struct stat st {};
    const qint64 fileSize = ::fstat(m_fd, &st) == 0 ? qint64(st.st_size) : 0;
    for (std::size_t k = 0; k < m_order.size(); ++k) {
        const ZipDirEntry& e = m_entries[m_order[k]];
        {
            // Bounded memory: wait while enough is prepared, unless the writer waits for this one.
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || m_ahead + qint64(e.UncompressedSize) <= AheadMax || m_taken == k; });
            if (m_stop)
                break;
        }
        std::optional<std::vector<char>> data = Prepare(m_fd, fileSize, e);
        {
            std::lock_guard lock(m_mutex);
            if (data)
                m_ahead += qint64(data->size());
            m_slots[k].data = std::move(data);
            m_slots[k].done = true;
        }
        m_changed.notify_all();
    }
    // Whatever was not reached goes through libzip.
    std::lock_guard lock(m_mutex);
    for (Slot& s : m_slots)
        s.done = true;
    m_changed.notify_all();
}

} // namespace corvane::zip
