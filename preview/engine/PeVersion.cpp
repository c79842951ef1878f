#include "PeVersion.h"

#include "core/UniqueFd.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvane::preview {

namespace {

// A version resource is at most 64 KB: its length field has 16 bits.
constexpr std::uint32_t kMaxVersionBytes = 0xFFFF;
constexpr std::uint32_t kRtVersion = 16;

// Reads `size` bytes at `offset` into `out`; false when any of them lies past the end.
using ReadAt = std::function<bool(std::uint64_t offset, std::uint32_t size, QByteArray& out)>;

std::uint16_t U16(const QByteArray& b, qsizetype at)
{
    return std::uint16_t(std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8);
}

std::uint32_t U32(const QByteArray& b, qsizetype at)
{
    return std::uint32_t(U16(b, at)) | std::uint32_t(U16(b, at + 2)) << 16;
}

struct Section
{
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// The file offset of `size` bytes at an address of the loaded image, within one section's data.
std::optional<std::uint64_t> FileOffset(const std::vector<Section>& sections, std::uint32_t rva, std::uint32_t size)
{
    for (const Section& s : sections) {
        // Only the section's raw data is in the file; the rest of it is zeros in memory.
        if (rva >= s.virtualAddress && std::uint64_t(rva) + size <= std::uint64_t(s.virtualAddress) + s.rawSize)
            return std::uint64_t(s.rawOffset) + (rva - s.virtualAddress);
    }
    return std::nullopt;
}

// The bytes of the version resource: DOS header, PE header, section table, then the resource
// directory down to the first name and first language of the version type.
QByteArray VersionResource(const ReadAt& read)
{
    QByteArray b;
    if (!read(0, 64, b) || !b.startsWith("MZ"))
        return {};
    const std::uint32_t pe = U32(b, 0x3C);
    if (!read(pe, 24, b) || !b.startsWith(QByteArrayView("PE\0\0", 4)))
        return {};
    const std::uint32_t sectionCount = U16(b, 6);
    const std::uint32_t optionalSize = U16(b, 20);
    if (sectionCount == 0)
        return {};
    const std::uint64_t optionalAt = std::uint64_t(pe) + 24;
    QByteArray opt;
    if (optionalSize < 2 || !read(optionalAt, optionalSize, opt))
        return {};
    // The data directories follow the fields that differ between 32- and 64-bit images.
    qsizetype countAt = 0;
    switch (U16(opt, 0)) {
    case 0x10B:
        countAt = 92;
        break;
    case 0x20B:
        countAt = 108;
        break;
    default:
        return {};
    }
    const qsizetype resourceEntryAt = countAt + 4 + 2 * 8;
    if (resourceEntryAt + 8 > opt.size() || U32(opt, countAt) < 3)
        return {};
    const std::uint32_t resourceRva = U32(opt, resourceEntryAt);
    const std::uint32_t resourceSize = U32(opt, resourceEntryAt + 4);
    if (resourceRva == 0 || resourceSize == 0)
        return {};

    QByteArray table;
    if (!read(optionalAt + optionalSize, sectionCount * 40, table))
        return {};
    std::vector<Section> sections;
    sections.reserve(sectionCount);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const qsizetype at = qsizetype(i) * 40;
        sections.push_back({U32(table, at + 12), U32(table, at + 16), U32(table, at + 20)});
    }
    const std::optional<std::uint64_t> root = FileOffset(sections, resourceRva, 16);
    if (!root)
        return {};

    // One directory level: the entry with `id`, or the first entry when `id` is empty. Offsets
    // inside the resource directory are relative to its root.
    const auto entry = [&](std::uint32_t dirOffset, std::optional<std::uint32_t> id) -> std::optional<std::uint32_t> {
        QByteArray dir;
        if (!read(*root + dirOffset, 16, dir))
            return std::nullopt;
        const std::uint32_t named = U16(dir, 12);
        const std::uint32_t total = named + U16(dir, 14);
        if (total == 0)
            return std::nullopt;
        QByteArray entries;
        if (!read(*root + dirOffset + 16, total * 8, entries))
            return std::nullopt;
        for (std::uint32_t i = 0; i < total; ++i) {
            const std::uint32_t name = U32(entries, qsizetype(i) * 8);
            if (!id || (!(name & 0x80000000u) && name == *id))
                return U32(entries, qsizetype(i) * 8 + 4);
        }
        return std::nullopt;
    };
    std::optional<std::uint32_t> next = entry(0, kRtVersion);
    for (int level = 0; level < 2; ++level) {
        if (!next || !(*next & 0x80000000u))
            return {};
        next = entry(*next & 0x7FFFFFFFu, std::nullopt);
    }
    if (!next || (*next & 0x80000000u))
        return {};
    QByteArray data;
    if (!read(*root + *next, 16, data))
        return {};
    const std::uint32_t dataRva = U32(data, 0);
    const std::uint32_t dataSize = std::min(U32(data, 4), kMaxVersionBytes);
    const std::optional<std::uint64_t> at = FileOffset(sections, dataRva, dataSize);
    if (!at || !read(*at, dataSize, data))
        return {};
    return data;
}

// One block of the version tree: key, text or binary value, children.
struct Block
{
    qsizetype start = 0;
    qsizetype end = 0; // past the block
    QString key;
    qsizetype valueAt = 0;
    qsizetype childrenAt = 0;
};

qsizetype Align4(qsizetype at)
{
    return (at + 3) & ~qsizetype(3);
}

// A NUL-ended UTF-16 string at `at`, read no further than `end`; `next` gets the offset after it.
QString Utf16At(const QByteArray& b, qsizetype at, qsizetype end, qsizetype* next = nullptr)
{
    QString s;
    while (at + 2 <= end) {
        const char16_t c = U16(b, at);
        at += 2;
        if (c == 0)
            break;
        s.append(QChar(c));
    }
    if (next)
        *next = at;
    return s;
}

std::optional<Block> BlockAt(const QByteArray& b, qsizetype at, qsizetype parentEnd)
{
    if (at + 6 > parentEnd)
        return std::nullopt;
    const std::uint16_t length = U16(b, at);
    const std::uint16_t valueLength = U16(b, at + 2);
    const bool text = U16(b, at + 4) == 1;
    if (length < 6 || at + length > parentEnd)
        return std::nullopt;
    Block block;
    block.start = at;
    block.end = at + length;
    qsizetype after = 0;
    block.key = Utf16At(b, at + 6, block.end, &after);
    block.valueAt = std::min(Align4(after), block.end);
    const qsizetype valueBytes = text ? qsizetype(valueLength) * 2 : valueLength;
    block.childrenAt = std::min(Align4(block.valueAt + valueBytes), block.end);
    return block;
}

// The child of `parent` with the key, compared without regard to case as Windows does.
std::optional<Block> Child(const QByteArray& b, const Block& parent, QStringView key)
{
    qsizetype at = parent.childrenAt;
    while (auto child = BlockAt(b, at, parent.end)) {
        if (child->key.compare(key, Qt::CaseInsensitive) == 0)
            return child;
        at = Align4(child->end);
    }
    return std::nullopt;
}

QString Value(const QByteArray& b, const Block& table, QStringView name)
{
    const std::optional<Block> entry = Child(b, table, name);
    return entry ? Utf16At(b, entry->valueAt, entry->end) : QString();
}

QString VersionText(const QByteArray& resource)
{
    const std::optional<Block> root = BlockAt(resource, 0, resource.size());
    if (!root || root->key != u"VS_VERSION_INFO")
        return {};
    const std::optional<Block> strings = Child(resource, *root, u"StringFileInfo");
    if (!strings)
        return {};
    // The Windows Latin-1 table first, then the Unicode one; a table counts when its company
    // or description is longer than eight characters.
    for (const QStringView tableKey : {u"040904E4", u"040904B0"}) {
        const std::optional<Block> table = Child(resource, *strings, tableKey);
        if (!table)
            continue;
        const QString company = Value(resource, *table, u"CompanyName");
        const QString description = Value(resource, *table, u"FileDescription");
        if (company.size() <= 8 && description.size() <= 8)
            continue;
        static constexpr std::pair<const char16_t*, const char16_t*> kLines[] = {
            {u"Company Name: ", u"CompanyName"},
            {u"File Description: ", u"FileDescription"},
            {u"File Version: ", u"FileVersion"},
            {u"Internal Name: ", u"InternalName"},
            {u"Legal Copyright: ", u"LegalCopyright"},
            {u"Original File Name: ", u"OriginalFilename"},
            {u"Product Name: ", u"ProductName"},
            {u"Product Version: ", u"ProductVersion"},
        };
        QString text;
        for (const auto& [label, name] : kLines) {
            text += QStringView(label);
            text += Value(resource, *table, name);
            text += u"\r\n";
        }
        return text;
    }
    return {};
}

} // namespace

QString VersionTextOf(QByteArrayView file)
{
    const ReadAt read = [file](std::uint64_t offset, std::uint32_t size, QByteArray& out) {
        if (offset > std::uint64_t(file.size()) || size > std::uint64_t(file.size()) - offset)
            return false;
        out = file.sliced(qsizetype(offset), qsizetype(size)).toByteArray();
        return true;
    };
    return VersionText(VersionResource(read));
}

QString GetVersionText(const QString& path)
{
    // Non-blocking, so that a FIFO or a device named like a program never holds the reader.
    const core::UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const std::uint64_t fileSize = std::uint64_t(st.st_size);
    const ReadAt read = [&fd, fileSize](std::uint64_t offset, std::uint32_t size, QByteArray& out) {
        if (offset > fileSize || size > fileSize - offset)
            return false;
        out.resize(qsizetype(size));
        std::uint32_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(fd.get(), out.data() + done, size - done, off_t(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += std::uint32_t(n);
        }
        return true;
    };
    return VersionText(VersionResource(read));
}

} // namespace corvane::preview
