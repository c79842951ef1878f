#pragma once
// What the spreadsheet readers share: collecting cells within the limits, and showing numbers
// and dates the way the sheet's number format asks, where that format is a simple one.
#include "Sheet.h"

#include <QDateTime>
#include <QStringView>

namespace corvane::preview::sheet {

class TZipParts;

// The readers of each format.
std::optional<TSheet> ReadXls(int fd, const std::atomic<bool>* cancel);
std::optional<TSheet> ReadXlsBytes(const QByteArray& bytes, const std::atomic<bool>* cancel);
std::optional<TSheet> ReadXlsx(const TZipParts& parts, const std::atomic<bool>* cancel);
std::optional<TSheet> ReadOds(const TZipParts& parts, const std::atomic<bool>* cancel);

class TSheetBuilder
{
public:
    explicit TSheetBuilder(const std::atomic<bool>* cancel) : m_cancel(cancel) {}
    // Keeps a cell with text inside the limits. False once no further cell can be kept (or the
    // reading was cancelled): the reader may stop.
    bool add(int row, int column, QString text, bool number);
    bool full() const { return m_full; }
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    TSheet finish();

private:
    const std::atomic<bool>* m_cancel;
    TSheet m_sheet;
    bool m_full = false;
};

enum class TNumberKind { General, Fixed, Percent, Scientific, Date, Time, DateTime, Text };

struct TNumberFormat {
    TNumberKind kind = TNumberKind::General;
    int decimals = 0;
    bool grouping = false;
    bool seconds = false;
    // Numbers: the texts shown before and after them ("EUR ", " kg").
    QString prefix;
    QString suffix;
    // Dates and times in the sheet's own layout, as a QDateTime format; empty for the system's.
    QString pattern;
};

// What a format code ("0.00", "#,##0", "dd/mm/yyyy", "h:mm:ss", …) shows; anything more
// elaborate shows as General.
TNumberFormat ParseFormatCode(QStringView code);
// The number formats built into every .xlsx file, by their id.
TNumberFormat BuiltInFormat(int id);
QString FormatNumber(double value, const TNumberFormat& format, bool date1904);
// A serial day number of the sheet (days since its epoch, the fraction the time of day).
QDateTime SerialToDateTime(double serial, bool date1904);
// Dates and times as the system writes them short.
QString DateText(const QDate& date);
QString TimeText(const QTime& time, bool seconds);
QString DateTimeText(const QDateTime& stamp);

// "B12" to row 11 and column 1; false when it is no cell reference.
bool ParseCellReference(QStringView ref, int& row, int& column);

} // namespace corvane::preview::sheet
