#pragma once
// Archives built byte by byte, for the cases no zip tool writes: hostile names, links, other
// hosts' names, damaged directories and ZIP64 records.
#include <QByteArray>
#include <QString>

#include <vector>

namespace corvane::test {

struct RawEntry {
    QByteArray name;
    QByteArray data;  // stored uncompressed
    quint8 host = 3;
    quint8 madeBy = 30;
    quint16 flags = 0;
    quint32 externalAttributes = 0100644u << 16;
    quint64 claimedSize = 0;  // above 4 GB: a ZIP64 extra field claims this size (listing only)
};

struct RawArchive {
    std::vector<RawEntry> entries;
    QByteArray comment;
    bool zip64 = false;  // ZIP64 end record and locator, 0xFFFF in the classic record
};

QByteArray BuildZip(const RawArchive& archive);
// Bytes that do not compress, the same for the same seed.
QByteArray Noise(int size, quint32 seed);
void WriteBytes(const QString& path, const QByteArray& bytes);
QByteArray ReadBytes(const QString& path);
// Every file below root as "relative/path" -> bytes (links as "-> target").
std::vector<std::pair<QByteArray, QByteArray>> TreeContents(const QByteArray& root);

} // namespace corvane::test
