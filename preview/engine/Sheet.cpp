#include "Sheet.h"

#include "SheetBuild.h"
#include "SheetZip.h"

#include "core/PathText.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace corvane::preview {

QString ColumnLetters(int index)
{
    // Letters count from A without a zero digit: after Z comes AA.
    QString letters;
    for (int n = index + 1; n > 0; n = (n - 1) / 26)
        letters.prepend(QChar(u'A' + (n - 1) % 26));
    return letters;
}

std::optional<TSheetFormat> SheetFormatOf(const QString& path)
{
    const QString ext = core::FileExtension(path);
    if (ext == u".XLS")
        return TSheetFormat::Xls;
    if (ext == u".XLSX")
        return TSheetFormat::Xlsx;
    if (ext == u".ODS")
        return TSheetFormat::Ods;
    return std::nullopt;
}

namespace {

std::optional<TSheet> readParts(const std::unique_ptr<sheet::TZipParts>& parts, TSheetFormat format,
                                const std::atomic<bool>* cancel)
{
    if (!parts)
        return std::nullopt;
    return format == TSheetFormat::Ods ? sheet::ReadOds(*parts, cancel) : sheet::ReadXlsx(*parts, cancel);
}

} // namespace

std::optional<TSheet> ReadSheetFile(int fd, TSheetFormat format, const std::atomic<bool>* cancel)
{
    if (format == TSheetFormat::Xls)
        return sheet::ReadXls(fd, cancel);
    return readParts(sheet::TZipParts::open(fd), format, cancel);
}

std::optional<TSheet> ReadSheetBytes(const QByteArray& bytes, TSheetFormat format, const std::atomic<bool>* cancel)
{
    if (format == TSheetFormat::Xls)
        return sheet::ReadXlsBytes(bytes, cancel);
    return readParts(sheet::TZipParts::open(bytes), format, cancel);
}

namespace sheet {

bool TSheetBuilder::add(int row, int column, QString text, bool number)
{
    if (m_full || cancelled()) {
        m_full = true;
        return false;
    }
    if (row < 0 || column < 0 || row >= kSheetMaxRows || column >= kSheetMaxColumns)
        return true;
    if (text.isEmpty())
        return true;
    if (text.size() > kSheetMaxCellText)
        text.truncate(kSheetMaxCellText);
    m_sheet.cells.push_back({row, column, std::move(text), number});
    if (qsizetype(m_sheet.cells.size()) >= kSheetMaxCells)
        m_full = true;
    return !m_full;
}

TSheet TSheetBuilder::finish()
{
    TSheet sheet = std::move(m_sheet);
    const auto measure = [&sheet] {
        sheet.rows = sheet.columns = 0;
        for (const TSheetCell& c : sheet.cells) {
            sheet.columns = std::max(sheet.columns, c.column + 1);
            sheet.rows = std::max(sheet.rows, c.row + 1);
        }
    };
    measure();
    // A range too large for the grid keeps its columns and loses rows from the bottom.
    if (qint64(sheet.rows) * sheet.columns > kSheetMaxArea) {
        const int rows = int(kSheetMaxArea / sheet.columns);
        std::erase_if(sheet.cells, [rows](const TSheetCell& c) { return c.row >= rows; });
        measure();
    }
    return sheet;
}

namespace {

// The text between the quote at `i` and its closing quote; `i` moves onto the closing quote.
QStringView quotedRun(QStringView code, qsizetype& i)
{
    const qsizetype end = code.indexOf(u'"', i + 1);
    const QStringView text = code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1);
    i = end < 0 ? code.size() : end;
    return text;
}

// Drops what a format code shows around the number: quoted texts, escaped characters, colours and
// conditions in brackets, padding and spacing. Only the first section (positive numbers) counts.
QString bareFormat(QStringView code)
{
    QString out;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u';')
            break;
        if (c == u'"') {
            // Quoted and escaped characters stand for themselves; letters among them are dropped
            // so that they are never read as fields.
            for (const QChar q : quotedRun(code, i)) {
                if (!q.isLetter())
                    out += q;
            }
        } else if (c == u'\\' && i + 1 < code.size()) {
            if (!code[++i].isLetter())
                out += code[i];
        } else if (c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            const QStringView inner = code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1);
            // [h], [mm] and [ss] are elapsed times; other brackets are colours, conditions, locales.
            if (!inner.isEmpty() && (inner[0].toLower() == u'h' || inner[0].toLower() == u'm' || inner[0].toLower() == u's'))
                out += u'[' + inner.toString().toLower() + u']';
            i = end < 0 ? code.size() : end;
        } else {
            out += c.toLower();
        }
    }
    return out;
}

// The texts a number code shows before and after the number: quoted, escaped and plain characters
// around the digit placeholders.
void numberAffixes(QStringView code, QString& prefix, QString& suffix)
{
    QString pending;
    bool digits = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u';')
            break;
        if (c == u'"') {
            pending += quotedRun(code, i);
        } else if (c == u'\\' && i + 1 < code.size()) {
            pending += code[++i];
        } else if (c == u'_' && i + 1 < code.size()) {
            // Room as wide as the next character, usually for a closing parenthesis of negatives.
            pending += u' ';
            ++i;
        } else if (c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            i = end < 0 ? code.size() : end;
        } else if (c == u'0' || c == u'#' || c == u'?') {
            if (!digits)
                prefix = pending;
            pending.clear();
            digits = true;
        } else if (c == u'%' || c == u'E' || c == u'e' || ((c == u'.' || c == u',') && digits)) {
            continue;
        } else if (!(digits && (c == u'+' || c == u'-') && i > 0 && (code[i - 1] == u'E' || code[i - 1] == u'e'))) {
            pending += c;
        }
    }
    suffix = digits ? pending : QString();
}

// A date and time code ("yyyy-mm-dd", "d mmm yy h:mm AM/PM") as a QDateTime format; empty for
// codes with elapsed times, which no date format shows.
QString dateTimePattern(const QString& bare)
{
    if (bare.contains(u'['))
        return {};
    QString pattern;
    QString literal;
    auto flushLiteral = [&] {
        if (!literal.isEmpty())
            pattern += u'\'' + literal.replace(u'\'', QLatin1String("''")) + u'\'';
        literal.clear();
    };
    const bool twelveHours = bare.contains(QLatin1String("am/pm")) || bare.contains(QLatin1String("a/p"));
    QChar lastUnit;
    for (qsizetype i = 0; i < bare.size();) {
        const QChar c = bare[i];
        if (bare.mid(i, 5) == u"am/pm" || bare.mid(i, 3) == u"a/p") {
            flushLiteral();
            pattern += QStringLiteral("AP");
            i += bare.mid(i, 5) == u"am/pm" ? 5 : 3;
            continue;
        }
        qsizetype n = 1;
        while (i + n < bare.size() && bare[i + n] == c)
            ++n;
        const QString run = bare.mid(i, n);
        if (c == u'y' || c == u'd' || c == u'h' || c == u's' || c == u'm') {
            flushLiteral();
            if (c == u'y') {
                pattern += n <= 2 ? QStringLiteral("yy") : QStringLiteral("yyyy");
            } else if (c == u'd') {
                pattern += QString(std::min<qsizetype>(n, 4), u'd');
            } else if (c == u'h') {
                pattern += QString(std::min<qsizetype>(n, 2), twelveHours ? u'h' : u'H');
            } else if (c == u's') {
                pattern += QString(std::min<qsizetype>(n, 2), u's');
            } else {
                // Minutes follow hours or precede seconds; otherwise it is the month.
                qsizetype next = i + n;
                while (next < bare.size() && !bare[next].isLetter())
                    ++next;
                const bool minutes = lastUnit == u'h' || (next < bare.size() && bare[next] == u's');
                pattern += minutes ? QString(std::min<qsizetype>(n, 2), u'm') : QString(std::min<qsizetype>(n, 4), u'M');
            }
            lastUnit = c;
        } else if (c == u'0' && lastUnit == u's' && pattern.endsWith(u'.')) {
            pattern += QString(std::min<qsizetype>(n, 3), u'z');
        } else if (c.isLetter()) {
            // Letters a date format would read as fields: no simple code.
            return {};
        } else {
            if (c == u'.' && lastUnit == u's' && i + 1 < bare.size() && bare[i + 1] == u'0') {
                flushLiteral();
                pattern += u'.';
            } else {
                literal += run;
            }
        }
        i += n;
    }
    flushLiteral();
    return pattern;
}

} // namespace

TNumberFormat ParseFormatCode(QStringView code)
{
    TNumberFormat f;
    const QString bare = bareFormat(code);
    if (bare.isEmpty() || bare == u"general")
        return f;
    if (bare == u"@") {
        f.kind = TNumberKind::Text;
        return f;
    }
    const bool hasDate = bare.contains(u'y') || bare.contains(u'd');
    const bool hasTime = bare.contains(u'h') || bare.contains(u's');
    // "m" is a month beside days and years, minutes beside hours and seconds.
    const bool hasM = bare.contains(u'm');
    if (hasDate || hasTime || hasM) {
        f.seconds = bare.contains(u's');
        if (hasDate && hasTime)
            f.kind = TNumberKind::DateTime;
        else if (hasTime)
            f.kind = TNumberKind::Time;
        else
            f.kind = TNumberKind::Date;
        f.pattern = dateTimePattern(bare);
        return f;
    }
    if (!bare.contains(u'0') && !bare.contains(u'#'))
        return f;
    if (bare.contains(u'e'))
        f.kind = TNumberKind::Scientific;
    else if (bare.contains(u'%'))
        f.kind = TNumberKind::Percent;
    else
        f.kind = TNumberKind::Fixed;
    numberAffixes(code, f.prefix, f.suffix);
    const qsizetype point = bare.indexOf(u'.');
    if (point >= 0) {
        for (qsizetype i = point + 1; i < bare.size() && (bare[i] == u'0' || bare[i] == u'#'); ++i)
            ++f.decimals;
    }
    const qsizetype comma = bare.indexOf(u',');
    f.grouping = comma >= 0 && (point < 0 || comma < point);
    return f;
}

TNumberFormat BuiltInFormat(int id)
{
    const auto format = [](TNumberKind kind, int decimals = 0, bool grouping = false, bool seconds = false) {
        TNumberFormat f;
        f.kind = kind;
        f.decimals = decimals;
        f.grouping = grouping;
        f.seconds = seconds;
        return f;
    };
    switch (id) {
    case 1: return format(TNumberKind::Fixed);
    case 2: return format(TNumberKind::Fixed, 2);
    case 3: case 37: case 38: return format(TNumberKind::Fixed, 0, true);
    case 4: case 39: case 40: return format(TNumberKind::Fixed, 2, true);
    case 9: return format(TNumberKind::Percent);
    case 10: return format(TNumberKind::Percent, 2);
    case 11: case 48: return format(TNumberKind::Scientific, 2);
    case 14: case 15: case 16: case 17: return format(TNumberKind::Date);
    case 18: case 20: return format(TNumberKind::Time);
    case 19: case 21: case 45: case 46: case 47: return format(TNumberKind::Time, 0, false, true);
    case 22: return format(TNumberKind::DateTime);
    case 49: return format(TNumberKind::Text);
    default: return {};
    }
}

QDateTime SerialToDateTime(double serial, bool date1904)
{
    // Days and times beyond the year 9999 are no dates to a spreadsheet either.
    if (!std::isfinite(serial) || serial < 0 || serial > 2958466)
        return {};
    qint64 ms = qint64(std::llround(serial * 86400000.0));
    qint64 days = ms / 86400000;
    ms %= 86400000;
    QDate base;
    if (date1904) {
        base = QDate(1904, 1, 1);
    } else {
        // The 1900 system counts a 29 February 1900 (day 60) that never was: earlier days come a day later.
        base = QDate(1899, 12, 30);
        if (days < 60)
            ++days;
    }
    return QDateTime(base.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

QString DateText(const QDate& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

QString TimeText(const QTime& time, bool seconds)
{
    const QLocale locale = QLocale::system();
    return seconds ? locale.toString(time, QStringLiteral("H:mm:ss")) : locale.toString(time, QLocale::ShortFormat);
}

QString DateTimeText(const QDateTime& stamp)
{
    if (stamp.time() == QTime(0, 0))
        return DateText(stamp.date());
    return DateText(stamp.date()) + u' ' + TimeText(stamp.time(), stamp.time().second() != 0);
}

QString FormatNumber(double value, const TNumberFormat& format, bool date1904)
{
    QLocale locale = QLocale::system();
    locale.setNumberOptions(format.grouping ? QLocale::DefaultNumberOptions : QLocale::OmitGroupSeparator);
    switch (format.kind) {
    case TNumberKind::Fixed:
        return format.prefix + locale.toString(value, 'f', format.decimals) + format.suffix;
    case TNumberKind::Percent:
        return format.prefix + locale.toString(value * 100, 'f', format.decimals) + u'%' + format.suffix;
    case TNumberKind::Scientific:
        return format.prefix + locale.toString(value, 'E', format.decimals) + format.suffix;
    case TNumberKind::Date:
    case TNumberKind::Time:
    case TNumberKind::DateTime: {
        const QDateTime stamp = SerialToDateTime(value, date1904);
        if (!stamp.isValid())
            break;
        if (!format.pattern.isEmpty())
            return QLocale::system().toString(stamp, format.pattern);
        if (format.kind == TNumberKind::Date)
            return DateText(stamp.date());
        if (format.kind == TNumberKind::Time)
            return TimeText(stamp.time(), format.seconds);
        return DateText(stamp.date()) + u' ' + TimeText(stamp.time(), format.seconds);
    }
    case TNumberKind::General:
    case TNumberKind::Text:
        break;
    }
    // As a spreadsheet's General format: up to 15 significant digits, the shorter of plain and
    // scientific notation.
    return locale.toString(value, 'G', 15);
}

bool ParseCellReference(QStringView ref, int& row, int& column)
{
    qsizetype i = 0;
    qint64 c = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
        c = c * 26 + (ref[i].toUpper().unicode() - u'A' + 1);
        if (c > kSheetMaxColumns)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    qint64 r = 0;
    for (; i < ref.size(); ++i) {
        if (!ref[i].isDigit() || ref[i].unicode() >= 128)
            return false;
        r = r * 10 + (ref[i].unicode() - u'0');
        if (r > kSheetMaxRows)
            return false;
    }
    if (r == 0)
        return false;
    row = int(r - 1);
    column = int(c - 1);
    return true;
}

} // namespace sheet

} // namespace corvane::preview
