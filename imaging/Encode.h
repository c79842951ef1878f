#pragma once
// Picture writers: BMP, GIF, JPEG, PCX, PNG and TIFF with a chosen sample layout, and saving that
// never leaves a half-written picture under the target's name.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <atomic>

namespace corvane::imaging {

enum class PictureFormat { Bmp, Gif, Jpeg, Pcx, Png, Tiff };

// How a picture is written. One sample per pixel is a palette picture of at most 2^bits colours
// (256 at 8 bits), reduced to `colors` first when that is set; three samples are 24-bit colour.
struct EncodeOptions {
    int bitsPerSample = 8;
    int samplesPerPixel = 1;
    int colors = 0;          // reduce to this many colours first (0: as many as the layout holds)
    int jpegQuality = 100;   // 0 to 100
    bool lzw = false;        // TIFF compression
};

// What each format writes for a layout:
//   BMP, PCX  3 samples: 24-bit; 1 sample: 8-bit palette, 4-bit when reduced to 16 colours or fewer
//   GIF       always a palette of 2^bitsPerSample entries (2, 3, 4 or 8 bits)
//   JPEG      24-bit at jpegQuality
//   PNG       3 samples: 24-bit RGB; 1 sample: 8-bit palette
//   TIFF      as PNG, LZW-compressed when asked
// Empty bytes for an empty picture, an unknown layout, a cancel or an encoder failure.
QByteArray EncodePicture(const QImage& image, PictureFormat format, const EncodeOptions& options,
                         const std::atomic_bool* cancel = nullptr);

// The format's extension as written in target names: "BMP", "GIF", "JPG", "PCX", "PNG", "TIF".
QString FormatExtension(PictureFormat format);

// Writes `bytes` to `path` through a temporary file in the same folder that is renamed over the
// target only once complete and flushed: a failure leaves any earlier file under that name as it
// was and no partial file behind. `error` gets the system's reason.
// `mode` is the file's permissions before the umask applies.
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error = nullptr, unsigned mode = 0666);

} // namespace corvane::imaging
