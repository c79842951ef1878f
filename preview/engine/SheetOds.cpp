// OpenDocument spreadsheets (.ods): the active table's cells as the sheet shows them. The file
// keeps each cell's shown text beside its value, so numbers and dates need no formatting here.
#include "Sheet.h"
#include "SheetBuild.h"
#include "SheetZip.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <vector>

namespace corvane::preview::sheet {

namespace {

// The name of the table shown when the file was saved; empty when the file does not say.
QString activeTableName(const TZipParts& parts)
{
    std::unique_ptr<QIODevice> device = parts.part(QStringLiteral("settings.xml"));
    if (!device)
        return {};
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"config-item"
            && xml.attributes().value(QLatin1String("config:name")) == u"ActiveTable")
            return xml.readElementText(QXmlStreamReader::SkipChildElements);
    }
    return {};
}

int repeatCount(const QXmlStreamAttributes& a, QLatin1String name)
{
    bool ok = false;
    const qint64 n = a.value(name).toLongLong(&ok);
    return ok && n > 1 ? int(std::min<qint64>(n, kSheetMaxRows)) : 1;
}

void appendLimited(QString& text, QStringView more)
{
    if (text.size() < kSheetMaxCellText)
        text += more.left(kSheetMaxCellText - text.size());
}

// The text of a paragraph with its spans, links, spaces, tabs and line breaks.
void readParagraph(QXmlStreamReader& xml, QString& text)
{
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Characters) {
            appendLimited(text, xml.text());
        } else if (token == QXmlStreamReader::StartElement) {
            const QStringView name = xml.name();
            if (name == u"s") {
                const int n = std::clamp(xml.attributes().value(QLatin1String("text:c")).toInt(), 1, 1024);
                appendLimited(text, QString(n, u' '));
                xml.skipCurrentElement();
            } else if (name == u"tab") {
                appendLimited(text, u"\t");
                xml.skipCurrentElement();
            } else if (name == u"line-break") {
                appendLimited(text, u"\n");
                xml.skipCurrentElement();
            } else if (name == u"note" || name == u"annotation") {
                xml.skipCurrentElement();
            } else {
                ++depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
}

QString readCellText(QXmlStreamReader& xml)
{
    QString text;
    bool first = true;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == u"p" || xml.name() == u"h") {
                if (!first)
                    appendLimited(text, u"\n");
                first = false;
                readParagraph(xml, text);
            } else {
                // Comments and shapes anchored in the cell are not its text.
                xml.skipCurrentElement();
            }
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return text;
}

struct RowCell {
    int column;
    QString text;
    bool number;
};

// Reads the table the reader stands on into the builder.
void readTable(QXmlStreamReader& xml, TSheetBuilder& builder)
{
    int row = 0;
    int depth = 1;
    while (depth > 0 && !xml.atEnd() && !builder.full()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
            continue;
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() != u"table-row") {
            // Row groups and headers hold rows; column descriptions, shapes and forms do not.
            if (xml.name() == u"table-row-group" || xml.name() == u"table-header-rows" || xml.name() == u"table-rows")
                ++depth;
            else
                xml.skipCurrentElement();
            continue;
        }
        const int rowRepeat = repeatCount(xml.attributes(), QLatin1String("table:number-rows-repeated"));
        std::vector<RowCell> cells;
        int column = 0;
        while (!xml.atEnd()) {
            const QXmlStreamReader::TokenType t = xml.readNext();
            if (t == QXmlStreamReader::EndElement && xml.name() == u"table-row")
                break;
            if (t != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() != u"table-cell" && xml.name() != u"covered-table-cell") {
                xml.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes a = xml.attributes();
            const int columnRepeat = repeatCount(a, QLatin1String("table:number-columns-repeated"));
            const QStringView type = a.value(QLatin1String("office:value-type"));
            const bool number = type == u"float" || type == u"percentage" || type == u"currency" || type == u"date"
                || type == u"time";
            const QString text = readCellText(xml);
            if (!text.isEmpty()) {
                for (int k = 0; k < columnRepeat && column + k < kSheetMaxColumns; ++k)
                    cells.push_back({column + k, text, number});
            }
            column = int(std::min<qint64>(qint64(column) + columnRepeat, kSheetMaxColumns));
        }
        // Empty rows repeated a million times to the sheet's end cost nothing.
        for (int k = 0; k < rowRepeat && !cells.empty() && row + k < kSheetMaxRows; ++k) {
            for (const RowCell& c : cells) {
                if (!builder.add(row + k, c.column, c.text, c.number))
                    return;
            }
        }
        row = int(std::min<qint64>(qint64(row) + rowRepeat, kSheetMaxRows));
    }
}

} // namespace

std::optional<TSheet> ReadOds(const TZipParts& parts, const std::atomic<bool>* cancel)
{
    const QString active = activeTableName(parts);
    std::unique_ptr<QIODevice> device = parts.part(QStringLiteral("content.xml"));
    if (!device)
        return std::nullopt;
    // The first table stands in when the active one is not found.
    std::optional<TSheet> first;
    QXmlStreamReader xml(device.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"table")
            continue;
        const bool isActive = !active.isEmpty() && xml.attributes().value(QLatin1String("table:name")) == active;
        if (first && !isActive) {
            xml.skipCurrentElement();
            continue;
        }
        TSheetBuilder builder(cancel);
        readTable(xml, builder);
        if (builder.cancelled())
            return std::nullopt;
        if (isActive || active.isEmpty())
            return builder.finish();
        first = builder.finish();
    }
    return first;
}

} // namespace corvane::preview::sheet
