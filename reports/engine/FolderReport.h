#pragma once
// The folder sizes report as the window shows, prints and exports it: the scanned folders in
// the order the user sorted them, the texts of each cell and the totals line.
#include "FolderScan.h"
#include "FolderSizeCsv.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace corvane::reports {

// The report's columns; the last two hold the byte figures as plain digits.
enum FolderColumn { ColFolder, ColFiles, ColBytes, ColTreeFiles, ColTreeBytes, ColBytesDigits, ColTreeBytesDigits,
                    FolderColumnCount };

class FolderReport
{
public:
    // Takes the scan's rows and orders them by folder.
    void SetRows(std::vector<FolderRow> rows);
    void Clear();

    int RowCount() const { return int(m_shown.size()); }
    const FolderRow& Row(int row) const { return m_shown[size_t(row)].row; }
    // A cell as the grid shows it: the folder readably (bytes that are not UTF-8 shown as
    // U+FFFD), counts in decimal, bytes with the locale's thousands separator.
    QString Cell(int row, int column) const;
    static QString ColumnTitle(int column);
    // Numbers sort by value, folders by their names without regard to case.
    void Sort(int column, bool descending);

    struct Totals {
        qint64 folders = 0;
        qint64 files = 0;
        qint64 bytes = 0;
    };
    Totals Total() const { return m_totals; }
    // The four cells under the grid.
    QStringList TotalsLine() const;
    // Title row, one row per folder in the current order, one empty row, the totals line.
    CsvTable ExportTable() const;

private:
    struct Shown {
        FolderRow row;
        QString folder;
    };
    std::vector<Shown> m_shown;
    Totals m_totals;
};

// "%.0n": no decimals, the locale's thousands separator.
QString GroupedNumber(qint64 value);

} // namespace corvane::reports
