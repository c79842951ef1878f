#pragma once
// Our own reader of a zip archive's central directory: the end record (also behind a comment or
// trailing bytes), ZIP64 end records and extra fields, and the entries in directory order.
// Never trusts a count or an offset beyond the bytes the file holds.
#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace corvane::zip {

// One central file header as stored, plus its name and comment as text. Sizes and the local
// header offset are 64-bit so ZIP64 archives list with their true values.
struct ZipDirEntry {
    quint8 MadeByVersion = 0;
    quint8 HostSystem = 0;
    quint16 VersionNeeded = 0;
    quint16 Flags = 0;
    quint16 CompressionMethod = 0;
    quint32 DosDateTime = 0;  // time in the low half, date in the high half
    quint32 Crc32 = 0;
    quint64 CompressedSize = 0;
    quint64 UncompressedSize = 0;
    quint16 FileNameLength = 0;
    quint16 ExtraFieldLength = 0;
    quint16 FileCommentLength = 0;
    quint32 DiskStart = 0;
    quint16 InternalAttributes = 0;
    quint32 ExternalAttributes = 0;
    quint64 RelativeOffset = 0;
    QString FileName;     // "/" separates folders; bytes that are not UTF-8 escaped as core::DecodeName does
    QString FileComment;
    QByteArray RawName;   // the name's bytes as stored
    int AesMethod = -1;   // the method under WinZip AES encryption (method 99), from its extra field

    bool IsFolder() const { return FileName.endsWith(QLatin1Char('/')); }
    bool IsEncrypted() const { return Flags & 1; }
};

// The entry's DOS date and time as a local date-time (invalid for an impossible stamp).
QDateTime DosDateTimeToQt(quint32 dosDateTime);
quint32 QtToDosDateTime(const QDateTime& time);

// A stored name or comment as text: UTF-8 when flagged so, code page 437 for the hosts that
// wrote it (MS-DOS, OS/2 HPFS, NTFS of made-by 5.0), else the raw bytes as a file name.
QString DecodeEntryText(const QByteArray& raw, quint8 hostSystem, quint8 madeByVersion, quint16 flags);

struct ZipListMessage {
    int number = 0;
    int arg = 0;  // the disk number of 11038
};

struct ZipListing {
    std::vector<ZipDirEntry> entries;
    std::vector<ZipListMessage> messages;  // warnings, then the error that ended the listing
    bool failed = false;                    // entries are empty then
    bool spanned = false;                   // the end record lies on a disk above the first
    quint64 centralOffset = 0;              // where the directory was read from
    QByteArray comment;                     // the archive's comment
};

// Reads up to `size` bytes at `offset`; returns how many it read, -1 on an error.
using ZipReadAt = std::function<qint64(quint64 offset, char* buffer, qint64 size)>;

// The classic end-of-central-directory record as stored.
struct ZipEndRecord {
    quint64 position = 0;  // of the 22-byte record
    quint32 disk = 0;
    quint32 directoryDisk = 0;
    quint64 entriesOnDisk = 0;
    quint64 entries = 0;
    quint64 directorySize = 0;
    quint64 directoryOffset = 0;
    quint16 commentLength = 0;
};

// Reads from an open file descriptor with pread, retrying short reads until the file ends.
ZipReadAt FileReadAt(int fd);

// Finds the end record in the last 22 bytes or, behind a comment, by the backward scan; false
// when the file has none. Throws nothing; a read error counts as no record.
bool FindZipEndRecord(const ZipReadAt& readAt, quint64 fileSize, ZipEndRecord& end);

// Lists an archive of `fileSize` bytes. `fileName` only tells a numbered part of a spanned set.
ZipListing ReadZipDirectory(const ZipReadAt& readAt, quint64 fileSize, const QString& fileName = {});
ZipListing ReadZipDirectoryFile(const QString& path);

} // namespace corvane::zip
