#pragma once
// The comma-delimited file of the folder sizes report.
//
// Cells are written as they stand, an empty cell as two double quotes. A cell holding a comma,
// a double quote or a line break is enclosed in double quotes, with the CR of every CR LF pair
// dropped and inner double quotes doubled, so that any folder name reads back as one cell.
// Names are written with their bytes as they are on disk.
#include <QByteArray>
#include <QString>

#include <vector>

namespace corvane::reports {

using CsvRow = std::vector<QByteArray>;
using CsvTable = std::vector<CsvRow>;

// The file's text: one line per row, ended by CR LF, cells separated by ",".
QByteArray CsvText(const CsvTable& table);

// Writes the text to a new file beside `fileName` and renames it into place, so that a failure
// leaves nothing under the name (an existing file stays as it was). Returns the system's message
// on failure, empty text on success.
QString WriteFileInPlace(const QByteArray& fileName, const QByteArray& text);

} // namespace corvane::reports
