// libFuzzer targets for the spreadsheet readers. fuzz_sheet: the first byte picks .xlsx or .ods,
// the rest is the file. fuzz_sheet_xls: the whole input is an .xls file; FreeXL reads it in a
// child process, so a fault reported from that child is FreeXL's own and ends only the child,
// while the program side must go on. Any bytes must read without a crash, and what is read must
// keep within the limits the grid relies on.
#include "preview/engine/Sheet.h"

#include <cstdint>
#include <cstdlib>

using namespace corvane::preview;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#ifdef SHEET_FUZZ_XLS
    const TSheetFormat format = TSheetFormat::Xls;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
#else
    if (size < 1)
        return 0;
    const TSheetFormat format = data[0] % 2 ? TSheetFormat::Ods : TSheetFormat::Xlsx;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
#endif
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
