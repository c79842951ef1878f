#include "Quantize.h"

#include <QPainter>

#include <libimagequant.h>

#include <memory>
#include <vector>

namespace corvane::imaging {

namespace {

struct LiqFree {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};
template <typename T>
using LiqPtr = std::unique_ptr<T, LiqFree>;

int AbortIfCancelled(float, void* cancel)
{
    const auto* flag = static_cast<const std::atomic_bool*>(cancel);
    return flag && flag->load(std::memory_order_relaxed) ? 0 : 1;
}

} // namespace

QImage Opaque(const QImage& image)
{
    if (image.isNull() || !image.hasAlphaChannel())
        return image;
    QImage out(image.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, image);
    return out;
}

QImage ReduceColors(const QImage& image, int colors, const std::atomic_bool* cancel)
{
    if (image.isNull() || colors < 2 || colors > 256)
        return {};
    if (image.format() == QImage::Format_Indexed8 && image.colorCount() <= colors && !image.hasAlphaChannel())
        return image;
    // RGBX keeps the bytes in the order the quantizer reads them, opaque.
    const QImage rgba = Opaque(image).convertToFormat(QImage::Format_RGBX8888);
    if (rgba.isNull())
        return {};
    const int w = rgba.width(), h = rgba.height();

    LiqPtr<liq_attr> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), colors) != LIQ_OK)
        return {};
    // Speed 6 gives the same palettes to the eye at about half the time of the default.
    liq_set_speed(attr.get(), 6);
    liq_attr_set_progress_callback(attr.get(), AbortIfCancelled, const_cast<std::atomic_bool*>(cancel));

    std::vector<void*> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = const_cast<uchar*>(rgba.constScanLine(y));
    LiqPtr<liq_image> input(liq_image_create_rgba_rows(attr.get(), rows.data(), w, h, 0));
    if (!input)
        return {};
    liq_result* raw = nullptr;
    if (liq_image_quantize(input.get(), attr.get(), &raw) != LIQ_OK || !raw)
        return {};
    LiqPtr<liq_result> result(raw);
    liq_set_dithering_level(result.get(), 1.0f);

    QImage out(w, h, QImage::Format_Indexed8);
    if (out.isNull())
        return {};
    std::vector<unsigned char*> outRows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        outRows[size_t(y)] = out.scanLine(y);
    if (liq_write_remapped_image_rows(result.get(), input.get(), outRows.data()) != LIQ_OK)
        return {};
    const liq_palette* palette = liq_get_palette(result.get());
    if (!palette || palette->count == 0 || palette->count > unsigned(colors))
        return {};
    QList<QRgb> table;
    table.reserve(int(palette->count));
    for (unsigned i = 0; i < palette->count; ++i)
        table.append(qRgb(palette->entries[i].r, palette->entries[i].g, palette->entries[i].b));
    out.setColorTable(table);
    return out;
}

} // namespace corvane::imaging
