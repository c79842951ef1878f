// .xlsx workbooks: the active sheet's cells with shared and inline strings, numbers in their
// number format, booleans and dates.
#include "Sheet.h"
#include "SheetBuild.h"
#include "SheetZip.h"

#include <QHash>
#include <QXmlStreamReader>

#include <vector>

namespace corvane::preview::sheet {

namespace {

// Shared strings together may hold no more characters than this; later ones read as empty.
constexpr qsizetype kMaxSharedChars = 64 * 1024 * 1024;

struct Workbook {
    QString sheetPart;
    bool date1904 = false;
};

bool isElement(const QXmlStreamReader& xml, QStringView name)
{
    return xml.name() == name;
}

// Relationship targets are relative to the workbook's folder unless they start at the root.
QString resolveTarget(const QString& target)
{
    QString path = target.startsWith(u'/') ? target.mid(1) : QStringLiteral("xl/") + target;
    QStringList out;
    for (const QString& piece : path.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u"..") {
            if (!out.isEmpty())
                out.removeLast();
        } else if (piece != u".") {
            out << piece;
        }
    }
    return out.join(u'/');
}

std::optional<Workbook> readWorkbook(const TZipParts& parts)
{
    QHash<QString, QString> targets;
    if (std::unique_ptr<QIODevice> rels = parts.part(QStringLiteral("xl/_rels/workbook.xml.rels"))) {
        QXmlStreamReader xml(rels.get());
        while (!xml.atEnd()) {
            if (xml.readNext() == QXmlStreamReader::StartElement && isElement(xml, u"Relationship"))
                targets.insert(xml.attributes().value(QLatin1String("Id")).toString(), xml.attributes().value(QLatin1String("Target")).toString());
        }
    }
    std::unique_ptr<QIODevice> device = parts.part(QStringLiteral("xl/workbook.xml"));
    if (!device)
        return std::nullopt;
    Workbook book;
    int activeTab = 0;
    std::vector<QString> sheetIds;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (isElement(xml, u"workbookPr")) {
            const QStringView v = a.value(QLatin1String("date1904"));
            book.date1904 = v == u"1" || v == u"true";
        } else if (isElement(xml, u"workbookView") && a.hasAttribute(QLatin1String("activeTab"))) {
            activeTab = a.value(QLatin1String("activeTab")).toInt();
        } else if (isElement(xml, u"sheet")) {
            // The relationship id is r:id in whatever prefix the file binds to its namespace.
            for (const QXmlStreamAttribute& attribute : a) {
                if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty()) {
                    sheetIds.push_back(attribute.value().toString());
                    break;
                }
            }
        }
    }
    if (xml.hasError() || sheetIds.empty())
        return std::nullopt;
    if (activeTab < 0 || size_t(activeTab) >= sheetIds.size())
        activeTab = 0;
    const QString target = targets.value(sheetIds[size_t(activeTab)]);
    if (target.isEmpty())
        return std::nullopt;
    book.sheetPart = resolveTarget(target);
    return book;
}

// The text of a string item: its runs' texts, phonetic hints left out.
QString readStringItem(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (isElement(xml, u"rPh")) {
                xml.skipCurrentElement();
            } else if (isElement(xml, u"t")) {
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                if (text.size() > kSheetMaxCellText)
                    text.truncate(kSheetMaxCellText);
            } else {
                ++depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return text;
}

std::vector<QString> readSharedStrings(const TZipParts& parts, const TSheetBuilder& builder)
{
    std::vector<QString> strings;
    std::unique_ptr<QIODevice> device = parts.part(QStringLiteral("xl/sharedStrings.xml"));
    if (!device)
        return strings;
    qsizetype chars = 0;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd() && chars < kMaxSharedChars && !builder.cancelled()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && isElement(xml, u"si")) {
            strings.push_back(readStringItem(xml));
            chars += strings.back().size() + 1;
        }
    }
    return strings;
}

// Each cell style's number format, by the style's index.
std::vector<TNumberFormat> readStyles(const TZipParts& parts)
{
    std::vector<TNumberFormat> styles;
    std::unique_ptr<QIODevice> device = parts.part(QStringLiteral("xl/styles.xml"));
    if (!device)
        return styles;
    QHash<int, TNumberFormat> custom;
    bool inCellXfs = false;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && isElement(xml, u"cellXfs"))
            inCellXfs = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (isElement(xml, u"numFmt")) {
            custom.insert(a.value(QLatin1String("numFmtId")).toInt(), ParseFormatCode(a.value(QLatin1String("formatCode"))));
        } else if (isElement(xml, u"cellXfs")) {
            inCellXfs = true;
        } else if (inCellXfs && isElement(xml, u"xf")) {
            const int id = a.value(QLatin1String("numFmtId")).toInt();
            styles.push_back(custom.contains(id) ? custom.value(id) : BuiltInFormat(id));
            // A style sheet is small; one that is not is no sheet the preview needs to honour.
            if (styles.size() > 65536)
                break;
        }
    }
    return styles;
}

struct CellContent {
    QString type;
    QString value;
    QString inlineText;
    int style = 0;
};

QString cellText(const CellContent& cell, const std::vector<QString>& shared, const std::vector<TNumberFormat>& styles,
                 bool date1904, bool& number)
{
    number = false;
    const QString& t = cell.type;
    if (t == u"s") {
        bool ok = false;
        const qulonglong index = cell.value.trimmed().toULongLong(&ok);
        return ok && index < shared.size() ? shared[size_t(index)] : QString();
    }
    if (t == u"inlineStr")
        return cell.inlineText;
    if (t == u"str" || t == u"e")
        return cell.value;
    if (t == u"b")
        return cell.value.trimmed() == u"1" ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (t == u"d") {
        const QDateTime stamp = QDateTime::fromString(cell.value.trimmed(), Qt::ISODate);
        if (!stamp.isValid())
            return cell.value;
        number = true;
        return DateTimeText(stamp);
    }
    bool ok = false;
    const double value = cell.value.trimmed().toDouble(&ok);
    if (!ok)
        return cell.value;
    number = true;
    const TNumberFormat format = cell.style >= 0 && size_t(cell.style) < styles.size() ? styles[size_t(cell.style)]
                                                                                         : TNumberFormat{};
    return FormatNumber(value, format, date1904);
}

void readCell(QXmlStreamReader& xml, CellContent& cell)
{
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (isElement(xml, u"v")) {
                cell.value = xml.readElementText(QXmlStreamReader::SkipChildElements);
            } else if (isElement(xml, u"is")) {
                cell.inlineText = readStringItem(xml);
            } else if (isElement(xml, u"f")) {
                xml.skipCurrentElement();
            } else {
                ++depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
}

} // namespace

std::optional<TSheet> ReadXlsx(const TZipParts& parts, const std::atomic<bool>* cancel)
{
    const std::optional<Workbook> book = readWorkbook(parts);
    if (!book)
        return std::nullopt;
    TSheetBuilder builder(cancel);
    const std::vector<QString> shared = readSharedStrings(parts, builder);
    const std::vector<TNumberFormat> styles = readStyles(parts);
    std::unique_ptr<QIODevice> device = parts.part(book->sheetPart);
    if (!device)
        return std::nullopt;
    QXmlStreamReader xml(device.get());
    int row = -1;
    int column = -1;
    bool inData = false;
    while (!xml.atEnd() && !builder.full()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && isElement(xml, u"sheetData"))
            break;
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (isElement(xml, u"sheetData")) {
            inData = true;
        } else if (inData && isElement(xml, u"row")) {
            // Rows and cells without a reference follow the one before.
            bool ok = false;
            const int r = xml.attributes().value(QLatin1String("r")).toInt(&ok);
            row = ok && r > 0 ? r - 1 : row + 1;
            column = -1;
        } else if (inData && isElement(xml, u"c")) {
            const QXmlStreamAttributes a = xml.attributes();
            int r = row;
            int c = column + 1;
            if (a.hasAttribute(QLatin1String("r")) && !ParseCellReference(a.value(QLatin1String("r")), r, c)) {
                xml.skipCurrentElement();
                continue;
            }
            column = c;
            CellContent cell;
            cell.type = a.value(QLatin1String("t")).toString();
            cell.style = a.value(QLatin1String("s")).toInt();
            readCell(xml, cell);
            bool number = false;
            QString text = cellText(cell, shared, styles, book->date1904, number);
            builder.add(r, c, std::move(text), number);
        }
    }
    // A sheet cut short by damage shows the cells read before it.
    if (builder.cancelled() || (xml.hasError() && !inData))
        return std::nullopt;
    return builder.finish();
}

} // namespace corvane::preview::sheet
