#include "ZipDirectory.h"

#include "ZipBytes.h"
#include "core/NameCodec.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace corvane::zip {

using namespace bytes;

namespace {

constexpr quint32 kZip64LocatorSig = 0x07064B50;
constexpr quint32 kZip64EndSig = 0x06064B50;
constexpr qint64 kMaxCommentSearch = 65557;  // end record + the longest comment

constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

// A listing ends with one of the component's messages.
struct ListError {
    int number;
    int arg = 0;
};

// Reads the directory through a window of the file, so a 100,000-entry directory costs a few
// dozen reads instead of three per entry.
class Window
{
public:
    Window(const ZipReadAt& readAt, quint64 fileSize) : m_readAt(readAt), m_fileSize(fileSize) {}

    // The n bytes at offset, or null when the file ends before them.
    const char* at(quint64 offset, qint64 n, int error)
    {
        if (offset > m_fileSize || quint64(n) > m_fileSize - offset)
            return nullptr;
        if (offset < m_start || offset + quint64(n) > m_start + quint64(m_data.size())) {
            const qint64 want = std::max<qint64>(n, std::min<quint64>(kChunk, m_fileSize - offset));
            m_data.resize(want);
            const qint64 got = m_readAt(offset, m_data.data(), want);
            if (got < 0)
                throw ListError{error};
            m_data.resize(got);
            m_start = offset;
            if (got < n)
                return nullptr;
        }
        return m_data.constData() + (offset - m_start);
    }

private:
    static constexpr qint64 kChunk = 1 << 20;
    const ZipReadAt& m_readAt;
    quint64 m_fileSize;
    quint64 m_start = 0;
    QByteArray m_data;
};

// The number of a part file such as "archive002.zip", or 0.
int PartNumber(const QString& fileName)
{
    static const QRegularExpression re(QStringLiteral("(\\d{3})\\.[^./]*$"));
    const QRegularExpressionMatch m = re.match(fileName);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

// ZIP64 values of a central header, each present only where the 32-bit field is saturated.
void ApplyZip64Extra(ZipDirEntry& e, const char* extra, qint64 size)
{
    for (qint64 pos = 0; pos + 4 <= size;) {
        const quint16 id = U16(extra + pos);
        const qint64 len = U16(extra + pos + 2);
        const char* field = extra + pos + 4;
        pos += 4 + len;
        if (pos > size)
            return;
        if (id == 0x9901 && len >= 7)
            e.AesMethod = U16(field + 5);
        if (id != 0x0001)
            continue;
        qint64 at = 0;
        auto take = [&](quint64& value) {
            if (at + 8 <= len) {
                value = U64(field + at);
                at += 8;
            }
        };
        if (e.UncompressedSize == 0xFFFFFFFFu)
            take(e.UncompressedSize);
        if (e.CompressedSize == 0xFFFFFFFFu)
            take(e.CompressedSize);
        if (e.RelativeOffset == 0xFFFFFFFFu)
            take(e.RelativeOffset);
        if (e.DiskStart == 0xFFFF && at + 4 <= len)
            e.DiskStart = U32(field + at);
    }
}

// The record's classic fields, with ZIP64 values in their place where the archive has them.
struct EndRecord : ZipEndRecord {
    quint64 directoryEnd = 0; // where the central directory ends (the ZIP64 record, if any)
};

// The fields of the 22-byte record at end.position.
bool ReadEndFields(Window& w, ZipEndRecord& end)
{
    const char* r = w.at(end.position, kEndSize, 11011);
    if (!r)
        return false;
    end.disk = U16(r + 4);
    end.directoryDisk = U16(r + 6);
    end.entriesOnDisk = U16(r + 8);
    end.entries = U16(r + 10);
    end.directorySize = U32(r + 12);
    end.directoryOffset = U32(r + 16);
    end.commentLength = U16(r + 20);
    return true;
}

void ReadZip64(Window& w, EndRecord& end)
{
    if (end.position < 20)
        return;
    const char* loc = w.at(end.position - 20, 20, 11011);
    if (!loc || U32(loc) != kZip64LocatorSig)
        return;
    const quint64 recorded = U64(loc + 8);
    // Where the record normally lies when the archive has bytes in front of it or none.
    const quint64 candidates[] = {end.position >= 76 ? end.position - 76 : ~0ull, recorded};
    for (quint64 at : candidates) {
        const char* r = at == ~0ull ? nullptr : w.at(at, 56, 11011);
        if (!r || U32(r) != kZip64EndSig)
            continue;
        end.directoryEnd = at;
        end.disk = U32(r + 16);
        end.directoryDisk = U32(r + 20);
        end.entries = U64(r + 32);
        end.directorySize = U64(r + 40);
        end.directoryOffset = U64(r + 48);
        return;
    }
}

// The end record's position: the last 22 bytes, else the backward scan through the block that
// can hold the longest comment.
bool FindEndPosition(Window& w, quint64 size, quint64& position)
{
    if (size < kEndSize)
        return false;
    const char* r = w.at(size - kEndSize, kEndSize, 11011);
    if (r && U32(r) == kEndSig) {
        position = size - kEndSize;
        return true;
    }
    const qint64 blockLen = qint64(std::min<quint64>(size, kMaxCommentSearch));
    const quint64 blockStart = size - quint64(blockLen);
    const char* block = w.at(blockStart, blockLen, 11011);
    if (!block)
        throw ListError{11011};
    for (qint64 pos = blockLen - 23; pos >= 0; --pos) {
        if (block[pos] == 'P' && block[pos + 1] == 'K' && block[pos + 2] == 5 && block[pos + 3] == 6) {
            position = blockStart + quint64(pos);
            return true;
        }
    }
    return false;
}

void List(const ZipReadAt& readAt, quint64 size, const QString& fileName, ZipListing& out)
{
    Window w(readAt, size);
    EndRecord end;
    if (!FindEndPosition(w, size, end.position)) {
        const int part = PartNumber(fileName);
        if (part == 1)
            throw ListError{11037};
        if (part > 1)
            throw ListError{11038, part};
        const char* head = size >= 8 ? w.at(0, 8, 11011) : nullptr;
        if (head && U32(head) == kSpanSig && U32(head + 4) == kLocalSig)
            throw ListError{11045};
        throw ListError{11036};
    }

    if (!ReadEndFields(w, end))
        throw ListError{11011};
    end.directoryEnd = end.position;
    const quint16 commentLength = end.commentLength;
    const quint64 recordEnd = end.position + kEndSize + commentLength;
    if (recordEnd <= size) {
        if (const char* c = w.at(end.position + kEndSize, commentLength, 11011))
            out.comment = QByteArray(c, commentLength);
    }
    if (recordEnd < size) {
        // Disk and tape tools pad an archive with zeros to a whole 512-byte block.
        bool padding = size % 512 == 0 && size - recordEnd < 512;
        if (padding) {
            const char* tail = w.at(recordEnd, qint64(size - recordEnd), 11011);
            padding = tail && std::all_of(tail, tail + (size - recordEnd), [](char c) { return c == 0; });
        }
        if (!padding)
            out.messages.push_back({10204});
    }
    ReadZip64(w, end);
    out.spanned = end.disk > 0;

    if (end.directoryDisk != end.disk)
        throw ListError{11013};  // the directory starts on another part of a spanned set
    if (end.directorySize > end.directoryEnd)
        throw ListError{11011};
    const quint64 computed = end.directoryEnd - end.directorySize;
    if (computed != end.directoryOffset)
        out.messages.push_back({10203});
    out.centralOffset = computed;

    // Every header takes at least 46 bytes, so the file's size bounds what is worth reserving.
    out.entries.reserve(std::min<quint64>(end.entries, (size - computed) / kCentralSize + 1));
    quint64 pos = computed;
    for (quint64 i = 0; i < end.entries; ++i) {
        const char* h = w.at(pos, kCentralSize, 11013);
        if (!h)
            throw ListError{11013};
        if (U32(h) != kCentralSig)
            throw ListError{11015};
        ZipDirEntry e;
        e.MadeByVersion = quint8(h[4]);
        e.HostSystem = quint8(h[5]);
        e.VersionNeeded = U16(h + 6);
        e.Flags = U16(h + 8);
        e.CompressionMethod = U16(h + 10);
        e.DosDateTime = U32(h + 12);
        e.Crc32 = U32(h + 16);
        e.CompressedSize = U32(h + 20);
        e.UncompressedSize = U32(h + 24);
        e.FileNameLength = U16(h + 28);
        e.ExtraFieldLength = U16(h + 30);
        e.FileCommentLength = U16(h + 32);
        e.DiskStart = U16(h + 34);
        e.InternalAttributes = U16(h + 36);
        e.ExternalAttributes = U32(h + 38);
        e.RelativeOffset = U32(h + 42);
        pos += kCentralSize;

        const char* name = w.at(pos, e.FileNameLength, 11017);
        if (!name)
            throw ListError{11017};
        e.RawName = QByteArray(name, e.FileNameLength);
        pos += e.FileNameLength;
        if (e.ExtraFieldLength) {
            const char* extra = w.at(pos, e.ExtraFieldLength, 11013);
            if (!extra)
                throw ListError{11013};
            ApplyZip64Extra(e, extra, e.ExtraFieldLength);
            pos += e.ExtraFieldLength;
        }
        QByteArray comment;
        if (e.FileCommentLength) {
            const char* c = w.at(pos, e.FileCommentLength, 11022);
            if (!c)
                throw ListError{11022};
            comment = QByteArray(c, e.FileCommentLength);
            pos += e.FileCommentLength;
        }
        e.FileName = DecodeEntryText(e.RawName, e.HostSystem, e.MadeByVersion, e.Flags);
        e.FileComment = DecodeEntryText(comment, e.HostSystem, e.MadeByVersion, e.Flags);
        out.entries.push_back(std::move(e));
    }
}

} // namespace

QString DecodeEntryText(const QByteArray& raw, quint8 hostSystem, quint8 madeByVersion, quint16 flags)
{
    const bool oem = !(flags & 0x0800)
        && (hostSystem == 0 || hostSystem == 6 || (hostSystem == 11 && madeByVersion == 50));
    if (!oem)
        return core::DecodeName(raw);
    QString text;
    text.reserve(raw.size());
    for (char c : raw)
        text += quint8(c) < 128 ? QChar(quint8(c)) : QChar(kCp437High[quint8(c) - 128]);
    return text;
}

QDateTime DosDateTimeToQt(quint32 dos)
{
    const int sec = int(dos & 0x1F) * 2, min = int(dos >> 5) & 0x3F, hour = int(dos >> 11) & 0x1F;
    const int day = int(dos >> 16) & 0x1F, month = int(dos >> 21) & 0x0F, year = int(dos >> 25) + 1980;
    const QDate date(year, month, day);
    const QTime time(hour, min, std::min(sec, 59));
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time);
}

quint32 QtToDosDateTime(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime tm = t.time();
    if (d.year() < 1980)
        return (1u << 21) | (1u << 16);  // 1980-01-01 00:00, the earliest a zip can hold
    return quint32(d.year() - 1980) << 25 | quint32(d.month()) << 21 | quint32(d.day()) << 16
        | quint32(tm.hour()) << 11 | quint32(tm.minute()) << 5 | quint32(tm.second() / 2);
}

ZipReadAt FileReadAt(int fd)
{
    return [fd](quint64 offset, char* buffer, qint64 size) -> qint64 { return ReadFully(fd, offset, buffer, size_t(size)); };
}

bool FindZipEndRecord(const ZipReadAt& readAt, quint64 fileSize, ZipEndRecord& end)
{
    try {
        Window w(readAt, fileSize);
        return FindEndPosition(w, fileSize, end.position) && ReadEndFields(w, end);
    } catch (const ListError&) {
        return false;
    }
}

ZipListing ReadZipDirectory(const ZipReadAt& readAt, quint64 fileSize, const QString& fileName)
{
    ZipListing out;
    try {
        List(readAt, fileSize, fileName, out);
    } catch (const ListError& e) {
        out.messages.push_back({e.number, e.arg});
        out.failed = true;
    } catch (const std::bad_alloc&) {
        out.messages.push_back({10103});
        out.failed = true;
    }
    if (out.failed)
        out.entries = {};
    return out;
}

ZipListing ReadZipDirectoryFile(const QString& path)
{
    const QByteArray raw = core::EncodeName(path);
    const int fd = ::open(raw.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ZipListing out;
        out.failed = true;
        out.messages.push_back({11002});
        return out;
    }
    struct stat st {};
    ZipListing out;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        out.failed = true;
        out.messages.push_back({11036});
    } else {
        out = ReadZipDirectory(FileReadAt(fd), quint64(st.st_size), QFileInfo(path).fileName());
    }
    ::close(fd);
    return out;
}

} // namespace corvane::zip
