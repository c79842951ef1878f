#pragma once
// The cells of a spreadsheet's active sheet as the preview grid shows them, and the readers of
// .xls (FreeXL), .xlsx and .ods (our own) that fill them. No widgets: readers run on a worker.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <optional>
#include <vector>

namespace corvane::preview {

struct TSheetCell {
    int row = 0;
    int column = 0;
    QString text;
    // Numbers, dates and times: they stand right in the grid.
    bool number = false;
};

// The range from A1 to the last cell that holds something; only cells with text are listed.
struct TSheet {
    int rows = 0;
    int columns = 0;
    std::vector<TSheetCell> cells;
};

enum class TSheetFormat { Xls, Xlsx, Ods };

// By the file's extension; nothing when the preview reads no spreadsheet of that kind.
std::optional<TSheetFormat> SheetFormatOf(const QString& path);

// Reads the active sheet of the file open on `fd` (the descriptor stays the caller's); nothing
// when the file cannot be read as that format.
std::optional<TSheet> ReadSheetFile(int fd, TSheetFormat format, const std::atomic<bool>* cancel = nullptr);
// The same from bytes in memory.
std::optional<TSheet> ReadSheetBytes(const QByteArray& bytes, TSheetFormat format,
                                     const std::atomic<bool>* cancel = nullptr);

// The letters over column `index` (from 0): A … Z, AA … AZ, BA …, ZZ, AAA ….
QString ColumnLetters(int index);

// Limits that keep a hostile or huge file from exhausting memory or holding the grid: what lies
// beyond them is left out.
inline constexpr int kSheetMaxRows = 1 << 20;
inline constexpr int kSheetMaxColumns = 1 << 14;
inline constexpr qsizetype kSheetMaxCells = 1'000'000;
// The grid keeps a slot for every cell of the range, filled or not.
inline constexpr qint64 kSheetMaxArea = qint64(1) << 22;
// The most a spreadsheet cell holds.
inline constexpr qsizetype kSheetMaxCellText = 32767;

} // namespace corvane::preview
