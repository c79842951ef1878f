#include "ZipSpan.h"

#include "ZipBytes.h"
#include "ZipTexts.h"
#include "core/NameCodec.h"
#include "core/UniqueFd.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <zlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace corvane::zip {

using core::EncodeName;
using core::Text;
using core::UniqueFd;

using namespace bytes;

namespace {

// Info-ZIP's mark for a set that ended up in one part.
constexpr quint32 kSinglePartSig = 0x30304B50;
constexpr qint64 kBlock = 8192;
// Our own message: no disk can ever hold a header that must not be split.
constexpr int kPartTooSmall = 11050;
// Our own message: the parts keep 32-bit sizes and offsets.
constexpr int kTooBigToSpan = 11051;
// Our own message: an entry's data fails its check, so a part is damaged or of another set.
constexpr int kForeignPart = 11052;

// The CRC-32 of an entry's data as it passes, inflated when it is deflated; entries that are
// encrypted or otherwise compressed pass unchecked.
class DataCheck
{
public:
    explicit DataCheck(const ZipDirEntry& e)
        : m_expected(e.Crc32), m_method(e.IsEncrypted() ? -1 : e.CompressionMethod)
    {
        if (m_method == 8 && inflateInit2(&m_z, -MAX_WBITS) != Z_OK)
            m_method = -1;
        m_crc = crc32(0, nullptr, 0);
    }
    ~DataCheck()
    {
        if (m_method == 8)
            inflateEnd(&m_z);
    }
    DataCheck(const DataCheck&) = delete;
    DataCheck& operator=(const DataCheck&) = delete;

    void add(const char* data, qint64 n)
    {
        if (m_method == 0) {
            m_crc = crc32(m_crc, reinterpret_cast<const Bytef*>(data), uInt(n));
        } else if (m_method == 8 && !m_bad) {
            m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
            m_z.avail_in = uInt(n);
            unsigned char out[1 << 15];
            while (m_z.avail_in > 0 && !m_ended) {
                m_z.next_out = out;
                m_z.avail_out = sizeof out;
                const int rc = inflate(&m_z, Z_NO_FLUSH);
                m_crc = crc32(m_crc, out, uInt(sizeof out - m_z.avail_out));
                m_ended = rc == Z_STREAM_END;
                if (rc != Z_OK && rc != Z_STREAM_END) {
                    m_bad = true;
                    return;
                }
            }
        }
    }
    bool passed() const
    {
        if (m_method != 0 && m_method != 8)
            return true;
        return !m_bad && (m_method == 0 || m_ended) && m_crc == m_expected;
    }

private:
    quint32 m_expected;
    int m_method;
    z_stream m_z{};
    uLong m_crc = 0;
    bool m_bad = false;
    bool m_ended = false;
};

// Ends a spanning run with one of the component's messages.
struct SpanError {
    explicit SpanError(int n, QString a = {}) : number(n), arg(std::move(a)) {}
    int number;
    QString arg;
};

bool Exists(const QString& path)
{
    struct stat st {};
    return ::lstat(EncodeName(path).constData(), &st) == 0;
}

const QRegularExpression& PartPattern()
{
    static const QRegularExpression re(QStringLiteral("^(.*)(\\d{3})(\\.[^./]*)?$"));
    return re;
}

// The questions of a run, with the cancel check they share.
class Dialogue
{
public:
    Dialogue(const SpanParams& p, const QString& folder)
        : m_p(p), m_folder(folder), m_removable(p.volume.removable && p.volume.removable(folder))
    {
    }

    bool removable() const { return m_removable; }
    const SpanParams& params() const { return m_p; }
    const QString& folder() const { return m_folder; }

    void checkCancel() const
    {
        if (m_p.cancelled && m_p.cancelled())
            throw SpanError{11007};
    }
    SpanAnswer ask(const SpanQuestion& q) const
    {
        checkCancel();
        const SpanAnswer a = m_p.ask ? m_p.ask(q) : SpanAnswer::Cancel;
        checkCancel();
        return a;
    }
    // OK and Cancel with the drive named; Cancel ends the run.
    void askForMedium(const QString& text, SpanIcon icon) const
    {
        if (m_p.unattended)
            throw SpanError{11025};
        const QString root = m_p.volume.root ? m_p.volume.root(m_folder) : m_folder;
        const QString full = text + QString::asprintf(span::kInDrive, root.toUtf8().constData());
        if (ask({full, {}, SpanButtons::OkCancel, icon}) != SpanAnswer::Ok)
            throw SpanError{11007};
    }
    qint64 freeBytes() const
    {
        qint64 free = m_p.volume.freeBytes ? m_p.volume.freeBytes(m_folder) : -1;
        if (free >= 0 && m_p.maxVolumeSize > 0)
            free = std::min(free, m_p.maxVolumeSize);
        return free;
    }
    // The medium is in: its folder can be read.
    bool mediumReady() const { return QFileInfo(m_folder).isDir() && freeBytes() >= 0; }
    void progress(int kind, const QString& name, qint64 size) const
    {
        if (m_p.progress)
            m_p.progress(kind, name, size);
    }

private:
    const SpanParams& m_p;
    QString m_folder;
    bool m_removable;
};

// Writes the byte stream of a set onto its parts, starting a new part when the current one is
// full; each part is written under a hidden name and gets its real one when it is complete.
class SetWriter
{
public:
    SetWriter(const QString& target, qint64 archiveSize, const timespec& sourceTime, const Dialogue& d)
        : m_target(target), m_archiveSize(archiveSize), m_sourceTime(sourceTime), m_d(d)
    {
    }
    ~SetWriter() { abandon(); }

    int disk() const { return m_disk; }
    qint64 offset() const { return m_written; }

    // Makes room for `mustFit` bytes that may not be split, on this part or the next.
    void ensure(qint64 mustFit)
    {
        for (;;) {
            m_d.checkCancel();
            if (!m_fd)
                openDisk();
            if (mustFit <= m_free)
                return;
            if (m_written == 0)
                throw SpanError{kPartTooSmall};
            nextDisk();
        }
    }

    void write(const char* data, qint64 n, qint64 mustFit = 0)
    {
        ensure(mustFit);
        while (n > 0) {
            m_d.checkCancel();
            if (!m_fd)
                openDisk();
            const qint64 now = std::min(n, m_free);
            if (now == 0) {
                nextDisk();
                continue;
            }
            if (!WriteAll(m_fd.get(), data, now))
                throw SpanError{11010};
            m_free -= now;
            m_written += now;
            m_d.progress(1, {}, now);
            data += now;
            n -= now;
        }
    }

    void finish() { closeDisk(); }

private:
    void nextDisk()
    {
        closeDisk();
        ++m_disk;
    }

    // The part of this set that the medium still holds, numbered from 1; 0 for none.
    int earlierPartOnMedium() const
    {
        for (int k = 0; k < m_disk; ++k) {
            struct stat st {};
            if (::stat(EncodeName(SpanPartName(m_target, k)).constData(), &st) == 0
                && st.st_mtim.tv_sec == m_sourceTime.tv_sec)
                return k + 1;
        }
        return 0;
    }

    void askForDisk() const
    {
        if (!m_d.removable())
            return;
        do {
            const qint64 free = m_d.freeBytes();
            QString text;
            if (free > 0) {
                const qint64 estimate =
                    std::max<qint64>(m_disk, (m_archiveSize + m_d.params().keepFreeOnDisk1 + 4) / free);
                text = QString::asprintf(span::kInsertVolumeOf, m_disk + 1, int(estimate + 1));
            } else {
                text = QString::asprintf(span::kInsertVolume, m_disk + 1);
            }
            m_d.askForMedium(text, SpanIcon::None);
        } while (!m_d.mediumReady());
    }

    void openDisk()
    {
        askForDisk();
        const SpanParams& p = m_d.params();
        for (;;) {
            m_part = SpanPartName(m_target, m_disk);
            const int earlier = m_d.removable() ? earlierPartOnMedium() : 0;
            if (earlier > 0 || Exists(m_part)) {
                if (p.unattended)
                    throw SpanError{11025};
                const QString text = earlier > 0
                    ? QString::asprintf(span::kPreviousDisk, earlier)
                    : QString::asprintf(span::kFileExists, m_part.toUtf8().constData());
                const SpanAnswer a =
                    m_d.ask({text, Text(span::kConfirmCaption), SpanButtons::YesNoCancel, SpanIcon::Warning, true});
                if (a == SpanAnswer::Cancel)
                    throw SpanError{11007};
                if (a == SpanAnswer::No) {
                    // Beside the other parts there is no other medium to turn to.
                    if (!m_d.removable())
                        throw SpanError{11007};
                    askForDisk();
                    continue;
                }
            }
            QFileInfo info(m_part);
            m_temp = EncodeName(info.absolutePath()) + "/." + EncodeName(info.fileName()) + ".XXXXXX";
            m_fd.reset(::mkostemp(m_temp.data(), O_CLOEXEC));
            if (!m_fd)
                throw SpanError{11009};
            qint64 free = m_d.freeBytes();
            if (free < 0)
                free = p.maxVolumeSize > 0 ? p.maxVolumeSize : std::numeric_limits<qint64>::max();
            if (m_disk == 0)
                free -= p.keepFreeOnDisk1;
            if (free < std::max<qint64>(p.minFreeVolumeSize, 1)) {
                abandon();
                if (p.unattended)
                    throw SpanError{11025};
                if (m_d.ask({Text(span::kNotEnoughSpace), {}, SpanButtons::RetryCancel, SpanIcon::Stop}) != SpanAnswer::Retry)
                    throw SpanError{11007};
                askForDisk();
                continue;
            }
            m_free = free;
            m_written = 0;
            return;
        }
    }

    void closeDisk()
    {
        if (!m_fd)
            return;
        const timespec times[2] = {m_sourceTime, m_sourceTime};
        const bool ok = ::fsync(m_fd.get()) == 0 && ::futimens(m_fd.get(), times) == 0 && ::close(m_fd.release()) == 0
            && ::rename(m_temp.constData(), EncodeName(m_part).constData()) == 0;
        if (!ok) {
            abandon();
            throw SpanError{11010};
        }
        m_temp.clear();
    }

    // The part being written goes; those completed stay.
    void abandon()
    {
        m_fd.reset();
        if (!m_temp.isEmpty())
            ::unlink(m_temp.constData());
        m_temp.clear();
    }

    const QString m_target;
    const qint64 m_archiveSize;
    const timespec m_sourceTime;
    const Dialogue& m_d;
    int m_disk = 0;
    qint64 m_free = 0;
    qint64 m_written = 0;
    UniqueFd m_fd;
    QByteArray m_temp;
    QString m_part;
};

// Reads exactly n bytes at offset; false when the file ends first or on an error.
bool ReadExact(int fd, quint64 offset, char* buffer, qint64 n)
{
    return ReadFully(fd, offset, buffer, size_t(n)) == n;
}

void WriteSet(const QString& source, const QString& target, const Dialogue& d)
{
    UniqueFd in(::open(EncodeName(source).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0)
        throw SpanError{11001};
    const int fd = in.get();
    const ZipListing listing = ReadZipDirectory(FileReadAt(fd), quint64(st.st_size));
    if (listing.failed)
        throw SpanError{listing.messages.empty() ? 11011 : listing.messages.back().number};
    ZipEndRecord end;
    if (!FindZipEndRecord(FileReadAt(fd), quint64(st.st_size), end))
        throw SpanError{11011};
    const std::vector<ZipDirEntry>& entries = listing.entries;
    const bool big = end.entries >= 0xFFFF || end.directoryOffset >= 0xFFFFFFFFu
        || std::any_of(entries.begin(), entries.end(), [](const ZipDirEntry& e) {
               return e.CompressedSize >= 0xFFFFFFFFu || e.UncompressedSize >= 0xFFFFFFFFu
                   || e.RelativeOffset >= 0xFFFFFFFFu;
           });
    if (big)
        throw SpanError{kTooBigToSpan};

    d.progress(3, {}, qint64(entries.size()));
    d.progress(4, {}, st.st_size);
    if (d.params().verbose && d.params().info)
        d.params().info(Text(span::kCreatingChunks) + source + Text(span::kChunksTo) + target);

    SetWriter w(target, st.st_size, st.st_mtim, d);
    char marker[4];
    Put32(marker, kSpanSig);
    w.write(marker, 4, 4);

    QByteArray block(kBlock, '\0');
    const auto copy = [&](quint64& pos, qint64 n, int error) {
        while (n > 0) {
            const qint64 now = std::min(n, kBlock);
            if (!ReadExact(fd, pos, block.data(), now))
                throw SpanError{error};
            w.write(block.constData(), now);
            pos += quint64(now);
            n -= now;
        }
    };

    // Local entries in the order they lie in the archive.
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return entries[a].RelativeOffset < entries[b].RelativeOffset; });
    std::vector<std::pair<int, qint64>> placed(entries.size());
    for (size_t i : order) {
        const ZipDirEntry& e = entries[i];
        quint64 pos = e.RelativeOffset;
        char h[kLocalSize];
        if (!ReadExact(fd, pos, h, kLocalSize))
            throw SpanError{11012};
        if (U32(h) != kLocalSig)
            throw SpanError{11014};
        const qint64 nameLen = U16(h + 26), extraLen = U16(h + 28);
        QByteArray name(nameLen, '\0');
        if (!ReadExact(fd, pos + kLocalSize, name.data(), nameLen))
            throw SpanError{11016};
        pos += quint64(kLocalSize + nameLen);
        qint64 descriptor = 0;
        if (U16(h + 6) & 8) {
            char sig[4];
            const quint64 at = pos + quint64(extraLen) + e.CompressedSize;
            if (!ReadExact(fd, at, sig, 4))
                throw SpanError{11020};
            descriptor = U32(sig) == kSpanSig ? 16 : 12;
        }
        d.progress(0, e.FileName, qint64(e.CompressedSize) + nameLen + extraLen + kLocalSize + (descriptor ? 16 : 0));
        if (d.params().info)
            d.params().info(Text(span::kCopying) + e.FileName);
        w.ensure(kLocalSize + nameLen + extraLen);
        placed[i] = {w.disk(), w.offset()};
        w.write(h, kLocalSize);
        w.write(name.constData(), nameLen);
        copy(pos, extraLen, 11018);
        copy(pos, qint64(e.CompressedSize), 11021);
        copy(pos, descriptor, 11020);
    }

    if (d.params().info)
        d.params().info(Text(span::kCopying) + Text(span::kCentralDirectory));
    d.progress(0, Text(span::kCentralDirectory), qint64(end.directorySize));
    quint64 pos = listing.centralOffset;
    int firstDisk = -1;
    qint64 firstOffset = 0;
    std::vector<quint32> onDisk;
    for (size_t i = 0; i < entries.size(); ++i) {
        char h[kCentralSize];
        if (!ReadExact(fd, pos, h, kCentralSize))
            throw SpanError{11013};
        if (U32(h) != kCentralSig)
            throw SpanError{11015};
        const qint64 nameLen = U16(h + 28), extraLen = U16(h + 30), commentLen = U16(h + 32);
        QByteArray name(nameLen, '\0');
        if (!ReadExact(fd, pos + kCentralSize, name.data(), nameLen))
            throw SpanError{11017};
        if (name != entries[i].RawName)
            throw SpanError{11026};
        pos += quint64(kCentralSize + nameLen);
        Put16(h + 34, quint32(placed[i].first));
        Put32(h + 42, quint32(placed[i].second));
        w.ensure(kCentralSize + nameLen + extraLen + commentLen);
        if (firstDisk < 0) {
            firstDisk = w.disk();
            firstOffset = w.offset();
        }
        onDisk.resize(size_t(w.disk()) + 1, 0);
        ++onDisk[size_t(w.disk())];
        w.write(h, kCentralSize);
        w.write(name.constData(), nameLen);
        copy(pos, extraLen, 11019);
        copy(pos, commentLen, 11022);
    }

    QByteArray record(kEndSize + end.commentLength, '\0');
    if (!ReadExact(fd, end.position, record.data(), kEndSize))
        throw SpanError{11011};
    if (!ReadExact(fd, end.position + kEndSize, record.data() + kEndSize, end.commentLength))
        throw SpanError{11023};
    w.ensure(record.size());
    if (firstDisk < 0) {
        firstDisk = w.disk();
        firstOffset = w.offset();
    }
    onDisk.resize(size_t(w.disk()) + 1, 0);
    Put16(record.data() + 4, quint32(w.disk()));
    Put16(record.data() + 6, quint32(firstDisk));
    Put16(record.data() + 8, onDisk[size_t(w.disk())]);
    Put32(record.data() + 16, quint32(firstOffset));
    w.write(record.constData(), record.size());
    d.progress(2, {}, 0);
    w.finish();
}

// Reads a set's byte stream across its parts: a read that reaches the end of one part goes on
// with the next.
class SetReader
{
public:
    SetReader(const QString& lastPart, const Dialogue& d, bool interactive)
        : m_lastPart(lastPart), m_archive(SpanArchiveName(lastPart)), m_d(d),
          m_asking(interactive && d.removable())
    {
    }

    const ZipEndRecord& end() const { return m_end; }
    int disk() const { return m_disk; }
    quint64 position() const { return m_pos; }

    void openLast()
    {
        for (;;) {
            if (m_asking)
                m_d.askForMedium(Text(span::kInsertLastDisk), SpanIcon::Stop);
            if (!open(m_lastPart)) {
                if (m_asking)
                    continue;
                throw SpanError{11001, m_lastPart};
            }
            if (FindZipEndRecord(FileReadAt(m_fd.get()), m_size, m_end))
                break;
            if (m_asking)
                continue;
            const QRegularExpressionMatch m = PartPattern().match(QFileInfo(m_lastPart).fileName());
            const int number = m.hasMatch() ? m.captured(2).toInt() : 0;
            if (number == 1)
                throw SpanError{11037};
            if (number > 1)
                throw SpanError{11038, QString::number(number)};
            throw SpanError{11036};
        }
        m_disk = int(m_end.disk);
        m_lastDisk = m_disk;
    }

    void seek(int disk, quint64 offset, int error)
    {
        if (disk != m_disk || !m_fd)
            switchTo(disk);
        if (offset > m_size)
            throw SpanError{error};
        m_pos = offset;
    }

    // At the end of a part that is not the last, the next part's start.
    void normalise()
    {
        if (m_pos == m_size && m_disk < m_lastDisk)
            switchTo(m_disk + 1);
    }

    void read(char* buffer, qint64 n, int error)
    {
        while (n > 0) {
            const qint64 now = qint64(std::min<quint64>(quint64(n), m_size - m_pos));
            if (now > 0 && !ReadExact(m_fd.get(), m_pos, buffer, now))
                throw SpanError{error};
            m_pos += quint64(now);
            buffer += now;
            n -= now;
            if (n > 0) {
                if (m_disk >= m_lastDisk)
                    throw SpanError{error};
                switchTo(m_disk + 1);
            }
        }
    }

private:
    bool open(const QString& path)
    {
        m_fd.reset(::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC));
        struct stat st {};
        if (!m_fd || ::fstat(m_fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            m_fd.reset();
            return false;
        }
        m_size = quint64(st.st_size);
        m_pos = 0;
        return true;
    }

    void switchTo(int disk)
    {
        m_d.checkCancel();
        if (disk < 0 || disk > m_lastDisk)
            throw SpanError{11013};
        const QString name = disk == m_lastDisk ? m_lastPart : SpanPartName(m_archive, disk);
        m_fd.reset();
        for (;;) {
            if (m_asking) {
                m_d.askForMedium(QString::asprintf(span::kInsertVolumeOf, disk + 1,
                                                   m_lastDisk + 1),
                                 SpanIcon::None);
            }
            if (!m_archive.isEmpty() || disk == m_lastDisk) {
                if (open(name))
                    break;
            }
            if (!m_asking)
                throw SpanError{11001, name};
            if (m_d.params().notice)
                m_d.params().notice(11001, name);
        }
        m_disk = disk;
    }

    const QString m_lastPart;
    const QString m_archive;
    const Dialogue& m_d;
    const bool m_asking;
    ZipEndRecord m_end;
    int m_disk = -1;
    int m_lastDisk = 0;
    UniqueFd m_fd;
    quint64 m_size = 0;
    quint64 m_pos = 0;
};

struct SetDirectory {
    ZipListing listing;
    QByteArray bytes;    // the central headers as stored
    QByteArray comment;  // the archive's comment
};

// Steps shared by listing and rebuilding: the last part's end record, its comment and the
// central directory, which may start on an earlier part.
SetDirectory ReadDirectory(SetReader& r)
{
    r.openLast();
    const ZipEndRecord end = r.end();
    SetDirectory out;
    out.comment.resize(end.commentLength);
    r.seek(int(end.disk), end.position + kEndSize, 11023);
    r.read(out.comment.data(), end.commentLength, 11023);
    if (end.directoryDisk > end.disk)
        throw SpanError{11013};
    r.seek(int(end.directoryDisk), end.directoryOffset, 11013);
    // Read in blocks: a hostile size costs no more memory than the parts hold.
    for (quint64 left = end.directorySize; left > 0;) {
        const qint64 now = qint64(std::min<quint64>(left, 1 << 16));
        const qsizetype at = out.bytes.size();
        out.bytes.resize(at + now);
        r.read(out.bytes.data() + at, now, 11013);
        left -= quint64(now);
    }
    // The directory alone behind a plain end record lists with the ordinary reader.
    QByteArray record(kEndSize, '\0');
    Put32(record.data(), kEndSig);
    Put16(record.data() + 8, quint32(end.entries));
    Put16(record.data() + 10, quint32(end.entries));
    Put32(record.data() + 12, quint32(end.directorySize));
    const QByteArray whole = out.bytes + record;
    out.listing = ReadZipDirectory(
        [&whole](quint64 offset, char* buffer, qint64 size) -> qint64 {
            if (offset >= quint64(whole.size()))
                return 0;
            const qint64 n = std::min<qint64>(size, whole.size() - qint64(offset));
            std::memcpy(buffer, whole.constData() + offset, size_t(n));
            return n;
        },
        quint64(whole.size()));
    if (out.listing.failed)
        throw SpanError{out.listing.messages.empty() ? 11013 : out.listing.messages.back().number};
    out.listing.spanned = true;
    out.listing.comment = out.comment;
    return out;
}

void RebuildSet(const QString& lastPart, int outFd, const Dialogue& d)
{
    SetReader r(lastPart, d, true);
    SetDirectory dir = ReadDirectory(r);
    const std::vector<ZipDirEntry>& entries = dir.listing.entries;

    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return std::pair(entries[a].DiskStart, entries[a].RelativeOffset)
            < std::pair(entries[b].DiskStart, entries[b].RelativeOffset);
    });
    d.progress(3, {}, qint64(entries.size()));

    r.seek(0, 0, 11031);
    char marker[4];
    r.read(marker, 4, 11031);
    if (U32(marker) != kSpanSig && U32(marker) != kSinglePartSig)
        throw SpanError{11031};

    quint64 out = 0;
    const auto put = [&](const char* data, qint64 n, int error) {
        if (!WriteAll(outFd, data, n))
            throw SpanError{error};
        out += quint64(n);
    };
    QByteArray block(1 << 16, '\0');
    std::vector<quint64> newOffset(entries.size());
    for (size_t i : order) {
        const ZipDirEntry& e = entries[i];
        d.checkCancel();
        r.normalise();
        // A part of another set or out of its place does not hold the entry where the directory
        // says it lies.
        if (quint32(r.disk()) != e.DiskStart || r.position() != e.RelativeOffset)
            throw SpanError{11026};
        char h[kLocalSize];
        r.read(h, kLocalSize, 11012);
        if (U32(h) != kLocalSig)
            throw SpanError{11014};
        const qint64 nameLen = U16(h + 26), extraLen = U16(h + 28);
        QByteArray head(nameLen + extraLen, '\0');
        r.read(head.data(), nameLen, 11016);
        if (head.left(nameLen) != e.RawName)
            throw SpanError{11026};
        r.read(head.data() + nameLen, extraLen, 11018);
        d.progress(0, e.FileName, qint64(e.CompressedSize));
        newOffset[i] = out;
        put(h, kLocalSize, 11010);
        put(head.constData(), head.size(), 11010);
        DataCheck check(e);
        for (quint64 left = e.CompressedSize; left > 0;) {
            const qint64 now = qint64(std::min<quint64>(left, quint64(block.size())));
            r.read(block.data(), now, 11021);
            check.add(block.constData(), now);
            put(block.constData(), now, 11010);
            d.progress(1, {}, now);
            left -= quint64(now);
            d.checkCancel();
        }
        if (U16(h + 6) & 8) {
            char desc[16];
            r.read(desc, 4, 11020);
            const qint64 rest = U32(desc) == kSpanSig ? 12 : 8;
            r.read(desc + 4, rest, 11020);
            put(desc, 4 + rest, 11010);
        }
        if (!check.passed())
            throw SpanError{kForeignPart, e.FileName};
    }

    if (out > 0xFFFFFFFFu)
        throw SpanError{kTooBigToSpan};
    const quint64 directoryOffset = out;
    QByteArray& bytes = dir.bytes;
    qsizetype at = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        char* h = bytes.data() + at;
        Put16(h + 34, 0);
        Put32(h + 42, quint32(newOffset[i]));
        at += kCentralSize + U16(h + 28) + U16(h + 30) + U16(h + 32);
    }
    put(bytes.constData(), bytes.size(), 11029);
    QByteArray record(kEndSize, '\0');
    Put32(record.data(), kEndSig);
    Put16(record.data() + 8, quint32(entries.size()));
    Put16(record.data() + 10, quint32(entries.size()));
    Put32(record.data() + 12, quint32(bytes.size()));
    Put32(record.data() + 16, quint32(directoryOffset));
    Put16(record.data() + 20, quint32(dir.comment.size()));
    put(record.constData(), record.size(), 11030);
    put(dir.comment.constData(), dir.comment.size(), 11023);
    d.progress(2, {}, 0);
}

SpanOutcome Run(const std::function<void()>& work)
{
    SpanOutcome outcome;
    try {
        work();
    } catch (const SpanError& e) {
        outcome = {-7, e.number, e.arg};
    } catch (const std::bad_alloc&) {
        outcome = {-8, 10103, {}};
    }
    return outcome;
}

} // namespace

std::function<bool(const QString&)>& RemovableCheck()
{
    static std::function<bool(const QString&)> check;
    return check;
}

void SetRemovableCheckForTests(std::function<bool(const QString& folder)> removable)
{
    RemovableCheck() = std::move(removable);
}

SpanVolume SystemSpanVolume()
{
    SpanVolume v;
    v.root = [](const QString& folder) { return core::DecodeName(platform::VolumeRootOf(EncodeName(folder))); };
    v.removable = [](const QString& folder) {
        if (RemovableCheck())
            return RemovableCheck()(folder);
        return platform::GetDriveType(platform::VolumeRootOf(EncodeName(folder))) == platform::DRIVE_REMOVABLE;
    };
    v.freeBytes = [](const QString& folder) -> qint64 {
        double total = 0, free = 0;
        if (!QFileInfo(folder).isDir() || !platform::GetDiskFreeSpace(EncodeName(folder), total, free))
            return -1;
        return qint64(free);
    };
    return v;
}

QString SpanPartName(const QString& archive, int disk)
{
    const QFileInfo info(archive);
    const QString name = info.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString number = QStringLiteral("%1").arg(disk + 1, 3, 10, QLatin1Char('0'));
    const QString part = dot > 0 ? name.left(dot) + number + name.mid(dot) : name + number;
    const QString folder = archive.left(archive.size() - name.size());
    return folder + part;
}

QString SpanArchiveName(const QString& partName)
{
    const QFileInfo info(partName);
    const QString name = info.fileName();
    const QRegularExpressionMatch m = PartPattern().match(name);
    if (!m.hasMatch())
        return {};
    return partName.left(partName.size() - name.size()) + m.captured(1) + m.captured(3);
}

SpanOutcome WriteSpannedSet(const QString& source, const QString& target, const SpanParams& params)
{
    const Dialogue d(params, QFileInfo(target).absolutePath());
    return Run([&] { WriteSet(source, target, d); });
}

SpanOutcome ReadSpannedSet(const QString& lastPart, const QString& tempArchive, const SpanParams& params)
{
    const Dialogue d(params, QFileInfo(lastPart).absolutePath());
    const QByteArray temp = EncodeName(tempArchive);
    ::unlink(temp.constData());
    UniqueFd out(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out)
        return {-7, 11009, {}};
    SpanOutcome outcome = Run([&] {
        RebuildSet(lastPart, out.get(), d);
        struct stat st {};
        if (::stat(EncodeName(lastPart).constData(), &st) == 0) {
            const timespec times[2] = {st.st_mtim, st.st_mtim};
            ::futimens(out.get(), times);
        }
        if (::close(out.release()) != 0)
            throw SpanError{11010};
    });
    if (!outcome.ok()) {
        out.reset();
        ::unlink(temp.constData());
    }
    return outcome;
}

SpanTempArchive::SpanTempArchive(const QString& tempDir)
{
    QByteArray folder = EncodeName((tempDir.isEmpty() ? QDir::tempPath() : tempDir) + QStringLiteral("/zipXXXXXX"));
    if (::mkdtemp(folder.data()))
        m_folder = folder;
}

SpanTempArchive::~SpanTempArchive()
{
    if (m_folder.isEmpty())
        return;
    ::unlink(EncodeName(file()).constData());
    ::rmdir(m_folder.constData());
}

QString SpanTempArchive::file() const
{
    return core::DecodeName(m_folder) + QStringLiteral("/archive.zip");
}

ZipListing ListSpannedSet(const QString& lastPart)
{
    SpanParams params;
    params.volume.removable = nullptr;
    const Dialogue d(params, QFileInfo(lastPart).absolutePath());
    SetReader r(lastPart, d, false);
    ZipListing listing;
    const SpanOutcome outcome = Run([&] { listing = ReadDirectory(r).listing; });
    if (!outcome.ok()) {
        listing = {};
        listing.failed = true;
        listing.spanned = true;
        listing.messages.push_back({outcome.message, outcome.arg.toInt()});
    }
    return listing;
}

} // namespace corvane::zip
