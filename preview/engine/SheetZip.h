#pragma once
// The parts of an .xlsx or .ods file: a zip archive of XML files, read as streams so that a
// part that unpacks to gigabytes is never held in memory.
#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

struct zip;
struct zip_file;

namespace corvane::preview::sheet {

class TZipParts
{
public:
    // The archive on `fd` (the descriptor stays the caller's), or in `bytes` (kept alive here).
    static std::unique_ptr<TZipParts> open(int fd);
    static std::unique_ptr<TZipParts> open(const QByteArray& bytes);
    ~TZipParts();

    // A part by its name in the archive; nothing when it is missing or cannot be read.
    std::unique_ptr<QIODevice> part(const QString& name) const;

private:
    TZipParts(zip* archive, QByteArray bytes) : m_archive(archive), m_bytes(std::move(bytes)) {}
    zip* m_archive;
    QByteArray m_bytes;
};

} // namespace corvane::preview::sheet
