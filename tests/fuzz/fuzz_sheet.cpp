// libFuzzer target for the spreadsheet readers: the first byte picks the format (.xls, .xlsx,
// .ods), the rest is the file. Any bytes must read without a crash, and what is read must keep
// within the limits the grid relies on.
#include "preview/engine/Sheet.h"

#include <cstdint>
#include <cstdlib>

using namespace corvane::preview;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const TSheetFormat formats[] = {TSheetFormat::Xls, TSheetFormat::Xlsx, TSheetFormat::Ods};
    const TSheetFormat format = formats[data[0] % 3];
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const std::optional<TSheet> sheet = ReadSheetBytes(bytes, format);
    if (!sheet)
        return 0;
    if (qsizetype(sheet->cells.size()) > kSheetMaxCells || qint64(sheet->rows) * sheet->columns > kSheetMaxArea)
        std::abort();
    for (const TSheetCell& c : sheet->cells) {
        if (c.row < 0 || c.column < 0 || c.row >= sheet->rows || c.column >= sheet->columns || c.text.isEmpty()
            || c.text.size() > kSheetMaxCellText)
            std::abort();
    }
    return 0;
}
