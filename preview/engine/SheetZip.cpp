#include "SheetZip.h"

#include <zip.h>

#include <unistd.h>

namespace corvane::preview::sheet {

namespace {

class TZipPartDevice : public QIODevice
{
public:
    explicit TZipPartDevice(zip_file_t* file) : m_file(file) { QIODevice::open(QIODevice::ReadOnly); }
    ~TZipPartDevice() override { zip_fclose(m_file); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
        return n < 0 ? -1 : n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    zip_file_t* m_file;
};

} // namespace

std::unique_ptr<TZipParts> TZipParts::open(int fd)
{
    // libzip closes the descriptor it was given along with the archive.
    const int own = ::dup(fd);
    if (own < 0)
        return nullptr;
    int error = 0;
    zip_t* archive = zip_fdopen(own, ZIP_RDONLY, &error);
    if (!archive) {
        ::close(own);
        return nullptr;
    }
    return std::unique_ptr<TZipParts>(new TZipParts(archive, {}));
}

std::unique_ptr<TZipParts> TZipParts::open(const QByteArray& bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.constData(), zip_uint64_t(bytes.size()), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    zip_error_fini(&error);
    if (!archive) {
        if (source)
            zip_source_free(source);
        return nullptr;
    }
    return std::unique_ptr<TZipParts>(new TZipParts(archive, bytes));
}

TZipParts::~TZipParts()
{
    zip_discard(m_archive);
}

std::unique_ptr<QIODevice> TZipParts::part(const QString& name) const
{
    zip_file_t* file = zip_fopen(m_archive, name.toUtf8().constData(), 0);
    if (!file)
        return nullptr;
    return std::make_unique<TZipPartDevice>(file);
}

} // namespace corvane::preview::sheet
