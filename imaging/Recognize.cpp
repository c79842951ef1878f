#include "Recognize.h"

#include "core/UniqueFd.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace corvane::imaging {

namespace {

bool StartsWith(QByteArrayView head, QByteArrayView magic)
{
    return head.size() >= magic.size() && head.first(magic.size()) == magic;
}

quint16 Le16(QByteArrayView b, qsizetype at)
{
    return quint16(uchar(b[at]) | (uchar(b[at + 1]) << 8));
}

} // namespace

bool LooksLikePicture(QByteArrayView h)
{
    using namespace Qt::Literals::StringLiterals;
    if (StartsWith(h, "\xFF\xD8\xFF"_ba) || StartsWith(h, "\x89PNG\r\n\x1A\n"_ba) || StartsWith(h, "GIF87a"_ba)
        || StartsWith(h, "GIF89a"_ba) || StartsWith(h, "II*\0"_ba) || StartsWith(h, "MM\0*"_ba))
        return true;
    // BMP: the header's own size is one of the known ones.
    if (StartsWith(h, "BM"_ba) && h.size() >= 18) {
        const quint16 dib = Le16(h, 14);
        return (dib == 12 || dib == 40 || dib == 52 || dib == 56 || dib == 64 || dib == 108 || dib == 124)
               && Le16(h, 16) == 0;
    }
    // PCX: manufacturer 10, a known version, RLE, a sane depth.
    if (h.size() >= 66 && uchar(h[0]) == 0x0A && uchar(h[1]) <= 5 && uchar(h[2]) == 1) {
        const int bits = uchar(h[3]);
        return bits == 1 || bits == 2 || bits == 4 || bits == 8;
    }
    // Placeable WMF, plain WMF (in memory or on disk, header of 9 words), EMF.
    if (StartsWith(h, "\xD7\xCD\xC6\x9A"_ba))
        return true;
    if (h.size() >= 6 && (Le16(h, 0) == 1 || Le16(h, 0) == 2) && Le16(h, 2) == 9
        && (Le16(h, 4) == 0x0100 || Le16(h, 4) == 0x0300))
        return true;
    if (h.size() >= 44 && StartsWith(h, "\x01\0\0\0"_ba) && h.sliced(40, 4) == " EMF"_ba)
        return true;
    // ICO and CUR: a reserved zero, the type, at least one image.
    if (h.size() >= 6 && Le16(h, 0) == 0 && (Le16(h, 2) == 1 || Le16(h, 2) == 2) && Le16(h, 4) > 0)
        return h.size() < 22 || uchar(h[9]) == 0;  // the first entry's reserved byte
    return false;
}

bool IsPictureFile(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO under a picture's name never holds up the caller.
    core::UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat st{};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    char head[64];
    ssize_t n;
    do
        n = ::pread(fd.get(), head, sizeof head, 0);
    while (n < 0 && errno == EINTR);
    return n > 0 && LooksLikePicture(QByteArrayView(head, n));
}

} // namespace corvane::imaging
